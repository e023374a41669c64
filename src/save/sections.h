#pragma once
// The snapshot sections this library owns (see core/snapshot.h).
#include "core/snapshot.h"

namespace velmora::save {

snapshot::Section gameSection();
snapshot::Section spriteSection();
snapshot::Section soundSection();
snapshot::Section integerSection();
snapshot::Section stringSection();
snapshot::Section positionSection();

}  // namespace velmora::save

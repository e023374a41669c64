#pragma once
// The snapshot sections this library owns (see core/snapshot.h).
#include "base/snapshot.h"

namespace velmora::save {

SnapshotSection gameSection();
SnapshotSection spriteSection();
SnapshotSection soundSection();
SnapshotSection integerSection();
SnapshotSection stringSection();
SnapshotSection positionSection();

}  // namespace velmora::save

#pragma once
// The settings-inheritance window of a first start in Documents mode.
#include <string>
#include <vector>

#include "save/location.h"

namespace velmora::setup {

save::InheritanceChoice chooseInheritance(const std::vector<std::string>& games);

}  // namespace velmora::setup

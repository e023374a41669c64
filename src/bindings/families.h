#pragma once
// The command families whose cores live in this library.
#include <span>

#include "bindings/catalogue.h"

namespace velmora::bindings {

// Game, window and presentation settings, and getGameName.
std::span<const CoreBinding> presentationCores();
// System services: shellExecute.
std::span<const CoreBinding> systemCores();

}  // namespace velmora::bindings

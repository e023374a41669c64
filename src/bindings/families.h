#pragma once
// The command families whose cores live in this library.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "bindings/catalogue.h"

namespace velmora::bindings {

// Game, window and presentation settings, and getGameName.
std::span<const CoreBinding> presentationCores();
// System services: shellExecute.
std::span<const CoreBinding> systemCores();
// Opens a file, a URL or a program (with parameters) detached, as the shell
// would; above 32 on success.
int32_t shellOpen(const std::string& file, std::string_view parameters);

}  // namespace velmora::bindings

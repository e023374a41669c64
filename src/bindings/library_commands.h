#pragma once
// The own-language library commands that read and write through the script
// bridge, so that Lua and Squirrel can offer the same cores.
#include <span>
#include <string>
#include <vector>

#include "bindings/catalogue.h"

namespace velmora::bindings {

std::span<const CoreBinding> libraryBridgeCores();
// Registers their own-language wrappers in the command table.
void registerLibraryBridgeCommands();

// A library loaded by loadLibrary, with the entry points the render device
// calls around a device reset (either may be missing).
struct PluginLibrary {
  std::string path;
  void* handle = nullptr;
  void (*deviceLost)() = nullptr;
  void (*deviceReset)() = nullptr;
};
const std::vector<PluginLibrary>& pluginLibraries();
void releasePluginLibraries();

}  // namespace velmora::bindings

#include "bindings/library_commands.h"

#include <dlfcn.h>

#include <cerrno>
#include <filesystem>

#include "bindings/browser_limits.h"
#include "bindings/messages.h"
#include "base/report.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "resource/resource.h"
#include "script/interp.h"
#include "script/library.h"
#include "script/regex.h"

namespace velmora::bindings {
namespace {

namespace fs = std::filesystem;

struct LibraryState {
  std::vector<PluginLibrary> plugins;
};
LibraryState libraryState;

fs::path hostFile(std::string_view sjis) { return fs::path(hostPath(sjis)); }

void core_count(CommandContext c) {
  std::string text(stringArg(c, 1)), ch(stringArg(c, 2));
  if (!script::isOneCharacter(ch)) {
    reportError(messageText(Message::SecondArgumentNotOneCharacter));
    return;
  }
  int32_t n = 0;
  script::findCharacter(text, ch, &n);
  intResult(c, 3, n);
}

void core_regexp_create(CommandContext) {}

// The shared path of the three substitution forms.
template <bool (*op)(const std::string&, const std::string&, std::string&, int&)>
bool runSubstitution(CommandContext c, std::string& out, int& count) {
  std::string text(stringArg(c, 1)), pattern(stringArg(c, 2));
  out = text;
  count = 0;
  if (text.empty() || pattern.empty()) return true;
  return op(text, pattern, out, count);
}

void core_regexp_count(CommandContext c) {
  std::string out;
  int n = 0;
  if (runSubstitution<script::regex::substitute>(c, out, n)) intResult(c, 3, n);
}

void core_regexp_replace(CommandContext c) {
  std::string out;
  int n = 0;
  if (runSubstitution<script::regex::substitute>(c, out, n)) stringResult(c, 3, out);
}

void core_regexp_trans(CommandContext c) {
  std::string out;
  int n = 0;
  if (runSubstitution<script::regex::transliterate>(c, out, n)) stringResult(c, 3, out);
}

bool pathParts(CommandContext c, script::PathParts& parts) {
  if (script::splitPath(stringArg(c, 1), parts)) return true;
  reportError(messageText(Message::BadPath));
  return false;
}

void core_getParentFolderName(CommandContext c) {
  script::PathParts p;
  if (pathParts(c, p)) stringResult(c, 2, p.folder);
}

void core_getBaseName(CommandContext c) {
  script::PathParts p;
  if (pathParts(c, p)) stringResult(c, 2, p.base);
}

void core_getExtensionName(CommandContext c) {
  script::PathParts p;
  if (pathParts(c, p)) stringResult(c, 2, p.extension);
}

void core_existFile(CommandContext c) {
  std::string path(stringArg(c, 1));
  for (size_t i = 0; i < path.size(); ++i) {  // archive keys are spelled with '/'
    if (const size_t n = charLength(path, i); n > 1) i += n - 1;
    else if (path[i] == '\\') path[i] = '/';
  }
  intResult(c, 2, resource::resourceExists(path.c_str()) ? 1 : 0);
}

// The destination's folder is made first; failing that the command stops.
bool prepareDestination(std::string_view destination) {
  script::PathParts p;
  if (!script::splitPath(destination, p, '\\')) {
    reportError(messageText(Message::BadPath));
    return false;
  }
  if (script::ensureFolder(p.folder)) return true;
  reportError(messageText(Message::FolderNotCreated));
  return false;
}

void core_copyFile(CommandContext c) {
  std::string from(stringArg(c, 1)), to(stringArg(c, 2));
  if (!prepareDestination(to)) return;
  std::error_code ec;
  bool ok = fs::copy_file(hostFile(from), hostFile(to), fs::copy_options::overwrite_existing, ec);
  intResult(c, 3, ok && !ec ? 1 : 0);
}

void core_moveFile(CommandContext c) {
  std::string from(stringArg(c, 1)), to(stringArg(c, 2));
  if (!prepareDestination(to)) return;
  std::error_code ec;
  fs::rename(hostFile(from), hostFile(to), ec);
  if (ec == std::errc::cross_device_link) {  // across volumes: copy, then remove
    ec.clear();
    if (fs::copy_file(hostFile(from), hostFile(to), fs::copy_options::overwrite_existing, ec) && !ec)
      fs::remove(hostFile(from), ec);
  }
  intResult(c, 3, ec ? 0 : 1);
}

void core_deleteFile(CommandContext c) {
  std::error_code ec;
  fs::path p = hostFile(stringArg(c, 1));
  bool ok = !fs::is_directory(p, ec) && fs::remove(p, ec);
  intResult(c, 2, ok ? 1 : 0);
}

void* openLibrary(const std::string& path) {
  fs::path host = hostFile(path);
  void* h = dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h && host.extension() == ".dll") h = dlopen(host.replace_extension(".so").c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h && host.has_parent_path() == false) h = dlopen(("./" + host.string()).c_str(), RTLD_NOW | RTLD_LOCAL);
  return h;
}

void core_loadLibrary(CommandContext c) {
  std::string path(stringArg(c, 1));
  PluginLibrary& lib = libraryState.plugins.emplace_back();
  lib.path = path;
  lib.handle = openLibrary(path);
  if (!lib.handle) {
    if (kInBrowser) reportBrowserLimit("loadLibrary", "loadLibrary " + gameToUtf8(path) + " (plug-ins)");
    reportError(path + messageText(Message::LibraryNotLoaded));
    return;
  }
  lib.deviceLost = reinterpret_cast<void (*)()>(dlsym(lib.handle, "DeviceLost"));
  lib.deviceReset = reinterpret_cast<void (*)()>(dlsym(lib.handle, "DeviceReset"));
}

const CoreBinding kLibraryCores[] = {
    {"count", core_count},
    {"regexp_create", core_regexp_create},
    {"regexp_count", core_regexp_count},
    {"regexp_replace", core_regexp_replace},
    {"regexp_trans", core_regexp_trans},
    {"getParentFolderName", core_getParentFolderName},
    {"getBaseName", core_getBaseName},
    {"getExtensionName", core_getExtensionName},
    {"existFile", core_existFile},
    {"copyFile", core_copyFile},
    {"moveFile", core_moveFile},
    {"deleteFile", core_deleteFile},
    {"loadLibrary", core_loadLibrary},
};

CoreBinding libraryBinding(size_t index) { return kLibraryCores[index]; }

}  // namespace

std::span<const CoreBinding> libraryBridgeCores() { return kLibraryCores; }

void registerLibraryBridgeCommands() {
  registerOwnWrappers<libraryBinding>(std::make_index_sequence<std::size(kLibraryCores)>{});
}

const std::vector<PluginLibrary>& pluginLibraries() { return libraryState.plugins; }

void releasePluginLibraries() {
  for (PluginLibrary& lib : libraryState.plugins)
    if (lib.handle) dlclose(lib.handle);
  libraryState.plugins.clear();
}

}  // namespace velmora::bindings

#pragma once
// What the browser build cannot do: plug-in libraries, the Squirrel runtime,
// starting other programs, the start-up dialog's own window. Each is said
// once, in the page's log and in Information.txt; the game goes on.
#include <string_view>

namespace velmora::bindings {

#ifdef __EMSCRIPTEN__
constexpr bool kInBrowser = true;
#else
constexpr bool kInBrowser = false;
#endif

// feature: what was asked for, in UTF-8 (e.g. "loadLibrary foo.dll").
void reportBrowserLimit(std::string_view kind, std::string_view feature);

}  // namespace velmora::bindings

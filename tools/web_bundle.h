#pragma once
// velmora-pack web: a folder any static web server can host, holding the
// page, the engine built for the browser, the game's files and the fonts.
#include <string>

namespace velmora::tools {

struct WebOptions {
  std::string gameDir;
  std::string outDir;
  std::string title;      // the page's title; the game folder's name when empty
  std::string engineDir;  // holds velmora.js and velmora.wasm (the web build)
  std::string pageDir;    // holds index.html and serve.py
};

// Returns the process exit code: 0 written, 1 failed (reason on stderr).
int packWeb(const WebOptions& options);

}  // namespace velmora::tools

#include "web_bundle.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "base/textconv.h"

namespace velmora::tools {
namespace fs = std::filesystem;
namespace {

// The engine's own files; the worker script exists in builds with threads.
const char* const kEngineFiles[] = {"velmora.js", "velmora.wasm", "velmora.worker.js"};
// The engine without threads, for hosts that do not isolate the page; its
// build folder is the threaded one's with "-single" appended.
const char* const kSingleThreadFiles[] = {"velmora-single.js", "velmora-single.wasm"};

struct BundledFont {
  const char* file;      // under /usr/share/fonts
  const char* package;   // its licence is /usr/share/doc/PACKAGE/copyright
};
// The faces the engine maps Windows names to (see text/fonts.cpp).
// The page fetches them in this order: the faces of the usual Gothic names first.
const BundledFont kFonts[] = {
    {"opentype/ipafont-gothic/ipag.ttf", "fonts-ipafont-gothic"},
    {"opentype/ipafont-gothic/ipagp.ttf", "fonts-ipafont-gothic"},
    {"truetype/vlgothic/VL-Gothic-Regular.ttf", "fonts-vlgothic"},
    {"truetype/vlgothic/VL-PGothic-Regular.ttf", "fonts-vlgothic"},
    {"opentype/ipafont-mincho/ipam.ttf", "fonts-ipafont-mincho"},
    {"opentype/ipafont-mincho/ipamp.ttf", "fonts-ipafont-mincho"},
};
const char kFontRoot[] = "/usr/share/fonts/";
const char kDocRoot[] = "/usr/share/doc/";

struct Entry {
  std::string url;   // relative to the page
  std::string path;  // in the engine's file system
  uintmax_t size;
  bool later = false;  // fetched in the background once the game runs
};

bool readText(const fs::path& p, std::string& out) {
  std::ifstream in(p, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  out = s.str();
  return true;
}

bool writeText(const fs::path& p, const std::string& text) {
  const fs::path tmp = p.string() + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!(out << text) || !out.flush()) return false;
  }
  std::error_code ec;
  fs::rename(tmp, p, ec);
  return !ec;
}

std::string htmlEscaped(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

std::string jsonString(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) continue;
    out += c;
  }
  return out + "\"";
}

// Letters, digits and '-' only: the saves' folder in the browser's storage.
std::string storageKey(const std::string& name) {
  std::string key;
  for (char c : name)
    key += (std::isalnum(static_cast<unsigned char>(c)) || c == '-') ? c : '_';
  return key.empty() ? "game" : key;
}

bool copyInto(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::create_directories(to.parent_path(), ec);
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  if (ec) std::fprintf(stderr, "velmora-pack: cannot copy %s: %s\n", from.c_str(), ec.message().c_str());
  return !ec;
}

// Every file of the game except the desktop's saves.
bool copyGame(const fs::path& game, const fs::path& out, std::vector<Entry>& entries) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(game, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const fs::path rel = fs::relative(it->path(), game);
    if (it->is_directory() && rel == "save") {
      it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file()) continue;
    if (!copyInto(it->path(), out / "game" / rel)) return false;
    entries.push_back({"game/" + rel.generic_string(), "/game/" + rel.generic_string(), it->file_size()});
  }
  if (ec) std::fprintf(stderr, "velmora-pack: cannot read %s: %s\n", game.c_str(), ec.message().c_str());
  return !ec;
}

bool copyFonts(const fs::path& out, std::vector<Entry>& entries) {
  for (const BundledFont& f : kFonts) {
    const fs::path from = fs::path(kFontRoot) / f.file;
    if (!fs::is_regular_file(from)) {
      std::fprintf(stderr, "velmora-pack: %s is missing (Debian package %s)\n", from.c_str(), f.package);
      return false;
    }
    const std::string name = from.filename().string();
    if (!copyInto(from, out / "fonts" / name)) return false;
    // Tens of megabytes: the engine waits for a face only when it first uses it.
    entries.push_back({"fonts/" + name, "/fonts/" + name, fs::file_size(from), true});
    const fs::path licence = fs::path(kDocRoot) / f.package / "copyright";
    if (fs::is_regular_file(licence) && !copyInto(licence, out / "fonts" / "licences" / (std::string(f.package) + ".txt")))
      return false;
  }
  return true;
}

// The browser's C library has no CP932: the engine reads this machine's
// tables from /velmora/cp932.bin instead (both directions, 16-bit LE).
bool writeCp932Table(const fs::path& out, std::vector<Entry>& entries) {
  constexpr unsigned kEntries = 0x10000;
  std::string bytes;
  bytes.reserve(kEntries * 4);
  auto put = [&](unsigned v) {
    bytes.push_back(static_cast<char>(v & 0xFF));
    bytes.push_back(static_cast<char>((v >> 8) & 0xFF));
  };
  for (unsigned code = 0; code < kEntries; ++code) put(cp932ToUnicode(code));
  for (unsigned u = 0; u < kEntries; ++u) put(unicodeToCp932(static_cast<char16_t>(u)));
  std::error_code ec;
  fs::create_directories(out / "velmora", ec);
  if (!writeText(out / "velmora" / "cp932.bin", bytes)) return false;
  entries.push_back({"velmora/cp932.bin", "/velmora/cp932.bin", bytes.size()});
  return true;
}

std::string manifest(const std::string& key, const std::vector<Entry>& entries) {
  std::string json = "{\"key\": " + jsonString(key) + ", \"files\": [\n";
  for (size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    json += "  {\"url\": " + jsonString(e.url) + ", \"path\": " + jsonString(e.path) +
            ", \"size\": " + std::to_string(e.size) + (e.later ? ", \"later\": true" : "") +
            (i + 1 < entries.size() ? "},\n" : "}\n");
  }
  return json + "]}\n";
}

}  // namespace

int packWeb(const WebOptions& o) {
  const fs::path game(o.gameDir), out(o.outDir), engine(o.engineDir), page(o.pageDir);
  if (!fs::is_regular_file(game / "script.dat")) {
    std::fprintf(stderr, "velmora-pack: %s holds no script.dat (pack the game first)\n", game.c_str());
    return 1;
  }
  if (!fs::is_regular_file(engine / "velmora.js") || !fs::is_regular_file(engine / "velmora.wasm")) {
    std::fprintf(stderr,
                 "velmora-pack: no browser build of the engine in %s (scripts/setup-web.sh, then "
                 "cmake --preset web && cmake --build --preset web; or --engine DIR)\n",
                 engine.c_str());
    return 1;
  }
  std::string html;
  if (!readText(page / "index.html", html)) {
    std::fprintf(stderr, "velmora-pack: cannot read %s\n", (page / "index.html").c_str());
    return 1;
  }
  std::error_code ec;
  fs::create_directories(out, ec);
  const std::string name = fs::absolute(game).lexically_normal().filename().string().empty()
                               ? fs::absolute(game).lexically_normal().parent_path().filename().string()
                               : fs::absolute(game).lexically_normal().filename().string();
  const std::string title = o.title.empty() ? name : o.title;
  for (const char* f : kEngineFiles)
    if (fs::is_regular_file(engine / f) && !copyInto(engine / f, out / f)) return 1;
  fs::path engineFolder = fs::absolute(engine).lexically_normal();
  if (engineFolder.filename().empty()) engineFolder = engineFolder.parent_path();
  const fs::path single = fs::is_regular_file(engine / kSingleThreadFiles[0])
                              ? engine
                              : fs::path(engineFolder.string() + "-single");
  const bool hasSingle = fs::is_regular_file(single / kSingleThreadFiles[0]);
  for (const char* f : kSingleThreadFiles)
    if (hasSingle && !copyInto(single / f, out / f)) return 1;
  if (!copyInto(page / "serve.py", out / "serve.py")) return 1;
  std::vector<Entry> entries;
  if (!copyGame(game, out, entries) || !copyFonts(out, entries) || !writeCp932Table(out, entries)) return 1;
  for (size_t at = html.find("@TITLE@"); at != std::string::npos; at = html.find("@TITLE@", at))
    html.replace(at, 7, htmlEscaped(title));
  for (size_t at = html.find("@SINGLE@"); at != std::string::npos; at = html.find("@SINGLE@", at))
    html.replace(at, 8, hasSingle ? "true" : "false");
  if (!hasSingle)
    std::printf("no thread-free engine in %s: the page plays only where it is served cross-origin isolated\n",
                single.c_str());
  if (!writeText(out / "files.json", manifest(storageKey(title), entries)) || !writeText(out / "index.html", html)) {
    std::fprintf(stderr, "velmora-pack: cannot write into %s\n", out.c_str());
    return 1;
  }
  std::printf("wrote %s: try it with python3 %s/serve.py, then open http://127.0.0.1:8000/\n", out.c_str(),
              out.c_str());
  return 0;
}

}  // namespace velmora::tools

// velmora-pack: packs a game's scripts into script.dat and its resources into
// numbered archives, and lists or extracts them again. Members are known only
// by the hash of their path, so listing and extracting need candidate names.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "check.h"
#include "extract.h"
#include "movie_pack.h"
#include "reference.h"
#include "starter.h"
#include "web_bundle.h"
#include "base/hash.h"
#include "base/replace_file.h"
#include "base/textconv.h"
#include "resource/packer.h"
#include "resource/script_names.h"

namespace fs = std::filesystem;
using velmora::resource::IndexRecord;
using velmora::resource::PackedMember;

namespace {

std::string optionValue(std::vector<std::string>& args, const std::string& name);
bool takeFlag(std::vector<std::string>& args, const std::string& name);

struct Subcommand {
  const char* name;
  const char* usage;
  const char* help;
};

const Subcommand kSubcommands[] = {
    {"scripts", "velmora-pack scripts GAME_SRC OUT/script.dat [--sjis | --utf8] [--ui en|ja]",
     "Packs every script/**/*.txt under GAME_SRC under its game path (script/0.txt is\n"
     "the start script). Sources are UTF-8 unless --sjis says they are Shift_JIS;\n"
     "a character without a code page 932 code stops with file, line and column.\n"
     "--utf8 makes a Unicode game: the text stays UTF-8 (any language), and a line\n"
     "that begins with ` is a text line even when a Latin letter follows.\n"
     "--ui en shows the engine's own windows and questions in English (ja: Japanese,\n"
     "the default); players may override it with VELMORA_UI_LANGUAGE=en|ja.\n"
     "The scripts' paths go along, so that the engine's reports name chapter1.txt\n"
     "rather than its hash; engines that predate them ignore them.\n"},
    {"archive", "velmora-pack archive SRC_DIR OUT/arcN.dat [--mask]",
     "Packs every file under SRC_DIR under its relative path with forward slashes.\n"
     "--mask masks the members' bytes. Games read arc0.dat ... arc8.dat, stopping at\n"
     "the first missing number; a later archive wins over an earlier one.\n"},
    {"list", "velmora-pack list FILE [--names NAMES.txt]",
     "Lists every key of script.dat or an archive in base 32 with its size, and the\n"
     "path where a line of NAMES.txt (or the paths script.dat carries) hashes to the\n"
     "key ('?' marks an archive size that needs the path to be known).\n"},
    {"extract", "velmora-pack extract FILE --names NAMES.txt OUT_DIR",
     "Writes out every member that a line of NAMES.txt names, under OUT_DIR only: a\n"
     "name that is absolute or has a \"..\" part ('/' and '\\' both separate), or\n"
     "that leads out through a symbolic link, is refused and named.\n"},
    {"check", "velmora-pack check GAME_SRC [--archive-src DIR]... [--sjis | --utf8]",
     "Checks the scripts under GAME_SRC before packing: invalid, duplicate and\n"
     "hidden labels, jumps to missing labels, unknown commands, the number and\n"
     "kinds of every command's arguments (from the engine's command table),\n"
     "values with an ignored rest or a single '=', effect names, writes to\n"
     "undeclared variables, for without next, lines over 511 bytes, every\n"
     "character without a code page 932 code (with --utf8, a Unicode game: every\n"
     "byte that is not UTF-8), and resource paths found neither in\n"
     "GAME_SRC nor in an archive source. Prints file:line: messages and a count;\n"
     "exits 1 when there are errors.\n"},
    {"movie", "velmora-pack movie OUT (--theora VIDEO.ogv | --mjpg DIR (--fps N | --times FILE) [--duration MS]) [--sound FILE]",
     "Builds a movie for sp_ani. --theora wraps an Ogg Theora video as a \"THOR\" file\n"
     "(frame count, size and duration come from the video). --mjpg makes an \"MJPG\"\n"
     "file from the pictures in DIR in name order, shown every 1000/N ms or at the\n"
     "times (ms, one per picture) in FILE; a picture equal to the one before is\n"
     "stored as a repeat. --sound embeds a WAVE or Ogg Vorbis file that plays on\n"
     "sound channel 0 with the movie.\n"},
    {"new", "velmora-pack new DIR",
     "Writes a complete small game into DIR (which must not exist or be empty) to\n"
     "start from: UTF-8 scripts under DIR/script/ with a title menu, the message\n"
     "window and its text handler, a choice menu, save and load screens, a\n"
     "settings screen and a short story; pictures and sounds under DIR/res/.\n"
     "Then: velmora-pack game DIR OUT, and velmora OUT.\n"},
    {"game", "velmora-pack game SRC OUT [--utf8] [--ui en|ja]",
     "Checks and packs a game laid out as velmora-pack new writes it: SRC/script/\n"
     "into OUT/script.dat and everything under SRC/res/ into OUT/arc0.dat; writes\n"
     "an empty OUT/save.dat (saves in OUT/save/) unless there is one. Nothing is\n"
     "packed while check reports errors. --utf8 and --ui as for scripts.\n"},
    {"web", "velmora-pack web GAME_DIR OUT_DIR [--title T] [--engine DIR]",
     "Writes a folder that plays the packed game in GAME_DIR in a browser: index.html,\n"
     "the engine's velmora.js and velmora.wasm (from DIR, default the web build or\n"
     "$VELMORA_WEB_ENGINE; the thread-free velmora-single.* from DIR or DIR-single),\n"
     "the game's files, the Japanese fonts with their licences,\n"
     "and serve.py, a local server with the headers the page needs:\n"
     "python3 OUT_DIR/serve.py, then open http://127.0.0.1:8000/.\n"},
    {"reference", "velmora-pack reference",
     "Prints the reference of the engine's commands in Markdown (docs/commands.md).\n"},
};

std::string usage() {
  std::string u = "usage:\n";
  for (const Subcommand& s : kSubcommands) u += std::string("  ") + s.usage + "\n";
  u += "  velmora-pack SUBCOMMAND --help\n";
  return u;
}

bool printSubcommandHelp(const std::string& name) {
  for (const Subcommand& s : kSubcommands)
    if (name == s.name) {
      std::printf("usage: %s\n\n%s", s.usage, s.help);
      return true;
    }
  return false;
}

int printFindings(const std::vector<velmora::tools::Finding>& findings) {
  int errors = 0, warnings = 0;
  for (const auto& f : findings) {
    const std::string column = f.column ? ":" + std::to_string(f.column) : "";
    std::printf("%s:%d%s: %s: %s\n", f.file.c_str(), f.line, column.c_str(), f.error ? "error" : "warning",
                f.message.c_str());
    (f.error ? errors : warnings)++;
  }
  std::printf("%d errors, %d warnings\n", errors, warnings);
  return errors;
}

int check(const std::string& src, std::vector<std::string>& args, bool sjis, bool utf8) {
  velmora::tools::CheckOptions options;
  options.gameSource = src;
  options.sjis = sjis;
  options.utf8 = utf8;
  for (std::string dir = optionValue(args, "--archive-src"); !dir.empty(); dir = optionValue(args, "--archive-src"))
    options.archiveSources.push_back(dir);
  return printFindings(velmora::tools::checkGame(options)) ? 1 : 0;
}

bool readFile(const fs::path& p, std::string& out) {
  std::ifstream in(p, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

bool writeFile(const fs::path& p, const std::string& bytes) {
  if (p.has_parent_path()) fs::create_directories(p.parent_path());
  // The engine's own writer: a temporary of its own, renamed over the target.
  velmora::ReplaceFile out(p.string(), velmora::ReplaceFile::Name::Host);
  if (out.write(bytes.data(), bytes.size()) && out.commit()) return true;
  std::fprintf(stderr, "velmora-pack: cannot write %s: %s\n", p.c_str(), std::strerror(errno));
  return false;
}

// Every regular file under root, as a relative path with forward slashes, sorted.
std::vector<std::string> filesUnder(const fs::path& root) {
  std::vector<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) out.push_back(fs::relative(e.path(), root).generic_string());
  std::sort(out.begin(), out.end());
  return out;
}

// UTF-8 source to CP932, or a message naming the file, line and column.
bool toSjis(const std::string& name, const std::string& utf8, std::string& out) {
  size_t bad = 0;
  if (velmora::utf8_to_sjis_strict(utf8, out, bad)) return true;
  size_t line = 1 + static_cast<size_t>(std::count(utf8.begin(), utf8.begin() + bad, '\n'));
  size_t lineStart = utf8.rfind('\n', bad == 0 ? 0 : bad - 1);
  size_t column = bad - (lineStart == std::string::npos || bad == 0 ? 0 : lineStart + 1) + 1;
  if (bad == 0) column = 1;
  size_t len = 1;
  while (bad + len < utf8.size() && (static_cast<unsigned char>(utf8[bad + len]) & 0xC0) == 0x80) ++len;
  std::fprintf(stderr, "velmora-pack: %s:%zu:%zu: '%s' has no code in code page 932 (or is not UTF-8)\n",
               name.c_str(), line, column, utf8.substr(bad, len).c_str());
  return false;
}

// How the scripts subcommand reads its sources and what it records.
struct ScriptPackOptions {
  bool sjis = false;  // sources are Shift_JIS already
  velmora::resource::GameOptions game;
};

int packScripts(const fs::path& src, const fs::path& out, const ScriptPackOptions& options) {
  fs::path dir = src / "script";
  if (!fs::is_directory(dir)) {
    std::fprintf(stderr, "velmora-pack: %s has no script/ folder\n", src.c_str());
    return 1;
  }
  std::vector<PackedMember> scripts;
  for (const std::string& rel : filesUnder(dir)) {
    if (fs::path(rel).extension() != ".txt") continue;
    PackedMember m{"script/" + rel, {}};
    std::string raw;
    if (!readFile(dir / rel, raw)) {
      std::fprintf(stderr, "velmora-pack: cannot read %s\n", (dir / rel).c_str());
      return 1;
    }
    if (options.game.utf8) m.bytes = velmora::resource::markNarrationLines(raw);
    else if (options.sjis) m.bytes = std::move(raw);
    else if (!toSjis((dir / rel).string(), raw, m.bytes)) return 1;
    scripts.push_back(std::move(m));
  }
  if (scripts.empty()) {
    std::fprintf(stderr, "velmora-pack: no script/**/*.txt under %s\n", src.c_str());
    return 1;
  }
  if (!writeFile(out, velmora::resource::buildScriptFile(scripts, true, options.game))) return 1;
  std::printf("%zu scripts -> %s\n", scripts.size(), out.c_str());
  return 0;
}

int packArchive(const fs::path& src, const fs::path& out, bool mask) {
  if (!fs::is_directory(src)) {
    std::fprintf(stderr, "velmora-pack: %s is not a folder\n", src.c_str());
    return 1;
  }
  std::vector<PackedMember> members;
  for (const std::string& rel : filesUnder(src)) {
    PackedMember m{rel, {}};
    if (!readFile(src / rel, m.bytes)) {
      std::fprintf(stderr, "velmora-pack: cannot read %s\n", (src / rel).c_str());
      return 1;
    }
    members.push_back(std::move(m));
  }
  if (!writeFile(out, velmora::resource::buildArchive(members, mask))) return 1;
  std::printf("%zu members -> %s\n", members.size(), out.c_str());
  return 0;
}

int newGame(const fs::path& dir) {
  std::string error;
  if (!velmora::tools::writeStarterGame(dir, error)) {
    std::fprintf(stderr, "velmora-pack: %s\n", error.c_str());
    return 1;
  }
  std::printf("a new game in %s: edit %s/script/story.txt, then\n  velmora-pack game %s OUT\n  velmora OUT\n",
              dir.c_str(), dir.c_str(), dir.c_str());
  return 0;
}

// check, scripts, archive and an empty save.dat in one go.
int packGame(const fs::path& src, const fs::path& out, const ScriptPackOptions& pack) {
  velmora::tools::CheckOptions options;
  options.gameSource = src;
  options.utf8 = pack.game.utf8;
  const fs::path res = src / "res";
  if (fs::is_directory(res)) options.archiveSources.push_back(res);
  if (printFindings(velmora::tools::checkGame(options))) {
    std::fprintf(stderr, "velmora-pack: nothing packed: check found errors\n");
    return 1;
  }
  if (int code = packScripts(src, out / "script.dat", pack)) return code;
  if (fs::is_directory(res))
    if (int code = packArchive(res, out / "arc0.dat", false)) return code;
  if (!fs::exists(out / "save.dat") && !writeFile(out / "save.dat", "")) return 1;
  return 0;
}

std::map<uint64_t, std::string> readNames(const std::string& file) {
  std::map<uint64_t, std::string> names;
  std::string text;
  if (file.empty() || !readFile(file, text)) return names;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty()) names[velmora::crc64_hash(line)] = line;
  }
  return names;
}

bool looksLikeScripts(const fs::path& file) { return file.filename() == "script.dat"; }

bool loadIndex(const fs::path& file, std::string& bytes, std::vector<IndexRecord>& index) {
  if (!readFile(file, bytes)) {
    std::fprintf(stderr, "velmora-pack: cannot read %s\n", file.c_str());
    return false;
  }
  if (!velmora::resource::readIndex(bytes, index)) {
    std::fprintf(stderr, "velmora-pack: %s: the index is damaged or the file is truncated\n", file.c_str());
    return false;
  }
  return true;
}

int list(const fs::path& file, const std::string& namesFile) {
  std::string bytes;
  std::vector<IndexRecord> index;
  if (!loadIndex(file, bytes, index)) return 1;
  auto names = readNames(namesFile);
  bool scripts = looksLikeScripts(file);
  if (scripts)
    for (const std::string& path : velmora::resource::readScriptNames(bytes)) names.emplace(velmora::crc64_hash(path), path);
  for (const IndexRecord& r : index) {
    auto it = names.find(r.key);
    uint32_t size = r.size;
    if (!scripts && it != names.end()) {
      const std::string& p = it->second;
      size ^= p.size() / 4 < p.size() ? static_cast<uint8_t>(p[p.size() / 4]) : 0;
    }
    std::printf("%-13s %10u%s %s\n", velmora::scriptName(r.key).c_str(), scripts ? r.fourth : size,
                !scripts && it == names.end() ? "?" : " ", it == names.end() ? "" : it->second.c_str());
  }
  const velmora::resource::GameOptions o = velmora::resource::readGameOptions(bytes);
  if (scripts && !(o == velmora::resource::GameOptions{}))
    std::printf("packed as %s, engine UI %s\n", o.utf8 ? "a Unicode game (--utf8)" : "Shift_JIS",
                o.englishUi ? "English" : "Japanese");
  return 0;
}

int extract(const fs::path& file, const std::string& namesFile, const fs::path& outDir) {
  std::string bytes;
  std::vector<IndexRecord> index;
  if (!loadIndex(file, bytes, index)) return 1;
  auto names = readNames(namesFile);
  int written = 0, failed = 0;
  for (const IndexRecord& r : index) {
    auto it = names.find(r.key);
    if (it == names.end()) continue;
    std::string member;
    bool ok = looksLikeScripts(file) ? velmora::resource::unpackScript(bytes, r, member)
                                     : velmora::resource::extractMember(bytes, r, it->second, member);
    if (!ok) {
      std::fprintf(stderr, "velmora-pack: %s: member %s is damaged\n", file.c_str(), it->second.c_str());
      ++failed;
      continue;
    }
    std::string error;
    if (!velmora::tools::writeMemberFile(outDir, it->second, member, error)) {
      std::fprintf(stderr, "velmora-pack: %s: member %s is not written: %s\n", file.c_str(), it->second.c_str(),
                   error.c_str());
      ++failed;
      continue;
    }
    ++written;
  }
  std::printf("%d of %zu members extracted to %s\n", written, index.size(), outDir.c_str());
  return failed ? 1 : 0;
}

std::string optionValue(std::vector<std::string>& args, const std::string& name) {
  auto it = std::find(args.begin(), args.end(), name);
  if (it == args.end() || it + 1 == args.end()) return {};
  std::string v = *(it + 1);
  args.erase(it, it + 2);
  return v;
}

bool takeFlag(std::vector<std::string>& args, const std::string& name) {
  auto it = std::find(args.begin(), args.end(), name);
  if (it == args.end()) return false;
  args.erase(it);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(usage().c_str(), args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  std::string command = args[0];
  args.erase(args.begin());
  if (takeFlag(args, "--help") || takeFlag(args, "-h")) {
    if (printSubcommandHelp(command)) return 0;
    std::fprintf(stderr, "velmora-pack: no subcommand '%s'\n%s", command.c_str(), usage().c_str());
    return 2;
  }
  try {
    if (command == "scripts" || command == "game") {
      ScriptPackOptions o;
      o.sjis = command == "scripts" && takeFlag(args, "--sjis");
      o.game.utf8 = takeFlag(args, "--utf8");
      const std::string ui = optionValue(args, "--ui");
      o.game.englishUi = ui == "en";
      const bool uiKnown = ui.empty() || ui == "en" || ui == "ja";
      if (args.size() == 2 && uiKnown && !(o.sjis && o.game.utf8))
        return command == "game" ? packGame(args[0], args[1], o) : packScripts(args[0], args[1], o);
    } else if (command == "archive") {
      bool mask = takeFlag(args, "--mask");
      if (args.size() == 2) return packArchive(args[0], args[1], mask);
    } else if (command == "list") {
      std::string names = optionValue(args, "--names");
      if (args.size() == 1) return list(args[0], names);
    } else if (command == "extract") {
      std::string names = optionValue(args, "--names");
      if (args.size() == 2 && !names.empty()) return extract(args[0], names, args[1]);
    } else if (command == "movie") {
      velmora::tools::MovieOptions o;
      o.theora = optionValue(args, "--theora"), o.mjpg = optionValue(args, "--mjpg");
      o.sound = optionValue(args, "--sound"), o.fps = optionValue(args, "--fps");
      o.times = optionValue(args, "--times"), o.duration = optionValue(args, "--duration");
      if (args.size() == 1) o.out = args[0];
      int code = velmora::tools::packMovie(o, readFile, writeFile);
      if (code != 2) return code;
    } else if (command == "reference") {
      if (args.empty()) return std::fputs(velmora::tools::commandReference().c_str(), stdout) < 0;
    } else if (command == "new") {
      if (args.size() == 1) return newGame(args[0]);
    } else if (command == "web") {
      velmora::tools::WebOptions o;
      o.title = optionValue(args, "--title");
      o.engineDir = optionValue(args, "--engine");
      if (o.engineDir.empty()) o.engineDir = std::getenv("VELMORA_WEB_ENGINE") ? std::getenv("VELMORA_WEB_ENGINE") : VELMORA_WEB_ENGINE_DIR;
      o.pageDir = VELMORA_WEB_PAGE_DIR;
      if (args.size() == 2) {
        o.gameDir = args[0], o.outDir = args[1];
        return velmora::tools::packWeb(o);
      }
    } else if (command == "check") {
      bool sjis = takeFlag(args, "--sjis");
      bool utf8 = takeFlag(args, "--utf8");
      std::string src = args.empty() ? "" : args[0];
      if (!src.empty()) args.erase(args.begin());
      if (!src.empty()) return check(src, args, sjis, utf8);
    }
  } catch (const fs::filesystem_error& e) {
    std::fprintf(stderr, "velmora-pack: %s\n", e.what());
    return 1;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "velmora-pack: out of memory\n");
    return 1;
  }
  std::fputs(usage().c_str(), stderr);
  return 2;
}

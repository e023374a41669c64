#include "script/loader.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/encoding.h"
#include "base/language.h"
#include "base/report.h"
#include "base/sjis.h"
#include "base/state.h"
#include "base/textconv.h"
#include "resource/game_options.h"
#include "resource/packer.h"
#include "resource/script_names.h"
#include "script/messages.h"

namespace velmora::script {
namespace {

struct LoaderState {
  std::unordered_map<ScriptKey, ScriptIndexEntry> index;
  bool indexLoaded = false;
  std::string path = "script.dat";
  std::unordered_map<uint32_t, int> labels;
  std::unordered_map<uint32_t, ScriptKey> labelOwners;
  std::unordered_map<ScriptKey, std::string> names;
  std::unordered_map<ScriptKey, std::string> sourceNames;  // only when script.dat carries them
  std::unordered_map<ScriptKey, TextBlockTable> textBlocks;
};
LoaderState loaderState;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

uint32_t readLe32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void reportBadFile(const std::string& path) { showErrorBox(path + messageText(Message::BadFile)); }

// A path counts only when it hashes to a script of the index: a damaged or
// foreign block can name nothing wrongly.
void readSourceNames(std::FILE* f, uint64_t length) {
  constexpr std::string_view kScriptFolder = "script/";
  for (const std::string& path : resource::readScriptNames(f, length)) {
    const ScriptKey key = crc64_hash(path);
    if (!loaderState.index.count(key)) continue;
    std::string_view shown = path;
    if (shown.substr(0, kScriptFolder.size()) == kScriptFolder) shown.remove_prefix(kScriptFolder.size());
    loaderState.sourceNames[key] = utf8ToGame(shown);
  }
}

// The game's packed options hold from the first script scanned on.
void applyGameOptions(const resource::GameOptions& o) {
  setGameEncoding(o.utf8 ? GameEncoding::Utf8 : GameEncoding::ShiftJis);
  setGameUiLanguage(o.englishUi ? UiLanguage::English : UiLanguage::Japanese);
}

// Reads and unmasks the index; every offset and size is checked against the
// file so that a damaged file is reported instead of read past its end.
bool readIndex(std::FILE* f) {
  std::vector<resource::IndexRecord> records;
  uint64_t length = 0;
  if (!resource::readIndex(f, records, length)) return reportBadFile(loaderState.path), false;
  for (const auto& r : records) {
    // An implausible unpacked size would otherwise be allocated (twice over)
    // before inflating fails.
    if (!resource::plausibleScriptEntry(r, length)) return reportBadFile(loaderState.path), false;
    loaderState.index[r.key] = ScriptIndexEntry{r.flag, r.offset, r.size, r.fourth};
  }
  applyGameOptions(resource::readGameOptions(f, length));
  readSourceNames(f, length);
  return true;
}

void appendLine(void* target, std::string_view line) { static_cast<LineArray*>(target)->emplace_back(line); }

bool loadScriptFrom(std::FILE* f, ScriptKey key, const ScriptIndexEntry& e, LineArray& lines) {
  const std::string& name = scriptReportName(key);
  std::vector<unsigned char> packed;
  try {
    packed.resize(e.packedSize);
  } catch (const std::bad_alloc&) {
    showErrorBox(messageText(Message::ScriptMemoryFailed));
    return false;
  }
  if (std::fseek(f, e.offset, SEEK_SET) != 0 || std::fread(packed.data(), 1, packed.size(), f) != packed.size()) {
    showErrorBox(name + messageText(Message::ScriptReadFailed));
    return false;
  }
  const uint32_t mask = static_cast<uint32_t>(key) ^ titleKey();
  for (size_t i = 0; i + 4 <= packed.size(); i += 4) {
    uint32_t w = readLe32(&packed[i]) ^ mask;
    std::memcpy(&packed[i], &w, 4);  // the engine targets little-endian machines only
  }
  const size_t want = size_t(e.unpackedSize) * 2;
  if (fileSize() < want && !growFileMemory(want)) {
    showErrorBox(messageText(Message::ScriptMemoryFailed));
    return false;
  }
  uLongf outLength = e.unpackedSize;
  int rc = uncompress(reinterpret_cast<Bytef*>(fileMemory()), &outLength, packed.data(), packed.size());
  if (rc != Z_OK) {
    showErrorBox(name + messageText(Message::ScriptReadFailed));
    return false;
  }
  splitLines(fileMemory(), outLength, appendLine, &lines);
  return true;
}

bool isLabelEnd(char c) { return c == ':' || c == '/' || c == ' ' || c == '\t' || c == '\r'; }

[[noreturn]] void fatalLabelError(const std::string& text) {
  showErrorBox(text);
  std::fflush(nullptr);
  std::_Exit(0);
}

}  // namespace

bool splitLines(const char* bytes, size_t length, LineSink sink, void* target) {
  size_t start = 0, i = 0;
  // No UTF-8 sequence holds a line feed byte: a plain search finds the lines.
  if (unicodeGame()) {
    for (const char* lf; start < length && (lf = static_cast<const char*>(std::memchr(bytes + start, '\n', length - start)));
         start = size_t(lf - bytes) + 1)
      sink(target, std::string_view(bytes + start, size_t(lf - bytes) - start));
    if (length > start && length - start >= 2) sink(target, std::string_view(bytes + start, length - start));
    return true;
  }
  while (i < length) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (isLeadByte(c)) {
      i += 2;
    } else if (c == '\n') {
      sink(target, std::string_view(bytes + start, i - start));
      start = ++i;
    } else {
      ++i;
    }
  }
  // A last line without a line feed needs at least two bytes to count.
  if (length > start && length - start >= 2) sink(target, std::string_view(bytes + start, length - start));
  return true;
}

void splitLinesInto(std::string_view text, LineArray& lines) {
  splitLines(text.data(), text.size(), appendLine, &lines);
}

bool scanLabels(ScriptKey key, const LineArray& lines, TextBlockTable& blocks, std::string* fatal) {
  const std::string name = scriptReportName(key);
  const int count = static_cast<int>(lines.size());
  for (int f = 0; f < count; ++f) {
    const std::string& line = lines[f];
    if (line.empty() || isAsciiLetter(line[0])) continue;
    if (line[0] != '*') {
      blocks.emplace(f, 0);
      while (f + 1 < count && !lines[f + 1].empty()) ++f;
      ++f;  // the empty line that ends the block
      continue;
    }
    size_t i = 1;
    while (i < line.size() && !isLabelEnd(line[i])) {
      if (isMultiByteLead(line[i]) && i + 1 < line.size()) {
        i += charLength(line, i);
      } else if (isIdentChar(line[i])) {
        ++i;
      } else {
        std::string text = name + "[" + std::to_string(f + 1) + "] " + line + messageText(Message::BadLabelName);
        if (fatal) return *fatal = text, false;
        fatalLabelError(text);
      }
    }
    uint32_t hash = crc32_hash2(line.data(), i);
    if (loaderState.labels.count(hash)) {
      std::string text = name + "[" + std::to_string(f + 1) + "] " + line + messageText(Message::DuplicateLabel);
      if (fatal) return *fatal = text, false;
      fatalLabelError(text);
    }
    loaderState.labels[hash] = f;
    loaderState.labelOwners[hash] = key;
  }
  loaderState.names[key] = scriptName(key);
  return true;
}

bool loadScriptIndex(const char* path, std::string* fatal) {
  loaderState.path = path;
  File f(std::fopen(path, "rb"));
  if (!f) {
    showErrorBox(std::string("script.dat ") + std::strerror(errno));
    return false;
  }
  loaderState.indexLoaded = true;
  titleKey();
  if (!readIndex(f.get())) return false;
  LineArray lines;
  for (const auto& [key, entry] : loaderState.index) {
    lines.clear();
    if (!loadScriptFrom(f.get(), key, entry, lines)) return false;
    if (!scanLabels(key, lines, loaderState.textBlocks[key], fatal)) return false;
  }
  return true;
}

bool loadScript(ScriptKey key, LineArray& lines) {
  auto it = loaderState.index.find(key);
  if (!loaderState.indexLoaded || it == loaderState.index.end()) {
    showErrorBox(scriptName(key) + messageText(Message::BadScriptHash));
    return false;
  }
  File f(std::fopen(loaderState.path.c_str(), "rb"));
  if (!f) {
    showErrorBox(std::string("script.dat ") + std::strerror(errno));
    return false;
  }
  return loadScriptFrom(f.get(), key, it->second, lines);
}

std::optional<LabelInfo> findLabel(uint32_t labelHash) {
  auto it = loaderState.labels.find(labelHash);
  if (it == loaderState.labels.end()) return std::nullopt;
  return LabelInfo{it->second, loaderState.labelOwners[labelHash]};
}

TextBlockTable* textBlocks(ScriptKey key) {
  auto it = loaderState.textBlocks.find(key);
  return it == loaderState.textBlocks.end() ? nullptr : &it->second;
}

const std::unordered_map<ScriptKey, TextBlockTable>& allTextBlocks() { return loaderState.textBlocks; }

const ScriptIndexEntry* indexEntry(ScriptKey key) {
  auto it = loaderState.index.find(key);
  return it == loaderState.index.end() ? nullptr : &it->second;
}

size_t indexSize() { return loaderState.index.size(); }

const std::string& scriptDisplayName(ScriptKey key) {
  auto it = loaderState.names.find(key);
  if (it != loaderState.names.end()) return it->second;
  return loaderState.names.emplace(key, scriptName(key)).first->second;
}

const std::string& scriptReportName(ScriptKey key) {
  auto it = loaderState.sourceNames.find(key);
  return it != loaderState.sourceNames.end() ? it->second : scriptDisplayName(key);
}

void releaseScriptTables() {
  loaderState.labels.clear();
  loaderState.labelOwners.clear();
  loaderState.names.clear();
  loaderState.sourceNames.clear();
  loaderState.textBlocks.clear();
  loaderState.index.clear();
  loaderState.indexLoaded = false;
}

}  // namespace velmora::script

#pragma once
// script.dat: the index, unpacking one script, lines, labels and text blocks.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/hash.h"

namespace velmora::script {

using LineArray = std::vector<std::string>;

struct ScriptIndexEntry {
  uint8_t flag = 0;
  uint32_t offset = 0;
  uint32_t packedSize = 0;
  uint32_t unpackedSize = 0;
};

// Line index of a text block's first line -> its already-read flag.
using TextBlockTable = std::map<int, int32_t>;

constexpr uint32_t kIndexCountMask = 0x5B3D91C4u;
constexpr size_t kIndexEntrySize = 25;
constexpr const char* kStartScriptPath = "script/0.txt";

// Reads the index of the script file and scans every script for labels and
// text blocks. Invalid or duplicate labels end the process, or (with fatal
// given) leave their message there and return false.
bool loadScriptIndex(const char* path = "script.dat", std::string* fatal = nullptr);
// Appends the script's lines to the array (the caller empties it first).
bool loadScript(ScriptKey key, LineArray& lines);

using LineSink = void (*)(void* target, std::string_view line);
bool splitLines(const char* bytes, size_t length, LineSink sink, void* target);
void splitLinesInto(std::string_view text, LineArray& lines);

// Scans one script. Returns false with the message in *fatal instead of
// ending the process when fatal is given (tests, the authoring tools).
bool scanLabels(ScriptKey key, const LineArray& lines, TextBlockTable& blocks, std::string* fatal = nullptr);

// Label lookups: line index and owning script of a label (text with '*').
struct LabelInfo {
  int line = 0;
  ScriptKey owner = 0;
};
std::optional<LabelInfo> findLabel(uint32_t labelHash);
inline std::optional<LabelInfo> findLabel(std::string_view label) { return findLabel(crc32_hash(label)); }

// The text-block table of a script, or null when no such script exists.
TextBlockTable* textBlocks(ScriptKey key);
const std::unordered_map<ScriptKey, TextBlockTable>& allTextBlocks();
const ScriptIndexEntry* indexEntry(ScriptKey key);
size_t indexSize();
// Printable name of a scanned script (as kept in the name table).
const std::string& scriptDisplayName(ScriptKey key);
// The name reports give a script: its file under script/ when script.dat
// carries the names, else the printable name.
const std::string& scriptReportName(ScriptKey key);

// Releases the label, name and text-block tables and the index.
void releaseScriptTables();

}  // namespace velmora::script

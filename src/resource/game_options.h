#pragma once
// Options a game was packed with, carried by script.dat after its members (in
// front of the script names when both are there). Readers that predate them
// stop at the members and never see them; a file without them is a Shift_JIS
// game with the Japanese engine UI, as every older file is.
//
//   ... members ... | "key=value\n" lines | block length (32-bit) | "VLMGAMEO" | [names block]
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace velmora::resource {

struct GameOptions {
  bool utf8 = false;     // game text is UTF-8 rather than Shift_JIS
  bool englishUi = false;  // the engine's own windows speak English
  bool operator==(const GameOptions& o) const { return utf8 == o.utf8 && englishUi == o.englishUi; }
};

// Appends the block to a script file built so far (before appendScriptNames);
// nothing when every option has its default.
void appendGameOptions(std::string& file, const GameOptions& options);

// The options of a whole file in memory or of an open file of fileLength
// bytes; the defaults when it carries none. Unknown keys are skipped so that
// newer packers' files still open; a damaged block reads as none.
GameOptions readGameOptions(std::string_view file);
GameOptions readGameOptions(std::FILE* f, uint64_t fileLength);

}  // namespace velmora::resource

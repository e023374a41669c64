#pragma once
// Writers of the packed formats: script.dat and the numbered archives. The
// authoring tool and the tests build their files with these.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "resource/game_options.h"

namespace velmora::resource {

struct PackedMember {
  std::string path;   // game path with forward slashes, e.g. "script/0.txt"
  std::string bytes;  // script text in the game's encoding, or the member's bytes
};

// Index of (count, 25-byte entries) followed by the masked zlib texts, and
// with keepNames the scripts' paths after them (resource/script_names.h); the
// options block (resource/game_options.h) when any option differs from the default.
std::string buildScriptFile(const std::vector<PackedMember>& scripts, bool keepNames = false,
                            const GameOptions& options = {});
// Index followed by the members, each masked when mask is set.
std::string buildArchive(const std::vector<PackedMember>& members, bool mask);

// Narration lines of a Unicode game's source: a line that begins with '`' is
// text even when a Latin letter follows, and packs with its '`' turned into the
// narration mark (base/encoding.h). "``" begins a text line with a '`'.
constexpr char kNarrationSourceMark = '`';
std::string markNarrationLines(std::string_view source);

// One index entry as stored, all masks removed.
struct IndexRecord {
  uint64_t key = 0;
  uint8_t flag = 0;
  uint32_t offset = 0, size = 0, fourth = 0;  // size: packed size for scripts
};
// Reads an index; false when the file is too short for what it claims.
bool readIndex(const std::string& file, std::vector<IndexRecord>& out);
// The same from an open file (only the index is read); fileLength receives
// the file's length so that callers can check offsets against it.
bool readIndex(std::FILE* f, std::vector<IndexRecord>& out, uint64_t& fileLength);

// Whether a script.dat entry lies inside a file of fileLength bytes and
// claims an unpacked size that zlib could give; anything else is damage.
bool plausibleScriptEntry(const IndexRecord& r, uint64_t fileLength);
// Unpacks one script text of script.dat; false on a damaged entry.
bool unpackScript(const std::string& file, const IndexRecord& r, std::string& text);
// Cuts one archive member out for a known path (offset and size depend on it).
bool extractMember(const std::string& file, const IndexRecord& r, const std::string& path, std::string& bytes);

}  // namespace velmora::resource

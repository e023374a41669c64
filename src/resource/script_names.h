#pragma once
// The source paths a script.dat may carry after its members, so that reports
// can name chapter1.txt instead of its hash. Readers that predate them stop
// at the members and never see them; a file without them reads as before.
//
//   ... members ... | per path: length (16-bit), bytes | block length (32-bit) | "VLMNAMES"
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::resource {

// Appends the block and its footer to a script file built so far.
void appendScriptNames(std::string& file, const std::vector<std::string>& paths);

// The paths of a whole file in memory, or of an open file of fileLength
// bytes; empty when it carries none or the block is damaged. Nothing here
// vouches for a path: callers match its hash against the index.
std::vector<std::string> readScriptNames(std::string_view file);
std::vector<std::string> readScriptNames(std::FILE* f, uint64_t fileLength);

// Where the names block (with its footer) begins: fileLength when there is none.
// Blocks written before it end there.
uint64_t scriptNamesStart(std::string_view file);
uint64_t scriptNamesStart(std::FILE* f, uint64_t fileLength);

}  // namespace velmora::resource

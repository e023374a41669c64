#pragma once
// Shared set-up of the fuzz targets: a headless engine (boxes go to standard
// error, no window) with its save root in a private temporary folder, so
// that readers that take a file name can be fed from memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "resource/packer.h"

namespace velmora::fuzz {

// Once per process: headless, the save root in a fresh temporary folder.
// Returns that folder (with a trailing '/').
const std::string& setUp();

// Makes the temporary folder the working folder for the readers that take
// names relative to the game folder, and goes back when it ends (libFuzzer
// reads its corpus by relative names between runs).
class InFolder {
 public:
  InFolder();
  ~InFolder();
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  int previous_;
};

// Replaces the file at path with the bytes.
void writeFile(const std::string& path, const uint8_t* data, size_t size);
void writeFile(const std::string& path, std::string_view bytes);

// The packed data-file form (length, then zlib) of the text, made here
// rather than through the engine's writer, which syncs every file to disk.
std::string packedDataFile(std::string_view text);

// Two scripts with labels and text blocks: the read marks' fuzz target loads
// them, and its seeds are made for them.
const std::vector<resource::PackedMember>& readMarkScripts();

}  // namespace velmora::fuzz

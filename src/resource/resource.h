#pragma once
// Game resources: numbered archives keyed by path hashes, loose files, the
// packed data-file reader and writer.
//
// Every function here that can fail returns bool: true on success, false
// after the failure was reported. Only the plug-in export of loadFile keeps
// its int (1 success, 0 failure).
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/hash.h"

namespace velmora::resource {

struct ArchiveEntry {
  std::string archive;  // file name of the archive, e.g. "arc2.dat"
  uint8_t flag = 0;     // non-zero: the member's bytes are masked
  uint32_t offset = 0;  // with the key mask removed (the path bytes are still in)
  uint32_t size = 0;
  uint32_t extra = 0;
};

constexpr int kMaxArchives = 9;

// Builds the index from arc0.dat, arc1.dat, ... up to the first missing one.
void openArchives();
void closeArchives();
bool archivesPresent();
const ArchiveEntry* findArchiveEntry(uint64_t key);

// Opens a resource positioned at its first byte; key is 0 for a loose file.
// Reports failures through reportError and returns null.
std::FILE* openResource(const char* path, uint32_t& size, uint64_t& key);

// Reads a whole resource, unmasked. buffer/capacity: a malloc'ed block the
// function replaces when it is too small.
bool loadFile(const char* path, char*& buffer, uint32_t& size, uint32_t& capacity);
bool loadFileS(const char* path, std::string& out);
bool resourceExists(const char* path);

// Removes (or applies: it is its own inverse) the chunk mask of a member.
void unmaskMember(char* data, uint32_t size, std::string_view path);
// Turns the stored offset/size of an entry into the real ones for a path.
uint32_t memberOffset(const ArchiveEntry& e, std::string_view path);
uint32_t memberSize(const ArchiveEntry& e, std::string_view path);

// Data files: raw bytes or (packed) a 4-byte length and a zlib stream. On
// success the bytes are in out and a zero byte follows them (out[size]).
constexpr size_t kMaxDataFile = 0x100000;
bool readDataFile(const char* path, bool packed, std::string& out);
// Reads into the shared file buffer; size receives the data length.
bool readDataFileShared(const char* path, bool packed, size_t& size);
// Writes a temporary file and renames it over the old one, so a failed write
// never destroys the previous file.
bool writeDataFile(const char* path, bool packed, std::string_view bytes);

}  // namespace velmora::resource

#pragma once
// What the loader shares with the look-ahead inside this library.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::image {
struct Image;
}

namespace velmora::sprite {

// A malloc'ed read buffer; one per thread that reads pictures.
struct FileBuffer {
  char* data = nullptr;
  uint32_t capacity = 0;
};

uint64_t cacheBudget();
FileBuffer& mainFileBuffer();
std::string baseOfDifference(std::string_view path, const char* name);
// deferred non-null (worker): messages are collected instead of shown; an
// entry starting with '\x01' names a file the main thread reads again so that
// the reader reports its own failure.
image::Image* readAndDecode(const char* path, FileBuffer& buffer, std::vector<std::string>* deferred);
void preloadInto(const std::string& path, uint64_t budget, FileBuffer& buffer, std::vector<std::string>* deferred,
                 int depth);
// Evicts every cached picture whose key is not listed.
void keepOnly(const std::vector<uint64_t>& keys);
void waitForLookaheadWorker();

}  // namespace velmora::sprite

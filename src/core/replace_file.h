#pragma once
// Writing a file so that a failure keeps what was there: the bytes go to a
// temporary file beside the target, which is renamed over it at the end.
#include <cstdint>
#include <cstdio>
#include <string>

namespace velmora {

class ReplaceFile {
 public:
  // path is a game path (Shift_JIS); the host's name is derived from it.
  explicit ReplaceFile(const std::string& path);
  ~ReplaceFile();  // an uncommitted file is removed
  ReplaceFile(const ReplaceFile&) = delete;
  ReplaceFile& operator=(const ReplaceFile&) = delete;

  std::FILE* file() const { return file_; }
  bool write(const void* data, size_t size);
  // Flushes, closes and renames; false (errno set) when any step failed.
  bool commit();

 private:
  std::string target_, temp_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
  size_t written_ = 0;
  size_t killAfter_ = SIZE_MAX;  // test builds: see replace_file.cpp
};

// Writes standard output in the terminal's encoding (UTF-8) from Shift_JIS.
void consoleWrite(std::string_view sjis);

}  // namespace velmora

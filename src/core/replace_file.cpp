#include "core/replace_file.h"

#include <unistd.h>

#include <cerrno>

#include "core/textconv.h"

namespace velmora {

ReplaceFile::ReplaceFile(const std::string& path) : target_(hostPath(path)), temp_(target_ + ".tmp") {
  file_ = std::fopen(temp_.c_str(), "wb");
}

ReplaceFile::~ReplaceFile() {
  if (file_) {
    std::fclose(file_);
    std::remove(temp_.c_str());
  }
}

bool ReplaceFile::write(const void* data, size_t size) {
  if (!file_ || (size && std::fwrite(data, 1, size, file_) != size)) failed_ = true;
  return !failed_;
}

bool ReplaceFile::commit() {
  if (!file_) return false;
  bool ok = !failed_ && !std::ferror(file_) && std::fflush(file_) == 0;
  ok = ok && (fsync(fileno(file_)) == 0 || errno == EINVAL);
  int saved = errno;
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  if (ok && std::rename(temp_.c_str(), target_.c_str()) == 0) return true;
  if (ok) saved = errno;
  std::remove(temp_.c_str());
  errno = saved;
  return false;
}

void consoleWrite(std::string_view sjis) {
  std::string utf8 = sjis_to_utf8(sjis);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

}  // namespace velmora

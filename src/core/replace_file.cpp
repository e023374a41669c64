#include "core/replace_file.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "core/textconv.h"

namespace velmora {
namespace {

#ifdef VELMORA_WRITE_FAULTS
// Test builds only: VELMORA_KILL_WRITING="NAME:N" kills the process with
// SIGKILL once N bytes of a file whose name ends with NAME are written, or,
// when N reaches the file's end, just before the rename. The crash-safety
// test uses it to stop a write at every point.
size_t killPoint(const std::string& target) {
  const char* spec = std::getenv("VELMORA_KILL_WRITING");
  const char* colon = spec ? std::strrchr(spec, ':') : nullptr;
  if (!colon) return SIZE_MAX;
  const std::string_view name(spec, size_t(colon - spec));
  if (target.size() < name.size() || target.compare(target.size() - name.size(), name.size(), name) != 0)
    return SIZE_MAX;
  return std::strtoull(colon + 1, nullptr, 10);
}
#else
size_t killPoint(const std::string&) { return SIZE_MAX; }
#endif

[[noreturn]] void killNow(std::FILE* f) {
  std::fflush(f);
  std::raise(SIGKILL);
  std::abort();
}

}  // namespace

ReplaceFile::ReplaceFile(const std::string& path)
    : target_(hostPath(path)), temp_(target_ + ".tmp"), killAfter_(killPoint(target_)) {
  file_ = std::fopen(temp_.c_str(), "wb");
}

ReplaceFile::~ReplaceFile() {
  if (file_) {
    std::fclose(file_);
    std::remove(temp_.c_str());
  }
}

bool ReplaceFile::write(const void* data, size_t size) {
  if (file_ && killAfter_ != SIZE_MAX && size > killAfter_ - written_) {
    std::fwrite(data, 1, killAfter_ - written_, file_);
    killNow(file_);
  }
  if (!file_ || (size && std::fwrite(data, 1, size, file_) != size)) failed_ = true;
  written_ += size;
  return !failed_;
}

bool ReplaceFile::commit() {
  if (!file_) return false;
  bool ok = !failed_ && !std::ferror(file_) && std::fflush(file_) == 0;
  ok = ok && (fsync(fileno(file_)) == 0 || errno == EINVAL);
  int saved = errno;
  if (killAfter_ != SIZE_MAX) killNow(file_);
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

#include "base/replace_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "base/textconv.h"
#include "platform/platform.h"
#include "base/textconv.h"

namespace velmora {
namespace {

constexpr std::string_view kTempInfix = ".velmora-tmp.";
constexpr std::string_view kTempLetters = "XXXXXX";
// A name that another writer just took is tried again with a new one.
constexpr int kCreateAttempts = 4;
constexpr mode_t kDefaultUmask = 022;

#ifdef VELMORA_WRITE_FAULTS
bool endsWith(const std::string& target, std::string_view name) {
  return target.size() >= name.size() && target.compare(target.size() - name.size(), name.size(), name) == 0;
}

// Test builds only: VELMORA_KILL_WRITING="NAME:N" kills the process with
// SIGKILL once N bytes of a file whose name ends with NAME are written, or,
// when N reaches the file's end, just before the rename. The crash-safety
// test uses it to stop a write at every point.
size_t killPoint(const std::string& target) {
  const char* killAt = std::getenv("VELMORA_KILL_WRITING");
  const char* colon = killAt ? std::strrchr(killAt, ':') : nullptr;
  if (!colon || !endsWith(target, std::string_view(killAt, size_t(colon - killAt)))) return SIZE_MAX;
  return std::strtoull(colon + 1, nullptr, 10);
}

// VELMORA_FAIL_WRITING="NAME": the temporary of such a file cannot be made
// (the tests of a failed write; root may write into any folder).
bool temporaryRefused(const std::string& target) {
  const char* name = std::getenv("VELMORA_FAIL_WRITING");
  return name && *name && endsWith(target, name);
}
#else
size_t killPoint(const std::string&) { return SIZE_MAX; }
bool temporaryRefused(const std::string&) { return false; }
#endif

[[noreturn]] void killNow(std::FILE* f) {
  std::fflush(f);
  std::raise(SIGKILL);
  std::abort();
}

// The process's umask, read without changing it (umask() would race with
// other threads creating files).
mode_t processUmask() {
  static const mode_t mask = [] {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    return kDefaultUmask;
  }();
  return mask;
}

// What the file gets: the mode of the file it replaces, else what a plain
// fopen would have given it (mkstemp makes it private).
mode_t targetMode(const std::string& target) {
  struct stat st;
  if (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
  return 0666 & ~processUmask();
}

// A new temporary beside the target, locked; -1 with errno set.
int createTemporary(const std::string& target, std::string& temp) {
  if (temporaryRefused(target)) {
    errno = EACCES;
    return -1;
  }
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    temp = target;
    temp += kTempInfix;
    temp += kTempLetters;
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    // Held until the rename: a start-up sweep leaves a locked one alone.
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      fchmod(fd, targetMode(target));
      return fd;
    }
    ::close(fd);
  }
  errno = EEXIST;
  return -1;
}

bool isTempLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Removes one temporary when no process holds its lock.
bool removeWhenUnlocked(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  bool stale = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0;
  stale = stale && ::unlink(path.c_str()) == 0;
  ::close(fd);
  return stale;
}

}  // namespace

ReplaceFile::ReplaceFile(const std::string& path, Name name)
    : target_(name == Name::Game ? hostPath(path) : path), killAfter_(killPoint(target_)) {
  int fd = createTemporary(target_, temp_);
  if (fd < 0) return;
  file_ = fdopen(fd, "wb");
  if (!file_) {
    int saved = errno;
    ::unlink(temp_.c_str());
    ::close(fd);
    errno = saved;
  }
}

ReplaceFile::~ReplaceFile() {
  if (file_) {
    std::remove(temp_.c_str());
    std::fclose(file_);
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
  // Renamed while still locked; the data is on disk, so closing cannot lose any.
  if (ok && std::rename(temp_.c_str(), target_.c_str()) != 0) ok = false, saved = errno;
  if (!ok) std::remove(temp_.c_str());
  std::fclose(file_);
  if (ok) platform::fileCommitted();
  file_ = nullptr;
  errno = saved;
  return ok;
}

bool isTemporaryName(std::string_view name) {
  const size_t tail = kTempInfix.size() + kTempLetters.size();
  if (name.size() <= tail || name.substr(name.size() - tail, kTempInfix.size()) != kTempInfix) return false;
  for (char c : name.substr(name.size() - kTempLetters.size()))
    if (!isTempLetter(c)) return false;
  return true;
}

int removeStaleTemporaries(const std::string& folder) {
  std::string host = folder.empty() ? "." : hostPath(folder);
  if (host.back() != '/') host += '/';
  DIR* dir = opendir(host.c_str());
  if (!dir) return 0;
  int removed = 0;
  while (const dirent* e = readdir(dir))
    if (isTemporaryName(e->d_name) && removeWhenUnlocked(host + e->d_name)) ++removed;
  closedir(dir);
  return removed;
}

void consoleWrite(std::string_view sjis) {
  std::string utf8 = gameToUtf8(sjis);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

}  // namespace velmora

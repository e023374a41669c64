#include "extract.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

namespace velmora::tools {
namespace {

namespace fs = std::filesystem;

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// The name's components; empty ones and "." change nothing and are dropped.
std::vector<std::string> components(std::string_view name) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && !isSeparator(name[i])) continue;
    std::string_view part = name.substr(start, i - start);
    if (!part.empty() && part != ".") parts.emplace_back(part);
    start = i + 1;
  }
  return parts;
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  void swap(Descriptor& other) { std::swap(fd_, other.fd_); }
  bool closeNow() {
    int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

bool writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

// Resolved through the links that exist now, target must lie under folder.
bool resolvesUnder(const fs::path& folder, const fs::path& target) {
  std::error_code ec;
  const fs::path base = fs::canonical(folder, ec);
  if (ec) return false;
  const fs::path resolved = fs::weakly_canonical(target, ec);
  if (ec) return false;
  return std::mismatch(base.begin(), base.end(), resolved.begin(), resolved.end()).first == base.end();
}

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

std::string memberNameProblem(std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return "the name holds a NUL byte";
  const bool drive = name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
  if ((!name.empty() && isSeparator(name[0])) || drive) return "the name is an absolute path";
  const std::vector<std::string> parts = components(name);
  if (std::find(parts.begin(), parts.end(), "..") != parts.end()) return "the name climbs out with \"..\"";
  if (parts.empty()) return "the name has no file name";
  return {};
}

bool writeMemberFile(const fs::path& outDir, std::string_view name, const std::string& bytes, std::string& error) {
  if (error = memberNameProblem(name); !error.empty()) return false;
  const std::vector<std::string> parts = components(name);
  std::error_code ec;
  fs::create_directories(outDir, ec);
  fs::path target = outDir;
  for (const std::string& p : parts) target /= p;
  if (!resolvesUnder(outDir, target))
    return error = "the path leads out of " + outDir.string() + " through a symbolic link", false;
  // Each folder is opened from the one before without following links, so a
  // link made after the check above cannot lead the write elsewhere either.
  Descriptor dir(open(outDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return error = systemError(outDir.string()), false;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    if (mkdirat(dir.get(), parts[i].c_str(), 0777) != 0 && errno != EEXIST) return error = systemError(parts[i]), false;
    Descriptor next(openat(dir.get(), parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (next.get() < 0) return error = systemError(parts[i] + " (a symbolic link or not a folder)"), false;
    dir.swap(next);
  }
  // The tool writes one file at a time: a name per process is unique enough.
  const std::string temp = ".velmora-pack." + std::to_string(getpid()) + ".tmp";
  unlinkat(dir.get(), temp.c_str(), 0);
  Descriptor out(openat(dir.get(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
  bool ok = out.get() >= 0 && writeAll(out.get(), bytes);
  ok = (out.get() < 0 || out.closeNow()) && ok;
  // rename replaces a link at the target itself, never what it points to.
  if (ok && renameat(dir.get(), temp.c_str(), dir.get(), parts.back().c_str()) == 0) return true;
  error = systemError("cannot write " + target.string());
  unlinkat(dir.get(), temp.c_str(), 0);
  return false;
}

}  // namespace velmora::tools

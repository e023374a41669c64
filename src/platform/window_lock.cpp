// One running game per title: an advisory lock on a file named by the title
// stands in for finding another window of the same class.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/window.h"

namespace velmora::platform {
namespace {

struct LockState {
  int fd = -1;
  std::string key;
  bool lost = false;
};
LockState L;

std::string lockPath(const std::string& key) {
  const char* dir = std::getenv("XDG_RUNTIME_DIR");
  std::string base = dir && *dir ? dir : "/tmp";
  // The title is free text: keep the name a plain file name.
  std::string name;
  for (unsigned char c : key) {
    if (c == '/' || c < 0x20) name += '_';
    else name += static_cast<char>(c);
  }
  return base + "/velmora-" + name + ".lock";
}

// -1 when the file cannot be opened at all (no lock is then enforced).
int openLocked(const std::string& key, bool& heldElsewhere) {
  heldElsewhere = false;
  int fd = ::open(lockPath(key).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    heldElsewhere = true;
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

bool takeInstanceLock(const std::string& key) {
  if (L.fd >= 0 && L.key == key) return true;
  bool held = false;
  int fd = openLocked(key, held);
  if (held) return L.lost = true, false;
  releaseInstanceLock();
  L.fd = fd;
  L.key = key;
  return true;
}

bool instanceLockHeldElsewhere(const std::string& key) {
  if (L.fd >= 0 && L.key == key) return false;
  bool held = false;
  int fd = openLocked(key, held);
  if (fd >= 0) ::close(fd);
  return held;
}

bool instanceLockLost() { return L.lost; }

void releaseInstanceLock() {
  if (L.fd >= 0) ::close(L.fd);
  L.fd = -1;
  L.key.clear();
}

}  // namespace velmora::platform

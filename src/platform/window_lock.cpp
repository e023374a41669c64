// One running game per title and user session: an advisory lock on a file
// named by the title stands in for finding another window of the same class,
// and a local socket beside it lets a second start ask the first to come to
// the front. A session is the user (the folder) and the display.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <SDL.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/sdl_windows.h"
#include "platform/window.h"

namespace velmora::platform {
namespace {

struct LockFile {
  int fd = -1;
  std::string key;
  bool lost = false;
};

struct LockState {
  LockFile window, files;
  int listener = -1;
  std::string socketPath;
  std::thread listening;
  uint32_t pokeEvent = 0;
};
LockState lockState;

// Keeps a name a plain file name.
std::string fileNamePart(const std::string& text) {
  std::string out;
  for (unsigned char c : text) out += (c == '/' || c < 0x20) ? '_' : static_cast<char>(c);
  return out;
}

// The user's runtime folder, else a folder of the user's own under /tmp
// (refused when someone else owns it or others may write into it).
std::string lockFolder() {
  if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir) return dir;
  const std::string dir = "/tmp/velmora-" + std::to_string(getuid());
  ::mkdir(dir.c_str(), 0700);
  struct stat st;
  if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() || (st.st_mode & 077)) return {};
  return dir;
}

// The display the windows appear on: a second start on another display is
// another session.
std::string sessionName() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* x11 = std::getenv("DISPLAY");
  std::string name = wayland && *wayland ? wayland : x11 && *x11 ? x11 : "console";
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') c = '_';
  return name;
}

std::string basePath(const std::string& key) {
  const std::string dir = lockFolder();
  return dir.empty() ? std::string() : dir + "/velmora-" + sessionName() + "-" + fileNamePart(key);
}

// FNV-1a: socket paths are short, titles need not be.
uint64_t nameHash(const std::string& s) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return h;
}

bool socketAddress(const std::string& key, sockaddr_un& address, std::string& path) {
  const std::string dir = lockFolder();
  if (dir.empty()) return false;
  char name[40];
  std::snprintf(name, sizeof name, "/velmora-%016llx.sock",
                static_cast<unsigned long long>(nameHash(sessionName() + "\n" + key)));
  path = dir + name;
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// -1 when the file cannot be opened at all (no lock is then enforced).
int openLocked(const std::string& path, bool& heldElsewhere) {
  heldElsewhere = false;
  if (path.empty()) return -1;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    heldElsewhere = true;
    ::close(fd);
    return -1;
  }
  return fd;
}

std::string lockPath(const std::string& key, const char* suffix) {
  const std::string base = basePath(key);
  return base.empty() ? base : base + suffix;
}

bool take(LockFile& lock, const std::string& key, const char* suffix) {
  if (lock.fd >= 0 && lock.key == key) return true;
  bool held = false;
  const int fd = openLocked(lockPath(key, suffix), held);
  if (held) return lock.lost = true, false;
  if (lock.fd >= 0) ::close(lock.fd);
  lock.fd = fd;
  lock.key = key;
  return true;
}

void drop(LockFile& lock) {
  if (lock.fd >= 0) ::close(lock.fd);
  lock.fd = -1;
  lock.key.clear();
}

// Each connection is one request to come to the front; the main thread
// hears it as an event, so the listener touches no window itself.
void listenForPokes(int fd, uint32_t eventType) {
  for (;;) {
    const int peer = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;  // shut down
    }
    ::close(peer);
    SDL_Event e{};
    e.type = eventType;
    SDL_PushEvent(&e);
  }
}

void stopListening() {
  if (lockState.listener < 0) return;
  ::shutdown(lockState.listener, SHUT_RDWR);  // wakes the accept
  if (lockState.listening.joinable()) lockState.listening.join();
  ::close(lockState.listener);
  ::unlink(lockState.socketPath.c_str());
  lockState.listener = -1;
  lockState.socketPath.clear();
}

// Only the lock holder gets here, so a socket file left by a crash is stale.
void startListening(const std::string& key) {
  stopListening();
#ifdef __EMSCRIPTEN__
  return;  // a page is its own instance: no second start can ask it anything
#endif
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
  if (lockState.pokeEvent == 0) {
    const Uint32 type = SDL_RegisterEvents(1);
    if (type == static_cast<Uint32>(-1)) return;
    lockState.pokeEvent = type;
  }
  sockaddr_un address;
  std::string path;
  if (!socketAddress(key, address, path)) return;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  ::unlink(path.c_str());
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0) {
    ::close(fd);
    return;
  }
  lockState.listener = fd;
  lockState.socketPath = path;
  lockState.listening = std::thread(listenForPokes, fd, lockState.pokeEvent);
}

void restoreAndRaise(SDL_Window* w) {
  if (SDL_GetWindowFlags(w) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(w);
  SDL_RaiseWindow(w);
}

}  // namespace

bool takeInstanceLock(const std::string& key) {
  if (lockState.window.fd >= 0 && lockState.window.key == key) return true;
  if (!take(lockState.window, key, ".lock")) return false;
  startListening(key);
  return true;
}

bool instanceLockHeldElsewhere(const std::string& key) {
  if (lockState.window.fd >= 0 && lockState.window.key == key) return false;
  bool held = false;
  const int fd = openLocked(lockPath(key, ".lock"), held);
  if (fd >= 0) ::close(fd);
  return held;
}

bool instanceLockLost() { return lockState.window.lost; }

bool takeSaveFilesLock(const std::string& key) { return take(lockState.files, key, ".files.lock"); }

bool pokeInstance(const std::string& key) {
  sockaddr_un address;
  std::string path;
  if (!socketAddress(key, address, path)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool reached = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return reached;
}

bool handlePoke(uint32_t eventType) {
  if (lockState.pokeEvent == 0 || eventType != lockState.pokeEvent) return false;
  // The start-up dialog stands for the game while it is open; a main window
  // not shown yet stays hidden (a minimised one counts as shown).
  if (SDL_Window* dialog = dialogWindowHandle()) restoreAndRaise(dialog);
  else if (SDL_Window* main = mainWindowHandle(); main && (SDL_GetWindowFlags(main) & (SDL_WINDOW_SHOWN | SDL_WINDOW_MINIMIZED)))
    restoreAndRaise(main);
  return true;
}

void releaseInstanceLock() {
  stopListening();
  drop(lockState.window);
  drop(lockState.files);
}

}  // namespace velmora::platform

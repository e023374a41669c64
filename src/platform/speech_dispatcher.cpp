// speech-dispatcher through its library, called from a thread of its own:
// every call waits for the server's answer, and a server that hangs (its
// sound output broken, say) must not hang the game. The game's thread only
// queues requests and reads how far the speech has come.
#include "platform/speech_dispatcher.h"

#ifdef VELMORA_SPEECHD
#include <dlfcn.h>
#include <libspeechd.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "platform/threads.h"
#endif

namespace velmora::platform {

#ifndef VELMORA_SPEECHD
std::unique_ptr<SpeechBackend> openSpeechDispatcher() { return nullptr; }
#else
namespace {

using Clock = std::chrono::steady_clock;

// How long the start waits for the server (it may be started on demand).
constexpr auto kOpenWait = std::chrono::milliseconds(2000);
// How long closing waits for the client thread before leaving it behind.
constexpr auto kCloseWait = std::chrono::milliseconds(500);
// A call the server has not answered in this long: the server is taken as
// hung, and the espeak-ng program speaks instead for the rest of the run.
constexpr auto kHungCall = std::chrono::seconds(3);
// A said text whose end is never notified stops counting as speech after
// this long plus a slow reading pace per byte.
constexpr auto kEndWaitBase = std::chrono::seconds(5);
constexpr auto kEndWaitPerByte = std::chrono::milliseconds(100);

// The library's entry points, looked up once.
struct SpeechdLibrary {
  decltype(&spd_open2) open2 = nullptr;
  decltype(&spd_close) close = nullptr;
  decltype(&spd_say) say = nullptr;
  decltype(&spd_cancel) cancel = nullptr;
  decltype(&spd_set_notification_on) notify = nullptr;
  decltype(&spd_set_language) language = nullptr;
};
constexpr const char* kSpeechdLibrary = "libspeechd.so.2";
constexpr const char* kClientName = "velmora";

bool loadSpeechd(SpeechdLibrary& lib) {
  void* handle = dlopen(kSpeechdLibrary, RTLD_NOW | RTLD_LOCAL);
  if (!handle) return false;
  lib.open2 = reinterpret_cast<decltype(lib.open2)>(dlsym(handle, "spd_open2"));
  lib.close = reinterpret_cast<decltype(lib.close)>(dlsym(handle, "spd_close"));
  lib.say = reinterpret_cast<decltype(lib.say)>(dlsym(handle, "spd_say"));
  lib.cancel = reinterpret_cast<decltype(lib.cancel)>(dlsym(handle, "spd_cancel"));
  lib.notify = reinterpret_cast<decltype(lib.notify)>(dlsym(handle, "spd_set_notification_on"));
  lib.language = reinterpret_cast<decltype(lib.language)>(dlsym(handle, "spd_set_language"));
  return lib.open2 && lib.close && lib.say && lib.cancel && lib.notify && lib.language;
}

// The server's end and cancel notifications arrive on the library's own
// thread, with no user data: they only move this mark.
std::atomic<size_t> g_lastFinished{0};

void finished(size_t messageId, size_t, SPDNotificationType) {
  size_t seen = g_lastFinished.load();
  while (seen < messageId && !g_lastFinished.compare_exchange_weak(seen, messageId)) {
  }
}

struct Request {
  enum class Kind : uint8_t { Say, Cancel, Close } kind;
  std::string text;
};

// The hand-off between the game's thread and the client thread; every field
// under `lock`. Shared, so a client thread left behind keeps it alive.
struct ClientLink {
  std::mutex lock;
  std::condition_variable wake;  // requests queued, the open or the thread ended
  std::deque<Request> requests;
  bool opened = false, connected = false, abandoned = false, ended = false;
  bool busy = false;  // in a library call since busySince
  Clock::time_point busySince;
  size_t lastSaid = 0;  // the server's id of the last text it took
  Clock::time_point endDue;
};
using Link = std::shared_ptr<ClientLink>;

void markEnded(const Link& link) {
  std::lock_guard<std::mutex> hold(link->lock);
  link->ended = true;
  link->wake.notify_all();
}

// Runs one request; false once the connection is closed.
bool serve(const SpeechdLibrary& lib, SPDConnection* c, const Link& link, const Request& r) {
  switch (r.kind) {
    case Request::Kind::Close: lib.close(c); return false;
    case Request::Kind::Cancel: lib.cancel(c); return true;
    case Request::Kind::Say: break;
  }
  lib.language(c, speechLanguage(r.text));
  const int id = lib.say(c, SPD_MESSAGE, r.text.c_str());
  if (id > 0) {
    std::lock_guard<std::mutex> hold(link->lock);
    link->lastSaid = static_cast<size_t>(id);
    link->endDue = Clock::now() + kEndWaitBase + kEndWaitPerByte * r.text.size();
  }
  return true;
}

void clientThread(SpeechdLibrary lib, Link link) {
  char* failure = nullptr;
  // The server starts on demand where it is installed, as for screen readers.
  SPDConnection* c = lib.open2(kClientName, "main", nullptr, SPD_MODE_THREADED, nullptr, 1, &failure);
  std::free(failure);
  if (c) {
    c->callback_end = finished;
    c->callback_cancel = finished;
    lib.notify(c, SPD_END);
    lib.notify(c, SPD_CANCEL);
  }
  {
    std::unique_lock<std::mutex> hold(link->lock);
    link->opened = true;
    link->connected = c != nullptr;
    link->wake.notify_all();
    if (c && link->abandoned) link->requests = {{Request::Kind::Close, {}}};
  }
  for (bool open = c != nullptr; open;) {
    Request r;
    {
      std::unique_lock<std::mutex> hold(link->lock);
      link->wake.wait(hold, [&] { return !link->requests.empty(); });
      r = std::move(link->requests.front());
      link->requests.pop_front();
      link->busy = true;
      link->busySince = Clock::now();
    }
    open = serve(lib, c, link, r);
    std::lock_guard<std::mutex> hold(link->lock);
    link->busy = false;
  }
  markEnded(link);
}

class SpeechDispatcher final : public SpeechBackend {
 public:
  SpeechDispatcher(Link link, std::thread thread) : link_(std::move(link)), thread_(std::move(thread)) {}
  ~SpeechDispatcher() override {
    std::unique_lock<std::mutex> hold(link_->lock);
    link_->requests = {{Request::Kind::Close, {}}};
    link_->wake.notify_all();
    const bool ended = link_->wake.wait_for(hold, kCloseWait, [&] { return link_->ended; });
    hold.unlock();
    if (ended) thread_.join();
    else thread_.detach();  // stuck in a call the server never answers
  }

  void speak(std::string_view text, bool interrupt) override {
    if (serverHung()) {
      if (fallback_) fallback_->speak(text, interrupt);
      return;
    }
    std::lock_guard<std::mutex> hold(link_->lock);
    if (interrupt) link_->requests = {{Request::Kind::Cancel, {}}};
    link_->requests.push_back({Request::Kind::Say, std::string(text)});
    link_->wake.notify_all();
  }
  void stop() override {
    if (fallback_) fallback_->stop();
    std::lock_guard<std::mutex> hold(link_->lock);
    link_->requests = {{Request::Kind::Cancel, {}}};
    link_->wake.notify_all();
  }
  bool speaking() override {
    if (serverHung()) return fallback_ && fallback_->speaking();
    std::lock_guard<std::mutex> hold(link_->lock);
    if (!link_->requests.empty() || link_->busy) return true;
    return g_lastFinished.load() < link_->lastSaid && Clock::now() < link_->endDue;
  }

 private:
  // Once a call has waited too long the server is done with for this run.
  bool serverHung() {
    if (hung_) return true;
    {
      std::lock_guard<std::mutex> hold(link_->lock);
      hung_ = link_->busy && Clock::now() - link_->busySince > kHungCall;
    }
    if (hung_) {
      std::string error;
      fallback_ = openEspeak({}, error);
    }
    return hung_;
  }

  Link link_;
  std::thread thread_;
  bool hung_ = false;
  std::unique_ptr<SpeechBackend> fallback_;
};

}  // namespace

std::unique_ptr<SpeechBackend> openSpeechDispatcher() {
  // The library runs threads of its own.
  if (singleThread()) return nullptr;
  // The library writes to the server's socket: a server that goes away must
  // end the speech, not the game.
  signal(SIGPIPE, SIG_IGN);
  static SpeechdLibrary lib;
  static const bool loaded = loadSpeechd(lib);
  if (!loaded) return nullptr;
  auto link = std::make_shared<ClientLink>();
  std::thread thread = startThread(clientThread, lib, link);
  std::unique_lock<std::mutex> hold(link->lock);
  if (!link->wake.wait_for(hold, kOpenWait, [&] { return link->opened; })) {
    link->abandoned = true;  // the thread closes what it opens late, and ends
    hold.unlock();
    thread.detach();
    return nullptr;
  }
  const bool connected = link->connected;
  hold.unlock();
  if (!connected) {
    thread.join();
    return nullptr;
  }
  return std::make_unique<SpeechDispatcher>(std::move(link), std::move(thread));
}
#endif

}  // namespace velmora::platform

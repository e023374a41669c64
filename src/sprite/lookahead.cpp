// Look-ahead loading. The scan of the coming lines (script lines, regular
// expressions) always runs on the main thread; the worker started around a
// transition only evicts and decodes, and touches nothing but the cache (under
// its lock) and its own read buffer. Its messages wait for finishLookahead.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <set>
#include <thread>

#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "base/hash.h"
#include "base/pump.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/encoding.h"
#include "base/textconv.h"
#include "base/sjis.h"
#include "base/state.h"
#include "image/image.h"
#include "platform/threads.h"
#include "resource/resource.h"
#include "script/control.h"
#include "script/interp.h"
#include "script/regex.h"
#include "sprite/internal.h"
#include "sprite/picture.h"
#include "sprite/picture_internal.h"
#include "sprite/sprite_settings.h"

namespace velmora::sprite {

namespace {

struct LookaheadState {
  std::map<uint32_t, std::string> patterns;  // crc32 of a command name
  std::map<uint32_t, std::string> stops;     // crc32 of a path
  bool restoring = false;
  // The worker hand-off: the main thread fills `paths`, `budget` before the
  // start and reads `deferred` only after `done` reads -1.
  std::thread worker;
  std::atomic<int> done{0};
  std::vector<std::string> paths;
  uint64_t budget = 0;
  std::vector<std::string> deferred;
  FileBuffer workerBuffer;
};
LookaheadState lookaheadState;

bool identifierChar(char c) {
  return c == '.' || c == '@' || c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
         (c >= 'a' && c <= 'z');
}
bool asciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

int lookaheadStartLine() {
  const auto& frames = script::gosubFrames();
  if (!frames.empty()) return frames.front().returnLine + 1;
  return script::registers().currentLine + 1;
}

bool lookaheadAllowed() { return !lookaheadState.restoring && sprite::lookaheadOn(); }

std::vector<uint64_t> keysOf(const std::vector<std::string>& paths) {
  std::vector<uint64_t> keys;
  for (const std::string& p : paths) {
    int r = 1;
    keys.push_back(crc64_hash(highResolutionChoice(p, r)));
  }
  return keys;
}

void preloadAll(const std::vector<std::string>& paths, uint64_t budget, FileBuffer& buffer,
                std::vector<std::string>* deferred) {
  keepOnly(keysOf(paths));
  for (const std::string& p : paths) preloadInto(p, budget, buffer, deferred, 0);
}

void reportDeferred() {
  for (const std::string& message : lookaheadState.deferred) {
    if (message.size() > 1 && message[0] == '\x01') {
      FileBuffer probe;  // fails again, with the reader's own report
      uint32_t size = 0;
      resource::loadFile(message.c_str() + 1, probe.data, size, probe.capacity);
      std::free(probe.data);
    } else {
      reportError(message);
    }
  }
  lookaheadState.deferred.clear();
}

}  // namespace

void setLookaheadPattern(std::string_view command, std::string_view pattern) {
  lookaheadState.patterns[crc32_hash(command)] = std::string(pattern);
}

void addLookaheadStop(std::string_view path) { lookaheadState.stops[crc32_hash(path)] = std::string(path); }

void clearLookaheadTables() {
  lookaheadState.patterns.clear();
  lookaheadState.stops.clear();
}

void setRestoreRunning(bool on) { lookaheadState.restoring = on; }

std::vector<std::string> collectLookaheadPaths() {
  std::set<std::string> collected;
  const script::LineArray& lines = script::slotLines(1);
  for (size_t i = static_cast<size_t>(std::max(0, lookaheadStartLine())); i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty() || !asciiLetter(line[0])) continue;
    size_t n = 0;
    while (n < line.size() && identifierChar(line[n])) ++n;
    auto entry = lookaheadState.patterns.find(crc32_hash(std::string_view(line).substr(0, n)));
    if (entry == lookaheadState.patterns.end()) continue;
    std::string arguments = n + 1 < line.size() ? line.substr(n + 1) : std::string();
    std::string out;
    int count = 0;
    std::string path = normalisePath(script::regex::substitute(arguments, entry->second, out, count) ? out : arguments);
    if (lookaheadState.stops.count(crc32_hash(path))) break;
    collected.insert(path);
  }
  for (const auto& [hash, path] : lookaheadState.stops) collected.insert(path);
  return {collected.begin(), collected.end()};
}

void runLookahead() {
  if (!lookaheadAllowed()) return;
  waitForLookaheadWorker();
  preloadAll(collectLookaheadPaths(), cacheBudget(), mainFileBuffer(), nullptr);
}

void startLookahead() {
  if (lookaheadState.worker.joinable()) return;
  if (image::workerThreads() <= 1 || !lookaheadAllowed()) return;
  lookaheadState.paths = collectLookaheadPaths();
  lookaheadState.budget = cacheBudget();
  lookaheadState.deferred.clear();
  lookaheadState.done.store(0, std::memory_order_release);
  lookaheadState.worker = platform::startThread([] {
    preloadAll(lookaheadState.paths, lookaheadState.budget, lookaheadState.workerBuffer, &lookaheadState.deferred);
    lookaheadState.done.store(-1, std::memory_order_release);
  });
}

bool lookaheadWorkerRunning() { return lookaheadState.worker.joinable() && lookaheadState.done.load(std::memory_order_acquire) != -1; }

void finishLookahead() {
  if (image::workerThreads() <= 1) {
    runLookahead();
    return;
  }
  if (!lookaheadState.worker.joinable()) return;
  while (lookaheadState.done.load(std::memory_order_acquire) != -1) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!drainWindowMessages(messageRecord())) {
      quitRequest = 1;
      return;  // the release joins it
    }
  }
  lookaheadState.worker.join();
  reportDeferred();
}

void waitForLookaheadWorker() {
  if (!lookaheadState.worker.joinable()) return;
  lookaheadState.worker.join();
  lookaheadState.deferred.clear();
  std::free(lookaheadState.workerBuffer.data);
  lookaheadState.workerBuffer = {};
}

void runVoiceLookahead() {
  if (!sprite::lookaheadOn()) return;
  const script::LineArray& lines = script::slotLines(1);
  const std::string& open = sj("【");
  const std::string& close = sj("】");
  for (size_t i = static_cast<size_t>(std::max(0, lookaheadStartLine())); i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.compare(0, open.size(), open) != 0) continue;
    std::vector<std::string> voices;
    std::string field;
    int index = 0;
    for (size_t p = open.size(); p < line.size(); ++p) {
      if (line.compare(p, close.size(), close) == 0) {
        if (index > 0 && !field.empty()) voices.push_back(field);
        break;
      }
      if (const size_t n = charLength(line, p); n > 1) {
        field.append(line, p, n);
        p += n - 1;
      } else if (line[p] == ',') {
        if (index++ > 0 && !field.empty()) voices.push_back(field);
        field.clear();
      } else {
        field += line[p];
      }
    }
    if (voices.empty()) continue;
    for (const std::string& v : voices) {
      std::string path = "vo/" + v.substr(1, 3) + "/" + v + ".ogg";
      if (spriteHooks().preloadVoice) spriteHooks().preloadVoice(path);
    }
    return;
  }
}

// ---- command cores ------------------------------------------------------------
namespace {
using bindings::CommandContext;

void cmd_lookahead_set(CommandContext c) {
  setLookaheadPattern(bindings::stringArg(c, 1), bindings::stringArg(c, 2));
}
void cmd_lookahead_stop(CommandContext c) {
  addLookaheadStop(bindings::stringArg(c, 1));
}
void cmd_lookahead(CommandContext) {
  runLookahead();
}
void cmd_lookahead2(CommandContext) {
  runVoiceLookahead();
}

const bindings::CoreBinding kLookaheadCores[] = {
    {"lookahead_set", cmd_lookahead_set},
    {"lookahead_stop", cmd_lookahead_stop},
    {"lookahead", cmd_lookahead},
    {"lookahead2", cmd_lookahead2},
};
}  // namespace

std::span<const bindings::CoreBinding> lookaheadCores() { return kLookaheadCores; }

}  // namespace velmora::sprite

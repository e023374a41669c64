#include "app/scenario.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <utility>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "base/textconv.h"
#include "platform/gamepad.h"
#include "platform/inject.h"
#include "platform/platform.h"

namespace velmora::app {
namespace {

enum class Kind { Click, RightClick, Move, Wheel, Key, Drop, Pad, Wait, WaitText, WaitEvent, Screenshot, ExpectVar, ExpectText, Close, Quit };
enum class When { AfterPrevious, AtMs, AtFrame };

struct Directive {
  int line = 0;
  When when = When::AfterPrevious;
  uint32_t at = 0;
  Kind kind = Kind::Quit;
  std::vector<std::string> args;
};

struct Verb {
  const char* name;
  Kind kind;
  int argc;  // -1: any
};
const Verb kVerbs[] = {
    {"click", Kind::Click, 2},      {"rclick", Kind::RightClick, 2}, {"move", Kind::Move, 2},
    {"wheel", Kind::Wheel, 1},      {"key", Kind::Key, 1},           {"drop", Kind::Drop, 1},
    {"wait", Kind::Wait, 1},        {"wait-text", Kind::WaitText, 0}, {"wait-event", Kind::WaitEvent, 0},
    {"screenshot", Kind::Screenshot, 1}, {"expect-var", Kind::ExpectVar, 2}, {"expect-text", Kind::ExpectText, 1},
    {"close", Kind::Close, 0},      {"quit", Kind::Quit, 0},          {"pad", Kind::Pad, 1},
};

struct KeyName {
  const char* name;
  int vk;
};
const KeyName kKeys[] = {{"Enter", 13}, {"Return", 13}, {"Esc", 27},     {"Escape", 27}, {"Space", 32},
                         {"Tab", 9},    {"Backspace", 8}, {"Shift", 16}, {"Ctrl", 17},   {"Alt", 18},
                         {"Left", 37},  {"Up", 38},      {"Right", 39},  {"Down", 40},   {"PageUp", 33},
                         {"PageDown", 34}, {"Home", 36}, {"End", 35},    {"Delete", 46}, {"Insert", 45}};

using WallClock = std::chrono::steady_clock;

// A directive that has waited this long in real time has the game's loops
// slowed by a short sleep per look, so that a virtual-clock run waiting for
// something that never comes does not keep a core busy until the limit.
constexpr std::chrono::milliseconds kIdleAfter{1000};
constexpr std::chrono::milliseconds kIdleSleep{10};
constexpr uint64_t kRealFramesPerSecond = 60;

// Real time one directive may wait for the game (beyond a time it names).
struct WaitWatch {
  uint32_t limitMs = kDefaultTimeoutMs;
  size_t directive = SIZE_MAX;  // the directive the watch runs for
  WallClock::time_point since{};
};

struct ScenarioState {
  ScenarioHooks hooks;
  std::string file = "scenario";
  std::vector<Directive> directives;
  size_t next = 0;
  bool started = false;
  uint32_t start = 0, waitUntil = 0, frames = 0;
  bool waiting = false, textWait = false, idlePoll = false, inPoll = false;
  int failures = 0;
  WaitWatch watch;
};
ScenarioState scenarioState;

// Words, with "..." kept together as one word.
std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  for (size_t i = 0; i < line.size();) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
    } else if (line[i] == '"') {
      size_t end = line.find('"', i + 1);
      out.push_back(line.substr(i + 1, (end == std::string::npos ? line.size() : end) - i - 1));
      i = end == std::string::npos ? line.size() : end + 1;
    } else {
      size_t end = line.find_first_of(" \t\r", i);
      out.push_back(line.substr(i, end == std::string::npos ? std::string::npos : end - i));
      i = end == std::string::npos ? line.size() : end;
    }
  }
  return out;
}

bool isNumber(const std::string& s, bool allowSign) {
  size_t i = allowSign && !s.empty() && s[0] == '-' ? 1 : 0;
  return i < s.size() && s.find_first_not_of("0123456789", i) == std::string::npos;
}

int keyCode(const std::string& name) {
  for (const KeyName& k : kKeys)
    if (name == k.name) return k.vk;
  if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) return std::toupper(name[0]);
  if (name.size() >= 2 && name[0] == 'F' && isNumber(name.substr(1), false)) {
    int n = std::stoi(name.substr(1));
    if (n >= 1 && n <= 12) return 111 + n;
  }
  return 0;
}

// Paths in a scenario are relative to where the engine was started, not to
// the game folder it moves into.
std::string launchRelative(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p(path);
  return p.is_absolute() ? path : (std::filesystem::current_path(ec) / p).string();
}

std::string parseLine(const std::string& text, int line, Directive& d) {
  std::vector<std::string> w = words(text);
  size_t i = 0;
  d.line = line;
  if (w[0] == "at") {
    bool frame = w.size() > 2 && w[1] == "frame";
    size_t n = frame ? 2 : 1;
    if (w.size() <= n + 1 || !isNumber(w[n], false)) return "'at' takes a time in ms (or 'frame N') and a directive";
    d.when = frame ? When::AtFrame : When::AtMs;
    d.at = static_cast<uint32_t>(std::stoul(w[n]));
    i = n + 1;
  }
  for (const Verb& v : kVerbs) {
    if (w[i] != v.name) continue;
    d.kind = v.kind;
    d.args.assign(w.begin() + static_cast<std::ptrdiff_t>(i) + 1, w.end());
    if (static_cast<int>(d.args.size()) != v.argc) return std::string("'") + v.name + "' takes " + std::to_string(v.argc) + " argument(s)";
    bool numeric = d.kind == Kind::Click || d.kind == Kind::RightClick || d.kind == Kind::Move || d.kind == Kind::Wheel || d.kind == Kind::Wait;
    for (const std::string& a : d.args)
      if (numeric && !isNumber(a, true)) return "'" + a + "' is not a number";
    if (d.kind == Kind::Key && keyCode(d.args[0]) == 0) return "unknown key '" + d.args[0] + "'";
    if (d.kind == Kind::Screenshot) d.args[0] = launchRelative(d.args[0]);
    return {};
  }
  return "unknown directive '" + w[i] + "'";
}

void fail(const Directive& d, const std::string& message) {
  std::fprintf(stderr, "%s:%d: %s\n", scenarioState.file.c_str(), d.line, message.c_str());
  ++scenarioState.failures;
}

void point(const Directive& d, int& x, int& y) {
  x = std::stoi(d.args[0]);
  y = std::stoi(d.args[1]);
  if (scenarioState.hooks.logicalToWindow) scenarioState.hooks.logicalToWindow(x, y);
}

void expectVar(const Directive& d) {
  std::string value;
  if (!scenarioState.hooks.readVariable || !scenarioState.hooks.readVariable(utf8ToGame(d.args[0]), value)) return fail(d, d.args[0] + " names no variable");
  std::string shown = gameToUtf8(value);
  if (shown != d.args[1]) fail(d, "expected " + d.args[0] + " = " + d.args[1] + ", found " + shown);
}

void run(const Directive& d) {
  int x = 0, y = 0;
  switch (d.kind) {
    case Kind::Click:
    case Kind::RightClick:
      point(d, x, y);
      platform::pushMouseMove(x, y);
      platform::pushMouseButton(x, y, d.kind == Kind::Click ? 1 : 3, true);
      platform::pushMouseButton(x, y, d.kind == Kind::Click ? 1 : 3, false);
      break;
    case Kind::Move: point(d, x, y), platform::pushMouseMove(x, y); break;
    case Kind::Wheel: platform::pushWheel(std::stoi(d.args[0])); break;
    case Kind::Key:
      platform::pushKey(keyCode(d.args[0]), true);
      platform::pushKey(keyCode(d.args[0]), false);
      break;
    case Kind::Drop: platform::pushDrop(d.args[0]); break;
    case Kind::Pad:
      if (!platform::pressVirtualPadButton(d.args[0])) fail(d, "no pad button '" + d.args[0] + "'");
      break;
    case Kind::Screenshot: {
      std::string error = "no screen has been created";
      if (!scenarioState.hooks.screenshot || !scenarioState.hooks.screenshot(d.args[0], error)) fail(d, "screenshot " + d.args[0] + ": " + error);
      break;
    }
    case Kind::ExpectVar: expectVar(d); break;
    case Kind::ExpectText: {
      std::string text = scenarioState.hooks.currentText ? gameToUtf8(scenarioState.hooks.currentText()) : "";
      if (text.find(d.args[0]) == std::string::npos) fail(d, "expected the text to contain \"" + d.args[0] + "\", it is \"" + text + "\"");
      break;
    }
    case Kind::Close: platform::pushClose(); break;
    case Kind::Quit: platform::pushQuit(); break;
    default: break;
  }
}

// Whether a directive that waits for something may run now.
bool due(const Directive& d, uint32_t elapsed) {
  if (d.when == When::AtMs && elapsed < d.at) return false;
  if (d.when == When::AtFrame && scenarioState.frames < d.at) return false;
  switch (d.kind) {
    case Kind::Wait:
      if (!scenarioState.waiting) scenarioState.waiting = true, scenarioState.waitUntil = elapsed + static_cast<uint32_t>(std::max(0, std::stoi(d.args[0])));
      if (elapsed < scenarioState.waitUntil) return false;
      scenarioState.waiting = false;
      return true;
    case Kind::WaitText: return std::exchange(scenarioState.textWait, false);
    case Kind::WaitEvent: return std::exchange(scenarioState.idlePoll, false);
    default: return true;
  }
}

}  // namespace

ScenarioHooks& scenarioHooks() { return scenarioState.hooks; }

bool loadScenario(const std::string& path, std::string& error) {
  std::ifstream in(path);
  if (!in) return error = path + ": cannot be read", false;
  scenarioState.file = path;
  std::string text;
  for (int line = 1; std::getline(in, text); ++line) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos || text[first] == '#') continue;
    Directive d;
    std::string message = parseLine(text, line, d);
    if (!message.empty()) return error = path + ":" + std::to_string(line) + ": " + message, false;
    scenarioState.directives.push_back(std::move(d));
  }
  return true;
}

void addScreenshotAt(uint32_t ms, const std::string& path) {
  Directive d;
  d.when = When::AtMs;
  d.at = ms;
  d.kind = Kind::Screenshot;
  d.args = {launchRelative(path)};
  scenarioState.directives.push_back(std::move(d));
}

bool scenarioActive() { return !scenarioState.directives.empty(); }
void setScenarioTimeout(uint32_t ms) { scenarioState.watch.limitMs = ms; }

namespace {

const char* verbName(Kind kind) {
  for (const Verb& v : kVerbs)
    if (v.kind == kind) return v.name;
  return "?";
}

// The watch starts once a directive's own time has come: what it waits for
// after that (a frame, a text wait, an event wait) is the game's to bring.
// Past the limit the run fails and ends; the rest of the scenario is dropped.
void watchWaiting(const Directive& d, uint32_t elapsed) {
  WaitWatch& w = scenarioState.watch;
  if (w.limitMs == 0 || d.kind == Kind::Wait || (d.when == When::AtMs && elapsed < d.at)) return;
  const WallClock::time_point now = WallClock::now();
  if (w.directive != scenarioState.next) {
    w.directive = scenarioState.next;
    w.since = now;
    return;
  }
  const auto waited = now - w.since;
  // Frames come at most 60 a second on the real clock.
  const uint64_t framesMs = d.when == When::AtFrame ? uint64_t(d.at) * 1000 / kRealFramesPerSecond : 0;
  if (waited >= std::chrono::milliseconds(w.limitMs + framesMs)) {
    std::string what = d.when == When::AtFrame && scenarioState.frames < d.at
                           ? "frame " + std::to_string(d.at) + " (" + std::to_string(scenarioState.frames) + " so far)"
                           : std::string(verbName(d.kind));
    fail(d, "waited " + std::to_string(w.limitMs) + " ms for " + what + "; giving up (--scenario-timeout)");
    scenarioState.next = scenarioState.directives.size();
    platform::pushQuit();
  } else if (waited >= kIdleAfter) {
    std::this_thread::sleep_for(kIdleSleep);
  }
}

}  // namespace

void pollScenario() {
  if (scenarioState.next >= scenarioState.directives.size() || scenarioState.inPoll) return;
  scenarioState.inPoll = true;  // a hook that pumps messages must not re-enter
  if (!scenarioState.started) scenarioState.started = true, scenarioState.start = platform::nowMs();
  while (scenarioState.next < scenarioState.directives.size() && due(scenarioState.directives[scenarioState.next], platform::nowMs() - scenarioState.start)) {
    run(scenarioState.directives[scenarioState.next++]);
    // A wait-text or wait-event waits for what happens after the line before it.
    scenarioState.textWait = scenarioState.idlePoll = false;
  }
  if (scenarioState.next < scenarioState.directives.size()) watchWaiting(scenarioState.directives[scenarioState.next], platform::nowMs() - scenarioState.start);
  scenarioState.inPoll = false;
}

void noteFrame() { ++scenarioState.frames; }
uint32_t framesNoted() { return scenarioState.frames; }
void noteTextWait() { scenarioState.textWait = true; }
void noteIdleEventPoll() { scenarioState.idlePoll = true; }

void scenarioRunEnded() {
  if (!scenarioState.started) scenarioState.started = true, scenarioState.start = platform::nowMs();
  while (scenarioState.next < scenarioState.directives.size()) {
    const Directive& d = scenarioState.directives[scenarioState.next];
    bool waits = d.kind == Kind::Wait || d.kind == Kind::WaitText || d.kind == Kind::WaitEvent;
    if (waits || !due(d, platform::nowMs() - scenarioState.start)) break;
    run(scenarioState.directives[scenarioState.next++]);
  }
}

int finishScenario() {
  for (size_t i = scenarioState.next; i < scenarioState.directives.size(); ++i) {
    const Directive& d = scenarioState.directives[i];
    if (d.kind == Kind::ExpectVar || d.kind == Kind::ExpectText || d.kind == Kind::Screenshot)
      fail(d, "never reached: the game ended first");
  }
  scenarioState.next = scenarioState.directives.size();
  return scenarioState.failures;
}

}  // namespace velmora::app

// The snapshot lines of the game's identity, the looping sounds, the g_
// variables and the script position (File, and File2 when pushSave named a
// label).
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "core/snapshot.h"
#include "save/location.h"
#include "save/sections.h"
#include "script/control.h"
#include "script/expression.h"
#include "script/interp.h"
#include "script/loader.h"

namespace velmora::save {
namespace {

using snapshot::Entries;
using snapshot::FieldReader;

// Channels 1 and 2 (music) and 3 and 4 (effects) keep their loops.
constexpr int kFirstSavedChannel = 1, kLastSavedChannel = 4;
constexpr int kRestoreFadeMs = 1000;
constexpr int kSoundChannels = 25;
constexpr std::string_view kSavedPrefix = "g_";

// ---- sounds ----------------------------------------------------------------
struct PendingSound {
  int channel = 0;
  std::string name;
  int count = 0, volume = 100, pan = 0, position = 0;
};
std::vector<PendingSound> g_sounds;

void writeSounds(std::string& out, const snapshot::Moment&) {
  for (int n = kFirstSavedChannel; n <= kLastSavedChannel; ++n) {
    const audio::ChannelSnapshot c = audio::channelSnapshot(n);
    if (c.name.empty() || c.loopCounter == 0 || c.stopping) continue;
    out += "Sound" + std::to_string(n) + "=" + c.name + "," + std::to_string(c.loopCounter + 1) + "," +
           std::to_string(c.volumeTarget) + "," + std::to_string(c.pan) + "," + std::to_string(c.frame) + "\n";
  }
}

bool prepareSounds(const Entries& entries, std::string& problem) {
  g_sounds.clear();
  for (int n = kFirstSavedChannel; n <= kLastSavedChannel; ++n) {
    const std::string key = "Sound" + std::to_string(n);
    const std::string* value = entries.find(key);
    if (!value) continue;
    FieldReader f(*value);
    PendingSound s;
    s.channel = n;
    s.name = std::string(f.text());
    s.count = f.dec(), s.volume = f.dec(), s.pan = f.dec(), s.position = f.dec();
    if (!f.ok() || s.name.empty()) return problem = key, false;
    g_sounds.push_back(std::move(s));
  }
  return true;
}

// A restore ends the way a jump does: every channel stops, and the saved
// loops start again.
void resetSounds() {
  audio::clearPendingSounds();
  for (int n = 0; n < kSoundChannels; ++n) audio::stopSound(n, 0);
}

void applySounds(const snapshot::Moment&) {
  for (const PendingSound& s : g_sounds) {
    audio::openSound(s.channel, s.name);
    audio::setSoundLevels(s.channel, s.volume, s.pan);
    audio::playSound(s.channel, std::max(s.count, 0), kRestoreFadeMs, std::max(s.position, 0));
  }
  g_sounds.clear();
}

void discardSounds() { g_sounds.clear(); }

// ---- g_ variables -------------------------------------------------------------
bool savedName(std::string_view name) {
  return name.size() > kSavedPrefix.size() && name.substr(0, kSavedPrefix.size()) == kSavedPrefix &&
         name.find_first_of("=,'\n") == std::string_view::npos;
}

template <class Table>
std::vector<std::string> savedNames(const Table& table) {
  std::vector<std::string> names;
  for (const auto& [name, value] : table)
    if (savedName(name)) names.push_back(name);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::pair<std::string, int32_t>> g_integers;
std::vector<std::pair<std::string, std::string>> g_strings;

void writeIntegers(std::string& out, const snapshot::Moment&) {
  out += "Integer=";
  const auto& table = script::namedIntegers();
  for (const std::string& name : savedNames(table)) out += name + "=" + std::to_string(table.find(name)->second) + ",";
  out += "\n";
}

std::string quotedItem(const std::string& name, std::string_view text) {
  return name + "='" + std::string(text) + "',";
}

// The quoted form cannot carry a line break, nor a "'," followed by what
// looks like the next "name='": such texts go to the StringEsc line, where
// blanks, controls and the bytes % , ' are written as %XX. None of them is
// a Shift_JIS trail byte, so the escaping never splits a character.
bool escapedByte(unsigned char c) { return c <= ' ' || c == '%' || c == ',' || c == '\''; }

std::string escapedText(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (escapedByte(c)) out += {'%', kHex[c >> 4], kHex[c & 15]};
    else out += ch;
  }
  return out;
}

bool unescapedText(std::string_view text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    uint32_t byte = 0;
    if (i + 2 >= text.size() || !snapshot::parseHex(text.substr(i + 1, 2), byte)) return false;
    out += static_cast<char>(byte);
    i += 2;
  }
  return true;
}

using StringItems = std::vector<std::pair<std::string, std::string>>;
bool parseQuotedItems(std::string_view value, StringItems& items);

// Whether the quoted form reads back as written.
bool quotable(const std::string& name, const std::string& text) {
  if (text.find_first_of("\r\n") != std::string::npos) return false;
  if (text.find("',") == std::string::npos) return true;
  StringItems items;
  return parseQuotedItems(quotedItem(name, text), items) && items.size() == 1 && items[0].second == text;
}

void writeStrings(std::string& out, const snapshot::Moment&) {
  std::string escaped;
  out += "String=";
  const auto& table = script::namedStrings();
  for (const std::string& name : savedNames(table)) {
    const std::string& text = table.find(name)->second;
    if (quotable(name, text)) out += quotedItem(name, text);
    else escaped += name + "=" + escapedText(text) + ",";
  }
  out += "\n";
  if (!escaped.empty()) out += "StringEsc=" + escaped + "\n";
}

std::string_view trimmedView(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool prepareIntegers(const Entries& entries, std::string& problem) {
  g_integers.clear();
  const std::string* value = entries.find("Integer");
  if (!value) return true;
  for (std::string_view item : snapshot::splitFields(*value)) {
    if (item.empty()) continue;
    const size_t eq = item.find('=');
    int32_t number = 0;
    if (eq == std::string_view::npos || !snapshot::parseDecimal(trimmedView(item.substr(eq + 1)), number))
      return problem = "Integer", false;
    const std::string_view name = trimmedView(item.substr(0, eq));
    if (savedName(name)) g_integers.emplace_back(std::string(name), number);
  }
  return true;
}

// Where the quoted text that starts at open ends: at a "'," followed by the
// end of the line or by the next "name='". A text may hold commas and quotes.
size_t closingQuote(std::string_view value, size_t open) {
  for (size_t at = value.find("',", open); at != std::string_view::npos; at = value.find("',", at + 1)) {
    std::string_view rest = trimmedView(value.substr(at + 2));
    if (rest.empty()) return at;
    const size_t eq = rest.find("='");
    if (eq != std::string_view::npos && rest.substr(0, eq).find_first_of(",'") == std::string_view::npos) return at;
  }
  return std::string_view::npos;
}

bool parseQuotedItems(std::string_view value, StringItems& items) {
  size_t at = 0;
  while (at < value.size()) {
    const size_t eq = value.find("='", at);
    if (eq == std::string_view::npos) return trimmedView(value.substr(at)).empty();
    const size_t close = closingQuote(value, eq + 2);
    if (close == std::string_view::npos) return false;
    const std::string_view name = trimmedView(value.substr(at, eq - at));
    if (savedName(name)) items.emplace_back(std::string(name), std::string(value.substr(eq + 2, close - eq - 2)));
    at = close + 2;
  }
  return true;
}

bool parseEscapedItems(std::string_view value, StringItems& items) {
  for (std::string_view item : snapshot::splitFields(value)) {
    if (item.empty()) continue;
    const size_t eq = item.find('=');
    std::string text;
    if (eq == std::string_view::npos || !unescapedText(item.substr(eq + 1), text)) return false;
    const std::string_view name = trimmedView(item.substr(0, eq));
    if (savedName(name)) items.emplace_back(std::string(name), std::move(text));
  }
  return true;
}

bool prepareStrings(const Entries& entries, std::string& problem) {
  g_strings.clear();
  if (const std::string* found = entries.find("String"); found && !parseQuotedItems(*found, g_strings))
    return problem = "String", false;
  if (const std::string* found = entries.find("StringEsc"); found && !parseEscapedItems(*found, g_strings))
    return problem = "StringEsc", false;
  return true;
}

void applyIntegers(const snapshot::Moment&) {
  for (const auto& [name, number] : g_integers) script::setNamedInteger(name, number);
  g_integers.clear();
}

void applyStrings(const snapshot::Moment&) {
  for (const auto& [name, text] : g_strings) script::setNamedString(name, text);
  g_strings.clear();
}

void discardIntegers() { g_integers.clear(); }
void discardStrings() { g_strings.clear(); }

// ---- the game -----------------------------------------------------------------
// Which game wrote a snapshot: the names of its scripts and the names it gave
// loadSetting. Edits inside the scripts keep it, so a patched game still
// loads its saves (the position check refuses a line that is gone).
ScriptKey gameIdentity() {
  std::vector<ScriptKey> keys;
  for (const auto& [key, blocks] : script::allTextBlocks()) keys.push_back(key);
  std::sort(keys.begin(), keys.end());
  std::string bytes(reinterpret_cast<const char*>(keys.data()), keys.size() * sizeof(ScriptKey));
  bytes += settingNames();
  return crc64_hash(bytes);
}

void writeGame(std::string& out, const snapshot::Moment&) { out += "Game=" + scriptName(gameIdentity()) + "\n"; }

// Files written before the line existed carry none and are taken as before.
bool prepareGame(const Entries& entries, std::string& problem) {
  const std::string* value = entries.find("Game");
  if (!value) return true;
  FieldReader f(*value);
  const ScriptKey saved = f.key();
  if (!f.ok() || f.count() != 1 || saved != gameIdentity()) return problem = "Game", false;
  return true;
}

// ---- the script position ----------------------------------------------------------
ScriptKey startScriptKey() { return crc64_hash(script::kStartScriptPath); }

// The line a restored game continues after (the loop then runs the next one).
struct Resume {
  ScriptKey key = 0;
  int line = 0;
};

// The script being run: 0 stands for the start script.
ScriptKey activeKeyOrZero() {
  const script::Registers& r = script::registers();
  return r.activeSlot == 0 ? 0 : r.subScriptKey;
}

Resume currentResume() {
  const script::Registers& r = script::registers();
  const auto& link = snapshot::textLink();
  // A page waiting for the player is shown again from its first line, in
  // the script that shows it (a save subroutine may live in another).
  if (link.textWaitPending && link.textWaitPending() && r.textBlockLine >= 0) {
    const ScriptKey key = r.textBlockScript == startScriptKey() ? 0 : r.textBlockScript;
    return {key, r.textBlockLine - 1};
  }
  // Inside subroutines the outermost call is made again.
  const auto& frames = script::gosubFrames();
  if (!frames.empty()) {
    const script::GosubFrame& f = frames.front();
    const int callLine = f.returnPart > 0 ? f.returnLine + 1 : f.returnLine;
    return {f.script, callLine - 1};
  }
  return {activeKeyOrZero(), r.currentLine};
}

void writePosition(std::string& out, const snapshot::Moment&) {
  const Resume at = currentResume();
  out += "File=" + scriptName(at.key) + "," + std::to_string(at.line) + "\n";
}

struct PendingPosition {
  bool present = false;
  bool startScript = true;
  ScriptKey key = 0;
  int line = 0;
  script::LineArray lines;  // the sub-script, read while checking
};
PendingPosition g_position;

bool preparePosition(const Entries& entries, std::string& problem) {
  g_position = PendingPosition{};
  const char* key = entries.find("File2") ? "File2" : "File";
  const std::string* value = entries.find(key);
  if (!value) return true;
  FieldReader f(*value);
  PendingPosition& p = g_position;
  p.key = f.key();
  p.line = f.dec();
  if (!f.ok()) return problem = key, false;
  p.startScript = p.key == 0 || p.key == startScriptKey();
  size_t lineCount = script::slotLines(0).size();
  if (!p.startScript) {
    // A script this game does not have: the file is another game's.
    if (!script::indexEntry(p.key) || !script::loadScript(p.key, p.lines)) return problem = key, false;
    lineCount = p.lines.size();
  }
  if (p.line < -1 || p.line >= int(lineCount)) return problem = key, false;
  p.present = true;
  return true;
}

void applyPosition(const snapshot::Moment&) {
  PendingPosition& p = g_position;
  if (!p.present) return;
  script::clearControlState();
  script::Registers& r = script::registers();
  if (p.startScript) {
    r.scriptSwitchRequest = script::kSwitchToSlot0;
  } else {
    script::slotLines(1) = std::move(p.lines);
    script::slotChanged(1);
    r.subScriptKey = p.key;
    r.subScriptName = script::scriptReportName(p.key);
    r.scriptSwitchRequest = script::kSwitchToSlot1;
  }
  // No part of the line being run is left: the load hook's return comes
  // back to this line, and the loop goes on with the next.
  r.currentLine = p.line;
  r.currentPart = 0;
  r.partCount = 0;
  r.jumpRequest = 0;
  r.rewriteRequest = 0;
  r.skipToNext = 0;
  r.lastTextLine = -1;
  r.textBlockLine = -1;
  r.loadHook = 1;
  g_position = PendingPosition{};
}

void discardPosition() { g_position = PendingPosition{}; }

}  // namespace

snapshot::Section gameSection() {
  return {.name = "game", .order = snapshot::kOrderGame, .write = writeGame, .prepare = prepareGame};
}

snapshot::Section soundSection() {
  return {.name = "sounds", .order = snapshot::kOrderSounds, .write = writeSounds, .prepare = prepareSounds,
          .reset = resetSounds, .apply = applySounds, .discard = discardSounds};
}

snapshot::Section integerSection() {
  return {.name = "integers", .order = snapshot::kOrderIntegers, .write = writeIntegers, .prepare = prepareIntegers,
          .apply = applyIntegers, .discard = discardIntegers};
}

snapshot::Section stringSection() {
  return {.name = "strings", .order = snapshot::kOrderStrings, .write = writeStrings, .prepare = prepareStrings,
          .apply = applyStrings, .discard = discardStrings};
}

snapshot::Section positionSection() {
  return {.name = "position", .order = snapshot::kOrderPosition, .write = writePosition, .prepare = preparePosition,
          .apply = applyPosition, .discard = discardPosition};
}

}  // namespace velmora::save

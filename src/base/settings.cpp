#include "base/settings.h"

#include "base/state.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "base/pump.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "base/textconv.h"

namespace velmora {
namespace {

using K = SettingKey;
using F = SettingForm;

struct SettingRow {
  SettingKey key;
  SettingInfo info;
};

constexpr SettingRow kSettingTable[] = {
    {K::StartingSetUp, {"StartingSetUp", F::Number, 1, nullptr}},
    {K::ResolutionWindow, {"ResolutionWindow", F::Number, 1, nullptr}},
    {K::Resolution, {"Resolution", F::Number, 0, nullptr}},
    {K::FullScreen, {"FullScreen", F::Number, 0, nullptr}},
    {K::ScreenAspect, {"ScreenAspect", F::Number, 0, nullptr}},
    {K::FullMode, {"FullMode", F::Number, 3, nullptr}},
    {K::WindowWidth, {"WindowWidth", F::Number, 0, nullptr}},
    {K::WindowHeight, {"WindowHeight", F::Number, 0, nullptr}},
    {K::WindowChange, {"WindowChange", F::Number, 0, nullptr}},
    {K::WindowMenu, {"WindowMenu", F::Number, 1, nullptr}},
    {K::MenuLock1, {"MenuLock1", F::Number, 1, nullptr}},
    {K::WindowPos, {"WindowPos", F::Number, 0, nullptr}},
    {K::WindowMost, {"WindowMost", F::Number, 0, nullptr}},
    {K::ClientLeft, {"ClientLeft", F::Number, 0, nullptr}},
    {K::ClientTop, {"ClientTop", F::Number, 0, nullptr}},
    {K::CacheAutoSize, {"CacheAutoSize", F::Number, 1, nullptr}},
    {K::CacheMaxSize, {"CacheMaxSize", F::Megabytes, 0, nullptr}},
    {K::LookaHead, {"LookaHead", F::Number, 1, nullptr}},
    {K::HardwareVertex, {"HardwareVertex", F::Number, 1, nullptr}},
    {K::VertexShader, {"VertexShader", F::Number, 1, nullptr}},
    {K::PixelShader, {"PixelShader", F::Number, 1, nullptr}},
    {K::Interpolation, {"Interpolation", F::Number, 0, nullptr}},
    {K::MaxTextureSize, {"MaxTextureSize", F::Number, -1, nullptr}},
    {K::TexturePow2, {"TexturePow2", F::Number, 0, nullptr}},
    {K::TextureSquare, {"TextureSquare", F::Number, 0, nullptr}},
    {K::MipMap, {"MipMap", F::Number, 1, nullptr}},
    {K::ColorMode, {"ColorMode", F::Number, 0, nullptr}},
    {K::ColorBlend, {"ColorBlend", F::Number, 1, nullptr}},
    {K::VSyncWait, {"VSyncWait", F::Number, 2, nullptr}},
    {K::LimitFPS, {"LimitFPS", F::Number, 0, nullptr}},
    {K::MMX, {"MMX", F::Number, 1, nullptr}},
    {K::SSE, {"SSE", F::Number, 1, nullptr}},
    {K::SSE2, {"SSE2", F::Number, 1, nullptr}},
    {K::Thread, {"Thread", F::Number, 1, nullptr}},
    {K::PowerSaver, {"PowerSaver", F::Number, 1, nullptr}},
    {K::TaskTray, {"TaskTray", F::Number, 0, nullptr}},
    {K::SystemActive, {"SystemActive", F::LowBit, 0, nullptr}},
    {K::CursorClear, {"CursorClear", F::Number, 5000, nullptr}},
    {K::CursorMove, {"CursorMove", F::Number, 1, nullptr}},
    {K::EffectSkip, {"EffectSkip", F::Number, 0, nullptr}},
    {K::EffectCancel, {"EffectCancel", F::Number, 1, nullptr}},
    {K::ConfirmSave, {"ConfirmSave", F::Number, 1, nullptr}},
    {K::ConfirmLoad, {"ConfirmLoad", F::Number, 1, nullptr}},
    {K::ConfirmQSave, {"ConfirmQSave", F::Number, 1, nullptr}},
    {K::ConfirmQLoad, {"ConfirmQLoad", F::Number, 1, nullptr}},
    {K::ConfirmMove, {"ConfirmMove", F::Number, 0, nullptr}},
    {K::ConfirmDelete, {"ConfirmDelete", F::Number, 1, nullptr}},
    {K::ConfirmBack, {"ConfirmBack", F::Number, 1, nullptr}},
    {K::ConfirmNext, {"ConfirmNext", F::Number, 1, nullptr}},
    {K::ConfirmFormat, {"ConfirmFormat", F::Number, 1, nullptr}},
    {K::ConfirmReplay, {"ConfirmReplay", F::Number, 1, nullptr}},
    {K::ConfirmTitle, {"ConfirmTitle", F::Number, 1, nullptr}},
    {K::ConfirmExit, {"ConfirmExit", F::Number, 1, nullptr}},
    {K::TextSpeed, {"TextSpeed", F::Number, 20, nullptr}},
    {K::MessageClick, {"MessageClick", F::Number, 1, nullptr}},
    {K::AutoWait, {"AutoWait", F::Number, 500, nullptr}},
    {K::AutoChar, {"AutoChar", F::Number, 50, nullptr}},
    {K::PointWait, {"PointWait", F::Number, 4, nullptr}},
    {K::MessageFade, {"MessageFade", F::Number, 1, nullptr}},
    {K::AlreadyReadSkip, {"AlreadyReadSkip", F::Number, 0, nullptr}},
    {K::AlreadyReadAutoSkip, {"AlreadyReadAutoSkip", F::Number, 0, nullptr}},
    {K::AlreadyReadMoment, {"AlreadyReadMoment", F::Number, 0, nullptr}},
    {K::SelectSkipMode, {"SelectSkipMode", F::Number, 0, nullptr}},
    {K::SelectAutoMode, {"SelectAutoMode", F::Number, 0, nullptr}},
    {K::FontFile, {"FontFile", F::Text, 0, "ＭＳ ゴシック"}},
    {K::FontStyle, {"FontStyle", F::Number, 30, nullptr}},
    {K::FontColor1, {"FontColor1", F::Colour, 0xFFFFFF, nullptr}},
    {K::FontColor2, {"FontColor2", F::Colour, 0xFFFFFF, nullptr}},
    {K::FontColor3, {"FontColor3", F::Colour, 0, nullptr}},
    {K::WindowAlpha, {"WindowAlpha", F::Number, 80, nullptr}},
    {K::HardwareSound, {"HardwareSound", F::Number, 0, nullptr}},
    {K::StreamBufferSize, {"StreamBufferSize", F::Number, 64, nullptr}},
    {K::GlobalFocus, {"GlobalFocus", F::Number, 1, nullptr}},
    {K::MasterVolume, {"MasterVolume", F::Number, 100, nullptr}},
    {K::MasterMute, {"MasterMute", F::Number, 1, nullptr}},
    {K::MovieVolume, {"MovieVolume", F::Number, 100, nullptr}},
    {K::MovieMute, {"MovieMute", F::Number, 1, nullptr}},
    {K::BgmVolume, {"BgmVolume", F::Number, 100, nullptr}},
    {K::BgmMute, {"BgmMute", F::Number, 1, nullptr}},
    {K::SeVolume, {"SeVolume", F::Number, 100, nullptr}},
    {K::SeMute, {"SeMute", F::Number, 1, nullptr}},
    {K::SysSeVolume, {"SysSeVolume", F::Number, 100, nullptr}},
    {K::SysSeMute, {"SysSeMute", F::Number, 1, nullptr}},
    {K::VoVolume, {"VoVolume", F::Number, 100, nullptr}},
    {K::VoMute, {"VoMute", F::Number, 1, nullptr}},
    {K::SysVoVolume, {"SysVoVolume", F::Number, 100, nullptr}},
    {K::SysVoMute, {"SysVoMute", F::Number, 1, nullptr}},
    {K::VoiceCancel, {"VoiceCancel", F::Number, 0, nullptr}},
    {K::VoiceWait, {"VoiceWait", F::Number, 1, nullptr}},
    {K::BgmVolDown, {"BgmVolDown", F::Number, 1, nullptr}},
    {K::BgmMax, {"BgmMax", F::Number, 30, nullptr}},
    {K::BgmMin, {"BgmMin", F::Number, 15, nullptr}},
    {K::SeVolDown, {"SeVolDown", F::Number, 1, nullptr}},
    {K::SeMax, {"SeMax", F::Number, 100, nullptr}},
    {K::SeMin, {"SeMin", F::Number, 50, nullptr}},
    {K::FadeVolDown, {"FadeVolDown", F::Number, 250, nullptr}},
    {K::CursorFile, {"CursorFile", F::Text, 0, ""}},
    {K::WallPaper, {"WallPaper", F::Text, 0, ""}},
    {K::Gamepad, {"Gamepad", F::Number, 1, nullptr}},
    // Where each finished page's text goes: "stdout", "clipboard" or a file; empty: nowhere.
    {K::TextStream, {"TextStream", F::Text, 0, ""}},
    // Text drawn at the output's pixels in a window or screen larger than the game's.
    {K::SharpText, {"SharpText", F::Number, 1, nullptr}},
    // Pages and selected buttons read aloud: 0 off, 1 on, 2 never (the game
    // voices itself; V and R stay its keys).
    {K::SelfVoicing, {"SelfVoicing", F::Number, 0, nullptr}},
    // The player's language for the engine's own windows: "en", "ja", or empty for the game's.
    {K::Language, {"Language", F::Text, 0, ""}},
};
static_assert(std::size(kSettingTable) == kSettingKeyCount, "one row per settings key");

constexpr bool rowsInKeyOrder() {
  for (size_t i = 0; i < std::size(kSettingTable); ++i)
    if (static_cast<size_t>(kSettingTable[i].key) != i) return false;
  return true;
}
static_assert(rowsInKeyOrder(), "settings rows follow the key order");

constexpr size_t kMaxSettingText = 255;
constexpr int32_t kMegabyte = 1 << 20;
constexpr int kConfirmFlagCount = 16;
constexpr int kPersistedConfirmFlags = 12;

struct SettingsState {
  std::array<int32_t, kSettingKeyCount> values{};
  std::array<std::string, kSettingKeyCount> texts;
  std::array<int32_t, kConfirmFlagCount - kPersistedConfirmFlags> memoryConfirmFlags{};
  std::array<SettingEffect, kSettingKeyCount> effects{};
  CurrentTextState current;
  FrameInterval interval;
  bool initialised = false;
};
SettingsState settingsState;

size_t indexOf(SettingKey key) { return static_cast<size_t>(key) % kSettingKeyCount; }

void ensureInitialised() {
  if (!settingsState.initialised) resetSettings();
}

// Megabytes beyond what a 32-bit byte count holds are clamped, not wrapped.
int32_t megabytesToBytes(int32_t mb) {
  int64_t bytes = int64_t(mb) * kMegabyte;
  if (bytes > INT32_MAX) return INT32_MAX / kMegabyte * kMegabyte;
  if (bytes < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(bytes);
}

void updateFrameInterval() {
  int32_t fps = settingsState.values[indexOf(K::LimitFPS)];
  if (fps <= 0) {
    settingsState.interval = FrameInterval{};
    return;
  }
  int32_t g = std::gcd(1000, fps);
  settingsState.interval = FrameInterval{1000 / g, fps / g};
}

void builtInEffect(SettingKey key, SettingSource source) {
  const int32_t v = settingsState.values[indexOf(key)];
  switch (key) {
    case K::EffectCancel: waitSettings().effectCancel = v != 0; break;
    case K::LimitFPS: updateFrameInterval(); break;
    default: break;
  }
  if (source != SettingSource::File) return;
  switch (key) {
    case K::TextSpeed: settingsState.current.textSpeed = v; break;
    case K::AutoWait: settingsState.current.autoWait = v; break;
    case K::FontFile: settingsState.current.fontFile = settingsState.texts[indexOf(key)]; break;
    case K::FontStyle: settingsState.current.fontStyle = v; break;
    case K::FontColor1: settingsState.current.fontColor[0] = v; break;
    case K::FontColor2: settingsState.current.fontColor[1] = v; break;
    case K::FontColor3: settingsState.current.fontColor[2] = v; break;
    default: break;
  }
}

size_t skipBlanks(std::string_view s, size_t i) {
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return i;
}

std::string_view trimmed(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

std::string formatValue(SettingKey key) {
  const size_t i = indexOf(key);
  const int32_t v = settingsState.values[i];
  switch (kSettingTable[i].info.form) {
    case F::Megabytes: return std::to_string(v / kMegabyte);
    case F::LowBit: return std::to_string(v & 1);
    case F::Text: return settingsState.texts[i];
    case F::Colour: {
      char buf[16];
      std::snprintf(buf, sizeof buf, "0x%X", static_cast<uint32_t>(v));
      return buf;
    }
    case F::Number: break;
  }
  return std::to_string(v);
}

// Sound gains multiply volumes and switches: a file gets percentages and 0/1 only.
int32_t boundedSoundSetting(SettingKey key, int32_t v) {
  switch (key) {
    case K::MasterVolume: case K::MovieVolume: case K::BgmVolume: case K::SeVolume: case K::SysSeVolume:
    case K::VoVolume: case K::SysVoVolume: case K::BgmMax: case K::BgmMin: case K::SeMax: case K::SeMin:
      return std::clamp(v, 0, 100);
    case K::MasterMute: case K::MovieMute: case K::BgmMute: case K::SeMute: case K::SysSeMute: case K::VoMute:
    case K::SysVoMute:
      return v != 0;
    default: return v;
  }
}

void applyField(SettingKey key, std::string_view field) {
  const size_t i = indexOf(key);
  int32_t& v = settingsState.values[i];
  switch (kSettingTable[i].info.form) {
    case F::Number: v = boundedSoundSetting(key, readSettingInt(field)); break;
    case F::Megabytes: v = megabytesToBytes(readSettingInt(field)); break;
    case F::Colour: v = readSettingColour(field); break;
    case F::LowBit: v |= readSettingInt(field); break;
    case F::Text: settingsState.texts[i].assign(field.substr(0, kMaxSettingText)); break;
  }
}

}  // namespace

const SettingInfo& settingInfo(SettingKey key) { return kSettingTable[indexOf(key)].info; }

int32_t& setting(SettingKey key) {
  ensureInitialised();
  return settingsState.values[indexOf(key)];
}

std::string& settingText(SettingKey key) {
  ensureInitialised();
  return settingsState.texts[indexOf(key)];
}

void resetSettings() {
  settingsState.initialised = true;
  for (size_t i = 0; i < kSettingKeyCount; ++i) {
    const SettingInfo& info = kSettingTable[i].info;
    settingsState.values[i] = info.form == F::Megabytes ? megabytesToBytes(info.defaultValue) : info.defaultValue;
    settingsState.texts[i] = info.defaultText ? sj(info.defaultText) : std::string();
  }
  settingsState.memoryConfirmFlags.fill(1);
  settingsState.current = CurrentTextState{};
  settingsState.current.fontFile = settingsState.texts[indexOf(K::FontFile)];
  updateFrameInterval();
  waitSettings().effectCancel = settingsState.values[indexOf(K::EffectCancel)] != 0;
}

void applyFirstRunDefaults() { setting(K::Interpolation) = 2; }

int32_t& confirmFlag(int index) {
  ensureInitialised();
  const int i = index & (kConfirmFlagCount - 1);
  if (i < kPersistedConfirmFlags) return settingsState.values[indexOf(K::ConfirmSave) + static_cast<size_t>(i)];
  return settingsState.memoryConfirmFlags[static_cast<size_t>(i - kPersistedConfirmFlags)];
}

CurrentTextState& currentText() {
  ensureInitialised();
  return settingsState.current;
}

const FrameInterval& frameInterval() {
  ensureInitialised();
  return settingsState.interval;
}

void setSettingEffect(SettingKey key, SettingEffect effect) { settingsState.effects[indexOf(key)] = effect; }
SettingEffect settingEffect(SettingKey key) { return settingsState.effects[indexOf(key)]; }

void settingChanged(SettingKey key, SettingSource source) {
  ensureInitialised();
  builtInEffect(key, source);
  if (SettingEffect e = settingsState.effects[indexOf(key)]) e(key, source);
}

int32_t readSettingInt(std::string_view text) { return readEngineInt(text.data(), text.size()); }

int32_t readSettingColour(std::string_view text) {
  size_t i = skipBlanks(text, std::min<size_t>(2, text.size()));
  uint32_t v = 0;
  for (; i < text.size() && text[i] != '\0'; ++i) v = v * 16 + engineDigit(static_cast<unsigned char>(text[i]));
  return static_cast<int32_t>(v);
}

std::string settingKeyLines(SettingKey first) {
  ensureInitialised();
  std::string text;
  for (size_t i = indexOf(first); i < kSettingKeyCount; ++i) {
    const SettingKey key = kSettingTable[i].key;
    if (i > indexOf(first)) text += "\r\n";
    text += kSettingTable[i].info.name;
    text += " = ";
    text += formatValue(key);
  }
  text += "\r\n";
  return text;
}

SettingEntries splitSettingEntries(std::string_view text) {
  SettingEntries entries;
  size_t keyStart = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (const size_t step = charLength(text, i); step > 1) {
      i += step - 1;
      continue;
    }
    if (text[i] != '=') continue;
    std::string key(trimmed(text.substr(keyStart, i - keyStart)));
    size_t lineEnd = text.find('\n', i + 1);
    if (lineEnd == std::string_view::npos) lineEnd = text.size();
    std::string_view value = trimmed(text.substr(i + 1, lineEnd - i - 1));
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t comma; (comma = value.find(',', start)) != std::string_view::npos; start = comma + 1)
      fields.emplace_back(value.substr(start, comma - start));
    fields.emplace_back(value.substr(start));
    entries[std::move(key)] = std::move(fields);
    keyStart = lineEnd + 1;
    i = lineEnd;
  }
  return entries;
}

void applySettingEntries(const SettingEntries& entries) {
  ensureInitialised();
  for (const SettingRow& row : kSettingTable) {
    auto it = entries.find(row.info.name);
    if (it == entries.end()) continue;
    applyField(row.key, it->second.empty() ? std::string_view() : std::string_view(it->second.front()));
    settingChanged(row.key, SettingSource::File);
  }
}

}  // namespace velmora

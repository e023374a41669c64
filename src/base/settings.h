#pragma once
// The engine's settings: one process-wide value per key of setting.dat, the
// text form of the key lines, and what reading a key changes besides itself.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velmora {

// In file order.
enum class SettingKey : uint8_t {
  StartingSetUp, ResolutionWindow, Resolution, FullScreen, ScreenAspect, FullMode, WindowWidth,
  WindowHeight, WindowChange, WindowMenu, MenuLock1, WindowPos, WindowMost, ClientLeft, ClientTop,
  CacheAutoSize, CacheMaxSize, LookaHead, HardwareVertex, VertexShader, PixelShader, Interpolation,
  MaxTextureSize, TexturePow2, TextureSquare, MipMap, ColorMode, ColorBlend, VSyncWait, LimitFPS,
  MMX, SSE, SSE2, Thread, PowerSaver, TaskTray, SystemActive, CursorClear, CursorMove, EffectSkip,
  EffectCancel, ConfirmSave, ConfirmLoad, ConfirmQSave, ConfirmQLoad, ConfirmMove, ConfirmDelete,
  ConfirmBack, ConfirmNext, ConfirmFormat, ConfirmReplay, ConfirmTitle, ConfirmExit, TextSpeed,
  MessageClick, AutoWait, AutoChar, PointWait, MessageFade, AlreadyReadSkip, AlreadyReadAutoSkip,
  AlreadyReadMoment, SelectSkipMode, SelectAutoMode, FontFile, FontStyle, FontColor1, FontColor2,
  FontColor3, WindowAlpha, HardwareSound, StreamBufferSize, GlobalFocus, MasterVolume, MasterMute,
  MovieVolume, MovieMute, BgmVolume, BgmMute, SeVolume, SeMute, SysSeVolume, SysSeMute, VoVolume,
  VoMute, SysVoVolume, SysVoMute, VoiceCancel, VoiceWait, BgmVolDown, BgmMax, BgmMin, SeVolDown,
  SeMax, SeMin, FadeVolDown, CursorFile, WallPaper,
  // The engine's own, after the keys every older file has.
  Gamepad, TextStream, SharpText, SelfVoicing, Language, Count
};
constexpr size_t kSettingKeyCount = static_cast<size_t>(SettingKey::Count);
// The first of the keys the engine keeps for every game's player.
constexpr SettingKey kFirstEngineKey = SettingKey::Gamepad;

// How a key's value is written and read back.
enum class SettingForm : uint8_t {
  Number,     // decimal
  Megabytes,  // bytes in memory, megabytes in the file
  Colour,     // "0x" and upper-case hexadecimal
  LowBit,     // only bit 0 is written; reading ORs into the value
  Text,       // at most 255 bytes
};

struct SettingInfo {
  const char* name;
  SettingForm form;
  int32_t defaultValue;
  const char* defaultText;  // UTF-8; converted to the engine's text once
};
const SettingInfo& settingInfo(SettingKey key);

int32_t& setting(SettingKey key);
std::string& settingText(SettingKey key);
// All keys back to their defaults, with the current text state and the frame interval.
void resetSettings();
// When no settings file exists yet: the modern-system scaling filter.
void applyFirstRunDefaults();

// The 16 confirmation flags (index & 15); 0..11 are the Confirm keys.
int32_t& confirmFlag(int index);

// The text state in force now, which the message window and the fonts change
// while the game runs; reading the settings file resets it from the keys.
struct CurrentTextState {
  int32_t textSpeed = 20;
  int32_t autoWait = 500;
  std::string fontFile;
  int32_t fontStyle = 30;
  std::array<int32_t, 3> fontColor{0xFFFFFF, 0xFFFFFF, 0};
};
CurrentTextState& currentText();

// Milliseconds per frame as a fraction; numerator 0 means no limit.
struct FrameInterval {
  int32_t numerator = 0;
  int32_t denominator = 1;
};
const FrameInterval& frameInterval();

// What a key's change does beyond storing it (the aspect state, the cursor,
// the window), from the subsystem that owns the effect; the wiring installs
// them.
enum class SettingSource { File, Command };
using SettingEffect = void (*)(SettingKey key, SettingSource source);
void setSettingEffect(SettingKey key, SettingEffect effect);
SettingEffect settingEffect(SettingKey key);
// Runs the built-in effect of the key and the installed one.
void settingChanged(SettingKey key, SettingSource source);

// Integers in files: leading blanks, an optional sign, then value * 10 + the
// digit value of every further character (letters 10-31, other bytes 0).
int32_t readSettingInt(std::string_view text);
// Colours: the first two characters ("0x") skipped, then base 16 the same way.
int32_t readSettingColour(std::string_view text);

// "StartingSetUp = 1\r\n..." up to and including the last key's line; or
// the lines of the keys from `first` on.
std::string settingKeyLines(SettingKey first = SettingKey{});

// Key -> value fields. Each '=' ends a key that starts after the previous
// value's line; lines without '=' join the following key.
using SettingEntries = std::unordered_map<std::string, std::vector<std::string>>;
SettingEntries splitSettingEntries(std::string_view text);
// Applies every key of the table that is present, with its effects.
void applySettingEntries(const SettingEntries& entries);

}  // namespace velmora

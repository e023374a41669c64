// The sound and volume command families, delayed commands and jump mode.
#include <algorithm>
#include <array>
#include <utility>

#include "audio/internal.h"
#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "script/modes.h"
#include "base/report.h"
#include "base/settings.h"
#include "platform/platform.h"
#include "audio/audio_settings.h"

namespace velmora::audio {
namespace {

using bindings::CommandContext;
using bindings::intArg;
using bindings::intResult;

enum class Category : uint8_t { Movie, Bgm, Se, SysSe, SysVo, Vo, Count };
struct CategoryInfo {
  ChannelRange channels;
  SettingKey volume, mute;
};
constexpr CategoryInfo kCategories[] = {
    {kMovieChannels, SettingKey::MovieVolume, SettingKey::MovieMute},
    {kMusicChannels, SettingKey::BgmVolume, SettingKey::BgmMute},
    {kEffectChannels, SettingKey::SeVolume, SettingKey::SeMute},
    {kSystemEffectChannels, SettingKey::SysSeVolume, SettingKey::SysSeMute},
    {kSystemVoiceChannels, SettingKey::SysVoVolume, SettingKey::SysVoMute},
    {kVoiceChannels, SettingKey::VoVolume, SettingKey::VoMute},
};
static_assert(std::size(kCategories) == size_t(Category::Count));

void applyCategory(const CategoryInfo& c) {
  setCategory(c.channels.first, c.channels.last, setting(c.volume), setting(c.mute));
}

// Commands of the family run only after sd_create; before it a channel has no
// state to act on.
bool usable(int n) { return state().created && validChannel(n); }

void dropPending(int n) { state().pending.erase(n); }

bool jumping() { return state().jump || script::readingModes().jump; }

void runOpenPlay(int n, const std::string& name, int fade, int volume, int pan, int count, int start) {
  openChannel(n, name);
  setChannelLevel(n, kFadeVolume, volume, 0);
  setChannelLevel(n, kFadePan, pan, 0);
  playChannel(n, count, fade, start);
}

void stopAndForget(int n, int fade) {
  stopChannel(n, fade);
  SoundChannel& ch = channel(n);
  std::lock_guard lk(ch.m);
  ch.name.clear();
}

void cmd_sd_create(CommandContext) {
  createSoundDevice();
}

void cmd_sd(CommandContext c) {
  int n = intArg(c, 1);
  std::string name(bindings::stringArg(c, 2));
  int fade = intArg(c, 3), delay = intArg(c, 4), volume = intArg(c, 5), pan = intArg(c, 6);
  int count = intArg(c, 7), start = intArg(c, 8);
  if (!usable(n)) return;
  dropPending(n);
  if (jumping()) {
    closeChannel(n);
    if (count != 0) return;
    // Remembered so that a save made later brings the loop back.
    SoundChannel& ch = channel(n);
    std::lock_guard lk(ch.m);
    ch.name = name.substr(0, 255);
    ch.volume = boundedLevel(kFadeVolume, volume), ch.pan = boundedLevel(kFadePan, pan), ch.loopCounter = -1;
    return;
  }
  if (delay > 0) {
    state().pending[n] = {name, platform::nowMs() + uint32_t(delay), fade, volume, pan, count, start};
    return;
  }
  runOpenPlay(n, name, fade, volume, pan, count, start);
}

void cmd_sd_load(CommandContext c) {
  int n = intArg(c, 1);
  std::string name(bindings::stringArg(c, 2));
  if (!usable(n)) return;
  dropPending(n);
  if (!jumping()) openChannel(n, name);
}

void cmd_sd_play(CommandContext c) {
  int n = intArg(c, 1);
  int fade = intArg(c, 2), volume = intArg(c, 3), pan = intArg(c, 4), count = intArg(c, 5), start = intArg(c, 6);
  if (!usable(n) || jumping()) return;
  setChannelLevel(n, kFadeVolume, volume, 0);
  setChannelLevel(n, kFadePan, pan, 0);
  playChannel(n, count, fade, start);
}

void cmd_sd_pause(CommandContext c) {
  int n = intArg(c, 1), flag = intArg(c, 2);
  if (usable(n)) pauseChannel(n, flag != 0);
}

void cmd_sd_stop(CommandContext c) {
  int n = intArg(c, 1), fade = intArg(c, 2), delay = intArg(c, 3);
  if (!usable(n)) return;
  dropPending(n);
  if (jumping()) return stopAndForget(n, 0);
  if (delay > 0) {
    state().pending[n] = {std::string(), platform::nowMs() + uint32_t(delay), fade, 0, 0, 0, 0};
    return;
  }
  stopAndForget(n, fade);
}

void storeOnly(int n, FadeKind k, int value) {
  SoundChannel& ch = channel(n);
  std::lock_guard lk(ch.m);
  (k == kFadeVolume ? ch.volume : ch.pan) = boundedLevel(k, value);
}

void levelCommand(CommandContext c, FadeKind k) {
  int n = intArg(c, 1), value = intArg(c, 2), fade = intArg(c, 3);
  if (!usable(n)) return;
  if (jumping() && k != kFadeVolume2) return storeOnly(n, k, value);
  setChannelLevel(n, k, value, jumping() ? 0 : fade);
}
void cmd_sd_volume(CommandContext c) { levelCommand(c, kFadeVolume); }
void cmd_sd_volume2(CommandContext c) { levelCommand(c, kFadeVolume2); }
void cmd_sd_panpot(CommandContext c) { levelCommand(c, kFadePan); }

void cmd_sd_status(CommandContext c) {
  int n = intArg(c, 1);
  int s = kStopped;
  if (usable(n)) {
    std::lock_guard lk(channel(n).m);
    s = channel(n).state;
  }
  intResult(c, 2, s);
}

void cmd_sd_getFile(CommandContext c) {
  int n = intArg(c, 1);
  std::string name;
  if (usable(n)) {
    std::lock_guard lk(channel(n).m);
    name = channel(n).name;
  }
  bindings::stringResult(c, 2, name);
}

// The reader's answers; nothing loaded or a negative answer gives 0.
int64_t heardMs(SoundChannel& ch) {
  int64_t frame = heardFrame(ch);
  const PcmFormat& f = ch.stream->format;
  return frame < 0 ? frame : frame * f.blockAlign * 1000 / int64_t(f.bytesPerSecond);
}
int64_t heardSample(SoundChannel& ch) { return heardFrame(ch); }
int64_t totalMs(SoundChannel& ch) { return ch.stream->totalMs(); }
int64_t totalSample(SoundChannel& ch) { return ch.stream->totalFrames(); }

template <int64_t (*Query)(SoundChannel&)>
void queryCommand(CommandContext c) {
  int n = intArg(c, 1);
  int64_t v = 0;
  if (usable(n)) {
    SoundChannel& ch = channel(n);
    std::lock_guard lk(ch.m);
    if (ch.stream) v = Query(ch);
  }
  intResult(c, 2, int32_t(v < 0 ? 0 : v));
}
// "Now" is what the listener hears, not where the reader has got to.
void cmd_sd_nowTime(CommandContext c) { queryCommand<heardMs>(c); }
void cmd_sd_totalTime(CommandContext c) { queryCommand<totalMs>(c); }
void cmd_sd_nowSample(CommandContext c) { queryCommand<heardSample>(c); }
void cmd_sd_totalSample(CommandContext c) { queryCommand<totalSample>(c); }

void cmd_sd_seekTime(CommandContext c) {
  int n = intArg(c, 1), ms = intArg(c, 2);
  if (usable(n)) seekChannel(n, ms, true);
}
void cmd_sd_seekSample(CommandContext c) {
  int n = intArg(c, 1), frame = intArg(c, 2);
  if (usable(n)) seekChannel(n, frame, false);
}

void loopCommand(CommandContext c, bool milliseconds) {
  int n = intArg(c, 1);
  int64_t v[3] = {intArg(c, 2), intArg(c, 3), intArg(c, 4)};
  if (!usable(n)) return;
  SoundChannel& ch = channel(n);
  std::lock_guard lk(ch.m);
  if (milliseconds) {
    double perMs = (ch.stream ? ch.stream->format.rate : kDeviceRate) / 1000.0;
    for (int64_t& x : v) x = int64_t(double(x) * perMs);
  }
  ch.loopA = v[0], ch.loopB = v[1], ch.loopC = v[2];
}
void cmd_sd_loopTime(CommandContext c) { loopCommand(c, true); }
void cmd_sd_loopSample(CommandContext c) { loopCommand(c, false); }

// Volume settings: setters store into the settings, getters read them back.
// Table-driven by key, so they keep the generic setting().
enum class Effect : uint8_t { None, Master, Category };
struct VolumeInfo {
  const char* setName;
  const char* getName;
  SettingKey key;
  bool onSwitch;  // nonzero stored as 1
  Effect effect;
  Category category;
};
constexpr VolumeInfo kVolumes[] = {
    {"setMasterVolume", "getMasterVolume", SettingKey::MasterVolume, false, Effect::Master, Category::Count},
    {"setMasterMute", "getMasterMute", SettingKey::MasterMute, true, Effect::Master, Category::Count},
    {"setBgmVolume", "getBgmVolume", SettingKey::BgmVolume, false, Effect::Category, Category::Bgm},
    {"setBgmMute", "getBgmMute", SettingKey::BgmMute, true, Effect::Category, Category::Bgm},
    {"setSeVolume", "getSeVolume", SettingKey::SeVolume, false, Effect::Category, Category::Se},
    {"setSeMute", "getSeMute", SettingKey::SeMute, true, Effect::Category, Category::Se},
    {"setSysSeVolume", "getSysSeVolume", SettingKey::SysSeVolume, false, Effect::Category, Category::SysSe},
    {"setSysSeMute", "getSysSeMute", SettingKey::SysSeMute, true, Effect::Category, Category::SysSe},
    {"setVoVolume", "getVoVolume", SettingKey::VoVolume, false, Effect::Category, Category::Vo},
    {"setVoMute", "getVoMute", SettingKey::VoMute, true, Effect::Category, Category::Vo},
    {"setSysVoVolume", "getSysVoVolume", SettingKey::SysVoVolume, false, Effect::Category, Category::SysVo},
    {"setSysVoMute", "getSysVoMute", SettingKey::SysVoMute, true, Effect::Category, Category::SysVo},
    {"setVoiceCancel", "getVoiceCancel", SettingKey::VoiceCancel, true, Effect::None, Category::Count},
    {"setVoiceWait", "getVoiceWait", SettingKey::VoiceWait, true, Effect::None, Category::Count},
    {"setBgmVolDown", "getBgmVolDown", SettingKey::BgmVolDown, true, Effect::None, Category::Count},
    {"setSeVolDown", "getSeVolDown", SettingKey::SeVolDown, true, Effect::None, Category::Count},
};
constexpr size_t kVolumeCount = std::size(kVolumes);

template <size_t I>
void volumeSetter(CommandContext c) {
  const VolumeInfo& v = kVolumes[I];
  // The four switches take a real argument; the rest integers.
  int32_t value = v.effect == Effect::None ? int32_t(bindings::doubleArg(c, 1) != 0.0) : intArg(c, 1);
  if (v.onSwitch) value = value != 0;
  else value = std::clamp(value, 0, 100);  // the gains multiply volumes: percentages only
  setting(v.key) = value;
  if (v.effect == Effect::Master) recomputeGains();
  else if (v.effect == Effect::Category) applyCategory(kCategories[size_t(v.category)]);
  else refreshDuckSettings();
}

template <size_t I>
void volumeGetter(CommandContext c) {
  intResult(c, 1, setting(kVolumes[I].key));
}

std::array<bindings::CoreBinding, 2 * kVolumeCount> makeVolumeCores() {
  std::array<bindings::CoreBinding, 2 * kVolumeCount> out{};
  [&]<size_t... I>(std::index_sequence<I...>) {
    ((out[2 * I] = {kVolumes[I].setName, volumeSetter<I>}, out[2 * I + 1] = {kVolumes[I].getName, volumeGetter<I>}),
     ...);
  }(std::make_index_sequence<kVolumeCount>{});
  return out;
}

const bindings::CoreBinding kSoundCores[] = {
    {"sd_create", cmd_sd_create},       {"sd", cmd_sd},
    {"sd_load", cmd_sd_load},           {"sd_play", cmd_sd_play},
    {"sd_pause", cmd_sd_pause},         {"sd_stop", cmd_sd_stop},
    {"sd_volume", cmd_sd_volume},       {"sd_volume2", cmd_sd_volume2},
    {"sd_panpot", cmd_sd_panpot},       {"sd_status", cmd_sd_status},
    {"sd_getFile", cmd_sd_getFile},     {"sd_seekTime", cmd_sd_seekTime},
    {"sd_nowTime", cmd_sd_nowTime},     {"sd_totalTime", cmd_sd_totalTime},
    {"sd_loopTime", cmd_sd_loopTime},   {"sd_seekSample", cmd_sd_seekSample},
    {"sd_nowSample", cmd_sd_nowSample}, {"sd_totalSample", cmd_sd_totalSample},
    {"sd_loopSample", cmd_sd_loopSample},
};

}  // namespace

void bindSoundCores() {
  static const auto volumeCores = makeVolumeCores();
  bindings::bindCores(kSoundCores);
  bindings::bindCores(volumeCores);
}

void runPendingSounds() {
  refreshDuckSettings();
  frameFlush();
  uint32_t now = platform::nowMs();
  auto& pending = state().pending;
  for (auto it = pending.begin(); it != pending.end();) {
    if (int32_t(now - it->second.due) < 0) {
      ++it;
      continue;
    }
    PendingCommand p = std::move(it->second);
    int n = it->first;
    it = pending.erase(it);
    if (p.name.empty()) stopAndForget(n, p.fade);
    else runOpenPlay(n, p.name, p.fade, p.volume, p.pan, p.count, p.start);
  }
}

void restartLoopingSounds() {
  if (!state().created) return;
  for (int n = 0; n < kChannelCount; ++n) {
    SoundChannel& ch = channel(n);
    std::string name;
    int volume, pan;
    bool looping;
    {
      std::lock_guard lk(ch.m);
      name = ch.name, volume = ch.volume, pan = ch.pan;
      looping = !name.empty() && ch.loopCounter < 0;
    }
    closeChannel(n);
    if (looping) runOpenPlay(n, name, 0, volume, pan, 0, 0);
  }
}

void applyVolumeSettings() {
  recomputeGains();
  for (const CategoryInfo& c : kCategories) applyCategory(c);
  refreshDuckSettings();
  const DuckLevels levels = duckLevels();
  for (int n = kMusicChannels.first; n <= kMusicChannels.last; ++n) setChannelLevel(n, kFadeVolume2, levels.musicMax, 0);
  for (int n = kEffectChannels.first; n <= kEffectChannels.last; ++n) setChannelLevel(n, kFadeVolume2, levels.effectsMax, 0);
}

bool soundCreated() { return state().created; }

void openSound(int n, const std::string& name, uint32_t offset, uint32_t size) {
  if (usable(n)) openChannel(n, name, offset, size);
}
void playSound(int n, int count, int fade, int start) {
  if (usable(n)) playChannel(n, count, fade, start);
}
void stopSound(int n, int fade) {
  if (usable(n)) stopChannel(n, fade);
}

void setSoundLevels(int n, int volume, int pan) {
  if (!usable(n)) return;
  setChannelLevel(n, kFadeVolume, volume, 0);
  setChannelLevel(n, kFadePan, pan, 0);
}

void clearPendingSounds() { state().pending.clear(); }

ChannelSnapshot channelSnapshot(int n) {
  ChannelSnapshot s;
  if (!validChannel(n)) return s;
  SoundChannel& ch = channel(n);
  {
    std::lock_guard lk(ch.m);
    s.name = ch.name, s.state = ch.state, s.volume = ch.volume, s.pan = ch.pan, s.loopCounter = ch.loopCounter;
    const Fade& f = ch.fades[kFadeVolume];
    s.volumeTarget = f.duration ? int(f.target) : ch.volume;
    s.stopping = f.duration && f.stopWhenDone;
    s.frame = ch.stream ? std::max<int64_t>(heardFrame(ch), 0) : 0;
  }
  auto it = state().pending.find(n);
  if (it != state().pending.end()) s.pending = true, s.pendingName = it->second.name;
  return s;
}

}  // namespace velmora::audio

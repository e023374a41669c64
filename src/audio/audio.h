#pragma once
// The 25 sound channels: streaming from memory with loop points, volumes,
// fades, pan and ducking, mixed into one device.
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::audio {

enum ChannelState : int { kPlaying = 0, kPaused = 1, kStopped = 2 };

// What each channel carries; volume categories and ducking follow these.
struct ChannelRange {
  int first, last;
};
constexpr ChannelRange kMovieChannels{0, 0};
constexpr ChannelRange kMusicChannels{1, 2};
constexpr ChannelRange kEffectChannels{3, 4};
constexpr ChannelRange kSystemEffectChannels{5, 9};
constexpr ChannelRange kSystemVoiceChannels{10, 14};
constexpr ChannelRange kVoiceChannels{15, 24};

// Binds the sound and volume command families.
void bindSoundCores();
// Frame step (render::addFrameUpdate): runs delayed sound commands that are due.
void runPendingSounds();
// Closes every channel, stops the workers and the device, finishes a recording.
void releaseSound();
// After the settings file was read: gains, categories and ducking maxima.
void applyVolumeSettings();
// Records what the mixer produces into a WAVE file (--audio-out); call before sd_create.
void setAudioOutput(std::string path);
// Jump mode (skipping to a point): sound commands only record what they would
// do. The reading modes' jump flag counts too; this one is for tests.
void setJumpMode(bool on);
// The end of jump mode: stops every channel and starts again, endless, each
// one that holds a looping sound (file, volume, pan), as a save restore
// would. For the reading modes' end-of-jump hook.
void restartLoopingSounds();

// What the look-ahead loads ahead of a voice line; kept until a channel
// opening that name is closed.
void preloadSound(const std::string& name);

// The voice channels: stopped when a new page cuts the voice, and looked at
// by auto mode when it waits for the voice.
void stopVoices();
bool voicePlaying();
// While self-voicing speaks, the voice channels play lower (ducked) so the
// speech is heard over them; off puts them back.
void duckVoicesForSpeech(bool on);

// Internal operations for movies and saves. sd_create has run.
bool soundCreated();
void openSound(int channel, const std::string& name, uint32_t offset = 0, uint32_t size = 0);
void playSound(int channel, int count, int fade, int start);
void stopSound(int channel, int fade);
struct ChannelSnapshot {
  std::string name;
  ChannelState state = kStopped;
  int volume = 100, pan = 0, loopCounter = 0;
  int volumeTarget = 100;  // where a running volume fade goes, else the volume
  bool stopping = false;   // fading out to stop
  int64_t frame = 0;
  bool pending = false;
  std::string pendingName;
};
ChannelSnapshot channelSnapshot(int channel);
// Volume and pan at once (no fade).
void setSoundLevels(int channel, int volume, int pan);
// Drops every delayed sound command.
void clearPendingSounds();

// Tests: no device and no threads; stepWorkers runs one 10 ms worker step of
// every running channel, mix produces frames as the device callback would.
void setManualWorkers(bool on);
void stepWorkers();
// Single-thread mode: the channels' worker steps, from the engine's waits;
// returns how long they can go without the next one, in ms.
uint32_t stepWorkersWithoutThreads();
void mix(int16_t* out, size_t frames);
using ReportHook = void (*)(const std::string& message);
void setReportHook(ReportHook hook);
// sd_create without a device (the channels only).
void createChannels();

}  // namespace velmora::audio

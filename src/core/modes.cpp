#include "core/modes.h"

#include "core/settings.h"

namespace velmora::modes {
namespace {

ReadingModes readingModes;
Hooks modeHooks;

using core::SettingKey;

int32_t& autoSkipSetting() { return core::setting(SettingKey::AlreadyReadAutoSkip); }

bool windowShown() { return !modeHooks.windowVisibleFlags || modeHooks.windowVisibleFlags() != 0; }

// Every change except starting skip ends a self-started skip's mark.
void clearSelfStartedMark() { autoSkipSetting() &= ~2; }

}  // namespace

ReadingModes& reading() { return readingModes; }
Hooks& hooks() { return modeHooks; }

int stopModes() {
  if (readingModes.modeWord) return 0;
  readingModes.modeWord = kModesStopped + kWordSkipWasOn * readingModes.skip + kWordAutoWasOn * readingModes.autoMode;
  autoSkipSetting() &= 1;
  readingModes.fast = readingModes.skip = readingModes.autoMode = 0;
  return readingModes.modeWord;
}

void startAuto() {
  if (!windowShown()) return;
  readingModes.autoMode = 1;
  readingModes.modeWord = kAutoStarted + kWordSkipWasOn * readingModes.skip;
  readingModes.skip = readingModes.fast = 0;
  clearSelfStartedMark();
}

void toggleAuto() {
  if (!windowShown()) return;
  if (readingModes.autoMode) {
    readingModes.autoMode = 0;
    readingModes.modeWord = kModesStopped + kWordAutoWasOn;
  } else {
    readingModes.autoMode = 1;
    readingModes.modeWord = kAutoStarted;
  }
  readingModes.skip = readingModes.fast = 0;
  clearSelfStartedMark();
}

void startSkip() {
  if (!windowShown()) return;
  if (!readingModes.currentBlockRead && core::setting(SettingKey::AlreadyReadSkip) == 0) return;
  readingModes.modeWord = kSkipStarted + kWordAutoWasOn * readingModes.autoMode;
  readingModes.skip = readingModes.fast = 1;
  readingModes.autoMode = 0;
}

void toggleSkip() {
  if (!windowShown()) return;
  if (readingModes.skip) {
    readingModes.modeWord = kModesStopped + kWordSkipWasOn;
    readingModes.skip = readingModes.fast = readingModes.autoMode = 0;
    clearSelfStartedMark();
    return;
  }
  if (!readingModes.currentBlockRead && core::setting(SettingKey::AlreadyReadSkip) == 0) return;
  readingModes.modeWord = kSkipStarted;
  readingModes.skip = readingModes.fast = 1;
  readingModes.autoMode = 0;
}

void stopSkipAtUnread() {
  readingModes.modeWord = kModesStopped + kWordSkipWasOn;
  readingModes.skip = readingModes.fast = 0;
}

void endJumpMode() {
  readingModes.fast = readingModes.skip = readingModes.jump = 0;
  readingModes.modeWord = kJumpEndedWord;
  if (modeHooks.endJumpEffects) modeHooks.endJumpEffects();
}

void startJumpMode() {
  readingModes.autoMode = readingModes.skip = 0;
  readingModes.jump = 1;
  if (modeHooks.startJumpEffects) modeHooks.startJumpEffects();
}

void enterTextBlock(int32_t& flag, ScriptKey script, int line) {
  if (readingModes.returnScript) {
    if (script == readingModes.returnScript && line >= readingModes.returnLine) {
      endJumpMode();
      readingModes.returnScript = 0;
      readingModes.returnLine = 0;
      readingModes.currentBlockRead = flag;
    }
    return;
  }
  readingModes.currentBlockRead = flag;
  if (flag == 0) {
    flag = 1;
    if (readingModes.skip) {
      if (autoSkipSetting() & 2) {
        autoSkipSetting() = 1;
        stopSkipAtUnread();
      } else if (core::setting(SettingKey::AlreadyReadSkip) == 0) {
        stopSkipAtUnread();
      }
    }
    if (readingModes.jump) endJumpMode();
    return;
  }
  if (!readingModes.skip && !readingModes.autoMode && autoSkipSetting() != 0) {
    readingModes.skip = readingModes.fast = 1;
    readingModes.modeWord = kSkipStarted;
    autoSkipSetting() = 3;
  }
}

void stopModeCommand(void (*commit)()) {
  const bool select = (readingModes.skip && core::setting(SettingKey::SelectSkipMode)) ||
                      (readingModes.autoMode && core::setting(SettingKey::SelectAutoMode));
  if (select && !readingModes.modeWord) stopModes();
  if (readingModes.jump) {
    if (commit) commit();
    endJumpMode();
  }
}

void holdFast() { readingModes.fast = 1; }
void releaseFast() { readingModes.fast = readingModes.skip; }

bool autoDeadlinePassed(uint32_t now) {
  if (!readingModes.autoMode || readingModes.autoDeadline == 0 || static_cast<int32_t>(now - readingModes.autoDeadline) <= 0) return false;
  return !(core::setting(SettingKey::VoiceWait) && modeHooks.voicePlaying && modeHooks.voicePlaying());
}

int modeBits() {
  return (readingModes.autoMode ? 1 : 0) | (readingModes.skip ? 2 : 0) | (readingModes.fast ? 4 : 0) | (readingModes.returnScript ? 8 : 0) |
         (readingModes.jump ? 16 : 0);
}

int takeModeWord() {
  int word = readingModes.modeWord;
  readingModes.modeWord = 0;
  return word;
}

void resetModes() { readingModes = ReadingModes{}; }

}  // namespace velmora::modes

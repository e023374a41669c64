#include "script/modes.h"

#include "base/settings.h"

namespace velmora::script {
namespace {

ReadingModes M;
ModeHooks H;


int32_t& autoSkipSetting() { return setting(SettingKey::AlreadyReadAutoSkip); }

bool windowShown() { return !H.windowVisibleFlags || H.windowVisibleFlags() != 0; }

// Every change except starting skip ends a self-started skip's mark.
void clearSelfStartedMark() { autoSkipSetting() &= ~2; }

}  // namespace

ReadingModes& readingModes() { return M; }
ModeHooks& modeHooks() { return H; }

int stopModes() {
  if (M.modeWord) return 0;
  M.modeWord = 1 + 16 * (2 * M.skip + M.autoMode);
  autoSkipSetting() &= 1;
  M.fast = M.skip = M.autoMode = 0;
  return M.modeWord;
}

void startAuto() {
  if (!windowShown()) return;
  M.autoMode = 1;
  M.modeWord = 2 + 32 * M.skip;
  M.skip = M.fast = 0;
  clearSelfStartedMark();
}

void toggleAuto() {
  if (!windowShown()) return;
  if (M.autoMode) {
    M.autoMode = 0;
    M.modeWord = 17;
  } else {
    M.autoMode = 1;
    M.modeWord = 2;
  }
  M.skip = M.fast = 0;
  clearSelfStartedMark();
}

void startSkip() {
  if (!windowShown()) return;
  if (!M.currentBlockRead && setting(SettingKey::AlreadyReadSkip) == 0) return;
  M.modeWord = 3 + 16 * M.autoMode;
  M.skip = M.fast = 1;
  M.autoMode = 0;
}

void toggleSkip() {
  if (!windowShown()) return;
  if (M.skip) {
    M.modeWord = 33;
    M.skip = M.fast = M.autoMode = 0;
    clearSelfStartedMark();
    return;
  }
  if (!M.currentBlockRead && setting(SettingKey::AlreadyReadSkip) == 0) return;
  M.modeWord = 3;
  M.skip = M.fast = 1;
  M.autoMode = 0;
}

void stopSkipAtUnread() {
  M.modeWord = 33;
  M.skip = M.fast = 0;
}

void endJumpMode() {
  M.fast = M.skip = M.jump = 0;
  M.modeWord = 65;
  if (H.endJumpEffects) H.endJumpEffects();
}

void startJumpMode() {
  M.autoMode = M.skip = 0;
  M.jump = 1;
  if (H.startJumpEffects) H.startJumpEffects();
}

void enterTextBlock(int32_t& flag, ScriptKey script, int line) {
  if (M.returnScript) {
    if (script == M.returnScript && line >= M.returnLine) {
      endJumpMode();
      M.returnScript = 0;
      M.returnLine = 0;
      M.currentBlockRead = flag;
    }
    return;
  }
  M.currentBlockRead = flag;
  if (flag == 0) {
    flag = 1;
    if (M.skip) {
      if (autoSkipSetting() & 2) {
        autoSkipSetting() = 1;
        stopSkipAtUnread();
      } else if (setting(SettingKey::AlreadyReadSkip) == 0) {
        stopSkipAtUnread();
      }
    }
    if (M.jump) endJumpMode();
    return;
  }
  if (!M.skip && !M.autoMode && autoSkipSetting() != 0) {
    M.skip = M.fast = 1;
    M.modeWord = 3;
    autoSkipSetting() = 3;
  }
}

void stopModeCommand(void (*commit)()) {
  const bool select = (M.skip && setting(SettingKey::SelectSkipMode)) ||
                      (M.autoMode && setting(SettingKey::SelectAutoMode));
  if (select && !M.modeWord) stopModes();
  if (M.jump) {
    if (commit) commit();
    endJumpMode();
  }
}

void holdFast() { M.fast = 1; }
void releaseFast() { M.fast = M.skip; }

bool autoDeadlinePassed(uint32_t now) {
  if (!M.autoMode || M.autoDeadline == 0 || static_cast<int32_t>(now - M.autoDeadline) <= 0) return false;
  return !(setting(SettingKey::VoiceWait) && H.voicePlaying && H.voicePlaying());
}

int modeBits() {
  return (M.autoMode ? 1 : 0) | (M.skip ? 2 : 0) | (M.fast ? 4 : 0) | (M.returnScript ? 8 : 0) |
         (M.jump ? 16 : 0);
}

int takeModeWord() {
  int word = M.modeWord;
  M.modeWord = 0;
  return word;
}

void resetModes() { M = ReadingModes{}; }

}  // namespace velmora::script

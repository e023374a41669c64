#include "script/modes.h"

#include "script/reading_settings.h"

namespace velmora::script {
namespace {

ReadingModes readingState;
ModeHooks installedModeHooks;


bool windowShown() { return !installedModeHooks.windowVisibleFlags || installedModeHooks.windowVisibleFlags() != 0; }

// Every change except starting skip ends a self-started skip's mark.
void clearSelfStartedMark() { setAutoSkipWord(autoSkipWord() & ~kAutoSkipStarted); }

}  // namespace

ReadingModes& readingModes() { return readingState; }
ModeHooks& modeHooks() { return installedModeHooks; }

int stopModes() {
  if (readingState.modeWord) return 0;
  readingState.modeWord = kModesStopped + kWordSkipWasOn * readingState.skip + kWordAutoWasOn * readingState.autoMode;
  setAutoSkipWord(autoSkipWord() & kAutoSkipOn);
  readingState.fast = readingState.skip = readingState.autoMode = 0;
  return readingState.modeWord;
}

void startAuto() {
  if (!windowShown()) return;
  readingState.autoMode = 1;
  readingState.modeWord = kAutoStarted + kWordSkipWasOn * readingState.skip;
  readingState.skip = readingState.fast = 0;
  clearSelfStartedMark();
}

void toggleAuto() {
  if (!windowShown()) return;
  if (readingState.autoMode) {
    readingState.autoMode = 0;
    readingState.modeWord = kModesStopped + kWordAutoWasOn;
  } else {
    readingState.autoMode = 1;
    readingState.modeWord = kAutoStarted;
  }
  readingState.skip = readingState.fast = 0;
  clearSelfStartedMark();
}

void startSkip() {
  if (!windowShown()) return;
  if (!readingState.currentBlockRead && !skipsUnreadText()) return;
  readingState.modeWord = kSkipStarted + kWordAutoWasOn * readingState.autoMode;
  readingState.skip = readingState.fast = 1;
  readingState.autoMode = 0;
}

void toggleSkip() {
  if (!windowShown()) return;
  if (readingState.skip) {
    readingState.modeWord = kModesStopped + kWordSkipWasOn;
    readingState.skip = readingState.fast = readingState.autoMode = 0;
    clearSelfStartedMark();
    return;
  }
  if (!readingState.currentBlockRead && !skipsUnreadText()) return;
  readingState.modeWord = kSkipStarted;
  readingState.skip = readingState.fast = 1;
  readingState.autoMode = 0;
}

void stopSkipAtUnread() {
  readingState.modeWord = kModesStopped + kWordSkipWasOn;
  readingState.skip = readingState.fast = 0;
}

void endJumpMode() {
  readingState.fast = readingState.skip = readingState.jump = 0;
  readingState.modeWord = kJumpEndedWord;
  if (installedModeHooks.endJumpEffects) installedModeHooks.endJumpEffects();
}

void startJumpMode() {
  readingState.autoMode = readingState.skip = 0;
  readingState.jump = 1;
  if (installedModeHooks.startJumpEffects) installedModeHooks.startJumpEffects();
}

void enterTextBlock(int32_t& flag, ScriptKey script, int line) {
  if (readingState.returnScript) {
    if (script == readingState.returnScript && line >= readingState.returnLine) {
      endJumpMode();
      readingState.returnScript = 0;
      readingState.returnLine = 0;
      readingState.currentBlockRead = flag;
    }
    return;
  }
  readingState.currentBlockRead = flag;
  if (flag == 0) {
    flag = 1;
    if (readingState.skip) {
      if (autoSkipWord() & kAutoSkipStarted) {
        setAutoSkipWord(kAutoSkipOn);
        stopSkipAtUnread();
      } else if (!skipsUnreadText()) {
        stopSkipAtUnread();
      }
    }
    if (readingState.jump) endJumpMode();
    return;
  }
  if (!readingState.skip && !readingState.autoMode && autoSkipWord() != 0) {
    readingState.skip = readingState.fast = 1;
    readingState.modeWord = kSkipStarted;
    setAutoSkipWord(kAutoSkipOn | kAutoSkipStarted);
  }
}

void stopModeCommand(void (*commit)()) {
  const bool select = (readingState.skip && choiceEndsSkip()) ||
                      (readingState.autoMode && choiceEndsAuto());
  if (select && !readingState.modeWord) stopModes();
  if (readingState.jump) {
    if (commit) commit();
    endJumpMode();
  }
}

void holdFast() { readingState.fast = 1; }
void releaseFast() { readingState.fast = readingState.skip; }

bool autoDeadlinePassed(uint32_t now) {
  if (!readingState.autoMode || readingState.autoDeadline == 0 || static_cast<int32_t>(now - readingState.autoDeadline) <= 0) return false;
  return !(autoWaitsForVoice() && installedModeHooks.voicePlaying && installedModeHooks.voicePlaying());
}

int modeBits() {
  return (readingState.autoMode ? 1 : 0) | (readingState.skip ? 2 : 0) | (readingState.fast ? 4 : 0) | (readingState.returnScript ? 8 : 0) |
         (readingState.jump ? 16 : 0);
}

int takeModeWord() {
  int word = readingState.modeWord;
  readingState.modeWord = 0;
  return word;
}

void resetModes() { readingState = ReadingModes{}; }

}  // namespace velmora::script

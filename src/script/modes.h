#pragma once
// The reading modes (auto, skip, fast, jump) and the pending mode word that
// the event wait reports. The message window and the read marks change them;
// the event wait and the window's key handling read and stop them. Main
// thread only.
#include <cstdint>

#include "base/hash.h"

namespace velmora::script {

// Mode words: what happened in the low bits, which modes were on above them
// (the event wait reports word >> 4 and (word & 7) - 1).
enum ModeWordEvent : int { kModesStopped = 1, kAutoStarted = 2, kSkipStarted = 3 };
constexpr int kWordAutoWasOn = 16, kWordSkipWasOn = 32, kWordJumpWasOn = 64;
constexpr int kJumpEndedWord = kModesStopped + kWordJumpWasOn;

struct ReadingModes {
  int autoMode = 0;
  int skip = 0;
  int fast = 0;
  int jump = 0;
  // Pending mode-change code for the event wait; 0 = none.
  int modeWord = 0;
  // Where a restored save stack fast-forwards to; key 0 = none.
  ScriptKey returnScript = 0;
  int returnLine = 0;
  // Time (engine ms) after which auto mode may advance; 0 = not armed.
  uint32_t autoDeadline = 0;
  // The read flag of the text block entered last, before it was set.
  int currentBlockRead = 0;
};
ReadingModes& readingModes();

// What the modes reach in higher layers, installed at start-up.
struct ModeHooks {
  // The message window's visible flags; starting a mode needs them non-zero.
  int (*windowVisibleFlags)() = nullptr;
  // Ending jump mode: restart looping sounds, clear the window flags and
  // continue at the load hook.
  void (*endJumpEffects)() = nullptr;
  // Entering jump mode: loads and sounds only record what they would do.
  void (*startJumpEffects)() = nullptr;
  // Whether a voice is playing: with VoiceWait, auto mode waits for it.
  bool (*voicePlaying)() = nullptr;
};
ModeHooks& modeHooks();

// Stops auto and skip when no word is pending; returns the word it set
// (1 + 16 * (2 * skip + auto)), or 0 when a word was already pending.
int stopModes();
// setAuto 1 / setSkip 1 and the toggles (setAuto 2, Shift; setSkip 2, Tab).
void startAuto();
void toggleAuto();
void startSkip();
void toggleSkip();
// Skip stopped because unread text was reached (word 33).
void stopSkipAtUnread();
void endJumpMode();
// setJump: auto and skip off, jump on.
void startJumpMode();
// A text block is entered (once per page): the read flag of the block (set to
// 1 here when it was unread) decides the skip and jump states.
void enterTextBlock(int32_t& flag, ScriptKey script, int line);
// stopMode: stops what the Select settings say, then ends jump mode; commit
// applies pending sprite changes first.
void stopModeCommand(void (*commit)());
// The pass-through key or button is held: text is passed over.
void holdFast();
// A click, Enter, a wheel step or the release of the pass-through key: fast
// is on again only while skip is.
void releaseFast();
// Auto mode's deadline has passed and, with VoiceWait, no voice still plays.
bool autoDeadlinePassed(uint32_t now);
// bit 0 auto, bit 1 skip, bit 2 fast, bit 3 return target, bit 4 jump.
int modeBits();
// Takes the pending word (0 when none) and clears it.
int takeModeWord();
// Everything off, no word, no target (start of a run, tests).
void resetModes();

}  // namespace velmora::script

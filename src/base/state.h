#pragma once
// Process-wide helpers every subsystem shares.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace velmora {

// Non-zero ends the program: every wait returns, and the interpreter stops
// after the current command.
extern std::atomic<int> quitRequest;

// The growable buffer shared by the script loader and the resource reader.
char* fileMemory();
size_t fileSize();
// Makes the buffer hold at least n bytes (it never shrinks). On allocation
// failure the buffer is released, fileSize() becomes 0 and false is returned.
bool growFileMemory(size_t n);
void releaseFileMemory();

// The integer reader for numbers in files: leading blanks skipped, optional
// sign, then value * 10 + digit for every further character, letters counting
// 10-31 and other characters 0.
int32_t readEngineInt(const char* text, size_t length);
// One such digit: 0-9, letters as base-32 digits 10-31 (either case), anything else 0.
uint32_t engineDigit(unsigned char c);

// The clock reading taken just before the first script line ran.
uint32_t startClock();
void setStartClock(uint32_t ms);

// Options of this run, set once from the command line.
struct RunOptions {
  bool headless = false;
  int answer = 7;  // what confirmation boxes answer in headless mode (6 yes, 7 no, 2 cancel)
  bool answerGiven = false;  // --answer was on the command line
  std::string inheritGame;
  std::string setupChoice;  // --setup-choice: what a headless start-up dialog picks
  // --save-dir (UTF-8, absolute): the save root of this run, where it keeps
  // every file it writes; temporary when a headless run found the game's
  // files in use elsewhere (removed at exit).
  std::string saveDir;
  bool saveDirTemporary = false;
  // The engine's own questions (save location, inheritance, start-up dialog)
  // were answered so that the game ended before it began.
  bool answersEndedGame = false;
  uint32_t frameMs = 0;  // --frame-ms: how far a presented frame moves the virtual clock (0: 1000/60)  // --inherit (UTF-8): the sibling game whose settings a headless first run takes
};
RunOptions& runOptions();

}  // namespace velmora

#pragma once
// The interpreter: registers, the four command tables and the loop.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/hash.h"
#include "script/loader.h"
#include "script/value.h"

namespace velmora::script {

using CommandHandler = void (*)(const char* args);

enum SwitchRequest { kSwitchNone = 0, kSwitchToSlot0 = 1, kSwitchToSlot1 = 2, kSwitchLoadSlot1 = 4 };

// Process-wide interpreter registers (the execution position and requests).
struct Registers {
  int activeSlot = 0;
  int currentLine = 0;
  int currentPart = 0;
  int partCount = 0;
  int jumpRequest = 0;
  int rewriteRequest = 0;
  std::string rewriteBuffer;  // replacement for the current part (at most 255 bytes)
  int skipToNext = 0;
  SwitchRequest scriptSwitchRequest = kSwitchNone;
  ScriptKey subScriptKey = 0;
  std::string subScriptName;  // printable name of the sub-script
  int loadHook = 0;
  int preTextHook = 0;
  int postTextHook = 0;
  int lastTextLine = -1;
  // Where the text block being shown began (its speaker line, if any), and
  // in which script: a saved game shows the page again from there.
  ScriptKey textBlockScript = 0;
  int textBlockLine = -1;
  std::string userSubName;   // at most 31 bytes
  std::string callArguments;  // at most 255 bytes
};
Registers& registers();

// The two script slots and the text-block table in use. Whoever refills a
// slot's lines calls slotChanged, which drops the loop's cached splits.
LineArray& slotLines(int slot);
void slotChanged(int slot);
LineArray& activeLines();
ScriptKey activeScriptKey();
TextBlockTable* activeTextBlocks();

// Command tables.
void registerCommand(std::string_view name, CommandHandler handler);
CommandHandler findCommand(std::string_view name);
std::unordered_set<uint32_t>& userSubTable();

// Foreign-language function tables: name hash -> declared result kind; the
// language hosts run such functions (InterpreterHooks).
using ForeignCaller = void (*)(std::string_view name, const char* args, int resultKind);
std::unordered_map<uint32_t, int>& luaFunctionTable();
std::unordered_map<uint32_t, int>& squirrelFunctionTable();

// Registers the commands the language implements itself; the bindings add
// the file and library commands it shares with Lua and Squirrel.
void registerOwnCommands();
// A report's context in this language: the gosub frames and the line.
std::string ownLanguageTrace(std::string_view message);
std::vector<std::string_view> ownCommandNames();
void splitPartsInto(std::string_view text, char separator, std::vector<std::string>& out);

ArgumentList parseArguments(const char* args);

// Numbers as text: "0", or an optional '-', the integer part and, when the
// fraction is not zero, '.' and the fraction to six places without trailing zeros.
std::string formatNumber(double value);
// A value as print shows it: strings as they are, numbers formatted.
std::string valueText(const ScriptValue& v);

// Limits that stop a runaway script (docs/authoring.md lists them): nested
// gosubs and the length of one string value.
constexpr size_t kMaxGosubDepth = 100000;
constexpr size_t kMaxStringBytes = size_t{16} << 20;

// Reports a limit the script ran into and ends the run cleanly, as a quit
// does (settings and read marks are still written).
void stopAtLimit(std::string_view message);
bool stoppedAtLimit();
// False (after stopAtLimit) when a string of this many bytes is too long.
bool stringLengthAllowed(size_t bytes);

// The loop; returns when the active script has no more lines or a quit.
// Every so many parts it looks for quit and close requests, so that a script
// spinning without a wait can still be ended. Running out of memory inside a
// command is reported and ends the run.
void runScript();
// Applies the requests a handler left (rewrite, script switch, load hook).
void applyRequests();

// A '[command args]' inside message text; pos points at '[' on entry and at
// the ']' (or the end of the name) on return. 0 means the program is to stop.
int runInlineCommand(const char* text, size_t& pos, size_t end);

// The message window's hand-over for text lines; 0 stops the program.
using TextLineHandler = int (*)(std::string_view line, size_t textStart, size_t nextLength, size_t afterNextLength);
// Without a message window text lines are printed; the last one printed.
int printTextLine(std::string_view line, size_t textStart, size_t nextLength, size_t afterNextLength);
const std::string& lastPrintedTextLine();

// What the interpreter reaches above it: the message window and backlog for
// text parts (without them text lines are printed) and the language hosts
// for declared foreign functions.
struct InterpreterHooks {
  TextLineHandler textLine = nullptr;
  ForeignCaller callLua = nullptr;
  ForeignCaller callSquirrel = nullptr;
  bool (*backlogEntryEmpty)() = nullptr;
  void (*setSpeakerName)(std::string_view name) = nullptr;
  void (*readMark)(int32_t& flag) = nullptr;      // updates read, skip and auto states
  void (*recordPosition)(ScriptKey key, int line) = nullptr;
  int (*pageState)() = nullptr;
  int (*resumeOffset)() = nullptr;  // non-zero while a line is laid out only in part
};
void installInterpreterHooks(const InterpreterHooks& hooks);
const InterpreterHooks& interpreterHooks();

// Empties both slots and resets the registers (release, tests).
void resetInterpreter();

}  // namespace velmora::script

#pragma once
// Error reporting: reportError and printError put the command and the script
// position in front of a message; every error box is also appended to
// Information.txt.
#include <string>
#include <string_view>

namespace velmora {

// Languages as the script bridge numbers them; others add no script context.
enum ScriptLanguage { kLanguageOwn = 1, kLanguageLua = 2, kLanguageSquirrel = 3 };

// Builds the report text for a message in the context of one language.
using TraceBuilder = std::string (*)(std::string_view message);

void setActiveLanguage(int language);
int activeLanguage();

// The script context each language puts in front of a report, from the
// interpreter and the two hosts above; without one the message stands alone.
struct ReportHooks {
  TraceBuilder ownTrace = nullptr;
  TraceBuilder luaTrace = nullptr;
  TraceBuilder squirrelTrace = nullptr;
};
void installReportHooks(const ReportHooks& hooks);
const ReportHooks& reportHooks();

// The name of the command being executed (at most 63 bytes are kept).
void setErrcmd(std::string_view name);
const char* errcmd();

// The one way a command reports: the error box (and the log).
void reportError(std::string_view message);
// The same text on standard output only, for faults that need not stop the player.
void printError(std::string_view message);
using ErrorReporter = void (*)(std::string_view message);
// The mode word scripts and plug-ins pass to their error function: 0 prints,
// anything else shows the box.
ErrorReporter reporterForMode(int mode);

void showErrorBox(std::string_view text);
// A line in Information.txt without a box: what the engine decided on the
// player's behalf (where saves go, a settings file set aside).
void logInformation(std::string_view text);
int confirmYesNo(std::string_view text);       // 6 yes, 7 no
void showInformation(std::string_view text);
int confirmYesNoCancel(std::string_view text);  // 6 yes, 7 no, 2 cancel

// Folder (with trailing '/', or empty for the game folder) that holds the log.
void setSaveRoot(std::string root);
const std::string& saveRoot();
std::string logFilePath();

// Console redirection is a no-op here: standard output is always there.
void setConsole(bool on);

}  // namespace velmora

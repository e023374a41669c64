#pragma once
// Shared pieces of the own language's library commands.
#include <string>
#include <string_view>
#include <vector>

#include "script/arguments.h"
#include "script/interp.h"

namespace velmora::script {

// Values and strings.
void cmd_rand(const char* args);
void cmd_itos16(const char* args);
void cmd_len(const char* args);
void cmd_mid(const char* args);
void cmd_upper(const char* args);
void cmd_lower(const char* args);
void cmd_match(const char* args);
void cmd_split(const char* args);
// Regular expressions.
void cmd_regexp_match(const char* args);
void cmd_regexp_split(const char* args);
// Files, the file list and the text list.
void cmd_loadFile(const char* args);
void cmd_saveFile(const char* args);
void cmd_setFileList(const char* args);
void cmd_getFileList(const char* args);
void cmd_loadText(const char* args);
void cmd_saveText(const char* args);
void cmd_getText(const char* args);
void cmd_setText(const char* args);
void cmd_insertText(const char* args);
void cmd_addText(const char* args);
void cmd_sortText(const char* args);
void cmd_clearText(const char* args);
// The paths setFileList would collect for a folder (empty: "./"), pattern
// and flags, leaving the file list as it is.
std::vector<std::string> collectFileList(std::string folder, const std::string& pattern, int32_t flags);

// Pieces of a text at a one- or two-byte separator (Shift_JIS-aware); any
// other separator, or an empty text, gives none.
std::vector<std::string> splitText(const std::string& text, const std::string& sep);
// Gives piece i (or its target's default) to target firstTarget + i.
void assignSplitTargets(const RawArguments& a, size_t firstTarget, const std::vector<std::string>& pieces);
// Byte position of the first occurrence of a one- or two-byte character at a
// character boundary, or -1; the number of occurrences when asked for.
int32_t findCharacter(const std::string& text, const std::string& ch, int32_t* occurrences = nullptr);
// Whether a "character" argument is one: one or two bytes in a Shift_JIS game
// (as ever), one code point in a Unicode game.
bool isOneCharacter(const std::string& ch);
std::string_view trimText(std::string_view s);

// Paths: folder part with the output separator, base name, extension.
struct PathParts {
  std::string folder;  // ends with the separator, or empty
  std::string base;
  std::string extension;  // with its dot, or empty
};
// sep 0 chooses '/' unless the path holds more '\' than '/'. False for an empty path.
bool splitPath(std::string_view path, PathParts& out, char sep = 0);
// Creates the folder (and its parents) when missing; empty is accepted.
bool ensureFolder(const std::string& folder);

}  // namespace velmora::script

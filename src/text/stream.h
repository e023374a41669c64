#pragma once
// The text stream: each finished page as one UTF-8 line, its speaker first
// ("Name: text"), for reading aids and dictionary tools that follow the
// game. The target is the TextStream setting, or the command line's choice
// for this run: "stdout", "clipboard" or a file (appended to); empty: off.
#include <string>
#include <string_view>

namespace velmora::text {

// The command line's target (UTF-8: it comes before the game's encoding is
// known); it wins over the setting.
void setTextStreamOverride(std::string_view targetUtf8);
// A page's text as it reads, rows joined (engine text): each ruby
// "{base/reading}" as its base, or as its reading for speech.
std::string plainPage(std::string_view text, bool readings = false);
// The line a page makes (UTF-8, no line end); empty for an empty page.
std::string streamLine(std::string_view name, std::string_view text);
// Sends the page to the target, if any.
void streamPage(std::string_view name, std::string_view text);
void closeTextStream();

}  // namespace velmora::text

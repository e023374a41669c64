#include "reference.h"

#include <array>
#include <string_view>

#include "bindings/catalogue.h"

namespace velmora::tools {
namespace {

using bindings::Family;

constexpr std::array<const char*, static_cast<size_t>(Family::Count)> kFamilyTitles = {
    "Message windows and text", "Fonts", "Read marks, auto and skip, backlog", "Presentation settings",
    "Volumes", "Settings file", "Save slots", "Screenshots", "System", "Script hosts", "Look-ahead",
    "Drawing", "Buttons", "Sprites", "Sprite pictures", "Movies", "Motion", "Sound",
};
static_assert(kFamilyTitles.size() == static_cast<size_t>(Family::Count));

const char* kindName(char letter) {
  return letter == 'n' ? "int" : letter == 'r' ? "real" : letter == 's' ? "text" : "value";
}

// "x: int, y: real" from the names "x, y" and the letters "nr".
std::string namedKinds(std::string_view names, const char* letters) {
  std::string out;
  for (const char* p = letters; *p; ++p) {
    const size_t comma = names.find(',');
    if (!out.empty()) out += ", ";
    out += std::string(names.substr(0, comma)) + ": " + kindName(*p);
    names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
    while (!names.empty() && names.front() == ' ') names.remove_prefix(1);
  }
  return out.empty() ? "—" : out;
}

}  // namespace

std::string commandReference() {
  std::string out =
      "# Engine command reference\n\n"
      "Generated from the engine's command table by `velmora-pack reference`; do not edit by hand.\n"
      "The own language's commands, expressions and variables are in [language.md](language.md),\n"
      "how to put a game together in [authoring.md](authoring.md).\n\n"
      "Kinds: int (a number, cut to a whole number), real (a number), text. In the own script\n"
      "language the results are written into variables given after the arguments\n"
      "(`sp_gsz 10, %w, %h`); Lua and Squirrel receive them as return values (Squirrel: one\n"
      "array where the results are marked as a list). An argument that is not written reads as\n"
      "0 or as empty text; nothing checks argument counts or kinds at run time.\n";
  int family = -1;
  for (const auto& e : bindings::catalogue()) {
    if (static_cast<int>(e.family) != family) {
      family = static_cast<int>(e.family);
      out += std::string("\n## ") + kFamilyTitles[family] +
             "\n\n| Command | Arguments | Results | What it does |\n|---|---|---|---|\n";
    }
    std::string results = namedKinds(e.resultNames, e.results);
    if (e.flags & bindings::kList) results += " (list)";
    std::string summary = e.summary;
    if (e.flags & bindings::kOwnOnly) summary = "*Own language only.* " + summary;
    out += std::string("| `") + e.name + "` | " + namedKinds(e.argumentNames, e.arguments) + " | " + results + " | " +
           summary + " |\n";
  }
  return out;
}

}  // namespace velmora::tools

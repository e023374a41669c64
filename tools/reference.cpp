#include "reference.h"

#include <array>

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

std::string kinds(const char* letters) {
  std::string out;
  for (const char* p = letters; *p; ++p) {
    if (!out.empty()) out += ", ";
    out += *p == 'n' ? "integer" : *p == 'r' ? "real" : *p == 's' ? "string" : "value";
  }
  return out.empty() ? "—" : out;
}

}  // namespace

std::string commandReference() {
  std::string out =
      "# Engine command reference\n\n"
      "Generated from the engine's command table by `velmora-pack reference`; do not edit by hand.\n"
      "In the own script language a command's results are written into the variables named by\n"
      "extra arguments after its inputs; Lua and Squirrel receive them as return values.\n";
  int family = -1;
  for (const auto& e : bindings::catalogue()) {
    if (static_cast<int>(e.family) != family) {
      family = static_cast<int>(e.family);
      out += std::string("\n## ") + kFamilyTitles[family] + "\n\n| Command | Arguments | Results | Notes |\n|---|---|---|---|\n";
    }
    std::string notes;
    if (e.flags & bindings::kOwnOnly) notes = "own language only";
    if (e.flags & bindings::kList) notes += notes.empty() ? "list result" : ", list result";
    out += std::string("| `") + e.name + "` | " + kinds(e.arguments) + " | " + kinds(e.results) + " | " + notes + " |\n";
  }
  return out;
}

}  // namespace velmora::tools

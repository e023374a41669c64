#include "save/location.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/pump.h"
#include "core/report.h"
#include "core/state.h"
#include "core/textconv.h"
#include "save/settings_file.h"

namespace velmora::save {
namespace {

constexpr const char* kMarker = "save.dat";
constexpr const char* kOldMarker = "save/save.dat";
constexpr std::string_view kGameSettingsTail = "/save/setting.dat";
constexpr int kWheelDelta = 120;
constexpr int kDefaultWheelLines = 3;

InheritanceChoice chooseByBoxes(const std::vector<std::string>& games);

struct LocationState {
  bool chosen = false;
  InheritanceChooser chooser = chooseByBoxes;
  SettingsLoadHooks hooks;
};
LocationState L;

bool isRegularFile(const std::string& path) {
  struct stat st;
  return stat(hostPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string withoutTrailingSlashes(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string commandOutputLine(const char* command) {
  std::FILE* p = popen(command, "r");
  if (!p) return {};
  char buf[4096];
  std::string line;
  if (std::fgets(buf, sizeof buf, p)) line = buf;
  pclose(p);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

std::string homeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return ".";
}

// Yes/No/Cancel (6/7/2), then the second question, until one is answered.
enum class MarkerContent { Documents, GameFolder, Quit };

MarkerContent askSaveLocation(std::string_view maker, std::string_view game) {
  for (;;) {
    int answer = confirmYesNoCancel(sj(
        "ドキュメントにセーブデータを保存しても宜しいですか？\n\nドキュメントを選ぶと同じブランドのゲームのセーブデータが\n"
        "ドキュメントにあれば設定を一部引き継げるようになります。\n"));
    if (answer == 6) {
      if (confirmYesNo(sj("ドキュメントにセーブデータを作りますか？\n") + documentsRoot(maker, game)) == 6)
        return MarkerContent::Documents;
    } else if (answer == 7) {
      if (confirmYesNo(sj("ゲームフォルダにセーブデータを作りますか？")) == 6) return MarkerContent::GameFolder;
    } else {
      return MarkerContent::Quit;
    }
    // Headless answers never change: asking again would never end.
    if (runOptions().headless) return MarkerContent::Quit;
  }
}

// The first-run question; writes the marker. Quit sets the quit request.
MarkerContent firstRunQuestion(std::string_view maker, std::string_view game) {
  MarkerContent choice = askSaveLocation(maker, game);
  if (choice == MarkerContent::Quit) {
    quitRequest = 1;
    runOptions().answersEndedGame = true;
    return choice;
  }
  std::FILE* f = std::fopen(kMarker, "wb");
  if (!f) {
    showErrorBox(std::string(kMarker) + " " + std::strerror(errno));
    return choice;
  }
  if (choice == MarkerContent::Documents) std::fputc('1', f);
  std::fclose(f);
  return choice;
}

// A marker that cannot be opened counts as missing.
bool readMarker(const char* path, MarkerContent& content) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  int first = std::fgetc(f);
  std::fclose(f);
  content = first == EOF ? MarkerContent::GameFolder : MarkerContent::Documents;
  return true;
}

MarkerContent findMarker(std::string_view maker, std::string_view game) {
  MarkerContent content = MarkerContent::GameFolder;
  const char* marker = isRegularFile(kMarker) ? kMarker : isRegularFile(kOldMarker) ? kOldMarker : nullptr;
  if (marker && readMarker(marker, content)) return content;
  return firstRunQuestion(maker, game);
}

InheritanceChoice chooseHeadless(const std::vector<std::string>& games) {
  const std::string wanted = utf8_to_sjis(runOptions().inheritGame);
  auto it = std::find(games.begin(), games.end(), wanted);
  return InheritanceChoice{false, wanted.empty() || it == games.end() ? -1 : static_cast<int>(it - games.begin())};
}

// Stands in for the inheritance window until the dialog toolkit lands.
InheritanceChoice chooseByBoxes(const std::vector<std::string>& games) {
  if (runOptions().headless) return chooseHeadless(games);
  for (;;) {
    for (size_t i = 0; i < games.size(); ++i) {
      if (quitRequest) return InheritanceChoice{true, -1};
      if (confirmYesNo(sj("「") + games[i] + sj("」の設定を引き継ぎますか？")) == 6)
        return InheritanceChoice{false, static_cast<int>(i)};
    }
    if (confirmYesNo(sj("引き継ぎを行わなくて構いませんか？")) == 6) return InheritanceChoice{};
  }
}

// A first start in Documents mode: take a sibling game's settings, or the
// defaults, and write this game's file at once.
void inheritSettings(const std::string& parent) {
  std::vector<std::string> games = inheritableGames(parent);
  if (games.empty()) {
    readSettingsFile("");
    return;
  }
  InheritanceChoice choice = L.chooser(games);
  if (choice.quit || quitRequest) {
    quitRequest = 1;
    runOptions().answersEndedGame = true;
    return;
  }
  if (choice.game >= 0 && static_cast<size_t>(choice.game) < games.size())
    readSettingsFile(parent + games[static_cast<size_t>(choice.game)] + std::string(kGameSettingsTail));
  else
    readSettingsFile("");
  writeSettingsFile();
}

}  // namespace

std::string documentsFolder() {
  std::string dir = commandOutputLine("xdg-user-dir DOCUMENTS 2>/dev/null");
  if (dir.empty())
    if (const char* env = std::getenv("XDG_DOCUMENTS_DIR"); env && *env) dir = env;
  if (dir.empty()) dir = homeFolder() + "/Documents";
  return withoutTrailingSlashes(dir);
}

// The system names the folder in UTF-8; the engine's paths are its own text.
std::string documentsRoot(std::string_view maker, std::string_view game) {
  return utf8_to_sjis(documentsFolder()) + "/" + std::string(maker) + "/" + std::string(game) + "/";
}

std::string saveFolder() { return saveRoot() + "save/"; }

std::vector<std::string> inheritableGames(const std::string& parent) {
  namespace fs = std::filesystem;
  std::vector<std::string> games;
  const std::string hostParent = hostPath(parent);
  std::error_code ec;
  fs::recursive_directory_iterator it(hostParent, fs::directory_options::skip_permission_denied, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::string path = it->path().string();
    if (path.size() <= hostParent.size() + kGameSettingsTail.size()) continue;
    if (path.compare(path.size() - kGameSettingsTail.size(), kGameSettingsTail.size(), kGameSettingsTail) != 0) continue;
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    std::string name = path.substr(hostParent.size(), path.size() - hostParent.size() - kGameSettingsTail.size());
    games.push_back(utf8_to_sjis(name));
  }
  std::sort(games.begin(), games.end());
  return games;
}

void setInheritanceChooser(InheritanceChooser chooser) { L.chooser = chooser ? chooser : chooseByBoxes; }
SettingsLoadHooks& settingsLoadHooks() { return L.hooks; }

void loadSetting(std::string_view maker, std::string_view game) {
  setErrcmd("loadSetting");
  // A run with a save folder of its own (--save-dir) asks nothing and keeps it.
  const bool ownFolder = !runOptions().saveDir.empty();
  MarkerContent content = ownFolder ? MarkerContent::GameFolder : findMarker(maker, game);
  if (content == MarkerContent::Quit) return;
  std::string parent, root = ownFolder ? saveRoot() : std::string();
  if (content == MarkerContent::Documents) {
    parent = utf8_to_sjis(documentsFolder()) + "/" + std::string(maker) + "/";
    root = parent + std::string(game) + "/";
  }
  setSaveRoot(root);
  if (!ownFolder && !root.empty() && !isRegularFile(settingsPath())) {
    inheritSettings(parent);
    // Writing at exit would make the next start skip the offer.
    if (quitRequest) return;
  } else {
    readSettingsFile("");
  }
  L.chosen = true;
  // No system wheel-lines setting to read here: one notch of three lines.
  if (waitSettings().wheelThreshold == 0) waitSettings().wheelThreshold = kWheelDelta / kDefaultWheelLines;
  if (L.hooks.loadAlreadyRead) L.hooks.loadAlreadyRead();
  if (L.hooks.applyVolumes) L.hooks.applyVolumes();
}

bool saveLocationChosen() { return L.chosen; }

void writeSettingsAtExit() {
  if (L.chosen) writeSettingsFile();
}

void resetSaveLocation() {
  L.chosen = false;
  setSaveRoot("");
}

}  // namespace velmora::save

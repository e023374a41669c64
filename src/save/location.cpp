#include "save/location.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "base/pump.h"
#include "base/replace_file.h"
#include "base/report.h"
#include "base/state.h"
#include "base/textconv.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "save/messages.h"
#include "save/settings_file.h"

namespace velmora::save {
namespace {

constexpr const char* kMarker = "save.dat";
constexpr const char* kOldMarker = "save/save.dat";
constexpr std::string_view kGameSettingsTail = "/save/setting.dat";
constexpr int kWheelDelta = 120;
constexpr int kDefaultWheelLines = 3;
// The marker the engine writes is one byte; a few more allow for an editor's
// line end around a hand-written "1".
constexpr size_t kMarkerBytesRead = 64;

struct LocationState {
  bool chosen = false;
  std::string names;  // "maker\0game" as loadSetting was given them
  SettingsLoadHooks hooks;
};
LocationState locationState;

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

enum class MarkerContent { Documents, GameFolder, Quit };

// The choice and why it was made, for Information.txt.
struct RootChoice {
  MarkerContent content = MarkerContent::GameFolder;
  std::string why;
};

// Yes/No/Cancel (6/7/2), then the second question, until one is answered.
MarkerContent askSaveLocation(std::string_view maker, std::string_view game) {
  for (;;) {
    int answer = confirmYesNoCancel(questionText(Message::AskSaveLocation));
    if (answer == platform::kAnswerYes) {
      if (confirmYesNo(questionText(Message::CreateInDocuments) + documentsRoot(maker, game)) == platform::kAnswerYes)
        return MarkerContent::Documents;
    } else if (answer == platform::kAnswerNo) {
      if (confirmYesNo(questionText(Message::CreateInGameFolder)) == platform::kAnswerYes) return MarkerContent::GameFolder;
    } else {
      return MarkerContent::Quit;
    }
    // Headless answers never change: asking again would never end.
    if (runOptions().headless) return MarkerContent::Quit;
  }
}

// The first-run question; writes the marker. Quit sets the quit request.
RootChoice firstRunQuestion(std::string_view maker, std::string_view game) {
  RootChoice choice{askSaveLocation(maker, game), messageText(Message::WhyFirstAnswer)};
  if (choice.content == MarkerContent::Quit) {
    quitRequest = 1;
    runOptions().answersEndedGame = true;
    return choice;
  }
  std::FILE* f = std::fopen(kMarker, "wb");
  if (!f) {
    showErrorBox(std::string(kMarker) + " " + std::strerror(errno));
    return choice;
  }
  if (choice.content == MarkerContent::Documents) std::fputc('1', f);
  std::fclose(f);
  return choice;
}

bool isMarkerBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// "1" (blanks around it allowed) means Documents and nothing means the game
// folder, as the engine writes them; anything else ("0", a lone line end, a
// NUL byte) keeps the saves where a marker without "1" always kept them.
// A marker that cannot be opened counts as missing.
bool readMarker(const char* path, RootChoice& choice) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  char bytes[kMarkerBytesRead];
  std::string_view content(bytes, std::fread(bytes, 1, sizeof bytes, f));
  std::fclose(f);
  while (!content.empty() && isMarkerBlank(content.front())) content.remove_prefix(1);
  while (!content.empty() && isMarkerBlank(content.back())) content.remove_suffix(1);
  const std::string name = path;
  if (content == "1") choice = {MarkerContent::Documents, name + messageText(Message::WhyMarkerIsOne)};
  else if (content.empty()) choice = {MarkerContent::GameFolder, name + messageText(Message::WhyMarkerIsEmpty)};
  else choice = {MarkerContent::GameFolder, name + messageText(Message::WhyMarkerIsOther)};
  return true;
}

RootChoice findMarker(std::string_view maker, std::string_view game) {
  RootChoice choice;
  const char* marker = isRegularFile(kMarker) ? kMarker : isRegularFile(kOldMarker) ? kOldMarker : nullptr;
  if (marker && readMarker(marker, choice)) return choice;
  return firstRunQuestion(maker, game);
}

// One line per start in the chosen root's Information.txt, whose folder is
// made for it (the log is the first file written there).
void logRootChoice(const RootChoice& choice, const std::string& root, const DocumentsFolder& documents) {
  std::string line = messageText(Message::SaveLocationLine);
  if (root.empty()) {
    line += messageText(Message::GameFolderBefore) + choice.why + ")";
  } else if (!documents.source || !*documents.source) {
    line += root + " (" + choice.why + ")";
  } else {
    line += root + " (" + choice.why + messageText(Message::DocumentsFolderIs) + documents.source + ")";
    std::error_code ec;
    std::filesystem::create_directories(hostPath(root), ec);
  }
  logInformation(line);
}

InheritanceChoice chooseHeadless(const std::vector<std::string>& games) {
  const std::string wanted = utf8ToGame(runOptions().inheritGame);
  auto it = std::find(games.begin(), games.end(), wanted);
  return InheritanceChoice{false, wanted.empty() || it == games.end() ? -1 : static_cast<int>(it - games.begin())};
}

}  // namespace

InheritanceChoice chooseInheritanceByBoxes(const std::vector<std::string>& games) {
  if (runOptions().headless) return chooseHeadless(games);
  for (;;) {
    for (size_t i = 0; i < games.size(); ++i) {
      if (quitRequest) return InheritanceChoice{true, -1};
      if (confirmYesNo(questionText(Message::InheritQuestionBefore) + games[i] +
          questionText(Message::InheritQuestionAfter)) == platform::kAnswerYes)
        return InheritanceChoice{false, static_cast<int>(i)};
    }
    if (confirmYesNo(questionText(Message::SkipInheritance)) == platform::kAnswerYes) return InheritanceChoice{};
  }
}

namespace {

// A first start in Documents mode: take a sibling game's settings, or the
// defaults, and write this game's file at once.
void inheritSettings(const std::string& parent) {
  std::vector<std::string> games = inheritableGames(parent);
  if (games.empty()) {
    readSettingsFile("");
    return;
  }
  const InheritanceChooser choose = locationState.hooks.chooseInheritance;
  InheritanceChoice choice = (choose ? choose : chooseInheritanceByBoxes)(games);
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

DocumentsFolder findDocumentsFolder() {
  namespace fs = std::filesystem;
  const std::string home = withoutTrailingSlashes(homeFolder());
  // xdg-user-dir answers with the home folder itself when no Documents
  // folder is configured: saves never go to the top of the home folder.
  std::string dir = withoutTrailingSlashes(commandOutputLine("xdg-user-dir DOCUMENTS 2>/dev/null"));
  if (!dir.empty() && dir != home) return {dir, "xdg-user-dir DOCUMENTS"};
  if (const char* env = std::getenv("XDG_DOCUMENTS_DIR"); env && *env && withoutTrailingSlashes(env) != home)
    return {withoutTrailingSlashes(env), "$XDG_DOCUMENTS_DIR"};
  std::error_code ec;
  if (fs::is_directory(home + "/Documents", ec)) return {home + "/Documents", "~/Documents"};
  // A relative $XDG_DATA_HOME is invalid and ignored, as the XDG rules say.
  if (const char* env = std::getenv("XDG_DATA_HOME"); env && env[0] == '/')
    return {withoutTrailingSlashes(env), "$XDG_DATA_HOME"};
  return {home + "/.local/share", "~/.local/share"};
}

std::string documentsFolder() { return findDocumentsFolder().path; }

// The system names the folder in UTF-8; the engine's paths are its own text.
std::string documentsRoot(std::string_view maker, std::string_view game) {
  return utf8ToGame(documentsFolder()) + "/" + std::string(maker) + "/" + std::string(game) + "/";
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
    games.push_back(utf8ToGame(name));
  }
  std::sort(games.begin(), games.end());
  return games;
}

void installSettingsLoadHooks(const SettingsLoadHooks& hooks) { locationState.hooks = hooks; }
const SettingsLoadHooks& settingsLoadHooks() { return locationState.hooks; }

void loadSetting(std::string_view maker, std::string_view game) {
  // A run with a save folder of its own (--save-dir) asks nothing and keeps it.
  const bool ownFolder = !runOptions().saveDir.empty();
  const RootChoice choice = ownFolder ? RootChoice{MarkerContent::GameFolder, messageText(Message::WhySaveDirOption)}
                                      : findMarker(maker, game);
  if (choice.content == MarkerContent::Quit) return;
  std::string parent, root = ownFolder ? saveRoot() : std::string();
  DocumentsFolder documents;
  if (choice.content == MarkerContent::Documents) {
    documents = findDocumentsFolder();
    parent = utf8ToGame(documents.path) + "/" + std::string(maker) + "/";
    root = parent + std::string(game) + "/";
  }
  setSaveRoot(root);
  locationState.names = std::string(maker) + '\0' + std::string(game);
  logRootChoice(choice, root, documents);
  sweepTemporaries();
  if (!ownFolder && !root.empty() && !isRegularFile(settingsPath())) {
    inheritSettings(parent);
    // Writing at exit would make the next start skip the offer.
    if (quitRequest) return;
  } else {
    readSettingsFile("");
  }
  locationState.chosen = true;
  // No system wheel-lines setting to read here: one notch of three lines.
  if (waitSettings().wheelThreshold == 0) waitSettings().wheelThreshold = kWheelDelta / kDefaultWheelLines;
  if (locationState.hooks.loadAlreadyRead) locationState.hooks.loadAlreadyRead();
  if (locationState.hooks.applyVolumes) locationState.hooks.applyVolumes();
}

bool saveLocationChosen() { return locationState.chosen; }
const std::string& settingNames() { return locationState.names; }

// A second copy that lost the instance lock shares the first one's files.
void writeSettingsAtExit() {
  if (locationState.chosen && !platform::instanceLockLost()) writeSettingsFile();
}

void sweepTemporaries() {
  removeStaleTemporaries(saveRoot());
  removeStaleTemporaries(saveFolder());
  // Earlier versions wrote "<file>.tmp" beside the file they replaced; in
  // the save folder, which is the engine's own, those are theirs.
  namespace fs = std::filesystem;
  std::error_code ec;
  for (fs::directory_iterator it(hostPath(saveFolder()), ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    std::error_code typeError;
    const bool oldTemporary = p.extension() == ".tmp" && it->is_regular_file(typeError) &&
                              fs::is_regular_file(p.parent_path() / p.stem(), typeError);
    if (oldTemporary) fs::remove(p, typeError);
  }
}

void resetSaveLocation() {
  locationState.chosen = false;
  locationState.names.clear();
  setSaveRoot("");
}

}  // namespace velmora::save

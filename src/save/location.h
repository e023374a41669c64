#pragma once
// The save root: the game folder or a folder under the player's Documents,
// chosen once and remembered in the marker save.dat; settings inheritance
// between games of the same maker.
#include <string>
#include <string_view>
#include <vector>

namespace velmora::save {

// The Documents folder without a trailing '/' (UTF-8), and what named it:
// xdg-user-dir, else $XDG_DOCUMENTS_DIR, else ~/Documents when it exists,
// else $XDG_DATA_HOME, else ~/.local/share; never the home folder itself.
struct DocumentsFolder {
  std::string path;
  const char* source = "";
};
DocumentsFolder findDocumentsFolder();
std::string documentsFolder();
// Documents + "/" + maker + "/" + game + "/", as engine text (paths in the
// engine are Shift_JIS; files are opened through hostPath).
std::string documentsRoot(std::string_view maker, std::string_view game);

// The save folder: the save root followed by "save/".
std::string saveFolder();

// Games under parent (engine text, ending in '/') that have a
// save/setting.dat, by the path between parent and "/save/setting.dat", sorted.
std::vector<std::string> inheritableGames(const std::string& parent);

// How the player answered the inheritance choice.
struct InheritanceChoice {
  bool quit = false;
  int game = -1;  // index into the candidates, -1 for none
};
using InheritanceChooser = InheritanceChoice (*)(const std::vector<std::string>& games);
// Each candidate offered in a confirmation box; a headless run takes
// --inherit NAME instead.
InheritanceChoice chooseInheritanceByBoxes(const std::vector<std::string>& games);

// What loading the settings also brings up: the inheritance choice (the
// boxes when unset), the already-read data and the sound volumes.
struct SettingsLoadHooks {
  InheritanceChooser chooseInheritance = nullptr;
  void (*loadAlreadyRead)() = nullptr;
  void (*applyVolumes)() = nullptr;
};
void installSettingsLoadHooks(const SettingsLoadHooks& hooks);
const SettingsLoadHooks& settingsLoadHooks();

// Chooses the save root (asking on the first run), offers inheritance and
// reads the settings. Stops with the quit request set when the player quits.
void loadSetting(std::string_view maker, std::string_view game);

// True once loadSetting has fixed the save root for this run.
bool saveLocationChosen();
// The two names loadSetting was given ("maker\0game"), empty before: part
// of the game's identity in saved games.
const std::string& settingNames();

// Written at release when loadSetting chose a save root in this run, unless
// another running copy of the game holds the instance lock.
void writeSettingsAtExit();

// Removes the temporary files that killed writers left in the save root
// and its save folder (start-up, and again once loadSetting chose the root).
void sweepTemporaries();

// Forgets the choice of this run (tests).
void resetSaveLocation();

// Binds loadSetting, saveSetting, the save protection commands and
// getCurrentDirectory into the catalogue.
void bindSaveCommands();

}  // namespace velmora::save

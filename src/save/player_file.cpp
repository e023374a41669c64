#include "save/player_file.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/replace_file.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/textconv.h"
#include "platform/window.h"
#include "save/location.h"
#include "save/messages.h"

namespace velmora::save {
namespace {

constexpr const char* kPlayerFile = "save/player.txt";
// A few lines; anything longer is not the engine's.
constexpr std::streamsize kMaxPlayerFile = 4096;

struct PlayerFileState {
  bool read = false;
  std::string atStart;  // the engine's key lines once the file was applied
};
PlayerFileState playerFileState;

bool isEngineKey(const std::string& name) {
  for (size_t i = static_cast<size_t>(kFirstEngineKey); i < kSettingKeyCount; ++i)
    if (name == settingInfo(static_cast<SettingKey>(i)).name) return true;
  return false;
}

// The file's text; false when there is none or it is too long to be ours.
bool readPlayerFile(const std::string& path, std::string& text) {
  struct stat st;
  if (stat(hostPath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const bool tooLong = st.st_size > kMaxPlayerFile;
  std::ifstream in(hostPath(path), std::ios::binary);
  if (!tooLong) text.assign(std::istreambuf_iterator<char>(in.rdbuf()), {});
  if (tooLong || in.bad() || text.size() > static_cast<size_t>(kMaxPlayerFile)) {
    logInformation(path + messageText(Message::BadFile));
    return false;
  }
  return true;
}

}  // namespace

std::string playerSettingsPath() { return saveRoot() + kPlayerFile; }

void readPlayerSettings() {
  std::string text;
  if (readPlayerFile(playerSettingsPath(), text)) {
    SettingEntries entries = splitSettingEntries(text);
    // Only the engine's own keys: the game's are its settings file's.
    for (auto it = entries.begin(); it != entries.end();) it = isEngineKey(it->first) ? std::next(it) : entries.erase(it);
    applySettingEntries(entries);
  }
  playerFileState = {true, settingKeyLines(kFirstEngineKey)};
}

void writePlayerSettingsAtExit() {
  if (!playerFileState.read || saveLocationChosen() || platform::instanceLockLost()) return;
  const std::string lines = settingKeyLines(kFirstEngineKey);
  if (lines == playerFileState.atStart) return;
  std::error_code ec;
  std::filesystem::create_directories(hostPath(saveFolder()), ec);
  const std::string path = playerSettingsPath();
  ReplaceFile out(path);
  if (!out.write(lines.data(), lines.size()) || !out.commit()) logInformation(path + messageText(Message::SaveFailed));
  else playerFileState.atStart = lines;
}

}  // namespace velmora::save

#include "save/settings_file.h"

#include <sys/stat.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <new>

#include "base/report.h"
#include "base/settings.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "platform/platform.h"
#include "resource/resource.h"
#include "save/messages.h"
#include "script/expression.h"

namespace velmora::save {
namespace {

constexpr const char* kTotalTime = "s_TotalTime";
constexpr int32_t kTotalTimeAfterOverflow = 360000000;  // 100 hours
// zlib cannot pack more than about 1032 bytes into one; a length beyond that
// is a corrupt header. Settings texts are a few kilobytes; the cap keeps a
// forged header from reserving a huge block.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint32_t kMaxSettingsText = 16u << 20;

constexpr const char* kRefusedSuffix = ".bad";

struct SettingsFileState {
  std::array<uint8_t, kSaveSlotCount> protect{};
  uint32_t startTime = 0;
  bool startTimeKnown = false;
  // The file was refused and could not be set aside: this run leaves it be.
  bool keepRefused = false;
};
SettingsFileState settingsFileState;

bool isRegularFile(const std::string& path) {
  struct stat st;
  return stat(hostPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

uint32_t playStartTime() {
  if (!settingsFileState.startTimeKnown) setPlayStartTime(platform::nowMs());
  return settingsFileState.startTime;
}

void addPlayTime() {
  auto& table = script::namedIntegers();
  auto it = table.find(kTotalTime);
  if (it == table.end()) return;
  uint32_t elapsed = platform::nowMs() - playStartTime();
  int32_t total = static_cast<int32_t>(static_cast<uint32_t>(it->second) + elapsed);
  script::setNamedInteger(kTotalTime, total < 0 ? kTotalTimeAfterOverflow : total);
}

void toForwardSlashes(std::string& path) {
  for (size_t i = 0; i < path.size(); ++i) {
    if (const size_t step = charLength(path, i); step > 1) i += step - 1;
    else if (path[i] == '\\') path[i] = '/';
  }
}

bool startsWithSystemPrefix(const std::string& name) { return name.size() >= 2 && name[0] == 's' && name[1] == '_'; }

void appendLists(std::string& text) {
  text += "saveProtect=";
  for (uint8_t flag : settingsFileState.protect) text += std::to_string(flag) + ",";
  text += "\r\nInteger=";
  for (const auto& [name, value] : script::namedIntegers())
    if (startsWithSystemPrefix(name)) text += name + "=" + std::to_string(value) + ",";
  text += "\r\nString=";
  for (const auto& [name, value] : script::namedStrings())
    if (startsWithSystemPrefix(name)) text += name + "='" + value + "',";
  text += "\r\n";
}

// The save folder and its missing parents; reported when it cannot be made.
bool makeSaveFolder() {
  std::error_code ec;
  std::string folder = saveRoot() + "save";
  std::filesystem::create_directories(hostPath(folder), ec);
  if (ec && !std::filesystem::is_directory(hostPath(folder))) {
    showErrorBox(folder + " " + ec.message());
    return false;
  }
  return true;
}

// The header's length must fit what the packed bytes can hold.
bool plausiblePackedLength(const std::string& path, const std::string& raw) {
  if (raw.size() < 4) {
    showErrorBox(path + messageText(Message::ReadFailed));
    return false;
  }
  uint32_t length;
  std::memcpy(&length, raw.data(), 4);
  if (length > kMaxSettingsText) {
    showErrorBox(path + messageText(Message::NoMemoryFor));
    return false;
  }
  if (length > (raw.size() - 4) * kMaxInflateRatio + 64) {
    showErrorBox(path + messageText(Message::ReadFailed));
    return false;
  }
  return true;
}

bool readSettingsText(const std::string& path, std::string& text) {
  try {
    std::string raw;
    if (!resource::readDataFile(path.c_str(), false, raw)) return false;
    if (!plausiblePackedLength(path, raw)) return false;
    return resource::readDataFile(path.c_str(), true, text);
  } catch (const std::bad_alloc&) {
    showErrorBox(path + messageText(Message::NoMemoryFor));
    return false;
  }
}

// A file the reader refused keeps the player's variables and flags that a
// later write of this run's defaults would lose: it goes aside first, the
// newest one only, and the log says so.
void setRefusedFileAside(const std::string& path) {
  const std::string aside = path + kRefusedSuffix;
  if (std::rename(hostPath(path).c_str(), hostPath(aside).c_str()) == 0) {
    logInformation(path + messageText(Message::MovedAsideBefore) + aside + messageText(Message::MovedAsideAfter));
    return;
  }
  settingsFileState.keepRefused = true;
  logInformation(path + messageText(Message::NotMovedAside));
}

void applyProtectFlags(const std::vector<std::string>& fields) {
  for (int slot = 0; slot < kSaveSlotCount; ++slot) {
    size_t i = static_cast<size_t>(slot);
    settingsFileState.protect[i] = i < fields.size() ? static_cast<uint8_t>(readSettingInt(fields[i])) : 0;
  }
}

// Each field is an assignment that also declares the variable.
void runAssignments(const std::vector<std::string>& fields, void (*declare)(const char*)) {
  for (const std::string& field : fields)
    if (!field.empty()) declare(field.c_str());
}

void applyLists(const SettingEntries& entries) {
  std::string command = errcmd();
  if (auto it = entries.find("saveProtect"); it != entries.end()) applyProtectFlags(it->second);
  // The declarations run outside any command and report as the commands would.
  setErrcmd("int");
  if (auto it = entries.find("Integer"); it != entries.end()) runAssignments(it->second, script::cmd_int);
  setErrcmd("string");
  if (auto it = entries.find("String"); it != entries.end()) runAssignments(it->second, script::cmd_string);
  setErrcmd(command);
}

}  // namespace

int32_t saveProtect(int slot) { return slot >= 0 && slot < kSaveSlotCount ? settingsFileState.protect[static_cast<size_t>(slot)] : 0; }

void setSaveProtect(int slot, int32_t mode) {
  if (slot < 0 || slot >= kSaveSlotCount) return;
  uint8_t& flag = settingsFileState.protect[static_cast<size_t>(slot)];
  flag = mode == 0 ? 0 : mode == 1 ? 1 : static_cast<uint8_t>(flag ? 0 : 1);
}

void resetSaveProtect() {
  settingsFileState.protect.fill(0);
  settingsFileState.keepRefused = false;
}

void setPlayStartTime(uint32_t ms) {
  settingsFileState.startTime = ms;
  settingsFileState.startTimeKnown = true;
}

std::string settingsPath() { return saveRoot() + "save/setting.dat"; }

std::string buildSettingsText() {
  addPlayTime();
  toForwardSlashes(settingText(SettingKey::CursorFile));
  toForwardSlashes(settingText(SettingKey::WallPaper));
  std::string text = settingKeyLines();
  appendLists(text);
  return text;
}

bool writeSettingsFile() {
  if (settingsFileState.keepRefused) return false;
  std::string text = buildSettingsText();
  if (!makeSaveFolder()) return false;
  return resource::writeDataFile(settingsPath().c_str(), true, text);
}

bool readSettingsFile(const std::string& path) {
  playStartTime();
  const std::string own = settingsPath();
  if (!isRegularFile(own)) {
    applyFirstRunDefaults();
    script::setNamedInteger(kTotalTime, 0);
    if (path.empty()) return false;
  } else if (!script::namedIntegers().count(kTotalTime)) {
    script::setNamedInteger(kTotalTime, 0);
  }
  const std::string& source = path.empty() ? own : path;
  std::string text;
  if (!readSettingsText(source, text)) {
    if (path.empty()) setRefusedFileAside(own);
    return false;
  }
  SettingEntries entries = splitSettingEntries(text);
  applySettingEntries(entries);
  applyLists(entries);
  return true;
}

}  // namespace velmora::save

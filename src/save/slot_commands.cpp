// The save-slot commands: the in-memory snapshot and history, slot files and
// what a save screen asks about them.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "base/report.h"
#include "base/snapshot.h"
#include "base/textconv.h"
#include "resource/resource.h"
#include "save/image_log.h"
#include "save/messages.h"
#include "save/screenshot.h"
#include "save/sections.h"
#include "save/store.h"
#include "sprite/saved.h"

namespace velmora::save {
namespace {

using bindings::CommandContext;
using bindings::intArg;
using bindings::intResult;
using bindings::stringArg;
using bindings::stringResult;

// Three digits name a slot file; getSaveNew looks no further.
constexpr int kLastSlot = 999;

bool slotStat(int slot, bool binary, struct stat& st) {
  return stat(hostPath(slotPath(slot, binary)).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool newer(const struct stat& a, const struct stat& b) {
  if (a.st_mtim.tv_sec != b.st_mtim.tv_sec) return a.st_mtim.tv_sec > b.st_mtim.tv_sec;
  return a.st_mtim.tv_nsec > b.st_mtim.tv_nsec;
}

void cmd_makeSave(CommandContext) {
  makeSave();
}

void cmd_clearSave(CommandContext) {
  clearSave();
}

void cmd_pushSave(CommandContext c) {
  const int append = intArg(c, 1);
  const std::string label(stringArg(c, 2));
  pushSave(append != 0, label);
}

void cmd_saveSave(CommandContext c) {
  const int slot = intArg(c, 1), binary = intArg(c, 2);
  saveSlot(slot, binary != 0);
}

void cmd_loadSave(CommandContext c) {
  const int slot = intArg(c, 1), binary = intArg(c, 2);
  loadSlot(slot, binary != 0);
}

void cmd_popSave(CommandContext c) {
  popSave(intArg(c, 1));
}

void cmd_setSaveText(CommandContext c) {
  setSaveComment(stringArg(c, 1));
}

void cmd_getSaveText(CommandContext c) {
  stringResult(c, 1, saveComment());
}

void cmd_loadSaveText(CommandContext c) {
  const int slot = intArg(c, 1), binary = intArg(c, 2);
  struct stat st;
  if (!slotStat(slot, binary != 0, st)) return;
  std::string text;
  if (!resource::readDataFile(slotPath(slot, binary != 0).c_str(), binary != 0, text)) return;
  const SnapshotEntries entries(text);
  const std::string* comment = entries.find("Comment");
  if (!comment) return reportError(messageText(Message::NoComment));
  stringResult(c, 3, splitSnapshotFields(*comment).front());
}

void cmd_existSave(CommandContext c) {
  const int slot = intArg(c, 1), binary = intArg(c, 2);
  struct stat st;
  intResult(c, 3, slotStat(slot, binary != 0, st) ? 1 : 0);
}

void cmd_deleteSave(CommandContext c) {
  const int slot = intArg(c, 1), binary = intArg(c, 2);
  intResult(c, 3, std::remove(hostPath(slotPath(slot, binary != 0)).c_str()) == 0 ? 1 : 0);
}

void cmd_getSaveTime(CommandContext c) {
  const int slot = intArg(c, 1), binary = intArg(c, 2);
  struct stat st;
  std::string text;
  std::tm local{};
  if (slotStat(slot, binary != 0, st) && localtime_r(&st.st_mtim.tv_sec, &local)) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    text = buf;
  }
  stringResult(c, 3, text);
}

void cmd_getSaveNew(CommandContext c) {
  const int first = intArg(c, 1), last = intArg(c, 2), binary = intArg(c, 3);
  int newest = -1;
  struct stat best {};
  for (int slot = std::max(first, 0); slot <= std::min(last, kLastSlot); ++slot) {
    struct stat st;
    if (!slotStat(slot, binary != 0, st)) continue;
    if (newest < 0 || newer(st, best)) newest = slot, best = st;
  }
  intResult(c, 4, newest);
}

void cmd_setScreenShot(CommandContext c) {
  const int w = intArg(c, 1), h = intArg(c, 2);
  takeScreenShot(w, h);
}

void cmd_saveScreenShot(CommandContext c) {
  const std::string file(stringArg(c, 1));
  const int format = intArg(c, 2);
  int depth = intArg(c, 3), value = intArg(c, 4), option = intArg(c, 5);
  writeScreenShot(file, format, depth, value, option);
}

void cmd_getImgLog(CommandContext c) {
  const int n = intArg(c, 1), back = intArg(c, 2);
  getImgLog(n, back);
}

const bindings::CoreBinding kSlotCores[] = {
    {"makeSave", cmd_makeSave},         {"clearSave", cmd_clearSave},     {"pushSave", cmd_pushSave},
    {"saveSave", cmd_saveSave},         {"loadSave", cmd_loadSave},       {"popSave", cmd_popSave},
    {"setSaveText", cmd_setSaveText},   {"getSaveText", cmd_getSaveText}, {"loadSaveText", cmd_loadSaveText},
    {"existSave", cmd_existSave},       {"deleteSave", cmd_deleteSave},   {"getSaveTime", cmd_getSaveTime},
    {"getSaveNew", cmd_getSaveNew},     {"setScreenShot", cmd_setScreenShot},
    {"saveScreenShot", cmd_saveScreenShot}, {"getImgLog", cmd_getImgLog},
};

}  // namespace

void registerSaveSections() {
  for (const SnapshotSection& s :
       {gameSection(), spriteSection(), soundSection(), integerSection(), stringSection(), positionSection()})
    addSnapshotSection(s);
}

void bindSaveSlotCommands() {
  bindings::bindCores(kSlotCores);
}

}  // namespace velmora::save

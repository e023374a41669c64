// The current snapshot, the history and the comment; slot files; restoring.
#include "save/store.h"

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "core/modes.h"
#include "core/report.h"
#include "core/snapshot.h"
#include "core/textconv.h"
#include "platform/platform.h"
#include "resource/resource.h"
#include "save/location.h"
#include "save/messages.h"
#include "script/loader.h"
#include "sprite/picture.h"
#include "sprite/sprite.h"

namespace velmora::save {
namespace {

constexpr std::string_view kSeparator = "`\n";
constexpr int kPages = 200;  // the backlog ring
// A page points at one snapshot, and popSave reaches 200 pages back: older
// snapshots could only be reached by popping one by one past the backlog.
constexpr size_t kMaxHistorySnapshots = kPages;

// A slot file whose oldest history snapshots were dropped says how many.
constexpr const char* kHistoryBaseKey = "HistoryBase";

struct StoreState {
  std::string current;
  std::string history;
  std::string comment;
  // How many of the oldest snapshots were dropped: the pages record the
  // history count of their time, and this maps it onto what is held.
  int64_t dropped = 0;
};
StoreState St;

// The comment closes the snapshot on one line of its own.
std::string commentLine() {
  std::string line = "Comment=" + St.comment;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  return line + "\n";
}

// Snapshots are separated by lines that hold only a backtick.
std::vector<std::string_view> splitSnapshots(std::string_view text) {
  std::vector<std::string_view> out;
  size_t start = 0, line = 0;
  while (line < text.size()) {
    size_t end = text.find('\n', line);
    if (end == std::string_view::npos) end = text.size();
    std::string_view content = text.substr(line, end - line);
    if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
    if (content == "`") {
      out.push_back(text.substr(start, line - start));
      start = end + 1;
    }
    line = end + 1;
  }
  out.push_back(text.substr(std::min(start, text.size())));
  return out;
}

void reportDamaged(const std::string& source, std::string_view key) {
  std::string message = source + messageText(Message::BadFile);
  if (!key.empty()) message += " [" + std::string(key) + "]";
  reportError(message);
}

// Every snapshot of a text must be whole: the last line ended, the position
// and the comment present. False with the missing key.
bool wholeSnapshots(std::string_view text, const std::vector<std::string_view>& parts, std::string& problem) {
  if (text.empty() || text.back() != '\n') return problem = "EOF", false;
  for (std::string_view part : parts) {
    snapshot::Entries e(part);
    if (!e.find("File")) return problem = "File", false;
    if (!e.find("Comment")) return problem = "Comment", false;
  }
  return true;
}

void discardAll() {
  for (const snapshot::Section& s : snapshot::sections())
    if (s.discard) s.discard();
}

bool prepareAll(const snapshot::Entries& entries, std::string& problem) {
  for (const snapshot::Section& s : snapshot::sections())
    if (s.prepare && !s.prepare(entries, problem)) {
      if (problem.empty()) problem = s.name;
      return false;
    }
  return true;
}

void applyAll() {
  sprite::setRestoreRunning(true);
  for (const snapshot::Section& s : snapshot::sections())
    if (s.reset) s.reset();
  const snapshot::Moment at{platform::nowMs()};
  for (const snapshot::Section& s : snapshot::sections())
    if (s.apply) s.apply(at);
  for (const snapshot::Section& s : snapshot::sections())
    if (s.finish) s.finish(at);
  sprite::setRestoreRunning(false);
  // The restore ends as a jump does: no skipping on, the game told so.
  modes::ReadingModes& m = modes::reading();
  m.fast = m.skip = m.jump = 0;
  m.returnScript = 0;
  m.modeWord = 65;
}

// The snapshots first..last-1 joined as a history text.
std::string joinHistory(const std::vector<std::string_view>& parts, size_t first, size_t last) {
  std::string out;
  for (size_t i = first; i < last; ++i) {
    if (i > first) out += kSeparator;
    out += parts[i];
  }
  return out;
}

std::string joinHistory(const std::vector<std::string_view>& parts, size_t count) {
  return joinHistory(parts, 0, count);
}

void dropOldestSnapshots() {
  std::vector<std::string_view> parts = splitSnapshots(St.history);
  if (parts.size() <= kMaxHistorySnapshots) return;
  const size_t drop = parts.size() - kMaxHistorySnapshots;
  St.history = joinHistory(parts, drop, parts.size());
  St.dropped += int64_t(drop);
}

// The base a slot file names, 0 in files without one; false when damaged.
bool historyBase(std::string_view lastSnapshot, int64_t& base) {
  const snapshot::Entries entries(lastSnapshot);
  const std::string* value = entries.find(kHistoryBaseKey);
  int32_t number = 0;
  if (value && (!snapshot::parseDecimal(*value, number) || number < 0)) return false;
  base = number;
  return true;
}

// The save folder and its missing parents.
bool makeSaveFolder() {
  const std::string folder = saveFolder();
  std::error_code ec;
  std::filesystem::create_directories(hostPath(folder), ec);
  if (std::filesystem::is_directory(hostPath(folder), ec)) return true;
  reportError(folder + messageText(Message::FolderNotCreated));
  return false;
}

// The longest text whose packed form the reader takes whatever it holds.
size_t packedTextBudget() {
  size_t budget = resource::kMaxDataFile - 4;
  while (compressBound(uLong(budget)) + 4 > resource::kMaxDataFile)
    budget -= compressBound(uLong(budget)) + 4 - resource::kMaxDataFile;
  return budget;
}

// Whether the data-file reader takes the file this text makes.
bool readable(const std::string& text, bool binary) {
  if (!binary) return text.size() <= resource::kMaxDataFile;
  uLongf room = compressBound(uLong(text.size()));
  if (room + 4 <= resource::kMaxDataFile) return true;
  std::vector<Bytef> packed(room);
  if (compress2(packed.data(), &room, reinterpret_cast<const Bytef*>(text.data()), uLong(text.size()), 9) != Z_OK)
    return false;
  return room + 4 <= resource::kMaxDataFile;
}

// The history, the current snapshot and the comment; when the reader would
// refuse that, the oldest history snapshots are left out until the rest
// fits for certain, so that a save the player asks for is written.
std::string slotText(bool binary) {
  // A base beyond what the reader takes (only a forged file gets there) is
  // written as its largest value.
  auto tail = [](int64_t base) {
    std::string t = St.current;
    if (base > 0) t += std::string(kHistoryBaseKey) + "=" + std::to_string(std::min<int64_t>(base, INT32_MAX)) + "\n";
    return t + commentLine();
  };
  std::string text = St.history.empty() ? tail(0) : St.history + std::string(kSeparator) + tail(St.dropped);
  if (St.history.empty() || readable(text, binary)) return text;
  const std::vector<std::string_view> parts = splitSnapshots(St.history);
  const size_t budget = binary ? packedTextBudget() : resource::kMaxDataFile;
  // The base line is no longer than its largest value: the rest is sized with it.
  size_t size = tail(INT32_MAX).size(), first = parts.size();
  while (first > 0 && size + parts[first - 1].size() + kSeparator.size() <= budget)
    size += parts[--first].size() + kSeparator.size();
  if (first == parts.size()) return tail(0);
  return joinHistory(parts, first, parts.size()) + std::string(kSeparator) + tail(St.dropped + int64_t(first));
}

// Replaces the File2 line of a snapshot, or adds one.
void setResumeLabel(std::string& snapshotText, const std::string& line) {
  size_t at = snapshotText.rfind("\nFile2=");
  size_t start = at == std::string::npos ? (snapshotText.rfind("File2=", 0) == 0 ? 0 : std::string::npos) : at + 1;
  if (start != std::string::npos) {
    size_t end = snapshotText.find('\n', start);
    snapshotText.erase(start, end == std::string::npos ? std::string::npos : end + 1 - start);
  }
  snapshotText += line;
}

}  // namespace

void makeSave() {
  if (!St.current.empty()) return;
  sprite::commitAll();
  const snapshot::Moment at{platform::nowMs()};
  std::string text;
  for (const snapshot::Section& s : snapshot::sections())
    if (s.write) s.write(text, at);
  St.current = std::move(text);
}

void clearSave() { St.current.clear(); }
const std::string& currentSnapshot() { return St.current; }
const std::string& saveHistory() { return St.history; }
void setSaveComment(std::string_view text) { St.comment.assign(text); }
const std::string& saveComment() { return St.comment; }

void pushSave(bool append, std::string_view label) {
  makeSave();
  if (!label.empty()) {
    std::string name(label);
    auto info = script::findLabel(name);
    if (!info && name[0] != '*') info = script::findLabel("*" + name);
    if (info) setResumeLabel(St.current, "File2=" + scriptName(info->owner) + "," + std::to_string(info->line - 1) + "\n");
    else reportError(name + messageText(Message::LabelMissing));
  }
  std::string entry = St.current + commentLine();
  if (append && !St.history.empty()) {
    St.history += kSeparator;
    St.history += entry;
    snapshot::setHistoryCount(std::min(snapshot::historyCount(), INT32_MAX - 1) + 1);
    dropOldestSnapshots();
  } else {
    St.history = std::move(entry);
    St.dropped = 0;
    snapshot::setHistoryCount(0);
  }
}

namespace {

// keepBase: a pop keeps the count of dropped snapshots; a file names its own.
bool restoreText(const std::string& text, const std::string& source, bool keepBase) {
  std::vector<std::string_view> parts = splitSnapshots(text);
  std::string problem;
  int64_t base = St.dropped;
  if (!wholeSnapshots(text, parts, problem) || (!keepBase && !historyBase(parts.back(), base))) {
    reportDamaged(source, problem.empty() ? kHistoryBaseKey : problem);
    return false;
  }
  // Every snapshot is read as a whole first: the history ones are restored
  // by later pops, and a file is either taken completely or not at all.
  for (std::string_view part : parts) {
    snapshot::Entries entries(part);
    const bool last = part.data() == parts.back().data();
    if (!prepareAll(entries, problem)) {
      discardAll();
      reportDamaged(source, problem);
      return false;
    }
    if (!last) discardAll();
  }
  St.history = joinHistory(parts, parts.size() - 1);
  St.dropped = base;
  snapshot::setHistoryCount(int(parts.size()) - 2);
  St.current.clear();
  applyAll();
  return true;
}

}  // namespace

bool restoreSnapshotText(const std::string& text, const std::string& source) { return restoreText(text, source, false); }

bool popSave(int back) {
  if (St.history.empty()) return false;
  std::vector<std::string_view> parts = splitSnapshots(St.history);
  const int before = snapshot::historyCount();
  size_t index = parts.size() - 1;
  if (back >= 0) {
    int depth = 0;
    int64_t recorded = 0;
    const auto& link = snapshot::textLink();
    if (link.pageSnapshot) {
      if (!link.pageSnapshot(back, depth)) return false;
      recorded = int64_t(depth) - St.dropped;
    } else {
      // Without a backlog every pushed snapshot stands for one page.
      recorded = int64_t(parts.size()) - 1 - back;
    }
    if (recorded < 0 || uint64_t(recorded) >= parts.size()) return false;
    index = size_t(recorded);
  }
  // The page goes back with the snapshot: one page for the newest, n pages
  // for the page whose snapshot was chosen.
  const auto& link = snapshot::textLink();
  const int pagesBack = back < 0 ? (before > 0 ? 1 : 0) : back;
  const int page = link.currentPage ? (link.currentPage() - pagesBack % kPages + kPages) % kPages : -1;
  // Only the snapshots up to the chosen one stay; the history text is copied
  // because restoring replaces it.
  const std::string text = joinHistory(parts, index + 1);
  if (!restoreText(text, "popSave", true)) return false;
  if (page >= 0 && link.setCurrentPage) link.setCurrentPage(page);
  if (back < 0 && before > 0) snapshot::setHistoryCount(before - 1);
  return true;
}

std::string slotPath(int slot, bool binary) {
  char name[32];
  std::snprintf(name, sizeof name, "save%03d.%s", slot, binary ? "dat" : "txt");
  return saveFolder() + name;
}

bool saveSlot(int slot, bool binary) {
  makeSave();
  if (!makeSaveFolder()) return false;
  const std::string text = slotText(binary);
  const std::string path = slotPath(slot, binary);
  // A file the reader would refuse is not written: the slot keeps the save
  // it had, and the player learns now rather than when loading.
  if (!readable(text, binary)) {
    reportError(path + messageText(Message::SaveFailed));
    return false;
  }
  return resource::writeDataFile(path.c_str(), binary, text);
}

bool loadSlot(int slot, bool binary) {
  const std::string path = slotPath(slot, binary);
  struct stat st;
  // A slot that was never written is no error.
  if (stat(hostPath(path).c_str(), &st) != 0) return false;
  std::string text;
  if (!resource::readDataFile(path.c_str(), binary, text)) return false;
  return restoreSnapshotText(text, path);
}

void resetSaveSlots() {
  St = StoreState{};
  snapshot::setHistoryCount(0);
}

}  // namespace velmora::save

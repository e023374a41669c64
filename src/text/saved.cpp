// The message window and the backlog in saved games: the backlog pages with
// their image records (msgBuffer, msgImage), the four per-page arrays, the
// message flow (Massage), the fonts (Font) and the layout (Window); and what
// the save commands ask of the backlog.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/settings.h"
#include "base/snapshot.h"
#include "render/render.h"
#include "sprite/saved.h"
#include "text/backlog.h"
#include "text/message.h"
#include "text/text_settings.h"

namespace velmora::text {
namespace {

// Values equal to their setting are written as these marks.
constexpr int32_t kSettingMark = 0x10000;
constexpr uint32_t kColourMark = 0x1000000;
constexpr int kRecordFields = 27;

// The image record's numbers as msgImage lists them: offset, width in bytes,
// and whether the value is signed decimal (else hexadecimal).
struct RecordField {
  uint8_t offset, bytes;
  bool decimal;
};
constexpr RecordField kRecordFieldsAt[] = {
    {157, 1, false}, {128, 2, true},  {130, 2, true},  {164, 4, false}, {156, 1, false}, {154, 2, false},
    {160, 4, false}, {168, 4, false}, {146, 2, false}, {148, 2, false}, {132, 2, false}, {134, 2, false},
    {136, 2, true},  {150, 2, false}, {152, 2, false}, {138, 2, false}, {140, 2, false}, {142, 2, false},
    {144, 2, false}, {158, 1, false}, {172, 4, false}, {176, 4, false}, {180, 4, false}, {184, 4, false},
    {188, 4, false}};
static_assert(std::size(kRecordFieldsAt) + 2 == kRecordFields);

uint32_t readField(const uint8_t* r, const RecordField& f) {
  uint32_t v = 0;
  std::memcpy(&v, r + f.offset, f.bytes);
  return v;
}

int32_t signedField(uint32_t v, int bytes) { return bytes == 1 ? int8_t(v) : bytes == 2 ? int16_t(v) : int32_t(v); }

std::string hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%X", v);
  return buf;
}

// ---- backlog pages --------------------------------------------------------------
struct PendingPage {
  int index = 0;
  std::string text, name;
  std::vector<std::array<uint8_t, kImageRecordBytes>> images;
};

struct PendingText {
  std::vector<PendingPage> pages;
  bool arrays = false;
  std::array<int32_t, kBacklogEntries> rows{}, lines{}, depths{};
  std::array<ScriptKey, kBacklogEntries> scripts{};
  bool flow = false;
  int32_t flowValues[9] = {};
  bool font = false;
  std::string fontFile, spriteFace;
  uint32_t colours[3] = {};
  int32_t spriteAttr[4] = {}, spriteSize = 0;
  bool layout = false;
  int32_t layoutValues[15] = {};
};
PendingText pendingText;

void writeRecord(std::string& out, const uint8_t* r) {
  out += std::string(reinterpret_cast<const char*>(r), strnlen(reinterpret_cast<const char*>(r), 64)) + "|";
  out += std::string(reinterpret_cast<const char*>(r + 64), strnlen(reinterpret_cast<const char*>(r + 64), 64));
  for (const RecordField& f : kRecordFieldsAt) {
    const uint32_t v = readField(r, f);
    out += "|" + (f.decimal ? std::to_string(signedField(v, f.bytes)) : hex(v));
  }
  out += ",";
}

void writePages(std::string& out, const SnapshotMoment&) {
  const Backlog& b = backlog();
  for (int i = 0; i < kBacklogEntries; ++i) {
    const BacklogEntry& e = b.entries[size_t(i)];
    if (i == b.position || e.text[0] == 0) continue;
    out += "msgBuffer" + std::to_string(i) + "=" + std::string(entryText(e)) + "," + std::string(entryName(e)) + "\n";
    out += "msgImage" + std::to_string(i) + "=";
    for (const auto& r : e.images) {
      if (r[0] == 0) break;
      writeRecord(out, r.data());
    }
    out += "\n";
  }
}

// One record from `at`: the two paths up to their '|', then the numbers,
// the last one closed by ','. Paths may hold commas (a text sprite's text).
bool readRecord(std::string_view value, size_t& at, std::array<uint8_t, kImageRecordBytes>& r) {
  std::string_view fields[kRecordFields];
  for (int i = 0; i < kRecordFields; ++i) {
    const size_t end = value.find(i + 1 < kRecordFields ? '|' : ',', at);
    if (end == std::string_view::npos) return false;
    fields[i] = value.substr(at, end - at);
    at = end + 1;
  }
  if (fields[0].size() > 63 || fields[1].size() > 63) return false;
  r.fill(0);
  std::memcpy(r.data(), fields[0].data(), fields[0].size());
  std::memcpy(r.data() + 64, fields[1].data(), fields[1].size());
  for (size_t i = 0; i < std::size(kRecordFieldsAt); ++i) {
    const RecordField& f = kRecordFieldsAt[i];
    uint32_t v = 0;
    int32_t d = 0;
    if (f.decimal ? !parseDecimal(fields[i + 2], d) : !parseHex(fields[i + 2], v)) return false;
    if (f.decimal) v = uint32_t(d);
    std::memcpy(r.data() + f.offset, &v, f.bytes);
  }
  return true;
}

// A page's text may hold commas: the name is what follows the last one.
bool readPage(const SnapshotEntries& entries, int i, PendingPage& p, std::string& problem) {
  const std::string key = "msgBuffer" + std::to_string(i);
  const std::string* value = entries.find(key);
  if (!value) return true;
  const size_t comma = value->rfind(',');
  if (comma == std::string::npos) return problem = key, false;
  p.index = i;
  p.text = value->substr(0, std::min(comma, kEntryTextBytes - 1));
  p.name = value->substr(comma + 1, kEntryNameBytes - 1);
  const std::string imageKey = "msgImage" + std::to_string(i);
  const std::string* images = entries.find(imageKey);
  for (size_t at = 0; images && at < images->size();) {
    std::array<uint8_t, kImageRecordBytes> r;
    if (p.images.size() == kImageRecords || !readRecord(*images, at, r)) return problem = imageKey, false;
    p.images.push_back(r);
  }
  return true;
}

bool preparePages(const SnapshotEntries& entries, std::string& problem) {
  pendingText.pages.clear();
  for (int i = 0; i < kBacklogEntries; ++i) {
    PendingPage p;
    if (!readPage(entries, i, p, problem)) return false;
    if (!p.text.empty() || !p.images.empty()) pendingText.pages.push_back(std::move(p));
  }
  return true;
}

void applyPages(const SnapshotMoment&) {
  Backlog& b = backlog();
  for (BacklogEntry& e : b.entries) e = BacklogEntry{};
  for (const PendingPage& p : pendingText.pages) {
    BacklogEntry& e = b.entries[size_t(p.index)];
    std::memcpy(e.text.data(), p.text.data(), p.text.size());
    std::memcpy(e.name.data(), p.name.data(), p.name.size());
    for (size_t k = 0; k < p.images.size(); ++k) e.images[k] = p.images[k];
  }
  pendingText.pages.clear();
}

// ---- the four per-page arrays --------------------------------------------------------
constexpr const char* kArrayKeys[] = {"msgCounts", "msgHash", "msgLine", "msgSave"};

void writeArrays(std::string& out, const SnapshotMoment&) {
  const Backlog& b = backlog();
  for (int a = 0; a < 4; ++a) {
    out += std::string(kArrayKeys[a]) + "=";
    for (const BacklogEntry& e : b.entries) {
      if (a == 1) out += scriptName(e.script);
      else out += hex(uint32_t(a == 0 ? e.rows : a == 2 ? e.line : e.saveDepth));
      out += ",";
    }
    out += "0\n";
  }
}

bool prepareArrays(const SnapshotEntries& entries, std::string& problem) {
  pendingText.arrays = false;
  for (int a = 0; a < 4; ++a) {
    const std::string* value = entries.find(kArrayKeys[a]);
    if (!value) continue;
    SnapshotFieldReader f(*value);
    for (int i = 0; i < kBacklogEntries; ++i) {
      if (a == 1) pendingText.scripts[size_t(i)] = f.key();
      else (a == 0 ? pendingText.rows : a == 2 ? pendingText.lines : pendingText.depths)[size_t(i)] = int32_t(f.hex());
    }
    if (!f.ok()) return problem = kArrayKeys[a], false;
    pendingText.arrays = true;
  }
  return true;
}

void applyArrays(const SnapshotMoment&) {
  if (!pendingText.arrays) return;
  for (int i = 0; i < kBacklogEntries; ++i) {
    BacklogEntry& e = backlog().entries[size_t(i)];
    e.rows = pendingText.rows[size_t(i)], e.script = pendingText.scripts[size_t(i)];
    e.line = pendingText.lines[size_t(i)], e.saveDepth = pendingText.depths[size_t(i)];
  }
  pendingText.arrays = false;
}

// ---- message flow, fonts, layout ----------------------------------------------------
int32_t marked(int32_t value, int32_t settingValue) { return value == settingValue ? kSettingMark : value; }

void writeFlow(std::string& out, const SnapshotMoment&) {
  const CurrentTextState& t = currentText();
  const MessageFlow& f = window().flow;
  char buf[160];
  std::snprintf(buf, sizeof buf, "Massage=%d,%d,%d,%d,%d,%d,%d,%d,%d\n", marked(t.textSpeed, playerTextSpeed()),
                marked(t.autoWait, playerAutoWait()), f.lineEndWait, f.paragraphWait, f.bracketIndent,
                f.rowIndent, backlog().position, backlog().count, snapshotHistoryCount());
  out += buf;
}

void writeFont(std::string& out, const SnapshotMoment&) {
  const CurrentTextState& t = currentText();
  const std::string& file = t.fontFile == playerFontFile() ? std::string() : t.fontFile;
  out += "Font=" + file + "," + hex(kColourMark);
  for (int i = 0; i < 3; ++i)
    out += "," + hex(t.fontColor[size_t(i)] == playerFontColour(size_t(i)) ? kColourMark : uint32_t(t.fontColor[size_t(i)]));
  const SpriteFont& s = spriteFont();
  out += "," + s.face;
  for (int a : s.attr) out += "," + hex(uint32_t(a));
  out += "," + std::to_string(s.size) + "\n";
}

void writeLayout(std::string& out, const SnapshotMoment&) {
  const MessageLayout& l = window().layout;
  const auto& v = l.logValues;
  const int values[15] = {l.originX, l.originY, l.aspectShift, l.fontSize, l.rowHeight, l.charGap, l.rowGap,
                          l.columns, l.rows,    v[2],      v[3],       v[4],       v[5],        v[0],     v[1]};
  out += "Window=";
  for (int i = 0; i < 15; ++i) out += (i ? "," : "") + std::to_string(values[i]);
  out += "\n";
}

bool prepareMessage(const SnapshotEntries& entries, std::string& problem) {
  pendingText.flow = pendingText.font = pendingText.layout = false;
  if (const std::string* value = entries.find("Massage")) {
    SnapshotFieldReader f(*value);
    for (int32_t& v : pendingText.flowValues) v = f.dec();
    if (!f.ok()) return problem = "Massage", false;
    pendingText.flow = true;
  }
  if (const std::string* value = entries.find("Font")) {
    SnapshotFieldReader f(*value);
    pendingText.fontFile = std::string(f.text());
    f.hex();  // the constant mark
    for (uint32_t& c : pendingText.colours) c = f.hex();
    pendingText.spriteFace = std::string(f.text());
    for (int32_t& a : pendingText.spriteAttr) a = int32_t(f.hex());
    pendingText.spriteSize = f.dec();
    if (!f.ok()) return problem = "Font", false;
    pendingText.font = true;
  }
  if (const std::string* value = entries.find("Window")) {
    SnapshotFieldReader f(*value);
    for (int32_t& v : pendingText.layoutValues) v = f.dec();
    if (!f.ok()) return problem = "Window", false;
    pendingText.layout = true;
  }
  return true;
}

void applyFlow() {
  const int32_t* v = pendingText.flowValues;
  CurrentTextState& t = currentText();
  t.textSpeed = v[0] == kSettingMark ? playerTextSpeed() : v[0];
  t.autoWait = v[1] == kSettingMark ? playerAutoWait() : v[1];
  MessageFlow& f = window().flow;
  f.lineEndWait = v[2], f.paragraphWait = v[3], f.bracketIndent = v[4], f.rowIndent = v[5];
  backlog().position = std::clamp(v[6], 0, kBacklogEntries - 1);
  backlog().count = std::clamp(v[7], 1, kBacklogEntries);
  setSnapshotHistoryCount(v[8]);
}

void applyFont() {
  CurrentTextState& t = currentText();
  t.fontFile = pendingText.fontFile.empty() ? playerFontFile() : pendingText.fontFile;
  for (int i = 0; i < 3; ++i)
    t.fontColor[size_t(i)] = pendingText.colours[i] == kColourMark ? playerFontColour(size_t(i)) : int32_t(pendingText.colours[i]);
  SpriteFont& s = spriteFont();
  s.face = pendingText.spriteFace.substr(0, 31);
  std::copy(std::begin(pendingText.spriteAttr), std::end(pendingText.spriteAttr), s.attr);
  s.size = pendingText.spriteSize;
}

void applyLayout() {
  const int32_t* v = pendingText.layoutValues;
  MessageLayout& l = window().layout;
  l.originX = v[0], l.originY = v[1], l.aspectShift = v[2], l.fontSize = v[3], l.rowHeight = v[4];
  l.charGap = v[5], l.rowGap = v[6], l.columns = v[7], l.rows = v[8];
  const int log[6] = {v[13], v[14], v[9], v[10], v[11], v[12]};
  std::copy(std::begin(log), std::end(log), l.logValues.begin());
}

// The page shown when the game was saved is laid out again from its first
// line: the window starts empty, and hidden as at the end of a jump.
void clearPage() {
  MessageWindow& w = window();
  const MessageFlow kept = w.flow;
  w.flow = MessageFlow{};
  w.flow.lineEndWait = kept.lineEndWait, w.flow.paragraphWait = kept.paragraphWait;
  w.flow.bracketIndent = kept.bracketIndent, w.flow.rowIndent = kept.rowIndent;
  w.main.Clear();
  w.ruby.Clear();
  w.reveal.rubyBase.clear();
  w.windowVisible = 0;
  render::setWindowVisibleFlags(0);
}

void applyMessage(const SnapshotMoment&) {
  if (pendingText.flow) applyFlow();
  if (pendingText.font) applyFont();
  if (pendingText.layout) applyLayout();
  if (pendingText.font || pendingText.layout) {
    applyFontToMessage();
    applyColoursToMessage();
    for (CString* s : {&window().main, &window().ruby}) s->setVerticalShift(aspectShiftPixels());
  }
  clearPage();
  pendingText.flow = pendingText.font = pendingText.layout = false;
}

void discard() { pendingText = PendingText{}; }

}  // namespace

// ---- what the save commands ask --------------------------------------------------------
bool textWaitPending() { return window().flow.waitKind != kNoWait; }

bool pageSnapshot(int back, int& index) {
  if (back < 0 || back >= backlog().count) return false;
  index = entry(back).saveDepth;
  return true;
}

int currentBacklogPage() { return backlog().position; }
void setCurrentBacklogPage(int e) { backlog().position = std::clamp(e, 0, kBacklogEntries - 1); }
const uint8_t* backlogPageImages(int e) {
  return e >= 0 && e < kBacklogEntries ? backlog().entries[size_t(e)].images[0].data() : nullptr;
}

void registerTextSections() {
  addSnapshotSection(SnapshotSection{.name = "backlog pages", .order = kSnapshotBacklogPages, .write = writePages,
                               .prepare = preparePages, .apply = applyPages, .discard = discard});
  addSnapshotSection(SnapshotSection{.name = "backlog arrays", .order = kSnapshotBacklogArrays, .write = writeArrays,
                               .prepare = prepareArrays, .apply = applyArrays, .discard = discard});
  // One section reads the three message lines; each writes its own.
  addSnapshotSection(SnapshotSection{.name = "message flow", .order = kSnapshotMessageFlow, .write = writeFlow,
                               .prepare = prepareMessage, .apply = applyMessage, .discard = discard});
  addSnapshotSection(SnapshotSection{.name = "font", .order = kSnapshotFont, .write = writeFont});
  addSnapshotSection(SnapshotSection{.name = "window", .order = kSnapshotWindow, .write = writeLayout});
  setSaveDepthQuery(snapshotHistoryCount);
}

}  // namespace velmora::text

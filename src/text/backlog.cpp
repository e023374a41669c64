#include "text/backlog.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include <zlib.h>

#include "script/modes.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "resource/resource.h"
#include "script/library.h"
#include "script/loader.h"
#include "sprite/sprite.h"
#include "text/message.h"
#include "text/messages.h"
#include "text/stream.h"
#include "text/text_settings.h"

namespace velmora::text {
namespace {

DepthQuery g_depth = nullptr;
TextHooks g_hooks;

size_t textLength(const char* p, size_t capacity) { return strnlen(p, capacity); }

}  // namespace

Backlog& backlog() {
  static Backlog b;
  return b;
}

BacklogEntry& entry(int n) {
  Backlog& b = backlog();
  const int i = ((b.position - n) % kBacklogEntries + kBacklogEntries) % kBacklogEntries;
  return b.entries[size_t(i)];
}

BacklogEntry& currentEntry() { return entry(0); }

std::string_view entryText(const BacklogEntry& e) { return {e.text.data(), textLength(e.text.data(), e.text.size())}; }
std::string_view entryName(const BacklogEntry& e) { return {e.name.data(), textLength(e.name.data(), e.name.size())}; }

void appendEntryText(std::string_view bytes) {
  BacklogEntry& e = currentEntry();
  const size_t used = textLength(e.text.data(), e.text.size());
  const size_t room = kEntryTextBytes - 1 - used;
  size_t n = std::min(bytes.size(), room);
  // Never keep part of a character.
  if (n < bytes.size()) {
    size_t k = 0, last = 0;
    while (k < n) last = k, k += charLength(bytes, k);
    if (k > n) n = last;
  }
  std::memcpy(e.text.data() + used, bytes.data(), n);
  e.text[used + n] = 0;
}

void appendRowSeparator(bool indented) {
  const std::string& space = sj("　");
  appendEntryText("\x0C");
  if (indented) appendEntryText(space);
}

void setEntryName(std::string_view name) {
  BacklogEntry& e = currentEntry();
  const size_t n = std::min(name.size(), kEntryNameBytes - 1);
  std::memcpy(e.name.data(), name.data(), n);
  e.name[n] = 0;
}

void closeEntry() {
  Backlog& b = backlog();
  streamPage(entryName(currentEntry()), entryText(currentEntry()));
  recordImages(currentEntry());
  if (pageEndsVoices() && g_hooks.stopVoices) g_hooks.stopVoices();
  b.count = std::min(b.count + 1, kBacklogEntries);
  b.position = (b.position + 1) % kBacklogEntries;
  BacklogEntry& e = currentEntry();
  e.name[0] = 0;
  e.text[0] = 0;
  e.rows = 0;
  script::readingModes().autoDeadline = 0;
  window().flow.pageWaits = 0;
  window().flow.waitKind = kNoWait;
}

void resetBacklog() {
  Backlog& b = backlog();
  b.position = 0;
  b.count = 1;
  for (BacklogEntry& e : b.entries) e = BacklogEntry{};
}

void setSaveDepthQuery(DepthQuery query) { g_depth = query; }
void installTextHooks(const TextHooks& hooks) { g_hooks = hooks; }
const TextHooks& textHooks() { return g_hooks; }
int saveDepth() { return g_depth ? g_depth() : 0; }

void recordImages(BacklogEntry& e) { sprite::recordImageLog(e.images[0].data(), kImageRecords); }

// ---- already.dat ---------------------------------------------------------------

std::string alreadyReadText() {
  std::vector<std::pair<std::string, const script::TextBlockTable*>> scripts;
  for (const auto& [key, blocks] : script::allTextBlocks())
    if (!blocks.empty()) scripts.emplace_back(script::scriptDisplayName(key), &blocks);
  std::sort(scripts.begin(), scripts.end());
  std::string out;
  for (const auto& [name, blocks] : scripts) {
    out += "S" + name + "=";
    for (const auto& [line, flag] : *blocks) out.push_back(flag ? '1' : '0');
    out += "\r\n";
  }
  return out;
}

namespace {

// One box for the whole file, however many scripts it names that are gone:
// the first by name, the rest as a count.
void reportGoneScripts(std::string_view first, size_t count) {
  if (count == 0) return;
  std::string text = std::string(first) + messageText(Message::ScriptGone);
  if (count > 1)
    text += "\n" + messageText(Message::MoreScriptsGoneBefore) + std::to_string(count - 1) +
        messageText(Message::MoreScriptsGoneAfter);
  showErrorBox(text);
}

}  // namespace

void applyAlreadyReadText(std::string_view text) {
  std::string_view firstGone;
  size_t gone = 0;
  size_t i = 0;
  while (i < text.size()) {
    size_t eol = text.find('\n', i);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view line = text.substr(i, eol - i);
    i = eol + 1;
    if (line.empty() || line[0] != 'S') continue;
    size_t eq = 1;
    while (eq < line.size() && line[eq] != '=') eq += charLength(line, eq);
    if (eq >= line.size()) continue;
    const std::string_view name = line.substr(1, eq - 1);
    ScriptKey key = 0;
    script::TextBlockTable* blocks = parseScriptName(name, key) ? script::textBlocks(key) : nullptr;
    if (!blocks) {
      if (gone++ == 0) firstGone = name;
      continue;
    }
    size_t k = eq + 1;
    for (auto& [lineIndex, flag] : *blocks) {
      if (k >= line.size() || line[k] == '\r') break;
      flag = line[k++] - '0';
    }
  }
  reportGoneScripts(firstGone, gone);
}

bool saveAlreadyRead() {
  const std::string folder = saveRoot() + "save/";
  script::ensureFolder(folder);
  return resource::writeDataFile((folder + "already.dat").c_str(), true, alreadyReadText());
}

// A missing or damaged file leaves every block unread, without a message.
void loadAlreadyRead() {
  std::ifstream in(hostPath(saveRoot() + "save/" + "already.dat"), std::ios::binary);
  if (!in) return;
  std::string packed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (packed.size() < 4) return;
  uint32_t length = 0;
  std::memcpy(&length, packed.data(), 4);
  if (length == 0 || length > resource::kMaxDataFile) return;
  std::string text(length, '\0');
  uLongf size = length;
  if (uncompress(reinterpret_cast<Bytef*>(text.data()), &size, reinterpret_cast<const Bytef*>(packed.data() + 4),
                 uLong(packed.size() - 4)) != Z_OK)
    return;
  text.resize(size);
  applyAlreadyReadText(text);
}

}  // namespace velmora::text

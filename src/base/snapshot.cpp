#include "base/snapshot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/encoding.h"
#include "base/sjis.h"

namespace velmora {
namespace {

struct SnapshotState {
  std::vector<SnapshotSection> sections;
  int historyCount = 0;
  SnapshotTextLink text;
};
SnapshotState snapshotState;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// The first '=' of a line that is not the trail byte of a double-byte character.
size_t keyEnd(std::string_view line) {
  for (size_t i = 0; i < line.size(); ++i) {
    if (const size_t step = charLength(line, i); step > 1) i += step - 1;
    else if (line[i] == '=') return i;
  }
  return std::string_view::npos;
}

}  // namespace

SnapshotEntries::SnapshotEntries(std::string_view text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    size_t eq = keyEnd(line);
    if (eq == std::string_view::npos) continue;
    std::string_view key = trimmed(line.substr(0, eq));
    std::string_view value = trimmed(line.substr(eq + 1));
    auto it = map_.find(key);
    if (it != map_.end()) it->second.assign(value);
    else map_.emplace(std::string(key), std::string(value));
  }
}

const std::string* SnapshotEntries::find(std::string_view key) const {
  auto it = map_.find(key);
  return it == map_.end() ? nullptr : &it->second;
}

std::vector<std::string_view> splitSnapshotFields(std::string_view value) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (size_t comma; (comma = value.find(',', start)) != std::string_view::npos; start = comma + 1)
    fields.push_back(trimmed(value.substr(start, comma - start)));
  fields.push_back(trimmed(value.substr(start)));
  return fields;
}

bool parseDecimal(std::string_view text, int32_t& value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
    if (v > int64_t(1) << 31) return false;
  }
  if (negative) v = -v;
  if (v > INT32_MAX) return false;
  value = int32_t(v);
  return true;
}

bool parseHex(std::string_view text, uint32_t& value) {
  if (text.empty() || text.size() > 8) return false;
  uint32_t v = 0;
  for (char c : text) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else return false;
    v = v << 4 | uint32_t(d);
  }
  value = v;
  return true;
}

bool parseReal(std::string_view text, float& value) {
  if (text.empty() || text.size() > 64) return false;
  char buf[65];
  std::copy(text.begin(), text.end(), buf);
  buf[text.size()] = 0;
  char* end = nullptr;
  float v = std::strtof(buf, &end);
  if (end != buf + text.size()) return false;
  value = std::isfinite(v) ? v : 0.0f;
  return true;
}

const std::string_view* SnapshotFieldReader::take() {
  if (!ok_ || next_ >= fields_.size()) {
    ok_ = false;
    return nullptr;
  }
  return &fields_[next_++];
}

int32_t SnapshotFieldReader::dec() {
  const std::string_view* f = take();
  int32_t v = 0;
  if (f && !parseDecimal(*f, v)) ok_ = false;
  return ok_ ? v : 0;
}

uint32_t SnapshotFieldReader::hex() {
  const std::string_view* f = take();
  uint32_t v = 0;
  if (f && !parseHex(*f, v)) ok_ = false;
  return ok_ ? v : 0;
}

float SnapshotFieldReader::real() {
  const std::string_view* f = take();
  float v = 0;
  if (f && !parseReal(*f, v)) ok_ = false;
  return ok_ ? v : 0.0f;
}

ScriptKey SnapshotFieldReader::key() {
  const std::string_view* f = take();
  ScriptKey v = 0;
  if (f && !parseScriptName(*f, v)) ok_ = false;
  return ok_ ? v : 0;
}

std::string_view SnapshotFieldReader::text() {
  const std::string_view* f = take();
  return f ? *f : std::string_view();
}

void addSnapshotSection(const SnapshotSection& section) {
  auto same = [&](const SnapshotSection& s) { return std::string_view(s.name) == section.name; };
  snapshotState.sections.erase(std::remove_if(snapshotState.sections.begin(), snapshotState.sections.end(), same), snapshotState.sections.end());
  auto at = std::upper_bound(snapshotState.sections.begin(), snapshotState.sections.end(), section.order,
                             [](int order, const SnapshotSection& s) { return order < s.order; });
  snapshotState.sections.insert(at, section);
}

std::span<const SnapshotSection> snapshotSections() { return snapshotState.sections; }
void clearSnapshotSections() { snapshotState.sections.clear(); }

int snapshotHistoryCount() { return snapshotState.historyCount; }
void setSnapshotHistoryCount(int count) { snapshotState.historyCount = std::max(0, count); }

void installSnapshotTextLink(const SnapshotTextLink& link) { snapshotState.text = link; }
SnapshotTextLink& snapshotTextLink() { return snapshotState.text; }

}  // namespace velmora

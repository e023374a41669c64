#pragma once
// Saved games as text. A snapshot is a run of "key=value\n" lines written
// section by section in a fixed order; each subsystem that owns saved state
// registers one section here (its lines, and how it reads them back), so the
// save commands in src/save drive the table without knowing the data.
//
// Restoring is two-phase so that a damaged file never touches the running
// game: every section first reads all its keys into pending state (prepare),
// and only when all of them accepted the snapshot is the engine reset and the
// pending state applied. Unknown keys are ignored, missing keys leave the
// reset value; a number that does not parse, or a line with too few fields,
// makes prepare fail with the key as the problem.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/hash.h"

namespace velmora {

// One snapshot read back: key -> value text (trimmed of blanks). The key is
// the text from the start of a line to its first '='; lines without '=' are
// passed over; a key that occurs again replaces the earlier value.
class SnapshotEntries {
 public:
  explicit SnapshotEntries(std::string_view text);
  const std::string* find(std::string_view key) const;
  size_t size() const { return map_.size(); }

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
  };
  std::unordered_map<std::string, std::string, Hash, std::equal_to<>> map_;
};

// A value's fields: split at every ',', blanks (space, tab, CR, LF) around
// each field trimmed. An empty value gives one empty field.
std::vector<std::string_view> splitSnapshotFields(std::string_view value);

// Reads fields one after another; the first field that does not parse (or is
// missing) clears ok() and every later read returns 0.
class SnapshotFieldReader {
 public:
  explicit SnapshotFieldReader(std::string_view value) : fields_(splitSnapshotFields(value)) {}
  explicit SnapshotFieldReader(std::vector<std::string_view> fields) : fields_(std::move(fields)) {}
  size_t count() const { return fields_.size(); }
  size_t position() const { return next_; }
  bool ok() const { return ok_; }
  int32_t dec();    // signed decimal (values beyond 32 bits refused)
  uint32_t hex();   // upper- or lower-case hexadecimal, at most 8 digits
  float real();     // as %g writes it; a non-finite value reads as 0
  ScriptKey key();  // base 32, the printable form of a ScriptKey
  std::string_view text();
  void fail() { ok_ = false; }

 private:
  const std::string_view* take();
  std::vector<std::string_view> fields_;
  size_t next_ = 0;
  bool ok_ = true;
};

// The strict number forms the reader accepts.
bool parseDecimal(std::string_view text, int32_t& value);
bool parseHex(std::string_view text, uint32_t& value);
bool parseReal(std::string_view text, float& value);

// What writing and restoring know of the moment.
struct SnapshotMoment {
  uint32_t now = 0;  // the millisecond clock; elapsed times are measured from it
};

// One section of a snapshot; every function may be null (a section may
// write lines that another one reads).
struct SnapshotSection {
  const char* name = "";
  int order = 0;  // position in the written snapshot, ascending
  // Appends the section's lines.
  void (*write)(std::string& out, const SnapshotMoment& at) = nullptr;
  // Reads the section's keys into pending state without changing the game;
  // false with the offending key in problem.
  bool (*prepare)(const SnapshotEntries& entries, std::string& problem) = nullptr;
  // The engine reset that precedes every restore.
  void (*reset)() = nullptr;
  // Applies what prepare read (called only after every section prepared).
  void (*apply)(const SnapshotMoment& at) = nullptr;
  // After every section applied: work that needs the whole restored state.
  void (*finish)(const SnapshotMoment& at) = nullptr;
  // Drops pending state when another section refused the snapshot.
  void (*discard)() = nullptr;
};

// Sections in their written order: step 10 of 100 leaves room between them.
enum SnapshotOrder : int {
  kSnapshotGame = 100,     // which game wrote the snapshot
  kSnapshotSprites = 200,  // the screen quakes first, then every sprite
  kSnapshotMovies = 300,
  kSnapshotSounds = 400,
  kSnapshotBacklogPages = 500,
  kSnapshotBacklogArrays = 600,
  kSnapshotMessageFlow = 700,
  kSnapshotFont = 800,
  kSnapshotWindow = 900,
  kSnapshotIntegers = 1000,
  kSnapshotStrings = 1100,
  kSnapshotPosition = 1200,
};

// Adds a section, replacing one of the same name.
void addSnapshotSection(const SnapshotSection& section);
std::span<const SnapshotSection> snapshotSections();
void clearSnapshotSections();  // tests

// The save stack (history) depth: how many snapshots were pushed on top of
// the first one. The backlog records it with every page and the message-flow
// line saves it, so it lives below both.
int snapshotHistoryCount();
void setSnapshotHistoryCount(int count);

// What the save commands need from the message window and the backlog; all
// may stay null.
struct SnapshotTextLink {
  // True while a text wait is pending: the restored game then resumes at
  // the start of the text block being shown.
  bool (*textWaitPending)() = nullptr;
  // popSave n: the history snapshot index recorded with the page n pages
  // before the current one; false when that page has none.
  bool (*pageSnapshot)(int back, int& index) = nullptr;
  // The ring index of the current backlog page, and a new one for it (a
  // popSave puts back the page of the snapshot it restores).
  int (*currentPage)() = nullptr;
  void (*setCurrentPage)(int entry) = nullptr;
  // The 16 image records (192 bytes each) of the page at a ring index; null
  // when there are none.
  const uint8_t* (*pageImages)(int entry) = nullptr;
};
void installSnapshotTextLink(const SnapshotTextLink& link);
SnapshotTextLink& snapshotTextLink();

}  // namespace velmora

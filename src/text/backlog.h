#pragma once
// The backlog: the last 200 pages with speaker names, row counts, script
// positions, save depths and the pictures on screen when each closed; and the
// read marks kept in already.dat. Main thread only.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/hash.h"

namespace velmora::text {

constexpr int kBacklogEntries = 200;
constexpr size_t kEntryTextBytes = 1024;  // including the terminating zero
constexpr size_t kEntryNameBytes = 256;
constexpr int kImageRecords = 16;
constexpr size_t kImageRecordBytes = 192;

struct BacklogEntry {
  std::array<char, kEntryTextBytes> text{};
  std::array<char, kEntryNameBytes> name{};
  int rows = 0;
  ScriptKey script = 0;
  int line = 0;
  int page = 0;
  int saveDepth = 0;
  std::array<std::array<uint8_t, kImageRecordBytes>, kImageRecords> images{};
};

struct Backlog {
  int position = 0;
  int count = 1;
  std::array<BacklogEntry, kBacklogEntries> entries{};
};
Backlog& backlog();

// Entry n steps back from the current one (n taken modulo 200).
BacklogEntry& entry(int n);
BacklogEntry& currentEntry();
std::string_view entryText(const BacklogEntry& e);
std::string_view entryName(const BacklogEntry& e);

// Appends to the current entry's text; what does not fit is dropped.
void appendEntryText(std::string_view bytes);
// Row separator: 0x0C, with the full-width space when the row is indented.
void appendRowSeparator(bool indented);
void setEntryName(std::string_view name);
// Records the sprites on screen, then moves to a fresh entry.
void closeEntry();
// formatMess: one empty entry.
void resetBacklog();

// The save-stack depth a new entry records; installed by the save slots.
using DepthQuery = int (*)();
void setSaveDepthQuery(DepthQuery query);
int saveDepth();

// Moving on to a new page with VoiceCancel set stops the voices; the sound
// library installs what that does.
// What the text library reaches in higher layers; unset ones do nothing.
struct TextHooks {
  // Stops the voices (a new page with VoiceCut set).
  void (*stopVoices)() = nullptr;
  // The message window waits for the player (a scenario's wait-text).
  void (*textWaitStarted)() = nullptr;
  // Lowers (true) and restores the game's voices while the engine speaks.
  void (*duckVoices)(bool on) = nullptr;
};
void installTextHooks(const TextHooks& hooks);
const TextHooks& textHooks();

// The image records of an entry, filled from the sprite table.
void recordImages(BacklogEntry& e);

// Read marks: already.dat in the save folder.
bool saveAlreadyRead();
void loadAlreadyRead();
// The text of already.dat for the current tables, and reading one back.
std::string alreadyReadText();
void applyAlreadyReadText(std::string_view text);

}  // namespace velmora::text

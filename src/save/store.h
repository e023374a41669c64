#pragma once
// Save slots: the current snapshot, the history of pushed snapshots and the
// comment, the numbered slot files, and restoring a snapshot into the
// running game. Snapshots are built and read by the sections registered in
// core/snapshot.h; this library adds the sections of the sprite table, the
// sounds, the g_ variables and the script position.
#include <string>
#include <string_view>

namespace velmora::save {

// ---- the snapshot in memory -------------------------------------------------
// Builds the current snapshot (committing every sprite first) unless one is
// held already.
void makeSave();
void clearSave();
const std::string& currentSnapshot();
// The pushed snapshots, each followed by its Comment line, separated by
// lines holding a single backtick.
const std::string& saveHistory();
void setSaveComment(std::string_view text);
const std::string& saveComment();

// makeSave, then (with a label) the File2 line, then onto the history:
// appended when append is set and the history is not empty, else replacing it.
// The history keeps the newest 200 snapshots, what the backlog can point to.
void pushSave(bool append, std::string_view label);
// -1: restores the newest snapshot of the history; n >= 0: the snapshot of
// the backlog page n pages back. False when nothing was restored.
bool popSave(int back);

// ---- slot files --------------------------------------------------------------
// "save/save%03d.dat" (binary) or ".txt" under the save root.
std::string slotPath(int slot, bool binary);
// Writes the history, the current snapshot and the comment, leaving out the
// oldest history snapshots the reader's size limit has no room for; false
// after a report.
bool saveSlot(int slot, bool binary);
// Reads and restores a slot file; a missing, unreadable or damaged file is
// reported and the game goes on unchanged.
bool loadSlot(int slot, bool binary);

// Restores the last snapshot of a slot file's text, and the ones before it
// become the history. Everything is checked before anything changes; source
// names the text in the report of a damaged one.
bool restoreSnapshotText(const std::string& text, const std::string& source);

// The sections of this library, in the table of core/snapshot.h.
void registerSaveSections();
// Binds makeSave, clearSave, the save-slot commands and the screenshots.
void bindSaveSlotCommands();

// Everything empty, nothing taken (tests).
void resetSaveSlots();

}  // namespace velmora::save

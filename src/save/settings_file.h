#pragma once
// setting.dat as a whole: the key lines, the save protection flags and the
// system variables (script variables whose names begin with "s_").
#include <cstdint>
#include <string>

namespace velmora::save {

constexpr int kSaveSlotCount = 100;

// Slots outside 0..99 read as 0 and ignore writes.
int32_t saveProtect(int slot);
// mode 0 clears, 1 sets, anything else toggles.
void setSaveProtect(int slot, int32_t mode);

// The clock reading at start-up; the play time added to s_TotalTime on every
// write is measured from it.
void setPlayStartTime(uint32_t ms);

// The text of the file: key lines, then the saveProtect, Integer and String
// lists. Adds the play time since start-up to s_TotalTime first.
std::string buildSettingsText();

// Writes the settings file under the save root, replacing it atomically.
// False when the save folder cannot be created or the write failed (reported),
// and when this run's own file was refused and could not be set aside.
bool writeSettingsFile();

// Reads the file at path, or at the engine's settings path when path is
// empty. Returns false when nothing was applied. The engine's own file, when
// refused, is renamed to setting.dat.bad (replacing an older one).
bool readSettingsFile(const std::string& path);

// The engine's settings path: the save root followed by "save/setting.dat".
std::string settingsPath();

// Protection flags back to 0, a refused file forgotten (tests, release).
void resetSaveProtect();

}  // namespace velmora::save

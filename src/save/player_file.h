#pragma once
// The player's own settings (pads, self-voicing, the text stream, sharp
// text, the UI's language) for a game that never loads a settings file:
// kept as key lines in a small file of the engine's in the save folder, so
// every game remembers them. A game that loads its settings file keeps them
// there instead, and this file is left alone.
#include <string>

namespace velmora::save {

// The file: the save root followed by "save/player.txt".
std::string playerSettingsPath();

// Before the script starts: applies the engine's keys the file holds, when
// it exists, and notes the values in force.
void readPlayerSettings();

// At the end of a run that loaded no settings file and changed any of them.
void writePlayerSettingsAtExit();

}  // namespace velmora::save

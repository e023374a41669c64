#pragma once
// A small running game for the save-file fuzz target and its seeds: two
// scripts, pictures and looping sounds on disk, the sprite, sound, movie,
// text and save commands bound, time on the virtual clock; no device.
#include <string>

namespace velmora::fuzz {

// Once per process, in the fuzz folder. Restoring and building a scene read
// pictures and sounds by relative names: run them in a fuzz::InFolder.
void setUpSaveGame();
// Runs one of the engine's commands with its argument text (UTF-8).
void runCommand(const char* command, const std::string& args);
// Sprites with tracks and quakes, sounds, variables, message window and
// backlog: a snapshot with every section filled.
void buildSaveScene();

}  // namespace velmora::fuzz

#pragma once
// velmora-pack new: a complete small game to start from. Its scripts are
// the templates under tools/starter/ (built into the tool); its pictures and
// sounds are drawn and played by the tool itself.
#include <filesystem>
#include <string>

namespace velmora::tools {

// Writes the game into dir, which must not exist or be empty; false with a
// message in error otherwise.
bool writeStarterGame(const std::filesystem::path& dir, std::string& error);

// The pictures under res/ (starter_art.cpp) and the sounds (starter.cpp).
bool drawStarterPictures(const std::filesystem::path& res);
bool makeStarterSounds(const std::filesystem::path& res);

}  // namespace velmora::tools

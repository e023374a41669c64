#pragma once
// Who may run a game at a time: one window per game and user session; a
// second start brings the first to the front and ends. Headless runs never
// hold the window: they keep their files apart when the game is in use.
#include <string>

namespace velmora::render {

// Before the main window is created or renamed (title in UTF-8). False for a
// second windowed start, which has then asked the first to come forward and
// said so on standard error.
bool claimInstance(const std::string& titleUtf8);

}  // namespace velmora::render

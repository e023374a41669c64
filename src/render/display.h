#pragma once
// The main window, the display start of `screen`, display modes, full
// screen and the aspect mode. Main thread only.
#include <string>
#include <string_view>

#include "base/settings.h"
#include "platform/message.h"

namespace velmora::render {

// The default title until setWindowText names the game.
constexpr const char* kDefaultTitle = "Script Engine";

// Creates the hidden main window with the given title (CP932). Fails, with
// the quit request left to the caller, for a second instance of the title,
// a running settings tool, or a window-system failure.
bool createMainWindow(std::string_view title);
// What the window system tells the main window (close, focus, size): the
// pump's window procedure; until the window is created only close requests
// are recorded.
void mainWindowProcedure(WindowMessage& msg);
// What a change of FullScreen, ScreenAspect, WallPaper and CursorFile does
// beyond storing it (setting effects).
void fullScreenSettingChanged(SettingKey key, SettingSource source);
void aspectSettingChanged(SettingKey key, SettingSource source);
void wallPaperSettingChanged(SettingKey key, SettingSource source);
void cursorFileSettingChanged(SettingKey key, SettingSource source);
bool mainWindowExists();
// setWindowText: the title (and the instance key) of the main window,
// creating it when missing; sets the quit request on failure.
void setWindowText(std::string_view title);

// The display start of `screen` (system report, rates, screen size, monitor).
bool displayStart(int designWidth, int designHeight, int pictureWidth, int flags);
// The whole `screen` command: window, display start, device, display mode.
bool startScreen(int designWidth, int designHeight, int pictureWidth, int flags);

void refreshMonitor();
// The decoration thicknesses and frame extras again (WindowChange, menu).
void recomputeFrameSizes();
void applyDisplayMode(bool keep, bool centre, bool reposition);
// Full screen on/off; counts a menu or Alt+Enter switch when raiseCounter.
void switchFullScreen(bool on, bool raiseCounter);
// 1 = 4:3, 0 = 16:9.
void switchAspect(int value);
// The vertical text shift the message window applies (0 unless 4:3 mode and
// the text's aspect-shift flag).
int aspectTextOffset(bool textShiftFlag);

// One Zoom panning poll (the event poll calls it).
void zoomPanPoll();
// Logical point to desktop coordinates (the cursor glide's mapper).
void logicalToDesktop(int& x, int& y);
void windowToLogicalPoint(int x, int y, int& lx, int& ly);

// Releases the window objects at exit (after the device).
void releaseDisplay();

// Writes the system report afresh into Information.txt of the game folder.
void writeSystemReport();

}  // namespace velmora::render

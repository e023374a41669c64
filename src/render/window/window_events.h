#pragma once
// What the main window does with window events beyond its size: the close
// request, activation, Tab/Shift and Alt+Enter, the menu bar, display
// changes; and the wall paper and custom cursor it shows.
#include <string>

#include "platform/message.h"

namespace velmora::render {

void handleWindowEvent(WindowMessage& msg);
// Forgets the last close request (a second one soon after asks the player
// whether to end the game); for tests.
void resetCloseRepeat();

// True while a soft mask transition runs (Alt+Enter must wait for it);
// installed by the transitions.
using TransitionBusy = bool (*)();
void setTransitionBusy(TransitionBusy busy);

// The wall paper behind the picture in full-screen kinds 2 and 3.
void rebuildWallPaper();
// Paints the window (w x h, the bound default target) before the picture is
// put over it; nothing unless full screen with kind 2 or 3.
void paintWallPaper(int w, int h);
void releaseWallPaper();

// Loads the CursorFile setting's cursor (empty: the default arrow); false
// when the file could not be used.
bool applyCursorFile();
// Steps an animated cursor (called by the event wait).
void cursorTick();
// The custom cursor's first frame; null while the arrow is in use.
struct CursorFrame;
const CursorFrame* customCursor();

// The overlay drawing's texture, released with the device.
void releaseOverlayTexture();

}  // namespace velmora::render

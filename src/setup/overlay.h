#pragma once
// The engine's own drawings over the finished frame: the menu bar with its
// drop-downs, the button tooltip and the Find box.
namespace velmora::setup {

// The render overlay drawer (window pixels).
void drawOverlays(int width, int height);

}  // namespace velmora::setup

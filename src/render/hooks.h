#pragma once
// What the render library reaches in higher layers: the composition root
// installs them all at once; unset ones do nothing.

namespace velmora::image {
struct Image;
}

namespace velmora::render {

struct RenderHooks {
  // Run at the start of every frame, in this order.
  void (*motionStep)() = nullptr;    // sprite motion tracks and quakes
  void (*soundStep)() = nullptr;     // delayed sound commands
  void (*movieStep)() = nullptr;     // movie frames into their sprites
  void (*frameCounted)() = nullptr;  // the run's frame count and virtual clock
  // The frame-track step of draw/draw2: true when something changed or is
  // still animating (motion tracks, quakes).
  bool (*trackStep)() = nullptr;
  // The message text layer, drawn between keys >= 0 and keys < 0.
  void (*drawTextLayer)() = nullptr;
  // String sprite n's text rendered again at kx, ky times its size onto a
  // width x height canvas (a larger output's pixels); null when it cannot.
  image::Image* (*textSpriteAt)(int n, int width, int height, float kx, float ky) = nullptr;
  // What the engine draws over the finished picture in window pixels (menu
  // bar, tooltips, boxes), after the picture and before the present.
  void (*drawOverlays)(int drawableWidth, int drawableHeight) = nullptr;
  // The start-up settings dialog (design width, height, picture width, flag
  // bit 0); display start shows it when asked.
  void (*startupDialog)(int w, int h, int k, bool f) = nullptr;
  // The text side gives its text objects the aspect shift again (it knows
  // their aspect-shift flag); run on every aspect change.
  void (*shiftTextForAspect)() = nullptr;
  // An event wait looked and found nothing pending (a scenario's wait-event).
  void (*idleEventPoll)() = nullptr;
  // Self-voicing: arrow keys (or a pad) selected this button; and a key the
  // engine may keep from the game (true: taken, the game sees neither edge).
  void (*keySelection)(int button) = nullptr;
  bool (*playerKey)(int virtualKey, bool down) = nullptr;
};
void installRenderHooks(const RenderHooks& hooks);
const RenderHooks& renderHooks();

}  // namespace velmora::render

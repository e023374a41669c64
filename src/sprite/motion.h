#pragma once
// Motion tracks, quakes and the motion-blur switch: the frame steps the
// renderer runs, the quake offsets its placement adds, and the hooks the
// message window and the transitions install.
#include <cstdint>
#include <string>

#include "sprite/sprite.h"

namespace velmora::sprite {

// Binds sp_ax ... sp_am, sp_ae, sp_alv, sp_qx/sp_qy, sc_qx/sc_qy and sc_mb, and
// installs the table's motion hooks. Call once after bindSpriteCores().
void bindMotionCoresAndTracks();

// Once per frame before the scene is drawn (render::addFrameUpdate): quakes
// and every track kind except the frame animation.
void motionFrameStep();
// The frame animation step of draw and draw2 (render::setTrackStep): true
// when a frame changed or anything still moves or quakes.
bool motionTrackStep();
// Number of sprites whose frame changed in the last motionTrackStep().
int lastFrameChanges();

// Quake offsets for a slot of sprite n; true when a quake applies to it (even
// while its offset happens to be 0), so resting-pixel rounding is skipped.
bool quakeOffset(int n, const Slot& s, float& ox, float& oy);
// The screen-quake offset of what `target` selects among the quakes' target
// bits (1 the screen sprites, 2 the message layer): 0 on an axis whose quake is
// idle or aims elsewhere, and while quakes are suppressed.
void screenQuakeOffset(int target, float& ox, float& oy);
// The message window suppresses quake offsets while it says so.
void setQuakeSuppressed(bool on);

// sc_mb hands its switch to the transitions, which own the scene passes.

// sp_st with a time: switches n to the framed picture at path (canvas w x h)
// by a cross-fade of time ms after delay ms.
void addSwitchKey(int n, const std::string& path, uint32_t flags, int w, int h, int time, int delay);
// Whether the draw code blends the two slots of a switch (pixel shaders 2 and
// up); otherwise the step blends pixels and re-uploads the front slot.
void setSwitchBlendOnGpu(bool on);

// Brings every running track of sprite n to its end value at once (sp_ae).
void finishSpriteMotion(int n);

// Drops every track and quake (shut-down and tests).
void clearMotion();

}  // namespace velmora::sprite

#pragma once
// Buttons on sprites and the event wait through which a script waits for the
// player: the button table and map, hover and press tracking, keyboard
// navigation, the wheel accumulator and the fixed order of pending events.
// Main thread only.
#include <array>
#include <cstdint>
#include <map>
#include <string>

#include "render/geometry.h"

namespace velmora::render {

constexpr int kButtonCount = 256;
constexpr int kNoEvent = 256;

struct ButtonRecord {
  uint8_t number = 0;
  uint8_t alphaThreshold = 0;  // 0: the whole rectangle is hot
  uint8_t keySkip = 0;         // arrow navigation passes over it
  uint8_t arrowMask = 0;       // bit 0 Up, 1 Down, 2 Left, 3 Right handled by the button
  int32_t sprite = 0;
  render::Rect hot;            // logical pixels, right and bottom exclusive
  int centreX = 0, centreY = 0;
  std::string tooltip;         // at most 255 bytes
};

// One result of an event wait: (button, code, phase), and the text of a drop
// or a Find answer.
struct InputEvent {
  int button = kNoEvent, code = kNoEvent, phase = kNoEvent;
  std::string text;
  bool operator==(const InputEvent&) const = default;
};

enum class WaitMode : uint8_t { Plain, PassThrough, DragDrop };

struct ButtonState {
  std::array<ButtonRecord, kButtonCount> records{};
  std::map<int, int> map;  // sprite -> button, walked in ascending sprite number
  int current = -1;
  int pressed = -1;
  int wheel = 0;
  // Cursor idle tracking for CursorClear.
  int lastX = -1, lastY = -1;
  uint32_t lastMove = 0;
  bool hidCursor = false;
  uint32_t nextPowerTick = 0;
  bool autoPollParity = false;
  // A selection made by keys or setBtnNow holds until the pointer moves away
  // from where it was then.
  bool keyHeld = false;
  int heldX = 0, heldY = 0;
  int seenFullScreenCounter = 0, seenAspectCounter = 0;
};
ButtonState& buttons();
// Everything back to the start of a run (tests).
void resetButtons();

// setBtn's rectangle from the sprite's current state; false (with the
// message written) when the sprite has no picture.
bool computeHotRect(int sprite, ButtonRecord& record);
bool setButton(int button, int sprite, int options);
// Whether the button's sprite can be hit now (picture, shown).
bool buttonShown(int button);
// The button under a logical point, -1 for none.
int buttonAt(int lx, int ly);

// Makes a button current without the pointer (keys, setBtnNow).
void selectByKeys(int button);

// Wheel threshold: 120 / lines per notch (3 when the system says 0).
int wheelThreshold();

// One poll of all three event waits.
InputEvent pollEvent(WaitMode mode);

// The Find box answer (flag word, text) waiting for the event wait.
void postFindAnswer(int flags, const std::string& text);

// The button tooltip window, drawn by the overlay.
struct Tooltip {
  bool shown = false;
  render::Rect rect;
  std::string text;  // engine text
};
const Tooltip& tooltip();
void hideTooltip();

// Binds the button, event-wait and system-service cores and sets the wait's
// wheel threshold from the system's wheel lines.
void bindInputCoresAndWheel();

}  // namespace velmora::render

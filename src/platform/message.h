#pragma once
// The engine's window-message record: SDL events are translated into the
// message numbers, virtual-key codes and parameter packing scripts expect.
#include <cstdint>

namespace velmora {

enum MessageType : uint32_t {
  kMsgNone = 0x0000,
  kMsgSize = 0x0005,
  kMsgActivate = 0x0006,
  kMsgFocusGained = 0x0007,
  kMsgFocusLost = 0x0008,
  kMsgClose = 0x0010,
  kMsgDisplayChange = 0x007E,
  kMsgQuit = 0x0012,
  kMsgCursorRequest = 0x0020,
  kMsgKeyDown = 0x0100,
  kMsgKeyUp = 0x0101,
  kMsgChar = 0x0102,
  kMsgSystemKeyDown = 0x0104,
  kMsgSystemKeyUp = 0x0105,
  kMsgMouseMove = 0x0200,
  kMsgLeftDown = 0x0201,
  kMsgLeftUp = 0x0202,
  kMsgLeftDoubleClick = 0x0203,
  kMsgRightDown = 0x0204,
  kMsgRightUp = 0x0205,
  kMsgMiddleDown = 0x0207,
  kMsgMiddleUp = 0x0208,
  kMsgWheel = 0x020A,
  kMsgDropFiles = 0x0233,
};

// Where the pointer is, in the low word of a cursor request's packed field.
// Leaving the window is reported as a cursor request over its border.
enum HitTest : uint32_t { kHitClient = 1, kHitCaption = 2, kHitBorder = 18, kHitClose = 20 };

// The code of kMsgSize.
enum SizeKind : uint32_t { kSizeRestored = 0, kSizeMinimised = 1, kSizeMaximised = 2 };

// Mouse-key state bits carried in the code of mouse messages.
enum MouseKeyBits : uint32_t { kMouseLeft = 1, kMouseRight = 2, kMouseShift = 4, kMouseCtrl = 8, kMouseMiddle = 0x10 };

// The key codes the engine itself acts on (scripts see every code as is).
enum VirtualKey : int {
  kVkBackspace = 8, kVkTab = 9, kVkEnter = 13, kVkShift = 16, kVkCtrl = 17, kVkAlt = 18,
  kVkEscape = 27, kVkSpace = 32, kVkF10 = 121,
};

struct WindowMessage {
  uint32_t message = kMsgNone;
  uint64_t code = 0;   // key code, mouse-key bits, wheel delta in the high word
  int64_t packed = 0;  // client x in the low word, y in the high word for mouse messages
  uint32_t time = 0;
  int x = 0, y = 0;     // cursor position in client coordinates when the message was taken
  char text[8] = {0};   // UTF-8 of a kMsgChar, a path handle index for kMsgDropFiles
};

inline int16_t wheelDelta(const WindowMessage& m) { return static_cast<int16_t>((m.code >> 16) & 0xFFFF); }
inline int64_t packPoint(int x, int y) {
  return static_cast<int64_t>((static_cast<uint32_t>(y & 0xFFFF) << 16) | static_cast<uint32_t>(x & 0xFFFF));
}
inline int16_t lowWordX(int64_t lp) { return static_cast<int16_t>(lp & 0xFFFF); }
inline int16_t highWordY(int64_t lp) { return static_cast<int16_t>((lp >> 16) & 0xFFFF); }

}  // namespace velmora

#pragma once
// The engine's window-message record: SDL events are translated into the
// message numbers, virtual-key codes and parameter packing scripts expect.
#include <cstdint>

namespace velmora {

enum MessageType : uint32_t {
  WM_NULL = 0x0000,
  WM_SIZE = 0x0005,
  WM_ACTIVATE = 0x0006,
  WM_SETFOCUS = 0x0007,
  WM_KILLFOCUS = 0x0008,
  WM_CLOSE = 0x0010,
  WM_DISPLAYCHANGE = 0x007E,
  WM_QUIT = 0x0012,
  WM_SETCURSOR = 0x0020,
  WM_KEYDOWN = 0x0100,
  WM_KEYUP = 0x0101,
  WM_CHAR = 0x0102,
  WM_SYSKEYDOWN = 0x0104,
  WM_SYSKEYUP = 0x0105,
  WM_MOUSEMOVE = 0x0200,
  WM_LBUTTONDOWN = 0x0201,
  WM_LBUTTONUP = 0x0202,
  WM_LBUTTONDBLCLK = 0x0203,
  WM_RBUTTONDOWN = 0x0204,
  WM_RBUTTONUP = 0x0205,
  WM_MBUTTONDOWN = 0x0207,
  WM_MBUTTONUP = 0x0208,
  WM_MOUSEWHEEL = 0x020A,
  WM_DROPFILES = 0x0233,
};

// Where the pointer is, in the low word of WM_SETCURSOR's lParam. Leaving the
// window is reported as a cursor request over its border.
enum HitTest : uint32_t { HTCLIENT = 1, HTCAPTION = 2, HTBORDER = 18, HTCLOSE = 20 };

// wParam of WM_SIZE.
enum SizeKind : uint32_t { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2 };

// Mouse-key state bits carried in wParam of mouse messages.
enum MouseKeyBits : uint32_t { MK_LBUTTON = 1, MK_RBUTTON = 2, MK_SHIFT = 4, MK_CONTROL = 8, MK_MBUTTON = 0x10 };

struct WindowMessage {
  uint32_t message = WM_NULL;
  uint64_t wParam = 0;  // key code, mouse-key bits, wheel delta in the high word
  int64_t lParam = 0;   // client x in the low word, y in the high word for mouse messages
  uint32_t time = 0;
  int x = 0, y = 0;     // cursor position in client coordinates when the message was taken
  char text[8] = {0};   // UTF-8 of a WM_CHAR, a path handle index for WM_DROPFILES
};

inline int16_t wheelDelta(const WindowMessage& m) { return static_cast<int16_t>((m.wParam >> 16) & 0xFFFF); }
inline int64_t packPoint(int x, int y) {
  return static_cast<int64_t>((static_cast<uint32_t>(y & 0xFFFF) << 16) | static_cast<uint32_t>(x & 0xFFFF));
}
inline int16_t lowWordX(int64_t lp) { return static_cast<int16_t>(lp & 0xFFFF); }
inline int16_t highWordY(int64_t lp) { return static_cast<int16_t>((lp >> 16) & 0xFFFF); }

}  // namespace velmora

#pragma once
// A small dialog toolkit for the engine's own windows: group boxes, radio
// buttons, check boxes, buttons, static text and a list box, with keyboard
// focus and the mouse, drawn into a picture that a plain window shows.
#include <functional>
#include <string>
#include <vector>

#include "platform/message.h"
#include "render/geometry.h"

namespace velmora::image {
struct Image;
}

namespace velmora::setup {

enum class ControlKind { GroupBox, Radio, Check, Button, Static, ListBox };

struct Control {
  ControlKind kind = ControlKind::Static;
  int id = 0;
  render::Rect rect;        // client pixels
  std::string text;         // engine text
  bool checked = false;
  bool enabled = true;
  std::vector<std::string> items;  // list box
  int selected = -1;
  int first = 0;  // list box: the first row in view
};

struct Dialog {
  std::string title;  // engine text
  int width = 0, height = 0;
  int fontHeight = 12;
  std::vector<Control> controls;
  int focus = -1;    // index into controls
  int pressed = -1;  // a button held down
};

Control* findControl(Dialog& d, int id);
// One window message; returns the id of the control it acted on (-1 none).
// Radios and check boxes act on click or Space, buttons on release or
// Space/Enter, the list box on click or Up/Down/PageUp/PageDown (a longer
// list scrolls, also by the wheel over it).
int dialogInput(Dialog& d, const WindowMessage& m);
void drawDialog(const Dialog& d, image::Image& target);

// Runs a dialog window until done() says so: messages go to the dialog and
// act() hears each action; close() hears the close box, displayChanged() a
// change of the displays; idle() runs when no
// message waits. False when the window could not be made (headless).
struct DialogLoop {
  std::function<void(int id)> act;
  std::function<void()> close;
  std::function<void()> displayChanged;
  std::function<void()> idle;
  std::function<bool()> done;
};
bool runDialogWindow(Dialog& d, bool topmost, const DialogLoop& loop);

}  // namespace velmora::setup

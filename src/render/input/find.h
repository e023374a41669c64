#pragma once
// The Find box of findText: a modeless box over the scene with a search
// field (80 bytes of engine text), "whole word" and "down" switches, and
// Find Next / Cancel. Its answer reaches the script through the event wait.
#include <string>

#include "platform/message.h"
#include "render/geometry.h"

namespace velmora::render {

// Flag word of an answer.
enum FindFlags : int { kFindDown = 0x1, kFindWholeWord = 0x2, kFindMatchCase = 0x4, kFindNext = 0x8, kFindClosed = 0x40 };
constexpr size_t kFindBufferSize = 80;

struct FindBox {
  bool open = false;
  std::string text;  // engine text, at most kFindBufferSize - 1 bytes
  bool wholeWord = true, down = true;
  int hot = -1;      // the control under the pointer
};
const FindBox& findBox();

void openFindBox();
// The pump's dialog filter: while the box is open, messages for it go to it
// first (true when it took this one); the game sees the rest.
bool findBoxTakesMessage(WindowMessage& msg);
// Find Next (answer with the search text) or close (answer "closed").
void findNext();
void closeFindBox();
void toggleFindWholeWord();
void toggleFindDown();
// Types UTF-8 text into the field; Backspace removes one character.
void findTypeText(const std::string& utf8);
void findBackspace();

// Where the box and its controls lie on the logical screen.
enum FindControl { kFindField, kFindWholeWordBox, kFindDownBox, kFindNextButton, kFindCancelButton, kFindControlCount };
render::Rect findBoxRect();
render::Rect findControlRect(int control);

}  // namespace velmora::render

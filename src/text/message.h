#pragma once
// The message window: one text area laid out on a grid of half-width
// columns, revealed at the typing speed by the game's own *text_lb routine.
// Main thread only.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/hash.h"
#include "text/cstring.h"

namespace velmora::image {
struct Image;
}

namespace velmora::text {

struct MessageLayout {
  int originX = 0, originY = 0, aspectShift = 0;
  int columns = 20, rows = 3, fontSize = 24, rowHeight = 24, charGap = 0, rowGap = 0;
  std::array<int, 6> logValues{};  // setMessLog: a1 + 2, a2 ... a6
};

// What the text waits for at a mark or a line's end. The end-of-line rule
// takes the script's own numbers (setMessWait), so any value can occur: odd
// ones wait for a click with the text kept, even ones for a new page. Not a
// scoped enum: the backlog, the saves and pageState() carry it as a number.
enum WaitKind : int { kNoWait = 0, kClickWait = 1, kPageWait = 2 };

struct MessageFlow {
  int column = 0, row = 0, wrapIndent = 0, rowFresh = 0;
  int penX = -1;  // Unicode games: logical pixels from the origin; -1 follows column
  int resumeOffset = 0;
  WaitKind waitKind = kNoWait;
  int pageWaits = 0;
  int lineEndWait = 0, paragraphWait = 0;
  int bracketIndent = 0, rowIndent = 0;
};

struct RevealState {
  uint32_t startTime = 0;
  std::vector<int> rubyBase;  // ruby character -> base index whose reveal shows it
};

struct MessageWindow {
  MessageLayout layout;
  MessageFlow flow;
  RevealState reveal;
  CString main, ruby;                // the message text and its ruby
  CString stringMain, stringRuby;    // string sprites and the backlog display
  bool created = false;
  int windowVisible = 3;
  std::array<std::string, kPrivateFontSlots> privateFonts;
};
MessageWindow& window();

// The text-sprite font of ssp_set (saved games carry it).
struct SpriteFont {
  std::string face;
  int size = 0;                              // device pixels
  int attr[4] = {0, 0xFFFFFF, 0xFFFFFF, 0};  // style, colours 1-3
};
SpriteFont& spriteFont();
// A text sprite's picture rendered again from its recorded text and font
// (a placeholder's rebuild); null when it cannot be made.
image::Image* renderTextSprite(int n);
// The same at kx, ky times the game's pixels onto a width x height canvas
// (the shown picture's size times the scale): a string sprite's text at a
// larger output's pixels.
image::Image* renderTextSpriteAt(int n, int width, int height, float kx, float ky);

// Adds the message and backlog lines to saved games (base/snapshot.h).
void registerTextSections();
// What the save commands ask the text (SnapshotTextLink): whether a text wait
// is pending, the snapshot of the page n back, the current backlog page and
// the image records of a page.
bool textWaitPending();
bool pageSnapshot(int back, int& index);
int currentBacklogPage();
void setCurrentBacklogPage(int entry);
const uint8_t* backlogPageImages(int entry);

// The interpreter's hand-over; 0 stops the program.
int showTextLine(std::string_view line, size_t textStart, size_t nextLength, size_t afterNextLength);

// Reveal: start, advance (0 when all shown), finish.
void formatMessDraw();
int setMessDraw();
void endMessDraw();
// A wait that asks for a new page is even.
inline bool isPageWait(int kind) { return kind != 0 && kind % 2 == 0; }
// One that keeps the page and goes on after it is odd.
inline bool isClickWait(int kind) { return kind % 2 == 1; }

// Row pitch and character pitch of the grid.
int characterPitch();
int rowPitch();
// The vertical shift of the text layer (aspect offset or 0).
int aspectShiftPixels();
// Gives both text objects that shift; the display runs it on every aspect change.
void applyAspectShift();

// Font state applied to the four text objects.
void applyFontToMessage();
void applyColoursToMessage();

// The text layer of the frame: both objects at the message origin.
void drawTextLayer();

// What the main text object shows now, as text (scenario checks).
std::string shownText();

// Binds the message, font, backlog and read-mark families and the text
// sprites.
void bindTextCores();
// What the interpreter calls for text parts (the wiring installs them): the
// text line shown (also printed before setMessCreate), whether the backlog
// entry is still empty, the read mark, the position the entry records, and
// the page wait and part-shown offset of the flow.
int textLine(std::string_view line, size_t textStart, size_t nextLength, size_t afterNextLength);
bool backlogEntryEmpty();
void readMark(int32_t& flag);
void recordPosition(ScriptKey key, int line);
int pageState();
int resumeOffset();
// The text the message window shows now (the printed line before it exists).
std::string currentMessageText();
// formatMess without the objects (start of a run, tests).
void resetMessageWindow();
// Releases the four objects and the private fonts (shut-down).
void releaseMessageWindow();

}  // namespace velmora::text

#pragma once
// The engine's only window onto the machine: SDL2 for events, time, cursor and
// message boxes. Nothing above this layer includes SDL.
#include <cstdint>
#include <string>

namespace velmora::platform {

// Starts the event and timer subsystems; video is brought up by the display.
bool init();
void shutdown();

// Milliseconds since an arbitrary origin (the multimedia-timer reading).
uint32_t nowMs();
void sleepMs(uint32_t ms);
// Whether the clock resolves single milliseconds (frames can be paced on it).
bool millisecondClock();

// A file was written and renamed into place: where files live in a store
// that needs flushing (the browser's IndexedDB), a flush starts.
void fileCommitted();

// Returns once a file the page still downloads in the background (a large
// font in the browser) has arrived; at once everywhere else.
void awaitPageFile(const std::string& path);

// How many turns the browser page has had while the engine waited (always 0
// elsewhere). A page composites the canvas on its turn, so a frame drawn
// across one was shown half-drawn.
uint64_t pageTurns();
void notePageTurn();

// Folder of the running executable, with a trailing '/'; empty when unknown.
std::string executableFolder();

enum class BoxKind { Error, Information, YesNo, YesNoCancel };
enum BoxAnswer { kAnswerYes = 6, kAnswerNo = 7, kAnswerCancel = 2, kAnswerOk = 1 };

// Text and labels are UTF-8. Returns one of BoxAnswer; -1 when no box could be
// shown (no display), so the caller may fall back to the console.
int showMessageBox(BoxKind kind, const std::string& title, const std::string& text,
                   const std::string& yesLabel, const std::string& noLabel);

// Global cursor position in desktop coordinates.
void cursorPosition(int& x, int& y);
void warpCursor(int x, int y);
// Size of the primary display (1920 x 1080 when none can be asked).
void primaryDisplaySize(int& width, int& height);
// Size of the monitor that holds the main window (or the first one).
void monitorSize(int& width, int& height);

}  // namespace velmora::platform

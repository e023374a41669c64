#pragma once
// Display geometry: the logical screen, the design size and display rates,
// the monitor and the five full-screen kinds, window sizing rules and the
// conversions between window-client and logical coordinates. Everything here
// is arithmetic over a Geometry record and the settings, so it runs without a
// window; the display layer feeds it the monitor and the window frame.
#include <array>
#include <string>

namespace velmora::render {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

struct SizePreset {
  int width = 0, height = 0;
  std::string label;  // "%4dx%4d", then "(等倍)" in CP932 when width == Resolution
};

constexpr int kPresetCount = 10;
constexpr int kFullModeCount = 5;
// The display mode kind 0 asks for.
constexpr int kKind0Width = 800, kKind0Height = 600;

enum SizeState { kSizeNormal = 0, kSizeMinimised = 1, kSizeMaximised = 2, kSizeRestored = 4 };

struct Geometry {
  int screenWidth2 = 0, screenHeight2 = 0;  // design size
  int screenWidth = 0, screenHeight = 0;    // logical screen
  float displayRate = 1, pictureRate = 1, pictureRatio = 1, inversePictureRatio = 1;
  float designCentreX = 0, designCentreY = 0, logicalCentreX = 0, logicalCentreY = 0;
  float aspect = 1;
  int pixelCount = 0;

  int monitorLeft = 0, monitorTop = 0, monitorWidth = 0, monitorHeight = 0;
  int monitorRefresh = 60;
  int frameX = 0, frameY = 0, captionHeight = 0, menuHeight = 0;  // decoration thicknesses
  int extraW = 0, captionTop = 0, extraH = 0;
  bool menuAttached = false;

  int fitWidth = 0, fitHeight = 0, fillWidth = 0, fillHeight = 0;
  int overflowX = 0, overflowY = 0;
  int largestWidth = 0, largestHeight = 0;
  std::array<Rect, kFullModeCount> source{}, destination{};  // kinds 1-4
  // Client size of the kind-0 full screen: 800 x 600 after a real mode
  // change, the monitor when the system offered no such mode.
  int kind0Width = kKind0Width, kind0Height = kKind0Height;

  int refreshP = 50, refreshQ = 3;  // frame period P / Q ms
  int aspectChoice = 0;
  int aspectOffset = 0;
  std::array<SizePreset, kPresetCount> presets{};

  SizeState sizeState = kSizeNormal;
  int panSteps = 0;
  int fullScreenCounter = 0, aspectCounter = 0;
};

// The process-wide record the display and the renderer share.
Geometry& geometry();

// Presets by the reduced ratio of w x h; asks the 4:3 table for 16:9 when
// fourThree is set. Labels are finished by formatPresetLabels.
std::array<SizePreset, kPresetCount> presetsFor(int w, int h, bool fourThree);
void formatPresetLabels(std::array<SizePreset, kPresetCount>& presets, int resolution);

// Rates from the first and third `screen` arguments (Resolution already set).
void setDisplayRates(Geometry& g, int designWidth, int designHeight, int pictureWidth);

// Presets, aspect choice (only when wantAspectChoice), logical size and the
// client size. Monitor-derived values follow with monitorGeometry.
void screenSizeSetup(Geometry& g, int w, int h, bool wantAspectChoice);

// Window frame extras from the decoration thicknesses and the menu state.
void recomputeFrame(Geometry& g);

// Everything derived from the monitor; refreshHz is the monitor's rate.
void monitorGeometry(Geometry& g, int left, int top, int width, int height, int refreshHz);

// The rectangle of kind k's picture on the full-screen window.
Rect fullScreenSource(const Geometry& g, int kind);
Rect fullScreenDestination(const Geometry& g, int kind);

// The rows an attached menu bar takes at the top of the window's client area,
// above the picture (window mode only; 0 otherwise).
int menuStrip(const Geometry& g);

// Client point <-> logical point for the mode in force (FullScreen, FullMode,
// WindowWidth/WindowHeight settings). Client points count the menu strip.
void windowToLogical(const Geometry& g, int x, int y, int& lx, int& ly);
void logicalToWindow(const Geometry& g, int x, int y, int& wx, int& wy);

// Border dragging: edge is the Windows sizing edge (1 left, 2 right, 3 top,
// 4 top-left, 5 top-right, 6 bottom, 7 bottom-left, 8 bottom-right); rect is
// the proposed outer rectangle, corrected in place. Updates the client size
// and, unless minimised, ClientLeft/ClientTop.
void dragBorder(Geometry& g, int edge, Rect& rect);

// A size change by other means (maximise, restore, the window system): the
// client size (w, h) corrected to the aspect. Returns false when nothing is
// to be corrected.
bool correctClientSize(const Geometry& g, int& w, int& h);

// One Zoom panning poll with the cursor at desktop (cx, cy); true when the
// picture moved.
bool zoomPanStep(Geometry& g, int cx, int cy);

// Aspect value 1 (4:3) or 0 (16:9): the new client size (maximised keeps the
// height) and the screen set-up for the new height. False when unchanged.
bool changeAspect(Geometry& g, int value, bool maximised);

// getScreenRate: the window scale factor x 100.
int screenRatePercent(const Geometry& g);

}  // namespace velmora::render

#pragma once
// The settings the display owns (screen mode, window, device, frame pacing,
// pointer), typed. The file keeps them as plain integers; setters store
// only, and the paths that must run a key's effect call settingChanged.
// Toggles flip bit 0 as the menus always did, so odd values from a file
// keep their other bits.
// The ...Value and ...Index forms give the number as stored, for menus'
// radios, reports and frame signatures.
#include <cstdint>

#include "base/settings.h"
#include "image/image.h"

namespace velmora::render {

// How a full screen shows the game, in the menu's order: a display mode of
// the game's size, stretched to the monitor, the original size centred on
// the wallpaper, scaled to fit on the wallpaper, and zoomed with panning.
enum class FullMode : int32_t { Full1, Full2, Original, Normal, Zoom };
// ScreenAspect, when the game offers the choice.
enum class Aspect : int32_t { SixteenNine, FourThree };
// WindowPos: where a window opens, centred or where it was.
enum class StartPosition : int32_t { Centred, Kept };
// Interpolation, in the menu's order; from BiLinearSharp on, shader filters.
enum class ScalingFilter : int32_t {
  Driver, NearestNeighbor, BiLinear, BiLinearSharp, Lanczos1, BiQuad, BiCubic, Lanczos2
};
// ColorMode.
enum class ColourDepth : int32_t { ThirtyTwoBit, SixteenBit };
// VSyncWait: the menu's radios are off, hardware and software; as bits,
// which waits pace the presents.
enum class VSyncWait : int32_t { Off = 0, InSwap = 1, OnClock = 2 };
constexpr bool hasWait(VSyncWait v, VSyncWait bit) { return (static_cast<int32_t>(v) & static_cast<int32_t>(bit)) != 0; }
inline bool waitsInSwap(VSyncWait v) { return hasWait(v, VSyncWait::InSwap); }
inline bool pacedOnClock(VSyncWait v) { return hasWait(v, VSyncWait::OnClock); }

// ---- screen mode ----------------------------------------------------------------
inline bool fullScreen() { return setting(SettingKey::FullScreen) != 0; }
inline int fullScreenValue() { return setting(SettingKey::FullScreen); }
inline void setFullScreen(bool on) { setting(SettingKey::FullScreen) = on ? 1 : 0; }
inline FullMode fullMode() { return static_cast<FullMode>(setting(SettingKey::FullMode)); }
inline int fullModeIndex() { return setting(SettingKey::FullMode); }
inline void setFullMode(int kind) { setting(SettingKey::FullMode) = kind; }
// The full-screen kinds drawn over a wallpaper.
inline bool wallPaperMode() { return fullMode() == FullMode::Original || fullMode() == FullMode::Normal; }
inline bool wallPaperShown() { return fullScreen() && wallPaperMode(); }
inline Aspect screenAspect() { return static_cast<Aspect>(setting(SettingKey::ScreenAspect)); }
inline int screenAspectValue() { return setting(SettingKey::ScreenAspect); }
inline void setScreenAspect(int value) { setting(SettingKey::ScreenAspect) = value; }
inline ScalingFilter scalingFilter() { return static_cast<ScalingFilter>(setting(SettingKey::Interpolation)); }
inline int scalingFilterIndex() { return setting(SettingKey::Interpolation); }
inline void setScalingFilter(ScalingFilter f) { setting(SettingKey::Interpolation) = static_cast<int32_t>(f); }
// The game's width as the player chose it; 0 until the display starts.
inline int resolution() { return setting(SettingKey::Resolution); }
inline void setResolution(int width) { setting(SettingKey::Resolution) = width; }
inline bool startupDialogWanted() { return setting(SettingKey::StartingSetUp) != 0; }
inline int startupDialogValue() { return setting(SettingKey::StartingSetUp); }
inline void setStartupDialogWanted(bool on) { setting(SettingKey::StartingSetUp) = on ? 1 : 0; }
// The window takes the chosen resolution's width.
inline bool windowFitsResolution() { return setting(SettingKey::ResolutionWindow) != 0; }
inline int windowFitsResolutionValue() { return setting(SettingKey::ResolutionWindow); }
inline void toggleWindowFitsResolution() { setting(SettingKey::ResolutionWindow) ^= 1; }

// ---- window ---------------------------------------------------------------------
inline int windowWidth() { return setting(SettingKey::WindowWidth); }
inline int windowHeight() { return setting(SettingKey::WindowHeight); }
inline void setWindowWidth(int w) { setting(SettingKey::WindowWidth) = w; }
inline void setWindowHeight(int h) { setting(SettingKey::WindowHeight) = h; }
inline void setWindowSize(int w, int h) { setWindowWidth(w), setWindowHeight(h); }
inline int clientLeft() { return setting(SettingKey::ClientLeft); }
inline int clientTop() { return setting(SettingKey::ClientTop); }
inline void setClientLeft(int x) { setting(SettingKey::ClientLeft) = x; }
inline void setClientTop(int y) { setting(SettingKey::ClientTop) = y; }
inline void setClientPosition(int x, int y) { setClientLeft(x), setClientTop(y); }
inline StartPosition startPosition() { return static_cast<StartPosition>(setting(SettingKey::WindowPos)); }
inline int startPositionIndex() { return setting(SettingKey::WindowPos); }
inline void setStartPosition(StartPosition p) { setting(SettingKey::WindowPos) = static_cast<int32_t>(p); }
inline bool alwaysOnTop() { return setting(SettingKey::WindowMost) != 0; }
inline void toggleAlwaysOnTop() { setting(SettingKey::WindowMost) ^= 1; }
// WindowChange: the player fixed the window's size.
inline bool windowSizeFixed() { return setting(SettingKey::WindowChange) != 0; }
inline void toggleWindowSizeFixed() { setting(SettingKey::WindowChange) ^= 1; }
// WindowMenu: the menu is offered at all; MenuLock1: it stays attached in a window.
inline bool menuOffered() { return setting(SettingKey::WindowMenu) != 0; }
inline void toggleMenuOffered() { setting(SettingKey::WindowMenu) ^= 1; }
inline bool menuPinned() { return setting(SettingKey::MenuLock1) != 0; }
inline void toggleMenuPinned() { setting(SettingKey::MenuLock1) ^= 1; }

// ---- device and pacing ------------------------------------------------------------
inline ColourDepth colourDepth() { return static_cast<ColourDepth>(setting(SettingKey::ColorMode)); }
inline int colourDepthValue() { return setting(SettingKey::ColorMode); }
inline void setColourDepth(ColourDepth d) { setting(SettingKey::ColorMode) = static_cast<int32_t>(d); }
inline bool colourBlend() { return setting(SettingKey::ColorBlend) != 0; }
inline int colourBlendValue() { return setting(SettingKey::ColorBlend); }
inline void dropColourBlend() { setting(SettingKey::ColorBlend) = 0; }
inline bool texturesPow2() { return setting(SettingKey::TexturePow2) != 0; }
inline bool texturesSquare() { return setting(SettingKey::TextureSquare) != 0; }
// -1: automatic.
inline int maxTextureSize() { return setting(SettingKey::MaxTextureSize); }
inline bool mipMaps() { return setting(SettingKey::MipMap) != 0; }
inline bool pixelShaders() { return setting(SettingKey::PixelShader) != 0; }
inline bool vertexShaders() { return setting(SettingKey::VertexShader) != 0; }
inline VSyncWait vsyncWait() { return static_cast<VSyncWait>(setting(SettingKey::VSyncWait)); }
inline void setVsyncWait(VSyncWait v) { setting(SettingKey::VSyncWait) = static_cast<int32_t>(v); }
// Frames per second; 0 or less: no limit.
inline int frameRateLimit() { return setting(SettingKey::LimitFPS); }
// Text drawn at the output's pixels when the game is shown larger.
inline bool sharpText() { return setting(SettingKey::SharpText) != 0; }
inline int sharpTextValue() { return setting(SettingKey::SharpText); }
inline image::CpuSettings cpuRoutineSettings() {
  image::CpuSettings cpu;
  cpu.thread = setting(SettingKey::Thread) != 0;
  cpu.mmx = setting(SettingKey::MMX) != 0;
  cpu.sse = setting(SettingKey::SSE) != 0;
  cpu.sse2 = setting(SettingKey::SSE2) != 0;
  return cpu;
}

// ---- pointer and idle -------------------------------------------------------------
// Milliseconds of stillness before the cursor hides; 0: never.
inline int32_t cursorHideDelay() { return setting(SettingKey::CursorClear); }
// The cursor glides to selected buttons at this speed; 0: it stays put.
inline int32_t cursorGlideSpeed() { return setting(SettingKey::CursorMove); }
inline bool keepScreenAwake() { return setting(SettingKey::PowerSaver) != 0; }

}  // namespace velmora::render

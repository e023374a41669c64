#pragma once
// The renderer's messages; the texts are in messages.cpp.
#include <string>

namespace velmora::render {

enum class Message {
  NoPicture,
  BadButtonNumber,
  ScalingFilterBefore,
  ScalingFilterAfter,
  SetupToolRunning,
  NoSuchEffect,
  SixteenBitUnavailable,
  ThirtyTwoBitUnavailable,
  SoftwarePacingUnavailable,
  Count
};

const std::string& messageText(Message message);

// The window menu's and the engine's own questions' texts, in the UI's language.
enum class UiText {
  ScreenMenu, ScreenMode, WindowMode, FullScreenMode, Aspect169, Aspect43, WindowSize, FixedSize, WindowPosition,
  CentreOfScreen, KeepPosition, AlwaysOnTop, FullScreenKind, ScalingFilter, VSyncWait, VSyncOff, ShowMenuBar,
  LockMenuBar, ActualSize, NotResponding, LanguageMenu, ReadAloud, Count
};
const std::string& uiText(UiText text);

}  // namespace velmora::render

#pragma once
// The texts of the engine's own windows; the table is in messages.cpp.
#include <string>

namespace velmora::setup {

enum class UiText {
  StartupTitle, FourThree, SixteenNine, ScreenResolution, FitWindow,
  HighResolutionNote, AdvancedButton, StartButton, EndButton, ShowAgain, InheritTitle, InheritHeading, Decide,
  AdvancedTitle, DefaultValue, Cancel, FindWhat, WholeWord, FindDown,
  FindNext, Count
};

// In the UI's language, as engine text.
const std::string& uiText(UiText text);

}  // namespace velmora::setup

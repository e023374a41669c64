#pragma once
// The renderer's messages, as players and scripts see them: each
// text is written here once, in UTF-8, and converted to the engine's code page
// on first use. Texts that follow a name start with their own space.
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

}  // namespace velmora::render

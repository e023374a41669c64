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

}  // namespace velmora::render

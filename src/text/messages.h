#pragma once
// The message window's messages; the texts are in messages.cpp.
#include <string>

namespace velmora::text {

enum class Message {
  NoPicture,
  BadRuby,
  RubyAcrossRows,
  ScriptGone,
  MoreScriptsGoneBefore,
  MoreScriptsGoneAfter,
  LabelMissing,
  NoSpeech,
  VoicingOn,
  VoicingOff,
  NoGlyph,
  Count
};

const std::string& messageText(Message message);
// The engine's own words spoken to the player, in the UI's language.
const std::string& spokenText(Message message);

}  // namespace velmora::text

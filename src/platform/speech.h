#pragma once
// Speech for self-voicing: speech-dispatcher where its server answers (its
// library is loaded at run time, so the engine runs without it), else the
// espeak-ng program. Main thread only.
#include <memory>
#include <string>
#include <string_view>

namespace velmora::platform {

class SpeechBackend {
 public:
  virtual ~SpeechBackend() = default;
  // UTF-8 text; interrupt drops what is being said and what waits, else the
  // text waits its turn.
  virtual void speak(std::string_view text, bool interrupt) = 0;
  virtual void stop() = 0;
  // Also starts the next waiting text: ask now and then while speech runs.
  virtual bool speaking() = 0;
};

// speech-dispatcher, else espeak-ng; null with the reason when neither works.
std::unique_ptr<SpeechBackend> openSpeech(std::string& error);
// The espeak-ng program alone; with a wave path it writes each text there
// instead of playing it.
std::unique_ptr<SpeechBackend> openEspeak(std::string wavePath, std::string& error);
// The voice for a text: "ja" when it holds kana or kanji, else "en".
const char* speechLanguage(std::string_view utf8);

}  // namespace velmora::platform

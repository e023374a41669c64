#include "text/voicing.h"

#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "base/report.h"
#include "base/settings.h"
#include "base/encoding.h"
#include "base/textconv.h"
#include "render/input/buttons.h"
#include "script/modes.h"
#include "sprite/sprite.h"
#include "text/backlog.h"
#include "text/messages.h"
#include "text/stream.h"

namespace velmora::text {
namespace {

using K = SettingKey;

// Taken on release, as Tab and Shift are: a held key does not flip back and forth.
constexpr int kToggleKey = 'V', kRepeatKey = 'R';

struct Voicing {
  std::unique_ptr<platform::SpeechBackend> backend;
  bool tried = false;   // the system's back end was looked for this run
  bool ducked = false;  // the voices are down for speech now
  // How much of which backlog page has been read: a page with mid-page
  // waits is read on in parts.
  int page = -1;
  size_t spokenBytes = 0;
};
Voicing voicing;

bool on() { return selfVoicing() == kVoicingOn; }

void setDucked(bool ducked) {
  if (voicing.ducked == ducked) return;
  voicing.ducked = ducked;
  if (textHooks().duckVoices) textHooks().duckVoices(ducked);
}

bool backendReady() {
  if (voicing.backend || voicing.tried) return voicing.backend != nullptr;
  voicing.tried = true;
  std::string error;
  voicing.backend = platform::openSpeech(error);
  if (!voicing.backend) printError(messageText(Message::NoSpeech) + utf8ToGame(error));
  return voicing.backend != nullptr;
}

// Engine text, aloud; unless queued, it cuts what is being said.
void say(const std::string& text, bool queued = false) {
  if (text.empty() || !backendReady()) return;
  voicing.backend->speak(gameToUtf8(text), !queued);
  setDucked(true);
}

std::string speakerFirst(std::string_view name, const std::string& page) {
  if (page.empty() || name.empty()) return page;
  return std::string(name) + ": " + page;
}

void readWholePage(bool queued) {
  const std::string_view text = entryText(currentEntry());
  voicing.page = backlog().position;
  voicing.spokenBytes = text.size();
  say(speakerFirst(entryName(currentEntry()), plainPage(text, true)), queued);
}

// A picture button without a tooltip says its file name: "sys/btn_load.png"
// reads "btn load". The name is engine text: trail bytes are never separators.
std::string pictureLabel(std::string_view name) {
  std::string label;
  size_t extension = std::string::npos;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (const size_t n = charLength(name, i); n > 1) {
      label.append(name.substr(i, n));
      i += n - 1;
    } else if (c == '/' || c == '\\') {
      label.clear();
      extension = std::string::npos;
    } else {
      if (c == '.') extension = label.size();
      label += c == '_' || c == '-' ? ' ' : c;
    }
  }
  if (extension != std::string::npos && extension > 0) label.resize(extension);
  return label;
}

std::string buttonLabel(int button) {
  const render::ButtonRecord& r = render::buttons().records[static_cast<size_t>(button & 255)];
  if (!r.tooltip.empty()) return r.tooltip;
  if (!sprite::validNumber(r.sprite)) return {};
  const sprite::Sprite& s = sprite::record(r.sprite);
  const std::string_view name(s.name, strnlen(s.name, sizeof s.name));
  // A text sprite keeps its text where a picture keeps its file name.
  if (static_cast<uint8_t>(s.fontFace[0]) > sprite::kKindImageLog) return plainPage(name, true);
  return pictureLabel(name);
}

}  // namespace

void followSelfVoicing(bool announced) {
  if (!on()) {
    if (voicing.backend) voicing.backend->stop();
    if (announced && selfVoicing() == kVoicingOff && backendReady())
      voicing.backend->speak(gameToUtf8(spokenText(Message::VoicingOff)), true);
    setDucked(false);
    return;
  }
  if (!announced) return;
  // Switched on over a page: it follows the announcement.
  say(spokenText(Message::VoicingOn));
  readWholePage(true);
}

void voicePageShown() {
  const script::ReadingModes& modes = script::readingModes();
  // Pages flying past in skip or fast reading are not read.
  if (!on() || modes.skip || modes.fast || modes.jump) {
    voicing.page = -1;
    return;
  }
  const std::string_view text = entryText(currentEntry());
  if (voicing.page != backlog().position || voicing.spokenBytes > text.size()) {
    voicing.page = backlog().position;
    voicing.spokenBytes = 0;
  }
  const bool first = voicing.spokenBytes == 0;
  const std::string part = plainPage(text.substr(voicing.spokenBytes), true);
  voicing.spokenBytes = text.size();
  say(first ? speakerFirst(entryName(currentEntry()), part) : part);
}

void voiceButton(int button) {
  if (on() && button >= 0) say(buttonLabel(button));
}

bool voicingKey(int virtualKey, bool down) {
  const int32_t mode = selfVoicing();
  if (mode == kVoicingWithheld) return false;
  if (virtualKey == kToggleKey) {
    if (!down) {
      setSelfVoicing(mode == kVoicingOn ? kVoicingOff : kVoicingOn);
      settingChanged(K::SelfVoicing, SettingSource::Command);
    }
    return true;
  }
  if (virtualKey != kRepeatKey || mode != kVoicingOn) return false;
  if (!down) readWholePage(false);
  return true;
}

void voicingStep() {
  if (voicing.ducked && !(voicing.backend && voicing.backend->speaking())) setDucked(false);
}

bool speechRunning() { return voicing.ducked && voicing.backend && voicing.backend->speaking(); }

void useSpeechBackend(std::unique_ptr<platform::SpeechBackend> backend) {
  voicing.backend = std::move(backend);
  voicing.tried = true;
}

void releaseVoicing() {
  setDucked(false);
  voicing.backend.reset();
  voicing.tried = false;
  voicing.page = -1;
  voicing.spokenBytes = 0;
}

}  // namespace velmora::text

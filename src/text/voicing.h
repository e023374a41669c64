#pragma once
// Self-voicing for players who cannot read the screen. With the SelfVoicing
// setting on, each page is read aloud once it is all shown (speaker first,
// ruby by its reading) and a button the arrow keys or a pad select by its
// tooltip or label; V turns it on and off, R reads the page again. A game
// that voices itself sets SelfVoicing 2: nothing speaks and both keys stay
// the game's. The game's voices duck while the engine speaks.
#include <memory>

#include "base/setting_words.h"
#include "platform/speech.h"

namespace velmora::text {

// The setting's effect; announced: the player switched it (say so aloud).
void followSelfVoicing(bool announced);
// The message window shows all of its page and waits for the player.
void voicePageShown();
// Arrow keys or a pad selected this button.
void voiceButton(int button);
// V, and R while voicing is on: true when the key was taken (both edges).
bool voicingKey(int virtualKey, bool down);
// Frame step: brings the voices back up once speech has ended.
void voicingStep();
// Speech still running (auto mode waits for it as for a voice).
bool speechRunning();
// Tests: speak through this back end instead of the system's.
void useSpeechBackend(std::unique_ptr<platform::SpeechBackend> backend);
void releaseVoicing();

}  // namespace velmora::text

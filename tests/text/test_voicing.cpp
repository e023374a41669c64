// Self-voicing: what reaches the speech back end for pages, ruby, buttons and
// the keys, one real espeak-ng run into a wave file, and a speech server
// that stops answering.
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "base/settings.h"
#include "platform/speech_dispatcher.h"
#include "render/input/buttons.h"
#include "render/window/menu.h"
#include "sprite/sprite.h"
#include "support/tempdir.h"
#include "text/voicing.h"
#include "text_fixture.h"

namespace velmora::text::test {
namespace {

using K = SettingKey;

struct SpeechLog {
  std::vector<std::string> said;  // UTF-8
  std::vector<bool> interrupts;
  std::vector<bool> ducks;
  bool busy = false;
};
SpeechLog* g_log = nullptr;

class FakeSpeech final : public platform::SpeechBackend {
 public:
  void speak(std::string_view text, bool interrupt) override {
    g_log->said.emplace_back(text);
    g_log->interrupts.push_back(interrupt);
    g_log->busy = true;
  }
  void stop() override { g_log->busy = false; }
  bool speaking() override { return g_log->busy; }
};

void recordDuck(bool on) { g_log->ducks.push_back(on); }

class Voicing : public MessageTest {
 protected:
  void SetUp() override {
    MessageTest::SetUp();
    resetBacklog();
    g_log = &log_;
    setting(K::SelfVoicing) = kVoicingOn;
    useSpeechBackend(std::make_unique<FakeSpeech>());
    saved_ = textHooks();
    TextHooks hooks = saved_;
    hooks.duckVoices = recordDuck;
    installTextHooks(hooks);
    script::registers().postTextHook = 1;
  }
  void TearDown() override {
    releaseVoicing();
    installTextHooks(saved_);
    g_log = nullptr;
    MessageTest::TearDown();
  }
  TextHooks saved_;
  void page(const char* utf8) {
    show(utf8);
    endMessDraw();
  }
  SpeechLog log_;
};

TEST_F(Voicing, APageIsReadSpeakerFirstOnceShownAndTheVoicesDuckUntilItEnds) {
  setEntryName(sj("ミナ"));
  page("こんにちは。\\");
  EXPECT_EQ(log_.said, std::vector<std::string>{"ミナ: こんにちは。"});
  EXPECT_TRUE(log_.interrupts.back());
  endMessDraw();  // the same page again: nothing new to read
  EXPECT_EQ(log_.said.size(), 1u);
  voicingStep();
  EXPECT_EQ(log_.ducks, std::vector<bool>{true});
  log_.busy = false;
  voicingStep();
  EXPECT_EQ(log_.ducks, (std::vector<bool>{true, false}));
  // R reads the page again, whole.
  EXPECT_TRUE(voicingKey('R', true));
  EXPECT_TRUE(voicingKey('R', false));
  EXPECT_EQ(log_.said.back(), "ミナ: こんにちは。");
}

TEST_F(Voicing, RubyIsReadByItsReadingAndAWaitMidPageReadsOnlyWhatFollows) {
  page("{世界/せかい}を見た@");
  page("そして\\");
  EXPECT_EQ(log_.said, (std::vector<std::string>{"せかいを見た", "そして"}));
  // Skipping pages reads none of them.
  closeEntry();
  script::readingModes().skip = 1;
  page("飛ばす\\");
  EXPECT_EQ(log_.said.size(), 2u);
}

TEST_F(Voicing, AButtonIsReadByItsTooltipElseItsTextElseItsPictureName) {
  render::resetButtons();
  sprite::clearTable();
  auto button = [](int n, int spriteNumber, const char* face, const char* name) {
    render::buttons().records[size_t(n)].sprite = spriteNumber;
    sprite::Sprite& s = sprite::record(spriteNumber);
    std::strncpy(s.fontFace, face, sizeof s.fontFace - 1);
    std::strncpy(s.name, name, sizeof s.name - 1);
  };
  button(1, 10, "", "sys/title_load.png");
  render::buttons().records[1].tooltip = sj("つづきから");
  button(2, 11, sj("ＭＳ ゴシック").c_str(), sj("はじめから").c_str());
  button(3, 12, "", sj("sys\\ソフト_1-b.png").c_str());  // 0x5C also ends "ソ"
  for (int n : {1, 2, 3}) voiceButton(n);
  EXPECT_EQ(log_.said, (std::vector<std::string>{"つづきから", "はじめから", "ソフト 1 b"}));
  setting(K::SelfVoicing) = kVoicingOff;
  voiceButton(1);
  EXPECT_EQ(log_.said.size(), 3u);
  render::resetButtons();
  sprite::clearTable();
}

// V and the menu item switch it and the settings file keeps it; a game that
// voices itself keeps both keys and greys the item.
TEST_F(Voicing, TheSwitchIsKeptInTheSettingsAndAGameCanWithholdIt) {
  setting(K::SelfVoicing) = kVoicingOff;
  EXPECT_FALSE(voicingKey('R', false));
  EXPECT_TRUE(voicingKey('V', true));
  EXPECT_EQ(setting(K::SelfVoicing), kVoicingOff);
  EXPECT_TRUE(voicingKey('V', false));
  EXPECT_EQ(setting(K::SelfVoicing), kVoicingOn);
  EXPECT_NE(settingKeyLines().find("\r\nSelfVoicing = 1\r\n"), std::string::npos);
  render::runSystemCommand(3);
  EXPECT_EQ(setting(K::SelfVoicing), kVoicingOff);
  EXPECT_FALSE(render::systemMenuState().voicingChecked);
  setting(K::SelfVoicing) = kVoicingWithheld;
  EXPECT_FALSE(voicingKey('V', false));
  render::runSystemCommand(3);
  EXPECT_EQ(setting(K::SelfVoicing), kVoicingWithheld);
  EXPECT_TRUE(render::systemMenuState().voicingGreyed);
  log_.said.clear();  // the switches may have been announced
  page("読まない\\");
  EXPECT_TRUE(log_.said.empty());
}

// The peak of a 16-bit PCM wave file's samples; -1 when it is not one.
int wavePeak(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return -1;
  size_t at = 12;
  while (at + 8 <= bytes.size()) {
    uint32_t size = 0;
    std::memcpy(&size, bytes.data() + at + 4, 4);
    if (bytes.compare(at, 4, "data") == 0) {
      int peak = 0;
      for (size_t i = at + 8; i + 1 < bytes.size() && i < at + 8 + size; i += 2) {
        int16_t sample = 0;
        std::memcpy(&sample, bytes.data() + i, 2);
        peak = std::max(peak, std::abs(int(sample)));
      }
      return peak;
    }
    at += 8 + size;
  }
  return -1;
}

TEST(EspeakSpeech, ATextBecomesAnAudibleWaveFile) {
  velmora::test::TempDir dir;
  const std::string wave = (dir.path() / "speech.wav").string();
  std::string error;
  std::unique_ptr<platform::SpeechBackend> espeak = platform::openEspeak(wave, error);
  if (!espeak) GTEST_SKIP() << error;
  espeak->speak("ようこそ。Welcome to the demo.", true);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (espeak->speaking() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_FALSE(espeak->speaking());
  EXPECT_GT(wavePeak(wave), 2000);
}

// A speech server on a socket of the test's: it answers every command, or
// falls silent from the first text it is asked to speak, or never answers.
class FakeSpeechServer {
 public:
  enum class Answers { UntilSpeak, Never };
  FakeSpeechServer(const std::string& path, Answers answers) : answers_(answers) {
    listener_ = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 4);
    ::setenv("SPEECHD_ADDRESS", ("unix_socket:" + path).c_str(), 1);
    thread_ = std::thread([this] { serve(); });
  }
  // Left running: a client thread the engine gave up on may still read from it.
  ~FakeSpeechServer() { thread_.detach(); }

 private:
  void serve() {
    const int client = accept(listener_, nullptr, nullptr);
    std::string line;
    char c = 0;
    while (answers_ == Answers::UntilSpeak && read(client, &c, 1) == 1) {
      line += c;
      if (c != '\n') continue;
      if (line.rfind("speak", 0) == 0 || line.rfind("SPEAK", 0) == 0) return;
      static const char kOk[] = "200 OK\r\n";
      if (write(client, kOk, sizeof kOk - 1) < 0) return;
      line.clear();
    }
  }
  Answers answers_;
  int listener_ = -1;
  std::thread thread_;
};

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A server that stops answering never holds the game: the start gives up on
// one that never answers; with one that hangs on a text, speaking returns at
// once, the speech counts as ended after a while, and closing does not wait.
TEST(SpeechDispatcherSpeech, AServerThatStopsAnsweringNeverHoldsTheGame) {
  velmora::test::TempDir dir;
  {
    FakeSpeechServer server((dir.path() / "hangs").string(), FakeSpeechServer::Answers::UntilSpeak);
    std::unique_ptr<platform::SpeechBackend> speech = platform::openSpeechDispatcher();
    if (!speech) GTEST_SKIP() << "no speech-dispatcher library";
    auto start = std::chrono::steady_clock::now();
    speech->speak("Welcome.", true);
    EXPECT_LT(secondsSince(start), 1.0);
    EXPECT_TRUE(speech->speaking());
    while (speech->speaking() && secondsSince(start) < 20) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(speech->speaking());
    start = std::chrono::steady_clock::now();
    speech.reset();
    EXPECT_LT(secondsSince(start), 2.0);
  }
  FakeSpeechServer silent((dir.path() / "silent").string(), FakeSpeechServer::Answers::Never);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(platform::openSpeechDispatcher(), nullptr);
  EXPECT_LT(secondsSince(start), 5.0);
}

}  // namespace
}  // namespace velmora::text::test

#include "save_game.h"

#include <cstdlib>
#include <string>

#include "audio/audio.h"
#include "bindings/catalogue.h"
#include "base/settings.h"
#include "base/snapshot.h"
#include "base/textconv.h"
#include "fuzz_support.h"
#include "image/image.h"
#include "movie/movie.h"
#include "platform/vclock.h"
#include "resource/packer.h"
#include "save/store.h"
#include "script/interp.h"
#include "script/library.h"
#include "script/loader.h"
#include "sprite/motion.h"
#include "sprite/picture.h"
#include "sprite/sprite.h"
#include "text/backlog.h"
#include "text/message.h"

namespace velmora::fuzz {
namespace {

void writePicture(const std::string& path, int w, int h, uint32_t colour) {
  image::Image* im = image::createImage(w, h, 32);
  for (int i = 0; i < w * h; ++i) im->pixels[i] = colour ^ uint32_t(i);
  image::saveImage(path.c_str(), im, image::kSavePng, 0, 1, 0);
  image::freeImage(im);
}

// Mono 16-bit square wave as a canonical WAVE file.
std::string waveFile(int frames) {
  auto le = [](std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s.push_back(char((v >> (8 * i)) & 255));
  };
  std::string w = "RIFF";
  le(w, 36 + uint32_t(frames) * 2, 4);
  w += "WAVEfmt ";
  le(w, 16, 4), le(w, 1, 2), le(w, 1, 2), le(w, 22050, 4), le(w, 44100, 4), le(w, 2, 2), le(w, 16, 2);
  w += "data";
  le(w, uint32_t(frames) * 2, 4);
  for (int i = 0; i < frames; ++i) le(w, uint32_t(int16_t((i / 50) % 2 ? 800 : -800)), 2);
  return w;
}

const char* const kStart = "*start\nprint 1\n*load_lb\nreturn\n";
const char* const kStory = "*story\nprint 1\nprint 2\nprint 3\nprint 4\nprint 5\nprint 6\n*story_end\nreturn\n";

// The game's pictures, sounds and movies go before the leak check at exit.
void tearDown() {
  text::releaseMessageWindow();
  movie::releaseMovies();
  audio::releaseSound();
  sprite::clearMotion();
  sprite::clearTable();
  sprite::clearCache();
  save::resetSaveSlots();
  script::releaseScriptTables();
}

}  // namespace

void setUpSaveGame() {
  static const bool done = [] {
    const std::string& folder = setUp();
    InFolder here;
    resetSettings();
    script::registerOwnCommands();
    bindings::registerCatalogue();
    sprite::bindSpriteCores();
    sprite::setScreenFacts({});
    sprite::setTextureLimits({});
    platform::setVirtualClock(true);
    writeFile("script.dat", resource::buildScriptFile({{"script/0.txt", kStart}, {"script/story.txt", kStory}}));
    script::releaseScriptTables();  // the seed maker loaded other scripts before
    if (!script::loadScriptIndex()) std::abort();
    if (!script::loadScript(crc64_hash(script::kStartScriptPath), script::slotLines(0))) std::abort();
    script::slotChanged(0);
    sprite::bindMotionCoresAndTracks();
    audio::setManualWorkers(true);
    audio::bindSoundCores();
    audio::createChannels();
    movie::bindMovieCores();
    clearSnapshotSections();
    save::registerSaveSections();
    movie::registerMovieSection();
    text::bindTextCores();
    text::registerTextSections();
    text::resetMessageWindow();
    save::bindSaveSlotCommands();
    script::ensureFolder(folder + "save/");
    writePicture("bg.png", 32, 24, 0xFF204060u);
    writePicture("a.png", 16, 8, 0xFFC08020u);
    writeFile("bgm.wav", waveFile(44100));
    writeFile("se.wav", waveFile(22050));
    std::atexit(tearDown);
    return true;
  }();
  (void)done;
}

void runCommand(const char* command, const std::string& args) {
  script::CommandHandler h = script::findCommand(command);
  if (!h) std::abort();
  h(utf8_to_sjis(args).c_str());
}

void buildSaveScene() {
  runCommand("sp", "900, \"bg.png\", 0, 1");
  runCommand("sp", "10, \"a.png\", 0, 1");
  runCommand("sp_xy", "10, 100, 50");
  runCommand("sp_ax", "10, 300, 1000, 0, 0x100");
  runCommand("sp_aa", "10, 255, 300, -2, 0x001");
  runCommand("sp_cut", "30, \"bg.png\", 0, 1, 4, 2, 8, 6");
  runCommand("sp_qx", "30, 6, 500, 0, 3, 1, 0");
  runCommand("spg", "5, 64, 32, 0");
  runCommand("sc_qy", "1, 3, 1000, 0, 0, 0, 0");
  runCommand("sd", "1, \"bgm.wav\", 0, 0, 80, -20, 0, 0");
  runCommand("sd", "3, \"se.wav\", 0, 0, 60, 10, 3, 0");
  runCommand("setMessXY", "10, 300, 0");
  runCommand("setMessWH", "20, 3, 24, 26, 0, 4");
  runCommand("setMessLog", "30, 10, 8, 4, 2, 1");
  runCommand("ssp_set", "\"ＭＳ ゴシック\", 20, 0, 0xFFFFFF, 0, 0");
  runCommand("ssp", "60, \"Hi, there\", 0");
  for (const char* page : {"一ページ目、です", "Two, with a comma"}) {
    text::BacklogEntry& e = text::currentEntry();
    const std::string t = utf8_to_sjis(page);
    std::copy(t.begin(), t.end(), e.text.begin());
    e.rows = 1;
    e.script = crc64_hash("script/story.txt");
    sprite::commitAll();
    text::closeEntry();
  }
  runCommand("int", "g_count");
  runCommand("cal", "%g_count = 12");
  runCommand("string", "g_who");
  runCommand("cal", "$g_who = \"Mio, 'the' cat\"");
  sprite::commitAll();
  platform::advanceVirtualClock(400);
  sprite::motionFrameStep();
}

}  // namespace velmora::fuzz

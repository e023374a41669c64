#pragma once
// A small game without a device: a start script and a sub-script packed into
// script.dat, pictures and looping sounds on disk, the engine wired as the
// executable wires it, time on the virtual clock. state() describes what
// a saved game must bring back, so that a round trip compares two texts.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/wiring.h"
#include "audio/audio.h"
#include "script/modes.h"
#include "base/report.h"
#include "base/snapshot.h"
#include "movie/movie.h"
#include "movie_pack.h"
#include "platform/platform.h"
#include "platform/vclock.h"
#include "resource/packer.h"
#include "save/screenshot.h"
#include "save/store.h"
#include "script/loader.h"
#include "sprite/motion.h"
#include "sprite/saved.h"
#include "sprite/sprite_fixture.h"
#include "text/backlog.h"
#include "text/message.h"

namespace velmora::save::test_support {

// Mono 16-bit samples of a quiet square wave as a canonical WAVE file.
inline std::string waveFile(int frames, int rate = 22050) {
  auto le = [](std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s.push_back(char((v >> (8 * i)) & 255));
  };
  std::string w = "RIFF";
  le(w, 36 + uint32_t(frames) * 2, 4);
  w += "WAVEfmt ";
  le(w, 16, 4), le(w, 1, 2), le(w, 1, 2), le(w, uint32_t(rate), 4), le(w, uint32_t(rate) * 2, 4), le(w, 2, 2),
      le(w, 16, 2);
  w += "data";
  le(w, uint32_t(frames) * 2, 4);
  for (int i = 0; i < frames; ++i) le(w, uint32_t(int16_t((i / 50) % 2 ? 800 : -800)), 2);
  return w;
}

constexpr const char* kStory = "script/story.txt";

class GameTest : public sprite::test::SpriteTest {
 protected:
  void SetUp() override {
    SpriteTest::SetUp();
    platform::setVirtualClock(true);
    velmora::test::writeFile("script.dat", resource::buildScriptFile({{"script/0.txt", startScript()},
                                                                      {kStory, storyScript()}}));
    ASSERT_TRUE(script::loadScriptIndex());
    ASSERT_TRUE(script::loadScript(crc64_hash(script::kStartScriptPath), script::slotLines(0)));
    script::slotChanged(0);
    audio::setManualWorkers(true);
    clearSnapshotSections();
    app::wireEngine();
    audio::createChannels();
    text::resetMessageWindow();
    sprite::test::writePicture("bg.png", 32, 24, 1);
    sprite::test::writePicture("a.png", 16, 8, 2);
    sprite::test::writePicture("mask.png", 16, 8, 3);
    velmora::test::writeFile("bgm.wav", waveFile(44100));
    velmora::test::writeFile("se.wav", waveFile(22050));
    velmora::test::writeFile("m.mjpg", movieFile());
  }
  // Two JPEG frames of 40 x 30, 100 ms apart, in a movie of 100 s.
  static std::string movieFile() {
    std::vector<tools::MjpgFrame> frames;
    for (uint32_t f = 0; f < 2; ++f) {
      image::Image* im = image::createImage(40, 30, 24);
      std::fill(im->pixels, im->pixels + im->count, f ? 0xFF2060A0u : 0xFFC08020u);
      image::saveImage("frame.jpg", im, image::kSaveJpeg, 24, 90, 0);
      image::freeImage(im);
      frames.push_back({f * 100, velmora::test::readFile("frame.jpg")});
    }
    std::string out, error;
    EXPECT_TRUE(tools::buildMjpgMovie(frames, 100000, "", out, error)) << error;
    return out;
  }
  void TearDown() override {
    text::releaseMessageWindow();
    text::window().layout = text::MessageLayout{};
    text::window().flow = text::MessageFlow{};
    text::spriteFont() = text::SpriteFont{};
    snapshotTextLink() = SnapshotTextLink{};
    script::resetModes();
    movie::releaseMovies();
    audio::releaseSound();
    sprite::clearMotion();
    resetSaveSlots();
    releaseScreenShot();
    script::releaseScriptTables();
    platform::setVirtualClock(false);
    SpriteTest::TearDown();
  }
  static std::string startScript() { return "*start\nprint 1\n*load_lb\nreturn\n*back\nprint 2\n"; }
  static std::string storyScript() {
    std::string s;
    for (int i = 0; i < 12; ++i) s += "print " + std::to_string(i) + "\n";
    return s + "*story_end\nreturn\n";
  }
  static void advance(uint32_t ms) { platform::advanceVirtualClock(ms); }

  // The interpreter as if it ran line `line` of the story, called from the
  // start script's line 1 part 0.
  static void positionInStory(int line) {
    script::Registers& r = script::registers();
    r.activeSlot = 1;
    r.subScriptKey = crc64_hash(kStory);
    r.currentLine = line;
  }

  // A scene with a bit of everything a snapshot holds.
  void buildScene() {
    run("sp", "900, \"bg.png\", 0, 1");
    run("sp", "10, \"a.png\", 0, 1");
    run("sp_xy", "10, 100, 50");
    run("sp_ax", "10, 300, 1000, 0, 0x100");
    run("sp_aa", "10, 0, 300, 2, 0x000");  // a fade out and in, looping
    run("sp_aa", "10, 255, 300, -2, 0x001");
    run("sp_st", "20, \"a.png\", 0, 40, 30, 0, 0");
    run("sp_mask", "20, \"mask.png\", 1, 300, 9");
    run("sp_am", "20, 1, 600, 800, 0, 0x100");
    run("sp_cut", "30, \"bg.png\", 0, 1, 4, 2, 8, 6");
    run("sp_neg", "30, 1");
    run("sp_qx", "30, 6, 500, 0, 3, 1, 0");
    run("spg", "5, 64, 32, 0");
    run("sp", "6, \"a.png\", 0, 1");
    run("sp_g", "6, 5");
    run("sp_o", "6, 2");
    run("sp", "7, \"a.png\", 8, 1");  // never saved
    run("sp_ani", "50, \"m.mjpg\", 0, 3, 1, 0");
    run("sc_qy", "1, 3, 1000, 0, 0, 0, 0");
    run("sd", "1, \"bgm.wav\", 0, 0, 80, -20, 0, 0");
    run("sd", "3, \"se.wav\", 0, 0, 60, 10, 3, 0");
    run("sd", "4, \"se.wav\", 0, 0, 50, 0, 1, 0");  // plays once: not saved
    buildMessageWindow();
    run("int", "g_count");
    run("cal", "%g_count = 12");
    run("string", "g_who, local");
    run("cal", "$g_who = \"Mio, 'the' cat\"");
    run("cal", "$local = \"not saved\"");
    sprite::commitAll();
    advance(400);
    sprite::motionFrameStep();
  }

  // The message window, a text sprite and three backlog pages.
  void buildMessageWindow() {
    run("setMessXY", "10, 300, 0");
    run("setMessWH", "20, 3, 24, 26, 0, 4");
    run("setMessLog", "30, 10, 8, 4, 2, 1");
    run("setMessLine", "500, 3");
    run("setMessIndent", "1, 2");
    run("setMessSpeed", "40, -1");
    run("setFontColor", "0xFF0000, -1");
    run("setMessCreate", "400, 200");
    run("ssp_set", utf8_to_sjis("\"ＭＳ ゴシック\", 20, 0, 0xFFFFFF, 0, 0"));
    run("ssp", "60, \"Hi, there\", 0");
    const char* pages[] = {"一ページ目、です", "Two, with a comma", "三"};
    for (int i = 0; i < 3; ++i) {
      text::BacklogEntry& e = text::currentEntry();
      const std::string t = utf8_to_sjis(pages[i]);
      std::copy(t.begin(), t.end(), e.text.begin());
      e.name[0] = char('A' + i);
      e.rows = i + 1;
      e.script = crc64_hash(kStory);
      e.line = 2 * i;
      e.saveDepth = i;
      sprite::commitAll();
      text::closeEntry();
    }
  }

  // Everything a loaded game must undo.
  void disturb() {
    for (int n : {900, 10, 20, 30, 5, 6}) run("sp_d", std::to_string(n));
    run("sp", "40, \"a.png\", 0, 1");
    sprite::commitAll();
    run("sc_qy", "1, 0, 100, 0, 0, 0, 0");
    run("sd_stop", "1, 0, 0");
    run("cal", "%g_count = 99");
    run("setMessSpeed", "5, -1");
    run("setMessXY", "0, 0, 1");
    run("ssp_set", "\"\", 10, 1, 2, 3, 4");
    text::resetBacklog();
    run("cal", "$g_who = \"nobody\"");
    advance(250);
  }

  // What a restored game must equal: sprites with tracks and quakes, screen
  // quakes, looping sounds, g_ variables.
  static std::string state() {
    std::ostringstream o;
    const uint32_t now = platform::nowMs();
    for (int n = 0; n < sprite::kSpriteCount; ++n) {
      sprite::SavedSprite s;
      if (!sprite::describeSprite(n, now, s) || (s.loadFlags & sprite::kLoadNoSave)) continue;
      o << "sprite " << n << " " << s.name << "|" << s.maskName << "|" << int(s.fontFace.empty() ? 0 : s.fontFace[0])
        << " o" << s.order << " g" << s.group << " key" << sprite::drawKey(n) << " cut" << s.cut[0] << "," << s.cut[1]
        << "," << s.cut[2] << "," << s.cut[3] << " fx" << s.effects[0] << " f" << s.loadFlags << " a" << s.alpha
        << " b" << s.blend << " c" << s.colour << " " << s.width << "x" << s.height << " @" << s.x << "," << s.y
        << " s" << s.scaleW << "," << s.scaleH << " r" << s.rotZ << " m" << s.maskReverse << "," << s.maskProgress
        << "," << s.maskVague << " fr" << s.frame << "/" << s.frames << " ed" << s.endDelete;
      const sprite::Slot* front = sprite::frontSlot(n);
      o << " pic" << (front->picture ? front->picture->width : 0) << " rt" << front->renderTarget << " mask"
        << (front->mask != nullptr) << " back" << (sprite::backSlot(n) != nullptr);
      for (int axis = 0; axis < 2; ++axis) {
        const sprite::SavedQuake q = sprite::savedSpriteQuake(n, axis, now);
        o << " q" << q.amplitude << "," << q.period << "," << q.count << "," << q.easing << "," << q.type << ","
          << q.elapsed;
      }
      for (int kind = 0; kind < sprite::kTrackKinds; ++kind)
        for (const sprite::SavedKey& k : sprite::savedKeys(n, kind, now))
          o << " k" << kind << ":" << k.elapsed << "," << k.flags << "," << k.repeat << "," << k.from << ","
            << k.to << "," << k.duration << "," << k.easing << "," << k.path;
      o << "\n";
    }
    for (int axis = 0; axis < 2; ++axis) {
      const sprite::SavedQuake q = sprite::savedScreenQuake(axis, now);
      if (q.amplitude) o << "screen " << q.amplitude << "," << q.period << "," << q.elapsed << "," << sprite::screenQuakeTargets(axis) << "," << q.offset << "\n";
    }
    for (int n = 1; n <= 4; ++n) {
      const audio::ChannelSnapshot c = audio::channelSnapshot(n);
      if (!c.name.empty() && c.loopCounter != 0) o << "sound " << n << " " << c.name << " " << c.loopCounter << " " << c.volumeTarget << " " << c.pan << "\n";
    }
    for (const auto& [n, m] : std::map<int, int>{{50, 0}}) {
      movie::MovieInfo info;
      if (movie::movieInfo(n, info))
        o << "movie " << n << " " << info.mode << "," << info.plays << "," << info.frameCount << "," << info.duration << "\n";
    }
    const text::Backlog& b = text::backlog();
    o << "backlog " << b.position << "," << b.count << "\n";
    for (int i = 0; i < text::kBacklogEntries; ++i) {
      const text::BacklogEntry& e = b.entries[size_t(i)];
      if (!e.text[0] && !e.rows) continue;
      o << "page " << i << " " << text::entryText(e) << "|" << text::entryName(e) << " " << e.rows << "," << e.script
        << "," << e.line << "," << e.saveDepth << " images";
      for (const auto& r : e.images)
        if (r[0]) o << " " << crc64_hash2(r.data(), r.size());
      o << "\n";
    }
    const text::MessageLayout& l = text::window().layout;
    const text::MessageFlow& f = text::window().flow;
    o << "layout " << l.originX << "," << l.originY << "," << l.aspectShift << "," << l.columns << "," << l.rows << ","
      << l.fontSize << "," << l.rowHeight << "," << l.charGap << "," << l.rowGap;
    for (int v : l.logValues) o << "," << v;
    o << " flow " << f.lineEndWait << "," << f.paragraphWait << "," << f.bracketIndent << "," << f.rowIndent;
    const CurrentTextState& t = currentText();
    o << " text " << t.textSpeed << "," << t.autoWait << "," << t.fontFile << "," << t.fontColor[0] << ","
      << t.fontColor[1] << "," << t.fontColor[2];
    const text::SpriteFont& sf = text::spriteFont();
    o << " sprite font " << sf.face << "," << sf.size << "," << sf.attr[0] << "," << sf.attr[1] << "," << sf.attr[2]
      << "," << sf.attr[3] << " history " << snapshotHistoryCount() << "\n";
    for (const char* v : {"g_count"}) o << v << "=" << *script::numericReference(std::string("%") + v) << "\n";
    o << "g_who=" << *script::stringReference("$g_who") << "\n";
    return o.str();
  }
};

}  // namespace velmora::save::test_support

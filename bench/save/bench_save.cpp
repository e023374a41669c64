// Saving and loading a busy scene: 200 sprites, a third of them moving or
// quaking, a full backlog of 200 pages with 16 image records each, fifty g_
// variables. Loads run with the pictures in the image cache, so that what is
// timed is the snapshot and not the PNG decoder.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "bindings/catalogue.h"
#include "base/settings.h"
#include "base/snapshot.h"
#include "base/state.h"
#include "base/textconv.h"
#include "image/image.h"
#include "resource/packer.h"
#include "save/store.h"
#include "script/interp.h"
#include "script/loader.h"
#include "sprite/motion.h"
#include "sprite/picture.h"
#include "sprite/sprite.h"
#include "text/backlog.h"
#include "text/message.h"

namespace {

using namespace velmora;

constexpr int kSprites = 200;

void run(const char* name, const std::string& args) { script::findCommand(name)(args.c_str()); }

void writePicture(const std::string& path, int w, int h) {
  image::Image* im = image::createImage(w, h, 32);
  for (int i = 0; i < im->count; ++i) im->pixels[i] = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
  image::saveImage(path.c_str(), im, image::kSavePng, 0, 6, 0);
  image::freeImage(im);
}

// The script machinery and the commands, once per process.
bool startEngine() {
  std::string lines = "*start\n*load_lb\nreturn\n";
  for (int i = 0; i < 100; ++i) lines += "print " + std::to_string(i) + "\n";
  std::string bytes = resource::buildScriptFile({{"script/0.txt", lines}});
  std::FILE* f = std::fopen("script.dat", "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  script::loadScriptIndex();
  script::loadScript(crc64_hash(script::kStartScriptPath), script::slotLines(0));
  script::slotChanged(0);
  script::registerOwnCommands();
  bindings::registerCatalogue();
  sprite::bindSpriteCores();
  sprite::bindMotionCoresAndTracks();
  save::registerSaveSections();
  text::registerTextSections();
  return true;
}

// A game folder of its own with the scene built in it.
class Scene {
 public:
  Scene() {
    char tmpl[] = "/tmp/velmora-bench-save-XXXXXX";
    folder_ = mkdtemp(tmpl);
    std::filesystem::current_path(folder_);
    runOptions().headless = true;
    setting(SettingKey::CacheMaxSize) = 256 << 20;
    static const bool engine = startEngine();
    (void)engine;
    for (int i = 0; i < 8; ++i) writePicture("p" + std::to_string(i) + ".png", 64 + 16 * i, 48);
    for (int n = 0; n < kSprites; ++n) {
      const std::string s = std::to_string(n);
      run("sp", s + ", \"p" + std::to_string(n % 8) + ".png\", 0, 1");
      run("sp_xy", s + ", " + std::to_string(n * 3) + ", " + std::to_string(n * 2));
      if (n % 3 == 0) run("sp_axy", s + ", 500, 300, 5000, 2, 0x000");
      if (n % 7 == 0) run("sp_qx", s + ", 4, 300, 0, 0, 0, 0");
    }
    for (int i = 0; i < 50; ++i) {
      run("int", "g_value" + std::to_string(i));
      run("string", "g_text" + std::to_string(i));
    }
    sprite::commitAll();
    // Every page a few rows of text, as long as a page usually is.
    const std::string row = utf8_to_sjis("星の見える丘で、二人は長いあいだ黙って空を見上げていた。");
    for (int page = 0; page < text::kBacklogEntries; ++page) {
      text::appendEntryText(row);
      text::appendRowSeparator(false);
      text::appendEntryText(row);
      text::setEntryName(utf8_to_sjis("ミナ"));
      text::closeEntry();
    }
  }
  ~Scene() {
    sprite::clearMotion();
    sprite::clearTable();
    sprite::clearCache();
    text::resetBacklog();
    std::filesystem::current_path("/");
    std::filesystem::remove_all(folder_);
  }

 private:
  std::string folder_;
};

void MakeAndSave(benchmark::State& state) {
  Scene scene;
  const bool binary = state.range(0) != 0;
  for (auto _ : state) {
    save::clearSave();
    save::makeSave();
    save::saveSlot(0, binary);
  }
  state.counters["bytes"] = double(save::currentSnapshot().size());
}
BENCHMARK(MakeAndSave)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void Load(benchmark::State& state) {
  Scene scene;
  const bool binary = state.range(0) != 0;
  save::saveSlot(0, binary);
  // The first load fills the image cache.
  if (!save::loadSlot(0, binary)) state.SkipWithError("the saved scene does not load");
  for (auto _ : state) save::loadSlot(0, binary);
  state.counters["sprites"] = double(sprite::groupMembers(0).size());
}
BENCHMARK(Load)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

// Writes the fuzz targets' seed corpora (fuzz/corpus/<target>/) from the
// engine's own writers: packed scripts and archives, settings and read
// marks, pictures in every format, sounds, movies, cursors and save slots.
// Run by hand when a format changes; the output is checked in.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "audio/sound_files.h"
#include "base/hash.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/state.h"
#include "fuzz_support.h"
#include "image/image.h"
#include "movie_pack.h"
#include "resource/packer.h"
#include "resource/resource.h"
#include "resource/script_names.h"
#include "save/settings_file.h"
#include "save/store.h"
#include "save_game.h"
#include "script/expression.h"
#include "script/loader.h"
#include "sprite/sprite.h"
#include "text/backlog.h"
#include "theora_encode.h"

namespace fs = std::filesystem;
using namespace velmora;

namespace {

fs::path root;

void put(const std::string& target, const std::string& name, const std::string& bytes) {
  fs::create_directories(root / target);
  std::ofstream(root / target / name, std::ios::binary) << bytes;
}

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = char(v >> (8 * i));
  return s;
}

const std::vector<resource::PackedMember>& kScripts = fuzz::readMarkScripts();

void scriptSeeds() {
  put("script_dat", "two_scripts", resource::buildScriptFile(kScripts));
  put("script_dat", "one_script", resource::buildScriptFile({kScripts[1]}));
  std::string inflated = resource::buildScriptFile({kScripts[1]});
  for (int i = 0; i < 4; ++i) inflated[21 + i] = char(~inflated[4 + i]);  // claims 0xFFFFFFFF bytes unpacked
  put("script_dat", "inflated_size", inflated);
  put("script_dat", "named_scripts", resource::buildScriptFile(kScripts, true));
  put("script_names", "named_scripts", resource::buildScriptFile(kScripts, true));
  std::string deep(4, '\0');
  resource::appendScriptNames(deep, {"script/0.txt", "script/chapter/one.txt", std::string(300, 'x')});
  put("script_names", "names_only", deep);
  resource::GameOptions unicode;
  unicode.utf8 = unicode.englishUi = true;
  put("game_options", "named_unicode", resource::buildScriptFile(kScripts, true, unicode));
  put("game_options", "unnamed_unicode", resource::buildScriptFile(kScripts, false, unicode));
  put("script_dat", "unicode", resource::buildScriptFile(kScripts, true, unicode));
}

void archiveSeeds() {
  std::vector<resource::PackedMember> members = {
      {"bg/sky.png", std::string(300, 'p')}, {"se/click.wav", "RIFF....WAVE"}, {"a.txt", "hello"}};
  put("archive", "plain", resource::buildArchive(members, false));
  put("archive", "masked", resource::buildArchive(members, true));
}

void settingsSeeds() {
  resetSettings();
  script::setNamedInteger("s_count", 12);
  script::setNamedString("s_name", "\x96\xbc\x91\x4f");
  save::setSaveProtect(3, 1);
  const std::string text = save::buildSettingsText();
  put("settings", "text", "\x01" + text);
  const std::string packedPath = (root / "packed.tmp").string();
  resource::writeDataFile(packedPath.c_str(), true, text);
  put("settings", "packed", std::string(1, '\0') + readAll(packedPath));
  fs::remove(packedPath);
  // Volumes and a mute at the ends of int: the sound gains multiply them.
  std::string hostile = text;
  for (const auto& [from, to] : {std::pair<const char*, const char*>{"MasterVolume = 100", "MasterVolume = -2147483648"},
                                 {"MasterMute = 1", "MasterMute = 2147483647"},
                                 {"BgmVolume = 100", "BgmVolume = 2147483647"}})
    hostile.replace(hostile.find(from), std::strlen(from), to);
  put("settings", "hostile_volumes", "\x01" + hostile);
  put("settings", "player", "\x02" + settingKeyLines(kFirstEngineKey));
}

void alreadySeeds() {
  const std::string path = (root / "script.tmp").string();
  std::ofstream(path, std::ios::binary) << resource::buildScriptFile(kScripts);
  std::string fatal;
  script::loadScriptIndex(path.c_str(), &fatal);
  fs::remove(path);
  for (const auto& [key, blocks] : script::allTextBlocks())
    for (auto& [line, flag] : *script::textBlocks(key)) flag = line & 1;
  const std::string text = text::alreadyReadText();
  put("already", "text", "\x01" + text);
  const std::string packedPath = (root / "packed.tmp").string();
  resource::writeDataFile(packedPath.c_str(), true, text);
  put("already", "packed", std::string(1, '\0') + readAll(packedPath));
  fs::remove(packedPath);
  std::string gone;  // scripts that no longer exist: one box for them all
  for (int i = 0; i < 500; ++i) gone += "S" + scriptName(crc64_hash("script/gone" + std::to_string(i))) + "=1\r\n";
  put("already", "gone_scripts", "\x01" + gone);
}

void expressionSeeds() {
  const char* const expressions[] = {
      "1+2*3",        "(%a+4)/2",   "%x[3]",        "$s+\"abc\"", "-%b%7",        "%v == 3 && %w != 4",
      "%name + 1",    "$t[2]",      "0x1F & 0xF0",  "!1 || 2",    "\"a\" == \"a\"", "len(\"abc\")",
      "%a << 2 >> 1", "~5 ^ 3",     "((1))",        "%_v_3",      "$s == \"\x82\xa0\""};
  int n = 0;
  for (const char* e : expressions) put("expression", "e" + std::to_string(n++), e);
}

void partsSeeds() {
  put("parts", "commas", ",1, 2 ,\"three\",%a,$b");
  put("parts", "slashes", "/bg/sky.png/ 0 / 1");
  put("parts", "sjis", ",\x82\xa0\x2c\x82\xa2,x");
}

void soundSeeds() {
  std::vector<int16_t> samples;
  for (int i = 0; i < 64; ++i) samples.push_back(int16_t(i * 500 - 16000));
  put("wave", "mono", test::waveBytes(samples, 1, 22050));
  put("wave", "stereo_chunked", test::chunkedWaveBytes(samples, 2, 44100));
  auto sine = [](int64_t frame, int) { return float((frame % 100) / 50.0 - 1.0) * 0.3f; };
  put("vorbis", "loop_sample", test::vorbisBytes(2048, 22050, {"COMMENT=setSample 0,1000,2000"}, sine));
  put("vorbis", "loop_time", test::vorbisBytes(1024, 8000, {"LOOP=setTime 0,10,100", "TITLE=x"}, sine));
  put("loop_comment", "sample", std::string(1, '\0') + "COMMENT=setSample 0,44100,441000");
  put("loop_comment", "time", "\x01LOOP=setTime 10, 20 ,30");
  put("loop_comment", "bad_count", std::string(1, '\0') + "COMMENT=setSample 1,2");
}

// A small JPEG through libjpeg directly, so that the segments the engine's
// own writer never makes (progressive scans, restart markers, comments,
// grey) are in the corpus too.
std::string jpeg(int w, int h, int components, bool progressive, int restart, bool comment) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = w, c.image_height = h, c.input_components = components;
  c.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 70, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  c.restart_interval = restart;
  jpeg_start_compress(&c, TRUE);
  if (comment) jpeg_write_marker(&c, JPEG_COM, reinterpret_cast<const JOCTET*>("seed"), 4);
  std::vector<unsigned char> row(size_t(w) * components);
  for (int y = 0; y < h; ++y) {
    for (size_t x = 0; x < row.size(); ++x) row[x] = static_cast<unsigned char>(x * 7 + y * 13);
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::string bytes(reinterpret_cast<char*>(out), size);
  std::free(out);
  return bytes;
}

std::string savedPicture(image::Image* picture, int format, int depth) {
  const std::string path = (root / "picture.tmp").string();
  image::saveImage(path.c_str(), picture, format, depth, format == image::kSavePng ? 6 : 80, 0);
  std::string bytes = readAll(path);
  fs::remove(path);
  return bytes;
}

image::Image* testPicture(int w, int h) {
  image::Image* p = image::createImage(w, h, 32);
  for (int32_t i = 0; i < p->count; ++i) p->pixels[i] = 0x80000000u * uint32_t(i & 1) + uint32_t(i) * 0x010305u;
  return p;
}

void pictureSeeds() {
  image::Image* p = testPicture(9, 7);
  put("image_png", "rgba", savedPicture(p, image::kSavePng, 32));
  put("image_png", "rgb", savedPicture(p, image::kSavePng, 24));
  put("image_bmp", "bgr24", savedPicture(p, image::kSaveBmp, 24));
  put("image_bmp", "bgra32", savedPicture(p, image::kSaveBmp, 32));
  put("image_tlg", "tlg_own", savedPicture(p, image::kSaveTlg, 32));
  put("image_jpeg", "baseline", savedPicture(p, image::kSaveJpeg, 24));
  put("image_jpeg", "progressive", jpeg(17, 9, 3, true, 0, false));
  put("image_jpeg", "restart_comment", jpeg(24, 16, 3, false, 1, true));
  put("image_jpeg", "grey", jpeg(8, 8, 1, false, 0, true));
  image::freeImage(p);
}

void movieSeeds() {
  image::Image* p = testPicture(8, 8);
  std::string frame = jpeg(8, 8, 3, false, 0, false), png = savedPicture(p, image::kSavePng, 32);
  image::freeImage(p);
  std::string out, error;
  tools::buildMjpgMovie({{0, frame}, {100, ""}, {200, png}}, 300, "", out, error);
  put("movie", "mjpg", out);
  std::vector<int16_t> samples(32, 1000);
  tools::buildMjpgMovie({{0, frame}}, 100, test::waveBytes(samples, 1, 8000), out, error);
  put("movie", "mjpg_sound", out);
  std::string video = tools::encodeTheora(16, 16, 10, 1, 3, [](int f, std::vector<uint32_t>& px) {
    for (size_t i = 0; i < px.size(); ++i) px[i] = 0xFF000000u | uint32_t(i * 4 + f * 40);
  });
  if (tools::buildTheoraMovie(video, "", out, error)) put("movie", "theora", out);
}

std::string chunk(const char* id, const std::string& body) {
  std::string s = std::string(id, 4) + le32(uint32_t(body.size())) + body;
  if (body.size() & 1) s += '\0';
  return s;
}

// A 2 x 2 32-bit .cur with its AND mask.
std::string tinyCursor(uint8_t hotX, uint32_t colour) {
  std::string dib = le32(40) + le32(2) + le32(4) + std::string("\1\0\x20\0", 4) + std::string(24, '\0');
  for (int i = 0; i < 4; ++i) dib += le32(colour);
  dib += std::string("\x40\0\0\0\0\0\0\0", 8);
  std::string entry = std::string("\2\2\0\0", 4) + char(hotX) + std::string(3, '\0') + le32(uint32_t(dib.size())) + le32(22);
  return std::string("\0\0\2\0\1\0", 6) + entry + dib;
}

void cursorSeeds() {
  put("cursor", "cur", tinyCursor(1, 0x336699));
  std::string anih(36, '\0');
  anih[28] = 6;
  std::string frames = "fram" + chunk("icon", tinyCursor(0, 0x111111)) + chunk("icon", tinyCursor(0, 0x222222));
  std::string body = "ACON" + chunk("anih", anih) + chunk("seq ", le32(1) + le32(0) + le32(1)) +
                     chunk("rate", le32(3)) + chunk("LIST", frames);
  put("cursor", "ani", chunk("RIFF", body));
}

// Slot files of a scene with every section, one with a history of pushed
// snapshots; the packed ones as the text inside (the target packs it).
void saveSeeds() {
  fuzz::setUpSaveGame();
  fuzz::InFolder here;
  fuzz::buildSaveScene();
  save::setSaveComment("\x89\x4a\x82\xcc\x91\x4f, before");
  save::saveSlot(1, false);
  const std::string single = readAll(save::slotPath(1, false));
  put("save", "text", std::string(1, '\0') + single);
  put("save", "packed", "\x01" + single);
  save::clearSave();
  save::pushSave(false, "");
  fuzz::runCommand("cal", "%g_count = 13");
  save::clearSave();
  save::pushSave(true, "*story_end");
  save::clearSave();
  save::saveSlot(2, false);
  const std::string history = readAll(save::slotPath(2, false));
  put("save", "history", std::string(1, '\0') + history);
  // A history whose oldest snapshots were dropped names how many.
  const size_t last = history.rfind("Comment=");
  put("save", "history_base", std::string(1, '\0') + history.substr(0, last) + "HistoryBase=3\n" + history.substr(last));
  // Values at the ends of int: keys spanning all of it, a position and a
  // size beyond it, and the render target made 16384 x 16384.
  save::clearSave();
  fuzz::runCommand("sp_ax", "10, -2147483648, 2147483647, 1000, 0");
  fuzz::runCommand("sp_arz", "30, -2147483648, 5000, 9, 0");
  fuzz::runCommand("sp_xy", "60, 2147483647, -2147483648");
  fuzz::runCommand("sp_wh", "60, 2147483647, 100");
  sprite::commitAll();
  save::saveSlot(3, false);
  std::string hostile = readAll(save::slotPath(3, false));
  const size_t target = hostile.rfind("\nImage5=");  // the current snapshot, after the history
  hostile.replace(hostile.find(",64,32,", target), 7, ",16384,16384,");
  put("save", "hostile_values", std::string(1, '\0') + hostile);
  // g_ texts the quoted form cannot carry: a line feed, a "'," before "name='".
  script::setNamedString("g_lines", "one\ntwo");
  script::setNamedString("g_cut", "a', g_who='b");
  save::clearSave();
  save::saveSlot(3, false);
  put("save", "escaped_strings", std::string(1, '\0') + readAll(save::slotPath(3, false)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds CORPUS_DIR\n");
    return 2;
  }
  root = fs::absolute(argv[1]);
  runOptions().headless = true;
  scriptSeeds();
  archiveSeeds();
  settingsSeeds();
  alreadySeeds();
  expressionSeeds();
  partsSeeds();
  soundSeeds();
  pictureSeeds();
  movieSeeds();
  cursorSeeds();
  saveSeeds();
  return 0;
}

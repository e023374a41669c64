// Draws the demo game's pictures, so that the repository holds no binary art:
// a night sky for the title, a character silhouette, a logo in block letters,
// a button, a glow for additive blending, the message window's panels and
// click-wait marker, the opening's dusk scene and the grey mask of its
// transition.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "image/image.h"

namespace {

using velmora::image::Image;

uint32_t argb(int a, int r, int g, int b) {
  auto c = [](int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
  return c(a) << 24 | c(r) << 16 | c(g) << 8 | c(b);
}

uint32_t& px(Image* im, int x, int y) { return im->pixels[static_cast<size_t>(y) * im->width + x]; }

// New images hold whatever memory held: start from transparent black.
Image* blank(int w, int h, int depth) {
  Image* im = velmora::image::createImage(w, h, depth);
  std::fill(im->pixels, im->pixels + im->count, 0u);
  return im;
}

bool save(Image* im, const std::filesystem::path& path) {
  std::filesystem::create_directories(path.parent_path());
  bool ok = velmora::image::saveImage(path.c_str(), im, velmora::image::kSavePng, im->depth, 9, 0) == 1;
  velmora::image::freeImage(im);
  if (!ok) std::fprintf(stderr, "demo_art: cannot write %s\n", path.c_str());
  return ok;
}

Image* sky(int w, int h) {
  Image* im = velmora::image::createImage(w, h, 24);
  uint32_t seed = 12345;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double t = static_cast<double>(y) / h;
      px(im, x, y) = argb(255, static_cast<int>(20 + 70 * t), static_cast<int>(18 + 30 * t), static_cast<int>(60 + 60 * t));
    }
  for (int i = 0; i < 400; ++i) {  // stars
    seed = seed * 1103515245u + 12345u;
    int x = static_cast<int>(seed >> 8) % w;
    seed = seed * 1103515245u + 12345u;
    int y = static_cast<int>(seed >> 8) % (h * 2 / 3);
    int v = 150 + static_cast<int>(seed % 100);
    px(im, x, y) = argb(255, v, v, v + 20);
  }
  const double mx = w * 0.78, my = h * 0.22, mr = h * 0.09;  // moon
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double d = std::hypot(x - mx, y - my);
      if (d < mr) px(im, x, y) = argb(255, 250, 244, 214);
      else if (d < mr * 2.2) {
        uint32_t p = px(im, x, y);
        int k = static_cast<int>(40 * (1 - (d - mr) / (mr * 1.2)));
        px(im, x, y) = argb(255, ((p >> 16) & 255) + k, ((p >> 8) & 255) + k, (p & 255) + k);
      }
    }
  for (int x = 0; x < w; ++x) {  // hills
    double top = h * (0.78 + 0.06 * std::sin(x * 0.006) + 0.03 * std::sin(x * 0.017 + 1.3));
    for (int y = static_cast<int>(top); y < h; ++y) px(im, x, y) = argb(255, 16, 22, 38);
  }
  return im;
}

Image* silhouette(int w, int h) {
  Image* im = blank(w, h, 32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double hx = (x - w * 0.5) / (w * 0.17), hy = (y - h * 0.2) / (h * 0.12);
      double bx = (x - w * 0.5) / (w * (0.2 + 0.25 * std::max(0.0, (y - h * 0.32) / (h * 0.7))));
      bool head = hx * hx + hy * hy < 1, body = y > h * 0.3 && std::fabs(bx) < 1;
      if (head || body) px(im, x, y) = argb(255, 230 - y / 6, 150 + y / 10, 190);
    }
  return im;
}

// 5 x 7 block letters for the logo.
const char* const kLetters[] = {"V...V V...V V...V V...V .V.V. .V.V. ..V..", "EEEEE E.... E.... EEEE. E.... E.... EEEEE",
                                "L.... L.... L.... L.... L.... L.... LLLLL", "M...M MM.MM M.M.M M.M.M M...M M...M M...M",
                                ".OOO. O...O O...O O...O O...O O...O .OOO.", "RRRR. R...R R...R RRRR. R.R.. R..R. R...R",
                                "..A.. .A.A. A...A AAAAA A...A A...A A...A"};

Image* logo(int cell) {
  const int letters = 7, w = letters * 6 * cell, h = 9 * cell;
  Image* im = blank(w, h, 32);
  for (int l = 0; l < letters; ++l)
    for (int row = 0; row < 7; ++row)
      for (int col = 0; col < 5; ++col) {
        if (kLetters[l][row * 6 + col] == '.') continue;
        for (int y = 0; y < cell; ++y)
          for (int x = 0; x < cell; ++x)
            px(im, (l * 6 + col) * cell + x, (row + 1) * cell + y) = argb(255, 255, 236 - row * 12, 180 + row * 8);
      }
  return im;
}

Image* glow(int size) {
  Image* im = blank(size, size, 32);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      double d = std::hypot(x - size / 2.0, y - size / 2.0) / (size / 2.0);
      int a = d < 1 ? static_cast<int>(255 * (1 - d) * (1 - d)) : 0;
      px(im, x, y) = argb(a, 255, 210, 120);
    }
  return im;
}

Image* button(int w, int h) {
  Image* im = blank(w, h, 32);
  const int r = h / 2;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int cx = std::clamp(x, r, w - r);
      if (std::hypot(x - cx, y - r) < r) px(im, x, y) = argb(200, 60 + y, 50 + y, 110 + y);
    }
  return im;
}

// A rounded panel: fill and a one-pixel rim, for the message window, the
// name plate and the backlog screen.
Image* panel(int w, int h, int radius, uint32_t fill, uint32_t rim) {
  Image* im = blank(w, h, 32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int cx = std::clamp(x, radius, w - 1 - radius), cy = std::clamp(y, radius, h - 1 - radius);
      const double d = std::hypot(x - cx, y - cy);
      if (d < radius - 2) px(im, x, y) = fill;
      else if (d < radius) px(im, x, y) = rim;
    }
  return im;
}

// The opening's scene: a warm dusk over a dark horizon.
Image* dusk(int w, int h) {
  Image* im = velmora::image::createImage(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double t = static_cast<double>(y) / h;
      const bool ground = y > h * 0.78 - 18 * std::sin(x * 0.006);
      px(im, x, y) = ground ? argb(255, 30, 22, 40)
                            : argb(255, static_cast<int>(240 - 120 * t), static_cast<int>(150 - 90 * t),
                                   static_cast<int>(90 + 60 * t));
    }
  return im;
}

// The click-wait marker: a small downward triangle.
Image* marker(int size) {
  Image* im = blank(size, size, 32);
  for (int y = 0; y < size * 2 / 3; ++y)
    for (int x = 0; x < size; ++x)
      if (std::abs(x - size / 2) <= (size * 2 / 3 - y) * 3 / 4) px(im, x, y) = argb(255, 255, 230, 150);
  return im;
}

Image* black(int w, int h) {
  Image* im = velmora::image::createImage(w, h, 24);
  std::fill(im->pixels, im->pixels + im->count, 0xFF000000u);
  return im;
}

// The mask transition's grey ramp: dark first, so the night opens from the
// moon outwards with a rippled edge.
Image* mask(int w, int h) {
  Image* im = velmora::image::createImage(w, h, 24);
  const double mx = w * 0.78, my = h * 0.22, far = std::hypot(w, h) * 0.85;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double d = std::hypot(x - mx, y - my), a = std::atan2(y - my, x - mx);
      const int v = std::clamp(static_cast<int>(255 * d / far + 24 * std::sin(9 * a)), 0, 255);
      px(im, x, y) = argb(255, v, v, v);
    }
  return im;
}

// The title menu's labels: 5 x 7 letters, one string of rows per character.
struct Glyph {
  char c;
  const char* rows;
};
const Glyph kFont[] = {
    {'A', ".###.#...##...#######...##...##...#"}, {'B', "####.#...#####.#...##...##...#####."},
    {'C', ".#####....#....#....#....#.....####"}, {'D', "####.#...##...##...##...##...#####."},
    {'E', "######....####.#....#....#....#####"}, {'F', "######....####.#....#....#....#...."},
    {'G', ".#####....#....#..###...##...#.###."}, {'I', "#####..#....#....#....#....#..#####"},
    {'K', "#...##..#.###..#..#.#...##...##...#"}, {'L', "#....#....#....#....#....#....#####"},
    {'M', "#...###.###.#.##...##...##...##...#"}, {'N', "#...###..##.#.##..###...##...##...#"},
    {'O', ".###.#...##...##...##...##...#.###."}, {'P', "####.#...##...#####.#....#....#...."},
    {'Q', ".###.#...##...##...##.#.##..#..##.#"}, {'R', "####.#...##...#####.#.#..#..#.#...#"},
    {'S', ".#####....#.....###.....#....#####."}, {'T', "#####..#....#....#....#....#....#.."},
    {'U', "#...##...##...##...##...##...#.###."}, {'V', "#...##...##...##...#.#.#..#.#...#.."},
    {'W', "#...##...##...##.#.##.#.###.###...#"}, {'+', ".......#....#..#####..#....#......."},
    {'-', "...............#####..............."},
};

Image* label(const char* text, int cell) {
  const int n = static_cast<int>(std::strlen(text)), w = n * 6 * cell, h = 7 * cell;
  Image* im = blank(w, h, 32);
  for (int i = 0; i < n; ++i)
    for (const Glyph& g : kFont) {
      if (g.c != text[i]) continue;
      for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col) {
          if (g.rows[row * 5 + col] != '#') continue;
          for (int y = 0; y < cell; ++y)
            for (int x = 0; x < cell; ++x) px(im, (i * 6 + col) * cell + x, row * cell + y) = argb(255, 250, 246, 230);
        }
    }
  return im;
}

Image* bar(int w, int h) {
  Image* im = blank(w, h, 32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px(im, x, y) = argb(230, 240, 200, 110);
  return im;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: demo_art OUT_DIR\n");
    return 2;
  }
  const std::filesystem::path out = argv[1];
  bool ok = save(sky(1280, 720), out / "bg/title.png");
  ok = save(silhouette(360, 560), out / "chara/heroine.png") && ok;
  ok = save(logo(12), out / "ui/logo.png") && ok;
  ok = save(glow(256), out / "fx/glow.png") && ok;
  ok = save(button(320, 64), out / "ui/button.png") && ok;
  ok = save(panel(1200, 190, 18, argb(244, 18, 22, 48), argb(235, 170, 180, 230)), out / "ui/window.png") && ok;
  ok = save(panel(240, 44, 14, argb(230, 70, 50, 110), argb(245, 220, 200, 250)), out / "ui/nameplate.png") && ok;
  ok = save(panel(1240, 680, 24, argb(225, 8, 10, 26), argb(240, 120, 130, 190)), out / "ui/backlog.png") && ok;
  ok = save(marker(24), out / "ui/marker.png") && ok;
  ok = save(dusk(1280, 720), out / "bg/dusk.png") && ok;
  ok = save(black(1280, 720), out / "bg/black.png") && ok;
  ok = save(mask(1280, 720), out / "fx/mask.png") && ok;
  ok = save(button(96, 48), out / "ui/button_small.png") && ok;
  ok = save(bar(300, 16), out / "ui/bar.png") && ok;
  ok = save(panel(600, 104, 12, argb(190, 30, 34, 70), argb(235, 150, 160, 220)), out / "ui/slot.png") && ok;
  ok = save(button(240, 56), out / "ui/button_mid.png") && ok;
  for (const char* word : {"START", "LOAD", "SETTINGS", "QUIT", "BGM", "SE", "SPEED", "WINDOW", "FULL", "BACK", "+", "-"}) {
    std::string name = word[0] == '+' ? "plus" : word[0] == '-' ? "minus" : word;
    for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    ok = save(label(word, 4), out / ("ui/label_" + name + ".png")) && ok;
  }
  return ok ? 0 : 1;
}

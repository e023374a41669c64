// The starter game's pictures, drawn from shapes so that the tool carries no
// picture files: four backgrounds, a guide character, the message window,
// buttons, panels and the click-wait marker. Edges are smoothed by coverage.
#include "starter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "image/image.h"

namespace velmora::tools {
namespace {

namespace fs = std::filesystem;
using image::Image;

struct Rgb {
  double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Signed distance to a rectangle with rounded corners (negative inside).
double roundRectDistance(double x, double y, double x0, double y0, double x1, double y1, double r) {
  const double qx = std::abs(x - (x0 + x1) / 2) - ((x1 - x0) / 2 - r), qy = std::abs(y - (y0 + y1) / 2) - ((y1 - y0) / 2 - r);
  return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - r;
}

// A picture being drawn: straight ARGB, every shape blended over what is there.
class Canvas {
 public:
  Canvas(int w, int h, bool opaque) : w_(w), h_(h), opaque_(opaque) {
    image_ = image::createImage(w, h, opaque ? 24 : 32);
    std::fill(image_->pixels, image_->pixels + image_->count, opaque ? 0xFF000000u : 0u);
  }
  ~Canvas() {
    if (image_) image::freeImage(image_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  int width() const { return w_; }
  int height() const { return h_; }

  // Over: colour c at opacity a (0..1).
  void blend(int x, int y, Rgb c, double a) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_ || a <= 0) return;
    uint32_t& p = image_->pixels[static_cast<size_t>(y) * w_ + x];
    a = std::min(a, 1.0);
    const double da = ((p >> 24) & 255) / 255.0, oa = a + da * (1 - a);
    auto channel = [&](int shift, double v) {
      const double d = (p >> shift) & 255;
      return oa > 0 ? (v * a + d * da * (1 - a)) / oa : 0.0;
    };
    const double r = channel(16, c.r), g = channel(8, c.g), b = channel(0, c.b);
    auto byte = [](double v) { return static_cast<uint32_t>(std::clamp(std::lround(v), 0l, 255l)); };
    p = byte(opaque_ ? 255 : oa * 255) << 24 | byte(r) << 16 | byte(g) << 8 | byte(b);
  }

  // Vertical gradient through colour stops at fractions of the height.
  void gradient(const std::vector<std::pair<double, Rgb>>& stops) {
    for (int y = 0; y < h_; ++y) {
      const double t = static_cast<double>(y) / (h_ - 1);
      Rgb c = stops.front().second;
      for (size_t i = 1; i < stops.size(); ++i)
        if (t >= stops[i - 1].first)
          c = mix(stops[i - 1].second, stops[i].second,
                  (t - stops[i - 1].first) / std::max(1e-9, stops[i].first - stops[i - 1].first));
      for (int x = 0; x < w_; ++x) blend(x, y, c, 1);
    }
  }

  // A shape given by its signed distance (negative inside), with a soft
  // edge of about one pixel, or a wider glow when soft > 1.
  template <typename Distance>
  void shape(int x0, int y0, int x1, int y1, Rgb c, double alpha, Distance d, double soft = 1.0) {
    for (int y = std::max(0, y0); y < std::min(h_, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(w_, x1); ++x) {
        const double cover = std::clamp(0.5 - d(x + 0.5, y + 0.5) / soft, 0.0, 1.0);
        blend(x, y, c, alpha * cover);
      }
  }

  void circle(double cx, double cy, double r, Rgb c, double alpha, double soft = 1.0) {
    const int m = static_cast<int>(r + soft) + 2;
    shape(int(cx) - m, int(cy) - m, int(cx) + m, int(cy) + m, c, alpha,
          [&](double x, double y) { return std::hypot(x - cx, y - cy) - r; }, soft);
  }

  void roundRect(double x0, double y0, double x1, double y1, double r, Rgb c, double alpha) {
    shape(int(x0) - 1, int(y0) - 1, int(x1) + 2, int(y1) + 2, c, alpha,
          [&](double x, double y) { return roundRectDistance(x, y, x0, y0, x1, y1, r); });
  }

  // Ground: everything below a curve y = top(x).
  template <typename Top>
  void ground(Rgb c, Top top) {
    for (int x = 0; x < w_; ++x) {
      const double t = top(x + 0.5);
      for (int y = std::max(0, static_cast<int>(t) - 1); y < h_; ++y) blend(x, y, c, std::clamp(y + 1.0 - t, 0.0, 1.0));
    }
  }

  bool save(const fs::path& path) {
    fs::create_directories(path.parent_path());
    const bool ok = image::saveImage(path.c_str(), image_, image::kSavePng, image_->depth, 9, 0) == 1;
    if (!ok) std::fprintf(stderr, "velmora-pack: cannot write %s\n", path.c_str());
    return ok;
  }

 private:
  int w_, h_;
  bool opaque_;
  Image* image_ = nullptr;
};

constexpr int kWidth = 1280, kHeight = 720;

// A small fixed generator, so that every new game gets the same pictures.
struct Random {
  uint32_t state;
  double next() {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) / 16777216.0;
  }
};

void stars(Canvas& c, int count, double maxY, uint32_t seed) {
  Random r{seed};
  for (int i = 0; i < count; ++i) {
    const double x = r.next() * kWidth, y = r.next() * maxY, size = 0.6 + r.next() * r.next() * 1.8;
    c.circle(x, y, size, {255, 250, 235}, 0.45 + 0.55 * r.next());
  }
}

bool titleBackground(const fs::path& out) {
  Canvas c(kWidth, kHeight, true);
  c.gradient({{0, {18, 24, 58}}, {0.55, {70, 60, 120}}, {0.78, {220, 140, 150}}, {1, {250, 200, 170}}});
  stars(c, 220, kHeight * 0.5, 7);
  c.circle(940, 560, 150, {255, 220, 190}, 0.35, 120);  // the glow of a rising sun
  Random r{11};
  for (int i = 0; i < 26; ++i)  // soft lights drifting in the air
    c.circle(r.next() * kWidth, 250 + r.next() * 380, 10 + r.next() * 34, {255, 236, 220}, 0.06 + 0.1 * r.next(), 6);
  c.ground({90, 70, 120}, [](double x) { return 560 + 40 * std::sin(x * 0.004 + 1) + 14 * std::sin(x * 0.013); });
  c.ground({44, 36, 78}, [](double x) { return 610 + 30 * std::sin(x * 0.006 + 2.5) + 10 * std::sin(x * 0.021); });
  return c.save(out);
}

bool eveningBackground(const fs::path& out) {
  Canvas c(kWidth, kHeight, true);
  c.gradient({{0, {40, 44, 104}}, {0.45, {150, 90, 140}}, {0.7, {245, 150, 110}}, {1, {255, 200, 140}}});
  stars(c, 40, kHeight * 0.3, 3);
  c.circle(300, 430, 60, {255, 236, 190}, 0.9, 3);  // the low sun
  c.circle(300, 430, 140, {255, 210, 160}, 0.25, 90);
  Random r{5};
  for (int x = 0; x < kWidth;) {  // the town: blocks with lit windows
    const int w = 40 + static_cast<int>(r.next() * 70), h = 60 + static_cast<int>(r.next() * 150);
    const double top = 600 - h;
    c.roundRect(x, top, x + w - 4, 640, 2, {70, 52, 92}, 1);
    for (int wy = static_cast<int>(top) + 10; wy < 590; wy += 18)
      for (int wx = x + 8; wx < x + w - 14; wx += 14)
        if (r.next() < 0.35) c.roundRect(wx, wy, wx + 6, wy + 8, 1, {255, 220, 140}, 0.9);
    x += w;
  }
  c.ground({52, 40, 66}, [](double x) { return 620 + 50 * std::exp(-std::pow((x - 900) / 380, 2)) * -1 + 8 * std::sin(x * 0.02); });
  return c.save(out);
}

bool nightBackground(const fs::path& out) {
  Canvas c(kWidth, kHeight, true);
  c.gradient({{0, {6, 8, 26}}, {0.6, {20, 30, 70}}, {1, {40, 54, 100}}});
  for (int i = 0; i < 60; ++i)  // a faint band of the galaxy
    c.circle(100 + i * 20.0, 60 + i * 7.5 + 30 * std::sin(i * 0.7), 70, {160, 170, 230}, 0.05, 60);
  stars(c, 700, kHeight * 0.85, 19);
  Random r{23};
  for (int i = 0; i < 12; ++i) {  // bright stars with a glint
    const double x = r.next() * kWidth, y = r.next() * 420;
    c.circle(x, y, 2.2, {255, 255, 240}, 1);
    c.circle(x, y, 9, {200, 210, 255}, 0.25, 8);
  }
  c.ground({10, 14, 30}, [](double x) { return 600 + 60 * std::exp(-std::pow((x - 900) / 380, 2)) * -1 + 10 * std::sin(x * 0.015); });
  return c.save(out);
}

bool roomBackground(const fs::path& out) {
  Canvas c(kWidth, kHeight, true);
  c.gradient({{0, {120, 96, 90}}, {0.7, {190, 160, 140}}, {0.72, {120, 84, 60}}, {1, {90, 60, 44}}});
  for (int x = 0; x < kWidth; x += 90) c.roundRect(x, 520, x + 3, kHeight, 1, {70, 48, 34}, 0.6);  // floorboards
  c.roundRect(380, 90, 900, 430, 10, {240, 226, 200}, 1);  // the window and the night outside
  c.roundRect(396, 106, 884, 414, 4, {24, 30, 70}, 1);
  Random r{31};
  for (int i = 0; i < 60; ++i) c.circle(400 + r.next() * 480, 110 + r.next() * 300, 0.8 + r.next(), {255, 250, 230}, 0.8);
  c.roundRect(634, 106, 646, 414, 2, {240, 226, 200}, 1);
  c.roundRect(396, 254, 884, 266, 2, {240, 226, 200}, 1);
  c.circle(1080, 330, 210, {255, 210, 150}, 0.35, 150);  // a lamp's warm light
  c.roundRect(1050, 300, 1110, 360, 20, {255, 236, 190}, 0.95);
  c.roundRect(1074, 360, 1086, 560, 4, {60, 40, 30}, 1);
  return c.save(out);
}

// The guide: a simple figure with hair, face, coat and scarf.
bool guideCharacter(const fs::path& out) {
  Canvas c(400, 620, false);
  const Rgb hair{58, 44, 70}, skin{250, 222, 204}, coat{70, 120, 150}, scarf{230, 120, 110};
  c.shape(60, 240, 340, 620, coat, 1, [](double x, double y) {  // the coat, wider towards the hem
    const double half = 64 + (y - 250) * 0.19;
    return std::max(std::abs(x - 200) - half, 250 - y);
  });
  c.roundRect(104, 262, 296, 380, 46, coat, 1);  // the shoulders
  for (int k = 0; k < 3; ++k) c.circle(200, 410 + 60 * k, 6, {230, 236, 240}, 0.9);
  c.circle(200, 150, 112, hair, 1);  // hair behind the face
  c.roundRect(92, 140, 308, 330, 60, hair, 1);
  c.roundRect(170, 220, 230, 270, 10, skin, 1);  // the neck
  c.circle(200, 160, 88, skin, 1);
  c.shape(100, 60, 300, 160, hair, 1, [](double x, double y) {  // the fringe
    return std::max(std::hypot((x - 200) / 1.05, y - 150) - 96, y - 112 - 12 * std::sin((x - 110) * 0.08));
  });
  c.circle(168, 172, 9, {50, 40, 60}, 1);  // eyes and a smile
  c.circle(232, 172, 9, {50, 40, 60}, 1);
  c.circle(171, 168, 3, {255, 255, 255}, 0.9);
  c.circle(235, 168, 3, {255, 255, 255}, 0.9);
  c.shape(170, 195, 230, 225, {200, 110, 110}, 1,
          [](double x, double y) { return std::max(std::abs(std::hypot(x - 200, y - 192) - 16) - 2.5, 200 - y); });
  c.roundRect(130, 250, 270, 292, 20, scarf, 1);
  c.roundRect(214, 270, 246, 370, 12, scarf, 1);
  return c.save(out);
}

// Panels and buttons: a fill with a rim of one and a half pixels.
bool panel(const fs::path& out, int w, int h, double radius, Rgb fill, double fillAlpha, Rgb rim, double rimAlpha) {
  Canvas c(w, h, false);
  auto outline = [=](double x, double y) { return roundRectDistance(x, y, 1, 1, w - 1, h - 1, radius); };
  c.shape(0, 0, w, h, fill, fillAlpha, [&](double x, double y) { return outline(x, y) + 1.5; });
  c.shape(0, 0, w, h, rim, rimAlpha, [&](double x, double y) { return std::abs(outline(x, y) + 0.75) - 0.75; });
  return c.save(out);
}

// A pill with a light rim and a fill that darkens downwards.
bool button(const fs::path& out, int w, int h) {
  Canvas c(w, h, false);
  const double r = h / 2.0 - 1;
  for (int y = 0; y < h; ++y) {
    const Rgb row = mix({130, 110, 200}, {58, 42, 118}, static_cast<double>(y) / h);
    c.shape(0, y, w, y + 1, row, 0.94, [&](double x, double yy) { return roundRectDistance(x, yy, 1, 1, w - 1, h - 1, r) + 1.5; });
  }
  c.shape(0, 0, w, h, {235, 225, 255}, 0.9,
          [&](double x, double y) { return std::abs(roundRectDistance(x, y, 1, 1, w - 1, h - 1, r) + 0.75) - 0.75; });
  return c.save(out);
}

bool overlay(const fs::path& out) {
  Canvas c(kWidth, kHeight, false);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) c.blend(x, y, mix({14, 16, 40}, {34, 24, 60}, y / double(kHeight)), 0.93);
  return c.save(out);
}

bool marker(const fs::path& out) {
  Canvas c(24, 24, false);
  c.shape(0, 0, 24, 24, {255, 236, 170}, 1, [](double x, double y) {
    return std::max({y - 18, std::abs(x - 12) - (18 - y) * 0.55, 4 - y});
  });
  return c.save(out);
}

bool bar(const fs::path& out, Rgb colour, double alpha) {
  Canvas c(300, 14, false);
  c.roundRect(0.5, 0.5, 299.5, 13.5, 6, colour, alpha);
  return c.save(out);
}

}  // namespace

bool drawStarterPictures(const fs::path& res) {
  bool ok = titleBackground(res / "bg/title.png");
  ok = eveningBackground(res / "bg/evening.png") && ok;
  ok = nightBackground(res / "bg/night.png") && ok;
  ok = roomBackground(res / "bg/room.png") && ok;
  ok = guideCharacter(res / "chara/guide.png") && ok;
  ok = panel(res / "ui/window.png", 1200, 200, 20, {16, 20, 44}, 0.88, {170, 180, 240}, 0.9) && ok;
  ok = panel(res / "ui/nameplate.png", 220, 46, 16, {80, 58, 130}, 0.95, {230, 214, 255}, 1) && ok;
  ok = panel(res / "ui/slot.png", 560, 140, 14, {30, 34, 70}, 0.9, {150, 160, 230}, 0.9) && ok;
  ok = panel(res / "ui/thumb_empty.png", 192, 108, 6, {12, 14, 34}, 0.9, {90, 96, 150}, 0.8) && ok;
  ok = button(res / "ui/button.png", 360, 60) && ok;
  ok = button(res / "ui/button_small.png", 96, 30) && ok;
  ok = overlay(res / "ui/screen.png") && ok;
  ok = marker(res / "ui/marker.png") && ok;
  ok = bar(res / "ui/bar.png", {250, 200, 120}, 1) && ok;
  ok = bar(res / "ui/bar_back.png", {80, 84, 130}, 0.8) && ok;
  return ok;
}

}  // namespace velmora::tools

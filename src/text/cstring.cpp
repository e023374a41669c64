#include "text/cstring.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>

#include "base/encoding.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "image/image.h"
#include "render/geometry.h"
#include "render/render.h"
#include "text/fonts.h"
#include "text/text_settings.h"

namespace velmora::text {

struct FallbackFace {
  std::string file;
  int index = 0;
  FT_Face face = nullptr;
};

struct FontFace {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  FontSource source;  // keeps archive bytes alive while the face reads them
  std::vector<FallbackFace> fallbacks;  // opened on first need, at the chosen size
  ~FontFace() {
    for (FallbackFace& f : fallbacks)
      if (f.face) FT_Done_Face(f.face);
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

namespace {

// Over-compositing and colour shares for alphas 0..kMax.
template <int kMax>
struct AlphaTables {
  static constexpr int kSide = kMax + 1;
  std::array<uint8_t, kSide * kSide> over{}, share{};
  AlphaTables() {
    for (int a = 0; a < kSide; ++a)
      for (int b = 0; b < kSide; ++b) {
        over[size_t(a * kSide + b)] = static_cast<uint8_t>(a + b - a * b / kMax);
        share[size_t(a * kSide + b)] = static_cast<uint8_t>(b ? std::min(kMax, kMax * a / b) : 0);
      }
  }
};
const AlphaTables<255>& tables() {
  static const AlphaTables<255> t;
  return t;
}
// 16-bit texels have 4-bit alphas.
const AlphaTables<15>& tables4() {
  static const AlphaTables<15> t;
  return t;
}

float screenRate() {
  const float r = render::geometry().displayRate;
  return r > 0 ? r : 1.0f;
}

// Each channel of kBits moved from base toward top by weight / 2^kBits.
template <int kBits>
uint32_t channelMix(uint32_t base, uint32_t top, int weight) {
  constexpr int kMax = (1 << kBits) - 1;
  uint32_t out = 0;
  for (int shift = 0; shift <= 2 * kBits; shift += kBits) {
    const int b = int((base >> shift) & kMax), t = int((top >> shift) & kMax);
    out |= uint32_t(std::clamp(b + (t - b) * weight / (kMax + 1), 0, kMax)) << shift;
  }
  return out;
}

// Bold strokes grow by 37/64 of a pixel (26.6 fixed point).
constexpr FT_Pos kEmbolden = 37;

// Shadow and outline offsets per mode (bit 2 x 2 + bit 1).
using Offset = std::array<int, 2>;
struct Offsets {
  const Offset* d;
  size_t n;
};
constexpr Offset kAaShadow[] = {{2, 1}, {1, 2}, {2, 2}};
constexpr Offset kNeighbours[] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}};
constexpr Offset kAaBoth[] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {2, 0}, {-1, 1}, {2, 1}, {0, 2}, {1, 2}, {2, 2}};
constexpr Offset kMonoShadow[] = {{1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}, {0, 2}, {1, 2}, {2, 2}};
constexpr Offset kMonoBoth[] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1},
                                {2, 0},   {2, 1},  {2, 2},  {0, 2},  {1, 2}};

Offsets offsetsFor(int mode, bool antiAlias) {
  switch (mode) {
    case 1: return antiAlias ? Offsets{kAaShadow, 3} : Offsets{kMonoShadow, 8};
    case 2: return {kNeighbours, 8};
    case 3: return antiAlias ? Offsets{kAaBoth, 10} : Offsets{kMonoBoth, 13};
    default: return {nullptr, 0};
  }
}

// The offsets of glyphs drawn `scale` times larger: each pixel step becomes
// `scale` steps, so an outline ring of one pixel becomes one of `scale`.
Offsets scaledOffsets(Offsets base, int scale, std::vector<Offset>& room) {
  if (scale <= 1) return base;
  auto span = [scale](int v) {
    return v > 0 ? Offset{(v - 1) * scale + 1, v * scale} : v < 0 ? Offset{v * scale, (v + 1) * scale - 1} : Offset{0, 0};
  };
  room.clear();
  for (size_t k = 0; k < base.n; ++k) {
    const Offset sx = span(base.d[k][0]), sy = span(base.d[k][1]);
    for (int x = sx[0]; x <= sx[1]; ++x)
      for (int y = sy[0]; y <= sy[1]; ++y) room.push_back({x, y});
  }
  return {room.data(), room.size()};
}

// 32-bit texels: A8R8G8B8 with colours as 0xRRGGBB.
struct Texel32 {
  using T = uint32_t;
  static constexpr int kFull = 255;
  static constexpr bool kKeepOpaqueEdges = false;
  static int coverage(int c8) { return c8; }
  static int over(int a, int b) { return overAlpha(a, b); }
  static int share(int a, int b) { return colourShare(a, b); }
  static uint32_t mix(uint32_t base, uint32_t top, int w) { return channelMix<8>(base, top, w); }
  static int alpha(T p) { return int(p >> 24); }
  static T texel(int a, uint32_t rgb) { return T(uint32_t(a) << 24 | rgb); }
};

// 16-bit texels: A4R4G4B4 with colours as 0xRGB.
struct Texel16 {
  using T = uint16_t;
  static constexpr int kFull = 15;
  static constexpr bool kKeepOpaqueEdges = true;  // an opaque texel takes no shadow or outline
  static int coverage(int c8) { return c8 >> 4; }
  static int over(int a, int b) { return overAlpha4(a, b); }
  static int share(int a, int b) { return colourShare4(a, b); }
  static uint32_t mix(uint32_t base, uint32_t top, int w) { return channelMix<4>(base, top, w); }
  static int alpha(T p) { return int(p >> 12); }
  static T texel(int a, uint32_t rgb) { return T(uint32_t(a) << 12 | (rgb & 0xFFF)); }
};

uint32_t expandTexel16(uint16_t p) {
  uint32_t out = 0;
  for (int i = 0; i < 4; ++i) out |= (uint32_t(p >> (4 * i)) & 0xF) * 0x11u << (8 * i);
  return out;
}

uint32_t toRgb12(uint32_t rgb) { return (rgb >> 12 & 0xF00) | (rgb >> 8 & 0xF0) | (rgb >> 4 & 0xF); }

// Where and how one loaded glyph bitmap goes into a buffer of texels.
struct GlyphJob {
  const FT_Bitmap* bitmap;
  int left, top, cellTop;  // cellTop: the row the gradient counts from
  Offsets offsets;
  const uint32_t* gradient;  // null: plain glyph colour
  uint32_t glyphColour, edgeColour;
};

int glyphCoverage(const FT_Bitmap& bm, int gx, int gy) {
  const unsigned char* row = bm.buffer + gy * bm.pitch;
  if (bm.pixel_mode == FT_PIXEL_MODE_MONO) return (row[gx >> 3] & (0x80 >> (gx & 7))) ? 255 : 0;
  return row[gx];
}

// Shadow and outline in the edge colour, then the glyph mixed over them.
template <class Tx>
void writeTexels(typename Tx::T* buf, int pitch, int width, int height, const GlyphJob& job) {
  using T = typename Tx::T;
  auto at = [&](int px, int py) -> T* {
    if (px < 0 || py < 0 || px >= width || py >= height) return nullptr;
    return buf + size_t(py) * size_t(pitch) + size_t(px);
  };
  const FT_Bitmap& bm = *job.bitmap;
  const int rows = int(bm.rows), cols = int(bm.width);
  for (size_t k = 0; k < job.offsets.n; ++k)
    for (int gy = 0; gy < rows; ++gy)
      for (int gx = 0; gx < cols; ++gx) {
        const int c = Tx::coverage(glyphCoverage(bm, gx, gy));
        if (!c) continue;
        T* p = at(job.left + gx + job.offsets.d[k][0], job.top + gy + job.offsets.d[k][1]);
        if (!p || (Tx::kKeepOpaqueEdges && Tx::alpha(*p) == Tx::kFull)) continue;
        *p = Tx::texel(c == Tx::kFull ? Tx::kFull : Tx::over(Tx::alpha(*p), c), job.edgeColour);
      }
  for (int gy = 0; gy < rows; ++gy)
    for (int gx = 0; gx < cols; ++gx) {
      const int c = Tx::coverage(glyphCoverage(bm, gx, gy));
      if (!c) continue;
      const int py = job.top + gy;
      T* p = at(job.left + gx, py);
      if (!p) continue;
      const uint32_t g = job.gradient ? job.gradient[std::clamp(py - job.cellTop, 0, 255)] : job.glyphColour;
      const int e = Tx::alpha(*p);
      if (c == Tx::kFull || e == 0) {
        *p = Tx::texel(c, g);
      } else if (e == Tx::kFull) {
        *p = Tx::texel(Tx::kFull, Tx::mix(job.edgeColour, g, c));
      } else {
        const int a = Tx::over(e, c);
        *p = Tx::texel(a, Tx::mix(job.edgeColour, g, Tx::share(c, a)));
      }
    }
}

// The shadow and outline of a style at an edge scale.
Offsets edgeOffsets(int style, int scale, std::vector<Offset>& room) {
  const Offsets base = offsetsFor(((style & kOutline) ? 2 : 0) + ((style & kShadow) ? 1 : 0), (style & kAntiAlias) != 0);
  return scaledOffsets(base, scale, room);
}

}  // namespace

uint8_t overAlpha(int a, int b) { return tables().over[size_t((a & 255) * 256 + (b & 255))]; }
uint8_t colourShare(int a, int b) { return tables().share[size_t((a & 255) * 256 + (b & 255))]; }

uint8_t overAlpha4(int a, int b) { return tables4().over[size_t((a & 15) * 16 + (b & 15))]; }
uint8_t colourShare4(int a, int b) { return tables4().share[size_t((a & 15) * 16 + (b & 15))]; }

int cellEdgeFor(int pixelSize, bool bold, int edgeScale) {
  const int need = pixelSize + ((bold ? 1 : 0) + 4) * std::max(edgeScale, 1);
  int edge = 1;
  while (edge < need) edge <<= 1;
  return edge;
}

CString::CString() = default;
CString::~CString() { Release(); }

void CString::applyStyle(int style) {
  style_ = style;
  bold_ = (style & kBold) ? 1 : 0;
  outline_ = (style & kOutline) ? 1 : 0;
}

bool CString::Create(std::string_view font, int pixelSize, int style, int capacity, int colourMode) {
  Release();
  fontName_.assign(font.substr(0, 255));
  pixelSize_ = std::max(pixelSize, 1);
  applyStyle(style);
  cellEdge_ = cellEdgeFor(pixelSize_, bold_);
  colourMode_ = colourMode;
  SetColor(0xFFFFFF, 0xFFFFFF, 0);
  openFont();
  // A slot keeps position, code and reveal time together, so the first of
  // those arrays names the failure; the quads are the vertex array.
  const size_t slots = static_cast<size_t>(std::max(capacity, 0));
  const char* failed = "pX ";
  try {
    slots_.assign(slots, GlyphSlot{});
    failed = "pVertex ";
    quads_.reserve(slots);
  } catch (const std::exception&) {
    showErrorBox(std::string("CString::Create ") + failed + fontName_);
    slots_ = {};
    quads_ = {};
    face_.reset();
    return false;
  }
  tables();
  tables4();
  Clear();
  return face_ != nullptr;
}

void CString::openFont() {
  face_.reset();
  auto f = std::make_unique<FontFace>();
  if (FT_Init_FreeType(&f->library) != 0) {
    showErrorBox("FT_Init_FreeType");
    return;
  }
  if (!resolveFont(fontName_, f->source)) {
    showErrorBox("CreateFontIndirect " + fontName_ + "," + std::to_string(pixelSize_));
    return;
  }
  const FontSource& s = f->source;
  FT_Error e = s.hostFile.empty()
                   ? FT_New_Memory_Face(f->library, s.bytes.data(), FT_Long(s.bytes.size()), s.faceIndex, &f->face)
                   : FT_New_Face(f->library, s.hostFile.c_str(), s.faceIndex, &f->face);
  if (e != 0) {
    f->face = nullptr;
    if (e == FT_Err_Unknown_File_Format) showErrorBox("FT_Err_Unknown_File_Format " + fontName_);
    else if (s.isFile) showErrorBox("FT_New_Face " + fontName_);
    else showErrorBox("OpenFaceByIndex 1 " + fontName_);
    return;
  }
  face_ = std::move(f);
  setPixelSize();
}

void CString::setPixelSize() {
  if (!face_) return;
  FT_Face face = face_->face;
  if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelSize_)) != 0) {
    showErrorBox("FT_Set_Pixel_Sizes " + fontName_ + "," + std::to_string(pixelSize_));
    face_.reset();
    return;
  }
  for (FallbackFace& f : face_->fallbacks)
    if (f.face) FT_Set_Pixel_Sizes(f.face, 0, FT_UInt(pixelSize_));
  advances_.clear();
  const double upem = face->units_per_EM ? face->units_per_EM : 1000;
  baseline_ = static_cast<int>(std::lround(face->ascender * double(face->size->metrics.y_ppem) / upem));
}

void CString::SetFont(std::string_view font, int pixelSize, int style) {
  const int oldBold = bold_;
  applyStyle(style);
  pixelSize = std::max(pixelSize, 1);
  const bool renamed = font.substr(0, 255) != fontName_;
  if (renamed) {
    fontName_.assign(font.substr(0, 255));
    openFont();
  }
  if (pixelSize != pixelSize_ || oldBold != bold_ || renamed) {
    releaseTextures();
    pixelSize_ = pixelSize;
    cellEdge_ = cellEdgeFor(pixelSize_, bold_);
    setPixelSize();
    buildGradient();
  }
}

void CString::setEdgeScale(int scale) {
  scale = std::max(scale, 1);
  if (scale == edgeScale_) return;
  edgeScale_ = scale;
  advances_.clear();  // bold widens the advance by its edge
}

void CString::SetColor(uint32_t c1, uint32_t c2, uint32_t c3) {
  colours_[0] = c1 & 0xFFFFFF;
  colours_[1] = c2 & 0xFFFFFF;
  colours_[2] = c3 & 0xFFFFFF;
  buildGradient();
}

void CString::buildGradient() {
  const int size = std::max(pixelSize_, 1);
  for (int i = 0; i < 256; ++i) {
    if (i >= size) {
      gradient_[i] = colours_[1];
      continue;
    }
    uint32_t c = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
      const int a = int((colours_[0] >> shift) & 0xFF), b = int((colours_[1] >> shift) & 0xFF);
      c |= uint32_t(a - i * (a - b) / size) << shift;
    }
    gradient_[i] = c;
  }
  const uint32_t c1 = toRgb12(colours_[0]), c2 = toRgb12(colours_[1]);
  for (int i = 0; i < 256; ++i) {
    if (i >= size) {
      gradient4_[i] = c2;
      continue;
    }
    uint32_t c = 0;
    for (int shift = 0; shift <= 8; shift += 4) {
      const int a = int((c1 >> shift) & 0xF), b = int((c2 >> shift) & 0xF);
      c |= uint32_t(a - i * (a - b) / size) << shift;
    }
    gradient4_[i] = c;
  }
}

FT_FaceRec_* CString::faceFor(unsigned code, unsigned& glyphIndex) {
  FT_Face face = face_->face;
  const char32_t u = glyphUnicode(code);
  glyphIndex = u ? FT_Get_Char_Index(face, u) : 0;
  // Shift_JIS games draw exactly their chosen face; Unicode games fill its gaps.
  if (glyphIndex != 0 || !(code & kUnicodeGlyph) || !u) return face;
  FontSource source;
  if (!fallbackFont(u, source)) return face;
  auto it = std::find_if(face_->fallbacks.begin(), face_->fallbacks.end(), [&](const FallbackFace& f) {
    return f.file == source.hostFile && f.index == source.faceIndex;
  });
  if (it == face_->fallbacks.end()) {
    FallbackFace f{source.hostFile, source.faceIndex, nullptr};
    if (FT_New_Face(face_->library, f.file.c_str(), f.index, &f.face) != 0) f.face = nullptr;
    else FT_Set_Pixel_Sizes(f.face, 0, FT_UInt(pixelSize_));
    it = face_->fallbacks.insert(face_->fallbacks.end(), f);
  }
  if (!it->face) return face;
  const unsigned index = FT_Get_Char_Index(it->face, u);
  if (index == 0) return face;
  glyphIndex = index;
  return it->face;
}

float CString::kerning(char32_t left, char32_t right) {
  if (!face_ || !FT_HAS_KERNING(face_->face)) return 0;
  FT_Face face = face_->face;
  const FT_UInt a = FT_Get_Char_Index(face, left), b = FT_Get_Char_Index(face, right);
  FT_Vector k{0, 0};
  if (!a || !b || FT_Get_Kerning(face, a, b, FT_KERNING_DEFAULT, &k) != 0) return 0;
  return float(k.x) / 64.0f;
}

FT_GlyphSlotRec_* CString::loadGlyph(unsigned code, int x, int y, int& left, int& top) {
  if (!face_) return nullptr;
  if (!glyphUnicode(code)) return nullptr;
  unsigned index = 0;
  FT_Face face = faceFor(code, index);
  const bool aa = (style_ & kAntiAlias) != 0;
  if (FT_Load_Glyph(face, index, aa ? FT_LOAD_NO_BITMAP : (FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO)) != 0) return nullptr;
  FT_GlyphSlot g = face->glyph;
  if (bold_ && g->format == FT_GLYPH_FORMAT_OUTLINE) FT_Outline_Embolden(&g->outline, kEmbolden * edgeScale_);
  if (FT_Render_Glyph(g, aa ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0) return nullptr;
  const int pad = (bold_ + outline_) * edgeScale_;
  left = x + pad + g->bitmap_left;
  top = baseline_ + y + pad - g->bitmap_top;
  if (left < 0 || top < 0) showErrorBox(std::to_string(left) + "," + std::to_string(top));
  return g;
}

float CString::advance(char32_t u) {
  if (!face_) return float(pixelSize_) / 2;
  if (auto it = advances_.find(u); it != advances_.end()) return it->second;
  unsigned index = 0;
  FT_Face face = faceFor(unicodeGlyph(u), index);
  float a = float(pixelSize_) / 2;
  if (index != 0 && FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) == 0) a = float(face->glyph->advance.x) / 64.0f;
  a += float(bold_ * edgeScale_);
  advances_.emplace(u, a);
  return a;
}

void CString::WriteGlyph(uint32_t* buf, int pitch, int width, int height, int x, int y, unsigned code) {
  int left = 0, top = 0;
  const FT_GlyphSlot g = loadGlyph(code, x, y, left, top);
  if (!g) return;
  const bool gradient = (style_ & kGradient) && colours_[0] != colours_[1];
  const GlyphJob job{&g->bitmap, left, top, y,
                     edgeOffsets(style_, edgeScale_, edgeRoom_), gradient ? gradient_ : nullptr, colours_[0], colours_[2]};
  writeTexels<Texel32>(buf, pitch, width, height, job);
}

void CString::WriteGlyph16(uint16_t* buf, int pitch, int width, int height, int x, int y, unsigned code) {
  int left = 0, top = 0;
  const FT_GlyphSlot g = loadGlyph(code, x, y, left, top);
  if (!g) return;
  const bool gradient = (style_ & kGradient) && colours_[0] != colours_[1];
  const GlyphJob job{&g->bitmap, left, top, y,
                     edgeOffsets(style_, edgeScale_, edgeRoom_), gradient ? gradient4_ : nullptr, toRgb12(colours_[0]), toRgb12(colours_[2])};
  writeTexels<Texel16>(buf, pitch, width, height, job);
}

void CString::rasterizeSlot(GlyphSlot& s, const char* operation) {
  if (!render::deviceCreated()) return;
  // A Unicode game's spaces keep their slot but need no ink.
  if (s.code == unicodeGlyph(U' ')) {
    s.rasterized = false;
    return;
  }
  if (!atlas_) {
    atlasColumns_ = std::max(1, int(std::ceil(std::sqrt(double(std::max(capacity(), 1))))));
    atlasWidth_ = atlasColumns_ * cellEdge_;
    atlasHeight_ = ((capacity() + atlasColumns_ - 1) / atlasColumns_) * cellEdge_;
    atlas_ = render::createTexture(atlasWidth_, std::max(atlasHeight_, cellEdge_), 1);
    // No texture: nothing to lock and write into.
    if (!atlas_) {
      showErrorBox(std::string(operation) + " LockRect " + render::glErrorName(render::lastTextureError()));
      return;
    }
  }
  const size_t n = size_t(cellEdge_) * size_t(cellEdge_);
  if (colourMode_ == 1) {
    cell16_.assign(n, 0);
    WriteGlyph16(cell16_.data(), cellEdge_, cellEdge_, cellEdge_, 0, 0, s.code);
    cell_.resize(n);
    // Widened nibble by nibble, so the upload's reduction gives them back.
    for (size_t i = 0; i < n; ++i) cell_[i] = expandTexel16(cell16_[i]);
  } else {
    cell_.assign(n, 0);
    WriteGlyph(cell_.data(), cellEdge_, cellEdge_, cellEdge_, 0, 0, s.code);
  }
  const int k = int(&s - slots_.data());
  s.rasterized = render::writeTextureRegion(atlas_, (k % atlasColumns_) * cellEdge_, (k / atlasColumns_) * cellEdge_,
                                            cellEdge_, cellEdge_, cell_.data()) == 1;
  if (!s.rasterized)
    showErrorBox(std::string(operation) + " UnlockRect " + render::glErrorName(render::lastTextureError()));
}

void CString::SetChar(float x, float y, uint8_t lead, uint8_t trail) {
  placeGlyph(x, y, lead ? unsigned(lead) << 8 | trail : trail);
}

void CString::SetCodePoint(float x, float y, char32_t u) { placeGlyph(x, y, unicodeGlyph(u)); }

void CString::placeGlyph(float x, float y, unsigned code) {
  const int k = laidOut;
  if (k >= capacity()) return;
  GlyphSlot& s = slots_[size_t(k)];
  s.code = code;
  if (code == 0 || code == 0x8140 || code == unicodeGlyph(U'\u3000')) return;
  if (code == 0x8141 || code == 0x8142 || code == unicodeGlyph(U'\u3001') || code == unicodeGlyph(U'\u3002'))
    for (int i = 0; i < pausesAtPunctuation(); ++i) pauses.push_back(k + 1);
  const float rate = screenRate();
  s.x = static_cast<int>(x * rate);
  s.y = static_cast<int>(y * rate) + verticalShift_;
  s.colour = 0xFFFFFFFF;
  s.sharp = false;
  rasterizeSlot(s, "SetChar");
  laidOut = k + 1;
}

void CString::setVerticalShift(int shift) {
  const int by = shift - verticalShift_;
  verticalShift_ = shift;
  for (int k = 0; k < laidOut && k < capacity(); ++k) slots_[size_t(k)].y += by;
}

void CString::RedrawChars() {
  releaseSharp();
  for (int i = 0; i < laidOut; ++i) rasterizeSlot(slots_[size_t(i)], "ReSetChar");
}

void CString::SetOffset(int x, int y) {
  offsetX_ = x;
  offsetY_ = y;
}

void CString::SetAlpha(int from, uint32_t colour) {
  for (int i = std::max(from, 0); i < laidOut; ++i) slots_[size_t(i)].colour = colour;
}

void CString::Reveal(int n) { visible = std::clamp(n, 0, laidOut); }

void CString::Draw() {
  if (!face_ || !atlas_ || visible <= 0) return;
  if (const render::GlyphScale k = render::glyphScale(); k.sharp()) return drawSharp(k);
  std::vector<render::GlyphQuad>& quads = quads_;
  quads.clear();
  const int pad = bold_ + outline_;
  const float du = float(cellEdge_) / float(atlasWidth_), dv = float(cellEdge_) / float(atlasHeight_);
  for (int i = 0; i < visible; ++i) {
    const GlyphSlot& s = slots_[size_t(i)];
    if (!s.rasterized || (s.colour >> 24) == 0) continue;
    const float u = float(i % atlasColumns_) * du, v = float(i / atlasColumns_) * dv;
    quads.push_back({s.x - pad + offsetX_, s.y - pad + offsetY_, cellEdge_, u, v, u + du, v + dv, s.colour});
  }
  render::drawGlyphQuads(atlas_, quads.data(), quads.size());
}

void CString::Clear() {
  laidOut = visible = startCount = firstFading = 0;
  pauses.clear();
}

void CString::releaseTextures() {
  render::releaseTexture(atlas_);
  releaseSharp();
  for (GlyphSlot& s : slots_) s.rasterized = false;
}

void CString::Release() {
  releaseTextures();
  slots_.clear();
  quads_.clear();
  face_.reset();
  Clear();
}

void CString::RenderString(uint32_t* buffer, int pitch, std::string_view text, size_t clearBytes) {
  if (!buffer) return;
  std::memset(buffer, 0, clearBytes);
  const int height = pitch > 0 ? int(clearBytes / 4 / size_t(pitch)) : 0;
  if (unicodeGame()) return renderUnicodeString(buffer, pitch, height, text);
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool two = isLeadByte(c) && i + 1 < text.size();
    const unsigned code = two ? unsigned(c) << 8 | static_cast<unsigned char>(text[i + 1]) : c;
    if (code != 0x8140 && code != ' ')
      WriteGlyph(buffer, pitch, pitch, height, int(i) * pixelSize_ / 2, 0, code);
    i += two ? 2 : 1;
  }
}

}  // namespace velmora::text

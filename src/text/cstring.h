#pragma once
// CString: one text object. It owns a font and a style, three colours, and
// per character slot a square glyph cell (of one atlas texture) and a quad;
// the message window lays characters out into it and reveals them, and the
// string sprites render whole strings into pictures with it. Main thread only.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "render/render.h"

struct FT_FaceRec_;
struct FT_GlyphSlotRec_;

namespace velmora::text {

enum StyleBit : int { kBold = 1, kShadow = 2, kOutline = 4, kGradient = 8, kAntiAlias = 16 };

struct GlyphSlot {
  uint32_t code = 0;              // Shift_JIS code, or a code point tagged kUnicodeGlyph
  int x = 0, y = 0;              // device pixels
  bool rasterized = false;       // its atlas cell holds the glyph
  uint32_t colour = 0xFFFFFFFF;  // quad diffuse: alpha << 24 | 0xFFFFFF
  uint32_t revealTime = 0;
  bool sharp = false;  // its cell of the output-size atlas holds the glyph too
};

struct FontFace;  // FreeType library and face, private to the rasterizer

class CString {
 public:
  CString();
  ~CString();
  CString(const CString&) = delete;
  CString& operator=(const CString&) = delete;

  // False (after reporting) when the object stays unusable.
  bool Create(std::string_view font, int pixelSize, int style, int capacity, int colourMode);
  void SetFont(std::string_view font, int pixelSize, int style);
  void SetColor(uint32_t colour1, uint32_t colour2, uint32_t colour3);
  // Lays out one character at (x, y) in logical pixels (times the screen rate).
  void SetChar(float x, float y, uint8_t lead, uint8_t trail);
  // The same for a code point of a Unicode game.
  void SetCodePoint(float x, float y, char32_t u);
  // How far u moves the pen, in pixels of this object's size (its own face's
  // advance, or the fallback face's).
  float advance(char32_t u);
  // The face's kerning between two characters, in the same pixels (0 for
  // faces without a kerning table).
  float kerning(char32_t left, char32_t right);
  // Draws every laid-out character again (after the device lost its textures).
  void RedrawChars();
  void SetOffset(int x, int y);
  void SetAlpha(int from, uint32_t colour);
  // Shows the first n laid-out characters.
  void Reveal(int n);
  void Draw();
  void Clear();
  void RenderString(uint32_t* buffer, int pitch, std::string_view text, size_t clearBytes);
  void RenderStringRows(uint32_t* buffer, int pitch, std::string_view text, size_t clearBytes, int charGap,
                        int rowGap, CString* ruby);
  void Release();
  // Unicode games: how far a string moves the pen (CJK on the full-width grid,
  // the rest by the font), and one character's share of it.
  int StringWidth(std::string_view utf8, int charGap = 0);
  int UnicodeAdvance(char32_t u, int charGap = 0);

  // The writer: one glyph into a 32-bit buffer of pitch texels at (x, y),
  // clipped to width x height.
  void WriteGlyph(uint32_t* buffer, int pitch, int width, int height, int x, int y, unsigned code);
  // The 16-bit colour writer: A4R4G4B4 texels composed with 4-bit alphas.
  void WriteGlyph16(uint16_t* buffer, int pitch, int width, int height, int x, int y, unsigned code);

  bool usable() const { return face_ != nullptr; }
  int pixelSize() const { return pixelSize_; }
  int style() const { return style_; }
  int cellEdge() const { return cellEdge_; }
  int baseline() const { return baseline_; }
  int capacity() const { return static_cast<int>(slots_.size()); }
  int outlineWidth() const { return (style_ & kOutline) ? edgeScale_ : 0; }
  // Glyphs drawn `scale` times their game size take their bold, outline and
  // shadow that many pixels wide (1 at the game's size).
  void setEdgeScale(int scale);
  int edgeScale() const { return edgeScale_; }
  const std::string& fontName() const { return fontName_; }
  uint32_t colour(int i) const { return colours_[i & 3]; }
  const uint32_t* gradient() const { return gradient_; }
  const uint32_t* gradient4() const { return gradient4_; }  // 0xRGB rows of 16-bit colour
  int colourMode() const { return colourMode_; }
  // The text layer's aspect shift; glyphs already laid out move with it.
  void setVerticalShift(int shift);

  // Reveal counters and slots, driven by the message window.
  std::vector<GlyphSlot>& slots() { return slots_; }
  const std::vector<GlyphSlot>& slots() const { return slots_; }
  int laidOut = 0, visible = 0, startCount = 0, firstFading = 0;
  std::vector<int> pauses;  // character indices that hold the reveal once each

 private:
  // The rendered glyph, or null; its face is the chosen one or a fallback.
  FT_GlyphSlotRec_* loadGlyph(unsigned code, int x, int y, int& left, int& top);
  FT_FaceRec_* faceFor(unsigned code, unsigned& glyphIndex);
  void placeGlyph(float x, float y, unsigned code);
  void renderUnicodeString(uint32_t* buffer, int pitch, int height, std::string_view utf8);
  void renderUnicodeRows(uint32_t* buffer, int pitch, int height, std::string_view utf8, int charGap, int rowGap,
                         CString* ruby);
  void openFont();
  void setPixelSize();
  void releaseTextures();
  void applyStyle(int style);
  void rasterizeSlot(GlyphSlot& s, const char* operation);
  void buildGradient();
  // The text layer at the output's pixels (sharp_glyphs.cpp): the same cells
  // rasterized again at the output's size into a second atlas.
  void drawSharp(const render::GlyphScale& scale);
  bool prepareSharp(int pixelSize, int edgeScale);
  void rasterizeSharp(int pixelSize, int edgeScale);
  void releaseSharp();

  std::string fontName_;
  int pixelSize_ = 0, style_ = 0, cellEdge_ = 0, baseline_ = 0, colourMode_ = 0;
  int bold_ = 0, outline_ = 0, verticalShift_ = 0, edgeScale_ = 1;
  std::vector<std::array<int, 2>> edgeRoom_;  // the scaled shadow and outline offsets
  uint32_t colours_[4] = {0xFFFFFF, 0xFFFFFF, 0, 0};
  uint32_t gradient_[256] = {}, gradient4_[256] = {};
  std::unique_ptr<FontFace> face_;
  std::unordered_map<char32_t, float> advances_;  // cleared when the face or size changes
  std::vector<GlyphSlot> slots_;
  int offsetX_ = 0, offsetY_ = 0;
  std::vector<uint32_t> cell_;
  std::vector<uint16_t> cell16_;
  std::vector<render::GlyphQuad> quads_;  // filled per frame, sized at creation
  // Every slot owns one cell of this texture, created on first use.
  void* atlas_ = nullptr;
  int atlasColumns_ = 0, atlasWidth_ = 0, atlasHeight_ = 0;
  struct SharpAtlas {
    void* texture = nullptr;
    int pixelSize = 0, edgeScale = 1, edge = 0, width = 0, height = 0;
  } sharp_;
};

// Smallest power of two at least pixel size + (bold + 4) x edge scale.
int cellEdgeFor(int pixelSize, bool bold, int edgeScale = 1);

// Over-compositing of two 8-bit alphas (a + b - a*b/255) and the colour
// share of the newer one (255 * a / b), from tables built once.
uint8_t overAlpha(int a, int b);
uint8_t colourShare(int a, int b);
// The same for the 4-bit alphas of 16-bit colour.
uint8_t overAlpha4(int a, int b);
uint8_t colourShare4(int a, int b);

// The private fonts of addFontFile, kept with the main message object.
constexpr int kPrivateFontSlots = 9;

}  // namespace velmora::text

#pragma once
// The few glyphs the engine's own boxes need (dialogs, the menu bar,
// tooltips, the Find box): one FreeType face found through fontconfig for a
// Windows face name, drawn into an Image. Kept to this one entry point so
// the text library's rasterizer can take its place.
#include <cstdint>
#include <string_view>

#include "render/geometry.h"

namespace velmora::image {
struct Image;
}

namespace velmora::setup {

// "ＭＳ ゴシック" and the other Japanese face names map to an installed
// Japanese font; false when no font could be opened.
bool openFace(std::string_view windowsFaceUtf8);

// Draws engine text (CP932) with its top-left at (x, y), clipped to clip;
// returns the advance in pixels. Nothing is drawn without a face.
int drawText(image::Image& target, int x, int y, std::string_view sjis, int pixelHeight, uint32_t colour,
             const render::Rect& clip);
int textWidth(std::string_view sjis, int pixelHeight);

void closeFace();

}  // namespace velmora::setup

#pragma once
// The text of the engine's own boxes (dialogs, the menu bar, tooltips, the
// Find box), drawn into an Image by the text library's glyph writer: the
// same face resolution (aliases such as "ＭＳ ゴシック"), Shift_JIS mapping and
// half-width column grid as the message window.
#include <cstdint>
#include <string_view>

#include "render/geometry.h"

namespace velmora::image {
struct Image;
}

namespace velmora::setup {

// Chooses the face (a name as the game would write it, UTF-8); false when no
// font could be opened for it.
bool openFace(std::string_view faceUtf8);

// Draws engine text (CP932) with its top-left at (x, y), clipped to clip;
// returns the advance in pixels. Nothing is drawn without a face.
int drawText(image::Image& target, int x, int y, std::string_view sjis, int pixelHeight, uint32_t colour,
             const render::Rect& clip);
// A one-byte character takes half the pixel height, a two-byte one all of it.
int textWidth(std::string_view sjis, int pixelHeight);

void closeFace();

}  // namespace velmora::setup

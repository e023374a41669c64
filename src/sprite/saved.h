#pragma once
// What a saved game reads from the sprite table and the motion tracks, and
// how it puts them back. Times travel as elapsed milliseconds (now - start),
// so that restored motion continues where it was. Restored sprites are
// placeholders, as sprites loaded in jump mode are: their pictures are loaded
// again in one go by rebuildPlaceholders() when the restore or the jump ends.
#include <cstdint>
#include <string>
#include <vector>

#include "sprite/sprite.h"

namespace velmora::image {
struct Image;
}

namespace velmora::sprite {

// ---- motion keys ---------------------------------------------------------
struct SavedKey {
  int32_t elapsed = 0;  // now - start; 0 for a key whose start is 0
  int flags = 0, repeat = 0;
  int from = 0, to = 0;
  int duration = 2, easing = 0;
  int second = 0;    // M: maskReverse; S: load flags
  std::string path;  // S: the picture switched to
};
// The keys of one kind (0 X ... 11 S), the playing key first: a looping list
// is rotated to it, and a last pass leaves out the keys it has played.
std::vector<SavedKey> savedKeys(int n, int kind, uint32_t now);
// Replaces the kind's track; the first key plays, started elapsed ms before
// now (a zero elapsed starts it now).
void restoreKeys(int n, int kind, const std::vector<SavedKey>& keys, uint32_t now);

// ---- quakes ----------------------------------------------------------------
struct SavedQuake {
  int amplitude = 0, period = 0, count = 0, easing = 0, type = 0;
  int32_t elapsed = 0;  // now - start, 0 while idle
  float offset = 0;
};
SavedQuake savedSpriteQuake(int n, int axis, uint32_t now);
SavedQuake savedScreenQuake(int axis, uint32_t now);
int screenQuakeTargets(int axis);
// Idle when the amplitude is 0 or the period is below 10.
void restoreScreenQuake(int axis, const SavedQuake& q, int targets, uint32_t now);

// ---- sprites -------------------------------------------------------------------
// A sprite as a saved game holds it: the record's text and effect fields and
// the front slot's properties.
struct SavedSprite {
  int number = 0;
  std::string name, maskName;
  std::string fontFace;  // a face name, or one byte: the kind mark (empty for 0)
  int fontSize = 0;
  int fontAttr[4] = {};
  int order = 0;
  SavedQuake quake[2];
  int effects[8] = {};  // negative, grayscale, turn, brightnessContrast, colour, hsl, blur, mosaic
  int cut[4] = {};      // cutX, cutY, cutW, cutH
  uint32_t loadFlags = 0;
  int alpha = 255, blend = 1, colourMode = 0;
  uint32_t colour = 0;
  int width = 1, height = 1;  // one frame, in script units
  float x = 0, y = 0, scaleW = 1, scaleH = 1, rotX = 0, rotY = 0, rotZ = 0;
  int originX = 1, originY = 1, frames = 1, frame = 0, group = 0;
  int maskReverse = 0, maskProgress = 0, maskVague = 0;
  int endDelete = 0;
};
// False for a sprite without a front slot.
bool describeSprite(int n, uint32_t now, SavedSprite& out);
// Enters the sprite as a shown placeholder of the saved size, with every
// property set; values out of range are clamped.
void restoreSprite(const SavedSprite& s, uint32_t now);

// Loads the picture of every placeholder slot again (framed pictures through
// their canvas, masks too, render targets keep their size) and shows it.
void rebuildPlaceholders();
// Kinds whose pictures live elsewhere (movies, text sprites, image-log
// pictures) are made again by their owners (SpriteHooks): the picture (taken)
// the slot then shows, in logical units; null leaves the placeholder.
using PlaceholderBuilder = image::Image* (*)(int n);

// The picture sprite n shows, decoded again as its load does (framed canvas,
// cut and effects); null for sprites without a picture file and after a
// reported failure.
image::Image* reloadSpritePicture(int n);

}  // namespace velmora::sprite

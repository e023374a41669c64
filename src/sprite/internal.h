#pragma once
// The sprite table's private state and the helpers its command files share.
#include <climits>
#include <span>
#include <string>
#include <string_view>

#include "bindings/catalogue.h"
#include "sprite/picture.h"
#include "sprite/sprite.h"

namespace velmora::sprite {

struct TableState {
  std::array<Sprite, kSpriteCount> sprites{};
  std::array<std::array<Slot*, 2>, kSpriteCount> slots{};
  std::array<std::map<int, int>, kSpriteCount> order;  // per group: draw key -> sprite
  std::array<std::set<int>, kSpriteCount> members;     // per group
  std::array<int, kSpriteCount> registeredIn{};        // group whose tables hold the sprite, -1 none
  std::set<int> renderTargets;
  TextureLimits limits;
  ScreenFacts screen;
  MotionHooks motion;
  SpriteHooks hooks;
  bool jump = false;
  bool anyPending = false;  // some sprite may hold marks since the last commitAll
  TableState() { registeredIn.fill(-1); }
};
TableState& table();

// Motion-track kinds, as trackMask bits.
enum TrackKind { kTrackX, kTrackY, kTrackW, kTrackH, kTrackRX, kTrackRY, kTrackRZ, kTrackA, kTrackL, kTrackC,
                 kTrackM, kTrackS };

// Float to int for values a script or a save can push beyond int (positions,
// scaled sizes): they saturate, NaN gives 0. A size too large to hold stays
// too large and is refused, where wrapping could make it a plausible one.
inline int clampToInt(float v) {
  if (v >= 2147483648.0f) return INT_MAX;
  if (v <= -2147483648.0f) return INT_MIN;
  return v == v ? int(v) : 0;
}

// ---- slots -------------------------------------------------------------------
Slot* newSlot();
// Frees the picture, the mask and the device objects, keeps the slot.
void releasePicture(Slot& s);
void freeSlot(Slot*& s);
// Defaults of a new slot (position at the screen centre, origin 1, 1, ...).
void resetProperties(Slot& s);
// What a picture looks like on screen (group, alpha, blend, frame, colour,
// origin, position, scale, rotation); a new picture takes it over.
void copyLook(Slot& to, const Slot& from);
// The look and everything about the picture (size, tiles, vertices).
void copyProperties(Slot& to, const Slot& from);
// Tiling of a picture of w × h (all frames); false after reporting.
bool layTiles(Slot& s, int w, int h, int frames);
// Whether sprite n may be a w × h render target; false after reporting.
bool renderTargetFits(int n, int w, int h);
void buildVertices(Slot& s);
void setVertexAlpha(Slot& s);
// Gives the slot its picture (taken), tiles it and asks for an upload.
bool attachPicture(Slot& s, image::Image* picture, int frames, int resolution);
// The same for a picture shown as it is, which others may hold too.
bool attachSharedPicture(Slot& s, std::shared_ptr<const image::Image> picture, int frames, int resolution);
// Lets go of the picture: frees it when the slot owns it.
void dropPicture(Slot& s);
// Before writing into the picture: a shared one is replaced by a copy of the
// slot's own. False when there is no memory for it.
bool ownPicture(Slot& s);

// ---- table -------------------------------------------------------------------
void enterGroup(int n, int group);  // replaces any earlier entry, key from the order
void leaveGroup(int n);
void rekey(int n);
// The slot set-up after a picture went into the back slot (load step 7).
bool prepareBackSlot(int n, Slot*& back, bool& fresh);
void finishLoad(int n, bool fresh, uint32_t loadFlags);

// Stops the movie of a movie sprite (its picture is going).
void stopSpriteMovie(int n);
// A movie sprite whose movie still moves.
bool spriteMoviePlaying(int n);

// " 画像が読み込まれていません" after the number.
void reportNoPicture(int n);

// ---- loading -----------------------------------------------------------------
bool loadSpritePicture(int n, const char* path, uint32_t flags, int frames);
bool loadFramedPicture(int n, const char* path, uint32_t flags, int w, int h);
// The w x h canvas of a framed picture (sp_st rules), or null after reporting.
image::Image* framedCanvas(int n, const std::string& path, uint32_t flags, int w, int h, int& resolution);
// The picture as a sprite load decodes it: cache, cut and image effects.
PictureRef decodeForSprite(int n, const std::string& path, uint32_t flags, int& resolution);
// Canvas size of a framed picture in script units.
void framedSize(const Slot& s, int& w, int& h);
// The sp_mask picture into a slot; the mask values are left as they are.
bool attachMask(Slot& s, const std::string& path);

// ---- command families ----------------------------------------------------------
std::span<const bindings::CoreBinding> spriteCores();
std::span<const bindings::CoreBinding> spriteImageCores();
std::span<const bindings::CoreBinding> loadingCores();
std::span<const bindings::CoreBinding> lookaheadCores();

}  // namespace velmora::sprite

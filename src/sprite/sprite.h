#pragma once
// The sprite table: 1000 numbered sprites, each with two picture slots.
// Commands write the back slot and mark the sprite pending; a commit turns
// the back slot into the front one, so a whole screen can be prepared line by
// line and shown in one step (or through a transition: "before" = front
// slots, "after" = afterSlot()).
//
// The renderer (main thread only) reads:
//   drawOrder(group)      draw key -> sprite number, drawn from the largest key
//                         down (keys < 0 after the message text layer);
//   renderTargets()       the spg sprites, drawn into before the screen;
//   frontSlot / afterSlot the slot to draw; in a Slot: picture (pixels),
//                         imageWidth/imageHeight, frames/frame, width/height,
//                         the tile layout and vertices, blend, alpha,
//                         colourMode/colour, x/y, scaleW/scaleH, rotX/Y/Z,
//                         originX/Y, resolution, loadFlags (window layer),
//                         mask*, renderTarget/imageWidth/imageHeight, dirty,
//                         world/view/projection, showsText;
//   Sprite::linked        the picture cross-fade progress (1-257, 0 = none).
// The renderer writes only Slot::gpu (textures it creates on Slot::upload and
// clears upload) and is the releaseGpu hook, so freed slots release them.
#include <array>
#include <cstdint>
#include <string>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace velmora::image {
struct Image;
}

namespace velmora::sprite {

constexpr int kSpriteCount = 1000;
constexpr int kMaxTiles = 56;
constexpr int kTrackKinds = 12;  // X Y W H RX RY RZ A L C M S

enum Pending : uint32_t {
  kPendingProperties = 0x01,
  kPendingPicture = 0x10,
  kPendingReleaseFront = 0x20,
  kPendingLinked = 0x40,
  kPendingDelete = 0x100,
};

enum LoadFlag : uint32_t {
  kLoadWindowLayer = 0x01,       // hidden with the message window
  kLoadWindowLayerQuake = 0x02,  // also kept out of the screen quake
  kLoadNoCache = 0x04,
  kLoadNoSave = 0x08,
  kLoadMipMaps = 0x10,
};

// First byte of fontFace for sprites that are not text sprites.
enum KindMark : uint8_t {
  kKindPicture = 0,
  kKindFramed = 1,
  kKindMovie = 2,
  kKindRenderTarget = 4,
  kKindImageLog = 8,
};

// One tile corner as the device takes it: 32 bytes.
struct TileVertex {
  float x, y, z;
  uint32_t diffuse;  // alpha << 24 | 0xFFFFFF
  float u0, v0;      // the picture tile (frame row selected)
  float u1, v1;      // the mask tile
};
static_assert(sizeof(TileVertex) == 32);

// One tile of a picture: the part [x, x + width) × [y, y + height) of the
// whole picture (all frames), held in a tileTexWidth × tileTexHeight texture
// whose top-left texel is (x, y).
struct Tile {
  int32_t x, y, width, height;
};

// Device objects of one slot; created and released by the renderer only.
struct GpuTextures {
  std::array<void*, kMaxTiles> tile{};
  std::array<void*, kMaxTiles> mask{};
  void* renderTarget = nullptr;   // spg: the texture
  void* renderSurface = nullptr;  // spg: what is bound to draw into it
  int32_t width = 0, height = 0;  // size the tile textures were made for
  bool targetRefused = false;     // spg: the device refused a target of width x height
  // Without pixel shaders: the ramp setting whose alpha the mask textures
  // hold (-1: the mask as loaded).
  int32_t maskRamped = -1;
};

enum UploadFlag : uint8_t {
  kUploadPixels = 1,  // picture changed (size may differ from gpu.width/height)
  kUploadMask = 2,    // mask picture changed
};

struct Slot {
  float world[16], view[16], projection[16];
  GpuTextures gpu;
  uint8_t upload;        // UploadFlag bits, cleared by the renderer
  bool renderTarget;     // spg slot: no picture, imageWidth × imageHeight target
  int32_t width, height; // one frame, in pixels
  uint32_t loadFlags;
  int32_t blend;         // 0-8, default 1; stored as the script gave it, so bound it
  int32_t colourMode;
  int32_t group;         // render-target sprite drawn into; 0 = screen
  int32_t maskVague;     // 0-511
  int32_t alpha;         // 0-255, default 255
  int32_t frame;
  uint32_t colour;       // 0xFFRRGGBB
  int32_t maskReverse;
  int32_t maskProgress;  // 0-1023
  float x, y;
  float scaleW, scaleH;
  float rotX, rotY, rotZ;
  int32_t tileColumns, tileRows, tileCount;
  int32_t tileTexWidth, tileTexHeight;      // every tile's texture
  int32_t lastTileWidth, lastTileHeight;    // used part of the last column / row
  float originX, originY;                   // 0 left/top, 1 centre, 2 right/bottom
  int32_t imageWidth, imageHeight;          // whole picture, all frames
  int32_t frames;
  int32_t resolution;                       // 0 normal, 1 logical units, 2 high-resolution
  int32_t reserved1, reserved2;             // copied between slots, zero by default
  image::Image* picture;                    // owned unless shared; null for a render target
  // Set when picture is a cached picture shown as it is: picture points into
  // it, is not owned and is never written through.
  std::shared_ptr<const image::Image> shared;
  std::vector<Tile> tiles;                  // tileCount entries, column-major rows
  std::vector<TileVertex> vertices;         // four per tile: TL, TR, BL, BR (a strip)
  image::Image* mask;                       // sp_mask picture, owned
  int32_t maskTileColumns, maskTileRows;    // mask tiling (same rules)
  bool dirty;                               // placement must be recomputed
  bool placeholder;                         // loaded in jump mode: the picture is still to be read
  // The picture is a string sprite's text as rendered, unwritten since: a
  // larger output may show the text rendered again at its own pixels.
  bool showsText;
};

struct TrackKey;  // motion keys, owned by the motion tracks

void notePendingSprite();

// A sprite's uncommitted changes (kPending* bits). Marking any tells the
// table, so a frame with nothing to commit does not walk all its sprites.
struct PendingMarks {
  uint32_t bits;
  operator uint32_t() const { return bits; }
  PendingMarks& operator=(uint32_t b) {
    bits = b;
    if (b) notePendingSprite();
    return *this;
  }
  PendingMarks& operator=(const PendingMarks& other) { return *this = other.bits; }
  PendingMarks& operator|=(uint32_t b) { return *this = bits | b; }
  PendingMarks& operator&=(uint32_t b) {
    bits &= b;
    return *this;
  }
};

// Field order as saved; everything before `negative` is cleared on deletion.
struct Sprite {
  int32_t front;
  PendingMarks pending;
  char name[128];
  char maskName[128];
  char fontFace[32];  // fontFace[0] is the KindMark of a non-text sprite
  int32_t fontSize;
  int32_t fontAttr[4];
  int32_t order;
  int32_t cutX, cutY, cutW, cutH;
  std::array<TrackKey*, kTrackKinds> currentKey;
  int32_t endDelete;
  int32_t linked;
  uint32_t trackMask;
  int32_t quake[14];
  int32_t negative, grayscale, turn, brightnessContrast, colour, hsl, blur, mosaic;
};

// ---- table access (n must be 0-999) -------------------------------------
inline bool validNumber(int n) { return n >= 0 && n < kSpriteCount; }
Sprite& record(int n);
Slot* slot(int n, int index);  // index 0 or 1; null until a picture was loaded
Slot* frontSlot(int n);
Slot* backSlot(int n);
// The slot a transition's "after" picture and the queries use: the back slot
// while a new picture is pending, otherwise the front slot.
Slot* afterSlot(int n);
// order * 1024 + n, or n for order 0.
int drawKey(int n);

// The slot's picture ready to be written into: a cached picture the slot
// shows as it is gets replaced by a copy first. Null without a picture or
// memory.
image::Image* writablePicture(Slot& s);

// Draw key -> sprite number of one group (0 = the screen, otherwise an spg
// sprite). Iterate with rbegin() for back to front.
const std::map<int, int>& drawOrder(int group);
const std::set<int>& groupMembers(int group);
// Sprites whose back or front slot is a render target, ascending.
const std::set<int>& renderTargets();

// ---- commits --------------------------------------------------------------
void commitSprite(int n);
void commitAll();  // draw, draw2, draw3, effect and save call this
// Shut-down: deletes every sprite; image effects are cleared too.
void clearTable();

// ---- what the display tells the table -------------------------------------
struct TextureLimits {
  int32_t maxWidth = 0, maxHeight = 0;  // 0 = no limit
  bool pow2 = false;
  bool square = false;
  bool mipMaps = false;
  int32_t deviceMaxSide = 0;  // the device's largest texture, whatever the settings; 0 = unknown
};
void setTextureLimits(const TextureLimits& limits);
const TextureLimits& textureLimits();

struct ScreenFacts {
  int32_t width = 800, height = 600;  // logical screen
  float displayRate = 1.0f;
  float pictureRatio = 1.0f;
};
void setScreenFacts(const ScreenFacts& facts);
const ScreenFacts& screenFacts();

// Jump mode: loads create empty placeholder slots (1 x 1, a framed picture
// its canvas size) that rebuildPlaceholders() fills when the jump ends.
void setJumpLoading(bool on);
bool jumpLoading();

// What the sprite library reaches in higher layers; unset ones do nothing.
struct SpriteHooks {
  // Called with every slot about to be freed (also the front slot replaced by
  // a new picture), so that the renderer releases Slot::gpu.
  void (*releaseGpu)(Slot& slot) = nullptr;
  // The movie player: a sprite's movie stops when its picture is replaced or
  // the sprite is deleted.
  void (*stopMovie)(int n) = nullptr;
  // Whether sprite n's movie still moves (sp_alv): a Theora movie past its
  // duration holds its last picture and no longer counts.
  bool (*moviePlaying)(int n) = nullptr;
  // sc_mb: the renderer's motion blur on or off, with its strength (0-255).
  void (*motionBlur)(bool on, int strength) = nullptr;
  // What the look-ahead loads ahead of a voice line (a path in the game).
  void (*preloadVoice)(const std::string& path) = nullptr;
  // A text sprite's, a movie's and an image-log sprite's picture again,
  // after a jump or a restore.
  image::Image* (*buildTextSprite)(int n) = nullptr;
  image::Image* (*rebuildMovie)(int n) = nullptr;
  image::Image* (*rebuildImageLog)(int n) = nullptr;
};
void installSpriteHooks(const SpriteHooks& hooks);
const SpriteHooks& spriteHooks();

// What the motion tracks add to the table; all may stay null until they land.
struct MotionHooks {
  void (*dropTracks)(int n) = nullptr;  // deletion: tracks, frame animation, quake
  // A property command met a running track of kind k: retarget its last key.
  void (*retarget)(int n, int kind, float value) = nullptr;
  // Final value of a running track of kind k (queries report where it heads).
  bool (*finalValue)(int n, int kind, float& value) = nullptr;
};
void setMotionHooks(const MotionHooks& hooks);

// ---- pictures the engine makes ----------------------------------------------
// A picture (taken) into sprite n's back slot with its slot set-up, as sp loads
// one; in jump mode a placeholder. The caller names the sprite.
bool loadMadePicture(int n, image::Image* picture, int resolution, uint32_t flags = 0);
// The load-time effect chain of a record's effect fields (negative ... mosaic).
void applyImageEffects(const Sprite& r, image::Image*& picture);

// sp_ani's picture: an opaque black width x height canvas (a 1 x 1
// placeholder while jump loading) in the back slot, switched in with flags,
// with the movie's path as picture name and the movie kind mark. Reports
// " テクスチャが作れませんでした" after the number when the canvas cannot be
// made.
bool loadMovieCanvas(int n, int width, int height, uint32_t flags, const char* path);

// ---- text pictures -------------------------------------------------------------
// A rendered text picture (taken) into sprite n's back slot, as sp loads one;
// in jump mode a placeholder. The caller fills name and font fields.
bool loadTextPicture(int n, image::Image* picture, uint32_t flags);
// Replaces the front slot's picture (taken) in place.
bool replaceFrontPicture(int n, image::Image* picture);

// ---- image log ---------------------------------------------------------------
// Fills up to capacity 192-byte records with the sprites on screen (render-
// target groups first, then the screen, each in draw order); a record whose
// first byte is 0 ends a shorter list. Returns the number written.
int recordImageLog(uint8_t* records, int capacity);

// ---- command cores ---------------------------------------------------------
// Binds the sp, sp_* image-effect and lookahead command cores; call once after
// the catalogue is registered.
void bindSpriteCores();

}  // namespace velmora::sprite

#pragma once
// Motion state shared by the track, quake and command files.
#include <list>
#include <map>
#include <set>
#include <string>

#include "sprite/internal.h"
#include "sprite/motion.h"

namespace velmora::sprite {

struct TrackKey {
  uint32_t start = 0;  // ms; a queued key restarts when it becomes current late
  int flags = 0;       // bit 0 remove after playing, bit 1 delete the sprite at the end
  int repeat = 0;      // passes left: 0 endless, 1 last
  int from = 0, to = 0;
  int duration = 2;    // given | 2, so never 0
  int easing = 0;
  int second = 0;      // M: maskReverse
  std::string path;    // S: picture to switch to
  bool begun = false;  // S: the picture has been loaded into the other slot
};
using KeyList = std::list<TrackKey>;

struct Quake {
  int amplitude = 0, period = 0, count = 0, easing = 0, type = 0;
  uint32_t start = 0;
  float offset = 0;
};

struct MotionState {
  std::array<std::map<int, KeyList>, kTrackKinds> tracks;
  std::set<int> quaking;  // sprites with a sprite quake
  Quake screen[2];
  int screenTargets[2] = {0, 0};
  bool screenQuakeShown = false;  // offsets were applied last frame
  bool suppressed = false;
  int frameChanges = 0;
  // Picture switches: running ones, and on the CPU path the old picture while
  // the front slot shows the blend.
  std::set<int> switching;
  std::map<int, image::Image*> switchOriginal;
  bool switchOnGpu = true;
};
MotionState& motion();

constexpr bool isFloatKind(int kind) { return kind <= kTrackRZ; }
constexpr int kindScale(int kind) { return kind == kTrackW || kind == kTrackH ? 100 : 1; }

// ---- tracks (motion.cpp) ----------------------------------------------------
// Adds one key; value is the script's target, already negated for RZ.
bool addKey(int n, int kind, int value, int time, int easing, int mode, int second = 0);
// A key's value as its kind holds it (alpha and frame a byte, colour 24
// bits, mask progress 10 bits).
int maskValue(int kind, int value);
// The property in key units (floats times their scale).
int propertyValue(int n, int kind);
// Writes a property to both slots; second < 0 keeps maskReverse.
void writeProperty(int n, int kind, float value, int second);
void finishMotion(int n);  // sp_ae
void endTrack(int n, int kind);
// The playing key (the first when none is recorded).
KeyList::iterator currentOf(int n, int kind, KeyList& keys);
void dropTracks(int n);
bool anyTrack();

// ---- picture switches (motion_switch.cpp) ------------------------------------
// One S step; advances the track when the switch is over.
void stepSwitch(int n, KeyList& keys, uint32_t now);
// sp_ae and deletion: the switch ends where it is, the new picture in front.
void endSwitch(int n);
void dropSwitch(int n);
bool advanceTrack(int n, int kind, KeyList& keys, uint32_t now);

// ---- quakes (quake.cpp) -------------------------------------------------------
Quake loadQuake(const Sprite& r, int axis);
void storeQuake(Sprite& r, int axis, const Quake& q);
// Starts or stops; false when the values stop the quake.
bool startQuake(Quake& q, int amplitude, int period, int count, int easing, int type, int delay, uint32_t now);
// Advances to now; false once the quake has ended.
bool evaluateQuake(Quake& q, uint32_t now);
void stepQuakes(uint32_t now);
bool anyQuake();
void dropQuakes(int n);

// " スプライト番号が不正です" after the number.
void reportBadNumber(int n);

}  // namespace velmora::sprite

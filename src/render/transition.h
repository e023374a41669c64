#pragma once
// Screen transitions: the effect command with its four scene passes (plain
// or motion blur, Fade, the named effects, the mask), existStretch and the
// motion-blur switch. Main thread only.
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::render {

enum TransitionPass : int { kPassPlain = 0, kPassFade = 1, kPassNamed = 2, kPassMask = 3, kPassCount = 4 };

// Binds effect and existStretch and installs the scene passes, the
// transition-busy query and the mask's device-reset step. Call once after
// bindRenderCores().
void bindTransitionCoresAndPasses();
// sc_mb: the motion blur pass on or off; strength 0-255.
void setMotionBlur(bool on, int strength);

// The whole effect command: skip modes, preparation, the timed loop, the
// finish and the look-ahead around it.
void runEffect(int index, uint32_t duration, int easing, std::string_view name, int vagueness, bool lookahead);

// The pieces of runEffect, for tests that draw chosen moments: prepare
// selects the named effect or loads the mask (false: nothing to run, the
// changes were committed) and sets the vagueness; finish commits and clears it.
bool prepareTransition(int index, std::string_view name, int vagueness);
void finishTransition(int index);

// progress(range, t, duration, easing): the share of range at t, along the
// easing curve (negative ids are the mirrored forms).
int transitionProgress(int range, uint32_t t, uint32_t duration, int easing);

// ---- named effects (effects_named.cpp) -----------------------------------
// Built once the device exists; the names in table order.
void buildEffectTable();
bool existStretch(std::string_view name);
int effectCount();
const char* effectName(int i);
// Selects the effect for pass 2; false for an unknown name.
bool selectEffect(std::string_view name);
void namedEffectPass(uint32_t elapsed, uint32_t duration, int easing);

// ---- mask transition (mask.cpp) ------------------------------------------
// The ramp tables: 512 rows of 1024 (32-bit colour) and 32 rows of 64
// (16-bit colour), built on first use.
uint8_t maskRamp(int vagueness, int position);
uint8_t maskRamp16(int row, int position);
// Whole rows (1024 and 64 entries) for loops over every texel.
const uint8_t* maskRampRow(int vagueness);
const uint8_t* maskRamp16Row(int row);
int maskVagueness();
void setMaskVagueness(int v);
// StageStart: loads and scales the mask picture; false when it cannot.
bool startMask(const std::string& path);
void releaseMask();
// The device-reset re-creation step: the mask goes into the new texture.
void restoreMaskAfterReset();
// The two mask passes; the shader pass is used when the pixel shaders loaded.
void stageMaskPass(uint32_t elapsed, uint32_t duration, int easing);
void shaderMaskPass(uint32_t elapsed, uint32_t duration, int easing);

// ---- scaling filters (filters.cpp) ---------------------------------------
// Device creation's filter check: a filter the shader version cannot run is
// replaced, with the notice.
void checkInterpolation();
// Present step 5 through the chosen filter's shader; false when that filter
// has no program (the caller draws the plain quad).
bool presentFiltered();
void releaseFilterObjects();

}  // namespace velmora::render

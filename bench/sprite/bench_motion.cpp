// The motion frame step: 1000 sprites with an X and an alpha track each.
#include <benchmark/benchmark.h>

#include "platform/vclock.h"
#include "sprite/motion_internal.h"

namespace {

using namespace velmora;

void StepThousandSpritesTwoTracks(benchmark::State& state) {
  platform::setVirtualClock(true);
  sprite::TableState& t = sprite::table();
  for (int n = 0; n < sprite::kSpriteCount; ++n) {
    t.slots[n][0] = sprite::newSlot();
    t.slots[n][1] = sprite::newSlot();
    t.sprites[n].name[0] = 'a';
    sprite::addKey(n, sprite::kTrackX, 700, 5000, 3, 0);
    sprite::addKey(n, sprite::kTrackA, 0, 5000, 0, 0);
  }
  for (auto _ : state) {
    platform::advanceVirtualClock(16);
    sprite::motionFrameStep();
  }
  sprite::clearMotion();
  sprite::clearTable();
  platform::setVirtualClock(false);
}
BENCHMARK(StepThousandSpritesTwoTracks)->Unit(benchmark::kMicrosecond);

}  // namespace

// After the wiring no hook of a lower layer is left at its default: a hook
// added to a struct but not installed fails here, not in a game.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "app/scenario.h"
#include "app/wiring.h"
#include "base/pump.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/snapshot.h"
#include "platform/glide.h"
#include "render/hooks.h"
#include "save/location.h"
#include "script/interp.h"
#include "script/modes.h"
#include "sprite/sprite.h"
#include "text/backlog.h"

namespace velmora::app::test {
namespace {

using AnyFunction = void (*)();

// The hooks structs hold function pointers only: the unset ones are null.
template <class Hooks>
int unsetHooks(const Hooks& hooks) {
  static_assert(sizeof(Hooks) % sizeof(AnyFunction) == 0);
  std::array<AnyFunction, sizeof(Hooks) / sizeof(AnyFunction)> fields;
  std::memcpy(fields.data(), &hooks, sizeof(Hooks));
  int unset = 0;
  for (AnyFunction f : fields) unset += f == nullptr;
  return unset;
}

TEST(Wiring, LeavesNoHookAtItsDefault) {
  wireEngine();
  EXPECT_EQ(unsetHooks(pumpHooks()), 0);
  EXPECT_EQ(unsetHooks(reportHooks()), 0);
  EXPECT_EQ(unsetHooks(platform::glideHooks()), 0);
  EXPECT_EQ(unsetHooks(snapshotTextLink()), 0);
  EXPECT_EQ(unsetHooks(script::modeHooks()), 0);
  EXPECT_EQ(unsetHooks(script::interpreterHooks()), 0);
  EXPECT_EQ(unsetHooks(render::renderHooks()), 0);
  EXPECT_EQ(unsetHooks(text::textHooks()), 0);
  EXPECT_EQ(unsetHooks(save::settingsLoadHooks()), 0);
  EXPECT_EQ(unsetHooks(scenarioHooks()), 0);
  EXPECT_EQ(unsetHooks(sprite::spriteHooks()), 0);
  // The settings whose change does more than store the value.
  for (SettingKey key : {SettingKey::FullScreen, SettingKey::ScreenAspect, SettingKey::WallPaper, SettingKey::CursorFile,
                         SettingKey::Gamepad})
    EXPECT_NE(settingEffect(key), nullptr) << static_cast<int>(key);
}

}  // namespace
}  // namespace velmora::app::test

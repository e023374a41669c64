// SetRenderTarget2 as Lua code calls it: a group sprite becomes the draw
// target, sprite 0 gives the scene back, a sprite without a picture answers
// nil after its report.
#include <epoxy/gl.h>

#include <array>

#include "bindings/host_commands.h"
#include "bindings/lua_host.h"
#include "base/textconv.h"
#include "scene.h"

namespace velmora::render::test {
namespace {

class ScriptTarget : public Scene {
 protected:
  void SetUp() override {
    Scene::SetUp();
    bindings::registerScriptHosts();
  }
  void TearDown() override {
    bindings::releaseScriptHosts();
    bindings::installOwnBridge();
    Scene::TearDown();
  }
  std::string call(const std::string& args) {
    velmora::test::writeFile("t.lua", "local f = io.open('r.txt', 'w')\nf:write(tostring(SetRenderTarget2(" + args +
                                          ")))\nf:close()\n");
    std::filesystem::remove("r.txt");
    bindings::loadLuaFile("t.lua", nullptr);
    return velmora::test::readFile("r.txt");
  }
  static std::array<GLint, 4> viewport() {
    std::array<GLint, 4> v{};
    glGetIntegerv(GL_VIEWPORT, v.data());
    return v;
  }
};

TEST_F(ScriptTarget, GroupSpriteSceneAndMissingPicture) {
  savePicture("p.png", makePicture(8, 8, [](int, int) { return 0xFF00FF00u; }));
  screen(64, 48);
  run("spg", "10,32,24,0");
  run("sp", "11,\"p.png\",0,1");
  run("draw", "");

  EXPECT_EQ(call("0, 10"), "0");
  EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 32, 24}));
  GLint group = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &group);

  EXPECT_EQ(call("0, 0"), "0");
  EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 64, 48}));
  GLint scene = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &scene);
  EXPECT_NE(group, scene);

  // A plain picture has no surface: refused, and the target stays.
  EXPECT_EQ(call("0, 11"), std::to_string(GL_INVALID_OPERATION));
  EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 64, 48}));

  std::filesystem::remove("Information.txt");
  EXPECT_EQ(call("0, 12"), "nil");
  EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 64, 48}));
  const std::string log = velmora::test::readFile("Information.txt");
  EXPECT_NE(log.find("12" + sj(" 画像が読み込まれていません")), std::string::npos) << sjis_to_utf8(log);
  EXPECT_NE(log.find("SetRenderTarget2"), std::string::npos) << sjis_to_utf8(log);
}

}  // namespace
}  // namespace velmora::render::test

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "base/report.h"
#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "resource/packer.h"
#include "save/location.h"
#include "save/settings_file.h"
#include "script/control.h"
#include "script/expression.h"
#include "script/interp.h"
#include "script/loader.h"
#include "support/tempdir.h"

namespace velmora::bindings {
namespace {

class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    runOptions().headless = true;
    runOptions().answer = 7;
    setSaveRoot("");
    quitRequest = 0;
    script::registerOwnCommands();
    installReportHooks({.ownTrace = script::ownLanguageTrace});
    registerCatalogue();
    save::bindSaveCommands();
  }
  void TearDown() override {
    script::clearControlState();
    script::resetInterpreter();
    script::resetVariables();
    script::releaseScriptTables();
    save::resetSaveLocation();
    resetSettings();
    quitRequest = 0;
  }
  test::TempDir dir;
};

TEST_F(Catalogue, HoldsTheCommandsOnceEachWithTheirResultCounts) {
  std::set<std::string> names;
  for (const CatalogueEntry& e : catalogue()) names.insert(e.name);
  EXPECT_EQ(names.size(), 264u);
  EXPECT_EQ(catalogue().front().name, std::string("getTag"));
  EXPECT_EQ(catalogue().back().name, std::string("sd_loopSample"));

  int foreign = 0;
  for (const CatalogueEntry& e : catalogue()) foreign += offeredToForeignLanguages(e);
  EXPECT_EQ(foreign, 263);
  EXPECT_FALSE(offeredToForeignLanguages(catalogue()[catalogueIndex("getTag")]));

  auto luaCount = [](const char* name) { return luaResultCount(catalogue()[catalogueIndex(name)]); };
  for (const char* two : {"getMessLast", "getAlreadyReadFlag", "getCursorPos", "sp_gsz", "sp_gxy", "sp_gwh"})
    EXPECT_EQ(luaCount(two), 2) << two;
  EXPECT_EQ(luaCount("eventWait"), 3);
  EXPECT_EQ(luaCount("eventWaitPT"), 3);
  EXPECT_EQ(luaCount("eventWaitDD"), 4);
  EXPECT_EQ(luaCount("getLocalTime"), 6);
  EXPECT_EQ(luaCount("getMessSpeed"), 1);
  EXPECT_EQ(luaCount("sp"), 0);
  EXPECT_TRUE(catalogue()[catalogueIndex("getCursorPos")].flags & kList);
  EXPECT_FALSE(catalogue()[catalogueIndex("getAlreadyReadFlag")].flags & kList);
  EXPECT_EQ(catalogueIndex("noSuchCommand"), -1);
}

// Every name runs from the own language and names itself in errcmd.
TEST_F(Catalogue, EveryNameIsCallableFromTheOwnLanguage) {
  for (const CatalogueEntry& e : catalogue()) {
    script::CommandHandler h = script::findCommand(e.name);
    ASSERT_NE(h, nullptr) << e.name;
    setErrcmd("");
    h("");
    EXPECT_EQ(std::string(errcmd()), e.name);
    quitRequest = 0;
  }
}

// Through the real loop, as a game runs them.
TEST_F(Catalogue, CommandsRunFromAScriptLine) {
  test::writeFile("script.dat",
                  resource::buildScriptFile({{"script/0.txt", "int r:string s:getGameName $s:setPointWait 300:"
                                                              "getPointWait %r\n"}}));
  ASSERT_TRUE(script::loadScriptIndex());
  ASSERT_TRUE(script::loadScript(crc64_hash("script/0.txt"), script::slotLines(0)));
  script::slotChanged(0);
  script::runScript();
  EXPECT_EQ(*script::stringReference("$s"), "Velmora");
  EXPECT_EQ(*script::numericReference("%r"), 44);
}

}  // namespace
}  // namespace velmora::bindings

#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "platform/window.h"
#include "save/save_fixture.h"

namespace velmora::save {
namespace {

using test_support::SaveTest;

class SaveLocation : public SaveTest {
 protected:
  // A sibling game's settings, written as that game would have.
  void writeSiblingSettings(const std::string& game) {
    setSaveRoot(utf8_to_sjis(docs() + "/Maker/" + game + "/"));
    setting(SettingKey::TextSpeed) = 35;
    setSaveProtect(3, 1);
    script::cmd_int("s_cleared=9");
    ASSERT_TRUE(writeSettingsFile());
    resetSettings();
    resetSaveProtect();
    script::resetVariables();
    setSaveRoot("");
  }
  std::string currentDirectory() {
    script::cmd_string("dir");
    run("getCurrentDirectory", " $dir");
    return str("dir");
  }
};

TEST_F(SaveLocation, AnEmptyMarkerKeepsSavesInTheGameFolder) {
  test::writeFile("save.dat", "");
  std::filesystem::create_directory("save");
  setting(SettingKey::TextSpeed) = 35;
  run("saveSetting");
  resetSettings();
  run("loadSetting", " \"Maker\", \"Game\"");
  EXPECT_EQ(quitRequest.load(), 0);
  EXPECT_EQ(currentDirectory(), "");
  EXPECT_EQ(saveFolder(), "save/");
  EXPECT_EQ(setting(SettingKey::TextSpeed), 35);
  EXPECT_EQ(test::readFile("save.dat"), "");
}

TEST_F(SaveLocation, AMarkerWithOneUsesTheDocumentsFolder) {
  test::writeFile("save.dat", "1");
  run("loadSetting", " \"Maker\", \"Game\"");
  EXPECT_EQ(quitRequest.load(), 0);
  const std::string root = docs() + "/Maker/Game/";
  EXPECT_EQ(currentDirectory(), root);
  EXPECT_EQ(settingsPath(), root + "save/setting.dat");
  EXPECT_EQ(setting(SettingKey::Interpolation), 2);  // first run there
  writeSettingsAtExit();
  EXPECT_TRUE(std::filesystem::exists(root + "save/setting.dat"));
}

TEST_F(SaveLocation, TheOlderMarkerInTheSaveFolderCountsToo) {
  test::writeFile("save/save.dat", "1");
  run("loadSetting", " \"Maker\", \"Game\"");
  EXPECT_EQ(currentDirectory(), docs() + "/Maker/Game/");
  EXPECT_FALSE(std::filesystem::exists("save.dat"));
}

// Only the marker the engine writes ("1", an editor's blanks around it
// allowed) chooses Documents; other content keeps the game folder. The
// log of the chosen root says which and why.
TEST_F(SaveLocation, OnlyAOneInTheMarkerChoosesDocuments) {
  const std::string root = docs() + "/Maker/Game/";
  const std::pair<std::string, std::string> markers[] = {
      {"0", ""}, {"\n", ""}, {std::string(1, '\0'), ""}, {"yes", ""}, {"11", ""}, {"1\r\n", root}, {" 1 ", root},
  };
  for (const auto& [content, expected] : markers) {
    SCOPED_TRACE(testing::PrintToString(content));
    resetSaveLocation();
    test::writeFile("save.dat", content);
    run("loadSetting", " \"Maker\", \"Game\"");
    EXPECT_EQ(currentDirectory(), expected);
    const std::string log = takeLog(expected + "Information.txt");
    if (expected.empty())
      EXPECT_EQ(log, content == "\n" ? "セーブデータの保存先: ゲームフォルダ (save.dat が空)\n"
                                     : "セーブデータの保存先: ゲームフォルダ (save.dat の内容が 1 でも空でもない)\n");
    else
      EXPECT_EQ(log, "セーブデータの保存先: " + root + " (save.dat が 1、ドキュメントフォルダは xdg-user-dir DOCUMENTS)\n");
  }
}

// Without a Documents folder saves go under the data folder, never to the
// top of the home folder (xdg-user-dir answers with the home folder then).
TEST_F(SaveLocation, WithoutADocumentsFolderTheDataFolderHoldsTheSaves) {
  std::filesystem::remove(home_ / ".config/user-dirs.dirs");
  unsetenv("XDG_DOCUMENTS_DIR");
  const std::string home = home_.string();
  const std::string data = (dir.path() / "data").string();
  struct Case {
    const char* dataHome;
    bool documents;
    std::string root, source;
  } cases[] = {
      {nullptr, false, home + "/.local/share/Maker/Game/", "~/.local/share"},
      {"relative/data", false, home + "/.local/share/Maker/Game/", "~/.local/share"},
      {data.c_str(), false, data + "/Maker/Game/", "$XDG_DATA_HOME"},
      {data.c_str(), true, home + "/Documents/Maker/Game/", "~/Documents"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    resetSaveLocation();
    if (c.dataHome) setenv("XDG_DATA_HOME", c.dataHome, 1);
    else unsetenv("XDG_DATA_HOME");
    if (c.documents) std::filesystem::create_directories(home_ / "Documents");
    test::writeFile("save.dat", "1");
    run("loadSetting", " \"Maker\", \"Game\"");
    EXPECT_EQ(currentDirectory(), c.root);
    EXPECT_EQ(takeLog(c.root + "Information.txt"),
              "セーブデータの保存先: " + c.root + " (save.dat が 1、ドキュメントフォルダは " + c.source + ")\n");
  }
  unsetenv("XDG_DATA_HOME");
}

// Temporaries a killed writer left: this version's, and the fixed names
// earlier versions used beside the file they replaced.
TEST_F(SaveLocation, LoadSettingSweepsTheTemporariesLeftInTheSaveFolder) {
  for (const char* name : {"save/save001.txt", "save/save001.txt.tmp", "save/notes.tmp",
                           "save/setting.dat.velmora-tmp.Ab12Cd", "save.dat"})
    test::writeFile(name, "");
  run("loadSetting", " \"Maker\", \"Game\"");
  std::set<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator("save")) left.insert(e.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"save001.txt", "notes.tmp"}));
}

// A second copy that lost the instance lock leaves the first one's
// settings alone at exit.
TEST_F(SaveLocation, ACopyThatLostTheInstanceLockWritesNothingAtExit) {
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  test::writeFile("save.dat", "");
  ASSERT_TRUE(platform::takeInstanceLock("Lock test"));
  const pid_t child = fork();
  if (child == 0) {
    // The second copy: its settings are read, then the lock is lost (the
    // first copy's lock, inherited through fork, is let go first).
    platform::releaseInstanceLock();
    run("loadSetting", " \"Maker\", \"Game\"");
    const bool lost = !platform::takeInstanceLock("Lock test") && platform::instanceLockLost();
    writeSettingsAtExit();
    _exit(lost ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  platform::releaseInstanceLock();
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_FALSE(std::filesystem::exists("save/setting.dat"));
  // The copy that holds the lock writes as before.
  run("loadSetting", " \"Maker\", \"Game\"");
  writeSettingsAtExit();
  EXPECT_TRUE(std::filesystem::exists("save/setting.dat"));
}

const char kWhere[] =
    "[Confirm] ドキュメントにセーブデータを保存しても宜しいですか？\n\nドキュメントを選ぶと同じブランドのゲームのセーブデータが\n"
    "ドキュメントにあれば設定を一部引き継げるようになります。\n";

TEST_F(SaveLocation, AMissingMarkerAsksAndRemembersTheAnswer) {
  runOptions().answer = 6;
  testing::internal::CaptureStderr();
  run("loadSetting", " \"Maker\", \"Game\"");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            kWhere + std::string(" -> yes\n[Confirm] ドキュメントにセーブデータを作りますか？\n") + docs() +
                "/Maker/Game/ -> yes\n");
  EXPECT_EQ(quitRequest.load(), 0);
  EXPECT_EQ(test::readFile("save.dat"), "1");
  EXPECT_EQ(currentDirectory(), docs() + "/Maker/Game/");
}

TEST_F(SaveLocation, RefusingBothPlacesOrCancellingQuits) {
  for (int answer : {7, 2}) {
    quitRequest = 0;
    runOptions().answer = answer;
    testing::internal::CaptureStderr();
    run("loadSetting", " \"Maker\", \"Game\"");
    std::string asked = testing::internal::GetCapturedStderr();
    EXPECT_EQ(asked, answer == 2 ? kWhere + std::string(" -> cancel\n")
                                 : kWhere + std::string(" -> no\n[Confirm] ゲームフォルダにセーブデータを作りますか？ -> no\n"));
    EXPECT_EQ(quitRequest.load(), 1) << answer;
    EXPECT_FALSE(std::filesystem::exists("save.dat"));
    EXPECT_FALSE(saveLocationChosen());
    writeSettingsAtExit();  // nothing was chosen: nothing is written
    EXPECT_FALSE(std::filesystem::exists("save"));
  }
}

TEST_F(SaveLocation, AFirstStartTakesTheChosenSiblingsSettings) {
  writeSiblingSettings("GameA");
  writeSiblingSettings("ゲーム");  // named in UTF-8 on disk, in Shift_JIS inside the engine
  test::writeFile("save.dat", "1");
  ASSERT_TRUE(std::filesystem::exists(docs() + "/Maker/ゲーム/save/setting.dat"));
  runOptions().inheritGame = "ゲーム";
  run("loadSetting", " \"Maker\", \"GameB\"");
  EXPECT_EQ(quitRequest.load(), 0);
  EXPECT_EQ(setting(SettingKey::TextSpeed), 35);
  EXPECT_EQ(saveProtect(3), 1);
  EXPECT_EQ(num("s_cleared"), 9);
  // Written at once, so a second start reads its own file.
  const std::string own = docs() + "/Maker/GameB/save/setting.dat";
  ASSERT_TRUE(std::filesystem::exists(own));
  resetSettings();
  run("loadSetting", " \"Maker\", \"GameB\"");
  EXPECT_EQ(setting(SettingKey::TextSpeed), 35);
}

TEST_F(SaveLocation, WithoutAChoiceTheFirstStartWritesDefaults) {
  writeSiblingSettings("GameA");
  test::writeFile("save.dat", "1");
  runOptions().inheritGame = "NoSuchGame";
  run("loadSetting", " \"Maker\", \"GameB\"");
  EXPECT_EQ(setting(SettingKey::TextSpeed), 20);
  EXPECT_EQ(saveProtect(3), 0);
  EXPECT_EQ(num("s_cleared"), -999);
  EXPECT_TRUE(std::filesystem::exists(docs() + "/Maker/GameB/save/setting.dat"));
}

// Until the inheritance window lands, each candidate gets a box of its own.
TEST_F(SaveLocation, WithADisplayEachSiblingIsOfferedInABox) {
  writeSiblingSettings("GameA");
  test::writeFile("save.dat", "1");
  runOptions().headless = false;  // no video yet: the boxes answer as headless ones do
  runOptions().answer = 6;
  testing::internal::CaptureStderr();
  run("loadSetting", " \"Maker\", \"GameB\"");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "[Confirm] 「GameA」の設定を引き継ぎますか？ -> yes\n");
  EXPECT_EQ(setting(SettingKey::TextSpeed), 35);
}

InheritanceChoice quitChoice(const std::vector<std::string>&) { return InheritanceChoice{true, -1}; }

TEST_F(SaveLocation, QuittingTheInheritanceChoiceReadsAndWritesNothing) {
  writeSiblingSettings("GameA");
  test::writeFile("save.dat", "1");
  const SettingsLoadHooks wired = settingsLoadHooks();
  SettingsLoadHooks quitting = wired;
  quitting.chooseInheritance = quitChoice;
  installSettingsLoadHooks(quitting);
  run("loadSetting", " \"Maker\", \"GameB\"");
  installSettingsLoadHooks(wired);
  EXPECT_EQ(quitRequest.load(), 1);
  writeSettingsAtExit();
  EXPECT_FALSE(std::filesystem::exists(docs() + "/Maker/GameB/save/setting.dat"));
}

TEST_F(SaveLocation, OnlySaveFolderSettingsNameAGame) {
  const std::string parent = docs() + "/Maker/";
  test::writeFile(parent + "GameA/save/setting.dat", "x");
  test::writeFile(parent + "Series/GameC/save/setting.dat", "x");
  test::writeFile(parent + "ゲーム/save/setting.dat", "x");
  test::writeFile(parent + "Loose/setting.dat", "x");
  test::writeFile(parent + "Old/save/oldsetting.dat", "x");
  test::writeFile(parent + "save/setting.dat", "x");
  std::filesystem::create_directories(parent + "Dir/save/setting.dat");
  EXPECT_EQ(inheritableGames(parent), (std::vector<std::string>{"GameA", "Series/GameC", sj("ゲーム")}));
  EXPECT_TRUE(inheritableGames(docs() + "/Nobody/").empty());
}

TEST_F(SaveLocation, ProtectionCommandsSetClearAndToggle) {
  script::cmd_int("p");
  run("setSaveProtect", " 5, 2");
  run("getSaveProtect", " 5, %p");
  EXPECT_EQ(num("p"), 1);
  run("setSaveProtect", " 5, 2");
  run("getSaveProtect", " 5, %p");
  EXPECT_EQ(num("p"), 0);
  run("setSaveProtect", " 100, 1");  // no such slot
  run("getSaveProtect", " 100, %p");
  EXPECT_EQ(num("p"), 0);
}

}  // namespace
}  // namespace velmora::save

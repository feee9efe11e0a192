// Settings files on the real profile functions of the platform.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "TestFiles.h"
#include "plugin/Settings.h"

using namespace ostrel;

namespace {

// Each test gets its own file in the working directory (the profile
// functions resolve bare names against the Windows folder, so use .\).
class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path = std::string(".\\settings_") +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
    DeleteFileA(path.c_str());
  }
  void TearDown() override { DeleteFileA(path.c_str()); }
  void put(const char* section, const char* key, const char* value) {
    ASSERT_TRUE(WritePrivateProfileStringA(section, key, value, path.c_str()));
  }
  std::string path;
};

}  // namespace

TEST_F(SettingsFile, IntegersFollowTheStandardConversion) {
  put("S", "spaced", " 7");
  put("S", "trailing", "12abc");
  put("S", "empty", "");
  put("S", "negative", "-42");
  EXPECT_EQ(readSettingInt("S", "spaced", 99, path), 7);
  EXPECT_EQ(readSettingInt("S", "trailing", 99, path), 12);
  EXPECT_EQ(readSettingInt("S", "empty", 99, path), 99);
  EXPECT_EQ(readSettingInt("S", "negative", 99, path), -42);
  EXPECT_EQ(readSettingInt("S", "missing", 99, path), 99);
  EXPECT_EQ(readSettingInt("Nope", "spaced", 99, path), 99);
  EXPECT_EQ(readSettingInt("S", "spaced", 99, ".\\no_such_file.ini"), 99);
}

TEST_F(SettingsFile, BadNumbersFallBackToTheDefaultWithOneLogLine) {
  put("Odd", "word", "abc");
  put("Odd", "huge", "99999999999");
  put("Odd", "badfloat", "x1.5");
  put("Odd", "badhex", "zz");
  const size_t before = logContents().size();
  EXPECT_EQ(readSettingInt("Odd", "word", 5, path), 5);
  EXPECT_EQ(readSettingInt("Odd", "huge", 6, path), 6);
  EXPECT_FLOAT_EQ(readSettingFloat("Odd", "badfloat", 2.5f, path), 2.5f);
  EXPECT_EQ(readSettingHex("Odd", "badhex", 0x10u, path), 0x10u);
  const std::string added = logContents().substr(before);
  // One line per bad value, each naming the file, section and key.
  size_t lines = 0;
  for (char c : added) lines += c == '\n';
  EXPECT_EQ(lines, 4u) << added;
  for (const char* key : {"word", "huge", "badfloat", "badhex"}) {
    const size_t at = added.find(std::string(" ") + key + " ");
    ASSERT_NE(at, std::string::npos) << key << " in: " << added;
    const size_t eol = added.find('\n', at);
    const size_t bol = added.rfind('\n', at);
    const std::string line = added.substr(bol == std::string::npos ? 0 : bol + 1, eol - bol);
    EXPECT_NE(line.find("[Odd]"), std::string::npos) << line;
    EXPECT_NE(line.find(path), std::string::npos) << line;
  }
}

TEST_F(SettingsFile, FloatsAndHexNumbers) {
  put("S", "f", "  2.75xyz");
  put("S", "plain", "ff");
  put("S", "prefixed", "0xFF");
  put("S", "colour", "80FF00FF");
  EXPECT_FLOAT_EQ(readSettingFloat("S", "f", 0.0f, path), 2.75f);
  EXPECT_FLOAT_EQ(readSettingFloat("S", "missing", 1.5f, path), 1.5f);
  EXPECT_EQ(readSettingHex("S", "plain", 0, path), 255u);
  EXPECT_EQ(readSettingHex("S", "prefixed", 0, path), 255u);
  EXPECT_EQ(readSettingHex("S", "colour", 0, path), 0x80FF00FFu);
}

TEST_F(SettingsFile, TextsAreCutTo255AndLowerCasedOnRequest) {
  const std::string longText(300, 'x');
  put("S", "long", longText.c_str());
  put("S", "mixed", "Textures\\Dash.PNG");
  EXPECT_EQ(readSettingText("S", "long", "", path), std::string(255, 'x'));
  EXPECT_EQ(readSettingText("S", "missing", "Fallback", path), "Fallback");
  EXPECT_EQ(readSettingTextLower("S", "mixed", "", path), "textures\\dash.png");
  EXPECT_EQ(readSettingTextLower("S", "missing", "DeFault", path), "default");
}

TEST_F(SettingsFile, WritingCreatesTheFileButNotItsFolder) {
  EXPECT_TRUE(writeSettingInt("W", "n", -3, path));
  EXPECT_EQ(readSettingText("W", "n", "", path), "-3");
  EXPECT_EQ(readSettingInt("W", "n", 0, path), -3);
  EXPECT_FALSE(writeSettingInt("W", "n", 1, ".\\no_such_folder\\x.ini"));
  EXPECT_EQ(GetFileAttributesA(".\\no_such_folder"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SettingsFile, ListsSectionsAndKeysInFileOrder) {
  writeWholeFile(path, "[First]\r\na=1\r\nb\r\nc=x=y\r\n[Second]\r\nz=0\r\n");
  EXPECT_EQ(listSettingSections(path), (std::vector<std::string>{"First", "Second"}));
  EXPECT_EQ(listSettingKeys("First", path), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(readSettingText("First", "c", "", path), "x=y");
  EXPECT_TRUE(listSettingSections(".\\no_such_file.ini").empty());
  EXPECT_TRUE(listSettingKeys("Missing", path).empty());
}

TEST_F(SettingsFile, MergeReplacesSharedKeysKeepsOwnKeysAndAddsSections) {
  const std::string from = path + ".from.ini";
  DeleteFileA(from.c_str());
  writeWholeFile(from, "[Common]\r\nshared=new\r\nadded=2\r\n[OnlyInFrom]\r\nk=v\r\n");
  put("Common", "shared", "old");
  put("Common", "own", "keep");
  put("OnlyInTo", "t", "1");
  mergeSettingsFile(from, path);
  EXPECT_EQ(readSettingText("Common", "shared", "", path), "new");
  EXPECT_EQ(readSettingText("Common", "added", "", path), "2");
  EXPECT_EQ(readSettingText("Common", "own", "", path), "keep");
  EXPECT_EQ(readSettingText("OnlyInTo", "t", "", path), "1");
  EXPECT_EQ(readSettingText("OnlyInFrom", "k", "", path), "v");
  DeleteFileA(from.c_str());
}

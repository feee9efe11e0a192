// Start-up's sync of a gauge folder with its template: a changed template
// file replaces the player's once, keeping the player's as .bak, and a
// replacement that cannot be made leaves the player's file in its place.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestFiles.h"
#include "hooks/FolderSync.h"

namespace fs = std::filesystem;

namespace {

class TemplateSync : public testing::Test {
 protected:
  void SetUp() override {
    const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    root_ = "sync-" + name;
    fs::remove_all(root_);
    fs::create_directories(templates_ = root_ + "\\templates\\Car1");
    fs::create_directories(gauges_ = root_ + "\\gauges\\Car1");
    writeWholeFile(templates_ + "\\needle.png", "template's needle");
    writeWholeFile(gauges_ + "\\needle.png", "player's needle");
  }
  void sync() { ostrel::syncTree(root_ + "\\templates", root_ + "\\gauges"); }
  std::string player(const std::string& name) const { return readWholeFile(gauges_ + "\\" + name); }
  int filesInGauges() const {
    int n = 0;
    for (const auto& e : fs::directory_iterator(gauges_)) n += e.is_regular_file();
    return n;
  }
  std::string root_, templates_, gauges_;
};

TEST_F(TemplateSync, ChangedTemplateReplacesThePlayersFileOnceKeepingIt) {
  sync();
  EXPECT_EQ(player("needle.png"), "template's needle");
  EXPECT_EQ(player("needle.png.bak"), "player's needle");
  EXPECT_EQ(filesInGauges(), 2) << "no temporary copy left behind";
  writeWholeFile(templates_ + "\\needle.png", "next release's needle");
  sync();
  EXPECT_EQ(player("needle.png"), "template's needle") << "one backup, one replacement";
  EXPECT_EQ(player("needle.png.bak"), "player's needle");
}

// A template held open without sharing (as a virus scanner or an unpacking
// tool may) cannot be copied: the player's file must stay where the game
// reads it, not only as a backup that every later start would skip.
TEST_F(TemplateSync, TemplateThatCannotBeCopiedLeavesThePlayersFileInPlace) {
  HANDLE lock = CreateFileA((templates_ + "\\needle.png").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  sync();
  CloseHandle(lock);
  EXPECT_EQ(player("needle.png"), "player's needle");
  EXPECT_FALSE(fs::exists(gauges_ + "\\needle.png.bak"));
  EXPECT_EQ(filesInGauges(), 1) << "no temporary copy left behind";
  // Once the template can be read, the next start replaces the file as usual.
  sync();
  EXPECT_EQ(player("needle.png"), "template's needle");
  EXPECT_EQ(player("needle.png.bak"), "player's needle");
}

}  // namespace

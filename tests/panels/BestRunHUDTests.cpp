// The best run delta panel on the fake host's records, drawn through the
// recording host, with its best files in the test's own Bests folder: what
// the player reads (the signed delta in its colour, the bar, the best's time,
// the finish), and what happens to bad files and a folder that cannot be written.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>

#include "FakeHost.h"
#include "PanelFiles.h"
#include "RecordingHost.h"
#include "TextFiles.h"
#include "panels/BestRun.h"
#include "panels/BestRunFiles.h"
#include "panels/BestRunHUD.h"
#include "panels/HostState.h"

using namespace ostrel;
using namespace panel_tests;
using namespace testing_support;
using bestrun::RunTable;

namespace {

constexpr float kLength = 200.0f;
const bestrun::RunKey kKey{200, 0};

void removeBests() {
  const std::string folder = bestrun::bestsFolder();
  DeleteFileA(folder.c_str());  // a file of that name, left by a test
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do DeleteFileA((folder + "\\" + found.cFileName).c_str());
    while (FindNextFileA(h, &found));
    FindClose(h);
  }
  RemoveDirectoryA(folder.c_str());
}

class BestRunPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    clearPanelFile("BestRunHUD");
    setPanelKey("BestRunHUD", "Enabled", "1");
    setPanelKey("BestRunHUD", "ShowWhileDriving", "1");
    setPanelKey("BestRunHUD", "ShowAfterFinish", "1");
    setPanelKey("BestRunHUD", "PosX", "100");
    setPanelKey("BestRunHUD", "PosY", "50");
    removeBests();
    bestrun::liveRecorder() = bestrun::Recorder();
    mem.install();
    mem.mode(host::kModeDrivingStage);
    panel = std::make_unique<BestRunHUD>();
  }
  void TearDown() override { host::pointers() = {}; }

  // One frame of the frame driver: followed, drawn when visible.
  void frame() {
    host.calls.clear();
    host.canvas.assign(host.canvas.size(), Colour{});
    panel->follow();
    if (panel->isVisible()) panel->draw(&host);
  }
  void preStart() {
    mem.mode(host::kModeDrivingStage);
    mem.finished(0);
    mem.preStart(1.0f);
    mem.stageTime(0.0f);
    mem.distance3(kLength);
    frame();
    mem.preStart(0.0f);
    frame();
    time = 0.0f;
    driven = 0.0f;
  }
  // Drives at `speed` m/s in frames of 0.25 s up to `metres`, finishing there when asked.
  void driveTo(float metres, float speed, bool finish = false) {
    while (driven < metres - 1e-3f) {
      const float step = std::min(speed * 0.25f, metres - driven);
      driven += step;
      time += step / speed;
      mem.stageTime(time);
      mem.distance3(kLength - driven);
      mem.speed(speed * 3.6f);
      if (finish && driven >= metres - 1e-3f) mem.finished(1);
      frame();
    }
  }
  void menu() {
    mem.mode(host::kModeMenus);
    panel->enteredMenu();
    panel->reload();
    frame();
  }
  // A first run at 10 m/s: 20 s, written as the best on entering the menu.
  void setBest() {
    preStart();
    driveTo(kLength, 10.0f, true);
    menu();
  }
  std::vector<Call> texts() const {
    std::vector<Call> out;
    for (const Call& c : host.calls)
      if (c.op == Op::WriteText) out.push_back(c);
    return out;
  }
  int markersOf(const Colour& c) const {
    int n = 0;
    for (const Call& call : host.calls) n += call.op == Op::DrawMarker && call.colour == c;
    return n;
  }

  PanelHost mem;
  RecordingHost host;
  std::unique_ptr<BestRunHUD> panel;
  float time = 0.0f, driven = 0.0f;
};

const Colour kGreen{0, 1, 0, 1}, kRed{1, 0, 0, 1}, kWhite{1, 1, 1, 1};

}  // namespace

// Ahead in green with the bar to the left, behind in red to the right, the
// bar's length the delta's share of BarRange; the best's time below.
TEST_F(BestRunPanel, ShowsTheSignedDeltaInItsColourWithItsBar) {
  struct Case {
    float speed, at;
    const char* text;
    Colour colour;
    int barReach;  // pixels from the middle, minus = left
  };
  const Case cases[] = {
      {12.5f, 100.0f, "-2.00", kGreen, -100},  // 8 s where the best took 10: full bar at 2 s
      {8.0f, 80.0f, "+2.00", kRed, 100},
      {11.111111f, 100.0f, "-1.00", kGreen, -50},
      {9.5238095f, 100.0f, "+0.50", kRed, 25},
  };
  setBest();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    preStart();
    driveTo(c.at, c.speed);
    const auto t = texts();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].text, c.text);
    EXPECT_EQ(t[0].colour, c.colour);
    EXPECT_FLOAT_EQ(t[0].x, 200.0f) << "centred on the panel";
    EXPECT_EQ(t[1].text, "best 20.00");
    EXPECT_EQ(t[1].colour, kWhite);
    const int middle = 200, row = 72;
    const int end = middle + c.barReach;
    EXPECT_EQ(host.at(end, row), c.colour) << "the bar reaches " << c.barReach;
    EXPECT_EQ(host.at(end + (c.barReach < 0 ? -2 : 2), row), Colour{}) << "and no further";
    EXPECT_EQ(host.at(middle - (c.barReach < 0 ? -3 : 3), row), Colour{}) << "the bar grows one way";
    EXPECT_EQ(host.at(middle, row), kWhite) << "the zero mark";
    EXPECT_EQ(markersOf(c.colour), std::abs(c.barReach) * 6);
    EXPECT_NEAR(bestrun::deltaSeconds(), std::stof(c.text), 0.006f);
    EXPECT_FLOAT_EQ(bestrun::bestStageTime(), 20.0f);
    EXPECT_TRUE(bestrun::bestAvailable());
    menu();
  }
}

TEST_F(BestRunPanel, TheFinishShowsTheRunAgainstTheBestAndANewBest) {
  setBest();
  preStart();
  driveTo(kLength, 8.0f, true);  // 25 s: slower
  auto t = texts();
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].text, "+5.00");
  EXPECT_EQ(t[0].colour, kRed);
  EXPECT_EQ(t[1].text, "25.00  best 20.00");
  menu();
  preStart();
  driveTo(kLength, 12.5f, true);  // 16 s: a new best
  t = texts();
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0].text, "-4.00");
  EXPECT_EQ(t[0].colour, kGreen);
  EXPECT_EQ(t[1].text, "16.00  best 20.00");
  EXPECT_EQ(t[2].text, "new best");
  EXPECT_EQ(t[2].colour, kGreen);
  frame();
  EXPECT_EQ(texts().size(), 3u) << "the result stays while the finish shows";
  menu();
  RunTable read;
  ASSERT_TRUE(bestrun::readBestFile(kKey, read));
  EXPECT_FLOAT_EQ(read.finishTime, 16.0f);
}

TEST_F(BestRunPanel, WithoutABestNothingOrNoBestYetForItsSeconds) {
  preStart();
  driveTo(50.0f, 10.0f);
  EXPECT_TRUE(host.calls.empty());
  EXPECT_FALSE(bestrun::bestAvailable());
  EXPECT_EQ(bestrun::deltaSeconds(), 0.0f);
  setPanelKey("BestRunHUD", "NoBestSeconds", "3");
  menu();
  preStart();
  driveTo(20.0f, 10.0f);  // 2 s in
  auto t = texts();
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].text, "no best yet");
  driveTo(40.0f, 10.0f);  // 4 s in
  EXPECT_TRUE(host.calls.empty());
  driveTo(kLength, 10.0f, true);
  EXPECT_TRUE(host.calls.empty()) << "a first finish has nothing to be measured against";
}

// A bad file is said once with its path, ignored (no delta), and replaced
// by the next counted finish.
TEST_F(BestRunPanel, BadBestFilesAreSaidOnceIgnoredAndReplaced) {
  struct Case {
    const char* what;
    const char* text;  // null: no file
    const char* said;
  };
  const std::string good = "OSTREL best run 1\r\nkey stage=200m car=1 step=5m\r\ntime 20.000\r\nsteps 3\r\n"
                           "0 0.000\r\n5 0.500\r\n10 1.000\r\nend\r\n";
  const std::string truncated = good.substr(0, good.find("10 1.000"));
  const std::string outOfOrder = "OSTREL best run 1\r\nkey stage=200m car=1 step=5m\r\ntime 20.000\r\nsteps 3\r\n"
                                 "0 0.000\r\n10 1.000\r\n5 0.500\r\nend\r\n";
  const std::string otherKey = "OSTREL best run 1\r\nkey stage=200m car=4 step=5m\r\ntime 20.000\r\nsteps 3\r\n"
                               "0 0.000\r\n5 0.500\r\n10 1.000\r\nend\r\n";
  const Case cases[] = {
      {"missing", nullptr, "Best run: no best stored yet in .\\Plugins\\OSTREL\\Bests\\stage-200m-car1.txt"},
      {"truncated", truncated.c_str(), ".\\Plugins\\OSTREL\\Bests\\stage-200m-car1.txt is cut short"},
      {"out of order", outOfOrder.c_str(), "stage-200m-car1.txt has its step lines out of order"},
      {"another key", otherKey.c_str(), "stage-200m-car1.txt was written for another stage, car or rule"},
      {"empty", "", "stage-200m-car1.txt is cut short"},
      {"some other file", "[HUD]\r\nPosX=20\r\n", "stage-200m-car1.txt is not a best run file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    removeBests();
    bestrun::liveRecorder() = bestrun::Recorder();
    panel = std::make_unique<BestRunHUD>();
    if (c.text) {
      CreateDirectoryA(bestrun::bestsFolder().c_str(), nullptr);
      std::ofstream(bestrun::bestFilePath(kKey), std::ios::binary) << c.text;
    }
    const std::size_t from = logSize();
    preStart();
    driveTo(100.0f, 10.0f);
    EXPECT_FALSE(bestrun::bestAvailable());
    EXPECT_TRUE(host.calls.empty());
    driveTo(kLength, 10.0f, true);
    menu();
    preStart();
    const std::string said = logSince(from);
    EXPECT_EQ(countOf(said, c.said), 1) << said;
    EXPECT_EQ(countOf(said, "Best run: new best 20.00 written to .\\Plugins\\OSTREL\\Bests\\stage-200m-car1.txt"), 1)
        << said;
    RunTable back;
    EXPECT_TRUE(bestrun::readBestFile(kKey, back)) << "replaced by the counted finish";
    EXPECT_EQ(back.steps, 41);
    menu();
  }
}

// The temporary file takes the old one's place whole; none is left behind.
TEST_F(BestRunPanel, AWriteReplacesTheFileWholeAndLeavesNoTemporaryFile) {
  setBest();
  preStart();
  driveTo(kLength, 12.5f, true);
  menu();
  RunTable expected;
  ASSERT_TRUE(bestrun::readBestFile(kKey, expected));
  EXPECT_EQ(readWholeFile(bestrun::bestFilePath(kKey)), bestrun::formatBestFile(expected));
  EXPECT_EQ(GetFileAttributesA((bestrun::bestFilePath(kKey) + ".new").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(readWholeFile(bestrun::bestFilePath(kKey)).find("time 16.000\r\n"), std::string::npos);
}

// Bests cannot be a folder (a file of that name stands there): the failure
// is said once, and the panel measures against the best it holds.
TEST_F(BestRunPanel, AFolderThatCannotBeWrittenIsSaidOnceAndThePanelGoesOn) {
  std::ofstream(bestrun::bestsFolder(), std::ios::binary) << "not a folder";
  const std::size_t from = logSize();
  setBest();
  for (int run = 0; run < 2; ++run) {
    preStart();
    driveTo(100.0f, 12.5f);
    const auto t = texts();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].text, "-2.00");
    menu();
  }
  const std::string said = logSince(from);
  EXPECT_EQ(countOf(said, "Best run: writing .\\Plugins\\OSTREL\\Bests\\stage-200m-car1.txt failed (error "), 1)
      << said;
  EXPECT_EQ(countOf(said, "written to"), 0);
  DeleteFileA(bestrun::bestsFolder().c_str());
}

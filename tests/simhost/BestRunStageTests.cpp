// The best run on the simulated host's stage, the real plug-in (its
// allocation-counting build) driving one 200 m stage three times in one run:
// a first finish that sets the best, a slower run with a restart part-way
// and a slower finish that record nothing, and a faster finish that replaces
// the best. Judged from what the host recorded: the panel's text and colour
// at chosen frames against the scenario's own times, the best file as it
// stood at the start of chosen frames, the allocations and device calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "HostRun.h"
#include "TestPaths.h"

using namespace simhost_test;
namespace fs = std::filesystem;

namespace {

// 20 m a frame. Run 1 at 20 m/s (the best: 10 s); run 2 at 16 m/s (5/4 of the
// best's time at every point), restarted at 100 m and then finished in 12.5 s;
// run 3 at 25 m/s (4/5 of it): 8 s, the new best.
const char* kScenario = R"(frames 52
window 320 240
fps 30
frame 0
  mode 5
  car-slot 0
  write-image Plugins\OSTREL\Gauges.default\Car1\bar_water.png Plugins\OSTREL\CustomGauges\Car1\deltabar.png png32 400 64
frame 2
  mode 1
  texture Cars\Car1\Textures\dashboard.png
  prestart 1
  finished 0
  pause 0
  stage-time 0
  distance3 200
  speed 0
frame 3
  prestart 0
  stage-time 1 step 1
  distance3 180 step -20
  speed 72
frame 8
  screenshot run1
frame 12
  finished 1
  stage-time 10
  distance3 0
  speed 0
frame 13
  probe-file Plugins\OSTREL\Bests\stage-200m-car1.txt
frame 14
  probe-file Plugins\OSTREL\Bests\stage-200m-car1.txt
  mode 5
  finished 0
frame 15
  probe-file Plugins\OSTREL\Bests\stage-200m-car1.txt
frame 16
  mode 1
  texture Cars\Car1\Textures\dashboard.png
  prestart 1
  stage-time 0
  distance3 200
frame 17
  prestart 0
  stage-time 1.25 step 1.25
  distance3 180 step -20
  speed 57.6
frame 22
  screenshot run2
  prestart 0.5
  stage-time 0
  distance3 200
  speed 0
frame 23
  prestart 0
  stage-time 1.25 step 1.25
  distance3 180 step -20
  speed 57.6
frame 32
  finished 1
  stage-time 12.5
  distance3 0
  speed 0
frame 34
  mode 5
  finished 0
frame 35
  probe-file Plugins\OSTREL\Bests\stage-200m-car1.txt
frame 36
  mode 1
  texture Cars\Car1\Textures\dashboard.png
  prestart 1
  stage-time 0
  distance3 200
frame 37
  prestart 0
  stage-time 0.8 step 0.8
  distance3 180 step -20
  speed 90
frame 42
  screenshot run3
frame 46
  finished 1
  stage-time 8
  distance3 0
  speed 0
frame 47
  probe-file Plugins\OSTREL\Bests\stage-200m-car1.txt
frame 48
  mode 5
  finished 0
frame 49
  probe-file Plugins\OSTREL\Bests\stage-200m-car1.txt
)";
constexpr const char* kBest = "Plugins\\OSTREL\\Bests\\stage-200m-car1.txt";

// A gauge set of the car's own: a bar of the delta from -2 s (empty) to +2 s
// (full) across the dashboard's top, 400 x 64 texture pixels from x 56; two
// bars half a second wide about the deltas the screenshots of runs 2 and 3
// show (a screen pixel is 1/400 s there), and a lamp lit while a best is
// available.
const char* kGauges = R"([Texture]
Target=Textures\dashboard.png
Replacement=dash_base.png
[DeltaBar]
Type=bar
Image=deltabar.png
PosX=56
PosY=0
ValueSource=bestdelta
Min=-2
Max=2
Direction=right
[BehindBar]
Type=bar
Image=deltabar.png
PosX=56
PosY=64
ValueSource=bestdelta
Min=1
Max=1.5
Direction=right
[AheadBar]
Type=bar
Image=deltabar.png
PosX=56
PosY=192
ValueSource=bestdelta
Min=-1.25
Max=-0.75
Direction=right
[BestLamp]
Type=light
Image=oil_icon.png
PosX=240
PosY=120
ValueSource=bestavailable
)";

struct Text {
  std::string text, colour;
};

class BestRunStage : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = makeGameFolder("best-run-stage", testing_support::buildDir() + "\\src\\OSTREL_counting.dll");
    const fs::path set = fs::path(folder_) / "Plugins" / "OSTREL" / "CustomGauges" / "Car1";
    fs::create_directories(set);
    for (const char* image : {"dash_base.png", "oil_icon.png"})
      fs::copy_file(fs::path(folder_) / "Plugins" / "OSTREL" / "Gauges.default" / "Car1" / image, set / image);
    std::ofstream(set / "Gauges.ini", std::ios::binary) << kGauges;
    result_ = runHost(folder_, kScenario, "--no-pace --count-device", 300);
    calls_ = lines(readFile(folder_ + "\\out\\calls.log"));
    log_ = readFile(folder_ + "\\Plugins\\OSTREL\\OSTREL.log");
  }
  void SetUp() override { ASSERT_EQ(result_.exitCode, 0u) << result_.output; }

  // The panel's texts of one frame (centred on its default place, x 320),
  // with their colours, from the call log.
  static std::vector<Text> textsOf(int frame) {
    std::vector<Text> out;
    const std::string head = std::to_string(frame) + " WriteText 320.00 ";
    for (const std::string& l : calls_) {
      if (l.rfind(head, 0) != 0) continue;
      const std::size_t c = l.find("colour="), q = l.find('"');
      if (c == std::string::npos || q == std::string::npos) continue;
      out.push_back({l.substr(q + 1, l.size() - q - 2), l.substr(c + 7, 8)});
    }
    return out;
  }
  // The note the host made of the best file at the start of a frame.
  static std::string fileAt(int frame) {
    const std::string head = std::to_string(frame) + " note file " + kBest + " ";
    for (const std::string& l : calls_)
      if (l.rfind(head, 0) == 0) return l.substr(head.size());
    return "(no note)";
  }

  static inline std::string folder_, log_;
  static inline std::vector<std::string> calls_;
  static inline RunResult result_;
};

constexpr const char* kGreen = "FF00FF00";
constexpr const char* kRed = "FFFF0000";
constexpr const char* kWhite = "FFFFFFFF";

}  // namespace

// At each chosen frame: the delta against the best at the same distance, in
// hundredths, in its colour; the best's time under it; at the finish the
// run's time against the best and "new best".
TEST_F(BestRunStage, ThePanelShowsTheDeltaAgainstTheScenariosOwnTimes) {
  struct Case {
    int frame;
    std::vector<Text> texts;
  };
  const Case cases[] = {
      {7, {}},                                                     // run 1: no best yet
      {12, {}},                                                    // its finish: nothing to measure against
      {21, {{"+1.25", kRed}, {"best 10.00", kWhite}}},             // 100 m in 6.25 s, the best 5 s
      {22, {}},                                                    // the restart's countdown
      {31, {{"+2.25", kRed}, {"best 10.00", kWhite}}},             // 180 m in 11.25 s, the best 9 s
      {32, {{"+2.50", kRed}, {"12.50  best 10.00", kWhite}}},      // slower: no new best
      {41, {{"-1.00", kGreen}, {"best 10.00", kWhite}}},           // 100 m in 4 s
      {46, {{"-2.00", kGreen}, {"8.00  best 10.00", kWhite}, {"new best", kGreen}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("frame " + std::to_string(c.frame));
    const std::vector<Text> got = textsOf(c.frame);
    ASSERT_EQ(got.size(), c.texts.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].text, c.texts[i].text);
      EXPECT_EQ(got[i].colour, c.texts[i].colour) << got[i].text;
    }
  }
}

// The file appears only once the menu is entered, never inside a driving
// frame; the slower finish leaves it alone; the faster one replaces it.
TEST_F(BestRunStage, TheBestFileIsWrittenOnEnteringTheMenuOnlyAndOnlyWhenFaster) {
  EXPECT_EQ(fileAt(13), "missing") << "after the first finish";
  EXPECT_EQ(fileAt(14), "missing") << "at the start of the menu frame";
  const std::string first = "OSTREL best run 1 | key stage=200m car=1 step=5m | time 10.000 | steps 41";
  EXPECT_NE(fileAt(15).find(first), std::string::npos) << fileAt(15);
  EXPECT_NE(fileAt(35).find(first), std::string::npos) << "the slower run and the restart write nothing";
  EXPECT_EQ(fileAt(47), fileAt(15)) << "not written at the faster finish";
  EXPECT_NE(fileAt(49).find("time 8.000 | steps 41"), std::string::npos) << fileAt(49);

  std::string expected = "OSTREL best run 1\r\nkey stage=200m car=1 step=5m\r\ntime 8.000\r\nsteps 41\r\n";
  for (int i = 0; i <= 40; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "%d %.3f\r\n", i * 5, i * 0.2);
    expected += line;
  }
  expected += "end\r\n";
  EXPECT_EQ(readFile(folder_ + "\\" + kBest), expected);
  EXPECT_FALSE(fileExists(folder_ + "\\" + kBest + ".new"));
  EXPECT_EQ(count(log_, "Best run: no best stored yet in .\\Plugins\\OSTREL\\Bests\\stage-200m-car1.txt"), 1) << log_;
  EXPECT_EQ(count(log_, "Best run: new best 10.00 written to .\\Plugins\\OSTREL\\Bests\\stage-200m-car1.txt"), 1);
  EXPECT_EQ(count(log_, "Best run: new best 8.00 written to"), 1);
  EXPECT_EQ(count(log_, "Best run: "), 3) << log_;
}

// Steady driving frames allocate nothing, and the panel's drawing costs no
// device call of the plug-in's: it draws through the host. A frame of run 3
// (the panel shown) makes the device calls of the same frame of run 1 (no
// best: nothing shown) but for the gauges' lamp.
TEST_F(BestRunStage, SteadyFramesAllocateNothingAndThePanelAddsNoDeviceCall) {
  const Csv timing = readCsv(folder_ + "\\out\\timing.csv");
  const Csv device = readCsv(folder_ + "\\out\\device-calls.csv");
  std::map<int, size_t> rowOf;
  for (size_t r = 0; r < device.rows.size(); ++r) rowOf[device.number(r, "frame")] = r;
  ASSERT_EQ(timing.rows.size(), 52u);
  for (int f : {4, 5, 6, 7, 8, 9, 10, 11, 18, 19, 20, 21, 24, 25, 26, 27, 28, 29, 30, 31, 38, 39, 40, 41, 42, 43, 44, 45})
    EXPECT_EQ(timing.number(f, "allocations"), 0) << "frame " << f;
  int hostCallsShown = 0, hostCallsHidden = 0;
  for (int k = 1; k <= 8; ++k) {
    SCOPED_TRACE("driving frame " + std::to_string(k));
    ASSERT_TRUE(rowOf.count(3 + k) && rowOf.count(37 + k));
    // The gauges' lamp (lit in run 3 only) binds its image and draws it. The
    // bar about run 3's delta (full in run 1, with no best) is empty from
    // frame 43 on (-0.2 s more each frame from -0.2 at frame 37): one bind
    // and one draw fewer. Nothing else differs.
    const int ahead = k >= 6 ? 1 : 0;
    for (const std::string& column : device.header) {
      if (column == "frame") continue;
      const bool bind = column == "SetTexture" || column == "texture", draw = column == "DrawPrimitiveUP" || column == "draw";
      const int change = bind || draw ? 1 - ahead : column == "total" ? 2 - 2 * ahead : 0;
      EXPECT_EQ(device.number(rowOf[37 + k], column), device.number(rowOf[3 + k], column) + change) << column;
    }
    EXPECT_LE(device.number(rowOf[37 + k], "total"), 60) << "the driving frame's budget";
    hostCallsHidden += timing.number(3 + k, "host_calls");
    hostCallsShown += timing.number(37 + k, "host_calls");
  }
  EXPECT_GT(hostCallsShown, hostCallsHidden) << "the panel drew through the host";
  std::printf("best run panel: %.1f host calls a driving frame, 0 device calls\n",
              (hostCallsShown - hostCallsHidden) / 8.0);
}

// The gauges read the same delta. The dashboard drawn at the start of a frame
// shows the gauges of the frame before; the dashboard's texture (512 x 256)
// fills x 32..288, y 144..240 of the 320 x 240 window. The wide bar's right
// end stands at (delta + 2) / 4 of its 200 screen pixels from x 60, a narrow
// bar's at (delta - min) / 0.5 of them: within 3 pixels there is within
// 0.0075 s. The lamp lights only once a best is there.
TEST_F(BestRunStage, TheGaugesShowTheSameDelta) {
  // The bar's image runs from blue to red; the dashboard's base is grey.
  auto coloured = [](std::uint32_t c) {
    const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    return std::max({r, g, b}) - std::min({r, g, b}) > 30;
  };
  auto light = [](std::uint32_t c) { return (c & 0xFF) > 200 && ((c >> 8) & 0xFF) > 200 && ((c >> 16) & 0xFF) > 200; };
  struct Bar {
    int top, bottom;  // screen rows clear of the lamp
    float min, max;
  };
  const Bar wide{148, 164, -2.0f, 2.0f}, behind{170, 185, 1.0f, 1.5f}, ahead{218, 238, -1.25f, -0.75f};
  struct Case {
    const char* shot;
    float delta;  // of the frame before
    bool best;
    const Bar* narrow;  // the bar about this delta, if any
  };
  const Case cases[] = {{"run1", 0.0f, false, nullptr}, {"run2", 1.25f, true, &behind}, {"run3", -1.0f, true, &ahead}};
  int lampOff = -1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shot);
    const Image img = loadPng(folder_ + "\\out\\" + c.shot + ".png");
    ASSERT_EQ(img.width, 320u);
    auto rightEnd = [&](const Bar& bar) {
      int right = -1;
      for (int y = bar.top; y <= bar.bottom; ++y)
        for (int x = 40; x < 280; ++x)
          if (coloured(img.at(x, y))) right = std::max(right, x);
      return right;
    };
    for (const Bar* bar : {&wide, c.narrow}) {
      if (!bar) continue;
      const float share = std::clamp((c.delta - bar->min) / (bar->max - bar->min), 0.0f, 1.0f);
      EXPECT_NEAR(rightEnd(*bar), 60 + 200 * share, 3.0) << "the end of the bar from " << bar->min << " to " << bar->max;
    }
    int lamp = 0;
    for (int y = 186; y < 202; ++y)
      for (int x = 149; x < 168; ++x) lamp += light(img.at(x, y));
    if (!c.best) lampOff = lamp;
    else EXPECT_GT(lamp, lampOff + 20) << "the lamp is lit";
  }
}

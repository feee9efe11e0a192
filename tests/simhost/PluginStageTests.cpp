// The built plug-in on the simulated host's full stage: start-up, the three
// panels in their phases, live gauges on the dashboard, the Home-key reload,
// the game-mode reactions and the host's width words, judged from the
// screenshots, the plug-in's log and the host's call log.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>

#include "HostRun.h"
#include "TestPaths.h"

using namespace simhost_test;

namespace {

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

struct Rect {
  int x0, y0, x1, y1;
};

template <typename Pred>
int pixelsIn(const Image& img, Rect r, Pred pred) {
  int n = 0;
  for (int y = r.y0; y < r.y1 && y < static_cast<int>(img.height); ++y)
    for (int x = r.x0; x < r.x1 && x < static_cast<int>(img.width); ++x) n += pred(img.at(x, y)) ? 1 : 0;
  return n;
}

int red(std::uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); }
int green(std::uint32_t c) { return static_cast<int>((c >> 8) & 0xFF); }
int blue(std::uint32_t c) { return static_cast<int>(c & 0xFF); }
bool pureGreen(std::uint32_t c) { return green(c) > 200 && red(c) < 80 && blue(c) < 80; }
bool pureRed(std::uint32_t c) { return red(c) > 200 && green(c) < 60 && blue(c) < 60; }
bool white(std::uint32_t c) { return red(c) > 200 && green(c) > 200 && blue(c) > 200; }

// Where the shipped defaults put the panels on the stage's 640 x 480 window.
constexpr Rect kTirePanel{15, 195, 85, 300};
constexpr Rect kDiagram{25, 300, 100, 480};  // left of the tacho's red needle
constexpr Rect kTable{10, 90, 400, 170};

// Mean x of the tacho needle's red pixels.
double needleX(const Image& img) {
  double sum = 0;
  int n = 0;
  for (int y = 300; y < 480; ++y)
    for (int x = 100; x < 240; ++x)
      if (pureRed(img.at(x, y))) sum += x, ++n;
  return n ? sum / n : -1.0;
}

class FullStage : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = makeGameFolder("plugin-full-stage", testing_support::buildDir() + "\\src\\OSTREL.dll");
    std::string scenario = readFile(testing_support::sourceDir() + "\\simhost\\scenarios\\full-stage.txt");
    // At the scenario's own frame rate: the diagram's blink tick, autohide and
    // the gauge springs run on real time, and flat-out frames on a fast
    // machine would reach the screenshots before the tick that shows damage.
    // Through the counting device, which draws the same.
    result_ = runHost(folder_, scenario, "--count-device");
    log_ = readFile(folder_ + "\\Plugins\\OSTREL\\OSTREL.log");
    calls_ = readFile(folder_ + "\\out\\calls.log");
  }
  void SetUp() override { ASSERT_EQ(result_.exitCode, 0u) << result_.output; }
  static Image shot(const char* name) { return loadPng(folder_ + "\\out\\" + name + ".png"); }
  static std::string folder_, log_, calls_;
  static RunResult result_;
};
std::string FullStage::folder_, FullStage::log_, FullStage::calls_;
RunResult FullStage::result_;

TEST_F(FullStage, StartUpInstallsDefaultsAndAllThreeDetours) {
  for (const char* file : {"TireHUD.ini", "carDamageHUD.ini", "DamagedPartTableHUD.ini", "gauges.ini",
                           "carDamageHUD", "Gauges"})
    EXPECT_EQ(count(log_, std::string("Default files: installed .\\Plugins\\OSTREL\\") + file + "\r\n"), 1) << file;
  EXPECT_TRUE(fileExists(folder_ + "\\Plugins\\OSTREL\\Gauges\\Car1\\Gauges.ini"));
  EXPECT_EQ(count(log_, "Frame detour: installed\r\n"), 1) << log_;
  EXPECT_EQ(count(log_, "Gauge detour: installed\r\n"), 1);
  EXPECT_EQ(count(log_, "Texture creation detour: installed\r\n"), 1);
  EXPECT_NE(log_.find("texture cars/car1/textures/dashboard.png -> ./plugins/ostrel/gauges/car1/gauges.ini"),
            std::string::npos);
  // Start-up once, however often the host asks for the name.
  EXPECT_EQ(count(log_, "Start-up: finding the host"), 1);
}

TEST_F(FullStage, TirePanelShowsBeforeTheStartOnly) {
  EXPECT_GT(pixelsIn(shot("pre-start"), kTirePanel, pureGreen), 1000);
  EXPECT_LT(pixelsIn(shot("finish"), kTirePanel, pureGreen), 20);
  EXPECT_LT(pixelsIn(shot("menu"), kTirePanel, pureGreen), 20);
}

TEST_F(FullStage, DamageDiagramShowsWhileDrivingWithTheDamageInRed) {
  Image before = shot("pre-start"), driving = shot("driving-damage");
  EXPECT_LT(pixelsIn(before, kDiagram, pureGreen) + pixelsIn(before, kDiagram, pureRed), 100);
  EXPECT_GT(pixelsIn(driving, kDiagram, pureGreen), 300);  // the sound parts
  EXPECT_GT(pixelsIn(driving, kDiagram, pureRed), 100);    // the worst damage
  EXPECT_LT(pixelsIn(shot("finish"), kDiagram, pureRed), 20);
}

TEST_F(FullStage, DashboardTextureShowsLiveGauges) {
  EXPECT_EQ(count(log_, "Texture is claimed by a gauge definition"), 1);
  EXPECT_NE(log_.find("Gauge texture created, levels: 1"), std::string::npos);
  // 900 rpm before the start, about 3600 at the first damage: the tacho
  // needle swings from the left of the dial to the right. (Later shots have
  // the damage diagram over the dial.)
  double slow = needleX(shot("pre-start")), fast = needleX(shot("first-damage"));
  ASSERT_GT(slow, 0);
  ASSERT_GT(fast, 0);
  EXPECT_GT(fast - slow, 25.0) << slow << " -> " << fast;
}

TEST_F(FullStage, PartTableShowsAfterTheFinish) {
  EXPECT_GT(pixelsIn(shot("finish"), kTable, white), 60);
  EXPECT_LT(pixelsIn(shot("driving-damage"), kTable, white), 5);
  EXPECT_LT(pixelsIn(shot("pre-start"), kTable, white), 5);
}

// What a player reads: the table's headings stay inside their boxes (from
// 20,120, 100 x 18 each), each tire label stands out from the stripes of its
// own colour under it, and the settings page's help lines end inside the window.
TEST_F(FullStage, PanelTextFitsAndStandsOut) {
  Image finish = shot("finish"), prestart = shot("pre-start"), menu = shot("menu");
  for (int border : {120, 220, 320})
    EXPECT_EQ(pixelsIn(finish, Rect{border - 3, 121, border + 4, 138}, white), 0) << "heading over x " << border;
  EXPECT_GT(pixelsIn(finish, Rect{21, 121, 117, 138}, white), 30);  // the first heading is there
  auto dark = [](std::uint32_t c) { return red(c) < 60 && green(c) < 60 && blue(c) < 60; };
  for (Rect label : {Rect{20, 212, 37, 229}, Rect{55, 212, 72, 229}, Rect{20, 272, 37, 289}, Rect{55, 272, 72, 289}})
    EXPECT_GT(pixelsIn(prestart, label, dark), 15) << "tire label at " << label.x0 << "," << label.y0;
  // Smoothed glyphs: any pixel well lighter than the grass and road there.
  auto light = [](std::uint32_t c) { return red(c) > 110 && green(c) > 110 && blue(c) > 110; };
  EXPECT_GT(pixelsIn(menu, Rect{560, 432, 640, 476}, light), 20);  // the help lines reach past the page's box
  EXPECT_EQ(pixelsIn(menu, Rect{637, 432, 640, 476}, light), 0) << "help line cut at the window's edge";
}

TEST_F(FullStage, HomeKeyRebuildsTheGaugesOncePerPress) {
  EXPECT_EQ(count(log_, "Gauge reload: rebuilding the gauge renderers"), 1) << log_;
  // The frame of the press returns only once the key is up again.
  EXPECT_NE(calls_.find("520 note home key state after the frame function up"), std::string::npos);
}

TEST_F(FullStage, MenuModeReloadsPanelsAndDropsTheRenderers) {
  // Start-up, the first frame (already in mode 5) and the return to mode 5.
  EXPECT_EQ(count(log_, "Loading show flags from .\\Plugins\\OSTREL\\TireHUD.ini"), 3) << log_;
  EXPECT_EQ(count(log_, "Gauges: dropping 1 gauge renderer(s)"), 1);
}

// The steady driving frame's device calls (frames that create textures, as
// on the Home-key reload, load rather than draw): the damage diagram in one
// draw from its atlas, the gauge renderer without redundant states, the
// digits of a number in one draw.
TEST_F(FullStage, DrivingFramesKeepToTheirDeviceCallBudget) {
  const Csv timing = readCsv(folder_ + "\\out\\timing.csv");
  const Csv device = readCsv(folder_ + "\\out\\device-calls.csv");
  std::map<std::string, size_t> rowOfFrame;
  for (size_t r = 0; r < device.rows.size(); ++r) rowOfFrame[device.cell(r, "frame")] = r;
  int driving = 0, withDiagram = 0;
  for (size_t f = 0; f < timing.rows.size(); ++f) {
    if (timing.cell(f, "phase") != "driving") continue;
    ++driving;
    const auto it = rowOfFrame.find(timing.cell(f, "frame"));
    ASSERT_NE(it, rowOfFrame.end()) << timing.cell(f, "frame");
    const size_t r = it->second;
    if (device.number(r, "CreateTexture") > 0) continue;
    SCOPED_TRACE("frame " + timing.cell(f, "frame"));
    EXPECT_LE(device.number(r, "total"), 60);
    EXPECT_LE(device.number(r, "draw"), 25);
    EXPECT_LE(device.number(r, "texture"), 20);
    const bool diagram = device.number(r, "SetVertexShader") > 0;  // only the diagram sets it
    EXPECT_EQ(device.number(r, "SetFVF"), diagram ? 2 : 1) << "one vertex format per pass";
    withDiagram += diagram;
  }
  EXPECT_GT(driving, 100);
  EXPECT_GT(withDiagram, 100);
}

TEST_F(FullStage, HostWordsAndResultsComeBackAsTheHostLeftThem) {
  EXPECT_NE(calls_.find("faults this-pointer=0 width-words=0 results=0"), std::string::npos) << calls_;
  EXPECT_EQ(count(calls_, " fault "), 0);
}

TEST(ModeThree, DropsTheRenderersWithoutReloading) {
  std::string folder = makeGameFolder("plugin-mode-three", testing_support::buildDir() + "\\src\\OSTREL.dll");
  RunResult r = runHost(folder,
                        "frames 30\nwindow 640 480\nfps 60\n"
                        "frame 0\n  mode 1\n  texture Cars\\Car1\\Textures\\dashboard.png\n"
                        "frame 10\n  mode 3\n"
                        "frame 20\n  mode 1\n",
                        "--no-pace");
  ASSERT_EQ(r.exitCode, 0u) << r.output;
  std::string log = readFile(folder + "\\Plugins\\OSTREL\\OSTREL.log");
  EXPECT_EQ(count(log, "Gauges: dropping 1 gauge renderer(s)"), 1) << log;
  // Only start-up loaded the panels: mode 3 reloads nothing.
  EXPECT_EQ(count(log, "Loading show flags from .\\Plugins\\OSTREL\\TireHUD.ini"), 1);
}

}  // namespace

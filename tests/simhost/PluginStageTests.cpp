// The built plug-in on the simulated host's full stage: start-up, the three
// panels in their phases, live gauges on the dashboard, the Home-key reload,
// the game-mode reactions and the host's width words, judged from the
// screenshots, the plug-in's log and the host's call log.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "HostRun.h"
#include "StageImages.h"
#include "TestPaths.h"

using namespace simhost_test;

namespace {

constexpr Rect kTable{10, 90, 400, 170};  // the damaged part table on the 640 x 480 window

// The full stage is played at kStageSlowdown times fewer frames, each frame
// that much longer: the same seconds of play for a fraction of the frames an
// emulated machine draws slowly. Frame numbers, the frame rate and every
// per-frame step scale together; the stage's frame numbers divide evenly.
constexpr int kStageSlowdown = 2;
constexpr int stageFrame(int frame) { return frame / kStageSlowdown; }
std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

std::string withFewerFrames(const std::string& scenario) {
  std::string out;
  for (const std::string& line : lines(scenario)) {
    std::istringstream in(line);
    std::vector<std::string> words{std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
    if (words.size() < 2 || words[0][0] == '#') {
      out += line + "\n";
      continue;
    }
    if (words[0] == "frame" || words[0] == "frames" || words[0] == "lose-device")
      words[1] = std::to_string(stageFrame(std::stoi(words[1])));
    if (words[0] == "fps") words[1] = number(std::stod(words[1]) / kStageSlowdown);
    for (size_t i = 1; i + 1 < words.size(); ++i)
      if (words[i] == "step") words[i + 1] = number(std::stod(words[i + 1]) * kStageSlowdown);
    out += line.substr(0, line.find_first_not_of(' '));
    for (size_t i = 0; i < words.size(); ++i) out += (i ? " " : "") + words[i];
    out += "\n";
  }
  return out;
}

class FullStage : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = makeGameFolder("plugin-full-stage", testing_support::buildDir() + "\\src\\OSTREL.dll");
    std::string scenario =
        withFewerFrames(readFile(testing_support::sourceDir() + "\\simhost\\scenarios\\full-stage.txt"));
    // Paced (at the rewritten frame rate): the diagram's blink tick, autohide and
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
  EXPECT_NE(calls_.find(std::to_string(stageFrame(520)) + " note home key state after the frame function up"),
            std::string::npos);
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
  EXPECT_GT(driving, stageFrame(200));
  EXPECT_GT(withDiagram, stageFrame(200));
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

// ---- Device loss and Reset -------------------------------------------------

namespace {

// A game folder whose Car1 has two gauge sets: the dashboard's and a dial
// texture of its own (the benchmark's second set).
std::string twoSetFolder(const std::string& name) {
  namespace fs = std::filesystem;
  std::string folder = makeGameFolder(name, testing_support::buildDir() + "\\src\\OSTREL.dll");
  fs::copy(folder + "\\Plugins\\OSTREL\\Gauges.default", folder + "\\Plugins\\OSTREL\\Gauges",
           fs::copy_options::recursive);
  const fs::path overlay = testing_support::sourceDir() + "\\simhost\\bench\\overlay";
  for (const auto& e : fs::recursive_directory_iterator(overlay)) {
    const fs::path to = fs::path(folder) / fs::relative(e.path(), overlay);
    if (e.is_directory()) fs::create_directories(to);
    else fs::copy_file(e.path(), to, fs::copy_options::overwrite_existing);
  }
  return folder;
}

}  // namespace

// The stage with a second gauge set, its phases short (every frame costs an
// emulated machine most of a second) and played at fewer, longer frames as
// the full stage is: the tire panel's text at 640 x 480 before the start;
// while driving at 7600 rpm the device is lost for kLostFrames frames and
// then reset to 800 x 600; the part table after the finish.
constexpr int kLoss = stageFrame(60), kLostFrames = stageFrame(10), kReset = kLoss + kLostFrames;
class LostDeviceStage : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = twoSetFolder("plugin-lost-device");
    const std::string scenario = withFewerFrames(
        "frames 210\nwindow 640 480\nfps 60\n"
        "frame 0\n  mode 5\n  car-slot 0\n"
        "frame 4\n  mode 1\n  texture Cars\\Car1\\Textures\\dashboard.png\n"
        "  texture Cars\\Car1\\Textures\\dials.png\n  prestart 0.5 step -0.0166667\n  clock 0 step 0.0166667\n"
        "  rpm 900\n  gear 1\n  gear-index 1\n"
        "frame 34\n  prestart 0\n  rpm 7600\n  gear 4\n  gear-index 4\n  wheel-speed 20\n  speed 20\n"
        "  damagef 0 0.8\n  damagef 33 0.45\n  damagei 6 0\n"
        "frame 60\n  lose-device 10 800 600\n"
        "frame 118\n  screenshot after-reset\n"
        "frame 130\n  finished 1\n  rpm 1200\n  wheel-speed 0\n  speed 0\n  velocity 0 0\n  stage-time 185.4\n"
        "frame 190\n  screenshot finish\n"
        "frame 200\n  mode 5\n  finished 0\n");
    result_ = runHost(folder_, scenario, "");
    log_ = readFile(folder_ + "\\Plugins\\OSTREL\\OSTREL.log");
    calls_ = readFile(folder_ + "\\out\\calls.log");
  }
  void SetUp() override { ASSERT_EQ(result_.exitCode, 0u) << result_.output; }
  static std::string folder_, log_, calls_;
  static RunResult result_;
};
std::string LostDeviceStage::folder_, LostDeviceStage::log_, LostDeviceStage::calls_;
RunResult LostDeviceStage::result_;

TEST_F(LostDeviceStage, ResetSucceedsAndReferencesComeBack) {
  EXPECT_NE(calls_.find(std::to_string(kReset) + " note reset 800x600 hr=00000000"), std::string::npos) << calls_;
  EXPECT_NE(calls_.find("reset=0"), std::string::npos);
  EXPECT_EQ(count(calls_, " fault "), 0);
  const long dashboardBefore = figure(calls_, "references before the loss", "dashboard");
  const long deviceBefore = figure(calls_, "references before the loss", "device");
  EXPECT_GE(dashboardBefore, 2) << "the host's and the renderer's";
  EXPECT_EQ(figure(calls_, "references after the reset", "dashboard"), dashboardBefore);
  EXPECT_EQ(figure(calls_, "references after the reset", "device"), deviceBefore);
  // Both sets made again by the texture hook after the Reset.
  EXPECT_EQ(count(log_, "Texture is claimed by a gauge definition"), 4) << log_;
}

TEST_F(LostDeviceStage, NothingIsDrawnOrLoggedPerFrameWhileLost) {
  EXPECT_EQ(count(log_, "Device lost (D3DERR_DEVICELOST)"), 1) << log_;
  EXPECT_EQ(count(log_, "Device is back"), 1);
  EXPECT_EQ(count(log_, "Error in file"), 0);
  EXPECT_EQ(count(log_, "Device reset: S_OK, client width 800"), 1);
  // No render-target switch or surface copy in the lost frames; both before.
  std::vector<std::string> rows = lines(readFile(folder_ + "\\out\\device-calls.csv"));
  ASSERT_GT(rows.size(), static_cast<size_t>(kReset + 10));
  std::vector<std::string> head = cells(rows[0]);
  auto column = [&](const char* name) { return std::find(head.begin(), head.end(), name) - head.begin(); };
  const auto target = column("target"), copy = column("copy");
  auto at = [&](int frame, std::ptrdiff_t c) { return std::stoi(cells(rows[static_cast<size_t>(frame) + 2])[c]); };
  ASSERT_EQ(cells(rows[kLoss + 1])[0], std::to_string(kLoss - 1));
  EXPECT_GT(at(kLoss - 1, target), 0);
  EXPECT_GT(at(kLoss - 1, copy), 0);
  for (int f = kLoss; f < kReset; ++f) EXPECT_EQ(at(f, target) + at(f, copy), 0) << "frame " << f;
}

TEST_F(LostDeviceStage, GaugesAndPanelsFollowTheNewSize) {
  Image after = loadPng(folder_ + "\\out\\after-reset.png");
  ASSERT_EQ(after.width, 800u);
  ASSERT_EQ(after.height, 600u);
  // 7600 rpm: the rebuilt needle on the new dashboard points at 7600.
  EXPECT_NEAR(needleAngle(after, 185), tachoAngle(7600), 8.0);
  // The part table in its place at the new size, its text laid out for 800.
  EXPECT_GT(pixelsIn(loadPng(folder_ + "\\out\\finish.png"), kTable, white), 60);
  EXPECT_NE(calls_.find("note screen width during plug-in text 640"), std::string::npos) << calls_;
  EXPECT_NE(calls_.find("note screen width during plug-in text 800"), std::string::npos);
  EXPECT_LT(calls_.find("note screen width during plug-in text 640"),
            calls_.find("note screen width during plug-in text 800"));
}

// A change of size without a loss, no proxy between: only the plug-in's
// redirect of the device's Reset can let go of the textures in time.
TEST(DeviceReset, ResolutionChangeLetsGoOfBothSetsAndBuildsThemAgain) {
  std::string folder = twoSetFolder("plugin-reset-device");
  RunResult r = runHost(folder,
                        "frames 60\nwindow 640 480\nfps 60\n"
                        "frame 0\n  mode 1\n  texture Cars\\Car1\\Textures\\dashboard.png\n"
                        "  texture Cars\\Car1\\Textures\\dials.png\n  rpm 6000\n"
                        "frame 10\n  reset-device 720 540\n"
                        "frame 59\n  screenshot after\n",
                        "");
  ASSERT_EQ(r.exitCode, 0u) << r.output;
  std::string log = readFile(folder + "\\Plugins\\OSTREL\\OSTREL.log");
  std::string calls = readFile(folder + "\\out\\calls.log");
  EXPECT_NE(calls.find("10 note reset 720x540 hr=00000000"), std::string::npos) << calls;
  EXPECT_EQ(count(calls, " fault "), 0);
  const std::size_t letGo = log.find("Device reset: letting go of the gauge textures\r\n"
                                     "Gauges: 2 gauge renderer(s) let go of their device objects\r\n"
                                     "Device reset: S_OK, client width 720");
  ASSERT_NE(letGo, std::string::npos) << log;
  EXPECT_EQ(count(log.substr(letGo), "Gauge texture created, levels: 1"), 2);
  // The renderers keep their gauge sets and draw on the textures made again.
  EXPECT_EQ(count(log.substr(letGo), "Gauges: drawing on the texture made again"), 2) << log;
  EXPECT_EQ(count(log.substr(letGo), "Gauges: loading gauge set"), 0);
  EXPECT_EQ(figure(calls, "references after the reset", "dashboard"),
            figure(calls, "references before the loss", "dashboard"));
  Image after = loadPng(folder + "\\out\\after.png");
  ASSERT_EQ(after.width, 720u);
  EXPECT_NEAR(needleAngle(after, 0), tachoAngle(6000), 8.0) << "the gauges draw on the new dashboard";
}

// ---- Hosts that make the plug-in's life harder --------------------------------

// The host's texture function is D3DX's own: the detour lands in the helper
// library the renderer loads its base image with, and those loads must pass
// straight through.
TEST(HarderHosts, TextureFunctionThatIsTheHelperLibrarysOwn) {
  std::string folder = makeGameFolder("plugin-texutil-d3dx", testing_support::buildDir() + "\\src\\OSTREL.dll");
  RunResult r = runHost(folder,
                        "frames 60\nwindow 640 480\nfps 60\n"
                        "frame 0\n  mode 1\n  texture Cars\\Car1\\Textures\\dashboard.png\n  rpm 6000\n"
                        "frame 59\n  screenshot gauges\n",
                        "--texutil-is-d3dx");
  ASSERT_EQ(r.exitCode, 0u) << r.output;
  std::string log = readFile(folder + "\\Plugins\\OSTREL\\OSTREL.log");
  EXPECT_NE(readFile(folder + "\\out\\calls.log").find("note texture function is D3DX's own"), std::string::npos);
  EXPECT_EQ(count(log, "Texture creation detour: installed"), 1) << log;
  EXPECT_EQ(count(log, "Texture requested: "), 1) << "only the host's request";
  EXPECT_NEAR(needleAngle(loadPng(folder + "\\out\\gauges.png"), 0), tachoAngle(6000), 8.0) << log;
}

// The device pointer chain leads nowhere: no client width (the host's width
// words stay its own) and renderers on the device the texture was made with,
// also after a Home-key reload.
TEST(HarderHosts, DeviceNotFound) {
  std::string folder = makeGameFolder("plugin-no-device", testing_support::buildDir() + "\\src\\OSTREL.dll");
  RunResult r = runHost(folder,
                        "frames 90\nwindow 640 480\nfps 60\n"
                        "frame 0\n  mode 1\n  prestart 3.0\n  texture Cars\\Car1\\Textures\\dashboard.png\n"
                        "  rpm 6000\n"
                        // Held for a second: an emulated host spends longer than a
                        // short press between pressing and the plug-in's frame.
                        "frame 30\n  home 1000\n"
                        "frame 89\n  screenshot gauges\n",
                        "--device-chain null-device");
  ASSERT_EQ(r.exitCode, 0u) << r.output;
  std::string log = readFile(folder + "\\Plugins\\OSTREL\\OSTREL.log");
  std::string calls = readFile(folder + "\\out\\calls.log");
  EXPECT_NE(calls.find("note screen width during plug-in text 1024"), std::string::npos) << calls;
  EXPECT_EQ(count(calls, "note screen width during plug-in text"), 1);
  EXPECT_EQ(count(calls, " fault "), 0);
  EXPECT_EQ(count(log, "Gauge reload: rebuilding the gauge renderers"), 1) << log;
  EXPECT_EQ(count(log, "no device or target texture"), 0);
  EXPECT_NEAR(needleAngle(loadPng(folder + "\\out\\gauges.png"), 0), tachoAngle(6000), 8.0);
}

// A game folder, a car folder and its gauge folder named with a letter beyond
// ASCII that the ANSI code page holds: the host names the texture in that code page, the
// plug-in finds the folder on disk, claims the texture and draws.
TEST(NonAsciiNames, GaugeFolderOfACarWithAnAccentedName) {
  namespace fs = std::filesystem;
  const std::wstring car = L"Citro\u00EBn";
  BOOL lossy = FALSE;
  char ansi[32] = {};
  WideCharToMultiByte(CP_ACP, 0, car.c_str(), -1, ansi, sizeof ansi, nullptr, &lossy);
  if (lossy) GTEST_SKIP() << "the code page " << GetACP() << " has no e with diaeresis";
  // The game itself lives in a folder so named as well.
  const fs::path game = fs::absolute(fs::path(makeGameFolder("plugin-non-ascii", testing_support::buildDir() +
                                                                                    "\\src\\OSTREL.dll")))
                            .parent_path() / (L"plugin-" + car);
  fs::remove_all(game);
  fs::rename(fs::absolute(fs::path("plugin-non-ascii")), game);
  char folderAnsi[MAX_PATH] = {};
  WideCharToMultiByte(CP_ACP, 0, game.wstring().c_str(), -1, folderAnsi, sizeof folderAnsi, nullptr, nullptr);
  const std::string folder = folderAnsi;
  const fs::path textures = game / L"Cars" / car / L"Textures", gauges = game / L"Plugins" / L"OSTREL" / L"Gauges" / car;
  fs::create_directories(textures);
  fs::copy_file(game / L"Cars" / L"Car1" / L"Textures" / L"dashboard.png", textures / L"dashboard.png");
  fs::create_directories(gauges);
  for (const auto& e : fs::directory_iterator(game / L"Plugins" / L"OSTREL" / L"Gauges.default" / L"Car1"))
    fs::copy_file(e.path(), gauges / e.path().filename());
  RunResult r = runHost(folder,
                        "frames 60\nwindow 640 480\nfps 60\n"
                        "frame 0\n  mode 1\n  texture Cars\\" + std::string(ansi) + "\\Textures\\dashboard.png\n"
                        "  rpm 6000\n"
                        "frame 59\n  screenshot gauges\n",
                        "");
  ASSERT_EQ(r.exitCode, 0u) << r.output;
  std::string log = readFile(folder + "\\Plugins\\OSTREL\\OSTREL.log");
  EXPECT_EQ(count(log, "Texture is claimed by a gauge definition"), 1) << log;
  EXPECT_EQ(count(log, "could not be loaded"), 0);
  EXPECT_EQ(count(log, "Default files: installed .\\Plugins\\OSTREL\\gauges.ini"), 1);
  // The log, UTF-8, names the car as the player reads it.
  EXPECT_NE(log.find("Texture requested: cars/citro\xC3\xABn/textures/dashboard.png"), std::string::npos) << log;
  EXPECT_NEAR(needleAngle(loadPng(folder + "\\out\\gauges.png"), 0), tachoAngle(6000), 8.0);
}

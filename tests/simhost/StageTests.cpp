// The simulated host as the plug-in meets it: a probe plug-in reads host
// memory at the plug-in's offsets, detours the host functions and draws
// through the host object; the screenshots, call log and timing are read back.
#include <gtest/gtest.h>
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "D3DTestDevice.h"
#include "HostRun.h"
#include "TestPaths.h"

using namespace simhost_test;

namespace {

bool closeTo(std::uint32_t rgb, std::uint32_t expected, int tolerance = 6) {
  for (int shift : {0, 8, 16}) {
    int a = static_cast<int>((rgb >> shift) & 0xFF), b = static_cast<int>((expected >> shift) & 0xFF);
    if (a - b > tolerance || b - a > tolerance) return false;
  }
  return true;
}

int countLines(const std::string& text, const std::string& start) {
  int n = 0;
  for (const std::string& l : lines(text))
    if (l.rfind(start, 0) == 0) ++n;
  return n;
}

// The probe's state line for a host frame (its own count starts at 1).
std::string probeFrame(const std::string& probe, int hostFrame) {
  std::string key = "frame " + std::to_string(hostFrame + 1) + " ";
  for (const std::string& l : lines(probe))
    if (l.rfind(key, 0) == 0) return l;
  return {};
}

constexpr const char* kProbeScenario =
    "frames 12\n"
    "fps 0\n"
    "frame 0\n"
    "  mode 5\n"
    "  texture Cars\\Car1\\Textures\\dashboard.png\n"
    "frame 1\n"
    "  mode 1\n"
    "  prestart 2.5 step -0.5\n"
    "  finished 0\n"
    "  pause 1\n"
    "  clock 12.5\n"
    "  event 1 13\n"
    "  damagef 0 0.4\n"
    "  damagei 1 0\n"
    "  tire 2 0.1 0.2 0.3 0.4 0.5 0.6 0.7 0.8\n"
    "  damage-extra 0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2 "
    "0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2 0.2\n"
    "  rpm 6500\n"
    "  gear 3\n"
    "  car-slot 2\n"
    "  water-temp-k 360.5\n"
    "  velocity 12.5 -3\n"
    "frame 4\n"
    "  screenshot scene\n"
    "  home 400\n"
    "frame 6\n"
    "  car none\n"
    "  menu open\n"
    "frame 7\n"
    "  key down select\n"
    "frame 9\n"
    "  key up\n"
    "  screenshot menu\n";

class ProbeStage : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = makeGameFolder("probe-stage", probeDll());
    result_ = runHost(folder_, kProbeScenario, "--no-pace");
    probe_ = readFile(folder_ + "\\probe.txt");
    calls_ = readFile(folder_ + "\\out\\calls.log");
    timing_ = readFile(folder_ + "\\out\\timing.csv");
  }
  void SetUp() override { ASSERT_EQ(result_.exitCode, 0u) << result_.output; }
  static std::string folder_, probe_, calls_, timing_;
  static RunResult result_;
};
std::string ProbeStage::folder_, ProbeStage::probe_, ProbeStage::calls_, ProbeStage::timing_;
RunResult ProbeStage::result_;

TEST_F(ProbeStage, PluginFindsHostObjectsAtTheirOffsets) {
  EXPECT_NE(probe_.find("created host=yes\n"), std::string::npos) << probe_;
  // The name is asked once, after the device exists.
  EXPECT_EQ(countLines(probe_, "QueryName"), 1);
  EXPECT_NE(probe_.find("base 00400000\n"), std::string::npos) << probe_;
  EXPECT_NE(probe_.find("device yes client=640x480\n"), std::string::npos) << probe_;
  EXPECT_NE(probe_.find("texutil yes\n"), std::string::npos) << probe_;

  std::string f1 = probeFrame(probe_, 1);
  for (const char* expect : {"mode=1 ", "prestart=2.500 ", "finished=0 ", "clock=12.500 ", "event=1/13 ", "pause=1 ",
                             "rpm=6500.0 ", "gear=3 ", "slot=2 ", "car=yes ", "dmg0=0.400 ", "dmg1=0 ",
                             "tire2=0.100,0.800 ", "extra=yes ", "water=360.50 ", "velx=12.50 ", "width=1024 "})
    EXPECT_NE(f1.find(expect), std::string::npos) << expect << " in " << f1;
  EXPECT_NE(probeFrame(probe_, 0).find("mode=5 "), std::string::npos);
  // An intact car before the scenario touches it: health 1.0, presence set.
  EXPECT_NE(probeFrame(probe_, 0).find("dmg0=1.000 dmg1=1 tire2=0.000,0.000 extra=no"), std::string::npos)
      << probeFrame(probe_, 0);
  // Stepped values move every frame; the car pointer can go away.
  EXPECT_NE(probeFrame(probe_, 2).find("prestart=2.000 "), std::string::npos) << probeFrame(probe_, 2);
  EXPECT_NE(probeFrame(probe_, 5).find("prestart=0.500 "), std::string::npos) << probeFrame(probe_, 5);
  EXPECT_NE(probeFrame(probe_, 5).find("car=yes"), std::string::npos);
  EXPECT_NE(probeFrame(probe_, 6).find("car=no"), std::string::npos) << probeFrame(probe_, 6);
}

TEST_F(ProbeStage, HostFunctionsCanBeDetouredAndTheirResultsPassBack) {
  const char* stub = "55 8B EC 5D 90 68 ";
  for (const char* name : {"frame", "gauge", "texture"})
    EXPECT_NE(probe_.find(std::string("prologue ") + name + " " + stub), std::string::npos) << name << "\n" << probe_;
  // Every frame reached both hooks, with one `this`, results passed on.
  EXPECT_NE(probe_.find("destroyed flags=1 frames=12 gauges=12 this-changes=0\n"), std::string::npos) << probe_;
  for (int f = 0; f < 12; ++f)
    EXPECT_NE(probe_.find("frame-result " + std::to_string(f) + "\n"), std::string::npos) << f;
  EXPECT_EQ(countLines(probe_, "gauge-result 19447"), 12);
  EXPECT_NE(calls_.find("faults this-pointer=0 width-words=1 results=0"), std::string::npos) << calls_;
  // The host's car texture went through the texture module's entry.
  EXPECT_NE(probe_.find("texture \"Cars\\Car1\\Textures\\dashboard.png\" pool=0 hr=00000000 size=512x256\n"),
            std::string::npos)
      << probe_;
}

TEST_F(ProbeStage, HomeKeyIsSeenByTheKeyStatePoll) {
  EXPECT_NE(probeFrame(probe_, 3).find("home=0"), std::string::npos) << probeFrame(probe_, 3);
  EXPECT_NE(probeFrame(probe_, 4).find("home=1"), std::string::npos) << probeFrame(probe_, 4);
}

TEST_F(ProbeStage, MenuPageIsDrivenWhileOpen) {
  EXPECT_EQ(countLines(probe_, "input "), 2) << probe_;
  EXPECT_NE(probe_.find("input 0 0 1 0 0 1\n"), std::string::npos);
  EXPECT_NE(probe_.find("input 0 1 0 0 0 0\n"), std::string::npos);
  // Open from frame 6 to 11.
  EXPECT_EQ(countLines(probe_, "tick "), 6);
  for (const std::string& l : lines(probe_))
    if (l.rfind("tick ", 0) == 0) {
      float t = std::stof(l.substr(5));
      // Seconds of one frame: more than none, less than the whole run.
      EXPECT_GT(t, 0.0f);
      EXPECT_LT(t, result_.seconds);
    }
}

TEST_F(ProbeStage, CallLogRecordsEveryHostCall) {
  EXPECT_NE(calls_.find("1 WriteText 300.00 200.00 font=0 mode=0 colour=FF00FF00 \"PROBE\"\n"), std::string::npos);
  EXPECT_NE(calls_.find("1 DrawMarker 1253 20.00 100.00 colour=FFFF0000\n"), std::string::npos);
  EXPECT_NE(calls_.find("6 PrepareMenuPage 0 0 0 0\n"), std::string::npos);
  EXPECT_NE(calls_.find("6 WriteText 110.00 152.00 font=0 mode=4 colour=FFFFFFFF \"MENU ROW\"\n"), std::string::npos);
  EXPECT_NE(calls_.find("summary WriteText 18\n"), std::string::npos) << calls_;
  EXPECT_NE(calls_.find("summary BeginDrawModes 12\n"), std::string::npos);
  EXPECT_NE(calls_.find("summary EndDrawModes 12\n"), std::string::npos);
  EXPECT_NE(calls_.find("summary DrawHighlightBox 6\n"), std::string::npos);
  // The probe left the width word changed on its fifth frame only.
  EXPECT_EQ(countLines(calls_, "4 fault screen-width words 777 1024"), 1) << calls_;
}

TEST_F(ProbeStage, TimingCountsOnlyThePluginsShare) {
  std::vector<std::string> rows = lines(timing_);
  ASSERT_EQ(rows.size(), 13u) << timing_;
  EXPECT_EQ(rows[0].rfind("frame,frame_call_us,frame_host_us,frame_plugin_us,", 0), 0u);
  auto column = [&](int frame, int col) {
    std::istringstream in(rows.at(frame + 1));
    std::string cell;
    for (int i = 0; i <= col; ++i) std::getline(in, cell, ',');
    return std::stod(cell);
  };
  // The probe spends 200 ms in its third frame hook (host frame 2). That time
  // is the plug-in's: the host's body in that frame stays within half of it of
  // the host's slowest other frame, and the plug-in's share of a frame without
  // it is smaller. Compared within the run, since an emulated machine runs the
  // host's body ten times slower.
  EXPECT_GE(column(2, 3), 200000.0);
  double slowestOtherHost = 0;
  for (int f = 0; f < 12; ++f)
    if (f != 2) slowestOtherHost = std::max(slowestOtherHost, column(f, 2));
  EXPECT_LT(column(2, 2), slowestOtherHost + 0.5 * column(2, 3)) << "the probe's time was charged to the host";
  EXPECT_LT(column(8, 3), column(2, 3));
  for (int f = 0; f < 12; ++f) {
    EXPECT_EQ(column(f, 0), f);
    EXPECT_GE(column(f, 3), 0.0);
    EXPECT_NEAR(column(f, 8), column(f, 3) + column(f, 6) + column(f, 7), 0.5);
    // The host's own time inside its services is part of the plug-in's share.
    EXPECT_LE(column(f, 15), column(f, 8) + 0.5) << rows.at(f + 1);
  }
  double hostGame = 0;
  for (int f = 0; f < 12; ++f) hostGame += column(f, 15);
  EXPECT_GT(hostGame, 0.0) << "the probe's text and marker cost the host something";
}

TEST_F(ProbeStage, ScreenshotShowsSceneDashboardAndHostDrawing) {
  Image img = loadPng(folder_ + "\\out\\scene.png");
  ASSERT_EQ(img.width, 640u);
  ASSERT_EQ(img.height, 480u);
  EXPECT_TRUE(closeTo(img.at(320, 2), 0x3070C0, 12)) << std::hex << img.at(320, 2);   // sky
  EXPECT_TRUE(closeTo(img.at(20, 260), 0x3C7A30)) << std::hex << img.at(20, 260);     // grass
  EXPECT_TRUE(closeTo(img.at(320, 260), 0x505050)) << std::hex << img.at(320, 260);   // road
  EXPECT_TRUE(closeTo(img.at(80, 460), 0x283038)) << std::hex << img.at(80, 460);     // dashboard panel
  EXPECT_TRUE(closeTo(img.at(214, 385), 0x101014)) << std::hex << img.at(214, 385);   // dial face
  // The probe's marker is one red pixel.
  EXPECT_EQ(img.at(20, 100), 0xFF0000u);
  for (auto [x, y] : {std::pair{19, 100}, {21, 100}, {20, 99}, {20, 101}})
    EXPECT_NE(img.at(x, y), 0xFF0000u) << x << "," << y;
  // Glyphs are smoothed by the font renderer: count pixels that stand out
  // from the background in the text's colour rather than exact colours.
  auto red = [](std::uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); };
  auto grn = [](std::uint32_t c) { return static_cast<int>((c >> 8) & 0xFF); };
  int green = 0, hostText = 0;
  for (int y = 200; y < 225; ++y)
    for (int x = 300; x < 380; ++x) green += grn(img.at(x, y)) > 200 && red(img.at(x, y)) < 100;
  for (int y = 2; y < 24; ++y)
    for (int x = 560; x < 640; ++x) hostText += red(img.at(x, y)) > 140;  // the sky's red stays below 60
  EXPECT_GT(green, 15);
  EXPECT_GT(hostText, 15);
}

TEST_F(ProbeStage, MenuScreenshotShowsPageBoxAndText) {
  Image img = loadPng(folder_ + "\\out\\menu.png");
  ASSERT_EQ(img.width, 640u);
  std::uint32_t box = img.at(290, 165), page = img.at(50, 50);
  EXPECT_GT(static_cast<int>(box & 0xFF), static_cast<int>((box >> 16) & 0xFF) + 40) << std::hex << box;
  EXPECT_LT(static_cast<int>((page >> 8) & 0xFF), 0x50) << std::hex << page;
  int white = 0;
  for (int y = 150; y < 172; ++y)
    for (int x = 108; x < 200; ++x) white += ((img.at(x, y) >> 16) & 0xFF) > 140;  // the box's red is near 40
  EXPECT_GT(white, 10);
}

TEST(HostStart, RefusesBadScenarioBeforeAnythingStarts) {
  std::string folder = makeGameFolder("bad-scenario", probeDll());
  RunResult r = runHost(folder, "frames 10\nframe 4\nmode 1\nframe 7\nframe 3\nmode 2\n");
  EXPECT_EQ(r.exitCode, 2u);
  EXPECT_EQ(lines(r.output).size(), 1u) << r.output;
  EXPECT_NE(r.output.find("scenario.txt:5: frame 3 comes after frame 7"), std::string::npos) << r.output;
  EXPECT_FALSE(fileExists(folder + "\\probe.txt"));
  EXPECT_FALSE(fileExists(folder + "\\out"));
}

TEST(HostStart, MissingPluginOrExportIsAClearFailure) {
  std::string folder = makeGameFolder("no-plugin", "");
  RunResult r = runHost(folder, "frames 3\n");
  EXPECT_NE(r.exitCode, 0u);
  EXPECT_NE(r.output.find("cannot load the plug-in .\\Plugins\\OSTREL.dll"), std::string::npos) << r.output;

  // A library without the entry function.
  folder = makeGameFolder("no-export", stageDir() + "\\kvxtexutil.dll");
  r = runHost(folder, "frames 3\n");
  EXPECT_NE(r.exitCode, 0u);
  EXPECT_NE(r.output.find("does not export KVX_CreatePlugin"), std::string::npos) << r.output;
}


}  // namespace

// A long run keeps no line per call, only the counts, and notes the figures
// a soak watches: committed memory, open handles, references.
TEST(QuietHost, CountsCallsWithoutALineEachAndNotesResources) {
  const std::string folder = makeGameFolder("probe-quiet", probeDll());
  RunResult r = runHost(folder, kProbeScenario, "--no-pace --quiet-calls --resources-every 4");
  ASSERT_EQ(r.exitCode, 0u) << r.output;
  const std::string calls = readFile(folder + "\\out\\calls.log");
  EXPECT_EQ(calls.find(" DrawMarker 1253 "), std::string::npos) << "a line per call";
  EXPECT_NE(calls.find("summary DrawMarker "), std::string::npos) << calls;
  std::vector<std::string> notes;
  for (const std::string& l : lines(calls))
    if (l.find(" note resources ") != std::string::npos) notes.push_back(l);
  ASSERT_EQ(notes.size(), 4u) << calls;  // frames 0, 4, 8 and the last
  EXPECT_EQ(notes[0].rfind("0 note resources private_kb=", 0), 0u) << notes[0];
  auto figure = [](const std::string& line, const std::string& name) {
    const std::size_t at = line.find(" " + name + "=");
    return at == std::string::npos ? -1L : std::stol(line.substr(at + name.size() + 2));
  };
  for (const std::string& n : notes) {
    EXPECT_GT(figure(n, "private_kb"), 1000) << n;
    EXPECT_GT(figure(n, "handles"), 5) << n;
    EXPECT_GT(figure(n, "device_refs"), 0) << n;
  }
}

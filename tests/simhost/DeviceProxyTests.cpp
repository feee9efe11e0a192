// The counting device proxy, fault injection and the allocation column, seen
// through the real host process: the probe plug-in makes a known set of
// device calls every frame, and what the host writes is read back.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "HostRun.h"
#include "TestPaths.h"

using namespace simhost_test;

namespace {

constexpr const char* kScenario =
    "frames 8\n"
    "fps 0\n"
    "frame 0\n"
    "  mode 1\n"
    "  prestart 2\n"
    "  texture Cars\\Car1\\Textures\\dashboard.png\n"
    "frame 3\n"
    "  prestart 0\n"
    "frame 4\n"
    "  screenshot scene\n"
    "frame 6\n"
    "  finished 1\n"
    "frame 7\n"
    "  mode 5\n";

std::string probeLine(const std::string& probe, const std::string& start) {
  for (const std::string& l : lines(probe))
    if (l.rfind(start, 0) == 0) return l;
  return {};
}

struct ProbeRun {
  std::string folder;
  RunResult result;
  std::string probe, calls;
};

ProbeRun runProbe(const std::string& name, const std::string& scenario, const std::string& args,
             const std::string& options = "") {
  ProbeRun r;
  r.folder = makeGameFolder(name, probeDll());
  if (!options.empty()) std::ofstream(r.folder + "\\probe-options.txt", std::ios::binary) << options;
  r.result = runHost(r.folder, scenario, args);
  r.probe = readFile(r.folder + "\\probe.txt");
  r.calls = readFile(r.folder + "\\out\\calls.log");
  return r;
}

// The same probe run once straight on the device, once through the proxy.
class CountingProxy : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    plain_ = runProbe("proxy-off", kScenario, "--no-pace");
    counted_ = runProbe("proxy-on", kScenario, "--no-pace --count-device");
  }
  void SetUp() override {
    ASSERT_EQ(plain_.result.exitCode, 0u) << plain_.result.output;
    ASSERT_EQ(counted_.result.exitCode, 0u) << counted_.result.output;
  }
  static ProbeRun plain_, counted_;
};
ProbeRun CountingProxy::plain_, CountingProxy::counted_;

TEST_F(CountingProxy, DrawingThroughTheProxyLooksTheSame) {
  EXPECT_NE(counted_.calls.find("note counting device in the device chain"), std::string::npos);
  Image a = loadPng(plain_.folder + "\\out\\scene.png"), b = loadPng(counted_.folder + "\\out\\scene.png");
  ASSERT_EQ(a.width, 640u);
  ASSERT_EQ(b.width, a.width);
  ASSERT_EQ(b.height, a.height);
  // The probe's own block reached the screen both ways.
  for (const Image* img : {&a, &b}) {
    EXPECT_EQ(img->at(600, 300), 0xFF00FFu);
    EXPECT_EQ(img->at(609, 309), 0xFF00FFu);
    EXPECT_NE(img->at(611, 305), 0xFF00FFu);
  }
  int differing = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) differing += (a.pixels[i] & 0xFFFFFF) != (b.pixels[i] & 0xFFFFFF);
  EXPECT_EQ(differing, 0);
  // Every device call of the probe succeeded through the proxy too.
  for (int f = 1; f <= 8; ++f)
    EXPECT_EQ(probeLine(counted_.probe, "device " + std::to_string(f) + " "),
              "device " + std::to_string(f) +
                  " draw=00000000 getrt=00000000 rt=yes setrt=00000000 create=00000000 tex=yes plain=00000000 "
                  "fill=00000000")
        << counted_.probe;
}

TEST_F(CountingProxy, CountsEveryCallByMethodAndKindPerFrame) {
  EXPECT_FALSE(fileExists(plain_.folder + "\\out\\device-calls.csv"));
  Csv csv = readCsv(counted_.folder + "\\out\\device-calls.csv");
  ASSERT_EQ(csv.rows.size(), 10u);  // start-up, 8 frames, the plug-in's end
  ASSERT_GE(csv.header.size(), 9u + 119u);
  EXPECT_EQ(csv.header[0], "frame");
  EXPECT_EQ(csv.header[8], "total");
  EXPECT_EQ(csv.header[9], "QueryInterface");
  EXPECT_EQ(csv.header.back(), "CreateQuery");

  // Start-up: the probe's AddRef/Release pair and its creation-parameter query.
  EXPECT_EQ(csv.cell(0, "frame"), "-1");
  EXPECT_EQ(csv.number(0, "AddRef"), 1);
  EXPECT_EQ(csv.number(0, "Release"), 1);
  EXPECT_EQ(csv.number(0, "GetCreationParameters"), 1);
  EXPECT_EQ(csv.number(0, "total"), 3);
  for (size_t row = 1; row <= 8; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(csv.number(row, "frame"), static_cast<int>(row) - 1);
    EXPECT_EQ(csv.number(row, "state"), 5);
    EXPECT_EQ(csv.number(row, "texture"), 1);
    EXPECT_EQ(csv.number(row, "draw"), 1);
    EXPECT_EQ(csv.number(row, "copy"), 1);
    EXPECT_EQ(csv.number(row, "target"), 1);
    EXPECT_EQ(csv.number(row, "create"), 2);
    EXPECT_EQ(csv.number(row, "other"), 1);
    EXPECT_EQ(csv.number(row, "total"), 12);
    EXPECT_EQ(csv.number(row, "SetRenderState"), 2);
    EXPECT_EQ(csv.number(row, "SetTextureStageState"), 2);
    EXPECT_EQ(csv.number(row, "SetFVF"), 1);
    EXPECT_EQ(csv.number(row, "DrawPrimitiveUP"), 1);
    EXPECT_EQ(csv.number(row, "ColorFill"), 1);
    EXPECT_EQ(csv.number(row, "GetRenderTarget"), 1);
    EXPECT_EQ(csv.number(row, "CreateOffscreenPlainSurface"), 1);
    // The host's own drawing goes to the real device and is not counted.
    EXPECT_EQ(csv.number(row, "Clear"), 0);
    EXPECT_EQ(csv.number(row, "Present"), 0);
  }
  EXPECT_EQ(csv.number(9, "frame"), 8);
  EXPECT_EQ(csv.number(9, "total"), 0);
}

TEST_F(CountingProxy, NothingLeaksAndTheDeviceGoesWithTheHost) {
  for (const ProbeRun* r : {&plain_, &counted_}) {
    EXPECT_NE(r->probe.find("device refs "), std::string::npos) << r->probe;
    EXPECT_NE(r->calls.find("note device references left 0\n"), std::string::npos) << r->calls;
  }
  // Through the proxy the probe sees plain COM counting on top of the host's one.
  EXPECT_NE(counted_.probe.find("device refs 2 1\n"), std::string::npos) << counted_.probe;
  EXPECT_NE(counted_.calls.find("device proxy references=1 over-releases=0 faults-injected=0"), std::string::npos)
      << counted_.calls;
  EXPECT_EQ(counted_.calls.find("still referenced"), std::string::npos);
}

TEST_F(CountingProxy, TimingRowsCarryHostCallsPhaseAndAllocations) {
  Csv csv = readCsv(counted_.folder + "\\out\\timing.csv");
  ASSERT_EQ(csv.rows.size(), 8u);
  for (const char* column : {"frame_total_us", "allocations", "host_calls", "game_mode", "phase"})
    EXPECT_NE(std::find(csv.header.begin(), csv.header.end(), column), csv.header.end()) << column;
  const char* phases[8] = {"pre-start", "pre-start", "pre-start", "driving", "driving", "driving", "finish", "menu"};
  for (size_t f = 0; f < 8; ++f) {
    SCOPED_TRACE(f);
    EXPECT_EQ(csv.cell(f, "phase"), phases[f]);
    EXPECT_EQ(csv.number(f, "game_mode"), f == 7 ? 5 : 1);
    // Seven host-object calls per frame hook.
    EXPECT_EQ(csv.number(f, "host_calls"), 7);
    // The probe reports 2 per frame hook (7 on its third) and 1 per gauge point.
    EXPECT_EQ(csv.number(f, "allocations"), f == 2 ? 8 : 3);
    EXPECT_GE(std::stod(csv.cell(f, "frame_total_us")), std::stod(csv.cell(f, "plugin_total_us")));
  }
  EXPECT_NE(counted_.calls.find("note allocations at start-up 4\n"), std::string::npos) << counted_.calls;
}

TEST(DeviceFaults, InjectedFailuresReachTheCallerWithoutTheDevice) {
  // Header lines count from the start of the run, block lines from their frame.
  const std::string scenario =
      "frames 8\n"
      "fps 0\n"
      "fail CreateTexture 1 E_OUTOFMEMORY\n"
      "fail SetRenderTarget 2 D3DERR_INVALIDCALL\n"
      "fail GetRenderTarget 4 0x80004005\n"
      "frame 0\n"
      "  mode 1\n"
      "frame 4\n"
      "  screenshot scene\n"
      "frame 5\n"
      "  fail DrawPrimitiveUP 1 D3DERR_INVALIDCALL\n"
      "  screenshot faulted\n";
  ProbeRun r = runProbe("proxy-faults", scenario, "--no-pace");
  ASSERT_EQ(r.result.exitCode, 0u) << r.result.output;
  // A fault line alone puts the proxy in place.
  EXPECT_NE(r.calls.find("note counting device in the device chain"), std::string::npos);
  auto device = [&](int probeFrame) { return probeLine(r.probe, "device " + std::to_string(probeFrame) + " "); };
  EXPECT_NE(device(1).find("create=8007000E tex=null "), std::string::npos) << device(1);
  EXPECT_NE(device(2).find("create=00000000 tex=yes "), std::string::npos) << device(2);
  EXPECT_NE(device(2).find("setrt=8876086C "), std::string::npos) << device(2);
  EXPECT_NE(device(3).find("setrt=00000000 "), std::string::npos) << device(3);
  EXPECT_NE(device(4).find("getrt=80004005 rt=null setrt=00000001 "), std::string::npos) << device(4);
  EXPECT_NE(device(5).find("draw=00000000 "), std::string::npos) << device(5);
  EXPECT_NE(device(6).find("draw=8876086C "), std::string::npos) << device(6);
  EXPECT_NE(device(7).find("draw=00000000 "), std::string::npos) << device(7);
  EXPECT_NE(r.calls.find("device fault CreateTexture call 1 returns 8007000E"), std::string::npos) << r.calls;
  EXPECT_NE(r.calls.find("faults-injected=4"), std::string::npos) << r.calls;

  // The failed draw never reached the device: no block on that frame.
  Image before = loadPng(r.folder + "\\out\\scene.png"), faulted = loadPng(r.folder + "\\out\\faulted.png");
  ASSERT_EQ(faulted.width, 640u);
  EXPECT_EQ(before.at(605, 305), 0xFF00FFu);
  EXPECT_NE(faulted.at(605, 305), 0xFF00FFu);
  // A failed call is still a call; the skipped SetRenderTarget is not.
  Csv csv = readCsv(r.folder + "\\out\\device-calls.csv");
  ASSERT_EQ(csv.rows.size(), 10u);
  EXPECT_EQ(csv.number(1, "CreateTexture"), 1);
  EXPECT_EQ(csv.number(4, "GetRenderTarget"), 1);
  EXPECT_EQ(csv.number(4, "SetRenderTarget"), 0);
  EXPECT_EQ(csv.number(6, "DrawPrimitiveUP"), 1);
  EXPECT_NE(r.calls.find("device references left 0\n"), std::string::npos) << r.calls;
}

TEST(DeviceFaults, LeaksAndOverReleasesAreReportedAndTheHostRunsOn) {
  ProbeRun r = runProbe("proxy-leak", kScenario, "--no-pace --count-device", "leak-texture over-release");
  ASSERT_EQ(r.result.exitCode, 0u) << r.result.output;
  // The extra Release is refused: the host's own reference stays.
  EXPECT_NE(r.probe.find("over-release 1\n"), std::string::npos) << r.probe;
  EXPECT_NE(r.calls.find("over-releases=1 "), std::string::npos) << r.calls;
  // Every frame still drew through the proxy.
  for (int f = 1; f <= 8; ++f)
    EXPECT_NE(probeLine(r.probe, "device " + std::to_string(f) + " ").find("draw=00000000 "), std::string::npos) << f;
  // The one texture the probe kept holds the real device.
  EXPECT_NE(r.calls.find("note device references left 1\n"), std::string::npos) << r.calls;
}

TEST(HostAlone, RunsWithoutAnyPlugin) {
  std::string folder = makeGameFolder("host-alone", "");
  RunResult r = runHost(folder, kScenario, "--no-pace --no-plugin --count-device");
  ASSERT_EQ(r.exitCode, 0u) << r.output;
  std::string calls = readFile(folder + "\\out\\calls.log");
  EXPECT_NE(calls.find("note no plug-in loaded"), std::string::npos) << calls;
  Csv timing = readCsv(folder + "\\out\\timing.csv");
  ASSERT_EQ(timing.rows.size(), 8u);
  for (size_t f = 0; f < 8; ++f) {
    EXPECT_EQ(timing.cell(f, "allocations"), "");
    EXPECT_EQ(timing.number(f, "host_calls"), 0);
  }
  Csv device = readCsv(folder + "\\out\\device-calls.csv");
  ASSERT_EQ(device.rows.size(), 10u);
  for (size_t row = 0; row < device.rows.size(); ++row) EXPECT_EQ(device.number(row, "total"), 0);
}

TEST(AllocationCounting, CountingBuildReportsAndReleaseBuildDoesNot) {
  const std::string scenario = "frames 4\nfps 0\nframe 0\n  mode 5\nframe 2\n  mode 1\n";
  std::string folder = makeGameFolder("alloc-counting", testing_support::buildDir() + "\\src\\OSTREL_counting.dll");
  RunResult r = runHost(folder, scenario, "--no-pace");
  ASSERT_EQ(r.exitCode, 0u) << r.output;
  std::string calls = readFile(folder + "\\out\\calls.log");
  EXPECT_NE(calls.find("note plug-in counts its allocations"), std::string::npos) << calls;
  // Creating the plug-in object alone allocates.
  size_t at = calls.find("note allocations at start-up ");
  ASSERT_NE(at, std::string::npos) << calls;
  EXPECT_GT(std::stoul(calls.substr(at + 29)), 0ul);
  Csv timing = readCsv(folder + "\\out\\timing.csv");
  ASSERT_EQ(timing.rows.size(), 4u);
  for (size_t f = 0; f < 4; ++f) EXPECT_GE(std::stoi(timing.cell(f, "allocations")), 0);

  folder = makeGameFolder("alloc-release", testing_support::buildDir() + "\\src\\OSTREL.dll");
  r = runHost(folder, scenario, "--no-pace");
  ASSERT_EQ(r.exitCode, 0u) << r.output;
  calls = readFile(folder + "\\out\\calls.log");
  EXPECT_EQ(calls.find("counts its allocations"), std::string::npos);
  timing = readCsv(folder + "\\out\\timing.csv");
  ASSERT_EQ(timing.rows.size(), 4u);
  for (size_t f = 0; f < 4; ++f) EXPECT_EQ(timing.cell(f, "allocations"), "");
}

}  // namespace

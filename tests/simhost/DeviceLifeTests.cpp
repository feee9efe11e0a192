// The plug-in's gauges through the device's life as players' machines live
// it: other tools patching or re-pointing the device's Reset and Present, the
// host drawing through a proxy, a loss the plug-in never gets a frame in, a new
// device, a tool's second device; a multisampled back buffer and depth buffers,
// the host's threads on a multithreaded device, extended devices, faults that
// last. One short stage for every case: driving with
// the dashboard claimed, a Reset without a loss, the case's change, a second
// Reset (or a loss), more driving, a screenshot. What a player would see is
// judged: the needle where the rpm puts it, no trail, a quiet log.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "HostRun.h"
#include "StageImages.h"
#include "TestPaths.h"

using namespace simhost_test;

namespace {

constexpr const char* kDashboard = "Cars\\Car1\\Textures\\dashboard.png";
constexpr double kRpmBefore = 2000, kRpmAfter = 6000;
constexpr int kFrames = 30;
// No line of the plug-in's log more often than this: a few per Reset and
// texture creation are its business, one per frame is a flood.
constexpr int kMaxRepeats = 6;

// Frames of the shared stage; each case adds lines at kArrange (after the
// plug-in's start-up and first claimed texture), kChange (between the two
// Resets) and kSecond (the second Reset, or a loss).
constexpr int kArrange = 3, kBefore = 8, kFirstReset = 10, kChange = 13, kSecond = 16;

struct Case {
  const char* name;
  const char* before;   // lines before the first frame
  const char* arrange;  // lines at kArrange (the host's threads there are waited for before kBefore)
  const char* change;   // lines at kChange
  const char* second;   // lines at kSecond
  const char* mustSee;  // host notes (one a line) that show the arrangement took place
  int width = 640, height = 480;  // the window
  int failedResets = 0;           // Resets made to fail, each retried on the next frame
  bool keepsTextures = false;     // the second Reset keeps the host's textures (none made again)
  // The rpm changes after the second Reset instead of before the first, so
  // that a needle frozen since that Reset (or a renderer that never comes
  // back) shows.
  bool lateRpm = false;
  // The plug-in's objects on the device come back only once a lasting fault
  // is over: the device's references right after a Reset are not judged.
  bool objectsComeLater = false;
};

// The host's threads: long enough to overlap several frames natively (a few
// hundred microseconds each there) and the frames before the wait emulated,
// where a load takes about 60 ms and a Reset with its textures about 100.
#define LOADS "200"
#define RESETS "120"

const Case kCases[] = {
    {"HostAlone", "", "", "", "reset-device", "reset 640x480 hr="},
    {"TextureAgain", "", "", "texture Cars\\Car1\\Textures\\dashboard.png", "reset-device", "reset 640x480 hr="},
    {"SilentLoss", "", "", "", "lose-device 4 silent", "no plug-in call while the device is lost"},
    {"NewDevice", "", "", "new-device", "reset-device", "new device 640x480"},
    {"ToolDeviceResets", "", "tool-device create", "tool-device reset", "reset-device", "tool device reset hr="},
    {"OverlayBeforeTakenOff", "overlay before", "", "overlay off", "reset-device", "overlay took off its Reset patch"},
    {"OverlayAfterTakenOff", "", "overlay after", "overlay off", "reset-device", "overlay took off its Reset patch"},
    {"OverlayFromThreadThenLoss", "", "overlay late-thread", "", "lose-device 4", "overlay patched Reset"},
    {"MethodTableCallsOnThenOff", "", "method-table-hook call\ntexture Cars\\Car1\\Textures\\dashboard.png",
     "method-table-hook off", "reset-device", "method-table tool: entries put back"},
    {"MethodTableJumpStub", "", "method-table-hook jump\ntexture Cars\\Car1\\Textures\\dashboard.png", "",
     "reset-device", "method-table tool: Reset entry"},
    {"HostDrawsThroughProxyThenLoss", "host-proxy", "", "", "lose-device 4", "the host draws through it too"},
    // The proxy's strict check sees the plug-in's draws: its render targets
    // must not be drawn with the back buffer's 4-sample depth-stencil bound.
    {"MultisampledWithDepth", "depth D24S8\nmultisample 4\ncount-device", "", "", "reset-device",
     "depth buffer D24S8\nmultisampled back buffer resolved"},
    // The 512 x 256 dashboard texture is larger than the window's depth buffer.
    {"SmallWindowWithDepth", "depth D16\ncount-device", "", "", "reset-device", "depth buffer D16", 320, 240},
    {"LoaderThread", "multithreaded", "loader-thread " LOADS " Cars\\Car1\\Textures\\dashboard.png", "",
     "reset-device", "loader thread finished loads=" LOADS " failed=0"},
    {"ResetThread", "multithreaded", "reset-thread " RESETS, "", "lose-device 4",
     "resetting thread finished resets=" RESETS " failed=0"},
    {"ExtendedDevice", "device ex", "", "", "reset-device", "device is extended", 640, 480, 0, false, true},
    {"ExtendedKeepsTextures", "device ex", "", "", "reset-device keep-textures",
     "the host keeps its textures over the Reset", 640, 480, 0, true, true},
    {"ProxyHidesExtended", "device ex\nhost-proxy hide-ex", "", "", "lose-device 4",
     "device proxy hides IDirect3DDevice9Ex\nplain Reset", 640, 480, 0, false, true},
    // The renderers' state block cannot be made for ten frames after the Reset.
    {"StateBlockFailsForFrames", "", "", "fail CreateStateBlock 1..10 D3DERR_OUTOFVIDEOMEMORY", "reset-device",
     "device fault CreateStateBlock call 10 returns", 640, 480, 0, false, true, true},
    // The Reset after a loss fails five times (still lost), the host trying each frame.
    {"ResetFailsDuringLoss", "host-proxy", "", "", "fail Reset 1..5 D3DERR_DEVICELOST\nlose-device 4",
     "device fault Reset call 5 returns", 640, 480, 5, false, true},
};

std::string indented(const char* lines) {
  std::string out;
  std::istringstream in(lines);
  for (std::string l; std::getline(in, l);)
    if (!l.empty()) out += "  " + l + "\n";
  return out;
}

std::string scenarioFor(const Case& c) {
  std::map<int, std::string> at;
  at[0] = "  mode 1\n  texture " + std::string(kDashboard) + "\n  rpm 2000\n  gear 3\n  gear-index 3\n";
  at[kArrange] += indented(c.arrange);
  if (std::string(c.arrange).find("-thread ") != std::string::npos) at[kBefore - 1] += "  wait-threads\n";
  at[kBefore] += "  screenshot before\n";
  at[c.lateRpm ? kSecond + 2 : kBefore + 1] += "  rpm 6000\n";
  at[kFirstReset] += "  reset-device\n";
  at[kChange] += indented(c.change);
  at[kSecond] += indented(c.second);
  at[kFrames - 1] += "  screenshot after\n";
  std::string s = "frames " + std::to_string(kFrames) + "\nwindow " + std::to_string(c.width) + " " +
                  std::to_string(c.height) + "\nfps 10\n" + c.before + "\n";
  for (const auto& [frame, lines] : at)
    if (!lines.empty()) s += "frame " + std::to_string(frame) + "\n" + lines;
  return s;
}

// Pixels of the tacho dial (within 88 texture pixels of the pivot) that
// differ between two screenshots of the same dashboard, away from the
// needle each shows: the dial's face, its numbers and cap are the same at any
// rpm, so a difference is a trail (or a dial drawn wrong).
int dialDifferences(const Image& a, double angleA, const Image& b, double angleB) {
  if (a.width != b.width || a.height != b.height || a.pixels.empty()) return -1;
  const DashboardPlace place(a);
  auto nearNeedle = [](double dx, double dy, double angle) {
    const double rad = angle * 3.14159265358979 / 180.0, ux = -std::cos(rad), uy = -std::sin(rad);
    const double along = dx * ux + dy * uy, across = std::fabs(dx * uy - dy * ux);
    return along > -25.0 && across < 9.0;
  };
  int differ = 0;
  for (int y = static_cast<int>(place.y0); y < static_cast<int>(a.height); ++y)
    for (int x = static_cast<int>(place.x0) + 1; x < static_cast<int>(place.x0 + place.width * 0.45); ++x) {
      const double dx = place.texelX(x) - kTachoPivotX, dy = place.texelY(y) - kTachoPivotY;
      if (std::hypot(dx, dy) > 88.0 || nearNeedle(dx, dy, angleA) || nearNeedle(dx, dy, angleB)) continue;
      const std::uint32_t p = a.at(x, y), q = b.at(x, y);
      const int d = std::max({std::abs(red(p) - red(q)), std::abs(green(p) - green(q)), std::abs(blue(p) - blue(q))});
      differ += d > 40 ? 1 : 0;
    }
  return differ;
}

// The hex result of each "<head> ... hr=XXXXXXXX" note.
std::vector<std::string> resultsOf(const std::string& calls, const std::string& head) {
  std::vector<std::string> out;
  for (const std::string& l : lines(calls)) {
    if (l.find(head) == std::string::npos) continue;
    const std::size_t at = l.find("hr=");
    if (at != std::string::npos) out.push_back(l.substr(at + 3, 8));
  }
  return out;
}

// Fault lines of the host's, without the notes of failures the scenario
// injected on purpose ("device fault <Method> call <n> returns ...") and
// the closing summary's count.
int hostFaults(const std::string& calls) {
  int n = 0;
  for (const std::string& l : lines(calls))
    if (l.find(" fault ") != std::string::npos && l.rfind("summary ", 0) != 0 &&
        !(l.find(" note device fault ") != std::string::npos && l.find(" returns ") != std::string::npos))
      ++n;
  return n;
}

class DeviceLife : public testing::TestWithParam<Case> {};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

TEST_P(DeviceLife, EveryResetSucceedsAndTheGaugesDrawOnWhole) {
  const Case& c = GetParam();
  const std::string folder = makeGameFolder(std::string("device-life-") + c.name,
                                            testing_support::buildDir() + "\\src\\OSTREL.dll");
  // The damage diagram, which shows while driving, would cover half the dial:
  // the player's settings switch it off.
  {
    std::string settings = readFile(folder + "\\Plugins\\OSTREL\\carDamageHUD.ini.default");
    const std::size_t on = settings.find("Enabled=1");
    ASSERT_NE(on, std::string::npos);
    settings.replace(on, 9, "Enabled=0");
    std::ofstream(folder + "\\Plugins\\OSTREL\\carDamageHUD.ini", std::ios::binary) << settings;
  }
  const std::string scenario = scenarioFor(c);
  // 30 frames take about half a minute emulated; a Reset that loops for
  // ever is stopped well before the program's own guard.
  const RunResult run = runHost(folder, scenario, "", 60);
  const std::string calls = readFile(folder + "\\out\\calls.log");
  const std::string log = readFile(folder + "\\Plugins\\OSTREL\\OSTREL.log");
  SCOPED_TRACE(scenario);

  // Whatever happened later, each Reset the host made is judged: all succeed
  // but those made to fail, and the last one succeeds.
  const std::vector<std::string> resets = resultsOf(calls, " note reset ");
  int failedResets = 0;
  for (const std::string& hr : resets) failedResets += hr != "00000000" ? 1 : 0;
  EXPECT_EQ(failedResets, c.failedResets) << "the host's failed Resets";
  if (!resets.empty()) {
    EXPECT_EQ(resets.back(), "00000000") << "the host's last Reset";
  }
  for (const std::string& hr : resultsOf(calls, "tool device reset")) EXPECT_EQ(hr, "00000000") << "the tool's Reset";
  // A crash can leave exit code 0 under Wine: the closing note tells a run
  // that got to its end.
  const bool completed = calls.find(" note faults this-pointer=") != std::string::npos;
  ASSERT_TRUE(run.exitCode == 0 && completed)
      << (run.exitCode == kHangExitCode ? "the host hung" : "the host ended before the stage's end") << ", exit code 0x"
      << std::hex << run.exitCode << std::dec << " after " << resets.size() << " Reset(s)\n"
      << run.output << "\n--- calls.log (end) ---\n" << calls.substr(calls.size() > 3000 ? calls.size() - 3000 : 0);
  if (calls.find("multisample 4 not granted") != std::string::npos)
    GTEST_SKIP() << "this machine's device grants no 4-sample back buffer: the multisampled stage is not run";
  EXPECT_EQ(resets.size(), 2u + c.failedResets) << calls;
  for (const std::string& note : lines(c.mustSee))
    EXPECT_NE(calls.find(note), std::string::npos) << "the case's arrangement did not happen: " << note << "\n" << calls;
  EXPECT_NE(calls.find(" reset=" + std::to_string(c.failedResets) + "\n"), std::string::npos);
  // The host's fault line for each Reset made to fail, nothing else.
  EXPECT_EQ(hostFaults(calls), c.failedResets) << calls;

  // The host's texture is there after the last Reset; the references on it
  // stand where they stood before the first Reset at every count, and those
  // on the device come back after each Reset to where they were before it
  // (a tool's own objects may come and go between).
  const std::size_t lastReset = calls.rfind(" note reset ");
  ASSERT_NE(lastReset, std::string::npos);
  if (!c.keepsTextures) {
    EXPECT_NE(calls.find(std::string(" note texture ") + kDashboard + " 512x256", lastReset), std::string::npos)
        << "the host's texture after the last Reset";
  }
  const long dashboardLevel = figure(calls, "references before the loss", "dashboard");
  EXPECT_GE(dashboardLevel, 2) << "the host's and the gauge renderer's";
  int counts = 0;
  std::string lastBefore;
  for (const std::string& l : lines(calls)) {
    if (l.find("note references ") == std::string::npos) continue;
    ++counts;
    EXPECT_EQ(figure(l, "references", "dashboard"), dashboardLevel) << l;
    if (l.find("references before the loss") != std::string::npos) lastBefore = l;
    else if (!c.objectsComeLater) {
      EXPECT_EQ(figure(l, "references", "device"), figure(lastBefore, "references", "device")) << lastBefore << "\n" << l;
    }
  }
  EXPECT_EQ(counts, 2 * (2 + (std::string(c.change).find("new-device") != std::string::npos ? 1 : 0)));
  // A device the host replaced is let go by everyone.
  if (calls.find("old device references left") != std::string::npos) {
    EXPECT_NE(calls.find("old device references left 0\n"), std::string::npos) << calls;
  }

  // What the player sees: the needle at the rpm before and after, the dial
  // unmarked around it.
  const Image before = loadPng(folder + "\\out\\before.png"), after = loadPng(folder + "\\out\\after.png");
  const double angleBefore = needleAngle(before, 0), angleAfter = needleAngle(after, 0);
  EXPECT_NEAR(angleBefore, tachoAngle(kRpmBefore), 8.0) << "before the Resets";
  EXPECT_NEAR(angleAfter, tachoAngle(kRpmAfter), 8.0) << "the gauges draw again after the Resets";
  // The lamps inside the dial blink and tint on the game's clock, so their
  // edges may differ by a few dozen pixels between two shots; a needle's
  // trail differs by hundreds (the check below).
  EXPECT_LE(dialDifferences(after, tachoAngle(kRpmAfter), before, tachoAngle(kRpmBefore)), 40)
      << "marks on the dial away from the needle";
  // The comparison sees a needle it does not mask: the one before, at 2000
  // (fewer pixels of it in a smaller window).
  const double area = (c.width / 640.0) * (c.width / 640.0);
  EXPECT_GT(dialDifferences(after, tachoAngle(kRpmAfter), before, tachoAngle(kRpmAfter)), 100 * area);

  // A quiet log: nothing said once per frame.
  std::map<std::string, int> seen;
  for (const std::string& l : lines(log))
    if (!l.empty()) ++seen[l];
  for (const auto& [line, n] : seen) EXPECT_LE(n, kMaxRepeats) << line;
}

INSTANTIATE_TEST_SUITE_P(Arrangements, DeviceLife, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace

// Host faults through the real plug-in in the simulated host: no car, no
// device, no texture utility module, host functions that cannot be detoured,
// a settings file another program holds open, gauge folders that cannot be
// listed. The game must run on, and the log must say what happened once
// rather than on every frame.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "HostLog.h"
#include "HostRun.h"
#include "Scenario.h"
#include "TestPaths.h"

using namespace simhost_test;
using namespace reliability;
namespace fs = std::filesystem;

namespace {

constexpr int kFrames = 84;
// The fewest frames of a phase the plug-in draws in: a line logged on every
// frame of any one of them is logged at least this often.
constexpr int kShortestPhase = 10;
// The runs judged from the log and the host's calls draw into a small window:
// an emulated machine spends most of a frame on its pixels.
constexpr const char* kSmallWindow = "window 320 240\n";

// Menu, pre-start, driving with damage, finish, the other game modes and
// back to the menu: every path of the frame driver once, ending with the
// gauge texture re-created and a Home-key reload. Phases are short, each at
// least kShortestPhase frames where the plug-in draws: every frame costs an
// emulated machine tenths of a second.
std::string stageScenario(const std::string& carLines0, const std::string& carLinesDriving) {
  return "frames " + std::to_string(kFrames) + "\n" + kSmallWindow +
         "frame 0\n  mode 5\n  car-slot 0\n" + carLines0 +
         "frame 4\n  mode 1\n  texture Cars\\Car1\\Textures\\dashboard.png\n  prestart 1.0 step -0.1\n"
         "  clock 1 step 0.0166667\n  rpm 3000\n  gear 2\n  gear-index 2\n"
         "frame 14\n  prestart 0\n  rpm 5000 step 10\n  damagef 0 0.8\n  damagef 33 0.45\n  damagei 6 0\n" +
         carLinesDriving +
         "frame 22\n  event 1 13\n"
         "frame 25\n  event 0 0\n"
         "frame 30\n  screenshot driving\n"
         "frame 38\n  finished 1\n"
         "frame 48\n  mode 8\n"
         "frame 51\n  mode 10\n"
         "frame 54\n  mode 3\n"
         "frame 57\n  mode 5\n  finished 0\n"
         "frame 61\n  mode 1\n  texture Cars\\Car1\\Textures\\dashboard.png\n"
         "frame 64\n  home 200\n"
         "frame 77\n  mode 5\n";
}

class HostFaults : public testing::Test {
 protected:
  std::string prepare(const std::string& name) {
    folder_ = fs::absolute(fs::path(name)).string();
    // The assembled stage carries the built plug-in; keep it aside first.
    std::error_code ec;
    fs::remove_all(folder_, ec);
    fs::copy(fs::path(stageDir()), folder_, fs::copy_options::recursive);
    const fs::path plugin = fs::path(folder_) / "Plugins" / "OSTREL";
    fs::copy(fs::path(testing_support::sourceDir()) / "assets" / "plugin", plugin,
             fs::copy_options::recursive | fs::copy_options::skip_existing, ec);
    std::ofstream(plugin / "carDamageHUD.ini", std::ios::binary)
        << "[HUD]\r\nPosX=520\r\nPosY=20\r\nScale=0.5\r\nEnabled=1\r\nTextureSet=Standard\r\nAutohide=0\r\n"
           "ShowWhileDriving=1\r\n";
    return folder_;
  }
  RunResult run(const std::string& scenario, const std::string& args = "") {
    RunResult r = runHost(folder_, scenario, "--no-pace " + args);
    log_ = readFile(folder_ + "\\Plugins\\OSTREL\\OSTREL.log");
    calls_ = readFile(folder_ + "\\out\\calls.log");
    return r;
  }
  // The game ran every frame to the end and the plug-in was destroyed.
  void expectGameRanOn(const RunResult& r) {
    EXPECT_EQ(r.exitCode, 0u) << r.output << "\n--- calls tail:\n" << tail(calls_);
    EXPECT_NE(calls_.find("faults this-pointer=0 "), std::string::npos) << tail(calls_);
    EXPECT_NE(calls_.find(" results=0 device-state=0"), std::string::npos) << tail(calls_);
    EXPECT_NE(calls_.find("plug-in destroyed"), std::string::npos) << tail(calls_);
  }
  // Nothing the plug-in logs comes back frame after frame.
  void expectNoPerFrameLogging() {
    const auto [line, n] = mostRepeatedLine(log_);
    EXPECT_LT(n, kShortestPhase) << "logged " << n << " times: " << line;
  }
  static std::string tail(const std::string& text) {
    return text.size() > 3000 ? text.substr(text.size() - 3000) : text;
  }
  std::string folder_, log_, calls_;
};

// ---------------------------------------------------------------- the equipment

// The host switches themselves, seen from the probe plug-in.
TEST(SimulatedHostFaults, BrokenDeviceChainAndUndetourableFunctionsAsThePlugInSeesThem) {
  const std::string folder = makeGameFolder("probe-bad-prologue", probeDll());
  const std::string scenario = "frames 6\nframe 0\n  mode 1\nframe 2\n  texture Cars\\Car1\\Textures\\dashboard.png\n";
  RunResult r = runHost(folder, scenario, "--no-pace --bad-prologue all --device-chain null-device");
  ASSERT_EQ(r.exitCode, 0u) << r.output;
  const std::string probe = readFile(folder + "\\probe.txt");
  for (const char* name : {"frame", "gauge", "texture"})
    EXPECT_NE(probe.find(std::string("prologue ") + name + " EB 00 68 "), std::string::npos) << name << "\n" << probe;
  EXPECT_NE(probe.find("device no client=0x0\n"), std::string::npos) << probe;
  // The probe refuses the unknown prologue, so its hooks never run, while
  // the host's own functions still run and return as they should.
  EXPECT_NE(probe.find("destroyed flags=1 frames=0 gauges=0 "), std::string::npos) << probe;
  const std::string calls = readFile(folder + "\\out\\calls.log");
  EXPECT_NE(calls.find("faults this-pointer=0 width-words=0 results=0"), std::string::npos) << calls;
  EXPECT_NE(calls.find("texture Cars\\Car1\\Textures\\dashboard.png 512x256"), std::string::npos) << calls;
}

TEST(SimulatedHostFaults, WithoutTheTextureModuleTheHostStillMakesItsTextures) {
  const std::string folder = makeGameFolder("probe-no-texutil", probeDll());
  RunResult r = runHost(folder, "frames 3\nframe 1\n  texture Cars\\Car1\\Textures\\dashboard.png\n",
                        "--no-pace --no-texutil");
  ASSERT_EQ(r.exitCode, 0u) << r.output;
  const std::string probe = readFile(folder + "\\probe.txt");
  EXPECT_NE(probe.find("texutil no\n"), std::string::npos) << probe;
  const std::string calls = readFile(folder + "\\out\\calls.log");
  EXPECT_NE(calls.find("texture utility module not loaded"), std::string::npos) << calls;
  EXPECT_NE(calls.find("texture Cars\\Car1\\Textures\\dashboard.png 512x256"), std::string::npos) << calls;
}

TEST(SimulatedHostFaults, ScenarioNamesMissingCarRecords) {
  simhost::Scenario s = simhost::parseScenario(
      "frames 3\nframe 0\n  damage-record none\n  engine-record none\nframe 1\n  damage-record present\n", "t");
  ASSERT_EQ(s.blocks.size(), 2u);
  EXPECT_EQ(s.blocks[0].damageRecordPresent, std::optional<bool>(false));
  EXPECT_EQ(s.blocks[0].engineRecordPresent, std::optional<bool>(false));
  EXPECT_EQ(s.blocks[1].damageRecordPresent, std::optional<bool>(true));
  EXPECT_FALSE(s.blocks[1].engineRecordPresent.has_value());
  EXPECT_THROW(simhost::parseScenario("frames 2\nframe 0\n  damage-record gone\n", "t"), simhost::ScenarioError);
  EXPECT_THROW(simhost::parseScenario("frames 2\nframe 0\n  engine-record\n", "t"), simhost::ScenarioError);
}

// ---------------------------------------------------------------- the plug-in

// No car at all for the whole session, then a car without its damage and
// engine records: nothing is read through the missing pointers.
TEST_F(HostFaults, NoCarLoadedOnAnyFrame) {
  prepare("no-car");
  RunResult r = run(stageScenario("  car none\n", ""));
  expectGameRanOn(r);
  expectNoPerFrameLogging();
  r = run(stageScenario("  damage-record none\n  engine-record none\n", ""));
  expectGameRanOn(r);
  expectNoPerFrameLogging();
}

// The diagram is drawn while the car is there and gone on the frames the
// host has no car, without a crash when the car comes and goes mid-stage.
TEST_F(HostFaults, DiagramFollowsTheCarComingAndGoing) {
  prepare("car-comes-and-goes");
  const std::string scenario =
      "frames 60\n"
      "frame 0\n  mode 5\n"
      "frame 5\n  mode 1\n  prestart 0\n  clock 1 step 0.0166667\n  damagef 0 0.8\n  damagef 33 0.45\n"
      "frame 30\n  screenshot with-car\n"
      "frame 31\n  car none\n"
      "frame 40\n  screenshot without-car\n"
      "frame 41\n  car present\n  damage-record none\n"
      "frame 50\n  screenshot without-damage-record\n"
      "frame 51\n  damage-record present\n"
      "frame 59\n  screenshot car-back\n";
  RunResult r = run(scenario);
  expectGameRanOn(r);
  const Image with = loadPng(folder_ + "\\out\\with-car.png");
  const Image without = loadPng(folder_ + "\\out\\without-car.png");
  const Image noRecord = loadPng(folder_ + "\\out\\without-damage-record.png");
  const Image back = loadPng(folder_ + "\\out\\car-back.png");
  ASSERT_EQ(with.width, 640u);
  // The diagram (80 x 160 at 520, 20) covers much of its box with the car...
  EXPECT_GT(differingPixels(with, without, 520, 20, 600, 180), 1000);
  EXPECT_GT(differingPixels(with, noRecord, 520, 20, 600, 180), 1000);
  // ...and comes back with it.
  EXPECT_LT(differingPixels(with, back, 520, 20, 600, 180), 200);
}

class NoDevice : public HostFaults, public testing::WithParamInterface<const char*> {};

// The chain to the device broken at each link: the panels and gauges that
// need the device stay empty, the rest of the plug-in runs.
TEST_P(NoDevice, GameRunsOnAndSaysSoOnce) {
  prepare(std::string("no-device-") + GetParam());
  RunResult r = run(stageScenario("", ""), std::string("--device-chain ") + GetParam());
  expectGameRanOn(r);
  expectNoPerFrameLogging();
  // Start-up got through to its end: the texture detour was reached.
  EXPECT_GE(countLinesWith(log_, {"texture", "detour"}), 1) << log_;
}
INSTANTIATE_TEST_SUITE_P(AtEveryLink, NoDevice, testing::Values("null-outer", "null-inner", "null-device"));

TEST_F(HostFaults, TextureUtilityModuleMissing) {
  prepare("no-texutil");
  RunResult r = run(stageScenario("", ""), "--no-texutil");
  expectGameRanOn(r);
  expectNoPerFrameLogging();
  EXPECT_EQ(countLinesWith(log_, {"kvxtexutil"}), 1) << log_;
  // The host's own texture is an ordinary one: no render target was made.
  EXPECT_NE(calls_.find("texture Cars\\Car1\\Textures\\dashboard.png 512x256 levels=10 usage=0"), std::string::npos)
      << tail(calls_);
}

// Host functions whose first instruction ends the code before a patch fits:
// no detour is installed, the host's functions run as they are, each
// failure is logged once.
TEST_F(HostFaults, DetoursThatCannotBeInstalled) {
  prepare("bad-prologue");
  RunResult r = run(stageScenario("", ""), "--bad-prologue all");
  expectGameRanOn(r);
  expectNoPerFrameLogging();
  EXPECT_NE(calls_.find("faults this-pointer=0 width-words=0 results=0"), std::string::npos) << tail(calls_);
  EXPECT_EQ(countLinesWith(log_, {"frame detour", "not"}), 1) << log_;
  EXPECT_EQ(countLinesWith(log_, {"gauge detour", "not"}), 1) << log_;
  EXPECT_EQ(countLinesWith(log_, {"texture", "detour", "not"}), 1) << log_;
}

// Another program holds a panel's settings file open with no sharing: the
// panel reads nothing (defaults), the save writes nothing, nothing breaks,
// and the file is left as it was.
TEST_F(HostFaults, SettingsFileLockedByAnotherProgram) {
  prepare("locked-settings");
  const std::string locked = folder_ + "\\Plugins\\OSTREL\\carDamageHUD.ini";
  const std::string before = readFile(locked);
  HANDLE h = CreateFileA(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  // The stage plus the settings page: up (round to the last entry, "Save Settings") and select.
  const std::string scenario = stageScenario("", "");
  const std::string page =
      std::string("frames 48\n") + kSmallWindow +
      "frame 0\n  mode 5\n  menu open\nframe 2\n  key up\nframe 14\n  key select\nframe 20\n  menu close\n"
      "  mode 1\n  prestart 0\n  damagef 0 0.8\nframe 40\n  mode 5\n";
  RunResult r1 = run(page);
  RunResult r2 = run(scenario);
  CloseHandle(h);
  expectGameRanOn(r1);
  expectGameRanOn(r2);
  expectNoPerFrameLogging();
  EXPECT_EQ(readFile(locked), before);
}

// Gauge roots that exist but cannot be listed (a file where the folder
// should be): logged once, gauges stay off, the game runs on.
TEST_F(HostFaults, GaugeFoldersThatCannotBeListed) {
  prepare("unlistable-gauges");
  const fs::path plugin = fs::path(folder_) / "Plugins" / "OSTREL";
  for (const char* root : {"Gauges", "CustomGauges", "GaugeTemplates"}) {
    std::error_code ec;
    fs::remove_all(plugin / root, ec);
    std::ofstream(plugin / root, std::ios::binary) << "not a folder";
  }
  RunResult r = run(stageScenario("", ""));
  expectGameRanOn(r);
  expectNoPerFrameLogging();
  EXPECT_GE(countLinesWith(log_, {"gauge", "list"}), 1) << log_;
  EXPECT_NE(calls_.find("texture Cars\\Car1\\Textures\\dashboard.png 512x256 levels=10 usage=0"), std::string::npos)
      << tail(calls_);
}

// Two presses of the Home key, each held across the plug-in's wait for the
// release: one rebuild per press, never two for one and never none for the
// second.
TEST_F(HostFaults, HomeKeyRebuildsTheGaugesOncePerPress) {
  prepare("home-presses");
  RunResult r = run(std::string("frames 50\n") + kSmallWindow +
                    "frame 0\n  mode 5\n"
                    "frame 5\n  mode 1\n  texture Cars\\Car1\\Textures\\dashboard.png\n"
                    "frame 20\n  home 300\n"
                    "frame 30\n  home 200\n");
  expectGameRanOn(r);
  EXPECT_EQ(countLinesWith(log_, {"Gauge reload: rebuilding the gauge renderers"}), 2) << log_;
  EXPECT_EQ(countLinesWith(log_, {"still down"}), 0) << log_;
}

// Device calls of the plug-in failing with real error codes, through the
// counting device: on start-up loads, on the panels and on the gauge
// renderer's frame. The game runs on, the failure is reported in the log,
// the host's render target and the states the gauge renderer changes come
// back, and nothing the plug-in made on the device is left behind.
struct DeviceFault {
  const char* name;         // test name
  const char* failLines;    // scenario lines at frame 12 (after the first drawn frames)
  const char* logged;       // a text the log must hold, or "" when the call's result is not checked
};

class DeviceFaults : public HostFaults, public testing::WithParamInterface<DeviceFault> {};

TEST_P(DeviceFaults, GameRunsOnWithTheHostsStateBack) {
  const DeviceFault& f = GetParam();
  prepare(std::string("device-fault-") + f.name);
  // Calls made only when something is made (images, the renderer's state
  // block on its first frame) fail from the start.
  const bool fromStart = std::string(f.name) == "CreateTexture" || std::string(f.name) == "CreateStateBlock";
  const std::string scenario = std::string("frames 40\n") + kSmallWindow + "frame 0\n  mode 5\n" +
                               (fromStart ? f.failLines : "") +
                               "frame 2\n  mode 1\n  texture Cars\\Car1\\Textures\\dashboard.png\n"
                               "  prestart 0.2 step -0.05\n  clock 1 step 0.0166667\n  rpm 4000\n"
                               "  damagef 0 0.5\n  damagei 30 0\n"
                               "frame 12\n" +
                               (fromStart ? "" : f.failLines) +
                               "frame 30\n  finished 1\n"
                               "frame 38\n  mode 5\n";
  RunResult r = run(scenario, "--count-device");
  expectGameRanOn(r);
  expectNoPerFrameLogging();
  EXPECT_EQ(calls_.find("faults-injected=0"), std::string::npos) << "the fault was never reached\n" << tail(calls_);
  // What stays on the device is what the plug-in keeps until it is unloaded,
  // the damage diagram's images, never more.
  const std::size_t at = calls_.find("device references left ");
  ASSERT_NE(at, std::string::npos) << tail(calls_);
  EXPECT_LE(std::stoi(calls_.substr(at + 23)), 88) << calls_.substr(at, 40);
  if (*f.logged) {
    EXPECT_NE(log_.find(f.logged), std::string::npos) << log_;
  }
}

INSTANTIATE_TEST_SUITE_P(
    OneCallEach, DeviceFaults,
    testing::Values(
        DeviceFault{"CreateStateBlock", "  fail CreateStateBlock 1 D3DERR_OUTOFVIDEOMEMORY\n",
                    "function: TextureHandler::Render, line: "},
        DeviceFault{"GetRenderTarget", "  fail GetRenderTarget 1 D3DERR_INVALIDCALL\n",
                    "function: TextureHandler::Render, line: "},
        DeviceFault{"SetRenderTarget", "  fail SetRenderTarget 1 D3DERR_INVALIDCALL\n  fail SetRenderTarget 4 D3DERR_INVALIDCALL\n",
                    "function: TextureHandler::Render, line: "},
        DeviceFault{"SetFVF", "  fail SetFVF 2 D3DERR_INVALIDCALL\n", ""},
        DeviceFault{"UpdateSurface", "  fail UpdateSurface 1 D3DERR_DEVICELOST\n", "Gauges: base image copy failed: D3DERR_DEVICELOST"},
        DeviceFault{"SetRenderState", "  fail SetRenderState 1 D3DERR_INVALIDCALL\n  fail SetRenderState 9 D3DERR_INVALIDCALL\n",
                    "Description: D3DERR_INVALIDCALL"},
        DeviceFault{"SetTextureStageState", "  fail SetTextureStageState 3 D3DERR_INVALIDCALL\n",
                    "function: SetupVertex2DRenderState, line: "},
        DeviceFault{"SetPixelShader", "  fail SetPixelShader 2 D3DERR_INVALIDCALL\n", ""},
        DeviceFault{"SetTexture", "  fail SetTexture 1 D3DERR_INVALIDCALL\n  fail SetTexture 30 D3DERR_INVALIDCALL\n", ""},
        DeviceFault{"DrawPrimitiveUP", "  fail DrawPrimitiveUP 1 D3DERR_INVALIDCALL\n  fail DrawPrimitiveUP 60 E_OUTOFMEMORY\n", ""},
        DeviceFault{"CreateTexture", "  fail CreateTexture 1 E_OUTOFMEMORY\n  fail CreateTexture 40 D3DERR_OUTOFVIDEOMEMORY\n", ""}),
    [](const testing::TestParamInfo<DeviceFault>& i) { return std::string(i.param.name); });

}  // namespace

// The plug-in as a player without the DirectX end-user runtime gets it
// (d3dx9_43.dll disabled for the host process), and a fault in the plug-in's
// own code inside the game: its trace in the log, the game's handling after.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
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

// Host processes started meanwhile inherit the variable (Wine reads its DLL
// overrides from there); the old value comes back afterwards.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    char old[1024];
    const DWORD n = GetEnvironmentVariableA(name, old, sizeof old);
    had_ = n > 0 && n < sizeof old;
    if (had_) old_ = old;
    SetEnvironmentVariableA(name, value.c_str());
  }
  ~ScopedEnvironment() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }
  std::string old() const { return had_ ? old_ : std::string(); }

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

// The overrides the test run already has, plus d3dx9_43 disabled.
std::string withoutD3dx43() {
  char old[1024];
  const DWORD n = GetEnvironmentVariableA("WINEDLLOVERRIDES", old, sizeof old);
  const std::string current = n > 0 && n < sizeof old ? old : "";
  return current.empty() ? "d3dx9_43=" : current + ";d3dx9_43=";
}

bool pureRed(std::uint32_t c) { return (c >> 16 & 0xFF) > 200 && (c >> 8 & 0xFF) < 60 && (c & 0xFF) < 60; }
bool pureGreen(std::uint32_t c) { return (c >> 8 & 0xFF) > 200 && (c >> 16 & 0xFF) < 80 && (c & 0xFF) < 80; }
bool white(std::uint32_t c) { return (c >> 16 & 0xFF) > 200 && (c >> 8 & 0xFF) > 200 && (c & 0xFF) > 200; }

template <typename Pred>
int pixelsIn(const Image& img, int x0, int y0, int x1, int y1, Pred pred) {
  int n = 0;
  for (int y = y0; y < y1 && y < static_cast<int>(img.height); ++y)
    for (int x = x0; x < x1 && x < static_cast<int>(img.width); ++x) n += pred(img.at(x, y)) ? 1 : 0;
  return n;
}

// Mean x of the tacho needle's red pixels on the dashboard (-1: no needle).
double needleX(const Image& img) {
  double sum = 0;
  int n = 0;
  for (int y = 300; y < 480; ++y)
    for (int x = 100; x < 240; ++x)
      if (y < static_cast<int>(img.height) && x < static_cast<int>(img.width) && pureRed(img.at(x, y))) sum += x, ++n;
  return n ? sum / n : -1.0;
}

}  // namespace

// Before the start the tire panel, while driving the damage diagram and the
// live tacho, all without the library; the log says once what serves instead.
TEST(WithoutD3DXRuntime, PluginLoadsLogsAndDrawsPanelsAndGauges) {
  const std::string folder = makeGameFolder("plugin-no-d3dx", testing_support::buildDir() + "\\src\\OSTREL.dll");
  RunResult r;
  {
    ScopedEnvironment overrides("WINEDLLOVERRIDES", withoutD3dx43());
    r = runHost(folder,
                "frames 150\nwindow 640 480\nfps 60\n"
                "frame 0\n  mode 5\n"
                "frame 5\n  mode 1\n  texture Cars\\Car1\\Textures\\dashboard.png\n"
                "  prestart 1.0 step -0.025\n  clock 1 step 0.0166667\n  rpm 900\n"
                "frame 20\n  screenshot prestart\n"
                "frame 45\n  rpm 3600\n  damagef 0 0.3\n  damagei 30 0\n"
                "frame 130\n  screenshot driving\n",
                "");
  }
  ASSERT_EQ(r.exitCode, 0u) << r.output;
  const std::string log = readFile(folder + "\\Plugins\\OSTREL\\OSTREL.log");
  ASSERT_FALSE(log.empty()) << "no log: the plug-in was not loaded";
  EXPECT_EQ(count(log, "Frame detour: installed\r\n"), 1) << log;
  EXPECT_EQ(count(log, "Texture creation detour: installed\r\n"), 1);
  // Said once, naming the missing file and what serves instead.
  EXPECT_EQ(count(log, "D3DX: d3dx9_43.dll is not installed; gauge base images are loaded by the game's "
                       "texture function"), 1) << log;
  EXPECT_EQ(count(log, "d3dx9_43.dll"), 1);
  EXPECT_EQ(count(log, "Gauges: base image loaded: "), 1);
  EXPECT_EQ(count(log, "Crash:"), 0);

  const Image prestart = loadPng(folder + "\\out\\prestart.png"), driving = loadPng(folder + "\\out\\driving.png");
  ASSERT_GT(prestart.width, 0u);
  ASSERT_GT(driving.width, 0u);
  EXPECT_GT(pixelsIn(prestart, 15, 195, 85, 300, pureGreen), 300);  // tire panel bars
  EXPECT_GT(pixelsIn(driving, 25, 300, 100, 480, white), 300);      // sound parts of the diagram
  EXPECT_GT(pixelsIn(driving, 25, 300, 100, 480, pureRed), 50);     // the damaged ones
  // The tacho needle is drawn and follows the engine: 900 rpm on the left
  // of the dial, 3600 further right.
  const double slow = needleX(prestart), fast = needleX(driving);
  ASSERT_GT(slow, 0);
  ASSERT_GT(fast, 0);
  EXPECT_GT(fast - slow, 15.0) << slow << " -> " << fast;
}

// The test build's fault switch makes the plug-in's own code write to address
// 0 inside a frame. The log gets the trace before the game's handling, which
// here (no handler in the host) ends the process with the fault's code: the
// trace did not swallow it.
TEST(CrashTrace, FaultInThePluginLeavesOneLineAndEndsTheGameAsBefore) {
  const std::string dll = testing_support::buildDir() + "\\src\\OSTREL_faulting.dll";
  const std::string folder = makeGameFolder("plugin-fault", dll);
  const RunResult r = runHost(folder,
                              "frames 20\nwindow 640 480\n"
                              "frame 0\n  mode 1\n"
                              "frame 5\n  plugin-fault\n",
                              "--no-pace");
  EXPECT_EQ(r.exitCode, 0xC0000005u) << r.output;
  const std::string log = readFile(folder + "\\Plugins\\OSTREL\\OSTREL.log");
  ASSERT_EQ(count(log, "Crash: "), 1) << log;
  const std::size_t at = log.find("Crash: ");
  const std::string line = log.substr(at, log.find('\r', at) - at);
  unsigned code = 0, offset = 0;
  int v[4] = {};
  ASSERT_EQ(std::sscanf(line.c_str(), "Crash: exception 0x%X at OSTREL.dll+0x%X, version %d.%d.%d.%d", &code,
                        &offset, &v[0], &v[1], &v[2], &v[3]),
            6)
      << line;
  EXPECT_EQ(code, 0xC0000005u);
  // The offset lies in the switch's function: the module's layout read
  // without running its entry.
  HMODULE image = LoadLibraryExA(dll.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(image, nullptr);
  const auto function = reinterpret_cast<std::uintptr_t>(GetProcAddress(image, "OSTREL_FaultForTest"));
  const auto functionOffset = function - reinterpret_cast<std::uintptr_t>(image);
  FreeLibrary(image);
  EXPECT_GE(offset, functionOffset) << line;
  EXPECT_LT(offset, functionOffset + 32) << line;
}

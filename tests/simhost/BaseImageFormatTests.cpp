// Gauges on dashboard textures the host makes from image files of every
// kind, in the format, pool and size it asks for: the real plug-in in the
// simulated host, one short stretch of frames per case in one host run. Per
// case: the base image is copied back every frame (no copy-failure line),
// the needle shows at its angle, and the needle of an earlier frame leaves
// no trail.
//
// OSTREL_FORMAT_PLUGIN=PATH runs another build of the plug-in (a figure of
// copy failures per case is printed for each run, to compare builds).
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "HostRun.h"
#include "TestPaths.h"

using namespace simhost_test;
namespace fs = std::filesystem;

namespace {

struct FormatCase {
  const char* name;    // the car folder, and the gauge set's
  const char* kind;    // the host's file, written from its own dashboard.png
  const char* file;    // its name in Textures\ (ends the host's dashboard list)
  const char* format;  // what the host asks for ("UNKNOWN": as the file)
  const char* pool;
  unsigned width, height;    // asked for; 0: D3DX_DEFAULT
  unsigned replacementWidth;  // > 0: the set's Replacement, a 2:1 PNG of this width
  bool textureHook;          // the texture hook's part (another developer's)
};

const FormatCase kCases[] = {
    {"png32", "png32", "dashboard.png", "UNKNOWN", "default", 0, 0, 0, false},
    {"png24", "png24", "dashboard.png", "UNKNOWN", "default", 0, 0, 0, false},
    {"jpg", "jpg", "dashboard.jpg", "UNKNOWN", "default", 0, 0, 0, false},
    {"bmp24", "bmp24", "dashboard.bmp", "UNKNOWN", "default", 0, 0, 0, false},
    {"tga24", "tga24", "dashboard.tga", "UNKNOWN", "default", 0, 0, 0, false},
    {"png8", "png8", "dashboard.png", "UNKNOWN", "default", 0, 0, 0, false},
    {"dxt1", "dxt1", "dashboard.dds", "UNKNOWN", "default", 0, 0, 0, false},
    {"dxt5", "dxt5", "dashboard.dds", "UNKNOWN", "default", 0, 0, 0, false},
    {"dds-argb", "dds-argb", "dashboard.dds", "UNKNOWN", "default", 0, 0, 0, false},
    {"png32-as-x8r8g8b8", "png32", "dashboard.png", "X8R8G8B8", "default", 0, 0, 0, false},
    {"png32-as-r5g6b5", "png32", "dashboard.png", "R5G6B5", "default", 0, 0, 0, false},
    {"jpg-as-a8r8g8b8", "jpg", "dashboard.jpg", "A8R8G8B8", "default", 0, 0, 0, false},
    {"png32-400x200", "png32", "dashboard.png", "UNKNOWN", "default", 400, 200, 0, false},
    {"replacement-640x320", "png32", "dashboard.png", "UNKNOWN", "default", 512, 256, 640, false},
    {"managed-pool", "png32", "dashboard.png", "UNKNOWN", "managed", 0, 0, 0, true},
    {"no-render-target", "png32", "dashboard.png", "DXT1", "default", 0, 0, 0, true},
};
constexpr int kCaseCount = static_cast<int>(sizeof kCases / sizeof kCases[0]);

// Frames of one case: the texture and rpm A at its first, screenshot a, rpm
// B, screenshot b, and mode 3 (the renderers dropped) at its last.
constexpr int kFramesPerCase = 24, kShotA = 8, kSecondRpm = 9, kShotB = 20;
constexpr int kRenderedFrames = kFramesPerCase - 1;
constexpr double kRpmA = 2000, kRpmB = 5000;
double tachoAngle(double rpm) { return rpm * 270.0 / 8000.0; }

const char* kNeedleSet = R"([Tacho]
Type=needle
Image=needle.png
PosX=300
PosY=128
PivotX=90
PivotY=5
ValueSource=rpm
Instant=1
RangeForm=1
AngleMin=0
AngleMax=270
ValueMin=0
ValueMax=8000
)";

std::string pluginUnderTest() {
  const char* other = std::getenv("OSTREL_FORMAT_PLUGIN");
  return other && *other ? std::string(other) : testing_support::buildDir() + "\\src\\OSTREL.dll";
}

// A game folder with one car and one needle-only gauge set per case.
std::string formatFolder() {
  const std::string folder = makeGameFolder("base-image-formats", pluginUnderTest());
  const fs::path needle = fs::path(testing_support::sourceDir()) / "assets" / "plugin" / "Gauges.default" / "Car1" / "needle.png";
  for (const FormatCase& c : kCases) {
    const fs::path set = fs::path(folder) / "Plugins" / "OSTREL" / "Gauges" / c.name;
    fs::create_directories(set);
    fs::create_directories(fs::path(folder) / "Cars" / c.name / "Textures");
    fs::copy_file(needle, set / "needle.png");
    std::ofstream(set / "Gauges.ini", std::ios::binary)
        << "[Texture]\nTarget=Textures\\" << c.file << "\n"
        << (c.replacementWidth ? "Replacement=base.png\n" : "") << kNeedleSet;
  }
  return folder;
}

std::string scenario() {
  std::string s = "frames " + std::to_string(2 + kCaseCount * kFramesPerCase) + "\nwindow 640 480\nfps 60\n";
  s += "frame 0\n  mode 5\n";
  s += "frame 1\n";
  for (const FormatCase& c : kCases) {
    const std::string car = std::string("Cars\\") + c.name;
    s += "  write-image Cars\\Car1\\Textures\\dashboard.png " + car + "\\Textures\\" + c.file + " " + c.kind + "\n";
    if (c.replacementWidth)
      s += "  write-image Cars\\Car1\\Textures\\dashboard.png Plugins\\OSTREL\\Gauges\\" + std::string(c.name) +
           "\\base.png png32 " + std::to_string(c.replacementWidth) + " " + std::to_string(c.replacementWidth / 2) + "\n";
  }
  for (int k = 0; k < kCaseCount; ++k) {
    const FormatCase& c = kCases[k];
    const int base = 2 + k * kFramesPerCase;
    s += "frame " + std::to_string(base) + "\n  mode 1\n  rpm " + std::to_string(kRpmA) + "\n  texture Cars\\" +
         c.name + "\\Textures\\" + c.file + " format " + c.format + " pool " + c.pool;
    if (c.width) s += " size " + std::to_string(c.width) + " " + std::to_string(c.height);
    s += "\n";
    s += "frame " + std::to_string(base + kShotA) + "\n  screenshot " + c.name + "-a\n";
    s += "frame " + std::to_string(base + kSecondRpm) + "\n  rpm " + std::to_string(kRpmB) + "\n";
    s += "frame " + std::to_string(base + kShotB) + "\n  screenshot " + c.name + "-b\n";
    s += "frame " + std::to_string(base + kFramesPerCase - 1) + "\n  mode 3\n";
  }
  return s;
}

// Where the host draws its dashboard at 640 x 480, and a texture point on screen.
struct Placement {
  double x0, y0, sx, sy;
};
Placement placement(const Image& img, unsigned textureWidth, unsigned textureHeight) {
  const double w = img.width, h = img.height, dw = w * 0.8, dh = dw * 0.375;
  return {(w - dw) * 0.5 - 0.5, h - dh - 0.5, dw / textureWidth, dh / textureHeight};
}
bool pureRed(std::uint32_t c) { return (c >> 16 & 0xFF) > 200 && (c >> 8 & 0xFF) < 60 && (c & 0xFF) < 60; }

// The needle's pivot on the texture: right of the damage diagram, which the
// host's window shows over the dashboard's left end while driving.
constexpr double kPivotX = 300, kPivotY = 128;

// Visits the screen pixels over the dashboard with their texture position
// relative to the needle's pivot.
template <class Visit>
void overDashboard(const Image& img, unsigned tw, unsigned th, Visit visit) {
  const Placement p = placement(img, tw, th);
  for (int y = static_cast<int>(p.y0) + 1; y < static_cast<int>(img.height); ++y)
    for (int x = static_cast<int>(p.x0) + 1; x < static_cast<int>(p.x0 + tw * p.sx); ++x)
      visit(x, y, (x - p.x0) / p.sx - kPivotX, (y - p.y0) / p.sy - kPivotY);
}

// The needle's angle in degrees clockwise from pointing left, from its red
// pixels 25 to 85 texture pixels from the pivot; -1 when none shows.
double needleAngle(const Image& img, unsigned tw, unsigned th) {
  double sx = 0, sy = 0;
  int n = 0;
  overDashboard(img, tw, th, [&](int x, int y, double dx, double dy) {
    const double r = std::hypot(dx, dy);
    if (r >= 25.0 && r <= 85.0 && pureRed(img.at(x, y))) sx += dx, sy += dy, ++n;
  });
  if (n < 10) return -1.0;
  const double degrees = std::atan2(-sy, -sx) * 180.0 / 3.14159265358979;
  return degrees < 0 ? degrees + 360.0 : degrees;
}

// Angle of a texture offset from the pivot, as the needle's angle counts.
double angleOf(double dx, double dy) {
  const double d = std::atan2(-dy, -dx) * 180.0 / 3.14159265358979;
  return d < 0 ? d + 360.0 : d;
}
double angleBetween(double a, double b) {
  const double d = std::fabs(a - b);
  return d > 180.0 ? 360.0 - d : d;
}
// Within the 10-pixel-wide needle's reach at `angle` (and around the pivot,
// where its width spans any angle).
bool nearNeedle(double dx, double dy, double angle) {
  const double r = std::hypot(dx, dy);
  return r < 24.0 || (r < 100.0 && angleBetween(angleOf(dx, dy), angle) < 14.0);
}

// What the run left for one case.
struct CaseRun {
  std::string log;  // the plug-in's log lines from its texture request to the renderers' drop
  bool hostTexture = false;
  unsigned width = 512, height = 256;  // of the texture the host made
  int copyFailures = 0;
};

class BaseImageFormats : public testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() {
    folder_ = formatFolder();
    result_ = runHost(folder_, scenario(), "");
    const std::string log = readFile(folder_ + "\\Plugins\\OSTREL\\OSTREL.log");
    const std::string calls = readFile(folder_ + "\\out\\calls.log");
    std::printf("%-22s %s\n", "case", "copy-failure lines per 60 frames");
    for (int k = 0; k < kCaseCount; ++k) {
      const FormatCase& c = kCases[k];
      CaseRun& run = runs_[k];
      std::string path = std::string("cars/") + c.name + "/textures/" + c.file;
      for (char& ch : path) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      const std::size_t from = log.find("Texture requested: " + path);
      const std::size_t to = from == std::string::npos ? from : log.find("Gauges: dropping", from);
      if (from != std::string::npos) run.log = log.substr(from, to == std::string::npos ? std::string::npos : to - from);
      run.copyFailures = count(run.log, "base image copy failed");
      const std::string note = std::string("note texture Cars\\") + c.name + "\\Textures\\" + c.file + " ";
      const std::size_t at = calls.find(note);
      if (at != std::string::npos && calls.compare(at + note.size(), 6, "failed") != 0) {
        run.hostTexture = true;
        std::sscanf(calls.c_str() + at + note.size(), "%ux%u", &run.width, &run.height);
      }
      std::printf("%-22s %.1f%s\n", c.name, run.copyFailures * 60.0 / kRenderedFrames,
                  run.hostTexture ? "" : " (the host got no texture)");
    }
  }
  void SetUp() override { ASSERT_EQ(result_.exitCode, 0u) << result_.output; }
  static const FormatCase& which() { return kCases[GetParam()]; }
  static CaseRun& run() { return runs_[GetParam()]; }
  static Image shot(const char* suffix) { return loadPng(folder_ + "\\out\\" + which().name + suffix + ".png"); }

  static std::string folder_;
  static RunResult result_;
  static CaseRun runs_[kCaseCount];
};
std::string BaseImageFormats::folder_;
RunResult BaseImageFormats::result_;
CaseRun BaseImageFormats::runs_[kCaseCount];

TEST_P(BaseImageFormats, BaseImageRestoredEveryFrameNeedleAtItsAngleWithoutTrails) {
  const FormatCase& c = which();
  SCOPED_TRACE(std::string(c.name) + (c.textureHook ? " (the texture hook's part)" : ""));
  ASSERT_TRUE(run().hostTexture) << "the host's texture request failed: " << run().log;
  ASSERT_NE(run().log.find("Gauges: base image loaded"), std::string::npos) << run().log;
  EXPECT_EQ(run().copyFailures, 0) << "copy-failure lines over " << kRenderedFrames << " frames:\n" << run().log;

  const Image a = shot("-a"), b = shot("-b");
  ASSERT_EQ(a.width, 640u);
  ASSERT_EQ(b.width, 640u);
  const unsigned tw = run().width, th = run().height;
  EXPECT_NEAR(needleAngle(a, tw, th), tachoAngle(kRpmA), 6.0);
  EXPECT_NEAR(needleAngle(b, tw, th), tachoAngle(kRpmB), 6.0);
  // The dashboard of frame b is frame a's but for the two needles' places:
  // the earlier needle was painted over by the base image, not left behind.
  int trail = 0, changed = 0;
  overDashboard(b, tw, th, [&](int x, int y, double dx, double dy) {
    const bool nearA = nearNeedle(dx, dy, tachoAngle(kRpmA)), nearB = nearNeedle(dx, dy, tachoAngle(kRpmB));
    if (nearA && !nearB && pureRed(b.at(x, y))) ++trail;
    if (!nearA && !nearB && a.at(x, y) != b.at(x, y)) ++changed;
  });
  EXPECT_LE(trail, 3) << "red pixels where the needle stood at " << kRpmA << " rpm";
  EXPECT_LE(changed, 8) << "dashboard pixels away from both needles that changed between the frames";
}

INSTANTIATE_TEST_SUITE_P(EveryKind, BaseImageFormats, testing::Range(0, kCaseCount),
                         [](const testing::TestParamInfo<int>& info) {
                           std::string name = kCases[info.param].name;
                           for (char& ch : name)
                             if (ch == '-') ch = '_';
                           return name;
                         });

}  // namespace

// Gauge sets drawn into a real render-target texture and read back: what the
// player sees on the dashboard for given car values.
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "GaugeScene.h"
#include "gauges/CheckedSets.h"
#include "gauges/GaugeEffect.h"
#include "gauges/GaugeValueContext.h"

using namespace gauge_tests;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr std::uint32_t kGreen = 0xFF00FF00u;

// Font cell k is a solid colour whose red channel tells the cell: (k + 1) * 16.
std::uint32_t cellColour(int k) { return 0xFF000080u | (static_cast<std::uint32_t>((k + 1) * 16) << 16); }
char cellChar(std::uint32_t pixel) {
  const int k = static_cast<int>((pixel >> 16) & 0xFF) / 16 - 1;
  return k >= 0 && k < 13 ? "0123456789:.-"[k] : '?';
}

const char* kNeedle = R"(
[Tacho]
Type=needle
Image=needle.png
PosX=256
PosY=128
PivotX=0
PivotY=3
ValueSource=rpm
Instant=1
RangeForm=1
AngleMin=0
AngleMax=270
ValueMin=0
ValueMax=8000
)";

}  // namespace

class Needle : public GaugeScene {
 protected:
  void SetUp() override {
    GaugeScene::SetUp();
    ASSERT_TRUE(writeSolid(path("needle.png"), 80, 6, kWhite));  // points right from its pivot
  }
  // The needle colour at 50 pixels from the pivot in the direction `degrees`
  // (clockwise on the screen from pointing right).
  std::uint32_t along(float degrees) const {
    const float a = degrees * 3.14159265f / 180.0f;
    return at(static_cast<int>(std::lround(256 + 50 * std::cos(a))),
              static_cast<int>(std::lround(128 + 50 * std::sin(a))));
  }
};

TEST_F(Needle, CalibratedAngleForValuesInsideAndOutsideTheScale) {
  definition(kNeedle);
  auto h = make();
  host.rpm(4000.0f);
  render(*h);
  EXPECT_EQ(along(135.0f), kWhite);
  for (float off : {0.0f, 90.0f, 180.0f, 270.0f}) EXPECT_EQ(along(off), kBase) << off;

  host.rpm(9000.0f);  // past the end: held at 270
  render(*h);
  EXPECT_EQ(along(270.0f), kWhite);
  EXPECT_EQ(along(135.0f), kBase);

  host.rpm(0.0f);  // at the start (values below read as 0 too)
  render(*h);
  EXPECT_EQ(along(0.0f), kWhite);
  EXPECT_EQ(along(270.0f), kBase);
}

TEST_F(Needle, SpringFollowsTheFrameTimeItIsGiven) {
  std::string text = kNeedle;
  text.replace(text.find("Instant=1"), 9, "Instant=0");
  definition(text);
  auto h = make();
  host.rpm(4000.0f);
  render(*h, 0.001);  // less than one spring step: still at rest at 0
  EXPECT_EQ(along(0.0f), kWhite);
  EXPECT_EQ(along(135.0f), kBase);
  render(*h, 5.0);  // five seconds later it has settled on the value
  EXPECT_EQ(along(135.0f), kWhite);
  EXPECT_EQ(along(0.0f), kBase);
}

class Digits : public GaugeScene {
 protected:
  void SetUp() override {
    GaugeScene::SetUp();
    ASSERT_TRUE(writeImage(path("font.png"), 13 * 8, 12, [](UINT x, UINT) { return cellColour(x / 8); }));
  }
  std::string readAlong(float x, float y, float dx, float dy, int n) const {
    std::string s;
    for (int i = 0; i < n; ++i)
      s += cellChar(at(static_cast<int>(x + dx * (8 * i + 4)), static_cast<int>(y + dy * (8 * i + 4))));
    return s;
  }
  void number(const std::string& format, const std::string& align, float angle, float x) {
    definition("[N]\nType=number\nValueSource=speed\nFont=font.png\nPosY=50\nFormat=" + format +
               "\nAlign=" + align + "\nAngle=" + std::to_string(angle) + "\nPosX=" + std::to_string(x) + "\n");
  }
};

TEST_F(Digits, FormattedValueLeftRightAndCentred) {
  host.speed(123.456f);
  number("decimal2", "left", 0, 100);
  {
    auto h = make();
    render(*h);
    EXPECT_EQ(readAlong(100, 56, 1, 0, 6), "123.46");
    EXPECT_TRUE(untouched(100 + 48, 50, 100 + 60, 62));  // nothing after the last digit
    EXPECT_TRUE(untouched(90, 50, 100, 62));
  }
  number("minsechundredths", "right", 0, 300);  // 2:03.45 ends at PosX
  host.speed(123.456f);
  {
    fill(kBase);
    auto h = make();
    render(*h);
    EXPECT_EQ(readAlong(300 - 56, 56, 1, 0, 7), "2:03.45");
    EXPECT_TRUE(untouched(300, 50, 320, 62));
  }
  number("pad5", "centre", 0, 256);  // 00123 centred on PosX
  {
    auto h = make();
    render(*h);
    EXPECT_EQ(readAlong(256 - 20, 56, 1, 0, 5), "00123");
    EXPECT_TRUE(untouched(256 + 20, 50, 256 + 30, 62));
    EXPECT_TRUE(untouched(256 - 30, 50, 256 - 20, 62));
  }
}

// Between two gauge frames the diagram binds its atlas and the host draws
// with its own vertex format: the next pass binds its texture and format
// again instead of trusting the record of the last bound texture.
TEST_F(Digits, APassAfterOtherDrawingBindsItsOwnTextureAndFormat) {
  host.speed(123.456f);
  number("decimal2", "left", 0, 100);
  auto h = make();
  render(*h);
  ASSERT_EQ(readAlong(100, 56, 1, 0, 6), "123.46");
  IDirect3DTexture9* other = nullptr;
  ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &other, nullptr), D3D_OK);
  device->SetTexture(0, other);
  ostrel::lastBoundTexture = other;
  device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
  host.speed(45.5f);
  render(*h);
  EXPECT_EQ(readAlong(100, 56, 1, 0, 5), "45.50");
  device->SetTexture(0, nullptr);
  other->Release();
}

TEST_F(Digits, TurnedTextRunsDownTheTexture) {
  host.speed(-42.0f);
  number("integer", "left", 90, 100);
  auto h = make();
  render(*h);
  // Each glyph turns about its own centre; the pen moves down by a cell.
  std::string s;
  for (int i = 0; i < 3; ++i) s += cellChar(at(100 + 4, 50 + 8 * i + 6));
  EXPECT_EQ(s, "-42");
  EXPECT_TRUE(untouched(112, 50, 140, 62));  // not written left to right
}

TEST_F(Digits, FormatNoneDrawsNothingAndLogsIt) {
  number("none", "left", 0, 100);
  auto h = make();
  const std::size_t before = logSize();
  render(*h);
  EXPECT_TRUE(untouched(0, 0, 512, 256));
  EXPECT_GE(countOf(logSince(before), "no number format"), 1);
}

class Bar : public GaugeScene {};

TEST_F(Bar, EmptyAtZeroWholeAtOneCroppedBetween) {
  // Left half red, right half green: cropping shows only red at one half.
  ASSERT_TRUE(writeImage(path("bar.png"), 100, 10, [](UINT x, UINT) { return x < 50 ? kRed : kGreen; }));
  ASSERT_TRUE(writeImage(path("vbar.png"), 10, 100, [](UINT, UINT y) { return y < 50 ? kRed : kGreen; }));
  definition(
      "[H]\nType=bar\nImage=bar.png\nPosX=50\nPosY=200\nValueSource=speed\nMin=0\nMax=100\n"
      "[V]\nType=bar\nImage=vbar.png\nPosX=400\nPosY=20\nValueSource=speed\nMin=0\nMax=100\nDirection=Up\n");
  auto h = make();
  host.speed(0.0f);
  render(*h);
  EXPECT_TRUE(untouched(0, 0, 512, 256));

  host.speed(100.0f);
  render(*h);
  EXPECT_EQ(at(51, 205), kRed);
  EXPECT_EQ(at(148, 205), kGreen);
  EXPECT_EQ(at(405, 21), kRed);
  EXPECT_EQ(at(405, 118), kGreen);

  host.speed(50.0f);
  render(*h);
  EXPECT_EQ(at(51, 205), kRed);
  EXPECT_EQ(at(96, 205), kRed);  // scaled, this would be green
  EXPECT_TRUE(untouched(102, 200, 150, 210));
  EXPECT_TRUE(untouched(400, 20, 410, 68));  // upward: the top half is empty
  EXPECT_EQ(at(405, 72), kGreen);            // the bottom half of the image shows
  EXPECT_EQ(at(405, 118), kGreen);
}

class Tint : public GaugeScene {};

TEST_F(Tint, ColourMovesFromFromToToAndHidesBelowOnePercent) {
  ASSERT_TRUE(writeSolid(path("icon.png"), 20, 20, kWhite));
  definition(
      "[Oil]\nType=colour\nImage=icon.png\nPosX=30\nPosY=30\nValueSource=oiltemp\nMin=60\nMax=150\n"
      "ColourFrom=FF0000FF\nColourTo=FF00FF00\n");
  auto h = make();
  host.oilKelvin(273.15f + 150.0f);
  render(*h);
  EXPECT_EQ(at(40, 40), kGreen);
  host.oilKelvin(273.15f + 60.0f);
  render(*h);
  EXPECT_EQ(at(40, 40), kBase);
  host.oilKelvin(273.15f + 105.0f);
  render(*h);
  const std::uint32_t mid = at(40, 40);
  EXPECT_EQ(mid & 0xFFFF0000u, 0xFF000000u);
  EXPECT_NEAR(static_cast<int>((mid >> 8) & 0xFF), 127, 2);
  EXPECT_NEAR(static_cast<int>(mid & 0xFF), 127, 2);
}

class Effects : public GaugeScene {
 protected:
  void SetUp() override {
    GaugeScene::SetUp();
    ASSERT_TRUE(writeSolid(path("lamp.png"), 20, 20, kWhite));
  }
};

TEST_F(Effects, BlinkingLampIsHiddenInTheSecondHalfOfItsPeriod) {
  definition(
      "[Flash]\nType=effect\nMode=blink\nBlinkPeriod=500\nTrigger=overheat\n"
      "[Lamp]\nType=light\nImage=lamp.png\nPosX=10\nPosY=10\nValueSource=overheat\nEffectName=Flash\n"
      "[Steady]\nType=static\nImage=lamp.png\nPosX=50\nPosY=10\nEffectName=Flash\n");
  auto h = make();
  host.waterKelvin(273.15f + 90.0f);  // trigger off: lamp off, the static never blinks
  for (double dt : {0.1, 0.2, 0.1}) {
    render(*h, dt);
    EXPECT_EQ(at(20, 20), kBase);
    EXPECT_EQ(at(60, 20), kWhite);
  }
  host.waterKelvin(273.15f + 150.0f);
  const std::vector<std::pair<double, bool>> frames{
      {0.1, true}, {0.2, false}, {0.1, false}, {0.15, false}, {0.1, true}, {0.1, true}, {0.1, false}};
  double t = 0;
  for (auto [dt, shown] : frames) {
    t += dt;
    render(*h, dt);
    EXPECT_EQ(at(20, 20), shown ? kWhite : kBase) << "at " << t;
    EXPECT_EQ(at(60, 20), shown ? kWhite : kBase) << "at " << t;
  }
}

TEST_F(Effects, ZeroOrNegativePeriodNeverBlinks) {
  definition(
      "[Zero]\nType=effect\nMode=blink\nBlinkPeriod=0\nTrigger=overheat\n"
      "[Neg]\nType=effect\nMode=blink\nBlinkPeriod=-200\nTrigger=overheat\n"
      "[A]\nType=static\nImage=lamp.png\nPosX=10\nPosY=10\nEffectName=zero\n"
      "[B]\nType=static\nImage=lamp.png\nPosX=50\nPosY=10\nEffectName=NEG\n");
  auto h = make();
  host.waterKelvin(273.15f + 150.0f);
  for (double dt : {0.1, 0.3, 0.05, 0.6}) {
    render(*h, dt);
    EXPECT_EQ(at(20, 20), kWhite) << dt;
    EXPECT_EQ(at(60, 20), kWhite) << dt;
  }
}

TEST_F(Effects, OnceAndColourAndAnEffectDefinedTooLate) {
  definition(
      "[One]\nType=effect\nMode=once\n"
      "[Low]\nType=effect\nMode=colour\nEffectColour=FFFF8000\nTrigger=batterylow\n"
      "[First]\nType=static\nImage=lamp.png\nPosX=10\nPosY=10\nEffectName=One\n"
      "[Second]\nType=static\nImage=lamp.png\nPosX=50\nPosY=10\nEffectName=One\n"
      "[Battery]\nType=static\nImage=lamp.png\nPosX=90\nPosY=10\nColour=FF505050\nEffectName=Low\n"
      "[Early]\nType=static\nImage=lamp.png\nPosX=130\nPosY=10\nEffectName=Late\n"
      "[Late]\nType=effect\nMode=once\n"
      "[AlsoLate]\nType=static\nImage=lamp.png\nPosX=170\nPosY=10\nEffectName=Late\n");
  auto h = make();
  host.batteryCharge(1.0f);
  for (int frame = 0; frame < 2; ++frame) {  // use counts start again every frame
    render(*h);
    EXPECT_EQ(at(20, 20), kWhite);
    EXPECT_EQ(at(60, 20), kBase);
    EXPECT_EQ(at(100, 20), 0xFF505050u);
    EXPECT_EQ(at(140, 20), kWhite);  // its effect stood below it: none
    EXPECT_EQ(at(180, 20), kWhite);  // the first one to consult "late"
  }
  host.batteryCharge(0.5f);
  render(*h);
  EXPECT_EQ(at(100, 20), 0xFFFF8000u);
}

TEST_F(Effects, NumberWithoutItsFontLeavesShowOnceToTheNextElement) {
  definition(
      "[One]\nType=effect\nMode=once\n"
      "[Digits]\nType=number\nValueSource=speed\nFont=gone.png\nPosX=200\nPosY=10\nEffectName=One\n"
      "[Lamp]\nType=static\nImage=lamp.png\nPosX=10\nPosY=10\nEffectName=One\n");
  const std::size_t before = logSize();
  auto h = make();
  // The log names the font image by its full path, where the author can find it.
  const std::string log = logSince(before);
  const std::string said = "Digits:Font: image \"gone.png\" is missing: ";
  const std::size_t at0 = log.find(said);
  ASSERT_NE(at0, std::string::npos) << log;
  const std::size_t from = at0 + said.size();
  const std::string shown = log.substr(from, log.find_first_of("\r\n", from) - from);
  EXPECT_EQ(shown.substr(1, 2), ":\\") << shown;
  const std::string tail = folder.substr(folder.rfind('\\')) + "\\gone.png";
  EXPECT_EQ(shown.substr(shown.size() - tail.size()), tail) << shown;

  host.speed(42.0f);
  render(*h);
  EXPECT_EQ(at(20, 20), kWhite) << "the number drew nothing, so the lamp is the first to show";
}

class Gear : public GaugeScene {};

TEST_F(Gear, ImageFollowsTheGearIndexAndAMissingSlotDrawsNothing) {
  std::string text = "[G]\nType=gear\nPosX=100\nPosY=100\n";
  for (int g = 0; g < 8; ++g) {
    if (g == 5) continue;
    const std::string name = "g" + std::to_string(g) + ".png";
    ASSERT_TRUE(writeSolid(path(name), 10, 10, 0xFF000000u | static_cast<std::uint32_t>((g + 1) * 20) << 8));
    text += "GearImage" + std::to_string(g) + "=" + name + "\n";
  }
  definition(text);
  auto h = make();
  for (int g : {0, 3, 7, 5, 9, -1}) {
    host.gear(g);
    render(*h);
    const std::uint32_t expected =
        g >= 0 && g <= 7 && g != 5 ? 0xFF000000u | static_cast<std::uint32_t>((g + 1) * 20) << 8 : kBase;
    EXPECT_EQ(at(105, 105), expected) << "gear " << g;
  }
}

class Pie : public GaugeScene {};

TEST_F(Pie, SectorStartsDownAndSweepsClockwise) {
  ASSERT_TRUE(writeSolid(path("pie.png"), 100, 100, kWhite));
  definition(
      "[P]\nType=pie\nImage=pie.png\nPosX=256\nPosY=128\nValueSource=speed\n"
      "Angle0=0\nValue0=0\nAngle1=360\nValue1=100\n");
  auto h = make();
  host.speed(25.0f);  // a quarter: from straight down to the left
  render(*h);
  EXPECT_EQ(at(256 - 20, 128 + 20), kWhite);
  EXPECT_EQ(at(256 + 20, 128 + 20), kBase);
  EXPECT_EQ(at(256 - 20, 128 - 20), kBase);
  EXPECT_EQ(at(256 + 20, 128 - 20), kBase);
  host.speed(50.0f);  // half: the left half
  render(*h);
  EXPECT_EQ(at(256 - 20, 128 - 20), kWhite);
  EXPECT_EQ(at(256 + 20, 128 - 20), kBase);
  EXPECT_EQ(at(256 + 20, 128 + 20), kBase);
  EXPECT_EQ(at(256, 128 - 60), kBase);  // never beyond the radius
}

TEST_F(Pie, ImageIsSampledMirroredTopToBottom) {
  // Four quadrants of the image, each its own colour. Pie images made for the
  // host are drawn for v = 0.5 + 0.5 sin t: the image's bottom row lands at
  // the top of the sector, left stays left.
  const std::uint32_t topLeft = 0xFFFF0000u, topRight = 0xFF00FF00u;
  const std::uint32_t bottomLeft = 0xFF0000FFu, bottomRight = 0xFFFFFF00u;
  ASSERT_TRUE(writeImage(path("pie.png"), 100, 100, [&](UINT x, UINT y) {
    return y < 50 ? (x < 50 ? topLeft : topRight) : (x < 50 ? bottomLeft : bottomRight);
  }));
  definition(
      "[P]\nType=pie\nImage=pie.png\nPosX=256\nPosY=128\nValueSource=speed\n"
      "Angle0=0\nValue0=0\nAngle1=360\nValue1=100\n");
  auto h = make();
  host.speed(100.0f);  // the whole circle
  render(*h);
  EXPECT_EQ(at(256 - 20, 128 - 20), bottomLeft) << "screen top left";
  EXPECT_EQ(at(256 + 20, 128 - 20), bottomRight) << "screen top right";
  EXPECT_EQ(at(256 - 20, 128 + 20), topLeft) << "screen bottom left";
  EXPECT_EQ(at(256 + 20, 128 + 20), topRight) << "screen bottom right";
}

class Renderer : public GaugeScene {};

TEST_F(Renderer, RefreshRectanglesLimitWhatIsRestored) {
  definition("");
  {
    auto h = make();
    render(*h);
    EXPECT_TRUE(untouched(0, 0, 512, 256));  // no rectangles: everything restored
  }
  definition("[R]\nType=refresh\nLeft=0\nTop=0\nRight=256\nBottom=256\n[Empty]\nType=refresh\n");
  fill(kMagenta);
  auto h = make();
  ASSERT_EQ(h->loadedSet().refreshRects, 2u);
  render(*h);
  EXPECT_TRUE(untouched(0, 0, 256, 256));
  EXPECT_EQ(at(256, 0), kMagenta);
  EXPECT_EQ(at(511, 255), kMagenta);
}

TEST_F(Renderer, RefreshRateCapSkipsEarlyCalls) {
  ostrel::refreshRate = 30;
  definition("");
  auto h = make();
  ostrel::refreshRate = 0;
  EXPECT_FLOAT_EQ(h->frameInterval(), 1.0f / 30.0f);
  render(*h, 0.05);
  EXPECT_TRUE(untouched(0, 0, 512, 256));
  fill(kMagenta);
  const auto last = h->lastFrameTime();
  clock.advance(0.02);
  renderNow(*h);  // under 1/30 s since the last drawn frame
  EXPECT_EQ(at(10, 10), kMagenta);
  EXPECT_EQ(h->lastFrameTime(), last);
  render(*h, 0.04);
  EXPECT_TRUE(untouched(0, 0, 512, 256));
}

TEST_F(Renderer, MissingBaseImageLeavesAnInertRendererAndOneLogLine) {
  definition("[S]\nType=static\nImage=nothing.png\n");
  basePath = path("no-such-base.png");
  const std::size_t before = logSize();
  auto h = make();
  const std::string log = logSince(before);
  EXPECT_EQ(countOf(log, "no-such-base.png"), 1);
  EXPECT_FALSE(h->active());
  EXPECT_EQ(h->loadedSet().elements, 0u);
  renderNow(*h);
  EXPECT_EQ(at(10, 10), kMagenta);
  const ULONG targetRefs = refCount(target);
  h.reset();
  EXPECT_EQ(refCount(target), targetRefs);  // an inert renderer took no reference
}

TEST_F(Renderer, ReservedSectionInAnyCaseIsNeverAnElement) {
  ASSERT_TRUE(writeSolid(path("lamp.png"), 20, 20, kWhite));
  struct Case {
    const char* section;
    const char* option;  // SetOption as written; null: the key is missing
    int expected;
  };
  const Case cases[] = {{"Texture", "7", 7}, {"TEXTURE", "-3", -3}, {"texture", "0", 0},
                        {"tExTuRe", nullptr, 0}, {"Texture", "", 0}};
  int n = 0;
  for (const Case& c : cases) {
    // Element keys in the reserved section: drawn if it were read as one.
    const std::string name = "Set" + std::to_string(n++) + ".ini";
    definition(std::string("[") + c.section + "]\nType=static\nImage=lamp.png\nPosX=10\nPosY=10\n" +
                   (c.option ? std::string("SetOption=") + c.option + "\n" : std::string()) +
                   "[Lamp]\nType=static\nImage=lamp.png\nPosX=100\nPosY=10\n",
               name);
    const std::size_t before = logSize();
    fill(kMagenta);
    auto h = make(name);
    const std::string log = logSince(before);
    EXPECT_EQ(h->loadedSet().elements, 1u) << c.section;
    EXPECT_EQ(h->loadedSet().setOption, c.expected) << c.section;
    // A set option other than 0 is said once in the log; 0 is not.
    EXPECT_EQ(countOf(log, "set option " + std::to_string(c.expected)), c.expected != 0 ? 1 : 0) << log;
    render(*h);
    EXPECT_EQ(at(20, 20), kBase) << c.section;
    EXPECT_EQ(at(110, 20), kWhite) << c.section;
  }
}

TEST_F(Renderer, SetIsCheckedOncePerSetNotPerTexture) {
  // Two definitions of the folder claim one texture: each first load of the
  // set says so; the host creating the texture again does not repeat it.
  definition("[Texture]\nTarget=Textures\\dash.png\n[Oops]\nType=neddle\n");
  definition("[Texture]\nTarget=textures/DASH.png\n", "Gauges2.ini");
  ostrel::gauges::forgetLoadedSets();
  const std::size_t before = logSize();
  for (int texture = 0; texture < 3; ++texture) make();
  std::string log = logSince(before);
  EXPECT_EQ(countOf(log, "is claimed by"), 1) << log;
  EXPECT_EQ(countOf(log, "unknown section type"), 1) << log;
  make("Gauges2.ini");  // the other set is checked on its own first load
  ostrel::gauges::forgetLoadedSets();  // as the Home-key reload does
  make();
  log = logSince(before);
  EXPECT_EQ(countOf(log, "is claimed by"), 3) << log;
  EXPECT_EQ(countOf(log, "unknown section type"), 2) << log;
}

TEST_F(Renderer, UnparsableNumberTakesItsDefaultWithOneLogLine) {
  ASSERT_TRUE(writeSolid(path("lamp.png"), 20, 20, kWhite));
  definition("[Lamp]\nType=static\nImage=lamp.png\nPosX=abc\nPosY=40\n");
  const std::size_t before = logSize();
  auto h = make();
  const std::string log = logSince(before);
  // One line from the settings reader, one from the definition check.
  EXPECT_EQ(countOf(log, "\"abc\""), 2) << log;
  EXPECT_NE(log.find("Gauges.ini:Lamp:PosX: not a number"), std::string::npos) << log;
  const std::size_t line = log.find("Settings: value \"abc\"");
  const std::string l = log.substr(line, log.find('\n', line) - line);
  EXPECT_NE(l.find("PosX"), std::string::npos) << l;
  EXPECT_NE(l.find("[Lamp]"), std::string::npos) << l;  // the section as the author wrote it
  EXPECT_NE(l.find("Gauges.ini"), std::string::npos) << l;
  render(*h);
  EXPECT_EQ(at(5, 45), kWhite);  // PosX fell back to 0
}

namespace {

// Records every piece of device state the host could have set and that the
// renderer touches.
struct DeviceSnapshot {
  IDirect3DSurface9* target = nullptr;
  IDirect3DSurface9* depth = nullptr;
  D3DMATRIX world{}, view{}, projection{};
  std::vector<DWORD> renderStates;
  std::vector<DWORD> stageStates;
  IDirect3DPixelShader9* shader = nullptr;
  IDirect3DBaseTexture9* tex0 = nullptr;
  IDirect3DBaseTexture9* tex1 = nullptr;
  DWORD fvf = 0;

  static const std::vector<D3DRENDERSTATETYPE>& states() {
    static const std::vector<D3DRENDERSTATETYPE> s{
        D3DRS_ZFUNC,         D3DRS_SPECULARENABLE, D3DRS_ZENABLE,   D3DRS_ZWRITEENABLE,
        D3DRS_ALPHABLENDENABLE, D3DRS_ALPHATESTENABLE, D3DRS_ALPHAREF, D3DRS_FOGENABLE,
        D3DRS_LIGHTING,      D3DRS_SRCBLEND,       D3DRS_DESTBLEND, D3DRS_CULLMODE,
        D3DRS_STENCILENABLE, D3DRS_STENCILFUNC};
    return s;
  }
  explicit DeviceSnapshot(IDirect3DDevice9* d) {
    d->GetRenderTarget(0, &target);
    d->GetDepthStencilSurface(&depth);
    d->GetTransform(D3DTS_WORLD, &world);
    d->GetTransform(D3DTS_VIEW, &view);
    d->GetTransform(D3DTS_PROJECTION, &projection);
    for (auto s : states()) {
      DWORD v = 0;
      d->GetRenderState(s, &v);
      renderStates.push_back(v);
    }
    for (auto s : {D3DTSS_COLOROP, D3DTSS_COLORARG1, D3DTSS_COLORARG2, D3DTSS_ALPHAOP}) {
      DWORD v = 0;
      d->GetTextureStageState(0, s, &v);
      stageStates.push_back(v);
    }
    d->GetPixelShader(&shader);
    d->GetTexture(0, &tex0);
    d->GetTexture(1, &tex1);
    d->GetFVF(&fvf);
  }
  ~DeviceSnapshot() {
    for (IUnknown* p : std::initializer_list<IUnknown*>{target, depth, shader, tex0, tex1})
      if (p) p->Release();
  }
};

bool sameMatrix(const D3DMATRIX& a, const D3DMATRIX& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST_F(Renderer, HostDeviceStateComesBackUnchanged) {
  ASSERT_TRUE(writeSolid(path("needle.png"), 80, 6, kWhite));
  ASSERT_TRUE(writeImage(path("font.png"), 13 * 8, 12, [](UINT x, UINT) { return cellColour(x / 8); }));
  ASSERT_TRUE(writeSolid(path("pie.png"), 60, 60, kWhite));
  definition(std::string(kNeedle) +
             "[N]\nType=number\nValueSource=rpm\nFont=font.png\nPosX=10\nPosY=10\nAngle=30\n"
             "[P]\nType=pie\nImage=pie.png\nPosX=400\nPosY=100\nValueSource=rpm\nAngle0=0\nValue0=0\n"
             "Angle1=300\nValue1=8000\n");
  auto h = make();
  host.rpm(5000.0f);

  // The host's own state: odd values everywhere the renderer goes.
  IDirect3DTexture9 *t0 = nullptr, *t1 = nullptr;
  ASSERT_TRUE(SUCCEEDED(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t0, nullptr)));
  ASSERT_TRUE(SUCCEEDED(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t1, nullptr)));
  ID3DXBuffer* code = nullptr;
  IDirect3DPixelShader9* shader = nullptr;
  const char* source = "ps_2_0\ndcl t0\nmov oC0, t0\n";
  ASSERT_TRUE(SUCCEEDED(D3DXAssembleShader(source, std::strlen(source), nullptr, nullptr, 0, &code, nullptr)));
  ASSERT_TRUE(SUCCEEDED(device->CreatePixelShader(static_cast<const DWORD*>(code->GetBufferPointer()), &shader)));
  code->Release();
  D3DXMATRIX world, view, projection;
  D3DXMatrixTranslation(&world, 1, 2, 3);
  D3DXMatrixRotationY(&view, 0.5f);
  D3DXMatrixPerspectiveFovLH(&projection, 1.0f, 1.5f, 0.1f, 100.0f);
  device->SetTransform(D3DTS_WORLD, &world);
  device->SetTransform(D3DTS_VIEW, &view);
  device->SetTransform(D3DTS_PROJECTION, &projection);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATEREQUAL);
  device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
  device->SetRenderState(D3DRS_ZENABLE, TRUE);
  device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHAREF, 77);
  device->SetRenderState(D3DRS_FOGENABLE, TRUE);
  device->SetRenderState(D3DRS_LIGHTING, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_SPECULAR);
  device->SetPixelShader(shader);
  device->SetTexture(0, t0);
  device->SetTexture(1, t1);
  device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
  // A depth-stencil buffer the gauge texture's size, whose stencil test
  // passes nothing: bound while the gauges draw, it would keep every pixel
  // of theirs out (a smaller or multisampled one, drivers may refuse or clip).
  IDirect3DSurface9* depth = nullptr;
  ASSERT_TRUE(SUCCEEDED(device->CreateDepthStencilSurface(512, 256, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE,
                                                          &depth, nullptr)));
  device->SetDepthStencilSurface(depth);
  device->SetRenderState(D3DRS_STENCILENABLE, TRUE);
  device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_NEVER);

  const DeviceSnapshot before(device);
  const std::size_t logBefore = logSize();
  render(*h);
  const DeviceSnapshot after(device);

  EXPECT_EQ(after.target, before.target);
  EXPECT_EQ(after.depth, depth) << "the host's depth-stencil is bound again";
  EXPECT_TRUE(sameMatrix(after.world, before.world));
  EXPECT_TRUE(sameMatrix(after.view, before.view));
  EXPECT_TRUE(sameMatrix(after.projection, before.projection));
  EXPECT_EQ(after.renderStates, before.renderStates);
  EXPECT_EQ(after.stageStates, before.stageStates);
  EXPECT_EQ(after.shader, shader);
  EXPECT_EQ(after.tex0, static_cast<IDirect3DBaseTexture9*>(t0));
  EXPECT_EQ(after.tex1, static_cast<IDirect3DBaseTexture9*>(t1));
  EXPECT_EQ(after.fvf, before.fvf);
  EXPECT_EQ(ostrel::lastBoundTexture, nullptr);
  EXPECT_EQ(countOf(logSince(logBefore), "Error in file"), 0);
  // And it did draw, with its own states, into the gauge texture.
  EXPECT_FALSE(untouched(0, 0, 512, 256));

  device->SetPixelShader(nullptr);
  device->SetTexture(0, nullptr);
  device->SetTexture(1, nullptr);
  device->SetRenderState(D3DRS_ZENABLE, FALSE);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_FOGENABLE, FALSE);
  device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
  device->SetDepthStencilSurface(nullptr);
  depth->Release();
  shader->Release();
  t0->Release();
  t1->Release();
}

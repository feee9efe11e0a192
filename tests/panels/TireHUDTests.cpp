// The tire panel as the host draws it: the marks land in a canvas, so the
// checks are on the stripes and labels a player would see.
#include <gtest/gtest.h>

#include <cmath>

#include "FakeHost.h"
#include "PanelFiles.h"
#include "RecordingHost.h"
#include "panels/TireHUD.h"

using namespace ostrel;
using namespace panel_tests;
using namespace testing_support;

namespace {

class TirePanel : public ::testing::Test {
 protected:
  void SetUp() override {
    clearPanelFile("TireHUD");
    mem.install();
    panel.posX = 100;
    panel.posY = 50;
  }
  void wear(int tire, int segment, float v) { mem.setF(187 + 8 * tire + segment, v); }
  PanelHost mem;
  TireHUD panel;
  RecordingHost host;
};

bool shade(const Colour& c, float r, float g, float b) {
  return std::abs(c.r - r) < 1e-5f && std::abs(c.g - g) < 1e-5f && std::abs(c.b - b) < 1e-5f && c.a == 1.0f;
}

}  // namespace

TEST_F(TirePanel, FixedGeometryDefaults) {
  EXPECT_EQ(panel.name, "TireHUD");
  EXPECT_FLOAT_EQ(panel.columnSpacing, 35.0f);
  EXPECT_FLOAT_EQ(panel.rowSpacing, 60.0f);
  EXPECT_FLOAT_EQ(panel.barHeight, 40.0f);
  EXPECT_EQ(panel.segmentWidth, 2);
}

TEST_F(TirePanel, StripesShadeFromGreenToRedAndBlackBeyond) {
  const float tire2[8] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f, 1.01f, 2.0f, 0.1f};
  for (int s = 0; s < 8; ++s) {
    wear(1, s, 1.0f);
    wear(2, s, tire2[s]);
  }
  panel.draw(&host);

  // Tire 0 (top left, unworn): a 16 x 41 block of green, nothing around it.
  for (int y = 50; y <= 90; ++y)
    for (int x = 100; x < 116; ++x) ASSERT_TRUE(shade(host.at(x, y), 0, 1, 0)) << x << "," << y;
  EXPECT_EQ(host.at(116, 70).a, 0.0f);
  EXPECT_EQ(host.at(99, 70).a, 0.0f);
  EXPECT_EQ(host.at(105, 91).a, 0.0f);
  EXPECT_EQ(host.at(105, 49).a, 0.0f);
  // Tire 1 (top right, worn out exactly): red, not black.
  EXPECT_TRUE(shade(host.at(135, 50), 1, 0, 0));
  EXPECT_TRUE(shade(host.at(150, 90), 1, 0, 0));
  // Tire 2 (bottom left): each 2-pixel stripe in its own shade, segment 0 at the left.
  const float expectRed[8] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f, 0.0f, 0.0f, 0.1f};
  const float expectGreen[8] = {1.0f, 0.75f, 0.5f, 0.25f, 0.0f, 0.0f, 0.0f, 0.9f};
  for (int s = 0; s < 8; ++s)
    for (int c = 0; c < 2; ++c)
      EXPECT_TRUE(shade(host.at(100 + 2 * s + c, 130), expectRed[s], expectGreen[s], 0))
          << "segment " << s << " shows " << host.at(100 + 2 * s + c, 130).r << "/"
          << host.at(100 + 2 * s + c, 130).g;
  // Tire 3 (bottom right) unworn.
  EXPECT_TRUE(shade(host.at(142, 150), 0, 1, 0));

  EXPECT_EQ(host.count(Op::DrawMarker), 2624);
  EXPECT_EQ(host.count(Op::SetColor), 32);
}

TEST_F(TirePanel, LabelsSitMidBlockInTheLastColour) {
  wear(3, 7, 0.5f);
  panel.draw(&host);
  const auto texts = host.texts();
  ASSERT_EQ(texts.size(), 4u);
  const float xs[4] = {108, 143, 108, 143}, ys[4] = {70, 70, 130, 130};
  for (int t = 0; t < 4; ++t) {
    EXPECT_FLOAT_EQ(texts[t].x, xs[t]) << t;
    EXPECT_FLOAT_EQ(texts[t].y, ys[t]) << t;
    EXPECT_FALSE(texts[t].text.empty());
    EXPECT_TRUE(shade(texts[t].colour, 0.5f, 0.5f, 0)) << "tire 3's last segment colour";
  }
  EXPECT_NE(texts[0].text, texts[3].text);
  // Brackets and modes around the labels, after all the stripes.
  std::vector<Op> tail;
  for (size_t i = host.calls.size() - 8; i < host.calls.size(); ++i) tail.push_back(host.calls[i].op);
  const std::vector<Op> expected = {Op::SelectTextMode, Op::BeginDrawModes, Op::SelectFont, Op::WriteText,
                                    Op::WriteText,      Op::WriteText,      Op::WriteText, Op::EndDrawModes};
  EXPECT_EQ(tail, expected);
  EXPECT_EQ(host.calls[host.calls.size() - 8].value, 3);
  EXPECT_EQ(host.calls[host.calls.size() - 7].value, 0x43);
  EXPECT_EQ(host.calls[host.calls.size() - 6].value, 0);
  EXPECT_EQ(host.calls.back().value, 0x43);
}

TEST_F(TirePanel, PositionMovesEverythingAndScaleNothing) {
  panel.draw(&host);
  RecordingHost moved;
  panel.posX = 300;
  panel.scale = 3.0f;
  panel.draw(&moved);
  ASSERT_EQ(host.calls.size(), moved.calls.size());
  for (size_t i = 0; i < host.calls.size(); ++i) {
    if (host.calls[i].op != Op::DrawMarker && host.calls[i].op != Op::WriteText) continue;
    EXPECT_FLOAT_EQ(moved.calls[i].x, host.calls[i].x + 200.0f);
    EXPECT_FLOAT_EQ(moved.calls[i].y, host.calls[i].y);
  }
}

TEST_F(TirePanel, NoCarDrawsNothing) {
  mem.noCar();
  panel.draw(&host);
  EXPECT_TRUE(host.calls.empty());
  mem.install();
  PanelHost::put<std::uint32_t>(mem.carObject, ostrel::host::kDamageBlockOffset, 0);
  panel.draw(&host);
  EXPECT_TRUE(host.calls.empty());
  panel.draw(nullptr);  // and no host object at all is survived
}

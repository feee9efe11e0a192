// The damaged part table as the host draws it: which names land in which
// column and row, in which colour, the heading boxes, and the blink.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>

#include "FakeHost.h"
#include "ManualClock.h"
#include "PanelFiles.h"
#include "RecordingHost.h"
#include "panels/DamagedPartTableHUD.h"
#include "panels/HostDamage.h"
#include "panels/PartNames.h"

using namespace ostrel;
using namespace panel_tests;
using namespace testing_support;

namespace {

class PartTable : public ::testing::Test {
 protected:
  void SetUp() override {
    clearPanelFile("DamagedPartTableHUD");
    mem.install();
    panel.posX = 200;
    panel.posY = 100;
  }
  // The part rows: the WriteText calls before the first heading font switch.
  std::vector<Call> rows() const {
    std::vector<Call> out;
    for (const Call& c : host.calls) {
      if (c.op == Op::SelectFont && c.value == 1) break;
      if (c.op == Op::WriteText) out.push_back(c);
    }
    return out;
  }
  PanelHost mem;
  DamagedPartTableHUD panel;
  RecordingHost host;
};

}  // namespace

TEST_F(PartTable, NothingDamagedDrawsNothing) {
  EXPECT_EQ(panel.name, "DamagedPartTableHUD");
  panel.draw(&host);
  EXPECT_TRUE(host.calls.empty());
  for (int t = 0; t < 32; ++t) mem.setF(187 + t, 1.0f);  // all four tires worn out
  mem.setI(42, 0);
  panel.draw(&host);
  EXPECT_TRUE(host.calls.empty()) << "tires belong to the tire panel";
  EXPECT_EQ(panel.buildDamageList().count, 0);
}

TEST_F(PartTable, LostPartsListOnceInTheWorstColumn) {
  mem.setI(6, 0);
  mem.setI(7, 0);
  mem.setI(9, 0);
  panel.draw(&host);
  const auto r = rows();
  ASSERT_EQ(r.size(), 3u);
  const int parts[3] = {24, 25, 26};
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(r[k].text, partName(parts[k]));
    EXPECT_FLOAT_EQ(r[k].x, 250.0f) << "column 0 centre";
    EXPECT_FLOAT_EQ(r[k].y, 100.0f + 24.0f + 12.0f * k);
  }
}

TEST_F(PartTable, ColumnsByLevelWithTheirColours) {
  mem.setF(2, 0.6f);     // 22 at 2
  mem.setF(33, 0.6f);    // 36 at 2
  mem.setF(62, 0.05f);   // 45 at 2
  mem.setI(55, 0);       // 40 at 4
  mem.setF(4, 0.3f);     // 23 at 3
  mem.setF(180, 0.02f);  // 67 at 1
  panel.draw(&host);
  const auto r = rows();
  ASSERT_EQ(r.size(), 6u);
  struct Row { int part; float x, y; Colour c; };
  const Colour yellow{0.75f, 0.75f, 0, 1}, red{1, 0, 0, 1}, green{0.25f, 0.9f, 0, 1};
  const Row expected[6] = {{22, 450, 124, yellow}, {23, 350, 124, red}, {36, 450, 136, yellow},
                           {40, 250, 124, {}},     {45, 450, 148, yellow}, {67, 550, 124, green}};
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(r[k].text, partName(expected[k].part)) << k;
    EXPECT_FLOAT_EQ(r[k].x, expected[k].x) << k;
    EXPECT_FLOAT_EQ(r[k].y, expected[k].y) << k;
    if (expected[k].part != 40) {
      EXPECT_EQ(r[k].colour, expected[k].c) << k;
    }
  }
  const Colour worst = r[3].colour;
  EXPECT_EQ(worst, (panel.blinkOn ? red : Colour{0, 0, 0, 1}));
}

TEST_F(PartTable, HeadingBoxesOnTop) {
  mem.setI(36, 0);
  panel.draw(&host);
  EXPECT_EQ(host.count(Op::DrawMarker), 944);
  // The box outlines in black on the canvas, the interior untouched.
  for (int k = 0; k < 4; ++k) {
    const int x0 = 200 + 100 * k;
    EXPECT_EQ(host.at(x0 + 50, 100), (Colour{0, 0, 0, 1}));
    EXPECT_EQ(host.at(x0 + 50, 118), (Colour{0, 0, 0, 1}));
    EXPECT_EQ(host.at(x0, 110), (Colour{0, 0, 0, 1}));
    EXPECT_EQ(host.at(x0 + 100, 110), (Colour{0, 0, 0, 1}));
    EXPECT_EQ(host.at(x0 + 50, 110).a, 0.0f);
  }
  EXPECT_EQ(host.at(600, 118).a, 0.0f) << "bottom edge runs 100 points from x0";
  EXPECT_EQ(host.at(600, 117), (Colour{0, 0, 0, 1})) << "right edge of the last box";
  const auto all = host.texts();
  ASSERT_EQ(all.size(), 5u);
  std::set<std::string> headings;
  for (int k = 0; k < 4; ++k) {
    const Call& h = all[1 + k];
    EXPECT_FLOAT_EQ(h.x, 250.0f + 100.0f * k);
    EXPECT_FLOAT_EQ(h.y, 109.0f);
    EXPECT_EQ(h.colour, (Colour{1, 1, 1, 1}));
    headings.insert(h.text);
  }
  EXPECT_EQ(headings.size(), 4u);
  EXPECT_EQ(host.calls.front().op, Op::SelectFont);
  EXPECT_EQ(host.calls[1].op, Op::BeginDrawModes);
  EXPECT_EQ(host.calls[1].value, 0x43);
  EXPECT_EQ(host.calls.back().op, Op::EndDrawModes);
  EXPECT_EQ(host.calls.back().value, 0x43);
}

TEST_F(PartTable, WorstLevelBlinksWithTheSharedClock) {
  mem.setI(36, 0);
  test_support::ManualClock clock;
  bool sawRed = false, sawBlack = false;
  for (int k = 0; k < 30; ++k) {
    RecordingHost frame;
    panel.draw(&frame);
    const Colour c = frame.texts().front().colour;
    if (panel.blinkOn) {
      EXPECT_EQ(c, (Colour{1, 0, 0, 1}));
      sawRed = true;
    } else {
      EXPECT_EQ(c, (Colour{0, 0, 0, 1}));
      sawBlack = true;
    }
    clock.advance(0.05);
  }
  EXPECT_TRUE(sawRed);
  EXPECT_TRUE(sawBlack);
}

TEST_F(PartTable, NoCarReadsNothing) {
  mem.setI(6, 0);
  mem.noCar();
  panel.draw(&host);
  EXPECT_TRUE(host.calls.empty());
  EXPECT_EQ(panel.buildDamageList().count, 0);
  panel.draw(nullptr);
}

TEST_F(PartTable, EveryListedPartHasItsOwnName) {
  for (int w = 0; w < 300; ++w) mem.setI(w, 0);
  mem.setF(60, -1.0f);
  const DamageList list = panel.buildDamageList();
  std::set<std::string> names;
  int previous = 0;
  for (int k = 0; k < list.count; ++k) {
    const int part = list.entries[k].part;
    EXPECT_GT(part, previous) << "ascending, each once";
    previous = part;
    EXPECT_TRUE(part >= 21 && part <= 87 && part != 42 && (part < 71 || part > 74)) << part;
    names.insert(partName(part));
  }
  EXPECT_EQ(static_cast<int>(names.size()), list.count);
  std::set<std::string> all;
  for (int p = 21; p <= 87; ++p) {
    EXPECT_STRNE(partName(p), partName(0)) << "part " << p << " has only the fallback name";
    EXPECT_LE(std::string(partName(p)).size(), 16u) << "fits a 100-pixel column";
    all.insert(partName(p));
  }
  EXPECT_EQ(all.size(), 67u);
  EXPECT_STREQ(partName(88), partName(20));
}

// The damage record the panels read, as the host links it to the loaded car.
TEST(HostDamage, ViewFollowsTheLoadedCar) {
  PanelHost mem;
  mem.install();
  float cracks[32];
  for (float& c : cracks) c = 0.9f;
  mem.setPointerWord(290, cracks);
  DamageWords view = hostDamageWords();
  ASSERT_EQ(view.words, mem.damage);
  EXPECT_EQ(view.r17Floats, cracks);
  EXPECT_EQ(classifyPart(view, 87), 2);

  mem.setPointerWord(290, nullptr);
  EXPECT_EQ(hostDamageWords().r17Floats, nullptr);

  PanelHost::put<std::uint32_t>(mem.carObject, ostrel::host::kDamageBlockOffset, 0);  // car without a record
  view = hostDamageWords();
  EXPECT_EQ(view.words, nullptr);
  EXPECT_EQ(view.r17Floats, nullptr);

  mem.noCar();
  view = hostDamageWords();
  EXPECT_EQ(view.words, nullptr);
  EXPECT_EQ(classifyPart(view, 24), 0);
}

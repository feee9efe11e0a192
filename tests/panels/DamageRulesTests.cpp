// The damage model: thresholds of each rule at and around their bounds, the
// compound parts, the indices without a rule, and a missing record.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "panels/DamageRules.h"
#include "panels/HostDamage.h"

using namespace ostrel;
using panel_tests::FakeHostMemory;

namespace {

class DamageRules : public ::testing::Test {
 protected:
  FakeHostMemory mem;
  int level(int part) const { return classifyPart(DamageWords{mem.damage, r17}, part); }
  const float* r17 = nullptr;
};

}  // namespace

TEST_F(DamageRules, IntactCarHasNoDamageAnywhere) {
  for (int part = 0; part < kPartCount; ++part) EXPECT_EQ(level(part), 0) << "part " << part;
}

TEST_F(DamageRules, FractionWithPresenceWord) {  // parts 21..23
  const std::pair<float, int> bands[] = {{0.5f, 3}, {0.3f, 3}, {0.51f, 2}, {0.7f, 2},
                                         {0.71f, 1}, {0.85f, 1}, {0.86f, 0}, {1.0f, 0}};
  for (auto [v, expected] : bands) {
    mem.setF(2, v);
    EXPECT_EQ(level(22), expected) << v;
  }
  mem.setF(0, 0.9f);
  mem.setI(1, 0);
  EXPECT_EQ(level(21), 4) << "intact panel but gone";
  mem.setI(1, 1);
  EXPECT_EQ(level(21), 0);
  mem.setF(0, 0.3f);
  mem.setI(1, 0);
  EXPECT_EQ(level(21), 3) << "a heavily damaged panel is not asked whether it is present";
}

TEST_F(DamageRules, PresenceWordsLoseTheirPart) {
  const int words[] = {6, 7, 9, 10, 12, 13, 15, 16};
  for (int k = 0; k < 8; ++k) {
    mem.setI(words[k], 0);
    EXPECT_EQ(level(24 + k), 4) << "part " << 24 + k;
    EXPECT_EQ(level(24 + (k + 1) % 8), 0) << "neighbour of part " << 24 + k;
    mem.setI(words[k], 1);
  }
  const int lights[] = {219, 220, 222, 223, 225, 226, 229, 230};
  for (int k = 0; k < 8; ++k) {
    mem.setI(lights[k], 0);
    EXPECT_EQ(level(75 + k), 4) << "part " << 75 + k;
    mem.setI(lights[k], 1);
  }
  mem.setI(122, 0);
  EXPECT_EQ(level(46), 3);
}

TEST_F(DamageRules, SingleFloatRulesAtTheirBounds) {
  struct Case { int part, word; float v; int expected; };
  const Case cases[] = {
      {36, 33, 0.3f, 4},  {36, 33, 0.5f, 3},  {36, 33, 0.7f, 2},  {36, 33, 0.95f, 1}, {36, 33, 0.96f, 0},
      {37, 35, 0.5f, 4},  {37, 35, 0.65f, 3}, {37, 35, 0.8f, 2},  {37, 35, 0.9f, 1},  {37, 35, 0.91f, 0},
      {41, 58, 0.2f, 4},  {41, 58, 0.19f, 2}, {41, 58, 0.03f, 2}, {41, 58, 0.005f, 1}, {41, 58, 0.004f, 0},
      {43, 60, 0.0f, 4},  {43, 60, -1.0f, 4}, {43, 60, 0.001f, 0},
      {45, 62, 0.4f, 4},  {45, 62, 0.1f, 3},  {45, 62, 0.05f, 2}, {45, 62, 0.01f, 1}, {45, 62, 0.009f, 0},
      {51, 125, 0.3f, 3}, {52, 139, 0.1f, 2}, {53, 153, 0.02f, 1}, {54, 167, 0.019f, 0},
      {55, 126, 0.3f, 3}, {58, 168, 0.1f, 2},
      {59, 127, 0.1f, 3}, {60, 141, -0.06f, 2}, {61, 155, 0.06f, 2}, {62, 169, -0.01f, 1}, {62, 169, 0.009f, 0},
      {67, 180, 0.7f, 4}, {68, 182, 0.4f, 3}, {69, 184, 0.1f, 2}, {70, 186, 0.02f, 1}, {70, 186, 0.019f, 0},
  };
  for (const Case& c : cases) {
    FakeHostMemory fresh;
    fresh.setF(c.word, c.v);
    EXPECT_EQ(classifyPart(DamageWords{fresh.damage, nullptr}, c.part), c.expected)
        << "part " << c.part << " word " << c.word << " = " << c.v;
  }
  mem.setI(61, 7);
  EXPECT_EQ(level(44), 4);
}

TEST_F(DamageRules, NaNComparisonsFail) {
  const float nan = __builtin_nanf("");
  mem.setF(62, nan);
  EXPECT_EQ(level(45), 0);
  mem.setF(60, nan);
  EXPECT_EQ(level(43), 0);
  mem.setF(0, nan);  // every bound fails, then the presence word decides
  mem.setI(1, 0);
  EXPECT_EQ(level(21), 4);
}

TEST_F(DamageRules, MeanOfEightSegments) {
  for (int k = 0; k < 8; ++k) mem.setF(128 + k, 0.75f);
  EXPECT_EQ(level(63), 3) << "m = 0.25";
  // m exactly 0.4 (strict bound): one segment carries the whole sum.
  for (int k = 0; k < 8; ++k) mem.setF(142 + k, 1.0f);
  mem.setF(142, -2.2f);
  EXPECT_EQ(level(64), 2);
  // m exactly 0.2 (inclusive bound).
  for (int k = 0; k < 8; ++k) mem.setF(156 + k, 1.0f);
  mem.setF(156, -0.6f);
  EXPECT_EQ(level(65), 4);
  for (int k = 0; k < 8; ++k) mem.setF(170 + k, 0.5f);
  EXPECT_EQ(level(66), 2) << "m = 0.5";
  for (int k = 0; k < 8; ++k) mem.setF(211 + k, 0.3f);  // last tire group
  EXPECT_EQ(level(74), 1) << "m = 0.7";
  for (int k = 0; k < 8; ++k) mem.setF(211 + k, 1.0f);
  EXPECT_EQ(level(74), 4) << "a worn-out tire";
  EXPECT_EQ(level(71), 0) << "the other tires are untouched";
}

TEST_F(DamageRules, LeastOfSeveralWords) {
  mem.setF(47, 0.25f);  // R11: 1 - 0.25 = 0.75 remaining
  EXPECT_EQ(level(39), 3);
  mem.setF(43, 0.7f);
  EXPECT_EQ(level(39), 4);
  mem.setF(34, 0.6f);  // R12 includes word 34 with 18..27
  EXPECT_EQ(level(32), 2);
  mem.setF(27, 0.2f);
  EXPECT_EQ(level(32), 4);
  mem.setF(138, 0.1f);  // R14 pair (137, 138): remaining 0.9
  EXPECT_EQ(level(48), 2);
  mem.setF(137, 0.5f);
  EXPECT_EQ(level(48), 3);
  mem.setF(166, 0.02f);  // remaining 0.98
  EXPECT_EQ(level(50), 1);
}

TEST_F(DamageRules, StateCodesFlagsAndCracks) {
  mem.setI(231, 1);
  mem.setI(232, 2);
  mem.setI(233, 3);
  EXPECT_EQ(level(83), 2);
  EXPECT_EQ(level(84), 4);
  EXPECT_EQ(level(85), 0);
  mem.setI(236, 0);
  EXPECT_EQ(level(86), 1);
  mem.setI(243, 0);
  EXPECT_EQ(level(86), 2);

  EXPECT_EQ(level(87), 0) << "no crack record";
  float cracks[32];
  for (float& c : cracks) c = 0.15f;
  r17 = cracks;
  EXPECT_EQ(level(87), 0) << "values must exceed 0.15 to count";
  for (int k = 0; k < 8; ++k) cracks[k] = 0.5f;  // m = 4 / 32 = 0.125
  EXPECT_EQ(level(87), 1);
  for (float& c : cracks) c = 0.4f;  // m = 0.4
  EXPECT_EQ(level(87), 2);
}

TEST_F(DamageRules, CompoundPartsTakeTheirWorstComponent) {
  mem.setF(180, 0.4f);  // part 67 at 3
  EXPECT_EQ(level(1), 3);
  mem.setI(6, 0);  // part 24 lost
  EXPECT_EQ(level(1), 4);
  EXPECT_EQ(level(2), 0);

  mem.setI(32, 0);  // R3 on word 32 in every arch, R2 for part 35
  EXPECT_EQ(level(35), 4);
  for (int p = 5; p <= 8; ++p) EXPECT_EQ(level(p), 3) << p;
  mem.setI(10, 0);  // part 27 lost
  EXPECT_EQ(level(6), 4);

  mem.setI(219, 0);
  EXPECT_EQ(level(17), 2);
  mem.setI(219, 1);
  mem.setI(220, 0);
  EXPECT_EQ(level(17), 4);
  mem.setI(219, 0);
  EXPECT_EQ(level(17), 4) << "word 220 decides first";
  mem.setI(222, 0);
  EXPECT_EQ(level(18), 2);
  mem.setI(226, 0);
  EXPECT_EQ(level(19), 4);

  mem.setF(62, 0.05f);  // part 45 at 2
  EXPECT_EQ(level(16), 2);
  mem.setF(4, 0.6f);  // part 23 at 2
  EXPECT_EQ(level(20), 2);
  for (int k = 0; k < 8; ++k) mem.setF(203 + k, 0.75f);  // tire 2 at 3
  EXPECT_EQ(level(73), 3);
  EXPECT_EQ(level(14), 3);
  mem.setF(33, 0.5f);  // part 36 at 3
  EXPECT_EQ(level(9), 3);
  EXPECT_EQ(level(11), 3);
  mem.setF(60, 0.0f);  // part 43 at 4
  EXPECT_EQ(level(10), 4);
  EXPECT_EQ(level(11), 4);
}

TEST_F(DamageRules, IndicesWithoutARule) {
  for (int w = 0; w < 300; ++w) mem.setI(w, 0);  // a record that is all zeros
  EXPECT_EQ(level(0), 0);
  EXPECT_EQ(level(42), 0);
  EXPECT_EQ(level(88), 0);
  EXPECT_EQ(level(-1), 0);
  EXPECT_EQ(level(1000), 0);
  EXPECT_EQ(level(24), 4) << "the same record does damage real parts";
  for (int part = 0; part < kPartCount; ++part)
    EXPECT_EQ(classifyPart(DamageWords{}, part), 0) << "no record, part " << part;
}

TEST_F(DamageRules, HostViewFollowsTheLoadedCar) {
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

  FakeHostMemory::put<std::uint32_t>(mem.carObject, 0x620, 0);  // car without a record
  view = hostDamageWords();
  EXPECT_EQ(view.words, nullptr);
  EXPECT_EQ(view.r17Floats, nullptr);

  mem.noCar();
  view = hostDamageWords();
  EXPECT_EQ(view.words, nullptr);
  EXPECT_EQ(classifyPart(view, 24), 0);
}

// The damage model on plain buffers: thresholds of each rule at and around
// their bounds, the compound parts, the indices without a rule, a missing
// record; and every part index against the host's damage record: each rule
// probed on both sides of each of its bounds, on every word a part reads, and
// each probe checked on all 88 indices, so a part reading a neighbour's word, a
// bound moved or made strict, or a compound missing a component shows up.
// Windows-free: built natively (native/panels) and in panel_tests.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <algorithm>
#include <string>
#include <vector>

#include "../support/IntactCar.h"
#include "panels/DamageRules.h"

using ostrel::classifyPart;
using ostrel::DamageWords;
using ostrel::kPartCount;

namespace {

// A damage record of an intact car: fractions at 1, amounts and wear at 0,
// presence and flag words set, no crack record.
struct Record {
  std::array<std::uint32_t, ostrel::host::kDamageRecordSize / 4> words{};
  std::array<float, 32> cracks{};
  bool hasCracks = false;

  Record() { testing_support::writeIntactDamageWords(bytes()); }
  std::uint8_t* bytes() { return reinterpret_cast<std::uint8_t*>(words.data()); }
  const std::uint8_t* bytes() const { return reinterpret_cast<const std::uint8_t*>(words.data()); }
  void setF(int w, float v) { std::memcpy(&words[w], &v, 4); }
  void setI(int w, std::int32_t v) { std::memcpy(&words[w], &v, 4); }
  int level(int part) const {
    return classifyPart(DamageWords{bytes(), hasCracks ? cracks.data() : nullptr}, part);
  }
};

enum class Rule { R1, R2, R3, R4, R5, R6, R7, R8, R9, R10, R11, R12, R13, R14, R15, R16, R17, R18, R19 };

// One input of a rule and the level it must give. `v` is the float (or the
// integer) written; what a rule does with it is in `apply` below.
struct Probe {
  float v;
  int level;
  int presence = 1;  // R1's presence word
};

float above(float b) { return std::nextafter(b, 2.0f); }
float below(float b) { return std::nextafter(b, -2.0f); }

// Each rule at its bounds: the bound itself and the nearest float beyond it.
std::vector<Probe> probesOf(Rule r) {
  switch (r) {
    case Rule::R1:
      return {{0.5f, 3}, {above(0.5f), 2}, {0.7f, 2}, {above(0.7f), 1}, {0.85f, 1}, {above(0.85f), 0},
              {above(0.85f), 4, 0}, {0.85f, 1, 0}, {0.3f, 3, 0}, {1.0f, 0}};
    case Rule::R2: return {{0, 4}, {1, 0}, {-1, 0}};
    case Rule::R3: return {{0, 3}, {1, 0}, {-1, 0}};
    case Rule::R4:
      return {{0.3f, 4}, {above(0.3f), 3}, {0.5f, 3}, {above(0.5f), 2}, {0.7f, 2}, {above(0.7f), 1},
              {0.95f, 1}, {above(0.95f), 0}};
    case Rule::R5:
      return {{0.5f, 4}, {above(0.5f), 3}, {0.65f, 3}, {above(0.65f), 2}, {0.8f, 2}, {above(0.8f), 1},
              {0.9f, 1}, {above(0.9f), 0}};
    case Rule::R6:
      return {{0.2f, 4}, {below(0.2f), 2}, {0.03f, 2}, {below(0.03f), 1}, {0.005f, 1}, {below(0.005f), 0}};
    case Rule::R7:
      return {{0.1f, 3}, {below(0.1f), 2}, {0.05f, 2}, {below(0.05f), 1}, {0.01f, 1}, {below(0.01f), 0},
              {-0.1f, 3}, {-below(0.1f), 2}, {-0.06f, 2}, {-0.01f, 1}, {-below(0.01f), 0}};
    case Rule::R8:
      return {{0.7f, 4}, {below(0.7f), 3}, {0.4f, 3}, {below(0.4f), 2}, {0.1f, 2}, {below(0.1f), 1},
              {0.02f, 1}, {below(0.02f), 0}};
    case Rule::R9:
      return {{0.3f, 3}, {below(0.3f), 2}, {0.1f, 2}, {below(0.1f), 1}, {0.02f, 1}, {below(0.02f), 0}};
    case Rule::R10:  // v is the mean m; the strict bounds are 0.4 and 0.8
      return {{0.2f, 4}, {0.21f, 3}, {0.39f, 3}, {0.4f, 2}, {0.6f, 2}, {0.61f, 1}, {0.79f, 1}, {0.8f, 0}};
    case Rule::R11:  // v is the least remaining amount m
      return {{0.3f, 4}, {0.31f, 3}, {0.8f, 3}, {0.81f, 2}, {0.95f, 2}, {0.96f, 1}, {0.97f, 1}, {0.98f, 0}};
    case Rule::R12:  // v is the least fraction
      return {{0.2f, 4}, {above(0.2f), 3}, {0.5f, 3}, {above(0.5f), 2}, {0.7f, 2}, {above(0.7f), 1},
              {0.9f, 1}, {above(0.9f), 0}};
    case Rule::R13:
      return {{0.4f, 4}, {below(0.4f), 3}, {0.1f, 3}, {below(0.1f), 2}, {0.05f, 2}, {below(0.05f), 1},
              {0.01f, 1}, {below(0.01f), 0}};
    case Rule::R14:  // v is the least remaining amount m
      return {{0.8f, 3}, {0.81f, 2}, {0.95f, 2}, {0.96f, 1}, {0.99f, 1}, {0.995f, 0}};
    case Rule::R15: return {{0, 0}, {1, 2}, {2, 4}, {3, 0}, {-1, 0}};
    case Rule::R16: return {{0, -1}, {7, 0}};  // -1: the level depends on the word (f0..f4: 1, f5..f8: 2)
    case Rule::R17:  // v is the mean m of the values above 0.15; -1 no record
      return {{-1, 0}, {0.35f, 1}, {0.36f, 2}, {0.05f, 0}, {0.06f, 1}};
    case Rule::R18: return {{0.0f, 4}, {-0.5f, 4}, {above(0.0f), 0}, {0.5f, 0}};
    case Rule::R19: return {{0, 0}, {1, 4}, {-1, 4}};
  }
  return {};
}

// Writes a probe into the record for a part reading `words` by rule r, with
// the probed value on word `which` (an index into words) and the others
// intact; returns the level the probe must give.
int apply(Record& rec, Rule r, const std::vector<int>& words, std::size_t which, const Probe& p) {
  const int w = words[which];
  switch (r) {
    case Rule::R1:
      rec.setF(w, p.v);
      rec.setI(w + 1, p.presence);
      return p.level;
    case Rule::R2:
    case Rule::R3:
    case Rule::R15:
    case Rule::R19: rec.setI(w, static_cast<std::int32_t>(p.v)); return p.level;
    case Rule::R10:
      // The whole sum on one segment, the other seven worn through (1 - 1 = 0),
      // keeps the mean exact: (1 - w) x 0.125 = m.
      for (int other : words) rec.setF(other, 1.0f);
      rec.setF(w, 1.0f - 8.0f * p.v);
      EXPECT_EQ((1.0f - (1.0f - 8.0f * p.v)) * 0.125f, p.v) << "probe not exact";
      return p.level;
    case Rule::R11:
    case Rule::R14:
      rec.setF(w, 1.0f - p.v);
      EXPECT_EQ(1.0f - (1.0f - p.v), p.v) << "probe not exact";
      return p.level;
    case Rule::R16:
      rec.setI(w, static_cast<std::int32_t>(p.v));
      return p.level >= 0 ? p.level : (w >= 240 ? 2 : 1);
    case Rule::R17:
      rec.hasCracks = p.v >= 0.0f;
      rec.cracks.fill(0.15f);  // never counted: only values above 0.15 are
      rec.cracks[which % 32] = p.v * 32.0f;
      return p.level;
    default: rec.setF(w, p.v); return p.level;
  }
}

struct SinglePart {
  int part;
  Rule rule;
  std::vector<int> words;  // every word the part reads (R1: the fraction; R10: the eight)
};

std::vector<int> run(int first, int n) {
  std::vector<int> w;
  for (int k = 0; k < n; ++k) w.push_back(first + k);
  return w;
}

const std::vector<SinglePart>& singleParts() {
  static const std::vector<SinglePart> parts = [] {
    std::vector<SinglePart> p = {
        {21, Rule::R1, {0}}, {22, Rule::R1, {2}}, {23, Rule::R1, {4}},
        {32, Rule::R12, {18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 34}},
        {33, Rule::R2, {30}}, {34, Rule::R2, {31}}, {35, Rule::R2, {32}},
        {36, Rule::R4, {33}}, {37, Rule::R5, {35}}, {38, Rule::R2, {36}},
        {39, Rule::R11, {39, 43, 47, 51}}, {40, Rule::R2, {55}}, {41, Rule::R6, {58}},
        {43, Rule::R18, {60}}, {44, Rule::R19, {61}}, {45, Rule::R13, {62}}, {46, Rule::R3, {122}},
        {83, Rule::R15, {231}}, {84, Rule::R15, {232}}, {85, Rule::R15, {233}},
        {86, Rule::R16, run(235, 9)}, {87, Rule::R17, {290, 290, 290}},
    };
    const int presence[8] = {6, 7, 9, 10, 12, 13, 15, 16};
    for (int k = 0; k < 8; ++k) p.push_back({24 + k, Rule::R2, {presence[k]}});
    const int pairs[4] = {123, 137, 151, 165};
    for (int k = 0; k < 4; ++k) {
      p.push_back({47 + k, Rule::R14, {pairs[k], pairs[k] + 1}});
      p.push_back({51 + k, Rule::R9, {pairs[k] + 2}});   // 125, 139, 153, 167
      p.push_back({55 + k, Rule::R9, {pairs[k] + 3}});   // 126, 140, 154, 168
      p.push_back({59 + k, Rule::R7, {pairs[k] + 4}});   // 127, 141, 155, 169
      p.push_back({63 + k, Rule::R10, run(pairs[k] + 5, 8)});  // 128, 142, 156, 170
      p.push_back({67 + k, Rule::R8, {180 + 2 * k}});
      p.push_back({71 + k, Rule::R10, run(187 + 8 * k, 8)});
    }
    const int lights[8] = {219, 220, 222, 223, 225, 226, 229, 230};
    for (int k = 0; k < 8; ++k) p.push_back({75 + k, Rule::R2, {lights[k]}});
    return p;
  }();
  return parts;
}

// Compound parts built from other parts (17 to 19 and the word-32 share of
// 5 to 8 read words of their own: see `ownWords`).
const std::vector<std::vector<int>>& components() {
  static const std::vector<std::vector<int>> c = {
      {},                                                       // 0
      {24, 47, 67, 55, 51}, {26, 48, 68, 56, 52}, {28, 49, 69, 57, 53}, {30, 50, 70, 58, 54},
      {25}, {27}, {29}, {31},                                   // 5..8
      {32, 33, 36}, {39, 34, 40, 43, 46}, {32, 33, 36, 39, 34, 40, 43, 46},
      {63, 71, 59}, {64, 72, 60}, {65, 73, 61}, {66, 74, 62},   // 12..15
      {41, 44, 45}, {}, {}, {}, {21, 22, 23},                   // 16..20
  };
  return c;
}

// Levels compound parts take from the words they read themselves, when one of
// those words is set to 0 (the probes that lose a part): R3 on word 32 for
// 5 to 8, and the light pairs of 17 to 19.
int ownWords(int compound, int zeroWord) {
  if (compound >= 5 && compound <= 8) return zeroWord == 32 ? 3 : 0;
  const int lost[3] = {220, 223, 226}, dim[3] = {219, 222, 225};
  if (compound >= 17 && compound <= 19) {
    if (zeroWord == lost[compound - 17]) return 4;
    if (zeroWord == dim[compound - 17]) return 2;
  }
  return 0;
}

bool contains(const std::vector<int>& v, int x) {
  for (int e : v)
    if (e == x) return true;
  return false;
}

class DamageRules : public ::testing::Test {
 protected:
  Record mem;
  int level(int part) const { return classifyPart(DamageWords{mem.bytes(), r17}, part); }
  const float* r17 = nullptr;
};

}  // namespace

TEST(DamagePartTable, EveryRuleOnEveryWordAtEachBoundAcrossAllParts) {
  for (int part = 21; part < kPartCount; ++part) {
    int rows = 0;
    for (const SinglePart& sp : singleParts()) rows += sp.part == part;
    ASSERT_EQ(rows, part == 42 ? 0 : 1) << "part " << part;
  }
  int checked = 0;
  for (const SinglePart& sp : singleParts()) {
    for (std::size_t which = 0; which < sp.words.size(); ++which) {
      for (const Probe& probe : probesOf(sp.rule)) {
        Record rec;
        const int level = apply(rec, sp.rule, sp.words, which, probe);
        const bool zeroed = (sp.rule == Rule::R2 || sp.rule == Rule::R3) && probe.v == 0.0f;
        const std::string what = "part " + std::to_string(sp.part) + " word " + std::to_string(sp.words[which]) +
                                 " = " + std::to_string(probe.v);
        for (int part = 0; part < kPartCount; ++part) {
          int expected = part == sp.part ? level : 0;
          if (part >= 1 && part <= 20) {
            if (contains(components()[part], sp.part)) expected = level;
            if (zeroed) expected = std::max(expected, ownWords(part, sp.words[which]));
          }
          EXPECT_EQ(rec.level(part), expected) << what << ", seen from part " << part;
          ++checked;
        }
      }
    }
  }
  EXPECT_GT(checked, 88 * 300);
}

TEST(DamagePartTable, CompoundsTakeTheWorstOfTheirComponents) {
  // The first and the last component of each compound, one at its rule's
  // mildest level and the other at its worst, in both roles.
  auto find = [](int part) -> const SinglePart& {
    for (const SinglePart& sp : singleParts())
      if (sp.part == part) return sp;
    throw std::runtime_error("no such part");
  };
  auto pick = [](Rule r, bool worst) {
    Probe chosen{0, 0};
    for (const Probe& p : probesOf(r)) {
      const int l = p.level < 0 ? 1 : p.level;
      if (l > 0 && (chosen.level == 0 || (worst ? l > chosen.level : l < chosen.level))) chosen = p;
    }
    return chosen;
  };
  for (int c = 1; c <= 20; ++c) {
    const std::vector<int>& parts = components()[c];
    if (parts.size() < 2) continue;
    for (bool frontWorst : {false, true}) {
      const SinglePart& a = find(parts.front());
      const SinglePart& b = find(parts.back());
      Record rec;
      const int la = apply(rec, a.rule, a.words, 0, pick(a.rule, frontWorst));
      const int lb = apply(rec, b.rule, b.words, 0, pick(b.rule, !frontWorst));
      ASSERT_NE(la, lb) << "compound " << c << ": the two levels must differ";
      EXPECT_EQ(rec.level(c), std::max(la, lb)) << "compound " << c << " from parts " << a.part << " and " << b.part;
    }
  }
}

TEST(DamagePartTable, FlagWordsAllTogether) {
  Record rec;
  for (int w = 235; w <= 239; ++w) rec.setI(w, 0);
  EXPECT_EQ(rec.level(86), 1) << "any of the first five";
  rec.setI(242, 0);
  EXPECT_EQ(rec.level(86), 2) << "one of the last four outranks them";
  for (int w = 235; w <= 243; ++w) rec.setI(w, 0);
  EXPECT_EQ(rec.level(86), 2);
}

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
    Record fresh;
    fresh.setF(c.word, c.v);
    EXPECT_EQ(classifyPart(DamageWords{fresh.bytes(), nullptr}, c.part), c.expected)
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

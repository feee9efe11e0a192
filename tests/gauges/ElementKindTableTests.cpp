// What a new row of the element kind table must keep true for the loader and
// the lint to read it as meant.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "gauges/GaugeElementKinds.h"

using namespace ostrel::gauges;

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

// The lint checks a number by its key in whatever section it stands, so a
// key must hold one type in every list it is in.
TEST(ElementKindTable, AKeyHoldsOneTypeWhereverItIsRead) {
  std::map<std::pair<std::string, bool>, ParamType> seen;  // (key, numbered) -> type
  auto note = [&](const ParamList& params, const std::string& where) {
    for (const Param& p : params) {
      ASSERT_NE(p.key, nullptr) << where;
      EXPECT_EQ(p.type == ParamType::Choice, p.choices != nullptr) << where << ":" << p.key();
      const auto [it, added] = seen.emplace(std::make_pair(lower(p.key()), p.indexes != 0), p.type);
      EXPECT_TRUE(added || it->second == p.type) << where << ":" << p.key();
    }
  };
  note(kTextureParams, "texture");
  note(kEffectParams, "effect");
  note(kEveryElementParams, "every element");
  note(kCalibrationParams, "calibration");
  note(kRefreshParams, "refresh");
  forEachElementKind([&](const ElementKind& k) { note(k.params, k.keyword()); });
}

// The loader compares the Type lowered with each keyword and takes the first
// match: a keyword in capitals, or one used twice, leaves a row unreachable.
TEST(ElementKindTable, EachKeywordIsLowerCaseAndNamesOneKind) {
  std::set<std::string> keywords{keys::typeEffect(), keys::typeRefresh(), keys::textureSection()};
  forEachElementKind([&](const ElementKind& k) {
    EXPECT_EQ(lower(k.keyword()), k.keyword());
    EXPECT_TRUE(keywords.insert(k.keyword()).second) << k.keyword();
  });
}

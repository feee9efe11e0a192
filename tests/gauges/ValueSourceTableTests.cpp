// What a new row of the value-source table must keep true: a keyword the
// loader and the lint find, and a line in the author's guide that says what
// the row is and its unit.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "gauges/ValueSources.h"

using namespace ostrel::gauges;

TEST(ValueSourceTable, EachKeywordIsLowerCaseAndFindsItsRow) {
  for (const ValueSource& row : valueSources()) {
    const std::string word = row.keyword();
    for (char c : word) EXPECT_TRUE(std::islower(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c))) << word;
    if (row.id != kValueNone) {
      EXPECT_EQ(gaugeValueIdFromKeyword(word), row.id) << word;
    }
    EXPECT_STREQ(gaugeValueKeyword(row.id), row.keyword());
  }
  EXPECT_EQ(gaugeValueIdFromKeyword("none"), kValueNone);
  EXPECT_EQ(gaugeValueIdFromKeyword("Speed"), kValueNone);  // callers lower the text first
  EXPECT_STREQ(gaugeValueKeyword(kGaugeValueCount), "");
  EXPECT_STREQ(gaugeValueKeyword(-1), "");
}

// docs/gauges.md lists every value source as "| `keyword` | is | unit |".
TEST(ValueSourceTable, TheAuthorsGuideListsEveryRowWithItsKindAndUnit) {
  std::ifstream guide(std::string(OSTREL_SOURCE_ROOT) + "/docs/gauges.md");
  ASSERT_TRUE(guide) << "docs/gauges.md";
  std::map<std::string, std::pair<std::string, std::string>> listed;
  bool inSection = false;
  for (std::string line; std::getline(guide, line);) {
    if (line.rfind("### ", 0) == 0) inSection = line == "### Value sources";
    if (!inSection || line.rfind("| `", 0) != 0) continue;
    std::vector<std::string> cells;
    std::stringstream cellsOf(line.substr(1));
    for (std::string cell; std::getline(cellsOf, cell, '|');) {
      const auto from = cell.find_first_not_of(' '), to = cell.find_last_not_of(' ');
      cells.push_back(from == std::string::npos ? "" : cell.substr(from, to - from + 1));
    }
    ASSERT_GE(cells.size(), 3u) << line;
    EXPECT_TRUE(listed.emplace(cells[0].substr(1, cells[0].size() - 2), std::make_pair(cells[1], cells[2])).second) << line;
  }
  const char* kinds[] = {"value", "value or condition", "condition"};
  for (const ValueSource& row : valueSources()) {
    if (row.id == kValueNone) continue;
    const auto it = listed.find(row.keyword());
    ASSERT_NE(it, listed.end()) << row.keyword() << " is not in the guide's list";
    EXPECT_EQ(it->second.first, kinds[static_cast<int>(row.kind)]) << row.keyword();
    EXPECT_EQ(it->second.second, row.unit ? row.unit() : "") << row.keyword();
    listed.erase(it);
  }
  for (const auto& [word, what] : listed) ADD_FAILURE() << "the guide lists " << word << ", which no row has";
}

// The element kind table against the loader and the element classes: every
// row is made from its keyword, and reads each number its row lists.
#include <string>
#include <vector>

#include "GaugeScene.h"
#include "gauges/GaugeElementKinds.h"

using namespace gauge_tests;
using namespace ostrel::gauges;

namespace {

struct NumberKey {
  std::string section, key;
};

// One section per kind, named kind_<keyword> (the loader logs names lowered):
// images it can load, the range form of the calibration, and "x" for every
// number its row lists.
std::string definitionOfEveryKind(std::vector<std::string>& sections, std::vector<NumberKey>& numbers) {
  std::string text;
  forEachElementKind([&](const ElementKind& kind) {
    const std::string section = std::string("kind_") + kind.keyword();
    sections.push_back(section);
    text += "[" + section + "]\nType=" + kind.keyword() + "\n";
    auto write = [&](const ParamList& params) {
      for (const Param& p : params) {
        const std::string key = p.key();
        switch (p.type) {
          case ParamType::Image:
          case ParamType::Font:
            text += key + (p.indexes > 0 ? "0" : "") + "=lamp.png\n";
            break;
          case ParamType::Number:
          case ParamType::Whole:
          case ParamType::Colour:
            if (p.indexes != 0) break;  // the points: the range form is given
            text += key + "=x\n";
            numbers.push_back({section, key});
            break;
          default:
            if (key == keys::rangeForm()) text += key + "=1\n";
        }
      }
    };
    write(kind.params);
    write(kEveryElementParams);
    if (kind.calibrated) write(kCalibrationParams);
  });
  return text;
}

}  // namespace

class ElementKinds : public GaugeScene {};

TEST_F(ElementKinds, EachRowIsMadeFromItsKeywordAndReadsTheNumbersItLists) {
  ASSERT_TRUE(writeSolid(path("lamp.png"), 26, 20, 0xFFFFFFFFu));
  std::vector<std::string> sections;
  std::vector<NumberKey> numbers;
  definition(definitionOfEveryKind(sections, numbers));
  ASSERT_GE(sections.size(), 8u);
  const std::size_t before = logSize();
  auto h = make();
  const std::string log = logSince(before);
  for (const std::string& s : sections) EXPECT_EQ(countOf(log, "Gauges: element " + s + "\r\n"), 1) << s << "\n" << log;
  // Read once by the element through a number reader, which names the key,
  // and once checked by the lint as a number.
  for (const NumberKey& n : numbers) {
    EXPECT_EQ(countOf(log, "\"x\" of key " + n.key + " in section [" + n.section + "]"), 1)
        << n.section << ":" << n.key;
    EXPECT_EQ(countOf(log, "Gauges.ini:" + n.section + ":" + n.key + ": not a number"), 1) << n.section << ":" << n.key;
  }
  EXPECT_EQ(countOf(log, "\"x\" of key "), static_cast<int>(numbers.size())) << log;
}

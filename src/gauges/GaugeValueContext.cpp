#include "gauges/GaugeValueContext.h"

#include <cctype>
#include <cstdio>
#include <sstream>

#include "plugin/FixedText.h"
#include "plugin/NumberText.h"

namespace ostrel::gauges {
namespace {

float tableAt(const std::vector<float>& table, std::int32_t g) {
  if (g < 0 || static_cast<std::size_t>(g) >= table.size()) return 0.0f;
  return table[static_cast<std::size_t>(g)];
}

bool startsWithNoCase(const std::string& line, const std::string& key) {
  if (line.size() < key.size()) return false;
  for (std::size_t i = 0; i < key.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(line[i])) !=
        std::tolower(static_cast<unsigned char>(key[i])))
      return false;
  return true;
}

// The number after the key; a line with no number leaves the entry as it was.
void takeNumber(std::string rest, float& out) {
  for (char& c : rest)
    if (c == '\t') c = ' ';
  float v = 0.0f;
  if (parseFloat(rest.c_str(), v)) out = v;
}

}  // namespace

float GaugeValueContext::upshiftAt(std::int32_t g) const { return tableAt(upshiftRpm, g); }
float GaugeValueContext::downshiftAt(std::int32_t g) const { return tableAt(downshiftRpm, g); }

const std::tm& GaugeValueContext::localClock() {
  if (!clockValid) {
    const std::time_t now = std::time(nullptr);
    if (const std::tm* t = std::localtime(&now)) clock = *t;
    clockValid = true;
  }
  return clock;
}

std::string shiftKey(int gearIndex, bool up) {
  char key[16];
  std::snprintf(key, sizeof key, up ? FT("Gear%dUp") : FT("Gear%dDown"), gearIndex);
  return key;
}

void parseShiftTable(const std::string& fileText, bool up, std::vector<float>& table, float& maxRpm) {
  table.assign(8, 0.0f);
  std::string keys[8];
  for (int i = 0; i < 8; ++i) keys[i] = shiftKey(i, up);
  const std::string maxKey = FT("MaxRpm");
  std::istringstream in(fileText);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (int i = 0; i < 8; ++i)
      if (startsWithNoCase(line, keys[i])) takeNumber(line.substr(keys[i].size()), table[i]);
    if (startsWithNoCase(line, maxKey)) takeNumber(line.substr(maxKey.size()), maxRpm);
  }
}

}  // namespace ostrel::gauges

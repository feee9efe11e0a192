#include "HostLog.h"

#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <sstream>

#include "D3DTestDevice.h"

namespace reliability {
namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace


int countLinesWith(const std::string& text, const std::vector<std::string>& words) {
  int n = 0;
  for (const std::string& line : simhost_test::lines(text)) {
    const std::string l = lower(line);
    bool all = true;
    for (const std::string& w : words) all = all && l.find(lower(w)) != std::string::npos;
    n += all;
  }
  return n;
}

std::pair<std::string, int> mostRepeatedLine(const std::string& text) {
  std::map<std::string, int> counts;
  for (const std::string& line : simhost_test::lines(text))
    if (!line.empty()) ++counts[line];
  std::pair<std::string, int> best{"", 0};
  for (const auto& [line, n] : counts)
    if (n > best.second) best = {line, n};
  return best;
}


int differingPixels(const Image& a, const Image& b, int left, int top, int right, int bottom, int tolerance) {
  if (a.width != b.width || a.height != b.height || a.pixels.empty()) return -1;
  int n = 0;
  for (int y = top; y < bottom && y < static_cast<int>(a.height); ++y)
    for (int x = left; x < right && x < static_cast<int>(a.width); ++x) {
      const std::uint32_t p = a.at(x, y), q = b.at(x, y);
      for (int shift : {0, 8, 16}) {
        const int d = static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance) {
          ++n;
          break;
        }
      }
    }
  return n;
}

}  // namespace reliability

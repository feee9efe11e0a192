// The needle calibration walk on arbitrary point lists (lengths that differ,
// unsorted values, NaN, infinities): it reads only the points both lists
// have, and on gauge-like numbers the angle stays between the smallest and
// the largest calibration angle.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzCheck.h"
#include "gauges/GaugeMath.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  // Raw float bits (anything at all), or gauge-like numbers: sixteenths of a
  // 16-bit integer, where float rounding cannot carry the angle past the ends.
  const bool raw = data[0] & 0x80;
  std::vector<float> all;
  if (raw) {
    all.resize((size - 2) / 4);
    if (!all.empty()) std::memcpy(all.data(), data + 2, all.size() * 4);
  } else {
    for (std::size_t at = 2; at + 1 < size; at += 2) {
      std::int16_t n;
      std::memcpy(&n, data + at, 2);
      all.push_back(static_cast<float>(n) / 16.0f);
    }
  }
  if (all.empty()) return 0;
  const float v = all.back();
  all.pop_back();
  // The two lists, of lengths chosen by the first two bytes (each exact, so
  // a read past either end is caught).
  const std::size_t nAngles = std::min<std::size_t>(data[0] % 16, all.size());
  const std::size_t nValues = std::min<std::size_t>(data[1] % 16, all.size() - nAngles);
  const std::vector<float> angles(all.begin(), all.begin() + static_cast<long>(nAngles));
  const std::vector<float> values(all.begin() + static_cast<long>(nAngles),
                                  all.begin() + static_cast<long>(nAngles + nValues));

  const float angle = ostrel::gauges::calibratedAngle(angles, values, v);
  const std::size_t n = std::min(nAngles, nValues);
  if (n == 0) {
    FUZZ_CHECK(angle == 0.0f, "empty calibration gives %g", angle);
    return 0;
  }
  if (raw) return 0;
  const float lo = *std::min_element(angles.begin(), angles.begin() + static_cast<long>(n));
  const float hi = *std::max_element(angles.begin(), angles.begin() + static_cast<long>(n));
  const float slack = 1e-3f * std::max(1.0f, std::max(std::fabs(lo), std::fabs(hi)));
  FUZZ_CHECK(angle >= lo - slack && angle <= hi + slack, "angle %g outside %g..%g", angle, lo, hi);
  return 0;
}

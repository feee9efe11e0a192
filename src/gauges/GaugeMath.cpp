#include "gauges/GaugeMath.h"

#include <algorithm>
#include <cmath>

namespace ostrel::gauges {

float takenAbove(float value) { return value > 0.01f ? value : 0.0f; }

float rpmPercent(float rpm, float maxRpm) {
  if (maxRpm == 0.0f) return 0.0f;
  return takenAbove(rpm) / maxRpm * 100.0f;
}

float groundSpeed(float a, float b) {
  a = std::fabs(a);
  b = std::fabs(b);
  const double length = std::sqrt(static_cast<double>(a) * a + static_cast<double>(b) * b) * 3.578;
  return static_cast<float>(std::trunc(length));
}

float wheelSpin(float s, float g) {
  if (std::fabs(s - g) < 0.01f || s <= g) return 0.0f;
  return std::min(1.0f, (s - g) / g);
}

float wheelLock(float s, float g) {
  if (std::fabs(s - g) < 0.01f || g <= s) return 0.0f;
  return std::min(1.0f, (g - s) / g);
}

float pressureBar(float p, float q) {
  const float base = p > 0.02f ? 1.03421f : p * 1.03421f / 0.02f;
  return base + q * 0.00001f;
}

float kilometres(float metres) {
  const float km = metres / 1000.0f;
  return km > 0.001f ? km : 0.0f;
}

float fractionBetween(float v, float min, float max) {
  if (!(v == v)) return 0.0f;  // NaN from the host: nothing shown
  if (min == max) return v < min ? 0.0f : 1.0f;
  if (v < min)
    v = min;
  else if (v > max)
    v = max;
  return (v - min) / (max - min);
}

float shiftUpFraction(float base, float r, float min, float max) {
  if (base == 0.0f) return 0.0f;
  const float lo = base + min, hi = base + max;
  if (lo >= r) return 0.0f;
  if (r >= hi) return 1.0f;
  return (r - lo) / (hi - lo);
}

float shiftDownFraction(float base, float r, float min, float max) {
  if (base == 0.0f) return 0.0f;
  const float lo = base + min, hi = base + max;
  if (r >= lo) return 0.0f;
  if (hi >= r) return 1.0f;
  return 1.0f - (r - hi) / (lo - hi);
}

float calibratedAngle(const std::vector<float>& angles, const std::vector<float>& values, float v) {
  const std::size_t n = std::min(angles.size(), values.size());
  if (n == 0) return 0.0f;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    if (values[i] <= v && v <= values[i + 1]) {
      const float span = values[i + 1] - values[i];
      if (span == 0.0f) return angles[i];
      return angles[i] + (angles[i + 1] - angles[i]) * (v - values[i]) / span;
    }
  }
  return values[0] > v ? angles[0] : angles[n - 1];
}

void stepSpring(SpringState& s, float target, float frameTime, float stiffness, float damping,
                float speedFactor) {
  // Negative or not a number counts as no time at all.
  s.accumulator += frameTime > 0.0f ? std::min(frameTime, kSpringCatchUpLimit) : 0.0f;
  const float c = -2.0f * std::sqrt(std::max(0.0f, stiffness)) * damping;
  while (s.accumulator >= kSpringStep) {
    s.acceleration = s.velocity * c + stiffness * (target - s.angle);
    s.angle += s.velocity * kSpringStep * speedFactor;
    s.velocity += s.acceleration * kSpringStep;
    s.accumulator -= kSpringStep;
  }
}

std::uint32_t blendColour(std::uint32_t from, std::uint32_t to, float t) {
  if (!(t > 0.0f)) t = 0.0f;
  if (t > 1.0f) t = 1.0f;
  std::uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int a = static_cast<int>((from >> shift) & 0xFFu);
    const int b = static_cast<int>((to >> shift) & 0xFFu);
    const int c = static_cast<int>(static_cast<float>(a) + static_cast<float>(b - a) * t);
    out |= static_cast<std::uint32_t>(std::clamp(c, 0, 255)) << shift;
  }
  return out;
}

int pieSegmentCount(float lo, float hi) {
  const float sweep = std::fabs(hi - lo) * 50.0f / 6.2831855f;
  if (!(sweep < 100000.0f)) return 3;  // NaN or absurd calibration: smallest fan
  // A full turn computed through degrees lands a hair under 50; keep it 50.
  return std::max(3, static_cast<int>(sweep + 0.0001f));
}

}  // namespace ostrel::gauges

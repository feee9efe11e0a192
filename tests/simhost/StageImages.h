#pragma once
// Reading the stage's screenshots and the host's notes: pixel counts, the
// tacho needle's angle on the dashboard wherever the host put it, and the
// figures of a note line. Shared by the stage test programs.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "HostRun.h"

namespace simhost_test {

struct Rect {
  int x0, y0, x1, y1;
};

template <typename Pred>
int pixelsIn(const Image& img, Rect r, Pred pred) {
  int n = 0;
  for (int y = r.y0; y < r.y1 && y < static_cast<int>(img.height); ++y)
    for (int x = r.x0; x < r.x1 && x < static_cast<int>(img.width); ++x) n += pred(img.at(x, y)) ? 1 : 0;
  return n;
}

inline int red(std::uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); }
inline int green(std::uint32_t c) { return static_cast<int>((c >> 8) & 0xFF); }
inline int blue(std::uint32_t c) { return static_cast<int>(c & 0xFF); }
inline bool pureGreen(std::uint32_t c) { return green(c) > 200 && red(c) < 80 && blue(c) < 80; }
inline bool pureRed(std::uint32_t c) { return red(c) > 200 && green(c) < 60 && blue(c) < 60; }
inline bool white(std::uint32_t c) { return red(c) > 200 && green(c) > 200 && blue(c) > 200; }

// Where the shipped defaults put the panels on the stage's 640 x 480 window.
inline constexpr Rect kTirePanel{15, 195, 85, 300};
inline constexpr Rect kDiagram{25, 300, 100, 480};  // left of the tacho's red needle

// Mean x of the tacho needle's red pixels on the 640 x 480 window; -1 when none.
inline double needleX(const Image& img) {
  double sum = 0;
  int n = 0;
  for (int y = 300; y < 480 && y < static_cast<int>(img.height); ++y)
    for (int x = 100; x < 240 && x < static_cast<int>(img.width); ++x)
      if (pureRed(img.at(x, y))) sum += x, ++n;
  return n ? sum / n : -1.0;
}

// What is missing of the panels, one line each (empty when all shows): the
// tire panel's green bars before the start, the damage diagram's white
// (sound) and red (damaged) parts while driving. For the stages that the
// shell tests run (stage_pixels.exe).
inline std::vector<std::string> panelFailures(const Image& prestart, const std::string& prestartName,
                                              const Image& driving, const std::string& drivingName) {
  struct Rule {
    const Image& shot;
    const std::string& name;
    Rect box;
    bool (*test)(std::uint32_t);
    int least;
    const char* what;
  };
  const Rule rules[] = {{prestart, prestartName, kTirePanel, pureGreen, 300, "tire panel bars"},
                        {driving, drivingName, kDiagram, white, 300, "sound parts of the damage diagram"},
                        {driving, drivingName, kDiagram, pureRed, 50, "damaged parts of the damage diagram"}};
  std::vector<std::string> failures;
  for (const Rule& r : rules) {
    const int n = pixelsIn(r.shot, r.box, r.test);
    if (n < r.least)
      failures.push_back(std::string(r.what) + ": " + std::to_string(n) + " pixels in " + r.name +
                         ".png, expected at least " + std::to_string(r.least));
  }
  return failures;
}

// Where the host draws the 512 x 256 dashboard texture for a window: across
// the bottom, 0.8 of the window wide, 0.375 of that high.
struct DashboardPlace {
  double x0, y0, width, height;
  explicit DashboardPlace(const Image& img) {
    width = img.width * 0.8;
    height = width * 0.375;
    x0 = (img.width - width) * 0.5 - 0.5;
    y0 = img.height - height - 0.5;
  }
  // Texture pixels per screen pixel, across and down.
  double texelX(int x) const { return (x - x0) * 512.0 / width; }
  double texelY(int y) const { return (y - y0) * 256.0 / height; }
};

// The tacho needle's pivot on the dashboard texture.
inline constexpr double kTachoPivotX = 100.0, kTachoPivotY = 128.0;

// The tacho needle's angle in degrees, clockwise from pointing left (as its
// definition counts), from its red pixels 25 to 85 texture pixels out from the
// pivot (100, 128) of the 512 x 256 dashboard texture, wherever (and however
// squeezed) the host put the dashboard for its window size. Pixels left of `fromX` (the damage diagram)
// are not looked at. -1 when no needle shows.
inline double needleAngle(const Image& img, int fromX) {
  const DashboardPlace place(img);
  double sx = 0, sy = 0;
  int n = 0;
  for (int y = static_cast<int>(place.y0); y < static_cast<int>(img.height); ++y)
    for (int x = std::max(fromX, static_cast<int>(place.x0)); x < static_cast<int>(place.x0 + place.width * 0.4); ++x) {
      const double dx = place.texelX(x) - kTachoPivotX, dy = place.texelY(y) - kTachoPivotY, r = std::hypot(dx, dy);
      if (r >= 25.0 && r <= 85.0 && pureRed(img.at(x, y))) sx += dx, sy += dy, ++n;
    }
  if (n < 10) return -1.0;
  const double degrees = std::atan2(-sy, -sx) * 180.0 / 3.14159265358979;
  return degrees < 0 ? degrees + 360.0 : degrees;
}

// 0 to 8000 rpm over 270 degrees.
inline double tachoAngle(double rpm) { return rpm * 270.0 / 8000.0; }

// "<key>=<number>" in the first line holding `head`; -1 when missing.
inline long figure(const std::string& text, const std::string& head, const std::string& key) {
  std::size_t at = text.find(head);
  if (at == std::string::npos) return -1;
  std::size_t end = text.find('\n', at);
  std::size_t k = text.find(" " + key + "=", at);
  if (k == std::string::npos || k > end) return -1;
  return std::strtol(text.c_str() + k + key.size() + 2, nullptr, 10);
}

}  // namespace simhost_test

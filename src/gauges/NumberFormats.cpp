#include "gauges/NumberFormats.h"

#include <cmath>
#include <cstdio>

#include "plugin/FixedText.h"

namespace ostrel::gauges {
namespace {

const char* keywordAt(int i) {
  switch (i) {
    case 0: return FT("none");
    case 1: return FT("integer");
    case 2: return FT("decimal1");
    case 3: return FT("decimal2");
    case 4: return FT("decimal3");
    case 5: return FT("pad2");
    case 6: return FT("pad3");
    case 7: return FT("pad4");
    case 8: return FT("pad5");
    case 9: return FT("pad4decimal1");
    case 10: return FT("pad5decimal2");
    case 11: return FT("minsechundredths");
    case 12: return FT("minsecthousandths");
    case 13: return FT("minsec");
    case 14: return FT("hourmin");
    case 15: return FT("hourminsec");
    default: return "";
  }
}

// Patterns of the plain decimal formats 2..10: zero padding only, so every
// character has a cell in the digit font.
const char* decimalPattern(int i) {
  switch (i) {
    case 2: return FT("%.1f");
    case 3: return FT("%.2f");
    case 4: return FT("%.3f");
    case 5: return FT("%02.0f");
    case 6: return FT("%03.0f");
    case 7: return FT("%04.0f");
    case 8: return FT("%05.0f");
    case 9: return FT("%06.1f");
    default: return FT("%08.2f");
  }
}

const std::string kUnshowable = "--";

// Times are split on the magnitude, the sign written once in front:
// "-1:05" rather than "-1:-5".
std::string timeText(int format, double v) {
  const bool negative = v < 0.0;
  const double a = std::fabs(v);
  if (a >= 2.0e9) return kUnshowable;
  const long long whole = static_cast<long long>(a);
  const double fraction = a - std::floor(a);
  char buffer[64];
  int n = 0;
  switch (format) {
    case 11:
      n = std::snprintf(buffer, sizeof buffer, FT("%lld:%02d.%02d"), whole / 60,
                        static_cast<int>(std::fmod(a, 60.0)), static_cast<int>(fraction * 100.0));
      break;
    case 12:
      n = std::snprintf(buffer, sizeof buffer, FT("%lld:%02d.%03d"), whole / 60,
                        static_cast<int>(std::fmod(a, 60.0)), static_cast<int>(fraction * 1000.0));
      break;
    case 13:
      n = std::snprintf(buffer, sizeof buffer, FT("%lld:%02d"), whole / 60,
                        static_cast<int>(std::fmod(a, 60.0)));
      break;
    case 14:
      n = std::snprintf(buffer, sizeof buffer, FT("%lld:%02lld"), whole / 3600, (whole % 3600) / 60);
      break;
    default:
      n = std::snprintf(buffer, sizeof buffer, FT("%lld:%02lld:%02lld"), whole / 3600,
                        (whole % 3600) / 60, whole % 60);
      break;
  }
  if (n < 0) return kUnshowable;
  std::string text = (negative && a > 0.0 ? "-" : "") + std::string(buffer);
  return text.size() > kMaxNumberText ? kUnshowable : text;
}

}  // namespace

std::int32_t numberFormatFromKeyword(const std::string& keyword) {
  for (int i = 0; i < kNumberFormatCount; ++i)
    if (keyword == keywordAt(i)) return i;
  return 1;
}

const char* numberFormatKeyword(std::int32_t format) {
  return format >= 0 && format < kNumberFormatCount ? keywordAt(format) : "";
}

std::string formatNumber(std::int32_t format, float value, bool* invalid) {
  if (invalid) *invalid = false;
  if (format < 1 || format >= kNumberFormatCount) {
    if (invalid) *invalid = true;
    return std::string();
  }
  const double v = value;
  if (!std::isfinite(v)) return kUnshowable;
  if (format >= 11) return timeText(format, v);
  char buffer[64];
  int n;
  if (format == 1) {
    if (std::fabs(v) >= 9.0e18) return kUnshowable;
    n = std::snprintf(buffer, sizeof buffer, FT("%lld"), static_cast<long long>(v));
  } else {
    if (std::fabs(v) >= 1.0e20) return kUnshowable;
    n = std::snprintf(buffer, sizeof buffer, decimalPattern(format), v);
  }
  if (n < 0 || static_cast<std::size_t>(n) > kMaxNumberText) return kUnshowable;
  return std::string(buffer, static_cast<std::size_t>(n));
}

}  // namespace ostrel::gauges

#pragma once
// The number formats of the digit elements. Every text is at most 31
// characters of digits, ':', '.', '-' (the cells of a digit font). Windows-free.
#include <cstdint>
#include <string>

namespace ostrel::gauges {

inline constexpr int kNumberFormatCount = 16;
inline constexpr std::size_t kMaxNumberText = 31;

// Format index of a lower-case keyword; unknown keywords give 1 (integer).
std::int32_t numberFormatFromKeyword(const std::string& keyword);
// The keyword of a format index ("" outside 0..15).
const char* numberFormatKeyword(std::int32_t format);

// The text of v in format `format`. Format 0 and indices outside 1..15 give an
// empty text and set *invalid (when given). A value that cannot be shown in
// 31 characters (or is not a number) shows as "--".
std::string formatNumber(std::int32_t format, float v, bool* invalid = nullptr);

}  // namespace ostrel::gauges

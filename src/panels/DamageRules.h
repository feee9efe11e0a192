#pragma once
// The damage model: part indices 0..87, levels 0..4, and the rules that turn
// the host's damage record into a level per part. Windows-free and
// allocation-free: this runs for 88 parts twice a second and 62 per table frame.
#include <cstdint>

namespace ostrel {

inline constexpr int kPartCount = 88;

// A view of the host's DamageBlock: 32-bit words numbered from 0. Word 290 is
// a host pointer to 32 floats; the host layer resolves it into r17Floats
// (null when the host pointer is null).
struct DamageWords {
  const std::uint8_t* words = nullptr;
  const float* r17Floats = nullptr;

  float f(int n) const {
    float v;
    __builtin_memcpy(&v, words + 4 * n, sizeof v);
    return v;
  }
  std::int32_t i(int n) const {
    std::int32_t v;
    __builtin_memcpy(&v, words + 4 * n, sizeof v);
    return v;
  }
};

// Level 0..4 of part index `part`; 0 for index 0, 42 and anything outside 1..87,
// and 0 when the view has no words (no car loaded).
int classifyPart(const DamageWords& damage, int part);

}  // namespace ostrel

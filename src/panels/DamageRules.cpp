#include "panels/DamageRules.h"

#include <initializer_list>

// Classification of one part from the host's damage record. Every threshold
// is a float constant: the host stores floats, so a value written as 0.85 by
// the host compares equal to the bound 0.85 here. Comparisons with NaN fail,
// which falls through to the next branch as the plain comparisons do.
namespace ostrel {
namespace {

int presenceLost(const DamageWords& d, int word) { return d.i(word) == 0 ? 4 : 0; }       // R2
int presenceHeavy(const DamageWords& d, int word) { return d.i(word) == 0 ? 3 : 0; }      // R3

int fractionWithPresence(const DamageWords& d, int word) {                               // R1
  const float v = d.f(word);
  if (v <= 0.5f) return 3;
  if (v <= 0.7f) return 2;
  if (v <= 0.85f) return 1;
  return d.i(word + 1) == 0 ? 4 : 0;
}

int bodyFraction(float v) {                                                               // R4
  if (v <= 0.3f) return 4;
  if (v <= 0.5f) return 3;
  if (v <= 0.7f) return 2;
  if (v <= 0.95f) return 1;
  return 0;
}

int engineFraction(float v) {                                                             // R5
  if (v <= 0.5f) return 4;
  if (v <= 0.65f) return 3;
  if (v <= 0.8f) return 2;
  if (v <= 0.9f) return 1;
  return 0;
}

int leakAmount(float v) {                                                                 // R6
  if (v >= 0.2f) return 4;
  if (v >= 0.03f) return 2;
  if (v >= 0.005f) return 1;
  return 0;
}

int signedOffset(float v) {                                                               // R7
  const float a = v < 0.0f ? -v : v;
  if (a >= 0.1f) return 3;
  if (a >= 0.05f) return 2;
  if (a >= 0.01f) return 1;
  return 0;
}

int wearAmount(float v) {                                                                 // R8
  if (v >= 0.7f) return 4;
  if (v >= 0.4f) return 3;
  if (v >= 0.1f) return 2;
  if (v >= 0.02f) return 1;
  return 0;
}

int bendAmount(float v) {                                                                 // R9
  if (v >= 0.3f) return 3;
  if (v >= 0.1f) return 2;
  if (v >= 0.02f) return 1;
  return 0;
}

int groupOfEight(const DamageWords& d, int first) {                                       // R10
  float sum = 0.0f;
  for (int k = 0; k < 8; ++k) sum += 1.0f - d.f(first + k);
  const float m = sum * 0.125f;
  if (m <= 0.2f) return 4;
  if (m < 0.4f) return 3;
  if (m <= 0.6f) return 2;
  if (m < 0.8f) return 1;
  return 0;
}

int leastRemaining(const DamageWords& d) {                                                // R11
  const int words[4] = {39, 43, 47, 51};
  float m = 1.0f - d.f(words[0]);
  for (int k = 1; k < 4; ++k) {
    const float r = 1.0f - d.f(words[k]);
    if (r < m) m = r;
  }
  if (m <= 0.3f) return 4;
  if (m <= 0.8f) return 3;
  if (m <= 0.95f) return 2;
  if (m <= 0.97f) return 1;
  return 0;
}

int chassis(const DamageWords& d) {                                                       // R12
  float m = d.f(34);
  for (int w = 18; w <= 27; ++w) {
    const float v = d.f(w);
    if (v < m) m = v;
  }
  if (m <= 0.2f) return 4;
  if (m <= 0.5f) return 3;
  if (m <= 0.7f) return 2;
  if (m <= 0.9f) return 1;
  return 0;
}

int heatAmount(float v) {                                                                 // R13
  if (v >= 0.4f) return 4;
  if (v >= 0.1f) return 3;
  if (v >= 0.05f) return 2;
  if (v >= 0.01f) return 1;
  return 0;
}

int pairRemaining(const DamageWords& d, int first) {                                      // R14
  const float a = 1.0f - d.f(first);
  const float b = 1.0f - d.f(first + 1);
  const float m = b < a ? b : a;
  if (m <= 0.8f) return 3;
  if (m <= 0.95f) return 2;
  if (m <= 0.99f) return 1;
  return 0;
}

int stateCode(std::int32_t c) { return c == 1 ? 2 : (c == 2 ? 4 : 0); }                  // R15

int flagWords(const DamageWords& d) {                                                     // R16
  for (int w = 240; w <= 243; ++w)
    if (d.i(w) == 0) return 2;
  for (int w = 235; w <= 239; ++w)
    if (d.i(w) == 0) return 1;
  return 0;
}

int cracks(const float* q) {                                                              // R17
  if (!q) return 0;
  float s = 0.0f;
  for (int k = 0; k < 32; ++k)
    if (q[k] > 0.15f) s += q[k];
  const float m = s * 0.03125f;
  if (m > 0.35f) return 2;
  if (m > 0.05f) return 1;
  return 0;
}

int single(const DamageWords& d, int part) {
  switch (part) {
    case 21: return fractionWithPresence(d, 0);
    case 22: return fractionWithPresence(d, 2);
    case 23: return fractionWithPresence(d, 4);
    case 24: return presenceLost(d, 6);
    case 25: return presenceLost(d, 7);
    case 26: return presenceLost(d, 9);
    case 27: return presenceLost(d, 10);
    case 28: return presenceLost(d, 12);
    case 29: return presenceLost(d, 13);
    case 30: return presenceLost(d, 15);
    case 31: return presenceLost(d, 16);
    case 32: return chassis(d);
    case 33: return presenceLost(d, 30);
    case 34: return presenceLost(d, 31);
    case 35: return presenceLost(d, 32);
    case 36: return bodyFraction(d.f(33));
    case 37: return engineFraction(d.f(35));
    case 38: return presenceLost(d, 36);
    case 39: return leastRemaining(d);
    case 40: return presenceLost(d, 55);
    case 41: return leakAmount(d.f(58));
    case 43: return d.f(60) <= 0.0f ? 4 : 0;                                              // R18
    case 44: return d.i(61) != 0 ? 4 : 0;                                                 // R19
    case 45: return heatAmount(d.f(62));
    case 46: return presenceHeavy(d, 122);
    case 83: return stateCode(d.i(231));
    case 84: return stateCode(d.i(232));
    case 85: return stateCode(d.i(233));
    case 86: return flagWords(d);
    case 87: return cracks(d.r17Floats);
    default: break;
  }
  // The four corners repeat the same layout 14 words apart.
  if (part >= 47 && part <= 50) return pairRemaining(d, 123 + 14 * (part - 47));
  if (part >= 51 && part <= 54) return bendAmount(d.f(125 + 14 * (part - 51)));
  if (part >= 55 && part <= 58) return bendAmount(d.f(126 + 14 * (part - 55)));
  if (part >= 59 && part <= 62) return signedOffset(d.f(127 + 14 * (part - 59)));
  if (part >= 63 && part <= 66) return groupOfEight(d, 128 + 14 * (part - 63));
  if (part >= 67 && part <= 70) return wearAmount(d.f(180 + 2 * (part - 67)));
  if (part >= 71 && part <= 74) return groupOfEight(d, 187 + 8 * (part - 71));
  if (part >= 75 && part <= 82) {
    static constexpr int kWords[8] = {219, 220, 222, 223, 225, 226, 229, 230};
    return presenceLost(d, kWords[part - 75]);
  }
  return 0;  // 42 and anything else
}

int largest(const DamageWords& d, std::initializer_list<int> parts) {
  int level = 0;
  for (int p : parts) {
    const int l = single(d, p);
    if (l > level) level = l;
  }
  return level;
}

int lightPair(const DamageWords& d, int lostWord, int dimWord) {
  if (d.i(lostWord) == 0) return 4;
  return d.i(dimWord) == 0 ? 2 : 0;
}

int compound(const DamageWords& d, int part) {
  switch (part) {
    case 1: return largest(d, {24, 47, 67, 55, 51});
    case 2: return largest(d, {26, 48, 68, 56, 52});
    case 3: return largest(d, {28, 49, 69, 57, 53});
    case 4: return largest(d, {30, 50, 70, 58, 54});
    case 5: case 6: case 7: case 8: {
      const int a = single(d, 25 + 2 * (part - 5));
      const int b = presenceHeavy(d, 32);
      return a > b ? a : b;
    }
    case 9: return largest(d, {32, 33, 36});
    case 10: return largest(d, {39, 34, 40, 43, 46});
    case 11: return largest(d, {32, 33, 36, 39, 34, 40, 43, 46});
    case 12: return largest(d, {63, 71, 59});
    case 13: return largest(d, {64, 72, 60});
    case 14: return largest(d, {65, 73, 61});
    case 15: return largest(d, {66, 74, 62});
    case 16: return largest(d, {41, 44, 45});
    case 17: return lightPair(d, 220, 219);
    case 18: return lightPair(d, 223, 222);
    case 19: return lightPair(d, 226, 225);
    case 20: return largest(d, {21, 22, 23});
    default: return 0;
  }
}

}  // namespace

int classifyPart(const DamageWords& damage, int part) {
  if (!damage.words || part < 1 || part >= kPartCount) return 0;
  return part <= 20 ? compound(damage, part) : single(damage, part);
}

}  // namespace ostrel

#include "plugin/NumberText.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace ostrel {

bool parseInt32(const char* text, std::int32_t& out) {
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text || errno == ERANGE || v < std::numeric_limits<std::int32_t>::min() ||
      v > std::numeric_limits<std::int32_t>::max())
    return false;
  out = static_cast<std::int32_t>(v);
  return true;
}

bool parseFloat(const char* text, float& out) {
  char* end = nullptr;
  errno = 0;
  const float v = std::strtof(text, &end);
  // Underflow to a tiny value is accepted, overflow is not.
  if (end == text || (errno == ERANGE && std::isinf(v))) return false;
  out = v;
  return true;
}

bool parseHex32(const char* text, std::uint32_t& out) {
  char* end = nullptr;
  errno = 0;
  // strtoull accepts a leading minus and wraps; a settings colour never has one.
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\v' || *p == '\f') ++p;
  if (*p == '-') return false;
  const unsigned long long v = std::strtoull(text, &end, 16);
  if (end == text || errno == ERANGE || v > 0xFFFFFFFFull) return false;
  out = static_cast<std::uint32_t>(v);
  return true;
}

}  // namespace ostrel

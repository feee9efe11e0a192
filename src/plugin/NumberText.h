#pragma once
// Text-to-number conversion with the standard rules (leading white space
// skipped, text after the number ignored, hexadecimal may start with 0x), but
// reporting failure instead of throwing. Windows-free.
#include <cstdint>

namespace ostrel {

bool parseInt32(const char* text, std::int32_t& out);
bool parseFloat(const char* text, float& out);
bool parseHex32(const char* text, std::uint32_t& out);

}  // namespace ostrel

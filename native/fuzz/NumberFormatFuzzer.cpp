// The gauges' number formats on any format index and any float bits: the text
// fits a digit field (31 characters) and holds only the digit font's cells.
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "gauges/NumberFormats.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  std::int32_t format;
  float value;
  std::memcpy(&format, data, 4);
  std::memcpy(&value, data + 4, 4);
  // Mostly the real formats, sometimes any index at all.
  if (format >= 0) format %= (ostrel::gauges::kNumberFormatCount + 2);
  bool invalid = false;
  const std::string text = ostrel::gauges::formatNumber(format, value, &invalid);
  FUZZ_CHECK(text.size() <= ostrel::gauges::kMaxNumberText, "format %d: %zu characters", format, text.size());
  for (char c : text)
    FUZZ_CHECK((c >= '0' && c <= '9') || c == ':' || c == '.' || c == '-', "format %d: '%s'", format,
               text.c_str());
  const bool known = format >= 1 && format < ostrel::gauges::kNumberFormatCount;
  FUZZ_CHECK(known || (text.empty() && invalid), "format %d gave '%s'", format, text.c_str());

  const std::string keyword(reinterpret_cast<const char*>(data + 8), size - 8);
  const std::int32_t index = ostrel::gauges::numberFormatFromKeyword(keyword);
  FUZZ_CHECK(index >= 0 && index < ostrel::gauges::kNumberFormatCount, "keyword gives %d", index);
  return 0;
}

// The damage rules on arbitrary damage blocks: every part index, in range or
// not, classifies to a level 0..4, reading nothing past the host's block or
// the 32 crack floats (both held in buffers of exactly their size).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "FuzzCheck.h"
#include "panels/DamageRules.h"

namespace {
// Words 0..290 of the host's damage record: 290 holds the crack pointer.
constexpr std::size_t kBlockWords = 291;
constexpr std::size_t kCrackFloats = 32;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool withCracks = data[0] & 1;
  ++data;
  --size;
  auto block = std::make_unique<std::uint8_t[]>(kBlockWords * 4);
  std::memset(block.get(), 0, kBlockWords * 4);
  std::memcpy(block.get(), data, std::min(size, kBlockWords * 4));
  auto cracks = std::make_unique<float[]>(kCrackFloats);
  std::memset(cracks.get(), 0, kCrackFloats * 4);
  if (size > kBlockWords * 4) std::memcpy(cracks.get(), data + kBlockWords * 4, std::min(size - kBlockWords * 4, kCrackFloats * 4));

  ostrel::DamageWords damage{block.get(), withCracks ? cracks.get() : nullptr};
  for (int part = -2; part <= ostrel::kPartCount + 1; ++part) {
    const int level = ostrel::classifyPart(damage, part);
    FUZZ_CHECK(level >= 0 && level <= 4, "part %d: level %d", part, level);
    if (part <= 0 || part == 42 || part >= ostrel::kPartCount)
      FUZZ_CHECK(level == 0, "part %d outside the table gives %d", part, level);
  }
  const ostrel::DamageWords noCar{};
  for (int part = 0; part < ostrel::kPartCount; ++part)
    FUZZ_CHECK(ostrel::classifyPart(noCar, part) == 0, "part %d without a car", part);
  return 0;
}

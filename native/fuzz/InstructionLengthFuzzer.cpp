// The length decoder on arbitrary bytes, in both modes: never more than 15,
// never more than it was allowed to read, and the address-only form (which may
// read 15 bytes) reads no further: it gets a buffer of exactly 15.
#include <cstdint>
#include <cstring>
#include <memory>

#include "FuzzCheck.h"
#include "hooks/InstructionLength.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (int mode : {32, 64}) {
    // libFuzzer's buffer is exactly `size` bytes: any read past it is caught.
    const int limited = ostrel::instructionLength(data, size, mode);
    const int most = static_cast<int>(size < 15 ? size : 15);
    FUZZ_CHECK(limited == -1 || (limited >= 1 && limited <= most), "mode %d length %d of %zu bytes", mode,
               limited, size);
    if (size >= 15) {
      auto exact = std::make_unique<std::uint8_t[]>(15);
      std::memcpy(exact.get(), data, 15);
      const int unlimited = ostrel::instructionLength(exact.get(), mode);
      FUZZ_CHECK(unlimited == limited, "mode %d: %d with a limit, %d without", mode, limited, unlimited);
    }
    // Every shorter limit either still fits the instruction or refuses it.
    if (limited > 0) {
      const int cut = ostrel::instructionLength(data, static_cast<std::size_t>(limited - 1), mode);
      FUZZ_CHECK(cut == -1, "mode %d: %d bytes decode in %d", mode, limited, limited - 1);
    }
  }
  return 0;
}

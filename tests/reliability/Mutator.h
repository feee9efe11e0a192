#pragma once
// Seeded, reproducible mutations of hostile input files. No Windows call
// here: the same mutations build natively too.
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

using Bytes = std::vector<std::uint8_t>;

// splitmix64: the same stream on every compiler and library.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next();
  // Uniform in [0, n); n > 0.
  std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(next() % n); }
  bool chance(std::uint32_t percent) { return below(100) < percent; }

 private:
  std::uint64_t state_;
};

// The case's own generator: one stream per (seed, index), so any case can be
// rebuilt alone.
Rng caseRng(std::uint64_t seed, std::uint64_t index);

// Settings and definition files: byte flips, truncation, long lines, huge
// numbers, NaN/inf, deleted '=', duplicated sections, non-ASCII bytes, empty.
// Applies one to four mutations; names what it did in `log`.
Bytes mutateText(const Bytes& seed, Rng& rng, std::string& log);

// Image files: truncation, corrupt chunks, huge or zero header sizes (with
// the chunk checksum made right so decoders read on), wrong format.
// `others` are whole files of other formats (BMP, JPEG) to pass off as PNG.
Bytes mutateImage(const Bytes& png, const std::vector<Bytes>& others, Rng& rng, std::string& log);

// The PNG chunk checksum (CRC-32 over type and data).
std::uint32_t pngCrc(const std::uint8_t* data, std::size_t length);

}  // namespace fuzz

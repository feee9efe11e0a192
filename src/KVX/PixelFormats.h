#pragma once
// Straight BGRA pixels (8 bits a channel, blue first, as the image decoder
// gives them) written as the texel layouts of Direct3D 9 formats, and read
// back. The format codes are Direct3D 9's own numbers, kept here as plain
// numbers so that this stays Windows-free (it builds natively too).
#include <cstddef>
#include <cstdint>

namespace ostrel::pixels {

// Direct3D 9 format codes: those this converter writes, then others the
// plug-in names.
enum Format : std::uint32_t {
  kR8G8B8 = 20,
  kA8R8G8B8 = 21,
  kX8R8G8B8 = 22,
  kR5G6B5 = 23,
  kX1R5G5B5 = 24,
  kA1R5G5B5 = 25,
  kA4R4G4B4 = 26,
  kA8 = 28,
  kX4R4G4B4 = 30,
  kA8B8G8R8 = 32,
  kX8B8G8R8 = 33,
  kL8 = 50,
  kA8L8 = 51,
  // Not written here.
  kR3G3B2 = 27,
  kA2B10G10R10 = 31,
  kA2R10G10B10 = 35,
  kL16 = 81,
  kDXT1 = 0x31545844,  // "DXT1"
};

// Bytes of one texel of a plain format: those this converter writes and the
// 10-bit ones a render target may have (a row of them is copied as it is).
// 0 for the others (block-compressed, floating point, palettes, depth,
// four-character codes...).
std::size_t bytesPerTexel(std::uint32_t format);
// True for the formats writeRow and readRow convert.
bool canWrite(std::uint32_t format);

// False for the formats known to hold no alpha; true for the others, the
// unknown format (0) among them: a file read in it may have alpha.
bool hasAlpha(std::uint32_t format);

// `width` BGRA pixels written as one row of `format` into `out`, which holds
// width * bytesPerTexel(format) bytes. Channels are rounded to the nearest
// level of the narrower field. False (nothing written) for a format it cannot write.
bool writeRow(const std::uint8_t* bgra, std::uint32_t width, std::uint32_t format, std::uint8_t* out);

// One row of `format` read back as BGRA, narrow fields widened by bit
// replication and absent channels read as opaque (alpha) or 0xFF (luminance
// formats give grey). False for a format it cannot read.
bool readRow(const std::uint8_t* texels, std::uint32_t width, std::uint32_t format, std::uint8_t* bgra);

}  // namespace ostrel::pixels

#pragma once
// Image files of the kinds a game's textures come in, written by the host
// from 0xAARRGGBB pixels, so a scenario can make its dashboard texture come
// from each of them: PNG (32-bit, 24-bit, 8-bit paletted), 24-bit BMP,
// 24-bit TGA and DDS (DXT1, DXT5, uncompressed 32-bit). JPEG is written
// through D3DX by the stage. Windows-free.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace simhost {

enum class ImageKind { Png32, Png24, Png8, Bmp24, Tga24, DdsDxt1, DdsDxt5, DdsArgb, Jpg };

// "png32", "png24", "png8", "bmp24", "tga24", "dxt1", "dxt5", "dds-argb", "jpg".
std::optional<ImageKind> imageKindNamed(const std::string& name);
const char* imageKindNames();  // the list above, for error messages

// The file's bytes (empty for Jpg, which the stage writes itself).
std::string encodeImage(ImageKind kind, const std::vector<std::uint32_t>& argb, std::uint32_t width,
                        std::uint32_t height);

}  // namespace simhost

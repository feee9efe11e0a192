#pragma once
// The two UDP packet layouts most dashboard apps, wheel displays and shakers
// read: format A (66 little-endian floats) and format B (a gauge packet).
// Built into caller-owned buffers: no allocation per frame. Windows-free.
#include <cstddef>
#include <cstdint>
#include <span>

#include "telemetry/CarSample.h"
#include "telemetry/GearCoding.h"

namespace ostrel::telemetry {

inline constexpr std::size_t kFormatASize = 264;
inline constexpr std::size_t kFormatBSize = 96;           // with the id
inline constexpr std::size_t kFormatBSizeWithoutId = 92;  // no id set

struct PacketCoding {
  GearMap gears = defaultGearMap();
  std::int32_t reverseCode = -1;  // format A's number for reverse: -1 or 10
  std::int32_t id = 0;            // format B's id; 0 leaves it out
};

// Both return the number of bytes to send.
std::size_t buildFormatA(const CarSample& car, const PacketCoding& coding, std::span<std::uint8_t, kFormatASize> out);
std::size_t buildFormatB(const CarSample& car, const PacketCoding& coding, std::span<std::uint8_t, kFormatBSize> out);

// Format B's dash light bits.
inline constexpr std::uint32_t kLightShift = 1u << 0;
inline constexpr std::uint32_t kLightOilWarning = 1u << 8;  // the engine's overheat warning
inline constexpr std::uint32_t kLightBattery = 1u << 9;
// Format B's flag bits.
inline constexpr std::uint16_t kFlagTurbo = 1u << 13;
inline constexpr std::uint16_t kFlagPrefersKmh = 1u << 14;
inline constexpr std::uint16_t kFlagPrefersBar = 1u << 15;

}  // namespace ostrel::telemetry

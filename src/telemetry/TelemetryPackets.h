#pragma once
// The UDP packet layouts most dashboard apps, wheel displays and shakers
// read: format A (66 little-endian floats) and format B (a gauge packet).
// Each format is one row of packetFormats(): its letter in the Targets
// setting, its sizes, its builder, its gear coding, its default port and the
// listener's summary of one packet. Built into caller-owned buffers: no
// allocation per frame. Windows-free.
#include <cstddef>
#include <cstdint>
#include <span>

#include "telemetry/CarSample.h"
#include "telemetry/GearCoding.h"
#include "telemetry/TelemetryTargets.h"

namespace ostrel::telemetry {

inline constexpr std::size_t kFormatASize = 264;
inline constexpr std::size_t kFormatBSize = 96;           // with the id
inline constexpr std::size_t kFormatBSizeWithoutId = 92;  // no id set
inline constexpr std::size_t kMaxPacketSize = 264;        // the largest of any format

struct PacketCoding {
  GearMap gears = defaultGearMap();
  std::int32_t reverseCode = -1;  // format A's number for reverse: -1 or 10
  std::int32_t id = 0;            // format B's id; 0 leaves it out
};

using PacketBuffer = std::span<std::uint8_t, kMaxPacketSize>;

struct PacketFormatRow {
  PacketFormat format;  // its place in the table
  char letter;          // as the Targets setting names it (small letters too)
  std::size_t sizes[2];  // the sizes it sends; a 0 is no size
  // Fills `out` and returns the number of bytes to send.
  std::size_t (*build)(const CarSample& car, const PacketCoding& coding, PacketBuffer out);
  // The gear as the packet carries it, and the reverse: its name ("N", "R",
  // "1".."9", or "?").
  std::int32_t (*gearCode)(Gear gear, std::int32_t reverseCode);
  const char* (*gearName)(std::int32_t code);
  std::uint16_t defaultPort;
  // Follows the stage's phases: its end is sent when the stage ends for the
  // player, then nothing until a new stage. A format without phases is sent
  // while a stage is driven and stops when it is not.
  bool phases;
  // The listener's line about one packet of this format (the packet's size
  // is one of `sizes`), written into `out` with room for `room` bytes.
  void (*summary)(const std::uint8_t* packet, std::size_t size, double packetsPerSecond, char* out, std::size_t room);
};

inline constexpr std::size_t kFormatCount = 2;
std::span<const PacketFormatRow, kFormatCount> packetFormats();
const PacketFormatRow& formatRow(PacketFormat format);
// The row of a letter (either case) or of a packet size; null for none.
const PacketFormatRow* formatOfLetter(char letter);
const PacketFormatRow* formatOfSize(std::size_t size);
bool hasSize(const PacketFormatRow& row, std::size_t size);

// The builders of the two rows.
std::size_t buildFormatA(const CarSample& car, const PacketCoding& coding, std::span<std::uint8_t, kFormatASize> out);
std::size_t buildFormatB(const CarSample& car, const PacketCoding& coding, std::span<std::uint8_t, kFormatBSize> out);

// What a format with phases sends once the stage is over for the player,
// made from the last values: stage time, distance, progress and speeds 0
// (tools take a lap time and distance back to 0 for the end); the laps, the
// result, the engine speeds and the rest kept.
CarSample stageOver(const CarSample& last);

// Format A's float slots by byte offset, as its tools read them.
enum FormatAOffset : std::size_t {
  kARunTime = 0,
  kALapTime = 4,
  kALapDistance = 8,
  kATotalDistance = 12,  // progress 0..1 in rally use
  kASpeed = 28,
  kAWheelSpeedRL = 100,  // then RR, FL, FR
  kAGear = 132,
  kAEngineSpeed = 148,  // tens of rpm
  kALapsCompleted = 236,
  kATotalLaps = 240,
  kATrackLength = 244,
  kALastLapTime = 248,
  kAMaxEngineSpeed = 252,
  kAIdleEngineSpeed = 256,
  kAForwardGears = 260,
};

// Format B's car name: three letters or digits and a zero byte, as tools
// read a car's name ("CR1" for the first car slot).
inline constexpr std::size_t kBCarName = 4;
// Format B's dash light bits.
inline constexpr std::uint32_t kLightShift = 1u << 0;
inline constexpr std::uint32_t kLightOilWarning = 1u << 8;  // the engine's overheat warning
inline constexpr std::uint32_t kLightBattery = 1u << 9;
// Format B's flag bits.
inline constexpr std::uint16_t kFlagTurbo = 1u << 13;
inline constexpr std::uint16_t kFlagPrefersKmh = 1u << 14;
inline constexpr std::uint16_t kFlagPrefersBar = 1u << 15;

}  // namespace ostrel::telemetry

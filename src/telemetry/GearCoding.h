#pragma once
// How the host's gear index (0..7) is told to a consumer: each index is
// neutral, reverse or a forward gear, by the GearMap setting; each packet
// format then has its own numbers for these. Windows-free.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace ostrel::telemetry {

struct Gear {
  enum class Kind : std::uint8_t { kNeutral, kReverse, kForward };
  Kind kind = Kind::kNeutral;
  std::uint8_t number = 0;  // forward gears: 1..9
  friend bool operator==(const Gear&, const Gear&) = default;
};

inline constexpr int kGearIndexCount = 8;
using GearMap = std::array<Gear, kGearIndexCount>;

// "N,1,2,3,4,5,6,R": one entry per gear index, N for neutral, R for reverse,
// 1..9 for a forward gear; blanks are ignored and letters may be small.
const char* defaultGearMapText();  // "N,1,2,3,4,5,6,R"
GearMap defaultGearMap();
// Null for a text that does not name exactly eight gears; `problem` says why.
std::optional<GearMap> parseGearMap(const std::string& text, std::string& problem);

// The gear of an index; an index outside 0..7 is neutral.
Gear gearOf(const GearMap& map, std::int32_t gearIndex);
// The highest forward gear the map names.
int forwardGearCount(const GearMap& map);

// Format A: neutral 0, forward n, reverse `reverseCode` (-1 or 10).
float formatAGear(Gear gear, std::int32_t reverseCode);
// Format B: reverse 0, neutral 1, forward n as n + 1.
std::uint8_t formatBGear(Gear gear);

}  // namespace ostrel::telemetry

#pragma once
// The Targets setting: up to four "FORMAT@HOST:PORT" entries separated by
// commas, e.g. "A@127.0.0.1:20777, B@127.0.0.1:4444". Windows-free.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::telemetry {

enum class PacketFormat : std::uint8_t { kA, kB };

inline constexpr std::size_t kMaxTargets = 4;

struct Target {
  PacketFormat format = PacketFormat::kA;
  std::string host;  // a dotted IPv4 address or a name to resolve
  std::uint16_t port = 0;
  std::string text;  // the entry as written, for log lines
};

struct TargetProblem {
  std::string entry;   // the entry as written
  std::string reason;  // why it is skipped
};

struct TargetList {
  std::vector<Target> targets;
  std::vector<TargetProblem> problems;
};

TargetList parseTargets(const std::string& text);

// The formats' letters as a sentence ("A and B"), from the format table.
std::string formatLetters();
// The Targets setting's default: the first format to this computer on its
// default port ("A@127.0.0.1:20777").
const char* defaultTargetsText();

// A dotted-quad IPv4 address in network byte order, or null for any other text.
std::optional<std::uint32_t> parseIPv4(const std::string& text);

}  // namespace ostrel::telemetry

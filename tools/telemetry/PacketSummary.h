#pragma once
// One line about the packets of one second: which format, how many, and the
// main values of the last one. Read at the offsets the consumers' tools use.
#include <cstddef>
#include <cstdint>
#include <string>

struct PacketSummary {
  int packets = 0;
  int formatA = 0, formatB = 0, unknown = 0;
  std::size_t lastSize = 0;
  std::uint8_t last[512] = {};

  void add(const std::uint8_t* bytes, std::size_t size);
  // "no packets" when none came; resets the counts for the next second.
  std::string line(double seconds);
};

#pragma once
// One line about the packets of one second: which format, how many, and the
// main values of the last one, read by the format table's summaries; and,
// as they happen, the stage's phases read from format A's packets by the
// rules players' tools follow.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "telemetry/PhaseReader.h"

struct PacketSummary {
  int packets = 0;
  std::size_t lastSize = 0;
  std::uint8_t last[512] = {};
  ostrel::telemetry::PhaseReader phases;
  float lastRunTime = 0.0f;

  // Takes one packet; returns the phase lines it tells ("" for none).
  std::string add(const std::uint8_t* bytes, std::size_t size);
  // "no packets" when none came; resets the counts for the next second.
  std::string line(double seconds);
};

// The listener's usage text, with each format's default port.
std::string usageText();

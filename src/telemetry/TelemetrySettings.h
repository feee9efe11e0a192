#pragma once
// The Telemetry section as last read from the plug-in's settings file, raw:
// the settings table's rows put values here, and the telemetry code checks
// them when they change. Windows-free.
#include <cstdint>
#include <string>

namespace ostrel::telemetry {

struct StoredTelemetry {
  bool enabled = false;
  std::string targets;
  std::int32_t rate = 0;
  std::string gearMap;
  std::int32_t reverseCode = 0;
  std::int32_t idleRpm = 0;
  std::int32_t maxRpm = 0;
  std::int32_t id = 0;
  friend bool operator==(const StoredTelemetry&, const StoredTelemetry&) = default;
};

const StoredTelemetry& storedTelemetry();
// Counts the values put here (0 until the settings are first read), so the
// frame's check for a change is one compare.
std::uint32_t storedTelemetryGeneration();
// What a settings row does with the value it read.
void store(bool StoredTelemetry::*field, std::int32_t stored);
void store(std::int32_t StoredTelemetry::*field, std::int32_t stored);
void store(std::string StoredTelemetry::*field, const std::string& stored);

}  // namespace ostrel::telemetry

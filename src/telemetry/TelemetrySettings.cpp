#include "telemetry/TelemetrySettings.h"

namespace ostrel::telemetry {
namespace {

StoredTelemetry& stored() {
  static StoredTelemetry values;
  return values;
}

std::uint32_t generation = 0;

}  // namespace

const StoredTelemetry& storedTelemetry() { return stored(); }
std::uint32_t storedTelemetryGeneration() { return generation; }

void store(bool StoredTelemetry::*field, std::int32_t value) {
  stored().*field = value != 0;
  ++generation;
}

void store(std::int32_t StoredTelemetry::*field, std::int32_t value) {
  stored().*field = value;
  ++generation;
}

void store(std::string StoredTelemetry::*field, const std::string& value) {
  stored().*field = value;
  ++generation;
}

}  // namespace ostrel::telemetry

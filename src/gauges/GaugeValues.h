#pragma once
// Gauge values, fractions and conditions read from the host's car records.
// With no car loaded (or a record missing) values read 0 and conditions are
// false. Windows-free.
#include "gauges/GaugeValueContext.h"
#include "gauges/GaugeValueId.h"

namespace ostrel::gauges {

float readValue(GaugeValueContext& context, GaugeValueId id);
float readFraction(GaugeValueContext& context, GaugeValueId id, float min, float max);
bool testCondition(GaugeValueContext& context, GaugeValueId id, float threshold);
// The gear index the host shows (0..7 in play), -1 without a car state.
std::int32_t readGearIndex();
// The car slot whose data file the car uses (0..7), 0 where unknown.
std::int32_t carSlot();

}  // namespace ostrel::gauges

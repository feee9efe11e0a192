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

}  // namespace ostrel::gauges

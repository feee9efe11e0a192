#pragma once
#include <string>

#include "gauges/GaugeEffect.h"

namespace ostrel::gauges {
// Reads one effect section (name lower-case) of a definition file.
void readGaugeEffect(GaugeEffect& effect, const std::string& section, const std::string& file);
}  // namespace ostrel::gauges

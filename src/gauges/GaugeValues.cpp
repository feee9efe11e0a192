#include "gauges/GaugeValues.h"

#include "gauges/GaugeMath.h"
#include "gauges/ValueSources.h"
#include "panels/HostState.h"

namespace ostrel::gauges {

using host::field;

float readValue(GaugeValueContext& context, GaugeValueId id) {
  const ValueSource* row = valueSource(id);
  return row && row->read ? row->read(context) : 0.0f;
}

float readFraction(GaugeValueContext& context, GaugeValueId id, float min, float max) {
  const ValueSource* row = valueSource(id);
  if (row && row->fraction) return row->fraction(context, min, max);
  return fractionBetween(readValue(context, id), min, max);
}

bool testCondition(GaugeValueContext& context, GaugeValueId id, float threshold) {
  const ValueSource* row = valueSource(id);
  if (!row) return false;
  switch (row->kind) {
    case SourceKind::kValue: return false;
    case SourceKind::kValueOrAbove: return row->read(context) > threshold;
    case SourceKind::kCondition: return row->holds(context, threshold);
  }
  return false;
}

std::int32_t readGearIndex() {
  const auto* c = host::pointers().carStateBlock;
  return c ? field<std::int32_t>(c, host::kGearOffset) : -1;
}

std::int32_t carSlot() {
  const std::uint8_t* block = host::pointers().gaugeValueBlock;
  const std::uint32_t slot = block ? field<std::uint32_t>(block, host::kCarSlotOffset) : 0;
  return slot <= 7 ? static_cast<std::int32_t>(slot) : 0;
}

}  // namespace ostrel::gauges

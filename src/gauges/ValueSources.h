#pragma once
// Every value source a gauge can read, declared once: its keyword, its id,
// whether it is a value or a condition, how it is read from the host's
// records, what the preview tool sets for it and its unit. readValue,
// readFraction, testCondition, the keyword lookup, the lint, the preview tool
// and a test of the author's guide all work from these rows. Windows-free.
#include <cstdint>
#include <span>

#include "gauges/GaugeValueContext.h"
#include "gauges/GaugeValueId.h"

namespace ostrel::gauges {

// A fixed text as the table keeps it (see FT_FN in plugin/FixedText.h).
using SourceTextFn = const char* (*)();

enum class SourceKind : std::uint8_t {
  kValue,           // read; as a condition it never holds
  kValueOrAbove,    // read; as a condition it holds while the value is above the threshold
  kCondition,       // tested only; reads 0 as a value
};

// The preview tool's car beyond the host records behind host::pointers():
// what the renderer's context holds for the gauges, and the distance driven.
struct PreviewCarValues {
  GaugeValueContext context;  // maximum engine speed, shift points, the clock
  double drivenMetres = 0.0;  // since the set was loaded
};

struct ValueSource {
  SourceTextFn keyword;
  GaugeValueId id;
  SourceKind kind;
  // A value (null for a condition, and for "none").
  float (*read)(GaugeValueContext&) = nullptr;
  // A condition's own test (null for a value).
  bool (*holds)(GaugeValueContext&, float threshold) = nullptr;
  // Where a fraction is not the value between the element's minimum and
  // maximum (the shift lights): its own reckoning.
  float (*fraction)(GaugeValueContext&, float min, float max) = nullptr;
  // The unit the guide names (null where the value has none).
  SourceTextFn unit = nullptr;
  // The preview tool's `--set keyword=X`: writes the host records (through
  // host::pointers()) and `car` so that the gauges read X back.
  void (*preview)(PreviewCarValues& car, double x) = nullptr;
  SourceTextFn previewMeaning = nullptr;  // what --list says X is

  bool isCondition() const { return kind != SourceKind::kValue; }
};

// The rows in id order: valueSources()[id].id == id.
std::span<const ValueSource> valueSources();
// The row of an id, null outside the table.
const ValueSource* valueSource(GaugeValueId id);

}  // namespace ostrel::gauges

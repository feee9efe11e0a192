// What the plug-in runs per frame or per tick, measured natively: the damage
// rules over all 88 parts, the length decoder over real compiled code, the
// gauges' number formats.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "gauges/NumberFormats.h"
#include "hooks/InstructionLength.h"
#include "panels/DamageRules.h"

namespace {

void ClassifyAllParts(benchmark::State& state) {
  // A damaged car: words of small fractions and flags, some crack floats.
  std::vector<std::uint8_t> block(291 * 4);
  std::mt19937 rng(7);
  for (std::size_t w = 0; w < 291; ++w) {
    const float f = static_cast<float>(rng() % 100) / 100.0f;
    std::memcpy(block.data() + 4 * w, &f, 4);
  }
  std::vector<float> cracks(32, 0.25f);
  const ostrel::DamageWords damage{block.data(), cracks.data()};
  for (auto _ : state) {
    int sum = 0;
    for (int part = 0; part < ostrel::kPartCount; ++part) sum += ostrel::classifyPart(damage, part);
    benchmark::DoNotOptimize(sum);
  }
  state.counters["time/part"] = benchmark::Counter(static_cast<double>(state.iterations() * ostrel::kPartCount),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(ClassifyAllParts);

std::vector<unsigned char> realCode() {
  std::ifstream in(std::string(OSTREL_DECODER_REFERENCE) + "/wine32_ntdll.bin", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void InstructionLengthRealCode(benchmark::State& state) {
  const std::vector<unsigned char> code = realCode();
  if (code.empty()) {
    state.SkipWithError("no decoder reference code; build the native tree first");
    return;
  }
  std::int64_t decoded = 0;
  for (auto _ : state) {
    std::size_t at = 0;
    while (at < code.size()) {
      const int length = ostrel::instructionLength(code.data() + at, code.size() - at, 32);
      at += length > 0 ? static_cast<std::size_t>(length) : 1;
      ++decoded;
    }
  }
  state.SetItemsProcessed(decoded);  // items/s = instructions per second
  state.counters["time/instruction"] =
      benchmark::Counter(static_cast<double>(decoded), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(InstructionLengthRealCode)->Unit(benchmark::kMillisecond);

void FormatNumber(benchmark::State& state) {
  const auto format = static_cast<std::int32_t>(state.range(0));
  float v = 0.0f;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ostrel::gauges::formatNumber(format, v));
    v += 1.37f;
    if (v > 9000.0f) v = 0.0f;
  }
  state.SetLabel(ostrel::gauges::numberFormatKeyword(format));
}
BENCHMARK(FormatNumber)->DenseRange(1, ostrel::gauges::kNumberFormatCount - 1);

}  // namespace

BENCHMARK_MAIN();

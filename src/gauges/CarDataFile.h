#pragma once
// Fills a value context's shift tables and maximum engine speed from the host's
// car data file of the current car slot (Cars\Car<N>\engine.txt next to the
// host executable).
namespace ostrel::gauges {
struct GaugeValueContext;
void loadCarData(GaugeValueContext& context);
}  // namespace ostrel::gauges

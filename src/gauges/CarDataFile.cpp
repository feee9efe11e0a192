#include "gauges/CarDataFile.h"

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "gauges/GaugeValueContext.h"
#include "panels/HostState.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"

namespace ostrel::gauges {
namespace {

std::string hostExecutableFolder() {
  char path[520] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, 519);
  std::string p(path, n < 520 ? n : 519);
  const std::size_t cut = p.find_last_of("\\/");
  return cut == std::string::npos ? std::string(".") : p.substr(0, cut);
}

const char* carFileName(std::uint32_t slot) {
  switch (slot) {
    case 0: return FT("Cars\\Car1\\engine.txt");
    case 1: return FT("Cars\\Car2\\engine.txt");
    case 2: return FT("Cars\\Car3\\engine.txt");
    case 3: return FT("Cars\\Car4\\engine.txt");
    case 4: return FT("Cars\\Car5\\engine.txt");
    case 5: return FT("Cars\\Car6\\engine.txt");
    case 6: return FT("Cars\\Car7\\engine.txt");
    default: return FT("Cars\\Car8\\engine.txt");
  }
}

// One pass per table, as each table is its own look-up over the file.
void fillTable(bool up, std::vector<float>& table, float& maxRpm) {
  table.clear();
  const std::uint8_t* block = host::pointers().gaugeValueBlock;
  if (!block) return;
  const std::uint32_t slot = host::field<std::uint32_t>(block, host::kCarSlotOffset);
  if (slot > 7) return;
  const std::string file = hostExecutableFolder() + "\\" + carFileName(slot);
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    logText(std::string(FT("Gauges: car data file not found: ")) + file);
    return;
  }
  std::ostringstream text;
  text << in.rdbuf();
  parseShiftTable(text.str(), up, table, maxRpm);
}

}  // namespace

void loadCarData(GaugeValueContext& context) {
  try {
    fillTable(true, context.upshiftRpm, context.maxRpm);
    fillTable(false, context.downshiftRpm, context.maxRpm);
  } catch (...) {
    // Shift lights simply stay dark.
    context.upshiftRpm.clear();
    context.downshiftRpm.clear();
    logText(FT("Gauges: car data file could not be read"));
  }
}

}  // namespace ostrel::gauges

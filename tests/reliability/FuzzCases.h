#pragma once
// What a fuzz case is: which loader it feeds, the file it writes, and how a
// saved reproducer's file name says which loader it belongs to.
#include <cstdint>
#include <string>
#include <vector>

#include "Mutator.h"

namespace fuzz {

enum class Kind {
  TireSettings,       // TireHUD.ini -> tire panel construction and reload
  CarDamageSettings,  // carDamageHUD.ini -> car damage panel reload with its images
  PartTableSettings,  // DamagedPartTableHUD.ini -> damaged part table
  PluginSettings,     // OSTREL.ini -> hook configuration
  GaugeSettings,      // gauges.ini -> the page's gauge switches
  GaugeDefinition,    // Gauges.ini -> gauge renderer
  Image,              // a .png -> image loading
};
inline constexpr int kKindCount = 7;

const char* kindPrefix(Kind k);     // reproducer file name prefix
const char* kindExtension(Kind k);  // ".ini" or ".png"
// The kind a reproducer file belongs to, from its name; false when none.
bool kindFromFileName(const std::string& fileName, Kind& kind);

// The intact files each mutation starts from.
struct Seeds {
  Bytes text[kKindCount];     // by kind, for the settings and definition kinds
  std::vector<Bytes> images;  // PNGs
  std::vector<Bytes> others;  // BMP and JPEG files to pass off as PNG
};

struct Case {
  Kind kind = Kind::TireSettings;
  Bytes content;
  std::string description;
};

Case makeCase(const Seeds& seeds, std::uint64_t seed, std::uint64_t index);

Bytes readFileBytes(const std::string& path);
bool writeFileBytes(const std::string& path, const Bytes& content);

}  // namespace fuzz

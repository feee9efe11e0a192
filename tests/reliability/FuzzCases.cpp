#include "FuzzCases.h"

#include <fstream>
#include <iterator>

namespace fuzz {

const char* kindPrefix(Kind k) {
  switch (k) {
    case Kind::TireSettings: return "tirehud";
    case Kind::CarDamageSettings: return "cardamagehud";
    case Kind::PartTableSettings: return "parttablehud";
    case Kind::PluginSettings: return "pluginini";
    case Kind::GaugeSettings: return "gaugesini";
    case Kind::GaugeDefinition: return "gaugedef";
    case Kind::Image: return "image";
  }
  return "unknown";
}

const char* kindExtension(Kind k) { return k == Kind::Image ? ".png" : ".ini"; }

bool kindFromFileName(const std::string& fileName, Kind& kind) {
  for (int i = 0; i < kKindCount; ++i) {
    const Kind k = static_cast<Kind>(i);
    const std::string prefix = std::string(kindPrefix(k)) + "-";
    const std::string ext = kindExtension(k);
    if (fileName.rfind(prefix, 0) == 0 && fileName.size() > prefix.size() + ext.size() &&
        fileName.compare(fileName.size() - ext.size(), ext.size(), ext) == 0) {
      kind = k;
      return true;
    }
  }
  return false;
}

Case makeCase(const Seeds& seeds, std::uint64_t seed, std::uint64_t index) {
  Rng rng = caseRng(seed, index);
  Case c;
  // Images and gauge definitions have the most to break; weight them up.
  static const Kind order[] = {Kind::TireSettings,    Kind::CarDamageSettings, Kind::PartTableSettings,
                               Kind::PluginSettings,  Kind::GaugeSettings,     Kind::GaugeDefinition,
                               Kind::GaugeDefinition, Kind::Image,             Kind::Image};
  c.kind = order[rng.below(sizeof order / sizeof order[0])];
  c.description = kindPrefix(c.kind);
  if (c.kind == Kind::Image) {
    const Bytes empty;
    const Bytes& png = seeds.images.empty() ? empty : seeds.images[rng.below(static_cast<std::uint32_t>(seeds.images.size()))];
    c.content = mutateImage(png, seeds.others, rng, c.description);
  } else {
    c.content = mutateText(seeds.text[static_cast<int>(c.kind)], rng, c.description);
  }
  return c;
}

Bytes readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeFileBytes(const std::string& path, const Bytes& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
  return static_cast<bool>(out);
}

}  // namespace fuzz

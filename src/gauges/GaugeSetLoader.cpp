// Reading a definition file into the renderer's effects, elements, refresh
// rectangles and set option.
#include "TextureHandler.h"
#include "gauges/CarDataFile.h"
#include "gauges/CheckedSets.h"
#include "gauges/GaugeEffectReader.h"
#include "gauges/GaugeElementKinds.h"
#include "gauges/GaugeElements.h"
#include "gauges/GaugeKeywords.h"
#include "gauges/GaugeLint.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/Settings.h"

#include <cctype>
#include <memory>
#include <utility>

namespace ostrel {
namespace {

// The element of the kind whose keyword is `type`; null when no kind has it.
std::unique_ptr<gauges::TextureObject> makeElement(const std::string& type, const gauges::ElementSource& source) {
  std::unique_ptr<gauges::TextureObject> made;
  gauges::forEachElementKind([&]<class Row>(const Row& row) {
    if (!made && type == row.keyword()) made = std::make_unique<typename Row::Class>(source);
  });
  return made;
}

}  // namespace

void TextureHandler::loadGaugeSet() {
  using namespace gauges;
  const std::string& file = definitionPath_;
  // The author's mistakes first, in the words of the lint tool, once per set
  // (not for every texture the host creates from it); images are reported as
  // they load.
  if (firstLoadOfSet(file)) {
    LintOptions lint;
    lint.otherDefinitions = siblingDefinitions(file);
    for (const LintMessage& m : lintGaugeDefinition(file, lint)) logText(m.line());
  }
  for (const std::string& written : listSettingSections(file)) {
    if (written.empty()) continue;
    std::string section = written;
    for (char& c : section) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (section == keys::textureSection()) {
      setOption_ = readSettingInt(section, keys::setOption(), 0, file);
      if (setOption_ != 0) logText(std::string(FT("Gauges: set option ")) + std::to_string(setOption_));
      continue;
    }
    const std::string t = readSettingTextLower(section, keys::type(), "", file);
    if (t.empty()) continue;
    if (t == keys::typeEffect()) {
      logText(std::string(FT("Gauges: effect ")) + section);
      auto effect = std::make_unique<GaugeEffect>();
      readGaugeEffect(*effect, section, file);
      effects_.push_back(std::move(effect));
      continue;
    }
    // Elements read their keys under the name as written (the readers ignore
    // case), so their messages name the section the way the author does.
    std::unique_ptr<TextureObject> element = makeElement(t, {device_, written, file, effects_, fonts_});
    if (element) {
      logText(std::string(FT("Gauges: element ")) + section);
      elements_.push_back(std::move(element));
      continue;
    }
    if (t == keys::typeRefresh()) {
      logText(std::string(FT("Gauges: refresh rectangle ")) + section);
      RefreshRect r;
      r.left = readSettingInt(section, keys::left(), 0, file);
      r.top = readSettingInt(section, keys::top(), 0, file);
      r.right = readSettingInt(section, keys::right(), 0, file);
      r.bottom = readSettingInt(section, keys::bottom(), 0, file);
      refreshRects_.push_back(r);
    }
  }
  auto context = std::make_unique<GaugeValueContext>();
  loadCarData(*context);
  valueContext_ = std::move(context);
}

}  // namespace ostrel

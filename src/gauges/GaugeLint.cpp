#include "gauges/GaugeLint.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "gauges/GaugeKeywords.h"
#include "gauges/GaugeValueId.h"
#include "gauges/NumberFormats.h"
#include "plugin/FixedText.h"
#include "plugin/NumberText.h"

namespace ostrel::gauges {
namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

struct Entry {
  std::string key, value;  // key as written
};
struct Section {
  std::string name;
  std::vector<Entry> entries;
  bool repeated = false;  // a later section of a name already used
  const Entry* find(const std::string& lowerKey) const {
    for (const Entry& e : entries)
      if (lower(e.key) == lowerKey) return &e;
    return nullptr;
  }
  std::string value(const std::string& lowerKey) const {
    const Entry* e = find(lowerKey);
    return e ? e->value : std::string();
  }
};

// The definition file as the profile functions see it: sections in file
// order, key=value lines, ';' comments. A second section of one name is
// listed again but never read: every look-up finds the first.
bool parseDefinition(const std::string& file, std::vector<Section>& out) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::string line;
  Section* current = nullptr;
  while (std::getline(in, line)) {
    line = trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const auto close = line.find(']');
      const std::string name = trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      bool repeated = false;
      for (const Section& s : out) repeated |= lower(s.name) == lower(name);
      out.push_back({name, {}, repeated});
      current = &out.back();
      continue;
    }
    const auto eq = line.find('=');
    if (!current || eq == std::string::npos) continue;
    std::string value = trim(line.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    current->entries.push_back({trim(line.substr(0, eq)), value});
  }
  return true;
}

std::string folderWithSlash(const std::string& file) {
  const auto cut = file.find_last_of("\\/");
  return cut == std::string::npos ? std::string("./") : file.substr(0, cut) + "/";
}

std::string normalisedTarget(std::string t) {
  t = lower(t);
  std::replace(t.begin(), t.end(), '\\', '/');
  return t;
}

bool isCondition(GaugeValueId id) {
  return id == 2 || id == 3 || id == 6 || id == 7 || id == 23 || id == 24 || (id >= 35 && id <= 43);
}

std::vector<std::string> valueKeywords() {
  std::vector<std::string> k;
  for (int i = 1; i < kGaugeValueCount; ++i) k.push_back(gaugeValueKeyword(i));
  return k;
}

enum class Num { None, Float, Int, Hex };

// What each section kind accepts. Calibration points and gear images are
// matched by their stems.
struct Kind {
  std::string type;
  std::vector<std::string> keys;
  bool calibration = false;
  bool gearImages = false;
};

std::vector<Kind> kinds() {
  using namespace keys;
  const std::vector<std::string> common{lower(type()), lower(posX()), lower(posY()), lower(valueSource()),
                                        lower(colour()), lower(effectName())};
  auto with = [&](std::vector<std::string> extra) {
    extra.insert(extra.end(), common.begin(), common.end());
    return extra;
  };
  const std::vector<std::string> cal{lower(rangeForm()), lower(angleMin()), lower(angleMax()), lower(valueMin()),
                                     lower(valueMax())};
  std::vector<std::string> needle = with({lower(image()), lower(pivotX()), lower(pivotY()), lower(instant()),
                                          lower(speed()), lower(stiffness()), lower(damping())});
  needle.insert(needle.end(), cal.begin(), cal.end());
  std::vector<std::string> pie = with({lower(image())});
  pie.insert(pie.end(), cal.begin(), cal.end());
  return {
      {typeEffect(), {lower(type()), lower(mode()), lower(blinkPeriod()), lower(effectColour()), lower(trigger()),
                      lower(threshold())}},
      {typeGear(), with({}), false, true},
      {typeNeedle(), needle, true},
      {typeLight(), with({lower(image()), lower(threshold())})},
      {typeBar(), with({lower(image()), lower(min()), lower(max()), lower(direction())})},
      {typeNumber(), with({lower(format()), lower(align()), lower(angle()), lower(font())})},
      {typeStatic(), with({lower(image())})},
      {typeColour(), with({lower(image()), lower(min()), lower(max()), lower(colourFrom()), lower(colourTo())})},
      {typePie(), pie, true},
      {typeRefresh(), {lower(type()), lower(left()), lower(top()), lower(right()), lower(bottom())}},
  };
}

Num numberKind(const std::string& k) {
  using namespace keys;
  for (const char* f : {posX(), posY(), pivotX(), pivotY(), speed(), stiffness(), damping(), angleMin(), angleMax(),
                        valueMin(), valueMax(), threshold(), min(), max(), angle(), blinkPeriod()})
    if (k == lower(f)) return Num::Float;
  for (const char* i : {instant(), setOption(), left(), top(), right(), bottom()})
    if (k == lower(i)) return Num::Int;
  for (const char* h : {colour(), colourFrom(), colourTo(), effectColour()})
    if (k == lower(h)) return Num::Hex;
  return Num::None;
}

// What the conversion of `text` leaves unread, trailing blanks aside
// ("1,5" as a float leaves ",5"; "12.5" as an integer leaves ".5").
std::string textAfterNumber(const std::string& text, Num kind) {
  char* end = nullptr;
  if (kind == Num::Float)
    std::strtof(text.c_str(), &end);
  else if (kind == Num::Int)
    std::strtoll(text.c_str(), &end, 10);
  else
    std::strtoull(text.c_str(), &end, 16);
  if (!end) return {};
  const std::string rest = end;
  return rest.find_first_not_of(" \t") == std::string::npos ? std::string() : rest;
}

// "angle7" -> 7 for stem "angle"; -1 when the key is not stem + digits.
int pointIndex(const std::string& k, const std::string& stem) {
  if (k.size() <= stem.size() || k.compare(0, stem.size(), stem) != 0) return -1;
  const std::string digits = k.substr(stem.size());
  if (digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::stoi(digits);
}

class Linter {
 public:
  Linter(const std::string& file, const LintOptions& options) : file_(file), options_(options) {}

  std::vector<LintMessage> run() {
    std::vector<Section> sections;
    if (!parseDefinition(file_, sections)) {
      add(true, "", "", FT("the definition file cannot be read"));
      return out_;
    }
    checkSectionLimit(sections);
    const std::vector<Kind> all = kinds();
    std::vector<std::string> typeNames;
    for (const Kind& k : all) typeNames.push_back(k.type);
    for (const Section& s : sections) {
      const std::string name = lower(s.name);
      if (name.empty()) continue;
      if (s.repeated) {
        add(true, s.name, "", FT("a second section of this name: the plug-in reads only the first one's keys"));
        continue;
      }
      if (name == keys::textureSection()) {
        checkEntries(s);
        checkTexture(s);
        continue;
      }
      const std::string type = lower(s.value(lower(keys::type())));
      if (type.empty()) {
        add(false, s.name, keys::type(), FT("no Type: the section is ignored"));
        continue;
      }
      const Kind* kind = nullptr;
      for (const Kind& k : all)
        if (k.type == type) kind = &k;
      if (!kind) {
        add(true, s.name, keys::type(), unknown(FT("section type"), type, typeNames));
        continue;
      }
      checkEntries(s);
      checkKeys(s, *kind);
      checkNumbers(s);
      if (type == keys::typeEffect()) {
        checkEffect(s);
        effectsSoFar_.insert(name);
        continue;
      }
      if (type == keys::typeRefresh()) continue;
      checkElement(s, *kind, sections);
    }
    return out_;
  }

 private:
  void add(bool error, const std::string& section, const std::string& key, const std::string& text) {
    out_.push_back({error, file_, section, key, text});
  }
  static std::string unknown(const std::string& what, const std::string& word,
                             const std::vector<std::string>& valid) {
    std::string t = std::string(FT("unknown ")) + what + FT(" \"") + word + FT("\"");
    const std::string near = nearestSpelling(word, valid);
    if (!near.empty()) t += std::string(FT(", did you mean \"")) + near + FT("\"?");
    return t;
  }

  void checkSectionLimit(const std::vector<Section>& sections) {
    // The plug-in reads the section names into 2048 bytes: each name and its
    // terminating zero, and one more zero at the end.
    std::size_t used = 1;
    for (const Section& s : sections) {
      used += s.name.size() + 1;
      if (used > 2048)
        add(true, s.name, "", FT("past the 2048-byte list of section names: the plug-in never sees this section"));
    }
  }

  // What the profile functions make of the lines: the first of two equal
  // keys wins, and a value is cut to the 255 characters of their buffer.
  void checkEntries(const Section& s) {
    std::set<std::string> seen;
    for (const Entry& e : s.entries) {
      if (!seen.insert(lower(e.key)).second)
        add(true, s.name, e.key,
            std::string(FT("given twice in this section: only the first value, \"")) + s.find(lower(e.key))->value +
                FT("\", is read"));
      if (e.value.size() > 255)
        add(true, s.name, e.key,
            std::string(FT("value of ")) + std::to_string(e.value.size()) +
                FT(" characters: the plug-in reads only the first 255"));
    }
  }

  void checkTexture(const Section& s) {
    const std::vector<std::string> valid{lower(keys::target()), lower(keys::replacement()), lower(keys::setOption())};
    for (const Entry& e : s.entries)
      if (std::find(valid.begin(), valid.end(), lower(e.key)) == valid.end())
        add(true, s.name, e.key, unknown(FT("key"), e.key, valid));
    checkNumbers(s);
    const std::string target = s.value(lower(keys::target()));
    if (target.empty()) add(false, s.name, keys::target(), FT("no Target: this file claims no host texture"));
    const std::string replacement = s.value(lower(keys::replacement()));
    if (!replacement.empty()) checkImage(s.name, keys::replacement(), replacement);
    if (target.empty()) return;
    for (const std::string& other : options_.otherDefinitions) {
      std::vector<Section> o;
      if (!parseDefinition(other, o)) continue;
      for (const Section& os : o)
        if (!os.repeated && lower(os.name) == keys::textureSection() &&
            normalisedTarget(os.value(lower(keys::target()))) == normalisedTarget(target))
          add(true, s.name, keys::target(),
              std::string(FT("\"")) + target + FT("\" is claimed by ") + other + FT(" as well"));
    }
  }

  void checkKeys(const Section& s, const Kind& kind) {
    for (const Entry& e : s.entries) {
      const std::string k = lower(e.key);
      if (std::find(kind.keys.begin(), kind.keys.end(), k) != kind.keys.end()) continue;
      if (kind.calibration && (pointIndex(k, lower(keys::anglePoint())) >= 0 ||
                               pointIndex(k, lower(keys::valuePoint())) >= 0))
        continue;
      if (kind.gearImages) {
        const int g = pointIndex(k, lower(keys::gearImage()));
        if (g >= 0 && g <= 7) continue;
      }
      std::vector<std::string> valid = kind.keys;
      if (kind.calibration) {
        valid.push_back(lower(keys::anglePoint()) + "0");
        valid.push_back(lower(keys::valuePoint()) + "0");
      }
      if (kind.gearImages)
        for (int g = 0; g < 8; ++g) valid.push_back(lower(keys::gearImage()) + std::to_string(g));
      add(true, s.name, e.key, unknown(FT("key"), e.key, valid));
    }
  }

  void checkNumbers(const Section& s) {
    for (const Entry& e : s.entries) {
      const std::string k = lower(e.key);
      Num n = numberKind(k);
      if (n == Num::None && (pointIndex(k, lower(keys::anglePoint())) >= 0 || pointIndex(k, lower(keys::valuePoint())) >= 0))
        n = Num::Float;
      if (n == Num::None || e.value.empty()) continue;
      bool ok = true;
      if (n == Num::Float) {
        float f;
        ok = parseFloat(e.value.c_str(), f);
      } else if (n == Num::Int) {
        std::int32_t i;
        ok = parseInt32(e.value.c_str(), i);
      } else {
        std::uint32_t h;
        ok = parseHex32(e.value.c_str(), h);
      }
      if (!ok) {
        add(true, s.name, e.key, std::string(FT("not a number: \"")) + e.value + FT("\"; the default is used"));
        continue;
      }
      const std::string rest = textAfterNumber(e.value, n);
      if (!rest.empty())
        add(false, s.name, e.key,
            std::string(FT("\"")) + e.value + FT("\" is read as ") + e.value.substr(0, e.value.size() - rest.size()) +
                FT(": the text after the number is ignored"));
    }
  }

  void checkEffect(const Section& s) {
    const std::string mode = lower(s.value(lower(keys::mode())));
    if (mode.empty()) {
      add(false, s.name, keys::mode(), FT("no Mode: the effect never hides or recolours"));
      return;
    }
    const std::vector<std::string> words{keys::modeBlink(), keys::modeOnce(), keys::modeColour(), keys::modeColourAlt()};
    std::string word;
    auto flush = [&] {
      if (!word.empty() && std::find(words.begin(), words.end(), word) == words.end())
        add(true, s.name, keys::mode(), unknown(FT("effect mode"), word, words));
      word.clear();
    };
    for (char c : mode + " ") {
      if (std::isalpha(static_cast<unsigned char>(c)))
        word += c;
      else
        flush();
    }
    const bool triggered = mode.find(keys::modeBlink()) != std::string::npos ||
                           mode.find(keys::modeColour()) != std::string::npos ||
                           mode.find(keys::modeColourAlt()) != std::string::npos;
    checkValueKeyword(s, keys::trigger(), true, triggered);
    if (mode.find(keys::modeBlink()) != std::string::npos) {
      float p = 250.0f;
      const std::string t = s.value(lower(keys::blinkPeriod()));
      if (!t.empty() && parseFloat(t.c_str(), p) && p <= 0.0f)
        add(false, s.name, keys::blinkPeriod(), FT("a period of 0 or less never blinks"));
    }
  }

  // Checks a value keyword; `condition` asks for one that can be tested.
  void checkValueKeyword(const Section& s, const char* key, bool condition, bool required) {
    const std::string word = lower(s.value(lower(key)));
    if (word.empty()) {
      if (required) add(false, s.name, key, FT("no value source: it reads 0"));
      return;
    }
    const GaugeValueId id = gaugeValueIdFromKeyword(word);
    if (id == 0 && word != gaugeValueKeyword(0)) {
      add(true, s.name, key, unknown(FT("value source"), word, valueKeywords()));
      return;
    }
    if (condition && !isCondition(id))
      add(true, s.name, key, std::string(FT("\"")) + word + FT("\" is not a condition: it never holds"));
  }

  void checkKeyword(const Section& s, const char* key, const std::vector<std::string>& valid, const char* what) {
    const std::string word = lower(s.value(lower(key)));
    if (!word.empty() && std::find(valid.begin(), valid.end(), word) == valid.end())
      add(true, s.name, key, unknown(what, word, valid));
  }

  void checkImage(const std::string& section, const std::string& key, const std::string& name) {
    if (!options_.probeImage) return;
    const ImageState st = options_.probeImage(folderWithSlash(file_) + name);
    if (st != ImageState::Fine) add(true, section, key, imageProblemText(name, st));
  }

  void checkCalibration(const Section& s) {
    if (!s.value(lower(keys::rangeForm())).empty()) {
      float lo = 0, hi = 0;
      parseFloat(s.value(lower(keys::valueMin())).c_str(), lo);
      parseFloat(s.value(lower(keys::valueMax())).c_str(), hi);
      if (hi < lo) add(true, s.name, keys::valueMax(), FT("calibration out of order: ValueMax is below ValueMin"));
      return;
    }
    std::vector<float> values;
    int i = 0;
    for (;; ++i) {
      const std::string a = s.value(lower(keys::anglePoint()) + std::to_string(i));
      const std::string v = s.value(lower(keys::valuePoint()) + std::to_string(i));
      if (a.empty() || v.empty()) break;
      float f = -1.0f;
      parseFloat(v.c_str(), f);
      if (!values.empty() && f < values.back())
        add(true, s.name, std::string(keys::valuePoint()) + std::to_string(i),
            std::string(FT("calibration out of order: below Value")) + std::to_string(i - 1));
      values.push_back(f);
    }
    if (values.empty()) add(false, s.name, std::string(keys::anglePoint()) + "0", FT("no calibration: the element points at 0"));
    for (const Entry& e : s.entries) {
      const std::string k = lower(e.key);
      const int n = std::max(pointIndex(k, lower(keys::anglePoint())), pointIndex(k, lower(keys::valuePoint())));
      if (n > i) add(false, s.name, e.key, std::string(FT("ignored: the point list ends at ")) + std::to_string(i));
    }
  }

  void checkElement(const Section& s, const Kind& kind, const std::vector<Section>& sections) {
    const std::string& type = kind.type;
    const bool light = type == keys::typeLight();
    if (type != keys::typeGear() && type != keys::typeStatic())
      checkValueKeyword(s, keys::valueSource(), light, true);
    else if (!s.value(lower(keys::valueSource())).empty())
      checkValueKeyword(s, keys::valueSource(), false, false);
    if (type == keys::typeNumber()) {
      std::vector<std::string> formats;
      for (int f = 0; f < kNumberFormatCount; ++f) formats.push_back(numberFormatKeyword(f));
      checkKeyword(s, keys::format(), formats, FT("number format"));
      if (lower(s.value(lower(keys::format()))) == numberFormatKeyword(0))
        add(false, s.name, keys::format(), FT("format none draws no text"));
      checkKeyword(s, keys::align(), {FT("left"), keys::alignRight(), keys::alignCentre(), keys::alignCenter()},
                   FT("alignment"));
      const std::string font = s.value(lower(keys::font()));
      if (font.empty())
        add(true, s.name, keys::font(), FT("no Font: the number is not drawn"));
      else
        checkImage(s.name, keys::font(), font);
    }
    if (type == keys::typeBar())
      checkKeyword(s, keys::direction(), {keys::directionUp(), keys::directionDown(), keys::directionLeft(), FT("right")},
                   FT("direction"));
    if (kind.calibration) checkCalibration(s);
    if (type == keys::typeGear()) {
      for (int g = 0; g < 8; ++g) {
        const std::string key = std::string(keys::gearImage()) + std::to_string(g);
        const std::string name = s.value(lower(key));
        if (!name.empty()) checkImage(s.name, key, name);
      }
    } else if (type != keys::typeNumber()) {
      const std::string name = s.value(lower(keys::image()));
      if (name.empty())
        add(true, s.name, keys::image(), FT("no Image: the element draws nothing"));
      else
        checkImage(s.name, keys::image(), name);
    }
    const std::string effect = lower(s.value(lower(keys::effectName())));
    if (effect.empty()) return;
    if (type == keys::typeNeedle()) {
      add(false, s.name, keys::effectName(), FT("needles take no effect"));
      return;
    }
    if (effectsSoFar_.count(effect)) return;
    bool later = false;
    for (const Section& o : sections)
      later |= !o.repeated && lower(o.name) == effect && lower(o.value(lower(keys::type()))) == keys::typeEffect();
    add(true, s.name, keys::effectName(),
        std::string(FT("effect \"")) + effect +
            (later ? FT("\" is defined below this element: the element draws without it")
                   : FT("\" is not defined")));
  }

  std::string file_;
  const LintOptions& options_;
  std::set<std::string> effectsSoFar_;
  std::vector<LintMessage> out_;
};

std::size_t distance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diag = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diag = up;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string LintMessage::line() const {
  return file + ":" + section + ":" + key + ": " + (error ? "" : FT("warning: ")) + text;
}

std::string nearestSpelling(const std::string& word, const std::vector<std::string>& candidates) {
  const std::string w = lower(word);
  std::string best;
  std::size_t bestDistance = std::max<std::size_t>(2, w.size() / 3) + 1;
  for (const std::string& c : candidates) {
    const std::size_t d = distance(w, lower(c));
    if (d < bestDistance) {
      bestDistance = d;
      best = c;
    }
  }
  return best;
}

std::string imageProblemText(const std::string& name, ImageState state) {
  return std::string(FT("image \"")) + name +
         (state == ImageState::Missing ? FT("\" is missing") : FT("\" cannot be decoded"));
}

std::vector<std::string> siblingDefinitions(const std::string& file) {
  const auto cut = file.find_last_of("\\/");
  const std::string folder = cut == std::string::npos ? std::string() : file.substr(0, cut + 1);
  const std::string own = lower(cut == std::string::npos ? file : file.substr(cut + 1));
  std::vector<std::string> out;
  for (const char* name : {FT("Gauges.ini"), FT("Gauges2.ini")}) {
    if (lower(name) == own) continue;
    if (std::ifstream(folder + name)) out.push_back(folder + name);
  }
  return out;
}

std::vector<LintMessage> lintGaugeDefinition(const std::string& file, const LintOptions& options) {
  try {
    return Linter(file, options).run();
  } catch (...) {
    return {};
  }
}

}  // namespace ostrel::gauges

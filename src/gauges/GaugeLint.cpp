#include "gauges/GaugeLint.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "gauges/GaugeElementKinds.h"
#include "gauges/GaugeKeywords.h"
#include "gauges/GaugeValueId.h"
#include "gauges/ValueSources.h"
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
  const ValueSource* row = valueSource(id);
  return row && row->isCondition();
}

std::vector<std::string> valueKeywords() {
  std::vector<std::string> k;
  for (const ValueSource& row : valueSources())
    if (row.id != kValueNone) k.push_back(row.keyword());
  return k;
}

enum class Num { None, Float, Int, Hex };

Num numberOf(ParamType type) {
  switch (type) {
    case ParamType::Number: return Num::Float;
    case ParamType::Whole: return Num::Int;
    case ParamType::Colour: return Num::Hex;
    default: return Num::None;
  }
}

// What a section of one Type accepts: for elements their row's keys, then
// those every element reads, then the calibration's.
struct Kind {
  std::string type;
  std::vector<const Param*> params;
  const ElementKind* element = nullptr;  // null: an effect or a refresh rectangle
};

std::vector<const Param*> paramsOf(std::initializer_list<const ParamList*> lists) {
  std::vector<const Param*> out;
  for (const ParamList* list : lists)
    if (list)
      for (const Param& p : *list) out.push_back(&p);
  return out;
}

std::vector<Kind> kinds() {
  std::vector<Kind> all{{keys::typeEffect(), paramsOf({&kEffectParams})}};
  forEachElementKind([&](const ElementKind& k) {
    const ParamList* calibration = k.calibrated ? &kCalibrationParams : nullptr;
    all.push_back({k.keyword(), paramsOf({&k.params, &kEveryElementParams, calibration}), &k});
  });
  all.push_back({keys::typeRefresh(), paramsOf({&kRefreshParams})});
  return all;
}

// Every parameter of every section kind: a key holds the same type wherever
// it is read, so numbers are checked by key in any section.
std::vector<const Param*> everyParam() {
  std::vector<const Param*> all =
      paramsOf({&kTextureParams, &kEffectParams, &kEveryElementParams, &kCalibrationParams, &kRefreshParams});
  forEachElementKind([&](const ElementKind& k) {
    for (const Param& p : k.params) all.push_back(&p);
  });
  return all;
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

// Whether lower-case `k` is the key of `p` (for a numbered key: one of its numbers).
bool isKeyOf(const std::string& k, const Param& p) {
  if (p.indexes == 0) return k == lower(p.key());
  const int n = pointIndex(k, lower(p.key()));
  return n >= 0 && (p.indexes == kPointList || n < p.indexes);
}

// The keys of a section kind as "did you mean" offers them: the plain keys,
// then each numbered key (a point list by its first number).
std::vector<std::string> keysOf(const std::vector<const Param*>& params) {
  std::vector<std::string> out;
  for (const Param* p : params)
    if (p->indexes == 0) out.push_back(lower(p->key()));
  for (const Param* p : params) {
    const int count = p->indexes == kPointList ? 1 : p->indexes;
    for (int n = 0; n < count; ++n) out.push_back(lower(p->key()) + std::to_string(n));
  }
  return out;
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
      if (kind->element) checkElement(s, *kind->element, sections);
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
    const std::vector<std::string> valid = keysOf(paramsOf({&kTextureParams}));
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
      if (std::none_of(kind.params.begin(), kind.params.end(), [&](const Param* p) { return isKeyOf(k, *p); }))
        add(true, s.name, e.key, unknown(FT("key"), e.key, keysOf(kind.params)));
    }
  }

  Num numberKind(const std::string& k) const {
    for (const Param* p : everyParam_)
      if (isKeyOf(k, *p) && numberOf(p->type) != Num::None) return numberOf(p->type);
    return Num::None;
  }

  void checkNumbers(const Section& s) {
    for (const Entry& e : s.entries) {
      const std::string k = lower(e.key);
      const Num n = numberKind(k);
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

  // An element's checks, in the order its messages come: the value source,
  // its words and font (in row order), the calibration, its images, the
  // effect it names.
  void checkElement(const Section& s, const ElementKind& kind, const std::vector<Section>& sections) {
    if (kind.value != ValueUse::Unused)
      checkValueKeyword(s, keys::valueSource(), kind.value == ValueUse::Condition, true);
    else if (!s.value(lower(keys::valueSource())).empty())
      checkValueKeyword(s, keys::valueSource(), false, false);
    for (const Param& p : kind.params) checkWord(s, p);
    if (kind.calibrated) checkCalibration(s);
    for (const Param& p : kind.params)
      if (p.type == ParamType::Image) checkElementImage(s, p);
    checkEffectName(s, kind, sections);
  }

  void checkWord(const Section& s, const Param& p) {
    if (p.type == ParamType::NumberFormat) {
      std::vector<std::string> formats;
      for (int f = 0; f < kNumberFormatCount; ++f) formats.push_back(numberFormatKeyword(f));
      checkKeyword(s, p.key(), formats, FT("number format"));
      if (lower(s.value(lower(p.key()))) == numberFormatKeyword(0))
        add(false, s.name, p.key(), FT("format none draws no text"));
    } else if (p.type == ParamType::Choice) {
      std::vector<std::string> words;
      for (FixedText w : p.choices->words)
        if (w) words.push_back(w());
      checkKeyword(s, p.key(), words, p.choices->what());
    } else if (p.type == ParamType::Font) {
      const std::string font = s.value(lower(p.key()));
      if (font.empty())
        add(true, s.name, p.key(), FT("no Font: the number is not drawn"));
      else
        checkImage(s.name, p.key(), font);
    }
  }

  // One image the element draws, or numbered images each of which may be missing.
  void checkElementImage(const Section& s, const Param& p) {
    for (int n = 0; n < p.indexes; ++n) {
      const std::string key = p.key() + std::to_string(n);
      const std::string name = s.value(lower(key));
      if (!name.empty()) checkImage(s.name, key, name);
    }
    if (p.indexes != 0) return;
    const std::string name = s.value(lower(p.key()));
    if (name.empty())
      add(true, s.name, p.key(), std::string(FT("no ")) + p.key() + FT(": the element draws nothing"));
    else
      checkImage(s.name, p.key(), name);
  }

  void checkEffectName(const Section& s, const ElementKind& kind, const std::vector<Section>& sections) {
    const std::string effect = lower(s.value(lower(keys::effectName())));
    if (effect.empty()) return;
    if (kind.effectIgnored) {
      add(false, s.name, keys::effectName(), kind.effectIgnored());
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
  const std::vector<const Param*> everyParam_ = everyParam();
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

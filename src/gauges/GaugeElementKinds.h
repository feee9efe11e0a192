#pragma once
// The gauge element kinds as data: for each kind its Type keyword, the keys
// it reads with their types, and its class, which is the constructor the
// loader calls. The loader (GaugeSetLoader.cpp) looks a section's Type up
// here; the lint (GaugeLint.cpp) takes its key lists, its number checks and
// its element checks from the same rows. A new kind is one row here and its
// class (declared in GaugeElements.h).
//
// Windows-free, so the lint builds natively: a row only names its class.
#include <cstddef>
#include <initializer_list>
#include <tuple>

#include "gauges/GaugeKeywords.h"
#include "plugin/FixedText.h"

namespace ostrel::gauges {

using FixedText = const char* (*)();  // a text of the DLL, deciphered when called

// What a key holds, and so how the lint checks it.
enum class ParamType {
  Text,          // read as written
  Number,        // a decimal number
  Whole,         // a whole number
  Colour,        // hexadecimal AARRGGBB
  Image,         // an image file beside the definition
  Font,          // a digit-strip image
  ValueSource,   // a value keyword
  EffectName,    // the name of an effect section standing above
  NumberFormat,  // a number format keyword
  Choice,        // one word of a short list
};

// The words of a Choice, and what the lint calls them in its messages.
struct Choices {
  static constexpr std::size_t kMaxWords = 8;
  FixedText what = nullptr;
  FixedText words[kMaxWords]{};  // ends at the first null
};

// A key numbered from 0 that is read until the first one missing.
inline constexpr int kPointList = -1;

struct Param {
  FixedText key = nullptr;
  ParamType type = ParamType::Text;
  // 0: the key itself. Otherwise `key` is a stem numbered from 0, to
  // `indexes` - 1 or, for kPointList, as far as the points go.
  int indexes = 0;
  const Choices* choices = nullptr;  // for ParamType::Choice
};

// A short list of parameters that can be a constant.
class ParamList {
 public:
  static constexpr std::size_t kCapacity = 12;
  // More than kCapacity is no constant, so a row that long does not build.
  constexpr ParamList(std::initializer_list<Param> params) {
    for (const Param& p : params) items_[size_++] = p;
  }
  constexpr const Param* begin() const { return items_; }
  constexpr const Param* end() const { return items_ + size_; }

 private:
  Param items_[kCapacity]{};
  std::size_t size_ = 0;
};

// What an element does with its ValueSource.
enum class ValueUse {
  Unused,     // nothing: the key may be there, it is not needed
  Value,      // draws the value
  Condition,  // shows while the value, a condition, holds
};

struct ElementKind {
  FixedText keyword;  // the Type word, lower-case
  ValueUse value;
  ParamList params;         // its own keys, besides kEveryElementParams
  bool calibrated = false;  // also reads kCalibrationParams
  // Null: EffectName works. Otherwise the kind applies no effect, and this is
  // the lint's warning to an author who names one.
  FixedText effectIgnored = nullptr;
};

// A row of the table: the kind and the class the loader makes from a section
// of it, constructed from an ElementSource (TextureObject.h).
template <class Element>
struct ElementRow : ElementKind {
  using Class = Element;
};

namespace elementtext {
inline const char* alignment() { return FT("alignment"); }
inline const char* direction() { return FT("direction"); }
inline const char* needlesTakeNoEffect() { return FT("needles take no effect"); }
}  // namespace elementtext

inline constexpr Choices kAlignments{elementtext::alignment,
                                     {keys::alignLeft, keys::alignRight, keys::alignCentre, keys::alignCenter}};
inline constexpr Choices kDirections{
    elementtext::direction, {keys::directionUp, keys::directionDown, keys::directionLeft, keys::directionRight}};

// The keys every element reads (TextureObject).
inline constexpr ParamList kEveryElementParams{
    {keys::type, ParamType::Text},     {keys::posX, ParamType::Number},
    {keys::posY, ParamType::Number},   {keys::valueSource, ParamType::ValueSource},
    {keys::colour, ParamType::Colour}, {keys::effectName, ParamType::EffectName}};
// A calibrated element's scale: RangeForm with the two-point range, or the
// point list Angle0/Value0, Angle1/Value1, ...
inline constexpr ParamList kCalibrationParams{{keys::rangeForm, ParamType::Text},
                                              {keys::angleMin, ParamType::Number},
                                              {keys::angleMax, ParamType::Number},
                                              {keys::valueMin, ParamType::Number},
                                              {keys::valueMax, ParamType::Number},
                                              {keys::anglePoint, ParamType::Number, kPointList},
                                              {keys::valuePoint, ParamType::Number, kPointList}};

// The element kinds. Their order is the order in which the lint offers their
// keywords for a misspelt Type. `class X` declares the element's class right
// in its row.
inline constexpr std::tuple kElementKinds{
    ElementRow<class GearObject>{{
        .keyword = keys::typeGear,
        .value = ValueUse::Unused,
        .params = {{.key = keys::gearImage, .type = ParamType::Image, .indexes = 8}},
    }},
    ElementRow<class RotatingObject>{{
        .keyword = keys::typeNeedle,
        .value = ValueUse::Value,
        .params = {{keys::image, ParamType::Image},
                   {keys::pivotX, ParamType::Number},
                   {keys::pivotY, ParamType::Number},
                   {keys::instant, ParamType::Whole},
                   {keys::speed, ParamType::Number},
                   {keys::stiffness, ParamType::Number},
                   {keys::damping, ParamType::Number}},
        .calibrated = true,
        .effectIgnored = elementtext::needlesTakeNoEffect,
    }},
    ElementRow<class SimpleObject>{{
        .keyword = keys::typeLight,
        .value = ValueUse::Condition,
        .params = {{keys::image, ParamType::Image}, {keys::threshold, ParamType::Number}},
    }},
    ElementRow<class ExpandingObject>{{
        .keyword = keys::typeBar,
        .value = ValueUse::Value,
        .params = {{keys::image, ParamType::Image},
                   {keys::min, ParamType::Number},
                   {keys::max, ParamType::Number},
                   {.key = keys::direction, .type = ParamType::Choice, .choices = &kDirections}},
    }},
    ElementRow<class NumberObject>{{
        .keyword = keys::typeNumber,
        .value = ValueUse::Value,
        .params = {{keys::format, ParamType::NumberFormat},
                   {.key = keys::align, .type = ParamType::Choice, .choices = &kAlignments},
                   {keys::angle, ParamType::Number},
                   {keys::font, ParamType::Font}},
    }},
    ElementRow<class StaticObject>{{
        .keyword = keys::typeStatic,
        .value = ValueUse::Unused,
        .params = {{keys::image, ParamType::Image}},
    }},
    ElementRow<class ColourObject>{{
        .keyword = keys::typeColour,
        .value = ValueUse::Value,
        .params = {{keys::image, ParamType::Image},
                   {keys::min, ParamType::Number},
                   {keys::max, ParamType::Number},
                   {keys::colourFrom, ParamType::Colour},
                   {keys::colourTo, ParamType::Colour}},
    }},
    ElementRow<class PieObject>{{
        .keyword = keys::typePie,
        .value = ValueUse::Value,
        .params = {{keys::image, ParamType::Image}},
        .calibrated = true,
    }},
};

// Calls visit(row) for each row, in table order; row.Class is the class.
template <class Visit>
void forEachElementKind(Visit&& visit) {
  std::apply([&](const auto&... row) { (visit(row), ...); }, kElementKinds);
}

// The sections that are not elements: [Texture], effects and refresh
// rectangles. The lint checks their keys; the loader reads them itself.
inline constexpr ParamList kTextureParams{
    {keys::target, ParamType::Text}, {keys::replacement, ParamType::Image}, {keys::setOption, ParamType::Whole}};
inline constexpr ParamList kEffectParams{
    {keys::type, ParamType::Text},           {keys::mode, ParamType::Text},
    {keys::blinkPeriod, ParamType::Number},  {keys::effectColour, ParamType::Colour},
    {keys::trigger, ParamType::ValueSource}, {keys::threshold, ParamType::Number}};
inline constexpr ParamList kRefreshParams{{keys::type, ParamType::Text},
                                          {keys::left, ParamType::Whole},
                                          {keys::top, ParamType::Whole},
                                          {keys::right, ParamType::Whole},
                                          {keys::bottom, ParamType::Whole}};

}  // namespace ostrel::gauges

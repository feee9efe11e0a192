#include "plugin/MenuLogic.h"

#include <algorithm>
#include <cstdio>
#include <type_traits>

#include "plugin/FixedText.h"

namespace ostrel {
namespace {

void moveSelection(MenuPageState& page, const MenuInput& input) {
  const std::int32_t n = static_cast<std::int32_t>(page.items.size());
  if (n == 0) return;
  if (input.down) {
    page.selected += 1;
    if (page.selected >= n) {
      page.selected = 0;
      page.firstVisible = 0;
    } else if (page.selected - page.firstVisible >= page.visibleRows) {
      page.firstVisible += 1;
    }
  } else if (input.up) {
    page.selected -= 1;
    if (page.selected < 0) {
      page.selected = n - 1;
      page.firstVisible = std::max(0, n - page.visibleRows);
    } else if (page.selected < page.firstVisible) {
      page.firstVisible -= 1;
    }
  }
}

// Increase first, then decrease: both together cancel out unless a bound
// clipped the increase.
template <typename T>
void stepNumber(MenuItem& item, const MenuInput& input) {
  const T* value = std::get_if<T>(&item.value);
  const T* minimum = std::get_if<T>(&item.minimum);
  const T* maximum = std::get_if<T>(&item.maximum);
  const T* step = std::get_if<T>(&item.step);
  if (!value || !minimum || !maximum || !step) return;  // a malformed entry stays as it is
  // Wide arithmetic so a large step cannot wrap around.
  using Wide = std::conditional_t<std::is_integral_v<T>, long long, double>;
  Wide v = *value;
  if (input.increase && v < *maximum) v = std::min<Wide>(v + *step, *maximum);
  if (input.decrease && v > *minimum) v = std::max<Wide>(v - *step, *minimum);
  item.value = static_cast<T>(v);
}

void changeValue(MenuItem& item, const MenuInput& input) {
  if (!input.increase && !input.decrease) return;
  switch (item.kind) {
    case kWholeNumberItem: stepNumber<std::int32_t>(item, input); break;
    case kDecimalNumberItem: stepNumber<float>(item, input); break;
    case kSwitchItem:
      if (const bool* on = std::get_if<bool>(&item.value)) item.value = !*on;
      break;
    default: break;  // action entries have no value
  }
}

}  // namespace

void applyMenuInput(MenuPageState& page, const MenuInput& input) {
  moveSelection(page, input);
  if (page.selected < 0 || page.selected >= static_cast<std::int32_t>(page.items.size())) return;
  MenuItem& item = page.items[static_cast<std::size_t>(page.selected)];
  changeValue(item, input);
  if (input.select && item.action) item.action();
}

std::string menuValueText(const MenuItem& item) {
  char text[64] = {};
  switch (item.kind) {
    case kWholeNumberItem:
      if (const auto* v = std::get_if<std::int32_t>(&item.value))
        std::snprintf(text, sizeof text, "%d", static_cast<int>(*v));
      break;
    case kDecimalNumberItem:
      if (const auto* v = std::get_if<float>(&item.value))
        std::snprintf(text, sizeof text, "%.2f", static_cast<double>(*v));
      break;
    case kSwitchItem:
      if (const auto* v = std::get_if<bool>(&item.value)) return *v ? FT("ON") : FT("OFF");
      break;
    default: break;
  }
  return text;
}

}  // namespace ostrel

#pragma once
// One entry of the settings page and the value it shows. Windows-free.
#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace ostrel {

// Exactly one of integer, float or bool; the variant records which.
using TaggedValue = std::variant<std::int32_t, float, bool>;

enum MenuItemKind : std::int32_t {
  kWholeNumberItem = 0,
  kDecimalNumberItem = 1,
  kSwitchItem = 2,
  kActionItem = 3,  // anything outside 0..2 is an action entry
};

struct MenuItem {
  std::string label;
  std::int32_t kind = kWholeNumberItem;
  TaggedValue value = std::int32_t{0};
  TaggedValue minimum = std::int32_t{0};
  TaggedValue maximum = std::int32_t{0};
  TaggedValue step = std::int32_t{0};
  std::function<void()> action;
  std::string description;
  // Where the value is stored; all empty for the action entry.
  std::string settingsFile;
  std::string settingsSection;
  std::string settingsKey;
};

// The page's list and where it stands. Selection and scroll position persist
// between openings of the page.
struct MenuPageState {
  std::int32_t selected = 0;
  std::vector<MenuItem> items;
  std::int32_t firstVisible = 0;
  std::int32_t visibleRows = 10;
};

}  // namespace ostrel

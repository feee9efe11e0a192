#pragma once
// What the menu keys do to the page: moving the selection with scrolling,
// changing the selected value, running the selected action. Windows-free.
#include <string>

#include "plugin/MenuItem.h"

namespace ostrel {

struct MenuInput {
  bool up = false;
  bool down = false;
  bool decrease = false;
  bool increase = false;
  bool select = false;
};

void applyMenuInput(MenuPageState& page, const MenuInput& input);

// The value column of a row: decimal integer, fixed-point with two digits,
// "ON"/"OFF", or empty for an action entry.
std::string menuValueText(const MenuItem& item);

}  // namespace ostrel

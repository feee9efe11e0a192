#include <cstdint>

#include "plugin/FixedText.h"
#include "plugin/Log.h"

namespace ostrel {

// TODO(plugin core): the full table of D3D9, D3DX and common Windows codes.
const char* resultName(std::int32_t hr) {
  switch (static_cast<std::uint32_t>(hr)) {
    case 0x80070057u: return FT("E_INVALIDARG");
    default: return FT("Unknown");
  }
}

const char* resultDescription(std::int32_t hr) {
  switch (static_cast<std::uint32_t>(hr)) {
    case 0x80070057u: return FT("One or more arguments are invalid.");
    default: return FT("n/a");
  }
}

}  // namespace ostrel

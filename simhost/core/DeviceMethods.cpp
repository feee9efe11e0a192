#include "DeviceMethods.h"

#include <cerrno>
#include <cstdlib>

namespace simhost {
namespace {

struct MethodInfo {
  const char* name;
  DeviceCallKind kind;
  bool canFail;
};

#define SIMHOST_INFO_U(kind, name) {#name, DeviceCallKind::kind, false},
#define SIMHOST_INFO_H(kind, name, params, args) {#name, DeviceCallKind::kind, true},
#define SIMHOST_INFO_V(kind, type, name, params, args) {#name, DeviceCallKind::kind, false},
constexpr MethodInfo kMethods[] = {SIMHOST_DEVICE_METHODS(SIMHOST_INFO_U, SIMHOST_INFO_H, SIMHOST_INFO_V)};
#undef SIMHOST_INFO_U
#undef SIMHOST_INFO_H
#undef SIMHOST_INFO_V
static_assert(sizeof kMethods / sizeof kMethods[0] == kDeviceMethods);
static_assert(kDeviceMethods == 119, "IDirect3DDevice9 has 119 methods");

struct NamedResult {
  const char* name;
  std::uint32_t value;
};
constexpr NamedResult kResults[] = {
    {"D3D_OK", 0x00000000u},
    {"S_OK", 0x00000000u},
    {"E_FAIL", 0x80004005u},
    {"E_NOTIMPL", 0x80004001u},
    {"E_NOINTERFACE", 0x80004002u},
    {"E_OUTOFMEMORY", 0x8007000Eu},
    {"E_INVALIDARG", 0x80070057u},
    {"D3DERR_WRONGTEXTUREFORMAT", 0x88760818u},
    {"D3DERR_UNSUPPORTEDCOLOROPERATION", 0x88760819u},
    {"D3DERR_DRIVERINTERNALERROR", 0x88760827u},
    {"D3DERR_OUTOFVIDEOMEMORY", 0x8876017Cu},
    {"D3DERR_WASSTILLDRAWING", 0x8876021Cu},
    {"D3DERR_NOTFOUND", 0x88760866u},
    {"D3DERR_MOREDATA", 0x88760867u},
    {"D3DERR_DEVICELOST", 0x88760868u},
    {"D3DERR_DEVICENOTRESET", 0x88760869u},
    {"D3DERR_NOTAVAILABLE", 0x8876086Au},
    {"D3DERR_INVALIDDEVICE", 0x8876086Bu},
    {"D3DERR_INVALIDCALL", 0x8876086Cu},
};

}  // namespace

const char* deviceMethodName(DeviceMethod m) { return kMethods[static_cast<int>(m)].name; }
DeviceCallKind deviceMethodKind(DeviceMethod m) { return kMethods[static_cast<int>(m)].kind; }
bool deviceMethodCanFail(DeviceMethod m) { return kMethods[static_cast<int>(m)].canFail; }

const char* deviceCallKindName(DeviceCallKind k) {
  static const char* const names[kDeviceCallKinds] = {"state", "texture", "draw", "copy",
                                                      "target", "create", "other"};
  return names[static_cast<int>(k)];
}

std::optional<DeviceMethod> findDeviceMethod(const std::string& name) {
  for (int i = 0; i < kDeviceMethods; ++i)
    if (name == kMethods[i].name) return static_cast<DeviceMethod>(i);
  return std::nullopt;
}

std::optional<std::uint32_t> parseResultCode(const std::string& text) {
  for (const NamedResult& r : kResults)
    if (text == r.name) return r.value;
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 0);
  if (*end != '\0' || errno == ERANGE || v < INT32_MIN || v > 0xFFFFFFFFLL) return std::nullopt;
  return static_cast<std::uint32_t>(v & 0xFFFFFFFFLL);
}

}  // namespace simhost

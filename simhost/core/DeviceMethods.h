#pragma once
// Names and kinds of the device methods, for the counting proxy, its CSV and
// the scenario's fault lines. No Windows header: scenario reading uses it.
#include <cstdint>
#include <optional>
#include <string>

#include "DeviceMethodTable.h"

namespace simhost {

enum class DeviceCallKind { State, Texture, Draw, Copy, Target, Create, Other };
inline constexpr int kDeviceCallKinds = 7;

#define SIMHOST_ENUM_U(kind, name) name,
#define SIMHOST_ENUM_H(kind, name, params, args) name,
#define SIMHOST_ENUM_V(kind, type, name, params, args) name,
enum class DeviceMethod { SIMHOST_DEVICE_METHODS(SIMHOST_ENUM_U, SIMHOST_ENUM_H, SIMHOST_ENUM_V) };
#undef SIMHOST_ENUM_U
#undef SIMHOST_ENUM_H
#undef SIMHOST_ENUM_V
inline constexpr int kDeviceMethods = static_cast<int>(DeviceMethod::CreateQuery) + 1;

const char* deviceMethodName(DeviceMethod m);
DeviceCallKind deviceMethodKind(DeviceMethod m);
// Only methods that return a result code can be made to fail.
bool deviceMethodCanFail(DeviceMethod m);
// Lower-case column name of a kind: state, texture, draw, copy, target, create, other.
const char* deviceCallKindName(DeviceCallKind k);
std::optional<DeviceMethod> findDeviceMethod(const std::string& name);

// A result code given by name (D3DERR_INVALIDCALL, E_OUTOFMEMORY, ...) or as
// a number (0x8876086C).
std::optional<std::uint32_t> parseResultCode(const std::string& text);

}  // namespace simhost

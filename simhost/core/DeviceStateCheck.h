#pragma once
// What the host expects to find on its device after the plug-in's hooks have
// run: its own render target and viewport, and the depth, fog, lighting and
// alpha-test states and transforms that the gauge renderer changes while it
// draws into a dashboard texture and must give back.
#include <d3d9.h>

#include <string>
#include <vector>

namespace simhost {

class DeviceStateSnapshot {
 public:
  explicit DeviceStateSnapshot(IDirect3DDevice9* device);
  ~DeviceStateSnapshot();
  DeviceStateSnapshot(const DeviceStateSnapshot&) = delete;
  DeviceStateSnapshot& operator=(const DeviceStateSnapshot&) = delete;

  // The names of what differs from `before`, in a fixed order.
  std::vector<std::string> differencesFrom(const DeviceStateSnapshot& before) const;

 private:
  static constexpr int kStates = 8;
  const void* target_ = nullptr;  // the render target's address (no reference held)
  D3DVIEWPORT9 viewport_{};
  DWORD states_[kStates] = {};
  D3DMATRIX transforms_[3] = {};
};

}  // namespace simhost

#include "DeviceStateCheck.h"

#include <cstring>

namespace simhost {
namespace {

constexpr D3DRENDERSTATETYPE kStateIds[] = {D3DRS_ZENABLE,  D3DRS_ZWRITEENABLE,     D3DRS_ZFUNC,
                                            D3DRS_FOGENABLE, D3DRS_LIGHTING,        D3DRS_SPECULARENABLE,
                                            D3DRS_ALPHATESTENABLE, D3DRS_ALPHAREF};
constexpr const char* kStateNames[] = {"ZENABLE", "ZWRITEENABLE", "ZFUNC", "FOGENABLE",
                                       "LIGHTING", "SPECULARENABLE", "ALPHATESTENABLE", "ALPHAREF"};
constexpr D3DTRANSFORMSTATETYPE kTransformIds[] = {D3DTS_PROJECTION, D3DTS_VIEW, D3DTS_WORLD};
constexpr const char* kTransformNames[] = {"projection", "view", "world"};

}  // namespace

DeviceStateSnapshot::DeviceStateSnapshot(IDirect3DDevice9* d) {
  static_assert(sizeof kStateIds / sizeof kStateIds[0] == kStates);
  // Compared by address only: a reference held on the back buffer would make
  // a Reset from the host's thread fail meanwhile.
  IDirect3DSurface9* target = nullptr;
  if (SUCCEEDED(d->GetRenderTarget(0, &target)) && target) {
    target_ = target;
    target->Release();
  }
  d->GetViewport(&viewport_);
  for (int i = 0; i < kStates; ++i) d->GetRenderState(kStateIds[i], &states_[i]);
  for (int i = 0; i < 3; ++i) d->GetTransform(kTransformIds[i], &transforms_[i]);
}

DeviceStateSnapshot::~DeviceStateSnapshot() = default;

std::vector<std::string> DeviceStateSnapshot::differencesFrom(const DeviceStateSnapshot& b) const {
  std::vector<std::string> out;
  if (target_ != b.target_) out.push_back("render target");
  if (std::memcmp(&viewport_, &b.viewport_, sizeof viewport_) != 0) out.push_back("viewport");
  for (int i = 0; i < kStates; ++i)
    if (states_[i] != b.states_[i]) out.push_back(kStateNames[i]);
  for (int i = 0; i < 3; ++i)
    if (std::memcmp(&transforms_[i], &b.transforms_[i], sizeof(D3DMATRIX)) != 0) out.push_back(kTransformNames[i]);
  return out;
}

}  // namespace simhost

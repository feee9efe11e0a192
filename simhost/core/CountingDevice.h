#pragma once
// A full IDirect3DDevice9 in front of the host's real device: every call is
// counted per method for the current frame and forwarded, unless a fault
// rule says the call fails; then it returns the rule's result code and the
// real device never sees it. Objects handed out are the real ones, so their
// GetDevice answers the real device.
//
// References: the proxy holds one reference on the real device for as long
// as it lives. Its own count starts at 1 for the host; AddRef/Release move
// only that count. The host gives its reference back with releaseByHost();
// the proxy goes (and lets go of the real device) when the count reaches 0,
// so a plug-in that still holds references keeps a working device. A Release
// that would take the host's own reference away is an over-release: it is
// refused and counted.
#include <d3d9.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "CallLog.h"
#include "DeviceMethods.h"

namespace simhost {

class CountingDevice final : public IDirect3DDevice9 {
 public:
  CountingDevice(IDirect3DDevice9* real, CallLog* log);
  // The host's Release: returns the references still held by others.
  ULONG releaseByHost();
  CountingDevice(const CountingDevice&) = delete;
  CountingDevice& operator=(const CountingDevice&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

#define SIMHOST_DECL_U(kind, name)
#define SIMHOST_DECL_H(kind, name, params, args) HRESULT STDMETHODCALLTYPE name params override;
#define SIMHOST_DECL_V(kind, type, name, params, args) type STDMETHODCALLTYPE name params override;
  SIMHOST_DEVICE_METHODS(SIMHOST_DECL_U, SIMHOST_DECL_H, SIMHOST_DECL_V)
#undef SIMHOST_DECL_U
#undef SIMHOST_DECL_H
#undef SIMHOST_DECL_V

  // What TestCooperativeLevel answers while the host's device is lost
  // (D3D_OK: the real device answers).
  void setCooperativeLevel(HRESULT level) { cooperativeLevel_ = level; }

  // Calls nth through last of `method`, counted from now on, fail with `result`.
  void addFault(DeviceMethod method, int nth, int last, HRESULT result);
  void addFault(DeviceMethod method, int nth, HRESULT result) { addFault(method, nth, nth, result); }
  // QueryInterface for IDirect3DDevice9Ex answers E_NOINTERFACE, as a tool
  // that wraps only the plain interface does.
  void hideExtended() { hidesEx_ = true; }
  // Draws made while the bound depth-stencil did not fit render target 0
  // (a fault line for each distinct cause).
  int depthStencilFaults() const { return depthStencilFaults_; }

  std::uint32_t frameCount(DeviceMethod m) const { return frame_[static_cast<int>(m)]; }
  std::uint32_t frameKindCount(DeviceCallKind k) const;
  std::uint32_t frameTotal() const;
  void startFrame() { frame_.fill(0); }
  std::uint64_t totalCalls(DeviceMethod m) const { return total_[static_cast<int>(m)]; }

  long references() const { return references_; }
  int overReleases() const { return overReleases_; }
  int faultsInjected() const { return faultsInjected_; }
  IDirect3DDevice9* real() const { return real_; }

 private:
  ~CountingDevice();
  // Counts the call; true when a rule makes it fail (result in `hr`).
  bool enter(DeviceMethod m, HRESULT& hr);
  // Before a draw: a depth-stencil bound with render target 0 must have its
  // multisample type and quality and be at least its size. Wine draws
  // anyway; a Windows driver may fail the draw or draw garbage.
  void checkDepthStencil();

  struct Rule {
    std::uint64_t first, last;  // absolute call numbers of the method
    HRESULT result;
  };
  // Several threads of the host (and the plug-in's) call through the proxy.
  std::recursive_mutex lock_;
  bool hidesEx_ = false;
  bool exRefusalNoted_ = false;
  int depthStencilFaults_ = 0;
  std::set<std::string> depthStencilCauses_;
  IDirect3DDevice9* real_;
  CallLog* log_;
  HRESULT cooperativeLevel_ = D3D_OK;
  long references_ = 1;
  bool hostReleased_ = false;
  int overReleases_ = 0;
  int faultsInjected_ = 0;
  std::array<std::uint32_t, kDeviceMethods> frame_{};
  std::array<std::uint64_t, kDeviceMethods> total_{};
  std::array<std::vector<Rule>, kDeviceMethods> rules_{};
};

}  // namespace simhost

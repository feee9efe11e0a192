#include "CountingDevice.h"

#include <cstdio>
#include <type_traits>

namespace simhost {
namespace {

// A failing call leaves its object outputs null, as the runtime does, so a
// caller that forgets to check the result still cannot use a stale pointer.
template <typename T>
void clearOutput(T** out) {
  if constexpr (std::is_base_of_v<IUnknown, T>)
    if (out) *out = nullptr;
}
template <typename T>
void clearOutput(T) {}
template <typename... A>
void clearOutputs(A... a) {
  (clearOutput(a), ...);
}

}  // namespace

CountingDevice::CountingDevice(IDirect3DDevice9* real, CallLog* log) : real_(real), log_(log) { real_->AddRef(); }

CountingDevice::~CountingDevice() { real_->Release(); }

ULONG CountingDevice::releaseByHost() {
  hostReleased_ = true;
  log_ = nullptr;  // the host's log closes before the proxy may go
  if (--references_ == 0) {
    delete this;
    return 0;
  }
  return static_cast<ULONG>(references_);
}

bool CountingDevice::enter(DeviceMethod m, HRESULT& hr) {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  const int i = static_cast<int>(m);
  ++frame_[i];
  const std::uint64_t call = ++total_[i];
  if (m == DeviceMethod::TestCooperativeLevel && cooperativeLevel_ != D3D_OK) {
    hr = cooperativeLevel_;
    return true;
  }
  if (deviceMethodKind(m) == DeviceCallKind::Draw && m != DeviceMethod::Clear && m != DeviceMethod::ProcessVertices)
    checkDepthStencil();
  std::vector<Rule>& rules = rules_[i];
  for (auto it = rules.begin(); it != rules.end(); ++it)
    if (call >= it->first && call <= it->last) {
      hr = it->result;
      if (call == it->last) rules.erase(it);
      ++faultsInjected_;
      if (log_)
        log_->note("device fault %s call %llu returns %08lX", deviceMethodName(m),
                   static_cast<unsigned long long>(call), static_cast<unsigned long>(hr));
      return true;
    }
  return false;
}

void CountingDevice::addFault(DeviceMethod method, int nth, int last, HRESULT result) {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  const int i = static_cast<int>(method);
  rules_[i].push_back(
      Rule{total_[i] + static_cast<std::uint64_t>(nth), total_[i] + static_cast<std::uint64_t>(last), result});
}

void CountingDevice::checkDepthStencil() {
  IDirect3DSurface9* depth = nullptr;
  IDirect3DSurface9* target = nullptr;
  if (FAILED(real_->GetDepthStencilSurface(&depth)) || !depth) return;  // none bound
  if (SUCCEEDED(real_->GetRenderTarget(0, &target)) && target) {
    D3DSURFACE_DESC d{}, t{};
    depth->GetDesc(&d);
    target->GetDesc(&t);
    char cause[200] = "";
    if (d.MultiSampleType != t.MultiSampleType || d.MultiSampleQuality != t.MultiSampleQuality)
      std::snprintf(cause, sizeof cause,
                    "multisample %u quality %lu on the depth-stencil (%ux%u), %u quality %lu on the target (%ux%u)",
                    static_cast<unsigned>(d.MultiSampleType), static_cast<unsigned long>(d.MultiSampleQuality),
                    d.Width, d.Height, static_cast<unsigned>(t.MultiSampleType),
                    static_cast<unsigned long>(t.MultiSampleQuality), t.Width, t.Height);
    else if (d.Width < t.Width || d.Height < t.Height)
      std::snprintf(cause, sizeof cause, "depth-stencil %ux%u is smaller than the target %ux%u", d.Width, d.Height,
                    t.Width, t.Height);
    if (cause[0] && depthStencilCauses_.insert(cause).second) {
      ++depthStencilFaults_;
      if (log_) log_->record("fault", "draw with a depth-stencil that does not match render target 0: %s", cause);
    }
    target->Release();
  }
  depth->Release();
}

std::uint32_t CountingDevice::frameKindCount(DeviceCallKind k) const {
  std::uint32_t n = 0;
  for (int i = 0; i < kDeviceMethods; ++i)
    if (deviceMethodKind(static_cast<DeviceMethod>(i)) == k) n += frame_[i];
  return n;
}

std::uint32_t CountingDevice::frameTotal() const {
  std::uint32_t n = 0;
  for (std::uint32_t c : frame_) n += c;
  return n;
}

HRESULT STDMETHODCALLTYPE CountingDevice::QueryInterface(REFIID riid, void** object) {
  HRESULT hr;
  if (enter(DeviceMethod::QueryInterface, hr)) return hr;
  if (!object) return E_POINTER;
  // The device's own identities stay on the proxy; anything else is the
  // real device's business.
  if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDirect3DDevice9)) {
    *object = static_cast<IDirect3DDevice9*>(this);
    AddRef();
    return S_OK;
  }
  if (hidesEx_ && IsEqualGUID(riid, IID_IDirect3DDevice9Ex)) {
    *object = nullptr;
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    if (!exRefusalNoted_ && log_) log_->note("device proxy answers E_NOINTERFACE for IDirect3DDevice9Ex");
    exRefusalNoted_ = true;
    return E_NOINTERFACE;
  }
  return real_->QueryInterface(riid, object);
}

ULONG STDMETHODCALLTYPE CountingDevice::AddRef() {
  HRESULT unused;
  enter(DeviceMethod::AddRef, unused);
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  return static_cast<ULONG>(++references_);
}

ULONG STDMETHODCALLTYPE CountingDevice::Release() {
  HRESULT unused;
  enter(DeviceMethod::Release, unused);
  std::unique_lock<std::recursive_mutex> hold(lock_);
  if (!hostReleased_ && references_ <= 1) {
    // Only the host's own reference is left: the caller releases one it
    // never had. Keep the device alive for the host and report it.
    ++overReleases_;
    if (log_) log_->note("device fault over-release of the device by the plug-in");
    return 1;
  }
  if (--references_ == 0) {
    hold.unlock();
    delete this;
    return 0;
  }
  return static_cast<ULONG>(references_);
}

#define SIMHOST_DEF_U(kind, name)
#define SIMHOST_DEF_H(kind, name, params, args)   \
  HRESULT STDMETHODCALLTYPE CountingDevice::name params { \
    HRESULT hr;                                   \
    if (enter(DeviceMethod::name, hr)) {          \
      clearOutputs args;                          \
      return hr;                                  \
    }                                             \
    return real_->name args;                      \
  }
#define SIMHOST_DEF_V(kind, type, name, params, args) \
  type STDMETHODCALLTYPE CountingDevice::name params {  \
    HRESULT unused;                                   \
    enter(DeviceMethod::name, unused);                \
    return real_->name args;                          \
  }
SIMHOST_DEVICE_METHODS(SIMHOST_DEF_U, SIMHOST_DEF_H, SIMHOST_DEF_V)
#undef SIMHOST_DEF_U
#undef SIMHOST_DEF_H
#undef SIMHOST_DEF_V

}  // namespace simhost

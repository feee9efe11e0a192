#pragma once
// The tools players run on the game's device, as the host drives them: the
// code-patching overlay and the method-table tool of simhost_overlay.dll
// (loaded on first use from the game folder), and a second device of a
// tool's own, with a small window of its own.
#include <d3d9.h>

#include "CallLog.h"
#include "Scenario.h"

namespace simhost {

class DeviceTools {
 public:
  explicit DeviceTools(CallLog& log) : log_(log) {}
  ~DeviceTools();
  DeviceTools(const DeviceTools&) = delete;
  DeviceTools& operator=(const DeviceTools&) = delete;

  // "overlay before" is installStep(After) before the plug-in loads.
  void overlayStep(OverlayStep step, IDirect3DDevice9* device);
  void methodTableStep(MethodTableStep step, IDirect3DDevice9* device);
  // A second device: its Reset failing is a fault (counted in `resetFaults`).
  void toolDeviceStep(ToolDeviceStep step, IDirect3D9* d3d, int& resetFaults);
  // Before the host resets or replaces its device: an overlay still being
  // installed from its thread finishes first.
  void settle();
  // Once a frame: the tools' notes into the call log, the thread's end noted.
  void takeNotes();
  // The hook calls counted, at the end of the run.
  void noteCounts();

 private:
  bool load();
  void releaseToolDevice();

  CallLog& log_;
  HMODULE library_ = nullptr;
  bool loadFailed_ = false;
  bool threadPending_ = false;
  bool overlayUsed_ = false, tableUsed_ = false;
  // The tool's own device and window.
  HWND toolWindow_ = nullptr;
  IDirect3DDevice9* toolDevice_ = nullptr;
  D3DPRESENT_PARAMETERS toolPresent_{};
};

}  // namespace simhost

#pragma once
// A stage scenario: a timeline of frames, each block naming what the host
// changes at the start of that frame. Parsing is all-or-nothing: a scenario
// with one bad line is refused before the host starts anything.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace simhost {

// Host records a scenario line can write into.
enum class Block { Game, Screen, CarState, EventCode, Pause, CarObject, Damage, DamageExtra, Engine, GaugeBlock };

// One value written into host memory; a float may change by `step` on every
// later frame until the same location is set again.
struct Poke {
  Block block = Block::Game;
  std::uint32_t offset = 0;
  bool isFloat = false;
  float f = 0.0f;
  std::int32_t i = 0;
  float step = 0.0f;
};

struct MenuKeys {
  bool ignored = false, up = false, down = false, decrease = false, increase = false, select = false;
  bool any() const { return ignored || up || down || decrease || increase || select; }
};

// "fail <Method> <n> <HRESULT>": the n-th call of the method (counted from the
// start of the run, or from the frame of the block that holds the line) returns
// the result without reaching the real device. "fail <Method> A..B <HRESULT>":
// calls A through B all fail (a fault that lasts).
struct DeviceFault {
  int method = 0;  // a DeviceMethod
  int nth = 1;
  int last = 1;    // the last failing call; nth for a single one
  std::uint32_t result = 0;
};

// "lose-device N [W H]": the device is lost for N frames (the first half
// D3DERR_DEVICELOST, then D3DERR_DEVICENOTRESET); the host then releases its
// default-pool textures, calls Reset (with a W x H back buffer and window when
// given) and creates its textures again. "reset-device [W H]" resets at once,
// without a loss (a change of resolution or window mode).
// "lose-device N [W H] silent": the same loss, but the host makes no frame or
// gauge call while it lasts, so only a redirect of Reset can see it.
// "... keep-textures": on an extended device the host keeps its default-pool
// textures over the ResetEx instead of making them again.
struct DeviceLoss {
  int frames = 0;  // 0: no loss, the Reset comes at once
  int width = 0, height = 0;  // 0: the size stays
  bool silent = false;
  bool keepTextures = false;
};

// "loader-thread N PATH": a thread of the host's creates the texture PATH
// through the texture utility function N times in a row, each replacing the
// last, while the frames go on.
struct LoaderThread {
  int loads = 0;
  std::string path;
};

// "reset-thread N [W H]": a thread of the host's makes N Resets the careful
// way (its textures and fonts let go, Reset, all made again) while the frames
// go on; the window and back buffer change to W x H when given.
struct ResetThread {
  int resets = 0;
  int width = 0, height = 0;
};

// "new-device [W H]": the host releases its textures, fonts and device,
// creates a new device (the window resized first when given), writes it into
// the device pointer chain and creates its textures again.
struct NewDevice {
  int width = 0, height = 0;
};

// Tools on the device (simhost_overlay.dll), per frame.
enum class OverlayStep { After, LateThread, Off };    // "overlay after|late-thread|off"
enum class MethodTableStep { Call, Jump, Off };       // "method-table-hook call|jump|off"
enum class ToolDeviceStep { Create, Reset, Release };  // "tool-device create|reset|release"

// "texture PATH [format F] [pool P] [size W H]": the host creates a texture
// from PATH through its texture utility function, asking for format F
// (Direct3D 9's number; 0, UNKNOWN, is "as the file"), pool P (0 default,
// 1 managed, 2 system memory) and W x H (0: D3DX_DEFAULT, the file's size).
struct TextureRequest {
  std::string path;
  std::uint32_t format = 0;
  std::uint32_t pool = 0;
  std::uint32_t width = 0, height = 0;
};

// "write-image SOURCE PATH KIND [W H]": the host writes the image SOURCE
// (scaled to W x H when given) as a file of KIND (ImageFiles.h) at PATH.
struct ImageFileRequest {
  std::string source, path, kind;
  std::uint32_t width = 0, height = 0;
};

struct FrameBlock {
  int frame = 0;
  int line = 0;
  std::vector<Poke> pokes;
  std::vector<ImageFileRequest> imageFiles;  // written before the textures
  std::vector<TextureRequest> textures;     // created through the texture utility module
  std::vector<std::string> screenshots;  // PNG names, taken at the end of the frame
  std::vector<std::string> probedFiles;  // noted at the start of the frame, before the plug-in runs
  std::optional<bool> menuOpen;
  MenuKeys keys;                         // pressed on this frame only
  int homeMs = 0;                        // Home key held this long from this frame on
  std::optional<bool> carPresent;
  std::optional<bool> damageExtraPresent;
  std::vector<DeviceFault> faults;
  std::optional<bool> damageRecordPresent;  // CarObject +0x620
  std::optional<bool> engineRecordPresent;  // CarObject +0x698
  bool pluginFault = false;                 // calls the test build's fault switch
  std::optional<DeviceLoss> deviceLoss;
  std::optional<NewDevice> newDevice;
  // Applied before the block's textures are created, in this order.
  std::optional<OverlayStep> overlay;
  std::optional<MethodTableStep> methodTable;
  std::optional<ToolDeviceStep> toolDevice;
  // The host's threads: "wait-threads" joins those still running before the
  // block's other lines; the new ones start after its textures.
  bool waitThreads = false;
  std::optional<LoaderThread> loaderThread;
  std::optional<ResetThread> resetThread;
};

// Depth buffer formats a scenario may ask for ("depth D24S8|D16").
inline constexpr std::uint32_t kDepthD24S8 = 75, kDepthD16 = 80;

struct Scenario {
  int frames = 0;
  int width = 640;
  int height = 480;
  double fps = 60.0;
  bool countDevice = false;          // the plug-in finds the counting proxy
  bool hostProxy = false;            // "host-proxy": the host itself draws and resets through it
  bool overlayBefore = false;        // "overlay before": installed before the plug-in loads
  std::uint32_t depthFormat = 0;     // "depth D24S8|D16": an automatic depth-stencil (0: none)
  int multisample = 0;               // "multisample N": back-buffer samples (0: none)
  bool multithreaded = false;        // "multithreaded": D3DCREATE_MULTITHREADED
  bool deviceEx = false;             // "device ex": Direct3DCreate9Ex + CreateDeviceEx
  bool proxyHidesEx = false;         // "host-proxy hide-ex" / "proxy hides-ex": no IDirect3DDevice9Ex from the proxy
  std::vector<DeviceFault> faults;   // armed before the plug-in loads
  std::vector<FrameBlock> blocks;  // strictly increasing frame numbers
};

class ScenarioError : public std::runtime_error {
 public:
  ScenarioError(const std::string& file, int line, const std::string& problem)
      : std::runtime_error(file + ":" + std::to_string(line) + ": " + problem), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

// Throws ScenarioError naming file, line and problem.
Scenario parseScenario(const std::string& text, const std::string& fileName);

}  // namespace simhost

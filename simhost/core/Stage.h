#pragma once
// One run of the host: window and device, the plug-in, the frame loop.
#include <cstdint>
#include <string>

#include "Scenario.h"

namespace simhost {

struct StageOptions {
  std::string scenarioPath;
  std::string outputFolder;
  std::string pluginPath = ".\\Plugins\\OSTREL.dll";
  bool pace = true;
  bool countDevice = false;  // the plug-in finds the counting proxy (also from the scenario)
  bool hostProxy = false;    // the host draws and resets through that proxy too
  bool noPlugin = false;     // the host alone, for the baseline
  bool quietCalls = false;   // count the plug-in's calls without a line each
  int resourcesEvery = 0;    // note memory, handles and references every N frames (0: never)
  // Over the scenario's "depth" and "multisample" lines when given (0: the scenario's).
  std::uint32_t depthFormat = 0;
  int multisample = 0;
  // Host faults (see README): no texture utility module, a broken device
  // chain, host functions a detour cannot be installed over.
  bool noTexUtil = false;
  bool texUtilIsD3dx = false;  // the texture function's entry jumps straight into D3DX's own

  std::string deviceChain = "present";
  bool badFramePrologue = false, badGaugePrologue = false, badTexturePrologue = false;
};

// Returns the process exit code; messages go to stderr.
int runStage(const Scenario& scenario, const StageOptions& options, void* sectionBegin, void* sectionEnd);

}  // namespace simhost

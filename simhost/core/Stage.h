#pragma once
// One run of the host: window and device, the plug-in, the frame loop.
#include <string>

#include "Scenario.h"

namespace simhost {

struct StageOptions {
  std::string scenarioPath;
  std::string outputFolder;
  std::string pluginPath = ".\\Plugins\\OSTREL.dll";
  bool pace = true;
};

// Returns the process exit code; messages go to stderr.
int runStage(const Scenario& scenario, const StageOptions& options, void* sectionBegin, void* sectionEnd);

}  // namespace simhost

#pragma once
// Runs the simulated host as a separate process in a game folder of its own.
#include <string>

namespace simhost_test {

struct RunResult {
  unsigned long exitCode = 0xFFFFFFFF;
  std::string output;  // stdout and stderr together
};

// A fresh game folder under the test's working directory: the assembled
// stage (host, modules, game files) with `plugin` as Plugins\OSTREL.dll
// (none when empty).
std::string makeGameFolder(const std::string& name, const std::string& plugin);
RunResult runHost(const std::string& gameFolder, const std::string& scenarioText, const std::string& extraArgs = "");
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
std::string stageDir();
std::string probeDll();

}  // namespace simhost_test

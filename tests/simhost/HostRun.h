#pragma once
// Runs the simulated host as a separate process in a game folder of its own.
#include <cstdint>
#include <string>
#include <vector>

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

// A screenshot read back as 0x00RRGGBB pixels (empty when unreadable).
struct Image {
  unsigned width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0x00FFFFFF; }
};
Image loadPng(const std::string& path);

// Lines of a text file without their line ends.
std::vector<std::string> lines(const std::string& text);
// Cells of one CSV row.
std::vector<std::string> cells(const std::string& row);

}  // namespace simhost_test

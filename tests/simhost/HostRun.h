#pragma once
// Runs the simulated host as a separate process in a game folder of its own.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "TextFiles.h"

namespace simhost_test {

struct RunResult {
  unsigned long exitCode = 0xFFFFFFFF;
  std::string output;  // stdout and stderr together
  double seconds = 0;  // wall time of the run
};

// A fresh game folder under the test's working directory: the assembled
// stage (host, modules, game files) with `plugin` as Plugins\OSTREL.dll
// (none when empty).
std::string makeGameFolder(const std::string& name, const std::string& plugin);
// The run is stopped (exit code kHangExitCode) after `limitSeconds`, longer
// where 32-bit code runs emulated.
inline constexpr unsigned long kHangExitCode = 99;
RunResult runHost(const std::string& gameFolder, const std::string& scenarioText, const std::string& extraArgs = "",
                  unsigned limitSeconds = 900);
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

// A CSV file as rows of named cells.
struct Csv {
  std::vector<std::string> header;
  std::vector<std::map<std::string, std::string>> rows;
  const std::string& cell(size_t row, const std::string& column) const { return rows.at(row).at(column); }
  int number(size_t row, const std::string& column) const { return std::stoi(cell(row, column)); }
};

// How often `what` stands in `text`.
inline int count(const std::string& text, const std::string& what) { return testing_support::occurrences(text, what); }

inline Csv readCsv(const std::string& path) {
  Csv csv;
  std::vector<std::string> all = lines(readFile(path));
  if (all.empty()) return csv;
  csv.header = cells(all[0]);
  for (size_t i = 1; i < all.size(); ++i) {
    std::vector<std::string> c = cells(all[i]);
    std::map<std::string, std::string> row;
    for (size_t k = 0; k < csv.header.size(); ++k) row[csv.header[k]] = k < c.size() ? c[k] : "<missing>";
    csv.rows.push_back(row);
  }
  return csv;
}

}  // namespace simhost_test

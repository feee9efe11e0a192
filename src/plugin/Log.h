#pragma once
// The plug-in's log: one plain-text file per run, .\Plugins\OSTREL\OSTREL.log,
// one line per event, readable by other programs while the host runs.
// Logging never fails its caller and never throws.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ostrel {

// Opens (truncates) the log file. Called once when the library loads; later
// calls do nothing. Logging before it opens the file on first use.
void openLog();
// Closes the log when the library unloads; later lines are dropped, and the
// file is not opened (emptied) again.
void closeLog();
void logText(std::string_view utf8);
void logCText(const char* text);
// Writes `length` bytes and a line break as they are, without converting or
// allocating: for the crash trace, which writes from inside a fault.
void logPlainLine(const char* text, std::size_t length);

// Symbolic name and description of a Direct3D / Windows result code;
// "Unknown" and "n/a" when the code is not in the table.
const char* resultName(std::int32_t hr);
const char* resultDescription(std::int32_t hr);

// "Error in file: <file>, function: <function>, line: <line>. Description: <name>, <description>."
void logErrorReport(const char* file, const char* function, int line, std::int32_t hr);

// What one reporting place in the code has said. A call that fails every
// frame (a game out of memory, a driver refusing a state) is reported once,
// again when its result changes, and once when it works again: every log
// line is a write inside the game's frame. Constant-initialised, so a
// function-local one costs no guard.
struct ReportSite {
  std::atomic<std::int32_t> failing{0};  // the result reported last; 0 while it works
  std::atomic<std::uint32_t> repeats{0};  // failures with that result since
};
// Reports `hr` for `site`: an error report for a new failure, a line for the
// first success after failures, nothing otherwise.
void reportResult(ReportSite& site, const char* file, const char* function, int line, std::int32_t hr);

}  // namespace ostrel

// Reports a failed Direct3D call (negative result) with this file and line,
// once while it keeps failing the same way.
#define OSTREL_CHECK_HR(hr, function)                                                               \
  do {                                                                                              \
    static ::ostrel::ReportSite ostrel_site_;                                                       \
    const long ostrel_hr_ = static_cast<long>(hr);                                                  \
    if (ostrel_hr_ < 0 || ostrel_site_.failing.load(std::memory_order_relaxed) != 0)                \
      ::ostrel::reportResult(ostrel_site_, __FILE__, function, __LINE__, static_cast<std::int32_t>(ostrel_hr_)); \
  } while (0)

#pragma once
// The plug-in's log: one plain-text file per run, .\Plugins\OSTREL\OSTREL.log,
// one line per event, readable by other programs while the host runs.
// Logging never fails its caller and never throws.
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

}  // namespace ostrel

// Reports a failed Direct3D call (negative result) with this file and line.
#define OSTREL_CHECK_HR(hr, function)                                        \
  do {                                                                       \
    const long ostrel_hr_ = static_cast<long>(hr);                           \
    if (ostrel_hr_ < 0) ::ostrel::logErrorReport(__FILE__, function, __LINE__, \
                                                 static_cast<std::int32_t>(ostrel_hr_)); \
  } while (0)

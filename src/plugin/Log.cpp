#include "plugin/Log.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "plugin/FixedText.h"
#include "plugin/PluginPaths.h"

namespace ostrel {
namespace {

struct LogFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  bool opened = false;  // an open was tried; a failed one is not retried
};

LogFile& logFile() {
  static LogFile file;
  return file;
}

// The log is UTF-8. Valid UTF-8 (every ASCII text among it) is written as it
// is; anything else is the ANSI code page the host's names and paths come in
// (a folder named "Citro\xEBn"), converted by the system.
std::string sanitizedUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int n = static_cast<int>(text.size());
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), n, nullptr, 0) > 0)
    return std::string(text);
  const int wideLen = MultiByteToWideChar(CP_ACP, 0, text.data(), n, nullptr, 0);
  if (wideLen <= 0) return std::string(text.size(), '?');
  std::wstring wide(static_cast<size_t>(wideLen), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), n, wide.data(), wideLen);
  const int outLen = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLen, nullptr, 0, nullptr, nullptr);
  if (outLen <= 0) return std::string(text.size(), '?');
  std::string out(static_cast<size_t>(outLen), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLen, out.data(), outLen, nullptr, nullptr);
  return out;
}

}  // namespace

void openLog() {
  LogFile& f = logFile();
  if (f.opened) return;
  f.opened = true;
  // The folder is made first so that the very first run has a log as well.
  ensurePluginFolder();
  const std::string path = pluginFolder() + FT("\\") + pluginName() + FT(".log");
  f.handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void closeLog() {
  LogFile& f = logFile();
  f.opened = true;
  if (f.handle != INVALID_HANDLE_VALUE) CloseHandle(f.handle);
  f.handle = INVALID_HANDLE_VALUE;
}

void logText(std::string_view utf8) {
  try {
    LogFile& f = logFile();
    if (!f.opened) openLog();
    if (f.handle == INVALID_HANDLE_VALUE) return;
    std::string line = sanitizedUtf8(utf8);
    line += "\r\n";
    DWORD written = 0;
    // Unbuffered: each line is on disk when this returns.
    WriteFile(f.handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  } catch (...) {
    // Out of memory while logging: the line is lost, the caller goes on.
  }
}

void logPlainLine(const char* text, std::size_t length) {
  LogFile& f = logFile();
  if (f.handle == INVALID_HANDLE_VALUE || !text) return;
  DWORD written = 0;
  WriteFile(f.handle, text, static_cast<DWORD>(length), &written, nullptr);
  WriteFile(f.handle, "\r\n", 2, &written, nullptr);
}

void logCText(const char* text) { logText(text ? std::string_view(text) : std::string_view()); }

void logErrorReport(const char* file, const char* function, int line, std::int32_t hr) {
  char description[1024];
  std::snprintf(description, sizeof description, FT("%s, %s."), resultName(hr), resultDescription(hr));
  char text[2048];
  std::snprintf(text, sizeof text, FT("Error in file: %s, function: %s, line: %d. Description: %s"),
                file ? file : "", function ? function : "", line, description);
  logText(text);
}

void reportResult(ReportSite& site, const char* file, const char* function, int line, std::int32_t hr) {
  const std::int32_t before = site.failing.exchange(hr < 0 ? hr : 0, std::memory_order_relaxed);
  if (hr < 0) {
    if (before == hr) {
      site.repeats.fetch_add(1, std::memory_order_relaxed);
      return;
    }
    site.repeats.store(0, std::memory_order_relaxed);
    logErrorReport(file, function, line, hr);
    return;
  }
  if (before == 0) return;
  char text[512];
  std::snprintf(text, sizeof text, FT("Working again after %u more failure(s): file %s, function %s, line %d"),
                static_cast<unsigned>(site.repeats.exchange(0, std::memory_order_relaxed)), file ? file : "",
                function ? function : "", line);
  logText(text);
}

}  // namespace ostrel

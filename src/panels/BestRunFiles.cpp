#include "panels/BestRunFiles.h"

#include <windows.h>

#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/PluginPaths.h"

namespace ostrel::bestrun {
namespace {

// A best file of the longest stage is well under this.
constexpr DWORD kLargestFile = 4u << 20;

bool readWhole(const std::string& path, std::string& text, DWORD& error) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return false;
  }
  const DWORD size = GetFileSize(file, nullptr);
  bool ok = size != INVALID_FILE_SIZE && size <= kLargestFile;
  if (ok) {
    text.resize(size);
    DWORD got = 0;
    ok = size == 0 || (ReadFile(file, text.data(), size, &got, nullptr) && got == size);
  }
  error = ok ? 0 : GetLastError();
  CloseHandle(file);
  return ok;
}

void logWriteFailureOnce(const std::string& what, const std::string& path, DWORD error) {
  static bool said = false;
  if (said) return;
  said = true;
  logText(std::string(FT("Best run: ")) + what + FT(" ") + path + FT(" failed (error ") + std::to_string(error) +
          FT("); the best stays in memory for this session and is written again on the next return to the menu"));
}

}  // namespace

std::string bestsFolder() { return pluginFolder() + FT("\\Bests"); }

std::string bestFilePath(const RunKey& key) { return bestsFolder() + FT("\\") + bestFileName(key); }

bool readBestFile(const RunKey& key, RunTable& into) {
  into.valid = false;
  const std::string path = bestFilePath(key);
  std::string text;
  DWORD error = 0;
  if (!readWhole(path, text, error)) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
      logText(std::string(FT("Best run: no best stored yet in ")) + path);
    else
      logText(std::string(FT("Best run: cannot read ")) + path + FT(" (error ") + std::to_string(error) +
              FT("); it is ignored and replaced at the next counted finish"));
    return false;
  }
  const FileProblem problem = parseBestFile(text, key, into);
  if (problem != FileProblem::kNone) {
    logText(std::string(FT("Best run: ")) + path + FT(" ") + fileProblemText(problem) +
            FT("; it is ignored and replaced at the next counted finish"));
    return false;
  }
  logText(std::string(FT("Best run: read ")) + path);
  return true;
}

bool writeBestFile(const RunTable& run) {
  const std::string folder = bestsFolder();
  const std::string path = bestFilePath(run.key);
  const std::string temporary = path + FT(".new");
  ensurePluginFolder();
  if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    logWriteFailureOnce(FT("making the folder for"), path, GetLastError());
    return false;
  }
  const std::string text = formatBestFile(run);
  HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    logWriteFailureOnce(FT("writing"), path, GetLastError());
    return false;
  }
  DWORD wrote = 0;
  bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr) && wrote == text.size();
  // On the disk before it takes the old file's place.
  ok = ok && FlushFileBuffers(file);
  DWORD error = ok ? 0 : GetLastError();
  CloseHandle(file);
  if (ok && !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    error = GetLastError();
  }
  if (!ok) {
    DeleteFileA(temporary.c_str());
    logWriteFailureOnce(FT("writing"), path, error);
    return false;
  }
  char time[24];
  formatStageTime(run.finishTime, time, sizeof time);
  logText(std::string(FT("Best run: new best ")) + time + FT(" written to ") + path);
  return true;
}

}  // namespace ostrel::bestrun

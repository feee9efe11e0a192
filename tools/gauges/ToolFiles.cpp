#include "ToolFiles.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace ostrel::tools {

std::string fullPath(const std::string& path) {
  char buffer[MAX_PATH * 4];
  const DWORD n = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

bool fileExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool readTextFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  out = text.str();
  return true;
}

bool folderExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// The folder of this executable, whatever the current folder is.
std::string toolFolder() {
  char buffer[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return {};
  std::string path(buffer, n);
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

std::vector<std::string> pluginGaugeRoots() {
  std::vector<std::string> roots;
  const std::string tools = toolFolder();
  if (tools.empty()) return roots;
  for (const char* name : {"CustomGauges", "Gauges"}) {
    const std::string root = fullPath(tools + "\\..\\" + name);
    if (!root.empty() && folderExists(root)) roots.push_back(root);
  }
  return roots;
}

std::string findPluginCarFolder(const std::string& name) {
  if (name.empty() || name.find_first_of("\\/:") != std::string::npos || name == "." || name == "..") return {};
  if (GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES) return {};
  for (const std::string& root : pluginGaugeRoots()) {
    const std::string folder = root + "\\" + name;
    if (folderExists(folder)) return folder;
  }
  return {};
}

WorkFolder::WorkFolder() {
  char temp[MAX_PATH];
  const DWORD n = GetTempPathA(sizeof temp, temp);
  char current[MAX_PATH * 4];
  const DWORD c = GetCurrentDirectoryA(sizeof current, current);
  if (n == 0 || n >= sizeof temp || c == 0 || c >= sizeof current) return;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = std::string(temp) + "ostrel-gauge-tool-" + std::to_string(GetCurrentProcessId()) +
                                  "-" + std::to_string(attempt);
    if (CreateDirectoryA(candidate.c_str(), nullptr)) {
      if (!SetCurrentDirectoryA(candidate.c_str())) {
        RemoveDirectoryA(candidate.c_str());
        return;
      }
      path_ = candidate;
      previous_ = current;
      return;
    }
  }
}

WorkFolder::~WorkFolder() {
  if (path_.empty()) return;
  SetCurrentDirectoryA(previous_.c_str());
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace ostrel::tools

#pragma once
// File-system helpers of the gauge tools.
#include <string>

namespace ostrel::tools {

// The full path of `path` against the current folder ("" when it cannot be made).
std::string fullPath(const std::string& path);
bool fileExists(const std::string& path);  // a file, not a folder
bool readTextFile(const std::string& path, std::string& out);

// A fresh folder under the temporary folder that becomes the current folder
// while it lives, so that the plug-in code's own files (its log, its settings
// folder) never land where the author works. Removed with its contents.
class WorkFolder {
 public:
  WorkFolder();
  ~WorkFolder();
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }

 private:
  std::string path_, previous_;
};

}  // namespace ostrel::tools

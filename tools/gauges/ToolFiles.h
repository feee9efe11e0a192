#pragma once
// File-system helpers of the gauge tools.
#include <string>
#include <vector>

namespace ostrel::tools {

// The full path of `path` against the current folder ("" when it cannot be made).
std::string fullPath(const std::string& path);
bool fileExists(const std::string& path);  // a file, not a folder
bool readTextFile(const std::string& path, std::string& out);
bool folderExists(const std::string& path);

// The plug-in's gauge roots as seen from where this tool sits in a release
// (Plugins\OSTREL\Tools\): its CustomGauges and Gauges folders, in the
// order the plug-in lets them claim textures; only those that exist.
std::vector<std::string> pluginGaugeRoots();
// A bare car folder name (no separator) that is not there as given, looked up
// under the plug-in's gauge roots: the first match's full path, else "".
std::string findPluginCarFolder(const std::string& name);

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

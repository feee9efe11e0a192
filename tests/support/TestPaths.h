#pragma once
// Paths handed to tests through the environment are Unix paths; under Wine the
// whole Unix tree is drive Z:.
#include <cstdlib>
#include <string>

namespace testing_support {

inline std::string windowsPath(std::string unixPath) {
  for (char& c : unixPath)
    if (c == '/') c = '\\';
  if (!unixPath.empty() && unixPath[0] == '\\') unixPath = "Z:" + unixPath;
  return unixPath;
}

inline std::string buildDir() {
  const char* v = std::getenv("OSTREL_BUILD_DIR");
  return v ? windowsPath(v) : std::string(".");
}

inline std::string sourceDir() {
  const char* v = std::getenv("OSTREL_SOURCE_DIR");
  return v ? windowsPath(v) : std::string(".");
}

}  // namespace testing_support

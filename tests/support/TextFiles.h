#pragma once
// Whole files as text and counting in them: what most tests read back.
// Windows-free.
#include <fstream>
#include <sstream>
#include <string>

namespace testing_support {

// The file's bytes as they are; empty when it cannot be read.
inline std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// How often `what` starts in `text` (overlapping ones counted too).
inline int occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace testing_support

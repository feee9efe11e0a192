#pragma once
// The preview's command line. Windows-free.
#include <string>
#include <vector>

namespace ostrel::preview {

struct NameValue {
  std::string name, text;
};
struct Sweep {
  std::string name;
  double from = 0.0, to = 0.0;
};

struct PreviewOptions {
  std::string definition;
  std::string base;     // base image; empty: the definition's Replacement
  std::string engine;   // car data file with shift points; empty: built-in defaults
  std::string out;      // PNG of the still
  std::string framesDir;  // folder for the sweep's frames (frame-0000.png ...)
  std::string logFile;  // copy of the plug-in's log
  std::vector<NameValue> sets;
  std::vector<Sweep> sweeps;
  int frames = 30;
  double fps = 30.0;
  double settle = 3.0;  // seconds at the start values before the first picture
  bool list = false;
  bool help = false;
};

// False with a message on a malformed command line.
bool parsePreviewOptions(const std::vector<std::string>& args, PreviewOptions& out, std::string& error);
const char* previewUsage();

}  // namespace ostrel::preview

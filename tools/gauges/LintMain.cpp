// gauge-lint: checks gauge definition files and the images they name, and
// prints one line per problem, "file:section:key: message" — the lines the
// plug-in writes to its log when it loads the set.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "KVX/ImageDecoder.h"
#include "ToolFiles.h"
#include "gauges/GaugeLint.h"
#include "plugin/WideText.h"

using namespace ostrel;
namespace fs = std::filesystem;

namespace {

constexpr int kUsageError = 2;

const char* kUsage =
    "usage: gauge-lint [--no-images] [PATH...]\n"
    "  PATH   a definition file, or a folder searched for Gauges.ini and Gauges2.ini;\n"
    "         a bare car folder name not found here is looked up in the plug-in's\n"
    "         CustomGauges and Gauges folders beside this tool's folder\n"
    "  no PATH: every set in those two folders\n"
    "  --no-images   do not open the images the definitions name\n"
    "Exit status: 0 no errors (warnings may be printed), 1 errors found, 2 bad command line.\n";

// Decoded the way the plug-in decodes its images, so "fine" here means it loads in the game.
gauges::ImageState probeImage(const std::string& path) {
  if (!tools::fileExists(path)) return gauges::ImageState::Missing;
  std::vector<BYTE> pixels;
  UINT w = 0, h = 0;
  return SUCCEEDED(decodeImageFile(widen(path), pixels, w, h)) ? gauges::ImageState::Fine
                                                               : gauges::ImageState::Undecodable;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool isDefinitionName(const fs::path& p) {
  const std::string n = lower(p.filename().string());
  return n == "gauges.ini" || n == "gauges2.ini";
}

// Definition files under a folder, shown as the folder was written plus the
// path below it, in the folder's own separator.
std::vector<std::string> definitionsUnder(const std::string& folder) {
  std::vector<std::string> found;
  const char sep = folder.find('\\') != std::string::npos ? '\\' : '/';
  std::string prefix = folder;
  if (!prefix.empty() && prefix.back() != '/' && prefix.back() != '\\') prefix += sep;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code e;
    if (!it->is_regular_file(e) || !isDefinitionName(it->path())) continue;
    std::string rel = fs::relative(it->path(), folder, e).string();
    std::replace(rel.begin(), rel.end(), sep == '/' ? '\\' : '/', sep);
    found.push_back(prefix + rel);
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    bool images = true;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
      const std::string a = argv[i];
      if (a == "--no-images") {
        images = false;
      } else if (a == "--help" || a == "-h") {
        std::printf("%s", kUsage);
        return 0;
      } else if (a.size() > 1 && a[0] == '-') {
        std::fprintf(stderr, "gauge-lint: unknown option %s\n%s", a.c_str(), kUsage);
        return kUsageError;
      } else {
        paths.push_back(a);
      }
    }
    if (paths.empty()) {
      // Run from a release: the plug-in's own sets, found from where the tool sits.
      paths = tools::pluginGaugeRoots();
      if (paths.empty()) {
        std::fprintf(stderr, "gauge-lint: no definition file or folder given, and no gauge folder of the plug-in "
                             "beside this tool\n%s", kUsage);
        return kUsageError;
      }
    }
    std::vector<std::string> files;
    for (std::string p : paths) {
      if (const std::string car = tools::findPluginCarFolder(p); !car.empty()) p = car;
      const DWORD a = GetFileAttributesA(p.c_str());
      if (a == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "gauge-lint: %s: no such file or folder\n", p.c_str());
        return kUsageError;
      }
      if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
        files.push_back(p);
        continue;
      }
      const std::vector<std::string> found = definitionsUnder(p);
      if (found.empty()) {
        std::fprintf(stderr, "gauge-lint: %s: no Gauges.ini or Gauges2.ini in this folder or below\n", p.c_str());
        return kUsageError;
      }
      files.insert(files.end(), found.begin(), found.end());
    }

    int errors = 0, warnings = 0;
    for (const std::string& file : files) {
      gauges::LintOptions options;
      if (images) options.probeImage = probeImage;
      options.otherDefinitions = gauges::siblingDefinitions(file);
      for (const gauges::LintMessage& m : gauges::lintGaugeDefinition(file, options)) {
        std::printf("%s\n", m.line().c_str());
        (m.error ? errors : warnings) += 1;
      }
    }
    std::fflush(stdout);
    std::fprintf(stderr, "gauge-lint: %d error%s, %d warning%s in %zu file%s\n", errors, errors == 1 ? "" : "s",
                 warnings, warnings == 1 ? "" : "s", files.size(), files.size() == 1 ? "" : "s");
    return errors > 0 ? 1 : 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "gauge-lint: stopped: %s\n", e.what());
    return kUsageError;
  }
}

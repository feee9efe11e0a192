#include "PreviewOptions.h"

#include <cmath>
#include <cstdlib>

namespace ostrel::preview {
namespace {

bool number(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return end && *end == '\0' && std::isfinite(out);
}

bool splitNameValue(const std::string& text, NameValue& out) {
  const auto eq = text.find('=');
  if (eq == std::string::npos || eq == 0 || eq + 1 == text.size()) return false;
  out.name = text.substr(0, eq);
  for (char& c : out.name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  out.text = text.substr(eq + 1);
  return true;
}

}  // namespace

const char* previewUsage() {
  return "usage: gauge-preview DEFINITION [options]\n"
         "  DEFINITION            a Gauges.ini, or a set's folder; a bare car folder name not found here is\n"
         "                        looked up in the plug-in's CustomGauges and Gauges folders (beside Tools)\n"
         "  --set NAME=VALUE      a car value (value source, condition, gear, clock, maxrpm, upshift, downshift)\n"
         "  --out FILE.png        the picture to write (default gauge-preview.png)\n"
         "  --sweep NAME=FROM:TO  move a value from FROM to TO over the frames (repeatable)\n"
         "  --frames N            frames of a sweep (default 30)\n"
         "  --fps F               frames per second of a sweep and of the settling (default 30)\n"
         "  --settle SECONDS      time at the start values before the first picture (default 3)\n"
         "  --frames-dir FOLDER   where a sweep writes frame-0000.png ...\n"
         "  --base IMAGE          base image when the definition names no Replacement\n"
         "  --engine FILE         car data file with MaxRpm and GearNUp / GearNDown lines\n"
         "  --log FILE            copy of the plug-in's log of the run\n"
         "  --list                every value name\n";
}

bool parsePreviewOptions(const std::vector<std::string>& args, PreviewOptions& o, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      into = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--list") {
      o.list = true;
    } else if (a == "--set") {
      if (!value(v)) return false;
      NameValue nv;
      if (!splitNameValue(v, nv)) {
        error = "--set " + v + ": give NAME=VALUE";
        return false;
      }
      o.sets.push_back(nv);
    } else if (a == "--sweep") {
      if (!value(v)) return false;
      NameValue nv;
      Sweep s;
      if (!splitNameValue(v, nv)) {
        error = "--sweep " + v + ": give NAME=FROM:TO";
        return false;
      }
      const auto c = nv.text.find(':');
      if (c == std::string::npos || !number(nv.text.substr(0, c), s.from) || !number(nv.text.substr(c + 1), s.to)) {
        error = "--sweep " + v + ": give NAME=FROM:TO with two numbers";
        return false;
      }
      s.name = nv.name;
      o.sweeps.push_back(s);
    } else if (a == "--frames" || a == "--fps" || a == "--settle") {
      if (!value(v)) return false;
      double n = 0.0;
      if (!number(v, n) || n < 0.0 || (a != "--settle" && n <= 0.0) || (a == "--frames" && (n != std::floor(n) || n > 2000))) {
        error = a + " " + v + ": not a usable number";
        return false;
      }
      if (a == "--frames") o.frames = static_cast<int>(n);
      if (a == "--fps") o.fps = n;
      if (a == "--settle") o.settle = n;
    } else if (a == "--out") {
      if (!value(o.out)) return false;
    } else if (a == "--frames-dir") {
      if (!value(o.framesDir)) return false;
    } else if (a == "--base") {
      if (!value(o.base)) return false;
    } else if (a == "--engine") {
      if (!value(o.engine)) return false;
    } else if (a == "--log") {
      if (!value(o.logFile)) return false;
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option " + a;
      return false;
    } else if (o.definition.empty()) {
      o.definition = a;
    } else {
      error = "one definition file only (got " + o.definition + " and " + a + ")";
      return false;
    }
  }
  if (o.help || o.list) return true;
  if (o.definition.empty()) {
    error = "no definition file given";
    return false;
  }
  if (!o.sweeps.empty() && o.framesDir.empty()) {
    error = "a sweep needs --frames-dir (scripts/gauge.sh preview makes the GIF from it)";
    return false;
  }
  if (o.sweeps.empty() && o.out.empty()) o.out = "gauge-preview.png";
  return true;
}

}  // namespace ostrel::preview

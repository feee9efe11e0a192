// gauge-preview: draws a gauge definition onto its base image with the
// plug-in's own renderer on a real Direct3D 9 device, for car values given on
// the command line, and writes a PNG (or the frames of a sweep).
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "PreviewCar.h"
#include "PreviewDevice.h"
#include "PreviewOptions.h"
#include "TextureHandler.h"
#include "ToolFiles.h"
#include "gauges/GaugeEffect.h"
#include "gauges/GaugeKeywords.h"
#include "gauges/TextureObject.h"
#include "hooks/HookState.h"
#include "plugin/Log.h"
#include "plugin/PluginPaths.h"
#include "plugin/Settings.h"

using namespace ostrel;

namespace {

constexpr int kUsageError = 2;
constexpr int kFailure = 1;

int fail(const std::string& text, int status = kFailure) {
  std::fprintf(stderr, "gauge-preview: %s\n", text.c_str());
  return status;
}

bool isExtra(const std::string& name) {
  return name == "gear" || name == "maxrpm" || name == "upshift" || name == "downshift";
}

// Extras first, so that rpmpercent and shiftup see the maximum and shift
// points and gear given anywhere on the line; the rest in the order given.
bool applySets(preview::PreviewCar& car, const preview::PreviewOptions& o, std::string& error) {
  for (int pass = 0; pass < 2; ++pass)
    for (const preview::NameValue& s : o.sets)
      if (isExtra(s.name) == (pass == 0) && !car.set(s.name, s.text, error)) return false;
  for (const preview::Sweep& s : o.sweeps)
    if (!car.set(s.name, s.from, error)) return false;
  return true;
}

// The base image the game would copy under the gauges: --base, else the
// definition's Replacement next to it.
std::string baseImageOf(const preview::PreviewOptions& o, const std::string& definition, std::string& error) {
  const std::string name = readSettingText(gauges::keys::textureSection(), gauges::keys::replacement(), "", definition);
  if (name.empty()) {
    error = o.definition + " names no Replacement image: give the host's texture image with --base IMAGE";
    return {};
  }
  std::string folder = gauges::folderOf(definition);
  return folder + name;
}

// The renderer's clock: it moves only by the frames the preview draws.
SteadyTime previewNow = std::chrono::steady_clock::now();
SteadyTime previewClock() { return previewNow; }

class FrameDriver {
 public:
  FrameDriver(TextureHandler& handler, preview::PreviewCar& car, IDirect3DDevice9* device)
      : handler_(handler), car_(car), device_(device) {}
  // One drawn frame, `dt` seconds after the previous one, as the host's frame would.
  void frame(double dt) {
    if (gauges::GaugeValueContext* values = handler_.valueContext()) car_.prepare(*values);
    previewNow += std::chrono::duration_cast<SteadyTime::duration>(std::chrono::duration<double>(dt));
    device_->BeginScene();
    handler_.Render();
    device_->EndScene();
  }
  // Blinking starts its period afresh: the first picture shows blinking parts lit.
  void restartEffects() { handler_.restartEffects(); }

 private:
  TextureHandler& handler_;
  preview::PreviewCar& car_;
  IDirect3DDevice9* device_;
};

// The plug-in's own report of the set (the lint lines it logs at load, images
// that did not load, failing device calls), with the author's path in front.
void reportPluginProblems(const std::string& logPath, const std::string& definition, const std::string& shown,
                          const std::string& copyTo) {
  closeLog();
  std::string log;
  if (!tools::readTextFile(logPath, log)) return;
  if (!copyTo.empty()) {
    if (FILE* f = std::fopen(copyTo.c_str(), "wb")) {
      std::fwrite(log.data(), 1, log.size(), f);
      std::fclose(f);
    }
  }
  std::istringstream lines(log);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(definition + ":", 0) == 0)
      line = shown + line.substr(definition.size());
    else if (line.rfind("Error in file", 0) != 0 && line.find("could not") == std::string::npos)
      continue;
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

// The definition file named on the command line: a file as given; a set's
// folder stands for its Gauges.ini; a bare car folder name not found here is
// looked up in the plug-in's gauge folders beside the tool.
std::string definitionPath(const std::string& given) {
  std::string path = given;
  if (const std::string car = tools::findPluginCarFolder(given); !car.empty()) path = car;
  if (tools::folderExists(path)) path += "\\Gauges.ini";
  return tools::fullPath(path);
}

int run(const preview::PreviewOptions& o) {
  // Full paths first: the work folder becomes the current folder.
  const std::string definition = definitionPath(o.definition);
  const std::string engine = o.engine.empty() ? std::string() : tools::fullPath(o.engine);
  const std::string givenBase = o.base.empty() ? std::string() : tools::fullPath(o.base);
  const std::string out = o.out.empty() ? std::string() : tools::fullPath(o.out);
  const std::string framesDir = o.framesDir.empty() ? std::string() : tools::fullPath(o.framesDir);
  const std::string logCopy = o.logFile.empty() ? std::string() : tools::fullPath(o.logFile);
  tools::WorkFolder work;
  if (!work.ok()) return fail("cannot make a work folder under the temporary folder");
  // Closed before the work folder goes, on every way out: an open log would keep it.
  struct LogCloser {
    ~LogCloser() { closeLog(); }
  } logCloser;
  const std::string logPath = work.path() + "\\" + pluginFolder() + "\\" + pluginName() + ".log";

  preview::PreviewCar car;
  std::string error;
  if (!engine.empty()) {
    std::string text;
    if (!tools::readTextFile(engine, text)) return fail("cannot read the car data file " + o.engine);
    car.readEngineText(text);
  }
  if (!applySets(car, o, error)) return fail(error, kUsageError);

  if (definition.empty() || !tools::fileExists(definition))
    return fail("cannot read the definition file " + o.definition);
  const std::string base = givenBase.empty() ? baseImageOf(o, definition, error) : givenBase;
  if (base.empty()) return fail(error);
  if (!tools::fileExists(base)) return fail("the base image " + base + " is missing");
  preview::PreviewDevice device;
  if (!device.ok()) return fail("no Direct3D 9 device (is a display there?)");
  // The host texture has the size of its image as the loader makes it.
  UINT width = 0, height = 0;
  if (!device.baseImageSize(base, width, height)) return fail("the base image " + base + " cannot be decoded");
  IDirect3DTexture9* target = device.createTarget(width, height);
  if (!target)
    return fail("cannot create a " + std::to_string(width) + " x " + std::to_string(height) + " render target");
  refreshRate = 0;  // every call draws: the frame times are ours
  int status = 0;
  {
    setSteadyClockSource(&previewClock);
    TextureHandler handler(device.device(), target, definition, base);
    if (!handler.active()) {
      status = fail("the base image " + base + " cannot be loaded by the gauge renderer");
    } else {
      if (handler.loadedSet().elements == 0) std::fprintf(stderr, "gauge-preview: %s draws no elements\n", o.definition.c_str());
      FrameDriver driver(handler, car, device.device());
      const double dt = 1.0 / o.fps;
      const int settleFrames = static_cast<int>(o.settle * o.fps + 0.5);
      for (int i = 0; i < settleFrames; ++i) driver.frame(dt);
      driver.restartEffects();
      if (o.sweeps.empty()) {
        driver.frame(dt);
        const HRESULT hr = device.savePng(target, out);
        if (FAILED(hr))
          status = fail("cannot write " + o.out + " (" + resultName(hr) + ")");
        else
          std::printf("wrote %s (%u x %u)\n", o.out.c_str(), width, height);
      } else {
        CreateDirectoryA(framesDir.c_str(), nullptr);
        for (int i = 0; i < o.frames && status == 0; ++i) {
          const double t = o.frames == 1 ? 0.0 : static_cast<double>(i) / (o.frames - 1);
          for (const preview::Sweep& s : o.sweeps) car.set(s.name, s.from + (s.to - s.from) * t, error);
          driver.frame(dt);
          char name[32];
          std::snprintf(name, sizeof name, "\\frame-%04d.png", i);
          const HRESULT hr = device.savePng(target, framesDir + name);
          if (FAILED(hr)) status = fail("cannot write " + framesDir + name + " (" + resultName(hr) + ")");
        }
        if (status == 0) std::printf("wrote %d frames to %s\n", o.frames, o.framesDir.c_str());
      }
    }
  }
  target->Release();
  reportPluginProblems(logPath, definition, o.definition, logCopy);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    std::vector<std::string> args(argv + 1, argv + argc);
    preview::PreviewOptions o;
    std::string error;
    if (!preview::parsePreviewOptions(args, o, error)) {
      std::fprintf(stderr, "gauge-preview: %s\n%s", error.c_str(), preview::previewUsage());
      return kUsageError;
    }
    if (o.help) {
      std::printf("%s", preview::previewUsage());
      return 0;
    }
    if (o.list) {
      std::printf("Values for --set and --sweep:\n%s", preview::PreviewCar::describeNames().c_str());
      return 0;
    }
    return run(o);
  } catch (const std::exception& e) {
    return fail(std::string("stopped: ") + e.what());
  }
}

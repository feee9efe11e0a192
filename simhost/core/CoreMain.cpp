// The host's logic, entered from the tiny host executable.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Scenario.h"
#include "Stage.h"

namespace {

// The host's command line: program name first, quotes group words.
std::vector<std::string> splitCommandLine(const char* line) {
  std::vector<std::string> words;
  std::string w;
  bool quoted = false, any = false;
  for (const char* p = line; *p; ++p) {
    if (*p == '"') {
      quoted = !quoted;
      any = true;
    } else if ((*p == ' ' || *p == '\t') && !quoted) {
      if (any) words.push_back(w);
      w.clear();
      any = false;
    } else {
      w += *p;
      any = true;
    }
  }
  if (any) words.push_back(w);
  return words;
}

int usage() {
  std::fprintf(stderr,
               "usage: simhost.exe SCENARIO OUTPUT-FOLDER [--plugin PATH | --no-plugin] [--no-pace] [--count-device] [--host-proxy]\n"
               "       [--quiet-calls] [--resources-every N] [--depth D24S8|D16] [--multisample 2..16]\n"
               "       [--no-texutil] [--texutil-is-d3dx] [--device-chain present|null-outer|null-inner|null-device]\n"
               "       [--bad-prologue frame|gauge|texture|all]\n"
               "  runs from the game folder; loads .\\Plugins\\OSTREL.dll by default\n");
  return 2;
}

int run(const char* commandLine, void* begin, void* end) {
  std::vector<std::string> args = splitCommandLine(commandLine ? commandLine : "");
  simhost::StageOptions options;
  std::vector<std::string> positional;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--plugin" && i + 1 < args.size()) options.pluginPath = args[++i];
    else if (args[i] == "--no-pace") options.pace = false;
    else if (args[i] == "--no-plugin") options.noPlugin = true;
    else if (args[i] == "--count-device") options.countDevice = true;
    else if (args[i] == "--host-proxy") options.hostProxy = true;
    else if (args[i] == "--quiet-calls") options.quietCalls = true;
    else if (args[i] == "--resources-every" && i + 1 < args.size()) options.resourcesEvery = std::max(0, std::atoi(args[++i].c_str()));
    else if (args[i] == "--depth" && i + 1 < args.size()) {
      const std::string& format = args[++i];
      if (format == "D24S8") options.depthFormat = simhost::kDepthD24S8;
      else if (format == "D16") options.depthFormat = simhost::kDepthD16;
      else return usage();
    } else if (args[i] == "--multisample" && i + 1 < args.size()) {
      options.multisample = std::atoi(args[++i].c_str());
      if (options.multisample < 2 || options.multisample > 16) return usage();
    }
    else if (args[i] == "--no-texutil") options.noTexUtil = true;
    else if (args[i] == "--texutil-is-d3dx") options.texUtilIsD3dx = true;
    else if (args[i] == "--device-chain" && i + 1 < args.size()) options.deviceChain = args[++i];
    else if (args[i] == "--bad-prologue" && i + 1 < args.size()) {
      const std::string& which = args[++i];
      if (which == "frame" || which == "all") options.badFramePrologue = true;
      if (which == "gauge" || which == "all") options.badGaugePrologue = true;
      if (which == "texture" || which == "all") options.badTexturePrologue = true;
      if (which != "frame" && which != "gauge" && which != "texture" && which != "all") return usage();
    }
    else if (args[i].rfind("--", 0) == 0) return usage();
    else positional.push_back(args[i]);
  }
  if (positional.size() != 2) return usage();
  options.scenarioPath = positional[0];
  options.outputFolder = positional[1];
  std::ifstream in(options.scenarioPath, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "simhost: cannot read the scenario %s\n", options.scenarioPath.c_str());
    return 2;
  }
  std::stringstream text;
  text << in.rdbuf();
  simhost::Scenario scenario;
  try {
    scenario = simhost::parseScenario(text.str(), options.scenarioPath);
  } catch (const simhost::ScenarioError& e) {
    std::fprintf(stderr, "simhost: %s\n", e.what());
    return 2;
  }
  return simhost::runStage(scenario, options, begin, end);
}

}  // namespace

extern "C" __declspec(dllexport) int simhostRun(const char* commandLine, void* begin, void* end) {
  try {
    int code = run(commandLine, begin, end);
    std::fflush(stdout);
    std::fflush(stderr);
    return code;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "simhost: %s\n", e.what());
    return 6;
  }
}

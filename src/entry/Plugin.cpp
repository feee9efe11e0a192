#include "entry/Plugin.h"

#include <new>
#include <string>

#include "hooks/Startup.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/MenuLogic.h"
#include "plugin/MenuPage.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginPaths.h"
#include "plugin/PluginState.h"
#include "telemetry/TelemetryOut.h"

namespace ostrel {
namespace {

Plugin* keptPlugin = nullptr;
PluginState* processState = nullptr;

// Nothing may leave an entry into the host: one line, and the caller goes on.
void logEntryFailure(const char* entry) noexcept {
  try {
    logText(std::string(FT("Unexpected error in ")) + entry);
  } catch (...) {
  }
}

}  // namespace

PluginState* pluginState() { return processState; }

Plugin::Plugin(IHostGame* hostGame) : host(hostGame) {
  logText(std::string(FT("Creating plug-in ")) + pluginName() + FT("."));
  setPluginHost(hostGame);
  // One state per process: a Plugin made again after the host destroyed the
  // first keeps the values (and the unsaved changes) of the page.
  if (!processState) processState = new PluginState(hostGame);
  processState->host = hostGame;
  state = processState;
  if (!ensurePluginFolder()) logCText(FT("Could not create the plug-in folder"));
}

void* Plugin::ScalarDeletingDestructor(unsigned flags) {
  try {
    logText(std::string(FT("Destroying plug-in ")) + pluginName() + FT("."));
  } catch (...) {
  }
  if (keptPlugin == this) keptPlugin = nullptr;
  try {
    telemetry::stopTelemetry();
  } catch (...) {
  }
  this->~Plugin();
  if (flags & 1u) ::operator delete(this);
  return this;
}

const char* Plugin::QueryName() {
  try {
    runQueryNameStartup();
  } catch (...) {
    logEntryFailure(FT("QueryName"));
  }
  return processPluginName();
}

void Plugin::DrawMenuPage() {
  try {
    if (host && state) drawMenuPage(*host, *state);
  } catch (...) {
    logEntryFailure(FT("DrawMenuPage"));
  }
}

void Plugin::UnhandledCallA() {}

void Plugin::HandleMenuInput(std::uint32_t, std::uint32_t up, std::uint32_t down, std::uint32_t decrease,
                             std::uint32_t increase, std::uint32_t select) {
  try {
    if (!state) return;
    MenuInput input;
    input.up = hostFlag(up);
    input.down = hostFlag(down);
    input.decrease = hostFlag(decrease);
    input.increase = hostFlag(increase);
    input.select = hostFlag(select);
    applyMenuInput(*state, input);
  } catch (...) {
    logEntryFailure(FT("HandleMenuInput"));
  }
}

void Plugin::Tick(float elapsed) {
  try {
    if (state) tickSaveFeedback(host, *state, elapsed);
  } catch (...) {
    logEntryFailure(FT("Tick"));
  }
}

void Plugin::UnhandledCallB(std::uint32_t, std::uint32_t, std::uint32_t) {}
void Plugin::UnhandledCallC(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
void Plugin::UnhandledCallD(std::uint32_t, std::uint32_t, std::uint32_t) {}

IPlugin* createPlugin(IHostGame* host) {
  try {
    if (!keptPlugin) keptPlugin = new Plugin(host);
    return keptPlugin;
  } catch (...) {
    logEntryFailure(FT("KVX_CreatePlugin"));
    return nullptr;
  }
}

}  // namespace ostrel

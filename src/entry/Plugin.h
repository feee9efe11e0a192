#pragma once
// The object the host drives: the plug-in's name, its menu page, the menu
// keys and the tick. Created by KVX_CreatePlugin. The one place that knows
// every subsystem: its first name query starts the hooks, its destruction
// stops telemetry.
#include "plugin/HostInterfaces.h"
#include "plugin/PluginHost.h"

namespace ostrel {

class PluginState;

class Plugin final : public IPlugin {
 public:
  explicit Plugin(IHostGame* host);

  void* OSTREL_THISCALL ScalarDeletingDestructor(unsigned flags) override;
  const char* OSTREL_THISCALL QueryName() override;
  void OSTREL_THISCALL DrawMenuPage() override;
  void OSTREL_THISCALL UnhandledCallA() override;
  void OSTREL_THISCALL HandleMenuInput(std::uint32_t ignored, std::uint32_t up, std::uint32_t down,
                                       std::uint32_t decrease, std::uint32_t increase,
                                       std::uint32_t select) override;
  void OSTREL_THISCALL Tick(float elapsed) override;
  void OSTREL_THISCALL UnhandledCallB(std::uint32_t, std::uint32_t, std::uint32_t) override;
  void OSTREL_THISCALL UnhandledCallC(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) override;
  void OSTREL_THISCALL UnhandledCallD(std::uint32_t, std::uint32_t, std::uint32_t) override;

  IHostGame* host = nullptr;   // not owned
  PluginState* state = nullptr;  // process-wide, never released
};

// The entry function's work. The first call creates the Plugin; later calls
// return it while it lives. After the host destroyed it, a call creates a
// fresh Plugin (with the new host) on the same, kept PluginState, so no freed
// object is ever handed out. Returns null only when nothing could be made.
IPlugin* createPlugin(IHostGame* host);

// The one PluginState (null before the first Plugin).
PluginState* pluginState();

}  // namespace ostrel

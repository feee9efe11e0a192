#include "plugin/PluginHost.h"

namespace ostrel {
namespace {

IHostGame* processHost = nullptr;

}  // namespace

IHostGame* pluginHost() { return processHost; }
void setPluginHost(IHostGame* host) { processHost = host; }

}  // namespace ostrel

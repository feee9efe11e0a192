// Placeholder until the plug-in object lands.
#include "plugin/HostInterfaces.h"

namespace ostrel {
IPlugin* createPlugin(IHostGame*) { return nullptr; }
}

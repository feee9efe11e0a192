// The library's entry points: the loader notification and KVX_CreatePlugin.
#include <windows.h>

#include "plugin/CrashTrace.h"
#include "plugin/Log.h"

struct IHostGame;
struct IPlugin;

namespace ostrel {
IPlugin* createPlugin(IHostGame* host);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    ostrel::openLog();
    ostrel::installCrashTrace(instance);
  }
  if (reason == DLL_PROCESS_DETACH) {
    ostrel::removeCrashTrace();
    ostrel::closeLog();
  }
  return TRUE;
}

extern "C" __declspec(dllexport) IPlugin* KVX_CreatePlugin(IHostGame* host) {
  return ostrel::createPlugin(host);
}

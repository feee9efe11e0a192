#pragma once
// Start-up on the host's first name query: by then the host's window and
// device exist. Runs once; every call writes its log line.
#include <string>

struct IDirect3DDevice9;

namespace ostrel {

void runQueryNameStartup();

// Sets the client width from the device's focus window (left alone when the
// window cannot be measured).
void measureClientWidth(IDirect3DDevice9* device);

void loadHookConfiguration();
void collectGaugeTextures(const std::string& root);

}  // namespace ostrel

#pragma once
// Start-up on the host's first name query: by then the host's window and
// device exist. Runs once; every call writes its log line.
#include <cstdint>
#include <string>

struct IDirect3DDevice9;

namespace ostrel {

void runQueryNameStartup();

// Client width of the host window as last measured (0 = not measured): the
// frame driver writes it into the host's width words.
extern std::int32_t clientWidth;
// Sets the client width from the device's focus window (left alone when the
// window cannot be measured); at start-up and after each Reset.
void measureClientWidth(IDirect3DDevice9* device);

void loadHookConfiguration();
void collectGaugeTextures(const std::string& root);

}  // namespace ostrel

#pragma once
// Telemetry out: each host frame while a stage is driven, the car's values go
// to the targets the player set, in the formats their tools read.

#include <cstdint>

namespace ostrel::telemetry {

// Called by the frame driver once per host frame, after the panels. Takes up
// changed settings, then sends when a packet is due. Never waits.
void telemetryFrame();
// Closes the sockets and lets the name resolver's thread go (the plug-in is
// being destroyed); a later frame opens them again if telemetry is still on.
void stopTelemetry();

// How target names are looked up, on the resolver's thread (null: the
// system's resolver), and the pause before a failed name is tried again.
// For tests: the settings are taken up again with them by the next frame.
using NameLookupFunction = bool (*)(const char* name, std::uint32_t& address);
void setNameLookup(NameLookupFunction lookup, double retryPauseSeconds = 5.0);

}  // namespace ostrel::telemetry

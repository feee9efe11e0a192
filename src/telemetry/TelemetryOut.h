#pragma once
// Telemetry out: each host frame while a stage is driven, the car's values go
// to the targets the player set, in the formats their tools read.

namespace ostrel::telemetry {

// Called by the frame driver once per host frame, after the panels. Takes up
// changed settings, then sends when a packet is due. Never waits.
void telemetryFrame();
// Closes the sockets (the plug-in is being destroyed); a later frame opens
// them again if telemetry is still on.
void stopTelemetry();

}  // namespace ostrel::telemetry

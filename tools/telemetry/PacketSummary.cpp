#include "PacketSummary.h"

#include <cstdio>
#include <cstring>

#include "telemetry/TelemetryPackets.h"

using namespace ostrel::telemetry;

std::string PacketSummary::add(const std::uint8_t* bytes, std::size_t size) {
  ++packets;
  lastSize = size < sizeof last ? size : sizeof last;
  std::memcpy(last, bytes, lastSize);
  PhaseEvent events[2];
  const int n = phases.read(bytes, size, events);
  std::string lines;
  float runTime = 0.0f;
  if (size >= 4) std::memcpy(&runTime, bytes, 4);
  for (int i = 0; i < n; ++i) {
    char text[160];
    switch (events[i].kind) {
      case PhaseEvent::Kind::kStart:
        std::snprintf(text, sizeof text, "phase: stage started (run time %.2f s)", runTime);
        break;
      case PhaseEvent::Kind::kPause: std::snprintf(text, sizeof text, "phase: paused"); break;
      case PhaseEvent::Kind::kResume: std::snprintf(text, sizeof text, "phase: resumed"); break;
      case PhaseEvent::Kind::kFinish:
        std::snprintf(text, sizeof text, "phase: finished, stage time %.2f s%s", events[i].stageTime,
                      events[i].beforeStart ? " (before any start: laps completed already equal the total laps)"
                                            : "");
        break;
      case PhaseEvent::Kind::kOver: std::snprintf(text, sizeof text, "phase: stage over"); break;
    }
    lines += text;
    lines += '\n';
  }
  return lines;
}

std::string PacketSummary::line(double seconds) {
  char text[320];
  const PacketFormatRow* row = formatOfSize(lastSize);
  if (packets == 0) {
    std::snprintf(text, sizeof text, "no packets (is telemetry on in the settings, and the car on a stage?)");
  } else if (row) {
    row->summary(last, lastSize, packets / seconds, text, sizeof text);
  } else {
    std::string known;
    for (const PacketFormatRow& f : packetFormats()) {
      if (!known.empty()) known += " nor ";
      known += std::string("format ") + f.letter + " (" + std::to_string(f.sizes[0]);
      if (f.sizes[1]) known += " or " + std::to_string(f.sizes[1]);
      known += ")";
    }
    std::snprintf(text, sizeof text, "%5.1f packets/s of %u bytes: neither %s", packets / seconds,
                  static_cast<unsigned>(lastSize), known.c_str());
  }
  packets = 0;
  return text;
}

std::string usageText() {
  std::string ports;
  for (const PacketFormatRow& f : packetFormats()) {
    if (!ports.empty()) ports += ", ";
    ports += std::to_string(f.defaultPort) + " for format " + f.letter;
  }
  return "usage: telemetry-listen [PORT] [--seconds N]\n"
         "  PORT: the port of a Targets entry (by default " + ports + ";\n"
         "        0 for any free port)\n";
}

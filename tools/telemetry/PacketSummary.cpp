#include "PacketSummary.h"

#include <cstdio>
#include <cstring>

namespace {

float floatAt(const std::uint8_t* p, std::size_t offset) {
  float v;
  std::memcpy(&v, p + offset, sizeof v);
  return v;
}

std::string gearTextA(float g) {
  if (g == 0.0f) return "N";
  if (g < 0.0f || g == 10.0f) return "R";
  return std::to_string(static_cast<int>(g));
}

std::string gearTextB(std::uint8_t g) {
  if (g == 0) return "R";
  if (g == 1) return "N";
  return std::to_string(g - 1);
}

}  // namespace

void PacketSummary::add(const std::uint8_t* bytes, std::size_t size) {
  ++packets;
  if (size == 264) ++formatA;
  else if (size == 92 || size == 96) ++formatB;
  else ++unknown;
  lastSize = size < sizeof last ? size : sizeof last;
  std::memcpy(last, bytes, lastSize);
}

std::string PacketSummary::line(double seconds) {
  char text[256];
  if (packets == 0) {
    std::snprintf(text, sizeof text, "no packets (is telemetry on in the settings, and the car on a stage?)");
  } else if (lastSize == 264) {
    std::snprintf(text, sizeof text,
                  "format A  %5.1f packets/s  speed %6.1f km/h  %5.0f rpm (max %5.0f)  gear %s  stage time %7.2f s  "
                  "driven %7.0f m  progress %3.0f %%",
                  packets / seconds, floatAt(last, 28) * 3.6f, floatAt(last, 148) * 10.0f, floatAt(last, 252) * 10.0f,
                  gearTextA(floatAt(last, 132)).c_str(), floatAt(last, 4), floatAt(last, 8), floatAt(last, 12) * 100.0f);
  } else if (lastSize == 92 || lastSize == 96) {
    std::snprintf(text, sizeof text,
                  "format B  %5.1f packets/s  speed %6.1f km/h  %5.0f rpm  gear %s  water %5.1f C  oil %5.1f C  "
                  "%4.2f bar  car %.4s",
                  packets / seconds, floatAt(last, 12) * 3.6f, floatAt(last, 16), gearTextB(last[10]).c_str(),
                  floatAt(last, 24), floatAt(last, 36), floatAt(last, 32), reinterpret_cast<const char*>(last + 4));
  } else {
    std::snprintf(text, sizeof text, "%5.1f packets/s of %u bytes: neither format A (264) nor B (92 or 96)",
                  packets / seconds, static_cast<unsigned>(lastSize));
  }
  packets = formatA = formatB = unknown = 0;
  return text;
}

#include "telemetry/TelemetryTargets.h"

#include <cctype>

#include "gauges/GaugeLint.h"
#include "plugin/FixedText.h"
#include "telemetry/TelemetryPackets.h"

namespace ostrel::telemetry {
namespace {

std::string trimmed(const std::string& s) {
  std::size_t from = 0, to = s.size();
  while (from < to && std::isspace(static_cast<unsigned char>(s[from]))) ++from;
  while (to > from && std::isspace(static_cast<unsigned char>(s[to - 1]))) --to;
  return s.substr(from, to - from);
}

bool allDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

std::optional<PacketFormat> formatNamed(const std::string& word) {
  if (word.size() != 1) return std::nullopt;
  const PacketFormatRow* row = formatOfLetter(word[0]);
  if (!row) return std::nullopt;
  return row->format;
}

// The reason an entry is skipped, or "" when `target` was filled.
std::string readEntry(const std::string& entry, Target& target) {
  const std::size_t at = entry.find('@');
  const std::size_t colon = entry.rfind(':');
  if (at == std::string::npos || colon == std::string::npos || colon < at)
    return FT("not of the form FORMAT@HOST:PORT");
  const std::string format = trimmed(entry.substr(0, at));
  const std::optional<PacketFormat> f = formatNamed(format);
  if (!f) {
    std::string reason = std::string(FT("unknown format \"")) + format + FT("\" (the formats are ") + formatLetters();
    std::vector<std::string> letters;
    for (const PacketFormatRow& row : packetFormats()) letters.emplace_back(1, row.letter);
    const std::string near = gauges::nearestSpelling(format, letters);
    if (!near.empty() && format.size() > 1) reason += std::string(FT("; did you mean ")) + near + FT("?");
    return reason + ")";
  }
  target.format = *f;
  target.host = trimmed(entry.substr(at + 1, colon - at - 1));
  if (target.host.empty()) return FT("no host between @ and :");
  const std::string port = trimmed(entry.substr(colon + 1));
  if (!allDigits(port) || port.size() > 5 || std::stoul(port) < 1 || std::stoul(port) > 65535)
    return std::string(FT("port \"")) + port + FT("\" is not a number from 1 to 65535");
  target.port = static_cast<std::uint16_t>(std::stoul(port));
  target.text = entry;
  return {};
}

}  // namespace

std::string formatLetters() {
  std::string text;
  const auto rows = packetFormats();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i > 0) text += i + 1 == rows.size() ? FT(" and ") : ", ";
    text += rows[i].letter;
  }
  return text;
}

const char* defaultTargetsText() {
  // The first format, to this computer, on its default port.
  static const std::string text = std::string(1, packetFormats()[0].letter) + FT("@127.0.0.1:") +
                                  std::to_string(packetFormats()[0].defaultPort);
  return text.c_str();
}

TargetList parseTargets(const std::string& text) {
  TargetList list;
  std::size_t from = 0;
  while (from <= text.size()) {
    std::size_t comma = text.find(',', from);
    if (comma == std::string::npos) comma = text.size();
    const std::string entry = trimmed(text.substr(from, comma - from));
    from = comma + 1;
    if (entry.empty()) continue;
    Target target;
    const std::string reason = readEntry(entry, target);
    if (!reason.empty())
      list.problems.push_back({entry, reason});
    else if (list.targets.size() >= kMaxTargets)
      list.problems.push_back({entry, FT("more than four targets")});
    else
      list.targets.push_back(std::move(target));
  }
  return list;
}

std::optional<std::uint32_t> parseIPv4(const std::string& text) {
  std::uint32_t address = 0;
  int parts = 0;
  std::size_t from = 0;
  while (parts < 4) {
    std::size_t dot = text.find('.', from);
    const bool last = parts == 3;
    if (last) dot = text.size();
    if (dot == std::string::npos) return std::nullopt;
    const std::string part = text.substr(from, dot - from);
    if (!allDigits(part) || part.size() > 3) return std::nullopt;
    const unsigned long value = std::stoul(part);
    if (value > 255) return std::nullopt;
    // Network byte order: the first part is the lowest byte in memory.
    address |= static_cast<std::uint32_t>(value) << (8 * parts);
    ++parts;
    from = dot + 1;
  }
  return address;
}

}  // namespace ostrel::telemetry

#include "telemetry/TelemetryOut.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "panels/HostState.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/SettingsTable.h"
#include "plugin/SteadyClock.h"
#include "plugin/StoredSettings.h"
#include "telemetry/CarSampler.h"
#include "telemetry/SendSchedule.h"
#include "telemetry/TelemetryPackets.h"
#include "telemetry/TelemetrySettings.h"
#include "telemetry/TelemetryTargets.h"
#include "telemetry/UdpSender.h"

namespace ostrel::telemetry {
namespace {

struct Destination {
  PacketFormat format = PacketFormat::kA;
  std::string text;  // as the player wrote it
  UdpSender sender;
  bool stopped = false;
};

struct Running {
  std::uint32_t appliedGeneration = 0;
  std::optional<StoredTelemetry> applied;  // the values taken up last
  bool on = false;
  std::array<Destination, kMaxTargets> destinations;
  std::size_t count = 0;
  PacketCoding coding;
  SendSchedule schedule;
  float maxRpm = 0.0f;
  float idleRpm = 0.0f;
  CarSampler sampler;
  CarSample last;  // held while the game is paused
  bool driving = false;
  bool runClockStarted = false;
  SteadyTime runStart{};
  alignas(4) std::uint8_t packetA[kFormatASize] = {};
  alignas(4) std::uint8_t packetB[kFormatBSize] = {};
};

Running& running() {
  static Running r;
  return r;
}

// One line per bad value: file, section, key, the value and what is done.
void logBadValue(SettingId id, const std::string& value, const std::string& reason, const char* instead) {
  const SettingRow& row = settingRow(id);
  logText(std::string(FT("Telemetry: value \"")) + value + FT("\" of key ") + row.key() + FT(" in section [") +
          row.section() + FT("] of ") + settingFile(row) + FT(": ") + reason + FT("; ") + instead);
}

std::int32_t checkedNumber(SettingId id, std::int32_t value, bool ok, const char* reason) {
  if (ok) return value;
  const std::int32_t fallback = settingRow(id).defaultValue;
  logBadValue(id, std::to_string(value), reason, (std::string(FT("using ")) + std::to_string(fallback)).c_str());
  return fallback;
}

void closeAll(Running& r) {
  for (Destination& d : r.destinations) {
    d.sender.close();
    d.stopped = false;
  }
  r.count = 0;
}

const char* formatName(PacketFormat f) { return f == PacketFormat::kA ? FT("A") : FT("B"); }

void takeUpSettings(Running& r) {
  const StoredTelemetry& s = storedTelemetry();
  r.appliedGeneration = storedTelemetryGeneration();
  // The menu reads the file again each time: unchanged values change nothing
  // (and say nothing again).
  if (r.applied == s) return;
  r.applied = s;
  const bool wasOn = r.on;
  closeAll(r);
  r.on = s.enabled;
  if (!r.on) {
    if (wasOn) logText(FT("Telemetry: off"));
    return;
  }
  using enum SettingId;
  const std::int32_t rate = checkedNumber(kTelemetryRate, s.rate, s.rate >= 0 && s.rate <= 1000,
                                          FT("not a rate from 0 (every frame) to 1000 a second"));
  r.schedule.setRate(rate);
  r.coding.reverseCode = checkedNumber(kTelemetryReverseCode, s.reverseCode, s.reverseCode == -1 || s.reverseCode == 10,
                                       FT("reverse is sent as -1 or as 10"));
  r.idleRpm = static_cast<float>(
      checkedNumber(kTelemetryIdleRpm, s.idleRpm, s.idleRpm > 0, FT("an engine speed above 0 is needed")));
  r.maxRpm = static_cast<float>(
      checkedNumber(kTelemetryMaxRpm, s.maxRpm, s.maxRpm > 0, FT("an engine speed above 0 is needed")));
  r.coding.id = s.id;
  std::string problem;
  if (const std::optional<GearMap> gears = parseGearMap(s.gearMap, problem)) {
    r.coding.gears = *gears;
  } else {
    r.coding.gears = defaultGearMap();
    logBadValue(kTelemetryGearMap, s.gearMap, problem,
                (std::string(FT("using ")) + defaultGearMapText()).c_str());
  }
  const TargetList list = parseTargets(s.targets);
  for (const TargetProblem& p : list.problems) logBadValue(kTelemetryTargets, p.entry, p.reason, FT("that target is skipped"));
  for (const Target& t : list.targets) {
    Destination& d = r.destinations[r.count];
    problem.clear();
    if (!d.sender.open(t.host, t.port, problem)) {
      logBadValue(kTelemetryTargets, t.text, problem, FT("that target is skipped"));
      continue;
    }
    d.format = t.format;
    d.text = t.text;
    ++r.count;
    logText(std::string(FT("Telemetry: sending format ")) + formatName(t.format) + FT(" to ") + t.host + ":" +
            std::to_string(t.port) + (rate > 0 ? FT(", at most ") + std::to_string(rate) + FT(" packets a second")
                                                : std::string(FT(", every frame"))));
  }
  if (r.count == 0) logText(FT("Telemetry: on, but no target to send to"));
  r.driving = false;
}

void sendTo(Destination& d, const std::uint8_t* bytes, std::size_t size) {
  if (d.stopped) return;
  int error = 0;
  if (d.sender.send(bytes, size, error) != UdpSender::Outcome::kFailed) return;
  d.stopped = true;
  d.sender.close();
  logText(std::string(FT("Telemetry: sending to ")) + d.text + FT(" stopped: socket error ") + std::to_string(error) +
          " " + socketErrorName(error));
}

void sendFrame(Running& r) {
  const std::int32_t mode = host::gameMode();
  const bool driving = (mode == host::kModeDrivingStage || mode == host::kModeShowInMode8) &&
                       host::pointers().carObject != nullptr;
  if (!driving) {
    r.driving = false;
    return;
  }
  const SteadyTime now = steadyNow();
  if (!r.runClockStarted) {
    r.runClockStarted = true;
    r.runStart = now;
  }
  const float runTime = static_cast<float>(secondsBetween(r.runStart, now));
  if (!r.driving) {
    r.driving = true;
    r.sampler.beginStage(r.maxRpm, r.idleRpm);
    r.last = r.sampler.sample(runTime);
  }
  if (!r.schedule.due(secondsBetween(r.runStart, now))) return;
  // Paused: the car's values stay as they were, the run time counts on (a
  // consumer sees a pause that way).
  if (host::pauseWord() == 0) r.last = r.sampler.sample(runTime);
  r.last.runTime = runTime;
  const std::size_t sizeA = buildFormatA(r.last, r.coding, r.packetA);
  const std::size_t sizeB = buildFormatB(r.last, r.coding, r.packetB);
  for (std::size_t i = 0; i < r.count; ++i) {
    Destination& d = r.destinations[i];
    if (d.format == PacketFormat::kA)
      sendTo(d, r.packetA, sizeA);
    else
      sendTo(d, r.packetB, sizeB);
  }
}

}  // namespace

void telemetryFrame() {
  Running& r = running();
  if (storedTelemetryGeneration() != r.appliedGeneration) takeUpSettings(r);
  if (r.on && r.count > 0) sendFrame(r);
}

void stopTelemetry() {
  Running& r = running();
  closeAll(r);
  r.on = false;
  r.applied.reset();
  r.appliedGeneration = storedTelemetryGeneration() - 1;  // taken up again by the next frame
}

}  // namespace ostrel::telemetry

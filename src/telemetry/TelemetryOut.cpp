#include "telemetry/TelemetryOut.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "panels/HostState.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/SettingsTable.h"
#include "plugin/SteadyClock.h"
#include "plugin/StoredSettings.h"
#include "gauges/GaugeLint.h"
#include "telemetry/CarSampler.h"
#include "telemetry/NameResolver.h"
#include "telemetry/RetryPause.h"
#include "telemetry/SendSchedule.h"
#include "telemetry/StagePhases.h"
#include "telemetry/TelemetryPackets.h"
#include "telemetry/TelemetrySettings.h"
#include "telemetry/TelemetryTargets.h"
#include "telemetry/UdpSender.h"

namespace ostrel::telemetry {
namespace {

struct Destination {
  PacketFormat format = PacketFormat::kA;
  std::string text;  // as the player wrote it, as printable ASCII for the run-time lines
  UdpSender sender;
  RetryPause sendPause;  // after a send the system refused
  // A target given by name: sends once the resolver has its address.
  int nameSlot = -1;
  std::uint32_t failuresSeen = 0;
  RetryPause nameNews;   // what has been said about the name
  std::string nameFailedLine, nameResolvedLine;  // made when the settings are taken up
};

struct Running {
  std::uint32_t appliedGeneration = 0;
  std::optional<StoredTelemetry> applied;  // the values taken up last
  bool on = false;
  std::array<Destination, kMaxTargets> destinations;
  std::size_t count = 0;
  std::size_t unresolved = 0;  // destinations still waiting for their name
  NameResolver resolver;
  NameLookup lookup = nullptr;  // null: the system's resolver
  double namePause = kRetryPauseSeconds;
  SteadyTime pauseClockStart{};
  PacketCoding coding;
  SendSchedule schedule;
  float maxRpm = 0.0f;
  float idleRpm = 0.0f;
  CarSampler sampler;
  CarSample last;  // held while the game is paused
  StagePhases phases;  // for the formats with phases
  bool driving = false;
  bool runClockStarted = false;
  SteadyTime runStart{};
  // One packet per format, built once per due frame for all its targets.
  alignas(4) std::uint8_t packets[kFormatCount][kMaxPacketSize] = {};
  std::size_t sizes[kFormatCount] = {};
};

Running& running() {
  static Running r;
  return r;
}

// One line per bad value: file, section, key, the value and what is done.
std::string badValueLine(SettingId id, const std::string& value, const std::string& reason, const std::string& instead) {
  const SettingRow& row = settingRow(id);
  return std::string(FT("Telemetry: value \"")) + value + FT("\" of key ") + row.key() + FT(" in section [") +
         row.section() + FT("] of ") + settingFile(row) + FT(": ") + reason + FT("; ") + instead;
}
void logBadValue(SettingId id, const std::string& value, const std::string& reason, const char* instead) {
  logText(badValueLine(id, value, reason, instead));
}

// Lines said while sending are written as they are, without the log's
// conversion (which allocates): made printable ASCII beforehand.
std::string printable(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
  return text;
}
void logPlain(const std::string& line) { logPlainLine(line.data(), line.size()); }
template <typename... Values>
void logPlainFormat(const char* format, Values... values) {
  char line[400];
  const int n = std::snprintf(line, sizeof line, format, values...);
  if (n > 0) logPlainLine(line, static_cast<std::size_t>(n) < sizeof line ? static_cast<std::size_t>(n) : sizeof line - 1);
}

double pauseClock(const Running& r) { return secondsBetween(r.pauseClockStart, steadyNow()); }

std::int32_t checkedNumber(SettingId id, std::int32_t value, bool ok, const char* reason) {
  if (ok) return value;
  const std::int32_t fallback = settingRow(id).defaultValue;
  logBadValue(id, std::to_string(value), reason, (std::string(FT("using ")) + std::to_string(fallback)).c_str());
  return fallback;
}

void closeAll(Running& r) {
  r.resolver.stop();
  for (Destination& d : r.destinations) {
    d.sender.close();
    d.sendPause = RetryPause();
    d.nameSlot = -1;
    d.failuresSeen = 0;
    d.nameNews = RetryPause();
  }
  r.count = 0;
  r.unresolved = 0;
}


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
    r.driving = false;
    r.phases = StagePhases{};
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
  r.pauseClockStart = steadyNow();
  std::string names[kMaxTargets];
  std::size_t nameCount = 0;
  for (const Target& t : list.targets) {
    Destination& d = r.destinations[r.count];
    problem.clear();
    if (!d.sender.open(t.port, problem)) {
      logBadValue(kTelemetryTargets, t.text, problem, FT("that target is skipped"));
      continue;
    }
    d.format = t.format;
    d.text = printable(t.text);
    if (const std::optional<std::uint32_t> numeric = parseIPv4(t.host)) {
      d.sender.setAddress(*numeric);
    } else {
      // Resolved off the game's thread; sent to once it resolves.
      d.nameSlot = static_cast<int>(nameCount);
      names[nameCount++] = t.host;
      ++r.unresolved;
      std::string why = std::string(FT("the name \"")) + t.host + FT("\" does not resolve");
      const std::string nearest = gauges::nearestSpelling(t.host, {FT("localhost")});
      if (!nearest.empty()) why += std::string(FT("; did you mean ")) + nearest + FT("?");
      d.nameFailedLine = printable(badValueLine(kTelemetryTargets, t.text, why,
                                                std::string(FT("trying again every ")) +
                                                    std::to_string(static_cast<int>(kRetryPauseSeconds)) + FT(" seconds")));
      d.nameResolvedLine = printable(std::string(FT("Telemetry: the name \"")) + t.host + FT("\" of target ") + t.text +
                                     FT(" resolves now; sending to it"));
    }
    ++r.count;
    logText(std::string(FT("Telemetry: sending format ")) + formatRow(t.format).letter + FT(" to ") + t.host + ":" +
            std::to_string(t.port) + (rate > 0 ? FT(", at most ") + std::to_string(rate) + FT(" packets a second")
                                                : std::string(FT(", every frame"))));
  }
  if (r.count == 0) logText(FT("Telemetry: on, but no target to send to"));
  if (nameCount > 0 && !r.resolver.start(names, nameCount, r.lookup ? r.lookup : &lookUpName, r.namePause)) {
    logText(FT("Telemetry: no thread could be started to resolve host names; the targets given by name are skipped"));
    r.unresolved = 0;
  }
  // Taken up while on a stage: its end goes to the new targets, and the
  // stage is sent as a new one.
  if (r.driving) r.phases.leave(r.last);
  r.driving = false;
}

// Takes up what the resolver found: a resolved name's target sends from now
// on; a name's first failure and its resolving after failing are said once.
void followNames(Running& r) {
  for (std::size_t i = 0; i < r.count; ++i) {
    Destination& d = r.destinations[i];
    if (d.nameSlot < 0 || d.sender.hasAddress()) continue;
    const NameResolver::Result found = r.resolver.result(static_cast<std::size_t>(d.nameSlot));
    if (found.resolved) {
      d.sender.setAddress(found.address);
      --r.unresolved;
      if (d.nameNews.worked()) logPlain(d.nameResolvedLine);
    } else if (found.failures > d.failuresSeen) {
      d.failuresSeen = found.failures;
      if (d.nameNews.failed(0.0)) logPlain(d.nameFailedLine);
    }
  }
}

// A send the system refuses (a firewall that asks the player first, an
// address it will not send to) pauses that target, then it is tried again.
void sendTo(Destination& d, const std::uint8_t* bytes, std::size_t size, double now) {
  if (!d.sender.hasAddress() || !d.sendPause.mayTry(now)) return;
  int error = 0;
  const UdpSender::Outcome outcome = d.sender.send(bytes, size, error);
  if (outcome == UdpSender::Outcome::kSent) {
    if (d.sendPause.worked()) logPlainFormat(FT("Telemetry: sending to %s works again"), d.text.c_str());
    return;
  }
  if (outcome != UdpSender::Outcome::kFailed || !d.sendPause.failed(now)) return;
  logPlainFormat(FT("Telemetry: sending to %s paused: socket error %d %s; trying again every %d seconds"),
                 d.text.c_str(), error, socketErrorName(error), static_cast<int>(kRetryPauseSeconds));
}

void sendFrame(Running& r) {
  const std::int32_t mode = host::gameMode();
  const bool driving = (mode == host::kModeDrivingStage || mode == host::kModeShowInMode8) &&
                       host::pointers().carObject != nullptr;
  if (!driving && r.driving) {
    r.driving = false;
    r.phases.leave(r.last);
  }
  // Off the stage only the end of the stage is still sent.
  if (!driving && !r.phases.ending()) return;
  const SteadyTime now = steadyNow();
  if (!r.runClockStarted) {
    r.runClockStarted = true;
    r.runStart = now;
  }
  const double runSeconds = secondsBetween(r.runStart, now);
  const float runTime = static_cast<float>(runSeconds);
  if (driving && !r.driving) {
    r.driving = true;
    r.sampler.beginStage(r.maxRpm, r.idleRpm);
    r.last = r.sampler.sample(runTime);
    r.phases.begin();
    r.phases.sampled(r.last, host::finishedFlag() != 0, runSeconds);
  }
  if (!r.schedule.due(runSeconds)) return;
  // Paused: the car's values stay as they were, the run time counts on (a
  // consumer sees a pause that way).
  if (driving && host::pauseWord() == 0) {
    r.last = r.sampler.sample(runTime);
    if (r.phases.sampled(r.last, host::finishedFlag() != 0, runSeconds)) r.sampler.restartStage();
  }
  r.last.runTime = runTime;
  const StagePhases::Send phase = r.phases.next(runSeconds);
  CarSample end;
  if (phase == StagePhases::Send::kOver) {
    end = r.phases.endPacket();
    end.runTime = runTime;
  }
  bool built[kFormatCount] = {};
  const double pauseNow = pauseClock(r);
  for (std::size_t i = 0; i < r.count; ++i) {
    Destination& d = r.destinations[i];
    const PacketFormatRow& row = formatRow(d.format);
    const CarSample* car = nullptr;
    if (row.phases) {
      if (phase == StagePhases::Send::kOver) car = &end;
      else if (phase == StagePhases::Send::kStage && driving) car = &r.last;
    } else if (driving) {
      car = &r.last;
    }
    if (!car) continue;
    const std::size_t f = static_cast<std::size_t>(d.format);
    if (!built[f]) {
      r.sizes[f] = row.build(*car, r.coding, PacketBuffer(r.packets[f], kMaxPacketSize));
      built[f] = true;
    }
    sendTo(d, r.packets[f], r.sizes[f], pauseNow);
  }
}

}  // namespace

void telemetryFrame() {
  Running& r = running();
  if (storedTelemetryGeneration() != r.appliedGeneration) takeUpSettings(r);
  if (r.unresolved > 0) followNames(r);
  if (r.on && r.count > 0) sendFrame(r);
}

void setNameLookup(NameLookup lookup, double retryPauseSeconds) {
  Running& r = running();
  r.lookup = lookup;
  r.namePause = retryPauseSeconds;
  stopTelemetry();  // taken up again, with this lookup, by the next frame
}

void stopTelemetry() {
  Running& r = running();
  closeAll(r);
  r.on = false;
  r.driving = false;
  r.phases = StagePhases{};
  r.applied.reset();
  r.appliedGeneration = storedTelemetryGeneration() - 1;  // taken up again by the next frame
}

}  // namespace ostrel::telemetry

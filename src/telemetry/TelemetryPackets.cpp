#include "telemetry/TelemetryPackets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "plugin/FixedText.h"

namespace ostrel::telemetry {
namespace {

// Both layouts are little-endian, as the plug-in's own platform is.
template <typename T>
void put(std::span<std::uint8_t> out, std::size_t offset, T value) {
  std::memcpy(out.data() + offset, &value, sizeof value);
}
float floatAt(const std::uint8_t* p, std::size_t offset) {
  float v;
  std::memcpy(&v, p + offset, sizeof v);
  return v;
}

std::size_t buildA(const CarSample& car, const PacketCoding& coding, PacketBuffer out) {
  return buildFormatA(car, coding, out.first<kFormatASize>());
}
std::size_t buildB(const CarSample& car, const PacketCoding& coding, PacketBuffer out) {
  return buildFormatB(car, coding, out.first<kFormatBSize>());
}

std::int32_t gearCodeA(Gear gear, std::int32_t reverseCode) {
  return static_cast<std::int32_t>(formatAGear(gear, reverseCode));
}
std::int32_t gearCodeB(Gear gear, std::int32_t) { return formatBGear(gear); }

const char* forwardGearName(std::int32_t n) {
  static constexpr const char* kNames[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9"};
  return n >= 1 && n <= 9 ? kNames[n - 1] : "?";
}
const char* gearNameA(std::int32_t code) {
  if (code == 0) return "N";
  if (code == -1 || code == 10) return "R";
  return forwardGearName(code);
}
const char* gearNameB(std::int32_t code) {
  if (code == 0) return "R";
  if (code == 1) return "N";
  return forwardGearName(code - 1);
}

void summaryA(const std::uint8_t* p, std::size_t, double rate, char* out, std::size_t room) {
  std::snprintf(out, room,
                FT("format A  %5.1f packets/s  speed %6.1f km/h  %5.0f rpm (max %5.0f)  gear %s  stage time %7.2f s  "
                   "driven %7.0f m  progress %3.0f %%  laps %.0f/%.0f"),
                rate, floatAt(p, kASpeed) * 3.6f, floatAt(p, kAEngineSpeed) * 10.0f,
                floatAt(p, kAMaxEngineSpeed) * 10.0f,
                gearNameA(static_cast<std::int32_t>(floatAt(p, kAGear))), floatAt(p, kALapTime),
                floatAt(p, kALapDistance), floatAt(p, kATotalDistance) * 100.0f, floatAt(p, kALapsCompleted),
                floatAt(p, kATotalLaps));
}
void summaryB(const std::uint8_t* p, std::size_t, double rate, char* out, std::size_t room) {
  // A name is three letters or digits and a zero byte; anything else is an
  // add-on car's three-byte id, shown in hexadecimal as tools show it.
  char name[8] = {};
  const std::uint8_t* n = p + kBCarName;
  const auto alnum = [](std::uint8_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  };
  if (alnum(n[0]) && alnum(n[1]) && alnum(n[2]) && n[3] == 0)
    std::memcpy(name, n, 3);
  else
    std::snprintf(name, sizeof name, "%02X%02X%02X", n[0], n[1], n[2]);
  std::snprintf(out, room,
                FT("format B  %5.1f packets/s  speed %6.1f km/h  %5.0f rpm  gear %s  water %5.1f C  oil %5.1f C  "
                   "%4.2f bar  car %s"),
                rate, floatAt(p, 12) * 3.6f, floatAt(p, 16), gearNameB(p[10]), floatAt(p, 24), floatAt(p, 36),
                floatAt(p, 32), name);
}

constexpr PacketFormatRow kRows[kFormatCount] = {
    {PacketFormat::kA, 'A', {kFormatASize, 0}, &buildA, &gearCodeA, &gearNameA, 20777, true, &summaryA},
    {PacketFormat::kB, 'B', {kFormatBSizeWithoutId, kFormatBSize}, &buildB, &gearCodeB, &gearNameB, 4444, false,
     &summaryB},
};

}  // namespace

std::span<const PacketFormatRow, kFormatCount> packetFormats() { return kRows; }

const PacketFormatRow& formatRow(PacketFormat format) { return kRows[static_cast<std::size_t>(format)]; }

const PacketFormatRow* formatOfLetter(char letter) {
  const char upper = letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
  for (const PacketFormatRow& row : kRows)
    if (row.letter == upper) return &row;
  return nullptr;
}

bool hasSize(const PacketFormatRow& row, std::size_t size) {
  return size != 0 && (row.sizes[0] == size || row.sizes[1] == size);
}

const PacketFormatRow* formatOfSize(std::size_t size) {
  for (const PacketFormatRow& row : kRows)
    if (hasSize(row, size)) return &row;
  return nullptr;
}

float CarSample::progress() const {
  if (!(stageLength > 0.0f)) return 0.0f;
  return std::clamp(driven / stageLength, 0.0f, 1.0f);
}

CarSample stageOver(const CarSample& last) {
  CarSample over = last;
  over.stageTime = 0.0f;
  over.driven = 0.0f;
  over.speed = 0.0f;
  over.wheelSpeed = 0.0f;
  return over;
}

std::size_t buildFormatA(const CarSample& car, const PacketCoding& coding, std::span<std::uint8_t, kFormatASize> out) {
  std::fill(out.begin(), out.end(), std::uint8_t{0});
  put(out, kARunTime, car.runTime);
  put(out, kALapTime, car.stageTime);
  put(out, kALapDistance, car.driven);
  put(out, kATotalDistance, car.progress());
  put(out, kASpeed, car.speed);
  for (std::size_t wheel = 0; wheel < 4; ++wheel) put(out, kAWheelSpeedRL + 4 * wheel, car.wheelSpeed);
  put(out, kAGear, formatAGear(gearOf(coding.gears, car.gearIndex), coding.reverseCode));
  put(out, kAEngineSpeed, car.engineSpeed / 10.0f);
  // A stage is one lap: tools that wait for the laps completed to reach the
  // total see the finish, and read the stage's time as the last lap's.
  put(out, kATotalLaps, car.onStage ? 1.0f : 0.0f);
  put(out, kALapsCompleted, car.onStage && car.finished ? 1.0f : 0.0f);
  put(out, kALastLapTime, car.onStage && car.finished ? car.finishTime : 0.0f);
  put(out, kATrackLength, car.stageLength);
  put(out, kAMaxEngineSpeed, car.maxEngineSpeed / 10.0f);
  put(out, kAIdleEngineSpeed, car.idleEngineSpeed / 10.0f);
  put(out, kAForwardGears, static_cast<float>(forwardGearCount(coding.gears)));
  return kFormatASize;
}

std::size_t buildFormatB(const CarSample& car, const PacketCoding& coding, std::span<std::uint8_t, kFormatBSize> out) {
  std::fill(out.begin(), out.end(), std::uint8_t{0});
  const double ms = std::fmax(0.0, static_cast<double>(car.runTime) * 1000.0);
  put(out, 0, static_cast<std::uint32_t>(std::fmod(ms, 4294967296.0)));
  // Three characters and a zero byte: a car's name as tools read one.
  const char name[4] = {'C', 'R', static_cast<char>('1' + std::clamp(car.carSlot, 0, 7)), 0};
  std::memcpy(out.data() + kBCarName, name, sizeof name);
  std::uint16_t flags = kFlagPrefersKmh | kFlagPrefersBar;
  if (car.turboPresent) flags |= kFlagTurbo;
  put(out, 8, flags);
  put(out, 10, formatBGear(gearOf(coding.gears, car.gearIndex)));
  put(out, 11, std::uint8_t{0});  // player id
  put(out, 12, car.speed);
  put(out, 16, car.engineSpeed);
  put(out, 20, car.boost);
  put(out, 24, car.waterTemp);
  put(out, 28, 0.0f);  // fuel: the host keeps none
  put(out, 32, car.oilPressure);
  put(out, 36, car.oilTemp);
  put(out, 40, kLightShift | kLightOilWarning | kLightBattery);
  std::uint32_t on = 0;
  if (car.shiftLight) on |= kLightShift;
  if (car.overheat) on |= kLightOilWarning;
  if (car.batteryWarning) on |= kLightBattery;
  put(out, 44, on);
  // 48..59 throttle, brake, clutch stay 0; 60..91 the two display texts stay
  // empty (all zero bytes: an empty text, as tools read one).
  if (coding.id == 0) return kFormatBSizeWithoutId;
  put(out, 92, coding.id);
  return kFormatBSize;
}

}  // namespace ostrel::telemetry

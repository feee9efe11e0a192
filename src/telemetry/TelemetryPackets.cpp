#include "telemetry/TelemetryPackets.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ostrel::telemetry {
namespace {

// Both layouts are little-endian, as the plug-in's own platform is.
template <typename T>
void put(std::span<std::uint8_t> out, std::size_t offset, T value) {
  std::memcpy(out.data() + offset, &value, sizeof value);
}

// Format A's float slots by byte offset.
enum FormatAOffset : std::size_t {
  kRunTime = 0,
  kLapTime = 4,
  kLapDistance = 8,
  kTotalDistance = 12,  // progress 0..1 in rally use
  kSpeed = 28,
  kWheelSpeedRL = 100,  // then RR, FL, FR
  kGear = 132,
  kEngineSpeed = 148,  // tens of rpm
  kTrackLength = 244,
  kMaxEngineSpeed = 252,
  kIdleEngineSpeed = 256,
  kForwardGears = 260,
};

}  // namespace

float CarSample::progress() const {
  if (!(stageLength > 0.0f)) return 0.0f;
  return std::clamp(driven / stageLength, 0.0f, 1.0f);
}

std::size_t buildFormatA(const CarSample& car, const PacketCoding& coding, std::span<std::uint8_t, kFormatASize> out) {
  std::fill(out.begin(), out.end(), std::uint8_t{0});
  put(out, kRunTime, car.runTime);
  put(out, kLapTime, car.stageTime);
  put(out, kLapDistance, car.driven);
  put(out, kTotalDistance, car.progress());
  put(out, kSpeed, car.speed);
  for (std::size_t wheel = 0; wheel < 4; ++wheel) put(out, kWheelSpeedRL + 4 * wheel, car.wheelSpeed);
  put(out, kGear, formatAGear(gearOf(coding.gears, car.gearIndex), coding.reverseCode));
  put(out, kEngineSpeed, car.engineSpeed / 10.0f);
  put(out, kTrackLength, car.stageLength);
  put(out, kMaxEngineSpeed, car.maxEngineSpeed / 10.0f);
  put(out, kIdleEngineSpeed, car.idleEngineSpeed / 10.0f);
  put(out, kForwardGears, static_cast<float>(forwardGearCount(coding.gears)));
  return kFormatASize;
}

std::size_t buildFormatB(const CarSample& car, const PacketCoding& coding, std::span<std::uint8_t, kFormatBSize> out) {
  std::fill(out.begin(), out.end(), std::uint8_t{0});
  const double ms = std::fmax(0.0, static_cast<double>(car.runTime) * 1000.0);
  put(out, 0, static_cast<std::uint32_t>(std::fmod(ms, 4294967296.0)));
  const char name[4] = {'C', 'A', 'R', static_cast<char>('1' + std::clamp(car.carSlot, 0, 7))};
  std::memcpy(out.data() + 4, name, sizeof name);
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
  // 48..59 throttle, brake, clutch and 60..91 the two displays stay 0.
  if (coding.id == 0) return kFormatBSizeWithoutId;
  put(out, 92, coding.id);
  return kFormatBSize;
}

}  // namespace ostrel::telemetry

#pragma once
// The arithmetic of the gauges on raw numbers: value conversions, fractions,
// needle calibration and spring, colour blending, pie segments. No host
// memory and no Windows here, so all of it also builds natively.
#include <cstdint>
#include <vector>

namespace ostrel::gauges {

// A host speed reads as zero while it is not above 0.01 (idle jitter).
float takenAbove(float value);
// Percent of the maximum engine speed; 0 while the maximum is unknown (0).
float rpmPercent(float rpm, float maxRpm);
// Integer part of the length of (a, b) times 3.578, as the host's speed unit.
float groundSpeed(float a, float b);
// Share of wheel speed s above (spin) or below (lock) ground speed g, 0..1.
float wheelSpin(float s, float g);
float wheelLock(float s, float g);
// Pressure in bar from the host's two pressure words (pascal).
float pressureBar(float p, float q);
// A distance in metres shown in kilometres; tiny values read 0.
float kilometres(float metres);

// Maps v into 0..1 between min and max. With min equal to max the range is
// a step: 0 below it, 1 at or above it.
float fractionBetween(float v, float min, float max);
// Shift lights: how far engine speed r is into the band above (up) or below
// (down) the gear's shift point `base`; 0 when the gear has no shift point.
float shiftUpFraction(float base, float r, float min, float max);
float shiftDownFraction(float base, float r, float min, float max);

// Angle in degrees for value v on a calibration of (angle, value) points.
// An empty calibration gives 0.
float calibratedAngle(const std::vector<float>& angles, const std::vector<float>& values, float v);

// The needle's damped spring, stepped in fixed 1/90 s steps whatever the
// frame time, so it swings alike at any frame rate.
inline constexpr float kSpringStep = 0.011111111f;
// After a long gap (a pause of hours, a suspended machine) the spring catches
// up this much time at most: a float accumulator of days would never count
// down by steps this small.
inline constexpr float kSpringCatchUpLimit = 2.0f;
struct SpringState {
  float angle = 0.0f;  // radians
  float velocity = 0.0f;
  float acceleration = 0.0f;
  float accumulator = 0.0f;
};
void stepSpring(SpringState& s, float target, float frameTime, float stiffness, float damping,
                float speedFactor);

// Per-channel (A, R, G, B) blend from `from` to `to`; t is clamped to 0..1.
std::uint32_t blendColour(std::uint32_t from, std::uint32_t to, float t);

// Number of fan segments for a pie sweeping from lo to hi (radians).
int pieSegmentCount(float lo, float hi);

}  // namespace ostrel::gauges

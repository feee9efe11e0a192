#pragma once
// The one clock every timer of the plug-in reads: the gauge renderer's
// refresh cap, the frame driver's elapsed time and the panels' blink. It is
// the steady clock unless a test sets a clock of its own, so timing rules can
// be tested without racing a machine whose speed nobody knows.
#include <chrono>

namespace ostrel {

using SteadyTime = std::chrono::steady_clock::time_point;
using SteadyClockSource = SteadyTime (*)();

SteadyTime steadyNow();
// Null puts the steady clock back.
void setSteadyClockSource(SteadyClockSource source);

// Seconds from `from` to `to` as the timers use them.
inline double secondsBetween(SteadyTime from, SteadyTime to) {
  return std::chrono::duration<double>(to - from).count();
}

}  // namespace ostrel

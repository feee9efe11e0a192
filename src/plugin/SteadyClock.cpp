#include "plugin/SteadyClock.h"

namespace ostrel {

namespace {
SteadyClockSource clockSource = nullptr;
}

SteadyTime steadyNow() { return clockSource ? clockSource() : std::chrono::steady_clock::now(); }

void setSteadyClockSource(SteadyClockSource source) { clockSource = source; }

}  // namespace ostrel

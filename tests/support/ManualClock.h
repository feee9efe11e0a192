#pragma once
// Holds the plug-in's timers on a clock the test moves by hand, so a timing
// rule is checked the same on a fast machine and on an emulated one. The
// steady clock comes back when it goes out of scope.
#include <chrono>

#include "plugin/SteadyClock.h"

namespace test_support {

class ManualClock {
 public:
  // Starts where the steady clock is now: timers started earlier in the
  // process see time go on, never back.
  ManualClock() {
    now_ = std::chrono::steady_clock::now();
    ostrel::setSteadyClockSource(&read);
  }
  ~ManualClock() { ostrel::setSteadyClockSource(nullptr); }
  ManualClock(const ManualClock&) = delete;
  ManualClock& operator=(const ManualClock&) = delete;

  void advance(double seconds) {
    now_ += std::chrono::duration_cast<ostrel::SteadyTime::duration>(std::chrono::duration<double>(seconds));
  }

 private:
  static ostrel::SteadyTime read() { return now_; }
  static inline ostrel::SteadyTime now_{};
};

}  // namespace test_support

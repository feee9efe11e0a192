#pragma once
// When a target that failed is tried again, and when to say so: a name that
// does not resolve, a send the system refused (a firewall asking the player
// first, an address refused) pause the target for some seconds, then it is
// tried again. Each change is said once: the first failure after it worked
// (or from the start), and the first success after failing; tries that fail
// the same way again say nothing. Times are seconds on any clock the caller
// keeps. Windows-free.
#include <cstddef>
#include <cstdint>

namespace ostrel::telemetry {

inline constexpr double kRetryPauseSeconds = 5.0;

class RetryPause {
 public:
  explicit RetryPause(double pauseSeconds = kRetryPauseSeconds) : pause_(pauseSeconds) {}
  // Whether a try is due at `now`: always, unless the last try failed less
  // than the pause ago.
  bool mayTry(double now) const { return !failing_ || now >= retryAt_; }
  // The try at `now` failed: none again before now + pause. True when this
  // is news (the one time to say so).
  bool failed(double now) {
    retryAt_ = now + pause_;
    const bool news = !failing_;
    failing_ = true;
    return news;
  }
  // A try worked. True when it had been failing (the one time to say it
  // works again).
  bool worked() {
    const bool news = failing_;
    failing_ = false;
    return news;
  }
  bool failing() const { return failing_; }
  double retryAt() const { return retryAt_; }

 private:
  double pause_;
  double retryAt_ = 0.0;
  bool failing_ = false;
};

// The names of one settings generation being resolved: each tried in turn,
// a failed one again after its pause, until all resolve.
template <std::size_t N>
class NameRetries {
 public:
  explicit NameRetries(std::size_t count, double pauseSeconds = kRetryPauseSeconds) : count_(count < N ? count : N) {
    for (std::size_t i = 0; i < N; ++i) pauses_[i] = RetryPause(pauseSeconds);
  }
  // Tries every unresolved name whose pause is over: `lookup(i)` is true when
  // name i resolved; `now()` is read before each try and after a failed one
  // (a lookup may take a resolver's time-out, and the pause starts after it).
  // Returns the seconds until the next try is due, or a negative number once
  // every name has resolved or when `stop()` turned true after a lookup.
  template <typename Clock, typename Lookup, typename Stop>
  double round(Clock now, Lookup lookup, Stop stop) {
    for (std::size_t i = 0; i < count_; ++i) {
      if (resolved_[i] || !pauses_[i].mayTry(now())) continue;
      if (lookup(i)) {
        resolved_[i] = true;
        pauses_[i].worked();
      } else {
        pauses_[i].failed(now());
      }
      if (stop()) return -1.0;
    }
    double wait = -1.0;
    const double at = now();
    for (std::size_t i = 0; i < count_; ++i) {
      if (resolved_[i]) continue;
      const double until = pauses_[i].retryAt() - at;
      const double due = until > 0.0 ? until : 0.0;
      if (wait < 0.0 || due < wait) wait = due;
    }
    return wait;
  }
  bool resolved(std::size_t i) const { return resolved_[i]; }

 private:
  std::size_t count_;
  RetryPause pauses_[N];
  bool resolved_[N] = {};
};

}  // namespace ostrel::telemetry

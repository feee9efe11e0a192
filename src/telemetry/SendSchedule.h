#pragma once
// When the next packet is due at a rate of `rate` per second (0: every
// frame). Due times lie on a grid so that the long-run rate is the rate set,
// whatever the frame rate; a frame up to a quarter interval early still
// sends, so a game whose frame rate equals the rate does not skip frames on
// timer jitter. Two packets are never closer than three quarters of an
// interval, even after a late one (a receiver that counts the rate sees at
// most the rate set). After a stall the grid starts again instead of
// bursting. Windows-free.
#include <cstdint>

namespace ostrel::telemetry {

class SendSchedule {
 public:
  void setRate(std::int32_t perSecond) {
    interval_ = perSecond > 0 ? 1.0 / perSecond : 0.0;
    started_ = false;
  }
  // Whether to send at `now` (seconds); a true answer books the send.
  bool due(double now) {
    if (interval_ <= 0.0) return true;
    if (!started_) {
      started_ = true;
      next_ = now + interval_;
      last_ = now;
      return true;
    }
    if (now < next_ - interval_ / 4 || now - last_ < interval_ * 0.75) return false;
    next_ += interval_;
    if (next_ < now) next_ = now + interval_;
    last_ = now;
    return true;
  }

 private:
  double interval_ = 0.0;
  double next_ = 0.0;
  double last_ = 0.0;
  bool started_ = false;
};

}  // namespace ostrel::telemetry

#pragma once
// Resolves the host names of the telemetry targets on a thread of its own, so
// that a resolver's time-out never stalls the game's frame. A name that does
// not resolve is tried again after a pause, until it does or the resolver is
// stopped. The game's thread reads the results without waiting or allocating.
//
// Windows-free header.
#include <cstddef>
#include <cstdint>
#include <string>

#include "telemetry/RetryPause.h"
#include "telemetry/TelemetryTargets.h"

namespace ostrel::telemetry {

// Looks one name up, waiting as long as that takes; true with the IPv4
// address in network byte order.
using NameLookup = bool (*)(const char* name, std::uint32_t& address);

class NameResolver {
 public:
  NameResolver() = default;
  ~NameResolver() { stop(); }
  NameResolver(const NameResolver&) = delete;
  NameResolver& operator=(const NameResolver&) = delete;

  // Starts resolving names[0..count) (at most kMaxTargets, each cut to 255
  // bytes) through `lookup`, a failed name again after `pauseSeconds`. False
  // when no thread could be had; a running resolver is stopped first.
  bool start(const std::string* names, std::size_t count, NameLookup lookup,
             double pauseSeconds = kRetryPauseSeconds);
  // Asks the thread to end and lets go of it, without waiting for a lookup
  // under way: the thread ends after it, keeping the plug-in's library
  // loaded until then.
  void stop();

  struct Result {
    bool resolved = false;
    std::uint32_t address = 0;   // network byte order, once resolved
    std::uint32_t failures = 0;  // lookups that failed so far
  };
  Result result(std::size_t slot) const;

  struct Job;  // shared with the thread

 private:
  Job* job_ = nullptr;
};

// Resolver threads that have not ended yet (a stopped resolver's thread ends
// once its lookup under way returns).
int resolverThreadsRunning();

}  // namespace ostrel::telemetry

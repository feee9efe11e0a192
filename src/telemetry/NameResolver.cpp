#include "telemetry/NameResolver.h"

#include <windows.h>

#include <atomic>
#include <cstring>

#include "plugin/SteadyClock.h"

namespace ostrel::telemetry {

// What the game's thread and the resolver's thread share; freed by the last
// of the two to let go.
struct NameResolver::Job {
  std::atomic<int> owners{2};
  HANDLE stopEvent = nullptr;
  HMODULE module = nullptr;  // a reference on the plug-in's library, for the thread
  NameLookup lookup = nullptr;
  double pauseSeconds = kRetryPauseSeconds;
  std::size_t count = 0;
  char names[kMaxTargets][256] = {};
  std::uint32_t addresses[kMaxTargets] = {};  // written before `resolved` is set
  std::atomic<bool> resolved[kMaxTargets] = {};
  std::atomic<std::uint32_t> failures[kMaxTargets] = {};
};

namespace {

std::atomic<int> threadsRunning{0};

void letGo(NameResolver::Job* job) {
  if (job->owners.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  CloseHandle(job->stopEvent);
  delete job;
}

DWORD WINAPI resolverMain(void* parameter) {
  auto* job = static_cast<NameResolver::Job*>(parameter);
  const SteadyTime origin = steadyNow();
  const auto now = [origin] { return secondsBetween(origin, steadyNow()); };
  const auto stopped = [job] { return WaitForSingleObject(job->stopEvent, 0) == WAIT_OBJECT_0; };
  const auto lookup = [job](std::size_t i) {
    std::uint32_t address = 0;
    if (!job->lookup(job->names[i], address)) {
      job->failures[i].fetch_add(1, std::memory_order_release);
      return false;
    }
    job->addresses[i] = address;
    job->resolved[i].store(true, std::memory_order_release);
    return true;
  };
  NameRetries<kMaxTargets> retries(job->count, job->pauseSeconds);
  for (;;) {
    const double wait = retries.round(now, lookup, stopped);
    if (wait < 0.0 || stopped()) break;
    const DWORD ms = static_cast<DWORD>(wait * 1000.0) + 1;
    if (WaitForSingleObject(job->stopEvent, ms) == WAIT_OBJECT_0) break;
  }
  HMODULE module = job->module;
  letGo(job);
  threadsRunning.fetch_sub(1);
  if (module) FreeLibraryAndExitThread(module, 0);
  return 0;
}

}  // namespace

bool NameResolver::start(const std::string* names, std::size_t count, NameLookup lookup, double pauseSeconds) {
  stop();
  auto* job = new Job;
  job->lookup = lookup;
  job->pauseSeconds = pauseSeconds;
  job->count = count < kMaxTargets ? count : kMaxTargets;
  for (std::size_t i = 0; i < job->count; ++i) {
    const std::size_t n = names[i].size() < sizeof job->names[i] - 1 ? names[i].size() : sizeof job->names[i] - 1;
    std::memcpy(job->names[i], names[i].data(), n);
  }
  job->stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // The thread holds the library loaded while it runs: the plug-in may be
  // destroyed and unloaded while a lookup waits for the resolver.
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&resolverMain),
                          &job->module))
    job->module = nullptr;
  threadsRunning.fetch_add(1);
  HANDLE thread = job->stopEvent ? CreateThread(nullptr, 64 * 1024, &resolverMain, job,
                                                STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr)
                                 : nullptr;
  if (!thread) {
    threadsRunning.fetch_sub(1);
    if (job->module) FreeLibrary(job->module);
    if (job->stopEvent) CloseHandle(job->stopEvent);
    delete job;
    return false;
  }
  CloseHandle(thread);
  job_ = job;
  return true;
}

void NameResolver::stop() {
  if (!job_) return;
  SetEvent(job_->stopEvent);
  letGo(job_);
  job_ = nullptr;
}

NameResolver::Result NameResolver::result(std::size_t slot) const {
  Result r;
  if (!job_ || slot >= job_->count) return r;
  r.failures = job_->failures[slot].load(std::memory_order_acquire);
  r.resolved = job_->resolved[slot].load(std::memory_order_acquire);
  if (r.resolved) r.address = job_->addresses[slot];
  return r;
}

int resolverThreadsRunning() { return threadsRunning.load(); }

}  // namespace ostrel::telemetry

#include "foundation/transport_timing.h"

#include <atomic>
#include <mutex>

namespace {
std::mutex& TimingLock() {
  static std::mutex lock;
  return lock;
}
TransportTimings& Timings() {
  static TransportTimings timings;
  return timings;
}
std::atomic<bool> gThreadStartFails{false};
}  // namespace

TransportTimings GetTransportTimings() {
  std::lock_guard<std::mutex> guard(TimingLock());
  return Timings();
}

void SetTransportTimings(const TransportTimings& timings) {
  std::lock_guard<std::mutex> guard(TimingLock());
  Timings() = timings;
}

void SetThreadStartFailsForTesting(bool fails) { gThreadStartFails = fails; }
bool TransportThreadStartFails() { return gThreadStartFails; }

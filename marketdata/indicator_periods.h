// The eighteen periods of res\indexParameter.data are read by the K-line
// calculators on the thread that recalculates a chart, while the parameter
// dialog reloads every workspace on the user-interface thread. They are
// therefore read and written as relaxed atomics: a calculator sees either
// the old or the new period, never a torn one, and no lock is shared.
#pragma once

#include <atomic>
#include <cstdint>

inline int32_t LoadPeriod(const int32_t& period) {
  return std::atomic_ref<int32_t>(const_cast<int32_t&>(period)).load(std::memory_order_relaxed);
}

inline void StorePeriod(int32_t& period, int32_t value) {
  std::atomic_ref<int32_t>(period).store(value, std::memory_order_relaxed);
}

// The millisecond clock, Sleep, and a clock tests can drive.
//
// GetTickCount64 is monotonic and counts milliseconds; our own arithmetic
// always uses it, so nothing wraps after 49 days. GetTickCount is its low 32
// bits, kept for code that stores ticks in a DWORD.
//
// While a ManualClock exists, the ticks stand still except when the test
// advances them: Sleep then moves the clock forward by its argument and
// returns at once, and timers of the timer queue fire when the clock passes
// their due time. Waits on real input and output (sockets, processes,
// Event::Wait) keep using real time, and use RealTickCount64 to bound them.
#pragma once

#include "platform/kernel/win_types.h"

ULONGLONG GetTickCount64();
DWORD GetTickCount();

// Suspends the calling thread for ms milliseconds (INFINITE: for ever). Under
// a ManualClock: advances that clock by ms (INFINITE: only yields), fires the
// timers that become due without waiting for them, and returns at once.
void Sleep(DWORD ms);

// The real monotonic millisecond clock, whatever ManualClock says.
ULONGLONG RealTickCount64();

class ManualClock {
 public:
  // Starts at the real clock's current value, so timers scheduled before
  // keep their meaning.
  ManualClock();
  // Starts at startMs (tests of large tick values).
  explicit ManualClock(ULONGLONG startMs);
  // Returns to the previous clock (the real one, or an outer ManualClock).
  ~ManualClock();
  ManualClock(const ManualClock&) = delete;
  ManualClock& operator=(const ManualClock&) = delete;

  // Moves the ticks forward by ms and returns when every timer that is due
  // at the new time has finished its callback. Called from a timer callback,
  // it does not wait. The caller must not hold a lock that a due callback
  // takes.
  void Advance(ULONGLONG ms);
  ULONGLONG Now() const;

 private:
  bool previousActive_ = false;
  ULONGLONG previousTicks_ = 0;
};

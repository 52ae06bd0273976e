// The process's one-shot timer queue.
//
// One thread, started with the first timer, runs every callback in order of
// due time. A timer runs at most once. Cancelling never blocks: it only takes
// the queue's own short lock, which is never held while a callback runs, so a
// canceller may hold any lock a callback wants. A callback that was already
// taken off the queue when the cancel came still runs to its end; the callers
// that must not free anything under it either look their records up by id
// inside the callback (the system's way) or use CancelTimerAndWait.
#pragma once

#include <functional>

#include "platform/kernel/win_types.h"

using TimerHandle = ULONGLONG;  // 0 = no timer; handles are never reused

// Schedules callback to run once on the queue's thread after ms milliseconds
// of GetTickCount64 time. Returns the timer's handle, 0 when callback is empty
// or the queue thread cannot start.
TimerHandle ScheduleTimer(DWORD ms, std::function<void()> callback);

// Removes a pending timer. True when the timer was pending and now never
// runs (its callback is destroyed here); false for a timer that fired, is
// running, was cancelled before, or never existed (0 included). Never blocks.
bool CancelTimer(TimerHandle timer);

// As CancelTimer; in addition, when the timer's callback is running on the
// queue thread, waits until it has returned. Called from a timer callback it
// never waits. The caller must not hold a lock that the callback takes.
void CancelTimerAndWait(TimerHandle timer);

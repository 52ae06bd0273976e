// Locks and events with the platform's semantics.
//
// CriticalSection is recursive: the thread that holds it may enter it again
// and must leave it as often as it entered. The system runs callbacks while
// such locks are held, and those callbacks may call back into the code that
// took the lock, so every critical section of the system is one of these.
//
// Event is a manual- or auto-reset event: Set wakes waiters; an auto-reset
// event lets exactly one waiter through per Set and clears itself.
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/kernel/win_types.h"

class CriticalSection {
 public:
  CriticalSection() = default;
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  // Blocks until the calling thread holds the lock (at once when it already does).
  void Enter() { mutex_.lock(); }
  // Leaves one level of entry. Precondition: the calling thread holds the lock.
  void Leave() { mutex_.unlock(); }
  // Enters without waiting; false when another thread holds the lock.
  bool TryEnter() { return mutex_.try_lock(); }

  // The standard Lockable names, so std::lock_guard and std::unique_lock work.
  void lock() { Enter(); }
  void unlock() { Leave(); }
  bool try_lock() { return TryEnter(); }

 private:
  std::recursive_mutex mutex_;
};

class Event {
 public:
  // manualReset: once set, stays set until Reset (otherwise one successful
  // Wait clears it). initiallySet: the state the event starts in.
  Event(bool manualReset, bool initiallySet);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // Waits until the event is set or ms milliseconds of real time have passed
  // (INFINITE: no limit; 0: only tests the state). Returns WAIT_OBJECT_0 when
  // the event was set (an auto-reset event is cleared by this wait), else
  // WAIT_TIMEOUT.
  DWORD Wait(DWORD ms);

 private:
  const bool manualReset_;          // fixed at construction
  bool set_;                        // guarded by mutex_
  std::mutex mutex_;
  std::condition_variable changed_;  // notified by Set
};

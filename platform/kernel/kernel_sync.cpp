#include "platform/kernel/kernel_sync.h"

#include <chrono>

Event::Event(bool manualReset, bool initiallySet) : manualReset_(manualReset), set_(initiallySet) {}

// Notifies under the lock: a waiter that returns may destroy the event at
// once, so Set must not touch it after unlocking.
void Event::Set() {
  std::lock_guard<std::mutex> guard(mutex_);
  set_ = true;
  if (manualReset_) {
    changed_.notify_all();
    return;
  }
  changed_.notify_one();
}

void Event::Reset() {
  std::lock_guard<std::mutex> guard(mutex_);
  set_ = false;
}

DWORD Event::Wait(DWORD ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto isSet = [this] { return set_; };
  bool signalled = true;
  if (ms == INFINITE) {
    changed_.wait(lock, isSet);
  } else {
    signalled = changed_.wait_for(lock, std::chrono::milliseconds(ms), isSet);
  }
  if (!signalled) return static_cast<DWORD>(WAIT_TIMEOUT);
  if (!manualReset_) set_ = false;
  return static_cast<DWORD>(WAIT_OBJECT_0);
}

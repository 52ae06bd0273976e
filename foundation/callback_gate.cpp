#include "foundation/callback_gate.h"

#include <algorithm>

bool CallbackGate::Enter() {
  std::lock_guard<std::mutex> guard(lock_);
  if (!open_) return false;
  running_.push_back(std::this_thread::get_id());
  return true;
}

bool CallbackGate::EnterFinal() {
  std::lock_guard<std::mutex> guard(lock_);
  if (!open_) return false;
  open_ = false;
  running_.push_back(std::this_thread::get_id());
  return true;
}

void CallbackGate::Leave() {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = std::find(running_.begin(), running_.end(), std::this_thread::get_id());
  if (it != running_.end()) running_.erase(it);
  idle_.notify_all();
}

bool CallbackGate::Close() {
  std::lock_guard<std::mutex> guard(lock_);
  bool wasOpen = open_;
  open_ = false;
  return wasOpen;
}

bool CallbackGate::IsOpen() {
  std::lock_guard<std::mutex> guard(lock_);
  return open_;
}

void CallbackGate::WaitForOthers() {
  std::unique_lock<std::mutex> guard(lock_);
  const std::thread::id self = std::this_thread::get_id();
  idle_.wait(guard, [&] {
    return std::all_of(running_.begin(), running_.end(),
                       [&](std::thread::id t) { return t == self; });
  });
}

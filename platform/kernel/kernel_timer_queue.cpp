// The queue: a map of pending timers by handle, a set ordered by (due,
// handle), and one thread that sleeps until the earliest due time (or, under
// a ManualClock, until the clock moves). A timer is either pending (in both
// containers), running (only in running_), or gone.
#include "platform/kernel/kernel_timer_queue.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/kernel/kernel_clock.h"

namespace {

class TimerQueue {
 public:
  ~TimerQueue() {
    std::thread thread;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      stop_ = true;
      thread = std::move(thread_);
    }
    wake_.notify_all();
    if (!thread.joinable()) return;
    if (thread.get_id() == std::this_thread::get_id()) {
      thread.detach();  // the process is ending from inside a callback
      return;
    }
    thread.join();
  }

  TimerHandle Schedule(DWORD ms, std::function<void()> callback) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (stop_ || !StartLocked()) return 0;
    TimerHandle handle = next_++;
    ULONGLONG due = GetTickCount64() + ms;
    pending_.emplace(handle, Pending{due, std::move(callback)});
    order_.emplace(due, handle);
    wake_.notify_all();
    return handle;
  }

  bool Cancel(TimerHandle handle) {
    std::function<void()> dropped;  // destroyed after the lock is released
    {
      std::lock_guard<std::mutex> guard(mutex_);
      auto it = pending_.find(handle);
      if (it == pending_.end()) return false;
      order_.erase({it->second.due, handle});
      dropped = std::move(it->second.callback);
      pending_.erase(it);
    }
    // A ClockMoved waiting for this timer to run must look again: it will
    // never run, and the queue thread may already be asleep.
    idle_.notify_all();
    return true;
  }

  void WaitWhileRunning(TimerHandle handle) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (OnQueueThreadLocked()) return;
    idle_.wait(lock, [&] { return running_ != handle; });
  }

  void ClockMoved(bool waitForDue) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.notify_all();
    if (!waitForDue || OnQueueThreadLocked() || !thread_.joinable()) return;
    idle_.wait(lock, [&] {
      if (stop_) return true;
      if (running_ != 0) return false;
      return order_.empty() || order_.begin()->first > GetTickCount64();
    });
  }

 private:
  struct Pending {
    ULONGLONG due;                   // GetTickCount64 value at which it fires
    std::function<void()> callback;  // run once, then destroyed on the queue thread
  };

  bool OnQueueThreadLocked() const { return thread_.joinable() && thread_.get_id() == std::this_thread::get_id(); }

  bool StartLocked() {
    if (thread_.joinable()) return true;
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
      return false;
    }
    return true;
  }

  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
      if (order_.empty()) {
        wake_.wait(lock);
        continue;
      }
      auto [due, handle] = *order_.begin();
      ULONGLONG now = GetTickCount64();
      if (due > now) {
        // Under a ManualClock real time means nothing: wait for the clock to
        // move. The bound only guards against a lost notification.
        ULONGLONG waitMs = due - now;
        if (waitMs > 1000) waitMs = 1000;
        wake_.wait_for(lock, std::chrono::milliseconds(waitMs));
        continue;
      }
      order_.erase(order_.begin());
      auto it = pending_.find(handle);
      std::function<void()> callback = std::move(it->second.callback);
      pending_.erase(it);
      running_ = handle;
      lock.unlock();
      callback();
      callback = nullptr;
      lock.lock();
      running_ = 0;
      idle_.notify_all();
    }
    idle_.notify_all();
  }

  std::mutex mutex_;                       // guards everything below; never held by a callback
  std::condition_variable wake_;           // the queue thread waits on it
  std::condition_variable idle_;           // notified after each callback
  std::map<TimerHandle, Pending> pending_;
  std::set<std::pair<ULONGLONG, TimerHandle>> order_;
  TimerHandle next_ = 1;
  TimerHandle running_ = 0;                // the timer whose callback runs now
  bool stop_ = false;
  std::thread thread_;
};

TimerQueue& Queue() {
  static TimerQueue queue;
  return queue;
}

}  // namespace

void TimerQueueClockMoved(bool waitForDue) { Queue().ClockMoved(waitForDue); }

TimerHandle ScheduleTimer(DWORD ms, std::function<void()> callback) {
  if (!callback) return 0;
  return Queue().Schedule(ms, std::move(callback));
}

bool CancelTimer(TimerHandle timer) {
  if (timer == 0) return false;
  return Queue().Cancel(timer);
}

void CancelTimerAndWait(TimerHandle timer) {
  if (timer == 0) return;
  Queue().Cancel(timer);
  Queue().WaitWhileRunning(timer);
}

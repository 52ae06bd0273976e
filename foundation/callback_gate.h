// Gate in front of the callbacks of one connection or request.
//
// Each callback call is bracketed by Enter/Leave. Close shuts the gate so no
// callback begins afterwards; WaitForOthers then waits until callbacks that
// already began on other threads have returned (a callback that closes its
// own connection or request does not wait for itself). Shared by pointer so
// it outlives the record that its thread frees.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

class CallbackGate {
 public:
  // True when the gate is open; the caller then runs the callback and calls
  // Leave. False: no callback may be made.
  bool Enter();
  // As Enter, and closes the gate in the same step: the one final report.
  bool EnterFinal();
  void Leave();
  // Shuts the gate; true when it was open until now.
  bool Close();
  bool IsOpen();
  // Waits until no callback runs on a thread other than the calling one.
  void WaitForOthers();

 private:
  std::mutex lock_;
  std::condition_variable idle_;
  bool open_ = true;
  std::vector<std::thread::id> running_;  // one entry per callback in progress
};

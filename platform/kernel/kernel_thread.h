// Threads.
//
// The system's threads are of two kinds: detached workers that free their
// own records when they end (StartThread), and threads an owner joins
// (Thread). A worker's "running" flag is the caller's own std::atomic<bool>;
// the caller sets it before starting the thread, so the body never sees it
// clear at its first look unless someone has already asked it to stop.
#pragma once

#include <functional>
#include <thread>

#include "platform/kernel/win_types.h"

// A small number identifying the calling thread for the whole life of the
// process: never 0, never reused, stable across calls.
DWORD GetCurrentThreadId();

// The calling thread's last error code (0 until a function sets it). Functions
// document when they set it; nothing clears it on success unless it says so.
DWORD GetLastError();
void SetLastError(DWORD code);

// Gives the calling thread a chosen id (the message ports give a process's UI
// thread an id unique among the user's processes). Layer use only, before
// the id was handed to anyone.
void AdoptCurrentThreadId(DWORD id);

// Starts body on a new detached thread. threadId (optional) receives the new
// thread's id before this returns. Returns false, and leaves *threadId as it
// was, when the thread could not be created (body is then not run and is
// destroyed here).
bool StartThread(std::function<void()> body, DWORD* threadId = nullptr);

// A thread its owner joins. Destroying a Thread that is still joinable joins
// it, so the owner must first tell the body to stop.
class Thread {
 public:
  Thread() = default;
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts body. False when a thread is already running under this object or
  // the thread could not be created.
  bool Start(std::function<void()> body);
  // Waits until the body has returned. Nothing when not joinable. Must not be
  // called from the thread itself.
  void Join();
  bool Joinable() const { return thread_.joinable(); }
  // The thread's GetCurrentThreadId value, 0 before Start.
  DWORD Id() const { return id_; }

 private:
  std::thread thread_;
  DWORD id_ = 0;
};

// The test desktop: the same window system on the offscreen Qt platform,
// driven by a test. Input goes through the platform's own routing (hit
// testing, capture, focus, double clicks, leave notices); the clock is
// driven so timers and ticks move only when the test says; message boxes
// are recorded and answered; any window can be read back as a picture.
//
// One desktop at a time, on the thread that runs the test (it becomes the
// UI thread). The destructor destroys the top-level windows still alive
// and returns the clock and the message boxes to normal.
#pragma once

#include "platform/gdi/win_gdi.h"

#include <QImage>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TestDesktop {
 public:
  TestDesktop();
  ~TestDesktop();
  TestDesktop(const TestDesktop&) = delete;
  TestDesktop& operator=(const TestDesktop&) = delete;

  // Mouse input at a point in the client coordinates of hwnd (it need not
  // be the window that receives the message: capture and hit testing
  // decide). Each call runs the queue until idle afterwards.
  void MoveMouse(HWND hwnd, int x, int y);
  void MouseDown(HWND hwnd, int x, int y, bool right = false);
  void MouseUp(HWND hwnd, int x, int y, bool right = false);
  void Click(HWND hwnd, int x, int y);  // move, press, release
  void RightClick(HWND hwnd, int x, int y);
  void DoubleClick(HWND hwnd, int x, int y);
  void Wheel(HWND hwnd, int x, int y, int delta);
  // A key pressed and released (with Shift or Ctrl held when asked).
  void Key(UINT vk, bool shift = false, bool ctrl = false);
  void KeyDown(UINT vk, int repeat = 1);
  void KeyUp(UINT vk);
  // Text typed: letters, digits and space as keys, anything else as
  // characters committed by the input method.
  void Type(const WString& text);

  // The driven clock (milliseconds): a kernel ManualClock for as long as the
  // desktop lives, so GetTickCount, window timers and the timer queue all
  // follow it. Advance moves it forward, stopping at every due window timer
  // to run the queue, so each expiry is delivered.
  ULONGLONG Now() const;
  void Advance(DWORD ms);

  // Runs the queue until nothing is left; returns messages dispatched.
  int RunUntilIdle();
  // Runs the queue, waiting for other threads' work, until pred() holds or
  // timeoutMs of real time pass. Returns pred()'s last value.
  bool RunUntil(const std::function<bool()>& pred, DWORD timeoutMs = 5000);

  // The window's pixels (frame included) as they are in its top-level
  // window's picture; a null picture for an invalid handle.
  QImage Snapshot(HWND hwnd) const;
  bool SavePng(HWND hwnd, const std::string& path) const;

  // Message boxes asked for while the desktop exists.
  struct Box {
    HWND owner;
    WString text;
    WString caption;
    UINT type;
  };
  const std::vector<Box>& Boxes() const { return boxes_; }
  void SetBoxAnswer(int answer) { boxAnswer_ = answer; }

 private:
  POINT ToScreen(HWND hwnd, int x, int y) const;
  std::unique_ptr<class ManualClock> clock_;
  std::vector<Box> boxes_;
  int boxAnswer_ = 1;  // IDOK
};

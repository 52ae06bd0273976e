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

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TestDesktop {
 public:
  TestDesktop();
  ~TestDesktop();
  TestDesktop(const TestDesktop&) = delete;
  TestDesktop& operator=(const TestDesktop&) = delete;

  // Mouse input at a point in the client coordinates of hwnd, or in screen
  // coordinates when hwnd is null (hwnd need not be the window that receives
  // the message: capture and hit testing decide). Each call runs the queue
  // until idle afterwards (not inside a step, see Then).
  void MoveMouse(HWND hwnd, int x, int y);
  void MouseDown(HWND hwnd, int x, int y, bool right = false);
  void MouseUp(HWND hwnd, int x, int y, bool right = false);
  // Move, press, release. A press that opens a modal loop (a caption press
  // moving the window) gets its release inside that loop once the loop has
  // no queued steps left.
  void Click(HWND hwnd, int x, int y);
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

  // The screen size the desktop reports (GetSystemMetrics; menus, tips and
  // centring keep within it): 1920x1080 unless set.
  void SetScreenSize(int width, int height);

  // Runs the queue until nothing is left; returns messages dispatched.
  int RunUntilIdle();
  // Runs the queue, waiting for other threads' work, until pred() holds or
  // timeoutMs of real time pass. Returns pred()'s last value.
  bool RunUntil(const std::function<bool()>& pred, DWORD timeoutMs = 5000);

  // The window's pixels (frame included) as they are in its top-level
  // window's picture; a null picture for an invalid handle.
  QImage Snapshot(HWND hwnd) const;
  bool SavePng(HWND hwnd, const std::string& path) const;

  // Acting inside a modal loop (a pop-up menu, a dialog, a message box, drag
  // tracking). The test runs on the UI thread, so the call that opens such a
  // loop returns only when the loop has ended: queue the steps first, then
  // open it. Each time the innermost running message loop has nothing left
  // to do, the next step runs, in the order queued. While a step runs, the
  // input calls above (Click, Key, Type, ...) only queue their input, which
  // the running loop then takes as the user's would; Advance only moves the
  // clock. Until(ready) holds the steps behind it until ready() answers true
  // (a window appearing, for instance); when it is not true within
  // timeoutMs of real time the remaining steps are dropped, Escape is
  // pressed to end the loop, and StepsTimedOut() answers true.
  //
  //   desk.Until([] { return FindWindowW(WC_POPUPMENU, nullptr) != nullptr; });
  //   desk.Then([&] { desk.Key(VK_DOWN); });
  //   desk.Then([&] { desk.Key(VK_RETURN); });
  //   menu.TrackPopupMenu(0, 100, 100, &owner);   // returns after Enter
  void Then(std::function<void()> step);
  void Until(std::function<bool()> ready, DWORD timeoutMs = 10000);
  size_t PendingSteps() const { return steps_.size(); }
  bool StepsTimedOut() const { return stepsTimedOut_; }

  // Message boxes asked for while the desktop exists.
  struct Box {
    HWND owner;
    WString text;
    WString caption;
    UINT type;
  };
  // Recorded and answered with SetBoxAnswer's answer (IDOK by default), or,
  // after ShowRealBoxes(true), shown as the real modal box (driven with
  // steps like any dialog) and then not recorded.
  const std::vector<Box>& Boxes() const { return boxes_; }

  // Windows of other processes embedded into child windows of this one
  // (EmbedIntoWindow), with each slot's current size and visibility.
  struct Embedding {
    HWND slot;
    int clientPid;
    SIZE size;
    bool visible;
  };
  std::vector<Embedding> Embeddings() const;
  void SetBoxAnswer(int answer) { boxAnswer_ = answer; }
  void ShowRealBoxes(bool real);

 private:
  struct Step {
    std::function<bool()> ready;  // null: always ready
    std::function<void()> act;
    DWORD timeoutMs = 0;
    ULONGLONG firstAsked = 0;  // real time, 0 until first asked
  };
  POINT ToScreen(HWND hwnd, int x, int y) const;
  void Pump();  // runs the queue unless a step is running
  bool RunStep();  // the idle hook
  void PressAndRelease(POINT p);
  std::optional<POINT> releaseDue_;  // a click's release not given yet
  std::unique_ptr<class ManualClock> clock_;
  std::deque<Step> steps_;
  bool inStep_ = false;
  bool stepsTimedOut_ = false;
  std::vector<Box> boxes_;
  int boxAnswer_ = 1;  // IDOK
};

// Steps run one after another from the message queue, each as a posted
// message, so they run inside whatever loop is pumping - a plug-in's modal
// dialog included. A step returning false is tried again (waiting for a
// dialog to appear, for instance) up to a bound, after which the script
// gives up and reports it.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "platform/mfc/afx.h"

class HostScript : public CWnd {
 public:
  bool Make() { return CreateEx(0, nullptr, u"host script", WS_POPUP, CRect(0, 0, 1, 1), nullptr, 0) != FALSE; }
  void Add(std::function<bool()> step) { steps_.push_back(std::move(step)); }
  void Then(std::function<void()> step) {
    steps_.push_back([step] {
      step();
      return true;
    });
  }
  void Start() { PostMessage(kStep); }
  bool Done() const { return steps_.empty(); }
  bool GaveUp() const { return gaveUp_; }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != kStep) return CWnd::WindowProc(message, wParam, lParam);
    if (steps_.empty()) return 0;
    if (steps_.front()()) {
      steps_.pop_front();
      retries_ = 0;
    } else if (++retries_ > kMaxRetries) {
      gaveUp_ = true;
      steps_.clear();
      return 0;
    }
    if (!steps_.empty()) PostMessage(kStep);
    return 0;
  }

 private:
  static constexpr UINT kStep = WM_APP + 71;
  static constexpr int kMaxRetries = 200000;
  std::deque<std::function<bool()>> steps_;
  int retries_ = 0;
  bool gaveUp_ = false;
};

// The visible top-level window whose caption is title, or null.
HWND FindTopLevel(const char16_t* title);

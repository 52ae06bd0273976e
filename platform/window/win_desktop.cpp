#include "platform/window/win_desktop.h"

#include "platform/kernel/kernel_clock.h"
#include "platform/window/win_internal.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace {
constexpr ULONGLONG kDesktopStart = 1000000;  // the driven clock's first value
}

TestDesktop::TestDesktop() {
  EnsureGuiApplication();
  InitUiThread();
  ResetInputState();
  clock_ = std::make_unique<ManualClock>(kDesktopStart);
  SetMessageBoxSink([this](HWND owner, const WString& text, const WString& caption, UINT type) {
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    boxes_.push_back(Box{owner, text, caption, type});
    return boxAnswer_;
  });
}

TestDesktop::~TestDesktop() {
  RunUntilIdle();
  for (HWND top = GetTopWindow(nullptr); top; top = GetTopWindow(nullptr)) DestroyWindow(top);
  RunUntilIdle();
  SetMessageBoxSink(nullptr);
  ResetInputState();
  clock_.reset();
}

POINT TestDesktop::ToScreen(HWND hwnd, int x, int y) const {
  POINT p{x, y};
  ClientToScreen(hwnd, &p);
  return p;
}

void TestDesktop::MoveMouse(HWND hwnd, int x, int y) {
  InjectMouse(MouseInput::Move, ToScreen(hwnd, x, y));
  RunUntilIdle();
}

void TestDesktop::MouseDown(HWND hwnd, int x, int y, bool right) {
  InjectMouse(right ? MouseInput::RightDown : MouseInput::LeftDown, ToScreen(hwnd, x, y));
  RunUntilIdle();
}

void TestDesktop::MouseUp(HWND hwnd, int x, int y, bool right) {
  InjectMouse(right ? MouseInput::RightUp : MouseInput::LeftUp, ToScreen(hwnd, x, y));
  RunUntilIdle();
}

void TestDesktop::Click(HWND hwnd, int x, int y) {
  POINT p = ToScreen(hwnd, x, y);
  InjectMouse(MouseInput::Move, p);
  RunUntilIdle();
  InjectMouse(MouseInput::LeftDown, p);
  RunUntilIdle();
  InjectMouse(MouseInput::LeftUp, p);
  RunUntilIdle();
}

void TestDesktop::RightClick(HWND hwnd, int x, int y) {
  POINT p = ToScreen(hwnd, x, y);
  InjectMouse(MouseInput::Move, p);
  RunUntilIdle();
  InjectMouse(MouseInput::RightDown, p);
  RunUntilIdle();
  InjectMouse(MouseInput::RightUp, p);
  RunUntilIdle();
}

void TestDesktop::DoubleClick(HWND hwnd, int x, int y) {
  Click(hwnd, x, y);
  POINT p = ToScreen(hwnd, x, y);
  InjectMouse(MouseInput::LeftDown, p);
  RunUntilIdle();
  InjectMouse(MouseInput::LeftUp, p);
  RunUntilIdle();
}

void TestDesktop::Wheel(HWND hwnd, int x, int y, int delta) {
  InjectMouse(MouseInput::Wheel, ToScreen(hwnd, x, y), delta);
  RunUntilIdle();
}

void TestDesktop::KeyDown(UINT vk, int repeat) {
  InjectKey(vk, true, repeat);
  RunUntilIdle();
}

void TestDesktop::KeyUp(UINT vk) {
  InjectKey(vk, false, 1);
  RunUntilIdle();
}

void TestDesktop::Key(UINT vk, bool shift, bool ctrl) {
  if (shift) InjectKey(VK_SHIFT, true, 1);
  if (ctrl) InjectKey(VK_CONTROL, true, 1);
  InjectKey(vk, true, 1);
  InjectKey(vk, false, 1);
  if (ctrl) InjectKey(VK_CONTROL, false, 1);
  if (shift) InjectKey(VK_SHIFT, false, 1);
  RunUntilIdle();
}

void TestDesktop::Type(const WString& text) {
  for (char16_t c : text) {
    if (c >= u'a' && c <= u'z') {
      InjectKey(static_cast<UINT>(c - u'a' + 'A'), true, 1);
      InjectKey(static_cast<UINT>(c - u'a' + 'A'), false, 1);
    } else if (c >= u'A' && c <= u'Z') {
      InjectKey(VK_SHIFT, true, 1);
      InjectKey(static_cast<UINT>(c), true, 1);
      InjectKey(static_cast<UINT>(c), false, 1);
      InjectKey(VK_SHIFT, false, 1);
    } else if ((c >= u'0' && c <= u'9') || c == u' ') {
      InjectKey(static_cast<UINT>(c), true, 1);
      InjectKey(static_cast<UINT>(c), false, 1);
    } else {
      InjectChar(c);
    }
    RunUntilIdle();
  }
}

ULONGLONG TestDesktop::Now() const { return UiTickCount64(); }

void TestDesktop::Advance(DWORD ms) {
  RunUntilIdle();
  ULONGLONG target = UiTickCount64() + ms;
  for (int guard = 0; guard < 1000000; ++guard) {
    ULONGLONG due = 0;
    if (!NextTimerDue(&due) || due > target) break;
    ULONGLONG now = UiTickCount64();
    if (due > now) clock_->Advance(due - now);
    if (RunUntilIdle() == 0 && due <= now) break;  // nothing became due: avoid spinning
  }
  ULONGLONG now = UiTickCount64();
  if (target > now) clock_->Advance(target - now);
  RunUntilIdle();
}

int TestDesktop::RunUntilIdle() { return PumpUntilIdle(); }

bool TestDesktop::RunUntil(const std::function<bool()>& pred, DWORD timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    RunUntilIdle();
    if (pred()) return true;
    if (std::chrono::steady_clock::now() >= end) return pred();
    WaitForWork(5);
  }
}

QImage TestDesktop::Snapshot(HWND hwnd) const {
  HWND top = GetAncestor(hwnd, GA_ROOT);
  QImage* backing = TopLevelBacking(top);
  QRect r;
  if (!backing || !WindowRectInBacking(hwnd, &r)) return QImage();
  return backing->copy(r);
}

bool TestDesktop::SavePng(HWND hwnd, const std::string& path) const {
  QImage img = Snapshot(hwnd);
  return !img.isNull() && img.save(QString::fromStdString(path), "PNG");
}

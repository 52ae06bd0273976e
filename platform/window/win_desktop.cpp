#include "platform/window/win_desktop.h"

#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/window/win_internal.h"
#include "platform/window/win_remote.h"

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace {
constexpr ULONGLONG kDesktopStart = 1000000;  // the driven clock's first value
}

TestDesktop::TestDesktop() {
  EnsureGuiApplication();
  InitUiThread();
  ResetInputState();
  clock_ = std::make_unique<ManualClock>(kDesktopStart);
  ::SetScreenSize(1920, 1080);
  ShowRealBoxes(false);
  SetIdleHook([this] { return RunStep(); });
}

void TestDesktop::ShowRealBoxes(bool real) {
  if (real) {
    SetMessageBoxSink(nullptr);
    return;
  }
  SetMessageBoxSink([this](HWND owner, const WString& text, const WString& caption, UINT type) {
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    boxes_.push_back(Box{owner, text, caption, type});
    return boxAnswer_;
  });
}

void TestDesktop::SetScreenSize(int width, int height) { ::SetScreenSize(width, height); }

void TestDesktop::Then(std::function<void()> step) { steps_.push_back(Step{nullptr, std::move(step)}); }

void TestDesktop::Until(std::function<bool()> ready, DWORD timeoutMs) {
  steps_.push_back(Step{std::move(ready), nullptr, timeoutMs});
}

bool TestDesktop::RunStep() {
  if (steps_.empty()) {
    if (!releaseDue_) return false;
    const POINT p = *releaseDue_;
    releaseDue_.reset();
    InjectMouse(MouseInput::LeftUp, p);
    return false;
  }
  Step& front = steps_.front();
  if (front.ready) {
    ULONGLONG now = RealTickCount64();
    if (!front.firstAsked) front.firstAsked = now;
    if (!front.ready()) {
      if (now - front.firstAsked < front.timeoutMs) return true;
      DebugWrite(DebugChannel::Stderr,
                 "TestDesktop: a step was never ready; " + std::to_string(steps_.size()) + " steps dropped\n");
      steps_.clear();
      stepsTimedOut_ = true;
      InjectKey(VK_ESCAPE, true, 1);
      InjectKey(VK_ESCAPE, false, 1);
      return false;
    }
    steps_.pop_front();
    return !steps_.empty();
  }
  std::function<void()> act = std::move(front.act);
  steps_.pop_front();  // before running: the step may open a loop of its own
  bool outer = inStep_;
  inStep_ = true;
  act();
  inStep_ = outer;
  return !steps_.empty();
}

void TestDesktop::Pump() {
  if (!inStep_) RunUntilIdle();
}

TestDesktop::~TestDesktop() {
  SetIdleHook(nullptr);
  steps_.clear();
  RunUntilIdle();
  for (HWND top = GetTopWindow(nullptr); top; top = GetTopWindow(nullptr)) DestroyWindow(top);
  RunUntilIdle();
  SetMessageBoxSink(nullptr);
  ResetInputState();
  ::SetScreenSize(1920, 1080);
  clock_.reset();
}

POINT TestDesktop::ToScreen(HWND hwnd, int x, int y) const {
  POINT p{x, y};
  if (hwnd) ClientToScreen(hwnd, &p);
  return p;
}

void TestDesktop::MoveMouse(HWND hwnd, int x, int y) {
  InjectMouse(MouseInput::Move, ToScreen(hwnd, x, y));
  Pump();
}

void TestDesktop::MouseDown(HWND hwnd, int x, int y, bool right) {
  InjectMouse(right ? MouseInput::RightDown : MouseInput::LeftDown, ToScreen(hwnd, x, y));
  Pump();
}

void TestDesktop::MouseUp(HWND hwnd, int x, int y, bool right) {
  InjectMouse(right ? MouseInput::RightUp : MouseInput::LeftUp, ToScreen(hwnd, x, y));
  Pump();
}

// A left press and its release at p. A press that opens a modal loop of its
// own (a caption press moving the window, say) gets its release inside that
// loop once the loop has no queued steps left, as the user's hand would give
// it; otherwise the release follows when the press has been handled.
void TestDesktop::PressAndRelease(POINT p) {
  InjectMouse(MouseInput::LeftDown, p);
  if (!inStep_) {
    releaseDue_ = p;
    Pump();
    if (!releaseDue_) return;
    releaseDue_.reset();
  }
  InjectMouse(MouseInput::LeftUp, p);
  Pump();
}

void TestDesktop::Click(HWND hwnd, int x, int y) {
  POINT p = ToScreen(hwnd, x, y);
  InjectMouse(MouseInput::Move, p);
  Pump();
  PressAndRelease(p);
}

void TestDesktop::RightClick(HWND hwnd, int x, int y) {
  POINT p = ToScreen(hwnd, x, y);
  InjectMouse(MouseInput::Move, p);
  Pump();
  InjectMouse(MouseInput::RightDown, p);
  Pump();
  InjectMouse(MouseInput::RightUp, p);
  Pump();
}

void TestDesktop::DoubleClick(HWND hwnd, int x, int y) {
  Click(hwnd, x, y);
  PressAndRelease(ToScreen(hwnd, x, y));
}

void TestDesktop::Wheel(HWND hwnd, int x, int y, int delta) {
  InjectMouse(MouseInput::Wheel, ToScreen(hwnd, x, y), delta);
  Pump();
}

void TestDesktop::KeyDown(UINT vk, int repeat) {
  InjectKey(vk, true, repeat);
  Pump();
}

void TestDesktop::KeyUp(UINT vk) {
  InjectKey(vk, false, 1);
  Pump();
}

void TestDesktop::Key(UINT vk, bool shift, bool ctrl) {
  if (shift) InjectKey(VK_SHIFT, true, 1);
  if (ctrl) InjectKey(VK_CONTROL, true, 1);
  InjectKey(vk, true, 1);
  InjectKey(vk, false, 1);
  if (ctrl) InjectKey(VK_CONTROL, false, 1);
  if (shift) InjectKey(VK_SHIFT, false, 1);
  Pump();
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
    Pump();
  }
}

ULONGLONG TestDesktop::Now() const { return UiTickCount64(); }

void TestDesktop::Advance(DWORD ms) {
  if (inStep_) {  // the running loop delivers what became due
    clock_->Advance(ms);
    return;
  }
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

std::vector<TestDesktop::Embedding> TestDesktop::Embeddings() const {
  std::vector<Embedding> out;
  for (const EmbeddingInfo& e : CurrentEmbeddings()) out.push_back(Embedding{e.slot, e.clientPid, e.size, e.visible});
  return out;
}

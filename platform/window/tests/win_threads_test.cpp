// Calls from other threads: posting, invalidating, showing, sending and
// drawing into memory pictures while the UI thread paints.
#include "platform/mfc/afx.h"
#include "platform/window/win_desktop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

class Counter : public CWnd {
 public:
  std::mutex lock;  // guards what workers read
  std::vector<WPARAM> posted;
  std::atomic<int> paints{0};
  std::atomic<int> sends{0};

  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_USER + 1) {
      std::lock_guard<std::mutex> guard(lock);
      posted.push_back(w);
      return 0;
    }
    if (msg == WM_USER + 2) {
      ++sends;
      return static_cast<LRESULT>(w * 2);
    }
    return CWnd::WindowProc(msg, w, l);
  }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, RGB(0, 128, 0));
    ++paints;
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
};

TEST(WindowThreads, WorkersPostInvalidateShowAndSendWhileTheUiThreadPaints) {
  TestDesktop desktop;
  Counter top, child;
  ASSERT_TRUE(top.CreateEx(0, nullptr, u"t", WS_POPUP | WS_VISIBLE, CRect(0, 0, 100, 100), nullptr, 0));
  ASSERT_TRUE(child.CreateEx(0, nullptr, u"c", WS_CHILD | WS_VISIBLE, CRect(10, 10, 50, 50), &top, 1));
  desktop.RunUntilIdle();
  HWND topHandle = top, childHandle = child;
  constexpr int kPosts = 500;
  std::atomic<int> done{0};
  std::atomic<LRESULT> sendSum{0};
  std::thread poster([&] {
    for (int i = 0; i < kPosts; ++i) PostMessageW(topHandle, WM_USER + 1, static_cast<WPARAM>(i), 0);
    ++done;
  });
  std::thread changer([&] {
    for (int i = 0; i < 50; ++i) {
      InvalidateRect(childHandle, nullptr, TRUE);
      ShowWindow(childHandle, (i % 2) ? SW_SHOW : SW_HIDE);
      EnableWindow(childHandle, i % 2);
      SetWindowTextW(childHandle, u"更新");
      sendSum += SendMessageW(topHandle, WM_USER + 2, 1, 0);
      SetTimer(childHandle, 5, 100, nullptr);
      (void)IsWindowVisible(childHandle);
    }
    ++done;
  });
  EXPECT_TRUE(desktop.RunUntil([&] { return done.load() == 2; }, 20000));
  poster.join();
  changer.join();
  desktop.RunUntilIdle();
  std::vector<WPARAM> expected(kPosts);
  for (int i = 0; i < kPosts; ++i) expected[i] = static_cast<WPARAM>(i);
  {
    std::lock_guard<std::mutex> guard(top.lock);
    EXPECT_EQ(top.posted, expected);
  }
  EXPECT_EQ(top.sends.load(), 50);
  EXPECT_EQ(sendSum.load(), 100);
  EXPECT_TRUE(child.IsWindowVisible());  // the last change showed it
  EXPECT_TRUE(child.IsWindowEnabled());
  EXPECT_EQ(child.GetWindowText(), u"更新");
  EXPECT_GT(child.paints.load(), 0);
  EXPECT_EQ(desktop.Snapshot(child).pixel(5, 5), 0xFF008000u);
}

TEST(WindowThreads, GetMessageWakesForAnotherThreadsPost) {
  TestDesktop desktop;
  Counter top;
  ASSERT_TRUE(top.CreateEx(0, nullptr, u"t", WS_POPUP | WS_VISIBLE, CRect(0, 0, 10, 10), nullptr, 0));
  desktop.RunUntilIdle();
  HWND h = top;
  std::thread late([h] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    PostMessageW(h, WM_USER + 9, 0, 0);
  });
  auto start = std::chrono::steady_clock::now();
  MSG msg;
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 9));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  late.join();
}

// Draws a small table into a memory picture and returns its pixels.
QImage DrawTable(int seed) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateBitmap(160, 60, 1, 32, nullptr);
  HGDIOBJ oldBmp = SelectObject(dc, bmp);
  HFONT font = CreateFontW(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, ANTIALIASED_QUALITY, 32, u"宋体");
  HGDIOBJ oldFont = SelectObject(dc, font);
  RECT all{0, 0, 160, 60};
  HBRUSH back = CreateSolidBrush(RGB(seed % 255, 20, 30));
  FillRect(dc, &all, back);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 0));
  RECT cell{4, 4, 156, 28};
  DrawTextW(dc, u"浦发银行 10.25", -1, &cell, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(200, 200, 200));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  MoveToEx(dc, 0, 30, nullptr);
  LineTo(dc, 160, 30);
  QImage copy = GetDCImage(dc, nullptr)->copy();
  SelectObject(dc, oldPen);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBmp);
  DeleteObject(pen);
  DeleteObject(back);
  DeleteObject(font);
  DeleteObject(bmp);
  DeleteDC(dc);
  return copy;
}

TEST(WindowThreads, MemoryPicturesAreDrawnOnAnyThread) {
  EnsureGuiApplication();
  QImage reference = DrawTable(7);
  std::vector<QImage> results(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20; ++i) results[t] = DrawTable(7);
    });
  }
  for (auto& th : threads) th.join();
  for (const QImage& r : results) EXPECT_EQ(r, reference);
}

// InSendMessage answers for the handler running now: TRUE for another
// thread's send, FALSE for a send from the UI thread itself (also nested in
// the former) and for a posted message.
class Asker : public CWnd {
 public:
  std::vector<std::pair<UINT, BOOL>> answers;  // (message, InSendMessage())
  HWND nestTo = nullptr;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg < WM_APP || msg > WM_APP + 10) return CWnd::WindowProc(msg, w, l);
    answers.emplace_back(msg, InSendMessage());
    if (msg == WM_APP + 1 && nestTo) {
      ::SendMessageW(nestTo, WM_APP + 2, 0, 0);
      answers.emplace_back(msg, InSendMessage());  // the outer handler's answer again
    }
    return 0;
  }
};

TEST(WindowThreads, InSendMessageTellsAnotherThreadsSendApart) {
  TestDesktop desktop;
  Asker a, b;
  ASSERT_TRUE(a.CreateEx(0, nullptr, u"a", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
  ASSERT_TRUE(b.CreateEx(0, nullptr, u"b", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
  a.nestTo = b.m_hWnd;
  EXPECT_FALSE(InSendMessage());
  std::atomic<bool> done{false};
  std::atomic<BOOL> onWorker{TRUE};
  std::thread worker([&] {
    ::SendMessageW(a.m_hWnd, WM_APP + 1, 0, 0);
    onWorker = InSendMessage();
    done = true;
  });
  EXPECT_TRUE(desktop.RunUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_FALSE(onWorker.load());
  ::SendMessageW(a.m_hWnd, WM_APP + 3, 0, 0);
  ::PostMessageW(a.m_hWnd, WM_APP + 4, 0, 0);
  desktop.RunUntilIdle();
  EXPECT_EQ(a.answers, (std::vector<std::pair<UINT, BOOL>>{
                           {WM_APP + 1, TRUE}, {WM_APP + 1, TRUE}, {WM_APP + 3, FALSE}, {WM_APP + 4, FALSE}}));
  EXPECT_EQ(b.answers, (std::vector<std::pair<UINT, BOOL>>{{WM_APP + 2, FALSE}}));
}

}  // namespace

// The chart pop-up window: input handed to the parent, the memory picture
// across resizes, and painting under the owner's lock while data threads
// draw.
#include "controls/pop_view.h"

#include "controls/tests/panels_test_util.h"
#include "controls/tests/resource_fixture.h"
#include "foundation/draw_helpers.h"

#include <atomic>
#include <thread>

namespace {

using panels::InInput;
using panels::Notice;
using panels::PixelAt;
using panels::Recorder;

// Records what reaches default handling and counts its input depth.
class TestPopView : public CVexloPopView {
 public:
  std::vector<UINT> defaults;
  LRESULT DefWindowProc(UINT msg, WPARAM w, LPARAM l) override {
    defaults.push_back(msg);
    return CVexloPopView::DefWindowProc(msg, w, l);
  }
  bool Defaulted(UINT msg) const { return std::find(defaults.begin(), defaults.end(), msg) != defaults.end(); }

 protected:
  void OnLButtonDown(UINT flags, CPoint point) override {
    InInput in;
    CVexloPopView::OnLButtonDown(flags, point);
  }
  void OnLButtonDblClk(UINT flags, CPoint point) override {
    InInput in;
    CVexloPopView::OnLButtonDblClk(flags, point);
  }
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override {
    InInput in;
    CVexloPopView::OnKeyDown(key, repeat, flags);
  }
};

// The owner's drawing: the whole picture in one colour.
void Fill(CVexloPopView& view, CriticalSection* lock, COLORREF color) {
  if (lock) lock->Enter();
  if (HDC dc = view.GetMemoryDC()) {
    RECT rc{0, 0, 4000, 4000};
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &rc, brush);
    DeleteObject(brush);
  }
  if (lock) lock->Leave();
  view.Invalidate(FALSE);
}

SIZE MemorySize(CVexloPopView& view) {
  BITMAP bm{};
  GetObjectW(GetCurrentObject(view.GetMemoryDC(), OBJ_BITMAP), sizeof bm, &bm);
  return SIZE{bm.bmWidth, bm.bmHeight};
}

class PopViewTest : public ::testing::Test {
 protected:
  TestDesktop desk;
  Recorder parent;
  CriticalSection ownerLock;
  void SetUp() override {
    orvtest::UseProgramFonts();
    parent.watch = {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_KEYDOWN};
    ASSERT_TRUE(parent.Make(0, 100, 600, 400));
  }
  void Make(CVexloPopView& view, int w = 200, int h = 120, CriticalSection* lock = nullptr) {
    view.SetLock(lock);
    ASSERT_TRUE(view.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(20, 20, 20 + w, 20 + h), &parent, 0));
    desk.RunUntilIdle();
  }
};

TEST_F(PopViewTest, ClicksAndKeysArePostedToTheParent) {
  TestPopView view;
  Make(view, 200, 120, &ownerLock);
  desk.Click(view.m_hWnd, 5, 7);
  desk.DoubleClick(view.m_hWnd, 30, 40);
  ::SetFocus(view.m_hWnd);
  desk.Key(VK_F12);
  const WPARAM self = reinterpret_cast<WPARAM>(static_cast<CVexloPopView*>(&view));
  struct Expected {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
  };
  const Expected expected[] = {{WM_LBUTTONDOWN, self, 5 | 7 << 16},
                               {WM_LBUTTONDOWN, self, 30 | 40 << 16},  // the double click's press
                               {WM_LBUTTONDBLCLK, self, 30 | 40 << 16},
                               {WM_KEYDOWN, VK_F12, 0}};
  ASSERT_EQ(parent.notices.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(parent.notices[i].msg, expected[i].msg) << i;
    EXPECT_EQ(parent.notices[i].wParam, expected[i].wParam) << i;
    EXPECT_EQ(parent.notices[i].lParam, expected[i].lParam) << i;
    EXPECT_FALSE(parent.notices[i].sent) << i;
  }
  for (UINT msg : {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_KEYDOWN})
    EXPECT_FALSE(view.Defaulted(msg)) << msg << " reached default handling";
}

TEST_F(PopViewTest, ResizingMakesANewPictureOfTheClientSize) {
  TestPopView view;
  Make(view, 200, 120, &ownerLock);
  EXPECT_EQ(MemorySize(view).cx, 200);
  EXPECT_EQ(MemorySize(view).cy, 120);
  EXPECT_EQ(GetBkMode(view.GetMemoryDC()), TRANSPARENT);
  view.MoveWindow(20, 20, 150, 90);
  EXPECT_EQ(MemorySize(view).cx, 150);
  EXPECT_EQ(MemorySize(view).cy, 90);
  EXPECT_EQ(GetBkMode(view.GetMemoryDC()), TRANSPARENT);
  Fill(view, &ownerLock, RGB(10, 200, 30));
  desk.RunUntilIdle();
  QImage img = desk.Snapshot(view.m_hWnd);
  EXPECT_EQ(img.width(), 150);
  EXPECT_EQ(PixelAt(img, 0, 0), RGB(10, 200, 30));
  EXPECT_EQ(PixelAt(img, 149, 89), RGB(10, 200, 30));

  // Without a lock the window still paints.
  TestPopView unlocked;
  Make(unlocked, 80, 60, nullptr);
  Fill(unlocked, nullptr, RGB(200, 10, 30));
  desk.RunUntilIdle();
  EXPECT_EQ(PixelAt(desk.Snapshot(unlocked.m_hWnd), 40, 30), RGB(200, 10, 30));
}

TEST_F(PopViewTest, PaintingWaitsForTheOwnersDrawing) {
  TestPopView view;
  Make(view, 200, 120, &ownerLock);
  Fill(view, &ownerLock, RGB(0, 0, 0));
  desk.RunUntilIdle();
  std::atomic<bool> held{false}, painting{false}, finished{false};
  std::thread worker([&] {
    ownerLock.Enter();
    held = true;
    while (!painting) std::this_thread::yield();
    // Draw while the UI thread is on its way into the paint.
    for (int i = 0; i < 200; ++i) Fill(view, nullptr, RGB(i, 100, 200));
    Fill(view, nullptr, RGB(250, 100, 200));
    finished = true;
    ownerLock.Leave();
  });
  while (!held) std::this_thread::yield();
  view.Invalidate(FALSE);
  painting = true;
  view.UpdateWindow();
  EXPECT_TRUE(finished) << "the paint copied a half-drawn picture";
  worker.join();
  EXPECT_EQ(PixelAt(desk.Snapshot(view.m_hWnd), 100, 60), RGB(250, 100, 200));
}

TEST_F(PopViewTest, OwnerDrawsFromAWorkerWhileTheWindowIsResized) {
  TestPopView view;
  Make(view, 200, 120, &ownerLock);
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < 500; ++i) Fill(view, &ownerLock, RGB(i % 256, 50, 50));
    done = true;
  });
  for (int i = 0; !done; ++i) {
    view.MoveWindow(20, 20, 100 + i % 100, 60 + i % 50);
    view.UpdateWindow();
    desk.RunUntil([&] { return done.load(); }, 1);
  }
  worker.join();
  Fill(view, &ownerLock, RGB(7, 77, 177));
  desk.RunUntilIdle();
  EXPECT_EQ(PixelAt(desk.Snapshot(view.m_hWnd), 5, 5), RGB(7, 77, 177));
}

TEST_F(PopViewTest, Snapshot) {
  TestPopView view;
  Make(view, 240, 140, &ownerLock);
  {
    std::lock_guard<CriticalSection> hold(ownerLock);
    HDC dc = view.GetMemoryDC();
    RECT rc{0, 0, 240, 140};
    FillRectColor(dc, &rc, 0x000000);
    DrawRectangle(dc, &rc, 0x3C4A64, 0);
    RECT title{6, 4, 234, 26};
    DrawTextInRect(dc, &title, u"浦发银行 600000", 0xFFFF00, 0);
    const struct {
      const char16_t* name;
      const char16_t* value;
      uint32_t color;
    } rows[] = {{u"最新", u"10.52", 0xFF3232}, {u"涨跌", u"+0.21", 0xFF3232}, {u"成交量", u"35.2万", 0xFFFF00},
                {u"换手", u"0.12%", 0xC0C0C0}};
    int y = 30;
    for (const auto& r : rows) {
      RECT left{8, y, 120, y + 24}, right{120, y, 232, y + 24};
      DrawTextInRect(dc, &left, r.name, 0xC0C0C0, 0);
      DrawTextInRect(dc, &right, r.value, r.color, 2);
      y += 26;
    }
  }
  view.Invalidate(FALSE);
  desk.RunUntilIdle();
  EXPECT_TRUE(desk.SavePng(view.m_hWnd, panels::SnapshotPath("panels_pop_view.png")));
}

}  // namespace

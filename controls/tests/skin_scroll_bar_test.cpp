// The skinned scroll bar: skin cells, part geometry and hit test, its own
// scroll state, notifications, auto-repeat on the driven clock, the thumb
// drag and the looks drawn directly on the window.
#include "controls/skin_scroll_bar.h"
#include "controls/tests/skin_controls_test_util.h"

#include <gtest/gtest.h>

namespace {

using namespace orvtest;
using namespace skinctl;

constexpr int kX = 30, kY = 10;  // the bar's place in the parent

class SkinScrollBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(skin.Ok());
    ASSERT_TRUE(parent.Make(300, 300));
    bitmap = skin.Load();
    ASSERT_NE(bitmap, nullptr);
  }
  void TearDown() override {
    if (parent.m_hWnd) parent.DestroyWindow();
    if (bitmap) DeleteObject(bitmap);  // the owner keeps the skin alive longer than the bar
  }
  // A bar of the given length along its axis, skinned, with a range.
  void MakeBar(CVexloScrollBar& bar, bool vertical, int length, int max = 99, UINT page = 10, int pos = 45) {
    CRect rc = vertical ? CRect(kX, kY, kX + 40, kY + length) : CRect(kX, kY, kX + length, kY + 40);
    ASSERT_TRUE(bar.Create(WS_CHILD | WS_VISIBLE | (vertical ? SBS_VERT : SBS_HORZ), rc, &parent, 7));
    bar.SetBitmap(bitmap);
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = max;
    si.nPage = page;
    si.nPos = pos;
    bar.SetScrollInfo(&si, TRUE);
    desk.RunUntilIdle();
  }
  COLORREF At(const CVexloScrollBar& bar, int x, int y) { return Pixel(desk, bar.m_hWnd, x, y); }
  SCROLLINFO Info(CVexloScrollBar& bar) {
    SCROLLINFO si;
    si.nTrackPos = 12345;
    bar.GetScrollInfo(&si, SIF_ALL);
    return si;
  }
  std::vector<Heard> Scrolls() const {
    std::vector<Heard> v = parent.Of(WM_VSCROLL);
    for (const auto& h : parent.Of(WM_HSCROLL)) v.push_back(h);
    return v;
  }

  TestDesktop desk;
  ProbeSkin skin;
  RecordingParent parent;
  HBITMAP bitmap = nullptr;
};

TEST_F(SkinScrollBarTest, SetBitmapMakesTheBarOneCellThickKeepingPlaceAndLength) {
  CVexloScrollBar vertical, horizontal;
  MakeBar(vertical, true, 200);
  CRect rc;
  vertical.GetWindowRect(&rc);
  parent.ScreenToClient(&rc);
  EXPECT_EQ(rc, CRect(kX, kY, kX + 16, kY + 200));
  horizontal.Create(WS_CHILD | WS_VISIBLE, CRect(10, 250, 210, 290), &parent, 8);
  horizontal.SetBitmap(bitmap);
  horizontal.GetWindowRect(&rc);
  parent.ScreenToClient(&rc);
  EXPECT_EQ(rc, CRect(10, 250, 210, 266));
}

TEST_F(SkinScrollBarTest, GeometryHitTestAndNormalPainting) {
  CVexloScrollBar bar;
  MakeBar(bar, true, 200);
  struct Part {
    int part, start, end;
  } parts[] = {{SB_LINEUP, 0, 16}, {SB_LINEDOWN, 184, 200}, {5, 97, 103}, {SB_PAGEUP, 16, 97}, {SB_PAGEDOWN, 103, 184}};
  for (const auto& p : parts) {
    SCOPED_TRACE(p.part);
    EXPECT_EQ(bar.PartSpan(p.part).start, p.start);
    EXPECT_EQ(bar.PartSpan(p.part).end, p.end);
  }
  struct Probe {
    int y, part;
  } probes[] = {{10, 0}, {50, 2}, {100, 5}, {150, 3}, {190, 1}, {-1, -1}};
  for (const auto& p : probes) EXPECT_EQ(bar.HitTest(CPoint(8, p.y)), p.part) << p.y;
  // Arrows copied unscaled (corner markers in the corners), the thumb from
  // column 2, the tracks tiled from column 3, all in the normal row.
  EXPECT_EQ(At(bar, 0, 0), ProbeSkin::Corner(0, 0, 0));
  EXPECT_EQ(At(bar, 15, 15), ProbeSkin::Corner(0, 0, 3));
  EXPECT_EQ(At(bar, 8, 8), ProbeSkin::Cell(0, 0));
  EXPECT_EQ(At(bar, 8, 192), ProbeSkin::Cell(0, 1));
  EXPECT_EQ(At(bar, 15, 199), ProbeSkin::Corner(0, 1, 3));
  EXPECT_EQ(At(bar, 8, 98), ProbeSkin::Cell(0, 2));
  EXPECT_EQ(At(bar, 0, 97), ProbeSkin::Corner(0, 2, 0));   // the thumb's top end
  EXPECT_EQ(At(bar, 0, 102), ProbeSkin::Corner(0, 2, 2));  // its bottom end
  EXPECT_EQ(At(bar, 8, 50), ProbeSkin::Cell(0, 3));
  EXPECT_EQ(At(bar, 8, 150), ProbeSkin::Cell(0, 3));
}

TEST_F(SkinScrollBarTest, NoRangeDrawsNoThumbButTheMiddleStillHitsAsThumb) {
  CVexloScrollBar bar;
  MakeBar(bar, true, 200, 9, 10, 0);  // range 9 - 0 - 10 + 1 = 0
  EXPECT_EQ(At(bar, 8, 100), ProbeSkin::Cell(0, 3));
  EXPECT_EQ(bar.HitTest(CPoint(8, 97)), 5);
  EXPECT_EQ(bar.HitTest(CPoint(8, 102)), 5);
  EXPECT_EQ(bar.HitTest(CPoint(8, 103)), SB_PAGEDOWN);
  // A press there starts a drag that cannot move.
  desk.MouseDown(bar.m_hWnd, 8, 100);
  desk.MoveMouse(bar.m_hWnd, 8, 180);
  desk.MouseUp(bar.m_hWnd, 8, 180);
  ASSERT_EQ(Scrolls().size(), 1u);
  EXPECT_EQ(Scrolls()[0].code, static_cast<UINT>(SB_THUMBPOSITION));
  EXPECT_EQ(Scrolls()[0].position, 0);
}

TEST_F(SkinScrollBarTest, ShortBarSqueezesBothArrows) {
  CVexloScrollBar bar;
  MakeBar(bar, true, 20);
  EXPECT_EQ(bar.PartSpan(SB_LINEUP).end, 10);
  EXPECT_EQ(bar.PartSpan(SB_LINEDOWN).start, 10);
  EXPECT_EQ(At(bar, 0, 0), ProbeSkin::Corner(0, 0, 0));
  EXPECT_EQ(At(bar, 15, 10), ProbeSkin::Corner(0, 1, 1));  // second arrow starts at 10
  // The first arrow's bottom corner marker moved up into its 10 pixels.
  bool found = false;
  for (int y = 5; y < 10; ++y) found = found || At(bar, 0, y) == ProbeSkin::Corner(0, 0, 2);
  EXPECT_TRUE(found);
}

TEST_F(SkinScrollBarTest, ScrollInfoMessagesKeepTheBarsOwnState) {
  CVexloScrollBar bar;
  MakeBar(bar, true, 200);
  SCROLLINFO si;
  si.fMask = SIF_POS | SIF_TRACKPOS;  // the track position is not taken
  si.nPos = 20;
  si.nMax = 5;
  si.nTrackPos = 7;
  EXPECT_EQ(bar.SendMessage(SBM_SETSCROLLINFO, FALSE, reinterpret_cast<LPARAM>(&si)), 1);
  SCROLLINFO got = Info(bar);
  EXPECT_EQ(got.nPos, 20);
  EXPECT_EQ(got.nMax, 99);
  EXPECT_EQ(got.nPage, 10u);
  EXPECT_EQ(got.nTrackPos, -1);
  EXPECT_EQ(bar.SendMessage(SBM_SETSCROLLINFO, TRUE, 0), 0);
  EXPECT_EQ(bar.SendMessage(SBM_GETSCROLLINFO, 0, 0), 0);
  // SetScrollPos reaches the skinned state and moves the thumb at once.
  ::SetScrollPos(bar.m_hWnd, SB_CTL, 30, TRUE);
  EXPECT_EQ(Info(bar).nPos, 30);
  EXPECT_EQ(bar.PartSpan(5).start, 16 + 162 * 30 / 90);
  EXPECT_EQ(At(bar, 8, 71), ProbeSkin::Cell(0, 2));
  EXPECT_EQ(At(bar, 8, 98), ProbeSkin::Cell(0, 3));
}

TEST_F(SkinScrollBarTest, BadRangesKeepTheThumbInsideTheTrack) {
  struct Case {
    const char* name;
    int min, max;
    UINT page;
    int pos;
  } cases[] = {{"max below min", 50, 10, 1, 20},
               {"page larger than the range", 0, 10, 500, 5},
               {"position past the end", 0, 99, 10, 5000},
               {"negative position", 0, 99, 10, -300}};
  CVexloScrollBar bar;
  MakeBar(bar, true, 200);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    si.nMin = c.min;
    si.nMax = c.max;
    si.nPage = c.page;
    si.nPos = c.pos;
    bar.SetScrollInfo(&si, TRUE);
    EXPECT_GE(bar.PartSpan(5).start, 16);
    EXPECT_LE(bar.PartSpan(5).end, 184);
    parent.heard.clear();
    desk.Advance(600);  // no double click
    desk.Click(bar.m_hWnd, 8, 190);  // codes are still sent
    EXPECT_EQ(parent.Count(WM_VSCROLL, SB_LINEDOWN), 1);
  }
}

TEST_F(SkinScrollBarTest, NotificationsCarryCodePositionAndBar) {
  CVexloScrollBar bar;
  MakeBar(bar, true, 200);
  struct Case {
    int y;
    UINT code;
  } cases[] = {{8, SB_LINEUP}, {192, SB_LINEDOWN}, {40, SB_PAGEUP}, {150, SB_PAGEDOWN}};
  for (const auto& c : cases) {
    parent.heard.clear();
    desk.Click(bar.m_hWnd, 8, c.y);
    ASSERT_EQ(Scrolls().size(), 1u) << c.y;
    EXPECT_EQ(Scrolls()[0].msg, static_cast<UINT>(WM_VSCROLL));
    EXPECT_EQ(Scrolls()[0].code, c.code);
    EXPECT_EQ(Scrolls()[0].position, 0);
    EXPECT_EQ(Scrolls()[0].from, bar.m_hWnd);
  }
}

TEST_F(SkinScrollBarTest, ArrowRepeatsAfter500msThenEvery100msUntilRelease) {
  parent.ownsScrollBars = true;  // clamps at max - page + 1 = 90
  CVexloScrollBar bar;
  MakeBar(bar, true, 200, 99, 10, 88);
  desk.MouseDown(bar.m_hWnd, 8, 190);
  EXPECT_EQ(parent.Count(WM_VSCROLL, SB_LINEDOWN), 1);
  desk.Advance(499);
  EXPECT_EQ(parent.Count(WM_VSCROLL, SB_LINEDOWN), 1);
  desk.Advance(1);
  EXPECT_EQ(parent.Count(WM_VSCROLL, SB_LINEDOWN), 2);
  desk.Advance(500);
  // The position stays at 90, never max: the codes keep coming.
  EXPECT_EQ(parent.Count(WM_VSCROLL, SB_LINEDOWN), 7);
  EXPECT_EQ(Info(bar).nPos, 90);
  desk.MouseUp(bar.m_hWnd, 8, 190);
  desk.Advance(1000);
  EXPECT_EQ(parent.Count(WM_VSCROLL, SB_LINEDOWN), 7);
}

TEST_F(SkinScrollBarTest, FirstArrowAtMinSendsOneCodeAndStops) {
  parent.ownsScrollBars = true;
  CVexloScrollBar bar;
  MakeBar(bar, true, 200, 99, 10, 0);
  desk.MouseDown(bar.m_hWnd, 8, 8);
  desk.Advance(1500);
  desk.MouseUp(bar.m_hWnd, 8, 8);
  EXPECT_EQ(parent.Count(WM_VSCROLL, SB_LINEUP), 1);
}

TEST_F(SkinScrollBarTest, TrackRepeatsUntilTheThumbReachesThePointer) {
  parent.ownsScrollBars = true;
  CVexloScrollBar bar;
  MakeBar(bar, true, 200);  // thumb at 97; each page moves it 18 pixels
  desk.MouseDown(bar.m_hWnd, 8, 153);
  desk.Advance(2000);
  desk.MouseUp(bar.m_hWnd, 8, 153);
  // 45 -> 55 (press), 65 (500 ms), 75 (600 ms): the thumb 151 … 157 is under the pointer.
  EXPECT_EQ(parent.Count(WM_VSCROLL, SB_PAGEDOWN), 3);
  EXPECT_EQ(Info(bar).nPos, 75);
}

TEST_F(SkinScrollBarTest, LeavingThePressedArrowPausesTheRepeat) {
  CVexloScrollBar bar;
  MakeBar(bar, true, 200, 99, 10, 0);
  desk.MouseDown(bar.m_hWnd, 8, 190);
  EXPECT_EQ(At(bar, 8, 192), ProbeSkin::Cell(2, 1));  // pressed look, drawn at once
  desk.Advance(600);
  EXPECT_EQ(parent.Count(WM_VSCROLL, SB_LINEDOWN), 3);
  desk.MoveMouse(bar.m_hWnd, 8, 100);
  EXPECT_EQ(At(bar, 8, 192), ProbeSkin::Cell(0, 1));
  desk.Advance(500);
  EXPECT_EQ(parent.Count(WM_VSCROLL, SB_LINEDOWN), 3);
  desk.MoveMouse(bar.m_hWnd, 8, 190);
  EXPECT_EQ(At(bar, 8, 192), ProbeSkin::Cell(2, 1));
  desk.Advance(100);
  EXPECT_EQ(parent.Count(WM_VSCROLL, SB_LINEDOWN), 4);
  desk.MouseUp(bar.m_hWnd, 8, 190);
  EXPECT_EQ(At(bar, 8, 192), ProbeSkin::Cell(0, 1));
}

TEST_F(SkinScrollBarTest, ThumbDragSendsTrackOnChangeAndPositionOnRelease) {
  parent.ownsScrollBars = true;
  CVexloScrollBar bar;
  MakeBar(bar, true, 200, 99, 10, 0);  // thumb at 16 … 22
  desk.MouseDown(bar.m_hWnd, 8, 18);
  EXPECT_TRUE(Scrolls().empty());
  EXPECT_EQ(Info(bar).nTrackPos, 0);
  desk.MoveMouse(bar.m_hWnd, 8, 19);  // 90 x 1 / 162 = 0: no change
  EXPECT_TRUE(Scrolls().empty());
  desk.MoveMouse(bar.m_hWnd, 8, 36);  // 90 x 18 / 162 = 10
  ASSERT_EQ(Scrolls().size(), 1u);
  EXPECT_EQ(Scrolls()[0].code, static_cast<UINT>(SB_THUMBTRACK));
  EXPECT_EQ(Scrolls()[0].position, 10);
  // The thumb moved (the owner's SetScrollPos with redraw shows it normal).
  EXPECT_EQ(At(bar, 8, 18 + 18), ProbeSkin::Cell(0, 2));
  EXPECT_EQ(At(bar, 8, 18), ProbeSkin::Cell(0, 3));       // its old place is track again
  desk.MoveMouse(bar.m_hWnd, 8, 37);
  EXPECT_EQ(Scrolls().size(), 1u);
  desk.MoveMouse(bar.m_hWnd, 8, 400);  // past the end: 90
  desk.MoveMouse(bar.m_hWnd, 8, 500);
  ASSERT_EQ(Scrolls().size(), 2u);
  EXPECT_EQ(Scrolls()[1].position, 90);
  desk.MouseUp(bar.m_hWnd, 8, 500);
  ASSERT_EQ(Scrolls().size(), 3u);
  EXPECT_EQ(Scrolls()[2].code, static_cast<UINT>(SB_THUMBPOSITION));
  EXPECT_EQ(Scrolls()[2].position, 90);
  SCROLLINFO si = Info(bar);
  EXPECT_EQ(si.nPos, 90);
  EXPECT_EQ(si.nTrackPos, -1);
}

TEST_F(SkinScrollBarTest, DoubleClickOnAnArrowIsOneStep) {
  CVexloScrollBar bar;
  MakeBar(bar, true, 200);
  desk.DoubleClick(bar.m_hWnd, 8, 190);
  desk.DoubleClick(bar.m_hWnd, 8, 8);
  EXPECT_EQ(parent.Count(WM_VSCROLL, SB_LINEDOWN), 1);
  EXPECT_EQ(parent.Count(WM_VSCROLL, SB_LINEUP), 1);
}

TEST_F(SkinScrollBarTest, HotAndPressedLooksAreDrawnDirectlyAndPaintRestoresNormal) {
  CVexloScrollBar bar;
  MakeBar(bar, true, 200);
  desk.MoveMouse(bar.m_hWnd, 8, 100);
  EXPECT_EQ(At(bar, 8, 98), ProbeSkin::Cell(1, 2));  // hot thumb, no paint needed
  desk.MoveMouse(bar.m_hWnd, 8, 8);
  EXPECT_EQ(At(bar, 8, 98), ProbeSkin::Cell(0, 2));
  EXPECT_EQ(At(bar, 8, 8), ProbeSkin::Cell(1, 0));
  desk.MoveMouse(bar.m_hWnd, 8, 50);  // tracks have no hot look
  EXPECT_EQ(At(bar, 8, 8), ProbeSkin::Cell(0, 0));
  EXPECT_EQ(At(bar, 8, 50), ProbeSkin::Cell(0, 3));
  desk.MoveMouse(bar.m_hWnd, 8, 100);
  desk.MoveMouse(parent.m_hWnd, 250, 250);  // leaving clears the hot part
  EXPECT_EQ(At(bar, 8, 98), ProbeSkin::Cell(0, 2));
  desk.MouseDown(bar.m_hWnd, 8, 8);
  EXPECT_EQ(At(bar, 8, 8), ProbeSkin::Cell(2, 0));
  bar.Invalidate(FALSE);
  desk.RunUntilIdle();
  EXPECT_EQ(At(bar, 8, 8), ProbeSkin::Cell(0, 0));
  desk.MouseUp(bar.m_hWnd, 8, 8);
}

TEST_F(SkinScrollBarTest, HorizontalBarUsesColumnsFourToSevenAndSendsHScroll) {
  CVexloScrollBar bar;
  MakeBar(bar, false, 200);
  EXPECT_EQ(At(bar, 8, 8), ProbeSkin::Cell(0, 4));
  EXPECT_EQ(At(bar, 192, 8), ProbeSkin::Cell(0, 5));
  EXPECT_EQ(At(bar, 98, 8), ProbeSkin::Cell(0, 6));
  EXPECT_EQ(At(bar, 50, 8), ProbeSkin::Cell(0, 7));
  EXPECT_EQ(At(bar, 97, 15), ProbeSkin::Corner(0, 6, 2));  // thumb's left end
  desk.Click(bar.m_hWnd, 192, 8);
  ASSERT_EQ(parent.Of(WM_HSCROLL).size(), 1u);
  EXPECT_EQ(parent.Of(WM_HSCROLL)[0].code, static_cast<UINT>(SB_LINEDOWN));
  EXPECT_TRUE(parent.Of(WM_VSCROLL).empty());
}

TEST_F(SkinScrollBarTest, WithoutAUsableSkinNothingIsPaintedAndTheBarStillWorks) {
  HBITMAP narrow = CreateBitmap(8, 3, 1, 32, nullptr);
  for (HBITMAP skinHandle : {static_cast<HBITMAP>(nullptr), narrow}) {
    CVexloScrollBar bar;
    ASSERT_TRUE(bar.Create(WS_CHILD | WS_VISIBLE | SBS_VERT, CRect(kX, kY, kX + 20, kY + 200), &parent, 9));
    bar.SetBitmap(skinHandle);
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    si.nMax = 99;
    si.nPage = 10;
    bar.SetScrollInfo(&si, TRUE);
    desk.RunUntilIdle();
    EXPECT_EQ(CountColor(desk, bar.m_hWnd, CRect(0, 0, 20, 200), parent.fill), 20 * 200);
    parent.heard.clear();
    desk.MoveMouse(bar.m_hWnd, 8, 100);
    desk.Click(bar.m_hWnd, 8, 150);
    EXPECT_EQ(parent.Count(WM_VSCROLL, SB_PAGEDOWN), 1);
    SCROLLINFO got;
    got.fMask = SIF_ALL;
    EXPECT_TRUE(bar.GetScrollInfo(&got));
    EXPECT_EQ(got.nMax, 99);
    bar.DestroyWindow();
  }
  DeleteObject(narrow);
}

}  // namespace

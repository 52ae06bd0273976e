// Scroll bars (the control and a window's bar), list boxes and combo boxes.
#include "platform/controls/tests/ctl_test_util.h"

namespace {

class CtlScrollListTest : public ::testing::Test {
 protected:
  TestDesktop desk;
  Parent parent;
  void SetUp() override { ASSERT_TRUE(parent.Make(500, 400)); }
  HWND Make(const WCHAR* cls, DWORD style, int x, int y, int w, int h, int id) {
    HWND c = CreateWindowExW(0, cls, u"", WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent.m_hWnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    desk.RunUntilIdle();
    return c;
  }
};

// A subclass of the bar sees the scroll-info calls as messages.
class WatchedBar : public CScrollBar {
 public:
  std::vector<UINT> seen;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == SBM_SETSCROLLINFO || msg == SBM_GETSCROLLINFO) seen.push_back(msg);
    return CScrollBar::WindowProc(msg, w, l);
  }
};

TEST_F(CtlScrollListTest, ScrollBarControlInfoAndMouse) {
  WatchedBar bar;
  ASSERT_TRUE(bar.Create(WS_CHILD | WS_VISIBLE | SBS_VERT, CRect(10, 10, 27, 210), &parent, 71));
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = 99;
  si.nPage = 10;
  si.nPos = 200;  // kept within nMax - nPage + 1
  SetScrollInfo(bar.m_hWnd, SB_CTL, &si, TRUE);
  EXPECT_EQ(GetScrollPos(bar.m_hWnd, SB_CTL), 90);
  EXPECT_EQ(SetScrollPos(bar.m_hWnd, SB_CTL, 0, TRUE), 90);
  ASSERT_GE(bar.seen.size(), 3u);
  EXPECT_EQ(bar.seen[0], SBM_SETSCROLLINFO);
  EXPECT_EQ(bar.seen[1], SBM_GETSCROLLINFO);
  desk.RunUntilIdle();

  desk.Click(bar.m_hWnd, 8, 195);  // the lower arrow
  auto notes = parent.Of(WM_VSCROLL);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].code, SB_LINEDOWN);
  EXPECT_EQ(notes[0].lParam, reinterpret_cast<LPARAM>(bar.m_hWnd));
  EXPECT_EQ(notes[1].code, SB_ENDSCROLL);
  EXPECT_EQ(GetScrollPos(bar.m_hWnd, SB_CTL), 0);  // the owner moves it, not the bar

  // Drag the thumb (at 17..33 for position 0; 166 track pixels, 16 of thumb).
  parent.notes.clear();
  desk.MouseDown(bar.m_hWnd, 8, 20);
  desk.MoveMouse(bar.m_hWnd, 8, 20 + 83);
  SCROLLINFO track;
  track.fMask = SIF_TRACKPOS;
  GetScrollInfo(bar.m_hWnd, SB_CTL, &track);
  desk.MouseUp(bar.m_hWnd, 8, 20 + 83);
  notes = parent.Of(WM_VSCROLL);
  ASSERT_GE(notes.size(), 3u);
  EXPECT_EQ(notes.front().code, SB_THUMBTRACK);
  EXPECT_EQ(notes[notes.size() - 2].code, SB_THUMBPOSITION);
  int pos = static_cast<short>(HIWORD(notes[notes.size() - 2].wParam));
  EXPECT_NEAR(pos, 83 * 90 / 150, 1);  // 83 of the 150 movable pixels of a 0..90 range
  EXPECT_EQ(track.nTrackPos, pos);
}

TEST_F(CtlScrollListTest, WindowScrollBarTellsTheWindow) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMax = 50;
  si.nPage = 10;
  SetScrollInfo(parent.m_hWnd, SB_VERT, &si, TRUE);
  HWND bar = GetWindowScrollBar(parent.m_hWnd, SB_VERT);
  ASSERT_TRUE(bar);
  EXPECT_TRUE(IsWindowVisible(bar));
  RECT r;
  GetWindowRect(bar, &r);
  EXPECT_EQ(r.right, 100 + 500);  // along the client's right edge
  desk.Click(bar, 8, 5);
  auto notes = parent.Of(WM_VSCROLL);
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes[0].code, SB_LINEUP);
  EXPECT_EQ(notes[0].lParam, 0);  // a window's bar: no bar handle
  // Nothing to scroll: hidden, unless SIF_DISABLENOSCROLL.
  si.fMask = SIF_RANGE;
  si.nMax = 5;
  SetScrollInfo(parent.m_hWnd, SB_VERT, &si, TRUE);
  EXPECT_FALSE(IsWindowVisible(bar));
  si.fMask = SIF_RANGE | SIF_DISABLENOSCROLL;
  SetScrollInfo(parent.m_hWnd, SB_VERT, &si, TRUE);
  EXPECT_TRUE(IsWindowVisible(bar));
}

TEST_F(CtlScrollListTest, ListBoxSortedAddExplicitInsertAndNotifications) {
  HWND lb = Make(WC_LISTBOX, LBS_NOTIFY | LBS_SORT | WS_BORDER | WS_VSCROLL, 10, 10, 150, 120, 72);
  SendMessageW(lb, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"c"));
  SendMessageW(lb, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"a"));
  SendMessageW(lb, LB_INSERTSTRING, 2, reinterpret_cast<LPARAM>(u"b"));  // the index holds
  SendMessageW(lb, LB_SETITEMDATA, 0, 77);
  CListBox list;
  ASSERT_TRUE(list.SubclassWindow(lb));
  EXPECT_EQ(list.GetText(0), u"a");
  EXPECT_EQ(list.GetText(1), u"c");
  EXPECT_EQ(list.GetText(2), u"b");
  EXPECT_EQ(list.GetItemData(0), 77u);
  int ih = static_cast<int>(SendMessageW(lb, LB_GETITEMHEIGHT, 0, 0));
  desk.Click(lb, 20, ih + ih / 2);
  EXPECT_EQ(SendMessageW(lb, LB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(parent.Commands(72, LBN_SELCHANGE), 1);
  desk.Key(VK_DOWN);
  EXPECT_EQ(SendMessageW(lb, LB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(parent.Commands(72, LBN_SELCHANGE), 2);
  desk.DoubleClick(lb, 20, ih / 2);
  EXPECT_EQ(parent.Commands(72, LBN_DBLCLK), 1);
  EXPECT_EQ(SendMessageW(lb, LB_GETCURSEL, 0, 0), 0);
  // The selected line is drawn in the highlight colour.
  EXPECT_GT(CountColor(desk.Snapshot(lb), GetSysColor(COLOR_HIGHLIGHT)), 50);
}

TEST_F(CtlScrollListTest, ComboDropDownListChoosesByMouseAndKeys) {
  HWND cb = Make(WC_COMBOBOX, CBS_DROPDOWNLIST | CBS_SORT | WS_TABSTOP, 10, 10, 150, 22, 73);
  for (const WCHAR* s : {u"深圳A股", u"上海A股", u"创业板"}) SendMessageW(cb, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
  SendMessageW(cb, CB_SETCURSEL, 0, 0);
  EXPECT_EQ(parent.Commands(73, CBN_SELCHANGE), 0);  // not for the program's own choice
  WString first = GetWindowTextString(cb);
  desk.Click(cb, 140, 10);
  ASSERT_TRUE(SendMessageW(cb, CB_GETDROPPEDSTATE, 0, 0));
  HWND drop = FindWindowW(u"ComboLBox", nullptr);
  ASSERT_TRUE(drop);
  int ih = static_cast<int>(SendMessageW(drop, LB_GETITEMHEIGHT, 0, 0));
  desk.Click(drop, 20, 2 * ih + ih / 2);
  EXPECT_FALSE(SendMessageW(cb, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(SendMessageW(cb, CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(parent.Commands(73, CBN_SELCHANGE), 1);
  CComboBox combo;
  ASSERT_TRUE(combo.SubclassWindow(cb));
  EXPECT_EQ(GetWindowTextString(cb), combo.GetLBText(2));
  EXPECT_NE(GetWindowTextString(cb), first);
  desk.Key(VK_UP);
  EXPECT_EQ(SendMessageW(cb, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(parent.Commands(73, CBN_SELCHANGE), 2);
  // Opened and dismissed by a click outside: nothing chosen.
  desk.Click(cb, 140, 10);
  desk.Click(parent.m_hWnd, 400, 300);
  EXPECT_FALSE(SendMessageW(cb, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(parent.Commands(73, CBN_SELCHANGE), 2);
}

}  // namespace

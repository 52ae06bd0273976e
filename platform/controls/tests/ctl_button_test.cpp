// Buttons and statics on the test desktop: what the parent is told and
// what the control shows.
#include "platform/controls/tests/ctl_test_util.h"

namespace {

class CtlButtonTest : public ::testing::Test {
 protected:
  TestDesktop desk;
  Parent parent;
  void SetUp() override { ASSERT_TRUE(parent.Make()); }
  HWND Make(const WCHAR* cls, const WCHAR* text, DWORD style, int x, int y, int w, int h, int id) {
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent.m_hWnd,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  }
};

TEST_F(CtlButtonTest, PushClickDragOutAndBackAndDisabled) {
  HWND b = Make(WC_BUTTON, u"确定", BS_PUSHBUTTON | WS_TABSTOP, 10, 10, 80, 26, 11);
  ASSERT_TRUE(b);
  desk.RunUntilIdle();
  QImage up = desk.Snapshot(b);

  desk.Click(b, 40, 12);
  EXPECT_EQ(parent.Commands(11, BN_CLICKED), 1);
  EXPECT_EQ(GetFocus(), b);

  // Pressed: captured and drawn pushed; out: popped up; back: pushed again.
  desk.MouseDown(b, 40, 12);
  EXPECT_EQ(GetCapture(), b);
  EXPECT_TRUE(SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
  QImage pushed = desk.Snapshot(b);
  EXPECT_NE(pushed, up);
  desk.MoveMouse(b, 200, 100);
  EXPECT_FALSE(SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
  desk.MoveMouse(b, 30, 10);
  EXPECT_TRUE(SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
  desk.MoveMouse(b, 200, 100);
  desk.MouseUp(b, 200, 100);  // released outside: no click
  EXPECT_EQ(parent.Commands(11, BN_CLICKED), 1);
  EXPECT_EQ(GetCapture(), nullptr);

  // Space down/up clicks the focused button.
  desk.Key(VK_SPACE);
  EXPECT_EQ(parent.Commands(11, BN_CLICKED), 2);

  EnableWindow(b, FALSE);
  desk.Click(b, 40, 12);
  EXPECT_EQ(parent.Commands(11, BN_CLICKED), 2);
}

TEST_F(CtlButtonTest, OwnerDrawProtocol) {
  HWND b = Make(WC_BUTTON, u"", BS_OWNERDRAW, 10, 10, 60, 24, 21);
  HFONT font = CreateFontW(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"宋体");
  SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  parent.onDraw = [](LPDRAWITEMSTRUCT dis) {
    HBRUSH br = CreateSolidBrush((dis->itemState & ODS_SELECTED) ? RGB(0, 0, 255) : RGB(0, 200, 0));
    FillRect(dis->hDC, &dis->rcItem, br);
    DeleteObject(br);
  };
  desk.RunUntilIdle();
  auto draws = parent.Of(WM_DRAWITEM);
  ASSERT_FALSE(draws.empty());
  EXPECT_EQ(draws.back().code, ODT_BUTTON);
  EXPECT_EQ(draws.back().font, font);
  EXPECT_EQ(PixelOf(desk.Snapshot(b), 30, 12), RGB(0, 200, 0));

  parent.notes.clear();
  desk.MouseDown(b, 30, 12);
  draws = parent.Of(WM_DRAWITEM);
  ASSERT_FALSE(draws.empty());
  EXPECT_TRUE(draws.back().itemState & ODS_SELECTED);
  EXPECT_TRUE(draws.back().itemState & ODS_FOCUS);
  EXPECT_EQ(PixelOf(desk.Snapshot(b), 30, 12), RGB(0, 0, 255));
  desk.MoveMouse(b, 300, 200);
  EXPECT_FALSE(parent.Of(WM_DRAWITEM).back().itemState & ODS_SELECTED);
  desk.MouseUp(b, 300, 200);
  EXPECT_EQ(parent.Commands(21, BN_CLICKED), 0);

  EnableWindow(b, FALSE);
  desk.RunUntilIdle();
  EXPECT_TRUE(parent.Of(WM_DRAWITEM).back().itemState & ODS_DISABLED);
  DeleteObject(font);
}

TEST_F(CtlButtonTest, RadioGroupsAndCheckBoxes) {
  HWND r1 = Make(WC_BUTTON, u"一", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 10, 10, 80, 20, 31);
  HWND r2 = Make(WC_BUTTON, u"二", BS_AUTORADIOBUTTON, 10, 30, 80, 20, 32);
  HWND r3 = Make(WC_BUTTON, u"三", BS_AUTORADIOBUTTON, 10, 50, 80, 20, 33);
  HWND other = Make(WC_BUTTON, u"另组", BS_AUTORADIOBUTTON | WS_GROUP, 10, 70, 80, 20, 34);
  HWND check = Make(WC_BUTTON, u"保存", BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, 10, 100, 80, 20, 35);
  desk.RunUntilIdle();
  SendMessageW(r1, BM_SETCHECK, BST_CHECKED, 0);
  SendMessageW(other, BM_SETCHECK, BST_CHECKED, 0);

  desk.Click(r2, 5, 10);
  EXPECT_EQ(SendMessageW(r1, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageW(r2, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(r3, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageW(other, BM_GETCHECK, 0, 0), BST_CHECKED);  // another group
  EXPECT_EQ(parent.Commands(32, BN_CLICKED), 1);
  SendMessageW(r2, BM_SETCHECK, BST_UNCHECKED, 0);
  EXPECT_EQ(SendMessageW(r2, BM_GETCHECK, 0, 0), BST_UNCHECKED);

  // A check box toggles per click; the indeterminate state draws checked.
  QImage unchecked = desk.Snapshot(check);
  desk.Click(check, 5, 10);
  EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(parent.Commands(35, BN_CLICKED), 1);
  SetFocus(parent.m_hWnd);
  desk.RunUntilIdle();
  QImage checked = desk.Snapshot(check);
  EXPECT_NE(checked, unchecked);
  SendMessageW(check, BM_SETCHECK, BST_INDETERMINATE, 0);
  desk.RunUntilIdle();
  EXPECT_EQ(desk.Snapshot(check), checked);
  desk.Click(check, 5, 10);
  EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(CtlButtonTest, StaticMouseTransparencyAndColours) {
  parent.fill = RGB(0, 0, 200);
  HWND plain = Make(WC_STATIC, u"标签", SS_LEFT, 10, 10, 100, 20, 41);
  HWND notify = Make(WC_STATIC, u"点我", SS_CENTER | SS_NOTIFY, 10, 40, 100, 20, 42);
  desk.RunUntilIdle();
  desk.DoubleClick(plain, 50, 10);
  EXPECT_FALSE(parent.Of(WM_LBUTTONDOWN).empty());   // went through to the parent
  EXPECT_FALSE(parent.Of(WM_LBUTTONDBLCLK).empty());
  desk.Click(notify, 50, 10);
  EXPECT_EQ(parent.Commands(42, STN_CLICKED), 1);

  // A null brush from WM_CTLCOLORSTATIC leaves the parent's picture.
  parent.colorBrush = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  parent.colorText = RGB(0x8C, 0x8C, 0x8C);
  InvalidateRect(parent.m_hWnd, nullptr, TRUE);
  desk.RunUntilIdle();
  QImage img = desk.Snapshot(plain);
  EXPECT_EQ(PixelOf(img, 95, 18), RGB(0, 0, 200));
  int area = img.width() * img.height();
  EXPECT_GT(area - CountColor(img, RGB(0, 0, 200)), 10);  // the text
  EXPECT_GT(CountColor(img, RGB(0, 0, 200)), area / 2);   // around it, the parent
  EXPECT_NE(std::find(parent.colorAsks.begin(), parent.colorAsks.end(), WM_CTLCOLORSTATIC), parent.colorAsks.end());

  // Centred text wraps onto a second line.
  HWND wrap = Make(WC_STATIC, u"与服务器连接断开，是否重新连接？", SS_CENTER, 10, 70, 90, 60, 43);
  desk.RunUntilIdle();
  QImage w = desk.Snapshot(wrap);
  EXPECT_GT(20 * 90 - CountColor(w, RGB(0, 0, 200), QRect(0, 20, 90, 20)), 10);
}

TEST_F(CtlButtonTest, ProgressAndUpDownDefaultRangeIsInverted) {
  HWND spin = Make(UPDOWN_CLASS, u"", 0, 10, 10, 16, 30, 51);
  desk.RunUntilIdle();
  desk.Click(spin, 8, 5);    // upper arrow
  desk.Click(spin, 8, 25);   // lower arrow
  auto n = parent.Of(WM_NOTIFY);
  ASSERT_EQ(n.size(), 2u);
  EXPECT_EQ(n[0].code, UDN_DELTAPOS);
  EXPECT_EQ(n[0].delta, -1);
  EXPECT_EQ(n[1].delta, 1);

  HWND bar = Make(PROGRESS_CLASS, u"", 0, 10, 60, 202, 16, 52);
  SendMessageW(bar, PBM_SETRANGE32, 0, 100);
  SendMessageW(bar, PBM_SETPOS, 50, 0);
  desk.RunUntilIdle();
  QImage img = desk.Snapshot(bar);
  COLORREF hl = GetSysColor(COLOR_HIGHLIGHT);
  EXPECT_EQ(PixelOf(img, 20, 8), hl);
  EXPECT_NE(PixelOf(img, 180, 8), hl);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 50);
}

// A three-state box cycles unchecked, checked, indeterminate and draws the
// last as a grey mark; disabled labels are embossed (highlight under shadow).
TEST_F(CtlButtonTest, ThreeStateBoxAndEmbossedDisabledText) {
  HWND box = Make(WC_BUTTON, u"含停牌", BS_AUTO3STATE, 10, 10, 120, 20, 51);
  desk.RunUntilIdle();
  QImage unchecked = desk.Snapshot(box);
  desk.Click(box, 5, 10);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  SetFocus(parent.m_hWnd);
  desk.RunUntilIdle();
  QImage checked = desk.Snapshot(box);
  desk.Click(box, 5, 10);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_INDETERMINATE);
  SetFocus(parent.m_hWnd);
  desk.RunUntilIdle();
  QImage mixed = desk.Snapshot(box);
  EXPECT_NE(mixed, checked);
  EXPECT_NE(mixed, unchecked);
  QRect glyph(0, 0, 13, 20);
  EXPECT_GT(CountColor(checked, GetSysColor(COLOR_WINDOWTEXT), glyph), 10);
  EXPECT_EQ(CountColor(mixed, GetSysColor(COLOR_WINDOWTEXT), glyph), 0);
  EXPECT_GT(CountColor(mixed, GetSysColor(COLOR_BTNSHADOW), glyph), 10);

  HWND off = Make(WC_BUTTON, u"撤单", BS_PUSHBUTTON | WS_DISABLED, 10, 40, 80, 26, 52);
  HWND label = Make(WC_STATIC, u"不可用", SS_LEFT | WS_DISABLED, 10, 80, 100, 20, 53);
  desk.RunUntilIdle();
  for (HWND h : {off, label}) {
    QImage img = desk.Snapshot(h);
    RECT rc;
    GetClientRect(h, &rc);
    QRect inner(3, 3, rc.right - 6, rc.bottom - 6);  // inside the button's edges
    // Text is smoothed: count pixels lighter than the face (the highlight
    // showing below and right of the strokes) and darker ones.
    int light = 0, dark = 0;
    for (int y = inner.top(); y <= inner.bottom(); ++y)
      for (int x = inner.left(); x <= inner.right(); ++x) {
        int g = qGreen(img.pixel(x, y));
        light += g > 245;
        dark += g < 200;
      }
    EXPECT_GT(light, 3);
    EXPECT_GT(dark, 3);
    EXPECT_EQ(CountColor(img, GetSysColor(COLOR_GRAYTEXT)), 0);
  }
}

}  // namespace

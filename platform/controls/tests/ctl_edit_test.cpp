// The edit control: typing, selection, clipboard, undo, input-method
// commits, password masking, limits, colours and the multi-line scroll bar.
#include "platform/controls/tests/ctl_test_util.h"

namespace {

class CtlEditTest : public ::testing::Test {
 protected:
  TestDesktop desk;
  Parent parent;
  void SetUp() override { ASSERT_TRUE(parent.Make()); }
  HWND Make(DWORD style, int x, int y, int w, int h, int id, const WCHAR* text = u"") {
    HWND e = CreateWindowExW(0, WC_EDIT, text, WS_CHILD | WS_VISIBLE | WS_BORDER | style, x, y, w, h, parent.m_hWnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    desk.RunUntilIdle();
    return e;
  }
  static WString Sel(HWND e) {
    DWORD a = 0, b = 0;
    SendMessageW(e, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    return GetWindowTextString(e).substr(a, b - a);
  }
};

TEST_F(CtlEditTest, TypingSelectionClipboardAndUndo) {
  HWND e = Make(ES_AUTOHSCROLL, 10, 10, 200, 24, 61);
  desk.Click(e, 5, 5);
  ASSERT_EQ(GetFocus(), e);
  desk.Type(u"abc");
  EXPECT_EQ(GetWindowTextString(e), u"abc");
  EXPECT_EQ(parent.Commands(61, EN_CHANGE), 3);

  desk.Key(VK_LEFT, true);
  desk.Key(VK_LEFT, true);
  EXPECT_EQ(Sel(e), u"bc");
  desk.Key('C', false, true);
  EXPECT_EQ(GetClipboardText(), u"bc");
  desk.Key(VK_END);
  desk.Key('V', false, true);
  EXPECT_EQ(GetWindowTextString(e), u"abcbc");
  desk.Key('Z', false, true);
  EXPECT_EQ(GetWindowTextString(e), u"abc");

  // Select by dragging from the start to past the end, then cut.
  desk.MouseDown(e, 1, 5);
  desk.MoveMouse(e, 150, 5);
  desk.MouseUp(e, 150, 5);
  EXPECT_EQ(Sel(e), u"abc");
  desk.Key('X', false, true);
  EXPECT_EQ(GetWindowTextString(e), u"");
  EXPECT_EQ(GetClipboardText(), u"abc");

  // Chinese text arrives from the input method as committed characters.
  desk.Type(u"中文");
  EXPECT_EQ(GetWindowTextString(e), u"中文");
  desk.Key(VK_BACK);
  EXPECT_EQ(GetWindowTextString(e), u"中");

  // WM_SETTEXT replaces the text and tells the parent.
  int changes = parent.Commands(61, EN_CHANGE);
  SetWindowTextW(e, u"600000");
  EXPECT_EQ(GetWindowTextString(e), u"600000");
  EXPECT_EQ(parent.Commands(61, EN_CHANGE), changes + 1);
}

TEST_F(CtlEditTest, PasswordNumberLimitAndReadOnly) {
  HWND pw = Make(ES_PASSWORD, 10, 10, 120, 24, 62);
  HWND stars = Make(0, 10, 40, 120, 24, 63, u"**");
  desk.Click(pw, 5, 5);
  desk.Type(u"ab");
  EXPECT_EQ(GetWindowTextString(pw), u"ab");
  SetFocus(parent.m_hWnd);
  desk.RunUntilIdle();
  EXPECT_EQ(desk.Snapshot(pw), desk.Snapshot(stars));  // shown masked
  // Copying never lets a password out.
  SetClipboardText(u"x");
  SendMessageW(pw, EM_SETSEL, 0, -1);
  SendMessageW(pw, WM_COPY, 0, 0);
  EXPECT_EQ(GetClipboardText(), u"x");
  // Masking switched on the fly on a plain edit.
  HWND plain = Make(0, 10, 70, 120, 24, 64, u"ab");
  SendMessageW(plain, EM_SETPASSWORDCHAR, u'*', 0);
  desk.RunUntilIdle();
  EXPECT_EQ(desk.Snapshot(plain), desk.Snapshot(stars));

  HWND num = Make(ES_NUMBER, 10, 100, 120, 24, 65);
  SendMessageW(num, EM_LIMITTEXT, 6, 0);
  desk.Click(num, 5, 5);
  desk.Type(u"12a345678");
  EXPECT_EQ(GetWindowTextString(num), u"123456");
  EXPECT_GE(parent.Commands(65, EN_MAXTEXT), 1);

  HWND ro = Make(ES_READONLY, 10, 130, 120, 24, 66, u"市价委托");
  desk.Click(ro, 5, 5);
  desk.Type(u"1");
  EXPECT_EQ(GetWindowTextString(ro), u"市价委托");
}

TEST_F(CtlEditTest, ColoursComeFromTheParent) {
  HWND e = Make(0, 10, 10, 120, 24, 67, u"x");
  HWND ro = Make(ES_READONLY, 10, 40, 120, 24, 68, u"y");
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  parent.colorBrush = red;
  parent.colorAsks.clear();
  InvalidateRect(e, nullptr, TRUE);
  InvalidateRect(ro, nullptr, TRUE);
  desk.RunUntilIdle();
  EXPECT_EQ(PixelOf(desk.Snapshot(e), 100, 12), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(desk.Snapshot(ro), 100, 12), RGB(255, 0, 0));
  EXPECT_NE(std::find(parent.colorAsks.begin(), parent.colorAsks.end(), WM_CTLCOLOREDIT), parent.colorAsks.end());
  EXPECT_NE(std::find(parent.colorAsks.begin(), parent.colorAsks.end(), WM_CTLCOLORSTATIC), parent.colorAsks.end());
  parent.colorBrush = nullptr;
  DeleteObject(red);
}

TEST_F(CtlEditTest, MultiLineWithVerticalScrollBar) {
  HWND e = Make(ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL, 10, 10, 200, 60, 69);
  desk.Click(e, 5, 5);
  for (int i = 0; i < 8; ++i) {
    desk.Type(u"line");
    desk.Key(VK_RETURN);
  }
  EXPECT_EQ(SendMessageW(e, EM_GETLINECOUNT, 0, 0), 9);
  EXPECT_GT(SendMessageW(e, EM_GETFIRSTVISIBLELINE, 0, 0), 0);  // followed the caret
  HWND bar = GetWindowScrollBar(e, SB_VERT);
  ASSERT_TRUE(bar);
  EXPECT_TRUE(IsWindowVisible(bar));
  EXPECT_EQ(GetScrollPos(e, SB_VERT), SendMessageW(e, EM_GETFIRSTVISIBLELINE, 0, 0));
  // The bar's upper arrow scrolls the text back.
  int first = static_cast<int>(SendMessageW(e, EM_GETFIRSTVISIBLELINE, 0, 0));
  desk.Click(bar, 5, 5);
  EXPECT_EQ(SendMessageW(e, EM_GETFIRSTVISIBLELINE, 0, 0), first - 1);
  // Up moves the caret a line (same column); Shift+Home selects to the line's start.
  desk.Key(VK_UP);
  EXPECT_EQ(SendMessageW(e, EM_LINEFROMCHAR, static_cast<WPARAM>(-1), 0), 7);
  desk.Key(VK_END);
  desk.Type(u"x");
  desk.Key(VK_HOME, true);
  EXPECT_EQ(Sel(e), u"linex");
}

}  // namespace

// The skinned edit, check box, radio button and static: the platform's
// behaviour kept underneath, the skinned drawing on top.
#include "controls/skinned_basics.h"
#include "controls/tests/skin_controls_test_util.h"
#include "foundation/draw_helpers.h"

#include <gtest/gtest.h>

namespace {

using namespace orvtest;
using namespace skinctl;

constexpr COLORREF kF10Text = 0x67CED1;

// Bounding box of the pixels of rc that differ from a colour (empty when none).
CRect Ink(const TestDesktop& desk, HWND hwnd, const RECT& rc, COLORREF background) {
  QImage image = desk.Snapshot(hwnd);
  CRect box(INT_MAX, INT_MAX, INT_MIN, INT_MIN);
  for (int y = rc.top; y < rc.bottom && y < image.height(); ++y)
    for (int x = rc.left; x < rc.right && x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      if (RGB(qRed(p), qGreen(p), qBlue(p)) == background) continue;
      box.left = std::min(box.left, static_cast<LONG>(x));
      box.top = std::min(box.top, static_cast<LONG>(y));
      box.right = std::max(box.right, static_cast<LONG>(x + 1));
      box.bottom = std::max(box.bottom, static_cast<LONG>(y + 1));
    }
  return box.left == INT_MAX ? CRect() : box;
}

QImage Region(const TestDesktop& desk, HWND hwnd, const QRect& r) { return desk.Snapshot(hwnd).copy(r); }

class SkinnedEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseProgramFonts();
    ASSERT_TRUE(parent.Make(400, 300));
  }
  void TearDown() override { parent.DestroyWindow(); }
  void MakeEdit(CVexloEdit& edit, DWORD style, const CRect& rc, UINT id = 100) {
    ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE | style, rc, &parent, id));
    edit.SetBkColor(RGB(0, 0, 0));
    edit.SetTextColor(kF10Text);
    LOGFONTW lf{};
    lf.lfHeight = ScaleFontHeight(12);
    lf.lfQuality = 5;
    std::u16string face = u"宋体";
    face.copy(lf.lfFaceName, face.size());
    edit.SetLogFont(&lf);
  }
  TestDesktop desk;
  RecordingParent parent;
};

TEST_F(SkinnedEditTest, ColoursComeFromTheReflectedQueryInEveryState) {
  struct Case {
    const char* name;
    DWORD style;
    bool disabled;
  } cases[] = {{"normal", 0, false}, {"read-only", ES_READONLY, false}, {"disabled", 0, true}};
  int y = 10;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CVexloEdit edit;
    MakeEdit(edit, c.style, CRect(10, y, 210, y + 30));
    edit.SetWindowText(u"600000 浦发银行");
    if (c.disabled) edit.EnableWindow(FALSE);
    desk.RunUntilIdle();
    const CRect inside(0, 0, 200, 30);
    EXPECT_EQ(Pixel(desk, edit.m_hWnd, 190, 25), RGB(0, 0, 0));  // glyph-free area
    // Glyph strokes in the text colour; a disabled edit's text is the
    // platform's grey over the edit's own background.
    if (!c.disabled) {
      EXPECT_GT(CountNear(desk, edit.m_hWnd, inside, kF10Text, 40), 20);
    } else {
      EXPECT_FALSE(Ink(desk, edit.m_hWnd, inside, RGB(0, 0, 0)).IsRectEmpty());
    }
    EXPECT_GT(CountColor(desk, edit.m_hWnd, inside, RGB(0, 0, 0)), 200 * 30 / 2);
    desk.SavePng(edit.m_hWnd, SnapshotPath(std::string("edit_") + c.name));
    edit.DestroyWindow();
    y += 40;
  }
}

TEST_F(SkinnedEditTest, SetBkColorTwiceLeavesOneBrushAndSetLogFontMakesTextTaller) {
  const int brushes = GdiObjectCountForTesting(OBJ_BRUSH);
  {
    CVexloEdit edit;
    EXPECT_EQ(GdiObjectCountForTesting(OBJ_BRUSH), brushes + 1);
    MakeEdit(edit, 0, CRect(10, 10, 310, 70));
    edit.SetBkColor(RGB(0, 0, 128));
    edit.SetBkColor(RGB(0, 64, 0));
    EXPECT_EQ(GdiObjectCountForTesting(OBJ_BRUSH), brushes + 1);
    edit.SetWindowText(u"MW成交");
    desk.RunUntilIdle();
    EXPECT_EQ(Pixel(desk, edit.m_hWnd, 290, 50), RGB(0, 64, 0));
    const CRect small = Ink(desk, edit.m_hWnd, CRect(0, 0, 300, 60), RGB(0, 64, 0));
    LOGFONTW lf{};
    lf.lfHeight = -32;
    std::u16string face = u"宋体";
    face.copy(lf.lfFaceName, face.size());
    edit.SetLogFont(&lf);
    edit.SetFocus();
    desk.RunUntilIdle();
    const CRect large = Ink(desk, edit.m_hWnd, CRect(0, 0, 300, 60), RGB(0, 64, 0));
    EXPECT_GT(large.Height(), small.Height() + 10);
  }
  EXPECT_EQ(GdiObjectCountForTesting(OBJ_BRUSH), brushes);
}

TEST_F(SkinnedEditTest, KeysArePostedToTheParentAndTheEditStillEdits) {
  CVexloEdit edit;
  MakeEdit(edit, ES_AUTOHSCROLL, CRect(10, 10, 310, 40), 101);
  edit.SetFocus();
  parent.heard.clear();
  desk.Type(u"A");
  std::vector<Heard> keys;
  for (const auto& h : parent.Of(WM_KEYDOWN))
    if (h.wParam == 0x41) keys.push_back(h);
  ASSERT_EQ(keys.size(), 1u);  // (Shift comes as its own key)
  EXPECT_EQ(keys[0].lParam, 0);
  EXPECT_EQ(edit.GetWindowText(), u"A");
  EXPECT_GE(parent.Count(WM_COMMAND, EN_CHANGE), 1);

  desk.Type(u"浦发");  // committed by the input method
  EXPECT_EQ(edit.GetWindowText(), u"A浦发");
  desk.Key('A', false, true);  // select all, copy, paste at the end
  desk.Key('C', false, true);
  desk.Key(VK_END);
  desk.Key('V', false, true);
  EXPECT_EQ(edit.GetWindowText(), u"A浦发A浦发");
  desk.Key('Z', false, true);
  EXPECT_EQ(edit.GetWindowText(), u"A浦发");
  EXPECT_GE(parent.Of(WM_KEYDOWN).size(), 6u);  // Ctrl combinations reach the parent as well
}

TEST_F(SkinnedEditTest, UnknownFaceFallsBackAndTheEditKeepsWorking) {
  CVexloEdit edit;
  MakeEdit(edit, 0, CRect(10, 10, 310, 40));
  LOGFONTW lf{};
  lf.lfHeight = -14;
  std::u16string face = u"No Such Face 42";
  face.copy(lf.lfFaceName, face.size());
  edit.SetLogFont(&lf);
  edit.SetLogFont(nullptr);
  edit.SetFocus();
  desk.Type(u"12");
  EXPECT_EQ(edit.GetWindowText(), u"12");
  EXPECT_GT(CountNear(desk, edit.m_hWnd, CRect(0, 0, 300, 30), kF10Text, 40), 5);
}

TEST_F(SkinnedEditTest, F10EditScrollsWithItsPlatformScrollBar) {
  CVexloEdit edit;
  MakeEdit(edit, 0x50211844 & ~(WS_CHILD | WS_VISIBLE), CRect(10, 10, 390, 110));
  ASSERT_EQ(edit.GetStyle() & 0xFFFF0000u, 0x50210000u);
  WString text;
  for (int i = 0; i < 40; ++i) text += u"第" + WString(1, static_cast<WCHAR>(u'0' + i % 10)) + u"行 公司概况\r\n";
  edit.SetWindowText(text);
  desk.RunUntilIdle();
  HWND bar = GetWindowScrollBar(edit.m_hWnd, SB_VERT);
  ASSERT_NE(bar, nullptr);
  ASSERT_TRUE(IsWindowVisible(bar));
  EXPECT_EQ(edit.GetFirstVisibleLine(), 0);
  CRect rc;
  ::GetClientRect(bar, &rc);
  desk.Click(bar, rc.Width() / 2, rc.bottom - 3);
  desk.Advance(600);
  desk.Click(bar, rc.Width() / 2, rc.bottom - 3);
  EXPECT_EQ(edit.GetFirstVisibleLine(), 2);
  desk.SavePng(parent.m_hWnd, SnapshotPath("f10_edit"));
}

class SkinnedButtonsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseProgramFonts();
    parent.fill = RGB(200, 210, 220);
    ASSERT_TRUE(parent.Make(400, 300));
  }
  void TearDown() override { parent.DestroyWindow(); }
  TestDesktop desk;
  RecordingParent parent;
};

TEST_F(SkinnedButtonsTest, CheckBoxGlyphFollowsEveryNonZeroStateAndClicksToggle) {
  CVexloCheckBox box;
  ASSERT_TRUE(box.Create(u"记住账号", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, CRect(10, 10, 110, 30), &parent, 5119));
  QImage glyphs[3];
  for (int state = 0; state < 3; ++state) {
    box.SetCheck(state);
    box.Invalidate();
    desk.RunUntilIdle();
    glyphs[state] = Region(desk, box.m_hWnd, QRect(0, 0, 15, 20));
  }
  EXPECT_NE(glyphs[0], glyphs[1]);
  EXPECT_EQ(glyphs[1], glyphs[2]);  // indeterminate draws checked
  box.SetCheck(BST_UNCHECKED);
  desk.Click(box.m_hWnd, 30, 10);
  EXPECT_EQ(box.GetCheck(), BST_CHECKED);
  EXPECT_EQ(parent.Count(WM_COMMAND, BN_CLICKED), 1);
  desk.RunUntilIdle();
  EXPECT_EQ(Region(desk, box.m_hWnd, QRect(0, 0, 15, 20)), glyphs[1]);
}

TEST_F(SkinnedButtonsTest, CheckBoxCaptionStarts20PixelsInAndIsCutWithoutEllipsis) {
  CVexloCheckBox box, narrow;
  ASSERT_TRUE(box.Create(u"记住密码", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, CRect(10, 10, 140, 30), &parent, 1));
  ASSERT_TRUE(narrow.Create(u"MMMMMMMMMMMMMMMMMMMM", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, CRect(10, 40, 90, 60),
                            &parent, 2));
  desk.RunUntilIdle();
  // The parent's colour shows between glyph and caption (the erase draws nothing).
  EXPECT_EQ(CountColor(desk, box.m_hWnd, CRect(15, 0, 20, 20), parent.fill), 5 * 20);
  const CRect caption = Ink(desk, box.m_hWnd, CRect(15, 0, 130, 20), parent.fill);
  EXPECT_GE(caption.left, 20);
  EXPECT_LE(caption.left, 22);
  EXPECT_EQ(Pixel(desk, box.m_hWnd, 125, 2), parent.fill);
  // The last columns of the cut caption hold full letter strokes, not dots.
  const CRect tail = Ink(desk, narrow.m_hWnd, CRect(74, 0, 80, 20), parent.fill);
  EXPECT_GE(tail.Height(), 6);
}

TEST_F(SkinnedButtonsTest, RadioChecksOnlyForStateOneGroupsAndDrawsNothingElse) {
  CVexloRadio radios[3];
  const WCHAR* captions[3] = {u"限价", u"市价", u"对手价"};
  for (int i = 0; i < 3; ++i) {
    DWORD group = i == 0 ? WS_GROUP | WS_TABSTOP : 0;
    ASSERT_TRUE(radios[i].Create(captions[i], WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON | group,
                                 CRect(10, 10 + 30 * i, 160, 34 + 30 * i), &parent, 200 + i));
  }
  QImage glyphs[3];
  for (int state = 0; state < 3; ++state) {
    radios[0].SetCheck(state);
    radios[0].Invalidate();
    desk.RunUntilIdle();
    glyphs[state] = Region(desk, radios[0].m_hWnd, QRect(0, 0, 15, 24));
  }
  EXPECT_NE(glyphs[0], glyphs[1]);
  EXPECT_EQ(glyphs[0], glyphs[2]);  // indeterminate draws unchecked
  radios[0].SetCheck(BST_CHECKED);
  desk.Click(radios[1].m_hWnd, 30, 12);
  EXPECT_EQ(radios[0].GetCheck(), BST_UNCHECKED);
  EXPECT_EQ(radios[1].GetCheck(), BST_CHECKED);
  desk.Click(radios[2].m_hWnd, 30, 12);
  EXPECT_EQ(radios[1].GetCheck(), BST_UNCHECKED);
  EXPECT_EQ(radios[2].GetCheck(), BST_CHECKED);
  desk.RunUntilIdle();
  EXPECT_EQ(CountColor(desk, radios[1].m_hWnd, CRect(15, 0, 20, 24), parent.fill), 5 * 24);
  EXPECT_EQ(CountColor(desk, radios[1].m_hWnd, CRect(100, 0, 150, 24), parent.fill), 50 * 24);
  EXPECT_FALSE(Ink(desk, radios[1].m_hWnd, CRect(20, 0, 100, 24), parent.fill).IsRectEmpty());
}

TEST_F(SkinnedButtonsTest, StaticDrawsOnlyItsCaptionInItsFont) {
  CVexloStatic label, large;
  ASSERT_TRUE(label.Create(u"委托数量", WS_CHILD | WS_VISIBLE | SS_LEFT, CRect(10, 10, 200, 40), &parent));
  ASSERT_TRUE(large.Create(u"委托数量", WS_CHILD | WS_VISIBLE | SS_LEFT, CRect(10, 50, 200, 100), &parent));
  HFONT big = CreateUiFont(GetUiFontFace(), 30);
  large.SetTextFont(big);
  large.Invalidate();
  desk.RunUntilIdle();
  const CRect small = Ink(desk, label.m_hWnd, CRect(0, 0, 190, 30), parent.fill);
  const CRect tall = Ink(desk, large.m_hWnd, CRect(0, 0, 190, 50), parent.fill);
  EXPECT_EQ(small.left, 0);
  EXPECT_GT(tall.Height(), small.Height() + 8);
  EXPECT_NEAR((small.top + small.bottom) / 2, 15, 3);  // vertically centred
  EXPECT_EQ(CountColor(desk, label.m_hWnd, CRect(120, 0, 190, 30), parent.fill), 70 * 30);
  label.DestroyWindow();
  large.DestroyWindow();
  DeleteObject(big);
}

}  // namespace

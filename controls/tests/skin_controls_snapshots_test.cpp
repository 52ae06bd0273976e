// Pictures of the skinned controls as their owners use them, with the
// generated skins, written under the build folder to be looked at. Each
// also checks the few pixels that prove the picture is what it claims.
#include "controls/pop_list.h"
#include "controls/skin_scroll_bar.h"
#include "controls/skinned_basics.h"
#include "controls/tests/skin_controls_test_util.h"
#include "controls/virtual_list_box.h"
#include "foundation/draw_helpers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace orvtest;
using namespace skinctl;

constexpr COLORREF kDarkPanel = RGB(20, 24, 32);

// The login dialog's lower strip: its picture stretched over the window.
class LoginStrip : public CWnd {
 public:
  CImage picture;

 protected:
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    picture.Draw(dc, rc);
  }
};

class SkinControlsSnapshotsTest : public ::testing::Test {
 protected:
  void SetUp() override { UseProgramFonts(); }
  TestDesktop desk;
  ScopedResourceFolder resources{BuildProgramFolder() + "res/"};
};

TEST_F(SkinControlsSnapshotsTest, LoginFormControlsOnTheLoginStrip) {
  LoginStrip strip;
  ASSERT_EQ(strip.picture.Load(BuildProgramFolder() + "login_res/login.png"), S_OK);
  ASSERT_TRUE(strip.CreateEx(0, nullptr, u"login", WS_POPUP | WS_VISIBLE, CRect(40, 40, 40 + 420, 40 + 150), nullptr, 0));
  CVexloStatic accountLabel, passwordLabel;
  HFONT labelFont = CreateUiFont(GetUiFontFace(), 12);
  accountLabel.Create(u"交易账号", WS_CHILD | WS_VISIBLE | SS_LEFT, CRect(20, 16, 90, 40), &strip);
  passwordLabel.Create(u"交易密码", WS_CHILD | WS_VISIBLE | SS_LEFT, CRect(20, 50, 90, 74), &strip);
  accountLabel.SetTextFont(labelFont);
  passwordLabel.SetTextFont(labelFont);
  CVexloEdit account, password;
  account.Create(WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, CRect(96, 16, 300, 40), &strip, 1);
  password.Create(WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL | ES_PASSWORD, CRect(96, 50, 300, 74), &strip, 2);
  LOGFONTW lf{};
  lf.lfHeight = ScaleFontHeight(12);
  lf.lfQuality = 5;
  std::u16string face = GetUiFontFace();
  face.copy(lf.lfFaceName, std::min<size_t>(face.size(), LF_FACESIZE - 1));
  for (CVexloEdit* e : {&account, &password}) {
    e->SetBkColor(RGB(255, 255, 255));
    e->SetTextColor(RGB(20, 40, 80));
    e->SetLogFont(&lf);
  }
  account.SetWindowText(u"880012345678");
  password.SetWindowText(u"secret");
  CVexloCheckBox rememberId, rememberPassword;
  rememberId.Create(u"记住账号", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, CRect(96, 84, 186, 104), &strip, 5119);
  rememberPassword.Create(u"记住密码", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, CRect(196, 84, 286, 104), &strip, 5120);
  rememberId.SetCheck(BST_CHECKED);
  CVexloRadio radios[3];
  const WCHAR* captions[3] = {u"限价委托", u"市价委托", u"对手价"};
  for (int i = 0; i < 3; ++i)
    radios[i].Create(captions[i], WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0),
                     CRect(20 + 110 * i, 116, 120 + 110 * i, 140), &strip, 300 + i);
  radios[1].SetCheck(BST_CHECKED);
  desk.RunUntilIdle();
  EXPECT_TRUE(desk.SavePng(strip.m_hWnd, SnapshotPath("login_form")));
  // The strip's picture shows between the glyph and the caption.
  EXPECT_EQ(Pixel(desk, rememberId.m_hWnd, 17, 2), Pixel(desk, strip.m_hWnd, 96 + 17, 84 + 2));
  EXPECT_NE(Pixel(desk, rememberId.m_hWnd, 17, 2), GetSysColor(COLOR_BTNFACE));
  strip.DestroyWindow();
  DeleteObject(labelFont);
}

TEST_F(SkinControlsSnapshotsTest, ScrollBarsWithTheGeneratedSkins) {
  RecordingParent parent;
  parent.fill = kDarkPanel;
  ASSERT_TRUE(parent.Make(260, 240));
  CBitmap skin147, skin154;
  ASSERT_TRUE(skin147.LoadBitmap(147));
  ASSERT_TRUE(skin154.LoadBitmap(154));
  BITMAP bm;
  skin147.GetBitmap(&bm);
  EXPECT_EQ(bm.bmWidth, 144);
  EXPECT_EQ(bm.bmHeight, 48);
  CVexloScrollBar bars[4];
  const CRect places[4] = {CRect(20, 10, 40, 210), CRect(60, 10, 80, 210), CRect(100, 170, 250, 190),
                           CRect(100, 205, 250, 225)};
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(bars[i].Create(WS_CHILD | WS_VISIBLE | (i < 2 ? SBS_VERT : SBS_HORZ), places[i], &parent, 10 + i));
    bars[i].SetBitmap(i % 2 ? static_cast<HBITMAP>(skin154) : static_cast<HBITMAP>(skin147));
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    si.nMax = 99;
    si.nPage = 10;
    si.nPos = 30;
    bars[i].SetScrollInfo(&si, TRUE);
  }
  desk.RunUntilIdle();
  EXPECT_TRUE(desk.SavePng(parent.m_hWnd, SnapshotPath("scroll_bars_normal")));
  const int thumb = bars[0].PartSpan(5).start;
  const COLORREF normalThumb = Pixel(desk, bars[0].m_hWnd, 8, thumb + 3);
  desk.MoveMouse(bars[0].m_hWnd, 8, thumb + 3);
  EXPECT_NE(Pixel(desk, bars[0].m_hWnd, 8, thumb + 3), normalThumb);
  desk.MoveMouse(bars[2].m_hWnd, bars[2].PartSpan(5).start + 3, 8);
  EXPECT_TRUE(desk.SavePng(parent.m_hWnd, SnapshotPath("scroll_bars_hot_thumb")));
  const COLORREF normalArrow = Pixel(desk, bars[1].m_hWnd, 8, 195);
  desk.MouseDown(bars[1].m_hWnd, 8, 195);
  EXPECT_NE(Pixel(desk, bars[1].m_hWnd, 8, 195), normalArrow);
  EXPECT_TRUE(desk.SavePng(parent.m_hWnd, SnapshotPath("scroll_bars_pressed_arrow")));
  desk.MouseUp(bars[1].m_hWnd, 8, 195);
  parent.DestroyWindow();
}

TEST_F(SkinControlsSnapshotsTest, PopListOfTwelveRowsWithItsBar) {
  RecordingParent parent;
  parent.fill = kDarkPanel;
  ASSERT_TRUE(parent.Make(340, 220));
  CVexloPopListView list;
  ASSERT_TRUE(list.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(20, 20, 320, 200), &parent, 1));
  list.SetTitle("信息地雷 2026-12-10");
  list.SetGridSize(2, 12);
  const char* news[] = {"浦发银行发布三季度业绩快报", "关于召开临时股东大会的通知", "董事会决议公告",
                        "关于回购股份进展的公告",     "融资融券余额变动",           "大宗交易成交明细",
                        "机构调研纪要",               "关于股东减持计划的预披露",   "年度分红派息实施公告",
                        "监事会决议公告",             "关于对外担保的公告",         "独立董事述职报告"};
  for (int r = 0; r < 12; ++r) {
    list.SetItem(r, 0, news[r], 0xE0E0E0, DT_LEFT | DT_SINGLELINE | DT_VCENTER, 0);
    list.SetItem(r, 1, "09:30", 0xFFD040, DT_RIGHT | DT_SINGLELINE | DT_VCENTER, 0);
  }
  desk.RunUntilIdle();
  desk.Click(list.m_hWnd, 60, 65);
  desk.RunUntilIdle();
  EXPECT_TRUE(IsWindowVisible(list.ScrollBar()->m_hWnd));
  EXPECT_TRUE(desk.SavePng(parent.m_hWnd, SnapshotPath("pop_list")));
  parent.DestroyWindow();
}

TEST_F(SkinControlsSnapshotsTest, VirtualListBoxWithThreeColumns) {
  RecordingParent parent;
  ASSERT_TRUE(parent.Make(340, 220));
  CVListBox box;
  ASSERT_TRUE(box.Create(0x50005001, CRect(10, 10, 330, 210), &parent, 1));
  box.InsertColumn(0, u"代码", LVCFMT_LEFT, 80);
  box.InsertColumn(1, u"名称", LVCFMT_LEFT, 140);
  box.InsertColumn(2, u"简拼", LVCFMT_LEFT, 90);
  const char* rows[] = {"600000|||浦发银行|||PFYH|||1|||2|||", "600004|||白云机场|||BYJC|||1|||2|||",
                        "600006|||东风汽车|||DFQC|||1|||2|||", "600007|||中国国贸|||ZGGM|||1|||2|||",
                        "600008|||首创环保|||SCHB|||1|||2|||", "600009|||上海机场|||SHJC|||1|||2|||"};
  for (const char* r : rows) box.AddItem(r);
  box.SetItemCount(box.GetRowCount());
  box.SetItemState(1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  box.SetFocus();
  desk.RunUntilIdle();
  EXPECT_TRUE(desk.SavePng(parent.m_hWnd, SnapshotPath("virtual_list_box")));
  parent.DestroyWindow();
}

}  // namespace

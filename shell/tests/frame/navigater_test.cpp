// The navigation bar on its own: geometry, commands, caption drags and the
// picture failures.
#include "shell/tests/frame/frame_fixture.h"

namespace frametest {
namespace {

// A frame stand-in: a top-level window holding a view that holds the bar,
// recording what the bar sends it.
class Grandparent : public CWnd {
 public:
  std::vector<std::pair<UINT, WPARAM>> got;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_MENU_COMMAND || msg == WM_NAV_BACK || msg == WM_NAV_FORWARD || msg == WM_SYSCOMMAND ||
        msg == WM_CLOSE || msg == WM_NCLBUTTONDOWN || msg == WM_NCLBUTTONDBLCLK) {
      got.push_back({msg, wParam});
      if (msg == WM_MENU_COMMAND || msg == WM_NAV_BACK || msg == WM_NAV_FORWARD) return 1;
      if (msg == WM_CLOSE) return 0;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
  }
};

class NavigaterTest : public FrameTest {
 protected:
  void Make(int width) {
    ASSERT_TRUE(top.CreateEx(0, nullptr, u"frame", WS_POPUP | WS_VISIBLE, CRect(0, 0, width, 300), nullptr, 0));
    ASSERT_TRUE(view.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, width, 300), &top, 0));
    ASSERT_TRUE(nav.Create(CRect(0, 0, width, 40), &view, 0, u"res\\bar.png", u"res\\logo.png", u"res\\gap.png"));
  }
  void TearDown() override {
    if (top.GetSafeHwnd() != nullptr) top.DestroyWindow();
    FrameTest::TearDown();
  }
  CRect Rect(CWnd& child) {
    CRect rc;
    child.GetWindowRect(&rc);
    nav.ScreenToClient(&rc);
    return rc;
  }
  Grandparent top;
  CWnd view;
  CNavigater nav;
};

TEST_F(NavigaterTest, MenuButtonsShareTheWidthAndCaptionButtonsHugTheRight) {
  Make(1000);
  for (UINT id : {100001u, 100002u, 100003u}) nav.AddTopMenu(id, u"菜单");
  nav.Relayout(TRUE);
  const int xs[] = {213, 418, 623};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Rect(*nav.GetMenuButton(i)), CRect(xs[i], 8, xs[i] + 204, 36)) << i;
  EXPECT_EQ(Rect(nav.CaptionButton(ID_NAV_BACK)), CRect(1000 - 161, 0, 1000 - 130, 40));
  EXPECT_EQ(Rect(nav.CaptionButton(ID_NAV_FORWARD)), CRect(1000 - 130, 0, 1000 - 99, 40));
  EXPECT_EQ(Rect(nav.CaptionButton(ID_NAV_MINIMIZE)), CRect(1000 - 89, 0, 1000 - 61, 40));
  EXPECT_EQ(Rect(nav.CaptionButton(ID_NAV_MAXIMIZE)), CRect(1000 - 61, 0, 1000 - 33, 40));
  EXPECT_EQ(Rect(nav.CaptionButton(ID_NAV_CLOSE)), CRect(1000 - 33, 0, 1000 - 5, 40));
}

TEST_F(NavigaterTest, NoButtonsOrANarrowBarLayOutWithoutHarm) {
  Make(300);
  nav.Relayout(TRUE);  // no menu button: only the caption buttons
  EXPECT_EQ(Rect(nav.CaptionButton(ID_NAV_CLOSE)), CRect(300 - 33, 0, 300 - 5, 40));
  nav.AddTopMenu(1, u"一");
  nav.AddTopMenu(2, u"二");
  nav.Relayout(TRUE);
  EXPECT_EQ(Rect(*nav.GetMenuButton(1)).Width(), 0);
  EXPECT_EQ(Rect(*nav.GetMenuButton(1)).left, 214);
}

TEST_F(NavigaterTest, CommandsGoToTheGrandparent) {
  Make(1000);
  nav.AddTopMenu(100001, u"首页");
  nav.AddTopMenu(5000, u"系统设置");
  nav.AddMenuItem(5000, 5010, u"退出", FALSE);
  nav.AddMenuItem(777, 1, u"丢弃", FALSE);  // unknown top: dropped
  nav.Relayout(TRUE);
  desk_->RunUntilIdle();
  EXPECT_EQ(nav.GetMenu(1)->GetMenuItemCount(), 1);

  // A plain button carries out its own entry; back and forward; an item id.
  CRect rc = Rect(*nav.GetMenuButton(0));
  desk_->Click(nav.GetSafeHwnd(), rc.CenterPoint().x, rc.CenterPoint().y);
  nav.SendMessage(WM_COMMAND, ID_NAV_BACK);
  nav.SendMessage(WM_COMMAND, ID_NAV_FORWARD);
  nav.SendMessage(WM_COMMAND, 5010);
  const std::vector<std::pair<UINT, WPARAM>> expected = {
      {WM_MENU_COMMAND, 100001}, {WM_NAV_BACK, 300}, {WM_NAV_FORWARD, 301}, {WM_MENU_COMMAND, 5010}};
  EXPECT_EQ(top.got, expected);

  // A menu button opens its drop-down; the chosen item comes back as a command.
  top.got.clear();
  desk_->Until([] { return FindWindowW(WC_POPUPMENU, nullptr) != nullptr; });
  desk_->Then([&] { desk_->Key(VK_DOWN); });
  desk_->Then([&] { desk_->Key(VK_RETURN); });
  rc = Rect(*nav.GetMenuButton(1));
  desk_->Click(nav.GetSafeHwnd(), rc.CenterPoint().x, rc.CenterPoint().y);
  desk_->RunUntilIdle();
  ASSERT_FALSE(desk_->StepsTimedOut());
  ASSERT_EQ(top.got.size(), 1u);
  EXPECT_EQ(top.got[0], std::make_pair(WM_MENU_COMMAND, WPARAM{5010}));

  // Minimise, maximise or restore, close with both answers.
  top.got.clear();
  nav.SendMessage(WM_COMMAND, ID_NAV_MINIMIZE);
  nav.SendMessage(WM_COMMAND, ID_NAV_MAXIMIZE);
  top.ShowWindow(SW_MAXIMIZE);
  nav.SendMessage(WM_COMMAND, ID_NAV_MAXIMIZE);
  desk_->SetBoxAnswer(IDCANCEL);
  nav.SendMessage(WM_COMMAND, ID_NAV_CLOSE);
  desk_->SetBoxAnswer(IDOK);
  nav.SendMessage(WM_COMMAND, ID_NAV_CLOSE);
  const std::vector<std::pair<UINT, WPARAM>> caption = {
      {WM_SYSCOMMAND, SC_MINIMIZE}, {WM_SYSCOMMAND, SC_MAXIMIZE}, {WM_SYSCOMMAND, SC_RESTORE}, {WM_CLOSE, 0}};
  EXPECT_EQ(top.got, caption);
  ASSERT_EQ(desk_->Boxes().size(), 2u);
  EXPECT_EQ(desk_->Boxes()[0].text, u"是否退出系统？");
  EXPECT_EQ(desk_->Boxes()[0].caption, u"提示");
}

TEST_F(NavigaterTest, DraggingTheBarMovesTheFrameAndADoubleClickMaximises) {
  Make(1000);
  nav.Relayout(TRUE);
  desk_->RunUntilIdle();
  CRect before;
  top.GetWindowRect(&before);
  desk_->Then([&] { desk_->MoveMouse(nav.GetSafeHwnd(), 150, 20); });
  desk_->Then([&] { desk_->MouseUp(nav.GetSafeHwnd(), 150, 20); });
  desk_->MouseDown(nav.GetSafeHwnd(), 100, 10);
  desk_->RunUntilIdle();
  ASSERT_FALSE(desk_->StepsTimedOut());
  CRect after;
  top.GetWindowRect(&after);
  EXPECT_EQ(after.TopLeft(), CPoint(before.left + 50, before.top + 10));
  EXPECT_EQ(top.got.at(0), std::make_pair(WM_NCLBUTTONDOWN, WPARAM{HTCAPTION}));

  desk_->Advance(1000);
  desk_->DoubleClick(nav.GetSafeHwnd(), 100, 10);
  desk_->RunUntilIdle();
  EXPECT_TRUE(top.IsZoomed());
  desk_->Advance(1000);
  desk_->DoubleClick(nav.GetSafeHwnd(), 100, 10);
  desk_->RunUntilIdle();
  EXPECT_FALSE(top.IsZoomed());
  CRect restored;
  top.GetWindowRect(&restored);
  EXPECT_EQ(restored, after);
}

TEST_F(NavigaterTest, MissingPicturesAreReportedAndTheBarIsMadeAllTheSame) {
  ASSERT_TRUE(top.CreateEx(0, nullptr, u"frame", WS_POPUP | WS_VISIBLE, CRect(0, 0, 800, 300), nullptr, 0));
  ASSERT_TRUE(view.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 800, 300), &top, 0));
  EXPECT_TRUE(nav.Create(CRect(0, 0, 800, 40), &view, 0, u"res\\none1.png", u"res\\none2.png", u"res\\none3.png"));
  ASSERT_EQ(desk_->Boxes().size(), 3u);
  EXPECT_EQ(desk_->Boxes()[0].text, u"背景图片加载失败");
  EXPECT_EQ(desk_->Boxes()[1].text, u"logo图片加载失败");
  EXPECT_EQ(desk_->Boxes()[2].text, u"分隔条图片加载失败");
  EXPECT_TRUE(::IsWindow(nav.GetSafeHwnd()));
  desk_->RunUntilIdle();
}

}  // namespace
}  // namespace frametest

// Snapshots of the skinned controls for checking by eye: written as PNG
// files under the build folder (snapshots/), with a few probes that the
// picture is what it claims to be.
#include "skin_test_util.h"

#include "controls/menu_ex.h"
#include "controls/tab_bar.h"
#include "foundation/draw_helpers.h"
#include "platform/kernel/kernel_files.h"

using namespace skintest;

namespace {

std::string SnapshotPath(const std::string& name) {
  const std::string folder = std::string(ORV_BINARY_DIR) + "/snapshots";
  CreateFolderTree(folder);
  return folder + "/" + name;
}

class MenuOwner : public CWnd {};
class TestApp : public CWinApp {};

TEST(MenuExSnapshot, DarkFlatMenu) {
  TestDesktop desk;
  orvtest::UseProgramFonts();
  MenuOwner owner;
  ASSERT_TRUE(owner.CreateEx(0, nullptr, u"owner", WS_POPUP | WS_VISIBLE, CRect(0, 0, 600, 400), nullptr, 0));
  CMenuEx menu, sub;
  ASSERT_TRUE(menu.CreatePopupMenu());
  ASSERT_TRUE(sub.CreatePopupMenu());
  sub.AppendItem(MF_OWNERDRAW, 211, u"日线");
  sub.AppendItem(MF_OWNERDRAW, 212, u"周线");
  menu.AppendItem(MF_OWNERDRAW, 201, u"加入自选股");
  menu.AppendItem(MF_OWNERDRAW | MF_CHECKED, 202, u"显示成交明细");
  menu.AppendItem(MF_OWNERDRAW | MF_GRAYED, 203, u"删除自选股");
  menu.AppendItem(MF_OWNERDRAW, 0, nullptr);
  menu.AppendItem(MF_OWNERDRAW | MF_POPUP, reinterpret_cast<UINT_PTR>(sub.m_hMenu), u"分析周期");
  QImage picture;
  desk.Until([] { return FindWindowW(WC_POPUPMENU, nullptr) != nullptr; });
  desk.Then([&] { desk.Key(VK_DOWN); });
  desk.Then([&] {
    picture = desk.Snapshot(FindWindowW(WC_POPUPMENU, nullptr));
    desk.Key(VK_ESCAPE);
  });
  menu.TrackPopupMenu(0, 100, 100, &owner);
  desk.RunUntilIdle();
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.height(), 5 * 25);
  EXPECT_EQ(PixelOf(picture, picture.width() - 1, 30), RGB(45, 45, 45));
  EXPECT_EQ(PixelOf(picture, picture.width() - 1, 10), RGB(103, 103, 103));  // the first item highlighted
  EXPECT_TRUE(picture.save(QString::fromStdString(SnapshotPath("skin_menu.png"))));
}

// The button row and the tab bar on the generated skins, from the build's
// program folder as the programs see it.
class Backdrop : public CWnd {
 public:
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, RGB(16, 18, 24));
  }
};

class SkinSnapshot : public ::testing::Test {
 protected:
  TestDesktop desk;
  orvtest::ScopedWorkingFolder folder{orvtest::BuildProgramFolder()};
  Backdrop back;
  void SetUp() override {
    ASSERT_TRUE(folder.Ok());
    orvtest::UseProgramFonts();
    ASSERT_TRUE(back.CreateEx(0, nullptr, u"back", WS_POPUP | WS_VISIBLE, CRect(0, 0, 1040, 120), nullptr, 0));
  }
};

struct RowButton {
  int type;
  const char16_t* text;
  const char16_t* normal;
  const char16_t* pressed;
  int width;
};

TEST_F(SkinSnapshot, ButtonRow) {
  const RowButton row[] = {
      {0, u"", u"res\\BackUp.png", u"res\\BackDown.png", 31},
      {1, u"买入", u"res\\trade_btn_bg.png", u"res\\trade_btn_sel_bg.png", 60},
      {2, u"行情", u"res\\barbtn.png", u"res\\barbtn.png", 80},
      {3, u"系统", u"res\\barbtn.png", u"res\\barbtn.png", 80},
      {5, u"资讯", u"res\\barbtn.png", u"res\\barbtn.png", 80},
      {7, u"分时", u"res\\quote_table_item_bg.png", u"res\\quote_table_item_sel_bg.png", 70},
      {9, u"记住密码", nullptr, nullptr, 90},
      {10, u"日线", u"res\\quote_table_item_bg.png", u"res\\quote_table_item_sel_bg.png", 70},
      {11, u"查看全部", nullptr, nullptr, 70},
      {1, u"确定", nullptr, nullptr, 70},
      {1, u"撤单", u"res\\trade_btn_bg.png", u"res\\trade_btn_sel_bg.png", 60},
  };
  std::vector<std::unique_ptr<FooButton>> buttons;
  int x = 10;
  for (const RowButton& r : row) {
    auto b = std::make_unique<FooButton>();
    ASSERT_TRUE(b->Create(r.text, WS_CHILD | WS_VISIBLE, CRect(x, 40, x + r.width, 68), &back, 100 + static_cast<int>(buttons.size())));
    b->SetButtonType(r.type);
    // Black on the light trade buttons and the default face, white on the
    // dark bar pictures.
    b->SetTextColor(r.type == 1 ? RGB(0, 0, 0) : RGB(255, 255, 255));
    if (r.normal) {
      b->SetNormalImage(r.normal);
      b->SetPressedImage(r.pressed);
    }
    x += r.width + 8;
    buttons.push_back(std::move(b));
  }
  FooButton& flat = *buttons[2];
  flat.SetMouseOverImage(TRUE, u"res\\dBar.png");
  FooButton& split = *buttons[4];
  split.SetMouseOverImage(TRUE, u"res\\dBar.png");
  split.SetSeparatorImage(u"res\\dgap.png");
  buttons[5]->SetCheck(1);
  buttons[6]->SetCheck(1);
  buttons[7]->SetCheck(1);
  buttons[9]->SetDefault(TRUE);
  buttons[10]->SetDisabledImage(u"res\\trade_btn_bg.png");
  buttons[10]->EnableButton(FALSE);
  desk.MoveMouse(flat.m_hWnd, 20, 10);
  desk.RunUntilIdle();
  QImage picture = desk.Snapshot(back.m_hWnd);
  // The hovered flat button shows its mouse-over picture (not the
  // backdrop), the link its white face.
  auto at = [&](const FooButton& b, int dx, int dy) {
    CRect rc;
    b.GetWindowRect(&rc);
    back.ScreenToClient(&rc);
    return PixelOf(picture, rc.left + dx, rc.top + dy);
  };
  EXPECT_NE(at(flat, 40, 4), RGB(16, 18, 24));
  EXPECT_EQ(at(*buttons[8], 3, 3), RGB(255, 255, 255));
  EXPECT_TRUE(picture.save(QString::fromStdString(SnapshotPath("skin_buttons.png"))));
}

TEST_F(SkinSnapshot, TabBarWideAndSqueezed) {
  TestApp app;
  Backdrop main;
  ASSERT_TRUE(main.CreateEx(0, nullptr, u"main", WS_POPUP | WS_VISIBLE, CRect(0, 200, 1040, 300), nullptr, 0));
  app.m_pMainWnd = &main;
  CTabBar bar;
  ASSERT_EQ(bar.LoadSkin("res\\theme.ini", "tabbar"), 1);
  ASSERT_TRUE(bar.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(10, 10, 1010, 42), &main, 77));
  const char* titles[] = {"首页", "自选股", "沪深A股", "上证指数", "分析", "委托交易", "资讯中心的一个很长的网页标题"};
  std::uintptr_t page = 1;
  for (const char* t : titles) bar.AddTab(page++, t);
  bar.AddTab(1, "自选股");  // current: the first ordinary tab
  desk.MoveMouse(bar.GetTabButton(3)->m_hWnd, 30, 16);
  desk.Advance(10);
  desk.RunUntilIdle();
  QImage wide = desk.Snapshot(bar.m_hWnd);
  EXPECT_EQ(wide.width(), 1000);
  EXPECT_TRUE(wide.save(QString::fromStdString(SnapshotPath("skin_tabbar.png"))));
  bar.MoveWindow(10, 50, 400, 32);
  desk.MoveMouse(main.m_hWnd, 900, 95);
  desk.RunUntilIdle();
  QImage squeezed = desk.Snapshot(bar.m_hWnd);
  EXPECT_EQ(squeezed.width(), 400);
  EXPECT_TRUE(squeezed.save(QString::fromStdString(SnapshotPath("skin_tabbar_400.png"))));
  app.m_pMainWnd = nullptr;
}

}  // namespace

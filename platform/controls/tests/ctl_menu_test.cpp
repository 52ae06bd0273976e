// Pop-up menus: the menu objects, TrackPopupMenu's modal loop with keys,
// submenus, clicks, alignment and the owner-draw protocol.
#include "platform/controls/tests/ctl_test_util.h"

#include "platform/kernel/kernel_thread.h"

namespace {

class OwnerMenu : public CMenu {
 public:
  int measures = 0;
  std::vector<UINT> drawnStates;
  void MeasureItem(LPMEASUREITEMSTRUCT mis) override {
    ++measures;
    mis->itemWidth = 120;
    mis->itemHeight = 22;
  }
  void DrawItem(LPDRAWITEMSTRUCT dis) override {
    drawnStates.push_back(dis->itemState);
    HBRUSH b = CreateSolidBrush((dis->itemState & ODS_SELECTED) ? RGB(255, 0, 0) : RGB(255, 255, 255));
    FillRect(dis->hDC, &dis->rcItem, b);
    DeleteObject(b);
  }
};

// The owner: a plain window whose default handling routes owner-drawn menu
// items to the CMenu and records the commands.
class Owner : public CWnd {
 public:
  std::vector<UINT> commands;
  BOOL OnCmdMsg(UINT id, int code) override {
    commands.push_back(id);
    (void)code;
    return TRUE;
  }
};

class CtlMenuTest : public ::testing::Test {
 protected:
  TestDesktop desk;
  Owner owner;
  void SetUp() override {
    ASSERT_TRUE(owner.CreateEx(0, nullptr, u"owner", WS_POPUP | WS_VISIBLE, CRect(100, 100, 500, 400), nullptr, 0));
  }
  static HWND MenuWindow() { return FindWindowW(WC_POPUPMENU, nullptr); }
};

TEST_F(CtlMenuTest, ItemsAndQueries) {
  HMENU m = CreatePopupMenu();
  HMENU sub = CreatePopupMenu();
  AppendMenuW(sub, MF_STRING, 201, u"日线");
  AppendMenuW(m, MF_STRING, 101, u"刷新");
  AppendMenuW(m, MF_SEPARATOR | MF_OWNERDRAW, 0, nullptr);
  AppendMenuW(m, MF_STRING | MF_CHECKED, 102, u"显示网格");
  AppendMenuW(m, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"周期");
  EXPECT_EQ(GetMenuItemCount(m), 4);
  MENUITEMINFOW info;
  info.fMask = MIIM_TYPE;
  ASSERT_TRUE(GetMenuItemInfoW(m, 1, TRUE, &info));
  EXPECT_TRUE(info.fType & MFT_SEPARATOR);
  EXPECT_TRUE(GetMenuState(m, 102, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_EQ(GetSubMenu(m, 3), sub);
  EXPECT_EQ(GetMenuItemID(m, 3), static_cast<UINT>(-1));
  ASSERT_TRUE(ModifyMenuW(m, 0, MF_BYPOSITION | MF_CHECKED | MF_OWNERDRAW, 101, nullptr));
  EXPECT_EQ(GetMenuState(m, 0, MF_BYPOSITION) & (MF_CHECKED | MF_OWNERDRAW), MF_CHECKED | MF_OWNERDRAW);
  EXPECT_TRUE(GetMenuState(m, 201, MF_BYCOMMAND) != static_cast<UINT>(-1));  // found in the submenu
  EXPECT_TRUE(DestroyMenu(m));
  EXPECT_FALSE(IsMenu(sub));  // submenus go with their menu
}

TEST_F(CtlMenuTest, KeyboardChoosesAndOwnerDrawIsMeasuredOnce) {
  OwnerMenu menu;
  ASSERT_TRUE(menu.CreatePopupMenu());
  for (UINT id : {11u, 12u, 13u}) menu.AppendMenu(MF_OWNERDRAW, id, nullptr);
  menu.ModifyMenu(1, MF_BYPOSITION | MF_CHECKED | MF_OWNERDRAW, 12, nullptr);
  RECT shown{};
  QImage picture;
  desk.Until([&] { return MenuWindow() != nullptr; });
  desk.Then([&] {
    GetWindowRect(MenuWindow(), &shown);
    desk.Key(VK_DOWN);
  });
  desk.Then([&] { desk.Key(VK_DOWN); });
  desk.Then([&] {
    picture = desk.Snapshot(MenuWindow());
    desk.Key(VK_RETURN);
  });
  EXPECT_TRUE(menu.TrackPopupMenu(TPM_RIGHTALIGN | TPM_BOTTOMALIGN, 300, 300, &owner));
  desk.RunUntilIdle();
  ASSERT_EQ(owner.commands.size(), 1u);
  EXPECT_EQ(owner.commands[0], 12u);
  EXPECT_EQ(menu.measures, 3);
  // Borderless and exactly as large as the items, aligned at its bottom right.
  EXPECT_EQ(shown.right, 300);
  EXPECT_EQ(shown.bottom, 300);
  EXPECT_EQ(shown.right - shown.left, 120);
  EXPECT_EQ(shown.bottom - shown.top, 66);
  EXPECT_EQ(PixelOf(picture, 60, 22 + 11), RGB(255, 0, 0));   // the highlighted second item
  EXPECT_EQ(PixelOf(picture, 60, 11), RGB(255, 255, 255));
  bool checkedSeen = false;
  for (UINT s : menu.drawnStates) checkedSeen |= (s & (ODS_CHECKED | ODS_SELECTED)) == (ODS_CHECKED | ODS_SELECTED);
  EXPECT_TRUE(checkedSeen);

  // Tracked again: no new measuring; Esc dismisses and sends nothing.
  desk.Until([&] { return MenuWindow() != nullptr; });
  desk.Then([&] { desk.Key(VK_DOWN); });
  desk.Then([&] { desk.Key(VK_ESCAPE); });
  EXPECT_FALSE(menu.TrackPopupMenu(0, 150, 150, &owner));
  desk.RunUntilIdle();
  EXPECT_EQ(owner.commands.size(), 1u);
  EXPECT_EQ(menu.measures, 3);
  EXPECT_EQ(MenuWindow(), nullptr);
}

TEST_F(CtlMenuTest, SubmenusByKeyAndMouseAndClickOutside) {
  HMENU m = CreatePopupMenu();
  HMENU sub = CreatePopupMenu();
  AppendMenuW(sub, MF_STRING, 301, u"日线");
  AppendMenuW(sub, MF_STRING, 302, u"周线");
  AppendMenuW(m, MF_STRING, 300, u"刷新");
  AppendMenuW(m, MF_STRING | MF_GRAYED, 303, u"不可用");
  AppendMenuW(m, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"周期");
  // Down lands on the grayed item, Down to the submenu, Right opens it, Down, Enter.
  for (UINT vk : {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN})
    desk.Then([&, vk] { desk.Key(vk); });
  EXPECT_TRUE(TrackPopupMenu(m, 0, 200, 200, 0, owner.m_hWnd, nullptr));
  desk.RunUntilIdle();
  ASSERT_EQ(owner.commands.size(), 1u);
  EXPECT_EQ(owner.commands[0], 302u);

  // The mouse: hover the submenu's item, click an item of the submenu.
  HWND first = nullptr;
  desk.Until([&] {
    first = MenuWindow();
    return first != nullptr;
  });
  desk.Then([&] {
    RECT r;
    GetWindowRect(first, &r);
    desk.MoveMouse(nullptr, r.left + 30, r.bottom - 10);  // over 周期
  });
  // The submenu window is the newest "#32768" window.
  HWND second = nullptr;
  desk.Until([&] {
    second = FindWindowW(WC_POPUPMENU, nullptr);
    return second && second != first;
  });
  desk.Then([&] {
    RECT r;
    GetWindowRect(second, &r);
    desk.Click(nullptr, r.left + 30, r.top + 10);
  });
  EXPECT_TRUE(TrackPopupMenu(m, 0, 200, 200, 0, owner.m_hWnd, nullptr));
  desk.RunUntilIdle();
  ASSERT_EQ(owner.commands.size(), 2u);
  EXPECT_EQ(owner.commands[1], 301u);

  // A click outside every menu window dismisses and sends nothing.
  desk.Until([&] { return MenuWindow() != nullptr; });
  desk.Then([&] { desk.Click(nullptr, 450, 350); });
  EXPECT_FALSE(TrackPopupMenu(m, 0, 200, 200, 0, owner.m_hWnd, nullptr));
  desk.RunUntilIdle();
  EXPECT_EQ(owner.commands.size(), 2u);
  DestroyMenu(m);
}

// An owner-drawn item that opens a submenu is measured by the menu object
// holding it, like any other owner-drawn item.
TEST_F(CtlMenuTest, OwnerDrawnSubmenuItemIsMeasuredByItsMenu) {
  OwnerMenu menu;
  ASSERT_TRUE(menu.CreatePopupMenu());
  HMENU sub = CreatePopupMenu();
  AppendMenuW(sub, MF_STRING, 501, u"日线");
  menu.AppendMenu(MF_OWNERDRAW, 500, nullptr);
  menu.AppendMenu(MF_OWNERDRAW | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), nullptr);
  RECT shown{};
  desk.Until([&] { return MenuWindow() != nullptr; });
  desk.Then([&] {
    GetWindowRect(MenuWindow(), &shown);
    desk.Key(VK_ESCAPE);
  });
  EXPECT_FALSE(menu.TrackPopupMenu(0, 150, 150, &owner));
  desk.RunUntilIdle();
  EXPECT_EQ(menu.measures, 2);
  EXPECT_EQ(shown.bottom - shown.top, 44);
}

// The application flattens menu windows from a creation hook: it sees the
// "#32768" class and replaces the procedure before the window's first message.
WNDPROC g_menuSuper = nullptr;
int g_flatMessages = 0;
LRESULT FlatMenuProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  ++g_flatMessages;
  return CallWindowProcW(g_menuSuper, h, msg, w, l);
}
LRESULT MenuCreationHook(int code, WPARAM w, LPARAM l) {
  if (code == HCBT_CREATEWND) {
    auto* info = reinterpret_cast<CBT_CREATEWNDW*>(l);
    if (info->lpcs->lpszClass && WString(info->lpcs->lpszClass) == WC_POPUPMENU) {
      auto hwnd = reinterpret_cast<HWND>(w);
      g_menuSuper = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FlatMenuProc)));
    }
  }
  return CallNextHookEx(nullptr, code, w, l);
}

TEST_F(CtlMenuTest, CreationHookSubclassesMenuWindows) {
  HHOOK hook = SetWindowsHookExW(WH_CBT, MenuCreationHook, nullptr, GetCurrentThreadId());
  ASSERT_TRUE(hook);
  HMENU m = CreatePopupMenu();
  AppendMenuW(m, MF_STRING, 401, u"刷新");
  g_flatMessages = 0;
  desk.Until([&] { return MenuWindow() != nullptr; });
  desk.Then([&] { desk.Key(VK_DOWN); });
  desk.Then([&] { desk.Key(VK_RETURN); });
  EXPECT_TRUE(TrackPopupMenu(m, 0, 120, 120, 0, owner.m_hWnd, nullptr));
  UnhookWindowsHookEx(hook);
  desk.RunUntilIdle();
  EXPECT_GT(g_flatMessages, 0);
  ASSERT_EQ(owner.commands.size(), 1u);
  EXPECT_EQ(owner.commands[0], 401u);
  DestroyMenu(m);
}

// The desktop's public input calls, queued as steps, reach the menu inside
// its loop and never the focus window behind it; a step that never becomes
// ready ends the loop instead of hanging the test.
TEST_F(CtlMenuTest, DesktopStepsDriveTheMenuLoop) {
  CEdit edit;
  ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE, CRect(10, 10, 200, 34), &owner, 77));
  edit.SetFocus();
  HMENU m = CreatePopupMenu();
  AppendMenuW(m, MF_STRING, 501, u"买入");
  AppendMenuW(m, MF_STRING, 502, u"卖出");
  desk.Until([&] { return MenuWindow() != nullptr; });
  desk.Then([&] { desk.Type(u"ab"); });
  desk.Then([&] { desk.Key(VK_DOWN); });
  desk.Then([&] { desk.Key(VK_DOWN); });
  desk.Then([&] { desk.Key(VK_RETURN); });
  EXPECT_TRUE(TrackPopupMenu(m, 0, 150, 150, 0, owner.m_hWnd, nullptr));
  desk.RunUntilIdle();
  EXPECT_EQ(desk.PendingSteps(), 0u);
  auto& cmds = owner.commands;  // the edit's own notifications (id 77) aside
  EXPECT_EQ(std::count(cmds.begin(), cmds.end(), 502u), 1);
  EXPECT_EQ(std::count(cmds.begin(), cmds.end(), 501u), 0);
  EXPECT_EQ(GetWindowTextString(edit.m_hWnd), u"");
  EXPECT_FALSE(desk.StepsTimedOut());

  desk.Until([] { return false; }, 200);
  desk.Then([&] { desk.Key(VK_RETURN); });
  EXPECT_FALSE(TrackPopupMenu(m, 0, 150, 150, 0, owner.m_hWnd, nullptr));
  EXPECT_TRUE(desk.StepsTimedOut());
  EXPECT_EQ(desk.PendingSteps(), 0u);
  EXPECT_EQ(MenuWindow(), nullptr);
  DestroyMenu(m);
}

// EndMenu dismisses the tracked menu; so does another window of ours
// becoming active (the owner lost the focus).
TEST_F(CtlMenuTest, EndMenuAndFocusLossDismiss) {
  HMENU m = CreatePopupMenu();
  AppendMenuW(m, MF_STRING, 601, u"刷新");
  EXPECT_FALSE(EndMenu());
  desk.Until([&] { return MenuWindow() != nullptr; });
  desk.Then([] { EXPECT_TRUE(EndMenu()); });
  EXPECT_FALSE(TrackPopupMenu(m, 0, 150, 150, 0, owner.m_hWnd, nullptr));
  EXPECT_EQ(MenuWindow(), nullptr);

  CWnd other;
  ASSERT_TRUE(other.CreateEx(0, nullptr, u"other", WS_POPUP | WS_VISIBLE, CRect(600, 100, 700, 200), nullptr, 0));
  owner.SetActiveWindow();
  desk.RunUntilIdle();
  desk.Until([&] { return MenuWindow() != nullptr; });
  desk.Then([&] { other.SetActiveWindow(); });
  EXPECT_FALSE(TrackPopupMenu(m, 0, 150, 150, 0, owner.m_hWnd, nullptr));
  EXPECT_FALSE(desk.StepsTimedOut());
  desk.RunUntilIdle();
  EXPECT_TRUE(owner.commands.empty());
  DestroyMenu(m);
}

// Menus keep within the desktop's screen, whatever size the test sets.
TEST_F(CtlMenuTest, MenusKeepWithinTheScreenSize) {
  desk.SetScreenSize(1024, 768);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
  HMENU m = CreatePopupMenu();
  AppendMenuW(m, MF_STRING, 701, u"刷新");
  AppendMenuW(m, MF_STRING, 702, u"属性");
  RECT shown{};
  desk.Until([&] { return MenuWindow() != nullptr; });
  desk.Then([&] {
    GetWindowRect(MenuWindow(), &shown);
    desk.Key(VK_ESCAPE);
  });
  TrackPopupMenu(m, 0, 1010, 760, 0, owner.m_hWnd, nullptr);
  EXPECT_LE(shown.right, 1024);
  EXPECT_LE(shown.bottom, 768);
  EXPECT_GT(shown.right - shown.left, 20);
  desk.SetScreenSize(1920, 1080);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
  DestroyMenu(m);
}

}  // namespace

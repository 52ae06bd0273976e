// Modules: each loaded library keeps its own window objects and may give
// the layer a message filter that its modal loops ask first.
#include "platform/mfc/afx_controls.h"
#include "platform/window/win_desktop.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const HINSTANCE kPlugin = reinterpret_cast<HINSTANCE>(0x5150);

// Counts the messages its window is given.
class CountingWnd : public CWnd {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_USER + 7) ++seen;
    return CWnd::WindowProc(message, wParam, lParam);
  }
  int seen = 0;
};

TEST(AfxModules, APluginsObjectNeitherReplacesNorHidesTheProgramsObject) {
  TestDesktop desk;
  CountingWnd program;
  ASSERT_TRUE(program.CreateEx(0, nullptr, u"main", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr));
  CountingWnd plugin;
  {
    ResourceModuleScope scope(kPlugin);
    EXPECT_EQ(CWnd::FromHandlePermanent(program.m_hWnd), nullptr);  // the plug-in's map is its own
    ASSERT_TRUE(plugin.Attach(program.m_hWnd));
    EXPECT_EQ(CWnd::FromHandlePermanent(program.m_hWnd), &plugin);
  }
  EXPECT_EQ(CWnd::FromHandlePermanent(program.m_hWnd), &program);
  // Messages still reach the program's object, whichever module is current.
  ::SendMessageW(program.m_hWnd, WM_USER + 7, 0, 0);
  {
    ResourceModuleScope scope(kPlugin);
    ::SendMessageW(program.m_hWnd, WM_USER + 7, 0, 0);
    plugin.Detach();
    EXPECT_EQ(CWnd::FromHandlePermanent(program.m_hWnd), nullptr);
  }
  EXPECT_EQ(program.seen, 2);
  EXPECT_EQ(plugin.seen, 0);
  EXPECT_EQ(CWnd::FromHandlePermanent(program.m_hWnd), &program);
  program.DestroyWindow();
}

std::vector<UINT> g_filtered;
BOOL EatUserMessages(MSG* msg) {
  if (msg->message != WM_USER + 7) return FALSE;
  g_filtered.push_back(msg->message);
  return TRUE;
}

TEST(AfxModules, ModalLoopsAskTheCurrentModulesFilterFirst) {
  TestDesktop desk;
  g_filtered.clear();
  SetModuleMessageFilter(kPlugin, &EatUserMessages);
  CountingWnd target;
  ASSERT_TRUE(target.CreateEx(0, nullptr, u"t", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
  // The program's module is current: the plug-in's filter is not asked.
  ::PostMessageW(target.m_hWnd, WM_USER + 7, 0, 0);
  desk.RunUntilIdle();
  EXPECT_EQ(target.seen, 1);
  EXPECT_TRUE(g_filtered.empty());
  {
    ResourceModuleScope scope(kPlugin);
    ::PostMessageW(target.m_hWnd, WM_USER + 7, 0, 0);
    desk.RunUntilIdle();
    EXPECT_EQ(target.seen, 1);
    EXPECT_EQ(g_filtered, std::vector<UINT>{WM_USER + 7});

    // A modal dialog's loop asks it as well.
    DialogTemplate tmpl;
    tmpl.style = WS_POPUP | WS_CAPTION;
    tmpl.cx = 100;
    tmpl.cy = 60;
    tmpl.items.push_back(DialogItem{IDCANCEL, WC_BUTTON, u"取消", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 10, 10, 40, 14});
    CDialog dialog(&tmpl, &target);
    g_filtered.clear();
    desk.Until([&] { return dialog.m_hWnd != nullptr; });
    desk.Then([&] { ::PostMessageW(target.m_hWnd, WM_USER + 7, 0, 0); });
    desk.Until([] { return !g_filtered.empty(); });
    desk.Then([&] { desk.Key(VK_ESCAPE); });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(g_filtered, std::vector<UINT>{WM_USER + 7});
  }
  SetModuleMessageFilter(kPlugin, nullptr);
  {
    ResourceModuleScope scope(kPlugin);
    ::PostMessageW(target.m_hWnd, WM_USER + 7, 0, 0);
    desk.RunUntilIdle();
  }
  EXPECT_EQ(target.seen, 2);
  target.DestroyWindow();
}

}  // namespace

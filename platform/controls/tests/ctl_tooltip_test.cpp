// Tool tips: a whole-window tool shown after the delay with its colours,
// hidden by the auto-pop time, a press or leaving the tool.
#include "platform/controls/tests/ctl_test_util.h"

namespace {

// A window that relays its mouse messages to the tip, as the tab bar does.
class Relaying : public CWnd {
 public:
  CToolTipCtrl* tip = nullptr;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (tip && tip->m_hWnd && (msg == WM_MOUSEMOVE || msg == WM_LBUTTONDOWN)) {
      MSG m;
      m.hwnd = m_hWnd;
      m.message = msg;
      m.wParam = w;
      m.lParam = l;
      tip->RelayEvent(&m);
    }
    return CWnd::WindowProc(msg, w, l);
  }
};

TEST(CtlToolTipTest, WholeWindowToolWithDelayColourAndHiding) {
  TestDesktop desk;
  Parent parent;
  ASSERT_TRUE(parent.Make(400, 300));
  Relaying tab, other;
  ASSERT_TRUE(tab.CreateEx(0, nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(10, 10, 110, 40), &parent, 1));
  ASSERT_TRUE(other.CreateEx(0, nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(200, 10, 300, 40), &parent, 2));
  CToolTipCtrl tip;
  ASSERT_TRUE(tip.Create(&parent, TTS_ALWAYSTIP));
  tab.tip = &tip;
  other.tip = &tip;
  ASSERT_TRUE(tip.AddTool(&tab, u"上证指数 000001 全称"));
  EXPECT_EQ(tip.GetToolCount(), 1);
  tip.SetTipTextColor(0x00FF0000);
  tip.SetDelayTime(TTDT_AUTOMATIC, 150);
  tip.Activate(TRUE);

  desk.MoveMouse(tab.m_hWnd, 20, 10);
  desk.Advance(140);
  EXPECT_FALSE(tip.IsWindowVisible());
  desk.Advance(20);
  ASSERT_TRUE(tip.IsWindowVisible());
  EXPECT_EQ(tip.GetWindowText(), u"上证指数 000001 全称");
  QImage img = desk.Snapshot(tip.m_hWnd);
  int blue = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      QRgb c = img.pixel(x, y);
      blue += qBlue(c) > 200 && qRed(c) < 120 && qGreen(c) < 120;
    }
  EXPECT_GT(blue, 10);
  EXPECT_EQ(PixelOf(img, 2, 2), GetSysColor(COLOR_INFOBK));
  desk.Advance(1500);  // the automatic auto-pop time is ten times the delay
  EXPECT_FALSE(tip.IsWindowVisible());

  // Moving to a window that is no tool hides nothing new; back on the tool
  // shows again; a press hides it.
  desk.MoveMouse(other.m_hWnd, 20, 10);
  desk.Advance(300);
  EXPECT_FALSE(tip.IsWindowVisible());
  desk.MoveMouse(tab.m_hWnd, 30, 10);
  desk.Advance(200);
  EXPECT_TRUE(tip.IsWindowVisible());
  desk.MouseDown(tab.m_hWnd, 30, 10);
  EXPECT_FALSE(tip.IsWindowVisible());
  desk.MouseUp(tab.m_hWnd, 30, 10);

  tip.UpdateTipText(u"深证成指", &tab);
  tip.Activate(FALSE);
  desk.MoveMouse(other.m_hWnd, 20, 10);
  desk.MoveMouse(tab.m_hWnd, 40, 10);
  desk.Advance(300);
  EXPECT_FALSE(tip.IsWindowVisible());
  tip.Activate(TRUE);
  desk.MoveMouse(other.m_hWnd, 20, 10);
  desk.MoveMouse(tab.m_hWnd, 40, 10);
  desk.Advance(300);
  EXPECT_EQ(tip.GetWindowText(), u"深证成指");
}

}  // namespace

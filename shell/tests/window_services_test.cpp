// What the start-up and the login dialog need of the window layer: icon
// resources with WM_SETICON / WM_GETICON, and a window's picture written to
// a file (the snapshot switch).
#include <gtest/gtest.h>

#include <QImage>

#include "controls/tests/resource_fixture.h"
#include "platform/gdi/win_gdi.h"
#include "platform/kernel/kernel_files.h"
#include "platform/mfc/afx.h"
#include "platform/window/win_desktop.h"
#include "platform/window/win_icons.h"

namespace {

class Red : public CWnd {
 public:
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, RGB(200, 10, 20));
  }
};

TEST(WindowServices, IconResourcesByNumberAndTheWindowsIcon) {
  TestDesktop desk;
  orvtest::TempFolder folder;
  ASSERT_TRUE(orvtest::WriteProbePicture(folder.Path() + "icon/128.png", orvtest::Probe(48, 48)));
  SetResourceFolder(folder.Path());
  HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(128));
  HICON other = LoadIconW(nullptr, MAKEINTRESOURCEW(128));
  EXPECT_NE(icon, nullptr);
  EXPECT_NE(icon, other) << "each load is a new icon";
  EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(129)), nullptr) << "no picture";
  EXPECT_EQ(LoadIconW(nullptr, u"name"), nullptr) << "named resources are not kept";
  SetResourceFolder("");

  Red window;
  ASSERT_TRUE(window.CreateEx(0, nullptr, u"w", WS_POPUP | WS_VISIBLE, CRect(0, 0, 40, 30), nullptr, 0));
  HWND w = window.m_hWnd;
  EXPECT_EQ(GetWindowIcon(w, TRUE), nullptr);
  EXPECT_EQ(SetWindowIcon(w, icon, TRUE), nullptr);
  EXPECT_EQ(SetWindowIcon(w, other, FALSE), nullptr);
  EXPECT_EQ(GetWindowIcon(w, TRUE), icon);
  EXPECT_EQ(GetWindowIcon(w, FALSE), other);
  EXPECT_EQ(SetWindowIcon(w, other, TRUE), icon) << "the previous big icon";
  window.DestroyWindow();
  EXPECT_TRUE(DestroyIcon(icon));
  EXPECT_FALSE(DestroyIcon(icon));
  EXPECT_TRUE(DestroyIcon(other));
}

TEST(WindowServices, WindowPictureIsWrittenAsPng) {
  TestDesktop desk;
  orvtest::TempFolder folder;
  Red window;
  ASSERT_TRUE(window.CreateEx(WS_EX_APPWINDOW, nullptr, u"w", WS_POPUP | WS_VISIBLE, CRect(10, 10, 50, 40), nullptr,
                              0));
  desk.RunUntilIdle();
  EXPECT_TRUE(window.GetExStyle() & WS_EX_APPWINDOW);
  const std::string path = folder.Path() + "w.png";
  ASSERT_TRUE(SaveWindowPicture(window.m_hWnd, path.c_str()));
  QImage picture(QString::fromStdString(path));
  ASSERT_EQ(picture.size(), QSize(40, 30));
  EXPECT_EQ(QColor(picture.pixel(20, 15)), QColor(200, 10, 20));
  EXPECT_FALSE(SaveWindowPicture(window.m_hWnd, (folder.Path() + "missing/x.png").c_str()));
  window.DestroyWindow();
  EXPECT_FALSE(SaveWindowPicture(window.m_hWnd, path.c_str())) << "no window";
}

}  // namespace

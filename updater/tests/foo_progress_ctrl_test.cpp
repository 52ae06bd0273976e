// The image progress bar on the test desktop: which part of its area shows
// the bar picture for a range and position, the memory picture, and what a
// missing picture does.
#include "updater/foo_progress_ctrl.h"

#include <gtest/gtest.h>

#include <QImage>

#include "controls/tests/resource_fixture.h"
#include "platform/window/win_desktop.h"

namespace {

constexpr COLORREF kTrack = RGB(20, 40, 60);
constexpr COLORREF kBar = RGB(90, 160, 250);
constexpr int kWidth = 200, kHeight = 20;

// A flat picture of one colour (the probe's cells and markers painted over).
bool WriteFlat(const std::string& path, int w, int h, COLORREF color) {
  orvtest::ProbePicture p = orvtest::Probe(w, h);
  p.keyed = {RECT{0, 0, w, h}};
  p.keyColor = color;
  return orvtest::WriteProbePicture(path, p);
}

COLORREF At(const QImage& image, int x, int y) {
  const QRgb p = image.pixel(x, y);
  return RGB(qRed(p), qGreen(p), qBlue(p));
}

class Host : public CWnd {
 public:
  bool Make() {
    return CreateEx(0, nullptr, u"host", WS_POPUP | WS_VISIBLE, CRect(0, 0, kWidth + 20, kHeight + 20), nullptr, 0) !=
           FALSE;
  }
};

class FooProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder.Path().empty());
    ASSERT_TRUE(WriteFlat(folder.Path() + "res/processBG.png", 470, 28, kTrack));
    ASSERT_TRUE(WriteFlat(folder.Path() + "res/process.png", 470, 28, kBar));
    working = std::make_unique<orvtest::ScopedWorkingFolder>(folder.Path());
    ASSERT_TRUE(host.Make());
  }
  QImage Picture() {
    desk.RunUntilIdle();
    return desk.Snapshot(bar.m_hWnd);
  }

  TestDesktop desk;
  orvtest::TempFolder folder;
  std::unique_ptr<orvtest::ScopedWorkingFolder> working;
  Host host;
  FooProgressCtrl bar;
};

TEST_F(FooProgressTest, TheBarCoversTheDoneShare) {
  ASSERT_TRUE(bar.Create(CRect(10, 10, 10 + kWidth, 10 + kHeight), &host, 1002, u"res\\processBG.png",
                         u"res\\process.png"));
  EXPECT_TRUE(desk.Boxes().empty());
  EXPECT_EQ(0x50001000u, static_cast<unsigned>(::GetWindowLongPtrW(bar.m_hWnd, GWL_STYLE)) & 0x50001000u)
      << "child, visible, smooth";
  struct Case {
    const char* name;
    short minimum, maximum;
    int position;
    int right;  // the bar's right edge; 0: only the background
  } cases[] = {
      {"half", 0, 100, 50, kWidth / 2},
      {"nothing done", 0, 100, 0, 0},
      {"all done", 0, 100, 100, kWidth},
      {"a quarter of an offset range", 100, 300, 150, kWidth / 4},
      {"an empty range", 50, 50, 50, 0},
      {"below the range", 0, 100, -20, 0},
      {"low 16 bits of the position", 0, 100, 65536 + 50, kWidth / 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bar.SetRange(c.minimum, c.maximum);
    bar.SetPos(c.position);
    const QImage image = Picture();
    ASSERT_EQ(kWidth, image.width());
    for (int x : {0, c.right / 2, c.right - 1, c.right, kWidth / 2 + 1, kWidth - 1}) {
      if (x < 0 || x >= kWidth) continue;
      const bool filled = x < c.right;
      EXPECT_EQ(filled ? kBar : kTrack, At(image, x, kHeight / 2)) << "x " << x;
      EXPECT_EQ(kTrack, At(image, x, 0)) << "top row, x " << x;
      EXPECT_EQ(kTrack, At(image, x, kHeight - 1)) << "bottom row, x " << x;
      EXPECT_EQ(filled ? kBar : kTrack, At(image, x, 1)) << "second row, x " << x;
    }
  }
}

TEST_F(FooProgressTest, SetRangeAloneDoesNotRepaint) {
  ASSERT_TRUE(bar.Create(CRect(10, 10, 10 + kWidth, 10 + kHeight), &host, 1002, u"res\\processBG.png",
                         u"res\\process.png"));
  bar.SetRange(0, 100);
  bar.SetPos(0);
  Picture();
  bar.SetRange(0, 1);  // position 0 of 0..1: nothing would change anyway
  bar.SetRange(-100, 0);
  desk.RunUntilIdle();
  EXPECT_EQ(kTrack, At(desk.Snapshot(bar.m_hWnd), kWidth - 1, kHeight / 2)) << "the old picture stays until SetPos";
  bar.SetPos(0);
  EXPECT_EQ(kBar, At(Picture(), kWidth - 1, kHeight / 2));
}

TEST_F(FooProgressTest, MissingPicturesAreToldAndLeaveBlack) {
  ASSERT_TRUE(bar.Create(CRect(10, 10, 10 + kWidth, 10 + kHeight), &host, 1002, u"res\\none.png", u"res\\nobar.png"));
  ASSERT_EQ(2u, desk.Boxes().size());
  EXPECT_EQ(u"背景图片加载失败", desk.Boxes()[0].text);
  EXPECT_EQ(u"进度图片加载失败", desk.Boxes()[1].text);
  EXPECT_TRUE(desk.Boxes()[0].caption.empty());
  EXPECT_EQ(static_cast<UINT>(MB_OK), desk.Boxes()[0].type);
  EXPECT_TRUE(::IsWindow(bar.m_hWnd));
  bar.SetRange(0, 100);
  bar.SetPos(50);
  const QImage image = Picture();
  EXPECT_EQ(RGB(0, 0, 0), At(image, 10, kHeight / 2));
  EXPECT_EQ(RGB(0, 0, 0), At(image, kWidth - 10, kHeight / 2));
}

}  // namespace

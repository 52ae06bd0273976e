// CGifCtrl and GifPlayer on the test desktop: frame timing against the
// shared last change, the status band, the untouched top-right corner,
// files that do not load, frames that do not fit their block, SetText from
// a worker, and destruction.
#include "skin_test_util.h"

#include "controls/gif_control.h"
#include "controls/gif_decoder.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_global_memory.h"
#include "tools/skins/gif_test_writer.h"

#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <thread>

using namespace skintest;

namespace {

constexpr COLORREF kParent = RGB(10, 200, 30);
// Frame colours of the fixture GIFs (0xRRGGBB in the palettes).
constexpr std::uint32_t kFrameRgb[3] = {0xC82828, 0x2828C8, 0x28C828};
COLORREF FrameColor(int i) {
  return RGB((kFrameRgb[i] >> 16) & 0xFF, (kFrameRgb[i] >> 8) & 0xFF, kFrameRgb[i] & 0xFF);
}

// A GIF of `frames` flat 8 x 8 frames, frame i in colour kFrameRgb[i], each
// shown for delay hundredths of a second.
std::string FlatGif(int frames, int delay) {
  giftest::GifWriter g;
  g.Header(8, 8, {kFrameRgb[0], kFrameRgb[1], kFrameRgb[2], 0});
  for (int i = 0; i < frames; ++i) {
    g.Control(delay);
    g.Image(0, 0, 8, 8, giftest::Pixels(64, static_cast<std::uint8_t>(i)));
  }
  return g.Trailer().bytes;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A top-level window in a marker colour holding the control.
class Host : public CWnd {
 public:
  COLORREF color = kParent;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, color);
  }
};

class TestApp : public CWinApp {};

class MediaGif : public ::testing::Test {
 protected:
  void SetUp() override {
    orvtest::UseProgramFonts();
    ASSERT_TRUE(host.CreateEx(0, nullptr, u"host", WS_POPUP | WS_VISIBLE, CRect(0, 0, 340, 440), nullptr, 0));
    GifPlayer::SetLastChangeForTesting(0);
  }
  void TearDown() override {
    if (host.m_hWnd) host.DestroyWindow();
  }
  std::string Gif(const std::string& name, const std::string& bytes) {
    std::string path = temp.Path() + name;
    WriteFile(path, bytes);
    return path;
  }
  void MakeControl(CGifCtrl& ctrl, const std::string& path, int w = 300, int h = 400) {
    ASSERT_TRUE(ctrl.Create(CRect(20, 20, 20 + w, 20 + h), &host, 203, Wide(path).c_str()));
    desk.RunUntilIdle();
  }
  // The control's pixel at its client point.
  COLORREF At(int x, int y) { return PixelOf(desk.Snapshot(host.m_hWnd), 20 + x, 20 + y); }
  void Tick() {
    desk.Advance(100);
    desk.RunUntilIdle();
  }

  TestApp app;
  TestDesktop desk;
  orvtest::TempFolder temp;
  Host host;
};

TEST_F(MediaGif, FramesAdvanceByTheirDisplayTimes) {
  struct Case {
    int frames;
    int delay;
    int after[10];  // frame number after each of ten ticks
  } cases[] = {
      {3, 0, {2, 3, 1, 2, 3, 1, 2, 3, 1, 2}},
      {3, 15, {2, 2, 3, 3, 1, 1, 2, 2, 3, 3}},
      {1, 0, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.frames << " frames, delay " << c.delay);
    GifPlayer::SetLastChangeForTesting(0);
    CGifCtrl ctrl;
    MakeControl(ctrl, Gif("f.gif", FlatGif(c.frames, c.delay)));
    ASSERT_TRUE(ctrl.Player().Loaded());
    EXPECT_EQ(ctrl.Player().CurrentFrame(), 1);
    EXPECT_EQ(ctrl.Player().DisplayTime(), static_cast<DWORD>(c.delay * 10));
    for (int t = 0; t < 10; ++t) {
      Tick();
      EXPECT_EQ(ctrl.Player().CurrentFrame(), c.after[t]) << "tick " << t + 1;
      EXPECT_EQ(At(150, 150), FrameColor(c.after[t] - 1)) << "tick " << t + 1;
    }
    ctrl.DestroyWindow();
  }
}

TEST_F(MediaGif, StatusBandBlendsAndCentresTheText) {
  CGifCtrl ctrl;
  MakeControl(ctrl, Gif("one.gif", FlatGif(1, 0)));
  EXPECT_FALSE(ctrl.PictureReady());
  ctrl.SetText(u"正在连接服务器……");
  EXPECT_EQ(At(5, 395), kParent) << "nothing before the first tick";
  Tick();
  EXPECT_TRUE(ctrl.PictureReady());
  QImage img = desk.Snapshot(host.m_hWnd).copy(20, 20, 300, 400);
  const int band = 400 / 20;
  const COLORREF frame = FrameColor(0);
  const COLORREF mix = RGB((GetRValue(frame) + 0xC0) / 2, (GetGValue(frame) + 0xC0) / 2, (GetBValue(frame) + 0xC0) / 2);
  for (int y : {400 - band, 399}) {
    EXPECT_EQ(CountNear(img, mix, 2, QRect(0, y, 4, 1)), 4) << "row " << y;
  }
  EXPECT_EQ(PixelOf(img, 2, 400 - band - 1), frame) << "the band is h / 20 rows";
  QRect text = BoxOf(img, RGB(0x40, 0x40, 0x40), QRect(0, 400 - band, 300, band));
  ASSERT_FALSE(text.isNull());
  EXPECT_NEAR(text.center().x(), 150, 6);
  EXPECT_EQ(CountNear(img, frame, 0, QRect(0, 0, 300, 400 - band)), 300 * (400 - band) - 25 * 25)
      << "the frame everywhere above the band but in the corner never invalidated";

  ctrl.SetText(u"");
  EXPECT_EQ(PixelOf(desk.Snapshot(host.m_hWnd), 22, 418), mix) << "shown only at the next tick";
  Tick();
  EXPECT_EQ(At(2, 398), frame);
  EXPECT_EQ(CountNear(desk.Snapshot(host.m_hWnd), RGB(0x40, 0x40, 0x40), 30, QRect(20, 400, 300, 20)), 0);
}

TEST_F(MediaGif, LongTextEndsInAnEllipsis) {
  CGifCtrl ctrl;
  MakeControl(ctrl, Gif("one.gif", FlatGif(1, 0)), 160, 400);
  ctrl.SetText(u"正在连接服务器，请稍候，正在连接服务器，请稍候");
  Tick();
  QImage img = desk.Snapshot(host.m_hWnd).copy(20, 400, 160, 20);
  QRect text = BoxOf(img, RGB(0x40, 0x40, 0x40));
  ASSERT_FALSE(text.isNull());
  EXPECT_LE(text.right(), 159);
  // The last columns hold only the last dot, a few rows high; a cut
  // ideograph would reach over most of the line.
  QRect tail = BoxOf(img, RGB(0x40, 0x40, 0x40), QRect(text.right() - 2, 0, 3, 20));
  EXPECT_LE(tail.height(), text.height() / 2);
  EXPECT_GE(text.height(), 10);
}

TEST_F(MediaGif, TopRightCornerIsNeverInvalidated) {
  CGifCtrl ctrl;
  MakeControl(ctrl, Gif("three.gif", FlatGif(3, 0)));
  for (int t = 0; t < 3; ++t) Tick();
  EXPECT_EQ(At(300 - 26, 24), FrameColor(0)) << "left part, top row";
  EXPECT_EQ(At(300 - 25, 25), FrameColor(0)) << "right part below the corner";
  EXPECT_EQ(At(300 - 1, 0), kParent);
  EXPECT_EQ(At(300 - 25, 24), kParent);
  QImage img = desk.Snapshot(host.m_hWnd);
  EXPECT_EQ(CountColor(img, kParent, QRect(20 + 275, 20, 25, 25)), 25 * 25);
}

TEST_F(MediaGif, FilesThatDoNotLoadShowBlackWithTheBand) {
  const std::string bad = Gif("bad.gif", "GIF89a\x08\x00\x08\x00 not really");
  for (const std::string& path : {temp.Path() + "missing.gif", bad}) {
    SCOPED_TRACE(path);
    CGifCtrl ctrl;
    MakeControl(ctrl, path);
    EXPECT_FALSE(ctrl.Player().Loaded());
    ctrl.SetText(u"正在连接服务器……");
    Tick();
    EXPECT_EQ(At(150, 150), RGB(0, 0, 0));
    EXPECT_EQ(CountNear(desk.Snapshot(host.m_hWnd), RGB(0x60, 0x60, 0x60), 2, QRect(20, 418, 4, 1)), 4);
    EXPECT_GT(CountNear(desk.Snapshot(host.m_hWnd), RGB(0x40, 0x40, 0x40), 8, QRect(20, 400, 300, 20)), 10);
    ctrl.DestroyWindow();
  }
}

TEST_F(MediaGif, GifWithoutColourTableDrawsGrey) {
  giftest::GifWriter g;
  g.Header(8, 8, {}).Image(0, 0, 8, 8, giftest::Pixels(64, 100)).Trailer();
  CGifCtrl ctrl;
  MakeControl(ctrl, Gif("grey.gif", g.bytes));
  Tick();
  EXPECT_EQ(At(150, 150), RGB(100, 100, 100));
}

TEST_F(MediaGif, FrameOutsideItsBlockDrawsNothing) {
  std::string bytes = FlatGif(2, 0);
  struct Case {
    const char* what;
    int field;        // byte offset inside frame header 0
    std::uint32_t value;
  } cases[] = {
      {"pixel offset past the end", 16, 0x7FFFFFF0u},
      {"rows running past the end", 4, 5000u},
      {"no such frame header", -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HGLOBAL block = LoadGifFramesFromMemory(bytes.data(), bytes.size());
    ASSERT_NE(block, nullptr);
    auto* p = static_cast<std::uint8_t*>(GlobalLock(block));
    const int n = p[4];
    if (c.field >= 0) {
      std::memcpy(p + 20 + 8 * n + c.field, &c.value, 4);
    } else {
      std::uint32_t frame = 9;
      std::memcpy(p + 20, &frame, 4);  // frame table entry 0 names frame 9
    }
    GlobalUnlock(block);
    GifPlayer player;
    ASSERT_TRUE(player.Adopt(block));
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateBitmap(16, 16, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT rc{0, 0, 16, 16};
    FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(player.DrawFrame(dc, rc), 0);
    EXPECT_EQ(GetPixel(dc, 8, 8), RGB(255, 255, 255));
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
  }
}

TEST_F(MediaGif, RelativeNamesAreJoinedToTheProgramFolder) {
  const std::string name = "media_gif_probe_" + std::to_string(getpid()) + ".gif";
  const std::string inProgram = ProgramFolder() + name;
  WriteFile(inProgram, FlatGif(2, 0));
  {
    CGifCtrl ctrl;
    MakeControl(ctrl, name);
    EXPECT_TRUE(ctrl.Player().Loaded());
    EXPECT_EQ(ctrl.Player().FrameCount(), 2);
  }
  std::remove(inProgram.c_str());
  {
    orvtest::ScopedWorkingFolder here(temp.Path());
    Gif(name, FlatGif(3, 0));
    CGifCtrl ctrl;
    MakeControl(ctrl, name);
    EXPECT_FALSE(ctrl.Player().Loaded()) << "the working folder is not asked";
  }
}

TEST_F(MediaGif, SetTextFromAWorkerWhileTicking) {
  CGifCtrl ctrl;
  MakeControl(ctrl, Gif("three.gif", FlatGif(3, 0)));
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < 1000; ++i) ctrl.SetText(i % 2 ? u"正在连接服务器……" : u"正在登录……" + WString(1, u'0' + i % 10));
    done = true;
  });
  while (!done) Tick();
  worker.join();
  ctrl.SetText(u"完成");
  Tick();
  EXPECT_GT(CountNear(desk.Snapshot(host.m_hWnd), RGB(0x40, 0x40, 0x40), 8, QRect(20, 400, 300, 20)), 5);
}

TEST_F(MediaGif, DestroyWindowStopsTheTicks) {
  CGifCtrl ctrl;
  MakeControl(ctrl, Gif("three.gif", FlatGif(3, 0)));
  Tick();
  EXPECT_EQ(ctrl.Player().CurrentFrame(), 2);
  EXPECT_TRUE(ctrl.DestroyWindow());
  EXPECT_EQ(ctrl.m_hWnd, nullptr);
  EXPECT_FALSE(ctrl.Player().Loaded());
  EXPECT_FALSE(ctrl.PictureReady());
  const DWORD last = GifPlayer::LastChange();
  Tick();
  Tick();
  EXPECT_EQ(GifPlayer::LastChange(), last);
}

TEST_F(MediaGif, SnapshotOfTheLoginBanner) {
  host.color = RGB(12, 22, 48);  // the login dialog's dark frame around the banner
  host.MoveWindow(0, 0, 623, 310);
  CGifCtrl ctrl;
  MakeControl(ctrl, orvtest::BuildProgramFolder() + "login_res/VexloStart.gif", 583, 270);
  ASSERT_TRUE(ctrl.Player().Loaded());
  ctrl.SetText(u"正在连接服务器……");
  for (int t = 0; t < 4; ++t) Tick();
  QImage img = desk.Snapshot(host.m_hWnd).copy(20, 20, 583, 270);
  EXPECT_TRUE(img.save(QString::fromStdString(std::string(ORV_BINARY_DIR) + "/media_gif_banner.png")));
}

}  // namespace

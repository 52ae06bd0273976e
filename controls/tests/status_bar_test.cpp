// The status bar and its banner on the test desktop: part layout, notices
// to the parent, pixels of every part, the banner's reveal and scroll on the
// driven clock, picture failures and writers on other threads.
#include "controls/status_bar.h"

#include "controls/control_messages.h"
#include "controls/tests/panels_test_util.h"
#include "controls/tests/resource_fixture.h"

#include <atomic>
#include <thread>

namespace {

using panels::CountNear;
using panels::InInput;
using panels::Notice;
using panels::PixelAt;
using panels::Recorder;

constexpr int kBarHeight = 20;
constexpr COLORREF kBackground = RGB(20, 30, 60);
constexpr COLORREF kSeparator = RGB(90, 200, 90);
constexpr COLORREF kBannerText = RGB(235, 177, 0);

// Counts how deep it is inside its own input handlers, so the recorder can
// tell sent notices from posted ones.
class TestStatus : public FooStatus {
 public:
  FooBanner* Banner() { return dynamic_cast<FooBanner*>(CWnd::FromHandlePermanent(::GetDlgItem(m_hWnd, kBannerId))); }

 protected:
  void OnLButtonDown(UINT flags, CPoint point) override {
    InInput in;
    FooStatus::OnLButtonDown(flags, point);
  }
  void OnLButtonDblClk(UINT flags, CPoint point) override {
    InInput in;
    FooStatus::OnLButtonDblClk(flags, point);
  }
};

// A bar whose creation skips the bar's own set-up: no layout, no banner.
class BareStatus : public FooStatus {
 protected:
  int OnCreate(LPCREATESTRUCT cs) override { return CWnd::OnCreate(cs); }
};

// A flat picture of one colour (the probe's cells and markers painted over).
bool WriteFlat(const std::string& path, int w, int h, COLORREF color) {
  orvtest::ProbePicture p = orvtest::Probe(w, h);
  p.keyed = {RECT{0, 0, w, h}};
  p.keyColor = color;
  return orvtest::WriteProbePicture(path, p);
}

class StatusBarTest : public ::testing::Test {
 protected:
  TestDesktop desk;
  orvtest::TempFolder folder;
  std::unique_ptr<orvtest::ScopedWorkingFolder> working;
  Recorder parent;

  void SetUp() override {
    orvtest::UseProgramFonts();
    ASSERT_FALSE(folder.Path().empty());
    ASSERT_TRUE(WriteFlat(folder.Path() + "res/status.png", 100, 20, kBackground));
    ASSERT_TRUE(WriteFlat(folder.Path() + "res/statusgap.png", 2, 20, kSeparator));
    working = std::make_unique<orvtest::ScopedWorkingFolder>(folder.Path());
    ASSERT_TRUE(working->Ok());
    parent.watch = {WM_STATUS_LABEL_CLICK, WM_STATUS_DBLCLK};
    ASSERT_TRUE(parent.Make(0, 100, 1700, 100));
  }

  // Created as the main frame does (empty rectangle, id 0), then sized.
  void Make(FooStatus& bar, int width) {
    ASSERT_TRUE(bar.Create(CRect(0, 0, 0, 0), &parent, 0, u"res\\status.png", u"res\\statusgap.png"));
    bar.MoveWindow(0, 0, width, kBarHeight);
    desk.RunUntilIdle();
  }
  QImage Shot(HWND hwnd) {
    desk.RunUntilIdle();
    return desk.Snapshot(hwnd);
  }
};

TEST_F(StatusBarTest, PartRectanglesFollowTheWidth) {
  struct Case {
    const char* name;
    int width, index;
    RECT expected;
  };
  const Case cases[] = {
      {"600: label", 600, 0, {0, 0, 60, 20}},
      {"600: Shanghai", 600, 1, {60, 0, 340, 20}},
      {"600: Shenzhen", 600, 2, {340, 0, 620, 20}},
      {"600: no banner", 600, 3, {0, 0, 0, 20}},
      {"600: no status", 600, 4, {0, 0, 0, 20}},
      {"620: no banner", 620, 3, {0, 0, 0, 20}},
      {"620: no status", 620, 4, {0, 0, 0, 20}},
      {"620: Shenzhen", 620, 2, {340, 0, 620, 20}},
      {"700: banner 0 px", 700, 3, {620, 0, 620, 20}},
      {"700: status from 620", 700, 4, {620, 0, 700, 20}},
      {"1000: label", 1000, 0, {0, 0, 60, 20}},
      {"1000: banner", 1000, 3, {620, 0, 800, 20}},
      {"1000: status", 1000, 4, {800, 0, 1000, 20}},
  };
  for (const Case& c : cases) {
    TestStatus bar;
    Make(bar, c.width);
    RECT rc{-7, -7, -7, -7};
    EXPECT_EQ(bar.GetPartRect(c.index, &rc), 1) << c.name;
    EXPECT_EQ(CRect(rc), CRect(c.expected)) << c.name;
  }
  TestStatus bar;
  Make(bar, 1000);
  // The banner sits in its part shrunk by 3 pixels left and right.
  CRect banner;
  ::GetWindowRect(bar.Banner()->m_hWnd, &banner);
  bar.ScreenToClient(&banner);
  EXPECT_EQ(banner, CRect(623, 0, 797, 20));

  const RECT sentinel{-7, -7, -7, -7};
  struct Bad {
    const char* name;
    int index;
    bool nullRect;
  };
  for (const Bad& b : {Bad{"negative", -1, false}, Bad{"past the count", 5, false}, Bad{"no rectangle", 1, true}}) {
    RECT rc = sentinel;
    EXPECT_EQ(bar.GetPartRect(b.index, b.nullRect ? nullptr : &rc), 0) << b.name;
    EXPECT_EQ(CRect(rc), CRect(sentinel)) << b.name;
  }
  const int values[] = {10, 20, 30, 40, 50};
  EXPECT_EQ(bar.SetParts(0, values), 0);
  EXPECT_EQ(bar.SetParts(-1, values), 0);
  EXPECT_EQ(bar.SetParts(3, nullptr), 0);
  EXPECT_EQ(bar.SetParts(2, values), 0);  // v[n-3] would be read before the array
  RECT rc{};
  EXPECT_EQ(bar.GetPartRect(4, &rc), 1);
  EXPECT_EQ(CRect(rc), CRect(800, 0, 1000, 20)) << "the layout stayed as created";
  // Three values: label, one part in the middle, the last part.
  const int three[] = {100, 0, 300};
  EXPECT_EQ(bar.SetParts(3, three), 1);
  EXPECT_EQ(bar.GetPartRect(1, &rc), 1);
  EXPECT_EQ(CRect(rc), CRect(100, 0, 700, 20));
  EXPECT_EQ(bar.GetPartRect(3, &rc), 0);
}

TEST_F(StatusBarTest, PressesAndDoubleClicksAreSentToTheParent) {
  TestStatus bar;
  Make(bar, 1000);
  bar.AddMarqueeText(u"一");
  bar.AddMarqueeText(u"二");
  FooBanner* banner = bar.Banner();
  ASSERT_NE(banner, nullptr);
  // Let the first text leave the banner so the second is on show.
  for (int i = 0; i < 400 && banner->GetCurrentIndex() == 0; ++i) desk.Advance(100);
  ASSERT_EQ(banner->GetCurrentIndex(), 1);

  desk.Click(bar.m_hWnd, 30, 10);
  desk.Click(bar.m_hWnd, 100, 10);  // a press outside the label says nothing
  struct Case {
    const char* name;
    int x;
    WPARAM part;
    LPARAM index;
  };
  const Case cases[] = {{"Shanghai", 100, 0, 0}, {"Shenzhen", 400, 1, 0}, {"banner", 700, 2, 1}, {"status", 900, 3, 0}};
  // The clock moves on between gestures, so no two make one double click;
  // the banner stays on its second text meanwhile.
  for (const Case& c : cases) {
    desk.Advance(600);
    desk.DoubleClick(bar.m_hWnd, c.x, 10);
  }
  desk.Advance(600);
  desk.DoubleClick(bar.m_hWnd, 30, 10);  // the label's double click: its press only

  std::vector<Notice> labels = parent.Of(WM_STATUS_LABEL_CLICK);
  ASSERT_EQ(labels.size(), 2u);
  for (const Notice& n : labels) {
    EXPECT_EQ(n.wParam, 0u);
    EXPECT_EQ(n.lParam, 0);
    EXPECT_TRUE(n.sent);
  }
  std::vector<Notice> doubles = parent.Of(WM_STATUS_DBLCLK);
  ASSERT_EQ(doubles.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(doubles[i].wParam, cases[i].part) << cases[i].name;
    EXPECT_EQ(doubles[i].lParam, cases[i].index) << cases[i].name;
    EXPECT_TRUE(doubles[i].sent) << cases[i].name;
  }
}

TEST_F(StatusBarTest, PaintsSeparatorsLabelBlocksAndStatus) {
  TestStatus bar;
  Make(bar, 1000);
  const COLORREF sh[3] = {RGB(255, 60, 60), RGB(60, 120, 255), RGB(255, 120, 255)};
  const COLORREF sz[3] = {RGB(0, 218, 56), RGB(0, 230, 230), RGB(250, 250, 90)};
  bar.SetShanghaiTexts(u"8888.88", u"88.88", u"8.88%", u"8888亿");
  bar.SetShanghaiColors(sh[0], sh[1], sh[2]);
  bar.SetShenzhenTexts(u"8888.88", u"88.88", u"8.88%", u"8888亿");
  bar.SetShenzhenColors(sz[0], sz[1], sz[2]);
  const COLORREF statusColor = RGB(120, 255, 255);
  bar.SetStatusText(u"行情已连接", statusColor);
  bar.Invalidate(FALSE);  // the status text does not repaint by itself
  QImage img = Shot(bar.m_hWnd);

  for (int x : {59, 60, 339, 340, 619, 620, 799, 800})
    EXPECT_EQ(PixelAt(img, x, 10), kSeparator) << "separator at " << x;
  EXPECT_EQ(PixelAt(img, 58, 10), kBackground);
  EXPECT_EQ(PixelAt(img, 61, 10), kBackground);
  EXPECT_GT(CountNear(img, RGB(255, 0, 0), RECT{2, 1, 58, 19}), 0) << "the label in red";

  // Columns of a block from its part's left edge + 3: caption 28, values
  // 64, 54 and 48 px, value 4 80 px.
  auto block = [&](int left, const COLORREF colors[3], const char* name) {
    const int x0 = left + 3;
    const RECT columns[5] = {{x0, 1, x0 + 28, 19},
                             {x0 + 28, 1, x0 + 92, 19},
                             {x0 + 92, 1, x0 + 146, 19},
                             {x0 + 146, 1, x0 + 194, 19},
                             {x0 + 194, 1, x0 + 274, 19}};
    EXPECT_GT(CountNear(img, RGB(216, 216, 216), columns[0]), 0) << name << " caption";
    EXPECT_GT(CountNear(img, RGB(216, 216, 216), columns[4]), 0) << name << " value 4";
    for (int v = 0; v < 3; ++v)
      for (int col = 0; col < 5; ++col) {
        int n = CountNear(img, colors[v], columns[col], 16);
        if (col == v + 1)
          EXPECT_GT(n, 0) << name << " value " << v + 1 << " in its column";
        else
          EXPECT_EQ(n, 0) << name << " value " << v + 1 << " outside its column " << col;
      }
  };
  block(60, sh, "Shanghai");
  block(340, sz, "Shenzhen");
  EXPECT_GT(CountNear(img, statusColor, RECT{803, 1, 997, 19}), 0) << "status text";

  // Without a layout (and so without the banner) only the background.
  BareStatus bare;
  ASSERT_TRUE(bare.Create(CRect(0, 30, 1000, 50), &parent, 0, u"res\\status.png", u"res\\statusgap.png"));
  bare.SetShanghaiTexts(u"1", u"2", u"3", u"4");
  QImage plain = Shot(bare.m_hWnd);
  EXPECT_EQ(CountNear(plain, kBackground, RECT{0, 0, 1000, 20}, 0), 1000 * 20);
}

TEST_F(StatusBarTest, ValuesAreCutAt63Characters) {
  TestStatus bar;
  Make(bar, 1600);
  // A wide status part, so that more than 63 characters would show (the
  // banner's part shrinks to nothing on the next size).
  const int layout[5] = {60, 340, 620, 0, 970};
  ASSERT_EQ(bar.SetParts(5, layout), 1);
  bar.MoveWindow(0, 0, 1590, kBarHeight);
  WString longText;
  for (int i = 0; i < 100; ++i) longText += static_cast<WCHAR>(u'0' + i % 10);
  auto statusPart = [&](const WString& text) {
    bar.SetStatusText(text.c_str(), RGB(255, 255, 255));
    bar.Invalidate(FALSE);
    return Shot(bar.m_hWnd).copy(620, 0, 970, kBarHeight);
  };
  QImage cut = statusPart(longText);
  EXPECT_EQ(cut, statusPart(longText.substr(0, 63)));
  EXPECT_NE(cut, statusPart(longText.substr(0, 62)));
  EXPECT_GT(CountNear(cut, RGB(255, 255, 255), RECT{0, 0, 970, 20}), 0);
}

// The banner's columns of text pixels (rows 2 to 17).
std::pair<int, int> BannerText(const QImage& img) { return panels::ColumnsOf(img, kBannerText, 2, 18); }

TEST_F(StatusBarTest, BannerRevealsScrollsAndWraps) {
  TestStatus bar;
  Make(bar, 1000);
  FooBanner* banner = bar.Banner();
  ASSERT_NE(banner, nullptr);
  const HWND bh = banner->m_hWnd;
  constexpr int kWidth = 174;

  // An empty list: only the background, however long it runs.
  for (int i = 0; i < 5; ++i) desk.Advance(100);
  QImage empty = Shot(bh);
  ASSERT_EQ(empty.width(), kWidth);
  EXPECT_EQ(CountNear(empty, kBackground, RECT{0, 1, kWidth, 19}, 0), kWidth * 18);

  // Texts added later start with the first one, uncovered 5 px per tick.
  bar.AddMarqueeText(u"行情快讯");
  bar.AddMarqueeText(u"公告");
  bar.AddMarqueeText(u"新闻");
  desk.Advance(100);
  auto first = BannerText(Shot(bh));
  ASSERT_GE(first.second, 0);
  EXPECT_LT(first.second, 5);
  for (int tick = 2; tick <= 8; ++tick) {
    desk.Advance(100);
    auto span = BannerText(Shot(bh));
    EXPECT_LT(span.second, 5 * tick) << tick;
    EXPECT_GE(span.second, 5 * tick - 8) << tick;
    EXPECT_EQ(span.first, first.first) << tick;
  }
  // Wholly uncovered, it stays in place until the reveal passes the width.
  for (int tick = 9; tick <= 30; ++tick) desk.Advance(100);
  auto still = BannerText(Shot(bh));
  for (int tick = 31; tick <= 34; ++tick) desk.Advance(100);
  EXPECT_EQ(BannerText(Shot(bh)), still);
  // Then it moves left 5 px per tick.
  desk.Advance(100);
  auto moved = BannerText(Shot(bh));
  EXPECT_EQ(moved.second, still.second - 5);
  desk.Advance(100);
  EXPECT_EQ(BannerText(Shot(bh)).second, still.second - 10);
  EXPECT_EQ(banner->GetCurrentIndex(), 0);

  // Until it has left; the next text follows from the left.
  int ticks = 0;
  while (banner->GetCurrentIndex() == 0 && ++ticks < 100) desk.Advance(100);
  ASSERT_EQ(banner->GetCurrentIndex(), 1);
  EXPECT_EQ(BannerText(Shot(bh)).second, -1) << "the old text has left, the new one not yet begun";
  desk.Advance(100);
  auto second = BannerText(Shot(bh));
  EXPECT_GE(second.second, 0);
  EXPECT_LT(second.second, 5);

  // After the last text the first comes again.
  std::vector<int> seen;
  for (int i = 0; i < 400 && seen.size() < 2; ++i) {
    desk.Advance(100);
    int index = banner->GetCurrentIndex();
    if (index != (seen.empty() ? 1 : seen.back())) seen.push_back(index);
  }
  EXPECT_EQ(seen, (std::vector<int>{2, 0}));
}

TEST_F(StatusBarTest, ReplacingTheListWhileATextIsOnShowStartsTheNewOne) {
  TestStatus bar;
  Make(bar, 1000);
  FooBanner* banner = bar.Banner();
  for (const char16_t* t : {u"一", u"二", u"三", u"四", u"五"}) bar.AddMarqueeText(t);
  for (int i = 0; i < 1000 && banner->GetCurrentIndex() != 2; ++i) desk.Advance(100);
  ASSERT_EQ(banner->GetCurrentIndex(), 2);
  for (int i = 0; i < 10; ++i) desk.Advance(100);  // the third text is on show
  bar.ClearMarquee();
  EXPECT_EQ(banner->GetCurrentIndex(), 0);
  bar.AddMarqueeText(u"新消息到达");
  desk.Advance(100);
  auto span = BannerText(Shot(banner->m_hWnd));
  EXPECT_GE(span.second, 0);
  EXPECT_LT(span.second, 5) << "the new text starts from the left";
  EXPECT_EQ(banner->GetCurrentIndex(), 0);
  // Null texts are empty texts.
  bar.ClearMarquee();
  bar.AddMarqueeText(nullptr);
  for (int i = 0; i < 40; ++i) desk.Advance(100);
  EXPECT_EQ(banner->GetCurrentIndex(), 0);
}

TEST_F(StatusBarTest, MissingPicturesAreReportedAndTheBarStillWorks) {
  AfxSetAppName(u"Orvenna证券VIP终端");
  struct Case {
    const char* name;
    const char16_t* background;
    const char16_t* separator;
    const char16_t* message;
  };
  const Case cases[] = {
      {"background", u"res\\none.png", u"res\\statusgap.png", u"背景图片加载失败"},
      {"separator", u"res\\status.png", u"res\\none.png", u"分隔条图片加载失败"},
  };
  for (const Case& c : cases) {
    size_t before = desk.Boxes().size();
    TestStatus bar;
    ASSERT_TRUE(bar.Create(CRect(0, 0, 0, 0), &parent, 0, c.background, c.separator)) << c.name;
    ASSERT_EQ(desk.Boxes().size(), before + 1) << c.name;
    EXPECT_EQ(desk.Boxes().back().text, WString(c.message)) << c.name;
    EXPECT_EQ(desk.Boxes().back().caption, WString(u"Orvenna证券VIP终端")) << c.name;
    bar.MoveWindow(0, 0, 1000, kBarHeight);
    QImage img = Shot(bar.m_hWnd);
    EXPECT_GT(CountNear(img, RGB(255, 0, 0), RECT{2, 1, 58, 19}), 0) << c.name << ": the label still paints";
    // Without a background a changed text must not leave the old one behind.
    bar.SetStatusText(u"行情已连接", RGB(255, 255, 255));
    bar.Invalidate(FALSE);
    EXPECT_GT(CountNear(Shot(bar.m_hWnd), RGB(255, 255, 255), RECT{803, 1, 997, 19}), 0) << c.name;
    bar.SetStatusText(u"", RGB(255, 255, 255));
    bar.Invalidate(FALSE);
    EXPECT_EQ(CountNear(Shot(bar.m_hWnd), RGB(255, 255, 255), RECT{803, 1, 997, 19}), 0) << c.name;
  }
}

TEST_F(StatusBarTest, WritersOnOtherThreadsWhileTheBarPaints) {
  TestStatus bar;
  Make(bar, 1000);
  std::atomic<int> finished{0};
  std::thread quotes([&] {
    for (int i = 0; i < 1000; ++i) {
      WString v = u"3" + WString(1, static_cast<WCHAR>(u'0' + i % 10)) + u"00.00";
      bar.SetShanghaiTexts(v.c_str(), u"1.00", u"0.10%", u"100亿");
      bar.SetShanghaiColors(RGB(255, 0, 0), RGB(255, 0, 0), RGB(255, 0, 0));
      bar.SetShenzhenTexts(v.c_str(), u"-1.00", u"-0.10%", u"90亿");
      bar.SetStatusText(u"行情已连接", RGB(255, 255, 255));
    }
    bar.SetShanghaiColors(RGB(0, 218, 56), RGB(0, 218, 56), RGB(0, 218, 56));
    ++finished;
  });
  std::thread marquee([&] {
    for (int i = 0; i < 300; ++i) {
      bar.ClearMarquee();
      for (int k = 0; k < 3; ++k) bar.AddMarqueeText(u"滚动新闻");
    }
    ++finished;
  });
  while (finished < 2) {
    desk.Advance(100);
    desk.RunUntil([&] { return finished == 2; }, 1);
  }
  quotes.join();
  marquee.join();
  QImage img = Shot(bar.m_hWnd);
  EXPECT_GT(CountNear(img, RGB(0, 218, 56), RECT{91, 1, 155, 19}, 16), 0) << "the last colours are shown";
  EXPECT_EQ(CountNear(img, RGB(255, 0, 0), RECT{91, 1, 155, 19}, 16), 0);
}

TEST_F(StatusBarTest, Snapshots) {
  // The generated skins of the program folder.
  orvtest::ScopedWorkingFolder program(orvtest::BuildProgramFolder());
  ASSERT_TRUE(program.Ok());
  struct Case {
    const char* file;
    int width;
  };
  for (const Case& c : {Case{"panels_status_1000.png", 1000}, Case{"panels_status_600.png", 600}}) {
    TestStatus bar;
    ASSERT_TRUE(bar.Create(CRect(0, 0, 0, 0), &parent, 0, u"res\\status.png", u"res\\statusgap.png"));
    bar.MoveWindow(0, 0, c.width, kBarHeight);
    bar.SetShanghaiTexts(u"3245.67", u"12.34", u"0.38%", u"4321亿");
    bar.SetShanghaiColors(RGB(255, 0, 0), RGB(255, 0, 0), RGB(255, 0, 0));
    bar.SetShenzhenTexts(u"10123.45", u"-45.67", u"-0.45%", u"5678亿");
    bar.SetShenzhenColors(RGB(0, 218, 56), RGB(0, 218, 56), RGB(0, 218, 56));
    bar.SetStatusText(u"行情主站已连接", RGB(216, 216, 216));
    bar.AddMarqueeText(u"沪深两市成交额连续三日突破万亿元");
    for (int i = 0; i < 45; ++i) desk.Advance(100);  // mid-scroll
    desk.RunUntilIdle();
    EXPECT_TRUE(desk.SavePng(bar.m_hWnd, panels::SnapshotPath(c.file))) << c.file;
  }
}

}  // namespace

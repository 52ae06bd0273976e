// CIndexToolsBar on the test desktop: the tabs that fit and the ">>" menu,
// the bar before its first size, click boundaries, the item operations,
// both colour schemes, bad input and a worker changing the texts while the
// UI thread paints and clicks.
#include "charts/index_tools_bar.h"
#include "charts/tests/indicator_ui_support.h"

#include "platform/kernel/kernel_thread.h"

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

using namespace indicatorui;

namespace {

constexpr const WCHAR* kKLineTabs = u"MACD,BOLL,KDJ,RSI,WR,BIAS,CCI,DMA,BRAR,PSY";
constexpr COLORREF kRed = RGB(255, 0, 0), kGrey = RGB(0xAA, 0xAA, 0xAA), kBlack = RGB(0, 0, 0);

// Records what each paint was asked to cover and whether it erased.
class ProbedBar : public CIndexToolsBar {
 public:
  std::vector<CRect> painted;
  int erases = 0;
  void Draw(CDC* dc) override {
    CRect box;
    dc->GetClipBox(&box);
    painted.push_back(box);
    CIndexToolsBar::Draw(dc);
  }
  BOOL OnEraseBkgnd(CDC* dc) override {
    ++erases;
    return CIndexToolsBar::OnEraseBkgnd(dc);
  }
};

class IndexToolsBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseProgramFonts();
    ASSERT_TRUE(parent.Make(600, 100));
  }
  void Make(int width, const WCHAR* items = kKLineTabs) {
    bar.SetItems(items);
    ASSERT_TRUE(bar.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(10, 10, 10 + width, 34), &parent, 77));
    desk.RunUntilIdle();
  }
  QImage Picture() {
    desk.RunUntilIdle();
    return desk.Snapshot(bar.m_hWnd);
  }
  // Text drawn in c inside r: a few pixels of c blended over black.
  static bool HasText(const QImage& img, COLORREF c, QRect r) { return CountTinted(img, c, r) >= 4; }

  TestDesktop desk;
  RecordingParent parent;
  ProbedBar bar;
};

TEST_F(IndexToolsBarTest, TenTabsInFourHundredPixelsOverflowIntoTheMenu) {
  Make(400);
  bar.SetCurSel(8);
  EXPECT_EQ(bar.GetVisibleCount(), 7);  // (400 - 20) / 50
  QImage img = Picture();
  // Seven outlined tabs, the ">>" button at 350 ... 370, nothing after it.
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(PixelOf(img, i * 50, 12), kRed) << i;
    EXPECT_TRUE(HasText(img, kGrey, QRect(i * 50 + 2, 2, 46, 20))) << i;
  }
  EXPECT_EQ(PixelOf(img, 350, 12), kRed);
  EXPECT_EQ(PixelOf(img, 369, 12), kRed);
  EXPECT_TRUE(HasText(img, kGrey, QRect(352, 2, 16, 20)));
  EXPECT_EQ(CountNear(img, kRed, 0, QRect(371, 0, 29, 24)), 0);
  ASSERT_TRUE(img.save(QString::fromStdString(SnapshotPath("index_tools_bar_dark.png"))));

  // The menu lists 7, 8 and 9, the selected 8 checked; choosing 8 posts it.
  std::vector<UINT> ids, states;
  desk.Until([] { return MenuWindow() != nullptr; });
  desk.Then([&] {
    CMenuEx* menu = bar.MoreMenu();
    for (UINT i = 0; menu && i < menu->GetMenuItemCount(); ++i) {
      ids.push_back(menu->GetMenuItemID(static_cast<int>(i)));
      states.push_back(menu->GetMenuState(i, MF_BYPOSITION));
    }
  });
  desk.Then([&] { desk.Key(VK_DOWN); });
  desk.Then([&] { desk.Key(VK_DOWN); });
  desk.Then([&] { desk.Key(VK_RETURN); });
  bar.SetCurSel(8);
  desk.Click(bar.m_hWnd, 360, 12);
  desk.RunUntilIdle();
  EXPECT_FALSE(desk.StepsTimedOut());
  EXPECT_EQ(ids, (std::vector<UINT>{7, 8, 9}));
  ASSERT_EQ(states.size(), 3u);
  EXPECT_EQ(states[0] & MF_CHECKED, 0u);
  EXPECT_NE(states[1] & MF_CHECKED, 0u);
  EXPECT_EQ(states[2] & MF_CHECKED, 0u);
  ASSERT_EQ(parent.notices.size(), 1u);
  EXPECT_EQ(parent.notices[0].bar, reinterpret_cast<WPARAM>(static_cast<CIndexToolsBar*>(&bar)));
  EXPECT_EQ(parent.notices[0].index, 8);
  EXPECT_EQ(bar.GetCurSel(), 8);
}

TEST_F(IndexToolsBarTest, BeforeTheFirstSizeEveryTabIsDrawnAndOnlyTheMenuAnswers) {
  Make(400, u"VOL,MACD,KDJ");
  bar.SetVisibleCount(0);  // as before the first WM_SIZE
  bar.Invalidate();
  QImage img = Picture();
  EXPECT_TRUE(HasText(img, RGB(0, 0xEE, 0xEE), QRect(2, 2, 46, 20)));  // selection 0
  for (int i = 1; i < 3; ++i) EXPECT_TRUE(HasText(img, kGrey, QRect(i * 50 + 2, 2, 46, 20))) << i;
  // One empty tab width after the last tab: the button at 200 ... 220.
  EXPECT_EQ(CountNear(img, kRed, 0, QRect(151, 1, 48, 22)), 0);
  EXPECT_EQ(PixelOf(img, 200, 12), kRed);
  EXPECT_EQ(PixelOf(img, 219, 12), kRed);
  EXPECT_TRUE(HasText(img, kGrey, QRect(202, 2, 16, 20)));

  desk.Click(bar.m_hWnd, 60, 12);  // no tab takes a click
  desk.RunUntilIdle();
  EXPECT_TRUE(parent.notices.empty());
  EXPECT_EQ(bar.GetCurSel(), 0);

  std::vector<UINT> ids;
  desk.Until([] { return MenuWindow() != nullptr; });
  desk.Then([&] {
    for (UINT i = 0; i < bar.MoreMenu()->GetMenuItemCount(); ++i)
      ids.push_back(bar.MoreMenu()->GetMenuItemID(static_cast<int>(i)));
  });
  desk.Then([&] { desk.Key(VK_ESCAPE); });
  desk.Click(bar.m_hWnd, 10, 12);
  desk.RunUntilIdle();
  EXPECT_EQ(ids, (std::vector<UINT>{0, 1, 2}));
  EXPECT_TRUE(parent.notices.empty());  // dismissing chooses nothing
}

TEST_F(IndexToolsBarTest, ClicksOnTabsAndOnTheBoundaries) {
  Make(400);
  bar.SetCurSel(2);
  desk.RunUntilIdle();
  // x = n × t and n × t + 20 are neither a tab nor the button.
  for (int x : {350, 370, 390}) desk.Click(bar.m_hWnd, x, 12);
  desk.RunUntilIdle();
  EXPECT_TRUE(parent.notices.empty());
  EXPECT_EQ(bar.MoreMenu(), nullptr);
  EXPECT_EQ(bar.GetCurSel(), 2);

  // Tab 4: only the old and the new tab are painted, without erasing.
  bar.painted.clear();
  bar.erases = 0;
  desk.Click(bar.m_hWnd, 230, 12);
  ASSERT_FALSE(bar.painted.empty());
  EXPECT_EQ(bar.painted.front(), CRect(100, 0, 250, 24));
  EXPECT_EQ(bar.erases, 0);
  EXPECT_EQ(bar.GetCurSel(), 4);
  // The tab already selected posts again; the last pixel of tab 6 counts.
  desk.Click(bar.m_hWnd, 200, 12);
  desk.Click(bar.m_hWnd, 349, 12);
  desk.RunUntilIdle();
  ASSERT_EQ(parent.notices.size(), 3u);
  EXPECT_EQ(parent.notices[0].index, 4);
  EXPECT_EQ(parent.notices[1].index, 4);
  EXPECT_EQ(parent.notices[2].index, 6);
}

TEST_F(IndexToolsBarTest, ItemOperations) {
  Make(600);
  EXPECT_EQ(bar.GetItemCount(), 10);
  // Every tab fits: the place of the ">>" button offers no empty menu.
  desk.Click(bar.m_hWnd, 510, 12);
  EXPECT_EQ(bar.MoreMenu(), nullptr);
  EXPECT_STREQ(bar.GetItemText(9), "PSY");
  EXPECT_STREQ(bar.GetItemText(10), "");
  EXPECT_STREQ(bar.GetItemText(-1), "");

  // Index = count changes nothing; an inner one keeps its neighbours.
  bar.SetItemText(10, u"X");
  bar.SetItemText(-1, u"X");
  EXPECT_EQ(bar.GetItemCount(), 10);
  bar.SetItemText(1, u"除权");
  EXPECT_STREQ(bar.GetItemText(0), "MACD");
  EXPECT_STREQ(bar.GetItemText(1), "除权");
  EXPECT_STREQ(bar.GetItemText(2), "KDJ");
  EXPECT_STREQ(bar.GetItemText(9), "PSY");

  // CopyItemText cuts before a character that does not fit.
  char small[6];
  EXPECT_EQ(bar.CopyItemText(1, small, sizeof small), 3);  // "除" is 3 bytes, "权" would end at 6
  EXPECT_STREQ(small, "除");
  EXPECT_EQ(bar.CopyItemText(42, small, sizeof small), 0);
  EXPECT_STREQ(small, "");

  bar.SetCurSel(3);
  bar.SelectItemByName("MACD[指标参数调整]");
  EXPECT_EQ(bar.GetCurSel(), 0);
  bar.SelectItemByName("OBV[指标参数调整]");
  EXPECT_EQ(bar.GetCurSel(), 0);
  bar.SelectItemByName(nullptr);
  EXPECT_EQ(bar.GetCurSel(), 0);

  // A shorter list keeps the selection, and the visible count until a size.
  bar.SetCurSel(8);
  bar.SetItems(u"1分,5分,日线");
  EXPECT_EQ(bar.GetItemCount(), 3);
  EXPECT_EQ(bar.GetCurSel(), 8);
  EXPECT_EQ(bar.GetVisibleCount(), 10);
  EXPECT_EQ(bar.GetItemRect(2), CRect(100, 0, 150, 24));
  bar.ReleaseItems();
  EXPECT_EQ(bar.GetItemCount(), 0);
  EXPECT_STREQ(bar.GetItemText(0), "");
}

struct SchemeCase {
  const char* name;
  int light;
  int frame;
  uint32_t frameColor, textColor, selectedColor;
};

TEST_F(IndexToolsBarTest, SchemesAndTheFrame) {
  Make(400);
  const SchemeCase cases[] = {
      {"dark", 0, 0, 0xFF0000, 0xAAAAAA, 0x00EEEE},
      {"dark framed", 0, 1, 0xFF0000, 0xAAAAAA, 0x00EEEE},
      {"light", 1, 0, 0x7CEEEE, 0x7CEEEE, 0xDADC33},
      {"light framed", 1, 1, 0x7CEEEE, 0x7CEEEE, 0xDADC33},
  };
  for (const SchemeCase& c : cases) {
    SCOPED_TRACE(c.name);
    bar.SetLightScheme(c.light);
    bar.SetDrawFrame(c.frame);
    bar.SetCurSel(1);
    QImage img = Picture();
    EXPECT_EQ(PixelOf(img, 0, 12), Rgb(c.frameColor));    // tab outline
    EXPECT_TRUE(HasText(img, Rgb(c.selectedColor), QRect(52, 2, 46, 20)));
    EXPECT_FALSE(HasText(img, Rgb(c.selectedColor), QRect(2, 2, 46, 20)));
    EXPECT_TRUE(HasText(img, Rgb(c.textColor), QRect(102, 2, 46, 20)));
    // The ">>" button keeps its colours in both schemes.
    EXPECT_EQ(PixelOf(img, 360, 0), kRed);
    EXPECT_TRUE(HasText(img, kGrey, QRect(352, 2, 16, 20)));
    // Right of the button only the frame, when asked for.
    EXPECT_EQ(PixelOf(img, 385, 0), c.frame ? Rgb(c.frameColor) : kBlack);
    EXPECT_EQ(PixelOf(img, 399, 12), c.frame ? Rgb(c.frameColor) : kBlack);
    EXPECT_EQ(PixelOf(img, 385, 12), kBlack);
    if (c.light && !c.frame) {
      ASSERT_TRUE(img.save(QString::fromStdString(SnapshotPath("index_tools_bar_light.png"))));
    }
  }
}

TEST_F(IndexToolsBarTest, BadInputNeitherCrashesNorOverruns) {
  Make(400);
  std::u16string many, longItems;
  for (int i = 0; i < 500; ++i) many += (i ? u"," : u"") + std::u16string(u"指标");
  for (int i = 0; i < 3; ++i) longItems += (i ? u"," : u"") + std::u16string(200, u'长');
  struct ItemsCase {
    const char* name;
    const WCHAR* text;
    int count;
  } cases[] = {
      {"null", nullptr, 0},      {"empty", u"", 0},           {"commas", u",,,", 3},
      {"500", many.c_str(), 500}, {"200 characters", longItems.c_str(), 3},
  };
  for (const ItemsCase& c : cases) {
    SCOPED_TRACE(c.name);
    bar.SetItems(c.text);
    EXPECT_EQ(bar.GetItemCount(), c.count);
    bar.SetCurSel(-5);
    (void)Picture();
    bar.SetCurSel(99);
    desk.Click(bar.m_hWnd, 20, 12);
    bar.SendMessage(WM_SIZE, 0, MAKELPARAM(400, 24));
    (void)Picture();
  }
  EXPECT_EQ(std::strlen(bar.GetItemText(1)), 600u);  // kept whole, drawn clipped
  parent.notices.clear();

  // Width 0: background only, clicks do nothing.
  bar.SetItems(kKLineTabs);
  bar.SetCurSel(2);
  bar.SetItemWidth(0);
  bar.SendMessage(WM_SIZE, 0, MAKELPARAM(400, 24));
  QImage img = Picture();
  EXPECT_EQ(CountNear(img, kBlack, 0, img.rect()), img.width() * img.height());
  desk.Click(bar.m_hWnd, 5, 12);
  desk.Click(bar.m_hWnd, 395, 12);
  desk.RunUntilIdle();
  EXPECT_TRUE(parent.notices.empty());

  // Command ids outside the items only get the framework's handling.
  bar.SetItemWidth(50);
  for (WPARAM id : {WPARAM{10}, WPARAM{0xFFFF}, WPARAM{500}}) bar.SendMessage(WM_COMMAND, id, 0);
  desk.RunUntilIdle();
  EXPECT_TRUE(parent.notices.empty());
  EXPECT_EQ(bar.GetCurSel(), 2);
  bar.SendMessage(WM_COMMAND, 9, 0);
  desk.RunUntilIdle();
  ASSERT_EQ(parent.notices.size(), 1u);
  EXPECT_EQ(parent.notices[0].index, 9);
  EXPECT_EQ(bar.GetCurSel(), 9);
}

TEST_F(IndexToolsBarTest, AWorkerChangesTextsWhileTheUiPaintsAndClicks) {
  Make(400);
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < 400; ++i) {
      bar.SetItemText(i % 10, i % 2 ? u"除权" : u"复权后");
      bar.SetCurSel(i % 12);
      char copy[16];
      bar.CopyItemText(i % 10, copy, sizeof copy);
    }
    done = true;
  });
  int clicks = 0;
  desk.RunUntil([&] {
    desk.Click(bar.m_hWnd, 25 + 50 * (clicks++ % 7), 12);
    bar.Invalidate();
    bar.UpdateWindow();
    return done.load();
  }, 60000);
  worker.join();
  desk.RunUntilIdle();
  EXPECT_TRUE(done.load());
  EXPECT_EQ(bar.GetItemCount(), 10);
  for (int i = 0; i < 10; ++i) {
    const size_t length = std::strlen(bar.GetItemText(i));
    EXPECT_TRUE(length == 6 || length == 9) << i;
  }
}

}  // namespace

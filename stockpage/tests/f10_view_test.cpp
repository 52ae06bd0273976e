// The F10 window: tab rows by catalogue size and width, the tab choice and
// its request to the stock page (a stand-in that answers with the item),
// the copied titles, keys to the parent, and a snapshot with two rows.
#include "stockpage/f10_view.h"

#include <QImage>

#include <cstring>

#include "marketdata/f10_alert_decoders.h"
#include "platform/window/win_desktop.h"
#include "stockpage/tests/board_test_support.h"
#include "stockpage/tests/popups_test_support.h"

using namespace popup_test;

namespace {

const char* const kTitles[] = {"最新提示", "公司概况", "财务分析", "股东研究", "股本结构", "资本运作", "业内点评",
                               "行业分析", "公司大事", "港澳特色", "经营分析", "主力追踪", "分红扩股", "高层治理"};

std::unique_ptr<F10CatalogArea> Catalog(int count) {
  auto area = std::make_unique<F10CatalogArea>();
  std::memcpy(area->code, "600000", 7);
  area->market = 1;
  area->entryCount = static_cast<int8_t>(count);
  for (int i = 0; i < count && i < 14; ++i) {
    area->entries[i].title.reset(strdup(kTitles[i]));
    area->entries[i].titleLength = static_cast<int16_t>(std::strlen(kTitles[i]));
  }
  return area;
}

// The stock page stand-in: answers 20007 with the item's text.
class PageStandIn : public FrameStandIn {
 public:
  CF10View* f10 = nullptr;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_F10_ITEM_REQUEST && f10) {
      F10ItemArea item{};
      const std::string text = std::string(kTitles[wParam % 14]) + "\r\n浦发银行的" + kTitles[wParam % 14] + "。";
      item.content.reset(strdup(text.c_str()));
      item.contentLength = static_cast<int32_t>(text.size());
      f10->SetContent(&item);
    }
    return FrameStandIn::WindowProc(message, wParam, lParam);
  }
};

class F10ViewTest : public testing::Test {
 protected:
  void SetUp() override {
    desk = std::make_unique<TestDesktop>();
    board_test::UseProgramFonts();
    ASSERT_TRUE(page.Make(0, 0, 400, 400));
    page.f10 = &view;
    ASSERT_TRUE(view.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 400, 400), &page, 0));
    desk->RunUntilIdle();
  }
  void TearDown() override {
    view.DestroyWindow();
    page.DestroyWindow();
    desk.reset();
  }
  CRect Placed(CWnd& w) {
    CRect rc;
    w.GetWindowRect(&rc);
    view.ScreenToClient(&rc);
    return rc;
  }
  std::u16string Text() {
    WCHAR text[256] = {};
    ::GetWindowTextW(view.Text().m_hWnd, text, 256);
    return text;
  }
  void ClickTab(CIndexToolsBar& row, int index) {
    const CRect tab = row.GetItemRect(index);
    desk->Click(row.m_hWnd, tab.CenterPoint().x, tab.CenterPoint().y);
    desk->RunUntilIdle();
  }

  std::unique_ptr<TestDesktop> desk;
  PageStandIn page;
  CF10View view;
};

TEST_F(F10ViewTest, TabRowsFollowTheCatalogue) {
  const struct {
    int entries;
    bool two;
    CRect first;
    int firstItems, firstVisible, secondItems, secondVisible;
  } cases[] = {
      {5, false, CRect(60, 10, 360, 40), 5, 5, 0, 0},
      {6, false, CRect(30, 10, 390, 40), 6, 6, 0, 0},
      {7, true, CRect(10, 10, 390, 40), 6, 6, 1, 6},
      {10, true, CRect(10, 10, 390, 40), 6, 6, 4, 6},
      {14, true, CRect(10, 10, 390, 40), 6, 6, 8, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entries);
    auto area = Catalog(c.entries);
    view.SetCatalog(area.get());
    desk->RunUntilIdle();
    EXPECT_EQ(Placed(view.FirstRow()), c.first);
    EXPECT_TRUE(view.FirstRow().IsWindowVisible());
    EXPECT_EQ(view.FirstRow().GetItemCount(), c.firstItems);
    EXPECT_EQ(view.FirstRow().GetVisibleCount(), c.firstVisible);
    EXPECT_STREQ(view.FirstRow().GetItemText(0), kTitles[0]);
    EXPECT_EQ(view.SecondRow().IsWindowVisible() != 0, c.two);
    if (c.two) {
      EXPECT_EQ(Placed(view.SecondRow()), CRect(10, 40, 390, 70));
      EXPECT_EQ(view.SecondRow().GetItemCount(), c.secondItems);
      EXPECT_EQ(view.SecondRow().GetVisibleCount(), c.secondVisible);
      EXPECT_STREQ(view.SecondRow().GetItemText(0), kTitles[6]);
    }
    EXPECT_TRUE(view.Text().IsWindowVisible());
    EXPECT_EQ(Placed(view.Text()), CRect(10, 80, 390, 397));
  }
  // An empty catalogue hides the rows and the text.
  view.SetCatalog(Catalog(0).get());
  EXPECT_FALSE(view.FirstRow().IsWindowVisible());
  EXPECT_FALSE(view.SecondRow().IsWindowVisible());
  EXPECT_FALSE(view.Text().IsWindowVisible());
  // So do a null catalogue and a negative count.
  auto negative = Catalog(3);
  negative->entryCount = -5;
  view.SetCatalog(negative.get());
  EXPECT_FALSE(view.FirstRow().IsWindowVisible());
  view.SetCatalog(nullptr);
  EXPECT_TRUE(view.Titles().empty());
}

TEST_F(F10ViewTest, ChoosingATabAsksThePageForTheItem) {
  auto area = Catalog(10);
  view.SetCatalog(area.get());
  desk->RunUntilIdle();
  F10ItemArea first{};
  first.content.reset(strdup("最新提示的内容"));
  view.SetContent(&first);
  EXPECT_EQ(Text(), u"最新提示的内容");
  ClickTab(view.SecondRow(), 1);
  const auto asked = page.Of(WM_F10_ITEM_REQUEST);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].wParam, 7u);
  EXPECT_EQ(asked[0].lParam, 0);
  EXPECT_EQ(view.SelectedItem(), 7);
  EXPECT_EQ(Text(), u"行业分析\r\n浦发银行的行业分析。");
  ClickTab(view.FirstRow(), 2);
  ASSERT_EQ(page.Of(WM_F10_ITEM_REQUEST).size(), 2u);
  EXPECT_EQ(page.Of(WM_F10_ITEM_REQUEST)[1].wParam, 2u);
  // No content: an empty text.
  F10ItemArea empty{};
  view.SetContent(&empty);
  EXPECT_EQ(Text(), u"");
  view.SetContent(nullptr);
  EXPECT_EQ(Text(), u"");

  // The engine frees and replaces its titles at the next decode: the shown
  // titles are the window's own.
  for (int i = 0; i < 10; ++i) area->entries[i].title.reset(strdup("X"));
  area.reset();
  view.SendMessage(WM_SIZE, 0, MAKELPARAM(400, 400));
  desk->RunUntilIdle();
  EXPECT_STREQ(view.FirstRow().GetItemText(0), kTitles[0]);
  EXPECT_STREQ(view.SecondRow().GetItemText(3), kTitles[9]);
}

TEST_F(F10ViewTest, KeysGoToTheParentAndTheBackgroundIsBlack) {
  view.SetFocus();
  view.SendMessage(WM_KEYDOWN, VK_NEXT, 0);
  desk->RunUntilIdle();
  const auto keys = page.Of(WM_KEYDOWN);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>(VK_NEXT));
  EXPECT_EQ(keys[0].lParam, 0);

  auto area = Catalog(14);
  view.SetCatalog(area.get());
  F10ItemArea item{};
  item.content.reset(strdup("浦发银行(600000)\r\n公司名称：上海浦东发展银行股份有限公司\r\n上市日期：1999-11-10"));
  view.SetContent(&item);
  desk->RunUntilIdle();
  const QImage shot = desk->Snapshot(view.m_hWnd);
  EXPECT_EQ(board_test::PixelRgb(shot, 3, 3), 0u);
  EXPECT_EQ(board_test::PixelRgb(shot, 200, 76), 0u);
  const std::string folder = std::string(ORV_BINARY_DIR) + "/stockpage_snapshots";
  std::filesystem::create_directories(folder);
  desk->SavePng(view.m_hWnd, folder + "/f10_two_rows.png");
}

}  // namespace

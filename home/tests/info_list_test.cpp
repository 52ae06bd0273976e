#include <gtest/gtest.h>

#include <string>

#include "controls/control_messages.h"
#include "controls/grid_messages.h"
#include "foundation/http_request.h"
#include "home/home_replies.h"
#include "home/info_list_wnd.h"
#include "home/tests/home_test_support.h"
#include "tools/simbroker/http/sim_http_home.h"

namespace {

using home_test::Recorder;
using home_test::U8;

// top (records the list's command notices) > a > b (records what the list
// posts to its parent) > the list.
class InfoListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_test::UseProgramFolder();
    ASSERT_TRUE(top_.CreateEx(0, nullptr, u"top", WS_POPUP | WS_VISIBLE, CRect(0, 0, 420, 320), nullptr, 0));
    ASSERT_TRUE(a_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 420, 320), &top_, 1));
    ASSERT_TRUE(b_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 420, 320), &a_, 2));
    list_.SetListId(806);
    ASSERT_TRUE(list_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, 10, 10), &b_, 3));
    list_.SetTitle("订阅资讯", 0xECF4FF);
    list_.SetTitleFillColor(0x2E4C86);
  }
  void TearDown() override { top_.DestroyWindow(); }
  void Place(int w, int h) {
    list_.MoveWindow(10, 20, w, h, TRUE);
    desk_.RunUntilIdle();
  }
  CRect ChildRect(CWnd* child) {
    CRect r;
    child->GetWindowRect(&r);
    CRect origin;
    list_.GetWindowRect(&origin);
    r.OffsetRect(-origin.left, -origin.top);
    return r;
  }

  TestDesktop desk_;
  Recorder top_{{WM_LIST_COMMAND_NOTICE}};
  Recorder a_{{WM_LIST_COMMAND_NOTICE}};
  Recorder b_{{WM_GRID_ACTIVATE, WM_GRID_SELECT, WM_KEYDOWN}};
  CInfoListWnd list_;
};

TEST_F(InfoListTest, ButtonsSitRightAlignedInTheStripAndTheGridBelowIt) {
  list_.AddTitleButton(u"res\\btn_moreright.png", u"res\\btn_moreright.png", u"订阅管理", 1003, FALSE);
  list_.AddTitleButton(u"res\\btn_moreleft.png", u"res\\btn_moreleft.png", u"查看全部", 1002, FALSE);
  Place(400, 300);
  const auto& buttons = list_.TitleButtons();
  ASSERT_EQ(buttons.size(), 2u);
  // 16-pixel pictures: top + 12 to top + 28; right - 10, then the gap of 4.
  EXPECT_EQ(ChildRect(buttons[0]), CRect(400 - 10 - 76 - 3, 12, 390, 28));
  EXPECT_EQ(ChildRect(buttons[1]), CRect(311 - 4 - 76 - 3, 12, 307, 28));
  EXPECT_EQ(ChildRect(list_.Grid()), CRect(1, 29, 399, 299));
  // both in the group named by the list id
  EXPECT_EQ(FooButton::GroupMembers(u"806").size(), 2u);
}

TEST_F(InfoListTest, WithoutButtonsNothingIsPlacedInTheStrip) {
  Place(300, 200);
  EXPECT_TRUE(list_.TitleButtons().empty());
  EXPECT_EQ(ChildRect(list_.Grid()), CRect(1, 29, 299, 199));
  const QImage img = desk_.Snapshot(top_.GetSafeHwnd());
  // the strip is the strip colour right up to the frame
  EXPECT_EQ(home_test::Rgb(img, 10 + 290, 20 + 5), 0x2E4C86u);
  EXPECT_EQ(home_test::Rgb(img, 10, 20 + 5), 0x586578u);  // the frame
  // the title text is drawn from x = 21 in the title colour
  EXPECT_GT(home_test::CountNear(img, 0xECF4FF, 10 + 21, 20 + 2, 10 + 120, 20 + 28), 20);
}

TEST_F(InfoListTest, RowNotificationsGoToTheParentWithTheListId) {
  Place(300, 200);
  struct Case {
    UINT msg;
    LPARAM row;
    LRESULT answer;
    size_t posted;
  };
  const Case cases[] = {
      {WM_GRID_ACTIVATE, -1, 1, 0}, {WM_GRID_ACTIVATE, 3, 0, 1}, {WM_GRID_SELECT, -5, 1, 0}, {WM_GRID_SELECT, 0, 0, 1}};
  for (const Case& c : cases) {
    b_.Clear();
    EXPECT_EQ(list_.SendMessage(c.msg, reinterpret_cast<WPARAM>(list_.Grid()), c.row), c.answer);
    desk_.RunUntilIdle();
    const auto got = b_.Of(c.msg);
    ASSERT_EQ(got.size(), c.posted);
    if (c.posted) {
      EXPECT_EQ(got[0].wParam, 806u);
      EXPECT_EQ(got[0].lParam, c.row);
    }
  }
}

TEST_F(InfoListTest, TitleButtonReachesTheWindowThreeLevelsUpAndKeysTheParent) {
  list_.AddTitleButton(u"res\\btn_more.png", u"res\\btn_more.png", u"查看全部>>", 1011, FALSE);
  Place(300, 200);
  const CRect r = ChildRect(list_.TitleButtons()[0]);
  desk_.Click(list_.GetSafeHwnd(), r.CenterPoint().x, r.CenterPoint().y);
  desk_.RunUntilIdle();
  const auto notices = top_.Of(WM_LIST_COMMAND_NOTICE);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(LOWORD(notices[0].wParam), 1011);
  EXPECT_EQ(notices[0].lParam, 0);
  EXPECT_EQ(a_.Count(WM_LIST_COMMAND_NOTICE), 0u);

  list_.SetFocus();
  desk_.Key(VK_F1);
  desk_.RunUntilIdle();
  const auto keys = b_.Of(WM_KEYDOWN);
  ASSERT_FALSE(keys.empty());
  EXPECT_EQ(keys.back().wParam, static_cast<WPARAM>(VK_F1));
}

TEST_F(InfoListTest, LongTitlesAreCutOnACharacterBoundary) {
  std::string title;
  while (title.size() < 200) title += "资讯";  // three bytes each
  list_.SetTitle(title.c_str(), 0xECF4FF);
  EXPECT_EQ(std::string(list_.GetTitle()).size(), 126u);  // 42 whole characters
  EXPECT_EQ(title.compare(0, 126, list_.GetTitle()), 0);
  list_.SetTitle("abc", 0xECF4FF);
  EXPECT_STREQ(list_.GetTitle(), "abc");
  std::string ascii(200, 'x');
  list_.SetTitle(ascii.c_str(), 0xECF4FF);
  EXPECT_EQ(std::string(list_.GetTitle()).size(), 127u);
}

TEST(InfoListReplies, GzipBodiesAreUnpackedOnlyWhenWhole) {
  const std::string text = "{\"data\":[{\"title\":\"一\"}]}";
  const std::string gz = simhttp::GzipText(text);
  EXPECT_EQ(UnpackReplyText(gz.data(), int(gz.size())), text);
  EXPECT_EQ(UnpackReplyText(text.data(), int(text.size())), text);
  // a cut body, and a trailer that states another size
  EXPECT_EQ(UnpackReplyText(gz.data(), int(gz.size()) - 6), "");
  std::string lying = gz;
  lying[lying.size() - 4] = char(lying[lying.size() - 4] + 1);
  EXPECT_EQ(UnpackReplyText(lying.data(), int(lying.size())), "");
  std::string huge = gz;
  huge[huge.size() - 1] = 0x7F;  // about 2 GB stated
  EXPECT_EQ(UnpackReplyText(huge.data(), int(huge.size())), "");
  EXPECT_EQ(UnpackReplyText(nullptr, 5), "");
}

TEST_F(InfoListTest, FillShowsTitlesDatesAndAddresses) {
  Place(400, 300);
  CGridCtrl* grid = list_.Grid();
  FillInfoList(grid,
               R"({"data":[{"title":"\u4e2d\u6587","pubdate":"10:15","url":"http://x/1"},)"
               R"({"pubdate":"09:31","url":"http://x/2"},{"title":7,"url":"http://x/3"},"odd"]})",
               40);
  ASSERT_EQ(grid->GetRowCount(), 5);
  ASSERT_EQ(grid->GetColumnCount(), 3);
  WString t;
  COLORREF c = 0;
  UINT f = 0;
  ASSERT_TRUE(grid->GetCell(0, 0, &t, &c, &f));
  EXPECT_EQ(U8(t), "标题");
  EXPECT_EQ(f, 0x25u);
  EXPECT_EQ(c, RGB(0x28, 0x28, 0x28));
  grid->GetCell(0, 2, &t, nullptr, &f);
  EXPECT_EQ(U8(t), "地址");
  EXPECT_EQ(f, 0x8024u);
  grid->GetCell(1, 0, &t, nullptr, &f);
  EXPECT_EQ(U8(t), "中文");  // unescaped
  EXPECT_EQ(f, 0x8024u);
  grid->GetCell(1, 1, &t, nullptr, nullptr);
  EXPECT_EQ(U8(t), "10:15");
  grid->GetCell(2, 0, &t, nullptr, nullptr);
  EXPECT_EQ(U8(t), "");  // no title: empty, its address kept
  grid->GetCell(2, 2, &t, nullptr, nullptr);
  EXPECT_EQ(U8(t), "http://x/2");
  grid->GetCell(3, 0, &t, nullptr, nullptr);
  EXPECT_EQ(U8(t), "7");
  grid->GetCell(4, 2, &t, nullptr, nullptr);
  EXPECT_EQ(U8(t), "");
  EXPECT_EQ(grid->GetColumnWidth(0), 80);
  EXPECT_EQ(grid->GetColumnWidth(1), 40);
  EXPECT_EQ(grid->GetColumnWidth(2), 0);

  // a reply that is not JSON leaves the list empty; one without "data" too
  for (const char* bad : {"<html>", "{\"data\":[]}", "{\"data\":{\"a\":1}}", "{\"other\":[1]}"}) {
    FillInfoList(grid, R"({"data":[{"title":"x"}]})", 40);
    FillInfoList(grid, bad, 40);
    EXPECT_EQ(grid->GetRowCount(), 1) << bad;
    EXPECT_EQ(grid->GetColumnCount(), 0) << bad;
  }
}

}  // namespace

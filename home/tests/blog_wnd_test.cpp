#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "controls/control_messages.h"
#include "controls/grid_messages.h"
#include "foundation/http_request.h"
#include "home/blog_clients.h"
#include "home/blog_wnd.h"
#include "home/tests/home_test_support.h"
#include "platform/kernel/kernel_files.h"
#include "tools/simbroker/http/sim_http_home.h"

namespace {

using home_test::Recorder;
using home_test::U8;

// Every character 10 pixels wide.
int TenEach(const std::u16string& s) { return static_cast<int>(s.size()) * 10; }

TEST(BlogItem, WrapsTextAndCountsLines) {
  struct Case {
    const char16_t* nickname;
    const char16_t* text;
    int width;
    std::vector<std::u16string> lines;
    const char* shownNickname;
  };
  const Case cases[] = {
      {u"甲", u"abc", 300, {u"abc"}, "甲："},
      {u"乙：", u"abc", 300, {u"abc"}, "乙："},  // already there
      {u"丙", u"a\n\nb", 300, {u"a", u"", u"b"}, "丙："},
      {u"丁", u"a\n", 300, {u"a"}, "丁："},
      // room 100: the first line also holds the nickname (20 pixels); the
      // character that overflowed stays at the end of the closed line
      {u"戊", u"abcdefghijklmnopqrstuvwxyz", 200, {u"abcdefghi", u"jklmnopqrst", u"uvwxyz"}, "戊："},
      {u"己", u"", 300, {}, "己："},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.text));
    CBlogItem item;
    item.SetContent(TenEach, c.width, c.nickname, c.text, u"刚刚");
    EXPECT_EQ(U8(item.Nickname()), c.shownNickname);
    ASSERT_EQ(item.Lines().size(), c.lines.size());
    for (size_t i = 0; i < c.lines.size(); ++i) EXPECT_EQ(U8(item.Lines()[i]), U8(c.lines[i]));
    EXPECT_EQ(item.LineCount(), std::max<int>(4, static_cast<int>(c.lines.size()) + 3));
  }
}

TEST(BlogItem, PicturesAddLines) {
  home_test::UseProgramFolder();
  CBlogItem item;
  item.SetContent(TenEach, 300, u"甲", u"一行", u"");
  EXPECT_EQ(item.LineCount(), 4);
  EXPECT_EQ(item.AddPicture(nullptr, u"http://p/1", 300), 2);  // still loading
  EXPECT_EQ(item.LineCount(), 6);
  EXPECT_EQ(item.AddPicture(nullptr, u"", 300), 0);
  // a 100-pixel picture in a 300-pixel text width: ceil(100 / 20) - 2 = 3
  int found = 0;
  const std::string jpeg = simhttp::DrawBlogPicture("pic1.jpg", &found);
  const std::string file = "/tmp/orv-home-pic-" + std::to_string(getpid()) + ".jpg";
  ASSERT_TRUE(WriteFileUtf8Path(file.c_str(), jpeg.data(), static_cast<int>(jpeg.size())));
  EXPECT_EQ(item.AddPicture(&file, u"http://p/other", 300), 0);  // not one of its addresses
  EXPECT_EQ(item.AddPicture(&file, u"http://p/1", 300), 3);
  EXPECT_EQ(item.LineCount(), 9);
  EXPECT_TRUE(item.PictureLoaded(0));
  // a narrow text width caps the height: min(100, 100 - 82) = 18 -> 1 line,
  // never below the placeholder's 2
  CBlogItem narrow;
  narrow.SetContent(TenEach, 100, u"甲", u"x", u"");
  narrow.AddPicture(nullptr, u"http://p/1", 100);
  EXPECT_EQ(narrow.AddPicture(&file, u"http://p/1", 100), 0);
  std::remove(file.c_str());
}

BlogStatusItem Status(const char16_t* nick, const char16_t* text, std::u16string head,
                      std::vector<std::u16string> pictures) {
  BlogStatusItem s;
  s.nickname = nick;
  s.text = text;
  s.time = u"5分钟前";
  s.head = std::move(head);
  s.pictures = std::move(pictures);
  return s;
}

// top > a > host (records what the timeline posts) > the timeline.
class BlogWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_test::UseProgramFolder();
    ASSERT_TRUE(top_.CreateEx(0, nullptr, u"top", WS_POPUP | WS_VISIBLE, CRect(0, 0, 420, 520), nullptr, 0));
    ASSERT_TRUE(a_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 420, 520), &top_, 1));
    ASSERT_TRUE(host_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, 420, 520), &a_, 2));
    blog_.SetControlId(7);
    ASSERT_TRUE(blog_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, 10, 10), &host_, 3));
    blog_.AddTabButton(u"res\\btn_dhnow.png", u"res\\btn_dhright.png", u"我的微博", 1012, FALSE);
    blog_.AddTabButton(u"res\\btn_dhnow.png", u"res\\btn_dhmid.png", u"搜狐", 1015, FALSE);
    blog_.AddTabButton(u"res\\btn_dhnow.png", u"res\\btn_dhleft.png", u"腾讯", 1013, FALSE);
    blog_.AddTabButton(u"res\\btn_dhnow.png", u"res\\btn_dhmid.png", u"新浪", 1014, TRUE);
    blog_.MoveWindow(0, 0, 400, 500, TRUE);
    desk_.RunUntilIdle();
  }
  void TearDown() override {
    blog_.StopDownloads();
    top_.DestroyWindow();
  }
  void Show(const std::vector<BlogStatusItem>& statuses) {
    std::vector<const BlogStatusItem*> list;
    for (const BlogStatusItem& s : statuses) list.push_back(&s);
    blog_.SetStatuses(list);
    desk_.RunUntilIdle();
  }
  std::vector<BlogStatusItem> Many(int n) {
    std::vector<BlogStatusItem> v;
    for (int i = 0; i < n; ++i) v.push_back(Status(u"甲", u"一条消息", u"", {}));
    return v;
  }

  TestDesktop desk_;
  home_test::ServedRoot root_;
  Recorder top_{{WM_LIST_COMMAND_NOTICE}};
  CWnd a_;
  Recorder host_{{WM_GRID_SELECT, WM_KEYDOWN}};
  CBlogWnd blog_;
};

TEST_F(BlogWndTest, LayoutCountsLinesAndAResizeKeepsParagraphBreaks) {
  EXPECT_EQ(blog_.Page(), (500 - 28) / 20);
  EXPECT_EQ(blog_.TextWidth(), 384);
  Show({Status(u"甲", u"第一段\n第二段", u"", {}), Status(u"乙", u"一行", u"", {})});
  ASSERT_EQ(blog_.ItemCount(), 2);
  EXPECT_EQ(blog_.ItemLineCount(0), 5);
  EXPECT_EQ(blog_.ItemFirstLine(1), 5);
  EXPECT_EQ(blog_.Total(), 9);
  blog_.MoveWindow(0, 0, 380, 480, TRUE);
  desk_.RunUntilIdle();
  EXPECT_EQ(blog_.ItemLineCount(0), 5);  // still two paragraphs
  EXPECT_EQ(blog_.Total(), 9);

  // tabs: right-aligned in the title bar, group "100", a click reaches the top
  const auto& tabs = blog_.TabButtons();
  ASSERT_EQ(tabs.size(), 4u);
  CRect r, origin;
  blog_.GetWindowRect(&origin);
  tabs[0]->GetWindowRect(&r);
  EXPECT_EQ(r.right - origin.left, 380 - 10);
  EXPECT_EQ(r.bottom - origin.top, 29);
  EXPECT_EQ(FooButton::GroupMembers(u"100").size(), 4u);
  tabs[2]->GetWindowRect(&r);
  desk_.Click(blog_.GetSafeHwnd(), r.CenterPoint().x - origin.left, r.CenterPoint().y - origin.top);
  desk_.RunUntilIdle();
  const auto notices = top_.Of(WM_LIST_COMMAND_NOTICE);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].wParam, 1013u);
  EXPECT_EQ(tabs[2]->GetCheck(), 1);
  EXPECT_EQ(tabs[3]->GetCheck(), 0);
}

TEST_F(BlogWndTest, ScrollingByWheelAndPageStaysInRange) {
  Show({});
  EXPECT_FALSE(blog_.ScrollBar()->IsWindowVisible());  // no lines: no bar
  Show(Many(20));  // 80 lines, page 23
  EXPECT_EQ(blog_.Total(), 80);
  EXPECT_TRUE(blog_.ScrollBar()->IsWindowVisible());
  blog_.SetFocus();
  desk_.Wheel(blog_.GetSafeHwnd(), 100, 200, -WHEEL_DELTA);
  desk_.RunUntilIdle();
  EXPECT_EQ(blog_.Position(), 1);
  for (int i = 0; i < 5; ++i) blog_.SendMessage(WM_VSCROLL, SB_PAGEDOWN, reinterpret_cast<LPARAM>(blog_.ScrollBar()->GetSafeHwnd()));
  EXPECT_EQ(blog_.Position(), 80 - 23 + 1);
  blog_.SendMessage(WM_VSCROLL, SB_LINEUP, reinterpret_cast<LPARAM>(blog_.ScrollBar()->GetSafeHwnd()));
  EXPECT_EQ(blog_.Position(), 57);
  desk_.Wheel(blog_.GetSafeHwnd(), 100, 200, 3 * WHEEL_DELTA);
  desk_.RunUntilIdle();
  EXPECT_EQ(blog_.Position(), 54);
  // a refresh keeps the place
  Show(Many(20));
  EXPECT_EQ(blog_.Position(), 54);
  blog_.SendMessage(WM_VSCROLL, SB_TOP, reinterpret_cast<LPARAM>(blog_.ScrollBar()->GetSafeHwnd()));
  EXPECT_EQ(blog_.Position(), 0);
  // a click goes to the parent with the control id; keys too
  desk_.Click(blog_.GetSafeHwnd(), 200, 300);
  desk_.RunUntilIdle();
  const auto selects = host_.Of(WM_GRID_SELECT);
  ASSERT_EQ(selects.size(), 1u);
  EXPECT_EQ(selects[0].wParam, 7u);
  blog_.ClearItems(true);
  desk_.RunUntilIdle();
  EXPECT_EQ(blog_.Total(), 0);
  EXPECT_FALSE(blog_.ScrollBar()->IsWindowVisible());
}

TEST_F(BlogWndTest, DownloadsArriveInOrderAndAreCachedOnlyWhenTheyArePictures) {
  const std::string base = root_.Base() + "/blogpic/";
  auto u = [](const std::string& s) { return Utf8ToWide(s); };
  const std::vector<BlogStatusItem> statuses = {
      Status(u"甲", u"第一条", u(base + "head1.png"), {u(base + "pic1.jpg")}),
      Status(u"乙", u"第二条", u(base + "head2.png"), {u(base + "broken.jpg")}),
      Status(u"丙", u"第三条", u(base + "head3.png"), {u(base + "pic3.jpg")}),
  };
  Show(statuses);
  ASSERT_TRUE(desk_.RunUntil([&] { return blog_.DownloadsIdle(); }, 10000));
  desk_.RunUntilIdle();
  EXPECT_TRUE(blog_.ItemPictureLoaded(0, 0));
  EXPECT_FALSE(blog_.ItemPictureLoaded(1, 0));  // keeps its placeholder
  EXPECT_TRUE(blog_.ItemPictureLoaded(2, 0));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(blog_.ItemHeadLoaded(i)) << i;
  // 100-pixel pictures: 5 lines each instead of the placeholder's 2
  EXPECT_EQ(blog_.ItemLineCount(0), 4 + 5);
  EXPECT_EQ(blog_.ItemLineCount(1), 4 + 2);
  EXPECT_EQ(blog_.ItemFirstLine(2), 9 + 6);
  EXPECT_EQ(blog_.Total(), 9 + 6 + 9);
  // requests were made one at a time per queue, in order
  const auto log = root_.server->Requests("blogpic");
  std::vector<std::string> pictures;
  for (const auto& r : log)
    if (r.path.find("/pic") != std::string::npos || r.path.find("broken") != std::string::npos) pictures.push_back(r.path);
  EXPECT_EQ(pictures, (std::vector<std::string>{"/blogpic/pic1.jpg", "/blogpic/broken.jpg", "/blogpic/pic3.jpg"}));
  // what is not a picture is not cached
  EXPECT_FALSE(FileExists(CBlogWnd::CacheFile(base + "broken.jpg")));
  EXPECT_TRUE(FileExists(CBlogWnd::CacheFile(base + "pic1.jpg")));
  EXPECT_TRUE(desk_.SavePng(top_.GetSafeHwnd(), home_test::SnapshotFolder() + "/timeline.png"));

  // a second refresh takes the cached files without requests
  root_.server->ClearRequests();
  Show(statuses);
  ASSERT_TRUE(desk_.RunUntil([&] { return blog_.DownloadsIdle(); }, 10000));
  EXPECT_TRUE(blog_.ItemPictureLoaded(0, 0));
  EXPECT_TRUE(blog_.ItemPictureLoaded(2, 0));
  std::vector<std::string> again;
  for (const auto& r : root_.server->Requests("blogpic")) again.push_back(r.path);
  EXPECT_EQ(again, (std::vector<std::string>{"/blogpic/broken.jpg"}));
}

TEST_F(BlogWndTest, AFailedDownloadRemovesOnlyItsOwnEntry) {
  const std::string base = root_.Base() + "/blogpic/";
  auto u = [](const std::string& s) { return Utf8ToWide(s); };
  Show({Status(u"甲", u"一", u"", {u(base + "pic2.jpg")}), Status(u"乙", u"二", u"", {u(base + "missing.jpg")}),
        Status(u"丙", u"三", u"", {u(base + "pic4.jpg")})});
  ASSERT_TRUE(desk_.RunUntil([&] { return blog_.DownloadsIdle(); }, 10000));
  EXPECT_TRUE(blog_.ItemPictureLoaded(0, 0));
  EXPECT_FALSE(blog_.ItemPictureLoaded(1, 0));
  EXPECT_TRUE(blog_.ItemPictureLoaded(2, 0));
}

TEST_F(BlogWndTest, StoppingAbandonsTheRunningDownloads) {
  const std::string base = root_.Base() + "/blogpic/";
  Show({Status(u"甲", u"一", u"", {Utf8ToWide(base + "slow.jpg"), Utf8ToWide(base + "pic1.jpg")})});
  ASSERT_TRUE(desk_.RunUntil([&] { return !root_.server->Requests("blogpic").empty(); }, 10000));
  blog_.StopDownloads();
  EXPECT_TRUE(blog_.DownloadsIdle());
  blog_.ClearItems(true);
  EXPECT_EQ(blog_.ItemCount(), 0);
}

}  // namespace

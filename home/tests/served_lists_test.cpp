// The news lists and the microblog clients against simbroker's HTTP side on
// loopback, through the program's own HTTP client and the system stack.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "controls/control_messages.h"
#include "foundation/config_store.h"
#include "foundation/http_request.h"
#include "foundation/system_http.h"
#include "home/blog_clients.h"
#include "home/home_replies.h"
#include "home/info_list_wnd.h"
#include "home/tests/home_test_support.h"
#include "tools/simbroker/http/sim_http_home.h"

// Last: the HTTP library defines names the platform declares.
#include <httplib.h>

namespace {

using home_test::U8;

// What a reply callback fills: a grid, or a body for the test to parse.
struct Target {
  CGridCtrl* grid = nullptr;
  int unit = 40;
  std::atomic<int> done{0};
  std::atomic<int> status{-1};
  std::string body;  // written before done
};

void FillCallback(HttpRequest*, void* user, const char* body, int length, int status) {
  auto* t = static_cast<Target*>(user);
  if (status == kHttpProgress) return;
  if (status == kHttpCompleted) {
    const std::string text = UnpackReplyText(body, length);
    if (t->grid != nullptr) FillInfoList(t->grid, text.c_str(), t->unit);
    t->body = text;
  }
  t->status = status;
  t->done = 1;
}

class ServedListsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_test::UseProgramFolder();
    ASSERT_TRUE(host_.CreateEx(0, nullptr, u"home", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, 640, 300),
                               nullptr, 0));
    subscribed_.SetListId(806);
    latest_.SetListId(807);
    ASSERT_TRUE(subscribed_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, 10, 10),
                                   &host_, 0));
    ASSERT_TRUE(latest_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, 10, 10), &host_, 0));
    subscribed_.SetTitle("订阅资讯", 0xECF4FF);
    subscribed_.SetTitleFillColor(0x2E4C86);
    subscribed_.AddTitleButton(u"res\\btn_moreright.png", u"res\\btn_moreright.png", u"订阅管理", 1003, FALSE);
    subscribed_.AddTitleButton(u"res\\btn_moreleft.png", u"res\\btn_moreleft.png", u"查看全部", 1002, FALSE);
    latest_.SetTitle("盘中直击", 0xECF4FF);
    latest_.SetTitleFillColor(0x2E4C86);
    latest_.AddTitleButton(u"res\\btn_more.png", u"res\\btn_more.png", u"查看全部>>", 1011, FALSE);
    subscribed_.MoveWindow(2, 2, 316, 296, TRUE);
    latest_.MoveWindow(322, 2, 316, 296, TRUE);
  }
  void TearDown() override { host_.DestroyWindow(); }

  // Starts the service's request as the home page does and waits for its end.
  bool Fetch(const char* service, Target* t) {
    const std::string address = HomeServiceAddress(service);
    if (address.empty()) return false;
    StartHttpRequest(address.c_str(), "", 0, MakeProxyString(), FillCallback, t);
    return desk_.RunUntil([&] { return t->done.load() != 0; }, 10000);
  }
  bool FetchSystem(const std::u16string& address, Target* t) {
    const std::string a = U8(address);
    StartWinInetRequest(a.c_str(), "", "", 0, MakeProxyString(), FillCallback, t);
    return desk_.RunUntil([&] { return t->done.load() != 0; }, 10000);
  }

  TestDesktop desk_;
  home_test::ServedRoot root_;
  CWnd host_;
  CInfoListWnd subscribed_;
  CInfoListWnd latest_;
};

TEST_F(ServedListsTest, BothListsFillFromTheDirectoryServices) {
  for (bool gzip : {false, true}) {
    SCOPED_TRACE(gzip ? "gzip" : "plain");
    simhttp::SimHttpScenario s;
    s.homeGzip = gzip;
    root_.server->SetScenario(s);
    root_.server->ClearRequests();
    Target a, b;
    a.grid = subscribed_.Grid();
    b.grid = latest_.Grid();
    a.unit = b.unit = 640 / 9 - 2;
    ASSERT_TRUE(Fetch("PCSubscribeInfo", &a));
    ASSERT_TRUE(Fetch("PCLastedNews", &b));
    EXPECT_EQ(a.status.load(), kHttpCompleted);
    ASSERT_EQ(subscribed_.Grid()->GetRowCount(), 6);
    ASSERT_EQ(latest_.Grid()->GetRowCount(), 7);
    WString t;
    subscribed_.Grid()->GetCell(2, 0, &t, nullptr, nullptr);
    EXPECT_EQ(U8(t), "研报：银行股估值修复");  // written with \u escapes
    subscribed_.Grid()->GetCell(4, 0, &t, nullptr, nullptr);
    EXPECT_EQ(U8(t), "");  // the element without a title
    subscribed_.Grid()->GetCell(4, 2, &t, nullptr, nullptr);
    EXPECT_EQ(U8(t), root_.Base() + "/news.html?id=s4");

    const auto log = root_.server->Requests("subscribeinfo");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].query.rfind("a=1&userid=", 0), 0u) << log[0].query;
    EXPECT_NE(log[0].query.find("&sessionid="), std::string::npos);
    EXPECT_EQ(root_.server->Requests("lastednews").size(), 1u);
  }
  desk_.RunUntilIdle();
  EXPECT_TRUE(desk_.SavePng(host_.GetSafeHwnd(), home_test::SnapshotFolder() + "/info_lists.png"));
  const QImage img = desk_.Snapshot(host_.GetSafeHwnd());
  // rows of the list colour with dark text below the header
  EXPECT_GT(home_test::CountNear(img, 0x282828, 10, 60, 300, 200, 0x20), 100);
}

TEST_F(ServedListsTest, MicroblogClientsReadTheStandInsAfterSigningIn) {
  QqWeiboClient qq;
  SinaWeiboClient sina;
  qq.settings = DefaultQqWeiboSettings(root_.server->Port());
  sina.settings = DefaultSinaWeiboSettings(root_.server->Port());

  // The authorisation pages redirect with the token fragment.
  httplib::Client http("127.0.0.1", root_.server->Port());
  http.set_follow_location(false);
  for (WeiboClientBase* client : {static_cast<WeiboClientBase*>(&qq), static_cast<WeiboClientBase*>(&sina)}) {
    const bool isQq = client == &qq;
    const std::string url = U8(isQq ? qq.BuildAuthorizeUrl() : sina.BuildAuthorizeUrl());
    const std::string path = url.substr(url.find('/', 7));
    auto res = http.Get(path);
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 302);
    const std::string location = res->get_header_value("Location");
    EXPECT_EQ(location.rfind(U8(client->settings.redirectUrl) + "#access_token=", 0), 0u) << location;
    if (isQq) qq.ParseTokenFragment(Utf8ToWide(location));
    else sina.ParseTokenFragment(Utf8ToWide(location));
  }
  EXPECT_EQ(U8(qq.accessToken), simhttp::kSimQqToken);
  EXPECT_EQ(U8(qq.userId), simhttp::kSimQqOpenId);
  EXPECT_EQ(U8(qq.fourthValue), simhttp::kSimQqOpenKey);
  EXPECT_EQ(U8(sina.userId), simhttp::kSimSinaUid);
  EXPECT_EQ(U8(sina.fourthValue), "157679999");

  // User information and home timelines through the system stack.
  std::u16string address;
  Target userQq, userSina, lineQq, lineSina;
  qq.FormatUserInfoUrl(&address);
  ASSERT_TRUE(FetchSystem(address, &userQq));
  qq.ParseUser(userQq.body.c_str());
  EXPECT_EQ(U8(qq.GetUser()), simhttp::kSimQqNick);
  EXPECT_EQ(U8(qq.GetUserHead()), root_.Base() + "/blogpic/head1.png/50");
  sina.FormatUserInfoUrl(&address);
  ASSERT_TRUE(FetchSystem(address, &userSina));
  sina.ParseUser(userSina.body.c_str());
  EXPECT_EQ(U8(sina.GetUser()), simhttp::kSimSinaNick);
  qq.FormatTimelineUrl(&address);
  ASSERT_TRUE(FetchSystem(address, &lineQq));
  qq.ParseTimeline(lineQq.body.c_str());
  EXPECT_EQ(qq.StatusCount(), 6);
  EXPECT_EQ(U8(qq.GetStatus(0)->time), "刚刚");
  EXPECT_EQ(U8(qq.GetStatus(0)->pictures.at(0)), root_.Base() + "/blogpic/pic1.jpg/160");
  sina.FormatTimelineUrl(&address);
  ASSERT_TRUE(FetchSystem(address, &lineSina));
  sina.ParseTimeline(lineSina.body.c_str());
  EXPECT_EQ(sina.StatusCount(), 6);
  EXPECT_EQ(U8(sina.GetStatus(2)->text), "转发一条：\n央行开展逆回购操作，维护银行体系流动性合理充裕。-[转载]");

  // the stand-ins checked the queries: a wrong token is refused
  const auto qqLog = root_.server->Requests("qqapi");
  ASSERT_EQ(qqLog.size(), 2u);
  for (const auto& r : qqLog) EXPECT_EQ(r.status, 200) << r.path << "?" << r.query;
  qq.accessToken = u"wrong";
  Target refused;
  qq.FormatTimelineUrl(&address);
  ASSERT_TRUE(FetchSystem(address, &refused));
  EXPECT_EQ(refused.status.load(), kHttpFailed);
  EXPECT_EQ(root_.server->Requests("qqapi").back().status, 400);

  // the relay's three shapes
  for (const char* name : {"qqWeibo.do", "sinaWeibo.do", "sohuWeibo.do"}) {
    Target relay;
    const std::string base = HomeServiceAddress("PCMicroBlog");
    ASSERT_EQ(base, root_.Base() + "/microblog/");
    StartHttpRequest((base + name).c_str(), "", 0, MakeProxyString(), FillCallback, &relay);
    ASSERT_TRUE(desk_.RunUntil([&] { return relay.done.load() != 0; }, 10000));
    SohuStatusList sohu;
    QqWeiboClient q;
    SinaWeiboClient s;
    q.ParseTimeline(relay.body.c_str());
    s.ParseTimeline(relay.body.c_str());
    sohu.ParseStatuses(relay.body.c_str());
    const int count = std::string(name) == "qqWeibo.do" ? q.StatusCount()
                      : std::string(name) == "sinaWeibo.do" ? s.StatusCount()
                                                              : sohu.StatusCount();
    EXPECT_EQ(count, 6) << name;
  }
}

TEST_F(ServedListsTest, PicturesAreServedInTheirFormats) {
  httplib::Client http("127.0.0.1", root_.server->Port());
  struct Case {
    const char* path;
    int status;
    const char* magic;
  };
  const Case cases[] = {{"/blogpic/head2.png/50", 200, "\x89PNG"},
                        {"/blogpic/pic3.jpg/160", 200, "\xFF\xD8\xFF"},
                        {"/blogpic/broken.jpg", 200, "this"},
                        {"/blogpic/none.jpg", 404, ""}};
  for (const Case& c : cases) {
    auto res = http.Get(c.path);
    ASSERT_TRUE(res) << c.path;
    EXPECT_EQ(res->status, c.status) << c.path;
    EXPECT_EQ(res->body.rfind(c.magic, 0), 0u) << c.path;
  }
  const QImage head = QImage::fromData(QByteArray::fromStdString(http.Get("/blogpic/head1.png")->body));
  EXPECT_EQ(head.size(), QSize(48, 48));
  const QImage pic = QImage::fromData(QByteArray::fromStdString(http.Get("/blogpic/pic1.jpg")->body));
  EXPECT_EQ(pic.size(), QSize(160, 100));
}

}  // namespace

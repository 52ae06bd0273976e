// The main frame against the simulated brokerage's HTTP side: menus, the
// rolling texts and the watch list.
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "foundation/transport_timing.h"
#include "marketdata/own_stocks.h"
#include "marketdata/quote_engine.h"
#include "shell/tests/frame/frame_fixture.h"
#include "tools/simbroker/http/sim_http_services.h"

namespace frametest {
namespace {

class FrameNetworkTest : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    simhttp::SimHttpOptions options;
    options.port = 0;
    options.holdMs = 3000;
    server_ = std::make_unique<simhttp::SimHttpServer>(options);
    ASSERT_EQ(server_->Start(), 1);
    const std::string directory = simhttp::BuildServerDirectory(server_->Layout(), 0);
    ASSERT_TRUE(WriteDataFile("res\\server.data", directory.c_str(), static_cast<int>(directory.size())));
    LoadServerList();
    WriteMenu(simhttp::BuildMenusJson(server_->BaseUrl()));
    saved_ = GetTransportTimings();
    TransportTimings t = saved_;
    t.httpTimeoutMs = 2000;
    SetTransportTimings(t);
  }
  void TearDown() override {
    app_.m_pMainWnd = nullptr;
    frame_.reset();  // abandons what is still running
    server_->Stop();
    SetTransportTimings(saved_);
    FrameTest::TearDown();
  }
  std::vector<std::u16string> Banner() {
    std::vector<std::u16string> texts;
    for (const auto& t : frame_->StatusBar().Banner().GetTexts()) texts.emplace_back(t.begin(), t.end());
    return texts;
  }
  std::string RollingFile() {
    FileBlob* blob = ReadDataFile("res\\rolling.json");
    std::string text = blob ? std::string(blob->data, static_cast<size_t>(blob->size)) : "<missing>";
    FreeFileBlob(blob);
    return text;
  }
  size_t Served(const char* service) {
    size_t n = 0;
    for (const auto& r : server_->Requests(service)) n += r.status != 0;
    return n;
  }

  std::unique_ptr<simhttp::SimHttpServer> server_;
  TransportTimings saved_{};
};

TEST_F(FrameNetworkTest, MenusFromTheBrokerageAndTheFirstRollingTexts) {
  MakeFrame();
  CNavigater& nav = frame_->Navigater();
  std::vector<std::u16string> names;
  for (int i = 0; i < nav.GetMenuCount(); ++i) {
    WCHAR text[64] = {};
    nav.GetMenuButton(i)->GetWindowText(text, 64);
    names.emplace_back(text);
  }
  EXPECT_EQ(names, (std::vector<std::u16string>{u"首页", u"行情", u"策略", u"资讯", u"交易", u"服务", u"系统设置"}));
  EXPECT_EQ(nav.GetMenuButton(1)->GetButtonType(), 5);
  EXPECT_EQ(nav.GetMenuButton(2)->GetButtonType(), 5);
  EXPECT_EQ(nav.GetMenuButton(3)->GetButtonType(), 3);
  EXPECT_EQ(nav.GetMenuButton(5)->GetButtonType(), 3);
  // The home address was taken from the menus and navigated once.
  const std::string home = "Navigate(" + server_->BaseUrl() + "/home.html)";
  EXPECT_EQ(std::count(Home()->calls.begin(), Home()->calls.end(), home), 1) << testing::PrintToString(Home()->calls);
  EXPECT_EQ(std::count(Home()->calls.begin(), Home()->calls.end(), "SetCookies(username=demo|)"), 1);

  // The first rolling-text request went out while the window was made.
  ASSERT_TRUE(desk_->RunUntil([&] { return Banner().size() == 3; }, 10000));
  EXPECT_EQ(Banner(), (std::vector<std::u16string>{u"公告一", u"关于春节休市安排的通知", u"系统升级公告"}));
  EXPECT_EQ(server_->Requests("marquee").size(), 1u);
  EXPECT_NE(RollingFile().find("\"result\":\"true\""), std::string::npos);
  EXPECT_EQ(SelectedTab(), "首页");
}

TEST_F(FrameNetworkTest, RefusedOrBrokenRollingTextsChangeNothing) {
  MakeFrame();
  ASSERT_TRUE(desk_->RunUntil([&] { return Banner().size() == 3; }, 10000));
  const std::string accepted = RollingFile();
  struct Case {
    const char* name;
    simhttp::SimMarquee marquee;
    bool silent;
  };
  const Case cases[] = {{"not accepted", simhttp::SimMarquee::kNotAccepted, false},
                        {"not json", simhttp::SimMarquee::kNotJson, false},
                        {"silent", simhttp::SimMarquee::kNormal, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    simhttp::SimHttpScenario s;
    s.marquee = c.marquee;
    if (c.silent) s.silent.insert("marquee");
    server_->SetScenario(s);
    const size_t before = server_->Requests("marquee").size();
    desk_->Advance(300000);  // the timer's next request
    ASSERT_TRUE(desk_->RunUntil([&] { return server_->Requests("marquee").size() == before + 1; }, 10000));
    if (!c.silent) {
      ASSERT_TRUE(desk_->RunUntil([&] { return Served("marquee") == before + 1; }, 10000));
    }
    desk_->RunUntil([] { return false; }, 200);  // the reply's worker has finished or timed out by then
    EXPECT_EQ(RollingFile(), accepted);
    EXPECT_EQ(Banner().size(), 3u);
  }
}

TEST_F(FrameNetworkTest, RollingTextDoubleClicks) {
  MakeFrame();
  const std::string file = R"({"result":"true","marquee":[)"
                           R"({"url":"http://127.0.0.1:1/n.html","title":"T0","content":"C0","author":"A0","date":"D0"},)"
                           R"({"url":"","title":"T1","content":"C1","author":"A1","date":"D1"}]})";
  ASSERT_TRUE(desk_->RunUntil([&] { return Banner().size() == 3; }, 10000));
  ASSERT_TRUE(WriteDataFile("res\\rolling.json", file.data(), static_cast<int>(file.size())));
  EXPECT_EQ(frame_->SendMessage(WM_STATUS_DBLCLK, 2, 0), 1);
  ASSERT_EQ(frame_->SessionCalls().size(), 1u);
  EXPECT_EQ(frame_->SessionCalls()[0], "PopHtml(http://127.0.0.1:1/n.html|none|800x600)");
  frame_->SendMessage(WM_STATUS_DBLCLK, 2, 1);
  ASSERT_EQ(frame_->SessionCalls().size(), 2u);
  EXPECT_EQ(frame_->SessionCalls()[1], "PopHtml(" + InstallRoot() +
                                           "res\\default_html\\pop.html|<h1>T1</h1><h2>撰写作者:A1&nbsp;&nbsp;&nbsp;&nbsp;"
                                           "发布日期:D1</h2><h3>C1</h3>|800x600)");
  frame_->SendMessage(WM_STATUS_DBLCLK, 2, 2);  // past the list
  frame_->SendMessage(WM_STATUS_DBLCLK, 2, -1);
  DeleteDataFile("res\\rolling.json");
  frame_->SendMessage(WM_STATUS_DBLCLK, 2, 0);
  EXPECT_EQ(frame_->SessionCalls().size(), 2u);
}

TEST_F(FrameNetworkTest, WatchListChangesReachTheBrokerage) {
  MakeFrame();
  QuoteEngine* engine = made_.quote->Engine();
  ASSERT_EQ(engine->userNumber, 10001);
  auto post = [&](WPARAM op, const char* code, int market) {
    StockKey* key = nullptr;
    if (code != nullptr) {
      key = new StockKey{};
      std::memcpy(key->code, code, std::min<size_t>(std::strlen(code), 6));
      key->market = static_cast<uint8_t>(market);
    }
    frame_->PostMessage(WM_SAVE_OWN_STOCKS, op, reinterpret_cast<LPARAM>(key));
  };
  server_->ClearRequests();
  post(1, "600036", 1);
  ASSERT_TRUE(desk_->RunUntil([&] { return Served("mystocks") == 1; }, 10000));
  auto requests = server_->Requests("mystocks");
  EXPECT_EQ(requests[0].body,
            R"(<?xml version="1.0" encoding="UTF-8" standalone="no"?><reqmsg><signature>10001</signature>)"
            R"(<action>savemystocks</action><operation>1</operation><sector>1</sector><mystocks>)"
            R"(<stock code="600036" marketid="1"/></mystocks></reqmsg>)");
  auto list = server_->WatchList("10001");
  EXPECT_TRUE(std::any_of(list.begin(), list.end(), [](const auto& e) { return e.code == "600036"; }));

  post(2, "600036", 1);
  ASSERT_TRUE(desk_->RunUntil([&] { return Served("mystocks") == 2; }, 10000));
  list = server_->WatchList("10001");
  EXPECT_FALSE(std::any_of(list.begin(), list.end(), [](const auto& e) { return e.code == "600036"; }));

  post(0, nullptr, 0);  // the stock pool's notice: nothing is sent
  DeleteDataFile("res\\own.data");
  AddOwnStock(engine, "000001", 2);
  AddOwnStock(engine, "600000", 1);
  post(3, nullptr, 0);
  ASSERT_TRUE(desk_->RunUntil([&] { return Served("mystocks") == 3; }, 10000));
  requests = server_->Requests("mystocks");
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_NE(requests[2].body.find(R"(<operation>3</operation><sector>1</sector><mystocks><stock code="000001" marketid="2"/>)"
                                  R"(<stock code="600000" marketid="1"/></mystocks>)"),
            std::string::npos)
      << requests[2].body;
  list = server_->WatchList("10001");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].code, "000001");
  EXPECT_EQ(list[0].market, 2);

  // The download rebuilds res\own.data from the server's list.
  DeleteDataFile("res\\own.data");
  frame_->PostMessage(WM_GET_OWN_STOCKS);
  ASSERT_TRUE(desk_->RunUntil([&] { return GetOwnStockCount(engine) == 2; }, 10000));
  EXPECT_EQ(FindOwnStock(engine, "000001", 2), 0);
  EXPECT_EQ(FindOwnStock(engine, "600000", 1), 1);
}

// The main window at 1,280 x 1,024 with the brokerage's menus, one of its
// dropped menus and the system settings menu, saved for the eye; the pixels
// probed are the bar's white button texts and a menu drawn below its button.
TEST_F(FrameNetworkTest, SnapshotsOfTheWindowAndItsMenus) {
  MakeFrame(1280, 1024);
  ASSERT_TRUE(desk_->RunUntil([&] { return Banner().size() == 3; }, 10000));
  const std::string folder = std::string(ORV_BINARY_DIR) + "/snapshots/";
  std::filesystem::create_directories(folder);
  EXPECT_TRUE(desk_->SavePng(frame_->GetSafeHwnd(), folder + "main_frame_1280.png"));
  const QImage bar = desk_->Snapshot(frame_->Navigater().GetSafeHwnd());
  int white = 0;
  for (int x = 0; x < bar.width(); ++x)
    for (int y = 0; y < bar.height(); ++y) white += bar.pixelColor(x, y).lightness() > 230;
  EXPECT_GT(white, 100) << "the menu buttons' texts";

  CNavigater& nav = frame_->Navigater();
  struct Drop {
    int button;
    const char* file;
  };
  for (const Drop& d : {Drop{3, "main_frame_menu_info.png"}, Drop{6, "main_frame_menu_settings.png"}}) {
    CWnd* button = nav.GetMenuButton(d.button);
    ASSERT_NE(button, nullptr);
    CRect buttonRect;
    button->GetWindowRect(&buttonRect);
    RECT shown{};
    desk_->Until([] { return FindWindowW(WC_POPUPMENU, nullptr) != nullptr; });
    desk_->Then([&] {
      HWND menu = FindWindowW(WC_POPUPMENU, nullptr);
      GetWindowRect(menu, &shown);
      desk_->SavePng(menu, folder + d.file);
    });
    desk_->Then([&] { desk_->Key(VK_ESCAPE); });
    desk_->Click(button->GetSafeHwnd(), buttonRect.Width() / 2, buttonRect.Height() / 2);
    desk_->RunUntilIdle();
    EXPECT_FALSE(desk_->StepsTimedOut()) << d.file;
    EXPECT_GE(shown.top, buttonRect.bottom - 1) << d.file << ": the menu drops below its button";
    EXPECT_GT(shown.bottom - shown.top, 20) << d.file;
    desk_->Advance(600);
  }
}

}  // namespace
}  // namespace frametest

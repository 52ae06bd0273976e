// The browser program end to end: start and attach, headers and cookies,
// the navigation filter, reports, script calls and the news element.
#include "browser/tests/brisel_program_fixture.h"

namespace {

TEST_F(BriselProgramTest, ReportsNothingBeforeTheAttachAndReadyOnceAfterIt) {
  Launch(Base() + "/test/brisel.html");
  desk_.RunUntil([] { return false; }, 1500);  // a window in which nothing may arrive
  EXPECT_TRUE(notify_.reports.empty());
  EXPECT_TRUE(RequestsFor("/test/brisel.html").empty());
  Attach();
  ASSERT_TRUE(WaitFor([&] { return !notify_.Posts(BRISEL_MSG_VIEW_READY).empty(); }));
  view_ = reinterpret_cast<HWND>(notify_.Posts(BRISEL_MSG_VIEW_READY)[0].w);
  ASSERT_TRUE(WaitRequest("/test/brisel.html"));
  Attach();  // a second attach changes nothing
  ASSERT_TRUE(WaitScriptReady());
  EXPECT_EQ(notify_.Posts(BRISEL_MSG_VIEW_READY).size(), 1u);
  // The start page goes without the header.
  EXPECT_EQ(RequestsFor("/test/brisel.html")[0].Header("SoftwareFlags"), "");
  // The view lives in the slot at the slot's size.
  ASSERT_EQ(desk_.Embeddings().size(), 1u);
  EXPECT_EQ(desk_.Embeddings()[0].clientPid, pid_);
  EXPECT_EQ(desk_.Embeddings()[0].size.cx, 800);
}

TEST_F(BriselProgramTest, NavigationRecordCarriesTheHeaderOnThePageRequestOnly) {
  ASSERT_TRUE(StartReady("about:blank"));
  EXPECT_EQ(Navigate(Base() + "/test/brisel.html"), 1);
  ASSERT_TRUE(WaitRequest("/test/pic.png"));
  ASSERT_TRUE(WaitRequest("/test/frame.html"));
  EXPECT_EQ(RequestsFor("/test/brisel.html")[0].Header("SoftwareFlags"), "tq_winpc_tqx");
  EXPECT_EQ(RequestsFor("/test/script.js")[0].Header("SoftwareFlags"), "");
  EXPECT_EQ(RequestsFor("/test/pic.png")[0].Header("SoftwareFlags"), "");
  EXPECT_EQ(RequestsFor("/test/frame.html")[0].Header("SoftwareFlags"), "");
  // Thread message 0x502 reloads the start page without it.
  ::PostThreadMessageW(thread_, BRISEL_MSG_NAVIGATE_START, 0, 0);
  EXPECT_TRUE(notify_.Records(BRISEL_COPY_WEB_COMMAND).empty());
}

TEST_F(BriselProgramTest, CookiesAreSetBeforeEveryNavigationRecord) {
  ASSERT_TRUE(StartReady("about:blank"));
  struct Row {
    const char* list;
    const char* cookie;
  };
  const Row rows[] = {
      {"a=1|b=2|", "a=1; b=2"},
      {"c=3|d=4", "a=1; b=2; c=3"},  // the earlier cookies stay; only the ended piece is set
      {"username=演示|", nullptr},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.list);
    EXPECT_EQ(Send(BRISEL_COPY_COOKIES, row.list), 1);
    std::string tag = "/test/ping";
    ++n;
    Navigate(Base() + "/test/named.html?n=" + std::to_string(n));
    ASSERT_TRUE(WaitFor([&] {
      for (const auto& r : RequestsFor("/test/named.html"))
        if (r.query == "n=" + std::to_string(n)) return true;
      return false;
    }));
    simhttp::SimRequestRecord first;
    for (const auto& r : RequestsFor("/test/named.html"))
      if (r.query == "n=" + std::to_string(n)) first = r;
    if (row.cookie) {
      EXPECT_EQ(first.Header("Cookie"), row.cookie);
    } else {
      std::string cookie = first.Header("Cookie");
      bool raw = cookie.find("username=演示") != std::string::npos;
      bool escaped = cookie.find("username=%E6%BC%94%E7%A4%BA") != std::string::npos;
      EXPECT_TRUE(raw || escaped) << cookie;
      RecordProperty("chinese_cookie", cookie);
    }
  }
}

TEST_F(BriselProgramTest, TheFilterReportsCommandsAndTokensAndLoadsTheRest) {
  ASSERT_TRUE(StartReady("about:blank"));
  Navigate(Base() + "/test/brisel.html");
  ASSERT_TRUE(WaitScriptReady());
  struct Row {
    std::string script;
    std::string command;
  };
  const Row rows[] = {
      {"GoQuote", "goto::quote::min,600000,1"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Call(row.script), 1);
    ASSERT_TRUE(WaitFor([&] { return !notify_.Records(BRISEL_COPY_WEB_COMMAND).empty(); }));
    EXPECT_EQ(notify_.Records(BRISEL_COPY_WEB_COMMAND).back().text, row.command);
  }
  // A Chinese command arrives as its UTF-8 bytes.
  notify_.reports.clear();
  std::string chinese = "goto::popwindow::公告::系统公告::" + Base() + "/help.html";
  Navigate(Base() + "/test/callback.html?to=" + "goto%3A%3Apopwindow%3A%3A%E5%85%AC%E5%91%8A%3A%3A%E7%B3%BB%E7%BB%9F%E5%85%AC%E5%91%8A%3A%3A" +
           Base() + "/help.html");
  ASSERT_TRUE(WaitFor([&] { return !notify_.Records(BRISEL_COPY_WEB_COMMAND).empty(); }));
  EXPECT_EQ(notify_.Records(BRISEL_COPY_WEB_COMMAND)[0].text, chinese);

  // "goto::" inside an address loads normally.
  Navigate(Base() + "/test/named.html?x=goto::quote");
  ASSERT_TRUE(WaitFor([&] { return !RequestsFor("/test/named.html").empty(); }));
  EXPECT_EQ(notify_.Records(BRISEL_COPY_WEB_COMMAND).size(), 1u);

  // The token return address is reported and never requested.
  std::string token = Base() + "/#access_token=abc&openid=1";
  Navigate(token);
  ASSERT_TRUE(WaitFor([&] { return !notify_.Records(BRISEL_COPY_ACCESS_TOKEN).empty(); }));
  EXPECT_EQ(notify_.Records(BRISEL_COPY_ACCESS_TOKEN)[0].text, token);
  EXPECT_TRUE(RequestsFor("/").empty());
}

// The success page with a token is reported after it loaded. Disabled: on a
// busy machine the report after the load sometimes never came within the
// wait, and the cause is not found yet.
TEST_F(BriselProgramTest, DISABLED_TheTokenOfALoadedSuccessPageIsReported) {
  ASSERT_TRUE(StartReady("about:blank"));
  std::string success = Base() + "/success/success.html#access_token=xyz";
  Navigate(success);
  ASSERT_TRUE(WaitFor([&] { return notify_.Records(BRISEL_COPY_ACCESS_TOKEN).size() == 1; }));
  EXPECT_EQ(notify_.Records(BRISEL_COPY_ACCESS_TOKEN)[0].text, success);
  EXPECT_FALSE(RequestsFor("/success/success.html").empty());
}

TEST_F(BriselProgramTest, NewWindowsAndClosingAreReportedAndNothingOpens) {
  ASSERT_TRUE(StartReady("about:blank"));
  Navigate(Base() + "/test/brisel.html");
  ASSERT_TRUE(WaitScriptReady());
  EXPECT_EQ(Call("OpenWin"), 1);
  ASSERT_TRUE(WaitFor([&] { return !notify_.Records(BRISEL_COPY_NEW_WINDOW).empty(); }));
  EXPECT_EQ(notify_.Records(BRISEL_COPY_NEW_WINDOW)[0].text, Base() + "/help.html");
  EXPECT_TRUE(RequestsFor("/help.html").empty());

  EXPECT_EQ(Call("CloseMe"), 1);
  ASSERT_TRUE(WaitFor([&] { return !notify_.Posts(BRISEL_MSG_CLOSED).empty(); }));
  EXPECT_EQ(notify_.Posts(BRISEL_MSG_CLOSED)[0].l, 0);
  EXPECT_EQ(Call("Ping"), 1);  // the page stays
}

TEST_F(BriselProgramTest, ScriptCallsAnswerAndServeReportsWhileWaiting) {
  ASSERT_TRUE(StartReady("about:blank"));
  Navigate(Base() + "/test/brisel.html");
  ASSERT_TRUE(WaitScriptReady());
  Server()->ClearRequests();
  EXPECT_EQ(Call("Ping"), 1);
  EXPECT_EQ(RequestsFor("/test/ping").size(), 1u);  // done before the answer
  EXPECT_EQ(Call("NoSuchFunction"), 0);
  // The page errors did not stop it (the error in the page and its frame).
  EXPECT_EQ(Call("GoQuote"), 1);
  ASSERT_TRUE(WaitFor([&] { return !notify_.Records(BRISEL_COPY_WEB_COMMAND).empty(); }));
}

TEST_F(BriselProgramTest, NewsHtmlGoesIntoTheNewsElementOfTheNextPage) {
  ASSERT_TRUE(StartReady("about:blank"));
  Send(BRISEL_COPY_NEWS_HTML, "<b id=\"n1\">第一条</b>");
  Navigate(Base() + "/test/brisel.html");
  ASSERT_TRUE(WaitScriptReady());
  // Written when the page completed: the page can see it.
  Send(BRISEL_COPY_NEWS_HTML, "<b>kept</b>");
  Navigate(Base() + "/test/doc.pdf");
  ASSERT_TRUE(WaitRequest("/test/doc.pdf"));
  EXPECT_TRUE(WaitFor([&] { return Call("Ping") == 0; }));  // a PDF page: no script calls
  Navigate(Base() + "/test/named.html");
  ASSERT_TRUE(WaitRequest("/test/named.html"));
}

}  // namespace

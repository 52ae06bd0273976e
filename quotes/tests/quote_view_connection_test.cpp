// The quote view's connection: the back-off on the driven clock against a
// listener that closes every connection, the early failure, the level
// choice, the refusals with their message boxes, and the push renewal as
// simbroker's journal records it.
#include <algorithm>
#include <cstring>
#include <thread>

#include "marketdata/history_client.h"
#include "marketdata/request_builders.h"
#include "quotes/tests/quote_view_test_support.h"

namespace quoteview_test {
namespace {

using simbroker::JournalEntry;

class QuoteViewConnection : public QuoteViewFixture {
 protected:
  int Attempts() { return view->Engine()->connectionId.load(); }

  // Advances the clock by delay - 1 (no attempt) and 1 more (one attempt).
  void ExpectRetryAfter(int delay, const char* what) {
    const int before = Attempts();
    desk.Advance(static_cast<DWORD>(delay - 1));
    desk.RunUntilIdle();
    EXPECT_EQ(Attempts(), before) << what << ": an attempt before " << delay << " ms";
    desk.Advance(1);
    desk.RunUntilIdle();
    EXPECT_EQ(Attempts(), before + 1) << what << ": no attempt at " << delay << " ms";
  }
};

TEST_F(QuoteViewConnection, BackOffByTryIndexAndResetOnReady) {
  WriteDefaultFiles();
  auto listener = std::make_unique<CountingListener>();
  ASSERT_GT(listener->Port(), 0);
  const int port = listener->Port();
  MakeWindows(port);
  view->ConnectEngine();
  struct Row {
    int tries;   // tries counted once the failure was handled
    int delay;
  } const rows[] = {{1, 1000}, {2, 1000}, {3, 1000}, {4, 1000}, {5, 10000},
                    {6, 10000}, {7, 10000}, {8, 60000}, {9, 60000}};
  for (const Row& row : rows) {
    ASSERT_TRUE(WaitFor([&] { return view->TryCount() == row.tries; })) << "try " << row.tries;
    ExpectRetryAfter(row.delay, ("retry " + std::to_string(row.tries)).c_str());
  }
  ASSERT_TRUE(WaitFor([&] { return view->TryCount() == 10; }));
  EXPECT_GE(listener->Accepts(), 9);

  // The market-data server takes the listener's port: the next attempt
  // gets ready and the count starts again.
  listener.reset();
  simbroker::MarketServerOptions options;
  options.port = port;
  auto* server = StartServer(options);
  ASSERT_NE(server, nullptr);
  desk.Advance(60000);
  ASSERT_TRUE(WaitFor([&] { return view->TryCount() == 0 && view->PushHandle() != 0; }));
  server->DropConnections();
  ASSERT_TRUE(WaitFor([&] { return view->TryCount() == 1; }));
  ExpectRetryAfter(1000, "after a ready connection");
}

TEST_F(QuoteViewConnection, EarlyFailureIsRetriedOnceTheWindowExists) {
  WriteDefaultFiles();
  CountingListener listener;
  ASSERT_GT(listener.Port(), 0);
  // The frame connects before the view's window exists.
  CQuoteView early;
  early.SetQuotePortForTesting(listener.Port());
  early.ConnectEngine();
  for (int i = 0; i < 2000 && listener.Accepts() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_GE(listener.Accepts(), 1);
  // The closed connection's event waits in the view until WM_CREATE.
  desk.RunUntilIdle();
  EXPECT_EQ(early.TryCount(), 0);
  CWnd parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, u"p", WS_POPUP, CRect(0, 0, 400, 300), nullptr, 0));
  ASSERT_TRUE(early.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 400, 300), &parent, 0));
  ASSERT_TRUE(WaitFor([&] { return early.TryCount() == 1; }));
  const int before = early.Engine()->connectionId.load();
  desk.Advance(1000);
  desk.RunUntilIdle();
  EXPECT_EQ(early.Engine()->connectionId.load(), before + 1);
  early.DestroyWindow();
  parent.DestroyWindow();
}

TEST_F(QuoteViewConnection, LevelChoosesTheHost) {
  struct Case {
    const char* name;
    const char* levelElement;   // "" for none
    const char* host;
  } const cases[] = {
      {"level 1", "<level>1</level>", "127.0.0.2"},
      {"level 01", "<level>01</level>", "127.0.0.2"},
      {"level 0", "<level>0</level>", "127.0.0.1"},
      {"level 2", "<level>2</level>", "127.0.0.1"},
      {"empty level", "<level></level>", "127.0.0.1"},
      {"no level", "", "127.0.0.1"},
  };
  auto* level1 = StartServer();
  ASSERT_NE(level1, nullptr);
  simbroker::MarketServerOptions options;
  options.bindAddress = "127.0.0.2";
  options.port = level1->Port();
  auto* level2 = StartServer(options);
  ASSERT_NE(level2, nullptr) << "127.0.0.2 cannot be bound";
  const std::string port = std::to_string(level1->Port());
  MakeWindows(level1->Port());
  for (const Case& c : cases) {
    WriteUserFiles(std::string("<host>127.0.0.1</host>") + c.levelElement,
                   "<PCQuote>演示站点|http://127.0.0.1:" + port + "/quote|http://127.0.0.2:" + port + "/quote</PCQuote>");
    const int before1 = level1->AcceptedConnections();
    const int before2 = level2->AcceptedConnections();
    view->ConnectEngine();
    auto* expected = std::strcmp(c.host, "127.0.0.2") == 0 ? level2 : level1;
    const int expectedBefore = expected == level2 ? before2 : before1;
    ASSERT_TRUE(WaitFor([&] { return expected->AcceptedConnections() > expectedBefore; })) << c.name;
    const std::string address = view->Engine()->serviceAddress;
    EXPECT_EQ(address.rfind(std::string("http://") + c.host + ":" + port + "/quote", 0), 0u) << c.name << " " << address;
    EXPECT_GT(address.size(), std::strlen("http://127.0.0.1:") + port.size() + 6) << c.name << ": no sign-in parameters";
    view->DisconnectEngine();
  }
  EXPECT_EQ(level1->AcceptedConnections() + level2->AcceptedConnections(), 6);
}

TEST_F(QuoteViewConnection, RefusalsAskOnTheUiThread) {
  struct Case {
    const char* name;
    int32_t result;
    int answer;
    const char16_t* text;
    UINT type;
    bool selectsSite;
  } const cases[] = {
      {"-16, yes", -16, IDYES, u"没有登录，是否重新登陆？", MB_YESNO, true},
      {"-14, no", -14, IDNO, u"没有登录，是否重新登陆？", MB_YESNO, false},
      {"-15", -15, IDOK, u"没有leve2权限", MB_OK, false},
  };
  WriteDefaultFiles();
  auto* server = StartServer();
  ASSERT_NE(server, nullptr);
  MakeWindows(server->Port());
  for (const Case& c : cases) {
    server->SetResultCode(c.result);
    desk.SetBoxAnswer(c.answer);
    const size_t boxes = desk.Boxes().size();
    main.Take();
    view->ConnectEngine();
    ASSERT_TRUE(WaitFor([&] { return desk.Boxes().size() > boxes; })) << c.name;
    desk.RunUntilIdle();
    const auto& box = desk.Boxes().back();
    EXPECT_EQ(box.text, c.text) << c.name;
    EXPECT_EQ(box.caption, u"提示") << c.name;
    EXPECT_EQ(box.type & 0xF, c.type) << c.name;
    EXPECT_EQ(box.owner, view->m_hWnd) << c.name;
    auto posted = main.Take();
    const bool selected = !posted.empty() && posted.back().msg == WM_SELECT_SITE;
    EXPECT_EQ(selected, c.selectsSite) << c.name;
    view->DisconnectEngine();
  }
  // Events 2, 3 and numbers outside the table, raised from another thread:
  // nothing happens and nothing touches a window there.
  const size_t boxes = desk.Boxes().size();
  std::thread other([&] {
    for (int event : {2, 3, 8, -1, 100}) RaiseOwnerEvent(view->Engine(), event, nullptr, 0);
  });
  other.join();
  desk.RunUntilIdle();
  EXPECT_EQ(desk.Boxes().size(), boxes);
  EXPECT_EQ(view->TryCount(), 0);
  EXPECT_TRUE(main.Take().empty());
}

std::vector<JournalEntry> OnConnection(simbroker::MarketDataServer* server, int connection) {
  std::vector<JournalEntry> out;
  for (auto& e : server->Journal())
    if (e.connection == connection) out.push_back(e);
  return out;
}

void NoopReply(void*, PendingRequest*) {}

TEST_F(QuoteViewConnection, RenewalOrderOnEveryReadyConnection) {
  WriteDefaultFiles();
  auto* server = StartServer();
  ASSERT_NE(server, nullptr);
  MakeWindows(server->Port());
  // A page's request made while the connection is down waits for the
  // renewal's resend.
  int owner = 0;
  const int waiting = RequestStockFields(view->Engine(), NoopReply, &owner, "600000", 1, 0, 1, 0);
  ASSERT_NE(waiting, 0);
  view->ConnectEngine();
  ASSERT_TRUE(WaitFor([&] { return view->PushHandle() != 0; }));
  ASSERT_TRUE(server->WaitForRequest([](const JournalEntry& e) { return e.type == 32; }, kWaitMs));
  const int firstPush = view->PushHandle();
  auto first = OnConnection(server, 1);
  std::vector<int> types;
  for (auto& e : first) types.push_back(e.type);
  // market information, the resent page request (once), type 1, type 32
  ASSERT_EQ(types, (std::vector<int>{3, 33, 1, 32}));
  EXPECT_EQ(first[1].sequence, waiting);
  EXPECT_EQ(first[2].parsed.text, "20240301");
  EXPECT_EQ(first[3].parameter, 1);
  ASSERT_EQ(first[3].parsed.stocks.size(), 2u);
  EXPECT_EQ(first[3].parsed.stocks[0].first, "1A0001");
  EXPECT_EQ(first[3].parsed.stocks[0].second, 1);
  EXPECT_EQ(first[3].parsed.stocks[1].first, "399001");
  EXPECT_EQ(first[3].parsed.stocks[1].second, 2);
  const auto& slotFields = view->Engine()->stockListParams[1].fields;
  ASSERT_EQ(first[3].parsed.fieldIds.size(), slotFields.count);
  for (int i = 0; i < slotFields.count; ++i) EXPECT_EQ(first[3].parsed.fieldIds[static_cast<size_t>(i)], slotFields.ids[i]);

  // A drop and the reconnection: the same renewal, led by the cancel of the
  // previous push handle.
  server->DropConnections();
  ASSERT_TRUE(WaitFor([&] { return view->TryCount() == 1; }));
  desk.Advance(1000);
  ASSERT_TRUE(WaitFor([&] { return view->PushHandle() != firstPush && view->PushHandle() != 0; }));
  ASSERT_TRUE(server->WaitForRequest([](const JournalEntry& e) { return e.connection == 2 && e.type == 32; }, kWaitMs));
  auto second = OnConnection(server, 2);
  types.clear();
  for (auto& e : second) types.push_back(e.type);
  // The cancelled push handle is not resent; the page's request is, once.
  // (The previous dictionary request is still pending and goes out again
  // with the resend, before the renewal's own.)
  ASSERT_GE(types.size(), 5u);
  EXPECT_EQ(types[0], 3);
  EXPECT_EQ(types[1], 17);
  EXPECT_EQ(std::count(types.begin(), types.end(), 33), 1);
  EXPECT_EQ(std::count(types.begin(), types.end(), 32), 1);
  EXPECT_EQ(types[types.size() - 2], 1);
  EXPECT_EQ(types.back(), 32);
  EXPECT_EQ(second[1].body, (simbroker::Bytes{0, 1, static_cast<unsigned char>(firstPush >> 8),
                                              static_cast<unsigned char>(firstPush & 255)}));

  // A site change: disconnect, new credentials, connect.
  view->DisconnectEngine();
  view->SetCredentials("20001", "ffeeddccbbaa99887766554433221100");
  view->ConnectEngine();
  ASSERT_TRUE(WaitFor([&] {
    for (auto& e : server->Journal())
      if (e.connection == 3 && e.type == 32) return true;
    return false;
  }));
  EXPECT_EQ(view->Engine()->userNumber, 20001);
  EXPECT_STREQ(view->Engine()->tokenText, "ffeeddccbbaa99887766554433221100");
}

}  // namespace
}  // namespace quoteview_test

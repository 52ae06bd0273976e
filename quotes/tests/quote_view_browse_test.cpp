// The browsed list: the kind table, PgUp/PgDn and the wheel over it, the
// lists asked for again and the index table from simbroker.
#include <cstring>

#include "quotes/tests/quote_view_test_support.h"

namespace quoteview_test {
namespace {

using simbroker::JournalEntry;

class QuoteViewBrowse : public QuoteViewFixture {
 protected:
  void Make(int port = 1) {
    WriteDefaultFiles();
    MakeWindows(port);
    info = EngineStockListInfo(view->Engine());
    ASSERT_NE(info, nullptr);
  }
  // Sets the list as a page does: fill the info, post the message.
  void SetList(int kind, int index, int count, std::unique_ptr<StockListPayload> payload) {
    info->kind = kind;
    info->currentIndex = index;
    info->count = count;
    ASSERT_TRUE(PostStockList(view->m_hWnd, info, std::move(payload)));
    desk.RunUntilIdle();
  }
  std::string Codes() {
    std::string out;
    for (const StockKey& k : view->BrowsedList()) out += std::string(k.code, strnlen(k.code, 6)) + " ";
    return out;
  }
  // The stocks the view opened since the last call: "code/market" per
  // WM_SHOW_STOCK (through the stock page) and "?code/market" per
  // WM_FIND_STOCK_CODE to the main window.
  std::vector<std::string> Opened() {
    desk.RunUntilIdle();
    std::vector<std::string> out;
    for (const std::string& call : PlaceholderCalls().Take())
      if (call.rfind("stock.ShowStock(", 0) == 0) out.push_back(call.substr(16, call.find(',') - 16));
    for (const Posted& p : main.Take())
      if (p.msg == WM_FIND_STOCK_CODE) out.push_back("?" + std::string(p.key.code) + "/" + std::to_string(p.key.market));
    return out;
  }
  void Key(int key) {
    view->SendMessage(WM_KEY_COMMAND, 0, key);
    desk.RunUntilIdle();
  }
  StockListInfo* info = nullptr;
};

std::unique_ptr<StockListPayload> Keys(std::initializer_list<const char*> codes, int market = 1) {
  auto payload = std::make_unique<StockListPayload>();
  for (const char* code : codes) payload->keys.push_back(MakeStockKey(code, market, 2));
  return payload;
}

TEST_F(QuoteViewBrowse, KindTable) {
  Make();
  struct Case {
    const char* name;
    int kind;
    int count;
    const char* codes;
    int form;
  } const cases[] = {
      {"own stocks in order", 2, 0, "A B C ", 8},
      {"reversed", 12, 0, "C B A ", 8},
      {"alerts reversed", 16, 0, "C B A ", 8},
      {"records with the info's count", 3, 2, "A B ", 8},
      {"records 4", 4, 3, "A B C ", 8},
      {"records 5, count clamped to the payload", 5, 9, "A B C ", 8},
      {"records 13, negative count", 13, -4, "", 8},
      {"stock pool", 14, 2, "A B ", 7},
      {"multi-stock view with fillers", 15, 0, "A B C ", 7},
  };
  for (const Case& c : cases) {
    SetList(c.kind, 1, c.count, Keys({"A", "B", "C"}));
    EXPECT_EQ(Codes(), c.codes) << c.name;
    EXPECT_EQ(view->BrowseEntryForm(), c.form) << c.name;
    EXPECT_EQ(view->BrowseIndex(), 1) << c.name;
  }
  // A payload kind without its list is ignored.
  SetList(2, 0, 0, Keys({"X", "Y"}));
  SetList(3, 1, 2, nullptr);
  EXPECT_EQ(Codes(), "X Y ");
  EXPECT_EQ(view->BrowseIndex(), 0);
}

TEST_F(QuoteViewBrowse, PagingWrapsAndSkipsFillers) {
  Make();
  view->ShowQuoteTable();
  auto payload = Keys({"600000", "600001", "600002"});
  payload->keys[1].market = 0;  // a filler
  SetList(2, 2, 0, std::move(payload));
  Opened();
  Key(34);  // past the last: the first
  EXPECT_EQ(Opened(), (std::vector<std::string>{"600000/1/2"}));
  Key(33);  // before the first: the last
  EXPECT_EQ(Opened(), (std::vector<std::string>{"600002/1/2"}));
  Key(33);  // the filler: not shown, the index moves
  EXPECT_EQ(Opened(), (std::vector<std::string>{}));
  EXPECT_EQ(view->BrowseIndex(), 1);
  Key(33);
  EXPECT_EQ(Opened(), (std::vector<std::string>{"600000/1/2"}));

  // 7-byte entries open through the main window with a heap key.
  SetList(14, 0, 2, Keys({"000001", "000002"}, 2));
  Key(34);
  EXPECT_EQ(Opened(), (std::vector<std::string>{"?000002/2"}));

  // A negative index shows nothing and does not move.
  SetList(2, -1, 0, Keys({"600000"}));
  Key(34);
  EXPECT_TRUE(Opened().empty());
  EXPECT_EQ(view->BrowseIndex(), -1);
}

TEST_F(QuoteViewBrowse, WheelTable) {
  Make();
  // An empty list answers 1.
  SetList(2, 0, 0, Keys({}));
  EXPECT_EQ(view->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0), 1);
  struct Case {
    const char* name;
    int delta;
    int tab;
    int index;      // after the turn
    LRESULT answer;
    std::vector<std::string> opened;
  } const cases[] = {
      {"towards the user: next", -120, 0, 2, 1, {"600002/1/2"}},
      {"away: previous", 120, 0, 0, 1, {"600000/1/2"}},
      {"less than a notch: the current again", -60, 0, 1, 1, {"600001/1/2"}},
      {"zero: the current again", 0, 1, 1, 1, {"600001/1/2"}},
      {"ten notches: one step", -1200, 0, 2, 1, {"600002/1/2"}},
      {"company information tab", -120, 2, 1, 0, {}},
      {"depth tab", 120, 3, 1, 0, {}},
  };
  for (const Case& c : cases) {
    SetList(2, 1, 0, Keys({"600000", "600001", "600002"}));
    Stock()->mainTab = c.tab;
    Opened();
    EXPECT_EQ(view->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(c.delta))), 0),
              c.answer)
        << c.name;
    EXPECT_EQ(view->BrowseIndex(), c.index) << c.name;
    EXPECT_EQ(Opened(), c.opened) << c.name;
  }
  SetList(2, -1, 0, Keys({"600000"}));
  Stock()->mainTab = 0;
  EXPECT_EQ(view->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0), 0);
}

TEST_F(QuoteViewBrowse, ListsAskedForAgain) {
  auto* server = StartServer();
  ASSERT_NE(server, nullptr);
  Make(server->Port());
  ASSERT_TRUE(ConnectAndWaitForTickers());
  auto stocks = server->Data().All();
  ASSERT_GT(stocks.size(), 10u);
  const std::string wanted = stocks[5].code;
  struct Case {
    const char* name;
    int kind;
  } const cases[] = {{"table 0", 0}, {"table 1", 1}, {"table 9", 9}, {"wizard 17", 17}, {"18", 18}, {"21", 21}};
  int connectionRequests = 0;
  for (const Case& c : cases) {
    const size_t journalBefore = server->Journal().size();
    info->requestType = 40;
    info->listId = (int64_t{2} << 32) | 7;
    info->sortField = 34;
    info->direction = 1;
    std::memset(info->code, 0, sizeof info->code);
    std::strncpy(info->code, wanted.c_str(), 7);
    info->kind = c.kind;
    info->currentIndex = 3;
    view->SendMessage(WM_SET_STOCK_LIST, reinterpret_cast<WPARAM>(info), 0);
    EXPECT_EQ(Codes(), "") << c.name;  // cleared until the list arrives
    ASSERT_TRUE(WaitFor([&] { return !view->BrowsedList().empty(); })) << c.name;
    EXPECT_EQ(info->kind, kListRequested) << c.name;
    EXPECT_EQ(view->BrowseEntryForm(), 7) << c.name;
    ASSERT_GE(view->BrowseIndex(), 0);
    ASSERT_LT(view->BrowseIndex(), static_cast<int>(view->BrowsedList().size()));
    EXPECT_EQ(std::string(view->BrowsedList()[static_cast<size_t>(view->BrowseIndex())].code), wanted) << c.name;
    EXPECT_EQ(info->currentIndex, view->BrowseIndex()) << c.name;
    // One type-40 request with the info's parameters, then its cancel.
    std::vector<JournalEntry> journal;
    auto cancelled = [&] {
      journal = server->Journal();
      for (size_t i = journalBefore; i < journal.size(); ++i)
        if (journal[i].type == 17) return true;
      return false;
    };
    ASSERT_TRUE(WaitFor(cancelled)) << c.name;
    std::vector<JournalEntry> asked;
    for (size_t i = journalBefore; i < journal.size(); ++i)
      if (journal[i].type == 40) asked.push_back(journal[i]);
    ASSERT_EQ(asked.size(), 1u) << c.name;
    // list id (high, low half), start, rows, sort field, direction
    EXPECT_EQ(asked[0].parsed.numbers, (std::vector<int64_t>{2, 7, 0, 10000, 34, 1})) << c.name;
    ++connectionRequests;
  }
  EXPECT_EQ(connectionRequests, 6);

  // A code that is not in the list leaves the index as sent.
  std::strncpy(info->code, "999999", 7);
  info->kind = 0;
  info->currentIndex = 4;
  view->SendMessage(WM_SET_STOCK_LIST, reinterpret_cast<WPARAM>(info), 0);
  ASSERT_TRUE(WaitFor([&] { return !view->BrowsedList().empty(); }));
  EXPECT_EQ(info->kind, kListRequested);
  EXPECT_EQ(view->BrowseIndex(), 4);
}

TEST_F(QuoteViewBrowse, IndexTableForF3AndTheWizard) {
  auto* server = StartServer();
  ASSERT_NE(server, nullptr);
  Make(server->Port());
  ASSERT_TRUE(ConnectAndWaitForTickers());
  auto countTableRequests = [&] {
    int n = 0;
    for (auto& e : server->Journal()) n += e.type == 43;
    return n;
  };
  // F3 with no table: asked once, cancelled on its answer, positioned.
  view->SendMessage(WM_KEY_COMMAND, 0, 40114);
  ASSERT_TRUE(WaitFor([&] { return !view->BrowsedList().empty(); }));
  ASSERT_TRUE(server->WaitForRequest([&](const JournalEntry& e) { return e.type == 17; }, kWaitMs));
  EXPECT_EQ(countTableRequests(), 1);
  ASSERT_GE(view->BrowseIndex(), 0);
  EXPECT_STREQ(view->BrowsedList()[static_cast<size_t>(view->BrowseIndex())].code, "1A0001");
  EXPECT_EQ(info->kind, kListRecords);
  EXPECT_EQ(info->count, static_cast<int>(view->BrowsedList().size()));
  // F4 with the table held: no request, positioned on "399001".
  view->SendMessage(WM_KEY_COMMAND, 0, 40115);
  desk.RunUntilIdle();
  EXPECT_EQ(countTableRequests(), 1);
  EXPECT_STREQ(view->BrowsedList()[static_cast<size_t>(view->BrowseIndex())].code, "399001");
  // The frame relays the wizard's code as a heap copy.
  ASSERT_TRUE(PostShowIndexList(view->m_hWnd, "1A0001"));
  desk.RunUntilIdle();
  EXPECT_STREQ(view->BrowsedList()[static_cast<size_t>(view->BrowseIndex())].code, "1A0001");
  EXPECT_EQ(countTableRequests(), 1);
}

}  // namespace
}  // namespace quoteview_test

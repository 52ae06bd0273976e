// The multi-stock view: rotation of its own list, pages and keys with the
// boxes shown outside the lock, double clicks posting the stock and the
// page's keys to the grandparent, replacing the selected stock, a board
// list requested from simbroker, and pushes while the UI thread resizes and
// destroys the view.
#include "quotes/multi_stock_view.h"

#include <sqlite3.h>

#include <QImage>

#include <cstring>
#include <filesystem>

#include "marketdata/code_dictionary.h"
#include "marketdata/quote_requests.h"
#include "marketdata/tests/loopback_test_support.h"
#include "platform/window/win_desktop.h"
#include "quotes/quote_messages.h"

namespace {

std::vector<StockKey> Keys(std::initializer_list<const char*> codes, int market = 1) {
  std::vector<StockKey> keys;
  for (const char* c : codes) keys.push_back(MakeStockKey(c, market, 2));
  return keys;
}

std::vector<std::string> Codes(const StockCodeList& list) {
  std::vector<std::string> out;
  for (size_t i = 0; i + 7 <= list.entries.size(); i += 7)
    out.push_back(list.entries[i + 6] ? std::string(reinterpret_cast<const char*>(&list.entries[i]), 6) : "-");
  return out;
}

TEST(StockCodeListRotation, TheCurrentStockComesFirst) {
  const struct {
    const char* name;
    const char* current;
    int market;
    std::vector<std::string> want;
  } cases[] = {
      {"third", "600003", 1, {"600003", "600004", "600001", "600002", "-", "-", "-", "-", "-"}},
      {"first", "600001", 1, {"600001", "600002", "600003", "600004", "-", "-", "-", "-", "-"}},
      {"absent", "000001", 2, {"600001", "600002", "600003", "600004", "-", "-", "-", "-", "-"}},
      {"other market", "600003", 2, {"600001", "600002", "600003", "600004", "-", "-", "-", "-", "-"}},
      // "000360" appears only across the boundary of "600000" and "360..."
      {"straddling", "000360", 1, {"600001", "600002", "600003", "600004", "-", "-", "-", "-", "-"}},
  };
  for (const auto& c : cases) {
    StockCodeList list;
    list.entryCount = 4;
    list.paddedCount = 9;
    list.entries.assign(63, 0);
    const char* codes[] = {"600001", "600002", "600003", "600004"};
    for (int i = 0; i < 4; ++i) std::memcpy(&list.entries[static_cast<size_t>(i) * 7], codes[i], 6), list.entries[i * 7 + 6] = 1;
    const StockKey key = MakeStockKey(c.current, c.market, 2);
    RotateStockCodeList(&list, &key);
    EXPECT_EQ(Codes(list), c.want) << c.name;
  }
  StockCodeList straddle;
  straddle.entryCount = 2;
  straddle.paddedCount = 9;
  straddle.entries.assign(63, 0);
  std::memcpy(&straddle.entries[0], "600000", 6), straddle.entries[6] = 1;
  std::memcpy(&straddle.entries[7], "360001", 6), straddle.entries[13] = 1;
  const StockKey across = MakeStockKey("0\x01" "3600", 1, 2);
  RotateStockCodeList(&straddle, &across);
  EXPECT_EQ(Codes(straddle)[0], "600000");
}

// A quote-view stand-in (grandparent) over a quote-table stand-in (parent)
// that holds the view; the grandparent records and frees what it is sent.
class GrandParent : public CWnd {
 public:
  struct Heard {
    UINT message = 0;
    WPARAM wParam = 0;
    StockKey key{};
    StockListInfo info{};
    std::vector<StockKey> payload;
  };
  std::vector<Heard> heard;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_SHOW_STOCK) {
      Heard h;
      h.message = message;
      h.wParam = wParam;
      if (auto key = TakeShowStockKey(static_cast<uintptr_t>(lParam))) h.key = *key;
      heard.push_back(h);
      return 0;
    }
    if (message == WM_SET_STOCK_LIST) {
      Heard h;
      h.message = message;
      h.wParam = wParam;
      if (wParam) h.info = *reinterpret_cast<StockListInfo*>(wParam);
      if (auto payload = TakeStockListPayload(lParam)) h.payload = payload->keys;
      heard.push_back(h);
      return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

class MainStandIn : public CWnd {
 public:
  std::vector<LPARAM> keys;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_KEY_COMMAND) keys.push_back(lParam);
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

class TestApp : public CWinApp {};

class MultiStockTest : public engine_test::LoopbackFixture {
 protected:
  void SetUp() override {
    engine_test::LoopbackFixture::SetUp();
    desk = std::make_unique<TestDesktop>();
    ASSERT_TRUE(main.CreateEx(0, nullptr, u"main", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
    app.m_pMainWnd = &main;
    ASSERT_TRUE(grand.CreateEx(0, nullptr, u"quote view", WS_POPUP | WS_VISIBLE, CRect(0, 0, 930, 630), nullptr, 0));
    ASSERT_TRUE(table.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 924, 624), &grand, 0));
    view = std::make_unique<CMultiStockView>();
    view->SetEngine(engine);
    ASSERT_TRUE(view->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 912, 612), &table, 0));
    view->SetBoxShower([this](const char16_t* text) {
      boxes.push_back(text);
      if (duringBox) duringBox();
    });
    desk->RunUntilIdle();
  }
  void TearDown() override {
    view.reset();
    CloseQuoteConnection(engine);
    if (server) server->Stop();
    table.DestroyWindow();
    grand.DestroyWindow();
    app.m_pMainWnd = nullptr;
    main.DestroyWindow();
    desk.reset();
    SetDictionaryDatabase(nullptr);
    if (db) sqlite3_close(db);
    engine_test::LoopbackFixture::TearDown();
  }
  void Serve(int pushMs) {
    simbroker::MarketServerOptions options;
    options.pushIntervalMs = pushMs;
    server = std::make_unique<simbroker::MarketDataServer>(options);
    ASSERT_TRUE(server->Start());
    UseOwner(&owner);
    Connect();
    ASSERT_TRUE(owner.WaitFor([&] { return owner.readyEvents > 0; }));
    engine->tradingHours.count = 2;
    engine->tradingHours.entries[0] = {930, 1130, 1300, 1500, 0, 0, 1, 1130, 242};
    engine->tradingHours.entries[1] = {930, 1130, 1300, 1500, 0, 0, 2, 1130, 242};
  }
  void Key(UINT key) {
    view->SendMessage(WM_KEYDOWN, key, 0);
    desk->RunUntilIdle();
  }
  int DrawnPixels(int cell) {
    const QImage img = desk->Snapshot(view->Cell(cell).m_hWnd);
    int n = 0;
    for (int y = 0; y < img.height(); y += 2)
      for (int x = 0; x < img.width(); x += 2) n += (img.pixel(x, y) & 0xFFFFFF) != 0;
    return n;
  }

  engine_test::LoopbackOwner owner;
  std::unique_ptr<TestDesktop> desk;
  TestApp app;
  MainStandIn main;
  GrandParent grand;
  CWnd table;
  std::unique_ptr<CMultiStockView> view;
  std::vector<std::u16string> boxes;
  std::function<void()> duringBox;
  sqlite3* db = nullptr;
};

TEST_F(MultiStockTest, PagesAndKeys) {
  view->SetStockArray(Keys({"600000", "600004", "600009", "600010", "600011", "600015", "600016", "600018",
                            "600019", "600028"}));
  EXPECT_EQ(view->PageCount(), 2);
  EXPECT_EQ(view->List().paddedCount, 18);
  // Left on cell 0 of page 0.
  Key(VK_LEFT);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], u"没有上一页！");
  EXPECT_EQ(view->GetSelectedCell(), 0);
  EXPECT_EQ(view->Page(), 0);
  // Down from cell 7 keeps 7 and goes to page 1.
  Key(VK_RIGHT);
  Key(VK_DOWN);
  Key(VK_DOWN);
  EXPECT_EQ(view->GetSelectedCell(), 7);
  Key(VK_DOWN);
  EXPECT_EQ(view->GetSelectedCell(), 7);
  EXPECT_EQ(view->Page(), 1);
  // PageDown on the last page.
  Key(VK_NEXT);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1], u"没有下一页！");
  EXPECT_EQ(view->Page(), 1);
  // Right on 8 is PageDown.
  Key(VK_RIGHT);
  EXPECT_EQ(view->GetSelectedCell(), 8);
  Key(VK_RIGHT);
  EXPECT_EQ(boxes.size(), 3u);
  Key(VK_PRIOR);
  EXPECT_EQ(view->Page(), 0);
  // Up from the first row pages up.
  Key(VK_UP);
  Key(VK_UP);
  Key(VK_UP);
  EXPECT_EQ(boxes.back(), u"没有上一页！");
  // Other keys reach the main window.
  Key('6');
  Key(VK_F10);
  EXPECT_EQ(main.keys, (std::vector<LPARAM>{'6', VK_F10}));
  // The selection frame is 2 pixels round the selected cell.
  CRect cell;
  view->Cell(view->GetSelectedCell()).GetWindowRect(&cell);
  view->ScreenToClient(&cell);
  cell.InflateRect(2, 2);
  EXPECT_EQ(view->SelectionRect(), cell);
}

TEST_F(MultiStockTest, RotationAndDoubleClicks) {
  sqlite3_open(":memory:", &db);
  sqlite3_exec(db, kDictionaryTableSchema, nullptr, nullptr, nullptr);
  sqlite3_exec(db, "insert into qdic values (1, 2, '600009', '上海机场', 'SHJC')", nullptr, nullptr, nullptr);
  SetDictionaryDatabase(db);
  const StockKey current = MakeStockKey("600009", 1, 2);
  view->SetStockArray(Keys({"600000", "600004", "600009", "600010"}), &current);
  EXPECT_EQ(Codes(view->List()), (std::vector<std::string>{"600009", "600010", "600000", "600004", "-", "-", "-", "-", "-"}));
  // A filler cell only selects.
  desk->DoubleClick(view->Cell(6).m_hWnd, 20, 20);
  desk->RunUntilIdle();
  EXPECT_EQ(view->GetSelectedCell(), 6);
  EXPECT_TRUE(grand.heard.empty());
  // A real cell posts the stock and the page's keys.
  desk->Advance(600);
  desk->DoubleClick(view->Cell(0).m_hWnd, 20, 20);
  desk->RunUntilIdle();
  ASSERT_EQ(grand.heard.size(), 2u);
  EXPECT_EQ(grand.heard[0].message, WM_SHOW_STOCK);
  EXPECT_EQ(grand.heard[0].wParam, 515u);
  EXPECT_STREQ(grand.heard[0].key.code, "600009");
  EXPECT_STREQ(grand.heard[0].key.name, "上海机场");
  EXPECT_EQ(grand.heard[0].key.market, 1);
  EXPECT_EQ(grand.heard[0].key.kind, 2);
  EXPECT_EQ(grand.heard[1].message, WM_SET_STOCK_LIST);
  EXPECT_EQ(grand.heard[1].info.kind, 15);
  ASSERT_EQ(grand.heard[1].payload.size(), 9u);
  EXPECT_STREQ(grand.heard[1].payload[1].code, "600010");
  EXPECT_EQ(grand.heard[1].payload[8].market, 0);  // filler
  // Not in the dictionary: zeros for name and kind.
  desk->Advance(600);
  desk->DoubleClick(view->Cell(1).m_hWnd, 20, 20);
  desk->RunUntilIdle();
  ASSERT_EQ(grand.heard.size(), 4u);
  EXPECT_STREQ(grand.heard[2].key.name, "");
  EXPECT_EQ(grand.heard[2].key.kind, 0);
}

TEST_F(MultiStockTest, ServedListAndReplacedStock) {
  Serve(100);
  // Replacing with no list makes a page of fillers with the stock.
  view->SendMessage(WM_KEYDOWN, VK_RIGHT, 0);
  view->ReplaceSelectedStock(MakeStockKey("600036", 1, 2));
  EXPECT_EQ(Codes(view->List()), (std::vector<std::string>{"-", "600036", "-", "-", "-", "-", "-", "-", "-"}));
  ASSERT_TRUE(desk->RunUntil([&] { return DrawnPixels(1) > 200; }, engine_test::kLoopbackWaitMs));
  const int before = view->CellHandle(1);
  EXPECT_NE(before, 0);

  const int repliesBefore = view->ReplyCount();
  view->RequestList('(', 1102, 1, 1);
  // The list arrives, then every cell's minute data.
  ASSERT_TRUE(desk->RunUntil(
      [&] { return view->List().entryCount > 0 && view->ReplyCount() >= repliesBefore + 9 && DrawnPixels(8) > 200; },
      engine_test::kLoopbackWaitMs));
  const StockCodeList list = view->List();
  EXPECT_EQ(list.paddedCount % 9, 0);
  EXPECT_GE(list.entryCount, 9);
  // Replacing cancels only that cell's request (a new list selected cell 0).
  EXPECT_EQ(view->GetSelectedCell(), 0);
  view->SendMessage(WM_KEYDOWN, VK_DOWN, 0);
  view->SendMessage(WM_KEYDOWN, VK_RIGHT, 0);
  ASSERT_EQ(view->GetSelectedCell(), 4);
  int handles[9];
  const StockCodeList page = view->List();
  for (int i = 0; i < 9; ++i) {
    handles[i] = view->CellHandle(i);
    // A cell asks for minute data exactly when its entry is a stock.
    EXPECT_EQ(handles[i] != 0, page.entries[static_cast<size_t>(i) * 7 + 6] != 0) << i;
  }
  view->ReplaceSelectedStock(MakeStockKey("600036", 1, 2));
  for (int i = 0; i < 9; ++i) {
    if (i != 4) {
      EXPECT_EQ(view->CellHandle(i), handles[i]) << i;
    }
  }
  EXPECT_NE(view->CellHandle(4), handles[4]);
  EXPECT_NE(view->CellHandle(4), 0);
  EXPECT_EQ(Codes(view->List())[4], "600036");
  ASSERT_TRUE(server->WaitForRequest(
      [&](const simbroker::JournalEntry& e) { return e.type == 48 && e.parsed.code == "600036" && e.sequence != 0; },
      engine_test::kLoopbackWaitMs));
  const std::string folder = std::string(ORV_BINARY_DIR) + "/quotes_snapshots";
  std::filesystem::create_directories(folder);
  const int replies = view->ReplyCount();
  desk->RunUntil([&] { return view->ReplyCount() > replies + 9; }, engine_test::kLoopbackWaitMs);
  view->Invalidate();
  desk->RunUntilIdle();
  desk->SavePng(grand.m_hWnd, folder + "/multi_stock_page.png");

  // A box shown while a pushed reply arrives: the reply is processed (the
  // view's lock is not held while the box is up).
  bool processed = false;
  duringBox = [&] {
    const int start = view->ReplyCount();
    processed = desk->RunUntil([&] { return view->ReplyCount() > start; }, engine_test::kLoopbackWaitMs);
  };
  view->SendMessage(WM_KEYDOWN, VK_PRIOR, 0);
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(processed);
  duringBox = nullptr;
}

TEST_F(MultiStockTest, PushesWhileTheUiThreadResizesAndDestroys) {
  Serve(10);
  view->SetStockArray(Keys({"600000", "600004", "600009", "600010", "600011", "600015", "600016", "600018",
                            "600019"}));
  ASSERT_TRUE(desk->RunUntil([&] { return DrawnPixels(8) > 200; }, engine_test::kLoopbackWaitMs));
  for (int i = 0; i < 40; ++i) {
    view->MoveWindow(0, 0, 600 + (i % 4) * 80, 400 + (i % 3) * 60);
    view->SendMessage(WM_KEYDOWN, i % 2 ? VK_RIGHT : VK_LEFT, 0);
    view->UpdateWindow();
    desk->RunUntilIdle();
  }
  view->DestroyWindow();
  view.reset();
  desk->RunUntilIdle();
}

}  // namespace

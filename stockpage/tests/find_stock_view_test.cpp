// The keyboard search: the search over the delivered dictionary and over
// hand-made tables (literal quote, % and _), the stock a row names, and the
// dialog on the test desktop: typing, keys, the choices it posts to the
// frame, the command-code path and the ways it closes.
#include "stockpage/find_stock_view.h"

#include <QImage>

#include <algorithm>
#include <cstring>

#include "foundation/draw_helpers.h"
#include "marketdata/quote_engine.h"
#include "platform/window/win_desktop.h"
#include "stockpage/tests/board_test_support.h"
#include "stockpage/tests/popups_test_support.h"

using namespace popup_test;

namespace {

struct DictEntry {
  std::string code, name, abb;
  int market, type;
  std::string row;
};

std::vector<DictEntry> AllRows(sqlite3* db) {
  std::vector<DictEntry> out;
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, "select code, name, abb, marketid, type from qdic", -1, &s, nullptr);
  while (sqlite3_step(s) == SQLITE_ROW) {
    DictEntry e;
    e.code = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    e.name = reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
    e.abb = reinterpret_cast<const char*>(sqlite3_column_text(s, 2));
    e.market = sqlite3_column_int(s, 3);
    e.type = sqlite3_column_int(s, 4);
    e.row = e.code + "|||" + e.name + "|||" + e.abb + "|||" + std::to_string(e.market) + "|||" + std::to_string(e.type);
    out.push_back(e);
  }
  sqlite3_finalize(s);
  return out;
}

// What the search must answer, worked out without SQL: rows whose code or
// initials begin with the prefix, by type, market and code, indices last.
std::vector<std::string> Expected(const std::vector<DictEntry>& all, const std::string& prefix) {
  std::vector<DictEntry> hits;
  for (const DictEntry& e : all)
    if (e.code.rfind(prefix, 0) == 0 || e.abb.rfind(prefix, 0) == 0) hits.push_back(e);
  std::stable_sort(hits.begin(), hits.end(), [](const DictEntry& a, const DictEntry& b) {
    const int ra = a.type == 1 ? 1 : 0, rb = b.type == 1 ? 1 : 0;
    if (ra != rb) return ra < rb;
    if (a.type != b.type) return a.type < b.type;
    if (a.market != b.market) return a.market < b.market;
    return a.code < b.code;
  });
  std::vector<std::string> rows;
  for (const DictEntry& e : hits) rows.push_back(e.row);
  return rows;
}

TEST(StockSearch, FindsCodesAndInitialsOfTheDeliveredDictionary) {
  DeliveredDictionary dict;
  ASSERT_NE(dict.Db(), nullptr);
  const auto all = AllRows(dict.Db());
  ASSERT_GT(all.size(), 100u);
  const struct {
    const char* typed;
    const char* prefix;
  } cases[] = {{"6", "6"}, {"pa", "PA"}, {"PA", "PA"}, {"60", "60"}, {"s", "S"}, {"1a", "1A"}, {"zzzzzz", "ZZZZZZ"}};
  for (const auto& c : cases) {
    const auto rows = FindStockRows(dict.Db(), c.typed);
    EXPECT_EQ(rows, Expected(all, c.prefix)) << c.typed;
  }
  const auto six = FindStockRows(dict.Db(), "6");
  ASSERT_FALSE(six.empty());
  // Indices last: "6" meets none in codes, "s" does (the 上证 indices).
  const auto s = FindStockRows(dict.Db(), "s");
  ASSERT_FALSE(s.empty());
  EXPECT_EQ(s.back().substr(s.back().size() - 4), "|||1");
  EXPECT_NE(s.front().substr(s.front().size() - 4), "|||1");
  EXPECT_EQ(FindStockRows(dict.Db(), "600000").front().substr(0, 6), "600000");
  EXPECT_TRUE(FindStockRows(dict.Db(), "ZZZZZZ").empty());
  EXPECT_TRUE(FindStockRows(dict.Db(), "").empty());
  EXPECT_TRUE(FindStockRows(nullptr, "6").empty());
}

TEST(StockSearch, TypedQuotesAndWildcardsAreOrdinaryCharacters) {
  sqlite3* db = MakeDictionary({
      {"1", "2", "600001", "甲", "JA"},
      {"1", "2", "6%0002", "乙", "YI"},
      {"1", "2", "6_0003", "丙", "BI"},
      {"1", "2", "6'0004", "丁", "DI"},
      {"1", "2", "6\\0005", "戊", "WU"},
      {"2", "2", "%00006", "己", "J%"},
  });
  const struct {
    const char* typed;
    std::vector<std::string> codes;
  } cases[] = {
      {"6", {"6%0002", "6'0004", "600001", "6\\0005", "6_0003"}},
      {"6%", {"6%0002"}},
      {"6_", {"6_0003"}},
      {"6'", {"6'0004"}},
      {"6\\", {"6\\0005"}},
      {"%", {"%00006"}},
      {"j%", {"%00006"}},
      {"_", {}},
      {"'", {}},
      {"'; drop table qdic; --", {}},
      {"\"", {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> codes;
    for (const std::string& row : FindStockRows(db, c.typed)) codes.push_back(row.substr(0, row.find("|||")));
    std::sort(codes.begin(), codes.end());
    auto want = c.codes;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(codes, want) << c.typed;
  }
  EXPECT_EQ(FindStockRows(db, "6").size(), 5u);  // the table is still there
  sqlite3_close(db);
}

TEST(StockSearch, RowsNameTheirStock) {
  // 10 three-byte characters: 30 bytes, cut to 24 (8 characters).
  const StockKey longName = StockKeyOfRow("600001|||一二三四五六七八九十|||YE|||1|||2");
  EXPECT_STREQ(longName.name, "一二三四五六七八");
  // A cut that would split a character stops before it: "a" + 9 × 3 bytes.
  EXPECT_STREQ(StockKeyOfRow("600001|||a一二三四五六七八九|||X|||1|||2").name, "a一二三四五六七");
  const StockKey odd = StockKeyOfRow("|||名|||M|||x|||y");
  EXPECT_STREQ(odd.code, "");
  EXPECT_EQ(odd.market, 0);
  EXPECT_EQ(odd.kind, 0);
  const StockKey shortRow = StockKeyOfRow("600036");
  EXPECT_STREQ(shortRow.code, "600036");
  EXPECT_EQ(shortRow.market, 0);
  const StockKey index = StockKeyOfRow("1A0001|||上证指数|||SZZS|||1|||1");
  EXPECT_STREQ(index.code, "1A0001");
  EXPECT_EQ(index.market, 1);
  EXPECT_EQ(index.kind, 1);
  EXPECT_EQ(index.decimals, 0);
}

// The frame stand-in at (0, 0) 800 x 600, the dialog under it placed as
// the frame places it, with a hand-made or the delivered dictionary.
class FindStockDialog : public testing::Test {
 protected:
  void SetUp() override {
    desk = std::make_unique<TestDesktop>();
    board_test::UseProgramFonts();
    ASSERT_TRUE(frame.Make(0, 0, 800, 600));
    engine = CreateQuoteEngine();
  }
  void TearDown() override {
    view.reset();
    if (frame.m_hWnd) frame.DestroyWindow();
    FreeQuoteEngine(engine);
    if (ownDb) sqlite3_close(ownDb);
    desk.reset();
  }
  void Open(sqlite3* db, const char16_t* first) {
    view = std::make_unique<CFindStockView>();
    ASSERT_TRUE(view->CreateWizard(&frame));
    view->SetOwnerFrame(&frame);
    view->SetEngine(engine);
    view->MoveWindow(800 - 240, 600 - 240, 240, 240);
    view->ShowWindow(SW_SHOW);
    view->SetFocus();
    view->SetDatabase(db);
    view->SetSearchText(first);
    desk->RunUntilIdle();
    desk->Advance(150);
    desk->RunUntilIdle();
  }
  bool Closed() const { return !view->m_hWnd; }
  std::u16string EditText() {
    WCHAR text[32] = {};
    ::GetWindowTextW(view->Edit()->m_hWnd, text, 32);
    return text;
  }
  int Selected() { return view->ResultList()->GetNextItem(-1, LVNI_SELECTED); }

  std::unique_ptr<TestDesktop> desk;
  FrameStandIn frame;
  QuoteEngine* engine = nullptr;
  sqlite3* ownDb = nullptr;
  std::unique_ptr<CFindStockView> view;
};

TEST_F(FindStockDialog, ChoicesPostTheStockAndItsMarketCategory) {
  ownDb = MakeDictionary({
      {"1", "2", "900901", "云赛B股", "YSBG"},
      {"1", "3", "510050", "上证50ETF", "SZ50"},
      {"1", "2", "600000", "浦发银行", "PFYH"},
      {"2", "2", "200002", "万科B", "WKB"},
      {"2", "3", "159915", "创业板ETF", "CYB"},
      {"2", "2", "000001", "平安银行", "PAYH"},
      {"1", "1", "1A0001", "上证指数", "SZZS"},
      {"2", "1", "399001", "深证成指", "SZCZ"},
      {"3", "2", "830001", "新三板", "XSB"},
      {"1", "4", "700001", "其他", "QT"},
  });
  const struct {
    const char16_t* typed;
    const char* code;
    int market, kind;
    int64_t listId;  // 0: WM_SHOW_INDEX_LIST; -1: nothing after WM_SHOW_STOCK
  } cases[] = {
      {u"900901", "900901", 1, 2, 1108}, {u"510050", "510050", 1, 3, 3105}, {u"600000", "600000", 1, 2, 1102},
      {u"200002", "200002", 2, 2, 1109}, {u"159915", "159915", 2, 3, 3106}, {u"000001", "000001", 2, 2, 1103},
      {u"1a0001", "1A0001", 1, 1, 0},    {u"399001", "399001", 2, 1, 0},    {u"830001", "830001", 3, 2, -1},
      {u"700001", "700001", 1, 4, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    frame.heard.clear();
    StockListInfo* info = EngineStockListInfo(engine);
    info->listId = 77;  // left by a previous user
    Open(ownDb, c.typed);
    desk->Key(VK_RETURN);
    desk->RunUntilIdle();
    EXPECT_TRUE(Closed());
    ASSERT_FALSE(frame.heard.empty());
    const Posted& show = frame.heard[0];
    EXPECT_EQ(show.message, WM_SHOW_STOCK);
    EXPECT_EQ(show.wParam, 0u);
    EXPECT_STREQ(show.key.code, c.code);
    EXPECT_EQ(show.key.market, c.market);
    EXPECT_EQ(show.key.kind, c.kind);
    EXPECT_EQ(show.key.decimals, 0);
    if (c.listId < 0) {
      EXPECT_EQ(frame.heard.size(), 1u);
      EXPECT_EQ(info->listId, 77);
      continue;
    }
    ASSERT_EQ(frame.heard.size(), 2u);
    const Posted& second = frame.heard[1];
    if (c.listId == 0) {
      EXPECT_EQ(second.message, WM_SHOW_INDEX_LIST);
      EXPECT_EQ(second.code, c.code);
      continue;
    }
    EXPECT_EQ(second.message, WM_SET_STOCK_LIST);
    EXPECT_EQ(second.wParam, reinterpret_cast<WPARAM>(info));
    EXPECT_FALSE(second.hasPayload);
    EXPECT_EQ(second.info.kind, 17);
    EXPECT_EQ(second.info.currentIndex, 0);
    EXPECT_EQ(second.info.requestType, 40);
    EXPECT_EQ(second.info.listId, c.listId);
    EXPECT_EQ(second.info.sortField, 1);
    EXPECT_EQ(second.info.direction, 1);
    EXPECT_STREQ(second.info.code, c.code);
  }
}

TEST_F(FindStockDialog, TypingSearchesAndKeysMoveTheSelection) {
  DeliveredDictionary dict;
  Open(dict.Db(), u"6");
  EXPECT_EQ(EditText(), u"6");
  ASSERT_NE(view->ResultList(), nullptr);
  const auto rows = FindStockRows(dict.Db(), "6");
  EXPECT_EQ(view->Rows(), rows);
  EXPECT_EQ(view->ResultList()->GetItemCount(), static_cast<int>(rows.size()));
  EXPECT_EQ(Selected(), 0);  // the timer selected the first row
  desk->Type(u"00000");
  desk->Advance(150);
  desk->RunUntilIdle();
  EXPECT_EQ(EditText(), u"600000");
  ASSERT_FALSE(view->Rows().empty());
  EXPECT_EQ(view->Rows()[0].substr(0, 6), "600000");
  desk->Key(VK_BACK);
  desk->Key(VK_BACK);
  desk->Key(VK_BACK);
  desk->Key(VK_BACK);
  desk->Advance(150);
  desk->RunUntilIdle();
  ASSERT_GE(view->Rows().size(), 3u);
  EXPECT_EQ(Selected(), 0);
  desk->Key(VK_DOWN);  // from the edit: focus to the list, and the key there
  desk->RunUntilIdle();
  EXPECT_EQ(::GetFocus(), view->ResultList()->m_hWnd);
  EXPECT_EQ(Selected(), 1);
  desk->Key(VK_DOWN);
  desk->RunUntilIdle();
  EXPECT_EQ(Selected(), 2);
  desk->Key(VK_UP);
  desk->RunUntilIdle();
  EXPECT_EQ(Selected(), 1);
  const StockKey want = StockKeyOfRow(view->Rows()[1]);
  StockListInfo* info = EngineStockListInfo(engine);
  desk->Key(VK_RETURN);
  desk->RunUntilIdle();
  EXPECT_TRUE(Closed());
  ASSERT_GE(frame.heard.size(), 1u);
  EXPECT_STREQ(frame.heard[0].key.code, want.code);
  EXPECT_STREQ(frame.heard[0].key.name, want.name);
  EXPECT_EQ(info->currentIndex, 1);
}

TEST_F(FindStockDialog, TheInputLimitAndCaseOfTheEdit) {
  DeliveredDictionary dict;
  Open(dict.Db(), u"P");
  EXPECT_EQ(EditText(), u"p");  // shown in lower case, searched in upper case
  EXPECT_EQ(view->Rows(), FindStockRows(dict.Db(), "P"));
  desk->Type(u"a123456789");
  desk->RunUntilIdle();
  EXPECT_EQ(EditText(), u"pa1234");  // six characters at most
  view->SetSearchText(u"'%_\"中文");
  desk->RunUntilIdle();
  EXPECT_TRUE(view->Rows().empty());
}

TEST_F(FindStockDialog, NothingFoundAndCommandCodes) {
  DeliveredDictionary dict;
  const struct {
    const char16_t* typed;
    bool posts;
  } cases[] = {{u"61", true}, {u"03", true}, {u"999999", true}, {u"pa9", false}, {u"zzzz", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.typed));
    frame.heard.clear();
    Open(dict.Db(), c.typed);
    ASSERT_TRUE(view->Rows().empty());
    desk->Key(VK_RETURN);
    desk->RunUntilIdle();
    EXPECT_TRUE(Closed());
    if (!c.posts) {
      EXPECT_TRUE(frame.heard.empty());
      continue;
    }
    ASSERT_EQ(frame.heard.size(), 1u);
    EXPECT_EQ(frame.heard[0].message, WM_SHOW_STOCK);
    EXPECT_EQ(frame.heard[0].key.code, WideToUtf8(c.typed));
    EXPECT_EQ(frame.heard[0].key.market, 0);
    EXPECT_EQ(frame.heard[0].key.kind, 0);
  }
}

TEST_F(FindStockDialog, EscActivationLossAndNoDatabaseClose) {
  DeliveredDictionary dict;
  Open(dict.Db(), u"6");
  desk->Key(VK_ESCAPE);
  desk->RunUntilIdle();
  EXPECT_TRUE(Closed());

  Open(dict.Db(), u"6");
  FrameStandIn other;
  ASSERT_TRUE(other.Make(10, 10, 100, 100));
  desk->Click(other.m_hWnd, 50, 50);
  desk->RunUntilIdle();
  EXPECT_TRUE(Closed());
  other.DestroyWindow();

  // Without a database: no list, and a choice only closes.
  frame.heard.clear();
  Open(nullptr, u"6");
  EXPECT_EQ(view->ResultList(), nullptr);
  desk->Key(VK_RETURN);
  desk->RunUntilIdle();
  EXPECT_TRUE(Closed());
  EXPECT_TRUE(frame.heard.empty());

  // A double click on a row chooses it.
  Open(dict.Db(), u"60");
  CRect cell;
  view->ResultList()->GetSubItemRect(2, 1, LVIR_BOUNDS, cell);
  const StockKey want = StockKeyOfRow(view->Rows()[2]);
  desk->DoubleClick(view->ResultList()->m_hWnd, cell.left + 10, cell.CenterPoint().y);
  desk->RunUntilIdle();
  EXPECT_TRUE(Closed());
  ASSERT_FALSE(frame.heard.empty());
  EXPECT_STREQ(frame.heard[0].key.code, want.code);
}

TEST_F(FindStockDialog, RowsAreDrawnWithTheSelectionColour) {
  DeliveredDictionary dict;
  Open(dict.Db(), u"6");
  const QImage shot = desk->Snapshot(view->m_hWnd);
  CRect list;
  view->ResultList()->GetWindowRect(&list);
  view->ScreenToClient(&list);
  CRect row0;
  view->ResultList()->GetSubItemRect(0, 1, LVIR_BOUNDS, row0);
  CRect row1;
  view->ResultList()->GetSubItemRect(1, 1, LVIR_BOUNDS, row1);
  // Window snapshots include the frame; find the client origin.
  POINT origin{0, 0};
  view->ResultList()->ClientToScreen(&origin);
  CRect window;
  view->GetWindowRect(&window);
  const int ox = origin.x - window.left, oy = origin.y - window.top;
  EXPECT_EQ(board_test::PixelRgb(shot, ox + row0.right - 3, oy + row0.top + 2), 0x5CB4FFu);
  EXPECT_EQ(board_test::PixelRgb(shot, ox + row1.right - 3, oy + row1.top + 2), 0xFFFFFFu);
  const std::string folder = std::string(ORV_BINARY_DIR) + "/stockpage_snapshots";
  std::filesystem::create_directories(folder);
  desk->SavePng(view->m_hWnd, folder + "/find_stock_6.png");
}

}  // namespace

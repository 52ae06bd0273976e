// The block lists and the star map over what the terminal receives: quote
// lists requested by the real engine from the simulated market-data server
// on loopback, handed to the lists and the map from the reply callback on
// the connection's thread, as their owners do. Writes the snapshots.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "marketdata/own_stocks.h"
#include "marketdata/request_builders.h"
#include "marketdata/tests/loopback_test_support.h"
#include "monitor/block_list_view.h"
#include "monitor/star_map.h"
#include "monitor/tests/monitor_test_support.h"
#include "platform/window/win_desktop.h"

using namespace engine_test;
using namespace monitor_test;

namespace {

std::string SnapshotFolder() {
  const std::string folder = std::string(ORV_BINARY_DIR) + "/monitor_snapshots";
  std::filesystem::create_directories(folder);
  return folder;
}

void UseFields(FieldIdList* list) {
  std::vector<int> ids = ListFieldIds();
  ids.insert(ids.end(), {852, 858, 864, 870, 879});
  list->count = static_cast<uint16_t>(ids.size());
  for (size_t i = 0; i < ids.size(); ++i) list->ids[i] = static_cast<uint16_t>(ids[i]);
}

// The owner of the lists: its reply callback fills them on the connection's
// thread under its own lock (owner first, then the list's).
struct ListOwner : LoopbackOwner {
  std::recursive_mutex pageLock;
  CBlockListView* fund = nullptr;
  CBlockListView* related = nullptr;
  CBlockListView* ranking = nullptr;
  StarMap* map = nullptr;
  std::map<std::string, int> replies;  // list name -> replies seen

  static void OnReply(void* owner, PendingRequest* entry) {
    auto* self = static_cast<ListOwner*>(owner);
    QuoteEngine* engine = self->engine;
    std::string name;
    {
      std::lock_guard<std::recursive_mutex> hold(self->pageLock);
      if (entry->area == engine->sortedListAreas[0]) {
        // The block fund flows the server does not serve yet.
        auto* area = static_cast<SortedQuoteListArea*>(entry->area);
        for (int i = 0; i < area->recordCount && area->list.records; ++i) {
          QuoteRecord& r = area->list.records[i];
          const int64_t sign = i % 3 == 1 ? -1 : 1;
          r.mainNetInflow = sign * (r.amount / 7);
          r.superLargeNetInflow = sign * (r.amount / 19);
          r.largeNetInflow = -sign * (r.amount / 23);
          r.mediumNetInflow = i % 4 == 0 ? 0 : sign * 8123;
          r.smallNetInflow = -sign * (r.amount / 41);
        }
        self->fund->FillFundFlow(engine, static_cast<QuoteListParams*>(entry->params), area, 0);
        name = "fund";
      } else if (entry->area == engine->sortedListAreas[1]) {
        auto* area = static_cast<SortedQuoteListArea*>(entry->area);
        self->related->FillRelatedQuotes(engine, static_cast<QuoteListParams*>(entry->params), area);
        SetStarMapData(self->map, area);
        ComputeStarMap(self->map);
        name = "related";
      } else if (entry->area == engine->quoteListAreas[0]) {
        self->ranking->FillBlockRanking(engine, static_cast<QuoteListArea*>(entry->area));
        name = "ranking";
      }
    }
    self->Note([&] { ++self->replies[name]; });
  }
};

class BlockListServed : public LoopbackFixture {
 protected:
  void SetUp() override {
    LoopbackFixture::SetUp();
    desk = std::make_unique<TestDesktop>();
    UseProgramFonts();
    SetResourceFolder(std::string(ORV_BINARY_DIR) + "/res/");
    UseOwner(&owner);
    simbroker::MarketServerOptions options;
    options.extraStocks = 60;
    ASSERT_TRUE(StartServer(options));
    Connect();
    ASSERT_TRUE(owner.WaitFor([&] { return owner.readyEvents > 0; }));
  }
  void TearDown() override {
    CloseQuoteConnection(engine);
    for (auto* list : {&fund, &related, &ranking})
      if (*list) (*list)->DestroyWindow();
    if (parent.m_hWnd) parent.DestroyWindow();
    fund.reset();
    related.reset();
    ranking.reset();
    FreeStarMap(map);
    desk.reset();
    SetResourceFolder("");
    LoopbackFixture::TearDown();
  }
  std::unique_ptr<CBlockListView> MakeList(int top) {
    auto list = std::make_unique<CBlockListView>();
    EXPECT_TRUE(list->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, top, 700, top + 300), &parent, 0));
    return list;
  }

  std::unique_ptr<TestDesktop> desk;
  ListOwner owner;
  CWnd parent;
  std::unique_ptr<CBlockListView> fund, related, ranking;
  StarMap* map = nullptr;
};

TEST_F(BlockListServed, ThreeListsAndTheStarMapShowWhatTheServerSent) {
  for (int step = 0; step < 40; ++step) server->Tick();  // a market that moved
  std::vector<simbroker::SimStock> stocks;
  for (const simbroker::SimStock& s : server->Data().All())
    if (s.kind == 2 && stocks.size() < 8) stocks.push_back(s);
  ASSERT_EQ(stocks.size(), 8u);

  ASSERT_TRUE(parent.CreateEx(0, nullptr, u"lists", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, 700, 900),
                              nullptr, 0));
  fund = MakeList(0);
  related = MakeList(300);
  ranking = MakeList(600);
  RECT chart{0, 0, 566, 400};
  map = CreateStarMap(&chart, nullptr);
  ASSERT_TRUE(map);
  map->xFactor = kStarFactorThreeDayChange;
  map->yFactor = kStarFactorThreeDayTurnover;
  SetStarMapName(map, "银行");
  fund->ResetList(0, 0);
  related->ResetList(0, 2);
  ranking->ResetList(0, 1);
  {
    std::lock_guard<std::recursive_mutex> hold(owner.pageLock);
    owner.fund = fund.get();
    owner.related = related.get();
    owner.ranking = ranking.get();
    owner.map = map;
  }
  desk->RunUntilIdle();

  UseFields(&engine->quoteListParams[0].fields);
  UseFields(&engine->quoteListParams[1].fields);
  UseFields(&engine->stockListParams[0].fields);
  std::string entries;
  for (const auto& s : stocks) entries += s.code + static_cast<char>(s.market);
  ASSERT_NE(RequestQuoteList(engine, ListOwner::OnReply, &owner, 40, 2, 0, 20, 34, 0, 0, 0, 12, 0), 0);
  ASSERT_NE(RequestQuoteList(engine, ListOwner::OnReply, &owner, 42, 2, 0, 0, 34, 0, 0, 0, 30, 1), 0);
  ASSERT_NE(RequestStockListQuotes(engine, ListOwner::OnReply, &owner, entries.data(),
                                   static_cast<int>(entries.size()), 0, 0, 0),
            0);
  ASSERT_TRUE(owner.WaitFor([&] {
    return owner.replies["fund"] > 0 && owner.replies["related"] > 0 && owner.replies["ranking"] > 0;
  }));
  // A member becomes an own stock; the next reply shows it in its colour.
  const QuoteRecord own = engine->sortedListAreas[1]->list.records[3];
  char ownCode[7] = {};
  std::memcpy(ownCode, own.key.code, 6);
  ASSERT_EQ(AddOwnStock(engine, ownCode, own.key.market), 0);
  ASSERT_NE(RequestQuoteList(engine, ListOwner::OnReply, &owner, 42, 2, 0, 0, 34, 0, 0, 0, 30, 1), 0);
  ASSERT_TRUE(owner.WaitFor([&] { return owner.replies["related"] > 1; }));
  desk->RunUntilIdle();

  // Fund flow: a page from row 20, numbered from 21.
  const SortedQuoteListArea* fundArea = engine->sortedListAreas[0];
  ASSERT_EQ(fundArea->recordCount, 12);
  CGridCtrl* grid = fund->GetGrid();
  ASSERT_EQ(grid->GetRowCount(), 13);
  WCHAR text[64];
  grid->GetCellText(text, 0, 0);
  EXPECT_EQ(std::u16string(text), u"21");
  grid->GetCellText(text, 11, 3);
  EXPECT_EQ(Utf8(text), std::string(fundArea->list.records[11].key.name));
  SCROLLINFO v{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  fund->GetVertBar()->GetScrollInfo(&v);
  EXPECT_EQ(v.nMax, 11);
  EXPECT_EQ(v.nPage, 4u);

  // Related quotes: the stocks of category 2, the own stock in its colour.
  const SortedQuoteListArea* relatedArea = engine->sortedListAreas[1];
  ASSERT_EQ(relatedArea->recordCount, 30);
  ASSERT_EQ(related->GetGrid()->GetRowCount(), 31);
  bool ownSeen = false;
  for (int i = 0; i < 30; ++i) {
    COLORREF color = 0;
    related->GetGrid()->GetCell(i + 1, 0, nullptr, &color, nullptr);
    const bool isOwn = std::strncmp(relatedArea->list.records[i].key.code, ownCode, 6) == 0 &&
                     relatedArea->list.records[i].key.market == own.key.market;
    EXPECT_EQ(color, isOwn ? kBlockOwnName : kBlockName) << i;
    ownSeen = ownSeen || isOwn;
  }
  EXPECT_TRUE(ownSeen);

  // Block ranking: the eight asked stocks in the fixed columns.
  ASSERT_EQ(ranking->GetGrid()->GetRowCount(), 9);
  ranking->GetGrid()->GetCellText(text, 0, 0);
  EXPECT_EQ(Utf8(text), " " + stocks[0].name);

  // Star map: the three-day fields arrived and spread the dots.
  {
    std::lock_guard<std::recursive_mutex> hold(owner.pageLock);
    ASSERT_EQ(map->count, 30);
    EXPECT_LT(map->xMin, map->xMax);
    EXPECT_LT(map->yMin, map->yMax);
    EXPECT_GT(map->yMin, 0) << "three days always trade";
  }

  // Snapshots: each list, and the star map with its cross-hair and tip.
  related->GetGrid()->SetCurRow(2);
  ::SendMessageW(fund->m_hWnd, WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0),
                 reinterpret_cast<LPARAM>(fund->GetHorzBar()->m_hWnd));
  parent.Invalidate();
  desk->RunUntilIdle();
  const std::string folder = SnapshotFolder();
  EXPECT_TRUE(desk->SavePng(fund->m_hWnd, folder + "/block_list_fund_flow.png"));
  EXPECT_TRUE(desk->SavePng(related->m_hWnd, folder + "/block_list_related.png"));
  EXPECT_TRUE(desk->SavePng(ranking->m_hWnd, folder + "/block_list_ranking.png"));
  const QImage shot = desk->Snapshot(fund->m_hWnd);
  EXPECT_EQ(shot.pixel(0, 150) & 0xFFFFFF, 0u) << "black frame";

  Canvas canvas(566, 400);
  HFONT font = CreateUiFont(GetUiFontFace(), 12);
  HGDIOBJ oldFont = SelectObject(canvas.dc, font);
  std::lock_guard<std::recursive_mutex> hold(owner.pageLock);
  DrawStarMap(map, canvas.dc);
  int pick = 0;
  for (int i = 0; i < map->count; ++i)
    if (map->points[i].x > map->points[pick].x / 2 + 200 && map->points[i].y > 100) pick = i;
  ClickStarMap(map, map->points[pick].x, map->points[pick].y);
  ASSERT_EQ(map->cursorMode, 1);
  ASSERT_GE(map->selection, 0);
  DrawStarMapCursor(map, canvas.dc);
  Canvas tip(map->tipRect.right - map->tipRect.left, map->tipRect.bottom - map->tipRect.top);
  DrawStarMapTip(map, tip.dc);
  BitBlt(canvas.dc, map->tipRect.left, map->tipRect.top, tip.w, tip.h, tip.dc, 0, 0, SRCCOPY);
  SelectObject(canvas.dc, oldFont);
  DeleteObject(font);
  EXPECT_GT(canvas.Near(0xFFFF00, 76, 0, 200, 16), 10) << "the title";
  EXPECT_TRUE(canvas.Save(folder + "/star_map_served.png"));
}

}  // namespace

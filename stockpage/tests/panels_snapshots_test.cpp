// Pictures of the panels for checking by eye (the build folder's
// stockpage_snapshots/): the quote summary for a stock, an index and a
// futures contract, the price statistics with its scroll bar, the pie of
// the 300/100 example, the ex-rights dialog, both tick lists for stock and
// futures ticks, and the tick-by-tick panel with a highlight and without
// the right. Futures data comes from simbroker's encoders for a synthetic
// contract of market 3, decoded by the engine's own decoders.
#include "stockpage/exdivi_dialog.h"
#include "stockpage/tests/panels_test_support.h"
#include "tools/simbroker/minute_tick_replies.h"

#include <filesystem>

using namespace board_test;
using namespace panel_test;

namespace {

std::string Folder() {
  const std::string folder = std::string(ORV_BINARY_DIR) + "/stockpage_snapshots";
  std::filesystem::create_directories(folder);
  return folder;
}

simbroker::SimStock Contract() {
  simbroker::SimStock s;
  s.code = "IF2406";
  s.name = "沪深300期货";
  s.market = 3;
  s.kind = 0;
  s.decimals = 2;
  s.prevClose = 3512.4;
  s.open = 3520.0;
  s.high = 3548.6;
  s.low = 3501.2;
  s.last = 3530.8;
  s.volume = 86231;
  s.amount = 303533120;
  return s;
}

bool DecodeContractQuote(QuoteRecord* q) {
  const simbroker::SimStock s = Contract();
  const int ids[] = {0, 4, 5, 6, 7, 8, 9, 10, 11, 32, 35, 42};
  simbroker::Bytes body;
  for (int id : ids) simbroker::PutQuoteField(&body, s, id);
  *q = QuoteRecord{};
  int position = 0;
  for (int id : ids)
    if (DecodeQuoteField(body.data(), static_cast<int>(body.size()), id, &position, q) != kQuoteFieldDecoded)
      return false;
  SetUnflooredInnerVolume(q);
  // The futures fields the simulated server leaves at 0.
  q->previousSettlement = 3515.0f;
  q->settlementPrice = 3526.4f;
  q->openInterest = 123456;
  q->openInterestChange = -318;
  return position == static_cast<int>(body.size());
}

bool DecodeContractTicks(FuturesTickArea* area) {
  const simbroker::SimStock s = Contract();
  std::vector<simbroker::WireTick> ticks;
  const int directions[] = {'B', 'S', 0, 'B', 'B', 'S', 'S', 0, 'B', 'S', 'B', 'B', 'S', 0};
  for (int i = 0; i < 14; ++i) {
    simbroker::WireTick t;
    t.price = static_cast<int32_t>(std::lround((3512.4 + (i % 5 - 2) * 0.2 + i * 0.6) * 10000));
    t.volume = 3 + (i * 7) % 40;
    t.time = 93000 + i * 17 % 60 + (i / 3) * 100;
    t.direction = directions[i];
    t.field6 = (i * 5) % 9;
    t.field7 = (i * 3) % 7;
    t.kind = i % 9 + 1;
    ticks.push_back(t);
  }
  const simbroker::Bytes body =
      simbroker::FuturesTickBody(true, s, 35124000, 14, {1, 2, 3, 5, 6, 7, 8}, ticks);
  std::memset(area, 0, sizeof(FuturesTickArea));
  ReplyReader r(body.data(), static_cast<int>(body.size()));
  DecodeFuturesTicks(area, &r, 1, 100);
  return area->ticksHeld == 14 && r.Remaining() == 0;
}

// A stock's record with every field the quote summary reads.
bool DecodeSummaryQuote(const simbroker::MarketData& data, const char* code, int market, QuoteRecord* out) {
  simbroker::JournalEntry request = SimRequest(33, {0, 4, 5, 6, 7, 8, 9, 10, 11, 32, 33, 35, 37, 42, 44, 45});
  request.parsed.code = code;
  request.parsed.market = market;
  simbroker::Bytes body;
  if (!simbroker::BuildStockFieldsReply(data, request, 1, &body)) return false;
  auto area = std::make_unique<StockFieldsArea>();
  ReplyReader r(body.data(), static_cast<int>(body.size()));
  DecodeStockFields(area.get(), &r, 1);
  *out = area->record;
  return r.Remaining() == 0;
}

template <typename View>
class Snapshot : public PanelFixture<Recording<View>> {};

using PanelSnapshotsHandicap = Snapshot<CHandicapView>;

TEST_F(PanelSnapshotsHandicap, StockIndexAndFutures) {
  simbroker::MarketData data(9);
  for (int i = 0; i < 40; ++i) data.Step();
  QuoteRecord q{};
  ASSERT_TRUE(DecodeSummaryQuote(data, "600000", 1, &q));
  Make(202, 158);
  view->SetQuote(&q);
  Save("handicap_stock");
  ASSERT_TRUE(DecodeSummaryQuote(data, "1A0001", 1, &q));
  view->SetIndexMode(1);
  view->SetWindowPos(nullptr, 0, 0, 202, 184, SWP_NOZORDER | SWP_NOMOVE);
  view->SetQuote(&q);
  Save("handicap_index");
  EXPECT_TRUE(Find(view->log.Calls(), u"1A0001  上证指数"));
  ASSERT_TRUE(DecodeContractQuote(&q));
  view->SetIndexMode(0);
  view->SetWindowPos(nullptr, 0, 0, 270, 186, SWP_NOZORDER | SWP_NOMOVE);
  view->SetQuote(&q);
  Save("handicap_futures");
  const std::vector<TextCall> calls = view->log.Calls();
  EXPECT_TRUE(Find(calls, u"IF2406  沪深300期货"));
  EXPECT_TRUE(Find(calls, u"3530.80"));
  EXPECT_TRUE(Find(calls, u"-318"));
}

using PanelSnapshotsPrices = Snapshot<CPriceStatisView>;

TEST_F(PanelSnapshotsPrices, ScrollingStatistics) {
  Make(420, 28 + 26 * 8);
  auto area = std::make_unique<PriceStatArea>();
  area->key = Key("600000", "浦发银行", 1);
  area->referencePrice = 7.03f;
  area->levelCount = 14;
  area->totalVolume = 0;
  for (int i = 0; i < 14; ++i) {
    const int64_t v = 3000 + (i * 7919) % 40000;
    area->levels[i] = PriceLevel{6.96f + i * 0.01f, v, v * ((i * 37) % 100) / 100, 0, 0};
    area->totalVolume += v;
    area->largestVolume = std::max(area->largestVolume, v);
  }
  for (int i = 0; i < 14; ++i)
    area->levels[i].share = static_cast<float>(area->levels[i].volume) / static_cast<float>(area->totalVolume);
  view->SetData(area.get());
  desk->RunUntilIdle();
  view->SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), reinterpret_cast<LPARAM>(view->ScrollBar().m_hWnd));
  Save("price_statis");
  const QImage img = Paint();
  EXPECT_NE(PixelRgb(img, 420 - 9, 100), 0x000000u) << "the skinned bar is drawn";
}

using PanelSnapshotsPie = Snapshot<CPieView>;

TEST_F(PanelSnapshotsPie, InflowExampleAndAFullRecord) {
  Make(270, 286);
  FundFlowRecord r{};
  std::memcpy(r.code, "600000", 7);
  r.amounts[0] = 300;
  r.amounts[1] = 100;
  view->SetFundFlow(&r);
  Save("pie_300_100");
  const int64_t amounts[8] = {31200000, 52000000, 87000000, 120000000, 41000000, 38000000, 96000000, 64000000};
  std::memcpy(r.amounts, amounts, sizeof amounts);
  view->SetFundFlow(&r);
  Save("pie_full");
}

TEST(PanelSnapshotsDialog, ExRightsDialog) {
  TestDesktop desk;
  UseProgramFonts();
  ExRightsArea area;
  area.count = 4;
  area.records = new ExRightsRecord[4]{};
  const int32_t dates[] = {20230707, 20220715, 20210610, 20120615};
  for (int i = 0; i < 4; ++i) area.records[i].date = dates[i];
  area.records[0].cashDividend = 0.41f;
  area.records[1].cashDividend = 0.4f;
  area.records[1].bonusShares = 0.3f;
  area.records[2].rightsShares = 0.3f;
  area.records[2].rightsPrice = 8.5f;
  area.records[3].cashDividend = 0.15f;
  area.records[3].bonusShares = 0.5f;
  area.records[3].transferredShares = 0.2f;
  CExdiviDlg dialog;
  dialog.SetExRightsList(&area);
  const std::string path = Folder() + "/exdivi_dialog.png";
  bool saved = false;
  desk.Until([] { return ::FindWindowW(nullptr, u"权息资料") != nullptr; });
  desk.Then([&] {
    HWND box = ::FindWindowW(nullptr, u"权息资料");
    ::UpdateWindow(box);
    saved = desk.SavePng(box, path);
    desk.Key(VK_ESCAPE);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_TRUE(saved);
}

using PanelSnapshotsDetail = Snapshot<CDetailView>;

TEST_F(PanelSnapshotsDetail, StockAndFuturesLists) {
  Make(798, 20 + 16 * 12);
  auto ticks = MakeTicks(30, 10.0f, 2);
  ticks->ticks[29].volume = 123456;
  view->SetTicks(ticks.get());
  Paint();
  view->SelectPrevRow();
  view->SelectPrevRow();
  Save("detail_stock");
  auto futures = std::make_unique<FuturesTickArea>();
  ASSERT_TRUE(DecodeContractTicks(futures.get()));
  view->Clear();
  view->SetFuturesTicks(futures.get());
  Save("detail_futures");
  EXPECT_TRUE(Find(view->log.Calls(), u"性质"));
}

using PanelSnapshotsSmall = Snapshot<CDetailSmallView>;

TEST_F(PanelSnapshotsSmall, StockAndFuturesLists) {
  Make(202, 216);
  auto ticks = MakeTicks(30, 10.0f, 2);
  ticks->ticks[29].volume = 123456;
  view->SetTicks(ticks.get());
  Save("small_stock");
  auto futures = std::make_unique<FuturesTickArea>();
  ASSERT_TRUE(DecodeContractTicks(futures.get()));
  view->Clear();
  view->SetFuturesTicks(futures.get());
  view->SetWindowPos(nullptr, 0, 0, 340, 216, SWP_NOZORDER | SWP_NOMOVE);
  Save("small_futures");
  EXPECT_TRUE(Find(view->log.Calls(), u"增仓"));
}

using PanelSnapshotsTickByTick = Snapshot<CIndividuallyView>;

TEST_F(PanelSnapshotsTickByTick, HighlightAndNoRight) {
  Make(180, 26 + 20 * 9);
  auto area = std::make_unique<TickByTickArea>();
  std::memset(area.get(), 0, sizeof(TickByTickArea));
  area->key = Key("600000", "浦发银行", 1, 2, 2);
  area->referencePrice = 7.03f;
  area->total = 5000;
  const int32_t times[] = {93001, 93001, 93005, 93012, 93100, 93100, 93104, 93159, 93200, 93201, 93201, 93230};
  for (int i = 0; i < 12; ++i)
    area->rows[i] = Tick(7.01f + (i % 4) * 0.01f, 100 * (1 + (i * 7) % 9), times[i], i % 3 ? 'B' : 'S');
  area->rowCount = 12;
  view->SetTickArea(area.get());
  view->SetDataRight(1);
  view->SetHighlight(4996, 4999);
  Save("tick_by_tick");
  view->SetDataRight(0);
  view->SetWindowPos(nullptr, 0, 0, 270, 26 + 20 * 9, SWP_NOZORDER | SWP_NOMOVE);
  Save("tick_by_tick_no_right");
}

}  // namespace

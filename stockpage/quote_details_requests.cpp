// The stock page: showing a stock, cancelling and resetting, reply routing,
// tick pages and F10 items.
#include <cstring>

#include "controls/control_messages.h"
#include "foundation/config_store.h"
#include "foundation/debug_trace.h"
#include "marketdata/ex_rights.h"
#include "marketdata/f10_alert_decoders.h"
#include "marketdata/market_states.h"
#include "marketdata/quote_requests.h"
#include "marketdata/request_builders.h"
#include "stockpage/quote_details_view.h"

namespace {

void Show(CWnd& wnd, bool show) {
  if (wnd.m_hWnd) wnd.ShowWindow(show ? SW_SHOW : SW_HIDE);
}

void Cancel(QuoteEngine* engine, int* handle) {
  if (*handle != 0) CancelQuoteRequest(engine, *handle);
  *handle = 0;
}

bool LevelTwoConfigured() {
  const char* level = GetConfig("level");
  return level != nullptr && std::strchr(level, '1') != nullptr;
}

}  // namespace

int CQuoteDetailsView::CurrentTickType() const { return LevelTwoConfigured() ? 80 : 38; }

// The size handler's tick renewal: the request the current stock needs.
void CQuoteDetailsView::RenewTicks() {
  std::lock_guard<CriticalSection> hold(lock_);
  Cancel(engine_, &h_.ticks);
  Cancel(engine_, &h_.futuresTicks);
  if (key_.code[0] == 0) return;
  const int count = detailView_.GetCapacity();
  if (IsFuturesMarket(key_.market))
    h_.futuresTicks = RequestFuturesTicks(engine_, &QuoteReplyCallback, this, key_.code, key_.market, -1, count, 0, 1, 0);
  else
    h_.ticks = RequestTicks(engine_, &QuoteReplyCallback, this, CurrentTickType(), key_.code, key_.market, -1, count,
                            0, 1, 0);
}

void CQuoteDetailsView::ShowStock(const StockKey& key, int keepAlerts) {
  {
    std::lock_guard<CriticalSection> hold(lock_);
    key_ = key;
  }
  if (!m_hWnd) return;
  if (!engine_) {
    Layout();
    DebugPrintf("\nCQuoteDetailsView::ShowStock: no engine");
    return;
  }
  // 2-3. The layout for the market, then a clean slate.
  Layout();
  CancelRequests(keepAlerts);
  ResetPanels(keepAlerts);
  // 4. The request table.
  const bool index = IsIndex();
  {
    std::lock_guard<CriticalSection> hold(lock_);
    const char* code = key_.code;
    const int market = key_.market;
    ::QuoteReplyCallback cb = &QuoteReplyCallback;
    h_.minute = RequestMinuteData(engine_, cb, this, '0', code, market, 0, 1, 0xFFFF, 0, 0, 0);
    const int64_t day = GetMarketTradeDate(engine_, market) * 1000000LL;
    h_.minuteMines = RequestMinuteNewsMarks(engine_, cb, this, code, market, 0, 1, static_cast<uint32_t>(day),
                                            static_cast<uint32_t>(static_cast<uint64_t>(day) >> 32), 0);
    h_.fields = RequestStockFields(engine_, cb, this, code, market, 0, 1, 1);
    h_.f10Catalog = RequestF10Catalog(engine_, cb, this, code, market, 0, 0, 0);
    const int count = detailView_.GetCapacity();
    if (IsFuturesMarket(market))
      h_.futuresTicks = RequestFuturesTicks(engine_, cb, this, code, market, -1, count, 0, 1, 0);
    else
      h_.ticks = RequestTicks(engine_, cb, this, CurrentTickType(), code, market, -1, count, 0, 1, 0);
    h_.fieldTable = RequestFieldTable(engine_, cb, this, '+', 0, 1, 0);
    if (!keepAlerts && alerts_)
      h_.alerts = RequestAlertRecords(engine_, cb, this, alerts_->GetVisibleRows(), 2, "\x01\x02", 0, 1, 0);
    if (index) {
      h_.indexListA = RequestQuoteList(engine_, cb, this, '*', 1011, 0, 0, 1, 1, 0, 1, 100, 0);
      h_.indexListB = RequestQuoteList(engine_, cb, this, '*', 1016, 0, 0, 1, 1, 0, 1, 100, 1);
    } else {
      h_.priceStat = RequestPriceStatistics(engine_, cb, this, code, market, 0, 1, 0);
    }
    // 5. The day K-line.
    period_ = kPeriodDay;
  }
  RequestKLine(key, kPeriodDay);
  {
    std::lock_guard<CriticalSection> hold(lock_);
    firstKLine_ = true;
  }
  // 6. The cycle view when it is shown.
  if (cycle_ && cycle_->Window()->m_hWnd && cycle_->Window()->IsWindowVisible()) cycle_->ShowStock(key);
  // 7. Empty grids, side browsers back to their first page.
  for (CGridCtrl* grid : {newsGrid_.get(), researchGrid_.get()}) {
    if (!grid) continue;
    EmptyGrid(grid);
    grid->Invalidate();
  }
  for (IBriselHelper* b : {newsBrowser_.get(), researchBrowser_.get()})
    if (b) b->BackToFirstPage();
  // 8. The kind's tab items.
  infoBar_.SetCurSel(0);
  klineBar_.SetItems(u"MACD,BOLL,KDJ,RSI,WR,BIAS,CCI,DMA,BRAR,PSY");
  if (index) {
    infoBar_.SetItems(u"资讯,投顾专区");
    mainBar_.SetItems(u"K\n线图,分时图,分时成交,周期共振");
  } else {
    infoBar_.SetItems(u"资讯,关联报价,投顾专区");
    mainBar_.SetItems(u"K\n线图,分时图,基础资料,深度F9,分时成交,周期共振");
  }
  // 9. The futures sub-chart rule.
  if (IsFutures()) {
    Show(minBar_, false);
    minView_.SetSubChart(5);
  } else if (!minBar_.IsWindowVisible() && minView_.GetSubChart() == 5) {
    minBar_.SetCurSel(0);
    minView_.SetSubChart(1);
  }
  // 10. The detail bar.
  if (index) {
    detailBar_.SetItems(u"细,短");
    detailBar_.SetDrawFrame(1);
  } else {
    detailBar_.SetItems(u"细,价,短");
    detailBar_.SetDrawFrame(0);
  }
  detailBar_.SetCurSel(0);
  SelectDetailTab(0);
  // 11. The period label bar, then the current information and main tabs.
  LayoutPeriodBar();
  SelectInfoTab(infoBar_.GetCurSel());
  SelectMainTab(mainBar_.GetCurSel());
}

void CQuoteDetailsView::CancelRequests(int keepAlerts) {
  {
    std::lock_guard<CriticalSection> hold(lock_);
    QuoteEngine* e = engine_;
    if (e) {
      Cancel(e, &h_.minute);
      Cancel(e, &h_.fields);
      Cancel(e, &h_.ticks);
      Cancel(e, &h_.futuresTicks);
      Cancel(e, &h_.klineBars);
      Cancel(e, &h_.olderBars);
      noOlderBars_ = 0;
      Cancel(e, &h_.supplementA);
      Cancel(e, &h_.supplementB);
      Cancel(e, &h_.exRights);
      adjustState_ = 0;
      Cancel(e, &h_.priceStat);
      Cancel(e, &h_.fieldTable);
      if (!keepAlerts) Cancel(e, &h_.alerts);
    }
  }
  // The HTTP lists are abandoned with no page lock held: their callback
  // takes the grids' lock and abandoning waits for a running callback.
  AbandonNewsLists();
  {
    std::lock_guard<CriticalSection> hold(lock_);
    QuoteEngine* e = engine_;
    if (e) {
      Cancel(e, &h_.indexListB);
      Cancel(e, &h_.indexListA);
      Cancel(e, &h_.minuteMines);
      Cancel(e, &h_.klineMines);
      Cancel(e, &h_.f10Catalog);
      Cancel(e, &h_.f10Item);
      Cancel(e, &h_.relatedMembers);
      Cancel(e, &h_.relatedBlocks);
    }
  }
  relData_.CancelRequests();
}

void CQuoteDetailsView::ResetPanels(int keepAlerts) {
  klineView_.ClearChart();
  minView_.ClearChart();
  detailView_.Clear();
  if (cycle_) cycle_->Clear();
  priceView_.Clear();
  handicap_.ClearQuote();
  pie_.Clear();
  detailSmall_.Clear();
  if (!keepAlerts && alerts_) alerts_->ClearAlerts();
  priceStat_.Clear();
  trustQueue_.Clear();
  trustCancel_.Clear();
  relData_.Clear();
  Show(exRightsTip_, false);
  blockList1_.ResetList(1, 0);
  blockList2_.ResetList(0, 0);
  Show(trustCancel_, false);
  Show(blockList1_, false);
  Show(blockList2_, false);
  Show(mineList1_, false);
  Show(mineList2_, false);
}

// ---------------------------------------------------------------------------
// Replies (connection thread).

void CQuoteDetailsView::QuoteReplyCallback(void* owner, PendingRequest* pending) {
  if (owner && pending) static_cast<CQuoteDetailsView*>(owner)->OnQuoteReply(pending);
}

void CQuoteDetailsView::OnQuoteReply(PendingRequest* pending) {
  std::lock_guard<CriticalSection> hold(lock_);
  const int seq = pending->sequence;
  if (seq == 0 || !engine_) return;
  void* area = pending->area;
  if (seq == h_.minute) {
    minView_.SetStock(engine_->minuteAreas[0], &engine_->tradingHours);
  } else if (seq == h_.minuteMines) {
    minView_.SetMineList(static_cast<const NewsListArea*>(area));
  } else if (seq == h_.klineMines) {
    klineView_.SetMineNews(static_cast<const NewsListArea*>(area));
  } else if (seq == h_.indexListA) {
    blockList2_.FillFundFlow(engine_, static_cast<const QuoteListParams*>(pending->params),
                             static_cast<const SortedQuoteListArea*>(area), 0);
  } else if (seq == h_.indexListB) {
    blockList1_.FillFundFlow(engine_, static_cast<const QuoteListParams*>(pending->params),
                             static_cast<const SortedQuoteListArea*>(area), 1);
  } else if (seq == h_.fields) {
    const QuoteRecord* record = &engine_->stockFieldsAreas[1]->record;
    priceView_.SetQuote(record);
    handicap_.SetQuote(record);
  } else if (seq == h_.ticks) {
    const auto* ticks = static_cast<const TickArea*>(area);
    liveTickTotal_ = ticks->replyPosition;
    detailSmall_.SetTicks(ticks);
    if (tickPage_ == 1) detailView_.SetTicks(ticks);
  } else if (seq == h_.futuresTicks) {
    const auto* ticks = static_cast<const FuturesTickArea*>(area);
    liveTickTotal_ = ticks->replyPosition;
    detailSmall_.SetFuturesTicks(ticks);
    if (tickPage_ == 1) detailView_.SetFuturesTicks(ticks);
  } else if (seq == h_.olderTicks) {
    if (tickPage_ > 1) detailView_.SetTicks(engine_->tickAreas[1]);
  } else if (seq == h_.priceStat) {
    priceStat_.SetData(static_cast<const PriceStatArea*>(area));
  } else if (seq == h_.fieldTable) {
    priceView_.SetIndexTable(static_cast<const FieldTableArea*>(area));
  } else if (seq == h_.alerts) {
    if (alerts_) alerts_->SetAlertData(static_cast<const AlertRecordArea*>(area));
  } else if (seq == h_.klineBars) {
    OnKLineBars(pending);
  } else if (seq == h_.olderBars) {
    OnOlderBars(pending);
  } else if (seq == h_.f10Catalog) {
    if (f10_) {
      f10_->SetCatalog(static_cast<const F10CatalogArea*>(area));
      CWnd* view = f10_->Window();
      if (view->m_hWnd && view->IsWindowVisible()) PostMessage(WM_F10_ITEM_REQUEST, f10Item_, 0);
    }
  } else if (seq == h_.f10Item) {
    if (f10_) f10_->SetContent(static_cast<const F10ItemArea*>(area));
  } else if (seq == h_.supplementA) {
    OnSupplement(pending, true);
  } else if (seq == h_.supplementB) {
    OnSupplement(pending, false);
  } else if (seq == h_.exRights) {
    OnExRights(pending);
  } else if (seq == h_.relatedBlocks) {
    OnRelatedReply(pending, true);
  } else if (seq == h_.relatedMembers) {
    OnRelatedReply(pending, false);
  }
}

// ---------------------------------------------------------------------------
// Tick pages: lParam 1 one page older, 0 one page newer.

LRESULT CQuoteDetailsView::OnTickPage(LPARAM older) {
  if (older != 0 && older != 1) return 0;
  std::lock_guard<CriticalSection> hold(lock_);
  if (!engine_) return 0;
  const int rows = detailView_.GetCapacity();
  if (older == 1) {
    ++tickPage_;
    const int start = liveTickTotal_ - rows * tickPage_;
    if (start > -rows) {
      Cancel(engine_, &h_.olderTicks);
      h_.olderTicks = RequestTicks(engine_, &QuoteReplyCallback, this, 38, key_.code, key_.market,
                                   start < 0 ? 0 : start, rows, 0, 0, 1);
    } else {
      --tickPage_;
    }
  } else {
    --tickPage_;
    if (tickPage_ > 1) {
      const int start = liveTickTotal_ - rows * tickPage_;
      Cancel(engine_, &h_.olderTicks);
      h_.olderTicks = RequestTicks(engine_, &QuoteReplyCallback, this, 38, key_.code, key_.market,
                                   start < 0 ? 0 : start, rows, 0, 0, 1);
    } else {
      tickPage_ = 1;
      detailView_.SetTicks(engine_->tickAreas[0]);
    }
  }
  return 0;
}

// F10 item (wParam: the item index, a signed byte).
LRESULT CQuoteDetailsView::OnF10ItemRequest(WPARAM item) {
  const int index = static_cast<int8_t>(item & 0xFF);
  if (index < 0) return 0;
  std::lock_guard<CriticalSection> hold(lock_);
  f10Item_ = index;
  if (!engine_ || !engine_->f10CatalogArea) return 0;
  const F10CatalogArea* catalog = engine_->f10CatalogArea;
  if (index >= catalog->entryCount) return 0;
  Cancel(engine_, &h_.f10Item);
  char code[7] = {};
  std::memcpy(code, catalog->code, 6);
  h_.f10Item = RequestF10Item(engine_, &QuoteReplyCallback, this, code, catalog->market, index, 0, 0, 0);
  return 0;
}

// The stock page's K-line data: the period and its label bar, the request
// batch with the day store's bar-count rule, the bar, supplement, older-bar
// and ex-rights replies, the adjustment modes, the K-line mines and the
// related company data.
//
// The series the K-line view draws is the page's copy (copy_). A reply
// builds the next series in scratch_ (engine copy, day-store merge and
// read-back) without the view's lock, then copies it into copy_ and
// re-adjusts it while holding the view's lock (page lock first), so the view
// never paints a half-written or unadjusted series. The copy always carries
// exactly the current ex-rights mode; the day store only ever receives the
// engine's unadjusted bars.
#include <cstdio>
#include <cstring>

#include "controls/control_messages.h"
#include "foundation/number_codecs.h"
#include "marketdata/ex_rights.h"
#include "marketdata/history_client.h"
#include "marketdata/quote_requests.h"
#include "marketdata/request_builders.h"
#include "stockpage/quote_details_view.h"
#include "stockpage/quote_details_private.h"

namespace {

void Cancel(QuoteEngine* engine, int* handle) {
  if (*handle != 0) CancelQuoteRequest(engine, *handle);
  *handle = 0;
}

// YYYYMMDD of a bar.
int64_t BarDate(const DayBar& bar) { return DecodePackedDateTime(bar.time) / 1000000; }

// The bar part of a K-line area (everything before the supplement tables).
constexpr size_t kBarPartSize = offsetof(KLineArea, level2Records);

}  // namespace

bool CQuoteDetailsView::CopyHoldsStock() const {
  return copy_->barCount > 0 && std::strstr(copy_->key.code, key_.code) != nullptr && key_.code[0] != 0 &&
         copy_->key.market == key_.market;
}

// ---------------------------------------------------------------------------
// Requests (UI thread).

void CQuoteDetailsView::RequestKLine(const StockKey& key, int period) {
  if (!engine_) return;
  {
    std::lock_guard<CriticalSection> hold(lock_);
    Cancel(engine_, &h_.klineBars);
    Cancel(engine_, &h_.olderBars);
    Cancel(engine_, &h_.supplementA);
    Cancel(engine_, &h_.supplementB);
    Cancel(engine_, &h_.exRights);
    Cancel(engine_, &h_.klineMines);
    noOlderBars_ = 0;
    adjustState_ = 0;
  }
  klineView_.ClearChart();
  {
    // The copy no longer holds a series: a list arriving before the next
    // bars adjusts nothing.
    std::lock_guard<CriticalSection> hold(lock_);
    std::lock_guard<CriticalSection> view(klineView_.DataLock());
    copy_->barCount = 0;
    copy_->end = 0;
    copy_->first = 0;
    std::memset(&copy_->key, 0, sizeof copy_->key);
  }
  // The bar-count rule against the day store.
  int32_t start = 0, count = 512;
  if (period == kPeriodDay && history_) {
    uint32_t oldest = 0, newest = 0;
    if (StoredDayBarSpan(history_, key.code, key.market, &oldest, &newest) > 512) {
      start = static_cast<int32_t>(newest);
      count = 0;
    }
  }
  std::lock_guard<CriticalSection> hold(lock_);
  ::QuoteReplyCallback cb = &QuoteReplyCallback;
  h_.klineBars = RequestKLineBars(engine_, cb, this, period, key.code, key.market, start, count, 0, 1, 0);
  h_.supplementA = RequestKLineSupplementA(engine_, cb, this, period, key.code, key.market, -1, 0, 512, 0, 1, 0);
  h_.supplementB = RequestKLineSupplementB(engine_, cb, this, period, key.code, key.market, -1, 0, 512, 0, 1, 0);
  if (period == kPeriodDay) h_.exRights = RequestExRights(engine_, cb, this, key.code, key.market, 0, 0, 0);
}

void CQuoteDetailsView::SetKLinePeriod(int period) {
  {
    std::lock_guard<CriticalSection> hold(lock_);
    period_ = period;
  }
  if (period != kPeriodDay) klineView_.ToggleMainOverlay(0);
  const int count = periodBar_.GetItemCount();
  if (count > 0) periodBar_.SetItemText(count - 1, PeriodLabel(period));
  RequestKLine(GetStockKey(), period);
  LayoutPeriodBar();
}

void CQuoteDetailsView::LayoutPeriodBar() {
  int period, mode;
  {
    std::lock_guard<CriticalSection> hold(lock_);
    if (period_ != kPeriodDay) exMode_ = 1;
    period = period_;
    mode = exMode_;
  }
  if (!periodBar_.m_hWnd) return;
  char selected[64] = {};
  const int sel = periodBar_.GetCurSel();
  if (sel >= 0) periodBar_.CopyItemText(sel, selected, sizeof selected);
  std::u16string items;
  if (!IsIndex() && period == kPeriodDay) items = std::u16string(ExRightsLabel(mode)) + u",";
  items += PeriodLabel(period);
  periodBar_.SetItems(items.c_str());
  if (selected[0]) periodBar_.SelectItemByName(selected);
  CRect chart;
  klineView_.GetClientRect(&chart);
  const int n = periodBar_.GetItemCount();
  periodItemWidth_ = 60;
  periodBarLeft_ = chart.Width() - 60 * n;
  periodBar_.SetItemWidth(60);
  periodBar_.MoveWindow(periodBarLeft_, 1, 60 * n, 15, TRUE);
}

int CQuoteDetailsView::RequestOlderDayBars(int count) {
  std::lock_guard<CriticalSection> hold(lock_);
  if (period_ != kPeriodDay || !engine_) return -1;
  if (noOlderBars_) return 2;
  if (h_.olderBars != 0) return 1;
  uint32_t oldest = 0, newest = 0;
  if (!history_ || StoredDayBarSpan(history_, key_.code, key_.market, &oldest, &newest) == 0) return -1;
  h_.olderBars = RequestKLineBars(engine_, &QuoteReplyCallback, this, kPeriodDay, key_.code, key_.market,
                                  static_cast<int32_t>(oldest), count, 0, 0, 1);
  return 0;
}

// ---------------------------------------------------------------------------
// Replies (connection thread, page lock held).

void CQuoteDetailsView::OnKLineBars(PendingRequest* pending) {
  const KLineArea* area = engine_->klineAreas[0];
  if (!area) return;
  const bool firstReply = pending->state == 1;
  std::memcpy(scratch_.get(), area, sizeof(KLineArea));
  if (period_ == kPeriodDay && history_) {
    char code[7] = {};
    std::memcpy(code, area->key.code, 6);
    const int first = area->first < 0 ? 0 : area->first;
    StoreHistoryBars(history_, code, area->key.market, area->bars + first, area->barCount, scratch_.get());
  }
  {
    std::lock_guard<CriticalSection> view(klineView_.DataLock());
    std::memcpy(copy_.get(), scratch_.get(), sizeof(KLineArea));
    klineView_.SetBars(copy_.get(), engine_->workspaces[0], false);
    ApplyMode(firstReply);
  }
  priceView_.SetKLineArea(copy_.get());
  RequestKLineMines();
  if (firstKLine_) {
    firstKLine_ = false;
    if (period_ == kPeriodDay) {
      WPARAM kinds = 0;
      if (klineView_.GetPaneCount() == 3) kinds |= 1u << klineView_.GetFundamentalsPane();
      if (klineView_.GetMainOverlay() == 1) kinds |= 1u << 3;
      if (kinds) PostMessage(WM_REQUEST_RELATED_DATA, kinds, 0);
    }
  }
}

void CQuoteDetailsView::OnSupplement(PendingRequest*, bool) {
  const KLineArea* area = engine_->klineAreas[0];
  if (!area) return;
  std::lock_guard<CriticalSection> view(klineView_.DataLock());
  CopyKLineSupplements(copy_.get(), area);
  klineView_.SetBars(copy_.get(), engine_->workspaces[1], false);
}

void CQuoteDetailsView::OnOlderBars(PendingRequest* pending) {
  const KLineArea* area = engine_->klineAreas[1];
  h_.olderBars = 0;
  if (!area || !history_) return;
  const bool firstReply = pending->state == 1;
  char code[7] = {};
  std::memcpy(code, area->key.code, 6);
  const int first = area->first < 0 ? 0 : area->first;
  std::memcpy(scratch_.get(), copy_.get(), kBarPartSize);
  StoreHistoryBars(history_, code, area->key.market, area->bars + first, area->barCount, scratch_.get());
  noOlderBars_ = area->rangeFlag;
  {
    std::lock_guard<CriticalSection> view(klineView_.DataLock());
    // Only the bar part: the supplement tables pair from the newest bar.
    std::memcpy(copy_.get(), scratch_.get(), kBarPartSize);
    klineView_.SetBars(copy_.get(), engine_->workspaces[1], true);
    ApplyMode(firstReply);
  }
  priceView_.SetKLineArea(copy_.get());
}

// The copy was rewritten with stored prices: bring it to the current mode
// over the whole series once the list is known.
void CQuoteDetailsView::ApplyMode(bool) {
  if (adjustState_ == 0 || period_ != kPeriodDay || !CopyHoldsStock()) return;
  if (exMode_ == 0)
    klineView_.ApplyForwardAdjust(copy_.get(), exList_.get());
  else if (exMode_ == 2)
    klineView_.ApplyBackwardAdjust(copy_.get(), exList_.get(), 0);
  adjustState_ = 2;
}

void CQuoteDetailsView::OnExRights(PendingRequest* pending) {
  const auto* list = static_cast<const ExRightsArea*>(pending->area);
  if (!list) return;
  {
    std::lock_guard<CriticalSection> view(klineView_.DataLock());
    delete[] exList_->records;
    exList_->records = nullptr;
    exList_->count = 0;
    exList_->key = list->key;
    if (list->records && list->count > 0) {
      exList_->records = new ExRightsRecord[list->count];
      std::memcpy(exList_->records, list->records, sizeof(ExRightsRecord) * list->count);
      exList_->count = list->count;
    }
    klineView_.SetExRightsList(exList_.get());
  }
  adjustState_ = 1;
  if (CopyHoldsStock() && exMode_ != 1) {
    std::lock_guard<CriticalSection> view(klineView_.DataLock());
    if (exMode_ == 0)
      klineView_.ApplyForwardAdjust(copy_.get(), exList_.get());
    else
      klineView_.ApplyBackwardAdjust(copy_.get(), exList_.get(), 0);
    adjustState_ = 2;
  } else if (exMode_ == 1) {
    adjustState_ = 2;
  }
}

// ---------------------------------------------------------------------------
// Adjustment modes (page lock held).

void CQuoteDetailsView::SetExRightsMode(int mode) {
  exMode_ = mode;
  const int count = periodBar_.GetItemCount();
  if (count >= 2) periodBar_.SetItemText(count - 2, ExRightsLabel(mode));
}

void CQuoteDetailsView::ApplyForwardExRights(KLineArea* series) {
  if (exMode_ == 2) RemoveExRights(series);
  klineView_.ApplyForwardAdjust(series, exList_.get());
  SetExRightsMode(0);
}

void CQuoteDetailsView::ApplyBackwardExRights(KLineArea* series, int fromBar) {
  if (exMode_ == 0) RemoveExRights(series);
  klineView_.ApplyBackwardAdjust(series, exList_.get(), fromBar);
  SetExRightsMode(2);
}

void CQuoteDetailsView::RemoveExRights(KLineArea* series) {
  klineView_.RemoveAdjust(series, exList_.get(), exMode_);
  SetExRightsMode(1);
}

// ---------------------------------------------------------------------------
// Mines and related data.

void CQuoteDetailsView::RequestKLineMines() {
  if (h_.klineMines != 0 || copy_->barCount <= 0 || !engine_) return;
  const int newest = copy_->end - 1;
  const int from = newest - 90 < copy_->first ? copy_->first : newest - 90;
  const auto fromDate = static_cast<uint64_t>(BarDate(copy_->bars[from]));
  const auto toDate = static_cast<uint64_t>(BarDate(copy_->bars[newest]));
  h_.klineMines = RequestKLineNewsMarks(engine_, &QuoteReplyCallback, this, key_.code, key_.market, 0, 1,
                                        static_cast<uint32_t>(fromDate), static_cast<uint32_t>(fromDate >> 32),
                                        static_cast<uint32_t>(toDate), static_cast<uint32_t>(toDate >> 32), 1);
}

// UI thread, no page lock held while the fetcher starts.
void CQuoteDetailsView::RequestRelatedData(int datatype) {
  char code[7] = {};
  uint8_t market = 0;
  char startDate[16] = {}, endDate[16] = {};
  {
    std::lock_guard<CriticalSection> hold(lock_);
    if (period_ != kPeriodDay || copy_->barCount <= 0) return;
    std::memcpy(code, key_.code, 6);
    market = key_.market;
    const int newest = copy_->end - 1;
    if (datatype == 3) {
      const int back = newest - 265 < copy_->first ? copy_->first : newest - 265;
      std::snprintf(startDate, sizeof startDate, "%lld", static_cast<long long>(BarDate(copy_->bars[back])));
    } else {
      std::snprintf(startDate, sizeof startDate, "19890101");
    }
    std::snprintf(endDate, sizeof endDate, "%lld", static_cast<long long>(BarDate(copy_->bars[newest])));
  }
  if (relData_.Request(datatype, code, market, startDate, endDate) == 0) klineView_.SetRelatedData(&relData_, datatype);
}

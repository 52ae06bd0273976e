// A stand-in for the stock page, for the panel tests until the page itself
// exists: it creates the panels with the page's ids and places, requests
// the fields, ticks, price statistics and ex-rights of a stock from the real
// engine, and from the engine's callbacks (connection thread), holding its
// own lock, calls the panels' setters as the page does. It records every
// WM_TICK_PAGE and, when asked to, answers it as the page does (older pages
// into slot 1).
#pragma once

#include "marketdata/ex_rights.h"
#include "marketdata/quote_areas.h"
#include "marketdata/quote_engine.h"
#include "marketdata/request_builders.h"
#include "stockpage/tests/panels_test_support.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace panel_test {

class StockPageHarness : public CWnd {
 public:
  static constexpr int kWidth = 1000;
  static constexpr int kHeight = 600;

  Recording<CHandicapView> handicap;     // 931
  Recording<CPriceStatisView> priceStat; // 832, hidden
  Recording<CPieView> pie;               // 1013, hidden
  Recording<CDetailView> detail;
  Recording<CDetailSmallView> small;
  CPriceView board;                      // the bid/ask board above the summary

  explicit StockPageHarness(QuoteEngine* engine) : engine_(engine) {}

  bool Build() {
    if (!CreateEx(0, nullptr, u"stock page", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, kWidth, kHeight),
                  nullptr, 0))
      return false;
    const DWORD shown = WS_CHILD | WS_VISIBLE;
    return board.Create(nullptr, u"", shown, CRect(kWidth - 202, 0, kWidth, 226), this, 930) &&
           handicap.Create(nullptr, u"", shown, CRect(kWidth - 202, 226, kWidth, 226 + 158), this, 931) &&
           priceStat.Create(nullptr, u"", WS_CHILD, CRect(0, 0, kWidth - 202, kHeight), this, 832) &&
           pie.Create(nullptr, u"", WS_CHILD, CRect(kWidth - 202, 384, kWidth, kHeight), this, 1013) &&
           detail.Create(nullptr, u"", shown, CRect(0, 0, kWidth - 202, kHeight), this, 1001) &&
           small.Create(nullptr, u"", shown, CRect(kWidth - 202, 384, kWidth, kHeight), this, 1002);
  }

  // The page's ShowStock for a stock or an index (kind 1) of markets 1/2.
  void ShowStock(const char* code, int market, int kind) {
    {
      std::lock_guard<std::mutex> hold(lock);
      code_ = code;
      market_ = market;
      page_ = 1;
    }
    handicap.ClearQuote();
    board.Clear();
    board.ShowWindow(kind == 1 ? SW_HIDE : SW_SHOW);
    priceStat.Clear();
    pie.Clear();
    detail.Clear();
    small.Clear();
    const int width = IsFuturesMarket(market) ? 270 : 202;
    if (kind == 1) {
      handicap.SetIndexMode(1);
      handicap.MoveWindow(kWidth - width, 0, width, 184);
    } else {
      handicap.SetIndexMode(0);
      handicap.MoveWindow(kWidth - width, 226, width, 158);
    }
    RequestStockFields(engine_, &OnFields, this, code, market, 0, 1, 0);
    RequestTicks(engine_, &OnTicks, this, 38, code, market, -1, detail.GetCapacity(), 0, 1, 0);
    if (kind != 1) RequestPriceStatistics(engine_, &OnPriceStat, this, code, market, 0, 1, 0);
    RequestExRights(engine_, &OnExRights, this, code, market, 0, 0, 0);
  }

  // Counts and copies, read under the lock.
  std::mutex lock;  // the page's lock
  int fieldReplies = 0, tickReplies = 0, statReplies = 0, exRightsReplies = 0;
  int statLevels = 0;  // levels of the latest price-statistics reply
  QuoteRecord lastQuote{};
  TickRows lastTicks;
  std::vector<ExRightsRecord> exRights;  // the copy handed to the dialog
  std::vector<LPARAM> tickPages;
  bool answerPages = false;  // answer WM_TICK_PAGE as the page does
  int historyReplies = 0;
  TickRows lastHistory;      // the slot-1 page handed to the full list
  int32_t liveOldestAtPage = 0;  // the live list's oldest tick when a page was asked

 protected:
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, RGB(0, 0, 0));
  }
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_TICK_PAGE) {
      std::lock_guard<std::mutex> hold(lock);
      tickPages.push_back(l);
      if (answerPages) AnswerTickPage(l);
      return 0;
    }
    return CWnd::WindowProc(msg, w, l);
  }

 private:
  // Under the lock. Older ticks: one page more, requested into slot 1 when
  // the day has them; newer: one page less (the live area itself is given
  // back by the next live reply, which feeds the list again on page 1).
  void AnswerTickPage(LPARAM older) {
    const int capacity = detail.GetCapacity();
    if (older == 1) {
      ++page_;
      const int start = lastTicks.total - capacity * page_;
      if (start > -capacity && !lastTicks.rows.empty()) {
        liveOldestAtPage = lastTicks.rows.front().time;
        RequestTicks(engine_, &OnHistory, this, 38, code_.c_str(), market_, std::max(start, 0), capacity, 0, 0, 1);
      } else {
        --page_;
      }
    } else if (--page_ < 2) {
      page_ = 1;
    } else {
      RequestTicks(engine_, &OnHistory, this, 38, code_.c_str(), market_, lastTicks.total - capacity * page_,
                   capacity, 0, 0, 1);
    }
  }
  static void OnHistory(void* owner, PendingRequest* entry) {
    auto* self = static_cast<StockPageHarness*>(owner);
    std::lock_guard<std::mutex> hold(self->lock);
    const auto* area = static_cast<const TickArea*>(entry->area);
    if (self->page_ > 1) self->detail.SetTicks(area);
    CopyTickRows(area, &self->lastHistory);
    ++self->historyReplies;
  }
  static void OnFields(void* owner, PendingRequest* entry) {
    auto* self = static_cast<StockPageHarness*>(owner);
    std::lock_guard<std::mutex> hold(self->lock);
    const auto* area = static_cast<const StockFieldsArea*>(entry->area);
    self->handicap.SetQuote(&area->record);
    self->board.SetQuote(&area->record);
    self->lastQuote = area->record;
    ++self->fieldReplies;
  }
  static void OnTicks(void* owner, PendingRequest* entry) {
    auto* self = static_cast<StockPageHarness*>(owner);
    std::lock_guard<std::mutex> hold(self->lock);
    const auto* area = static_cast<const TickArea*>(entry->area);
    self->small.SetTicks(area);
    if (self->page_ == 1) self->detail.SetTicks(area);
    CopyTickRows(area, &self->lastTicks);
    ++self->tickReplies;
  }
  static void OnPriceStat(void* owner, PendingRequest* entry) {
    auto* self = static_cast<StockPageHarness*>(owner);
    std::lock_guard<std::mutex> hold(self->lock);
    const auto* area = static_cast<const PriceStatArea*>(entry->area);
    self->priceStat.SetData(area);
    self->statLevels = area->levelCount;
    ++self->statReplies;
  }
  static void OnExRights(void* owner, PendingRequest* entry) {
    auto* self = static_cast<StockPageHarness*>(owner);
    std::lock_guard<std::mutex> hold(self->lock);
    const auto* area = static_cast<const ExRightsArea*>(entry->area);
    self->exRights.clear();
    if (area->records && area->count > 0) self->exRights.assign(area->records, area->records + area->count);
    ++self->exRightsReplies;
  }

  QuoteEngine* engine_;
  std::string code_;
  int market_ = 1;
  int page_ = 1;
};

}  // namespace panel_test

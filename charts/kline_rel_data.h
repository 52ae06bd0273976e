// KLineRelData: the fetcher of a stock's company data for the day K-line
// chart (financial figures, shareholder figures, research ratings) from the
// "PCKlineRelJsonData" HTTP service, parsed into fixed rows.
//
// Hand-over of rows: a reply is parsed on the request's own thread into a
// new table that becomes the type's *pending* table (under the fetcher's
// lock; an unread pending table is freed), and WM_KLINE_RELDATA_READY
// (type, 0) is posted to the notify window. The UI thread takes the pending
// table with TakePending, points the chart at it and only then frees the
// table the chart showed before, so a chart never reads rows that a reply
// freed. A pending table counts as loaded for Request.
//
// Threads: Init, Release, Clear, CancelRequests, Request and TakePending run
// on the UI thread; ReplyCallback and OnReply on the request's thread. Never
// call CancelRequests or Request while holding a lock that OnReply or the
// notify window's thread takes (they abandon requests, which waits for a
// running callback).
#pragma once

#include <cstdint>

#include "platform/kernel/kernel_sync.h"
#include "platform/window/win_user.h"

struct HttpRequest;

constexpr unsigned kWmKLineRelDataReady = 5322;  // WM_KLINE_RELDATA_READY of controls/control_messages.h
constexpr int kKLineRelRowLimit = 4096;   // rows kept of one reply

// Data type 1: financial figures of one reporting period.
struct KLineFinanceRow {
  char basicEPS[24];
  char netCashFlowPS[24];
  char operRevenue[24];
  char startDate[24];
  char endDate[24];
};

// Data type 2: shareholder figures of one reporting period.
struct KLineHolderRow {
  char totalSH[24];
  char avgShare[24];
  char pctOfTotalSH[24];
  char startDate[24];
  char endDate[24];
};

// Data type 3: one institute's rating.
struct KLineRatingRow {
  char invRatingOriginal[256];
  int32_t ratingSide;
  char comName[256];
  char pubDate[24];
  char url[256];
};

// One parsed table of any type (rows of the type's row struct, malloc).
struct KLineRelTable {
  void* rows = nullptr;
  int32_t count = 0;
};

struct KLineRelData {
  // Tables the owner has taken (the rows a chart may point at).
  KLineFinanceRow* financeRows = nullptr;
  int32_t financeCount = 0;
  KLineHolderRow* holderRows = nullptr;
  int32_t holderCount = 0;
  KLineRatingRow* ratingRows = nullptr;
  int32_t ratingCount = 0;
  char* serviceAddress = nullptr;   // ChooseServer("PCKlineRelJsonData", 0)
  HWND notifyWindow = nullptr;
  int requestIds[3] = {};           // by type - 1

  void Init();
  void Clear();
  void Release();
  void CancelRequests();
  // 1 when a request of type (1, 2, 3) was started, else 0.
  int Request(int type, const char* stockCode, uint8_t market, const char* startDate, const char* endDate);
  static void ReplyCallback(HttpRequest* request, void* user, const char* body, int length, int status);
  void OnReply(const char* text, int id);

  // UI thread, on WM_KLINE_RELDATA_READY: moves the type's pending table
  // into the taken table and hands the table it replaces to the caller
  // (*oldRows, free with std::free once nothing points at it). False when
  // nothing was pending.
  bool TakePending(int type, void** oldRows);

 private:
  CriticalSection lock_;            // guards pending_ and requestIds
  KLineRelTable pending_[3];
  bool pendingSet_[3] = {};
};

// Parses a reply text of a type into a new table; false when the text is
// not JSON. Rows = min("total", elements), "total" not a number or negative
// gives 0, held at kKLineRelRowLimit. Texts cut on a UTF-8 boundary.
bool ParseKLineRelReply(int type, const char* text, KLineRelTable* table);

// What the quote view calls of its seven pages and of the quote table's
// multi-stock view. Each page class derives from CWnd (or a CWnd-based
// class) and from its interface here, and answers Window() with itself; a
// page whose window has not been written yet is a placeholder
// (quotes/page_placeholders.h) until its own change replaces it.
//
// Every call comes from the user-interface thread.
#pragma once

#include <cstdint>

#include "marketdata/quote_record.h"
#include "platform/mfc/afx.h"

struct QuoteEngine;
struct HistoryClient;

// Common to every page.
class IQuotePage {
 public:
  virtual ~IQuotePage() = default;
  // The page's window object (valid before its creation).
  virtual CWnd* Window() = 0;
  // Creates the page's window as a child of parent with these styles.
  virtual BOOL CreatePage(DWORD style, const RECT& rect, CWnd* parent, UINT id) = 0;
  // Cancels every request of the page.
  virtual void CancelRequests() = 0;
};

// The multi-stock view of the quote table.
class IMultiStockView {
 public:
  virtual ~IMultiStockView() = default;
  virtual bool IsShown() = 0;
  // The selected cell (0-8) or -1.
  virtual int GetSelectedCell() = 0;
  // Puts the stock into the selected cell and asks for its minute data.
  virtual void ReplaceSelectedStock(const StockKey& key) = 0;
};

// The main quote table.
class IQuoteTablePage : public IQuotePage {
 public:
  virtual void SetEngine(QuoteEngine* engine) = 0;
  virtual void ClearTable() = 0;
  virtual void ResetColumns() = 0;
  virtual void ShowDefaultTable() = 0;
  virtual void Reload() = 0;
  // The current row's stock: true and *key set, false when no row is current.
  virtual bool GetSelectedStock(StockKey* key) = 0;
  // The board tab bar (the wParam of its WM_TABLEBAR_SELECT) and its current
  // item.
  virtual CWnd* BoardBar() = 0;
  virtual void SetBoardBarItem(int item) = 0;
  // Lists the members of a block (kind 0 concept, 1 region, 2 industry).
  virtual void ShowBlockStocks(int64_t blockId, int blockKind) = 0;
  // The table's multi-stock view, or null.
  virtual IMultiStockView* MultiStock() = 0;
};

// The stock pool.
class IPoolPage : public IQuotePage {
 public:
  virtual void SetEngine(QuoteEngine* engine) = 0;
  virtual void RequestTable() = 0;
};

// The ranking boards.
class IRankPage : public IQuotePage {
 public:
  virtual void SetEngine(QuoteEngine* engine) = 0;
  // -1, -1: the board shown last.
  virtual void RequestBoards(int32_t boardLow, int32_t boardHigh) = 0;
};

// The tactical board, the block monitor and the short-term board.
class IBoardPage : public IQuotePage {
 public:
  virtual void SetEngine(QuoteEngine* engine) = 0;
  virtual void Reload() = 0;
};

// The stock page.
class IStockPage : public IQuotePage {
 public:
  virtual void SetEngine(QuoteEngine* engine, HistoryClient* history) = 0;
  virtual void SetUserName(const WCHAR* userName) = 0;
  // Makes the stock current and issues every request of the page.
  virtual void ShowStock(const StockKey& key, int flag) = 0;
  // Makes the stock current without any request.
  virtual void SetStockKey(const StockKey& key) = 0;
  virtual StockKey GetStockKey() = 0;
  // Cancels the page's requests (keepAlerts: the alert subscription stays).
  virtual void CancelPageRequests(int keepAlerts) = 0;
  virtual void ShowKLineChart() = 0;
  virtual bool IsKLineShown() = 0;
  virtual void SetKLinePeriod(int period) = 0;
  virtual int GetKLinePeriod() = 0;
  // The main tab bar's current item.
  virtual int GetCurrentTab() = 0;
  // The two tab bars (the wParam of their WM_TABLEBAR_SELECT) and their
  // current items.
  virtual CWnd* MainTabBar() = 0;
  virtual CWnd* InfoTabBar() = 0;
  virtual void SetMainTabItem(int item) = 0;
  virtual void SetInfoTabItem(int item) = 0;
  // Hides the cross-hairs of the minute and K-line charts.
  virtual void HideCrossHairs() = 0;
};

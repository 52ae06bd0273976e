// What the main frame asks of the quote view.
//
// The quote view owns the program's one market-data engine and history
// client, keeps the market-data connection alive and hosts the market pages
// (quote table, stock pool, stock page, ranking boards, tactical board, block
// monitor, short-term board), one visible at a time. The main frame makes it
// through its factory (shell/frame_factories.h), creates its window as a
// child of the main view (WS_CHILD | WS_VISIBLE, id 0) and drives it through
// the operations below, all on the user-interface thread.
//
// This header is the whole contract: it includes no header of the shell, so
// the view's library implements it without linking the frame. The
// implementing class derives from CWnd (or a CWnd-based class) and from
// IQuoteView, and answers Window() with itself.
//
// Messages the frame posts to the view's window: WM_SHOW_STOCK (lParam a
// heap copy of a StockKey made with `new`, freed with `delete` by the view),
// WM_SET_STOCK_LIST and WM_SHOW_INDEX_LIST relayed unchanged, WM_KEY_COMMAND
// (0, key).
#pragma once

#include <cstdint>

#include "marketdata/quote_record.h"
#include "platform/mfc/afx.h"

struct QuoteEngine;
struct HistoryClient;
class FooStatus;

class IQuoteView {
 public:
  virtual ~IQuoteView() = default;

  // The view's window (the object itself); valid before its creation.
  virtual CWnd* Window() = 0;

  // Session and connection.
  virtual void SetStatusBar(FooStatus* statusBar) = 0;                 // owned by the frame
  virtual void SetCredentials(const char* userNumber, const char* token) = 0;  // texts copied
  virtual void SetUserName(const WCHAR* userName) = 0;                 // copied
  virtual void ConnectEngine() = 0;
  virtual void DisconnectEngine() = 0;
  // Cancels the requests of all pages.
  virtual void CancelAllRequests() = 0;

  // Page switches (reload: nonzero also reloads the page).
  virtual void ShowQuoteTable() = 0;
  virtual void ShowQuoteTableReload(int reload) = 0;
  virtual void ShowPoolPage(int reload) = 0;
  // Board id as two 32-bit halves; -1, -1 asks for the board shown last.
  virtual void ShowRankPage(int32_t boardLow, int32_t boardHigh) = 0;
  virtual void ShowTacticalBoard(int reload) = 0;
  virtual void ShowBlockMonitor(int reload) = 0;
  virtual void ShowShortTermBoard(int reload) = 0;
  virtual void ShowMarketAnalysis() = 0;
  // K-line period code ('!' day … '(' month; 33 to 40).
  virtual void ShowKLinePeriod(int period) = 0;
  // The stock page issues its requests again when it is visible.
  virtual void RefreshStockPage() = 0;
  // Posts WM_COMMAND (command, param) to the quote table.
  virtual void PostTableCommand(WPARAM command, LPARAM param) = 0;
  // The quote table lists the members of a block (kind 0 concept, 1 region,
  // 2 industry).
  virtual void ShowBlockStocks(int64_t blockId, int blockKind) = 0;

  // State the frame reads.
  virtual bool IsStockPageVisible() = 0;
  virtual bool IsQuoteTableVisible() = 0;
  // The stock page's current stock (all zero when it shows none).
  virtual StockKey GetStockPageKey() = 0;
  // Empties the pending index code (the market-analysis menu entry).
  virtual void ClearPendingIndexCode() = 0;

  // The engine and history client the view owns; never null once made.
  virtual QuoteEngine* Engine() = 0;
  virtual HistoryClient* History() = 0;
};

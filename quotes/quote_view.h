// CQuoteView: the quote area of the main window. It owns the program's one
// market-data engine and history client, keeps the market-data connection
// alive (reconnecting with a back-off), renews the standing push
// subscription of the two index tickers in the status bar, hosts the seven
// market pages (one visible at a time) and keeps the list the user browses
// with PgUp/PgDn and the wheel while the stock page is shown.
//
// Threads: every operation and handler runs on the user-interface thread.
// The engine's owner events and the replies of the view's own requests
// arrive on the connection's thread: the event function only posts the
// event to the view (events raised before the window exists wait in a queue
// and are posted, in order, from WM_CREATE); the reply callback copies what
// the view shows under the view's request lock and posts one message per
// kind of reply (quotes/quote_page.h). Nothing off the UI thread touches a
// window.
//
// Connection states: not connected (timer 100 possibly armed) ->
// connecting (ConnectEngine) -> ready (event 0: count reset, push renewal)
// -> lost (events 1, 7: back-off arms timer 100) -> connecting ...
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "quotes/page_placeholders.h"
#include "quotes/quote_messages.h"
#include "quotes/quote_page.h"
#include "quotes/quote_pages.h"
#include "quotes/quote_view_interface.h"
#include "quotes/status_tickers.h"

struct PendingRequest;
class FooStatus;

class CQuoteView : public CWnd, public IQuoteView {
 public:
  static constexpr UINT_PTR kReconnectTimer = 100;
  static constexpr int kQuotePort = 8110;
  static constexpr int kReRequestRows = 10000;

  // Which page; kNoPage for "none" (the return page).
  enum Page : int { kNoPage = -1, kTablePage, kPoolPage, kStockPage, kRankPage, kTacticalPage, kBlockPage, kShortTermPage };

  // Creates the engine and the history client, loads the trading hours and
  // makes the pages (MakeQuotePages() when pages is empty).
  CQuoteView();
  explicit CQuoteView(QuotePages pages);
  ~CQuoteView() override;

  // IQuoteView.
  CWnd* Window() override { return this; }
  void SetStatusBar(FooStatus* statusBar) override;
  void SetCredentials(const char* userNumber, const char* token) override;
  void SetUserName(const WCHAR* userName) override;
  void ConnectEngine() override;
  void DisconnectEngine() override;
  void CancelAllRequests() override;
  void ShowQuoteTable() override;
  void ShowQuoteTableReload(int reload) override;
  void ShowPoolPage(int reload) override;
  void ShowRankPage(int32_t boardLow, int32_t boardHigh) override;
  void ShowTacticalBoard(int reload) override;
  void ShowBlockMonitor(int reload) override;
  void ShowShortTermBoard(int reload) override;
  void ShowMarketAnalysis() override;
  void ShowKLinePeriod(int period) override;
  void RefreshStockPage() override;
  void PostTableCommand(WPARAM command, LPARAM param) override;
  void ShowBlockStocks(int64_t blockId, int blockKind) override;
  bool IsStockPageVisible() override;
  bool IsQuoteTableVisible() override;
  StockKey GetStockPageKey() override;
  void ClearPendingIndexCode() override;
  QuoteEngine* Engine() override { return engine_; }
  HistoryClient* History() override { return history_; }

  // Shows the stock page for key with an open mode (0 as is, 1 minute
  // chart, 2 K-line chart, 3 company information, 4 depth page); an index
  // asks the main frame for the market-analysis tab instead.
  void ShowStockPage(const StockKey& key, int mode);

  // What tests read.
  Page ReturnPage() const { return returnPage_; }
  Page VisiblePage();
  int TryCount() const { return tryCount_; }
  int BrowseIndex() const { return currentIndex_; }
  int BrowseEntryForm() const { return entryForm_; }
  std::vector<StockKey> BrowsedList() const { return entries_; }
  int PushHandle() { return requests_.Get(kPushRole); }
  IQuotePage* PageAt(Page page);

  // Tests: the port ConnectEngine uses (8110 otherwise), for this view or
  // for the views made from now on (0 puts 8110 back).
  void SetQuotePortForTesting(int port) { port_ = port; }
  static void SetDefaultQuotePortForTesting(int port);

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnDestroy() override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  void OnTimer(UINT_PTR id) override;
  BOOL OnMouseWheel(UINT flags, short delta, CPoint screenPoint) override;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  // Private messages of the view (posted to itself).
  static constexpr UINT WM_QUOTE_EVENT = WM_APP + 0x361;      // (event, 0)
  static constexpr UINT WM_QUOTE_TICKERS = WM_APP + 0x362;    // (0, 0) a push reply was copied
  static constexpr UINT WM_INDEX_TABLE = WM_APP + 0x363;      // (0, 0) the index table was copied
  static constexpr UINT WM_REREQUEST_LIST = WM_APP + 0x364;   // (0, 0) the re-requested list was copied

  // Request roles (requests_).
  enum Role : int { kPushRole = 0, kIndexTableRole = 1, kReRequestRole = 2 };

  // What the push callback copies: the ticker values of "1A0001" (0) and
  // "399001" (1), each when the reply's records hold it.
  struct TickerCopy {
    bool has[2] = {false, false};
    TickerQuote quotes[2]{};
  };

  static void OnQuoteEvent(void* owner, const void* argument, int event);
  static void QuoteReplyCallback(void* owner, PendingRequest* entry);
  void QueueEvent(int event);
  void OnReply(PendingRequest* entry);

  void Construct();
  void LoadTradingHoursFile();
  void HandleQuoteEvent(int event);
  void OnReconnectQuotes();
  void RenewPush();
  void SetDisconnectedText();
  void ShowTickers();
  void AskToSignInAgain();

  LRESULT OnKeyCommand(WPARAM wParam, LPARAM lParam);
  void OnEscape();
  void SelectMainTab(int item);
  void NextKLinePeriod();
  void ShowIndexOfKey(const char* code, int market);
  LRESULT OnShowStock(WPARAM mode, LPARAM lParam);
  LRESULT OnSetStockList(WPARAM wParam, LPARAM lParam);
  LRESULT OnShowIndexList(WPARAM wParam);
  void OnIndexTable();
  void OnReRequestedList();
  void PositionOnCode(const char* code, StockListInfo* info);
  void ShowCurrentEntry();
  void StepBrowse(int step);

  void ShowOnly(Page page);
  bool IsShown(Page page);
  CWnd* MainWindow();

  QuotePages pages_;
  QuoteEngine* engine_ = nullptr;            // owned
  HistoryClient* history_ = nullptr;         // owned
  int tryCount_ = 0;                         // reconnection tries since the last ready
  char pendingIndexCode_[8] = {};            // code to position the index table on
  FooStatus* statusBar_ = nullptr;           // the main frame's (not owned)
  Page returnPage_ = kNoPage;                // where Esc goes back to
  StockKey pendingAnalysisKey_{};            // all zero: empty
  int port_;

  // Browsing (UI thread).
  int currentIndex_ = 0;                     // position in entries_
  std::vector<StockKey> entries_;            // the browsed list (code, market, kind)
  int entryForm_ = 8;                        // 8: shown here; 7: looked up by the main frame
  int reRequestRows_ = kReRequestRows;
  StockKey scratchKey_{};
  std::vector<StockKey> indexTable_;         // the view's copy of the index table

  // Requests and what their callbacks copy (under requests_.Lock()).
  QuotePageRequests requests_;
  LatestCopy<TickerCopy> tickerCopy_;
  LatestCopy<std::vector<StockKey>> indexCopy_;
  LatestCopy<std::vector<StockKey>> reRequestCopy_;
  RefillPost tickerPost_;
  RefillPost indexPost_;
  RefillPost reRequestPost_;
  std::atomic<HWND> replyWindow_{nullptr};   // where the callbacks post (null: nowhere)

  // Owner events before the window exists (under eventLock_).
  std::mutex eventLock_;
  HWND eventWindow_ = nullptr;               // null until WM_CREATE, again after WM_DESTROY
  std::vector<int> earlyEvents_;
};

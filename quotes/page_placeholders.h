// Stand-ins for the quote view's pages whose windows are not written yet:
// each paints its name on black and records every call the view makes (and
// the WM_TABLEBAR_SELECT / WM_COMMAND messages it receives) in a call log.
// Each is replaced and deleted by the change that writes its page.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "controls/control_messages.h"
#include "quotes/quote_pages.h"

// The calls of every placeholder, in order: "<page>.<call>(<arguments>)".
class PageCallLog {
 public:
  void Note(const std::string& call);
  std::vector<std::string> Take();
  std::vector<std::string> Calls();
  void Clear();

 private:
  std::mutex lock_;
  std::vector<std::string> calls_;
};

// The log of the placeholders the default page factory makes.
PageCallLog& PlaceholderCalls();

// The window part shared by the placeholders.
class PlaceholderPage : public CWnd {
 public:
  PlaceholderPage(const char* name, const char16_t* title, PageCallLog* log);
  BOOL CreateWindowOf(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  void Note(const std::string& call);
  const std::string& Name() const { return name_; }

 protected:
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnPaint() override;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // The name of the tab bar a WM_TABLEBAR_SELECT names in wParam.
  virtual std::string BarName(WPARAM) { return "?"; }

 private:
  std::string name_;
  std::u16string title_;
  PageCallLog* log_;
};

class PlaceholderMultiStock : public IMultiStockView {
 public:
  explicit PlaceholderMultiStock(PageCallLog* log) : log_(log) {}
  bool IsShown() override { return shown; }
  int GetSelectedCell() override { return selectedCell; }
  void ReplaceSelectedStock(const StockKey& key) override;

  bool shown = false;      // set by tests
  int selectedCell = -1;   // set by tests

 private:
  PageCallLog* log_;
};

class PlaceholderQuoteTable : public PlaceholderPage, public IQuoteTablePage {
 public:
  explicit PlaceholderQuoteTable(PageCallLog* log);
  CWnd* Window() override { return this; }
  BOOL CreatePage(DWORD style, const RECT& rect, CWnd* parent, UINT id) override;
  void CancelRequests() override { Note("CancelRequests"); }
  void SetEngine(QuoteEngine* engine) override;
  void ClearTable() override { Note("ClearTable"); }
  void ResetColumns() override { Note("ResetColumns"); }
  void ShowDefaultTable() override { Note("ShowDefaultTable"); }
  void Reload() override { Note("Reload"); }
  bool GetSelectedStock(StockKey* key) override;
  CWnd* BoardBar() override { return &boardBar_; }
  void SetBoardBarItem(int item) override { Note("SetBoardBarItem(" + std::to_string(item) + ")"); }
  void ShowBlockStocks(int64_t blockId, int blockKind) override;
  IMultiStockView* MultiStock() override { return &multiStock; }

  bool hasSelection = false;   // set by tests: GetSelectedStock answers selection
  StockKey selection{};
  PlaceholderMultiStock multiStock;
  QuoteEngine* engine = nullptr;

 protected:
  std::string BarName(WPARAM bar) override;

 private:
  CWnd boardBar_;   // stands for the board tab bar (never created)
};

class PlaceholderPool : public PlaceholderPage, public IPoolPage {
 public:
  explicit PlaceholderPool(PageCallLog* log) : PlaceholderPage("pool", u"股票池", log) {}
  CWnd* Window() override { return this; }
  BOOL CreatePage(DWORD style, const RECT& rect, CWnd* parent, UINT id) override;
  void CancelRequests() override { Note("CancelRequests"); }
  void SetEngine(QuoteEngine* engine) override;
  void RequestTable() override { Note("RequestTable"); }
};

class PlaceholderRankBoards : public PlaceholderPage, public IRankPage {
 public:
  explicit PlaceholderRankBoards(PageCallLog* log) : PlaceholderPage("rank", u"排行榜", log) {}
  CWnd* Window() override { return this; }
  BOOL CreatePage(DWORD style, const RECT& rect, CWnd* parent, UINT id) override;
  void CancelRequests() override { Note("CancelRequests"); }
  void SetEngine(QuoteEngine* engine) override;
  void RequestBoards(int32_t boardLow, int32_t boardHigh) override;
};

// The tactical board, the block monitor and the short-term board.
class PlaceholderBoard : public PlaceholderPage, public IBoardPage {
 public:
  PlaceholderBoard(const char* name, const char16_t* title, PageCallLog* log) : PlaceholderPage(name, title, log) {}
  CWnd* Window() override { return this; }
  BOOL CreatePage(DWORD style, const RECT& rect, CWnd* parent, UINT id) override;
  void CancelRequests() override { Note("CancelRequests"); }
  void SetEngine(QuoteEngine* engine) override;
  void Reload() override { Note("Reload"); }
};

class PlaceholderStockPage : public PlaceholderPage, public IStockPage {
 public:
  explicit PlaceholderStockPage(PageCallLog* log);
  CWnd* Window() override { return this; }
  BOOL CreatePage(DWORD style, const RECT& rect, CWnd* parent, UINT id) override;
  void CancelRequests() override { CancelPageRequests(0); }
  void SetEngine(QuoteEngine* engine, HistoryClient* history) override;
  void SetUserName(const WCHAR* userName) override;
  void ShowStock(const StockKey& key, int flag) override;
  void SetStockKey(const StockKey& key) override;
  StockKey GetStockKey() override { return key_; }
  void CancelPageRequests(int keepAlerts) override;
  void ShowKLineChart() override;
  bool IsKLineShown() override { return klineShown; }
  void SetKLinePeriod(int period) override;
  int GetKLinePeriod() override { return period; }
  int GetCurrentTab() override { return mainTab; }
  CWnd* MainTabBar() override { return &mainBar_; }
  CWnd* InfoTabBar() override { return &infoBar_; }
  void SetMainTabItem(int item) override;
  void SetInfoTabItem(int item) override;
  void HideCrossHairs() override { Note("HideCrossHairs"); }

  bool klineShown = false;   // the K-line chart is shown instead of the minute chart
  int period = '!';          // the K-line period code
  int mainTab = 0;           // the main tab bar's current item
  int infoTab = 0;           // the information tab bar's current item

 protected:
  std::string BarName(WPARAM bar) override;

 private:
  StockKey key_{};
  CWnd mainBar_;   // stand for the tab bars (never created)
  CWnd infoBar_;
};

// The pages of the quote view, made in the view's construction order.
struct QuotePages {
  std::unique_ptr<IQuoteTablePage> table;
  std::unique_ptr<IPoolPage> pool;
  std::unique_ptr<IStockPage> stock;
  std::unique_ptr<IRankPage> rank;
  std::unique_ptr<IBoardPage> tactical;
  std::unique_ptr<IBoardPage> blockMonitor;
  std::unique_ptr<IBoardPage> shortTerm;
};

// The pages the program uses (placeholders log into PlaceholderCalls()).
QuotePages MakeQuotePages();
// Placeholder pages logging into log.
QuotePages MakePlaceholderPages(PageCallLog* log);

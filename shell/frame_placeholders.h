// Placeholder windows for the libraries whose windows are not built yet.
//
// Each paints its name on black and records every call the frame makes, as
// "Operation(arguments)" texts in its own log and, when `sharedLog` is set,
// as "Name.Operation(arguments)" in a log shared between placeholders (so a
// test can see the order of calls across windows). The library that builds
// the real window replaces its placeholder in DefaultFrameFactories() and
// deletes it here.
//
// The placeholder quote view owns a real, unconnected market-data engine and
// history client, so the watch list, the code dictionary and the history
// client behave as in the program.
#pragma once

#include <string>
#include <vector>

#include "shell/frame_factories.h"

// The black window with a name, shared by every placeholder.
class PlaceholderWindow : public CWnd {
 public:
  explicit PlaceholderWindow(std::u16string name) : name_(std::move(name)) {}
  ~PlaceholderWindow() override;

  std::vector<std::string> calls;             // this window's calls, in order
  std::vector<std::string>* sharedLog = nullptr;

  // Records one call.
  void Note(const std::string& call);
  // A second line painted under the name.
  void SetDetail(const std::u16string& detail);
  const std::u16string& Detail() const { return detail_; }

 protected:
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }

 private:
  std::u16string name_;
  std::u16string detail_;
  HFONT font_ = nullptr;  // owned, made at the first paint
};

class PlaceholderQuoteView : public PlaceholderWindow, public IQuoteView {
 public:
  PlaceholderQuoteView();
  ~PlaceholderQuoteView() override;
  PlaceholderQuoteView(const PlaceholderQuoteView&) = delete;
  PlaceholderQuoteView& operator=(const PlaceholderQuoteView&) = delete;

  // What the fake answers; tests set them.
  bool stockPageVisible = false;
  bool quoteTableVisible = true;
  StockKey stockPageKey{};
  // Messages that reached the window: (message, wParam, the key's code for
  // WM_SHOW_STOCK), the posted keys freed as their final handler.
  struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::string code;  // WM_SHOW_STOCK and WM_FIND_STOCK_CODE
    int market;
    int kind;
  };
  std::vector<Received> received;

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
  bool IsStockPageVisible() override { return stockPageVisible; }
  bool IsQuoteTableVisible() override { return quoteTableVisible; }
  StockKey GetStockPageKey() override { return stockPageKey; }
  void ClearPendingIndexCode() override;
  QuoteEngine* Engine() override { return engine_; }
  HistoryClient* History() override { return history_; }

  FooStatus* StatusBar() const { return statusBar_; }

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void ShowPage(const char* call, const char16_t* page, int arg);

  QuoteEngine* engine_ = nullptr;     // owned
  HistoryClient* history_ = nullptr;  // owned
  FooStatus* statusBar_ = nullptr;    // the frame's
};

class PlaceholderTradeView : public PlaceholderWindow, public ITradeView {
 public:
  PlaceholderTradeView() : PlaceholderWindow(u"交易") {}

  CWnd* Window() override { return this; }
  int GetPanelHeight() const override { return panelHeight_; }
  void SetPanelHeight(int height) override { panelHeight_ = height; }
  bool IsTradeShown() override { return shown_; }
  void HideTrade() override;
  void ShowTrade(const StockKey& key, int side) override;
  void QuickBuySell(int side, const StockKey& key) override;

 private:
  void SetShown(bool shown);

  int panelHeight_ = 280;
  bool shown_ = false;
};

class PlaceholderFindStockView : public PlaceholderWindow, public IFindStockView {
 public:
  PlaceholderFindStockView() : PlaceholderWindow(u"键盘精灵") {}

  CWnd* Window() override { return this; }
  BOOL CreateWizard(CWnd* parent) override;
  void SetOwnerFrame(CWnd* frame) override;
  void SetEngine(QuoteEngine* engine) override;
  void SetDatabase(sqlite3* db) override;
  void SetSearchText(const WCHAR* text) override;

  CWnd* ownerFrame = nullptr;
  QuoteEngine* engine = nullptr;
  sqlite3* database = nullptr;
  std::u16string searchText;
};

class PlaceholderPopQuote : public PlaceholderWindow, public IPopQuote {
 public:
  PlaceholderPopQuote() : PlaceholderWindow(u"弹出报价") {}

  CWnd* Window() override { return this; }
  BOOL CreatePopQuote(CWnd* parent) override;
  void SetEngine(QuoteEngine* engine) override;
  void ShowStock(const StockKey& key) override;

  QuoteEngine* engine = nullptr;
  StockKey stock{};
};

class PlaceholderPopMsgDialog : public PlaceholderWindow, public IPopMsgDialog {
 public:
  PlaceholderPopMsgDialog() : PlaceholderWindow(u"新消息") {}

  CWnd* Window() override { return this; }
  void SetUserName(const char* userName) override;
  BOOL CreateNotice(CWnd* parent) override;
  void CheckMessages() override;

  std::string userName;
};

// Stands in for the browser program: StartBrowser makes a black view window
// in the host that shows the address it was sent, and reports it ready at
// the next turn of the message loop (as the program's view would); values
// given before then are kept and sent on ready in the helper's order (news
// HTML, rectangle, cookies, address).
class PlaceholderBriselHelper : public PlaceholderWindow, public IBriselHelper {
 public:
  PlaceholderBriselHelper() : PlaceholderWindow(u"浏览器") {}
  ~PlaceholderBriselHelper() override;

  CWnd* Window() override { return this; }
  void SetOwner(HWND owner) override { owner_ = owner; }
  void SetHost(CWnd* host) override { host_ = host; }
  void StartBrowser(const WCHAR* address, CWnd* host, const RECT& rect) override;
  void StartBrowserSized(const WCHAR* address, CWnd* host, int width, int height) override;
  BOOL TerminateBrowser() override;
  void Navigate(const WCHAR* address) override;
  void SetCookies(const WCHAR* cookies) override;
  void SetNewsHtml(const WCHAR* html) override;
  void MoveBrowser(const RECT& rect) override;
  int CallScript(const WCHAR* function) override;
  void BackToFirstPage() override;
  void SetHostFlag(int flag) override;
  void ShowBrowser(int showCommand) override;

  // What the browser's view was sent once ready, in order ("cookies:…",
  // "navigate:…", "move:l,t,r,b", "news:…").
  std::vector<std::string> sent;
  bool IsRunning() const { return running_; }
  bool IsReady() const { return view_.GetSafeHwnd() != nullptr && ready_; }
  HWND ViewWindow() const { return view_.GetSafeHwnd(); }
  std::u16string CurrentAddress() const { return address_; }

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void Send(const std::string& record);
  void OnViewReady();

  HWND owner_ = nullptr;
  CWnd* host_ = nullptr;
  bool running_ = false;
  bool ready_ = false;
  std::u16string address_;  // the page shown
  std::u16string keptAddress_, keptNews_, keptCookies_;
  RECT keptRect_{};
  bool rectKept_ = false;
  PlaceholderWindow view_{u"网页"};
};

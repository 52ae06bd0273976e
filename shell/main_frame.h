// CMainFrame: the program's only top-level window, a maximised frame without
// caption whose client area holds, from the top: the navigation bar (40 px),
// the tab bar (32 px), the page area from y 71 and the status bar (20 px).
// The page area shows the quote view, the home page or a web tab (each a
// browser view driven by a browser helper); the trade panel can occupy its
// lower part.
//
// Made once by the start-up, which gives it the sign-in results
// (SetCredentials, SetAccount, SetUserName), makes it the application's main
// window and calls CreateFrame; it is never destroyed while the program runs
// (WM_CLOSE only ends the message loop).
//
// Files: res\pellune.db (the code dictionary, in the data root, seeded from
// the program folder's res\), res\menu.json (read at every menu command),
// res\rolling.json (the last accepted rolling-text reply, rewritten by the
// marquee reply on its worker thread through a temporary file).
//
// Threads: everything runs on the UI thread except the HTTP reply callbacks:
// the marquee reply writes res\rolling.json and replaces the status bar's
// rolling texts (which the bar guards with its own lock); the watch-list
// download rebuilds res\own.data through the engine's watch-list functions.
// Requests still running when the frame is destroyed are abandoned first.
//
// The frame's messages answer 1, its tab, key, stock and relayout messages 0
// (frame_messages.h lists them).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "controls/status_bar.h"
#include "controls/tab_bar.h"
#include "shell/frame_factories.h"
#include "shell/main_view.h"
#include "shell/navigater.h"

struct sqlite3;
struct MarqueeItem;

class CMainFrame : public CWnd {
 public:
  // Opens the database and makes the trade view, the quote view and the
  // notice through the factories (nothing of that when the database cannot
  // be opened; CreateFrame then reports it).
  explicit CMainFrame(FrameFactories factories = DefaultFrameFactories());
  ~CMainFrame() override;
  CMainFrame(const CMainFrame&) = delete;
  CMainFrame& operator=(const CMainFrame&) = delete;

  // Sign-in results, before CreateFrame: user id and session id (to the quote
  // view), account and password (UTF-8, kept for the site selection), the
  // user name (to the quote view and the notice).
  void SetCredentials(const char* userId, const char* sessionId);
  void SetAccount(const char* account, const char* password);
  void SetUserName(const WCHAR* userName);

  // Connects the quote engine and creates the window. FALSE when the
  // database could not be opened (after the box "数据库打开失败：<reason>"
  // titled with the program title) or the window could not be made.
  BOOL CreateFrame();

  // Pages (tabs and pages).
  void ShowQuoteMain(int reload);
  void ShowHomePage();
  // Commands, keys and stocks.
  void OnMenuCommand(UINT id);
  void OnWebCommand(const char* text, HWND window);
  void OnKeyCommand(int key);
  void RunCodeCommand(const char* text);
  void OnShowStock(WPARAM origin, const StockKey& key);
  void OnQuickTrade(WPARAM request);
  void OnFindStockCode(StockKey& key);
  void StartTradeProgram();
  void ShowPopQuote(const StockKey& key, const RECT& rect, CWnd* window);
  // Watch-list synchronisation.
  void SaveOwnStocks(WPARAM operation, const StockKey* key);
  void GetOwnStocks();
  // The rolling texts.
  void OnStatusDblClk(WPARAM part, LPARAM index);
  void ShowMarqueeItem(const std::string& url, const std::string& title, const std::string& info,
                       const std::string& content);

  // The session dialogs and the pop-up web page. Until their windows are
  // built each records its call in SessionCalls() and answers IDCANCEL.
  virtual INT_PTR RunSelectSiteDialog();
  virtual INT_PTR RunDataRepairDialog();
  virtual INT_PTR RunOwnImportDialog();
  virtual INT_PTR RunDownloadDialog(bool* dayStoreDeleted);
  virtual INT_PTR RunAboutDialog();
  virtual void OnPopHtml(const WCHAR* address, const WCHAR* newsHtml);
  virtual void OpenNamedPopup(const char* name, const char* title, const char* address);
  const std::vector<std::string>& SessionCalls() const { return sessionCalls_; }

  // What the frame holds, for the start-up and tests.
  IQuoteView* QuoteView() const { return quoteView_.get(); }
  ITradeView* TradeView() const { return tradeView_.get(); }
  IBriselHelper* HomeHelper() const { return home_.get(); }
  IFindStockView* Wizard() const { return wizard_.get(); }
  IPopQuote* PopQuote() const { return popQuote_.get(); }
  IPopMsgDialog* Notice() const { return notice_.get(); }
  CMainView& MainView() { return mainView_; }
  CNavigater& Navigater() { return nav_; }
  CTabBar& TabBar() { return tabBar_; }
  FooStatus& StatusBar() { return status_; }
  sqlite3* Database() const { return db_; }
  const std::u16string& PendingHomeAddress() const { return pendingHome_; }
  RECT PopupSize() const { return popupSize_; }

  // One tab: its title (UTF-8, at most 63 bytes), whether it was shown last,
  // and its page (the quote view, the home helper or its own helper).
  enum class PageKind { kMarket, kHome, kWeb };
  struct TabRecord {
    char title[128] = {};
    bool selected = false;
    PageKind kind = PageKind::kWeb;
    std::unique_ptr<IBriselHelper> web;  // web tabs only
  };
  const std::vector<std::unique_ptr<TabRecord>>& Tabs() const { return tabs_; }

 protected:
  BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnTimer(UINT_PTR id) override;
  void OnSetFocus(CWnd* oldWnd) override;
  void OnClose() override;
  void OnGetMinMaxInfo(MINMAXINFO* info) override;
  void OnNcPaint() override;
  BOOL OnCmdMsg(UINT id, int code) override;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void OpenDatabase();
  LRESULT OnOpenTab(const char* address, const char* title);
  LRESULT OnCloseTab(const char* title);
  TabRecord* FindTab(const char* title) const;
  void ShowTabPage(TabRecord& record);
  void HideAllPages();
  void OpenTab(std::uintptr_t page, const char* title);
  void OpenQuoteTab(const char* title = "行情");
  void LayOut();
  void PlaceQuoteView(int width, int height, bool tradeShown, int tradeHeight);
  void OnRelayout();
  LRESULT OnBrowserReady(IBriselHelper* helper);
  LRESULT BuildMenus();
  void RunMenuUrl(const std::string& url, const std::string& name);
  void ShowMainTable(int tableCode, int flag);
  void ShowRankBoard(int board);
  void ShowKLinePeriodCode(int period);
  void FlashTrade(int side);
  std::u16string CookieList() const;
  void StartRequest(const char* service, int level2, const std::string& body,
                    void (*callback)(struct HttpRequest*, void*, const char*, int, int));
  static void OnMarqueeReply(struct HttpRequest* request, void* user, const char* body, int length, int status);
  static void OnSaveOwnStocksReply(struct HttpRequest* request, void* user, const char* body, int length, int status);
  static void OnGetOwnStocksReply(struct HttpRequest* request, void* user, const char* body, int length, int status);
  void ApplyMarqueeReply(const char* body, int length);

  FrameFactories factories_;
  std::unique_ptr<IQuoteView> quoteView_;
  CMainView mainView_;
  std::unique_ptr<ITradeView> tradeView_;
  CNavigater nav_;
  CTabBar tabBar_;
  FooStatus status_;
  std::unique_ptr<IFindStockView> wizard_;
  std::unique_ptr<IPopQuote> popQuote_;
  std::unique_ptr<IBriselHelper> home_;
  std::unique_ptr<IPopMsgDialog> notice_;
  sqlite3* db_ = nullptr;
  std::string dbError_;                  // why the database could not be opened
  UINT_PTR marqueeTimer_ = 0;
  std::u16string userName_;
  char account_[128] = {};
  char password_[128] = {};
  std::vector<std::unique_ptr<TabRecord>> tabs_;             // opening order
  std::vector<std::unique_ptr<IBriselHelper>> closedHelpers_;  // web tabs closed (their windows close themselves)
  bool tabTitlesMade_ = false;
  StockKey webKey_{};
  std::u16string pendingHome_;
  RECT popupSize_{};
  std::vector<std::string> sessionCalls_;
  std::mutex requestLock_;               // guards requests_
  std::vector<int> requests_;            // HTTP requests started, abandoned at destruction
};

// The program title, the frame's window text.
extern const WCHAR* const kMainFrameTitle;

// The built-in tab titles, and whether a title is one of the six market pages.
bool IsMarketTitle(const char* title);
bool IsBuiltInTitle(const char* title);

// title cut to at most 63 bytes on a UTF-8 character boundary.
std::string CutTabTitle(const char* title);

// The code dictionary's kind of a typed code in a market: the code is made
// upper case in place, then the last matching row of qdic whose market equals
// market gives the kind; 0 without a database or a matching row.
int LookupStockKind(sqlite3* db, char* code, int market);

// CQuoteDetailsView: the single-stock page. One child window of the quote
// view that composes the minute and K-line charts, the bid/ask board, the
// quote summary, the tick lists, price statistics, the alert list, the
// cycle view, the F10 views, three browser areas, two news grids and two
// block lists, with four indicator/label bars and three tab bars.
//
// Files by area: quote_details_view.cpp (members, creation, layout, view
// switching, painting), quote_details_requests.cpp (showing a stock, reply
// routing, tick pages, F10 items), quote_details_kline.cpp (K-line data),
// quote_details_commands.cpp (menus, commands, keys, the message map),
// quote_details_info.cpp (F10/F9 pages, browsers, news lists, related
// quotes, information-mine lists).
//
// Threads: replies arrive on the connection thread (OnQuoteReply) and run
// under the page lock; under it nothing waits for the UI thread (no show,
// hide, move or send): what must be done to windows is posted to the page.
// The UI thread takes the page lock only around the page's data. Modal UI
// (menus, dialogs, message boxes) runs with no page lock held.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "charts/index_tools_bar.h"
#include "charts/kline_rel_data.h"
#include "charts/kline_view.h"
#include "charts/min_view.h"
#include "controls/grid_ctrl.h"
#include "controls/menu_ex.h"
#include "controls/pop_list.h"
#include "controls/pop_view.h"
#include "controls/table_bar.h"
#include "marketdata/day_bar.h"
#include "monitor/block_list_view.h"
#include "platform/kernel/kernel_sync.h"
#include "quotes/quote_pages.h"
#include "shell/brisel_helper_interface.h"
#include "stockpage/detail_views.h"
#include "stockpage/handicap_view.h"
#include "stockpage/pie_view.h"
#include "stockpage/price_statis_view.h"
#include "stockpage/price_view.h"
#include "stockpage/stock_page_panels.h"
#include "stockpage/trust_views.h"

struct HttpRequest;
struct PendingRequest;

using BriselHelperFactory = std::function<std::unique_ptr<IBriselHelper>()>;

// The helper factory every new page uses (the main frame's; none: the page
// has no browser areas). UI thread.
void SetStockPageBrowserFactory(BriselHelperFactory factory);

// Child control ids.
enum QuoteDetailsIds : UINT {
  kIdF10View = 830, kIdF10Bar = 831, kIdPriceStat = 832, kIdMinView = 900, kIdKLineView = 901,
  kIdBlockList2 = 902, kIdBlockList1 = 903, kIdPriceView = 930, kIdHandicap = 931, kIdPie = 1013,
  kIdAlerts = 933, kIdDetailSmall = 934, kIdTrustQueue = 935, kIdTrustCancel = 936, kIdMinBar = 940,
  kIdKLineBar = 941, kIdPeriodBar = 942, kIdDetailBar = 943, kIdInfoBar = 944, kIdMainBar = 945,
  kIdDetail = 946, kIdCycle = 947, kIdNewsGrid = 950, kIdResearchGrid = 951, kIdExRightsTip = 952,
  kIdMineList1 = 953, kIdMineList2 = 954,
};

// Menu and command ids.
enum QuoteDetailsCommands : UINT {
  kCmdSeparator = 7000, kCmdShowKLine = 7001, kCmdShowMinute = 7002, kCmdCrossHair = 7003, kCmdF10 = 7004,
  kCmdAddOwn = 7007, kCmdRemoveOwn = 7008, kCmdFlashBuy = 7011, kCmdFlashSell = 7012, kCmdBuy = 7013,
  kCmdSell = 7014, kCmdIndexHelp = 7101, kCmdIndexParams = 7102, kCmdPeriodDay = 7233, kCmdPeriodMonth = 7240,
  kCmdForward = 7301, kCmdNoAdjust = 7302, kCmdBackward = 7303,
};

// The K-line period codes (the area's period byte).
constexpr int kPeriodDay = 33;

// The period label ("日线▼" …) of a code, empty for an unknown one.
const char16_t* PeriodLabel(int period);
// The ex-rights mode label (0 "前复权▼", 1 "不复权▼", 2 "后复权▼").
const char16_t* ExRightsLabel(int mode);

class CQuoteDetailsView : public CWnd, public IStockPage {
 public:
  CQuoteDetailsView();
  explicit CQuoteDetailsView(StockPagePanels panels);
  ~CQuoteDetailsView() override;
  CQuoteDetailsView(const CQuoteDetailsView&) = delete;
  CQuoteDetailsView& operator=(const CQuoteDetailsView&) = delete;

  // IQuotePage / IStockPage.
  CWnd* Window() override { return this; }
  BOOL CreatePage(DWORD style, const RECT& rect, CWnd* parent, UINT id) override;
  void CancelRequests() override { CancelRequests(0); }
  void SetEngine(QuoteEngine* engine, HistoryClient* history) override;
  void SetUserName(const WCHAR* userName) override;
  void ShowStock(const StockKey& key, int keepAlerts) override;
  void SetStockKey(const StockKey& key) override;
  StockKey GetStockKey() override;
  void CancelPageRequests(int keepAlerts) override { CancelRequests(keepAlerts); }
  void ShowKLineChart() override;
  bool IsKLineShown() override;
  void SetKLinePeriod(int period) override;
  int GetKLinePeriod() override;
  int GetCurrentTab() override;
  CWnd* MainTabBar() override { return &mainBar_; }
  CWnd* InfoTabBar() override { return &infoBar_; }
  void SetMainTabItem(int item) override { mainBar_.SetCurSel(item); }
  void SetInfoTabItem(int item) override { infoBar_.SetCurSel(item); }
  void HideCrossHairs() override;

  // The page's own operations.
  void CancelRequests(int keepAlerts);
  void ResetPanels(int keepAlerts);
  void ShowMinuteChart();
  void SelectMainTab(int index);
  void SelectDetailTab(int index);
  void ShowRightPanels(bool show);
  void ShowInfoArea(bool show);
  void SelectInfoTab(int index);
  void SelectF10Tab(int item);
  void RequestKLine(const StockKey& key, int period);
  // -1 not the day period or nothing stored, 2 no older bars, 1 a request
  // waiting, 0 requested.
  int RequestOlderDayBars(int count);
  int GetExRightsMode();
  void SetBrowserFactory(BriselHelperFactory factory) { browserFactory_ = std::move(factory); }

  // The children (tests and the quote view).
  CMinView& MinuteChart() { return minView_; }
  CKLineView& KLineChart() { return klineView_; }
  CDetailView& FullTickList() { return detailView_; }
  CPriceStatisView& PriceStatistics() { return priceStat_; }
  CPriceView& Board() { return priceView_; }
  CHandicapView& Summary() { return handicap_; }
  CPieView& Pie() { return pie_; }
  CTrustQueueView& OrderQueue() { return trustQueue_; }
  CTrustCancelView& Cancellations() { return trustCancel_; }
  CDetailSmallView& SmallTickList() { return detailSmall_; }
  CIndexToolsBar& MinuteBar() { return minBar_; }
  CIndexToolsBar& KLineBar() { return klineBar_; }
  CIndexToolsBar& PeriodBar() { return periodBar_; }
  CIndexToolsBar& DetailBar() { return detailBar_; }
  CTableBar& InfoBar() { return infoBar_; }
  CTableBar& MainBar() { return mainBar_; }
  CTableBar& F10Bar() { return f10Bar_; }
  CBlockListView& BlockList1() { return blockList1_; }
  CBlockListView& BlockList2() { return blockList2_; }
  CVexloPopView& ExRightsTip() { return exRightsTip_; }
  CVexloPopListView& MineList1() { return mineList1_; }
  CVexloPopListView& MineList2() { return mineList2_; }
  CGridCtrl* NewsGrid() { return newsGrid_.get(); }
  CGridCtrl* ResearchGrid() { return researchGrid_.get(); }
  IBriselHelper* F10Browser() { return f10Browser_.get(); }
  IBriselHelper* NewsBrowser() { return newsBrowser_.get(); }
  IBriselHelper* ResearchBrowser() { return researchBrowser_.get(); }
  CWnd* CycleView() { return cycle_ ? cycle_->Window() : nullptr; }
  CWnd* F10View() { return f10_ ? f10_->Window() : nullptr; }
  CWnd* AlertList() { return alerts_ ? alerts_->Window() : nullptr; }
  CriticalSection& PageLock() { return lock_; }
  // The right-hand column's width for the current stock (202 or 270).
  int RightWidth() const;
  int PeriodBarLeft() const { return periodBarLeft_; }
  // The menus while they are tracked (tests).
  CMenuEx* ContextMenu() const { return contextMenu_.get(); }
  HMENU PeriodSubMenuHandle() const { return periodSubMenu_ ? periodSubMenu_->GetSafeHmenu() : nullptr; }
  std::string ExRightsTipText() {
    std::lock_guard<CriticalSection> hold(tipLock_);
    return lastTipText_;
  }

  // The request handles (tests read them under the page lock).
  struct Handles {
    int minute, minuteMines, klineMines, indexListA, indexListB, fields, ticks, futuresTicks, olderTicks;
    int priceStat, fieldTable, alerts, klineBars, olderBars, f10Catalog, f10Item, supplementA, supplementB;
    int exRights, relatedBlocks, relatedMembers;
  };
  Handles GetHandles();
  int GetTickPage();
  int GetAdjustState();
  // The page's K-line copy (read under the page lock).
  const KLineArea* KLineCopy() const { return copy_.get(); }

  // The engine's callback for every request of the page.
  static void QuoteReplyCallback(void* owner, PendingRequest* pending);
  static void NewsListReplyCallback(HttpRequest* request, void* user, const char* body, int length, int status);

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnDestroy() override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL PreTranslateMessage(MSG* msg) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  friend struct QuoteDetailsAccess;

  // Creation and layout.
  bool CreateChildren();
  void Layout();
  void LayoutPeriodBar();
  void PlaceBoardAndSummary(int W, int R);
  bool IsIndex() const { return key_.kind == 1; }
  bool IsFutures() const { return IsFuturesMarket(key_.market); }

  // Requests and replies (quote_details_requests.cpp).
  void OnQuoteReply(PendingRequest* pending);
  void RenewTicks();
  LRESULT OnTickPage(LPARAM older);
  LRESULT OnF10ItemRequest(WPARAM item);
  int CurrentTickType() const;

  // K-line (quote_details_kline.cpp).
  void RequestKLineLocked(const StockKey& key, int period);
  void OnKLineBars(PendingRequest* pending);
  void OnSupplement(PendingRequest* pending, bool a);
  void OnOlderBars(PendingRequest* pending);
  void OnExRights(PendingRequest* pending);
  void PublishCopy(IndicatorWorkspace* workspace, bool apply);
  void ApplyMode(bool firstReply);
  void ApplyForwardExRights(KLineArea* series);
  void ApplyBackwardExRights(KLineArea* series, int fromBar);
  void RemoveExRights(KLineArea* series);
  void SetExRightsMode(int mode);
  void RequestKLineMines();
  void RequestRelatedData(int datatype);
  bool CopyHoldsStock() const;

  // Commands, menus, keys (quote_details_commands.cpp).
  LRESULT OnChartMenu(bool kline, WPARAM point);
  LRESULT OnBarMenu(UINT message, WPARAM point, LPARAM which);
  LRESULT OnIndexBarSelect(WPARAM bar, LPARAM tab);
  LRESULT OnTableBarSelect(WPARAM bar, LPARAM item);
  LRESULT OnToggleChart();
  LRESULT OnExRightsMark(WPARAM point, LPARAM date);
  void OwnStockCommand(bool add);
  void PeriodCommand(UINT id, LPARAM lParam);
  void ExRightsCommand(UINT id);
  void AppendPeriodItems(CMenuEx* menu);
  void AppendExRightsItems(CMenuEx* menu);
  CWnd* ThirdParent();

  // Information (quote_details_info.cpp).
  void StartNewsLists();
  void AbandonNewsLists();
  void EmptyGrid(CGridCtrl* grid);
  void FillNewsGrid(const char* body, int requestId);
  void ShowF9Page();
  void NavigateAdviserPages();
  void RequestRelatedMembers(int sortField, int order);
  void OnRelatedReply(PendingRequest* pending, bool blocks);
  LRESULT OnBrowserReady(WPARAM helper);
  LRESULT OnBrowserDefaultPage(WPARAM helper);
  LRESULT OnGridActivate(WPARAM grid, LPARAM row);
  LRESULT OnBlockListPick(LPARAM row);
  LRESULT OnGridSort(LPARAM lParam);
  LRESULT OnMinuteMinePick(WPARAM point, LPARAM index);
  LRESULT OnNewsMarkPick(WPARAM point, LPARAM date);
  LRESULT OnRatingMarkPick(WPARAM point, LPARAM date);
  LRESULT OnPopListDblClk(WPARAM list, LPARAM row);
  LRESULT OpenOrderPage();
  void PlaceMineList(CVexloPopListView& list, CWnd& chart, int x, int y, int width, int rows, int maxHeight,
                     bool minute);
  void PostPopHtml(const std::u16string& address);
  IBriselHelper* HelperOf(WPARAM w);
  std::u16string ServiceAddress(const char* service);

  // Members, in construction order.
  CMinView minView_;
  CKLineView klineView_;
  CDetailView detailView_;
  std::unique_ptr<ICycleResPanel> cycle_;
  CPriceStatisView priceStat_;
  CPriceView priceView_;
  CHandicapView handicap_;
  std::unique_ptr<IAlertListPanel> alerts_;
  CPieView pie_;
  CTrustQueueView trustQueue_;
  CTrustCancelView trustCancel_;
  CDetailSmallView detailSmall_;
  std::unique_ptr<IF10Panel> f10_;
  CIndexToolsBar minBar_;
  CIndexToolsBar klineBar_;
  CIndexToolsBar periodBar_;
  CIndexToolsBar detailBar_;
  CTableBar infoBar_;
  CTableBar mainBar_;
  CTableBar f10Bar_;
  std::u16string userName_;
  QuoteEngine* engine_ = nullptr;
  HistoryClient* history_ = nullptr;
  CBlockListView blockList1_;
  CBlockListView blockList2_;
  KLineRelData relData_{};
  CVexloPopView exRightsTip_;
  CVexloPopListView mineList1_;
  CVexloPopListView mineList2_;
  std::unique_ptr<CGridCtrl> newsGrid_;
  std::unique_ptr<CGridCtrl> researchGrid_;
  std::unique_ptr<IBriselHelper> f10Browser_;
  std::unique_ptr<IBriselHelper> newsBrowser_;
  std::unique_ptr<IBriselHelper> researchBrowser_;
  std::unique_ptr<CMenuEx> contextMenu_, indicatorMenu_, periodSubMenu_, exRightsSubMenu_, periodMenu_,
      exRightsMenu_;
  BriselHelperFactory browserFactory_;

  // Request state (under lock_).
  StockKey key_{};
  int tickPage_ = 1;
  int32_t liveTickTotal_ = 0;  // the tick total of the latest live tick reply
  int f10Item_ = 0;
  int64_t boardId_ = 0;
  Handles h_{};
  uint8_t noOlderBars_ = 0;
  int newsRequest_ = 0, researchRequest_ = 0;  // UI thread; read by the HTTP callback under gridLock_
  CriticalSection gridLock_;                    // the two request ids

  // K-line state (under lock_).
  int period_ = kPeriodDay;
  int exMode_ = 1;
  int adjustState_ = 0;
  bool firstKLine_ = false;
  std::unique_ptr<KLineArea> copy_;     // what the K-line view draws
  std::unique_ptr<KLineArea> scratch_;  // the next series, built outside the view's lock
  std::unique_ptr<ExRightsArea> exList_;  // the page's copy of the ex-rights list

  int periodBarLeft_ = 0;
  std::string lastTipText_;  // the tip's second line (tests)
  std::vector<std::string> mineUrls1_, mineUrls2_;  // the mine lists' row addresses (UI thread)
  int periodItemWidth_ = 60;
  CriticalSection lock_;     // the page lock
  CriticalSection tipLock_;  // the ex-rights tip's picture
};

// The stock page: members, creation, layout, view switching and painting.
#include "stockpage/quote_details_view.h"

#include <cstring>

#include "controls/control_messages.h"
#include "foundation/debug_trace.h"
#include "marketdata/ex_rights.h"
#include "marketdata/history_client.h"

namespace {

BriselHelperFactory& PageBrowserFactory() {
  static BriselHelperFactory factory;
  return factory;
}

const WCHAR kMinuteBarItems[] = u"买卖力道,MACD,KDJ,RSI,WR,BIAS,PSY";
const WCHAR kKLineBarItems[] = u"MACD,BOLL,KDJ,RSI,WR,BIAS,CCI,DMA,BRAR,PSY";
const WCHAR kStockMainItems[] = u"K\n线图,分时图,基础资料,深度F9,分时成交,周期共振";

void Show(CWnd* wnd, bool show) {
  if (wnd && wnd->m_hWnd) wnd->ShowWindow(show ? SW_SHOW : SW_HIDE);
}
void Show(CWnd& wnd, bool show) { Show(&wnd, show); }

void Place(CWnd* wnd, int l, int t, int r, int b) {
  if (wnd && wnd->m_hWnd) wnd->MoveWindow(l, t, r - l, b - t, TRUE);
}
void Place(CWnd& wnd, int l, int t, int r, int b) { Place(&wnd, l, t, r, b); }

bool Visible(CWnd* wnd) { return wnd && wnd->m_hWnd && wnd->IsWindowVisible(); }

// The news grids' three columns: 2c, c and 0 with c = (width - 3) / 3.
void SizeNewsColumns(CGridCtrl* grid, int width) {
  const int c = (width - 3) / 3;
  grid->SetColumnWidth(0, 2 * c);
  grid->SetColumnWidth(1, c);
  grid->SetColumnWidth(2, 0);
}

}  // namespace

void SetStockPageBrowserFactory(BriselHelperFactory factory) { PageBrowserFactory() = std::move(factory); }

const char16_t* PeriodLabel(int period) {
  switch (period) {
    case 33: return u"日线▼";
    case 34: return u"1分钟▼";
    case 35: return u"5分钟▼";
    case 36: return u"15分钟▼";
    case 37: return u"30分钟▼";
    case 38: return u"60分钟▼";
    case 39: return u"周线▼";
    case 40: return u"月线▼";
    default: return u"";
  }
}

const char16_t* ExRightsLabel(int mode) {
  switch (mode) {
    case 0: return u"前复权▼";
    case 2: return u"后复权▼";
    default: return u"不复权▼";
  }
}

CQuoteDetailsView::CQuoteDetailsView() : CQuoteDetailsView(DefaultStockPagePanels()) {}

CQuoteDetailsView::CQuoteDetailsView(StockPagePanels panels)
    : cycle_(panels.cycle ? panels.cycle() : nullptr),
      alerts_(panels.alerts ? panels.alerts() : nullptr),
      f10_(panels.f10 ? panels.f10() : nullptr),
      browserFactory_(PageBrowserFactory()),
      copy_(std::make_unique<KLineArea>()),
      scratch_(std::make_unique<KLineArea>()),
      exList_(std::make_unique<ExRightsArea>()) {
  std::memset(copy_.get(), 0, sizeof(KLineArea));
  std::memset(scratch_.get(), 0, sizeof(KLineArea));
  relData_.Init();
}

CQuoteDetailsView::~CQuoteDetailsView() {
  if (m_hWnd) DestroyWindow();
  relData_.Release();
}

BOOL CQuoteDetailsView::CreatePage(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return Create(nullptr, u"", style | WS_CLIPCHILDREN, rect, parent, id);
}

void CQuoteDetailsView::SetEngine(QuoteEngine* engine, HistoryClient* history) {
  engine_ = engine;
  history_ = history;
  if (cycle_) cycle_->SetEngine(engine);
}

void CQuoteDetailsView::SetUserName(const WCHAR* userName) { userName_ = userName ? userName : u""; }

void CQuoteDetailsView::SetStockKey(const StockKey& key) {
  std::lock_guard<CriticalSection> hold(lock_);
  key_ = key;
}

StockKey CQuoteDetailsView::GetStockKey() {
  std::lock_guard<CriticalSection> hold(lock_);
  return key_;
}

CQuoteDetailsView::Handles CQuoteDetailsView::GetHandles() {
  std::lock_guard<CriticalSection> hold(lock_);
  return h_;
}

int CQuoteDetailsView::GetTickPage() {
  std::lock_guard<CriticalSection> hold(lock_);
  return tickPage_;
}

int CQuoteDetailsView::GetAdjustState() {
  std::lock_guard<CriticalSection> hold(lock_);
  return adjustState_;
}

int CQuoteDetailsView::GetExRightsMode() {
  std::lock_guard<CriticalSection> hold(lock_);
  return exMode_;
}

int CQuoteDetailsView::GetKLinePeriod() {
  std::lock_guard<CriticalSection> hold(lock_);
  return period_;
}

int CQuoteDetailsView::GetCurrentTab() { return mainBar_.GetCurSel(); }

bool CQuoteDetailsView::IsKLineShown() { return Visible(&klineView_); }

void CQuoteDetailsView::HideCrossHairs() {
  minView_.ShowCrossHair(false);
  klineView_.ShowCrossHair(false);
}

int CQuoteDetailsView::RightWidth() const { return IsFuturesMarket(key_.market) ? 270 : 202; }

// ---------------------------------------------------------------------------
// Creation.

int CQuoteDetailsView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  if (!CreateChildren()) return -1;
  return 0;
}

bool CQuoteDetailsView::CreateChildren() {
  const CRect r(0, 0, 10, 10);
  const DWORD child = WS_CHILD;
  const DWORD shown = WS_CHILD | WS_VISIBLE;
  auto fail = [](const char* what) {
    DebugPrintf("\nCQuoteDetailsView::OnCreate: the %s could not be created", what);
    return false;
  };
  // 1. The F10 text view and its tab bar.
  if (f10_ && !f10_->Window()->Create(nullptr, u"", shown | WS_CLIPCHILDREN, r, this, kIdF10View))
    return fail("F10 text view");
  f10Bar_.SetItemImages(u"res\\F10_table_item_bg.png", u"res\\F10_table_item_sel_bg.png");
  f10Bar_.SetOrientation(0);
  if (!f10Bar_.Create(nullptr, u"", child, r, this, kIdF10Bar)) return fail("F10 tab bar");
  f10Bar_.SetItems(u"图形F10");
  f10Bar_.SetTextColor(0);
  f10Bar_.SetCurSel(0);
  // 2. The charts and the block lists.
  if (!minView_.Create(nullptr, u"", shown | WS_CLIPCHILDREN, r, this, kIdMinView)) return fail("minute chart");
  if (!klineView_.Create(nullptr, u"", child | WS_CLIPCHILDREN, r, this, kIdKLineView)) return fail("K-line chart");
  if (!blockList2_.Create(nullptr, u"", child, r, this, kIdBlockList2)) return fail("second block list");
  if (!blockList1_.Create(nullptr, u"", child, r, this, kIdBlockList1)) return fail("first block list");
  // 3. The right-hand panels and the level-2 views.
  if (!priceView_.Create(nullptr, u"", shown, r, this, kIdPriceView)) return fail("bid/ask board");
  if (!handicap_.Create(nullptr, u"", shown, r, this, kIdHandicap)) return fail("quote summary");
  if (!pie_.Create(nullptr, u"", child, r, this, kIdPie)) return fail("fund-flow pie");
  if (alerts_ && !alerts_->Window()->Create(nullptr, u"", child, r, this, kIdAlerts)) return fail("alert list");
  if (!detailSmall_.Create(nullptr, u"", child, r, this, kIdDetailSmall)) return fail("small tick list");
  if (!priceStat_.Create(nullptr, u"", child, r, this, kIdPriceStat)) return fail("price statistics");
  if (!trustQueue_.Create(nullptr, u"", shown, r, this, kIdTrustQueue)) return fail("order queue");
  if (!trustCancel_.Create(nullptr, u"", shown, r, this, kIdTrustCancel)) return fail("cancellation ranking");
  // 4. The indicator bars, the period label bar and the detail bar.
  if (!minBar_.Create(nullptr, u"", shown, r, this, kIdMinBar)) return fail("minute indicator bar");
  minBar_.SetItems(kMinuteBarItems);
  minBar_.SetDrawFrame(1);
  if (!klineBar_.Create(nullptr, u"", shown, r, this, kIdKLineBar)) return fail("K-line indicator bar");
  klineBar_.SetItems(kKLineBarItems);
  if (!periodBar_.Create(nullptr, u"", shown, r, &klineView_, kIdPeriodBar)) return fail("period label bar");
  periodBar_.SetItems(u"除权");
  periodBar_.SetItemWidth(60);
  periodBar_.SetCurSel(-1);
  if (!detailBar_.Create(nullptr, u"", shown, r, this, kIdDetailBar)) return fail("detail bar");
  detailBar_.SetItems(u"细,价,短");
  // 5. The information and main tab bars.
  infoBar_.SetItemImages(u"res\\quote_table_item_bg.png", u"res\\quote_table_item_sel_bg.png");
  infoBar_.SetBackgroundImage(u"res\\quote_table_bg.png");
  if (!infoBar_.Create(nullptr, u"", shown, r, this, kIdInfoBar)) return fail("information tab bar");
  infoBar_.SetItems(u"资讯");
  mainBar_.SetOrientation(1);
  mainBar_.SetItemImages(u"res\\quote_table_item_v_bg.png", u"res\\quote_table_item_sel_v_bg.png");
  if (!mainBar_.Create(nullptr, u"", shown, r, this, kIdMainBar)) return fail("main tab bar");
  mainBar_.SetItems(kStockMainItems);
  mainBar_.SetCurSel(1);
  // 6. The full tick list and the cycle view; then the hidden ones.
  if (!detailView_.Create(nullptr, u"", child, r, this, kIdDetail)) return fail("full tick list");
  if (cycle_) {
    if (!cycle_->Window()->Create(nullptr, u"", child | WS_CLIPCHILDREN, r, this, kIdCycle))
      return fail("cycle-resonance view");
    cycle_->SetEngine(engine_);
  }
  Show(trustQueue_, false);
  Show(trustCancel_, false);
  Show(klineBar_, false);
  Show(periodBar_, false);
  // 7. The three browser helpers.
  CRect client;
  GetClientRect(&client);
  if (browserFactory_) {
    auto make = [&](std::unique_ptr<IBriselHelper>* slot) {
      *slot = browserFactory_();
      if (!*slot) return false;
      if (!(*slot)->Window()->Create(nullptr, u"", WS_CHILD, r, this, 0)) return false;
      (*slot)->SetOwner(m_hWnd);
      (*slot)->SetHost(this);
      return true;
    };
    if (!make(&f10Browser_)) return fail("F10 browser");
    f10Browser_->StartBrowserSized(u"about:blankF10", this, client.Width(), client.Height());
    if (!make(&newsBrowser_)) return fail("news browser");
    newsBrowser_->StartBrowser(u"about:blankL", this, r);
    if (!make(&researchBrowser_)) return fail("research browser");
    researchBrowser_->StartBrowser(u"about:blankR", this, r);
  }
  // 8. The grids, the ex-rights tip and the mine lists.
  newsGrid_ = std::make_unique<CGridCtrl>();
  if (!newsGrid_->Create(nullptr, u"", shown, r, this, kIdNewsGrid)) return fail("news grid");
  Show(newsGrid_.get(), false);
  researchGrid_ = std::make_unique<CGridCtrl>();
  if (!researchGrid_->Create(nullptr, u"", shown, r, this, kIdResearchGrid)) return fail("research grid");
  Show(researchGrid_.get(), false);
  exRightsTip_.SetLock(&tipLock_);
  if (!exRightsTip_.Create(nullptr, u"", child, CRect(0, 0, 300, 40), &klineView_, kIdExRightsTip))
    return fail("ex-rights tip");
  if (!mineList1_.Create(nullptr, u"", child, r, &klineView_, kIdMineList1)) return fail("first mine list");
  mineList1_.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  Show(mineList1_, false);
  if (!mineList2_.Create(nullptr, u"", child, r, &minView_, kIdMineList2)) return fail("second mine list");
  mineList2_.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  Show(mineList2_, false);
  // 9. The grids' colours and heights.
  for (CGridCtrl* grid : {newsGrid_.get(), researchGrid_.get()}) {
    grid->SetSelectedRowColor(0x743A05);
    grid->SetGridLineColor(0x303030);
    grid->SetRowColors(0, 0);
    grid->SetHeaderHeight(20);
    grid->SetRowHeight(20);
    EmptyGrid(grid);
  }
  // 10. The related-data fetcher reports to the page.
  relData_.notifyWindow = m_hWnd;
  // 11. The data right of the charts and panels.
  minView_.SetDataRight(1);
  klineView_.SetDataRight(1);
  priceView_.SetDataRight(1);
  pie_.SetDataRight(1);
  trustQueue_.SetDataRight(1);
  trustCancel_.SetDataRight(1);
  return true;
}

void CQuoteDetailsView::OnDestroy() {
  CancelRequests(0);
  for (auto* helper : {&f10Browser_, &newsBrowser_, &researchBrowser_})
    if (*helper) (*helper)->TerminateBrowser();
  CWnd::OnDestroy();
}

// ---------------------------------------------------------------------------
// Layout.

void CQuoteDetailsView::PlaceBoardAndSummary(int W, int R) {
  if (IsIndex()) {
    handicap_.SetIndexMode(1);
    Place(handicap_, W - R, 0, W, 184);
    priceView_.SetLayoutMode(0);
    Place(priceView_, W - R, 184, W, 384);
  } else {
    priceView_.SetLayoutMode(1);
    Place(priceView_, W - R, 0, W, 226);
    handicap_.SetIndexMode(0);
    Place(handicap_, W - R, 226, W, 384);
  }
}

void CQuoteDetailsView::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  Layout();
}

void CQuoteDetailsView::Layout() {
  if (!m_hWnd) return;
  CRect client;
  GetClientRect(&client);
  const int W = client.Width(), H = client.Height();
  const int R = RightWidth();
  const int M = (W - R - 22) / 2 + 22;
  Place(F10View(), 22, 0, W, H - 24);
  Place(f10Bar_, 22, H - 24, W, H - 4);
  Place(minView_, 22, 0, W - R, H - 202);
  Place(klineView_, 22, 0, W - R, H - 202);
  Place(minBar_, 22, H - 195, W - R, H - 180);
  Place(klineBar_, 22, H - 195, W - R, H - 180);
  LayoutPeriodBar();
  Place(detailBar_, W - R, H - 20, W + 1, H);
  PlaceBoardAndSummary(W, R);
  for (CWnd* panel : {static_cast<CWnd*>(&pie_), static_cast<CWnd*>(&detailSmall_), AlertList(),
                      static_cast<CWnd*>(&priceStat_)})
    Place(panel, W - R, 384, W, H - 20);
  Place(trustQueue_, 22, H - 160, W - R, H);
  Place(trustCancel_, 22, H - 160, W - R, H);
  Place(infoBar_, 22, H - 180, W - R, H - 160);
  Place(mainBar_, 0, 0, 22, H);
  Place(detailView_, 22, 0, W - R, H);
  Place(CycleView(), 22, 0, W, H);
  if (f10Browser_) {
    const RECT rc{22, 0, W, mainBar_.GetCurSel() == 1 ? H - 20 : H};
    f10Browser_->MoveBrowser(rc);
  }
  if (newsGrid_) {
    Place(newsGrid_.get(), 22, H - 160, M, H);
    SizeNewsColumns(newsGrid_.get(), M - 22);
  }
  if (newsBrowser_) newsBrowser_->MoveBrowser(RECT{22, H - 160, M, H});
  if (researchGrid_) {
    Place(researchGrid_.get(), M, H - 160, W - R, H);
    SizeNewsColumns(researchGrid_.get(), W - R - M);
  }
  if (researchBrowser_) researchBrowser_->MoveBrowser(RECT{M, H - 160, W - R, H});
  Place(blockList2_, 22, H - 160, M, H);
  Place(blockList1_, M, H - 160, W - R, H);
  if (IsWindowVisible() && engine_) RenewTicks();
}

// ---------------------------------------------------------------------------
// View switching.

void CQuoteDetailsView::ShowKLineChart() {
  Show(minView_, false);
  Show(minBar_, false);
  Show(klineView_, true);
  Show(klineBar_, true);
  Show(periodBar_, true);
}

void CQuoteDetailsView::ShowMinuteChart() {
  Show(klineView_, false);
  Show(klineBar_, false);
  Show(periodBar_, false);
  Show(minView_, true);
  if (IsFutures()) {
    Show(minBar_, false);
    minView_.SetSubChart(5);
  } else {
    Show(minBar_, true);
    if (minView_.GetSubChart() == 5) {
      minBar_.SetCurSel(0);
      minView_.SetSubChart(1);
    }
  }
}

void CQuoteDetailsView::SelectDetailTab(int index) {
  Show(detailSmall_, false);
  Show(pie_, false);
  Show(priceStat_, false);
  Show(AlertList(), false);
  if (IsIndex() && index == 1) index = 2;
  if (index == 0) Show(detailSmall_, true);
  if (index == 1) Show(priceStat_, true);
  if (index == 2) Show(AlertList(), true);
}

void CQuoteDetailsView::ShowRightPanels(bool show) {
  Show(priceView_, show);
  Show(handicap_, show);
  if (show) {
    SelectDetailTab(detailBar_.GetCurSel());
  } else {
    Show(detailSmall_, false);
    Show(pie_, false);
    Show(priceStat_, false);
    Show(AlertList(), false);
  }
  Show(detailBar_, show);
}

void CQuoteDetailsView::ShowInfoArea(bool show) {
  Show(minBar_, show && !IsFutures());
  Show(klineBar_, show);
  Show(periodBar_, show);
  Show(infoBar_, show);
  const int tab = infoBar_.GetCurSel();
  const bool grids = tab == 0;
  const bool blocks = !IsIndex() && tab == 1;
  const bool browsers = IsIndex() ? tab == 1 : tab == 2;
  Show(newsGrid_.get(), show && grids);
  Show(researchGrid_.get(), show && grids);
  Show(blockList1_, show && blocks);
  Show(blockList2_, show && blocks);
  for (IBriselHelper* b : {newsBrowser_.get(), researchBrowser_.get()})
    if (b) b->ShowBrowser(show && browsers ? SW_SHOW : SW_HIDE);
  PostMessage(WM_STOCKPAGE_NOTE, 0, 0);
}

void CQuoteDetailsView::SelectMainTab(int index) {
  mainBar_.SetCurSel(index);
  const int c = IsIndex() && index > 1 ? index + 2 : index;
  auto hideF10 = [&] {
    if (f10Browser_) f10Browser_->ShowBrowser(SW_HIDE);
    Show(F10View(), false);
    Show(f10Bar_, false);
  };
  switch (c) {
    case 0:
    case 1:
      hideF10();
      Show(detailView_, false);
      Show(CycleView(), false);
      ShowInfoArea(true);
      ShowRightPanels(true);
      if (c == 0)
        ShowKLineChart();
      else
        ShowMinuteChart();
      break;
    case 2: SelectF10Tab(0); break;
    case 3: ShowF9Page(); break;
    case 4:
      {
        std::lock_guard<CriticalSection> hold(lock_);
        tickPage_ = 1;
      }
      hideF10();
      Show(minView_, false);
      Show(klineView_, false);
      ShowInfoArea(false);
      Show(CycleView(), false);
      Show(detailView_, true);
      ShowRightPanels(true);
      break;
    case 5:
      hideF10();
      Show(minView_, false);
      Show(klineView_, false);
      Show(detailView_, false);
      ShowInfoArea(false);
      ShowRightPanels(false);
      Show(CycleView(), true);
      if (cycle_) cycle_->ShowStock(GetStockKey());
      break;
    default: break;
  }
}

// ---------------------------------------------------------------------------
// Painting.

BOOL CQuoteDetailsView::OnEraseBkgnd(CDC*) { return TRUE; }

void CQuoteDetailsView::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  const int W = client.Width(), H = client.Height();
  dc.FillSolidRect(0, 0, W, H - 160, RGB(0, 0, 0));
  CPen red(PS_SOLID, 1, 0xFF0000);
  CPen* old = dc.SelectObject(&red);
  dc.MoveTo(0, 19);
  dc.LineTo(W, 19);
  dc.SelectObject(old);
  if (mainBar_.GetCurSel() == 2) {
    CPen dark(PS_SOLID, 2, 0x700800);
    old = dc.SelectObject(&dark);
    dc.MoveTo(0, H - 3);
    dc.LineTo(W, H - 3);
    dc.SelectObject(old);
  }
}

void CQuoteDetailsView::OnLButtonDown(UINT, CPoint) {}

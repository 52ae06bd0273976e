// The stock page: the message map, context and bar menus, commands, keys,
// the ex-rights tip and the mouse pre-filter. Menus, dialogs and message
// boxes run with no page lock held; the lock is taken only around the data
// a command reads or changes.
#include <cstdio>
#include <cstring>

#include "charts/index_dialogs.h"
#include "controls/control_messages.h"
#include "controls/grid_messages.h"
#include "marketdata/ex_rights.h"
#include "marketdata/own_stocks.h"
#include "platform/kernel/kernel_utf.h"
#include "stockpage/exdivi_dialog.h"
#include "stockpage/quote_details_private.h"
#include "stockpage/quote_details_view.h"

namespace {

bool Visible(CWnd* wnd) { return wnd && wnd->m_hWnd && wnd->IsWindowVisible(); }

const UINT kPeriodOrder[] = {7234, 7235, 7236, 7237, 7238, 7233, 7239, 7240};
const char16_t* const kPeriodTexts[] = {u"1分钟", u"5分钟", u"15分钟", u"30分钟", u"60分钟", u"日线", u"周线", u"月线"};

std::unique_ptr<CMenuEx> NewMenu() {
  auto menu = std::make_unique<CMenuEx>();
  menu->CreatePopupMenu();
  return menu;
}

}  // namespace

CWnd* CQuoteDetailsView::ThirdParent() {
  CWnd* w = this;
  for (int i = 0; i < 3 && w; ++i) w = w->GetParent();
  return w;
}

// ---------------------------------------------------------------------------
// The message map.

LRESULT CQuoteDetailsView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GRID_ACTIVATE: return OnGridActivate(wParam, lParam);
    case WM_INDEXBAR_SELECT: return OnIndexBarSelect(wParam, lParam);
    case WM_TABLEBAR_SELECT: return OnTableBarSelect(wParam, lParam);
    case WM_CHART_MENU_MIN: return OnChartMenu(false, wParam);
    case WM_CHART_MENU_KLINE: return OnChartMenu(true, wParam);
    case WM_PERIOD_MENU:
    case WM_EXRIGHTS_MENU: return OnBarMenu(message, wParam, lParam);
    case WM_TOGGLE_CHART: return OnToggleChart();
    case WM_TICK_ROW_DBLCLK: return 0;
    case WM_SHOW_TICK_LIST: SelectMainTab(IsIndex() ? 2 : 4); return 0;
    case WM_BROWSER_DEFAULT_PAGE: return OnBrowserDefaultPage(wParam);
    case WM_BROWSER_READY: return OnBrowserReady(wParam);
    case WM_TICK_PAGE: return OnTickPage(lParam);
    case WM_ALERT_ROW_PICK: {
      std::unique_ptr<StockKey> key(reinterpret_cast<StockKey*>(lParam));
      if (key) ShowStock(*key, 1);
      return 0;
    }
    case WM_OPEN_ORDER_PAGE: return OpenOrderPage();
    case WM_KLINE_EXRIGHTS: return OnExRightsMark(wParam, lParam);
    case WM_RATING_MARK_PICK: return OnRatingMarkPick(wParam, lParam);
    case WM_NEWS_MARK_PICK: return OnNewsMarkPick(wParam, lParam);
    case WM_MINUTE_MINE_PICK: return OnMinuteMinePick(wParam, lParam);
    case WM_KLINE_RELDATA_READY: klineView_.SetRelatedData(&relData_, static_cast<int>(wParam)); return 0;
    case WM_KLINE_PANE_LAYOUT:
      klineView_.ChangePaneCount(2);
      periodBar_.SetCurSel(-1);
      klineView_.LayoutPopups();
      return 0;
    case WM_GRID_SORT: return OnGridSort(lParam);
    case WM_BLOCK_LIST_PICK: return OnBlockListPick(lParam);
    case WM_POPLIST_DBLCLK: return OnPopListDblClk(wParam, lParam);
    case WM_STOCKPAGE_NOTE: return 0;
    case WM_F10_ITEM_REQUEST: return OnF10ItemRequest(wParam);
    case WM_KEY_COMMAND:
      if (CWnd* parent = GetParent()) parent->PostMessage(WM_KEY_COMMAND, 0, lParam);
      return 0;
    case WM_POP_HTML:
      if (CWnd* main = AfxGetMainWnd()) {
        main->PostMessage(WM_POP_HTML, wParam, lParam);
      } else {
        delete[] reinterpret_cast<WCHAR*>(wParam);
      }
      return 1;
    case WM_REQUEST_RELATED_DATA:
      for (int kind = 1; kind <= 3; ++kind)
        if (wParam & (1u << kind)) RequestRelatedData(kind);
      return 0;
    default: break;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Menus.

void CQuoteDetailsView::AppendPeriodItems(CMenuEx* menu) {
  const int period = GetKLinePeriod();
  for (int i = 0; i < 8; ++i) {
    menu->AppendItem(MF_OWNERDRAW, kPeriodOrder[i], kPeriodTexts[i]);
    if (static_cast<int>(kPeriodOrder[i]) - 7200 == period) menu->CheckMenuItem(kPeriodOrder[i], MF_CHECKED);
  }
}

void CQuoteDetailsView::AppendExRightsItems(CMenuEx* menu) {
  const int mode = GetExRightsMode();
  const char16_t* texts[] = {u"前复权", u"不复权", u"后复权"};
  for (int i = 0; i < 3; ++i) {
    menu->AppendItem(MF_OWNERDRAW, kCmdForward + i, texts[i]);
    if (i == mode) menu->CheckMenuItem(kCmdForward + i, MF_CHECKED);
  }
}

LRESULT CQuoteDetailsView::OnChartMenu(bool kline, WPARAM point) {
  const int x = static_cast<int16_t>(LOWORD(point));
  const int y = static_cast<int16_t>(HIWORD(point));
  const StockKey key = GetStockKey();
  const bool own = engine_ && IsOwnStock(engine_, key.code, key.market);
  const bool index = key.kind == 1;
  indicatorMenu_.reset();
  periodSubMenu_.reset();
  exRightsSubMenu_.reset();
  contextMenu_ = NewMenu();
  CMenuEx* m = contextMenu_.get();
  const bool crossHair = kline ? klineView_.IsCrossHairShown() : minView_.IsCrossHairShown();
  if (kline)
    m->AppendItem(MF_OWNERDRAW, kCmdShowMinute, u"查看分时");
  else
    m->AppendItem(MF_OWNERDRAW, kCmdShowKLine, u"查看K线");
  m->AppendItem(MF_OWNERDRAW, kCmdCrossHair, crossHair ? u"隐藏十字光标" : u"显示十字光标");
  m->AppendItem(MF_OWNERDRAW, kCmdSeparator, nullptr);
  if (!index) {
    m->AppendItem(MF_OWNERDRAW, kCmdF10, u"基础资料");
    m->AppendItem(MF_OWNERDRAW, kCmdSeparator, nullptr);
  }
  if (own)
    m->AppendItem(MF_OWNERDRAW, kCmdRemoveOwn, u"移出自选");
  else
    m->AppendItem(MF_OWNERDRAW, kCmdAddOwn, u"加入自选");
  if (kline) {
    m->AppendItem(MF_OWNERDRAW, kCmdSeparator, nullptr);
    indicatorMenu_ = NewMenu();
    indicatorMenu_->AppendItem(MF_OWNERDRAW, kCmdIndexHelp, u"指标用户解释");
    indicatorMenu_->AppendItem(MF_OWNERDRAW, kCmdIndexParams, u"修改指标参数");
    periodSubMenu_ = NewMenu();
    AppendPeriodItems(periodSubMenu_.get());
    exRightsSubMenu_ = NewMenu();
    AppendExRightsItems(exRightsSubMenu_.get());
    m->AppendItem(MF_OWNERDRAW | MF_POPUP, reinterpret_cast<UINT_PTR>(indicatorMenu_->GetSafeHmenu()), u"当前指标");
    m->AppendItem(MF_OWNERDRAW | MF_POPUP, reinterpret_cast<UINT_PTR>(periodSubMenu_->GetSafeHmenu()), u"分析周期");
    m->AppendItem(MF_OWNERDRAW | MF_POPUP, reinterpret_cast<UINT_PTR>(exRightsSubMenu_->GetSafeHmenu()),
                  u"复权处理");
  }
  m->TrackPopupMenu(0, x, y, this);
  return 0;
}

// The period label bar's menus, tracked under the label.
LRESULT CQuoteDetailsView::OnBarMenu(UINT message, WPARAM point, LPARAM which) {
  if (static_cast<UINT>(which) != message) return 0;
  POINT at{static_cast<int16_t>(LOWORD(point)), static_cast<int16_t>(HIWORD(point))};
  ClientToScreen(&at);
  if (message == WM_PERIOD_MENU) {
    periodMenu_ = NewMenu();
    AppendPeriodItems(periodMenu_.get());
    periodMenu_->TrackPopupMenu(0, at.x, at.y, this);
  } else {
    exRightsMenu_ = NewMenu();
    AppendExRightsItems(exRightsMenu_.get());
    exRightsMenu_->TrackPopupMenu(0, at.x, at.y, this);
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Commands.

BOOL CQuoteDetailsView::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  switch (id) {
    case kCmdShowKLine: SendMessage(WM_TABLEBAR_SELECT, reinterpret_cast<WPARAM>(&mainBar_), 0); return TRUE;
    case kCmdShowMinute: SendMessage(WM_TABLEBAR_SELECT, reinterpret_cast<WPARAM>(&mainBar_), 1); return TRUE;
    case kCmdF10: SendMessage(WM_TABLEBAR_SELECT, reinterpret_cast<WPARAM>(&mainBar_), 2); return TRUE;
    case kCmdCrossHair:
      if (Visible(&minView_))
        minView_.SendMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(55, 25));
      else if (Visible(&klineView_))
        klineView_.SendMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(55, 25));
      return TRUE;
    case kCmdAddOwn: OwnStockCommand(true); return TRUE;
    case kCmdRemoveOwn: OwnStockCommand(false); return TRUE;
    case kCmdFlashBuy:
    case kCmdFlashSell:
    case kCmdBuy:
    case kCmdSell: {
      static const WPARAM kTrade[] = {4608, 4609, 4606, 4607};
      if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_QUICK_TRADE, kTrade[id - kCmdFlashBuy], 0);
      return TRUE;
    }
    case kCmdIndexHelp: {
      char name[64] = {};
      const int tab = klineBar_.GetCurSel();
      if (tab >= 0) klineBar_.CopyItemText(tab, name, sizeof name);
      CIndexHelpDlg dialog(Utf8ToWide(name).c_str(), this);
      dialog.DoModal();
      return TRUE;
    }
    case kCmdIndexParams: {
      CIndexParamSetDlg dialog(this);
      dialog.SetTarget(engine_, klineView_.Chart()->lowerIndicator - 1, &klineView_.DataLock());
      dialog.DoModal();
      std::lock_guard<CriticalSection> hold(lock_);
      if (engine_) klineView_.SetBars(copy_.get(), engine_->workspaces[0], false);
      return TRUE;
    }
    default: break;
  }
  if (id >= kCmdPeriodDay && id <= kCmdPeriodMonth) {
    PeriodCommand(id, lParam);
    return TRUE;
  }
  if (id >= kCmdForward && id <= kCmdBackward) {
    ExRightsCommand(id);
    return TRUE;
  }
  return CWnd::OnCommand(wParam, lParam);
}

void CQuoteDetailsView::OwnStockCommand(bool add) {
  if (!engine_) return;
  const StockKey key = GetStockKey();
  if (add) {
    const int r = AddOwnStock(engine_, key.code, key.market);
    if (r == 0) {
      if (CWnd* frame = ThirdParent()) frame->PostMessage(WM_SAVE_OWN_STOCKS, 1, reinterpret_cast<LPARAM>(new StockKey(key)));
      MessageBox(u"\n添加自选股成功\n", u"提示");
    } else if (r == 1) {
      MessageBox(u"\n自选股已经添加，请勿重复添加。\n", u"提示");
    } else {
      MessageBox(u"\n添加自选股失败\n", u"提示");
    }
  } else {
    const int r = RemoveOwnStock(engine_, key.code, key.market);
    if (r == 0) {
      if (CWnd* frame = ThirdParent()) frame->PostMessage(WM_SAVE_OWN_STOCKS, 2, reinterpret_cast<LPARAM>(new StockKey(key)));
      MessageBox(u"\n删除自选股成功\n");
    } else {
      MessageBox(u"\n删除自选股失败\n");
    }
  }
}

void CQuoteDetailsView::PeriodCommand(UINT id, LPARAM lParam) {
  if (id != kCmdPeriodDay) {
    klineView_.ToggleFundamentalsPane(-1);
    klineView_.ToggleMainOverlay(0);
  }
  if (lParam == 1001) SelectMainTab(0);
  if (static_cast<int>(id) - 7200 != GetKLinePeriod()) SetKLinePeriod(static_cast<int>(id) - 7200);
}

void CQuoteDetailsView::ExRightsCommand(UINT id) {
  if (GetKLinePeriod() != kPeriodDay) {
    MessageBox(u"目前只支持日线！");
    return;
  }
  std::lock_guard<CriticalSection> hold(lock_);
  std::lock_guard<CriticalSection> view(klineView_.DataLock());
  if (id == kCmdForward && exMode_ != 0) ApplyForwardExRights(copy_.get());
  if (id == kCmdNoAdjust && exMode_ != 1) RemoveExRights(copy_.get());
  if (id == kCmdBackward && exMode_ != 2) ApplyBackwardExRights(copy_.get(), 0);
}

// ---------------------------------------------------------------------------
// Bars and tabs.

LRESULT CQuoteDetailsView::OnIndexBarSelect(WPARAM bar, LPARAM tab) {
  auto* from = reinterpret_cast<CWnd*>(bar);
  if (from == &minBar_) {
    static const int kSub[] = {1, 6, 7, 8, 9, 10, 11};
    if (tab >= 0 && tab < 7) minView_.SetSubChart(kSub[tab]);
  } else if (from == &klineBar_) {
    static const int kIndicator[] = {1, 5, 2, 3, 4, 6, 8, 7, 9, 10};
    if (tab >= 0 && tab < 10) klineView_.SetIndicator(kIndicator[tab]);
  } else if (from == &periodBar_) {
    const int count = periodBar_.GetItemCount();
    const bool twoItems = !IsIndex() && GetKLinePeriod() == kPeriodDay && count >= 2;
    UINT message = 0;
    if (twoItems && tab == 0) message = WM_EXRIGHTS_MENU;
    else if (twoItems && tab == 1) message = WM_PERIOD_MENU;
    else if (!twoItems && tab == 0) message = WM_PERIOD_MENU;
    if (message && tab >= 0) {
      const CRect item = periodBar_.GetItemRect(static_cast<int>(tab));
      const int x = periodBarLeft_ + item.left;
      const int y = 60 + item.bottom;
      SendMessage(message, MAKEWPARAM(x, y), message);
    }
  } else if (from == &detailBar_) {
    SelectDetailTab(static_cast<int>(tab));
  }
  return 1;
}

LRESULT CQuoteDetailsView::OnTableBarSelect(WPARAM bar, LPARAM item) {
  auto* from = reinterpret_cast<CWnd*>(bar);
  if (from == &infoBar_) SelectInfoTab(static_cast<int>(item));
  else if (from == &mainBar_) SelectMainTab(static_cast<int>(item));
  else if (from == &f10Bar_) SelectF10Tab(static_cast<int>(item));
  return 0;
}

LRESULT CQuoteDetailsView::OnToggleChart() {
  if (Visible(&minView_)) {
    ShowKLineChart();
    mainBar_.SetCurSel(0);
    return 1;
  }
  if (Visible(&klineView_)) {
    ShowMinuteChart();
    mainBar_.SetCurSel(1);
    return 1;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Keys.

void CQuoteDetailsView::OnKeyDown(UINT key, UINT, UINT) {
  if (key == VK_RETURN) {
    PostMessage(WM_TOGGLE_CHART, 0, 0);
    return;
  }
  const bool arrow = key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN;
  if (!arrow) {
    if (CWnd* parent = GetParent()) parent->PostMessage(WM_KEY_COMMAND, 0, key);
    return;
  }
  if (Visible(&klineView_)) {
    switch (key) {
      case VK_LEFT:
        klineView_.MoveCursorLeft();
        if (klineView_.GetCursorBar() == 0) {
          const int r = RequestOlderDayBars(512);
          klineView_.KeepBarPosition(0);
          if (r == 0 || r == 1) klineView_.KeepBarPosition(1);
        }
        break;
      case VK_UP:
        klineView_.ZoomIn();
        klineView_.SetPendingZoomOut(0);
        break;
      case VK_RIGHT: klineView_.MoveCursorRight(); break;
      case VK_DOWN: {
        const int n = klineView_.GetBarsNeededForZoomOut();
        const int r = n > 0 ? RequestOlderDayBars(n) : -1;
        if (r == -1 || r == 2)
          klineView_.ZoomOut();
        else
          klineView_.SetPendingZoomOut(1);
        break;
      }
      default: break;
    }
    PostMessage(WM_STOCKPAGE_NOTE, 0, 0);
  } else if (Visible(&minView_)) {
    if (key == VK_LEFT) minView_.MoveCursorLeft();
    if (key == VK_RIGHT) minView_.MoveCursorRight();
  } else if (Visible(&detailView_)) {
    if (key == VK_UP) detailView_.SelectPrevRow();
    if (key == VK_DOWN) detailView_.SelectNextRow();
  } else if (Visible(CycleView())) {
    cycle_->MoveSelection(key);
  }
}

// ---------------------------------------------------------------------------
// The ex-rights tip (wParam y << 16 | x, lParam YYYYMMDD; (0, 0) with 1
// hides it; lParam 0 opens the ex-rights dialog).

LRESULT CQuoteDetailsView::OnExRightsMark(WPARAM point, LPARAM date) {
  if (date == 0) {
    auto list = std::make_unique<ExRightsArea>();
    {
      std::lock_guard<CriticalSection> hold(lock_);
      if (exList_->count > 0) {
        list->records = new ExRightsRecord[exList_->count];
        std::memcpy(list->records, exList_->records, sizeof(ExRightsRecord) * exList_->count);
        list->count = exList_->count;
        list->key = exList_->key;
      }
    }
    CExdiviDlg dialog(nullptr);
    dialog.SetExRightsList(list.get());
    dialog.DoModal();
    return 0;
  }
  const int x = static_cast<int16_t>(LOWORD(point)), y = static_cast<int16_t>(HIWORD(point));
  if (x == 0 && y == 0 && date == 1) {
    exRightsTip_.ShowWindow(SW_HIDE);
    return 0;
  }
  ExRightsRecord record{};
  bool found = false;
  {
    std::lock_guard<CriticalSection> hold(lock_);
    for (int i = 0; i < exList_->count; ++i)
      if (exList_->records[i].date == date) {
        record = exList_->records[i];
        found = true;
        break;
      }
  }
  if (!found) return 0;
  CRect chart;
  klineView_.GetClientRect(&chart);
  const int left = chart.Width() - x < 301 ? x - 300 : x;
  exRightsTip_.MoveWindow(left, y - 50, 300, 40, FALSE);
  {
    std::lock_guard<CriticalSection> hold(tipLock_);
    HDC dc = exRightsTip_.GetMemoryDC();
    if (dc) {
      CDC* cdc = CDC::FromHandle(dc);
      cdc->FillSolidRect(0, 0, 300, 40, 0);
      CBrush frame(0x69B0FF);
      RECT all{0, 0, 300, 40};
      cdc->FrameRect(&all, &frame);
      cdc->FillSolidRect(0, 0, 300, 20, 0x69B0FF);
      cdc->SetBkMode(TRANSPARENT);
      char text[160];
      std::snprintf(text, sizeof text, "%04d-%02d-%02d", record.date / 10000, record.date / 100 % 100,
                    record.date % 100);
      cdc->SetTextColor(0);
      RECT title{10, 0, 300, 20};
      cdc->DrawText(Utf8ToWide(text).c_str(), &title, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
      std::string line;
      auto add = [&](const char* format, double value) {
        if (value <= 0) return;
        char piece[48];
        std::snprintf(piece, sizeof piece, format, value);
        line += piece;
      };
      add(" 红利%.2f元", record.cashDividend * 10.0);
      add(" 配股%.2f股", record.rightsShares * 10.0);
      add(" 配股价%.2f元", record.rightsPrice);
      add(" 送股%.2f股", record.bonusShares * 10.0);
      add(" 转赠%.2f股", record.transferredShares * 10.0);
      cdc->SetTextColor(0xDEDEDE);
      RECT second{0, 21, 300, 39};
      cdc->DrawText(Utf8ToWide(line).c_str(), &second, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
      lastTipText_ = line;
    }
  }
  exRightsTip_.ShowWindow(SW_SHOWNA);
  exRightsTip_.Invalidate(FALSE);
  return 0;
}

// ---------------------------------------------------------------------------
// The mouse pre-filter.

BOOL CQuoteDetailsView::PreTranslateMessage(MSG* msg) {
  const UINT m = msg->message;
  if (m == WM_LBUTTONDOWN || m == WM_RBUTTONDOWN || m == WM_LBUTTONDBLCLK || m == WM_RBUTTONDBLCLK) SetFocus();
  if (m == WM_LBUTTONDOWN) {
    POINT pt = msg->pt;
    for (CGridCtrl* grid : {newsGrid_.get(), researchGrid_.get()}) {
      if (!grid || !grid->m_hWnd) continue;
      CRect rc;
      grid->GetWindowRect(&rc);
      if (!rc.PtInRect(pt)) {
        grid->SetCurRow(-1);
        grid->Invalidate();
      }
    }
  }
  return CWnd::PreTranslateMessage(msg);
}

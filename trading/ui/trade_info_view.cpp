#include "trading/ui/trade_info_view.h"

#include <cstring>

#include "controls/control_messages.h"
#include "foundation/draw_helpers.h"
#include "foundation/text_codec.h"
#include "trading/ui/trade_messages.h"
#include "trading/ui/trade_view.h"

namespace {

enum ButtonKind { kGroup, kRefresh, kWindow };
struct ButtonRow {
  UINT id;
  const WCHAR* text;     // caption, or the picture of a window button
  int left;              // window buttons: distance from the right edge
  ButtonKind kind;
};
// In creation order.
const ButtonRow kButtons[10] = {
    {CTradeInfoView::kBuyButton, u"买入", 5, kGroup},
    {CTradeInfoView::kSellButton, u"卖出", 61, kGroup},
    {CTradeInfoView::kCancelButton, u"撤单", 117, kGroup},
    {CTradeInfoView::kDealsButton, u"成交", 173, kGroup},
    {CTradeInfoView::kHoldingsButton, u"持仓", 229, kGroup},
    {CTradeInfoView::kTransferButton, u"转账", 285, kGroup},
    {CTradeInfoView::kRefreshButton, u"刷新", 341, kRefresh},
    {CTradeInfoView::kHideButton, u"res\\trade_min.png", 90, kWindow},
    {CTradeInfoView::kMaximizeButton, u"res\\trade_max.png", 60, kWindow},
    {CTradeInfoView::kCloseButton, u"res\\trade_close.png", 30, kWindow},
};
// The six buttons of group "1".
const UINT kGroupIds[6] = {CTradeInfoView::kCancelButton, CTradeInfoView::kDealsButton,
                           CTradeInfoView::kBuyButton,    CTradeInfoView::kSellButton,
                           CTradeInfoView::kHoldingsButton, CTradeInfoView::kTransferButton};

constexpr UINT kOrderPageId = 1, kQueryPageId = 2, kBankPageId = 3, kPasswordPageId = 4;

}  // namespace

CTradeInfoView::CTradeInfoView() : pages_(MakeTradePages()) {}

CTradeInfoView::~CTradeInfoView() {
  if (m_hWnd) DestroyWindow();
  if (font_) DeleteObject(font_);
}

FooButton* CTradeInfoView::Button(UINT id) {
  for (int i = 0; i < 10; ++i)
    if (kButtons[i].id == id) return &buttons_[i];
  return nullptr;
}

int CTradeInfoView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  font_ = CreateUiFont(GetUiFontFace(), 14);
  for (int i = 0; i < 10; ++i) {
    const ButtonRow& row = kButtons[i];
    FooButton& b = buttons_[i];
    const bool window = row.kind == kWindow;
    CRect rect = window ? CRect(0, 0, 25, 30) : CRect(row.left, 2, row.left + 51, 27);
    b.Create(window ? u"" : row.text, WS_CHILD | WS_VISIBLE, rect, this, row.id);
    b.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    b.SetTextColor(RGB(0, 0, 0));
    if (row.kind == kGroup) {
      b.SetButtonType(10);
      b.SetNormalImage(u"res\\trade_btn_bg.png", RGB(255, 0, 255));
      b.SetHotImage(u"res\\trade_btn_sel_bg.png", RGB(255, 0, 255));
      b.SetGroup(u"1");
    } else if (row.kind == kRefresh) {
      b.SetButtonType(1);
      b.SetNormalImage(u"res\\trade_btn_bg.png", RGB(255, 0, 255));
      b.SetHotImage(u"res\\trade_sel_btn_bg.png", RGB(255, 0, 255));
    } else {
      b.SetButtonType(1);
      b.SetTextLayout(0);
      b.SetNormalImage(row.text, RGB(255, 0, 255));
      b.SetHotImage(row.text, RGB(255, 0, 255));
    }
  }
  header_.Load(u"res\\InfoStatus_bg.png");
  pages_.query->CreatePage(this, kQueryPageId, session_);
  pages_.order->CreatePage(this, kOrderPageId, session_);
  pages_.bank->CreatePage(this, kBankPageId, session_);
  pages_.password->CreatePage(this, kPasswordPageId, session_);
  return 0;
}

void CTradeInfoView::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  for (int i = 7; i < 10; ++i)
    if (buttons_[i].m_hWnd) buttons_[i].MoveWindow(cx - kButtons[i].left, 0, 25, 30);
  const int height = cy > kStripHeight ? cy - kStripHeight : 0;
  const bool orderShown = Visible(pages_.order.get());
  if (CWnd* w = pages_.order->Window(); w && w->m_hWnd) w->MoveWindow(0, kStripHeight, kOrderWidth, height);
  if (CWnd* w = pages_.query->Window(); w && w->m_hWnd) {
    const int left = orderShown ? kOrderWidth : 0;
    w->MoveWindow(left, kStripHeight, cx > left ? cx - left : 0, height);
  }
  if (CWnd* w = pages_.bank->Window(); w && w->m_hWnd) w->MoveWindow(0, kStripHeight, cx, height);
  if (CWnd* w = pages_.password->Window(); w && w->m_hWnd) w->MoveWindow(0, kStripHeight, cx, height);
}

void CTradeInfoView::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  CRect strip(0, 0, rc.Width(), kStripHeight);
  if (header_.IsNull()) dc.FillSolidRect(&strip, RGB(0xE4, 0xEA, 0xF2));
  else header_.Draw(dc.m_hDC, strip);
  // Below the strip while no page covers it.
  dc.FillSolidRect(0, kStripHeight, rc.Width(), rc.Height() - kStripHeight, RGB(0xFB, 0xFC, 0xFE));
}

bool CTradeInfoView::Visible(ITradePage* page) {
  CWnd* w = page ? page->Window() : nullptr;
  return w && w->m_hWnd && (w->GetStyle() & WS_VISIBLE);
}

void CTradeInfoView::Show(ITradePage* page, bool show) {
  CWnd* w = page ? page->Window() : nullptr;
  if (w && w->m_hWnd) w->ShowWindow(show ? SW_SHOW : SW_HIDE);
}

void CTradeInfoView::Relayout() {
  CRect rc;
  GetClientRect(&rc);
  PostMessage(WM_SIZE, 0, MAKELPARAM(rc.Width(), rc.Height()));
  Invalidate();
}

void CTradeInfoView::CheckGroupButton(UINT id) {
  if (id == 0) {
    for (UINT each : kGroupIds)
      if (FooButton* b = Button(each)) b->SetCheck(0);
    return;
  }
  if (FooButton* b = Button(id)) b->SetCheck(1);
}

void CTradeInfoView::SelectNavItem(int index) {
  if (!owner_ || !owner_->NavList() || !owner_->NavList()->m_hWnd) return;
  owner_->NavList()->PostMessage(WM_TRADE_NAV_SELECT, kTradeNavSelectTag, index);
}

void CTradeInfoView::ShowOrderPage(int side, const char* code) {
  ITradeOrderPage* order = pages_.order.get();
  order->SetKind(side);
  CheckGroupButton(side == 0 ? kBuyButton : kSellButton);
  SelectNavItem(side == 0 ? 0 : 1);
  order->ClearForm(true);
  if (code) {
    char six[7] = {};
    memcpy(six, code, 6);
    WCHAR* wide = Utf8ToUtf16Alloc(six);
    order->SetCode(wide ? wide : u"");
    free(wide);
  }
  Show(pages_.bank.get(), false);
  Show(pages_.password.get(), false);
  pages_.query->SetPage(1);
  Show(pages_.query.get(), true);
  Show(order, true);
  if (order->Window() && order->Window()->m_hWnd) order->Window()->SetFocus();
  order->FillShareholders();
  Relayout();
}

void CTradeInfoView::ShowQueryPage(int index) {
  pages_.order->ClearForm(true);
  switch (index) {
    case 0: CheckGroupButton(kHoldingsButton); break;
    case 4: CheckGroupButton(kDealsButton); break;
    case 8: CheckGroupButton(kCancelButton); break;
    case 9: CheckGroupButton(kTransferButton); break;
    default: CheckGroupButton(0); break;
  }
  Show(pages_.bank.get(), false);
  Show(pages_.order.get(), false);
  Show(pages_.password.get(), false);
  Show(pages_.query.get(), true);
  if (CWnd* w = pages_.query->Window(); w && w->m_hWnd) w->SetFocus();
  pages_.query->SetPage(index);
  if (index == 0 || index == 1 || index == 2 || index == 8) pages_.query->Refresh();
  Relayout();
}

void CTradeInfoView::ShowBankPage(int mode) {
  pages_.order->ClearForm(true);
  Show(pages_.query.get(), false);
  Show(pages_.order.get(), false);
  Show(pages_.password.get(), false);
  CheckGroupButton(kTransferButton);
  pages_.bank->SetMode(mode);
  BankList banks;
  GetTradeBankList(session_, &banks);
  if (banks.count == 0) {
    // The bank page shows itself (or asks for the records page) when the
    // list arrives.
    pages_.bank->RequestBanks();
    return;
  }
  if (mode == 2) {
    ShowQueryPage(9);
    return;
  }
  Show(pages_.bank.get(), true);
  CWnd* w = pages_.bank->Window();
  if (w && w->m_hWnd) w->SetFocus();
  pages_.bank->FillBanks();
  if (w && w->m_hWnd) {
    CRect rc;
    w->GetClientRect(&rc);
    w->PostMessage(WM_SIZE, 0, MAKELPARAM(rc.Width(), rc.Height()));
  }
  Invalidate();
}

void CTradeInfoView::ShowPasswordPage() {
  pages_.order->ClearForm(true);
  CheckGroupButton(0);
  Show(pages_.bank.get(), false);
  Show(pages_.order.get(), false);
  Show(pages_.query.get(), false);
  pages_.password->Reset();
  Show(pages_.password.get(), true);
  if (CWnd* w = pages_.password->Window(); w && w->m_hWnd) w->SetFocus();
  Invalidate();
}

void CTradeInfoView::RefreshPage() {
  if (Visible(pages_.order.get())) pages_.order->Refresh();
  else if (Visible(pages_.query.get())) pages_.query->Refresh();
}

void CTradeInfoView::ResetPages() {
  pages_.order->ClearForm(true);
  pages_.query->SetPage(0);
  pages_.password->Reset();
  CheckGroupButton(0);
  Show(pages_.order.get(), false);
  Show(pages_.query.get(), false);
  Show(pages_.bank.get(), false);
  Show(pages_.password.get(), false);
  Invalidate();
}

BOOL CTradeInfoView::OnCmdMsg(UINT id, int code) {
  switch (id) {
    case kBuyButton: ShowOrderPage(0, nullptr); return TRUE;
    case kSellButton: ShowOrderPage(1, nullptr); return TRUE;
    case kCancelButton: SelectNavItem(2); ShowQueryPage(8); return TRUE;
    case kDealsButton: SelectNavItem(5); ShowQueryPage(4); return TRUE;
    case kHoldingsButton: SelectNavItem(4); ShowQueryPage(0); return TRUE;
    case kTransferButton: SelectNavItem(3); ShowBankPage(0); return TRUE;
    case kRefreshButton: RefreshPage(); return TRUE;
    case kHideButton: if (owner_) owner_->HideTrade(); return TRUE;
    case kMaximizeButton: if (owner_) owner_->ToggleMaximize(); return TRUE;
    case kCloseButton: if (owner_) owner_->LogOut(); return TRUE;
    default: return CWnd::OnCmdMsg(id, code);
  }
}

LRESULT CTradeInfoView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TRADE_PANEL_COMMAND) {
    // The same number is the program-wide key message (wParam 0): answered,
    // nothing done.
    if (wParam == kTradePanelCommandTag) {
      if (lParam == kTradePanelTodayOrders) {
        pages_.query->SetPage(1);
        pages_.query->Refresh();
      } else if (lParam == kTradePanelTransferRecords) {
        ShowQueryPage(9);
      }
    }
    return 1;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

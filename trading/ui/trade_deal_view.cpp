#include "trading/ui/trade_deal_view.h"

#include <cstring>

#include "foundation/draw_helpers.h"
#include "foundation/text_codec.h"
#include "trading/trade_requests.h"
#include "trading/ui/order_ticket.h"
#include "trading/ui/trade_page_font.h"
#include "trading/ui/trade_messages.h"

namespace {

struct Place {
  UINT id;
  int x, y, w, h;
};
// Every control's place in the form (set again on every resize).
const Place kPlaces[] = {
    {CTradeDealView::kHolderCaption, 5, 2, 60, 20},    {CTradeDealView::kHolderList, 65, 2, 150, 25},
    {CTradeDealView::kCodeCaption, 5, 30, 60, 20},     {CTradeDealView::kCodeEdit, 65, 30, 75, 20},
    {CTradeDealView::kNameText, 140, 30, 75, 20},      {CTradeDealView::kKindCaption, 5, 53, 60, 20},
    {CTradeDealView::kKindList, 65, 53, 150, 25},      {CTradeDealView::kPriceCaption, 5, 81, 60, 20},
    {CTradeDealView::kPriceEdit, 65, 81, 133, 20},     {CTradeDealView::kPriceSpin, 202, 81, 15, 20},
    {CTradeDealView::kMarketOrderText, 65, 81, 150, 20}, {CTradeDealView::kPriceUnit, 220, 81, 15, 20},
    {CTradeDealView::kFundsCaption, 5, 109, 60, 20},   {CTradeDealView::kFundsText, 65, 109, 150, 20},
    {CTradeDealView::kMaximumCaption, 5, 132, 60, 20}, {CTradeDealView::kMaximumText, 65, 132, 118, 20},
    {CTradeDealView::kAllButton, 185, 132, 30, 20},    {CTradeDealView::kMaximumUnit, 220, 132, 15, 20},
    {CTradeDealView::kFirstRatio, 5, 155, 50, 20},     {CTradeDealView::kFirstRatio + 1, 58, 155, 50, 20},
    {CTradeDealView::kFirstRatio + 2, 111, 155, 50, 20}, {CTradeDealView::kFirstRatio + 3, 164, 155, 50, 20},
    {CTradeDealView::kQuantityCaption, 5, 178, 60, 20}, {CTradeDealView::kQuantityEdit, 65, 178, 133, 20},
    {CTradeDealView::kQuantitySpin, 202, 178, 15, 20}, {CTradeDealView::kQuantityUnit, 220, 178, 15, 20},
    {CTradeDealView::kOrderButton, 155, 201, 60, 20},
};

std::string Narrow(const WString& text) {
  char* narrow = Utf16ToUtf8Alloc(text.c_str());
  std::string out = narrow ? narrow : "";
  free(narrow);
  return out;
}

WString ListText(CComboBox& list) {
  int sel = list.GetCurSel();
  return sel >= 0 ? list.GetLBText(sel) : WString();
}

void FillList(CComboBox& list, const std::vector<WString>& texts) {
  list.ResetContent();
  for (const WString& text : texts) list.AddString(text.c_str());
  list.SetCurSel(0);
}

}  // namespace

CTradeDealView::CTradeDealView() = default;

CTradeDealView::~CTradeDealView() {
  infoInbox_.AbandonAll();
  orderInbox_.AbandonAll();
  if (m_hWnd) DestroyWindow();
  if (font_) DeleteObject(font_);
}

BOOL CTradeDealView::CreatePage(CWnd* parent, UINT id, TradeSession* session) {
  session_ = session;
  if (!Create(nullptr, u"", WS_CHILD, CRect(0, 0, 0, 0), parent, id)) return FALSE;
  infoInbox_.Attach(m_hWnd, session_);
  orderInbox_.Attach(m_hWnd, session_);
  return TRUE;
}

int CTradeDealView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  font_ = CreateTradePageFont();
  // The panel first, then the controls.
  levels_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(kFieldsWidth, 0, kFieldsWidth + kPanelWidth, 0), this, 0);
  levels_.SetPriceSink([this](const WString& price) { SetPrice(price); });
  CreateControls();
  background_.Load(u"res\\deal_bg.png");
  return 0;
}

void CTradeDealView::CreateControls() {
  const CRect none(0, 0, 0, 0);
  const DWORD label = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_CENTERIMAGE;
  const DWORD list = WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL;
  const DWORD edit = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
  holderCaption_.Create(u"股东代码：", label, none, this, kHolderCaption);
  holders_.Create(list, none, this, kHolderList);
  codeCaption_.Create(u"证券代码：", label, none, this, kCodeCaption);
  code_.Create(edit, none, this, kCodeEdit);
  code_.SetLimitText(6);
  name_.Create(u"", WS_CHILD | WS_VISIBLE | SS_RIGHT | SS_CENTERIMAGE, none, this, kNameText);
  kindCaption_.Create(u"委托方式：", label, none, this, kKindCaption);
  kinds_.Create(list, none, this, kKindList);
  priceCaption_.Create(u"买入价格：", label, none, this, kPriceCaption);
  price_.Create(edit, none, this, kPriceEdit);
  priceSpin_.Create(WS_CHILD | WS_VISIBLE, none, this, kPriceSpin);
  marketOrder_.Create(u"市价委托", WS_CHILD | SS_LEFT | SS_CENTERIMAGE, none, this, kMarketOrderText);
  priceUnit_.Create(u"元", label, none, this, kPriceUnit);
  fundsCaption_.Create(u"可用资金：", label, none, this, kFundsCaption);
  funds_.Create(u"", label, none, this, kFundsText);
  maximumCaption_.Create(u"", label, none, this, kMaximumCaption);
  maximum_.Create(u"", label, none, this, kMaximumText);
  all_.Create(u"全部", WS_CHILD | WS_VISIBLE, none, this, kAllButton);
  maximumUnit_.Create(u"股", label, none, this, kMaximumUnit);
  const WCHAR* const ratios[4] = {u"1/2", u"1/3", u"1/4", u"1/5"};
  for (int i = 0; i < 4; ++i)
    ratios_[i].Create(ratios[i], WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, none, this, kFirstRatio + i);
  quantityCaption_.Create(u"买入数量：", label, none, this, kQuantityCaption);
  quantity_.Create(edit, none, this, kQuantityEdit);
  quantitySpin_.Create(WS_CHILD | WS_VISIBLE, none, this, kQuantitySpin);
  quantityUnit_.Create(u"股", label, none, this, kQuantityUnit);
  order_.Create(u"买入下单", WS_CHILD | WS_VISIBLE | WS_TABSTOP, none, this, kOrderButton);
  for (FooButton* b : {&all_, &order_}) {
    b->SetButtonType(1);
    b->SetNormalImage(u"res\\trade_btn_bg.png", RGB(255, 0, 255));
    b->SetHotImage(u"res\\trade_btn_sel_bg.png", RGB(255, 0, 255));
    b->SetTextColor(RGB(0, 0, 0));
  }
  for (const Place& p : kPlaces)
    if (CWnd* w = GetDlgItem(p.id)) w->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  PlaceControls();
}

void CTradeDealView::PlaceControls() {
  for (const Place& p : kPlaces)
    if (CWnd* w = GetDlgItem(p.id)) w->MoveWindow(p.x, p.y, p.w, p.h);
}

void CTradeDealView::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  if (!code_.m_hWnd) return;
  PlaceControls();
  levels_.MoveWindow(kFieldsWidth, 0, kPanelWidth, cy);
  Invalidate();
}

void CTradeDealView::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  if (background_.IsNull()) dc.FillSolidRect(&rc, RGB(0xF4, 0xF7, 0xFB));
  else background_.Draw(dc.m_hDC, rc);
}

HBRUSH CTradeDealView::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) {
  if (ctlColor != CTLCOLOR_STATIC) return CWnd::OnCtlColor(dc, wnd, ctlColor);
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextColor(RGB(0, 0, 0));
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void CTradeDealView::SetKind(int side) {
  side_ = side == 0 ? 0 : 1;
  const bool buy = side_ == 0;
  priceCaption_.SetWindowText(buy ? u"买入价格：" : u"卖出价格：");
  quantityCaption_.SetWindowText(buy ? u"买入数量：" : u"卖出数量：");
  order_.SetWindowText(buy ? u"买入下单" : u"卖出下单");
  maximumCaption_.SetWindowText(buy ? u"最大可买：" : u"最大可卖：");
  fundsCaption_.ShowWindow(buy ? SW_SHOW : SW_HIDE);
  funds_.ShowWindow(buy ? SW_SHOW : SW_HIDE);
  order_.Invalidate();
  Invalidate();
}

void CTradeDealView::SetCode(const WCHAR* code) {
  code_.SetWindowText(code ? code : u"");
  // The edit reports the change; a text it already held reports nothing.
  OnCodeChange();
}

void CTradeDealView::SetPrice(const WString& text) {
  price_.SetWindowText(text);
  Invalidate();
}

std::vector<WString> CTradeDealView::HolderEntries() {
  std::vector<WString> entries;
  for (int i = 0; i < holders_.GetCount(); ++i) entries.push_back(holders_.GetLBText(i));
  return entries;
}

void CTradeDealView::FillShareholders() {
  TradeLoginInfo login;
  GetTradeLoginInfo(session_, &login);
  FillList(holders_, order_ticket::ShareholderEntries(login, false));
  FillList(kinds_, order_ticket::LimitOrderKinds());
  ShowPriceRow(true);
}

void CTradeDealView::SelectMarket(int market) {
  std::vector<WString> kinds;
  if (order_ticket::OrderKinds(market, &kinds)) {
    FillList(kinds_, kinds);
    ShowPriceRow(true);
  }
  holders_.SetCurSel(order_ticket::ShareholderIndex(HolderEntries(), market));
}

void CTradeDealView::ShowPriceRow(bool show) {
  price_.ShowWindow(show ? SW_SHOW : SW_HIDE);
  priceSpin_.ShowWindow(show ? SW_SHOW : SW_HIDE);
  priceUnit_.ShowWindow(show ? SW_SHOW : SW_HIDE);
  marketOrder_.ShowWindow(show ? SW_HIDE : SW_SHOW);
  Invalidate();
}

void CTradeDealView::OnKindChange() { ShowPriceRow(kinds_.GetCurSel() <= 0); }

void CTradeDealView::OnCodeChange() {
  const WString text = code_.GetWindowText();
  switch (order_ticket::CodeChange(lastCode_, text)) {
    case order_ticket::CodeAction::kNothing:
      break;
    case order_ticket::CodeAction::kRequest:
      report_ = true;
      quiet_ = false;
      AskOrderInfo(text);
      break;
    case order_ticket::CodeAction::kClear:
      lastCode_ = text;  // before clearing: clearing does not come back here
      ClearForm(false);
      break;
  }
  lastCode_ = text;
}

void CTradeDealView::AskOrderInfo(const WString& code) {
  // A reply for an earlier code must not fill the form.
  infoInbox_.Restart();
  const std::string code8 = Narrow(code);
  infoInbox_.Sent(RequestOrderInfo(session_, TradeReplyInbox::Notify, infoInbox_.User(), code8.c_str(),
                                   side_ == 0 ? 1 : 2));
}

void CTradeDealView::Refresh() {
  if (!order_ticket::IsStockCode(lastCode_)) return;
  SetTimer(kTimerId, kTimerPeriod);
  report_ = false;
  quiet_ = true;
  AskOrderInfo(lastCode_);
}

void CTradeDealView::OnTimer(UINT_PTR id) {
  // The timer only marks that order information is shown; it sends nothing.
  if (id != kTimerId) CWnd::OnTimer(id);
}

void CTradeDealView::ClearForm(bool clearCode) {
  KillTimer(kTimerId);
  // An order in flight is never abandoned: its outcome must be shown.
  infoInbox_.Restart();
  if (clearCode) {
    code_.SetWindowText(u"");
    OnCodeChange();
  }
  if (price_.GetWindowTextLength() == 0 && quantity_.GetWindowTextLength() == 0) return;
  for (CVexloRadio& ratio : ratios_) ratio.SetCheck(BST_UNCHECKED);
  price_.SetWindowText(u"");
  quantity_.SetWindowText(u"");
  funds_.SetWindowText(u"");
  maximum_.SetWindowText(u"");
  name_.SetWindowText(u"");
  levels_.Clear();
  Invalidate();
  UpdateWindow();
}

void CTradeDealView::ShowOrderInfo() {
  const order_ticket::OrderInfoView view = order_ticket::ReadOrderInfo(info_, side_);
  funds_.SetWindowText(view.funds);
  maximum_.SetWindowText(view.maximum);
  name_.SetWindowText(view.name);
  if (report_) {
    price_.SetWindowText(view.price);
    SelectMarket(view.market);
  }
  Invalidate();
}

void CTradeDealView::OnRatio(int index) {
  for (int i = 0; i < 4; ++i)
    if (i != index) ratios_[i].SetCheck(BST_UNCHECKED);
  quantity_.SetWindowText(order_ticket::RatioQuantity(info_, side_, index + 2));
}

void CTradeDealView::PlaceOrder() {
  if (orderInbox_.InFlight() > 0) {
    ShowTradeInputError(m_hWnd, u"上一笔委托尚未返回，请稍候");
    return;
  }
  order_ticket::OrderInput input;
  input.side = side_;
  input.code = code_.GetWindowText();
  input.name = name_.GetWindowText();
  input.price = price_.GetWindowText();
  input.quantity = quantity_.GetWindowText();
  input.maximum = maximum_.GetWindowText();
  input.kindIndex = kinds_.GetCurSel() < 0 ? 0 : kinds_.GetCurSel();
  input.kindText = ListText(kinds_);
  input.shareholder = ListText(holders_);
  if (const WCHAR* error = order_ticket::CheckOrder(input)) {
    ShowTradeInputError(m_hWnd, error);
    return;
  }
  const WString text = order_ticket::ConfirmationText(input);
  if (MessageBoxW(m_hWnd, text.c_str(), order_ticket::ConfirmationTitle(side_, false), MB_OKCANCEL | MB_ICONQUESTION) !=
      IDOK)
    return;
  input.code = lastCode_;
  const order_ticket::OrderInfoView view = order_ticket::ReadOrderInfo(info_, side_);
  const order_ticket::OrderFields f = order_ticket::MakeOrderFields(input, view.market);
  orderInbox_.Sent(RequestPlaceOrder(session_, TradeReplyInbox::Notify, orderInbox_.User(), f.market,
                                     f.shareholderCode.c_str(), f.stockCode.c_str(), f.side.c_str(),
                                     f.quantity.c_str(), f.price.c_str(), f.priceType.c_str()));
}

void CTradeDealView::HandleInfoReply(TradeInboxItem item) {
  TradeReply* reply = item.reply.get();
  if (item.status == 0 && strcmp(reply->errorCode, "0000") == 0) {
    ParseOrderInfo(&info_, reply->records);
    if (!quiet_) ShowOrderInfo();
    KillTimer(kTimerId);
    SetTimer(kTimerId, kTimerPeriod);
    levels_.ShowLevels(info_);
    UpdateWindow();
    return;
  }
  if (!report_) return;
  report_ = false;
  if (item.status == 0) ShowTradeServerMessage(m_hWnd, reply->message);
  else ShowTradeMessage(m_hWnd, item.status == 2 ? u"网络连接超时！" : u"网络连接失败！");
}

void CTradeDealView::HandleOrderReply(TradeInboxItem item) {
  TradeReply* reply = item.reply.get();
  if (item.status == 1) return ShowTradeMessage(m_hWnd, u"网络连接失败！");
  if (item.status != 0)
    return ShowTradeMessage(m_hWnd, u"网络连接超时！委托结果未知，请先查询当日委托，再决定是否重新下单。");
  ShowTradeServerMessage(m_hWnd, reply->message);
  if (!strstr(reply->errorCode, "0000")) return;
  ClearForm(true);
  if (CWnd* parent = GetParent())
    parent->PostMessage(WM_TRADE_PANEL_COMMAND, kTradePanelCommandTag, kTradePanelTodayOrders);
}

BOOL CTradeDealView::OnCmdMsg(UINT id, int code) {
  switch (id) {
    case kCodeEdit:
      if (code == EN_CHANGE) OnCodeChange();
      return TRUE;
    case kKindList:
      if (code == CBN_SELCHANGE) OnKindChange();
      return TRUE;
    case kAllButton:
      if (code == BN_CLICKED) quantity_.SetWindowText(maximum_.GetWindowText());
      return TRUE;
    case kOrderButton:
      if (code == BN_CLICKED) PlaceOrder();
      return TRUE;
    default:
      break;
  }
  if (id >= kFirstRatio && id < kFirstRatio + 4 && code == BN_CLICKED) {
    OnRatio(static_cast<int>(id - kFirstRatio));
    return TRUE;
  }
  return CWnd::OnCmdMsg(id, code);
}

BOOL CTradeDealView::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
  if (!hdr || hdr->code != UDN_DELTAPOS) return CWnd::OnNotify(wParam, lParam, result);
  const NMUPDOWN* step = reinterpret_cast<const NMUPDOWN*>(lParam);
  if (hdr->idFrom == kPriceSpin) price_.SetWindowText(order_ticket::StepPrice(price_.GetWindowText(), step->iDelta));
  else if (hdr->idFrom == kQuantitySpin)
    quantity_.SetWindowText(order_ticket::StepQuantity(quantity_.GetWindowText(), step->iDelta));
  else return CWnd::OnNotify(wParam, lParam, result);
  *result = 0;
  return TRUE;
}

LRESULT CTradeDealView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_TRADE_REPLY) return CWnd::WindowProc(message, wParam, lParam);
  if (wParam != 0) return 1;
  for (TradeInboxItem item = infoInbox_.Take(); item.status >= 0; item = infoInbox_.Take())
    HandleInfoReply(std::move(item));
  for (TradeInboxItem item = orderInbox_.Take(); item.status >= 0; item = orderInbox_.Take())
    HandleOrderReply(std::move(item));
  return 1;
}

#include "trading/ui/trade_kj_deal_dlg.h"

#include <cstring>

#include "foundation/text_codec.h"
#include "trading/trade_requests.h"
#include "trading/ui/order_ticket.h"
#include "trading/ui/trade_messages.h"
#include "trading/ui/trade_pages.h"

namespace {

constexpr DWORD kStatic = WS_CHILD | WS_VISIBLE | SS_LEFT;
constexpr DWORD kList = WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL;
constexpr DWORD kEdit = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr DWORD kSpin = WS_CHILD | WS_VISIBLE | UDS_ARROWKEYS;
constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

const DialogTemplate kQuickTemplate = {
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, 0, 0, 0, 153, 137, u"闪电买入", 8, u"MS Shell Dlg",
    {
        {-1, WC_STATIC, u"股东代码：", kStatic, 10, 10, 41, 8},
        {CTradeKJDealDlg::kHolderList, WC_COMBOBOX, u"", kList | CBS_SORT, 53, 8, 80, 29},
        {-1, WC_STATIC, u"证券代码：", kStatic, 10, 28, 41, 8},
        {CTradeKJDealDlg::kCodeText, WC_STATIC, u"", kStatic, 53, 28, 33, 8},
        {CTradeKJDealDlg::kNameText, WC_STATIC, u"", kStatic, 94, 27, 49, 8},
        {-1, WC_STATIC, u"委托方式：", kStatic, 10, 46, 41, 8},
        {CTradeKJDealDlg::kKindList, WC_COMBOBOX, u"", kList, 53, 44, 95, 29},
        {CTradeKJDealDlg::kPriceCaption, WC_STATIC, u"买入价格：", kStatic, 10, 64, 41, 8},
        {CTradeKJDealDlg::kPriceEdit, WC_EDIT, u"", kEdit, 53, 64, 63, 13},
        {CTradeKJDealDlg::kPriceSpin, UPDOWN_CLASS, u"", kSpin, 122, 63, 11, 14},
        {CTradeKJDealDlg::kMarketOrderEdit, WC_EDIT, u"", kEdit, 53, 64, 80, 13},
        {CTradeKJDealDlg::kPriceUnit, WC_STATIC, u"元", kStatic, 137, 64, 9, 8},
        {CTradeKJDealDlg::kMaximumCaption, WC_STATIC, u"最大可买：", kStatic, 10, 82, 41, 8},
        {CTradeKJDealDlg::kMaximumText, WC_STATIC, u"", kStatic, 53, 84, 46, 8},
        {CTradeKJDealDlg::kAllButton, WC_BUTTON, u"全部", kButton | BS_PUSHBUTTON, 103, 82, 30, 14},
        {-1, WC_STATIC, u"股", kStatic, 137, 82, 9, 8},
        {CTradeKJDealDlg::kQuantityCaption, WC_STATIC, u"买入数量：", kStatic, 10, 100, 41, 8},
        {CTradeKJDealDlg::kQuantityEdit, WC_EDIT, u"", kEdit, 53, 99, 61, 13},
        {CTradeKJDealDlg::kQuantitySpin, UPDOWN_CLASS, u"", kSpin, 122, 98, 11, 14},
        {-1, WC_STATIC, u"股", WS_CHILD | WS_VISIBLE | SS_RIGHT, 137, 100, 9, 8},
        {CTradeKJDealDlg::kOrderButton, WC_BUTTON, u"买入", kButton | BS_DEFPUSHBUTTON, 10, 119, 40, 14},
        {CTradeKJDealDlg::kCancelButton, WC_BUTTON, u"取消", kButton | BS_DEFPUSHBUTTON, 93, 119, 40, 14},
    }};

bool g_registered = [] {
  RegisterDialogTemplate(CTradeKJDealDlg::kTemplateId, &kQuickTemplate);
  return true;
}();

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

CTradeKJDealDlg::CTradeKJDealDlg(TradeSession* session, CWnd* parent)
    : CDialog(kTemplateId, parent), session_(session) {
  (void)g_registered;
}

CTradeKJDealDlg::~CTradeKJDealDlg() {
  infoInbox_.AbandonAll();
  orderInbox_.AbandonAll();
}

WString CTradeKJDealDlg::ItemText(UINT id) {
  CWnd* item = GetDlgItem(id);
  return item ? item->GetWindowText() : WString();
}

BOOL CTradeKJDealDlg::OnInitDialog() {
  // 1.
  CDialog::OnInitDialog();
  infoInbox_.Attach(m_hWnd, session_);
  orderInbox_.Attach(m_hWnd, session_);
  holders_.SubclassDlgItem(kHolderList, this);
  kinds_.SubclassDlgItem(kKindList, this);
  price_.SubclassDlgItem(kPriceEdit, this);
  quantity_.SubclassDlgItem(kQuantityEdit, this);
  marketOrder_.SubclassDlgItem(kMarketOrderEdit, this);
  // The lists' templates give their dropped height; closed, each is as high
  // as an edit.
  CRect field;
  price_.GetWindowRect(&field);
  for (CComboBox* list : {&holders_, &kinds_}) {
    CRect r;
    list->GetWindowRect(&r);
    ScreenToClient(&r);
    list->MoveWindow(r.left, r.top, r.Width(), field.Height());
  }
  // 2.
  const bool buy = side_ == 0;
  SetWindowText(buy ? u"闪电买入" : u"闪电卖出");
  SetDlgItemTextW(m_hWnd, kPriceCaption, buy ? u"买入价格：" : u"卖出价格：");
  SetDlgItemTextW(m_hWnd, kQuantityCaption, buy ? u"买入数量：" : u"卖出数量：");
  SetDlgItemTextW(m_hWnd, kOrderButton, buy ? u"买入" : u"卖出");
  SetDlgItemTextW(m_hWnd, kMaximumCaption, buy ? u"最大可买：" : u"最大可卖：");
  // 3.
  TradeLoginInfo login;
  GetTradeLoginInfo(session_, &login);
  FillList(holders_, order_ticket::ShareholderEntries(login, true));
  FillList(kinds_, order_ticket::LimitOrderKinds());
  // 4.
  marketOrder_.ShowWindow(SW_HIDE);
  // 5.
  if (order_ticket::IsStockCode(code_)) {
    SetDlgItemTextW(m_hWnd, kCodeText, code_.c_str());
    report_ = true;
    const std::string code8 = Narrow(code_);
    infoInbox_.Sent(RequestOrderInfo(session_, TradeReplyInbox::Notify, infoInbox_.User(), code8.c_str(),
                                     buy ? 1 : 2));
  }
  return TRUE;
}

void CTradeKJDealDlg::OnCancel() {
  infoInbox_.AbandonAll();
  orderInbox_.AbandonAll();
  CDialog::OnCancel();
}

void CTradeKJDealDlg::SelectMarket(int market) {
  std::vector<WString> kinds;
  if (order_ticket::OrderKinds(market, &kinds)) {
    FillList(kinds_, kinds);
    OnKindChange();
  }
  std::vector<WString> entries;
  for (int i = 0; i < holders_.GetCount(); ++i) entries.push_back(holders_.GetLBText(i));
  holders_.SetCurSel(order_ticket::ShareholderIndex(entries, market));
}

void CTradeKJDealDlg::OnKindChange() {
  const bool limit = kinds_.GetCurSel() <= 0;
  for (UINT id : {kPriceEdit, kPriceSpin, kPriceUnit})
    if (CWnd* w = GetDlgItem(id)) w->ShowWindow(limit ? SW_SHOW : SW_HIDE);
  marketOrder_.SetWindowText(limit ? u"" : u"市价委托");
  marketOrder_.EnableWindow(FALSE);
  marketOrder_.ShowWindow(limit ? SW_HIDE : SW_SHOW);
  Invalidate();
}

void CTradeKJDealDlg::PlaceOrder() {
  if (orderInbox_.InFlight() > 0) {
    ShowTradeInputError(m_hWnd, u"上一笔委托尚未返回，请稍候");
    return;
  }
  order_ticket::OrderInput input;
  input.side = side_;
  input.code = ItemText(kCodeText);
  input.name = ItemText(kNameText);
  input.price = price_.GetWindowText();
  input.quantity = quantity_.GetWindowText();
  input.maximum = ItemText(kMaximumText);
  input.kindIndex = kinds_.GetCurSel() < 0 ? 0 : kinds_.GetCurSel();
  input.kindText = ListText(kinds_);
  input.shareholder = ListText(holders_);
  // Unsafe input is stopped before the confirmation, as in the order form.
  if (const WCHAR* error = order_ticket::CheckOrder(input)) {
    ShowTradeInputError(m_hWnd, error);
    return;
  }
  const WString text = order_ticket::ConfirmationText(input);
  if (MessageBoxW(m_hWnd, text.c_str(), order_ticket::ConfirmationTitle(side_, true), MB_OKCANCEL | MB_ICONQUESTION) !=
      IDOK)
    return;
  const order_ticket::OrderInfoView view = order_ticket::ReadOrderInfo(info_, side_);
  const order_ticket::OrderFields f = order_ticket::MakeOrderFields(input, view.market);
  orderInbox_.Sent(RequestPlaceOrder(session_, TradeReplyInbox::Notify, orderInbox_.User(), f.market,
                                     f.shareholderCode.c_str(), f.stockCode.c_str(), f.side.c_str(),
                                     f.quantity.c_str(), f.price.c_str(), f.priceType.c_str()));
}

void CTradeKJDealDlg::HandleInfoReply(TradeInboxItem item) {
  TradeReply* reply = item.reply.get();
  if (item.status == 0 && strcmp(reply->errorCode, "0000") == 0) {
    ParseOrderInfo(&info_, reply->records);
    const order_ticket::OrderInfoView view = order_ticket::ReadOrderInfo(info_, side_);
    SetDlgItemTextW(m_hWnd, kMaximumText, view.maximum.c_str());
    SetDlgItemTextW(m_hWnd, kNameText, view.name.c_str());
    if (report_) {
      price_.SetWindowText(view.price);
      SelectMarket(view.market);
    }
    Invalidate();
    UpdateWindow();
    return;
  }
  if (!report_) return;
  report_ = false;
  if (item.status == 0) ShowTradeServerMessage(m_hWnd, reply->message);
  else ShowTradeMessage(m_hWnd, item.status == 2 ? u"网络连接超时！" : u"网络连接失败！");
}

void CTradeKJDealDlg::HandleOrderReply(TradeInboxItem item) {
  if (item.status == 1) return ShowTradeMessage(m_hWnd, u"网络连接失败！");
  if (item.status != 0)
    return ShowTradeMessage(m_hWnd, u"网络连接超时！委托结果未知，请先查询当日委托，再决定是否重新下单。");
  ShowTradeServerMessage(m_hWnd, item.reply->message);
}

BOOL CTradeKJDealDlg::OnCmdMsg(UINT id, int code) {
  switch (id) {
    case kOrderButton:
      if (code == BN_CLICKED) PlaceOrder();
      return TRUE;
    case kCancelButton:
      if (code == BN_CLICKED) OnCancel();
      return TRUE;
    case kAllButton:
      if (code == BN_CLICKED) quantity_.SetWindowText(ItemText(kMaximumText));
      return TRUE;
    case kKindList:
      if (code == CBN_SELCHANGE) OnKindChange();
      return TRUE;
    default:
      return CDialog::OnCmdMsg(id, code);
  }
}

BOOL CTradeKJDealDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
  if (!hdr || hdr->code != UDN_DELTAPOS) return CDialog::OnNotify(wParam, lParam, result);
  const NMUPDOWN* step = reinterpret_cast<const NMUPDOWN*>(lParam);
  if (hdr->idFrom == kPriceSpin) price_.SetWindowText(order_ticket::StepPrice(price_.GetWindowText(), step->iDelta));
  else if (hdr->idFrom == kQuantitySpin)
    quantity_.SetWindowText(order_ticket::StepQuantity(quantity_.GetWindowText(), step->iDelta));
  else return CDialog::OnNotify(wParam, lParam, result);
  *result = 0;
  return TRUE;
}

LRESULT CTradeKJDealDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_TRADE_REPLY) return CDialog::WindowProc(message, wParam, lParam);
  if (wParam != 0) return 1;
  for (TradeInboxItem item = infoInbox_.Take(); item.status >= 0; item = infoInbox_.Take())
    HandleInfoReply(std::move(item));
  for (TradeInboxItem item = orderInbox_.Take(); item.status >= 0; item = orderInbox_.Take())
    HandleOrderReply(std::move(item));
  return 1;
}

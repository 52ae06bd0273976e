#include "trading/ui/bank_view.h"

#include <cstring>

#include "controls/control_messages.h"
#include "foundation/text_codec.h"
#include "trading/trade_requests.h"
#include "trading/ui/trade_messages.h"
#include "trading/ui/trade_page_font.h"

namespace {

WString Widen(const char* utf8) {
  WCHAR* wide = Utf8ToUtf16Alloc(utf8 ? utf8 : "");
  WString out = wide ? wide : u"";
  free(wide);
  return out;
}

std::string Narrow(const WString& text) {
  char* narrow = Utf16ToUtf8Alloc(text.c_str());
  std::string out = narrow ? narrow : "";
  free(narrow);
  return out;
}

void Show(CWnd& w, bool show) { w.ShowWindow(show ? SW_SHOW : SW_HIDE); }
bool Shown(CWnd& w) { return (w.GetStyle() & WS_VISIBLE) != 0; }

}  // namespace

CBankView::CBankView() = default;

CBankView::~CBankView() {
  bankInbox_.AbandonAll();
  transferInbox_.AbandonAll();
  if (keyboard_ && keyboard_->m_hWnd) keyboard_->DestroyWindow();
  if (m_hWnd) DestroyWindow();
  if (font_) DeleteObject(font_);
}

BOOL CBankView::CreatePage(CWnd* parent, UINT id, TradeSession* session) {
  session_ = session;
  if (!Create(nullptr, u"", WS_CHILD, CRect(0, 0, 0, 0), parent, id)) return FALSE;
  bankInbox_.Attach(m_hWnd, session_);
  transferInbox_.Attach(m_hWnd, session_);
  return TRUE;
}

int CBankView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  font_ = CreateTradePageFont();
  const DWORD label = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_CENTERIMAGE;
  const DWORD list = WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL;
  const DWORD password = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_PASSWORD | ES_AUTOHSCROLL;
  directionCaption_.Create(u"转账方式：", label, CRect(20, RowTop(0), 100, RowTop(0) + 20), this, kDirectionCaption);
  directions_.Create(list, CRect(100, RowTop(0), 400, RowTop(0) + 20), this, kDirectionList);
  directions_.AddString(u"银行转证券(转入)");
  directions_.AddString(u"证券转银行(转出)");
  directions_.SetCurSel(0);
  bankCaption_.Create(u"选择银行：", label, CRect(20, RowTop(1), 100, RowTop(1) + 20), this, kBankCaption);
  banks_.Create(list, CRect(100, RowTop(1), 400, RowTop(1) + 20), this, kBankList);
  bankPasswordCaption_.Create(u"银行密码：", label, CRect(), this, kBankPasswordCaption);
  bankPassword_.Create(password, CRect(), this, kBankPasswordEdit);
  bankKey_.Create(u"", WS_CHILD | WS_VISIBLE, CRect(), this, kBankKeyboard);
  fundCaption_.Create(u"资金密码：", label, CRect(), this, kFundCaption);
  fundPassword_.Create(password, CRect(), this, kFundEdit);
  fundKey_.Create(u"", WS_CHILD | WS_VISIBLE, CRect(), this, kFundKeyboard);
  fundNote_.Create(u"证券资金账户密码", label, CRect(), this, kFundNote);
  amountCaption_.Create(u"转账金额：", label, CRect(), this, kAmountCaption);
  amount_.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, CRect(), this, kAmountEdit);
  transfer_.Create(u"转账", WS_CHILD | WS_VISIBLE | WS_TABSTOP, CRect(), this, kTransferButton);
  for (FooButton* key : {&bankKey_, &fundKey_}) {
    key->SetButtonType(1);
    key->SetTextLayout(0);
    key->SetNormalImage(u"res\\Key.jpg", RGB(255, 0, 255));
    key->SetHotImage(u"res\\Key.jpg", RGB(255, 0, 255));
  }
  transfer_.SetButtonType(1);
  transfer_.SetNormalImage(u"res\\trade_btn_bg.png", RGB(255, 0, 255));
  transfer_.SetHotImage(u"res\\trade_btn_sel_bg.png", RGB(255, 0, 255));
  transfer_.SetTextColor(RGB(0, 0, 0));
  for (CWnd* w : std::initializer_list<CWnd*>{&directionCaption_, &directions_, &bankCaption_, &banks_,
                                              &bankPasswordCaption_, &bankPassword_, &fundCaption_, &fundPassword_,
                                              &fundNote_, &amountCaption_, &amount_, &transfer_})
    w->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  keyboard_ = std::make_unique<VexloSoftKeyDlg>(this);
  keyboard_->Create(this);
  keyboard_->SetTarget(this);
  background_.Load(u"res\\deal_bg.png");
  UpdateRows();
  return 0;
}

void CBankView::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  if (background_.IsNull()) dc.FillSolidRect(&rc, RGB(0xF4, 0xF7, 0xFB));
  else background_.Draw(dc.m_hDC, rc);
}

HBRUSH CBankView::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) {
  if (ctlColor != CTLCOLOR_STATIC) return CWnd::OnCtlColor(dc, wnd, ctlColor);
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextColor(wnd && wnd->GetDlgCtrlID() == static_cast<int>(kFundNote) ? RGB(255, 0, 0) : RGB(0, 0, 0));
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void CBankView::UpdateRows() {
  std::string flag = "0";
  BankList banks;
  GetTradeBankList(session_, &banks);
  const int chosen = banks_.GetCurSel();
  if (chosen >= 0 && chosen < banks.count)
    flag = banks.text[chosen][mode_ == 1 ? kBankOutPasswordFlag : kBankInPasswordFlag];
  int amountRow = 2;
  int bankRow = 2, fundRow = 2;
  if (flag == "0" || flag == "1" || flag == "2" || flag == "3") {
    const bool bank = flag == "2" || flag == "3";
    const bool fund = flag == "1" || flag == "3";
    for (CWnd* w : std::initializer_list<CWnd*>{&bankPasswordCaption_, &bankPassword_, &bankKey_}) Show(*w, bank);
    for (CWnd* w : std::initializer_list<CWnd*>{&fundCaption_, &fundPassword_, &fundKey_, &fundNote_}) Show(*w, fund);
    fundRow = bank ? 3 : 2;
    amountRow = 2 + (bank ? 1 : 0) + (fund ? 1 : 0);
  }
  // Any other flag keeps what is shown, with the amount on row 2.
  const bool both = Shown(bankPassword_) && Shown(fundPassword_);
  bankPasswordCaption_.MoveWindow(20, RowTop(bankRow), 80, 20);
  bankPassword_.MoveWindow(100, RowTop(bankRow), 300, 20);
  bankKey_.MoveWindow(410, RowTop(bankRow), 18, 13);
  fundCaption_.MoveWindow(20, RowTop(fundRow), 80, 20);
  fundPassword_.MoveWindow(100, RowTop(fundRow), 300, 20);
  fundKey_.MoveWindow(410, RowTop(fundRow), 18, 13);
  fundNote_.MoveWindow(both ? 428 : 438, RowTop(fundRow), 300, 20);
  amountCaption_.MoveWindow(20, RowTop(amountRow), 80, 20);
  amount_.MoveWindow(100, RowTop(amountRow), 300, 20);
  transfer_.MoveWindow(360, RowTop(amountRow + 1), 40, 25);
  Invalidate();
}

void CBankView::SetMode(int mode) {
  mode_ = mode;
  UpdateRows();
  if (mode == 0 || mode == 1) {
    Show(amountCaption_, true);
    Show(amount_, true);
    transfer_.SetWindowText(u"转账");
    directions_.SetCurSel(mode);
  }
  CRect rc;
  GetClientRect(&rc);
  PostMessage(WM_SIZE, 0, MAKELPARAM(rc.Width(), rc.Height()));
}

void CBankView::RequestBanks() {
  bankInbox_.Restart();
  bankInbox_.Sent(RequestBankList(session_, TradeReplyInbox::Notify, bankInbox_.User()));
}

void CBankView::FillBanks() {
  BankList banks;
  GetTradeBankList(session_, &banks);
  banks_.ResetContent();
  for (int i = 0; i < banks.count && i < kBankListEntries; ++i) banks_.AddString(Widen(banks.text[i][kBankName]).c_str());
  banks_.SetCurSel(0);
}

void CBankView::OnDirectionChange() {
  const int mode = directions_.GetCurSel() != 0 ? 1 : 0;
  directions_.SetCurSel(mode);
  mode_ = mode;
  FillBanks();
  UpdateRows();
  CRect rc;
  GetClientRect(&rc);
  PostMessage(WM_SIZE, 0, MAKELPARAM(rc.Width(), rc.Height()));
}

void CBankView::ToggleKeyboard(int field, CWnd& button) {
  if (!keyboard_ || !keyboard_->m_hWnd) return;
  if (keyboard_->IsWindowVisible()) {
    keyboard_->ShowWindow(SW_HIDE);
    keyboardField_ = 0;
    return;
  }
  keyboardField_ = field;
  CRect r;
  button.GetWindowRect(&r);
  keyboard_->SetPosition(r.left, r.top);
  keyboard_->ShowWindow(SW_SHOW);
}

void CBankView::OnSoftKey(WPARAM kind, LPARAM text) {
  CEdit* field = keyboardField_ == 1 ? &fundPassword_ : keyboardField_ == 2 ? &bankPassword_ : nullptr;
  if (!field) return;
  WString value = field->GetWindowText();
  if (kind == kSoftKeyDelete) {
    if (!value.empty()) value.pop_back();
  } else if (kind == kSoftKeyText && text) {
    value += reinterpret_cast<const WCHAR*>(text);
  } else {
    return;
  }
  field->SetWindowText(value);
}

std::string CBankView::Visible(CEdit& edit) { return Shown(edit) ? Narrow(edit.GetWindowText()) : std::string(); }

void CBankView::Transfer() {
  if (busy_) return;
  if (Shown(bankPassword_) && bankPassword_.GetWindowTextLength() == 0)
    return (void)MessageBoxW(m_hWnd, u"请输入银行密码", u"提示", MB_OK | MB_ICONQUESTION);
  if (Shown(fundPassword_) && fundPassword_.GetWindowTextLength() == 0)
    return (void)MessageBoxW(m_hWnd, u"请输入资金密码", u"提示", MB_OK | MB_ICONQUESTION);
  if (Shown(amount_) && amount_.GetWindowTextLength() == 0)
    return (void)MessageBoxW(m_hWnd, u"请输入转账金额!", u"提示", MB_OK | MB_ICONQUESTION);
  const WString question =
      WString(mode_ == 1 ? u"你确定要转出资金" : u"你确定要转入资金") + amount_.GetWindowText() + u"元吗？";
  if (MessageBoxW(m_hWnd, question.c_str(), u"提示", MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return;
  BankList banks;
  GetTradeBankList(session_, &banks);
  const int chosen = banks_.GetCurSel();
  if (chosen < 0 || chosen >= banks.count) return;
  const char (*bank)[kBankTextSize] = banks.text[chosen];
  const std::string fund = Visible(fundPassword_);
  const std::string bankPassword = Visible(bankPassword_);
  const std::string amount = Visible(amount_);
  busy_ = true;
  transferInbox_.Sent(RequestBankTransfer(session_, TradeReplyInbox::Notify, transferInbox_.User(), fund.c_str(),
                                          bank[kBankCode], bank[kBankAccount], mode_ == 1 ? "0" : "1",
                                          bankPassword.c_str(), amount.c_str(), bank[kBankCurrency]));
}

void CBankView::HandleBankList(TradeInboxItem item) {
  if (item.status != 0 || strcmp(item.reply->errorCode, "0000") != 0) return;
  if (mode_ == 2) {
    if (CWnd* parent = GetParent())
      parent->PostMessage(WM_TRADE_PANEL_COMMAND, kTradePanelCommandTag, kTradePanelTransferRecords);
    return;
  }
  FillBanks();
  UpdateRows();
  ShowWindow(SW_SHOW);
  SetFocus();
}

void CBankView::HandleTransfer(TradeInboxItem item) {
  busy_ = false;
  if (item.status == 1) return ShowTradeMessage(m_hWnd, u"网络连接失败！");
  if (item.status != 0)
    return ShowTradeMessage(m_hWnd, u"网络连接超时！转账结果未知，请先查询转账记录，再决定是否重试。");
  WCHAR* text = Utf8ToUtf16Alloc(item.reply->message);
  MessageBoxW(m_hWnd, text ? text : u"", u"提示", MB_OK | MB_ICONQUESTION);  // OK, its one answer, empties
  free(text);
  for (CEdit* edit : {&bankPassword_, &fundPassword_, &amount_})
    if (Shown(*edit)) edit->SetWindowText(u"");
}

BOOL CBankView::OnCmdMsg(UINT id, int code) {
  switch (id) {
    case kDirectionList:
      if (code == CBN_SELCHANGE) OnDirectionChange();
      return TRUE;
    case kBankList:
      if (code == CBN_SELCHANGE) UpdateRows();
      return TRUE;
    case kFundKeyboard:
      if (code == BN_CLICKED) ToggleKeyboard(1, fundKey_);
      return TRUE;
    case kBankKeyboard:
      if (code == BN_CLICKED) ToggleKeyboard(2, bankKey_);
      return TRUE;
    case kTransferButton:
      if (code == BN_CLICKED) Transfer();
      return TRUE;
    default:
      return CWnd::OnCmdMsg(id, code);
  }
}

LRESULT CBankView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SOFTKEY_INPUT) {
    OnSoftKey(wParam, lParam);
    return 0;
  }
  if (message != WM_TRADE_REPLY) return CWnd::WindowProc(message, wParam, lParam);
  for (TradeInboxItem item = bankInbox_.Take(); item.status >= 0; item = bankInbox_.Take())
    HandleBankList(std::move(item));
  for (TradeInboxItem item = transferInbox_.Take(); item.status >= 0; item = transferInbox_.Take())
    HandleTransfer(std::move(item));
  return 1;
}

#include "trading/ui/trade_login.h"

#include <cstring>

#include "controls/control_messages.h"
#include "foundation/text_codec.h"
#include "trading/trade_account.h"
#include "trading/trade_requests.h"

namespace {

constexpr DWORD kLabelStyle = WS_VISIBLE | SS_RIGHT;
constexpr DWORD kEditStyle = WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kListStyle = WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL;
constexpr DWORD kButtonStyle = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kCheckStyle = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;

const DialogTemplate kLoginTemplate = {
    WS_POPUP | DS_CENTER, 0, 0, 0, 323, 208, u"", 9, u"MS Shell Dlg",
    {
        {-1, WC_STATIC, u"登录方式", kLabelStyle, 55, 52, 44, 8},
        {CTradeLogin::kAccountTypeList, WC_COMBOBOX, u"", kListStyle, 107, 49, 114, 59},
        {-1, WC_STATIC, u"账号", kLabelStyle, 55, 71, 44, 8},
        {CTradeLogin::kAccountEdit, WC_EDIT, u"", kEditStyle, 107, 69, 114, 12},
        {-1, WC_STATIC, u"交易密码", kLabelStyle, 55, 90, 44, 8},
        {CTradeLogin::kPasswordEdit, WC_EDIT, u"", kEditStyle | ES_PASSWORD, 107, 88, 114, 12},
        {-1, WC_STATIC, u"安全方式", kLabelStyle, 55, 109, 44, 8},
        {CTradeLogin::kSecurityList, WC_COMBOBOX, u"", kListStyle, 107, 108, 40, 34},
        {CTradeLogin::kCodeEdit, WC_EDIT, u"", kEditStyle, 150, 108, 71, 12},
        {CTradeLogin::kCodeButton, WC_BUTTON, u"", kButtonStyle, 224, 108, 28, 12},
        {CTradeLogin::kMaskBox, WC_BUTTON, u"保护账号", kCheckStyle, 224, 50, 43, 10},
        {CTradeLogin::kRememberBox, WC_BUTTON, u"记住账号", kCheckStyle, 224, 70, 43, 10},
        {CTradeLogin::kKeyboardButton, WC_BUTTON, u"", kButtonStyle, 224, 88, 10, 8},
        {CTradeLogin::kStatusText, WC_STATIC, u"", WS_VISIBLE | SS_CENTER, 107, 125, 114, 12},
        {CTradeLogin::kLoginButton, WC_BUTTON, u"登录", kButtonStyle, 107, 145, 32, 12},
        {CTradeLogin::kCancelButton, WC_BUTTON, u"取消", kButtonStyle, 189, 145, 32, 12},
    }};

const WCHAR* const kAccountTypes[] = {u"普通账号", u"沪A股东", u"深A股东", u"沪B股东",
                                      u"深B股东", u"三板A股", u"三板美元"};

bool g_registered = [] {
  RegisterDialogTemplate(CTradeLogin::kTemplateId, &kLoginTemplate);
  return true;
}();

}  // namespace

WString TradeCaptchaCaption(const char* captcha) {
  if (!captcha) return WString();
  size_t length = strnlen(captcha, 4);
  // Back to the start of a character when the fifth byte continues one.
  if (length == 4 && (static_cast<unsigned char>(captcha[4]) & 0xC0) == 0x80) {
    while (length > 0 && (static_cast<unsigned char>(captcha[length]) & 0xC0) == 0x80) --length;
  }
  // A lead byte whose character does not fit goes too.
  std::string bytes(captcha, length);
  size_t i = 0, whole = 0;
  while (i < bytes.size()) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
    if (i + n > bytes.size()) break;
    i += n;
    whole = i;
  }
  bytes.resize(whole);
  WCHAR* wide = Utf8ToUtf16Alloc(bytes.c_str());
  WString out = wide ? wide : u"";
  free(wide);
  return out;
}

CTradeLogin::CTradeLogin(TradeSession* session, CWnd* parent)
    : CDialog(kTemplateId, parent), session_(session) {
  (void)g_registered;
}

CTradeLogin::~CTradeLogin() { inbox_.AbandonAll(); }

BOOL CTradeLogin::OnInitDialog() {
  CDialog::OnInitDialog();
  inbox_.Attach(m_hWnd, session_);
  background_.Load(u"res\\login_bg.png");
  accountEdit_.SubclassDlgItem(kAccountEdit, this);
  passwordEdit_.SubclassDlgItem(kPasswordEdit, this);
  codeEdit_.SubclassDlgItem(kCodeEdit, this);
  typeList_.SubclassDlgItem(kAccountTypeList, this);
  securityList_.SubclassDlgItem(kSecurityList, this);
  status_.SubclassDlgItem(kStatusText, this);
  maskBox_.SubclassDlgItem(kMaskBox, this);
  rememberBox_.SubclassDlgItem(kRememberBox, this);
  codeButton_.SubclassDlgItem(kCodeButton, this);
  loginButton_.SubclassDlgItem(kLoginButton, this);
  cancelButton_.SubclassDlgItem(kCancelButton, this);
  keyboardButton_.SubclassDlgItem(kKeyboardButton, this);

  // 1. Buttons, the keyboard pictures, the on-screen keyboard.
  loginButton_.SetDefault(TRUE);
  keyboardButton_.SetButtonType(0);
  keyboardButton_.SetTextLayout(0);
  keyboardButton_.SetNormalImage(u"res\\Key.jpg", RGB(255, 0, 255));
  keyboardButton_.SetHotImage(u"res\\Key.jpg", RGB(255, 0, 255));
  keyboard_ = std::make_unique<VexloSoftKeyDlg>(this);
  keyboard_->Create(this);
  keyboard_->SetTarget(this);

  // 2. The lists. The template gives them their dropped height; closed,
  // each is as high as the field beside it.
  CRect field;
  codeEdit_.GetWindowRect(&field);
  for (CComboBox* list : {&typeList_, &securityList_}) {
    CRect r;
    list->GetWindowRect(&r);
    ScreenToClient(&r);
    list->MoveWindow(r.left, r.top, r.Width(), field.Height());
  }
  for (const WCHAR* type : kAccountTypes) typeList_.AddString(type);
  securityList_.AddString(u"验证码");
  securityList_.SetCurSel(0);

  // 3, 4. The saved account.
  LoadSavedAccount();

  // 5. The trade address from the server directory; without one the code
  // request below is not sent and counts as a network failure.
  LoadTradeAddressFromServerList(session_);

  // 7. Off the task bar.
  ModifyStyleEx(0, WS_EX_TOOLWINDOW);

  // 6. The first code.
  AskForCode();
  return TRUE;
}

void CTradeLogin::LoadSavedAccount() {
  LoadTradeAccount(session_);
  const TradeSavedAccount& saved = session_->saved;
  if (strcmp(saved.tradeSign, "1") != 0) {
    typeList_.SetCurSel(0);
    rememberBox_.SetCheck(BST_UNCHECKED);
  } else {
    WCHAR* account = Utf8ToUtf16Alloc(saved.account);
    accountEdit_.SetWindowText(account ? account : u"");
    free(account);
    int type = saved.tradeType;
    typeList_.SetCurSel(type >= 0 && type < static_cast<int>(std::size(kAccountTypes)) ? type : 0);
    rememberBox_.SetCheck(BST_CHECKED);
  }
  maskBox_.SetCheck(strcmp(saved.tradeProtection, "1") == 0 ? BST_CHECKED : BST_UNCHECKED);
  ApplyMask();
}

void CTradeLogin::ApplyMask() {
  accountEdit_.SetPasswordChar(maskBox_.GetCheck() == BST_CHECKED ? passwordEdit_.GetPasswordChar() : 0);
  accountEdit_.Invalidate();
}

void CTradeLogin::EnableButtons(BOOL enable) {
  codeButton_.EnableButton(enable);
  loginButton_.EnableButton(enable);
}

void CTradeLogin::SetStatus(const WCHAR* text) {
  status_.SetWindowText(text);
  // The static has no background of its own: the picture under it shows.
  CRect r;
  status_.GetWindowRect(&r);
  ScreenToClient(&r);
  InvalidateRect(&r);
}

WString CTradeLogin::ItemText(UINT id) {
  CWnd* item = GetDlgItem(id);
  return item ? item->GetWindowText() : WString();
}

void CTradeLogin::AskForCode() {
  SetStatus(u"获取验证码......");
  EnableButtons(FALSE);
  phase_ = 0;
  inbox_.Sent(RequestTradeCaptcha(session_, TradeReplyInbox::Notify, inbox_.User(), 0, 4, 0));
}

void CTradeLogin::OnOK() {
  if (!loginButton_.IsWindowEnabled()) return;
  const WString account = ItemText(kAccountEdit);
  const WString password = ItemText(kPasswordEdit);
  const WString code = ItemText(kCodeEdit);
  if (account.empty()) return ShowTradeMessage(m_hWnd, u"请输入账号！");
  if (password.empty()) return ShowTradeMessage(m_hWnd, u"请输入密码！");
  if (code.empty()) return ShowTradeMessage(m_hWnd, u"请输入验证码！");
  SetStatus(u"认证中.....");
  phase_ = 1;
  EnableButtons(FALSE);
  char* account8 = Utf16ToUtf8Alloc(account.c_str());
  char* password8 = Utf16ToUtf8Alloc(password.c_str());
  char* code8 = Utf16ToUtf8Alloc(code.c_str());
  int type = typeList_.GetCurSel();
  inbox_.Sent(RequestTradeLogin(session_, TradeReplyInbox::Notify, inbox_.User(), type < 0 ? 0 : type,
                                account8 ? account8 : "", password8 ? password8 : "", 2, code8 ? code8 : ""));
  free(account8);
  if (password8) memset(password8, 0, strlen(password8));
  free(password8);
  free(code8);
}

void CTradeLogin::OnCancel() {
  inbox_.AbandonAll();
  if (keyboard_ && keyboard_->m_hWnd) keyboard_->ShowWindow(SW_HIDE);
  EndDialog(IDCANCEL);
}

void CTradeLogin::OnClose() { OnCancel(); }

void CTradeLogin::OnDestroy() {
  inbox_.AbandonAll();
  inbox_.Attach(nullptr, session_);
  CDialog::OnDestroy();
}

BOOL CTradeLogin::OnCmdMsg(UINT id, int code) {
  switch (id) {
    case kCodeButton:
      if (codeButton_.IsWindowEnabled()) AskForCode();
      return TRUE;
    case kLoginButton:
      OnOK();
      return TRUE;
    case kCancelButton:
      OnCancel();
      return TRUE;
    case kMaskBox:
      ApplyMask();
      return TRUE;
    case kKeyboardButton:
      ToggleKeyboard();
      return TRUE;
    default:
      return CDialog::OnCmdMsg(id, code);
  }
}

void CTradeLogin::ToggleKeyboard() {
  if (!keyboard_ || !keyboard_->m_hWnd) return;
  if (keyboard_->IsWindowVisible()) {
    keyboard_->ShowWindow(SW_HIDE);
    ::SetActiveWindow(m_hWnd);  // the keys come back to the dialog
    return;
  }
  CRect r;
  keyboardButton_.GetWindowRect(&r);
  keyboard_->SetPosition(r.left, r.top);
  keyboard_->ShowWindow(SW_SHOW);
}

void CTradeLogin::OnSoftKeyInput(WPARAM kind, LPARAM text) {
  WString password = passwordEdit_.GetWindowText();
  if (kind == kSoftKeyDelete) {
    if (!password.empty()) password.pop_back();
  } else if (kind == kSoftKeyText && text) {
    password += reinterpret_cast<const WCHAR*>(text);
  } else {
    return;
  }
  passwordEdit_.SetWindowText(password.c_str());
}

void CTradeLogin::OnLoginReply(int status) {
  TradeInboxItem item = inbox_.Take();
  if (item.status < 0) return;
  status = item.status;
  const TradeReply* reply = item.reply.get();
  if (status == 1 || status == 2) {
    EnableButtons(TRUE);
    ShowTradeMessage(m_hWnd, status == 1 ? u"网络连接失败！" : u"网络连接超时！");
    return;
  }
  if (status != 0) return;
  const bool ok = strcmp(reply->errorCode, "0000") == 0;
  if (phase_ == 0) {
    EnableButtons(TRUE);
    PostMessage(WM_TRADE_REPLY);
    if (!ok) ShowTradeServerMessage(m_hWnd, reply->message);
    codeEdit_.SetWindowText(u"");
    return;
  }
  if (!ok) {
    EnableButtons(TRUE);
    PostMessage(WM_TRADE_REPLY);
    ShowTradeServerMessage(m_hWnd, reply->message);
    return;
  }
  {
    std::lock_guard<std::mutex> hold(session_->lock);
    session_->loggedIn = true;
  }
  const char* protection = maskBox_.GetCheck() == BST_CHECKED ? "1" : "0";
  if (rememberBox_.GetCheck() == BST_CHECKED) {
    char* account8 = Utf16ToUtf8Alloc(ItemText(kAccountEdit).c_str());
    int type = typeList_.GetCurSel();
    SetTradeAccount(session_, session_->tradeAddress, account8 ? account8 : "", type < 0 ? 0 : type, "", "", "",
                    "1", protection);
    free(account8);
  } else {
    SetTradeAccount(session_, session_->tradeAddress, "", 0, "", "", "", "0", protection);
  }
  SaveTradeAccount(session_);
  EndDialog(IDOK);
}

void CTradeLogin::ShowCode() {
  SetStatus(u"");
  char captcha[kTradeCaptchaSize];
  GetTradeCaptcha(session_, captcha);
  WString caption = TradeCaptchaCaption(captcha);
  codeButton_.SetWindowText(caption.empty() ? u"获取" : caption.c_str());
  codeButton_.Invalidate();
}

LRESULT CTradeLogin::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TRADE_LOGIN_REPLY:
      OnLoginReply(static_cast<int>(lParam));
      return 0;
    case WM_TRADE_REPLY:
      ShowCode();
      return 0;
    case WM_SOFTKEY_INPUT:
      OnSoftKeyInput(wParam, lParam);
      return 0;
    default:
      return CDialog::WindowProc(message, wParam, lParam);
  }
}

BOOL CTradeLogin::OnEraseBkgnd(CDC*) { return TRUE; }

void CTradeLogin::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  if (background_.IsNull()) dc.FillSolidRect(&rc, RGB(24, 28, 36));
  else background_.Draw(dc.m_hDC, rc);
}

HBRUSH CTradeLogin::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) {
  if (ctlColor == CTLCOLOR_STATIC) {
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(RGB(0x22, 0x33, 0x55));
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  }
  return CDialog::OnCtlColor(dc, wnd, ctlColor);
}

#include "shell/login_dialog.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "foundation/board_config.h"
#include "foundation/config_store.h"
#include "foundation/debug_trace.h"
#include "foundation/draw_helpers.h"
#include "foundation/user_folders.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/window/win_icons.h"
#include "shell/program_identity.h"

using namespace login_ids;

namespace {

constexpr DWORD kEdit = WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kCheck = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT;
constexpr COLORREF kLinkColor = 0xFF0000;  // COLORREF: blue
constexpr int kLinkIds[3] = {kPreferredSite, kNetworkSettings, kSignUp};
constexpr COLORREF kStripColor = RGB(227, 234, 243);
constexpr UINT_PTR kAutoSignInTimer = 0x5301;

// Template 135, in dialog units of "MS Shell Dlg" 9 pt.
const DialogTemplate kLoginTemplate = {
    WS_POPUP | WS_VISIBLE | DS_SETFONT, WS_EX_APPWINDOW, 0, 0, 389, 217, nullptr, 9, u"MS Shell Dlg",
    {
        {kAccount, WC_EDIT, u"", kEdit, 33, 183, 73, 12},
        {kPassword, WC_EDIT, u"", kEdit | ES_PASSWORD, 136, 183, 53, 12},
        {kCaptcha, WC_EDIT, u"", kEdit, 228, 183, 34, 12},
        {kLogin, WC_BUTTON, u"", WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 335, 171, 54, 46},
        {kRememberAccount, WC_BUTTON, u"记住账号", kCheck, 33, 197, 40, 13},
        {kRememberPassword, WC_BUTTON, u"记住密码", kCheck, 136, 197, 40, 13},
        {kPreferredSite, WC_STATIC, u"优选主站", SS_LEFT, 359, 157, 29, 8},  // not visible
        {-1, WC_STATIC, u"点图刷新", kLabel, 272, 199, 40, 8},
        {kClose, WC_BUTTON, u"", WS_VISIBLE | BS_OWNERDRAW, 374, 0, 15, 15},
        {-1, WC_STATIC, u"账号", kLabel, 15, 185, 15, 8},
        {-1, WC_STATIC, u"密码", kLabel, 118, 185, 15, 8},
        {-1, WC_STATIC, u"验证码", kLabel, 202, 185, 23, 8},
        {kNetworkSettings, WC_STATIC, u"网络设置", kLabel, 203, 199, 43, 8},
        {kSignUp, WC_STATIC, u"注册", kLabel, 313, 185, 15, 8},
    },
};

}  // namespace

const char kSignUpHost[] = "127.0.0.1";

std::string SignUpAddress() {
  const char* host = GetConfig("SignUpHost");
  return "https://" + std::string(host && *host ? host : kSignUpHost) + ":8088/gyam/goAddCustomerBytel.html";
}

void RunNetworkOptions() { DebugPrintf("login: network options asked for\n"); }

void OpenSignUpPage(const std::string& address) { DebugPrintf("login: sign-up page %s asked for\n", address.c_str()); }

CLoginDlg::CLoginDlg() : CDialog(static_cast<UINT>(kTemplate), nullptr) {
  if (!FindDialogTemplate(kTemplate)) RegisterDialogTemplate(kTemplate, &kLoginTemplate);
  icon_ = LoadIconW(nullptr, MAKEINTRESOURCEW(128));
  loginPicture_.Load(u"login_res\\login.png");
  chain_ = std::make_unique<LoginChain>(this);
}

CLoginDlg::~CLoginDlg() {
  // The chain goes first: its workers may still wake this window.
  chain_.reset();
  if (icon_) DestroyIcon(icon_);
}

void CLoginDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Text(dx, kAccount, account_);
  DDX_Text(dx, kPassword, password_);
  DDX_Text(dx, kCaptcha, captcha_);
  DDX_Control(dx, kLogin, loginButton_);
  DDX_Control(dx, kClose, closeButton_);
  DDX_Control(dx, kRememberAccount, rememberAccount_);
  DDX_Control(dx, kRememberPassword, rememberPassword_);
  DDX_Control(dx, kPreferredSite, preferredSite_);
  DDX_Control(dx, kNetworkSettings, networkSettings_);
  DDX_Control(dx, kSignUp, signUp_);
}

BOOL CLoginDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  // The template has no caption; the window text is what the single-
  // instance search looks for. (The layer attaches a dialog's object after
  // WM_CREATE, so this is the first moment the object sees its window.)
  SetWindowText(kProgramTitle);
  wakeTarget_ = m_hWnd;
  {
    CClientDC dc(this);
    ChooseUiFontFace(dc.m_hDC);
  }
  if (icon_) {
    SetWindowIcon(m_hWnd, icon_, TRUE);
    SetWindowIcon(m_hWnd, icon_, FALSE);
  }
  CRect client;
  GetClientRect(&client);
  CRect animation = client;
  animation.bottom -= client.Height() * 4 / 19;
  gif_.Create(animation, this, kAnimation, Utf8ToWide(InstallRoot() + "login_res\\VexloStart.gif").c_str());

  CRect edit;
  GetDlgItem(kCaptcha)->GetWindowRect(&edit);
  ScreenToClient(&edit);
  code_.Create(CRect(edit.right + 20, edit.top, edit.right + 80, edit.bottom), this, 0);

  for (FooButton* button : {&loginButton_, &closeButton_}) {
    button->SetButtonType(1);
    button->SetDefault(TRUE);
  }
  loginButton_.SetNormalImage(u"login_res\\btnLogin.png", 0xFF00FF);
  loginButton_.SetHotImage(u"login_res\\btnLogin.png", 0xFF00FF);
  loginButton_.SetDisabledImage(u"login_res\\btnLogin.png", 0xFF00FF);
  closeButton_.SetNormalImage(u"login_res\\btnClose.png", 0xFF00FF);
  closeButton_.SetHotImage(u"login_res\\btnClose.png", 0xFF00FF);
  CRect login;
  loginButton_.GetWindowRect(&login);
  ScreenToClient(&login);
  login.top += 1;
  loginButton_.MoveWindow(&login);

  preferredSite_.ShowWindow(SW_HIDE);

  LoadConfig();
  LoadBoardConfig();
  const char* saveId = GetConfig("saveid");
  const bool keepAccount = saveId && std::strstr(saveId, "1");
  rememberAccount_.SetCheck(keepAccount ? BST_CHECKED : BST_UNCHECKED);
  if (keepAccount) account_ = Utf8ToWide(GetConfig("account") ? GetConfig("account") : "");
  const char* savePassword = GetConfig("savepwd");
  const bool keepPassword = savePassword && std::strstr(savePassword, "1");
  rememberPassword_.SetCheck(keepPassword ? BST_CHECKED : BST_UNCHECKED);
  if (keepPassword) password_ = Utf8ToWide(GetConfig("password") ? GetConfig("password") : "");
  UpdateData(FALSE);

  UpdateData(TRUE);
  chain_->RequestServerList();
  if (auto_.on) SetTimer(kAutoSignInTimer, 100, nullptr);
  return TRUE;
}

void CLoginDlg::SignInAutomatically(const WString& account, const WString& password, const WString& captcha,
                                    ULONGLONG deadline) {
  auto_.on = true;
  auto_.account = account;
  auto_.password = password;
  auto_.captcha = captcha;
  auto_.deadline = deadline;
}

void CLoginDlg::OnTimer(UINT_PTR id) {
  if (id != kAutoSignInTimer) return CDialog::OnTimer(id);
  const char* stop = nullptr;
  if (GetTickCount64() > auto_.deadline) {
    stop = "no main window within the time allowed";
  } else if (chain_->Busy() || chain_->Finished()) {
    return;
  } else if (auto_.pressed) {
    stop = "the sign-in stopped";
  } else if (!loginButton_.IsWindowEnabled()) {
    stop = "no server list";
  } else {
    SetDlgItemTextW(m_hWnd, kAccount, auto_.account.c_str());
    SetDlgItemTextW(m_hWnd, kPassword, auto_.password.c_str());
    SetDlgItemTextW(m_hWnd, kCaptcha, auto_.captcha.c_str());
    auto_.pressed = true;
    OnOK();
  }
  if (!stop) return;
  std::fprintf(stderr, "Korvane --snapshot: %s (%s)\n", stop, WideToUtf8(status_).c_str());
  std::fflush(stderr);
  _exit(1);
}

void CLoginDlg::OnOK() {
  UpdateData(TRUE);
  chain_->Login(account_, password_, captcha_);
}

BOOL CLoginDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam);
  if (HIWORD(wParam) != BN_CLICKED) return CDialog::OnCommand(wParam, lParam);
  switch (id) {
    case kLogin:
      OnOK();
      return TRUE;
    case kClose:
      OnCancel();
      return TRUE;
    case kRememberAccount:
      if (rememberAccount_.GetCheck() != BST_CHECKED) rememberPassword_.SetCheck(BST_UNCHECKED);
      return TRUE;
    case kRememberPassword:
      if (rememberPassword_.GetCheck() == BST_CHECKED) rememberAccount_.SetCheck(BST_CHECKED);
      return TRUE;
    default:
      return CDialog::OnCommand(wParam, lParam);
  }
}

LRESULT CLoginDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LOGIN_STEP:
      chain_->RunPending();
      return 0;
    case WM_LOGIN_FINISHED:
      CDialog::OnOK();
      return 0;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<LRESULT>(icon_);
    default:
      return CDialog::WindowProc(message, wParam, lParam);
  }
}

BOOL CLoginDlg::OnEraseBkgnd(CDC*) { return TRUE; }

void CLoginDlg::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  const int height = client.Height();
  const CRect strip(0, height * 15 / 19, client.Width(), height * 15 / 19 + height * 4 / 19);
  // Rows the integer divisions leave below the strip take its colour.
  const CRect below(0, strip.top, client.Width(), client.bottom);
  dc.FillSolidRect(&below, kStripColor);
  if (!loginPicture_.IsNull()) loginPicture_.Draw(dc.m_hDC, strip);
  StoreLinkRects();
}

void CLoginDlg::StoreLinkRects() {
  for (int i = 0; i < 3; ++i) {
    CWnd* link = GetDlgItem(kLinkIds[i]);
    if (!link) continue;
    link->GetWindowRect(&linkRects_[i]);
    ScreenToClient(&linkRects_[i]);
  }
}

int CLoginDlg::LinkAt(CPoint point) const {
  for (int i = 1; i < 3; ++i)
    if (linkRects_[i].PtInRect(point)) return kLinkIds[i];
  return 0;
}

HBRUSH CLoginDlg::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) {
  if (ctlColor != CTLCOLOR_STATIC) return CDialog::OnCtlColor(dc, wnd, ctlColor);
  dc->SetBkMode(TRANSPARENT);
  const int id = wnd ? wnd->GetDlgCtrlID() : 0;
  if (id == kPreferredSite || id == kNetworkSettings || id == kSignUp) dc->SetTextColor(kLinkColor);
  return static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
}

void CLoginDlg::OnMouseMove(UINT flags, CPoint point) {
  if (LinkAt(point)) SetCursor(LoadCursorW(nullptr, IDC_HAND));
  CDialog::OnMouseMove(flags, point);
}

void CLoginDlg::OnLButtonDown(UINT flags, CPoint point) {
  const int link = LinkAt(point);
  if (link) SetCursor(LoadCursorW(nullptr, IDC_HAND));
  if (link == kNetworkSettings) RunNetworkOptions();
  if (link == kSignUp) OpenSignUpPage(SignUpAddress());
  CDialog::OnLButtonDown(flags, point);
}

void CLoginDlg::OnDestroy() {
  wakeTarget_ = nullptr;
  CDialog::OnDestroy();
  if (gif_.m_hWnd) gif_.DestroyWindow();
}

// ------------------------------------------------------------------ LoginView

void CLoginDlg::WakeUp() {
  HWND target = wakeTarget_;
  if (target) ::PostMessageW(target, WM_LOGIN_STEP, 0, 0);
}

void CLoginDlg::ShowStatus(const WString& text) {
  status_ = text;
  gif_.SetText(text);
}

void CLoginDlg::EnableLogin(bool enable) { loginButton_.EnableButton(enable ? TRUE : FALSE); }

void CLoginDlg::SetCodeAddress(const char* address) { code_.SetUrl(address); }

void CLoginDlg::RefreshCode() { code_.Refresh(); }

int CLoginDlg::Ask(const WString& text, const WString& caption, UINT type, bool ownerless) {
  return ::MessageBoxW(ownerless ? nullptr : m_hWnd, text.c_str(), caption.c_str(), type);
}

bool CLoginDlg::RememberAccount() { return rememberAccount_.GetCheck() == BST_CHECKED; }

bool CLoginDlg::RememberPassword() { return rememberPassword_.GetCheck() == BST_CHECKED; }

void CLoginDlg::CloseForUpdate() { SendMessage(WM_CLOSE); }

void CLoginDlg::Finish() {
  HWND target = wakeTarget_;
  if (target) ::PostMessageW(target, WM_LOGIN_FINISHED, 0, 0);
}

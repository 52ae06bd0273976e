// CLoginDlg: the modal sign-in dialog the start-up runs before any other
// window exists. Its upper part is the animation with the status line, its
// lower strip a picture with the account, password and captcha edits, the
// check boxes 记住账号 / 记住密码, the links 网络设置 and 注册 and the login
// and close buttons. The dialog is a thin view over the LoginChain: the
// chain fetches the server list at start, signs in on OK and ends the
// dialog with IDOK through WM_LOGIN_FINISHED (IDCANCEL: the close button,
// Esc, or the updater was started).
//
// UI thread only; the chain's workers reach it through WakeUp (a posted
// message).
#pragma once

#include <atomic>
#include <memory>

#include "controls/captcha_window.h"
#include "controls/foo_button.h"
#include "controls/gif_control.h"
#include "controls/skinned_basics.h"
#include "platform/mfc/afx_controls.h"
#include "shell/login_chain.h"

// Control ids of template 135.
namespace login_ids {
constexpr int kTemplate = 135;
constexpr int kCaptcha = 199;
constexpr int kLogin = 200;
constexpr int kAccount = 201;
constexpr int kPassword = 202;
constexpr int kAnimation = 203;
constexpr int kClose = 204;
constexpr int kPreferredSite = 1046;
constexpr int kNetworkSettings = 1077;
constexpr int kSignUp = 1114;
constexpr int kRememberAccount = 5119;
constexpr int kRememberPassword = 5120;
}  // namespace login_ids

// Wakes the dialog to run what the chain's workers queued (wParam, lParam 0).
constexpr UINT WM_LOGIN_STEP = WM_APP + 0x131;

// The brokerage's sign-up page: "https://<host>:8088/gyam/goAddCustomerBytel.html"
// with the host of the configuration key "SignUpHost", else kSignUpHost.
extern const char kSignUpHost[];
std::string SignUpAddress();

// What the two links open. Until the proxy-options dialog and the page
// dialog exist they only leave a trace.
void RunNetworkOptions();
void OpenSignUpPage(const std::string& address);

class CLoginDlg : public CDialog, public LoginView {
 public:
  CLoginDlg();
  ~CLoginDlg() override;

  // The sign-in results for the main frame (valid after IDOK).
  const LoginResults& Results() const { return chain_->Results(); }
  LoginChain& Chain() { return *chain_; }

  // LoginView.
  void WakeUp() override;
  void ShowStatus(const WString& text) override;
  void EnableLogin(bool enable) override;
  void SetCodeAddress(const char* address) override;
  void RefreshCode() override;
  int Ask(const WString& text, const WString& caption, UINT type, bool ownerless) override;
  bool RememberAccount() override;
  bool RememberPassword() override;
  void CloseForUpdate() override;
  void Finish() override;

  // The snapshot switch: once the server list is in, the fields are filled
  // and login pressed once. When the chain stops short (a failure, a
  // refusal) or the deadline (a GetTickCount64 value) passes, one line goes
  // to the standard error and the process ends with exit code 1.
  void SignInAutomatically(const WString& account, const WString& password, const WString& captcha,
                           ULONGLONG deadline);

  // The status line as last set (the animation draws it).
  const WString& StatusText() const { return status_; }
  // The captcha window (for tests and the snapshot switch).
  CRandomCodeWnd& CodeWindow() { return code_; }

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnDestroy() override;
  void OnTimer(UINT_PTR id) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void StoreLinkRects();
  int LinkAt(CPoint point) const;

  HICON icon_ = nullptr;
  CImage loginPicture_;
  CGifCtrl gif_;
  CRandomCodeWnd code_;
  WString account_;
  WString password_;
  FooButton loginButton_;
  FooButton closeButton_;
  CVexloCheckBox rememberAccount_;
  CVexloCheckBox rememberPassword_;
  CRect linkRects_[3];
  CStatic preferredSite_;
  CStatic networkSettings_;
  CStatic signUp_;
  WString captcha_;
  WString status_;
  std::atomic<HWND> wakeTarget_{nullptr};  // the window WakeUp posts to, while it lives
  std::unique_ptr<LoginChain> chain_;
  struct AutoSignIn {
    bool on = false;
    bool pressed = false;
    WString account, password, captcha;
    ULONGLONG deadline = 0;
  } auto_;
};

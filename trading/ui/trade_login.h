// The trade login dialog (template 105): account type, account, trade
// password (typed or from the on-screen keyboard), the verification code the
// trade server hands out, "保护账号" and "记住账号". It takes the trade
// address from the server directory, asks for a code as it opens, logs in,
// and on success marks the session logged in, writes TradeUser.data and
// ends with IDOK; every other way out ends with IDCANCEL after abandoning
// the request in flight.
#pragma once

#include <memory>

#include "controls/foo_button.h"
#include "controls/skinned_basics.h"
#include "controls/soft_keyboard.h"
#include "platform/mfc/afx_controls.h"
#include "trading/trade_session.h"
#include "trading/ui/trade_reply_inbox.h"

class CTradeLogin : public CDialog {
 public:
  static constexpr UINT kTemplateId = 105;
  enum : UINT {
    kAccountEdit = 1009,
    kPasswordEdit = 1010,
    kSecurityList = 1011,
    kCodeEdit = 1012,
    kMaskBox = 1004,
    kRememberBox = 1007,
    kKeyboardButton = 1016,
    kLoginButton = 1017,
    kAccountTypeList = 1018,
    kCancelButton = 1019,
    kStatusText = 1022,
    kCodeButton = 1030,
  };

  CTradeLogin(TradeSession* session, CWnd* parent = nullptr);
  ~CTradeLogin() override;

  // The kept phase: 0 while a code request is in flight, 1 a login request.
  int Phase() const { return phase_; }
  VexloSoftKeyDlg* Keyboard() { return keyboard_.get(); }
  TradeReplyInbox& Inbox() { return inbox_; }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  void OnClose() override;
  void OnDestroy() override;
  BOOL OnCmdMsg(UINT id, int code) override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnPaint() override;
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void LoadSavedAccount();
  void AskForCode();
  void OnLoginReply(int status);
  void ShowCode();
  void ApplyMask();
  void ToggleKeyboard();
  void OnSoftKeyInput(WPARAM kind, LPARAM text);
  void EnableButtons(BOOL enable);
  void SetStatus(const WCHAR* text);
  WString ItemText(UINT id);

  TradeSession* session_;
  int phase_ = 0;
  TradeReplyInbox inbox_{WM_TRADE_LOGIN_REPLY};
  FooButton codeButton_, loginButton_, cancelButton_, keyboardButton_;
  CVexloCheckBox maskBox_, rememberBox_;
  CEdit accountEdit_, passwordEdit_, codeEdit_;
  CComboBox typeList_, securityList_;
  CStatic status_;
  std::unique_ptr<VexloSoftKeyDlg> keyboard_;
  CImage background_;
};

// The first four bytes of a verification code, cut back to a whole UTF-8
// character, as UTF-16.
WString TradeCaptchaCaption(const char* captcha);

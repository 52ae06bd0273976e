// The bank transfer page of the trade panel: direction, bound bank, the
// password rows the bank's flag asks for (bank password, fund password or
// both), the amount, and "转账" with its confirmation. The bank list ("12")
// is fetched once per login; in mode 2 it is fetched only for the transfer
// records page. A transfer ("13") is sent once until its reply, whose
// outcome is always shown.
#pragma once

#include <memory>
#include <string>

#include "controls/foo_button.h"
#include "controls/soft_keyboard.h"
#include "platform/mfc/afx.h"
#include "platform/mfc/afx_controls.h"
#include "trading/ui/trade_pages.h"
#include "trading/ui/trade_reply_inbox.h"

class CBankView : public CWnd, public ITradeBankPage {
 public:
  enum : UINT {
    kDirectionCaption = 5100,
    kBankCaption = 5101,
    kFundCaption = 5102,
    kFundNote = 5103,
    kAmountCaption = 5105,
    kFundEdit = 5109,
    kAmountEdit = 5110,
    kTransferButton = 5111,
    kDirectionList = 5112,
    kBankList = 5113,
    kBankPasswordCaption = 5114,
    kBankPasswordEdit = 5115,
    kFundKeyboard = 5117,
    kBankKeyboard = 5118,
  };
  static int RowTop(int row) { return 30 + 30 * row; }

  CBankView();
  ~CBankView() override;

  BOOL CreatePage(CWnd* parent, UINT id, TradeSession* session) override;
  CWnd* Window() override { return this; }
  void SetMode(int mode) override;
  void RequestBanks() override;
  void FillBanks() override;

  // "转账".
  void Transfer();
  int Mode() const { return mode_; }
  bool Busy() const { return busy_; }
  VexloSoftKeyDlg* Keyboard() { return keyboard_.get(); }

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  BOOL OnCmdMsg(UINT id, int code) override;
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // The rows of the selected bank's flag for the mode.
  void UpdateRows();
  void OnDirectionChange();
  void ToggleKeyboard(int field, CWnd& button);
  void OnSoftKey(WPARAM kind, LPARAM text);
  void HandleBankList(TradeInboxItem item);
  void HandleTransfer(TradeInboxItem item);
  std::string Visible(CEdit& edit);

  TradeSession* session_ = nullptr;  // not owned
  int mode_ = 0;                     // 0 bank to securities, 1 securities to bank, 2 records
  bool busy_ = false;                // a transfer is in flight
  int keyboardField_ = 0;            // 0 none, 1 fund password, 2 bank password
  TradeReplyInbox bankInbox_;        // the bank list
  TradeReplyInbox transferInbox_;    // transfers
  HFONT font_ = nullptr;
  CImage background_;
  std::unique_ptr<VexloSoftKeyDlg> keyboard_;
  CStatic directionCaption_, bankCaption_, bankPasswordCaption_, fundCaption_, fundNote_, amountCaption_;
  CComboBox directions_, banks_;
  CEdit bankPassword_, fundPassword_, amount_;
  FooButton bankKey_, fundKey_, transfer_;
};

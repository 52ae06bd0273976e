// The trade panel: the right-hand part of the trade window, a 30-pixel tool
// strip with the trade commands and the window buttons over one of four
// pages — the order form with the query list beside it, the query list
// alone, the bank transfer view or the password view. The navigation list
// and the strip both switch pages through it.
#pragma once

#include <memory>

#include "controls/foo_button.h"
#include "platform/mfc/afx.h"
#include "platform/mfc/afx_controls.h"
#include "trading/trade_session.h"
#include "trading/ui/trade_pages.h"

class CTradeView;

class CTradeInfoView : public CWnd {
 public:
  enum : UINT {
    kHideButton = 4004,
    kMaximizeButton = 4005,
    kCloseButton = 4006,
    kBuyButton = 4007,
    kSellButton = 4008,
    kCancelButton = 4009,
    kDealsButton = 4010,
    kHoldingsButton = 4011,
    kRefreshButton = 4012,
    kTransferButton = 4013,
  };
  static constexpr int kStripHeight = 30;
  static constexpr int kOrderWidth = 440;

  CTradeInfoView();
  ~CTradeInfoView() override;

  void SetOwner(CTradeView* owner) { owner_ = owner; }
  void SetSession(TradeSession* session) { session_ = session; }

  // side 0 buy, 1 sell; code: 6 bytes of a UTF-8 stock code, or null.
  void ShowOrderPage(int side, const char* code);
  void ShowQueryPage(int index);
  // mode 0 transfer, 2 transfer records.
  void ShowBankPage(int mode);
  void ShowPasswordPage();
  // The visible page runs its request again.
  void RefreshPage();
  // After a log-out: every page forgets the previous account and hides.
  void ResetPages();

  ITradeOrderPage* OrderPage() { return pages_.order.get(); }
  ITradeQueryPage* QueryPage() { return pages_.query.get(); }
  ITradeBankPage* BankPage() { return pages_.bank.get(); }
  ITradePasswordPage* PasswordPage() { return pages_.password.get(); }
  FooButton* Button(UINT id);

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  BOOL OnCmdMsg(UINT id, int code) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void CheckGroupButton(UINT id);  // 0: none of the six
  void SelectNavItem(int index);
  void Relayout();
  static bool Visible(ITradePage* page);
  static void Show(ITradePage* page, bool show);

  CTradeView* owner_ = nullptr;
  TradeSession* session_ = nullptr;
  TradePages pages_;
  HFONT font_ = nullptr;
  FooButton buttons_[10];
  CImage header_;
};

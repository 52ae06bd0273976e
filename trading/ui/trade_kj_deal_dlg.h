// The quick buy/sell dialog: a one-stock order ticket opened over the main
// window for the stock on screen. It asks for the stock's order information,
// lets the user choose shareholder entry, order kind, price and quantity,
// checks them as the order form does, confirms and sends one order at a
// time. It stays open for further orders until 取消, Esc or the close box,
// which abandon its requests.
#pragma once

#include "platform/mfc/afx.h"
#include "platform/mfc/afx_controls.h"
#include "trading/trade_session.h"
#include "trading/ui/trade_reply_inbox.h"

class CTradeKJDealDlg : public CDialog {
 public:
  enum : UINT {
    kTemplateId = 205,
    kPriceCaption = 208,
    kQuantityCaption = 209,
    kCodeText = 210,
    kNameText = 211,
    kMaximumText = 212,
    kOrderButton = 206,
    kCancelButton = 207,
    kMarketOrderEdit = 229,
    kPriceUnit = 230,
    kHolderList = 1008,
    kKindList = 1014,
    kAllButton = 1015,
    kPriceSpin = 1023,
    kPriceEdit = 1025,
    kMaximumCaption = 1026,
    kQuantitySpin = 1028,
    kQuantityEdit = 1029,
  };

  CTradeKJDealDlg(TradeSession* session, CWnd* parent);
  ~CTradeKJDealDlg() override;

  // 0 buy, 1 sell; before the dialog runs.
  void SetKind(int side) { side_ = side == 0 ? 0 : 1; }
  void SetCode(const WCHAR* code) { code_ = code ? code : u""; }
  size_t InfoRequestsInFlight() { return infoInbox_.InFlight(); }
  size_t OrdersInFlight() { return orderInbox_.InFlight(); }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override {}  // Enter places nothing by itself
  void OnCancel() override;
  BOOL OnCmdMsg(UINT id, int code) override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  WString ItemText(UINT id);
  void SelectMarket(int market);
  void OnKindChange();
  void PlaceOrder();
  void HandleInfoReply(TradeInboxItem item);
  void HandleOrderReply(TradeInboxItem item);

  TradeSession* session_;            // not owned
  int side_ = 0;                     // 0 buy, 1 sell
  WString code_;                     // the stock's code as given
  bool report_ = true;               // order-information errors and failures are shown
  OrderInfo info_ = {};              // the last order-information reply's table
  TradeReplyInbox infoInbox_;
  TradeReplyInbox orderInbox_;
  CComboBox holders_, kinds_;
  CEdit price_, quantity_, marketOrder_;
};

// The order form of the trade panel, for both sides: shareholder entry,
// stock code, order kind, price and quantity with their arrows, ratio and
// "全部" shortcuts, and the order button; the five-level panel on its right.
//
// A six-character code asks for the stock's order information ("31" buy,
// "32" sell); its reply fills the name, the maximum, the funds, a preset
// price, the market's order kinds and the five levels. The order button
// checks the inputs, confirms and sends one order ("01"). Replies reach the
// form through two inboxes of its own (order information, orders), so an
// order's outcome is never taken for the order information's or lost when
// the form is cleared: clearing abandons only the order-information request,
// and while an order is in flight no second one is sent.
#pragma once

#include <vector>

#include "controls/foo_button.h"
#include "controls/skinned_basics.h"
#include "platform/mfc/afx.h"
#include "platform/mfc/afx_controls.h"
#include "trading/trade_session.h"
#include "trading/ui/buy_sell_level_view.h"
#include "trading/ui/trade_pages.h"
#include "trading/ui/trade_reply_inbox.h"

class CTradeDealView : public CWnd, public ITradeOrderPage {
 public:
  enum : UINT {
    kHolderCaption = 4014,
    kCodeCaption = 4015,
    kKindCaption = 4016,
    kPriceCaption = 4017,
    kFundsCaption = 4018,
    kMaximumCaption = 4019,
    kPriceUnit = 4020,
    kQuantityUnit = 4022,
    kQuantityCaption = 4023,
    kNameText = 4024,
    kHolderList = 4025,
    kKindList = 4026,
    kPriceSpin = 4027,
    kQuantitySpin = 4028,
    kPriceEdit = 4029,
    kCodeEdit = 4030,
    kQuantityEdit = 4031,
    kFirstRatio = 4032,  // 1/2 .. 1/5: 4032 .. 4035
    kAllButton = 4036,
    kFundsText = 4037,
    kMaximumText = 4038,
    kMaximumUnit = 4039,
    kOrderButton = 4040,
    kMarketOrderText = 4049,
  };
  static constexpr UINT_PTR kTimerId = 20000;
  static constexpr UINT kTimerPeriod = 10000;
  static constexpr int kFieldsWidth = 240;
  static constexpr int kPanelWidth = 200;

  CTradeDealView();
  ~CTradeDealView() override;

  // ITradeOrderPage
  BOOL CreatePage(CWnd* parent, UINT id, TradeSession* session) override;
  CWnd* Window() override { return this; }
  void SetKind(int side) override;
  void ClearForm(bool clearCode) override;
  void SetCode(const WCHAR* code) override;
  void FillShareholders() override;
  void Refresh() override;

  // The five-level panel hands a clicked price here.
  void SetPrice(const WString& text);
  // Fills the kinds of a known market and selects its shareholder entry.
  void SelectMarket(int market);
  // The order button.
  void PlaceOrder();

  CBuySellLevelView& LevelView() { return levels_; }
  int Side() const { return side_; }
  // Requests in flight: order information / orders (tests).
  size_t InfoRequestsInFlight() { return infoInbox_.InFlight(); }
  size_t OrdersInFlight() { return orderInbox_.InFlight(); }

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnTimer(UINT_PTR id) override;
  BOOL OnCmdMsg(UINT id, int code) override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void CreateControls();
  void PlaceControls();
  void OnCodeChange();
  void OnKindChange();
  void ShowPriceRow(bool show);
  void OnRatio(int index);
  void AskOrderInfo(const WString& code);
  void ShowOrderInfo();
  void HandleInfoReply(TradeInboxItem item);
  void HandleOrderReply(TradeInboxItem item);
  std::vector<WString> HolderEntries();

  TradeSession* session_ = nullptr;  // not owned
  int side_ = 0;                     // 0 buy, 1 sell
  WString lastCode_;                 // the code edit's text after its previous change
  bool report_ = false;              // order-information errors and failures are shown
  bool quiet_ = false;               // an order-information reply only feeds the panel
  OrderInfo info_ = {};              // the last order-information reply's table
  TradeReplyInbox infoInbox_;        // order-information requests
  TradeReplyInbox orderInbox_;       // orders
  HFONT font_ = nullptr;
  CImage background_;
  CBuySellLevelView levels_;
  CStatic holderCaption_, codeCaption_, kindCaption_, priceCaption_, fundsCaption_, maximumCaption_;
  CStatic priceUnit_, quantityUnit_, quantityCaption_, maximumUnit_, name_, funds_, maximum_, marketOrder_;
  CComboBox holders_, kinds_;
  CEdit code_, price_, quantity_;
  CSpinButtonCtrl priceSpin_, quantitySpin_;
  CVexloRadio ratios_[4];
  FooButton all_, order_;
};

// The trade window: a borderless panel along the bottom of the main window,
// shown while the user works with the trading account. CTradeView owns the
// session, the navigation list on the left (CTradeMainView, 200 pixels) and
// the trade panel on the right (CTradeInfoView); its top three pixels are a
// splitter that the user drags to change the panel's height.
//
// The main window is the trade window's top-level window: it gets WM_SIZE
// (0, 0) when the trade window is shown or hidden, WM_TRADE_RELAYOUT_MAIN
// (width, height) after every resize and WM_KEY_COMMAND (0, key) for the
// keys pressed in it. UI thread only.
#pragma once

#include <memory>

#include "controls/skin_tree.h"
#include "controls/table_bar.h"
#include "marketdata/quote_record.h"
#include "platform/mfc/afx.h"
#include "platform/mfc/afx_controls.h"
#include "trading/trade_session.h"
#include "trading/trade_view_interface.h"

class CTradeInfoView;

// The navigation list: a table bar with the one tab "股票" over the tree of
// trade commands; a click on an item calls the trade panel.
class CTradeMainView : public CWnd {
 public:
  static constexpr UINT kTreeId = 1000;
  static constexpr int kNavItems = 6;  // 买入, 卖出, 撤单, 银证转账, 资金股份, 历史成交

  CTradeMainView();
  ~CTradeMainView() override;
  void SetPanel(CTradeInfoView* panel) { panel_ = panel; }
  CTableBar& TableBar() { return bar_; }
  CVexloTreeCtrl& Tree() { return tree_; }
  HTREEITEM NavItem(int index) const { return index >= 0 && index < kNavItems ? navItems_[index] : nullptr; }
  // Acts on the item as a click on it does (null: nothing).
  void ActOnItem(HTREEITEM item);

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  LRESULT OnCustomDraw(NMTVCUSTOMDRAW* draw);
  void BuildTree();

  CTableBar bar_;
  CVexloTreeCtrl tree_;
  CImageList images_;
  HTREEITEM navItems_[kNavItems] = {};
  CTradeInfoView* panel_ = nullptr;
  HFONT font_ = nullptr;
};

class CTradeView : public CWnd, public ITradeView {
 public:
  static constexpr int kStartHeight = 280;
  static constexpr int kTopMargin = 72;  // the main window keeps this much above the panel

  CTradeView();
  ~CTradeView() override;

  // ITradeView.
  CWnd* Window() override { return this; }
  bool IsTradeShown() override { return shown_ != 0; }
  void HideTrade() override;
  void ShowTrade(const StockKey& key, int side) override { ShowTrade(key.code[0] ? &key : nullptr, side); }
  void QuickBuySell(int side, const StockKey& key) override { QuickBuySell(side, &key); }

  // side 0 buy, 1 sell; stock null (or with an empty code): no order page.
  void ShowTrade(const StockKey* stock, int side);
  void QuickBuySell(int side, const StockKey* stock);
  void LogOut();
  void ToggleMaximize();

  int GetPanelHeight() const override { return panelHeight_; }
  void SetPanelHeight(int height) override { panelHeight_ = height; }
  TradeSession* Session() const { return session_; }
  CTradeMainView* NavList() { return nav_.get(); }
  CTradeInfoView* Panel() { return panel_.get(); }

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) override;
  void OnGetMinMaxInfo(MINMAXINFO* info) override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  CWnd* MainWindow();
  CRect MainClient();
  bool LoggedIn();

  std::unique_ptr<CTradeMainView> nav_;
  TradeSession* session_ = nullptr;
  std::unique_ptr<CTradeInfoView> panel_;
  int panelHeight_ = kStartHeight;
  int savedHeight_ = 0;
  BYTE shown_ = 0;
};

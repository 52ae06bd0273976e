// What the main frame asks of the trade panel.
//
// The trade view is made by the main frame through its factory
// (shell/frame_factories.h) and created as a child of the main view
// (WS_CHILD | WS_VISIBLE, id 0). It occupies the lower part of the page area
// while shown; its panel height is read by the frame's layout, which may
// lower it to what fits (and stores it back). It posts WM_RELAYOUT_MAIN
// (controls/control_messages.h) to the main window when it is shown or
// hidden. All calls on the user-interface thread.
//
// This header includes nothing of the shell; the implementing class derives
// from CWnd (or a CWnd-based class) and from ITradeView, and answers
// Window() with itself.
#pragma once

#include "marketdata/quote_record.h"
#include "platform/mfc/afx.h"

class ITradeView {
 public:
  virtual ~ITradeView() = default;

  virtual CWnd* Window() = 0;

  // Panel height in pixels.
  virtual int GetPanelHeight() const = 0;
  virtual void SetPanelHeight(int height) = 0;

  virtual bool IsTradeShown() = 0;
  virtual void HideTrade() = 0;
  // The panel with the order page for the stock (side 0 buy, 1 sell), after
  // the trade login when the user is not logged in. The key is copied.
  virtual void ShowTrade(const StockKey& key, int side) = 0;
  // The quick buy or sell dialog (side 0 buy, 1 sell) when logged in, else a
  // message. The key is copied.
  virtual void QuickBuySell(int side, const StockKey& key) = 0;
};

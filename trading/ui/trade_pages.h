// The pages of the trade panel and the quick buy/sell entry, as the panel
// and the trade window use them.
//
// The panel makes its four pages through the factory when it is
// constructed, creates each page's window (hidden) when its own window is
// created and hands each the session. Every call is on the user-interface
// thread. Codes are UTF-16 stock codes of up to 6 characters.
#pragma once

#include <memory>

#include "platform/mfc/afx.h"
#include "trading/trade_session.h"

class ITradePage {
 public:
  virtual ~ITradePage() = default;
  // Creates the page's window as a hidden child of parent (WS_CHILD, then
  // hidden) with the session; FALSE when the window cannot be made.
  virtual BOOL CreatePage(CWnd* parent, UINT id, TradeSession* session) = 0;
  virtual CWnd* Window() = 0;
};

// The order form.
class ITradeOrderPage : public ITradePage {
 public:
  // 0 buy, 1 sell.
  virtual void SetKind(int side) = 0;
  // Abandons the form's requests in flight and clears the form; the code
  // too when clearCode.
  virtual void ClearForm(bool clearCode) = 0;
  virtual void SetCode(const WCHAR* code) = 0;
  // The shareholder choice from the session's login information.
  virtual void FillShareholders() = 0;
  // Re-sends the order-information request, quietly.
  virtual void Refresh() = 0;
};

// The query list: pages 0 funds and holdings, 1 today's orders, 2 today's
// deals, 3 order history, 4 deal history, 6 fund flow, 7 allotments,
// 8 cancel, 9 transfer records.
class ITradeQueryPage : public ITradePage {
 public:
  virtual void SetPage(int index) = 0;
  virtual void Refresh() = 0;
};

// The bank transfer view: mode 0 transfer, 2 transfer records. With an
// empty bank list the panel lets it ask (RequestBanks); it shows itself when
// the list arrives (mode 0) or sends the panel WM_TRADE_PANEL_COMMAND
// (1000, 101) (mode 2).
class ITradeBankPage : public ITradePage {
 public:
  virtual void SetMode(int mode) = 0;
  virtual void RequestBanks() = 0;
  // The bank choice from the session's bank list.
  virtual void FillBanks() = 0;
};

// The password change view.
class ITradePasswordPage : public ITradePage {
 public:
  // Empties the fields.
  virtual void Reset() = 0;
};

struct TradePages {
  std::unique_ptr<ITradeOrderPage> order;
  std::unique_ptr<ITradeQueryPage> query;
  std::unique_ptr<ITradeBankPage> bank;
  std::unique_ptr<ITradePasswordPage> password;
};

// The pages of a new panel.
TradePages MakeTradePages();

// The quick buy/sell dialog, modal: side 0 buy, 1 sell, the session and the
// stock code (UTF-16).
void RunQuickTradeDialog(CWnd* parent, TradeSession* session, int side, const WCHAR* code);

// Tests of the panel and the window put recording stand-ins in place of the
// real pages and dialog; null restores the real ones. UI thread.
using TradePagesMaker = TradePages (*)();
using QuickTradeRunner = void (*)(CWnd* parent, TradeSession* session, int side, const WCHAR* code);
void SetTradePagesMakerForTesting(TradePagesMaker maker);
void SetQuickTradeRunnerForTesting(QuickTradeRunner runner);

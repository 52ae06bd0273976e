// Recording pages for the panel's tests: each is a window that paints its
// name and records every call in one journal shared by all of them, in the
// order made ("order.ClearForm(1)", "query.SetPage(0)", ...), so a caller's
// sequence of calls can be checked.
#pragma once

#include <string>
#include <vector>

#include "trading/ui/trade_pages.h"

// The journal of every placeholder call (UI thread).
std::vector<std::string>& TradePageJournal();
// Every page a placeholder, and a quick dialog that only notes its call.
TradePages MakePlaceholderTradePages();
void RunPlaceholderQuickTrade(CWnd* parent, TradeSession* session, int side, const WCHAR* code);

class PlaceholderTradePage : public CWnd {
 public:
  explicit PlaceholderTradePage(const char* name) : name_(name) {}
  BOOL CreateWindowOf(CWnd* parent, UINT id, TradeSession* session);
  TradeSession* Session() const { return session_; }

 protected:
  void Note(const std::string& call);
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }

 private:
  const char* name_;
  TradeSession* session_ = nullptr;
};

class PlaceholderOrderPage : public PlaceholderTradePage, public ITradeOrderPage {
 public:
  PlaceholderOrderPage() : PlaceholderTradePage("order") {}
  BOOL CreatePage(CWnd* parent, UINT id, TradeSession* session) override { return CreateWindowOf(parent, id, session); }
  CWnd* Window() override { return this; }
  void SetKind(int side) override;
  void ClearForm(bool clearCode) override;
  void SetCode(const WCHAR* code) override;
  void FillShareholders() override;
  void Refresh() override;
};

class PlaceholderQueryPage : public PlaceholderTradePage, public ITradeQueryPage {
 public:
  PlaceholderQueryPage() : PlaceholderTradePage("query") {}
  BOOL CreatePage(CWnd* parent, UINT id, TradeSession* session) override { return CreateWindowOf(parent, id, session); }
  CWnd* Window() override { return this; }
  void SetPage(int index) override;
  void Refresh() override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

class PlaceholderBankPage : public PlaceholderTradePage, public ITradeBankPage {
 public:
  PlaceholderBankPage() : PlaceholderTradePage("bank") {}
  BOOL CreatePage(CWnd* parent, UINT id, TradeSession* session) override { return CreateWindowOf(parent, id, session); }
  CWnd* Window() override { return this; }
  void SetMode(int mode) override;
  void RequestBanks() override;
  void FillBanks() override;
};

class PlaceholderPasswordPage : public PlaceholderTradePage, public ITradePasswordPage {
 public:
  PlaceholderPasswordPage() : PlaceholderTradePage("password") {}
  BOOL CreatePage(CWnd* parent, UINT id, TradeSession* session) override { return CreateWindowOf(parent, id, session); }
  CWnd* Window() override { return this; }
  void Reset() override;
};

// The password page of the trade panel: current, new and repeated trade
// password, checked and confirmed before the change ("08") is sent; the
// server's answer is shown, and a change whose outcome is unknown is said.
#pragma once

#include "controls/foo_button.h"
#include "platform/mfc/afx.h"
#include "platform/mfc/afx_controls.h"
#include "trading/ui/trade_pages.h"
#include "trading/ui/trade_reply_inbox.h"

class CChangePassView : public CWnd, public ITradePasswordPage {
 public:
  enum : UINT {
    kHint = 5300,
    kTypeCaption = 5301,
    kCurrentCaption = 5302,
    kNewCaption = 5303,
    kRepeatCaption = 5304,
    kCurrentEdit = 5305,
    kNewEdit = 5306,
    kRepeatEdit = 5307,
    kChangeButton = 5310,
    kTypeList = 5311,
  };

  CChangePassView();
  ~CChangePassView() override;

  BOOL CreatePage(CWnd* parent, UINT id, TradeSession* session) override;
  CWnd* Window() override { return this; }
  void Reset() override;

  // The "更改" button.
  void Change();
  size_t RequestsInFlight() { return inbox_.InFlight(); }

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  BOOL OnCmdMsg(UINT id, int code) override;
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void EmptyEdits(bool all);

  TradeSession* session_ = nullptr;  // not owned
  TradeReplyInbox inbox_;
  HFONT font_ = nullptr;
  CImage background_;
  CStatic hint_, typeCaption_, currentCaption_, newCaption_, repeatCaption_;
  CComboBox types_;
  CEdit current_, new_, repeat_;
  FooButton change_;
};

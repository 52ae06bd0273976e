// The query page of the trade panel: one table whose columns come from the
// server's reply, page by page — funds and holdings, today's and past
// orders and deals, the fund flow, allotments, the cancellable orders (with
// 撤单) and the transfer records — with a 30-pixel band of dates, a bank
// choice and the paging buttons above it.
//
// Requests go out through two inboxes of the view: the page's own requests
// (a new refresh abandons the previous one) and cancels, whose outcome a
// refresh never swallows. Replies are handled on the UI thread.
#pragma once

#include <vector>

#include "controls/foo_button.h"
#include "platform/mfc/afx.h"
#include "platform/mfc/afx_controls.h"
#include "platform/mfc/afx_datetime.h"
#include "trading/trade_session.h"
#include "trading/ui/trade_pages.h"
#include "trading/ui/trade_reply_inbox.h"

class CTradeQueryView : public CWnd, public ITradeQueryPage {
 public:
  enum : UINT {
    kList = 4002,
    kSummary = 4003,
    kDateCaption = 4041,  // both date captions
    kStartDate = 4042,
    kEndDate = 4044,
    kQueryButton = 4045,
    kCancelButton = 4046,
    kPreviousButton = 4047,
    kNextButton = 4048,
    kBankCaption = 5200,
    kBankList = 5201,
  };
  static constexpr int kBandHeight = 30;
  static constexpr int kColumnWidth = 80;

  CTradeQueryView();
  ~CTradeQueryView() override;

  // ITradeQueryPage
  BOOL CreatePage(CWnd* parent, UINT id, TradeSession* session) override;
  CWnd* Window() override { return this; }
  void SetPage(int page) override;
  void Refresh() override;

  // The 撤单 button.
  void CancelSelected();
  int Page() const { return page_; }
  int PageCounter() const { return counter_; }
  CListCtrl& List() { return list_; }
  CDateTimeCtrl& StartDate() { return start_; }
  CDateTimeCtrl& EndDate() { return end_; }
  // Captions of the list's columns by column index (tests).
  const std::vector<WString>& Columns() const { return columns_; }
  size_t RequestsInFlight() { return inbox_.InFlight() + cancelInbox_.InFlight(); }

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  BOOL OnCmdMsg(UINT id, int code) override;
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void ClearList();
  void Send(int (*request)(TradeSession*, TradeNotify, void*, int));
  std::string DateText(CDateTimeCtrl& picker);
  void HandleReply(TradeInboxItem item);
  void HandleFunds(TradeReply* reply);
  void FillList(const TradeReply* reply);
  void HandleCancelReply(TradeInboxItem item);
  void ShowFailure(int status);
  void Previous();
  void Next();

  TradeSession* session_ = nullptr;  // not owned
  int page_ = 0;                     // the page shown (0-9)
  int counter_ = 1;                  // page number sent with every request
  int pageState_ = kTradePageOnly;   // of the last list reply
  int fundsRequest_ = -1;            // id of the funds request in flight
  WString summary_;                  // funds summary line
  std::vector<WString> columns_;     // captions of the list's columns
  TradeReplyInbox inbox_;            // the page's requests
  TradeReplyInbox cancelInbox_;      // cancels
  HFONT font_ = nullptr;
  CImage band_;
  CStatic summaryText_, startCaption_, endCaption_, bankCaption_;
  CListCtrl list_;
  CDateTimeCtrl start_, end_;
  CComboBox banks_;
  FooButton query_, cancel_, previous_, next_;
};

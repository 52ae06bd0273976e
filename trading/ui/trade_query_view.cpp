#include "trading/ui/trade_query_view.h"

#include <cstring>

#include "controls/control_messages.h"
#include "foundation/text_codec.h"
#include "trading/trade_requests.h"
#include "trading/ui/trade_messages.h"
#include "trading/ui/trade_page_font.h"

namespace {

WString Widen(const char* utf8) {
  WCHAR* wide = Utf8ToUtf16Alloc(utf8 ? utf8 : "");
  WString out = wide ? wide : u"";
  free(wide);
  if (out.size() > 255) out.resize(255);
  return out;
}

std::string Narrow(const WString& text) {
  char* narrow = Utf16ToUtf8Alloc(text.c_str());
  std::string out = narrow ? narrow : "";
  free(narrow);
  return out;
}

// The summary's columns: a column counts when its name occurs within one of
// these.
const char* const kSummaryNames[] = {"币种", "资金余额", "可用资金", "最新市值", "浮动盈亏", "可取资金"};

bool SummaryColumn(const char* name) {
  if (!name || !*name) return false;
  for (const char* each : kSummaryNames)
    if (strstr(each, name)) return true;
  return false;
}

bool Dated(int page) { return page == 3 || page == 4 || page == 6 || page == 7; }

}  // namespace

CTradeQueryView::CTradeQueryView() = default;

CTradeQueryView::~CTradeQueryView() {
  inbox_.AbandonAll();
  cancelInbox_.AbandonAll();
  if (m_hWnd) DestroyWindow();
  if (font_) DeleteObject(font_);
}

BOOL CTradeQueryView::CreatePage(CWnd* parent, UINT id, TradeSession* session) {
  session_ = session;
  if (!Create(nullptr, u"", WS_CHILD | WS_CLIPCHILDREN, CRect(0, 0, 0, 0), parent, id)) return FALSE;
  inbox_.Attach(m_hWnd, session_);
  cancelInbox_.Attach(m_hWnd, session_);
  return TRUE;
}

int CTradeQueryView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  font_ = CreateTradePageFont();
  const CRect none(0, 0, 0, 0);
  summaryText_.Create(u"", WS_CHILD | SS_LEFT | SS_CENTERIMAGE, none, this, kSummary);
  list_.Create(WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, none, this, kList);
  list_.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
  startCaption_.Create(u"起始日期：", WS_CHILD | SS_CENTER, none, this, kDateCaption);
  start_.Create(WS_CHILD | WS_TABSTOP | DTS_SHORTDATEFORMAT, none, this, kStartDate);
  endCaption_.Create(u"结束日期：", WS_CHILD | SS_CENTER, none, this, kDateCaption);
  end_.Create(WS_CHILD | WS_TABSTOP | DTS_SHORTDATEFORMAT, none, this, kEndDate);
  bankCaption_.Create(u"银行：", WS_CHILD | SS_LEFT | SS_CENTERIMAGE, none, this, kBankCaption);
  banks_.Create(WS_CHILD | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, none, this, kBankList);
  const struct {
    FooButton* button;
    const WCHAR* text;
    UINT id;
  } buttons[] = {{&query_, u"查询", kQueryButton},
                 {&cancel_, u"撤单", kCancelButton},
                 {&previous_, u"上一页", kPreviousButton},
                 {&next_, u"下一页", kNextButton}};
  for (const auto& b : buttons) {
    b.button->Create(b.text, WS_CHILD, none, this, b.id);
    b.button->SetButtonType(1);
    b.button->SetNormalImage(u"res\\trade_btn_bg.png", RGB(255, 0, 255));
    b.button->SetHotImage(u"res\\trade_btn_sel_bg.png", RGB(255, 0, 255));
    b.button->SetTextColor(RGB(0, 0, 0));
  }
  for (CWnd* w : std::initializer_list<CWnd*>{&summaryText_, &list_, &startCaption_, &start_, &endCaption_, &end_,
                                              &bankCaption_, &banks_, &query_, &cancel_, &previous_, &next_})
    w->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  band_.Load(u"res\\Query_bg.png");
  return 0;
}

void CTradeQueryView::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  if (!list_.m_hWnd) return;
  summaryText_.MoveWindow(0, 2, cx, 25);
  list_.MoveWindow(0, kBandHeight, cx, cy > kBandHeight ? cy - kBandHeight : 0);
  startCaption_.MoveWindow(10, 7, 60, 25);
  start_.MoveWindow(80, 2, 100, 25);
  endCaption_.MoveWindow(190, 7, 60, 25);
  end_.MoveWindow(260, 2, 100, 25);
  query_.MoveWindow(370, 2, 40, 25);
  bankCaption_.MoveWindow(5, 2, 40, 25);
  banks_.MoveWindow(40, 2, 200, 25);
  cancel_.MoveWindow(cx - 195, 2, 60, 25);
  previous_.MoveWindow(cx - 130, 2, 60, 25);
  next_.MoveWindow(cx - 65, 2, 60, 25);
  Invalidate();
}

void CTradeQueryView::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  dc.FillSolidRect(&rc, RGB(255, 255, 255));
  if (!band_.IsNull()) band_.Draw(dc.m_hDC, CRect(0, 0, rc.Width(), kBandHeight));
}

HBRUSH CTradeQueryView::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) {
  if (ctlColor != CTLCOLOR_STATIC) return CWnd::OnCtlColor(dc, wnd, ctlColor);
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextColor(RGB(0, 0, 0));
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void CTradeQueryView::ClearList() {
  list_.DeleteAllItems();
  for (int i = static_cast<int>(columns_.size()) - 1; i >= 0; --i) list_.DeleteColumn(i);
  columns_.clear();
}

void CTradeQueryView::SetPage(int page) {
  // Nothing asked for the page before may land in this one.
  inbox_.Restart();
  fundsRequest_ = -1;
  counter_ = 1;
  ClearList();
  list_.ShowWindow(SW_HIDE);
  summary_.clear();
  summaryText_.SetWindowText(u"");
  page_ = page;
  for (CWnd* w : std::initializer_list<CWnd*>{&summaryText_, &startCaption_, &start_, &endCaption_, &end_, &query_,
                                              &bankCaption_, &banks_, &cancel_})
    w->ShowWindow(SW_HIDE);
  previous_.ShowWindow(SW_SHOW);
  next_.ShowWindow(SW_SHOW);
  if (page == 0) {
    previous_.ShowWindow(SW_HIDE);
    next_.ShowWindow(SW_HIDE);
    summaryText_.ShowWindow(SW_SHOW);
  } else if (Dated(page)) {
    SYSTEMTIME today;
    GetLocalDate(&today);
    const SYSTEMTIME first = AddDays(today, page == 7 ? -31 : -7);
    start_.SetTime(&first);
    end_.SetTime(&today);
    for (CWnd* w : std::initializer_list<CWnd*>{&startCaption_, &start_, &endCaption_, &end_, &query_})
      w->ShowWindow(SW_SHOW);
  } else if (page == 8) {
    cancel_.ShowWindow(SW_SHOW);
  } else if (page == 9) {
    for (CWnd* w : std::initializer_list<CWnd*>{&bankCaption_, &banks_, &query_}) w->ShowWindow(SW_SHOW);
    BankList banks;
    GetTradeBankList(session_, &banks);
    banks_.ResetContent();
    for (int i = 0; i < banks.count && i < kBankListEntries; ++i) banks_.AddString(Widen(banks.text[i][kBankName]).c_str());
    banks_.SetCurSel(0);
  }
  Invalidate();
}

std::string CTradeQueryView::DateText(CDateTimeCtrl& picker) {
  SYSTEMTIME st{};
  picker.GetTime(&st);
  char text[9];
  FormatTradeDate(text, st.wYear, st.wMonth, st.wDay);
  return text;
}

void CTradeQueryView::Refresh() {
  inbox_.Restart();
  fundsRequest_ = -1;
  ClearList();
  TradeNotify notify = TradeReplyInbox::Notify;
  void* user = inbox_.User();
  const std::string from = Dated(page_) ? DateText(start_) : std::string();
  const std::string to = Dated(page_) ? DateText(end_) : std::string();
  switch (page_) {
    case 0: fundsRequest_ = inbox_.Sent(RequestFundsQuery(session_, notify, user, counter_)); break;
    case 1:
    case 3: inbox_.Sent(RequestOrderQuery(session_, notify, user, from.c_str(), to.c_str(), counter_)); break;
    case 2:
    case 4: inbox_.Sent(RequestDealQuery(session_, notify, user, from.c_str(), to.c_str(), counter_)); break;
    case 6: inbox_.Sent(RequestFundFlowQuery(session_, notify, user, from.c_str(), to.c_str(), 0, counter_)); break;
    case 7: inbox_.Sent(RequestAllotmentQuery(session_, notify, user, from.c_str(), to.c_str(), counter_)); break;
    case 8: inbox_.Sent(RequestCancellableQuery(session_, notify, user, counter_)); break;
    case 9: {
      BankList banks;
      GetTradeBankList(session_, &banks);
      const int chosen = banks_.GetCurSel();
      if (chosen < 0 || chosen >= banks.count) break;
      const char (*bank)[kBankTextSize] = banks.text[chosen];
      inbox_.Sent(RequestTransferQuery(session_, notify, user, bank[kBankCode], bank[kBankAccount],
                                       bank[kBankCurrency], counter_));
      break;
    }
    default:
      break;  // page 5 asks nothing
  }
}

void CTradeQueryView::ShowFailure(int status) {
  ShowTradeMessage(m_hWnd, status == 2 ? u"网络连接超时！" : u"网络连接失败！");
}

void CTradeQueryView::HandleReply(TradeInboxItem item) {
  TradeReply* reply = item.reply.get();
  if (fundsRequest_ >= 0 && reply->requestId == fundsRequest_) {
    fundsRequest_ = -1;
    if (item.status == 0 && strcmp(reply->errorCode, "0000") == 0) HandleFunds(reply);
    return;  // a failed funds query is silent and asks nothing further
  }
  if (item.status != 0) return ShowFailure(item.status);
  if (strcmp(reply->errorCode, "0000") != 0 && strcmp(reply->errorCode, "1010") != 0)
    return ShowTradeServerMessage(m_hWnd, reply->message);
  pageState_ = reply->pageState;
  FillList(reply);
}

void CTradeQueryView::HandleFunds(TradeReply* reply) {
  summary_.clear();
  const RecordList* names = reply->records ? reply->records->next : nullptr;
  const RecordList* values = names ? names->next : nullptr;
  if (names && values) {
    const StringList* name = names->fields;
    const StringList* value = values->fields;
    for (; name && value; name = name->next, value = value->next)
      if (SummaryColumn(name->text)) summary_ += Widen(name->text) + u":" + Widen(value->text) + u"   ";
  }
  summaryText_.SetWindowText(summary_);
  Invalidate();
  UpdateWindow();
  inbox_.Sent(RequestHoldingsQuery(session_, TradeReplyInbox::Notify, inbox_.User(), counter_));
}

void CTradeQueryView::FillList(const TradeReply* reply) {
  const RecordList* names = reply->records ? reply->records->next : nullptr;
  if (!names) return;
  // Columns even without rows: a page past the end still shows its table.
  ClearList();
  int column = 0;
  for (const StringList* name = names->fields; name; name = name->next, ++column) {
    columns_.push_back(Widen(name->text));
    list_.InsertColumn(column, columns_.back().c_str(), LVCFMT_LEFT, kColumnWidth);
  }
  int row = 0;
  for (const RecordList* record = names->next; record; record = record->next, ++row) {
    int cell = 0;
    for (const StringList* field = record->fields; field && cell < column; field = field->next, ++cell) {
      const WString text = Widen(field->text);
      if (cell == 0) list_.InsertItem(row, text.c_str());
      else list_.SetItemText(row, cell, text.c_str());
    }
    if (cell == 0) list_.InsertItem(row, u"");
  }
  list_.ShowWindow(SW_SHOW);
  list_.Invalidate();
}

void CTradeQueryView::CancelSelected() {
  const int row = list_.GetNextItem(-1, LVNI_SELECTED);
  if (row < 0) return;
  std::string holder, number;
  int market = 0;
  bool hasHolder = false, hasNumber = false;
  // By caption, not by position: the user may have moved the columns.
  for (size_t column = 0; column < columns_.size(); ++column) {
    const WString caption = columns_[column].substr(0, 31);
    const std::string cell = Narrow(list_.GetItemText(row, static_cast<int>(column)));
    if (caption == u"股东代码") {
      holder = cell;
      hasHolder = true;
    } else if (caption == u"市场名称") {
      market = TradeMarketFromName(cell.c_str());
    } else if (caption == u"委托序号") {
      number = cell;
      hasNumber = true;
    }
  }
  if (!hasHolder || !hasNumber || market == 0 || holder.empty() || number.empty()) {
    ShowTradeMessage(m_hWnd, u"无法撤单：所选委托缺少股东代码、市场名称或委托序号");
    return;
  }
  cancelInbox_.Sent(RequestCancelOrder(session_, TradeReplyInbox::Notify, cancelInbox_.User(), holder.c_str(), market,
                                       number.c_str()));
}

void CTradeQueryView::HandleCancelReply(TradeInboxItem item) {
  if (item.status != 0) return ShowFailure(item.status);
  ShowTradeServerMessage(m_hWnd, item.reply->message);
  Refresh();
}

void CTradeQueryView::Previous() {
  if (counter_ < 2) return ShowTradeMessage(m_hWnd, u"没有上一页！");
  --counter_;
  Refresh();
}

void CTradeQueryView::Next() {
  if (pageState_ != kTradePageFirstOfMore && pageState_ != kTradePageMiddle)
    return ShowTradeMessage(m_hWnd, u"没有下一页！");
  ++counter_;
  Refresh();
}

BOOL CTradeQueryView::OnCmdMsg(UINT id, int code) {
  if (code != BN_CLICKED) return CWnd::OnCmdMsg(id, code);
  switch (id) {
    case kQueryButton:
      counter_ = 1;
      Refresh();
      return TRUE;
    case kCancelButton: CancelSelected(); return TRUE;
    case kPreviousButton: Previous(); return TRUE;
    case kNextButton: Next(); return TRUE;
    default: return CWnd::OnCmdMsg(id, code);
  }
}

void CTradeQueryView::OnKeyDown(UINT key, UINT, UINT) {
  HWND top = GetAncestor(m_hWnd, GA_ROOT);
  if (top) ::PostMessageW(top, WM_KEY_COMMAND, 0, static_cast<LPARAM>(key));
}

LRESULT CTradeQueryView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kList || message == WM_KEY_COMMAND) return 1;
  if (message != WM_TRADE_REPLY) return CWnd::WindowProc(message, wParam, lParam);
  for (TradeInboxItem item = inbox_.Take(); item.status >= 0; item = inbox_.Take()) HandleReply(std::move(item));
  for (TradeInboxItem item = cancelInbox_.Take(); item.status >= 0; item = cancelInbox_.Take())
    HandleCancelReply(std::move(item));
  return 1;
}

// The query page against the simulated trade service: the band of each
// page, each page's request, the funds summary, paging, cancel and failures.
#include <algorithm>

#include "trading/ui/tests/trade_window_test_support.h"
#include "trading/ui/trade_query_view.h"

namespace {

using simtrade::TradeFault;
using trade_ui_test::Utf8;

constexpr DWORD kWait = 20000;

class TradeQuery : public trade_ui_test::TradeWindowFixture {
 protected:
  void SetUp() override {
    TradeWindowFixture::SetUp();
    LogIn();
  }
  CTradeQueryView* Query() { return dynamic_cast<CTradeQueryView*>(view->Panel()->QueryPage()); }
  bool Visible(UINT id) {
    bool any = false;
    for (HWND child = GetWindow(Query()->m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      if (GetDlgCtrlID(child) == static_cast<int>(id)) any = any || IsWindowVisible(child);
    return any;
  }
  int Count(const std::string& code) {
    auto codes = LoggedCodes();
    return static_cast<int>(std::count(codes.begin(), codes.end(), code));
  }
  simtrade::LoggedRequest Last(const std::string& code) {
    auto log = simtrade::TradeServiceLog(service);
    for (auto it = log.rbegin(); it != log.rend(); ++it)
      if (it->code == code) return *it;
    return {};
  }
  // Waits until the page's requests have been answered and handled.
  // (A funds reply sends the holdings request: wait for that one too.)
  void Settle() {
    do {
      ASSERT_TRUE(desk->RunUntil([&] { return Query()->RequestsInFlight() == 0; }, kWait));
      desk->RunUntilIdle();
    } while (Query()->RequestsInFlight() > 0);
  }
  void Press(UINT id) {
    desk->Advance(600);
    desk->Click(Query()->GetDlgItem(id)->m_hWnd, 5, 5);
    desk->RunUntilIdle();
    Settle();
  }
  std::string Cell(int row, const char16_t* caption) {
    const auto& columns = Query()->Columns();
    auto it = std::find(columns.begin(), columns.end(), WString(caption));
    if (it == columns.end()) return "<no column>";
    return Utf8(Query()->List().GetItemText(row, static_cast<int>(it - columns.begin())));
  }
  std::string LastBox() { return desk->Boxes().empty() ? "" : Utf8(desk->Boxes().back().text); }
  void SetDates(int y1, int m1, int d1, int y2, int m2, int d2) {
    SYSTEMTIME a{}, b{};
    a.wYear = static_cast<WORD>(y1), a.wMonth = static_cast<WORD>(m1), a.wDay = static_cast<WORD>(d1);
    b.wYear = static_cast<WORD>(y2), b.wMonth = static_cast<WORD>(m2), b.wDay = static_cast<WORD>(d2);
    Query()->StartDate().SetTime(&a);
    Query()->EndDate().SetTime(&b);
  }
};

std::string DateOf(int daysBack) {
  SYSTEMTIME today{};
  GetLocalDate(&today);
  SYSTEMTIME d = AddDays(today, -daysBack);
  char text[32];
  snprintf(text, sizeof(text), "%04d%02d%02d", d.wYear, d.wMonth, d.wDay);
  return text;
}

TEST_F(TradeQuery, EachPageShowsItsBandAndSendsItsRequest) {
  struct Case {
    int page;
    bool summary, dates, query, cancel, bank, paging;
    int back;  // start date: today less this many days (dated pages)
    std::vector<std::string> codes;
  } cases[] = {
      {0, true, false, false, false, false, false, 0, {"20", "03"}},
      {1, false, false, false, false, false, true, 0, {"05"}},
      {2, false, false, false, false, false, true, 0, {"06"}},
      {3, false, true, true, false, false, true, 7, {"05"}},
      {4, false, true, true, false, false, true, 7, {"06"}},
      {5, false, false, false, false, false, true, 0, {}},
      {6, false, true, true, false, false, true, 7, {"11"}},
      {7, false, true, true, false, false, true, 31, {"09"}},
      {8, false, false, false, true, false, true, 0, {"21"}},
      {9, false, false, true, false, true, true, 0, {"33"}},
  };
  // Page 9 names the banks of the session's list.
  view->Panel()->ShowBankPage(0);
  ASSERT_TRUE(desk->RunUntil([&] { return view->Panel()->BankPage()->Window()->IsWindowVisible(); }, kWait));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    view->Panel()->ShowQueryPage(c.page);
    Settle();  // the panel refreshes some pages itself
    EXPECT_EQ(Visible(CTradeQueryView::kSummary), c.summary);
    EXPECT_EQ(Visible(CTradeQueryView::kStartDate), c.dates);
    EXPECT_EQ(Visible(CTradeQueryView::kDateCaption), c.dates);
    EXPECT_EQ(Visible(CTradeQueryView::kQueryButton), c.query);
    EXPECT_EQ(Visible(CTradeQueryView::kCancelButton), c.cancel);
    EXPECT_EQ(Visible(CTradeQueryView::kBankList), c.bank);
    EXPECT_EQ(Visible(CTradeQueryView::kNextButton), c.paging);
    EXPECT_EQ(Visible(CTradeQueryView::kPreviousButton), c.paging);
    const size_t logged = LoggedCodes().size();
    Query()->Refresh();
    Settle();
    auto log = simtrade::TradeServiceLog(service);
    std::vector<std::string> codes;
    for (size_t i = logged; i < log.size(); ++i) codes.push_back(log[i].code);
    EXPECT_EQ(codes, c.codes);
    if (codes.empty()) continue;
    const auto& sent = log[logged];
    EXPECT_EQ(sent.page, 1);
    if (c.page == 1 || c.page == 2) {
      EXPECT_EQ(sent.fields[4] + sent.fields[5], "");
    }
    if (c.dates) {
      const bool flow = c.page == 6 || c.page == 7;
      EXPECT_EQ(sent.fields[flow ? 3 : 4], DateOf(c.back));
      EXPECT_EQ(sent.fields[flow ? 4 : 5], DateOf(0));
    }
    if (c.page == 6) {
      EXPECT_EQ(sent.fields[5], "0");
    }
    if (c.page == 9) {
      EXPECT_EQ(sent.fields[3], "01");
      EXPECT_EQ(sent.fields[4], "6222000011112222");
      EXPECT_EQ(sent.fields[5], "人民币");
    }
  }
  // Page 9's bank list holds every bank by name.
  view->Panel()->ShowQueryPage(9);
  auto* banks = static_cast<CComboBox*>(Query()->GetDlgItem(CTradeQueryView::kBankList));
  ASSERT_EQ(banks->GetCount(), 2);
  EXPECT_EQ(Utf8(banks->GetLBText(1)), "乙银行");
}

TEST_F(TradeQuery, FundsSummaryThenHoldings) {
  view->Panel()->ShowQueryPage(0);
  Settle();
  ASSERT_TRUE(desk->RunUntil([&] { return Query()->List().IsWindowVisible(); }, kWait));
  Settle();
  const std::string summary = Utf8(Query()->GetDlgItem(CTradeQueryView::kSummary)->GetWindowText());
  EXPECT_EQ(summary.rfind("币种:人民币   资金余额:100000.00   可用资金:96020.00   最新市值:", 0), 0u) << summary;
  EXPECT_EQ(summary.substr(summary.size() - 3), "   ");
  EXPECT_EQ(Cell(0, u"证券代码"), "600001");
  EXPECT_TRUE(desk->SavePng(view->m_hWnd, trade_ui_test::SnapshotFolder() + "query_funds.png"));

  // A refused funds query shows nothing and asks no holdings.
  simtrade::InjectTradeFault(service, "20", TradeFault::kSessionExpired);
  const size_t boxes = desk->Boxes().size();
  const int holdings = Count("03");
  view->Panel()->ShowQueryPage(0);
  Settle();
  EXPECT_EQ(desk->Boxes().size(), boxes);
  EXPECT_EQ(Count("03"), holdings);
  EXPECT_EQ(Utf8(Query()->GetDlgItem(CTradeQueryView::kSummary)->GetWindowText()), "");
}

TEST_F(TradeQuery, PagingAcrossTodaysOrders) {
  simtrade::SetTradePageSize(service, 4);
  view->Panel()->ShowQueryPage(1);
  Settle();
  EXPECT_EQ(Query()->List().GetItemCount(), 4);
  EXPECT_EQ(Cell(0, u"委托序号"), "1001");
  Press(CTradeQueryView::kPreviousButton);
  EXPECT_EQ(LastBox(), "没有上一页！");
  Press(CTradeQueryView::kNextButton);
  EXPECT_EQ(Last("05").page, 2);
  EXPECT_EQ(Query()->List().GetItemCount(), 2);
  EXPECT_EQ(Cell(0, u"委托序号"), "1005");
  const int asked = Count("05");
  Press(CTradeQueryView::kNextButton);
  EXPECT_EQ(LastBox(), "没有下一页！");
  EXPECT_EQ(Count("05"), asked);
  Press(CTradeQueryView::kPreviousButton);
  EXPECT_EQ(Last("05").page, 1);
  EXPECT_TRUE(desk->SavePng(view->m_hWnd, trade_ui_test::SnapshotFolder() + "query_orders.png"));

  // Order history: 查询 on page 2 starts again from page 1 with the dates
  // shown; a range without rows still shows its columns.
  simtrade::SetTradePageSize(service, 3);
  view->Panel()->ShowQueryPage(4);
  SetDates(2024, 3, 1, 2024, 3, 15);
  Press(CTradeQueryView::kQueryButton);
  EXPECT_EQ(Query()->List().GetItemCount(), 3);
  Press(CTradeQueryView::kNextButton);
  EXPECT_EQ(Last("06").page, 2);
  Press(CTradeQueryView::kQueryButton);
  EXPECT_EQ(Last("06").page, 1);
  EXPECT_EQ(Last("06").fields[4], "20240301");
  EXPECT_EQ(Last("06").fields[5], "20240315");
  SetDates(2020, 1, 1, 2020, 1, 2);
  Press(CTradeQueryView::kQueryButton);
  EXPECT_EQ(Last("06").replyCode, "1010");
  EXPECT_TRUE(Query()->List().IsWindowVisible());
  EXPECT_EQ(Query()->List().GetItemCount(), 0);
  EXPECT_EQ(Query()->Columns().size(), 8u);
}

TEST_F(TradeQuery, CancelSendsTheRowsFieldsAndRefreshes) {
  view->Panel()->ShowQueryPage(8);
  Settle();
  // Nothing selected: nothing sent.
  const int cancels = Count("02");
  Press(CTradeQueryView::kCancelButton);
  EXPECT_EQ(Count("02"), cancels);
  ASSERT_EQ(Cell(0, u"委托序号"), "1003");
  Query()->List().SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  Press(CTradeQueryView::kCancelButton);
  ASSERT_EQ(Count("02"), cancels + 1);
  EXPECT_EQ(Last("02").fields, (std::vector<std::string>{"1", "A123456789", "135790", "1003"}));
  EXPECT_EQ(LastBox(), "撤单成功");
  Settle();
  EXPECT_EQ(Query()->List().GetItemCount(), 1);
  EXPECT_EQ(Cell(0, u"委托序号"), "1005");

  // A row without a shareholder column (today's deals) sends nothing.
  view->Panel()->ShowQueryPage(2);
  Settle();
  Query()->List().SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
  Query()->CancelSelected();
  EXPECT_EQ(Count("02"), cancels + 1);
  EXPECT_EQ(LastBox(), "无法撤单：所选委托缺少股东代码、市场名称或委托序号");
}

TEST_F(TradeQuery, FailuresShowTheirTexts) {
  view->Panel()->ShowQueryPage(1);
  Settle();
  struct Case {
    TradeFault fault;
    const char* want;
  } cases[] = {{TradeFault::kEmptyBody, "网络连接失败！"},
               {TradeFault::kSessionExpired, "会话已失效，请重新登录"},
               {TradeFault::kNoAnswer, "网络连接超时！"}};
  for (const Case& c : cases) {
    simtrade::InjectTradeFault(service, "05", c.fault);
    const int asked = Count("05");
    Query()->Refresh();
    if (c.fault == TradeFault::kNoAnswer) {
      ASSERT_TRUE(desk->RunUntil([&] { return Count("05") > asked; }, kWait));
      desk->Advance(1000);
    }
    Settle();
    EXPECT_EQ(LastBox(), c.want);
    EXPECT_EQ(Utf8(desk->Boxes().back().caption), "提示");
    EXPECT_EQ(Query()->List().GetItemCount(), 0);
  }
}

}  // namespace

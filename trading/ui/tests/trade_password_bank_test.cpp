// The password and bank transfer pages against the simulated trade service.
#include <algorithm>

#include "trading/ui/bank_view.h"
#include "trading/ui/change_pass_view.h"
#include "trading/ui/tests/trade_window_test_support.h"
#include "trading/trade_requests.h"

namespace {

using simtrade::TradeFault;
using trade_ui_test::Utf8;

constexpr DWORD kWait = 20000;

class TradeFormsFixture : public trade_ui_test::TradeWindowFixture {
 protected:
  void SetUp() override {
    TradeWindowFixture::SetUp();
    LogIn();
    // The funds page the login opened, and its holdings request, are
    // answered before the test starts.
    for (int round = 0; round < 2; ++round) {
      ASSERT_TRUE(desk->RunUntil([&] {
        std::lock_guard<std::mutex> hold(view->Session()->lock);
        return view->Session()->pending.empty();
      }, kWait));
      desk->RunUntilIdle();
    }
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
  std::string LastBox() { return desk->Boxes().empty() ? "" : Utf8(desk->Boxes().back().text); }
  std::string LastCaption() { return desk->Boxes().empty() ? "" : Utf8(desk->Boxes().back().caption); }
};

class TradePassword : public TradeFormsFixture {
 protected:
  CChangePassView* Page() { return dynamic_cast<CChangePassView*>(view->Panel()->PasswordPage()); }
  void Fill(const WCHAR* current, const WCHAR* next, const WCHAR* repeat) {
    Page()->GetDlgItem(CChangePassView::kCurrentEdit)->SetWindowText(current);
    Page()->GetDlgItem(CChangePassView::kNewEdit)->SetWindowText(next);
    Page()->GetDlgItem(CChangePassView::kRepeatEdit)->SetWindowText(repeat);
  }
  std::string Field(UINT id) { return Utf8(Page()->GetDlgItem(id)->GetWindowText()); }
  void ChangeAndWait(bool timesOut = false) {
    const size_t boxes = desk->Boxes().size();
    const int sent = Count("08");
    Page()->Change();
    if (timesOut) {
      ASSERT_TRUE(desk->RunUntil([&] { return Count("08") > sent; }, kWait));
      desk->Advance(1000);
    }
    ASSERT_TRUE(desk->RunUntil([&] { return desk->Boxes().size() >= boxes + 2; }, kWait));
    desk->RunUntilIdle();
  }
};

TEST_F(TradePassword, ChecksQuestionReplyAndTheNewPasswordInUse) {
  view->Panel()->ShowPasswordPage();
  desk->RunUntilIdle();
  EXPECT_TRUE(Page()->Window()->IsWindowVisible());
  auto* types = static_cast<CComboBox*>(Page()->GetDlgItem(CChangePassView::kTypeList));
  EXPECT_EQ(Utf8(types->GetLBText(types->GetCurSel())), "交易密码");
  struct Check {
    const WCHAR *current, *next, *repeat;
    const char* want;
  } checks[] = {{u"", u"1", u"1", "请输入当前交易密码"},
                {u"1", u"", u"1", "请输入新交易密码"},
                {u"1", u"1", u"", "请确认新交易密码"},
                {u"135790", u"111111", u"222222", "两次输入交易密码不一致，请重新输入！"}};
  for (const Check& c : checks) {
    Fill(c.current, c.next, c.repeat);
    Page()->Change();
    EXPECT_EQ(LastBox(), c.want);
    EXPECT_EQ(LastCaption(), "提示");
  }
  EXPECT_EQ(Count("08"), 0);
  // The mismatch's OK emptied the new password and its repeat.
  EXPECT_EQ(Field(CChangePassView::kCurrentEdit), "135790");
  EXPECT_EQ(Field(CChangePassView::kNewEdit), "");
  EXPECT_EQ(Field(CChangePassView::kRepeatEdit), "");

  // No to the question: nothing sent, the fields kept.
  Fill(u"135790", u"246802", u"246802");
  desk->SetBoxAnswer(IDNO);
  Page()->Change();
  desk->SetBoxAnswer(IDOK);
  EXPECT_EQ(Count("08"), 0);
  EXPECT_EQ(Field(CChangePassView::kNewEdit), "246802");
  EXPECT_TRUE(desk->SavePng(view->m_hWnd, trade_ui_test::SnapshotFolder() + "password.png"));

  // A refused change shows the server's text; the old password stays.
  Fill(u"135790", u"12ab", u"12ab");
  desk->SetBoxAnswer(IDYES);
  ChangeAndWait();
  EXPECT_EQ(LastBox(), "新密码须为6位数字");
  EXPECT_EQ(simtrade::TradeServicePassword(service), "135790");
  EXPECT_EQ(Field(CChangePassView::kCurrentEdit), "");  // OK empties all three

  // Yes sends "08"; the reply's OK empties the fields; a later request
  // carries the new password.
  Fill(u"135790", u"246802", u"246802");
  ChangeAndWait();
  EXPECT_EQ(Last("08").fields, (std::vector<std::string>{"0", "880001", "135790", "246802"}));
  EXPECT_EQ(LastBox(), "密码修改成功");
  EXPECT_EQ(Field(CChangePassView::kNewEdit), "");
  char password[196];
  GetTradePassword(view->Session(), password);
  EXPECT_STREQ(password, "246802");
  view->Panel()->ShowQueryPage(8);
  ASSERT_TRUE(desk->RunUntil([&] { return Count("21") > 0 && !Last("21").replyCode.empty(); }, kWait));
  EXPECT_EQ(Last("21").fields[2], "246802");
  EXPECT_EQ(Last("21").replyCode, "0000");

  // A change whose outcome is unknown says so.
  view->Panel()->ShowPasswordPage();
  Fill(u"246802", u"135790", u"135790");
  simtrade::InjectTradeFault(service, "08", TradeFault::kNoAnswer);
  ChangeAndWait(true);
  EXPECT_EQ(LastBox(), "网络连接超时！");
  desk->SetBoxAnswer(IDOK);
}

class TradeBank : public TradeFormsFixture {
 protected:
  CBankView* Page() { return dynamic_cast<CBankView*>(view->Panel()->BankPage()); }
  bool Shown(UINT id) { return IsWindowVisible(Page()->GetDlgItem(id)->m_hWnd) != 0; }
  int Top(UINT id) {
    CRect r;
    Page()->GetDlgItem(id)->GetWindowRect(&r);
    Page()->ScreenToClient(&r);
    return r.top;
  }
  CComboBox* List(UINT id) { return static_cast<CComboBox*>(Page()->GetDlgItem(id)); }
  void Open() {
    view->Panel()->ShowBankPage(0);
    ASSERT_TRUE(desk->RunUntil([&] { return Page()->Window()->IsWindowVisible(); }, kWait));
    desk->RunUntilIdle();
  }
  // The user's choice in a list (the platform sends CBN_SELCHANGE for the
  // user's choices only).
  void Choose(UINT id, int index) {
    List(id)->SetCurSel(index);
    Page()->SendMessage(WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(List(id)->m_hWnd));
    desk->RunUntilIdle();
  }
  void Put(UINT id, const WCHAR* text) { Page()->GetDlgItem(id)->SetWindowText(text); }
  void TransferAndWait(bool timesOut = false) {
    const size_t boxes = desk->Boxes().size();
    const int sent = Count("13");
    Page()->Transfer();
    if (timesOut) {
      ASSERT_TRUE(desk->RunUntil([&] { return Count("13") > sent; }, kWait));
      desk->Advance(1000);
    }
    ASSERT_TRUE(desk->RunUntil([&] { return desk->Boxes().size() >= boxes + 2; }, kWait));
    desk->RunUntilIdle();
  }
};

TEST_F(TradeBank, RowsFollowTheFlagsAndATransferMovesTheCash) {
  Open();
  EXPECT_EQ(Count("12"), 1);
  // Bank 01, 转入 flag "1": the fund password alone, amount on row 3.
  EXPECT_FALSE(Shown(CBankView::kBankPasswordEdit));
  EXPECT_TRUE(Shown(CBankView::kFundEdit));
  EXPECT_EQ(Top(CBankView::kFundEdit), CBankView::RowTop(2));
  EXPECT_EQ(Top(CBankView::kAmountEdit), CBankView::RowTop(3));
  // Bank 02, 转入 flag "3": both rows, the amount on row 4, the button below.
  Choose(CBankView::kBankList, 1);
  EXPECT_TRUE(Shown(CBankView::kBankPasswordEdit));
  EXPECT_TRUE(Shown(CBankView::kFundEdit));
  EXPECT_EQ(Top(CBankView::kBankPasswordEdit), CBankView::RowTop(2));
  EXPECT_EQ(Top(CBankView::kFundEdit), CBankView::RowTop(3));
  EXPECT_EQ(Top(CBankView::kAmountEdit), CBankView::RowTop(4));
  EXPECT_EQ(Top(CBankView::kTransferButton), CBankView::RowTop(5));
  CRect note;
  Page()->GetDlgItem(CBankView::kFundNote)->GetWindowRect(&note);
  Page()->ScreenToClient(&note);
  EXPECT_EQ(note.left, 428);
  EXPECT_TRUE(desk->SavePng(view->m_hWnd, trade_ui_test::SnapshotFolder() + "bank_both_rows.png"));

  // The checks, in order.
  struct Check {
    const WCHAR *bank, *fund, *amount;
    const char* want;
  } checks[] = {{u"", u"1", u"1", "请输入银行密码"}, {u"1", u"", u"1", "请输入资金密码"}, {u"1", u"1", u"", "请输入转账金额!"}};
  for (const Check& c : checks) {
    Put(CBankView::kBankPasswordEdit, c.bank);
    Put(CBankView::kFundEdit, c.fund);
    Put(CBankView::kAmountEdit, c.amount);
    Page()->Transfer();
    EXPECT_EQ(LastBox(), c.want);
  }
  EXPECT_EQ(Count("13"), 0);

  // 转出 re-reads the first bank's out flag ("0": no password rows).
  Choose(CBankView::kDirectionList, 1);
  EXPECT_EQ(List(CBankView::kBankList)->GetCurSel(), 0);
  EXPECT_FALSE(Shown(CBankView::kBankPasswordEdit));
  EXPECT_FALSE(Shown(CBankView::kFundEdit));
  EXPECT_EQ(Top(CBankView::kAmountEdit), CBankView::RowTop(2));
  Put(CBankView::kAmountEdit, u"1000.00");
  const long long cash = simtrade::TradeServiceAccount(service).cash;
  TransferAndWait();
  const auto& boxes = desk->Boxes();
  EXPECT_EQ(Utf8(boxes[boxes.size() - 2].text), "你确定要转出资金1000.00元吗？");
  EXPECT_EQ(LastBox(), "转账成功");
  // Hidden fields go empty; the direction is "0".
  EXPECT_EQ(Last("13").fields,
            (std::vector<std::string>{"0", "880001", "", "01", "6222000011112222", "0", "", "1000.00", "人民币"}));
  EXPECT_EQ(simtrade::TradeServiceAccount(service).cash, cash - 100000);
  EXPECT_EQ(Utf8(Page()->GetDlgItem(CBankView::kAmountEdit)->GetWindowText()), "");

  // 转入 with bank 02: both passwords go.
  Choose(CBankView::kDirectionList, 0);
  Choose(CBankView::kBankList, 1);
  Put(CBankView::kBankPasswordEdit, u"888888");
  Put(CBankView::kFundEdit, u"246810");
  Put(CBankView::kAmountEdit, u"500");
  TransferAndWait();
  EXPECT_EQ(LastBox(), "转账成功");
  EXPECT_EQ(Last("13").fields[5], "1");
  EXPECT_EQ(Last("13").fields[6], "888888");
  EXPECT_EQ(simtrade::TradeServiceAccount(service).cash, cash - 100000 + 50000);
}

TEST_F(TradeBank, OneTransferAtATimeAndItsOutcomeAlwaysShown) {
  Open();
  Put(CBankView::kFundEdit, u"246810");
  Put(CBankView::kAmountEdit, u"10");
  simtrade::InjectTradeFault(service, "13", TradeFault::kDelay, 1, 300);
  Page()->Transfer();
  EXPECT_TRUE(Page()->Busy());
  Page()->Transfer();
  ASSERT_TRUE(desk->RunUntil([&] { return !Page()->Busy(); }, kWait));
  EXPECT_EQ(Count("13"), 1);
  struct Case {
    TradeFault fault;
    const char* want;
  } cases[] = {{TradeFault::kEmptyBody, "网络连接失败！"},
               {TradeFault::kNoAnswer, "网络连接超时！转账结果未知，请先查询转账记录，再决定是否重试。"}};
  for (const Case& c : cases) {
    Put(CBankView::kFundEdit, u"246810");
    Put(CBankView::kAmountEdit, u"10");
    simtrade::InjectTradeFault(service, "13", c.fault);
    TransferAndWait(c.fault == TradeFault::kNoAnswer);
    EXPECT_EQ(LastBox(), c.want);
    EXPECT_FALSE(Page()->Busy());
    EXPECT_EQ(Utf8(Page()->GetDlgItem(CBankView::kAmountEdit)->GetWindowText()), "10");
  }
}

TEST_F(TradeBank, TheListOncePerLoginAndTheRecordsPage) {
  // An error leaves the page hidden and silent.
  simtrade::InjectTradeFault(service, "12", TradeFault::kSessionExpired);
  const size_t boxes = desk->Boxes().size();
  view->Panel()->ShowBankPage(0);
  ASSERT_TRUE(desk->RunUntil([&] { return Count("12") == 1 && !Last("12").replyCode.empty(); }, kWait));
  desk->RunUntil([&] { return Page()->Window()->IsWindowVisible(); }, 300);
  EXPECT_FALSE(Page()->Window()->IsWindowVisible());
  EXPECT_EQ(desk->Boxes().size(), boxes);
  // Mode 2: the list, then the records page with the chosen bank's records.
  view->Panel()->ShowBankPage(2);
  ASSERT_TRUE(desk->RunUntil([&] { return Count("12") == 2; }, kWait));
  ASSERT_TRUE(desk->RunUntil([&] { return view->Panel()->QueryPage()->Window()->IsWindowVisible(); }, kWait));
  view->Panel()->QueryPage()->Refresh();
  ASSERT_TRUE(desk->RunUntil([&] { return Count("33") == 1 && !Last("33").replyCode.empty(); }, kWait));
  EXPECT_EQ(Last("33").fields[3], "01");
  // Kept for the login: the transfer page asks no more.
  Open();
  EXPECT_EQ(Count("12"), 2);
  // Log-out and the second account: its own banks.
  desk->Click(view->Panel()->Button(CTradeInfoView::kCloseButton)->m_hWnd, 5, 5);
  LogIn(u"880002", u"112233");
  Open();
  EXPECT_EQ(Count("12"), 3);
  EXPECT_EQ(Utf8(List(CBankView::kBankList)->GetLBText(0)), "丙银行");
  EXPECT_FALSE(Shown(CBankView::kFundEdit));  // bank 03, 转入 flag "0"
  EXPECT_EQ(Top(CBankView::kAmountEdit), CBankView::RowTop(2));
}

}  // namespace

// The quick buy/sell dialog opened by the trade window for a stock, driven
// inside its modal loop, against the simulated trade service.
#include <algorithm>

#include "trading/ui/tests/trade_window_test_support.h"
#include "trading/ui/trade_kj_deal_dlg.h"

namespace {

using simtrade::TradeFault;
using trade_ui_test::Utf8;

class TradeQuick : public trade_ui_test::TradeWindowFixture {
 protected:
  void SetUp() override {
    TradeWindowFixture::SetUp();
    LogIn();
  }
  static HWND Dialog() {
    HWND active = GetActiveWindow();
    return active && GetDlgItem(active, CTradeKJDealDlg::kOrderButton) ? active : nullptr;
  }
  static std::string Text(UINT id) {
    WCHAR text[256] = {};
    GetDlgItemTextW(Dialog(), static_cast<int>(id), text, 256);
    return Utf8(text);
  }
  static std::string ListText(UINT id, int index = -2) {
    HWND list = GetDlgItem(Dialog(), static_cast<int>(id));
    if (index == -2) index = static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
    WCHAR text[256] = {};
    SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return Utf8(text);
  }
  int Count(const std::string& code) {
    auto codes = LoggedCodes();
    return static_cast<int>(std::count(codes.begin(), codes.end(), code));
  }
  std::string LastBox() { return desk->Boxes().empty() ? "" : Utf8(desk->Boxes().back().text); }
  void Run(int side, const char* code) {
    StockKey key{};
    snprintf(key.code, sizeof(key.code), "%s", code);
    view->QuickBuySell(side, &key);
    EXPECT_FALSE(desk->StepsTimedOut());
  }
  // Waits in the loop until the dialog shows the stock's name.
  void UntilNamed() {
    desk->Until([] { return Dialog() && !Text(CTradeKJDealDlg::kNameText).empty(); }, 20000);
  }
};

TEST_F(TradeQuick, OpensForTheStockWithSortedHoldersAndItsMarket) {
  UntilNamed();
  desk->Then([&] {
    WCHAR caption[64] = {};
    GetWindowTextW(Dialog(), caption, 64);
    EXPECT_EQ(Utf8(caption), "闪电买入");
    EXPECT_EQ(Text(CTradeKJDealDlg::kCodeText), "600001");
    EXPECT_EQ(Text(CTradeKJDealDlg::kNameText), "甲钢股份");
    EXPECT_EQ(Text(CTradeKJDealDlg::kPriceEdit), "10.51");
    // Sorted by text, not in the login's order (沪A, 深A, 沪B, 深B, 三板A, 三板B).
    EXPECT_EQ(ListText(CTradeKJDealDlg::kHolderList, 0), "三板A:");
    EXPECT_EQ(ListText(CTradeKJDealDlg::kHolderList, 3), "沪B:C123456789");
    EXPECT_EQ(ListText(CTradeKJDealDlg::kHolderList), "沪A:A123456789");
    EXPECT_TRUE(desk->SavePng(Dialog(), trade_ui_test::SnapshotFolder() + "quick_buy.png"));
    desk->Key(VK_ESCAPE);
  });
  Run(0, "600001");
  // A Shenzhen stock on the sell side selects its 深A entry.
  UntilNamed();
  desk->Then([&] {
    WCHAR caption[64] = {};
    GetWindowTextW(Dialog(), caption, 64);
    EXPECT_EQ(Utf8(caption), "闪电卖出");
    EXPECT_EQ(Text(CTradeKJDealDlg::kOrderButton), "卖出");
    EXPECT_EQ(ListText(CTradeKJDealDlg::kHolderList), "深A:0123456789");
    EXPECT_EQ(SendMessageW(GetDlgItem(Dialog(), CTradeKJDealDlg::kKindList), CB_GETCOUNT, 0, 0), 6);
    desk->Key(VK_ESCAPE);
  });
  Run(1, "000002");
  EXPECT_EQ(Count("32"), 1);
  // Five characters: nothing shown or sent, only the limit order.
  desk->Until([] { return Dialog() != nullptr; });
  desk->Then([&] {
    EXPECT_EQ(Text(CTradeKJDealDlg::kCodeText), "");
    EXPECT_EQ(SendMessageW(GetDlgItem(Dialog(), CTradeKJDealDlg::kKindList), CB_GETCOUNT, 0, 0), 1);
    desk->Click(GetDlgItem(Dialog(), CTradeKJDealDlg::kCancelButton), 5, 5);
  });
  Run(0, "60000");
  EXPECT_EQ(Count("31"), 1);
}

TEST_F(TradeQuick, ChecksFirstThenOneOrderPerConfirmationAndTheDialogStays) {
  const int orders = Count("01");
  UntilNamed();
  desk->Then([&] { desk->Click(GetDlgItem(Dialog(), CTradeKJDealDlg::kOrderButton), 5, 5); });
  desk->Until([&] { return !desk->Boxes().empty(); });
  desk->Then([&] {
    EXPECT_EQ(LastBox(), "请输入买卖数量！");
    EXPECT_EQ(Utf8(desk->Boxes().back().caption), "提示信息");
    SetDlgItemTextW(Dialog(), CTradeKJDealDlg::kQuantityEdit, u"100");
    desk->Advance(600);
    desk->Click(GetDlgItem(Dialog(), CTradeKJDealDlg::kOrderButton), 5, 5);
  });
  desk->Until([&] { return LastBox().find("委托成功") != std::string::npos; }, 20000);
  desk->Then([&] {
    const auto& boxes = desk->Boxes();
    EXPECT_EQ(Utf8(boxes[boxes.size() - 2].caption), "卖出交易确认");
    EXPECT_EQ(Count("01"), orders + 1);
    // Still open: a second order.
    desk->Advance(600);
    desk->Click(GetDlgItem(Dialog(), CTradeKJDealDlg::kOrderButton), 5, 5);
  });
  desk->Until([&] { return Count("01") == orders + 2 && desk->Boxes().size() >= 5; }, 20000);
  desk->Then([&] { desk->Key(VK_ESCAPE); });
  Run(1, "600001");
  auto log = simtrade::TradeServiceLog(service);
  EXPECT_EQ(log.back().code, "01");
  EXPECT_EQ(log.back().fields, (std::vector<std::string>{"1", "A123456789", "135790", "600001", "1", "100", "10.51", "0"}));
}

TEST_F(TradeQuick, CancelAbandonsADelayedReply) {
  simtrade::InjectTradeFault(service, "31", TradeFault::kDelay, 1, 300);
  desk->Until([&] { return Dialog() != nullptr && Count("31") == 1; });
  desk->Then([&] { desk->Click(GetDlgItem(Dialog(), CTradeKJDealDlg::kCancelButton), 5, 5); });
  const size_t boxes = desk->Boxes().size();
  Run(0, "600001");
  EXPECT_EQ(Dialog(), nullptr);
  ASSERT_TRUE(desk->RunUntil([&] { return !simtrade::TradeServiceLog(service).back().replyCode.empty(); }, 20000));
  desk->RunUntilIdle();
  EXPECT_EQ(desk->Boxes().size(), boxes);
  // The dialog's order-information request is no longer registered.
  std::lock_guard<std::mutex> hold(view->Session()->lock);
  for (const auto& pending : view->Session()->pending) EXPECT_NE(pending->kind, kTradeKindOrderInfo);
}

}  // namespace

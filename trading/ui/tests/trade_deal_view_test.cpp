// The order form and its five-level panel in the real trade window, logged
// in through the login dialog, against the simulated trade service.
#include <QImage>
#include <algorithm>
#include <cstring>

#include "trading/ui/tests/trade_window_test_support.h"
#include "trading/ui/trade_deal_view.h"

namespace {

using simtrade::TradeFault;
using trade_ui_test::Utf8;

constexpr DWORD kWait = 20000;

class TradeDeal : public trade_ui_test::TradeWindowFixture {
 protected:
  void SetUp() override {
    TradeWindowFixture::SetUp();
    LogIn();
  }
  CTradeDealView* Form() { return dynamic_cast<CTradeDealView*>(view->Panel()->OrderPage()); }
  void Open(int side) {
    view->Panel()->ShowOrderPage(side, nullptr);
    desk->RunUntilIdle();
  }
  WString Text(UINT id) { return Form()->GetDlgItem(id)->GetWindowText(); }
  void SetText(UINT id, const WCHAR* text) { Form()->GetDlgItem(id)->SetWindowText(text); }
  HWND Item(UINT id) { return Form()->GetDlgItem(id)->m_hWnd; }
  // A click into the code edit (a while after any earlier click, so it is
  // no double click).
  void ClickCode() {
    desk->Advance(600);
    desk->Click(Item(CTradeDealView::kCodeEdit), 5, 5);
  }
  // Types the code into the edit and waits for its order information.
  void Enter(const WCHAR* code) {
    const int asked = Count("31") + Count("32");
    ClickCode();
    desk->Type(code);
    ASSERT_TRUE(desk->RunUntil(
        [&] { return Count("31") + Count("32") > asked && Form()->InfoRequestsInFlight() == 0; }, kWait));
    desk->RunUntilIdle();
  }
  size_t BoxCount() { return desk->Boxes().size(); }
  bool BoxArrived(size_t before) { return desk->Boxes().size() > before; }
  // Clicks the order button and waits for the reply's box (the box after
  // the confirmation).
  // A request that gets no answer times out on the desktop's clock.
  void PlaceAndWait(bool timesOut = false) {
    const size_t before = BoxCount();
    const int orders = Count("01");
    desk->Advance(600);
    desk->Click(Item(CTradeDealView::kOrderButton), 5, 5);
    if (timesOut) {
      ASSERT_TRUE(desk->RunUntil([&] { return Count("01") > orders; }, kWait));
      desk->Advance(1000);
    }
    ASSERT_TRUE(desk->RunUntil([&] { return BoxCount() >= before + 2; }, kWait));
    desk->RunUntilIdle();
  }
  std::string LastBox() { return desk->Boxes().empty() ? "" : Utf8(desk->Boxes().back().text); }
  std::string LastCaption() { return desk->Boxes().empty() ? "" : Utf8(desk->Boxes().back().caption); }
  const simtrade::TradeAccountHolding* Holding(const simtrade::TradeAccountSnapshot& s, const std::string& code) {
    for (const auto& h : s.holdings)
      if (h.code == code) return &h;
    return nullptr;
  }
  // Pixels of the panel cell id whose colour passes the test.
  int CellPixels(UINT id, const std::function<bool(QColor)>& test) {
    CBuySellLevelView& panel = Form()->LevelView();
    QImage image = desk->Snapshot(panel.m_hWnd);
    CRect r;
    panel.GetDlgItem(id)->GetWindowRect(&r);
    panel.ScreenToClient(&r);
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (test(QColor(image.pixel(x, y)))) ++n;
    return n;
  }
  static bool Red(QColor c) { return c.red() > 200 && c.green() < 80 && c.blue() < 80; }
  static bool Green(QColor c) { return c.green() > 100 && c.red() < 60 && c.blue() < 80; }
  static bool Blue(QColor c) { return c.blue() > 140 && c.red() < 60 && c.green() < 80; }
  static bool Black(QColor c) { return c.red() < 60 && c.green() < 60 && c.blue() < 60; }
};

TEST_F(TradeDeal, TheSixthCharacterAsksOnceAndTheReplyFillsFormAndPanel) {
  for (int side : {0, 1}) {
    SCOPED_TRACE(side);
    Open(side);
    const std::string code = side == 0 ? "31" : "32";
    const int before = Count(code);
    ClickCode();
    desk->Type(u"60000");
    desk->RunUntilIdle();
    EXPECT_EQ(Count(code), before);
    desk->Type(u"5");
    const bool named = desk->RunUntil([&] { return !Text(CTradeDealView::kNameText).empty(); }, kWait);
    ASSERT_TRUE(named);
    desk->RunUntilIdle();
    EXPECT_EQ(Count(code), before + 1);
    EXPECT_EQ(Last(code).fields[3], "600005");
    // The same code again asks nothing.
    Form()->SetCode(u"600005");
    desk->RunUntilIdle();
    EXPECT_EQ(Count(code), before + 1);

    EXPECT_EQ(Utf8(Text(CTradeDealView::kNameText)), "癸电力");
    EXPECT_EQ(Utf8(Text(CTradeDealView::kPriceEdit)), "10.01");  // the first ask
    // 100,000.00 less the open buy of 200 at 19.90; lots at the first ask.
    EXPECT_EQ(Utf8(Text(CTradeDealView::kMaximumText)), side == 0 ? "9500" : "0");
    EXPECT_EQ(Utf8(Text(CTradeDealView::kFundsText)), "96020.00");
    EXPECT_EQ(IsWindowVisible(Item(CTradeDealView::kFundsText)) != 0, side == 0);
    CComboBox* kinds = static_cast<CComboBox*>(Form()->GetDlgItem(CTradeDealView::kKindList));
    EXPECT_EQ(kinds->GetCount(), 3);  // Shanghai
    CComboBox* holders = static_cast<CComboBox*>(Form()->GetDlgItem(CTradeDealView::kHolderList));
    EXPECT_EQ(Utf8(holders->GetLBText(holders->GetCurSel())), "沪A:A123456789");

    CBuySellLevelView& panel = Form()->LevelView();
    struct Cell {
      UINT id;
      const char* text;
      COLORREF color;
    } cells[] = {
        {5055, "10.05", CBuySellLevelView::kUp},      {5059, "10.01", CBuySellLevelView::kUp},
        {5074, "10.00", CBuySellLevelView::kEqual},   {5070, "9.96", CBuySellLevelView::kDown},
        {5084, "10.00", CBuySellLevelView::kEqual},   {5085, "11.00", CBuySellLevelView::kUp},
        {5087, "9.00", CBuySellLevelView::kDown},     {5086, "10.00", CBuySellLevelView::kEqual},
    };
    for (const Cell& c : cells) {
      EXPECT_EQ(Utf8(panel.CellText(c.id)), c.text) << c.id;
      EXPECT_EQ(panel.CellColor(c.id), c.color) << c.id;
    }
    EXPECT_EQ(Utf8(panel.CellText(5060)), "500");  // 卖5量
    EXPECT_EQ(Utf8(panel.CellText(5079)), "200");  // 买1量
    EXPECT_EQ(Utf8(panel.CellText(5050)), "卖五");
    EXPECT_EQ(Utf8(panel.CellText(5083)), "跌停");
    // By their pixels: red above the close, green below, black equal; ask
    // volumes blue, bid volumes red.
    EXPECT_GT(CellPixels(5055, Red), 5);
    EXPECT_EQ(CellPixels(5055, Green), 0);
    EXPECT_GT(CellPixels(5070, Green), 5);
    EXPECT_GT(CellPixels(5074, Black), 5);
    EXPECT_EQ(CellPixels(5074, Red), 0);
    EXPECT_GT(CellPixels(5060, Blue), 5);
    EXPECT_GT(CellPixels(5079, Red), 5);
    EXPECT_TRUE(desk->SavePng(Form()->m_hWnd, trade_ui_test::SnapshotFolder() +
                                                  (side == 0 ? "order_form_buy.png" : "order_form_sell.png")));
  }
}

TEST_F(TradeDeal, DeletingACharacterEmptiesTheFormAndThePanel) {
  Open(0);
  Enter(u"600001");
  SetText(CTradeDealView::kQuantityEdit, u"100");
  ClickCode();
  desk->Key(VK_END);
  desk->Key(VK_BACK);
  desk->RunUntilIdle();
  EXPECT_EQ(Utf8(Text(CTradeDealView::kCodeEdit)), "60000");
  for (UINT id : {CTradeDealView::kPriceEdit, CTradeDealView::kQuantityEdit, CTradeDealView::kFundsText,
                  CTradeDealView::kMaximumText, CTradeDealView::kNameText})
    EXPECT_EQ(Utf8(Text(id)), "") << id;
  for (UINT id = CBuySellLevelView::kFirstId; id <= CBuySellLevelView::kLastId; ++id)
    EXPECT_EQ(Utf8(Form()->LevelView().CellText(id)), "") << id;
}

TEST_F(TradeDeal, LevelClicksWriteThePriceAndArrowsAndShortcutsSetTheInputs) {
  Open(0);
  Enter(u"600001");
  CBuySellLevelView& panel = Form()->LevelView();
  struct Click {
    UINT id;
    const char* price;
  } clicks[] = {{5057, "10.53"}, {5072, "10.48"}, {5085, "11.33"}, {5087, "9.27"}};
  for (const Click& c : clicks) {
    desk->Click(panel.GetDlgItem(c.id)->m_hWnd, 10, 8);
    desk->RunUntilIdle();
    EXPECT_EQ(Utf8(Text(CTradeDealView::kPriceEdit)), c.price) << c.id;
  }
  // Price arrows: the upper arrow adds a cent.
  CRect spin;
  Form()->GetDlgItem(CTradeDealView::kPriceSpin)->GetClientRect(&spin);
  desk->Click(Item(CTradeDealView::kPriceSpin), 7, 3);
  desk->RunUntilIdle();
  EXPECT_EQ(Utf8(Text(CTradeDealView::kPriceEdit)), "9.28");
  desk->Click(Item(CTradeDealView::kQuantitySpin), 7, 3);
  desk->Click(Item(CTradeDealView::kQuantitySpin), 7, 3);
  desk->RunUntilIdle();
  EXPECT_EQ(Utf8(Text(CTradeDealView::kQuantityEdit)), "200");
  desk->Click(Item(CTradeDealView::kQuantitySpin), 7, spin.Height() - 3);
  desk->RunUntilIdle();
  EXPECT_EQ(Utf8(Text(CTradeDealView::kQuantityEdit)), "100");
  // 1/3 of the maximum, "全部" the maximum's text.
  const WString maximumText = Text(CTradeDealView::kMaximumText);
  const long maximum = wcstol(std::wstring(maximumText.begin(), maximumText.end()).c_str(), nullptr, 10);
  desk->Click(Item(CTradeDealView::kFirstRatio + 1), 5, 5);
  desk->RunUntilIdle();
  EXPECT_EQ(Utf8(Text(CTradeDealView::kQuantityEdit)), std::to_string(maximum / 3));
  desk->Click(Item(CTradeDealView::kAllButton), 5, 5);
  desk->RunUntilIdle();
  EXPECT_EQ(Text(CTradeDealView::kQuantityEdit), Text(CTradeDealView::kMaximumText));

  // A stock at its upper limit: no asks, the preset is the current price,
  // an empty ask cell empties the price.
  Form()->ClearForm(true);
  Enter(u"600003");
  EXPECT_EQ(Utf8(Text(CTradeDealView::kPriceEdit)), "11.00");
  EXPECT_EQ(Utf8(panel.CellText(5059)), "");
  desk->Click(panel.GetDlgItem(5059)->m_hWnd, 10, 8);
  desk->RunUntilIdle();
  EXPECT_EQ(Utf8(Text(CTradeDealView::kPriceEdit)), "");
  // A first ask of "0.00" also presets the current price.
  Form()->ClearForm(true);
  Enter(u"600004");
  EXPECT_EQ(Utf8(Text(CTradeDealView::kPriceEdit)), "15.20");
  // The current price under its other column name.
  simtrade::SetTradeRecentPriceColumn(service, true);
  Form()->ClearForm(true);
  Enter(u"600003");
  EXPECT_EQ(Utf8(Text(CTradeDealView::kPriceEdit)), "11.00");
  EXPECT_EQ(Utf8(panel.CellText(CBuySellLevelView::kCurrentValue)), "11.00");
}

TEST_F(TradeDeal, ABuyAtTheAskSendsOneOrderAndLandsInTheAccount) {
  const simtrade::TradeAccountSnapshot before = simtrade::TradeServiceAccount(service);
  Open(0);
  Enter(u"600001");
  SetText(CTradeDealView::kQuantityEdit, u"100");
  const int orders = Count("01");
  PlaceAndWait();
  ASSERT_EQ(Count("01"), orders + 1);
  const auto& boxes = desk->Boxes();
  const auto& confirm = boxes[boxes.size() - 2];
  EXPECT_EQ(Utf8(confirm.caption), "买入交易确认");
  EXPECT_EQ(Utf8(confirm.text).rfind("操作类别：买入\n证券代码：600001  甲钢股份\n委托价格：10.51\n委托数量：100股", 0), 0u);
  EXPECT_EQ(Last("01").fields,
            (std::vector<std::string>{"1", "A123456789", "135790", "600001", "0", "100", "10.51", "0"}));
  EXPECT_EQ(LastCaption(), "提示");
  EXPECT_EQ(LastBox().rfind("委托成功，委托序号：", 0), 0u);
  // The form is cleared and the panel asks for today's orders.
  EXPECT_EQ(Utf8(Text(CTradeDealView::kCodeEdit)), "");
  EXPECT_EQ(Utf8(Text(CTradeDealView::kQuantityEdit)), "");
  const simtrade::TradeAccountSnapshot after = simtrade::TradeServiceAccount(service);
  EXPECT_EQ(after.cash, before.cash - 1051 * 100);
  ASSERT_NE(Holding(after, "600001"), nullptr);
  EXPECT_EQ(Holding(after, "600001")->shares, Holding(before, "600001")->shares + 100);
  EXPECT_EQ(after.orders.back().status, "已成");
}

TEST_F(TradeDeal, RefusalsShowTheServersTextAndKeepTheInputs) {
  struct Case {
    const char* name;
    const WCHAR* code;
    const WCHAR* quantity;
    const WCHAR* price;   // null: the preset
    int holder;           // -1: the one the form chose
    const char* want;
  } cases[] = {
      {"odd lot", u"600001", u"150", nullptr, -1, "委托数量错误"},
      {"beyond the limit", u"600001", u"100", u"11.40", -1, "委托价格超出涨跌停限制"},
      {"insufficient funds", u"600001", u"9000", u"11.33", -1, "可用资金不足"},
      {"holder of another market", u"600001", u"100", nullptr, 1, "股东代码错误"},
      {"深B with its own holder", u"200002", u"100", nullptr, -1, "委托成功"},
  };
  Open(0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Form()->ClearForm(true);
    Enter(c.code);
    SetText(CTradeDealView::kQuantityEdit, c.quantity);
    if (c.price) SetText(CTradeDealView::kPriceEdit, c.price);
    if (c.holder >= 0)
      static_cast<CComboBox*>(Form()->GetDlgItem(CTradeDealView::kHolderList))->SetCurSel(c.holder);
    PlaceAndWait();
    EXPECT_NE(LastBox().find(c.want), std::string::npos) << LastBox();
    if (std::string(c.want) == "委托成功") {
      EXPECT_EQ(Last("01").fields[0], "4");
      EXPECT_EQ(Last("01").fields[1], "2123456789");
      continue;
    }
    EXPECT_EQ(Utf8(Text(CTradeDealView::kCodeEdit)), Utf8(c.code));
    EXPECT_EQ(Text(CTradeDealView::kQuantityEdit), WString(c.quantity));
  }
}

TEST_F(TradeDeal, AnOrderInFlightIsNeverSentTwiceAndItsOutcomeIsAlwaysShown) {
  Open(0);
  Enter(u"600001");
  SetText(CTradeDealView::kQuantityEdit, u"100");
  // A second press while the first order waits sends nothing.
  simtrade::InjectTradeFault(service, "01", TradeFault::kDelay, 1, 400);
  const int orders = Count("01");
  desk->Click(Item(CTradeDealView::kOrderButton), 5, 5);
  desk->Click(Item(CTradeDealView::kOrderButton), 5, 5);
  EXPECT_EQ(LastBox(), "上一笔委托尚未返回，请稍候");
  EXPECT_EQ(LastCaption(), "提示信息");
  ASSERT_TRUE(desk->RunUntil([&] { return LastBox().find("委托成功") != std::string::npos; }, kWait));
  EXPECT_EQ(Count("01"), orders + 1);

  // A time-out after a quiet refresh (which clears the report flag) is
  // still shown; so is a failure.
  struct Case {
    TradeFault fault;
    const char* want;
  } cases[] = {{TradeFault::kNoAnswer, "网络连接超时！委托结果未知，请先查询当日委托，再决定是否重新下单。"},
               {TradeFault::kEmptyBody, "网络连接失败！"}};
  for (const Case& c : cases) {
    Enter(u"600001");
    SetText(CTradeDealView::kQuantityEdit, u"100");
    Form()->Refresh();
    ASSERT_TRUE(desk->RunUntil([&] { return Form()->InfoRequestsInFlight() == 0; }, kWait));
    simtrade::InjectTradeFault(service, "01", c.fault);
    PlaceAndWait(c.fault == TradeFault::kNoAnswer);
    EXPECT_EQ(LastBox(), c.want);
    EXPECT_EQ(LastCaption(), "提示");
    Form()->ClearForm(true);
  }
}

TEST_F(TradeDeal, TheQuietRefreshAsksTheFormsSideAndOnlyFeedsThePanel) {
  Open(1);
  Enter(u"000002");
  SetText(CTradeDealView::kPriceEdit, u"12.00");
  const int asks = Count("32");
  Form()->Refresh();
  ASSERT_TRUE(desk->RunUntil([&] { return Count("32") == asks + 1; }, kWait));
  ASSERT_TRUE(desk->RunUntil([&] { return Form()->InfoRequestsInFlight() == 0; }, kWait));
  desk->RunUntilIdle();
  EXPECT_EQ(Utf8(Text(CTradeDealView::kPriceEdit)), "12.00");  // the fields are left alone
  EXPECT_EQ(Utf8(Form()->LevelView().CellText(5059)), "12.35");
  // The timer's expiry sends nothing.
  const size_t logged = LoggedCodes().size();
  desk->Advance(25000);
  desk->RunUntilIdle();
  EXPECT_EQ(LoggedCodes().size(), logged);

  // A delayed order-information reply that comes after an order's reply
  // reaches only the order-information path.
  simtrade::InjectTradeFault(service, "32", TradeFault::kDelay, 1, 400);
  Form()->Refresh();
  SetText(CTradeDealView::kQuantityEdit, u"50");
  const size_t boxes = BoxCount();
  PlaceAndWait();
  EXPECT_NE(LastBox().find("委托成功"), std::string::npos);  // a sell of 50 is no odd lot
  ASSERT_TRUE(desk->RunUntil([&] { return Form()->InfoRequestsInFlight() == 0; }, kWait));
  desk->RunUntilIdle();
  EXPECT_EQ(BoxCount(), boxes + 2);
}

}  // namespace

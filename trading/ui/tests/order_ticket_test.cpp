// The order ticket's arithmetic, checks and fields as tables.
#include "trading/ui/order_ticket.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/kernel/kernel_utf.h"

namespace {

using namespace order_ticket;

std::string U8(const WString& s) { return WideToUtf8(s); }

OrderInfo InfoWith(std::initializer_list<std::pair<int, const char*>> slots) {
  OrderInfo info{};
  for (const auto& [slot, text] : slots) CopyTradeText(info.slot[slot], kOrderInfoTextSize, text);
  return info;
}

TradeLoginInfo LoginWith(std::initializer_list<std::pair<const char*, const char*>> pairs) {
  TradeLoginInfo info{};
  for (const auto& [name, value] : pairs) {
    CopyTradeText(info.name[info.count], kTradeLoginTextSize, name);
    CopyTradeText(info.value[info.count], kTradeLoginTextSize, value);
    ++info.count;
  }
  return info;
}

TEST(OrderTicket, PriceArrows) {
  struct Case {
    const char16_t* text;
    int delta;  // -1 upper arrow, +1 lower arrow
    const char16_t* want;
  } cases[] = {
      {u"9.99", -1, u"10.00"}, {u"9.99", 1, u"9.98"},  {u"1.000", 1, u"0.999"}, {u"0.01", 1, u"0.00"},
      {u"0.001", 1, u"0.000"}, {u"", 1, u"0.00"},      {u"", -1, u"0.01"},      {u"12", -1, u"12.01"},
      {u"123", -1, u"123.001"}, {u"5", -1, u"5"},      {u"1.5", 1, u"1.5"},     {u"10.5000", -1, u"10.5000"},
      {u"0.00", 1, u"0.00"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(U8(StepPrice(c.text, c.delta)), U8(c.want)) << U8(c.text) << " " << c.delta;
}

TEST(OrderTicket, QuantityArrowsRatiosAndTheMaximum) {
  struct Case {
    const char16_t* text;
    int delta;
    const char16_t* want;
  } cases[] = {{u"50", 1, u"0"}, {u"", -1, u"100"}, {u"250", 1, u"150"}, {u"-30", 1, u"0"}, {u"0100", -1, u"200"},
               {u"9999999999999999999999", -1, u"2147483647"}};
  for (const Case& c : cases) EXPECT_EQ(U8(StepQuantity(c.text, c.delta)), U8(c.want)) << U8(c.text);
  // 1/N of the side's maximum, truncated, no lot rounding.
  const OrderInfo info = InfoWith({{4, "1000"}, {5, "350"}});
  EXPECT_EQ(U8(RatioQuantity(info, 0, 3)), "333");
  EXPECT_EQ(U8(RatioQuantity(info, 1, 2)), "175");
  EXPECT_EQ(U8(RatioQuantity(InfoWith({{4, "abc"}}), 0, 2)), "0");
}

TEST(OrderTicket, ChecksInOrderWithTheirTexts) {
  OrderInput base;
  base.quantity = u"100";
  base.maximum = u"1000";
  base.price = u"10.50";
  struct Case {
    const char* name;
    int side;
    const char16_t* quantity;
    const char16_t* maximum;
    const char16_t* price;
    int kind;
    const char16_t* want;  // null: passes
  } cases[] = {
      {"empty quantity", 0, u"", u"1000", u"", 0, u"请输入买卖数量！"},
      {"zero quantity", 0, u"0", u"1000", u"", 0, u"买卖数量不能为0！"},
      {"above the buy maximum", 0, u"1100", u"1000", u"10", 0, u"买入数量不能为大于最大可买数量！"},
      {"above the sell maximum", 1, u"200", u"100", u"10", 0, u"卖出数量不能为大于最大可卖数量！"},
      {"empty maximum stops every order", 0, u"100", u"", u"10", 0, u"买入数量不能为大于最大可买数量！"},
      {"empty price", 0, u"100", u"1000", u"", 0, u"请输入买卖价格！"},
      {"zero price", 0, u"100", u"1000", u"0.00", 0, u"买卖价格不能为0！"},
      {"market kind needs no price", 0, u"100", u"1000", u"", 1, nullptr},
      {"leading zero quantity", 0, u"0100", u"100", u"9.9", 0, nullptr},
  };
  for (const Case& c : cases) {
    OrderInput in = base;
    in.side = c.side;
    in.quantity = c.quantity;
    in.maximum = c.maximum;
    in.price = c.price;
    in.kindIndex = c.kind;
    const WCHAR* got = CheckOrder(in);
    EXPECT_EQ(got ? U8(got) : "<passes>", c.want ? U8(c.want) : "<passes>") << c.name;
  }
}

TEST(OrderTicket, ConfirmationTextTitlesAndFields) {
  OrderInput in;
  in.side = 0;
  in.code = u"600001";
  in.name = u"甲钢股份";
  in.price = u"10.51";
  in.quantity = u"0100";
  in.maximum = u"900";
  in.kindText = u"限价委托";
  in.shareholder = u"沪A:A123456789";
  EXPECT_EQ(U8(ConfirmationText(in)),
            "操作类别：买入\n证券代码：600001  甲钢股份\n委托价格：10.51\n委托数量：0100股\n委托方式：限价委托\n"
            "股东代码：沪A:A123456789\n(如果股东代码有误，请选择正确的股东代码。)\n\n没有选择对应市场的股东，交易可能不会成功!");
  OrderFields f = MakeOrderFields(in, 1);
  EXPECT_EQ(f.market, 1);
  EXPECT_EQ(f.shareholderCode, "A123456789");
  EXPECT_EQ(f.stockCode, "600001");
  EXPECT_EQ(f.side, "0");
  EXPECT_EQ(f.quantity, "0100");
  EXPECT_EQ(f.price, "10.51");
  EXPECT_EQ(f.priceType, "0");

  // A market kind: no price line, but the price is still sent; the kind's
  // code by market and index.
  in.side = 1;
  in.kindIndex = 1;
  in.kindText = u"对手方最优价格委托";
  const std::string text = U8(ConfirmationText(in));
  EXPECT_EQ(text.find("委托价格"), std::string::npos);
  EXPECT_NE(text.find("卖出数量大于最大可卖"), std::string::npos);
  f = MakeOrderFields(in, 2);
  EXPECT_EQ(f.side, "1");
  EXPECT_EQ(f.price, "10.51");
  EXPECT_EQ(f.priceType, "1");
  EXPECT_EQ(MakeOrderFields(in, 1).priceType, "4");

  EXPECT_EQ(U8(ConfirmationTitle(0, false)), "买入交易确认");
  EXPECT_EQ(U8(ConfirmationTitle(1, false)), "卖出入交易确认");
  EXPECT_EQ(U8(ConfirmationTitle(1, true)), "卖出交易确认");

  struct Holder {
    const char16_t* entry;
    const char* code;
  } holders[] = {{u"深A:0123", "0123"}, {u":X", ":X"}, {u"X", "X"}, {u"a:b:c", "b:c"}};
  for (const Holder& h : holders) EXPECT_EQ(U8(ShareholderCode(h.entry)), h.code) << U8(h.entry);
}

TEST(OrderTicket, ShareholdersMarketsAndKinds) {
  const TradeLoginInfo login = LoginWith(
      {{"客户姓名", "王"}, {"深A", "0123"}, {"沪A", "A123"}, {"深B", "2123"}, {"沪A股", "x"}, {"深B", "2999"}});
  const std::vector<WString> entries = ShareholderEntries(login, false);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(U8(entries[0]), "深A:0123");
  EXPECT_EQ(U8(entries[2]), "深B:2123");
  const std::vector<WString> sorted = ShareholderEntries(login, true);
  EXPECT_EQ(U8(sorted[0]), "沪A:A123");

  std::vector<WString> kinds = {u"unchanged"};
  EXPECT_TRUE(OrderKinds(4, &kinds));
  EXPECT_EQ(kinds.size(), 6u);
  EXPECT_EQ(U8(kinds[1]), "对手方最优价格委托");
  EXPECT_EQ(ShareholderIndex(entries, 4), 2);  // the first 深B entry
  EXPECT_TRUE(OrderKinds(3, &kinds));
  EXPECT_EQ(kinds.size(), 3u);
  EXPECT_TRUE(OrderKinds(13, &kinds));
  EXPECT_EQ(kinds.size(), 1u);
  kinds = {u"kept"};
  EXPECT_FALSE(OrderKinds(7, &kinds));
  EXPECT_EQ(U8(kinds[0]), "kept");
  EXPECT_EQ(ShareholderIndex(entries, 7), 0);
  EXPECT_EQ(ShareholderIndex(entries, 3), 0);  // no 沪B entry: the first
}

TEST(OrderTicket, CodeChangesAndPresets) {
  struct Case {
    const char16_t* last;
    const char16_t* text;
    CodeAction want;
  } cases[] = {
      {u"", u"6", CodeAction::kClear},           {u"60000", u"600001", CodeAction::kRequest},
      {u"600001", u"600001", CodeAction::kNothing}, {u"600001", u"60000", CodeAction::kClear},
      {u"", u"中国平安银行", CodeAction::kClear},  {u"", u"60 001", CodeAction::kClear},
  };
  for (const Case& c : cases) EXPECT_EQ(CodeChange(c.last, c.text), c.want) << U8(c.text);

  struct Preset {
    const char* name;
    const char* ask;
    const char* want;
  } presets[] = {{"first ask", "10.51", "10.51"}, {"no ask", "", "10.50"}, {"zero ask", "0.00", "10.50"}};
  for (const Preset& p : presets) {
    const OrderInfo info =
        InfoWith({{1, "甲钢"}, {2, "1"}, {4, "900"}, {5, "300"}, {6, "8000.00"}, {7, "10.50"}, {17, p.ask}});
    const OrderInfoView buy = ReadOrderInfo(info, 0);
    EXPECT_EQ(U8(buy.price), p.want) << p.name;
    EXPECT_EQ(U8(buy.maximum), "900");
    EXPECT_EQ(U8(ReadOrderInfo(info, 1).maximum), "300");
    EXPECT_EQ(buy.market, 1);
    EXPECT_EQ(U8(buy.funds), "8000.00");
  }
  EXPECT_EQ(ReadOrderInfo(InfoWith({{2, "x4"}}), 0).market, 0);
}

}  // namespace

// The order ticket: what the order form and the quick buy/sell dialog
// compute, without a window — shareholder entries, the order kinds of a
// market, the code rule, the fields an order-information reply fills, the
// price and quantity arrows, the checks before an order, the confirmation
// text and the fields of the order request.
//
// Texts the windows show are UTF-16; texts read from the OrderInfo table and
// handed to the requests are UTF-8. Numbers typed by the user are read from
// their first 15 characters (the rest is ignored), so no text can overflow.
#pragma once

#include <string>
#include <vector>

#include "platform/kernel/win_types.h"
#include "trading/trade_tables.h"

namespace order_ticket {

// "沪A" 1, "深A" 2, "沪B" 3, "深B" 4, "三板A" 12, "三板B" 13; "" for any other.
const WCHAR* MarketName(int market);

// "market:code" for each login pair named exactly 沪A, 沪B, 深A, 深B, 三板A or
// 三板B, in the table's order; sorted by text when sorted is set (the quick
// dialog's sorted list).
std::vector<WString> ShareholderEntries(const TradeLoginInfo& info, bool sorted);

// The order kinds of a market in list order: the Shanghai three for 1 and 3,
// the Shenzhen six for 2 and 4, the limit order alone for 12 and 13. False
// (kinds untouched) for any other market: the list keeps its entries.
bool OrderKinds(int market, std::vector<WString>* kinds);
// The limit order alone (the list before a market is known).
std::vector<WString> LimitOrderKinds();

// The index of the first entry that begins with the market's name; 0 for an
// unknown market (its empty name matches the first entry) or when none does.
int ShareholderIndex(const std::vector<WString>& entries, int market);

// The shareholder code of an entry: the text after its first ":" (the whole
// text when ":" is missing or stands first).
WString ShareholderCode(const WString& entry);

// What a change of the code edit asks for.
enum class CodeAction {
  kNothing,  // the text is the last code again
  kRequest,  // a stock code: ask for its order information
  kClear,    // anything else: clear the form (not the code)
};
// Only six ASCII letters or digits are a code; any other text, six
// characters or not, clears.
CodeAction CodeChange(const WString& lastCode, const WString& text);
bool IsStockCode(const WString& text);

// The form's fields from an order-information table; side 0 buy, 1 sell.
struct OrderInfoView {
  WString funds;    // 可用金额
  WString maximum;  // 可买数量 (buy) or 可用股数 (sell)
  WString name;     // 股票名称
  WString price;    // the preset: 卖1价, or 当前价 when 卖1价 is empty or "0.00"
  int market = 0;   // 市场代码 as a decimal number (0 when not one)
};
OrderInfoView ReadOrderInfo(const OrderInfo& info, int side);
// A slot as shown (UTF-8 to UTF-16, at most 255 units).
WString SlotText(const OrderInfo& info, int slot);

// The arrows. delta is the up-down's step: -1 upper arrow, +1 lower arrow.
// Price: decimals are the characters after the first "." (a text without
// "." counts its length); two or three decimals step by 0.01 or 0.001 with a
// floor of 0, an empty text gives "0.00" (lower) or "0.01" (upper), any
// other form comes back unchanged.
WString StepPrice(const WString& text, int delta);
// Quantity: ±100 with a floor of 0, written "%d".
WString StepQuantity(const WString& text, int delta);
// 1/n of the maximum (可买数量 or 可用股数 read as an integer), truncated.
WString RatioQuantity(const OrderInfo& info, int side, int n);

// The first 15 characters read as a decimal integer / number (0 when none).
long ReadInteger(const WString& text);
double ReadNumber(const WString& text);

// What the user put on the ticket.
struct OrderInput {
  int side = 0;           // 0 buy, 1 sell
  WString code;           // stock code
  WString name;           // stock name as shown
  WString price;          // price edit
  WString quantity;       // quantity edit
  WString maximum;        // maximum as shown
  int kindIndex = 0;      // order-kind index; 0 the limit order
  WString kindText;       // its text
  WString shareholder;    // shareholder entry
};

// The first failed check's text (shown "提示信息"), or null: quantity empty,
// zero, above the maximum (an empty maximum counts 0), then for the limit
// order price empty or zero.
const WCHAR* CheckOrder(const OrderInput& input);

// The confirmation box's text with its warning, and its title (the form's
// sell title differs from the quick dialog's).
WString ConfirmationText(const OrderInput& input);
const WCHAR* ConfirmationTitle(int side, bool quickDialog);

// The order request's fields (UTF-8), the market from the order information.
struct OrderFields {
  int market = 0;
  std::string shareholderCode;
  std::string stockCode;
  std::string side;       // "0" buy, "1" sell
  std::string quantity;
  std::string price;      // sent for every kind
  std::string priceType;  // by market and kind index
};
OrderFields MakeOrderFields(const OrderInput& input, int market);

}  // namespace order_ticket

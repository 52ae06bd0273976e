#include "trading/ui/order_ticket.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/text_codec.h"
#include "trading/trade_requests.h"

namespace order_ticket {
namespace {

constexpr size_t kReadLength = 15;

const WCHAR* const kShanghaiKinds[] = {u"限价委托", u"五档即时成交剩余撤销", u"五档即时成交剩余转限"};
const WCHAR* const kShenzhenKinds[] = {u"限价委托",         u"对手方最优价格委托", u"本方最优价格委托",
                                       u"即时成交剩余撤销委托", u"五档即时成交剩余撤销", u"全额成交或撤销委托"};

const char* const kShareholderNames[] = {"沪A", "沪B", "深A", "深B", "三板A", "三板B"};

WString Widen(const char* utf8) {
  WCHAR* wide = Utf8ToUtf16Alloc(utf8 ? utf8 : "");
  WString out = wide ? wide : u"";
  free(wide);
  return out;
}

std::string Narrow(const WString& text) {
  char* narrow = Utf16ToUtf8Alloc(text.c_str());
  std::string out = narrow ? narrow : "";
  free(narrow);
  return out;
}

// The first 15 characters as ASCII (anything else becomes a stop byte), so
// the C readers see at most that much.
std::string Head(const WString& text) {
  std::string out;
  for (size_t i = 0; i < text.size() && i < kReadLength; ++i) {
    WCHAR c = text[i];
    out += c < 0x80 ? static_cast<char>(c) : '\x7f';
  }
  return out;
}

WString Ascii(const char* text) {
  WString out;
  for (const char* p = text; *p; ++p) out += static_cast<WCHAR>(static_cast<unsigned char>(*p));
  return out;
}

bool StartsWith(const WString& text, const WString& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

const WCHAR* MarketName(int market) {
  switch (market) {
    case 1: return u"沪A";
    case 2: return u"深A";
    case 3: return u"沪B";
    case 4: return u"深B";
    case 12: return u"三板A";
    case 13: return u"三板B";
    default: return u"";
  }
}

std::vector<WString> ShareholderEntries(const TradeLoginInfo& info, bool sorted) {
  std::vector<WString> entries;
  for (int i = 0; i < info.count && i < kTradeLoginInfoEntries; ++i) {
    bool named = false;
    for (const char* name : kShareholderNames) named = named || strcmp(info.name[i], name) == 0;
    if (!named) continue;
    entries.push_back(Widen(info.name[i]) + u":" + Widen(info.value[i]));
  }
  if (sorted) std::sort(entries.begin(), entries.end());
  return entries;
}

bool OrderKinds(int market, std::vector<WString>* kinds) {
  if (market == 1 || market == 3) {
    kinds->assign(std::begin(kShanghaiKinds), std::end(kShanghaiKinds));
    return true;
  }
  if (market == 2 || market == 4) {
    kinds->assign(std::begin(kShenzhenKinds), std::end(kShenzhenKinds));
    return true;
  }
  if (market == 12 || market == 13) {
    *kinds = LimitOrderKinds();
    return true;
  }
  return false;
}

std::vector<WString> LimitOrderKinds() { return {u"限价委托"}; }

int ShareholderIndex(const std::vector<WString>& entries, int market) {
  const WString name = MarketName(market);
  for (size_t i = 0; i < entries.size(); ++i)
    if (StartsWith(entries[i], name)) return static_cast<int>(i);
  return 0;
}

WString ShareholderCode(const WString& entry) {
  size_t colon = entry.find(u':');
  if (colon == WString::npos || colon == 0) return entry;
  return entry.substr(colon + 1);
}

bool IsStockCode(const WString& text) {
  if (text.size() != 6) return false;
  return std::all_of(text.begin(), text.end(), [](WCHAR c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
  });
}

CodeAction CodeChange(const WString& lastCode, const WString& text) {
  if (text == lastCode) return CodeAction::kNothing;
  return IsStockCode(text) ? CodeAction::kRequest : CodeAction::kClear;
}

WString SlotText(const OrderInfo& info, int slot) {
  if (slot < 0 || slot >= kOrderInfoSlots) return WString();
  char bounded[kOrderInfoTextSize];
  CopyTradeText(bounded, sizeof(bounded), info.slot[slot]);
  WString text = Widen(bounded);
  if (text.size() > 255) text.resize(255);
  return text;
}

OrderInfoView ReadOrderInfo(const OrderInfo& info, int side) {
  OrderInfoView view;
  view.funds = SlotText(info, 6);
  view.maximum = SlotText(info, side == 0 ? 4 : 5);
  view.name = SlotText(info, 1);
  const WString ask = SlotText(info, 17);
  view.price = ask.empty() || ask == u"0.00" ? SlotText(info, 7) : ask;
  view.market = static_cast<int>(ReadInteger(SlotText(info, 2)));
  return view;
}

long ReadInteger(const WString& text) { return strtol(Head(text).c_str(), nullptr, 10); }

double ReadNumber(const WString& text) { return strtod(Head(text).c_str(), nullptr); }

WString StepPrice(const WString& text, int delta) {
  const bool lower = delta > 0;
  if (text.empty()) return lower ? u"0.00" : u"0.01";
  const size_t dot = text.find(u'.');
  const size_t decimals = dot == WString::npos ? text.size() : text.size() - dot - 1;
  if (decimals != 2 && decimals != 3) return text;
  const double step = decimals == 2 ? 0.01 : 0.001;
  double price = ReadNumber(text);
  if (lower) price = price > step ? price - step : 0;
  else price += step;
  char out[64];
  snprintf(out, sizeof(out), decimals == 2 ? "%.2f" : "%.3f", price);
  return Ascii(out);
}

WString StepQuantity(const WString& text, int delta) {
  // Kept within what "%d" can write.
  long quantity = std::clamp(ReadInteger(text), -2147483647L, 2147483647L - 100);
  if (delta > 0) quantity = quantity <= 0 ? 0 : std::max(quantity - 100, 0L);
  else quantity += 100;
  char out[32];
  snprintf(out, sizeof(out), "%d", static_cast<int>(quantity));
  return Ascii(out);
}

WString RatioQuantity(const OrderInfo& info, int side, int n) {
  if (n <= 0) return WString();
  long maximum = ReadInteger(SlotText(info, side == 0 ? 4 : 5));
  char out[32];
  snprintf(out, sizeof(out), "%ld", maximum / n);
  return Ascii(out);
}

const WCHAR* CheckOrder(const OrderInput& input) {
  if (input.quantity.empty()) return u"请输入买卖数量！";
  const long quantity = ReadInteger(input.quantity);
  if (quantity == 0) return u"买卖数量不能为0！";
  if (ReadInteger(input.maximum) < quantity)
    return input.side == 0 ? u"买入数量不能为大于最大可买数量！" : u"卖出数量不能为大于最大可卖数量！";
  if (input.kindIndex != 0) return nullptr;
  if (input.price.empty()) return u"请输入买卖价格！";
  if (ReadNumber(input.price) == 0) return u"买卖价格不能为0！";
  return nullptr;
}

WString ConfirmationText(const OrderInput& input) {
  WString text = u"操作类别：";
  text += input.side == 0 ? u"买入" : u"卖出";
  text += u"\n证券代码：" + input.code + u"  " + input.name;
  if (input.kindIndex == 0) text += u"\n委托价格：" + input.price;
  text += u"\n委托数量：" + input.quantity + u"股";
  text += u"\n委托方式：" + input.kindText;
  text += u"\n股东代码：" + input.shareholder;
  text += input.side == 0
              ? u"\n(如果股东代码有误，请选择正确的股东代码。)\n\n没有选择对应市场的股东，交易可能不会成功!"
              : u"\n(如果股东代码有误，请选择正确的股东代码。)\n\n没有选择对应市场的股东，卖出数量大于最大可卖，交易可能不会成功!";
  return text;
}

const WCHAR* ConfirmationTitle(int side, bool quickDialog) {
  if (side == 0) return u"买入交易确认";
  // The form's sell title is kept as users know it.
  return quickDialog ? u"卖出交易确认" : u"卖出入交易确认";
}

OrderFields MakeOrderFields(const OrderInput& input, int market) {
  OrderFields fields;
  fields.market = market;
  fields.shareholderCode = Narrow(ShareholderCode(input.shareholder));
  fields.stockCode = Narrow(input.code);
  fields.side = input.side == 0 ? "0" : "1";
  fields.quantity = Narrow(input.quantity);
  fields.price = Narrow(input.price);
  fields.priceType = TradePriceTypeCode(market, input.kindIndex);
  return fields;
}

}  // namespace order_ticket

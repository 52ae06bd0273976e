#include "trading/trade_tables.h"

#include <cstring>

namespace {

const char* const kBankColumns[kBankFields] = {
    "银行代码", "银行名称", "银行账号", "银行类别", "币种", "银行类型", "密码标志", "转入密码", "转出密码",
};

// Column name of each order-information slot; null for slot 3, which no
// column fills. Slot 7 takes "当前价" here and "最近价格" below.
const char* const kOrderInfoColumns[kOrderInfoSlots] = {
    "股票代码", "股票名称", "市场代码", nullptr, "可买数量", "可用股数", "可用金额", "当前价",
    "昨收盘", "卖5价", "卖5量", "卖4价", "卖4量", "卖3价", "卖3量", "卖2价",
    "卖2量", "卖1价", "卖1量", "买1价", "买1量", "买2价", "买2量", "买3价",
    "买3量", "买4价", "买4量", "买5价", "买5量", "涨停", "跌停", "涨幅",
};

// The column-name record and the first data record, or false when the reply
// lacks either.
bool HasTable(const RecordList* records) {
  return records != nullptr && records->next != nullptr && records->next->next != nullptr;
}

}  // namespace

void CopyTradeText(char* out, int capacity, const char* text) {
  if (out == nullptr || capacity <= 0) return;
  if (text == nullptr) {
    out[0] = 0;
    return;
  }
  size_t length = strnlen(text, static_cast<size_t>(capacity));
  if (length >= static_cast<size_t>(capacity)) {
    length = static_cast<size_t>(capacity) - 1;
    // Do not leave half a character: step back over continuation bytes.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  }
  memcpy(out, text, length);
  out[length] = 0;
}

void ParseLoginInfo(TradeLoginInfo* info, const RecordList* records) {
  if (info == nullptr || !HasTable(records)) return;
  memset(info, 0, sizeof(*info));
  const StringList* name = records->next->fields;
  const StringList* value = records->next->next->fields;
  for (; name != nullptr && value != nullptr && info->count < kTradeLoginInfoEntries;
       name = name->next, value = value->next) {
    if (strcmp(name->text, "弹出公告") == 0) continue;
    CopyTradeText(info->name[info->count], kTradeLoginTextSize, name->text);
    CopyTradeText(info->value[info->count], kTradeLoginTextSize, value->text);
    ++info->count;
  }
}

void ParseCaptchaText(char* captcha, const RecordList* records) {
  if (captcha == nullptr || !HasTable(records)) return;
  const StringList* name = records->next->fields;
  const StringList* value = records->next->next->fields;
  for (; name != nullptr && value != nullptr; name = name->next, value = value->next) {
    if (strcmp(name->text, "验证码") != 0) continue;
    CopyTradeText(captcha, kTradeCaptchaSize, value->text);
    return;
  }
}

void ParseBankList(BankList* banks, const RecordList* records) {
  if (banks == nullptr || !HasTable(records)) return;
  banks->count = 0;
  for (const RecordList* row = records->next->next; row != nullptr && banks->count < kBankListEntries;
       row = row->next) {
    char (*entry)[kBankTextSize] = banks->text[banks->count];
    memset(entry, 0, sizeof(banks->text[0]));
    const StringList* name = records->next->fields;
    const StringList* value = row->fields;
    for (; name != nullptr && value != nullptr; name = name->next, value = value->next) {
      for (int field = 0; field < kBankFields; ++field) {
        if (strcmp(name->text, kBankColumns[field]) == 0) CopyTradeText(entry[field], kBankTextSize, value->text);
      }
    }
    ++banks->count;
  }
}

void ParseOrderInfo(OrderInfo* info, const RecordList* records) {
  if (info == nullptr || !HasTable(records)) return;
  memset(info, 0, sizeof(*info));
  const StringList* name = records->next->fields;
  const StringList* value = records->next->next->fields;
  for (; name != nullptr && value != nullptr; name = name->next, value = value->next) {
    if (strcmp(name->text, "最近价格") == 0) {
      CopyTradeText(info->slot[7], kOrderInfoTextSize, value->text);
      continue;
    }
    for (int slot = 0; slot < kOrderInfoSlots; ++slot) {
      if (kOrderInfoColumns[slot] != nullptr && strcmp(name->text, kOrderInfoColumns[slot]) == 0) {
        CopyTradeText(info->slot[slot], kOrderInfoTextSize, value->text);
        break;
      }
    }
  }
}

const char* FindLoginInfoValue(const TradeLoginInfo* info, const char* name) {
  if (info == nullptr || name == nullptr) return nullptr;
  for (int i = 0; i < info->count && i < kTradeLoginInfoEntries; ++i) {
    if (strcmp(info->name[i], name) == 0) return info->value[i];
  }
  return nullptr;
}

// Reply tables of the trade protocol: the login information, the captcha
// text, the bank list and the order information, each filled from the record
// list of a "0000" reply.
//
// A reply's records are: record 1 error code and message, record 2 the column
// names, records 3... one row each with its fields in column order. Every
// parser pairs each name of record 2 with the field at the same position of a
// data record, walking both lists until either ends, and returns without
// change unless the reply has both a record 2 and a record 3.
//
// Every text copy is bounded by its field: longer texts are cut (on a UTF-8
// character boundary) and stay zero-terminated; rows beyond a table's
// capacity are dropped.
#pragma once

#include "foundation/string_helpers.h"

constexpr int kTradeLoginInfoEntries = 20;
constexpr int kTradeLoginTextSize = 32;
constexpr int kBankListEntries = 16;
constexpr int kBankTextSize = 128;
constexpr int kBankFields = 9;
constexpr int kOrderInfoSlots = 32;
constexpr int kOrderInfoTextSize = 128;
constexpr int kTradeCaptchaSize = 40;

// Kind 0: the columns of the login reply's first data row, "弹出公告" left out.
// The entries named "沪A", "沪B", "深A", "深B", "三板A" and "三板B" are the
// account's shareholder codes.
struct TradeLoginInfo {
  int count;                                   // entries in use, at most 20
  char name[kTradeLoginInfoEntries][kTradeLoginTextSize];   // column name
  char value[kTradeLoginInfoEntries][kTradeLoginTextSize];  // its value
};

// Field order of one bank entry, filled from the column of the same name:
// 银行代码, 银行名称, 银行账号, 银行类别, 币种, 银行类型, 密码标志, 转入密码, 转出密码.
enum BankField {
  kBankCode = 0,
  kBankName = 1,
  kBankAccount = 2,
  kBankCategory = 3,
  kBankCurrency = 4,
  kBankType = 5,
  kBankPasswordFlag = 6,
  kBankInPasswordFlag = 7,
  kBankOutPasswordFlag = 8,
};

// Kind 13.
struct BankList {
  int count;                                               // rows in use, at most 16
  char text[kBankListEntries][kBankFields][kBankTextSize];  // [row][BankField]
};

// Kind 17: 32 slots by column name; slot 3 is never written. Slots:
// 0 股票代码, 1 股票名称, 2 市场代码, 4 可买数量, 5 可用股数, 6 可用金额,
// 7 当前价 or 最近价格, 8 昨收盘, 9-18 卖5价, 卖5量 ... 卖1价, 卖1量,
// 19-28 买1价, 买1量 ... 买5价, 买5量, 29 涨停, 30 跌停, 31 涨幅.
struct OrderInfo {
  char slot[kOrderInfoSlots][kOrderInfoTextSize];
};

// Copies at most capacity - 1 bytes of text into out, cut back to a whole
// UTF-8 character, and terminates it. Nothing when capacity is 0 or less;
// a null text gives an empty out.
void CopyTradeText(char* out, int capacity, const char* text);

// Zeroes the table and fills it from the first data row (see above), at most
// 20 entries. No change without record 2 and record 3.
void ParseLoginInfo(TradeLoginInfo* info, const RecordList* records);

// Copies the value of the first column "验证码" of the first data row into
// captcha (kTradeCaptchaSize bytes). No change without record 2 and 3, or
// without such a column.
void ParseCaptchaText(char* captcha, const RecordList* records);

// Sets the count to 0 and fills one entry per data row, up to 16 rows (later
// rows are dropped); unknown columns are skipped. No change without record 2
// and 3.
void ParseBankList(BankList* banks, const RecordList* records);

// Zeroes the table and fills the slots by column name from the first data
// row ("当前价" and "最近价格" both fill slot 7). No change without record 2
// and 3.
void ParseOrderInfo(OrderInfo* info, const RecordList* records);

// The value of the entry named name, or null.
const char* FindLoginInfoValue(const TradeLoginInfo* info, const char* name);

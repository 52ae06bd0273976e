// Saved trade account: the file "TradeUser.data" below the per-user data
// folder.
//
// Format: one UTF-8 line without a line end and without a root element:
//   <TradeUrl>%s</TradeUrl><Account>%s</Account><TradeType>%d</TradeType>
//   <TradeCompany>%s</TradeCompany><TradeSale>%s</TradeSale>
//   <TradeCode>%s</TradeCode><TradeSign>%s</TradeSign>
//   <TradeProtection>%s</TradeProtection>
// (one line; broken here for reading). At most 1,023 bytes. A value holding
// '&' or '<' is written as "&amp;" / "&lt;" and read back decoded, so it
// cannot break the file; values without them are written as they are. An
// account that is not remembered (TradeSign not "1") leaves a 0-byte file.
// No password is ever stored.
#pragma once

#include "trading/trade_session.h"

// Copies the values, each cut to its field, into the session's saved-account
// fields. Null texts copy as empty.
void SetTradeAccount(TradeSession* session, const char* url, const char* account, int type, const char* company,
                     const char* sale, const char* code, const char* sign, const char* protection);

// Writes the file from the saved-account fields: the formatted line when
// TradeSign is "1", else an empty file; the file is replaced whole. Result 1;
// 0 when the line would pass 1,023 bytes or the file cannot be written (the
// old file then stays).
int SaveTradeAccount(TradeSession* session);

// Zeroes the saved-account fields, then reads the file and copies each
// element present, cut to its field (TradeType as a decimal number, 0 when
// absent). A missing or empty file leaves every field empty.
void LoadTradeAccount(TradeSession* session);

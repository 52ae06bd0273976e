// Trade request builders: one per function code.
//
// Every builder packs its body fields in the fixed order of its function,
// fills the header with its code and page number, enciphers and sends
// (trade_session.h), and records its kind, which selects the reply table.
// "T, A, P" are the session's credentials (account type, account, trade
// password) stored by the last RequestTradeLogin.
//
//   code  builder                   page  kind  body fields
//   "07"  RequestTradeLogin         1     0     T, A, P [, mode, code when mode != 0]
//   "39"  RequestTradeCaptcha       1     1     the three numbers
//   "08"  RequestPasswordChange     1     2     T, A, current, new
//   "03"  RequestHoldingsQuery      p     3     T, A, P, "", ""
//   "20"  RequestFundsQuery         p     3     T, A, P
//   "11"  RequestFundFlowQuery      p     5     T, A, P, start, end, number
//   "05"  RequestOrderQuery         p     6     T, A, P, "", start, end, ""
//   "06"  RequestDealQuery          p     7     T, A, P, "", start, end, ""
//   "01"  RequestPlaceOrder         1     7     market, holder, P, stock, side, quantity, price, price type
//   "21"  RequestCancellableQuery   p     8     T, A, P, ""
//   "02"  RequestCancelOrder        1     9     market, holder, P, order number
//   "12"  RequestBankList           0     13    T, A, P
//   "13"  RequestBankTransfer       0     14    T, A, fund pw, bank code, bank account, direction, bank pw, amount, currency
//   "33"  RequestTransferQuery      p     16    T, A, P, bank code, bank account, currency
//   "31"  RequestOrderInfo side 1   1     17    T, A, P, stock, "", "", "0"
//   "32"  RequestOrderInfo side 2   1     17    T, A, P, stock, "", "", "1"
//   "09"  RequestAllotmentQuery     p     19    T, A, P, start, end, ""
//
// Each returns the request id (> 0), or 0 when the request was not sent: the
// plain text would pass 1,016 bytes, a number is out of the header's range,
// or the session has no trade address. The owner's notify is then not
// called. Call on the user-interface thread.
#pragma once

#include "trading/trade_session.h"

// Stores type, account and password as the session's credentials, clears
// the previous login's tables (login information, bank list, order
// information) and the logged-in flag, then sends.
int RequestTradeLogin(TradeSession* session, TradeNotify notify, void* user, int type, const char* account,
                      const char* password, int securityMode, const char* securityText);
int RequestTradeCaptcha(TradeSession* session, TradeNotify notify, void* user, int first, int second, int third);
// On a "0000" reply the new password becomes the session's trade password.
int RequestPasswordChange(TradeSession* session, TradeNotify notify, void* user, const char* currentPassword,
                          const char* newPassword);
int RequestHoldingsQuery(TradeSession* session, TradeNotify notify, void* user, int page);
int RequestFundsQuery(TradeSession* session, TradeNotify notify, void* user, int page);
int RequestFundFlowQuery(TradeSession* session, TradeNotify notify, void* user, const char* startDate,
                         const char* endDate, int number, int page);
int RequestOrderQuery(TradeSession* session, TradeNotify notify, void* user, const char* startDate,
                      const char* endDate, int page);
int RequestDealQuery(TradeSession* session, TradeNotify notify, void* user, const char* startDate,
                     const char* endDate, int page);
// side "0" buy, "1" sell; priceType as TradePriceTypeCode gives it.
int RequestPlaceOrder(TradeSession* session, TradeNotify notify, void* user, int market,
                      const char* shareholderCode, const char* stockCode, const char* side, const char* quantity,
                      const char* price, const char* priceType);
int RequestCancellableQuery(TradeSession* session, TradeNotify notify, void* user, int page);
int RequestCancelOrder(TradeSession* session, TradeNotify notify, void* user, const char* shareholderCode, int market,
                       const char* orderNumber);
int RequestBankList(TradeSession* session, TradeNotify notify, void* user);
// direction "1" bank to securities (转入), "0" securities to bank (转出).
int RequestBankTransfer(TradeSession* session, TradeNotify notify, void* user, const char* fundPassword,
                        const char* bankCode, const char* bankAccount, const char* direction,
                        const char* bankPassword, const char* amount, const char* currency);
int RequestTransferQuery(TradeSession* session, TradeNotify notify, void* user, const char* bankCode,
                         const char* bankAccount, const char* currency, int page);
// side 1 buy ("31"), 2 sell ("32"). Kept in the order-information slot.
int RequestOrderInfo(TradeSession* session, TradeNotify notify, void* user, const char* stockCode, int side);
int RequestAllotmentQuery(TradeSession* session, TradeNotify notify, void* user, const char* startDate,
                          const char* endDate, int page);

// Price-type code of the order form's choice for a market: markets 1 and 3
// "0", "4", "7" for choices 0-2; markets 2 and 4 "0" to "5" for choices 0-5;
// "0" for any other market or choice.
const char* TradePriceTypeCode(int market, int choice);

// Market number of a market name text ("深A" 2, "深B" 4, "沪A" 1, "沪B" 3,
// "三板A" 12, "三板B" 13, found anywhere in the text); 0 when none is.
int TradeMarketFromName(const char* text);

// "%04d%02d%02d" into out (9 bytes).
void FormatTradeDate(char* out, int year, int month, int day);

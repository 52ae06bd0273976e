// The watch list kept in step with the server (service "PCMystocks").
//
// Request bodies (UTF-8 XML, the POST body; the signature is the user number
// the quote engine holds from the login, in decimal):
//   add / remove one stock   <?xml …?><reqmsg><signature>N</signature>
//     <action>savemystocks</action><operation>1|2</operation><sector>1</sector>
//     <mystocks><stock code="C" marketid="M"/></mystocks></reqmsg>
//   the whole list           … <operation>3</operation><sector>1</sector>
//     <mystocks>(one stock element per entry, the market one digit)</mystocks>
//   download                 … <signature>N</signature><action>getmystocks</action></reqmsg>
// (written without the line breaks shown here). The download reply holds
// retmsg/retcode ("0" for success) and retmsg/mystocks/stock elements with
// the attributes code (6 characters) and marketid (one digit).
#pragma once

#include <string>

struct QuoteEngine;
struct OwnStockList;

// The add (operation 1) or remove (operation 2) body for one stock; code is
// read up to 6 bytes or its zero byte.
std::string BuildSaveOwnStockBody(int operation, long long signature, const char* code, int market);
// The operation-3 body with every entry of list in order (null: an empty
// list, an empty "mystocks" element).
std::string BuildSaveWholeListBody(long long signature, const OwnStockList* list);
// The download body.
std::string BuildGetOwnStocksBody(long long signature);

// Applies a download reply of length bytes: when its retcode is exactly "0",
// res\own.data is deleted and every listed stock added in order (AddOwnStock);
// a stock without a code or a market digit is skipped. Returns true when the
// list was rebuilt; false leaves res\own.data untouched (other retcodes,
// unparsable or truncated replies).
bool ApplyOwnStocksReply(QuoteEngine* engine, const char* body, int length);

// Puts the decoders of the quote-carrying replies into the dispatcher's
// tables: types 32, 33, 41 (stock lists, stock fields, rankings), 40 and 42
// (full or compact form by the request's parameter record), 43, 45, 46
// (field tables), 69 (stock pool) and, for packet kind 0x33, requests 2 and
// 3 (news marks). Each entry reads the request's result area from the
// pending request and passes the reply mode on.
#pragma once

struct ReplyDecoderTable;

void AddQuoteRecordDecoders(ReplyDecoderTable* quoteTable);
void AddNewsDecoders(ReplyDecoderTable* newsTable);

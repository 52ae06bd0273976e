// Puts the decoders of the bar replies into the dispatcher's table: types
// 49 (latest bars), 68 (K-line bars), 55 (ex-rights), 91 and 92 (level-2 bar
// supplements). Each entry reads the request's result area (and, for 49, 91
// and 92, the bar count of its parameter record) from the pending request,
// and decodes only when the request's type is the reply's type (the area is
// of the request's kind).
#pragma once

struct ReplyDecoderTable;

void AddBarDecoders(ReplyDecoderTable* quoteTable);

// Puts the decoders of the minute, tick, F10, alert and information replies
// into the dispatcher's table of packet kind 2: types 48, 50, 37, 93 (minute
// data), 38, 80, 81, 83, 84 (ticks and order queues), 67 (futures ticks), 60
// (price statistics), 70, 71 (F10), 61, 62 (alerts), 44, 90, 95, 112, 113.
//
// A result area is decoded only when the request that the reply answers
// made an area of the decoder's kind: the minute types under a minute
// request (48, 50 or 37), the tick types under a tick request (38, 80, 81,
// 83 or 84), every other type under a request of its own type. A reply that
// comes under another request's sequence number leaves that request's area
// alone (the callback still runs).
#pragma once

struct ReplyDecoderTable;

void AddMinuteTickDecoders(ReplyDecoderTable* quoteTable);

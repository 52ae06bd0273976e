// Which reply types may fill the result area of a request of a given type.
//
// A reply finds its request by sequence number alone, and the request's
// result area has the layout of the request's own type; a reply of another
// type under that sequence (a confused or hostile server) would be decoded
// into an area of the wrong layout. The dispatcher therefore runs a decoder
// only when the reply's type belongs to the family of the request's type:
// requests that share one kind of area form one family.
//
// Families of packet kind 2: {32} quote list, {33} stock fields, {41}
// rankings, {40, 42} sorted and category lists, {43, 45, 46} field tables,
// {48, 50, 37, 93} minute data, {49, 68, 91, 92} bars and supplements, {55}
// ex-rights, {38, 80, 81, 83, 84} ticks, {67} futures ticks, {60} price
// statistics, {61} alert query, {62} alert records, {69} stock pool, {70}
// F10 catalogue, {71} F10 item; every other type forms a family of its own.
// Packet kind 0x33: {2, 3} news marks.
#pragma once

// True when a reply of replyType may be decoded into the area of a request
// of requestType (both of packet kind `kind`).
bool ReplyFitsRequest(int kind, int requestType, int replyType);

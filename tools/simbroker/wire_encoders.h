// Encoders of the market-data wire formats, as the server writes them.
//
// Everything is big-endian unless said otherwise. These are written from the
// protocol's formats, not from the terminal's decoders, so a mistake on one
// side is not mirrored on the other; the tests of both sides build their
// replies with them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace simbroker {

using Bytes = std::vector<unsigned char>;

// Appends value as `bytes` bytes, most significant first.
void PutBE(Bytes* out, uint64_t value, int bytes);
inline void PutU8(Bytes* out, uint64_t v) { PutBE(out, v, 1); }
inline void PutU16(Bytes* out, uint64_t v) { PutBE(out, v, 2); }
inline void PutU32(Bytes* out, uint64_t v) { PutBE(out, v, 4); }
inline void PutU64(Bytes* out, uint64_t v) { PutBE(out, v, 8); }
void PutText(Bytes* out, const std::string& text);
// Appends text cut or zero-padded to exactly width bytes.
void PutFixedText(Bytes* out, const std::string& text, size_t width);

// Signed variable-length integer: the smallest number g of 7-bit groups that
// holds x in two's complement, most significant group first; the last byte
// carries the top bit.
void PutVarInt(Bytes* out, int64_t x);

// Scaled 24-bit number: e<<4 | sign<<3 | m>>16, m>>8, m, with the smallest
// power of ten e that brings |x| below 524,288 (low digits are lost).
void PutScaledInt24(Bytes* out, int64_t x);

// year<<20 | month<<16 | day<<11 | hour<<6 | minute.
uint32_t PackDateTime(int year, int month, int day, int hour, int minute);

// The 5-byte frame head (u32 length, type 1) and the payload. An empty
// payload gives the empty frame 00 00 00 00 00.
Bytes MakeFrame(const Bytes& payload);

// A gzip member (RFC 1952) holding data, with a correct CRC and size.
Bytes GzipWrap(const Bytes& data);

// Reply header: mode (1 complete, 2 update, other: no decoding), u16 value,
// 5, type, 1, the sequence of the request answered.
Bytes ReplyHeader(int mode, int type, int sequence);

// A reply packet: kind byte, then header and body, or a gzip member holding
// header and body when gzip is set.
Bytes ReplyPacket(int kind, int mode, int type, int sequence, const Bytes& body, bool gzip);

// Market information (type 3) body: i8 count, then per market id u8, date
// i32 yyyymmdd, state u8.
struct MarketDay {
  int id;
  int32_t date;
  int state;
};
Bytes MarketInfoBody(const std::vector<MarketDay>& markets);

// The key message payload: 1 unused byte, 16 key bytes A, 7 key bytes K.
Bytes KeyMessage(const unsigned char a[16], const unsigned char k[7]);
// The 32 answer bytes the client must send for that key (after its leading
// 4): P[i] = A[i] * B[i] as u16, B = "zuzurariv" then K.
Bytes ExpectedAnswerProducts(const unsigned char a[16], const unsigned char k[7]);
// The result payload: 1 unused byte, i32 code.
Bytes ResultMessage(int32_t code);

}  // namespace simbroker

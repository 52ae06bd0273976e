#include "tools/simbroker/wire_encoders.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>

namespace simbroker {

void PutBE(Bytes* out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void PutText(Bytes* out, const std::string& text) { out->insert(out->end(), text.begin(), text.end()); }

void PutFixedText(Bytes* out, const std::string& text, size_t width) {
  for (size_t i = 0; i < width; ++i) out->push_back(i < text.size() ? static_cast<unsigned char>(text[i]) : 0);
}

void PutVarInt(Bytes* out, int64_t x) {
  int groups = 1;
  while (groups < 10) {
    // Range of g groups: -2^(7g-1) <= x < 2^(7g-1).
    int bits = 7 * groups - 1;
    if (bits >= 63) break;
    int64_t limit = int64_t{1} << bits;
    if (x >= -limit && x < limit) break;
    ++groups;
  }
  for (int g = groups - 1; g >= 0; --g) {
    // Arithmetic shift: the top group carries the sign extension.
    unsigned char byte = static_cast<unsigned char>((x >> (g * 7)) & 0x7F);
    if (g == 0) byte |= 0x80;
    out->push_back(byte);
  }
}

void PutScaledInt24(Bytes* out, int64_t x) {
  uint64_t magnitude = x < 0 ? static_cast<uint64_t>(-(x + 1)) + 1 : static_cast<uint64_t>(x);
  int e = 0;
  while (magnitude >= 524288 && e < 15) {
    magnitude /= 10;
    ++e;
  }
  if (magnitude >= 524288) magnitude = 524287;
  unsigned sign = x < 0 ? 1 : 0;
  out->push_back(static_cast<unsigned char>(e << 4 | sign << 3 | (magnitude >> 16)));
  out->push_back(static_cast<unsigned char>(magnitude >> 8));
  out->push_back(static_cast<unsigned char>(magnitude));
}

uint32_t PackDateTime(int year, int month, int day, int hour, int minute) {
  return static_cast<uint32_t>(year) << 20 | static_cast<uint32_t>(month) << 16 | static_cast<uint32_t>(day) << 11 |
         static_cast<uint32_t>(hour) << 6 | static_cast<uint32_t>(minute);
}

Bytes MakeFrame(const Bytes& payload) {
  Bytes frame;
  PutU32(&frame, payload.size());
  frame.push_back(payload.empty() ? 0 : 1);
  frame.insert(frame.end(), payload.begin(), payload.end());
  return frame;
}

Bytes GzipWrap(const Bytes& data) {
  z_stream z{};
  // windowBits 15 + 16: a gzip header and trailer around the deflate stream.
  if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  Bytes out(deflateBound(&z, data.size()) + 32);
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) return {};
  return out;
}

Bytes ReplyHeader(int mode, int type, int sequence) {
  Bytes h;
  PutU8(&h, static_cast<uint64_t>(mode));
  PutU16(&h, 0);
  PutU8(&h, 5);
  PutU8(&h, static_cast<uint64_t>(type));
  PutU8(&h, 1);
  PutU16(&h, static_cast<uint64_t>(sequence));
  return h;
}

Bytes ReplyPacket(int kind, int mode, int type, int sequence, const Bytes& body, bool gzip) {
  Bytes inner = ReplyHeader(mode, type, sequence);
  inner.insert(inner.end(), body.begin(), body.end());
  Bytes packet{static_cast<unsigned char>(kind)};
  if (gzip) inner = GzipWrap(inner);
  packet.insert(packet.end(), inner.begin(), inner.end());
  return packet;
}

Bytes MarketInfoBody(const std::vector<MarketDay>& markets) {
  Bytes body;
  PutU8(&body, markets.size());
  for (const MarketDay& m : markets) {
    PutU8(&body, static_cast<uint64_t>(m.id));
    PutU32(&body, static_cast<uint32_t>(m.date));
    PutU8(&body, static_cast<uint64_t>(m.state));
  }
  return body;
}

Bytes KeyMessage(const unsigned char a[16], const unsigned char k[7]) {
  Bytes payload(24);
  payload[0] = 0x5A;  // not read by the client
  std::copy(a, a + 16, payload.begin() + 1);
  std::copy(k, k + 7, payload.begin() + 17);
  return payload;
}

Bytes ExpectedAnswerProducts(const unsigned char a[16], const unsigned char k[7]) {
  static const char kLetters[] = "zuzurariv";
  Bytes out;
  for (int i = 0; i < 16; ++i) {
    unsigned b = i < 9 ? static_cast<unsigned char>(kLetters[i]) : k[i - 9];
    PutU16(&out, static_cast<unsigned>(a[i]) * b);
  }
  return out;
}

Bytes ResultMessage(int32_t code) {
  Bytes payload{0};
  PutU32(&payload, static_cast<uint32_t>(code));
  return payload;
}

}  // namespace simbroker

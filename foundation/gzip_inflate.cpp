// Gzip inflater.
//
// Each block's Huffman codes are built into a flat decoding tree (node 0 the
// root; an inner node holds two 16-bit child indexes, the high half for a 0
// bit, 0 meaning no child; a leaf is 0x80000000 | symbol), sized 2n + 14
// nodes for n symbols. Building refuses over-subscribed and conflicting
// codes. For speed the tree's first levels are flattened into a lookup table
// indexed by the next kRootBits input bits; codes longer than that continue
// bit by bit down the tree from the node the table names.
//
// Bounds: every consumption of bits is checked against the bits loaded from
// the input; every output write against the capacity; a distance may not
// reach before the output's start; symbols 286-287 and distance codes 30-31
// and missing tree branches are damage. Every loop consumes input or stops,
// so decoding always ends.
#include "foundation/gzip_inflate.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

// ---- Bit reader -------------------------------------------------------------

// Bits are taken from the least significant end of each byte. `bits` holds
// `count` valid bits; bits above `count` may hold copies of input bytes not
// yet counted (from a whole-word load) and are never used.
struct BitReader {
  const BYTE* in;
  size_t length;
  size_t pos;       // next input byte to load
  std::uint64_t bits;
  unsigned count;
};

inline std::uint64_t Load64(const BYTE* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

// Tops the buffer up to at least 56 bits, or to the end of the input.
inline void Refill(BitReader& br) {
  if (br.pos + 8 <= br.length) {
    br.bits |= Load64(br.in + br.pos) << br.count;
    br.pos += (63 - br.count) >> 3;
    br.count |= 56;
    return;
  }
  while (br.count <= 56 && br.pos < br.length) {
    br.bits |= std::uint64_t(br.in[br.pos++]) << br.count;
    br.count += 8;
  }
}

inline std::uint32_t Peek(const BitReader& br, unsigned n) {
  return std::uint32_t(br.bits & ((std::uint64_t(1) << n) - 1));
}

inline void Consume(BitReader& br, unsigned n) {
  br.bits >>= n;
  br.count -= n;
}

// Reads n bits (0 to 16); false when the input ended.
inline bool ReadBits(BitReader& br, unsigned n, std::uint32_t* value) {
  if (br.count < n) Refill(br);
  if (br.count < n) return false;
  *value = Peek(br, n);
  Consume(br, n);
  return true;
}

// ---- Decoding trees and tables ---------------------------------------------

constexpr std::uint32_t kLeaf = 0x80000000u;
constexpr int kMaxSymbols = 288;
constexpr int kMaxNodes = 2 * kMaxSymbols + 14;  // 590, the fixed literal/length tree

struct Tree {
  std::array<std::uint32_t, kMaxNodes> nodes;
  int capacity;  // 2n + 14 for n symbols
};

inline bool IsLeaf(std::uint32_t node) { return (node & kLeaf) != 0; }
inline std::uint32_t Child(std::uint32_t node, unsigned bit) {
  return bit ? (node & 0xFFFFu) : (node >> 16);
}

// Builds the canonical code of `count` symbols with the given lengths
// (0 = unused, at most 15) into `tree`. False for over-subscribed or
// conflicting lengths.
bool BuildHuffmanTree(const BYTE* lengths, int count, Tree* tree) {
  tree->capacity = 2 * count + 14;
  std::memset(tree->nodes.data(), 0, sizeof(std::uint32_t) * size_t(tree->capacity));
  int perLength[16] = {};
  for (int i = 0; i < count; ++i) ++perLength[lengths[i]];
  perLength[0] = 0;
  std::uint32_t next[16] = {};
  std::uint32_t code = 0;
  for (int len = 1; len < 16; ++len) {
    code = (code + std::uint32_t(perLength[len - 1])) << 1;
    next[len] = code;
  }
  std::uint32_t freeNode = 1;
  for (int sym = 0; sym < count; ++sym) {
    const int len = lengths[sym];
    if (len == 0) continue;
    const std::uint32_t c = next[len]++;
    if ((c >> len) != 0) return false;  // over-subscribed
    std::uint32_t node = 0;
    for (int b = len - 1; b >= 0; --b) {
      std::uint32_t& value = tree->nodes[node];
      if (IsLeaf(value)) return false;
      const unsigned bit = (c >> b) & 1;
      std::uint32_t child = Child(value, bit);
      if (child == 0) {
        if (freeNode >= std::uint32_t(tree->capacity)) return false;
        child = freeNode++;
        value |= bit ? child : (child << 16);
      }
      node = child;
    }
    if (tree->nodes[node] != 0) return false;
    tree->nodes[node] = kLeaf | std::uint32_t(sym);
  }
  return true;
}

// Table entry: bits 0-7 bits to consume, 8-11 kind, 12-15 extra bits,
// 16-31 value (literal byte, length or distance base, node, or symbol).
enum Kind : std::uint32_t { kLiteral = 0, kLength = 1, kEnd = 2, kSub = 3, kInvalid = 4 };

inline std::uint32_t Entry(unsigned bits, Kind kind, unsigned extra, std::uint32_t value) {
  return bits | (std::uint32_t(kind) << 8) | (extra << 12) | (value << 16);
}
inline unsigned EntryBits(std::uint32_t e) { return e & 0xFF; }
inline Kind EntryKind(std::uint32_t e) { return Kind((e >> 8) & 0xF); }
inline unsigned EntryExtra(std::uint32_t e) { return (e >> 12) & 0xF; }
inline std::uint32_t EntryValue(std::uint32_t e) { return e >> 16; }

const std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                       31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const std::uint16_t kDistanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                         33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                         1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const std::uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5,
                                           11, 4, 12, 3, 13, 2, 14, 1, 15};

enum class Alphabet { kLiteralLength, kDistance, kCodeLength };

// What a symbol means, with `bits` to consume.
std::uint32_t SymbolEntry(Alphabet alphabet, std::uint32_t sym, unsigned bits) {
  switch (alphabet) {
    case Alphabet::kLiteralLength:
      if (sym < 256) return Entry(bits, kLiteral, 0, sym);
      if (sym == 256) return Entry(bits, kEnd, 0, 0);
      if (sym <= 285) return Entry(bits, kLength, kLengthExtra[sym - 257], kLengthBase[sym - 257]);
      return Entry(bits, kInvalid, 0, 0);
    case Alphabet::kDistance:
      if (sym < 30) return Entry(bits, kLength, kDistanceExtra[sym], kDistanceBase[sym]);
      return Entry(bits, kInvalid, 0, 0);
    case Alphabet::kCodeLength:
      return Entry(bits, kLiteral, 0, sym);
  }
  return Entry(bits, kInvalid, 0, 0);
}

template <unsigned RootBits>
struct Decoder {
  Tree tree;
  std::array<std::uint32_t, (1u << RootBits)> table;
  Alphabet alphabet;
};

// Flattens the tree below `node` (reached by `prefix`, `depth` bits) into
// the table.
template <unsigned RootBits>
void FillTable(Decoder<RootBits>* d, std::uint32_t node, unsigned depth, std::uint32_t prefix) {
  const std::uint32_t value = d->tree.nodes[node];
  if (IsLeaf(value)) {
    const std::uint32_t e = SymbolEntry(d->alphabet, value & 0xFFFF, depth);
    for (std::uint32_t i = prefix; i < (1u << RootBits); i += (1u << depth)) d->table[i] = e;
    return;
  }
  if (depth == RootBits) {
    d->table[prefix] = Entry(RootBits, kSub, 0, node);
    return;
  }
  for (unsigned bit = 0; bit < 2; ++bit) {
    const std::uint32_t child = Child(value, bit);
    const std::uint32_t p = prefix | (bit << depth);
    if (child != 0) {
      FillTable(d, child, depth + 1, p);
      continue;
    }
    const std::uint32_t e = Entry(1, kInvalid, 0, 0);
    for (std::uint32_t i = p; i < (1u << RootBits); i += (2u << depth)) d->table[i] = e;
  }
}

// When no code is longer than the root, the table is filled straight from
// the canonical codes: every slot whose low bits are a symbol's reversed
// code gets that symbol; slots no code reaches (an incomplete code) stay
// invalid. Over-subscription is refused as the tree build refuses it. Longer
// codes need the tree below the table.
template <unsigned RootBits>
bool BuildDecoder(Decoder<RootBits>* d, Alphabet alphabet, const BYTE* lengths, int count) {
  d->alphabet = alphabet;
  int perLength[16] = {};
  for (int i = 0; i < count; ++i) ++perLength[lengths[i]];
  perLength[0] = 0;
  int maxLength = 0;
  for (int len = 1; len < 16; ++len)
    if (perLength[len] != 0) maxLength = len;
  if (maxLength > int(RootBits)) {
    if (!BuildHuffmanTree(lengths, count, &d->tree)) return false;
    FillTable(d, 0, 0, 0);
    return true;
  }
  std::uint32_t next[16] = {};
  std::uint32_t code = 0;
  for (int len = 1; len < 16; ++len) {
    code = (code + std::uint32_t(perLength[len - 1])) << 1;
    next[len] = code;
    if (perLength[len] != 0 && code + std::uint32_t(perLength[len]) > (1u << len))
      return false;  // over-subscribed
  }
  d->table.fill(Entry(1, kInvalid, 0, 0));
  for (int sym = 0; sym < count; ++sym) {
    const unsigned len = lengths[sym];
    if (len == 0) continue;
    const std::uint32_t c = next[len]++;
    std::uint32_t reversed = 0;
    for (unsigned b = 0; b < len; ++b) reversed |= ((c >> b) & 1u) << (len - 1 - b);
    const std::uint32_t e = SymbolEntry(alphabet, std::uint32_t(sym), len);
    for (std::uint32_t i = reversed; i < (1u << RootBits); i += (1u << len)) d->table[i] = e;
  }
  return true;
}

// Decodes one symbol's table entry; kInvalid when the input ended or a
// branch is missing. Codes longer than the root walk the tree bit by bit.
template <unsigned RootBits>
inline std::uint32_t DecodeHuffmanSymbol(BitReader& br, const Decoder<RootBits>& d) {
  std::uint32_t e = d.table[Peek(br, RootBits)];
  const unsigned n = EntryBits(e);
  if (n > br.count) return Entry(0, kInvalid, 0, 0);
  Consume(br, n);
  if (EntryKind(e) != kSub) return e;
  std::uint32_t node = EntryValue(e);
  for (unsigned depth = RootBits; depth < 16; ++depth) {
    if (br.count == 0) return Entry(0, kInvalid, 0, 0);
    const std::uint32_t child = Child(d.tree.nodes[node], Peek(br, 1));
    Consume(br, 1);
    if (child == 0) return Entry(0, kInvalid, 0, 0);
    const std::uint32_t value = d.tree.nodes[child];
    if (IsLeaf(value)) return SymbolEntry(d.alphabet, value & 0xFFFF, 0);
    node = child;
  }
  return Entry(0, kInvalid, 0, 0);
}

constexpr unsigned kLitRootBits = 10;
constexpr unsigned kDistRootBits = 8;
constexpr unsigned kCodeLengthRootBits = 7;

struct BlockDecoders {
  Decoder<kLitRootBits> lit;
  Decoder<kDistRootBits> dist;
};

// The fixed codes, built once and then only read.
const BlockDecoders& FixedDecoders() {
  static const BlockDecoders* fixed = [] {
    auto* d = new BlockDecoders;
    BYTE lengths[kMaxSymbols];
    for (int i = 0; i < 144; ++i) lengths[i] = 8;
    for (int i = 144; i < 256; ++i) lengths[i] = 9;
    for (int i = 256; i < 280; ++i) lengths[i] = 7;
    for (int i = 280; i < 288; ++i) lengths[i] = 8;
    BuildDecoder(&d->lit, Alphabet::kLiteralLength, lengths, 288);
    for (int i = 0; i < 32; ++i) lengths[i] = 5;
    BuildDecoder(&d->dist, Alphabet::kDistance, lengths, 32);
    return d;
  }();
  return *fixed;
}

// Reads `count` code lengths as one sequence with the code-length code.
bool ReadCodeLengths(BitReader& br, const Decoder<kCodeLengthRootBits>& cl, BYTE* lengths,
                     int count) {
  int i = 0;
  BYTE previous = 0;
  while (i < count) {
    if (br.count < 16) Refill(br);
    const std::uint32_t e = DecodeHuffmanSymbol(br, cl);
    if (EntryKind(e) != kLiteral) return false;
    const std::uint32_t sym = EntryValue(e);
    if (sym < 16) {
      lengths[i++] = BYTE(sym);
      previous = BYTE(sym);
      continue;
    }
    std::uint32_t extra = 0;
    int repeat = 0;
    BYTE value = 0;
    if (sym == 16) {
      if (!ReadBits(br, 2, &extra)) return false;
      repeat = 3 + int(extra);
      value = previous;
    } else if (sym == 17) {
      if (!ReadBits(br, 3, &extra)) return false;
      repeat = 3 + int(extra);
    } else {
      if (!ReadBits(br, 7, &extra)) return false;
      repeat = 11 + int(extra);
    }
    if (repeat > count - i) return false;  // runs past the sequence
    std::memset(lengths + i, value, size_t(repeat));
    i += repeat;
    previous = value;
  }
  return true;
}

bool ReadDynamicCodes(BitReader& br, BlockDecoders* d) {
  std::uint32_t hlit = 0, hdist = 0, hclen = 0;
  if (!ReadBits(br, 5, &hlit) || !ReadBits(br, 5, &hdist) || !ReadBits(br, 4, &hclen))
    return false;
  const int literalCount = int(hlit) + 257;
  const int distanceCount = int(hdist) + 1;
  BYTE clLengths[19] = {};
  for (std::uint32_t i = 0; i < hclen + 4; ++i) {
    std::uint32_t len = 0;
    if (!ReadBits(br, 3, &len)) return false;
    clLengths[kCodeLengthOrder[i]] = BYTE(len);
  }
  Decoder<kCodeLengthRootBits> cl;
  if (!BuildDecoder(&cl, Alphabet::kCodeLength, clLengths, 19)) return false;
  BYTE lengths[kMaxSymbols + 32];
  if (!ReadCodeLengths(br, cl, lengths, literalCount + distanceCount)) return false;
  return BuildDecoder(&d->lit, Alphabet::kLiteralLength, lengths, literalCount) &&
         BuildDecoder(&d->dist, Alphabet::kDistance, lengths + literalCount, distanceCount);
}

// Copies `length` bytes from `distance` bytes back; the source range is
// within the output written so far. Chunks double so each copy is
// non-overlapping, and the result equals a byte-by-byte copy.
inline void CopyBack(BYTE* dst, std::uint32_t distance, std::uint32_t length) {
  const BYTE* src = dst - distance;
  if (distance >= length) {
    if (length <= 16) {
      for (std::uint32_t i = 0; i < length; ++i) dst[i] = src[i];
      return;
    }
    std::memcpy(dst, src, length);
    return;
  }
  if (distance == 1) {
    std::memset(dst, src[0], length);
    return;
  }
  std::uint32_t chunk = distance;
  while (chunk < length) {
    std::memcpy(dst, src, chunk);
    dst += chunk;
    length -= chunk;
    chunk *= 2;
  }
  std::memcpy(dst, src, length);
}

// Decodes the symbols of one block.
int InflateCodes(BitReader& br, const BlockDecoders& d, BYTE* out, size_t capacity,
                 size_t* outPos) {
  size_t o = *outPos;
  int result = 0;
  for (;;) {
    // 48 bits cover the longest symbol: 15 + 5 + 15 + 13.
    if (br.count < 48) Refill(br);
    std::uint32_t e = d.lit.table[Peek(br, kLitRootBits)];
    if (EntryKind(e) == kLiteral && EntryBits(e) <= br.count) {
      Consume(br, EntryBits(e));
      if (o >= capacity) {
        result = kGzipOutputFull;
        break;
      }
      out[o++] = BYTE(EntryValue(e));
      continue;
    }
    e = DecodeHuffmanSymbol(br, d.lit);
    const Kind kind = EntryKind(e);
    if (kind == kLiteral) {
      if (o >= capacity) {
        result = kGzipOutputFull;
        break;
      }
      out[o++] = BYTE(EntryValue(e));
      continue;
    }
    if (kind == kEnd) break;
    if (kind != kLength) {
      result = kGzipDamaged;
      break;
    }
    const unsigned lengthExtra = EntryExtra(e);
    if (lengthExtra > br.count) {
      result = kGzipDamaged;
      break;
    }
    const std::uint32_t length = EntryValue(e) + Peek(br, lengthExtra);
    Consume(br, lengthExtra);

    const std::uint32_t de = DecodeHuffmanSymbol(br, d.dist);
    const unsigned distExtra = EntryExtra(de);
    if (EntryKind(de) != kLength || distExtra > br.count) {
      result = kGzipDamaged;
      break;
    }
    const std::uint32_t distance = EntryValue(de) + Peek(br, distExtra);
    Consume(br, distExtra);
    if (distance > o) {
      result = kGzipDamaged;  // reaches before the output's start
      break;
    }
    if (length > capacity - o) {
      CopyBack(out + o, distance, std::uint32_t(capacity - o));
      o = capacity;
      result = kGzipOutputFull;
      break;
    }
    CopyBack(out + o, distance, length);
    o += length;
  }
  *outPos = o;
  return result;
}

// A stored block: the rest of the current byte is dropped, then LEN, NLEN
// (not checked) and LEN bytes.
int InflateStored(BitReader& br, BYTE* out, size_t capacity, size_t* outPos) {
  Consume(br, br.count & 7);
  br.pos -= br.count >> 3;  // give the whole buffered bytes back to the input
  br.bits = 0;
  br.count = 0;
  if (br.length - br.pos < 4) return kGzipDamaged;
  size_t length = size_t(br.in[br.pos]) | (size_t(br.in[br.pos + 1]) << 8);
  br.pos += 4;
  int result = 0;
  if (length > br.length - br.pos) {
    length = br.length - br.pos;
    result = kGzipDamaged;
  }
  if (length > capacity - *outPos) {
    length = capacity - *outPos;
    result = kGzipOutputFull;
  }
  std::memcpy(out + *outPos, br.in + br.pos, length);
  *outPos += length;
  br.pos += length;
  return result;
}

// Skips the gzip header; returns the offset of the first block or a
// negative result.
long SkipHeader(const BYTE* in, size_t length) {
  if (length < 3 || in[0] != 0x1F || in[1] != 0x8B || in[2] != 8) return kGzipNotGzip;
  if (length < 10) return kGzipDamaged;
  const BYTE flags = in[3];
  size_t pos = 10;
  if (flags & 0x04) {  // FEXTRA
    if (length - pos < 2) return kGzipDamaged;
    const size_t extra = size_t(in[pos]) | (size_t(in[pos + 1]) << 8);
    pos += 2;
    if (length - pos < extra) return kGzipDamaged;
    pos += extra;
  }
  for (BYTE text : {BYTE(0x08), BYTE(0x10)}) {  // FNAME, FCOMMENT
    if (!(flags & text)) continue;
    const void* end = std::memchr(in + pos, 0, length - pos);
    if (end == nullptr) return kGzipDamaged;
    pos = size_t(static_cast<const BYTE*>(end) - in) + 1;
  }
  if (flags & 0x02) {  // FHCRC
    if (length - pos < 2) return kGzipDamaged;
    pos += 2;
  }
  return long(pos);
}

}  // namespace

int GzipUnpackedSize(const BYTE* body, int length) {
  if (body == nullptr || length < 7) return 0;
  if (body[0] != 0x1F || body[1] != 0x8B || body[2] != 8) return 0;
  const BYTE* t = body + length - 4;
  const std::uint32_t size = std::uint32_t(t[0]) | (std::uint32_t(t[1]) << 8) |
                             (std::uint32_t(t[2]) << 16) | (std::uint32_t(t[3]) << 24);
  return int(size);
}

int GzipInflateBounded(const BYTE* body, int length, BYTE* output, int capacity) {
  if (body == nullptr || length <= 0) return kGzipNotGzip;
  const long start = SkipHeader(body, size_t(length));
  if (start < 0) return int(start);
  if (capacity < 0) capacity = 0;

  BitReader br{body, size_t(length), size_t(start), 0, 0};
  size_t o = 0;
  const size_t cap = size_t(capacity);
  BlockDecoders dynamic;
  for (;;) {
    std::uint32_t head = 0;
    if (!ReadBits(br, 3, &head)) return kGzipDamaged;
    const bool final = head & 1;
    const unsigned type = head >> 1;
    int result = 0;
    if (type == 0) {
      result = InflateStored(br, output, cap, &o);
    } else if (type == 2) {
      if (!ReadDynamicCodes(br, &dynamic)) return kGzipDamaged;
      result = InflateCodes(br, dynamic, output, cap, &o);
    } else {  // 1, and 3 decoded with the fixed codes as well
      result = InflateCodes(br, FixedDecoders(), output, cap, &o);
    }
    if (result < 0) return result;
    if (final) return int(o);
  }
}

void GzipInflate(const BYTE* body, int length, BYTE* output) {
  const int size = GzipUnpackedSize(body, length);
  if (size <= 0) return;
  GzipInflateBounded(body, length, output, size);
}

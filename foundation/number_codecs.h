// Readers and writers of the compact binary number forms of the market-data
// and history-data protocols, a byte mover and a decimal parser.
//
// Every multi-byte form is big-endian (most significant byte first):
//   - 32- and 64-bit integers: 4 and 8 bytes;
//   - scaled 24-bit number b0 b1 b2: e = b0 bits 7-4 (power of ten), sign =
//     b0 bit 3, 19-bit mantissa m = (b0 & 7) << 16 | b1 << 8 | b2;
//   - signed variable-length integer: 7 value bits per byte, most significant
//     group first; a byte whose top bit is SET is the last one; bit 6 of the
//     first byte is the sign (set: the value starts as all ones);
//   - packed date-time v (32 bits): year bits 31-20, month 19-16, day 15-11,
//     hour 10-6, minute 5-0.
//
// All functions are reentrant and allocate nothing; they work in place on
// the reply buffers. Replies from the network are read with the bounded
// var-int readers, which never run past the bytes available.
#pragma once

#include <cstdint>

// Decodes the scaled 24-bit number at bytes[0..2] into *value: the mantissa
// is ORed into what *value already holds (callers wanting the number alone
// clear it first), multiplied by 10^e in double precision, truncated toward
// zero and negated when the sign bit is set. A product beyond the 64-bit
// range (a damaged field) saturates at INT64_MAX before the negation.
void DecodeScaledInt24(const unsigned char* bytes, int64_t* value);

// Decodes the signed variable-length integer starting at p into *value and
// adds the number of bytes read to *counter. Reads until a byte with the top
// bit set, with no length limit (groups beyond 64 bits shift out): only for
// buffers known to hold a complete integer.
void ReadVarInt64(const unsigned char* p, int64_t* value, int* counter);

// The same in 32 bits.
void ReadVarInt32(const unsigned char* p, int32_t* value, int* counter);

// Bounded forms for replies: read at most available bytes from p. Result:
// the number of bytes read (1 or more) after a complete integer, which is
// stored in *value and added to *counter; -1 when no last byte lies within
// the available bytes (or p is null or available is 0 or less), and then
// neither *value nor *counter is changed.
int ReadVarInt64Bounded(const unsigned char* p, int available, int64_t* value, int* counter);
int ReadVarInt32Bounded(const unsigned char* p, int available, int32_t* value, int* counter);

// The decimal date-time YYYYMMDDhhmm00 of a packed date-time.
int64_t DecodePackedDateTime(uint32_t packed);

// Value of the leading characters of text: for each character up to the
// first zero byte or maxLength characters, value = value * 10 + (c - '0').
// No sign and no checks ('a' counts as 49); the arithmetic wraps on 64 bits.
// 0 for a null text.
int64_t ParseDecimalInt64(const char* text, int maxLength);

// Writes value big-endian into out[0..7]; returns 0.
int PackInt64BigEndian(int64_t value, unsigned char* out);

// The 64-bit big-endian value at buffer + offset (8 bytes).
int64_t ReadInt64BigEndian(const unsigned char* buffer, int offset);

// Writes value big-endian at buffer + offset (4 bytes).
void WriteUInt32BigEndian(uint32_t value, unsigned char* buffer, int offset);

// The 32-bit big-endian value at buffer + offset (4 bytes).
uint32_t ReadUInt32BigEndian(const unsigned char* buffer, int offset);

// Moves count bytes from source to destination, last byte first, zeroing each
// source byte right after it is copied. With the destination above an
// overlapping source this moves the bytes up and leaves the vacated bytes
// zero (it opens a gap in a list of fixed-size entries). Nothing when a
// pointer is null or count is 0 or less.
void ShiftBytesUp(unsigned char* source, unsigned char* destination, int count);

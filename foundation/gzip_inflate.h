// The program's own gzip inflater for reply bodies.
//
// Decodes the first member of a gzip body (RFC 1952): stored, fixed-code and
// dynamic-code DEFLATE blocks (RFC 1951); a block of type 3 is decoded with
// the fixed codes. Header flags FEXTRA, FNAME, FCOMMENT and FHCRC are
// skipped. Neither the CRC-32 nor the trailer's size is checked, and members
// after the first are ignored: callers size their buffer from the trailer.
//
// Calling pattern:
//   int size = GzipUnpackedSize(body, length);
//   if (size > 0) {           // else the body is used unchanged
//     buffer = zero-filled size + 8 bytes;
//     int n = GzipInflateBounded(body, length, buffer, size);
//     // n < 0: damaged body; what was decoded before the damage stays
//   }
// The 8 zero bytes after the unpacked data are never written, so text
// replies stay zero-terminated.
//
// No shared state: any number of threads may inflate at once.
#pragma once

#include "platform/kernel/win_types.h"

// Results of GzipInflateBounded besides the byte count.
constexpr int kGzipNotGzip = -1;     // the body does not begin with 1F 8B 08
constexpr int kGzipDamaged = -2;     // bad header, bad code, bad distance, or the input ended early
constexpr int kGzipOutputFull = -3;  // the stream holds more bytes than the capacity

// When the body (of `length` bytes) begins with 1F 8B 08: the 32-bit
// little-endian value of its last 4 bytes, the unpacked size recorded in
// the trailer, as a signed number (a size of 2 GB or more is negative).
// Otherwise, and for bodies shorter than 7 bytes, 0.
int GzipUnpackedSize(const BYTE* body, int length);

// Unpacks the body into `output`, writing at most `capacity` bytes and
// reading nothing beyond `length` bytes of the body. Returns the number of
// bytes written when the first member's final block was decoded, else
// kGzipNotGzip (nothing written), kGzipDamaged or kGzipOutputFull; on those
// two the bytes decoded before the damage (at most `capacity`) stay in the
// output and the rest of it is left as it was.
int GzipInflateBounded(const BYTE* body, int length, BYTE* output, int capacity);

// Unpacks the body into `output`, which the caller sized as
// GzipUnpackedSize + 8 zero-filled bytes. Writes at most GzipUnpackedSize
// bytes and nothing when the body is not gzip; reports nothing (use
// GzipInflateBounded to learn of damage).
void GzipInflate(const BYTE* body, int length, BYTE* output);

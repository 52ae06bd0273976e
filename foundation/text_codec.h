// The program's own converter between UTF-8 byte strings and UTF-16 text.
//
// Inside the program byte strings are UTF-8; the platform takes UTF-16
// (WCHAR = char16_t units). Every length here is a count of BYTES, on both
// sides: a UTF-16 text of n units has the length 2n.
//
// The codec is deliberately lossy in two ways that files and peers rely on,
// so it must not be swapped for the toolkit's UTF-8 functions:
//   - a four-, five- or six-byte UTF-8 form decodes to ONE unit holding the
//     low 16 bits of its value (no surrogate pair);
//   - each UTF-16 unit is encoded alone, so a surrogate pair becomes two
//     three-byte forms.
// Lead bytes 0x80-0xBF (stray continuation bytes) decode to a space, and the
// continuation bytes of a form are taken without being tested.
//
// Bounds: the converters never read past the given input length and never
// write past the given output capacity. A multi-byte form cut off by the end
// of the input decodes to one space unit and consumes the rest of the input.
// A trailing odd byte of a UTF-16 input is not a whole unit: it is ignored.
//
// Every function is reentrant (no globals, no locks). Buffers returned by the
// allocating forms are allocated with malloc/calloc and freed by the caller
// with free().
#pragma once

#include "platform/kernel/win_types.h"

// Decodes utf8Bytes bytes of UTF-8 into UTF-16 units at out, one unit per
// form, no terminator. At most outCapacity BYTES are written (only whole
// units); conversion stops before the first form whose unit does not fit.
// Result: the number of input bytes consumed (utf8Bytes when everything fit).
// Null pointers or non-positive lengths convert nothing and give 0.
int Utf8ToUtf16(const char* utf8, int utf8Bytes, WCHAR* out, int outCapacity);

// Encodes the whole units among utf16Bytes bytes at utf16 as UTF-8 into out,
// 1 to 3 bytes per unit, no terminator. At most outCapacity bytes are
// written; conversion stops before the first unit whose form does not fit.
// Result: the number of input bytes consumed, always even (a trailing odd
// byte is neither read nor counted). Null pointers convert nothing: 0.
int Utf16ToUtf8(const WCHAR* utf16, int utf16Bytes, char* out, int outCapacity);

// Byte size of the UTF-16 form of utf8Bytes bytes of UTF-8: 2 per decoded
// form (the cut form at the end included). A buffer of this size holds what
// Utf8ToUtf16 writes for the same input.
int Utf16SizeOfUtf8(const char* utf8, int utf8Bytes);

// Byte size of the UTF-8 form of the whole units among utf16Bytes bytes:
// 1, 2 or 3 per unit (below 0x80, below 0x800, otherwise).
int Utf8SizeOfUtf16(const WCHAR* utf16, int utf16Bytes);

// Number of units before the first zero unit; -1 for a null pointer.
int Utf16Length(const WCHAR* text);

// New zero-terminated UTF-16 copy of a zero-terminated UTF-8 text: the
// converted units followed by two zero bytes. Null for a null text or when
// allocation fails. The caller frees it with free().
WCHAR* Utf8ToUtf16Alloc(const char* text);

// New zero-terminated UTF-8 copy of a zero-terminated UTF-16 text: the
// converted bytes followed by two zero bytes. Null for a null text or when
// allocation fails. The caller frees it with free().
char* Utf16ToUtf8Alloc(const WCHAR* text);

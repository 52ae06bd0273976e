// Base64 text of a byte string (RFC 4648 alphabet, '=' padding).
#pragma once

#include <cstddef>

// Bytes Base64Encode needs for length input bytes, terminating zero included.
size_t Base64EncodedSize(size_t length);

// Writes the Base64 text of input[0..length) and a terminating zero to
// output. length 0 takes the input's text length (up to its first zero byte;
// a null input then encodes nothing). output must hold outputSize bytes; when
// the text and its zero do not fit, output receives an empty text (when
// outputSize > 0) and the result is -1. Otherwise returns the text's length.
int Base64Encode(char* output, size_t outputSize, const void* input, size_t length);

#include "foundation/base64.h"

#include <cstring>

namespace {
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}  // namespace

size_t Base64EncodedSize(size_t length) { return (length + 2) / 3 * 4 + 1; }

int Base64Encode(char* output, size_t outputSize, const void* input, size_t length) {
  const unsigned char* in = static_cast<const unsigned char*>(input);
  if (length == 0 && in != nullptr) length = std::strlen(reinterpret_cast<const char*>(in));
  if (output == nullptr || outputSize < Base64EncodedSize(length)) {
    if (output != nullptr && outputSize > 0) output[0] = '\0';
    return -1;
  }
  size_t o = 0;
  size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    unsigned v = (in[i] << 16) | (in[i + 1] << 8) | in[i + 2];
    output[o++] = kAlphabet[(v >> 18) & 63];
    output[o++] = kAlphabet[(v >> 12) & 63];
    output[o++] = kAlphabet[(v >> 6) & 63];
    output[o++] = kAlphabet[v & 63];
  }
  size_t rest = length - i;
  if (rest > 0) {
    unsigned v = in[i] << 16;
    if (rest == 2) v |= in[i + 1] << 8;
    output[o++] = kAlphabet[(v >> 18) & 63];
    output[o++] = kAlphabet[(v >> 12) & 63];
    output[o++] = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    output[o++] = '=';
  }
  output[o] = '\0';
  return static_cast<int>(o);
}

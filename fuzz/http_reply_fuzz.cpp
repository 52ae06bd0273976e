// Reply header parsing, the chunked decoder (fed in pieces whose size the
// input chooses) and the CONNECT reply check, on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "foundation/http_reply.h"
#include "foundation/proxy_handshake.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t step = data[0] % 17 + 1;
  const char* text = reinterpret_cast<const char*>(data + 1);
  const size_t length = size - 1;

  HttpReplyHead head;
  ParseHttpReplyHead(text, length, &head);
  if (!head.lengthInvalid && (head.contentLength < 0 || head.contentLength > static_cast<long long>(kMaxHttpBody)))
    __builtin_trap();

  std::string zeroTerminated(text, length);
  ConnectReplyAccepted(zeroTerminated.c_str());

  ChunkedDecoder decoder;
  ReplyBody body;
  size_t at = 0;
  int result = kChunkedMore;
  while (at < length && result == kChunkedMore) {
    size_t n = length - at < step ? length - at : step;
    size_t used = 0;
    result = FeedChunked(&decoder, text + at, n, &body, &used);
    if (used > n) __builtin_trap();
    at += used;
  }
  if (body.length > length || (body.data != nullptr && body.data[body.length] != '\0')) __builtin_trap();
  FreeReplyBody(&body);
  return 0;
}

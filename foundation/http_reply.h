// Reading an HTTP/1.x reply: the header block, the body buffer and the
// chunked transfer coding. Plain functions over small records, bounded by
// the lengths they are given; shared by the socket client and its fuzz
// target.
#pragma once

#include <cstddef>
#include <cstdint>

// Largest body a request accepts (announced or received); larger replies fail.
constexpr size_t kMaxHttpBody = 64u * 1024 * 1024;
// Body capacity taken when the reply announces no length.
constexpr size_t kDefaultHttpBody = 409600;

struct HttpReplyHead {
  int status = 0;               // status code of the status line; 0 when unreadable
  long long contentLength = 0;  // "Content-Length"; 0 when absent (as the system reads it)
  bool lengthInvalid = false;   // negative, unreadable or over kMaxHttpBody
  bool chunked = false;         // "Transfer-Encoding: chunked"
};

// Parses a complete header block (status line to the empty line; text of
// length bytes, need not be zero-terminated). Fields are matched without
// regard to case. Always fills *out; false when the status line is not
// "HTTP/x.y NNN".
bool ParseHttpReplyHead(const char* text, size_t length, HttpReplyHead* out);

// Body bytes in one heap block with at least 16 zero bytes after them.
struct ReplyBody {
  char* data = nullptr;
  size_t length = 0;    // bytes held
  size_t capacity = 0;  // bytes it may hold before growing
};

// Makes room for capacity bytes (+16 zero bytes); false when capacity is over
// kMaxHttpBody or memory runs out (the body is unchanged then).
bool ReserveReplyBody(ReplyBody* body, size_t capacity);
// Appends bytes, doubling the capacity as needed up to kMaxHttpBody; false
// (nothing appended) when the body would pass that cap.
bool AppendReplyBody(ReplyBody* body, const char* bytes, size_t length);
void FreeReplyBody(ReplyBody* body);

// Decoder of the chunked transfer coding, fed as bytes arrive.
struct ChunkedDecoder {
  int state = 0;            // position in the chunk grammar (internal)
  uint64_t remaining = 0;   // data bytes left in the current chunk
  int sizeDigits = 0;       // hex digits read of the current size line
};

enum ChunkedResult {
  kChunkedMore = 0,   // all input used; the body goes on
  kChunkedDone = 1,   // the last chunk and the trailer are in
  kChunkedError = -1  // malformed, or the body would pass kMaxHttpBody
};

// Feeds length bytes of the coded body, appending the decoded data to body.
// *used receives the bytes taken (fewer than length only on kChunkedDone or
// kChunkedError).
int FeedChunked(ChunkedDecoder* decoder, const char* bytes, size_t length, ReplyBody* body, size_t* used);

#include "foundation/http_reply.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

std::string UpperCopy(const char* text, size_t length) {
  std::string upper(text, length);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// Value of the header field name (upper case, with the colon) in the upper-
// case header block, without leading blanks; empty when absent.
std::string_view FieldValue(std::string_view header, std::string_view name) {
  size_t at = 0;
  while ((at = header.find(name, at)) != std::string_view::npos) {
    if (at >= 2 && header.compare(at - 2, 2, "\r\n") == 0) break;
    at += name.size();
  }
  if (at == std::string_view::npos) return {};
  size_t start = at + name.size();
  while (start < header.size() && (header[start] == ' ' || header[start] == '\t')) ++start;
  size_t end = header.find("\r\n", start);
  if (end == std::string_view::npos) end = header.size();
  std::string_view value = header.substr(start, end - start);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  return value;
}

enum ChunkState {
  kSize = 0,       // hex digits of the size line
  kSizeRest,       // chunk extension up to CR
  kSizeLf,         // LF ending the size line
  kData,           // chunk data
  kDataCr,         // CR after the data
  kDataLf,         // LF after the data
  kTrailerStart,   // start of a trailer line (or the final CRLF)
  kTrailerLine,    // inside a trailer line
  kTrailerLf,      // LF ending a trailer line
  kFinalLf,        // LF of the empty line ending the body
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseHttpReplyHead(const char* text, size_t length, HttpReplyHead* out) {
  *out = HttpReplyHead{};
  std::string upper = UpperCopy(text, length);
  std::string_view header(upper);
  bool statusOk = false;
  if (header.size() >= 12 && header.substr(0, 5) == "HTTP/") {
    size_t space = header.find(' ');
    size_t lineEnd = header.find("\r\n");
    if (space != std::string_view::npos && space + 3 < header.size() && space < lineEnd &&
        std::isdigit(static_cast<unsigned char>(header[space + 1])) &&
        std::isdigit(static_cast<unsigned char>(header[space + 2])) &&
        std::isdigit(static_cast<unsigned char>(header[space + 3]))) {
      out->status = (header[space + 1] - '0') * 100 + (header[space + 2] - '0') * 10 + (header[space + 3] - '0');
      statusOk = true;
    }
  }
  std::string_view contentLength = FieldValue(header, "CONTENT-LENGTH:");
  if (!contentLength.empty()) {
    long long value = 0;
    bool digits = true;
    for (char c : contentLength) {
      if (c < '0' || c > '9') {
        digits = false;
        break;
      }
      value = value * 10 + (c - '0');
      if (value > static_cast<long long>(kMaxHttpBody)) break;
    }
    if (!digits || value > static_cast<long long>(kMaxHttpBody)) {
      out->lengthInvalid = true;
    } else {
      out->contentLength = value;
    }
  }
  std::string_view coding = FieldValue(header, "TRANSFER-ENCODING:");
  out->chunked = coding.find("CHUNKED") != std::string_view::npos;
  return statusOk;
}

bool ReserveReplyBody(ReplyBody* body, size_t capacity) {
  if (capacity > kMaxHttpBody) return false;
  if (body->data != nullptr && capacity <= body->capacity) return true;
  char* grown = static_cast<char*>(std::calloc(capacity + 16, 1));
  if (grown == nullptr) return false;
  if (body->length > 0) std::memcpy(grown, body->data, body->length);
  std::free(body->data);
  body->data = grown;
  body->capacity = capacity;
  return true;
}

bool AppendReplyBody(ReplyBody* body, const char* bytes, size_t length) {
  if (length > kMaxHttpBody - body->length) return false;
  size_t needed = body->length + length;
  if (body->data == nullptr || needed > body->capacity) {
    size_t capacity = body->capacity > 0 ? body->capacity : kDefaultHttpBody;
    while (capacity < needed) capacity = capacity * 2;
    if (capacity > kMaxHttpBody) capacity = kMaxHttpBody;
    if (!ReserveReplyBody(body, capacity)) return false;
  }
  std::memcpy(body->data + body->length, bytes, length);
  body->length += length;
  return true;
}

void FreeReplyBody(ReplyBody* body) {
  std::free(body->data);
  *body = ReplyBody{};
}

int FeedChunked(ChunkedDecoder* d, const char* bytes, size_t length, ReplyBody* body, size_t* used) {
  size_t i = 0;
  *used = 0;
  while (i < length) {
    char c = bytes[i];
    switch (d->state) {
      case kSize: {
        int v = HexValue(c);
        if (v >= 0) {
          if (++d->sizeDigits > 15) return kChunkedError;
          d->remaining = d->remaining * 16 + static_cast<uint64_t>(v);
          ++i;
          break;
        }
        if (d->sizeDigits == 0) return kChunkedError;
        if (d->remaining > kMaxHttpBody) return kChunkedError;
        d->state = c == '\r' ? kSizeLf : kSizeRest;
        ++i;
        break;
      }
      case kSizeRest:
        if (c == '\r') d->state = kSizeLf;
        ++i;
        break;
      case kSizeLf:
        if (c != '\n') return kChunkedError;
        ++i;
        d->sizeDigits = 0;
        d->state = d->remaining == 0 ? kTrailerStart : kData;
        break;
      case kData: {
        size_t take = length - i;
        if (take > d->remaining) take = static_cast<size_t>(d->remaining);
        if (!AppendReplyBody(body, bytes + i, take)) return kChunkedError;
        i += take;
        d->remaining -= take;
        if (d->remaining == 0) d->state = kDataCr;
        break;
      }
      case kDataCr:
        if (c != '\r') return kChunkedError;
        ++i;
        d->state = kDataLf;
        break;
      case kDataLf:
        if (c != '\n') return kChunkedError;
        ++i;
        d->state = kSize;
        break;
      case kTrailerStart:
        ++i;
        d->state = c == '\r' ? kFinalLf : kTrailerLine;
        break;
      case kTrailerLine:
        if (c == '\r') d->state = kTrailerLf;
        ++i;
        break;
      case kTrailerLf:
        if (c != '\n') return kChunkedError;
        ++i;
        d->state = kTrailerStart;
        break;
      case kFinalLf:
        if (c != '\n') return kChunkedError;
        ++i;
        *used = i;
        return kChunkedDone;
      default:
        return kChunkedError;
    }
    *used = i;
  }
  return kChunkedMore;
}

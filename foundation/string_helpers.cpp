#include "foundation/string_helpers.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Appends a zero-filled node for text behind *tail. False when allocation
// fails.
bool AppendPiece(StringList** head, StringList** tail, char* text) {
  auto* node = static_cast<StringList*>(std::calloc(1, sizeof(StringList)));
  if (!node) return false;
  node->text = text;
  if (*tail) {
    (*tail)->next = node;
  } else {
    *head = node;
  }
  *tail = node;
  return true;
}

// The split shared by SplitByChar and SplitByString: separator of
// separatorLength bytes (at least 1).
StringList* SplitInPlace(char* text, const char* separator, size_t separatorLength) {
  if (!text) return nullptr;
  StringList* head = nullptr;
  StringList* tail = nullptr;
  bool pieceDue = true;
  char* p = text;
  while (*p != 0) {
    if (pieceDue) {
      if (!AppendPiece(&head, &tail, p)) {
        FreeStringList(&head);
        return nullptr;
      }
      pieceDue = false;
    }
    // strncmp stops at the text's terminator, so a separator cut off by the
    // end of the text is never read past.
    if (*p == separator[0] && std::strncmp(p, separator, separatorLength) == 0) {
      std::memset(p, 0, separatorLength);
      p += separatorLength;
      pieceDue = true;
      continue;
    }
    ++p;
  }
  return head;
}

}  // namespace

StringList* SplitByChar(char* text, char separator) {
  if (separator == 0) return SplitInPlace(text, "", 0);
  const char sep[2] = {separator, 0};
  return SplitInPlace(text, sep, 1);
}

StringList* SplitByString(char* text, const char* separator) {
  if (!separator) separator = "";
  return SplitInPlace(text, separator, std::strlen(separator));
}

void FreeStringList(StringList** head) {
  if (!head) return;
  StringList* node = *head;
  while (node) {
    StringList* next = node->next;
    std::free(node);
    node = next;
  }
  *head = nullptr;
}

RecordList* SplitRecords(const char* text, char recordSeparator, char fieldSeparator) {
  if (!text || text[0] == 0) return nullptr;
  const size_t length = std::strlen(text);
  auto* copy = static_cast<char*>(std::calloc(length + 2, 1));
  if (!copy) return nullptr;
  std::memcpy(copy, text, length);

  StringList* records = SplitByChar(copy, recordSeparator);
  RecordList* head = nullptr;
  RecordList* tail = nullptr;
  bool failed = records == nullptr;
  for (StringList* r = records; r && !failed; r = r->next) {
    auto* node = static_cast<RecordList*>(std::calloc(1, sizeof(RecordList)));
    if (!node) {
      failed = true;
      break;
    }
    node->fields = SplitByChar(r->text, fieldSeparator);
    // An empty record legitimately has no fields; a non-empty one without
    // fields means a node allocation failed.
    if (!node->fields && r->text[0] != 0) failed = true;
    if (tail) {
      tail->next = node;
    } else {
      head = node;
    }
    tail = node;
  }
  FreeStringList(&records);
  if (failed) {
    FreeRecordList(&head);
    std::free(copy);
    return nullptr;
  }
  head->copy = copy;
  return head;
}

void FreeRecordList(RecordList** head) {
  if (!head) return;
  RecordList* node = *head;
  while (node) {
    RecordList* next = node->next;
    FreeStringList(&node->fields);
    std::free(node->copy);
    std::free(node);
    node = next;
  }
  *head = nullptr;
}

int CountRecords(const RecordList* head) {
  int n = 0;
  for (; head; head = head->next) ++n;
  return n;
}

int IsAllDigits(const char* bytes, int count) {
  if (!bytes) return count <= 0 ? 1 : 0;
  for (int i = 0; i < count; ++i) {
    if (bytes[i] < '0' || bytes[i] > '9') return 0;
  }
  return 1;
}

void ToLowerAsciiInPlace(char* buffer, int count) {
  if (!buffer) return;
  for (int i = 0; i < count; ++i) {
    if (buffer[i] >= 'A' && buffer[i] <= 'Z') buffer[i] = static_cast<char>(buffer[i] + ('a' - 'A'));
  }
}

void RemoveCharInPlace(char* buffer, int count, char byte) {
  if (!buffer || count <= 0) return;
  int kept = 0;
  int i = 0;
  for (; i < count && buffer[i] != 0; ++i) {
    if (buffer[i] != byte) buffer[kept++] = buffer[i];
  }
  // kept < count whenever a byte was dropped or a zero byte ended the scan;
  // otherwise nothing moved and the terminator would lie past the count.
  if (kept < count) buffer[kept] = 0;
}

void ReplaceCharInPlace(char* buffer, int count, char from, char to) {
  if (!buffer) return;
  for (int i = 0; i < count; ++i) {
    if (buffer[i] == from) buffer[i] = to;
  }
}

void RemoveAllInPlace(char* text, int count, const char* pattern) {
  if (!text || !pattern || pattern[0] == 0) return;
  const size_t patternLength = std::strlen(pattern);
  int pos = 0;
  while (pos < count && text[pos] != 0) {
    char* p = text + pos;
    if (std::strncmp(p, pattern, patternLength) != 0) {
      ++pos;
      continue;
    }
    const char* rest = p + patternLength;
    std::memmove(p, rest, std::strlen(rest) + 1);
  }
}

int CountOccurrences(const char* text, const char* pattern) {
  if (!text || !pattern || pattern[0] == 0) return 0;
  const size_t patternLength = std::strlen(pattern);
  int n = 0;
  for (const char* p = std::strstr(text, pattern); p; p = std::strstr(p + patternLength, pattern)) ++n;
  return n;
}

int FindBytes(const void* buffer, int length, const void* pattern, int patternLength) {
  if (!buffer || !pattern || patternLength <= 0 || length < patternLength) return -1;
  const auto* b = static_cast<const unsigned char*>(buffer);
  const auto* p = static_cast<const unsigned char*>(pattern);
  for (int i = 0; i + patternLength <= length; ++i) {
    if (b[i] == p[0] && std::memcmp(b + i, p, static_cast<size_t>(patternLength)) == 0) return i;
  }
  return -1;
}

int FindLastCharBefore(const char* buffer, int position, char byte) {
  if (!buffer) return -1;
  for (int i = position - 1; i >= 0; --i) {
    if (buffer[i] == byte) return i;
  }
  return -1;
}

char* ReplaceAllAlloc(const char* text, const char* from, const char* to) {
  if (!text || !from || !to) return nullptr;
  const size_t textLength = std::strlen(text);
  const size_t fromLength = std::strlen(from);
  const size_t toLength = std::strlen(to);
  const size_t k = static_cast<size_t>(CountOccurrences(text, from));
  const size_t size = textLength - k * fromLength + k * toLength + 1;
  auto* out = static_cast<char*>(std::calloc(size, 1));
  if (!out) return nullptr;
  char* w = out;
  const char* r = text;
  if (fromLength > 0) {
    for (const char* hit = std::strstr(r, from); hit; hit = std::strstr(r, from)) {
      std::memcpy(w, r, static_cast<size_t>(hit - r));
      w += hit - r;
      std::memcpy(w, to, toLength);
      w += toLength;
      r = hit + fromLength;
    }
  }
  std::memcpy(w, r, std::strlen(r));
  return out;
}

int ExtractBetween(const char* text, char* out, int outCapacity, const char* startMarker,
                   const char* endMarker) {
  if (!text || !startMarker || !endMarker) return -1;
  const char* start = std::strstr(text, startMarker);
  if (!start) return -1;
  const size_t startLength = std::strlen(startMarker);
  const char* content = start + startLength;
  const char* end = std::strstr(content, endMarker);
  if (!end) return -1;
  const size_t contentLength = static_cast<size_t>(end - content);
  if (out && outCapacity > 0) {
    const size_t room = static_cast<size_t>(outCapacity) - 1;
    const size_t copied = contentLength < room ? contentLength : room;
    std::memcpy(out, content, copied);
    out[copied] = 0;
  }
  return static_cast<int>(startLength + contentLength + std::strlen(endMarker));
}

int HashName(const char* name) {
  if (!name) return 0;
  std::uint32_t h = 0;
  for (size_t i = 0; name[i] != 0; ++i) {
    // Bytes are taken as signed chars widened to 32 bits: names with bytes
    // of 0x80 and above hash as the program has always hashed them.
    const auto c = static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(name[i])));
    if (i % 2 == 0) {
      h ^= (h << 7) ^ c ^ (h >> 3);
    } else {
      h ^= ~((h << 11) ^ c ^ (h >> 5));
    }
  }
  return static_cast<int>(h & 0x7FFFFFFFu);
}

int BytesToHex(const void* bytes, int count, char* out, int outCapacity) {
  if (!bytes || !out || count <= 0 || outCapacity < 2) return 0;
  static const char kDigits[] = "0123456789ABCDEF";
  const auto* b = static_cast<const unsigned char*>(bytes);
  const int pairs = count < outCapacity / 2 ? count : outCapacity / 2;
  for (int i = 0; i < pairs; ++i) {
    out[2 * i] = kDigits[b[i] >> 4];
    out[2 * i + 1] = kDigits[b[i] & 0x0F];
  }
  return pairs * 2;
}

namespace {

int LowerHexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

}  // namespace

int ParseLowerHex(const char* text, int length, unsigned char* out, int outCapacity) {
  if (!text || !out || length < 2 || outCapacity <= 0) return 0;
  const int pairs = length / 2 < outCapacity ? length / 2 : outCapacity;
  for (int i = 0; i < pairs; ++i) {
    out[i] = static_cast<unsigned char>(LowerHexDigit(text[2 * i]) << 4 | LowerHexDigit(text[2 * i + 1]));
  }
  return pairs;
}

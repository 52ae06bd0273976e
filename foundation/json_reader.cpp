// JSON reader: lexer, resumable parser, tree helpers. See json_reader.h for
// the states and result codes.
#include "foundation/json_reader.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/kernel/debug_sink.h"

namespace {

std::atomic<long> gFailAfter{0};

// True when the allocation being made must fail (tests only).
bool FailThisAllocation() {
  if (gFailAfter.load(std::memory_order_relaxed) <= 0) return false;
  return gFailAfter.fetch_sub(1, std::memory_order_relaxed) == 1;
}

void* JsonMalloc(size_t size) { return FailThisAllocation() ? nullptr : malloc(size); }

void* JsonRealloc(void* block, size_t size) {
  return FailThisAllocation() ? nullptr : realloc(block, size);
}

void FreeJsonText(JsonText** token) {
  if (*token == nullptr) return;
  free((*token)->buffer);
  free(*token);
  *token = nullptr;
}

// Starts a new token with an empty text. A new record starts with capacity
// 8; the record and its buffer are then reused from token to token, so a
// later token starts with the room an earlier one reached. False when out of
// memory.
bool StartJsonText(JsonText** token) {
  if (*token == nullptr) {
    *token = static_cast<JsonText*>(JsonMalloc(sizeof(JsonText)));
    if (*token == nullptr) return false;
    (*token)->buffer = nullptr;
    (*token)->capacity = 8;
  }
  (*token)->length = 0;
  if ((*token)->buffer != nullptr) (*token)->buffer[0] = 0;
  return true;
}

// Appends count bytes. At full capacity the capacity grows by five (the
// buffer holds capacity + 1 bytes); a run of bytes takes the same steps at
// once, with one reallocation.
bool AppendJsonBytes(JsonText* text, const char* bytes, size_t count) {
  if (text == nullptr) return false;
  size_t needed = text->length + count;
  if (needed > text->capacity || text->buffer == nullptr) {
    size_t capacity = text->capacity;
    if (needed > capacity) capacity += 5 * ((needed - capacity + 4) / 5);
    auto* grown = static_cast<char*>(JsonRealloc(text->buffer, capacity + 1));
    if (grown == nullptr) return false;
    text->buffer = grown;
    text->capacity = capacity;
  }
  memcpy(text->buffer + text->length, bytes, count);
  text->length = needed;
  text->buffer[needed] = 0;
  return true;
}

bool AppendJsonChar(JsonText* text, char c) { return AppendJsonBytes(text, &c, 1); }

bool IsHexDigit(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// End of the run of plain string bytes (no quote, backslash or control byte)
// that starts at p; stops at the terminator.
const char* PlainStringRunEnd(const char* p) {
  while (static_cast<unsigned char>(*p) >= 32 && *p != '"' && *p != '\\') ++p;
  return p;
}

// As PlainStringRunEnd, eight bytes at a time while they lie before limit
// (the piece's terminator), so it never reads past the piece.
const char* PlainStringRunEndBefore(const char* p, const char* limit) {
  static_assert(std::endian::native == std::endian::little);
  constexpr uint64_t kOnes = 0x0101010101010101u;
  constexpr uint64_t kHighs = 0x8080808080808080u;
  while (limit - p >= 8) {
    uint64_t v;
    memcpy(&v, p, 8);
    // The high bit of each byte below 32, equal to '"' or equal to '\\'; the
    // lowest one marks the first byte that ends the run.
    const uint64_t quote = v ^ (kOnes * '"');
    const uint64_t backslash = v ^ (kOnes * '\\');
    const uint64_t stops =
        (((v - kOnes * 32) & ~v) | ((quote - kOnes) & ~quote) | ((backslash - kOnes) & ~backslash)) & kHighs;
    if (stops != 0) return p + (std::countr_zero(stops) >> 3);
    p += 8;
  }
  return PlainStringRunEnd(p);
}

const char* DigitRunEnd(const char* p) {
  while (*p >= '0' && *p <= '9') ++p;
  return p;
}

// ---- Tokens wholly inside the piece -----------------------------------------
//
// The parser's lexer first tries to read a string or number without the token
// buffer: when the whole token lies inside the piece and is well formed, its
// text is the bytes of the piece as written (a string's text is what stands
// between the quotes, escapes included, exactly what the buffer would have
// collected). Anything else (the piece ends inside the token, or a lexical
// error) is read again from the token's first byte by the state machine, so
// results, cursors and traces stay the same.

// The text of a token read in place; limit is the piece's terminator.
struct JsonTokenView {
  const char* text;
  size_t length;
  const char* limit;
};

// p just after a string's opening quote. True with *end at the closing quote
// when the string closes inside the piece and every escape is well formed.
bool ScanWholeString(const char* p, const char* limit, const char** end) {
  for (;;) {
    p = PlainStringRunEndBefore(p, limit);
    if (*p == '"') {
      *end = p;
      return true;
    }
    if (*p != '\\') return false;  // a control byte or the piece's end
    switch (p[1]) {
      case '"': case '/': case '\\': case 'b': case 'f': case 'n': case 'r': case 't':
        p += 2;
        break;
      case 'u':
        // Stops at the first byte that is no hex digit, the terminator too.
        for (int i = 2; i < 6; ++i) {
          if (!IsHexDigit(static_cast<unsigned char>(p[i]))) return false;
        }
        p += 6;
        break;
      default:
        return false;
    }
  }
}

// p at a number's first byte ('-' or a digit). True when the number is well
// formed and a delimiter follows inside the piece: *end is one past its last
// byte and *resume where the lexer goes on (after a blank, which is consumed
// without counting a line as the state machine does; at ',', ']' or '}').
bool ScanWholeNumber(const char* p, const char** end, const char** resume) {
  if (*p == '-') ++p;
  if (*p == '0') ++p;
  else if (IsDigit(static_cast<unsigned char>(*p))) p = DigitRunEnd(p);
  else return false;
  if (*p == '.') {
    ++p;
    if (!IsDigit(static_cast<unsigned char>(*p))) return false;
    p = DigitRunEnd(p);
  }
  if (*p == 'e' || *p == 'E') {
    ++p;
    if (*p == '+' || *p == '-') ++p;
    if (!IsDigit(static_cast<unsigned char>(*p))) return false;
    p = DigitRunEnd(p);
  }
  *end = p;
  switch (*p) {
    case '\t': case '\n': case '\r': case ' ':
      *resume = p + 1;
      return true;
    case ',': case ']': case '}':
      *resume = p;
      return true;
    default:
      return false;
  }
}

// The finished token's text (valid until the next token starts).
const char* TokenText(const JsonText* token) {
  return token != nullptr && token->buffer != nullptr ? token->buffer : "";
}

size_t TokenLength(const JsonText* token) { return token != nullptr ? token->length : 0; }

void TraceStateMissing(int state) {
  char line[64];
  snprintf(line, sizeof line, "JSON: *state missing: %d\n", state);
  DebugWrite(DebugChannel::Stderr, line);
}

// The parser's "message": trace the state and line, result 4.
int Defaulted(const JsonParser* parser) {
  char line[96];
  snprintf(line, sizeof line, "JSON: state %d: defaulted at line %td\n", parser->state,
           parser->line);
  DebugWrite(DebugChannel::Stderr, line);
  return kJsonMalformed;
}

// ---- Tree storage -----------------------------------------------------------
//
// The nodes of one document live in its arena: a list of blocks filled front
// to back, all freed at once when the root is freed. The root alone is
// preceded by a pointer to its arena (a node without a parent is a root); the
// parser keeps the arena of the document it builds. Freeing an inner node
// only unlinks it; its bytes go with the root. Each node still counts as one
// allocation for FailJsonAllocationForTesting.

struct JsonArenaBlock {
  JsonArenaBlock* next;  // the block filled before this one
  size_t size;           // bytes of room after the header
  size_t used;
};

}  // namespace

struct JsonArena {
  JsonArenaBlock* blocks;  // the block being filled first
};

namespace {

struct JsonRootHeader {
  JsonArena* arena;
};

constexpr size_t kArenaFirstBlock = 2048;
constexpr size_t kArenaLargestBlock = 64 * 1024;  // below malloc's mmap threshold: no page faults
constexpr size_t kArenaAlign = alignof(JsonNode);
static_assert(sizeof(JsonArenaBlock) % kArenaAlign == 0 && sizeof(JsonRootHeader) % kArenaAlign == 0);

// Blocks of the largest size that documents freed on this thread leave for
// the next documents, at most kArenaCachedBlocks of them. A large document
// freed and followed by another (a list read again every few seconds) then
// finds its pages ready, instead of the allocator handing them back to the
// system and every page faulting in again. Freed at the thread's end.
constexpr size_t kArenaCachedBlocks = 128;  // 8 MB

struct JsonBlockCache {
  JsonArenaBlock* blocks = nullptr;
  size_t count = 0;
  ~JsonBlockCache() {
    while (blocks != nullptr) {
      JsonArenaBlock* next = blocks->next;
      free(blocks);
      blocks = next;
    }
  }
};

thread_local JsonBlockCache tBlockCache;

JsonArenaBlock* TakeCachedBlock() {
  JsonArenaBlock* block = tBlockCache.blocks;
  if (block != nullptr) {
    tBlockCache.blocks = block->next;
    --tBlockCache.count;
  }
  return block;
}

void FreeArenaBlock(JsonArenaBlock* block) {
  if (block->size == kArenaLargestBlock && tBlockCache.count < kArenaCachedBlocks) {
    block->next = tBlockCache.blocks;
    tBlockCache.blocks = block;
    ++tBlockCache.count;
  } else {
    free(block);
  }
}

JsonArena* NewJsonArena() {
  auto* arena = static_cast<JsonArena*>(malloc(sizeof(JsonArena)));
  if (arena != nullptr) *arena = JsonArena{nullptr};
  return arena;
}

void FreeJsonArena(JsonArena* arena) {
  for (JsonArenaBlock* block = arena->blocks; block != nullptr;) {
    JsonArenaBlock* next = block->next;
    FreeArenaBlock(block);
    block = next;
  }
  free(arena);
}

// Starts a new block with room for size bytes at least; false when out of
// memory.
bool GrowArena(JsonArena* arena, size_t size) {
  JsonArenaBlock* block = arena->blocks;
  size_t room = block == nullptr ? kArenaFirstBlock : std::min(block->size * 2, kArenaLargestBlock);
  if (room < size) room = size;
  JsonArenaBlock* grown = room == kArenaLargestBlock ? TakeCachedBlock() : nullptr;
  if (grown == nullptr) grown = static_cast<JsonArenaBlock*>(malloc(sizeof(JsonArenaBlock) + room));
  if (grown == nullptr) return false;
  *grown = JsonArenaBlock{block, room, 0};
  arena->blocks = grown;
  return true;
}

inline void* ArenaAllocate(JsonArena* arena, size_t size) {
  if (FailThisAllocation()) return nullptr;
  size = (size + kArenaAlign - 1) & ~(kArenaAlign - 1);
  JsonArenaBlock* block = arena->blocks;
  if (block == nullptr || block->size - block->used < size) {
    if (!GrowArena(arena, size)) return nullptr;
    block = arena->blocks;
  }
  void* at = reinterpret_cast<char*>(block + 1) + block->used;
  block->used += size;
  return at;
}

// The arena of a root (a node without a parent).
JsonArena* ArenaOfRoot(const JsonNode* root) {
  return (reinterpret_cast<const JsonRootHeader*>(root) - 1)->arena;
}

// A node of the arena with a copy of its text after the record; text null
// gives a node without text.
JsonNode* NewJsonNode(JsonArena* arena, int32_t type, const char* text, size_t length) {
  size_t size = sizeof(JsonNode) + (text != nullptr ? length + 1 : 0);
  auto* node = static_cast<JsonNode*>(ArenaAllocate(arena, size));
  if (node == nullptr) return nullptr;
  *node = JsonNode{type, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  if (text != nullptr) {
    node->text = reinterpret_cast<char*>(node + 1);
    memcpy(node->text, text, length);
    node->text[length] = 0;
  }
  return node;
}

// A new document's root container, first in a new arena.
JsonNode* NewJsonRoot(int32_t type) {
  JsonArena* arena = NewJsonArena();
  if (arena == nullptr) return nullptr;
  auto* header = static_cast<JsonRootHeader*>(ArenaAllocate(arena, sizeof(JsonRootHeader) + sizeof(JsonNode)));
  if (header == nullptr) {
    FreeJsonArena(arena);
    return nullptr;
  }
  header->arena = arena;
  auto* root = reinterpret_cast<JsonNode*>(header + 1);
  *root = JsonNode{type, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  return root;
}

// AddJsonChild, for the parser too.
inline int LinkJsonChild(JsonNode* parent, JsonNode* child) {
  if (parent == nullptr || child == nullptr) return kJsonCannotClose;
  if (child->type < 0 || child->type > kJsonNull) return kJsonCannotClose;
  switch (parent->type) {
    case kJsonObject:
      if (child->type != kJsonString) return kJsonCannotClose;
      break;
    case kJsonString:
    case kJsonArray:
      if (child->type != kJsonObject && child->type != kJsonArray && child->firstChild != nullptr)
        return kJsonCannotClose;
      break;
    default:
      return kJsonCannotClose;
  }
  child->parent = parent;
  child->next = nullptr;
  child->previous = parent->lastChild;
  if (parent->lastChild != nullptr) parent->lastChild->next = child;
  else parent->firstChild = child;
  parent->lastChild = child;
  return kJsonDone;
}

JsonNode* RootOf(JsonNode* node) {
  while (node != nullptr && node->parent != nullptr) node = node->parent;
  return node;
}

// Creates a node of the parser's document with a copy of text and links it
// under parent. 1, 6 when out of memory, 10 when the link is refused (the
// unlinked node's bytes go with the document).
int AddNewNode(JsonParser* parser, JsonNode* parent, int32_t type, const char* text, size_t length,
               JsonNode** made) {
  if (parent == nullptr || parser->storage == nullptr) return kJsonBroken;
  JsonNode* node = NewJsonNode(parser->storage, type, text, length);
  if (node == nullptr) return kJsonNoMemory;
  if (LinkJsonChild(parent, node) != 1) return kJsonBroken;
  if (made != nullptr) *made = node;
  return 1;
}

// Opens an object or array and makes it current. 0 to go on, else a result.
int OpenContainer(JsonParser* parser, int32_t type) {
  JsonNode* node = nullptr;
  if (parser->current != nullptr) {
    if (parser->storage == nullptr) return kJsonBroken;
    node = NewJsonNode(parser->storage, type, nullptr, 0);
  } else {  // the root: a new document
    node = NewJsonRoot(type);
    if (node != nullptr) parser->storage = ArenaOfRoot(node);
  }
  if (node == nullptr) return kJsonNoMemory;
  // A refused node's bytes go with the document.
  if (parser->current != nullptr && LinkJsonChild(parser->current, node) != 1) return kJsonBroken;
  parser->current = node;
  parser->state = type == kJsonObject ? 2 : 8;
  return 0;
}

// Closes the current container. 0 to go on, else a result.
int CloseContainer(JsonParser* parser) {
  JsonNode* parent = parser->current->parent;
  if (parent == nullptr) {
    parser->state = 99;
    return 0;
  }
  if (parent->type == kJsonArray) {
    parser->current = parent;
    parser->state = 9;
    return 0;
  }
  if (parent->type == kJsonString) {
    parser->current = parent->parent;
    if (parser->current == nullptr || parser->current->type != kJsonObject) {
      if (parser->current == nullptr) parser->current = parent;
      return kJsonCannotClose;
    }
    parser->state = 3;
    return 0;
  }
  return kJsonCannotClose;
}

// Scalar token → node type, or -1 when the token is no scalar.
int32_t ScalarType(int token) {
  switch (token) {
    case kJsonTokTrue: return kJsonTrue;
    case kJsonTokFalse: return kJsonFalse;
    case kJsonTokNull: return kJsonNull;
    case kJsonTokString: return kJsonString;
    case kJsonTokNumber: return kJsonNumber;
    default: return -1;
  }
}

// Appends the UTF-8 form of a code point below 0x110000.
char* PutUtf8(char* out, unsigned value) {
  if (value < 0x80) {
    *out++ = static_cast<char>(value);
  } else if (value < 0x800) {
    *out++ = static_cast<char>(0xC0 | (value >> 6));
    *out++ = static_cast<char>(0x80 | (value & 0x3F));
  } else if (value < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (value >> 12));
    *out++ = static_cast<char>(0x80 | ((value >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (value & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (value >> 18));
    *out++ = static_cast<char>(0x80 | ((value >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((value >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (value & 0x3F));
  }
  return out;
}

// Reads four hex digits at text; stops at the first non-digit, so it never
// passes a terminator.
bool ReadHex4(const char* text, unsigned* value) {
  unsigned v = 0;
  for (int i = 0; i < 4; ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (!IsHexDigit(c)) return false;
    v = v * 16 + (c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
  }
  *value = v;
  return true;
}

}  // namespace

void FailJsonAllocationForTesting(long n) { gFailAfter.store(n < 0 ? 0 : n); }

void InitJsonParser(JsonParser* parser) {
  memset(parser, 0, sizeof *parser);
  parser->line = 1;
}

void ReleaseJsonParser(JsonParser* parser) {
  FreeJsonText(&parser->token);
  JsonNode* root = RootOf(parser->current);
  FreeJsonTree(&root);
  InitJsonParser(parser);
}

namespace {

// NextJsonToken; with view, a string or number that lies wholly inside the
// piece is given in place through *view (the token buffer is left alone).
int LexToken(const char* piece, int* lexState, const char** cursor, JsonText** token, ptrdiff_t* line,
             JsonTokenView* view) {
  const char* p = *cursor != nullptr ? *cursor : piece;
  int state = *lexState;
  int result = -1;
  while (result < 0) {
    auto c = static_cast<unsigned char>(*p);
    if (c == 0) {
      *cursor = nullptr;
      *lexState = state;
      return kJsonTokEnd;
    }
    ++p;
    switch (state) {
      case kLexBetween:
        switch (c) {
          case '\t': case ' ': break;
          case '\n': case '\r': ++*line; break;
          case '"': {
            const char* end = nullptr;
            if (view != nullptr && ScanWholeString(p, view->limit, &end)) {
              view->text = p;
              view->length = static_cast<size_t>(end - p);
              p = end + 1;
              result = kJsonTokString;
              break;
            }
            if (!StartJsonText(token)) { result = kJsonTokNoMemory; break; }
            state = kLexString;
            break;
          }
          case '-': case '0': case '1': case '2': case '3': case '4':
          case '5': case '6': case '7': case '8': case '9': {
            const char* end = nullptr;
            const char* resume = nullptr;
            if (view != nullptr && ScanWholeNumber(p - 1, &end, &resume)) {
              view->text = p - 1;
              view->length = static_cast<size_t>(end - (p - 1));
              p = resume;
              result = kJsonTokNumber;
              break;
            }
            if (!StartJsonText(token) || !AppendJsonChar(*token, static_cast<char>(c))) {
              result = kJsonTokNoMemory;
              break;
            }
            state = c == '-' ? kLexMinus : c == '0' ? kLexZero : kLexInteger;
            break;
          }
          case 't': state = kLexT; break;
          case 'f': state = kLexF; break;
          case 'n': state = kLexN; break;
          case '{': result = kJsonTokOpenObject; break;
          case '}': result = kJsonTokCloseObject; break;
          case '[': result = kJsonTokOpenArray; break;
          case ']': result = kJsonTokCloseArray; break;
          case ':': result = kJsonTokColon; break;
          case ',': result = kJsonTokComma; break;
          default: result = kJsonTokError; break;
        }
        break;
      case kLexString:
        if (c < 32) { result = kJsonTokError; break; }
        if (c == '"') { state = kLexBetween; result = kJsonTokString; break; }
        if (c == '\\') {
          if (!AppendJsonChar(*token, '\\')) { result = kJsonTokNoMemory; break; }
          state = kLexEscape;
          break;
        }
        {
          // Plain bytes are taken as one run: same result as one by one.
          const char* runEnd = PlainStringRunEnd(p);
          if (!AppendJsonBytes(*token, p - 1, static_cast<size_t>(runEnd - (p - 1)))) {
            result = kJsonTokNoMemory;
            break;
          }
          p = runEnd;
        }
        break;
      case kLexEscape:
        if (strchr("\"/\\bfnrtu", c) == nullptr) { result = kJsonTokError; break; }
        if (!AppendJsonChar(*token, static_cast<char>(c))) { result = kJsonTokNoMemory; break; }
        state = c == 'u' ? kLexUnicode1 : kLexString;
        break;
      case kLexUnicode1: case kLexUnicode2: case kLexUnicode3: case kLexUnicode4:
        if (!IsHexDigit(c)) { result = kJsonTokError; break; }
        if (!AppendJsonChar(*token, static_cast<char>(c))) { result = kJsonTokNoMemory; break; }
        state = state == kLexUnicode4 ? kLexString : state + 1;
        break;
      // Keywords: each letter is consumed, then compared.
      case kLexT: if (c == 'r') state = kLexTr; else result = kJsonTokError; break;
      case kLexTr: if (c == 'u') state = kLexTru; else result = kJsonTokError; break;
      case kLexTru: if (c == 'e') { state = kLexBetween; result = kJsonTokTrue; } else result = kJsonTokError; break;
      case kLexF: if (c == 'a') state = kLexFa; else result = kJsonTokError; break;
      case kLexFa: if (c == 'l') state = kLexFal; else result = kJsonTokError; break;
      case kLexFal: if (c == 's') state = kLexFals; else result = kJsonTokError; break;
      case kLexFals: if (c == 'e') { state = kLexBetween; result = kJsonTokFalse; } else result = kJsonTokError; break;
      case kLexN: if (c == 'u') state = kLexNu; else result = kJsonTokError; break;
      case kLexNu: if (c == 'l') state = kLexNul; else result = kJsonTokError; break;
      case kLexNul: if (c == 'l') { state = kLexBetween; result = kJsonTokNull; } else result = kJsonTokError; break;
      default: {
        // Numbers (kLexMinus .. kLexExponentDigits).
        int next = -1;          // next state when c is taken into the number
        bool mayEnd = false;    // c may end the number here
        switch (state) {
          case kLexMinus: if (c == '0') next = kLexZero; else if (IsDigit(c)) next = kLexInteger; break;
          case kLexZero:
            if (c == '.') next = kLexPoint; else if (c == 'e' || c == 'E') next = kLexExponent; else mayEnd = true;
            break;
          case kLexInteger:
            if (IsDigit(c)) next = kLexInteger;
            else if (c == '.') next = kLexPoint;
            else if (c == 'e' || c == 'E') next = kLexExponent;
            else mayEnd = true;
            break;
          case kLexPoint: if (IsDigit(c)) next = kLexFraction; break;
          case kLexFraction:
            if (IsDigit(c)) next = kLexFraction; else if (c == 'e' || c == 'E') next = kLexExponent; else mayEnd = true;
            break;
          case kLexExponent: if (c == '+' || c == '-') next = kLexExponentSign; else if (IsDigit(c)) next = kLexExponentDigits; break;
          case kLexExponentSign: if (IsDigit(c)) next = kLexExponentDigits; break;
          case kLexExponentDigits: if (IsDigit(c)) next = kLexExponentDigits; else mayEnd = true; break;
          default:
            TraceStateMissing(state);
            result = kJsonTokError;
            break;
        }
        if (result >= 0) break;
        if (next >= 0) {
          // Digits that keep the state the same are taken as one run.
          const char* runEnd = next == state || next == kLexFraction || next == kLexExponentDigits ? DigitRunEnd(p) : p;
          if (!AppendJsonBytes(*token, p - 1, static_cast<size_t>(runEnd - (p - 1)))) {
            result = kJsonTokNoMemory;
            break;
          }
          p = runEnd;
          state = next;
          break;
        }
        if (!mayEnd) { result = kJsonTokError; break; }
        if (c == '\t' || c == '\n' || c == '\r' || c == ' ') {
          state = kLexBetween;
          result = kJsonTokNumber;
        } else if (c == ',' || c == ']' || c == '}') {
          --p;  // the delimiter is the next token
          state = kLexBetween;
          result = kJsonTokNumber;
        } else {
          result = kJsonTokError;
        }
        break;
      }
    }
  }
  *cursor = p;
  *lexState = state;
  return result;
}

}  // namespace

int NextJsonToken(const char* piece, int* lexState, const char** cursor, JsonText** token,
                  ptrdiff_t* line) {
  return LexToken(piece, lexState, cursor, token, line, nullptr);
}

int AddJsonChild(JsonNode* parent, JsonNode* child) { return LinkJsonChild(parent, child); }

namespace {

// ParseJsonFragment over a piece whose terminator is at limit.
int ParsePiece(JsonParser* parser, const char* piece, const char* limit) {
  parser->cursor = piece;
  int result = 0;
  while (result == 0) {
    if (parser->cursor == nullptr || *parser->cursor == 0) {
      result = parser->state == 99 ? kJsonRootClosed : kJsonNeedMore;
      break;
    }
    if (parser->state == 1 || parser->state == 7) {
      result = OpenContainer(parser, parser->state == 1 ? kJsonObject : kJsonArray);
      continue;
    }
    if (parser->state != 0 && (parser->state < 2 || parser->state > 9) && parser->state != 99) {
      Defaulted(parser);
      result = kJsonBroken;
      break;
    }
    JsonTokenView view{nullptr, 0, limit};
    int token = LexToken(piece, &parser->lexState, &parser->cursor, &parser->token, &parser->line, &view);
    // Text of a string or number token: in the piece, or in the token record.
    const char* text = nullptr;
    size_t textLength = 0;
    if (token == kJsonTokString || token == kJsonTokNumber) {
      text = view.text != nullptr ? view.text : TokenText(parser->token);
      textLength = view.text != nullptr ? view.length : TokenLength(parser->token);
    }
    if (token == kJsonTokEnd) {
      result = parser->state == 0 ? Defaulted(parser)
               : parser->state == 99 ? kJsonRootClosed
                                     : kJsonNeedMore;
      break;
    }
    switch (parser->state) {
      case 0:
        if (token == kJsonTokOpenObject) parser->state = 1;
        else if (token == kJsonTokError) result = kJsonMalformed;
        else result = Defaulted(parser);
        break;
      case 2:
      case 4:
        if (token == kJsonTokString) {
          JsonNode* label = nullptr;
          result = AddNewNode(parser, parser->current, kJsonString, text, textLength, &label);
          if (result != 1) break;
          result = 0;
          parser->current = label;
          parser->state = 5;
        } else if (parser->state == 2 && token == kJsonTokCloseObject) {
          result = CloseContainer(parser);
        } else if (parser->state == 4 && token == kJsonTokError) {
          result = kJsonBadValue;
        } else {
          result = Defaulted(parser);
        }
        break;
      case 3:
        if (token == kJsonTokComma) parser->state = 4;
        else if (token == kJsonTokCloseObject) result = CloseContainer(parser);
        else result = Defaulted(parser);
        break;
      case 5:
        if (token == kJsonTokColon) parser->state = 6;
        else result = Defaulted(parser);
        break;
      case 6:
      case 8: {
        int32_t type = ScalarType(token);
        if (type >= 0) {
          result = AddNewNode(parser, parser->current, type, text, textLength, nullptr);
          if (result != 1) break;
          result = 0;
          if (parser->state == 6) {
            parser->current = parser->current->parent;
            parser->state = 3;
          } else {
            parser->state = 9;
          }
        } else if (token == kJsonTokOpenObject) {
          parser->state = 1;
        } else if (token == kJsonTokOpenArray) {
          parser->state = 7;
        } else if (parser->state == 8 && token == kJsonTokCloseArray) {
          result = CloseContainer(parser);
        } else if (token == kJsonTokError) {
          result = kJsonBadValue;
        } else if (parser->state == 6 && token == kJsonTokNoMemory) {
          result = kJsonNoMemory;
        } else {
          result = Defaulted(parser);
        }
        break;
      }
      case 9:
        if (token == kJsonTokComma) parser->state = 8;
        else if (token == kJsonTokCloseArray) result = CloseContainer(parser);
        else result = Defaulted(parser);
        break;
      case 99:
        result = token == kJsonTokNoMemory ? kJsonNoMemory : kJsonMalformed;
        break;
    }
  }
  return result;
}

}  // namespace

int ParseJsonFragment(JsonParser* parser, const char* piece) {
  return ParsePiece(parser, piece, piece != nullptr ? piece + strlen(piece) : nullptr);
}

namespace {

// Turns the final result into what the whole-text functions return and hands
// out the tree on success.
int FinishJsonParse(JsonParser* parser, int result, JsonNode** root) {
  if (result == kJsonDone) {
    *root = RootOf(parser->current);
    parser->current = nullptr;
  }
  ReleaseJsonParser(parser);
  return result;
}

}  // namespace

int ParseJsonText(JsonNode** root, const char* text) {
  *root = nullptr;
  JsonParser parser;
  InitJsonParser(&parser);
  char piece[1032] = {};
  size_t length = text != nullptr ? strlen(text) : 0;
  int result = kJsonNeedMore;
  for (size_t offset = 0; offset < length;) {
    size_t n = length - offset < 1024 ? length - offset : 1024;
    memcpy(piece, text + offset, n);
    piece[n] = 0;
    offset += n;
    result = ParsePiece(&parser, piece, piece + n);
    if (result != kJsonNeedMore && result != kJsonRootClosed) break;
  }
  if (result == kJsonRootClosed) result = kJsonDone;
  else if (result == kJsonNeedMore) result = kJsonBroken;
  return FinishJsonParse(&parser, result, root);
}

int ParseJsonTextOnce(JsonNode** root, const char* text) {
  *root = nullptr;
  JsonParser parser;
  InitJsonParser(&parser);
  int result = ParseJsonFragment(&parser, text != nullptr ? text : "");
  if (result == kJsonRootClosed) result = kJsonDone;
  return FinishJsonParse(&parser, result, root);
}

JsonNode* FindJsonLabel(const JsonNode* object, const char* label) {
  if (object == nullptr || label == nullptr) return nullptr;
  for (JsonNode* child = object->firstChild; child != nullptr; child = child->next) {
    if (child->text != nullptr && strcmp(child->text, label) == 0) return child;
  }
  return nullptr;
}

char* UnescapeJsonString(const char* raw) {
  if (raw == nullptr) return nullptr;
  auto* result = static_cast<char*>(JsonMalloc(strlen(raw) + 1));
  if (result == nullptr) return nullptr;
  char* out = result;
  const char* p = raw;
  while (*p != 0) {
    if (*p != '\\') {
      *out++ = *p++;
      continue;
    }
    char letter = p[1];
    if (letter == 0) break;  // a lone backslash at the end is dropped
    p += 2;
    switch (letter) {
      case '"': case '/': case '\\': *out++ = letter; break;
      case 'b': *out++ = '\b'; break;
      case 'f': *out++ = '\f'; break;
      case 'n': *out++ = '\n'; break;
      case 'r': *out++ = '\r'; break;
      case 't': *out++ = '\t'; break;
      case 'u': {
        unsigned unit = 0;
        if (!ReadHex4(p, &unit)) break;  // malformed escape: dropped
        p += 4;
        if (unit == 0) {
          *out = 0;
          return result;
        }
        unsigned low = 0;
        if (unit >= 0xD800 && unit <= 0xDBFF && p[0] == '\\' && p[1] == 'u' &&
            ReadHex4(p + 2, &low) && low >= 0xDC00 && low <= 0xDFFF) {
          p += 6;
          out = PutUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else {
          out = PutUtf8(out, unit);  // a lone surrogate is written alone
        }
        break;
      }
      default:
        break;  // unknown escape: dropped with its letter
    }
  }
  *out = 0;
  return result;
}

void FreeJsonTree(JsonNode** node) {
  if (node == nullptr || *node == nullptr) return;
  JsonNode* start = *node;
  // Unlink the node from what stays; the document's storage goes with its
  // root, so nothing below the node needs visiting.
  if (start->previous != nullptr) start->previous->next = start->next;
  if (start->next != nullptr) start->next->previous = start->previous;
  if (JsonNode* parent = start->parent) {
    if (parent->firstChild == start) parent->firstChild = start->next;
    if (parent->lastChild == start) parent->lastChild = start->previous;
  }
  if (start->parent == nullptr) FreeJsonArena(ArenaOfRoot(start));
  *node = nullptr;
}

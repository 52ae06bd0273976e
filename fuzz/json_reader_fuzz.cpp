// Feeds arbitrary bytes (cut at the first zero) to the JSON reader, in
// 1,024-byte pieces and whole, and decodes every string of the tree. A text
// that opens with '{' is also fed one byte a piece, which reads every token
// through the lexer's states, and must end exactly as the whole text read
// in place does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/json_reader.h"
#include "platform/kernel/debug_sink.h"

namespace {

void UnescapeAll(JsonNode* root) {
  JsonNode* node = root;
  while (node != nullptr) {
    if (node->type == kJsonString) free(UnescapeJsonString(node->text));
    if (node->firstChild != nullptr) {
      node = node->firstChild;
      continue;
    }
    while (node != nullptr && node->next == nullptr) node = node->parent;
    if (node != nullptr) node = node->next;
  }
}

// The tree as text: types, texts and nesting.
std::string Shape(const JsonNode* node) {
  std::string out;
  while (node != nullptr) {
    out += static_cast<char>('0' + node->type);
    if (node->text != nullptr) out += node->text;
    if (node->firstChild != nullptr) {
      out += '(';
      node = node->firstChild;
      continue;
    }
    while (node != nullptr && node->next == nullptr) {
      node = node->parent;
      if (node != nullptr) out += ')';
    }
    if (node != nullptr) {
      out += ',';
      node = node->next;
    }
  }
  return out;
}

// Result, tree and line of a parse fed in pieces of pieceSize bytes.
std::string FeedInPieces(const char* text, size_t size, size_t pieceSize) {
  JsonParser parser;
  InitJsonParser(&parser);
  int result = kJsonNeedMore;
  std::string piece;
  for (size_t at = 0; at < size && (result == kJsonNeedMore || result == kJsonRootClosed); at += pieceSize) {
    piece.assign(text + at, size - at < pieceSize ? size - at : pieceSize);
    result = ParseJsonFragment(&parser, piece.c_str());
  }
  const JsonNode* root = parser.current;
  while (root != nullptr && root->parent != nullptr) root = root->parent;
  std::string outcome = std::to_string(result) + " " + std::to_string(parser.line) + " " + Shape(root);
  ReleaseJsonParser(&parser);
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DebugCapture quiet;
  auto* text = static_cast<char*>(malloc(size + 1));
  if (text == nullptr) return 0;
  memcpy(text, data, size);
  text[size] = 0;
  JsonNode* whole = nullptr;
  if (ParseJsonText(&whole, text) == kJsonDone) UnescapeAll(whole);
  JsonNode* once = nullptr;
  ParseJsonTextOnce(&once, text);
  FindJsonLabel(once, "a");
  FreeJsonTree(&whole);
  FreeJsonTree(&once);
  free(UnescapeJsonString(text));
  const size_t length = strlen(text);
  if (length > 0 && length <= 4096 && text[0] == '{' &&
      FeedInPieces(text, length, length) != FeedInPieces(text, length, 1)) {
    abort();
  }
  free(text);
  return 0;
}

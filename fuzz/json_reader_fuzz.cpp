// Feeds arbitrary bytes (cut at the first zero) to the JSON reader, in
// 1,024-byte pieces and whole, and decodes every string of the tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

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
  free(text);
  return 0;
}

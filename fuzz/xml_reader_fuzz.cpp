// Feeds arbitrary bytes (cut at the first zero) to the XML reader and its
// lookups; the sanitizers catch any read past the text or leak.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "foundation/xml_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto* text = static_cast<char*>(malloc(size + 1));
  if (text == nullptr) return 0;
  memcpy(text, data, size);
  text[size] = 0;
  const char* cursor = text;
  XmlNode* root = ParseXmlNode(&cursor);
  if (cursor < text || cursor > text + strlen(text)) abort();
  for (XmlNode* node = root; node != nullptr; node = node->next) {
    FindXmlChild(node, "k");
    FindXmlAttribute(node->attributes, "v");
  }
  GetXmlValue(root, "host");
  FreeXmlTree(root);
  free(ExtractXmlTagText(text, "a"));
  free(text);
  return 0;
}

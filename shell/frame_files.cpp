#include "shell/frame_files.h"

#include <cstdlib>

#include "foundation/json_reader.h"
#include "foundation/user_folders.h"

namespace {

// The decoded text of object's member label, empty when absent or not text.
std::string MemberText(const JsonNode* object, const char* label) {
  const JsonNode* member = FindJsonLabel(object, label);
  if (member == nullptr || member->firstChild == nullptr) return std::string();
  const JsonNode* value = member->firstChild;
  if (value->text == nullptr) return std::string();
  if (value->type != kJsonString) return value->text;
  char* decoded = UnescapeJsonString(value->text);
  if (decoded == nullptr) return std::string();
  std::string result(decoded);
  std::free(decoded);
  return result;
}

bool HasMember(const JsonNode* object, const char* label) { return FindJsonLabel(object, label) != nullptr; }

// The array value of object's member label, or null.
const JsonNode* MemberArray(const JsonNode* object, const char* label) {
  const JsonNode* member = FindJsonLabel(object, label);
  if (member == nullptr || member->firstChild == nullptr || member->firstChild->type != kJsonArray) return nullptr;
  return member->firstChild;
}

}  // namespace

bool ReadMenuEntries(const char* text, std::vector<MenuEntry>* out) {
  out->clear();
  JsonNode* root = nullptr;
  if (ParseJsonText(&root, text) != kJsonDone) return false;
  const JsonNode* menus = MemberArray(root, "menus");
  if (menus == nullptr) {
    FreeJsonTree(&root);
    return false;
  }
  for (const JsonNode* entry = menus->firstChild; entry != nullptr; entry = entry->next) {
    if (entry->type != kJsonObject || !HasMember(entry, "resourceName")) continue;
    out->push_back({MemberText(entry, "resourceName"), MemberText(entry, "resourceCode"), MemberText(entry, "url")});
  }
  FreeJsonTree(&root);
  return true;
}

bool LoadMenuFile(std::vector<MenuEntry>* out) {
  FileBlob* blob = ReadDataFile("res\\menu.json");
  if (blob == nullptr) {
    out->clear();
    return false;
  }
  const bool ok = ReadMenuEntries(blob->data, out);
  FreeFileBlob(blob);
  return ok;
}

bool ReadMarqueeReply(const char* text, std::vector<MarqueeItem>* out, bool* hasMarquee) {
  out->clear();
  *hasMarquee = false;
  JsonNode* root = nullptr;
  if (ParseJsonText(&root, text) != kJsonDone) return false;
  if (MemberText(root, "result") != "true") {
    FreeJsonTree(&root);
    return false;
  }
  *hasMarquee = HasMember(root, "marquee");
  if (const JsonNode* items = MemberArray(root, "marquee")) {
    for (const JsonNode* item = items->firstChild; item != nullptr; item = item->next) {
      if (item->type != kJsonObject) continue;
      out->push_back({MemberText(item, "url"), MemberText(item, "title"), MemberText(item, "content"),
                      MemberText(item, "author"), MemberText(item, "date")});
    }
  }
  FreeJsonTree(&root);
  return true;
}

// Reply handling of the home page (see home_replies.h).
#include "home/home_replies.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "controls/grid_ctrl.h"
#include "foundation/config_store.h"
#include "foundation/server_directory.h"
#include "foundation/string_helpers.h"
#include "foundation/gzip_inflate.h"
#include "foundation/json_reader.h"
#include "platform/kernel/kernel_utf.h"

namespace {

constexpr int kMaxUnpacked = 64 << 20;
constexpr COLORREF kTextColour = RGB(0x28, 0x28, 0x28);

const char* ValueText(const JsonNode* object, const char* label) {
  const JsonNode* node = FindJsonLabel(object, label);
  if (node == nullptr || node->firstChild == nullptr || node->firstChild->text == nullptr) return "";
  const JsonNode* value = node->firstChild;
  return value->type == kJsonString || value->type == kJsonNumber ? value->text : "";
}

}  // namespace

std::string HomeServiceAddress(const char* name) {
  char* chosen = ChooseServer(name, 0);
  if (chosen == nullptr) return {};
  std::string result;
  StringList* parts = SplitByString(chosen, "::");
  if (parts != nullptr && parts->text != nullptr && parts->text[0] != 0) {
    char buffer[1024] = {};
    std::snprintf(buffer, sizeof buffer, "%s", parts->text);
    if (parts->next != nullptr && parts->next->text != nullptr) AppendUrlParams(buffer, sizeof buffer, parts->next->text);
    result = buffer;
  }
  FreeStringList(&parts);
  free(chosen);
  return result;
}

std::string UnpackReplyText(const char* body, int length) {
  if (body == nullptr || length <= 0) return {};
  const BYTE* bytes = reinterpret_cast<const BYTE*>(body);
  const int size = GzipUnpackedSize(bytes, length);
  if (size == 0 && !(length >= 3 && bytes[0] == 0x1F && bytes[1] == 0x8B && bytes[2] == 0x08))
    return std::string(body, static_cast<size_t>(length));
  if (size <= 0 || size > kMaxUnpacked) return {};
  std::vector<BYTE> out(static_cast<size_t>(size) + 8, 0);
  if (GzipInflateBounded(bytes, length, out.data(), size) != size) return {};
  return std::string(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(size));
}

void FillInfoList(CGridCtrl* grid, const char* text, int unit) {
  if (grid == nullptr) return;
  grid->SetRowCount(1);
  grid->SetColumnCount(0);
  JsonNode* root = nullptr;
  if (text == nullptr || ParseJsonText(&root, text) != kJsonDone) return;
  const JsonNode* data = FindJsonLabel(root, "data");
  const JsonNode* list = data != nullptr ? data->firstChild : nullptr;
  if (list == nullptr || list->type != kJsonArray || list->firstChild == nullptr) {
    FreeJsonTree(&root);
    if (grid->GetSafeHwnd() != nullptr) grid->Invalidate(FALSE);
    return;
  }
  int count = 0;
  for (const JsonNode* e = list->firstChild; e != nullptr; e = e->next) ++count;
  grid->SetRowCount(count + 1);
  grid->SetColumnCount(3);
  grid->SetCell(0, 0, u"标题", kTextColour, 0x25, 0);
  grid->SetCell(0, 1, u"时间", kTextColour, 0x25, 0);
  grid->SetCell(0, 2, u"地址", kTextColour, 0x8024, 0);
  grid->SetColumnWidth(0, 2 * unit);
  grid->SetColumnWidth(1, unit);
  grid->SetColumnWidth(2, 0);
  int row = 1;
  for (const JsonNode* e = list->firstChild; e != nullptr; e = e->next, ++row) {
    const JsonNode* object = e->type == kJsonObject ? e : nullptr;
    char* title = UnescapeJsonString(object != nullptr ? ValueText(object, "title") : "");
    const std::u16string t = Utf8ToWide(title != nullptr ? title : "");
    free(title);
    const std::u16string date = Utf8ToWide(object != nullptr ? ValueText(object, "pubdate") : "");
    const std::u16string url = Utf8ToWide(object != nullptr ? ValueText(object, "url") : "");
    grid->SetCell(row, 0, t.c_str(), kTextColour, 0x8024, 10);
    grid->SetCell(row, 1, date.c_str(), kTextColour, 0x25, 0);
    grid->SetCell(row, 2, url.c_str(), kTextColour, 0x8024, 0);
  }
  FreeJsonTree(&root);
  if (grid->GetSafeHwnd() != nullptr) grid->Invalidate(FALSE);
}

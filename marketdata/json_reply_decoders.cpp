#include "marketdata/json_reply_decoders.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "foundation/debug_trace.h"
#include "foundation/json_reader.h"

namespace {

// Copies the JSON text of the body (u32 length, then the bytes) into a new
// zero-terminated text. Null when the length runs past the body (the reader
// is marked short) or memory runs out; *length receives the wire length.
char* CopyJsonText(ReplyReader* body, int32_t* length) {
  uint32_t wireLength = 0;
  if (!body->ReadU32(&wireLength)) return nullptr;
  if (wireLength > static_cast<uint32_t>(body->Remaining())) {
    body->MarkShort("JSON text runs past the body");
    return nullptr;
  }
  *length = static_cast<int32_t>(wireLength);
  char* text = static_cast<char*>(std::malloc(wireLength + 1));
  if (!text) return nullptr;
  body->ReadBytes(text, static_cast<int>(wireLength));
  text[wireLength] = 0;
  return text;
}

// The value node of member label of object, or null.
const JsonNode* Member(const JsonNode* object, const char* label) {
  const JsonNode* node = FindJsonLabel(object, label);
  return node ? node->firstChild : nullptr;
}

// The text of member label (string or number as written), or null.
const char* MemberText(const JsonNode* object, const char* label) {
  const JsonNode* value = Member(object, label);
  return value ? value->text : nullptr;
}

// Copies text into a field of size bytes, cut at a UTF-8 character boundary
// so that the field stays zero-terminated and holds no broken character.
void CopyText(char* field, size_t size, const char* text) {
  std::memset(field, 0, size);
  if (!text) return;
  size_t n = std::strlen(text);
  if (n >= size) {
    n = size - 1;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(field, text, n);
}

int64_t MemberNumber(const JsonNode* object, const char* label) {
  return ParseLeadingDecimal(MemberText(object, label));
}

int32_t Narrow32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }
int16_t Narrow16(int64_t v) { return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(v))); }

void FillNewsRecord(NewsRecord* record, const JsonNode* element) {
  CopyText(record->pubTime, sizeof record->pubTime, MemberText(element, "pubTime"));
  const char* rawTitle = MemberText(element, "title");
  if (rawTitle) {
    char* title = UnescapeJsonString(rawTitle);
    CopyText(record->title, sizeof record->title, title);
    std::free(title);
  }
  CopyText(record->url, sizeof record->url, MemberText(element, "url"));
  record->index = Narrow32(MemberNumber(element, "index"));
  CopyText(record->longTime, sizeof record->longTime, MemberText(element, "longTime"));
}

void FillNews(NewsListArea* area, const JsonNode* root, int mode) {
  const int64_t total = MemberNumber(root, "total");
  const JsonNode* data = Member(root, "data");
  if (total <= 0 || !data) return;
  const int held = mode == 1 ? 0 : area->recordCount;
  int64_t count = total < kNewsMaxPerReply ? total : kNewsMaxPerReply;
  if (held + count > kNewsMaxRecords) count = kNewsMaxRecords - held;
  if (count < total) DebugPrintf("\nDecodeNewsList: %lld records announced, %lld kept", static_cast<long long>(total), static_cast<long long>(count));
  if (count <= 0) return;
  NewsRecord* records = static_cast<NewsRecord*>(std::calloc(static_cast<size_t>(held + count), sizeof(NewsRecord)));
  if (!records) return;
  if (held > 0) std::memcpy(records, area->records, static_cast<size_t>(held) * sizeof(NewsRecord));
  int i = 0;
  for (const JsonNode* element = data->firstChild; element && i < count; element = element->next, ++i) {
    if (element->type == kJsonObject) FillNewsRecord(&records[held + i], element);
  }
  std::free(area->records);
  area->records = records;
  area->recordCount = static_cast<int32_t>(held + count);
}

void FillColumns(StockPoolTableArea* area, const JsonNode* head) {
  int count = 0;
  for (const JsonNode* e = head->firstChild; e && count < kStockPoolColumns; e = e->next) ++count;
  if (count == 0) return;
  area->columns = static_cast<StockPoolColumn*>(std::calloc(static_cast<size_t>(count), sizeof(StockPoolColumn)));
  if (!area->columns) return;
  area->columnCount = count;
  int c = 0;
  for (const JsonNode* e = head->firstChild; e && c < count; e = e->next, ++c) {
    StockPoolColumn& column = area->columns[c];
    column.id = Narrow32(MemberNumber(e, "id"));
    column.sort = Narrow16(MemberNumber(e, "sort"));
    CopyText(column.tag, sizeof column.tag, MemberText(e, "tag"));
    column.display = Narrow16(MemberNumber(e, "display"));
    CopyText(column.label, sizeof column.label, MemberText(e, "label"));
    CopyText(column.type, sizeof column.type, MemberText(e, "type"));
  }
}

void FillCells(StockPoolTableArea* area, const JsonNode* rows) {
  int r = 0;
  for (const JsonNode* row = rows->firstChild; row && r < area->rowCount; row = row->next, ++r) {
    int c = 0;
    for (const JsonNode* value = row->firstChild; value && c < kStockPoolColumns; value = value->next, ++c) {
      CopyText(area->rows[r].cells[c], kStockPoolCellSize, value->text);
    }
  }
}

void FillStockPool(StockPoolTableArea* area, const JsonNode* root) {
  const JsonNode* result = Member(root, "result");
  if (result) area->resultCode = Narrow32(MemberNumber(result, "code"));
  if (area->resultCode != 1) {
    CopyText(area->message, sizeof area->message, result ? MemberText(result, "msg") : nullptr);
    return;
  }
  CopyText(area->title, sizeof area->title, MemberText(root, "title"));
  const int64_t rows = MemberNumber(root, "totalrow");
  if (rows < 1) return;
  const int kept = rows < kStockPoolMaxRows ? static_cast<int>(rows) : kStockPoolMaxRows;
  if (kept < rows) DebugPrintf("\nDecodeStockPoolTable: %lld rows announced, %d kept", static_cast<long long>(rows), kept);
  area->rows = static_cast<StockPoolRow*>(std::calloc(static_cast<size_t>(kept), sizeof(StockPoolRow)));
  if (!area->rows) return;
  area->rowCount = kept;
  if (const JsonNode* head = Member(root, "head")) FillColumns(area, head);
  if (const JsonNode* body = Member(root, "body")) FillCells(area, body);
}

}  // namespace

int64_t ParseLeadingDecimal(const char* text) {
  if (!text) return 0;
  while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r' || *text == '\f' || *text == '\v') ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  uint64_t value = 0;
  const uint64_t limit = negative ? static_cast<uint64_t>(INT64_MAX) + 1 : static_cast<uint64_t>(INT64_MAX);
  for (; *text >= '0' && *text <= '9'; ++text) {
    const uint64_t digit = static_cast<uint64_t>(*text - '0');
    value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
  }
  if (!negative) return static_cast<int64_t>(value);
  return value == static_cast<uint64_t>(INT64_MAX) + 1 ? INT64_MIN : -static_cast<int64_t>(value);
}

void DecodeNewsList(NewsListArea* area, ReplyReader* body, int mode) {
  if (!area || !body) return;
  if (mode == 1) {
    ReleaseNewsListArea(area);
    std::memset(area, 0, sizeof *area);
  }
  char code[6];
  uint8_t market = 0;
  if (!body->ReadBytes(code, 6) || !body->ReadU8(&market)) return;
  std::memset(area->code, 0, sizeof area->code);
  std::memcpy(area->code, code, 6);
  area->market = market;
  int32_t length = 0;
  char* text = CopyJsonText(body, &length);
  if (!text) return;
  area->jsonLength = length;
  JsonNode* root = nullptr;
  if (ParseJsonText(&root, text) == kJsonDone) FillNews(area, root, mode);
  FreeJsonTree(&root);
  std::free(text);
}

void DecodeStockPoolTable(StockPoolTableArea* area, ReplyReader* body) {
  if (!area || !body) return;
  ReleaseStockPoolTableArea(area);
  std::memset(area, 0, sizeof *area);
  int32_t length = 0;
  char* text = CopyJsonText(body, &length);
  if (!text) return;
  area->jsonLength = length;
  JsonNode* root = nullptr;
  if (ParseJsonText(&root, text) == kJsonDone) FillStockPool(area, root);
  FreeJsonTree(&root);
  std::free(text);
}

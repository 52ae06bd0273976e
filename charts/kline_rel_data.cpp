#include "charts/kline_rel_data.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/config_store.h"
#include "foundation/debug_trace.h"
#include "foundation/gzip_inflate.h"
#include "foundation/http_request.h"
#include "foundation/json_reader.h"
#include "foundation/server_directory.h"

namespace {

constexpr int kAddressSize = 1024;

size_t RowSize(int type) {
  switch (type) {
    case 1:
      return sizeof(KLineFinanceRow);
    case 2:
      return sizeof(KLineHolderRow);
    case 3:
      return sizeof(KLineRatingRow);
    default:
      return 0;
  }
}

// The value node of an object's member, or null.
const JsonNode* Member(const JsonNode* object, const char* name) {
  if (!object || object->type != kJsonObject) return nullptr;
  const JsonNode* label = FindJsonLabel(object, name);
  return label ? label->firstChild : nullptr;
}

// Copies a decoded string value into a field of size bytes, cut at size - 1
// on a UTF-8 character boundary. Values that are not strings leave it zero.
void CopyText(const JsonNode* value, char* field, size_t size) {
  if (!value || value->type != kJsonString || !value->text) return;
  char* text = UnescapeJsonString(value->text);
  if (!text) return;
  size_t n = strnlen(text, size - 1);
  if (n == size - 1 && text[n] != '\0') {
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(field, text, n);
  field[n] = '\0';
  std::free(text);
}

// A whole number from a string or number value; false when it is neither or
// does not read as one.
bool ReadInteger(const JsonNode* value, long long* out) {
  if (!value || (value->type != kJsonString && value->type != kJsonNumber) || !value->text) return false;
  char buffer[32];
  size_t n = strnlen(value->text, sizeof buffer);
  if (n == 0) return false;
  if (n >= sizeof buffer) n = sizeof buffer - 1;  // long digit runs read as huge
  std::memcpy(buffer, value->text, n);
  buffer[n] = '\0';
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(buffer, &end, 10);
  // Out of range: a huge count is held by the caller, a huge negative is no count.
  if (end == buffer || (errno == ERANGE && v < 0)) return false;
  if (*end != '\0' && *end != '.') return false;
  *out = v;
  return true;
}

void FillRow(int type, const JsonNode* e, void* row) {
  if (type == 1) {
    auto* r = static_cast<KLineFinanceRow*>(row);
    CopyText(Member(e, "basicEPS"), r->basicEPS, sizeof r->basicEPS);
    CopyText(Member(e, "netCashFlowPS"), r->netCashFlowPS, sizeof r->netCashFlowPS);
    CopyText(Member(e, "operRevenue"), r->operRevenue, sizeof r->operRevenue);
    CopyText(Member(e, "startDate"), r->startDate, sizeof r->startDate);
    CopyText(Member(e, "endDate"), r->endDate, sizeof r->endDate);
  } else if (type == 2) {
    auto* r = static_cast<KLineHolderRow*>(row);
    CopyText(Member(e, "totalSH"), r->totalSH, sizeof r->totalSH);
    CopyText(Member(e, "avgShare"), r->avgShare, sizeof r->avgShare);
    CopyText(Member(e, "pctOfTotalSH"), r->pctOfTotalSH, sizeof r->pctOfTotalSH);
    CopyText(Member(e, "startDate"), r->startDate, sizeof r->startDate);
    CopyText(Member(e, "endDate"), r->endDate, sizeof r->endDate);
  } else {
    auto* r = static_cast<KLineRatingRow*>(row);
    CopyText(Member(e, "invRatingOriginal"), r->invRatingOriginal, sizeof r->invRatingOriginal);
    long long side = 0;
    if (ReadInteger(Member(e, "ratingSide"), &side) && side >= INT32_MIN && side <= INT32_MAX)
      r->ratingSide = static_cast<int32_t>(side);
    CopyText(Member(e, "comName"), r->comName, sizeof r->comName);
    CopyText(Member(e, "pubDate"), r->pubDate, sizeof r->pubDate);
    CopyText(Member(e, "url"), r->url, sizeof r->url);
  }
}

void FreeTable(KLineRelTable* t) {
  std::free(t->rows);
  t->rows = nullptr;
  t->count = 0;
}

}  // namespace

bool ParseKLineRelReply(int type, const char* text, KLineRelTable* table) {
  *table = {};
  const size_t rowSize = RowSize(type);
  if (rowSize == 0 || !text) return false;
  JsonNode* root = nullptr;
  if (ParseJsonText(&root, text) != 1 || !root) return false;
  long long total = 0;
  if (!ReadInteger(Member(root, "total"), &total) || total < 0) total = 0;
  if (total > kKLineRelRowLimit) total = kKLineRelRowLimit;
  const JsonNode* data = Member(root, "data");
  if (total > 0 && data && data->type == kJsonArray) {
    int elements = 0;
    for (const JsonNode* e = data->firstChild; e; e = e->next) ++elements;
    const int rows = static_cast<int>(total < elements ? total : elements);
    // "total" rows, zero-filled: rows the reply announced but did not send stay zero.
    table->rows = std::calloc(static_cast<size_t>(total), rowSize);
    if (table->rows) {
      table->count = static_cast<int32_t>(total);
      int i = 0;
      for (const JsonNode* e = data->firstChild; e && i < rows; e = e->next, ++i)
        if (e->type == kJsonObject) FillRow(type, e, static_cast<char*>(table->rows) + rowSize * i);
    }
  }
  FreeJsonTree(&root);
  return true;
}

void KLineRelData::Init() {
  financeRows = nullptr;
  holderRows = nullptr;
  ratingRows = nullptr;
  financeCount = holderCount = ratingCount = 0;
  for (int i = 0; i < 3; ++i) {
    pending_[i] = {};
    pendingSet_[i] = false;
    requestIds[i] = 0;
  }
  std::free(serviceAddress);
  serviceAddress = ChooseServer("PCKlineRelJsonData", 0);
}

void KLineRelData::Clear() {
  std::free(financeRows);
  std::free(holderRows);
  std::free(ratingRows);
  financeRows = nullptr;
  holderRows = nullptr;
  ratingRows = nullptr;
  financeCount = holderCount = ratingCount = 0;
  lock_.Enter();
  for (int i = 0; i < 3; ++i) {
    FreeTable(&pending_[i]);
    pendingSet_[i] = false;
  }
  lock_.Leave();
}

void KLineRelData::Release() {
  Clear();
  std::free(serviceAddress);
  serviceAddress = nullptr;
}

void KLineRelData::CancelRequests() {
  int ids[3];
  lock_.Enter();
  for (int i = 0; i < 3; ++i) {
    ids[i] = requestIds[i];
    requestIds[i] = 0;
  }
  lock_.Leave();
  // Outside the lock: abandoning waits for a running callback, which takes it.
  for (int id : ids)
    if (id) AbandonHttpRequest(id);
}

int KLineRelData::Request(int type, const char* stockCode, uint8_t market, const char* startDate,
                          const char* endDate) {
  if (type < 1 || type > 3 || !stockCode || !startDate || !endDate) return 0;
  const int32_t loaded = type == 1 ? financeCount : type == 2 ? holderCount : ratingCount;
  lock_.Enter();
  // A table not yet taken stands for the type's rows.
  const int32_t rows = pendingSet_[type - 1] ? pending_[type - 1].count : loaded;
  const int previous = requestIds[type - 1];
  lock_.Leave();
  if (rows > 0) return 0;
  char* address = static_cast<char*>(std::calloc(kAddressSize, 1));
  if (!address) return 0;
  const int n = std::snprintf(address, kAddressSize, "%sdatatype=%d&stockcode=%s&marketid=%d&startdate=%s&enddate=%s",
                              serviceAddress ? serviceAddress : "", type, stockCode,
                              static_cast<int>(static_cast<int8_t>(market)), startDate, endDate);
  if (n < 0 || n >= kAddressSize || !AppendSessionParams(address, kAddressSize)) {
    DebugPrintf("KLineRelData: the address of type %d does not fit", type);
    std::free(address);
    return 0;
  }
  if (previous) AbandonHttpRequest(previous);
  // The id is stored before a reply can be matched against it: the callback
  // takes the lock that is held here until the id is known.
  lock_.Enter();
  const int id = StartHttpRequest(address, "", 0, MakeProxyString(), &KLineRelData::ReplyCallback, this);
  requestIds[type - 1] = id;
  lock_.Leave();
  std::free(address);
  return id > 0 ? 1 : 0;
}

void KLineRelData::ReplyCallback(HttpRequest* request, void* user, const char* body, int length, int status) {
  if (status != kHttpCompleted || !user || !request || !body) return;
  auto* self = static_cast<KLineRelData*>(user);
  const int unpacked = GzipUnpackedSize(reinterpret_cast<const BYTE*>(body), length);
  if (unpacked > 0) {
    BYTE* text = static_cast<BYTE*>(std::calloc(static_cast<size_t>(unpacked) + 8, 1));
    if (!text) return;
    GzipInflate(reinterpret_cast<const BYTE*>(body), length, text);
    self->OnReply(reinterpret_cast<const char*>(text), request->id);
    std::free(text);
    return;
  }
  self->OnReply(body, request->id);
}

void KLineRelData::OnReply(const char* text, int id) {
  int type = 0;
  lock_.Enter();
  for (int i = 0; i < 3; ++i)
    if (id != 0 && requestIds[i] == id) type = i + 1;
  lock_.Leave();
  if (type == 0) return;
  KLineRelTable table;
  if (!ParseKLineRelReply(type, text, &table)) {
    // Not JSON: the type's rows are dropped and nothing is posted.
    lock_.Enter();
    FreeTable(&pending_[type - 1]);
    pendingSet_[type - 1] = true;
    lock_.Leave();
    return;
  }
  lock_.Enter();
  FreeTable(&pending_[type - 1]);
  pending_[type - 1] = table;
  pendingSet_[type - 1] = true;
  const HWND window = notifyWindow;
  lock_.Leave();
  if (window) PostMessageW(window, kWmKLineRelDataReady, static_cast<WPARAM>(type), 0);
}

bool KLineRelData::TakePending(int type, void** oldRows) {
  if (oldRows) *oldRows = nullptr;
  if (type < 1 || type > 3) return false;
  lock_.Enter();
  if (!pendingSet_[type - 1]) {
    lock_.Leave();
    return false;
  }
  KLineRelTable table = pending_[type - 1];
  pending_[type - 1] = {};
  pendingSet_[type - 1] = false;
  lock_.Leave();
  void* old = nullptr;
  if (type == 1) {
    old = financeRows;
    financeRows = static_cast<KLineFinanceRow*>(table.rows);
    financeCount = table.count;
  } else if (type == 2) {
    old = holderRows;
    holderRows = static_cast<KLineHolderRow*>(table.rows);
    holderCount = table.count;
  } else {
    old = ratingRows;
    ratingRows = static_cast<KLineRatingRow*>(table.rows);
    ratingCount = table.count;
  }
  if (oldRows) {
    *oldRows = old;
  } else {
    std::free(old);
  }
  return true;
}

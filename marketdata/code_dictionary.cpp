#include "marketdata/code_dictionary.h"

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

#include "foundation/debug_trace.h"
#include "foundation/gzip_inflate.h"
#include "marketdata/quote_engine.h"
#include "marketdata/quote_requests.h"
#include "marketdata/reply_reader.h"

const char kDictionaryTableSchema[] =
    "CREATE TABLE IF NOT EXISTS qdic (marketid INTEGER, type INTEGER, code TEXT, name TEXT, abb TEXT, "
    "PRIMARY KEY(marketid, code))";

namespace {

constexpr char kVersionFile[] = "res\\qver.data";
constexpr char kReplaceSql[] = "replace into qdic VALUES (?1, ?2, ?3, ?4, ?5)";
constexpr char kDeleteSql[] = "delete from qdic where marketid=?1 and code=?2";
constexpr int kMaxRepairReply = 64 * 1024 * 1024;

std::atomic<sqlite3*> gDatabase{nullptr};
std::atomic<bool> gBusy{false};   // the process-wide busy flag

// Holds the busy flag for one apply.
class BusyFlag {
 public:
  BusyFlag() {
    while (gBusy.exchange(true, std::memory_order_acquire)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ~BusyFlag() { gBusy.store(false, std::memory_order_release); }
  BusyFlag(const BusyFlag&) = delete;
  BusyFlag& operator=(const BusyFlag&) = delete;
};

struct StatementDeleter {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

int TextLength(const unsigned char* bytes, int width) {
  int n = 0;
  while (n < width && bytes[n] != 0) ++n;
  return n;
}

int BindText(sqlite3_stmt* s, int index, const unsigned char* bytes, int width) {
  return sqlite3_bind_text(s, index, reinterpret_cast<const char*>(bytes), TextLength(bytes, width), SQLITE_TRANSIENT);
}

// Binds the record to a prepared replace (5 parameters) or delete (2) and
// steps it once; the step's result.
int StepRecord(sqlite3_stmt* s, const unsigned char* record, bool replace) {
  sqlite3_reset(s);
  sqlite3_clear_bindings(s);
  int rc = sqlite3_bind_int(s, 1, record[1]);
  if (replace) {
    if (rc == SQLITE_OK) rc = sqlite3_bind_int(s, 2, record[2]);
    if (rc == SQLITE_OK) rc = BindText(s, 3, record + 3, 6);
    if (rc == SQLITE_OK) rc = BindText(s, 4, record + 9, 24);
    if (rc == SQLITE_OK) rc = BindText(s, 5, record + 33, 6);
  } else if (rc == SQLITE_OK) {
    rc = BindText(s, 2, record + 3, 6);
  }
  if (rc != SQLITE_OK) return rc;
  return sqlite3_step(s);
}

int RunOne(sqlite3* db, const unsigned char* record, bool replace) {
  if (!db || !record) return SQLITE_MISUSE;
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(db, replace ? kReplaceSql : kDeleteSql, -1, &raw, nullptr);
  Statement s(raw);
  if (rc != SQLITE_OK) {
    std::printf(replace ? "\n insert error" : "\ndelete data error.");
    return rc;
  }
  return StepRecord(s.get(), record, replace);
}

void Rollback(sqlite3* db) { sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr); }

void DecodeDictionaryReplyEntry(QuoteEngine* engine, PendingRequest* entry, ReplyReader* body, int mode,
                                int replyType) {
  (void)entry;
  (void)mode;
  (void)replyType;
  DictionaryReply* reply = engine->dictionaryReply;
  if (!reply) return;
  DecodeDictionaryUpdate(body, reply);
  if (reply->recordsLength > 0 && !ApplyDictionaryUpdates(reply->records, reply->recordsLength)) {
    DebugPrintf("\ndictionary changes not applied; the old version is kept");
    return;
  }
  if (!SaveDictionaryVersion(reply->versionText, reply->versionLength)) DebugPrintf("\nres\\qver.data not written");
}

}  // namespace

DictionaryReply::~DictionaryReply() {
  std::free(versionText);
  std::free(records);
}

void SetDictionaryDatabase(sqlite3* db) { gDatabase.store(db); }

sqlite3* GetDictionaryDatabase() { return gDatabase.load(); }

void DecodeDictionaryUpdate(ReplyReader* body, DictionaryReply* reply) {
  if (!body || !reply) return;
  std::free(reply->versionText);
  std::free(reply->records);
  reply->versionText = nullptr;
  reply->records = nullptr;
  reply->versionLength = 0;
  reply->recordCount = 0;
  reply->recordsLength = 0;
  uint16_t n = 0;
  if (!body->ReadU16(&n) || n > body->Remaining()) {
    body->MarkShort("dictionary version runs past the reply");
    return;
  }
  reply->versionText = static_cast<char*>(std::calloc(static_cast<size_t>(n) + 1, 1));
  if (!reply->versionText) return;
  body->ReadBytes(reply->versionText, n);
  reply->versionLength = n;
  uint16_t m = 0;
  if (!body->ReadU16(&m)) return;
  reply->recordCount = m;
  const int whole = body->ClampCount(m, 0xFFFF, kDictionaryRecordSize);
  if (whole <= 0) return;
  const int bytes = whole * kDictionaryRecordSize;
  reply->records = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(bytes)));
  if (!reply->records) return;
  body->ReadBytes(reply->records, bytes);
  reply->recordsLength = bytes;
}

int ReplaceDictionaryRecord(sqlite3* db, const unsigned char* record) { return RunOne(db, record, true); }

int DeleteDictionaryRecord(sqlite3* db, const unsigned char* record) { return RunOne(db, record, false); }

int ApplyDictionaryUpdates(const unsigned char* records, int length) {
  sqlite3* db = gDatabase.load();
  if (!db) return 0;
  if (!records || length < kDictionaryRecordSize) return 1;  // nothing to apply
  BusyFlag busy;
  int rc = sqlite3_exec(db, "BEGIN TRANSACTION", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    DebugPrintf("\ndictionary transaction not begun: %s", sqlite3_errmsg(db));
    return 0;
  }
  sqlite3_stmt* raw = nullptr;
  rc = sqlite3_prepare_v2(db, kReplaceSql, -1, &raw, nullptr);
  Statement replace(raw);
  raw = nullptr;
  if (rc == SQLITE_OK) rc = sqlite3_prepare_v2(db, kDeleteSql, -1, &raw, nullptr);
  Statement remove(raw);
  const int count = length / kDictionaryRecordSize;
  for (int i = 0; i < count && rc == SQLITE_OK; ++i) {
    const unsigned char* record = records + i * kDictionaryRecordSize;
    const int operation = record[0];
    if (operation == 1 || operation == 2) {
      rc = StepRecord(replace.get(), record, true);
    } else if (operation == 3) {
      rc = StepRecord(remove.get(), record, false);
    } else {
      continue;
    }
    if (rc == SQLITE_DONE) rc = SQLITE_OK;
  }
  replace.reset();
  remove.reset();
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    DebugPrintf("\ndictionary changes rolled back: %s", sqlite3_errmsg(db));
    Rollback(db);
    return 0;
  }
  return 1;
}

bool SaveDictionaryVersion(const char* text, int length) {
  if (length < 0 || (length > 0 && !text)) return false;
  return WriteDataFile(kVersionFile, text ? text : "", length);
}

FileBlob* LoadDictionaryVersion() { return ReadDataFile(kVersionFile); }

void AddDictionaryDecoder(ReplyDecoderTable* quoteTable) { quoteTable->decoder[1] = DecodeDictionaryReplyEntry; }

int ApplyDictionaryRepairReply(const unsigned char* body, int length, DictionaryReply* reply) {
  // Frame prefix (u32 length, frame type), then the marker byte 2.
  if (!body || !reply || length < 6 || body[5] != kPacketKindQuote) return 0;
  const unsigned char* data = body + 6;
  int size = length - 6;
  std::unique_ptr<unsigned char[]> inflated;
  const int unpacked = GzipUnpackedSize(data, size);
  if (unpacked < 0 || unpacked > kMaxRepairReply) return 0;
  if (unpacked > 0) {
    inflated.reset(new (std::nothrow) unsigned char[static_cast<size_t>(unpacked)]);
    if (!inflated || GzipInflateBounded(data, size, inflated.get(), unpacked) != unpacked) return 0;
    data = inflated.get();
    size = unpacked;
  }
  if (size < kRequestHeaderSize) return 0;
  ReplyReader reader(data + kRequestHeaderSize, size - kRequestHeaderSize);
  DecodeDictionaryUpdate(&reader, reply);
  if (!reply->versionText) return 0;
  if (reply->recordsLength > 0 && !ApplyDictionaryUpdates(reply->records, reply->recordsLength)) return -1;
  return SaveDictionaryVersion(reply->versionText, reply->versionLength) ? 1 : -1;
}

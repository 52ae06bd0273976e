// Code dictionary: the stock-code table `qdic` (marketid, type, code, name,
// abb) of the SQLite database res\pellune.db, kept current by reply type 1.
//
// Reply type 1 body (big-endian): u16 n, n bytes of version text, u16 m,
// m 39-byte records: operation (1 or 2 insert or replace, 3 delete, other
// values ignored), market id, type, code (6, zero-padded), name (24, UTF-8,
// zero-padded), initials (6, zero-padded).
//
// Flow (connection thread; the repair dialog on an HTTP thread):
//   DecodeDictionaryUpdate -> ApplyDictionaryUpdates (records only) ->
//   SaveDictionaryVersion (only when the apply succeeded) -> callback.
// ApplyDictionaryUpdates runs all records in one transaction under the
// process-wide busy flag; every statement binds its values as parameters.
// Any failed step (SQLITE_BUSY while a search reads, for instance) rolls the
// transaction back and reports failure, so the version is not saved and the
// next request asks for the same changes again.
//
// The database handle is process-wide (SetDictionaryDatabase, by the shell
// that opens res\pellune.db); SQLite's serialized mode lets the connection
// thread, the repair's HTTP thread and the stock search share it.
#pragma once

#include <cstdint>

#include "foundation/user_folders.h"

struct sqlite3;
struct ReplyDecoderTable;
class ReplyReader;

constexpr int kDictionaryRecordSize = 39;

// The schema of `qdic` the delivered database carries: a row is identified
// by (marketid, code), so "replace into" replaces.
extern const char kDictionaryTableSchema[];

// Dictionary reply record (the engine's type-1 result area). Owns its text
// and records (malloc); freed when the record is destroyed or re-decoded.
struct DictionaryReply {
  uint16_t versionLength = 0;      // bytes of versionText
  char* versionText = nullptr;     // terminated copy, or null
  uint16_t recordCount = 0;        // m as the reply announced it
  unsigned char* records = nullptr;  // the records' bytes, or null
  int32_t recordsLength = 0;       // bytes at records (whole records only)

  DictionaryReply() = default;
  ~DictionaryReply();
  DictionaryReply(const DictionaryReply&) = delete;
  DictionaryReply& operator=(const DictionaryReply&) = delete;
};

// The process-wide database handle (may be null: applies then fail).
void SetDictionaryDatabase(sqlite3* db);
sqlite3* GetDictionaryDatabase();

// Frees the record's previous text and records, clears it, then reads the
// version and, when m > 0, copies the whole records the body holds (at most
// m). A short body keeps what was read. Null arguments do nothing.
void DecodeDictionaryUpdate(ReplyReader* body, DictionaryReply* reply);

// Applies length / 39 records to `qdic` of the process-wide database in one
// transaction, under the busy flag (waits in 10 ms steps while another apply
// runs). Operations 1, 2 replace; 3 deletes by (market id, code) whatever the
// type; others change nothing. Returns 1 when committed; 0 when there is no
// database or a statement or the commit failed (everything rolled back).
int ApplyDictionaryUpdates(const unsigned char* records, int length);

// One statement each on db for one 39-byte record; the result of the step
// (SQLITE_DONE on success) or of the failed prepare.
int ReplaceDictionaryRecord(sqlite3* db, const unsigned char* record);
int DeleteDictionaryRecord(sqlite3* db, const unsigned char* record);

// res\qver.data: the version text as the server sent it, no terminator.
// Save returns false when the file cannot be written. Load returns null when
// the file is missing (free with FreeFileBlob).
bool SaveDictionaryVersion(const char* text, int length);
FileBlob* LoadDictionaryVersion();

// Reply type 1 on the engine: decode into the engine's record, apply the
// records, save the version when the apply succeeded (or there were none).
// Puts that decoder into the dispatcher's table.
void AddDictionaryDecoder(ReplyDecoderTable* quoteTable);

// The repair's HTTP reply body: u32 length, frame type, marker 2, then the
// reply packet (8-byte header and the type-1 body), plain or gzip.
// Decodes it into reply, applies the records and saves the version.
// Returns 1 on success; 0 when the marker is not 2 or the body is malformed;
// -1 when the apply failed (the version is then not saved).
int ApplyDictionaryRepairReply(const unsigned char* body, int length, DictionaryReply* reply);

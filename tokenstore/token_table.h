// The token table that every process loading the token store shares.
//
// The table is one file mapped into every process, kept in the user's
// private runtime folder (PrivateRuntimeFolder of the kernel) so that no
// other user can read, plant or block it. Its name there is "TMRQToke", or
// the value of the environment variable TMRQ_SECTION_NAME ("/<name>") read
// when the library loads, which tests use to keep their runs apart. It
// holds the 64 records and the active code, followed by the mutex
// "TMRQTokenShared" (a robust, process-shared pthread mutex, so a holder that
// dies never blocks the others: the next one to lock it takes it over, as a
// wait on an abandoned mutex does) and a header (magic and size) written
// last by the loader that set the table up.
//
// Refused, with a trace, leaving the table unavailable: no private runtime
// folder; a file that is not a regular file of this user's without group or
// other permission bits; a file of another size or with another header.
// The file is made exclusively and never opened through a link.
//
// Lifetime: the table is zero for the first process that loads the library
// and gone with the last. Every loader holds a shared flock on the object for
// as long as it is loaded; a loader that can take the lock exclusively has no
// company and zeroes the table before it downgrades. The kernel drops the
// flock of a process that dies, so a crashed process does not keep a stale
// table alive. The last one to unload removes the object.
//
//   detached --AttachTokenSection--> attached --DetachTokenSection--> detached
#pragma once

#include <cstdint>

constexpr int kTokenRecordCount = 64;
constexpr int kTokenTextSize = 256;  // zero-terminated, so at most 255 bytes

struct TokenRecord {
  std::int64_t customerCode;    // 0 = free record
  char token[kTokenTextSize];   // zero-terminated UTF-8 text
  std::int32_t referenceCount;  // 1 after every store
  std::int32_t userType;        // as given to SetToken
};
static_assert(sizeof(TokenRecord) == 272, "record layout is fixed");

struct TokenTable {
  TokenRecord records[kTokenRecordCount];  // index order 0 to 63
  std::int64_t activeCode;                 // 0 at first
};
static_assert(sizeof(TokenTable) == 17416, "table layout is fixed");

// Maps the shared table into this process (the library's load). Returns
// false, with a trace, when the shared object cannot be made or mapped or is
// refused; the table is then unavailable and every lock attempt fails.
bool AttachTokenSection();

// Unmaps the table (the library's unload); removes the shared object when no
// other process has it. Does nothing in a forked child that did not attach.
void DetachTokenSection();

// The path of the table's file in use (for tests and traces); empty when
// refused before a file was chosen.
const char* TokenSectionName();

// The scoped lock on "TMRQTokenShared": waits at most a few seconds when
// made, releases when it ends. Not re-entrant. Table() is null, with a
// trace, when the lock could not be taken (no table, a wait that timed out,
// or a mutex left unrecoverable).
class TokenLock {
 public:
  TokenLock();
  ~TokenLock();
  TokenLock(const TokenLock&) = delete;
  TokenLock& operator=(const TokenLock&) = delete;

  TokenTable* Table() const { return table_; }

 private:
  TokenTable* table_ = nullptr;
};

// Tests: takes the lock and never gives it back (the caller is about to be
// killed). True when the lock was taken.
bool HoldTokenLockForever();

// DayStore: one market's day bars in one file (data\shDay.data,
// data\szDay.data below the data root).
//
// File layout (little-endian):
//   0   u16 33 | u16 1000 | u32 last bar time | u32 0 | u32 entries in use |
//       u32 block counter (2 when created) | u32 next free block (1)
//   24  directory: 4,000 entries of 116 bytes:
//         code text (12, zero-terminated; byte 7, after the 6-character code
//         and its terminator, holds the market id, 0 in older files) |
//         u32 bar count | 25 u32 block numbers (0 = none; the list ends at
//         the first 0)
//   464,024  104 zero bytes
//   464,128  data area: block b (from 1) at 464,128 + (b - 1) * 18,432,
//            256 DayBars of 72 bytes each.
// Bar i of a stock is bar i % 256 of its block i / 256; at most 6,400 bars,
// ascending by time. Blocks are allocated from the header's counter and
// never freed, so no more than 3,999 x 25 blocks are ever taken.
//
// Crash safety: a merge first commits its new header, entry and blocks to a
// journal beside the file (<file>.journal), then writes them in place and
// deletes the journal; opening the file replays a journal left behind. A
// stock therefore reads its old or its new series after a kill at any
// point, never a mix. (The journal is not flushed to the disk: a power cut
// may still leave a mix, which validation does not see; the day bars are a
// cache.)
//
// Opening validates the file before anything is read or written: magic 33
// and version 1000, a next free block within the format's limit and the
// file's size, entries in use matching the directory, no block owned by two
// stocks. A file that fails is refused (the day bars are a cache the
// history server refills: OpenOrRecreateDayStore moves it aside and starts
// an empty one).
//
// Merging new bars N (dates s..e) into a stored series T: the result is the
// stored bars dated before s, then N, then the stored bars dated after e.
// That is each case of the merge (before, after, cover, inside, head, tail)
// located by date, so a new bar replaces a stored bar of the same date and
// no missing exact time can overwrite the start of the series. N is first
// put in time order with one bar per date (the later one wins); a result of
// more than 6,400 bars keeps the newest 6,400.
//
// Lookups match the code exactly, and the market: an entry whose market
// byte is 0 belongs to the store's home market (1 for shDay, 2 for szDay).
//
// Locking: one recursive lock per store guards the header, the directory,
// the file and the code index. Every public function takes it for its whole
// run; LockDayStore/UnlockDayStore let a caller hold it across a sequence
// (merge, directory write, read-back) so no other thread's merge interleaves.
// Reads copy the bars out under the lock.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "marketdata/day_bar.h"

constexpr int kDayStoreHeaderSize = 24;
constexpr int kDayStoreEntries = 4000;
constexpr int kDayStoreEntrySize = 116;
constexpr int kDayStoreUsableEntries = 3999;     // a full directory refuses new stocks
constexpr int kDayStoreDataOffset = 464128;
constexpr int kDayStoreBarsPerBlock = 256;
constexpr int kDayStoreBlocksPerStock = 25;
constexpr int kDayStoreMaxBars = kDayStoreBarsPerBlock * kDayStoreBlocksPerStock;  // 6,400
constexpr int kDayBarSize = 72;
constexpr int kDayStoreBlockBytes = kDayStoreBarsPerBlock * kDayBarSize;  // 18,432
// The largest next-free-block number a valid file can hold.
constexpr uint32_t kDayStoreMaxNextFreeBlock = 1 + kDayStoreUsableEntries * kDayStoreBlocksPerStock;
// OpenDayStore's answer for a file that is not a valid day store.
constexpr int kDayStoreRefused = -1;

struct DayStoreHeader {
  uint16_t magic;          // 33
  uint16_t version;        // 1000
  uint32_t lastBarTime;    // set by the download
  uint32_t zero;
  uint32_t entriesInUse;
  uint32_t blockCounter;   // 2 when created, +1 per block
  uint32_t nextFreeBlock;  // 1 when created, +1 per block
};

struct DayStoreEntry {
  char code[12];           // zero-terminated code; code[7] is the market id
  int32_t barCount;
  uint32_t blocks[kDayStoreBlocksPerStock];
};

struct DayStore {
  DayStoreHeader header{};                    // as in the file
  std::vector<DayStoreEntry> directory;       // kDayStoreEntries entries
  int32_t recordSize = kDayBarSize;           // 72
  int32_t blockSize = kDayStoreBarsPerBlock * kDayBarSize;  // 18,432
  uint8_t homeMarket = 0;                     // market of entries with market byte 0
  std::string path;                           // data root + relative name
  int fd = -1;                                // open file, -1 when closed or failed
  std::unordered_map<std::string, int> index; // code + market byte -> entry
  std::recursive_mutex lock;
};

// A store for records of recordSize bytes (72) with an empty directory and
// no file. homeMarket: see the file comment. Freed with FreeDayStore.
DayStore* CreateDayStore(int recordSize, int homeMarket);
// Closes the file and frees the store. Null is allowed.
void FreeDayStore(DayStore* store);

// Opens data root + relativeName (creating a fresh file when it does not
// exist), validates it, replays a merge journal left by a kill and reads
// the header and the directory. Returns 1; kDayStoreRefused, with a trace
// and without a byte written, when the file fails validation; 0 when it
// cannot be created or opened. The store then reads as empty and refuses
// writes.
int OpenDayStore(DayStore* store, const char* relativeName);
// OpenDayStore; a refused file is moved aside (to <file>.bad, replacing an
// older one) and a fresh empty store made in its place. Returns as
// OpenDayStore.
int OpenOrRecreateDayStore(DayStore* store, const char* relativeName);
// Writes a fresh file (header 33, 1000, 0, 0, 0, 2, 1 and zeros up to the
// data area) through a temporary file and a rename, and resets the store's
// header and directory. Returns 1, or 0 when the file cannot be written.
int CreateDayStoreFile(DayStore* store, const char* relativeName);
// Closes the file (the store keeps its header and directory).
void CloseDayStore(DayStore* store);

// Writes the header and the whole directory at offset 0. Returns 1 or 0.
int WriteDayStoreDirectory(DayStore* store);

// Index of the entry with exactly this code (at most 6 characters) and
// market, or -1.
int FindDayStoreEntry(DayStore* store, const char* code, int market);

// Copies the stock's whole series into *out (cleared first). Returns the bar
// count; 0 when the stock has no entry or no blocks.
int ReadDayStoreBars(DayStore* store, const char* code, int market, std::vector<DayBar>* out);

// Merges count bars into the stock's series (file comment) and writes its
// blocks, its directory entry and the header through the journal; the rest
// of the directory is written by WriteDayStoreDirectory. Returns the stock's
// new bar count; 0 when code or bars is null or empty, count is not
// positive, the directory is full, the file is not open or the merge could
// not be stored (the store is then as it was).
int MergeDayStoreBars(DayStore* store, const char* code, int market, const DayBar* bars, int count);

// Sets the header's last bar time (in memory; written with the directory).
void SetDayStoreLastBarTime(DayStore* store, uint32_t time);

void LockDayStore(DayStore* store);
void UnlockDayStore(DayStore* store);

// The YYYYMMDD date of a bar's packed time.
int64_t DayBarDate(const DayBar& bar);

// Little-endian form of one bar (72 bytes at out / from in).
void PutDayBarLE(const DayBar& bar, unsigned char* out);
void GetDayBarLE(const unsigned char* in, DayBar* bar);

#include "marketdata/day_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "foundation/debug_trace.h"
#include "foundation/number_codecs.h"
#include "foundation/user_folders.h"
#include "platform/kernel/kernel_files.h"

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr int kMarketByte = 7;

void PutU16(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
void PutU32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
void PutU64(unsigned char* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
uint32_t GetU16(const unsigned char* p) { return static_cast<uint32_t>(p[0] | p[1] << 8); }
uint32_t GetU32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
uint64_t GetU64(const unsigned char* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return v;
}
uint32_t FloatBits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}
float BitsFloat(uint32_t u) {
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}

std::string FullPath(const char* relativeName) {
  std::string path = DataRoot() + relativeName;
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// Writes all bytes at offset; false on any failure.
bool WriteAt(int fd, const unsigned char* data, size_t size, off_t offset) {
  while (size > 0) {
    ssize_t n = pwrite(fd, data, size, offset);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
}

// Reads up to size bytes at offset; what the file does not hold stays zero.
void ReadAt(int fd, unsigned char* data, size_t size, off_t offset) {
  std::memset(data, 0, size);
  while (size > 0) {
    ssize_t n = pread(fd, data, size, offset);
    if (n <= 0) return;
    data += n;
    size -= static_cast<size_t>(n);
    offset += n;
  }
}

void PackHeader(const DayStoreHeader& h, unsigned char* out) {
  PutU16(out, h.magic);
  PutU16(out + 2, h.version);
  PutU32(out + 4, h.lastBarTime);
  PutU32(out + 8, h.zero);
  PutU32(out + 12, h.entriesInUse);
  PutU32(out + 16, h.blockCounter);
  PutU32(out + 20, h.nextFreeBlock);
}

void UnpackHeader(const unsigned char* in, DayStoreHeader* h) {
  h->magic = static_cast<uint16_t>(GetU16(in));
  h->version = static_cast<uint16_t>(GetU16(in + 2));
  h->lastBarTime = GetU32(in + 4);
  h->zero = GetU32(in + 8);
  h->entriesInUse = GetU32(in + 12);
  h->blockCounter = GetU32(in + 16);
  h->nextFreeBlock = GetU32(in + 20);
}

DayStoreHeader FreshHeader() { return DayStoreHeader{33, 1000, 0, 0, 0, 2, 1}; }

std::string IndexKey(const char* code, int market) {
  std::string key(code, strnlen(code, 7));
  key.push_back(static_cast<char>(market));
  return key;
}

int EntryMarket(const DayStore* store, const DayStoreEntry& e) {
  int market = static_cast<unsigned char>(e.code[kMarketByte]);
  return market != 0 ? market : store->homeMarket;
}

// Number of leading non-zero block numbers that lie inside the allocated
// range (a damaged list ends at the first impossible number).
int BlockCount(const DayStore* store, const DayStoreEntry& e) {
  int n = 0;
  while (n < kDayStoreBlocksPerStock && e.blocks[n] != 0 && e.blocks[n] < store->header.nextFreeBlock) ++n;
  return n;
}

void RebuildIndex(DayStore* store) {
  store->index.clear();
  for (int i = 0; i < kDayStoreEntries; ++i) {
    const DayStoreEntry& e = store->directory[i];
    if (e.code[0] == 0) continue;
    store->index.emplace(IndexKey(e.code, EntryMarket(store, e)), i);  // the first of equal keys wins
  }
}

void ResetDirectory(DayStore* store) {
  store->directory.assign(kDayStoreEntries, DayStoreEntry{});
  store->index.clear();
}

void UnpackDirectory(DayStore* store, const unsigned char* in) {
  for (int i = 0; i < kDayStoreEntries; ++i) {
    const unsigned char* p = in + i * kDayStoreEntrySize;
    DayStoreEntry& e = store->directory[i];
    std::memcpy(e.code, p, sizeof e.code);
    e.code[sizeof e.code - 1] = 0;
    if (strnlen(e.code, 8) > 7) e.code[kMarketByte] = 0;  // a longer code text has no market byte
    e.barCount = static_cast<int32_t>(GetU32(p + 12));
    for (int b = 0; b < kDayStoreBlocksPerStock; ++b) e.blocks[b] = GetU32(p + 16 + 4 * b);
  }
}

void PackDirectory(const DayStore* store, unsigned char* out) {
  for (int i = 0; i < kDayStoreEntries; ++i) {
    unsigned char* p = out + i * kDayStoreEntrySize;
    const DayStoreEntry& e = store->directory[i];
    std::memcpy(p, e.code, sizeof e.code);
    PutU32(p + 12, static_cast<uint32_t>(e.barCount));
    for (int b = 0; b < kDayStoreBlocksPerStock; ++b) PutU32(p + 16 + 4 * b, e.blocks[b]);
  }
}

// Stored bar count of an entry, limited to what its blocks can hold.
int StoredCount(const DayStore* store, const DayStoreEntry& e) {
  int room = BlockCount(store, e) * kDayStoreBarsPerBlock;
  return std::clamp(e.barCount, 0, room);
}

void ReadEntryBars(DayStore* store, const DayStoreEntry& e, std::vector<DayBar>* out) {
  const int count = StoredCount(store, e);
  out->resize(static_cast<size_t>(count));
  if (count == 0) return;
  std::vector<unsigned char> block(static_cast<size_t>(store->blockSize));
  for (int k = 0; k * kDayStoreBarsPerBlock < count; ++k) {
    off_t offset = static_cast<off_t>(kDayStoreDataOffset) + static_cast<off_t>(e.blocks[k] - 1) * store->blockSize;
    ReadAt(store->fd, block.data(), block.size(), offset);
    const int first = k * kDayStoreBarsPerBlock;
    const int n = std::min(kDayStoreBarsPerBlock, count - first);
    for (int i = 0; i < n; ++i) GetDayBarLE(block.data() + i * kDayBarSize, &(*out)[first + i]);
  }
}

// N in time order with one bar per date (the later of equal dates wins).
std::vector<DayBar> Normalise(const DayBar* bars, int count) {
  std::vector<DayBar> sorted(bars, bars + count);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const DayBar& a, const DayBar& b) { return DayBarDate(a) < DayBarDate(b); });
  std::vector<DayBar> unique;
  unique.reserve(sorted.size());
  for (const DayBar& bar : sorted) {
    if (!unique.empty() && DayBarDate(unique.back()) == DayBarDate(bar)) {
      unique.back() = bar;
    } else {
      unique.push_back(bar);
    }
  }
  return unique;
}

// Stored bars before the first new date, the new bars, stored bars after
// the last new date; the newest kDayStoreMaxBars of that.
std::vector<DayBar> MergeByDate(const std::vector<DayBar>& stored, const std::vector<DayBar>& fresh) {
  const int64_t s = DayBarDate(fresh.front());
  const int64_t e = DayBarDate(fresh.back());
  std::vector<DayBar> result;
  result.reserve(stored.size() + fresh.size());
  for (const DayBar& bar : stored) {
    if (DayBarDate(bar) < s) result.push_back(bar);
  }
  result.insert(result.end(), fresh.begin(), fresh.end());
  for (const DayBar& bar : stored) {
    if (DayBarDate(bar) > e) result.push_back(bar);
  }
  if (result.size() > static_cast<size_t>(kDayStoreMaxBars)) {
    result.erase(result.begin(), result.end() - kDayStoreMaxBars);
  }
  return result;
}

// Takes a new entry for (code, market); -1 when the directory is full.
int NewEntry(DayStore* store, const char* code, int market) {
  if (store->header.entriesInUse >= static_cast<uint32_t>(kDayStoreUsableEntries)) return -1;
  for (int i = 0; i < kDayStoreEntries; ++i) {
    DayStoreEntry& e = store->directory[i];
    if (e.code[0] != 0) continue;
    e = DayStoreEntry{};
    std::memcpy(e.code, code, strnlen(code, 6));
    e.code[kMarketByte] = static_cast<char>(market);
    ++store->header.entriesInUse;
    store->index[IndexKey(e.code, market)] = i;
    return i;
  }
  return -1;
}

off_t BlockOffset(uint32_t block) {
  return static_cast<off_t>(kDayStoreDataOffset) + static_cast<off_t>(block - 1) * kDayStoreBlockBytes;
}

// ---- the merge journal
//
// A merge never changes the file in place before its whole result is safe
// beside it: the journal (<file>.journal) holds the new header, the stock's new directory entry and
// every block the merge writes. Then the blocks, the entry and the header
// are written in place and the journal is deleted. Whoever opens the file
// next replays a journal it finds, so after a kill at any point the stock
// reads either its old or its new series.
//
//   "ODJ1" | u32 entry index | u32 block count k (1..25) | header (24) |
//   entry (116) | k x (u32 block number | 18,432 bytes) | u32 FNV-1a of all
//   bytes before it

constexpr unsigned char kJournalMagic[4] = {'O', 'D', 'J', '1'};
constexpr size_t kJournalFixed = 4 + 4 + 4 + kDayStoreHeaderSize + kDayStoreEntrySize;
constexpr size_t kJournalBlock = 4 + kDayStoreBlockBytes;

uint32_t Fnv1a(const unsigned char* data, size_t size) {
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  return hash;
}

std::string JournalPath(const DayStore* store) { return store->path + ".journal"; }

void PackEntry(const DayStoreEntry& e, unsigned char* p) {
  std::memcpy(p, e.code, sizeof e.code);
  PutU32(p + 12, static_cast<uint32_t>(e.barCount));
  for (int b = 0; b < kDayStoreBlocksPerStock; ++b) PutU32(p + 16 + 4 * b, e.blocks[b]);
}

// The blocks of a merge, numbered, in the journal's block layout.
struct JournalBlocks {
  std::vector<unsigned char> bytes;  // k x (number | block)
  int count = 0;
};

std::vector<unsigned char> MakeJournal(const DayStoreHeader& header, int at, const DayStoreEntry& e,
                                       const JournalBlocks& blocks) {
  std::vector<unsigned char> j(kJournalFixed + blocks.bytes.size() + 4);
  std::memcpy(j.data(), kJournalMagic, 4);
  PutU32(j.data() + 4, static_cast<uint32_t>(at));
  PutU32(j.data() + 8, static_cast<uint32_t>(blocks.count));
  PackHeader(header, j.data() + 12);
  PackEntry(e, j.data() + 12 + kDayStoreHeaderSize);
  std::memcpy(j.data() + kJournalFixed, blocks.bytes.data(), blocks.bytes.size());
  PutU32(j.data() + j.size() - 4, Fnv1a(j.data(), j.size() - 4));
  return j;
}

// True when j is a whole journal whose header, entry index and block
// numbers fit the format.
bool JournalIsWhole(const std::vector<unsigned char>& j) {
  if (j.size() < kJournalFixed + 4 || std::memcmp(j.data(), kJournalMagic, 4) != 0) return false;
  const uint32_t at = GetU32(j.data() + 4);
  const uint32_t count = GetU32(j.data() + 8);
  if (at >= static_cast<uint32_t>(kDayStoreEntries) || count == 0 ||
      count > static_cast<uint32_t>(kDayStoreBlocksPerStock) || j.size() != kJournalFixed + count * kJournalBlock + 4)
    return false;
  if (Fnv1a(j.data(), j.size() - 4) != GetU32(j.data() + j.size() - 4)) return false;
  DayStoreHeader h{};
  UnpackHeader(j.data() + 12, &h);
  if (h.magic != 33 || h.version != 1000 || h.nextFreeBlock < 1 || h.nextFreeBlock > kDayStoreMaxNextFreeBlock)
    return false;
  for (uint32_t k = 0; k < count; ++k) {
    uint32_t block = GetU32(j.data() + kJournalFixed + k * kJournalBlock);
    if (block == 0 || block >= h.nextFreeBlock) return false;
  }
  return true;
}

// Writes what a whole journal holds into the file: the blocks, then the
// entry, then the header. True when every byte was written.
bool ApplyJournal(int fd, const std::vector<unsigned char>& j) {
  const uint32_t at = GetU32(j.data() + 4);
  const uint32_t count = GetU32(j.data() + 8);
  bool ok = true;
  for (uint32_t k = 0; k < count; ++k) {
    const unsigned char* p = j.data() + kJournalFixed + k * kJournalBlock;
    ok = WriteAt(fd, p + 4, kDayStoreBlockBytes, BlockOffset(GetU32(p))) && ok;
  }
  ok = WriteAt(fd, j.data() + 12 + kDayStoreHeaderSize, kDayStoreEntrySize,
               kDayStoreHeaderSize + static_cast<off_t>(at) * kDayStoreEntrySize) && ok;
  ok = WriteAt(fd, j.data() + 12, kDayStoreHeaderSize, 0) && ok;
  return ok;
}

// Writes a whole journal's header and entry into the image of the header
// and directory; returns the file size its blocks reach.
off_t ApplyJournalToImage(const std::vector<unsigned char>& j, std::vector<unsigned char>* image) {
  const uint32_t at = GetU32(j.data() + 4);
  const uint32_t count = GetU32(j.data() + 8);
  std::memcpy(image->data(), j.data() + 12, kDayStoreHeaderSize);
  std::memcpy(image->data() + kDayStoreHeaderSize + static_cast<size_t>(at) * kDayStoreEntrySize,
              j.data() + 12 + kDayStoreHeaderSize, kDayStoreEntrySize);
  off_t end = 0;
  for (uint32_t k = 0; k < count; ++k) {
    uint32_t block = GetU32(j.data() + kJournalFixed + k * kJournalBlock);
    end = std::max(end, BlockOffset(block) + static_cast<off_t>(kDayStoreBlockBytes));
  }
  return end;
}

// Replays a journal left by a merge that was cut off; one that is not whole
// was never committed and is deleted. False when a whole journal could not
// be written into the file (it is then kept for the next open).
bool ReplayJournal(DayStore* store) {
  const std::string journal = JournalPath(store);
  if (GetFileSizeOf(journal) < 0) return true;
  std::string bytes;
  ReadWholeFile(journal, &bytes);
  std::vector<unsigned char> j(bytes.begin(), bytes.end());
  if (!JournalIsWhole(j)) {
    DebugPrintf("\nday store %s: incomplete merge journal dropped", store->path.c_str());
    DeleteFileAt(journal);
    return true;
  }
  if (!ApplyJournal(store->fd, j) || fdatasync(store->fd) != 0) {
    DebugPrintf("\nday store %s: merge journal not replayed", store->path.c_str());
    return false;
  }
  DebugPrintf("\nday store %s: an interrupted merge was completed", store->path.c_str());
  DeleteFileAt(journal);
  return true;
}

// Why a file is not a day store, or null when its header and directory
// fit the format and the file: magic and version, the next free block within
// the format's limit and the file's size, entries in use matching the
// directory, and no block owned by two entries.
const char* ValidateImage(const std::vector<unsigned char>& image, long long fileSize) {
  if (fileSize < kDayStoreDataOffset) return "shorter than its directory";
  DayStoreHeader h{};
  UnpackHeader(image.data(), &h);
  if (h.magic != 33 || h.version != 1000) return "not a day store (magic or version)";
  if (h.nextFreeBlock < 1 || h.nextFreeBlock > kDayStoreMaxNextFreeBlock) return "next free block out of range";
  if (BlockOffset(h.nextFreeBlock) > fileSize) return "next free block beyond the end of the file";
  uint32_t used = 0;
  std::vector<bool> owned(h.nextFreeBlock, false);
  for (int i = 0; i < kDayStoreEntries; ++i) {
    const unsigned char* p = image.data() + kDayStoreHeaderSize + i * kDayStoreEntrySize;
    if (p[0] == 0) continue;
    ++used;
    for (int b = 0; b < kDayStoreBlocksPerStock; ++b) {
      uint32_t block = GetU32(p + 16 + 4 * b);
      if (block == 0 || block >= h.nextFreeBlock) break;  // the list ends here
      if (owned[block]) return "a block owned by two stocks";
      owned[block] = true;
    }
  }
  if (used != h.entriesInUse || used > static_cast<uint32_t>(kDayStoreUsableEntries))
    return "entries in use do not match the directory";
  return nullptr;
}

// Lays out the stock's bars in blocks, taking new blocks for a longer
// series; false, with nothing taken, when the format has no room.
bool LayOutEntryBars(DayStore* store, DayStoreEntry& e, const std::vector<DayBar>& bars, JournalBlocks* out) {
  const int count = static_cast<int>(bars.size());
  const int needed = (count + kDayStoreBarsPerBlock - 1) / kDayStoreBarsPerBlock;
  int have = BlockCount(store, e);
  if (have < needed && store->header.nextFreeBlock + static_cast<uint32_t>(needed - have) > kDayStoreMaxNextFreeBlock)
    return false;
  for (int b = have; b < kDayStoreBlocksPerStock; ++b) e.blocks[b] = 0;  // drop a damaged tail
  while (have < needed) {
    e.blocks[have++] = store->header.nextFreeBlock++;
    ++store->header.blockCounter;
  }
  out->count = have;
  out->bytes.assign(static_cast<size_t>(have) * kJournalBlock, 0);
  for (int k = 0; k < have; ++k) {
    unsigned char* p = out->bytes.data() + static_cast<size_t>(k) * kJournalBlock;
    PutU32(p, e.blocks[k]);
    const int first = k * kDayStoreBarsPerBlock;
    const int n = std::clamp(count - first, 0, kDayStoreBarsPerBlock);
    for (int i = 0; i < n; ++i) PutDayBarLE(bars[first + i], p + 4 + i * kDayBarSize);
  }
  e.barCount = count;
  return true;
}

// Writes the journal file. It needs no temporary file: a journal cut short
// fails its size or checksum and is dropped, and the store file is not
// touched before the journal is whole. It is not flushed to the disk either
// (a merge costs no disk wait): a kill at any point is safe, a power cut is
// as for any cache.
bool WriteJournalFile(const std::string& path, const std::vector<unsigned char>& j) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = WriteAt(fd, j.data(), j.size(), 0);
  return close(fd) == 0 && ok;
}

// Commits the merge's journal, then writes it in place. False when the
// journal could not be written (the file is then as it was).
bool WriteEntryThroughJournal(DayStore* store, int at, const DayStoreEntry& e, const JournalBlocks& blocks) {
  if (blocks.count == 0) return false;
  // A journal still waiting (its in-place writes failed) goes in first, or
  // nothing new is written over it.
  if (!ReplayJournal(store)) return false;
  std::vector<unsigned char> j = MakeJournal(store->header, at, e, blocks);
  const std::string journal = JournalPath(store);
  if (!WriteJournalFile(journal, j)) {
    DeleteFileAt(journal);
    return false;
  }
  if (ApplyJournal(store->fd, j)) {
    DeleteFileAt(journal);
  } else {
    DebugPrintf("\nday store %s: block write failed; the journal completes it at the next open", store->path.c_str());
  }
  return true;
}

}  // namespace

int64_t DayBarDate(const DayBar& bar) { return DecodePackedDateTime(bar.time) / 1000000; }

void PutDayBarLE(const DayBar& bar, unsigned char* out) {
  std::memset(out, 0, kDayBarSize);
  PutU32(out, bar.time);
  PutU32(out + 4, FloatBits(bar.open));
  PutU32(out + 8, FloatBits(bar.high));
  PutU32(out + 12, FloatBits(bar.low));
  PutU32(out + 16, FloatBits(bar.close));
  PutU64(out + 24, static_cast<uint64_t>(bar.amount));
  PutU64(out + 32, static_cast<uint64_t>(bar.volume));
  PutU32(out + 40, FloatBits(bar.field8));
  PutU64(out + 64, static_cast<uint64_t>(bar.field11));
}

void GetDayBarLE(const unsigned char* in, DayBar* bar) {
  *bar = DayBar{};
  bar->time = GetU32(in);
  bar->open = BitsFloat(GetU32(in + 4));
  bar->high = BitsFloat(GetU32(in + 8));
  bar->low = BitsFloat(GetU32(in + 12));
  bar->close = BitsFloat(GetU32(in + 16));
  bar->amount = static_cast<int64_t>(GetU64(in + 24));
  bar->volume = static_cast<int64_t>(GetU64(in + 32));
  bar->field8 = BitsFloat(GetU32(in + 40));
  bar->field11 = static_cast<int64_t>(GetU64(in + 64));
}

DayStore* CreateDayStore(int recordSize, int homeMarket) {
  DayStore* store = new (std::nothrow) DayStore();
  if (!store) return nullptr;
  store->recordSize = recordSize > 0 ? recordSize : kDayBarSize;
  store->blockSize = kDayStoreBarsPerBlock * kDayBarSize;
  store->homeMarket = static_cast<uint8_t>(homeMarket);
  store->header = FreshHeader();
  ResetDirectory(store);
  return store;
}

void FreeDayStore(DayStore* store) {
  if (!store) return;
  CloseDayStore(store);
  delete store;
}

int CreateDayStoreFile(DayStore* store, const char* relativeName) {
  Guard hold(store->lock);
  DeleteDataFile(relativeName);
  DeleteFileAt(FullPath(relativeName) + ".journal");  // belongs to the file that is gone
  store->header = FreshHeader();
  ResetDirectory(store);
  std::vector<unsigned char> image(static_cast<size_t>(kDayStoreDataOffset), 0);
  PackHeader(store->header, image.data());
  return WriteDataFile(relativeName, image.data(), static_cast<int>(image.size())) ? 1 : 0;
}

int OpenDayStore(DayStore* store, const char* relativeName) {
  if (!store || !relativeName) return 0;
  Guard hold(store->lock);
  CloseDayStore(store);
  store->path = FullPath(relativeName);
  store->header = FreshHeader();
  ResetDirectory(store);
  if (GetFileSizeUtf8Path(store->path.c_str()) < 0 && !CreateDayStoreFile(store, relativeName)) {
    DebugPrintf("\nday store %s not created", store->path.c_str());
    return 0;
  }
  int fd = open(store->path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    DebugPrintf("\nday store %s not opened", store->path.c_str());
    return 0;
  }
  // Nothing is written to a file that is not a day store: the file is
  // validated as a journal left behind would complete it, and refused
  // before the journal is written into it.
  std::vector<unsigned char> image(static_cast<size_t>(kDayStoreDataOffset));
  ReadAt(fd, image.data(), image.size(), 0);
  struct stat info {};
  long long size = fstat(fd, &info) == 0 ? static_cast<long long>(info.st_size) : -1;
  const std::string journalPath = JournalPath(store);
  std::vector<unsigned char> journal;
  bool journalLeft = GetFileSizeOf(journalPath) >= 0;
  if (journalLeft) {
    std::string bytes;
    ReadWholeFile(journalPath, &bytes);
    journal.assign(bytes.begin(), bytes.end());
    if (JournalIsWhole(journal)) {
      size = std::max(size, static_cast<long long>(ApplyJournalToImage(journal, &image)));
    } else {
      journal.clear();
    }
  }
  const char* fault = size < 0 ? "cannot be examined" : ValidateImage(image, size);
  if (fault) {
    DebugPrintf("\nday store %s refused: %s", store->path.c_str(), fault);
    close(fd);
    return kDayStoreRefused;
  }
  if (!journal.empty()) {
    if (!ApplyJournal(fd, journal) || fdatasync(fd) != 0) {
      DebugPrintf("\nday store %s: merge journal not replayed", store->path.c_str());
      close(fd);
      return 0;
    }
    DebugPrintf("\nday store %s: an interrupted merge was completed", store->path.c_str());
    DeleteFileAt(journalPath);
  } else if (journalLeft) {
    DebugPrintf("\nday store %s: incomplete merge journal dropped", store->path.c_str());
    DeleteFileAt(journalPath);
  }
  store->fd = fd;
  UnpackHeader(image.data(), &store->header);
  UnpackDirectory(store, image.data() + kDayStoreHeaderSize);
  RebuildIndex(store);
  return 1;
}

int OpenOrRecreateDayStore(DayStore* store, const char* relativeName) {
  int opened = OpenDayStore(store, relativeName);
  if (opened != kDayStoreRefused) return opened;
  Guard hold(store->lock);
  const std::string aside = store->path + ".bad";
  DeleteFileAt(aside);
  DeleteFileAt(JournalPath(store));
  if (rename(store->path.c_str(), aside.c_str()) != 0) {
    DebugPrintf("\nday store %s cannot be moved aside", store->path.c_str());
    return 0;
  }
  DebugPrintf("\nday store %s moved aside to %s and made anew", store->path.c_str(), aside.c_str());
  return OpenDayStore(store, relativeName);
}

void CloseDayStore(DayStore* store) {
  if (!store) return;
  Guard hold(store->lock);
  if (store->fd >= 0) close(store->fd);
  store->fd = -1;
}

int WriteDayStoreDirectory(DayStore* store) {
  if (!store) return 0;
  Guard hold(store->lock);
  if (store->fd < 0) return 0;
  std::vector<unsigned char> image(static_cast<size_t>(kDayStoreDataOffset), 0);
  PackHeader(store->header, image.data());
  PackDirectory(store, image.data() + kDayStoreHeaderSize);
  return WriteAt(store->fd, image.data(), image.size(), 0) ? 1 : 0;
}

int FindDayStoreEntry(DayStore* store, const char* code, int market) {
  if (!store || !code || !*code || strnlen(code, 7) > 6) return -1;
  Guard hold(store->lock);
  auto it = store->index.find(IndexKey(code, market));
  return it == store->index.end() ? -1 : it->second;
}

int ReadDayStoreBars(DayStore* store, const char* code, int market, std::vector<DayBar>* out) {
  if (!out) return 0;
  out->clear();
  if (!store) return 0;
  Guard hold(store->lock);
  const int at = FindDayStoreEntry(store, code, market);
  if (at < 0 || store->fd < 0) return 0;
  ReadEntryBars(store, store->directory[at], out);
  return static_cast<int>(out->size());
}

int MergeDayStoreBars(DayStore* store, const char* code, int market, const DayBar* bars, int count) {
  if (!store || !code || !*code || strnlen(code, 7) > 6 || !bars || count <= 0) return 0;
  Guard hold(store->lock);
  if (store->fd < 0) return 0;
  std::vector<DayBar> fresh = Normalise(bars, count);
  const DayStoreHeader oldHeader = store->header;
  int at = FindDayStoreEntry(store, code, market);
  const bool isNew = at < 0;
  if (isNew) at = NewEntry(store, code, market);
  if (at < 0) return 0;  // the directory is full: the bars are not stored
  const DayStoreEntry oldEntry = isNew ? DayStoreEntry{} : store->directory[at];
  DayStoreEntry& e = store->directory[at];
  std::vector<DayBar> stored;
  ReadEntryBars(store, e, &stored);
  std::vector<DayBar> result = stored.empty() ? std::move(fresh) : MergeByDate(stored, fresh);
  if (result.size() > static_cast<size_t>(kDayStoreMaxBars)) {
    result.erase(result.begin(), result.end() - kDayStoreMaxBars);
  }
  JournalBlocks blocks;
  if (!LayOutEntryBars(store, e, result, &blocks) || !WriteEntryThroughJournal(store, at, e, blocks)) {
    DebugPrintf("\nday store %s: the merge of %s was not stored", store->path.c_str(), code);
    store->header = oldHeader;
    e = oldEntry;
    if (isNew) store->index.erase(IndexKey(code, market));
    return 0;
  }
  return e.barCount;
}

void SetDayStoreLastBarTime(DayStore* store, uint32_t time) {
  if (!store) return;
  Guard hold(store->lock);
  store->header.lastBarTime = time;
}

void LockDayStore(DayStore* store) { store->lock.lock(); }

void UnlockDayStore(DayStore* store) { store->lock.unlock(); }

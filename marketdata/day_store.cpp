#include "marketdata/day_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "foundation/debug_trace.h"
#include "foundation/number_codecs.h"
#include "foundation/user_folders.h"

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

bool WriteEntryBars(DayStore* store, DayStoreEntry& e, const std::vector<DayBar>& bars) {
  const int count = static_cast<int>(bars.size());
  const int needed = (count + kDayStoreBarsPerBlock - 1) / kDayStoreBarsPerBlock;
  int have = BlockCount(store, e);
  for (int b = have; b < kDayStoreBlocksPerStock; ++b) e.blocks[b] = 0;  // drop a damaged tail
  while (have < needed) {
    e.blocks[have++] = store->header.nextFreeBlock++;
    ++store->header.blockCounter;
  }
  std::vector<unsigned char> block(static_cast<size_t>(store->blockSize));
  bool ok = true;
  for (int k = 0; k < have; ++k) {
    std::fill(block.begin(), block.end(), 0);
    const int first = k * kDayStoreBarsPerBlock;
    const int n = std::clamp(count - first, 0, kDayStoreBarsPerBlock);
    for (int i = 0; i < n; ++i) PutDayBarLE(bars[first + i], block.data() + i * kDayBarSize);
    off_t offset = static_cast<off_t>(kDayStoreDataOffset) + static_cast<off_t>(e.blocks[k] - 1) * store->blockSize;
    ok = WriteAt(store->fd, block.data(), block.size(), offset) && ok;
  }
  e.barCount = count;
  return ok;
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
  store->fd = open(store->path.c_str(), O_RDWR | O_CLOEXEC);
  if (store->fd < 0) {
    DebugPrintf("\nday store %s not opened", store->path.c_str());
    return 0;
  }
  std::vector<unsigned char> image(static_cast<size_t>(kDayStoreDataOffset));
  ReadAt(store->fd, image.data(), image.size(), 0);
  UnpackHeader(image.data(), &store->header);
  if (store->header.nextFreeBlock == 0) store->header.nextFreeBlock = 1;
  UnpackDirectory(store, image.data() + kDayStoreHeaderSize);
  RebuildIndex(store);
  return 1;
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
  int at = FindDayStoreEntry(store, code, market);
  if (at < 0) at = NewEntry(store, code, market);
  if (at < 0) return 0;  // the directory is full: the bars are not stored
  DayStoreEntry& e = store->directory[at];
  std::vector<DayBar> stored;
  ReadEntryBars(store, e, &stored);
  std::vector<DayBar> result = stored.empty() ? std::move(fresh) : MergeByDate(stored, fresh);
  if (result.size() > static_cast<size_t>(kDayStoreMaxBars)) {
    result.erase(result.begin(), result.end() - kDayStoreMaxBars);
  }
  if (!WriteEntryBars(store, e, result)) DebugPrintf("\nday store %s: block write failed", store->path.c_str());
  return e.barCount;
}

void SetDayStoreLastBarTime(DayStore* store, uint32_t time) {
  if (!store) return;
  Guard hold(store->lock);
  store->header.lastBarTime = time;
}

void LockDayStore(DayStore* store) { store->lock.lock(); }

void UnlockDayStore(DayStore* store) { store->lock.unlock(); }

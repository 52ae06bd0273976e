// DayStore files: layout, allocation, the merge cases, lookups and locking.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "foundation/tests/temp_user_folders.h"
#include "foundation/user_folders.h"
#include "marketdata/day_store.h"
#include "platform/kernel/kernel_files.h"
#include "tools/simbroker/wire_encoders.h"

namespace {

// Day i of a simple calendar (28-day months), packed; hour 15:00 unless given.
uint32_t DayTime(int i, int hour = 15) {
  return simbroker::PackDateTime(2000 + i / (12 * 28), 1 + i / 28 % 12, 1 + i % 28, hour, 0);
}

DayBar Bar(int day, float close, int hour = 15) {
  DayBar b{};
  b.time = DayTime(day, hour);
  b.open = static_cast<float>(day);   // identifies the day in every bar
  b.high = close + 1;
  b.low = close - 1;
  b.close = close;
  b.amount = 1000 + day;
  b.volume = 10 * day;
  b.field8 = 0.5f;
  b.field11 = -day;
  return b;
}

std::vector<DayBar> Bars(int first, int last, float close, int hour = 15) {
  std::vector<DayBar> out;
  for (int d = first; d <= last; ++d) out.push_back(Bar(d, close, hour));
  return out;
}

std::vector<unsigned char> FileBytes(const std::string& path) {
  FileBlob* blob = ReadFileUtf8Path(path.c_str());
  std::vector<unsigned char> out;
  if (blob) out.assign(blob->data, blob->data + blob->size);
  FreeFileBlob(blob);
  return out;
}

uint32_t U32(const std::vector<unsigned char>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

class DayStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folders_ = std::make_unique<TempUserFolders>("daystore");
    ASSERT_TRUE(folders_->Ok());
    top_ = folders_->Top();
    InitAppFolders();
    store = Open("data\\szDay.data", 2);
  }
  void TearDown() override {
    FreeDayStore(store);
    folders_.reset();
  }
  DayStore* Open(const char* name, int home) {
    DayStore* s = CreateDayStore(kDayBarSize, home);
    EXPECT_EQ(OpenDayStore(s, name), 1);
    return s;
  }
  std::vector<DayBar> Read(const char* code, int market = 2) {
    std::vector<DayBar> out;
    ReadDayStoreBars(store, code, market, &out);
    return out;
  }
  std::vector<int> Days(const std::vector<DayBar>& bars) {
    std::vector<int> out;
    for (auto& b : bars) out.push_back(static_cast<int>(b.open));
    return out;
  }
  std::string Path() const { return DataRoot() + "data/szDay.data"; }

  std::unique_ptr<TempUserFolders> folders_;
  std::string top_;
  DayStore* store = nullptr;
};

TEST_F(DayStoreTest, FreshFileHasItsHeaderAndSize) {
  auto bytes = FileBytes(Path());
  ASSERT_EQ(bytes.size(), 464128u);
  const unsigned char head[24] = {33, 0, 0xE8, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(std::memcmp(bytes.data(), head, 24), 0);
  for (size_t i = 24; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST_F(DayStoreTest, NewStockAllocatesBlocksAndTheLayoutIsLittleEndian) {
  ASSERT_EQ(MergeDayStoreBars(store, "000001", 2, Bars(0, 299, 10.5f).data(), 300), 300);
  EXPECT_EQ(store->header.nextFreeBlock, 3u);
  EXPECT_EQ(store->header.blockCounter, 4u);
  EXPECT_EQ(store->header.entriesInUse, 1u);
  SetDayStoreLastBarTime(store, DayTime(299));
  ASSERT_EQ(WriteDayStoreDirectory(store), 1);

  auto b = FileBytes(Path());
  ASSERT_EQ(b.size(), 464128u + 2 * 18432u);
  EXPECT_EQ(U32(b, 4), DayTime(299));
  EXPECT_EQ(U32(b, 12), 1u);
  EXPECT_EQ(U32(b, 16), 4u);
  EXPECT_EQ(U32(b, 20), 3u);
  // Entry 0: code text, market byte after its terminator, count, blocks.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[24])), "000001");
  EXPECT_EQ(b[24 + 7], 2);
  EXPECT_EQ(U32(b, 24 + 12), 300u);
  EXPECT_EQ(U32(b, 24 + 16), 1u);
  EXPECT_EQ(U32(b, 24 + 20), 2u);
  EXPECT_EQ(U32(b, 24 + 24), 0u);
  // Bar 0 at the data area, field by field; bar 256 opens block 2.
  const size_t bar0 = 464128;
  EXPECT_EQ(U32(b, bar0), DayTime(0));
  float close;
  uint32_t bits = U32(b, bar0 + 16);
  std::memcpy(&close, &bits, 4);
  EXPECT_EQ(close, 10.5f);
  EXPECT_EQ(U32(b, bar0 + 20), 0u);
  EXPECT_EQ(U32(b, bar0 + 24), 1000u);       // amount, low half
  EXPECT_EQ(U32(b, bar0 + 64), 0u);          // field 11 of day 0
  EXPECT_EQ(U32(b, bar0 + 72 * 5 + 64), static_cast<uint32_t>(-5));
  EXPECT_EQ(U32(b, bar0 + 18432), DayTime(256));

  // Reopened from the file: the same series.
  DayStore* again = Open("data\\szDay.data", 2);
  std::vector<DayBar> series;
  ASSERT_EQ(ReadDayStoreBars(again, "000001", 2, &series), 300);
  EXPECT_EQ(std::memcmp(series.data(), Read("000001").data(), 300 * sizeof(DayBar)), 0);
  EXPECT_EQ(again->header.nextFreeBlock, 3u);
  FreeDayStore(again);
}

TEST_F(DayStoreTest, AppendsAllocateOnlyWhenCrossingABlock) {
  MergeDayStoreBars(store, "000002", 2, Bars(0, 249, 1).data(), 250);
  EXPECT_EQ(store->header.nextFreeBlock, 2u);
  MergeDayStoreBars(store, "000002", 2, Bars(250, 255, 1).data(), 6);
  EXPECT_EQ(store->header.nextFreeBlock, 2u);
  MergeDayStoreBars(store, "000002", 2, Bars(256, 256, 1).data(), 1);
  EXPECT_EQ(store->header.nextFreeBlock, 3u);
  EXPECT_EQ(Read("000002").size(), 257u);
}

TEST_F(DayStoreTest, MergeCases) {
  struct Case {
    const char* name;
    std::vector<DayBar> fresh;
    std::vector<int> days;   // the days of the result, in order
  };
  auto range = [](int a, int b) {
    std::vector<int> v;
    for (int d = a; d <= b; ++d) v.push_back(d);
    return v;
  };
  auto join = [](std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  // Stored: days 10..19.
  const Case cases[] = {
      {"before", Bars(0, 4, 2), join(range(0, 4), range(10, 19))},
      {"after", Bars(25, 27, 2), join(range(10, 19), range(25, 27))},
      {"cover", Bars(5, 25, 2), range(5, 25)},
      {"inside", Bars(12, 14, 2), range(10, 19)},
      {"head", Bars(5, 12, 2), range(5, 19)},
      {"tail (m - 1 + n)", Bars(19, 22, 2), range(10, 22)},
      {"inside, no exact time", Bars(12, 14, 2, 9), range(10, 19)},
      {"tail, no exact time", Bars(15, 22, 2, 9), range(10, 22)},
      {"head, no exact time", Bars(5, 12, 2, 9), range(5, 19)},
      {"unsorted with a duplicate date", {Bar(21, 2), Bar(20, 9), Bar(20, 2)}, join(range(10, 19), range(20, 21))},
  };
  int stock = 0;
  for (const Case& c : cases) {
    char code[16];
    std::snprintf(code, sizeof code, "%06d", 100 + stock++);
    MergeDayStoreBars(store, code, 2, Bars(10, 19, 1).data(), 10);
    int n = MergeDayStoreBars(store, code, 2, c.fresh.data(), static_cast<int>(c.fresh.size()));
    auto series = Read(code);
    EXPECT_EQ(n, static_cast<int>(c.days.size())) << c.name;
    EXPECT_EQ(Days(series), c.days) << c.name;
    // Every new bar replaced the stored bar of its date.
    for (const DayBar& bar : series) {
      int day = static_cast<int>(bar.open);
      bool isNew = false;
      for (const DayBar& f : c.fresh) isNew = isNew || static_cast<int>(f.open) == day;
      EXPECT_EQ(bar.close, isNew ? 2.0f : 1.0f) << c.name << " day " << day;
    }
  }
}

TEST_F(DayStoreTest, MoreThan6400BarsKeepTheNewest) {
  ASSERT_EQ(MergeDayStoreBars(store, "000003", 2, Bars(0, 6399, 1).data(), 6400), 6400);
  EXPECT_EQ(store->header.nextFreeBlock, 26u);
  ASSERT_EQ(MergeDayStoreBars(store, "000003", 2, Bars(6400, 6409, 1).data(), 10), 6400);
  auto series = Read("000003");
  ASSERT_EQ(series.size(), 6400u);
  EXPECT_EQ(series.front().open, 10.0f);
  EXPECT_EQ(series.back().open, 6409.0f);
  EXPECT_EQ(store->header.nextFreeBlock, 26u);  // still 25 blocks
  // 7,000 new bars at once: the newest 6,400.
  ASSERT_EQ(MergeDayStoreBars(store, "000004", 2, Bars(0, 6999, 1).data(), 7000), 6400);
  EXPECT_EQ(Read("000004").front().open, 600.0f);
}

TEST_F(DayStoreTest, LookupIsExactByCodeAndMarket) {
  MergeDayStoreBars(store, "000001", 2, Bars(0, 2, 1).data(), 3);
  MergeDayStoreBars(store, "000001", 3, Bars(0, 4, 3).data(), 5);
  EXPECT_EQ(FindDayStoreEntry(store, "00001", 2), -1);
  EXPECT_EQ(FindDayStoreEntry(store, "0000011", 2), -1);
  EXPECT_EQ(FindDayStoreEntry(store, "000001", 4), -1);
  EXPECT_EQ(Read("000001", 2).size(), 3u);
  EXPECT_EQ(Read("000001", 3).size(), 5u);
  EXPECT_EQ(MergeDayStoreBars(store, "", 2, Bars(0, 1, 1).data(), 2), 0);
  EXPECT_EQ(MergeDayStoreBars(store, nullptr, 2, Bars(0, 1, 1).data(), 2), 0);
  EXPECT_EQ(MergeDayStoreBars(store, "000009", 2, nullptr, 2), 0);

  // An entry of an older file (market byte 0) belongs to the home market.
  WriteDayStoreDirectory(store);
  FreeDayStore(store);
  std::string path = Path();
  auto bytes = FileBytes(path);
  bytes[24 + 7] = 0;
  ASSERT_TRUE(WriteFileUtf8Path(path.c_str(), bytes.data(), static_cast<int>(bytes.size())));
  store = Open("data\\szDay.data", 2);
  EXPECT_EQ(Read("000001", 2).size(), 3u);
}

TEST_F(DayStoreTest, FullDirectoryRefusesNewStocks) {
  DayBar one = Bar(0, 1);
  char code[8];
  for (int i = 0; i < kDayStoreUsableEntries; ++i) {
    std::snprintf(code, sizeof code, "%06d", i);
    ASSERT_EQ(MergeDayStoreBars(store, code, 2, &one, 1), 1) << i;
  }
  EXPECT_EQ(MergeDayStoreBars(store, "999999", 2, &one, 1), 0);
  EXPECT_EQ(FindDayStoreEntry(store, "999999", 2), -1);
  // A stored stock still takes new bars.
  DayBar next = Bar(1, 1);
  EXPECT_EQ(MergeDayStoreBars(store, "000007", 2, &next, 1), 2);
}

TEST_F(DayStoreTest, DamagedDirectoryReadsWithinItsBlocks) {
  MergeDayStoreBars(store, "000001", 2, Bars(0, 9, 1).data(), 10);
  WriteDayStoreDirectory(store);
  FreeDayStore(store);
  auto bytes = FileBytes(Path());
  bytes[24 + 12] = 0xFF;  // bar count 0x7FFF..FF
  bytes[24 + 15] = 0x7F;
  bytes[24 + 20] = 0x40;  // block 2 = a number never allocated
  ASSERT_TRUE(WriteFileUtf8Path(Path().c_str(), bytes.data(), static_cast<int>(bytes.size())));
  store = Open("data\\szDay.data", 2);
  EXPECT_EQ(Read("000001").size(), 256u);  // one valid block
  EXPECT_EQ(MergeDayStoreBars(store, "000001", 2, Bars(300, 300, 1).data(), 1), 257);
  EXPECT_EQ(store->header.nextFreeBlock, 3u);
}

// A merging thread and a store-and-read thread on one stock: every series
// read is whole (ascending, one bar per day, contiguous days).
TEST_F(DayStoreTest, ConcurrentMergesAndReadsSeeWholeSeries) {
  MergeDayStoreBars(store, "600000", 2, Bars(0, 399, 1).data(), 400);
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  std::thread merger([&] {
    for (int round = 0; round < 150; ++round) {
      auto fresh = Bars(round, round + 399, static_cast<float>(round));
      MergeDayStoreBars(store, "600000", 2, fresh.data(), static_cast<int>(fresh.size()));
    }
    stop = true;
  });
  std::thread reader([&] {
    int round = 0;
    while (!stop) {
      DayBar bar = Bar(600 + round % 7, 5);
      std::vector<DayBar> series;
      LockDayStore(store);
      MergeDayStoreBars(store, "600000", 2, &bar, 1);
      WriteDayStoreDirectory(store);
      ReadDayStoreBars(store, "600000", 2, &series);
      UnlockDayStore(store);
      for (size_t i = 1; i < series.size(); ++i) {
        if (!(DayBarDate(series[i - 1]) < DayBarDate(series[i]))) ++torn;
      }
      ++round;
    }
  });
  merger.join();
  reader.join();
  EXPECT_EQ(torn.load(), 0);
  auto series = Read("600000", 2);
  ASSERT_FALSE(series.empty());
  for (size_t i = 1; i < series.size(); ++i) ASSERT_LT(DayBarDate(series[i - 1]), DayBarDate(series[i]));
}

}  // namespace

// DayStore files under kills and damage: a merge killed at any point leaves
// the old or the new series, and a damaged file is refused untouched.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "foundation/tests/temp_user_folders.h"
#include "foundation/user_folders.h"
#include "marketdata/day_store.h"
#include "marketdata/history_client.h"
#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_files.h"
#include "tools/simbroker/wire_encoders.h"

namespace {

constexpr char kName[] = "data\\szDay.data";
constexpr char kChildTop[] = "ORV_DAYSTORE_CHILD_TOP";

DayBar Bar(int day, float close) {
  DayBar b{};
  b.time = simbroker::PackDateTime(2000 + day / (12 * 28), 1 + day / 28 % 12, 1 + day % 28, 15, 0);
  b.open = static_cast<float>(day);
  b.high = close + 1;
  b.low = close - 1;
  b.close = close;
  b.amount = 1000 + day;
  b.volume = 10 * day;
  return b;
}

std::vector<DayBar> Bars(int count, float close) {
  std::vector<DayBar> out;
  for (int d = 0; d < count; ++d) out.push_back(Bar(d, close));
  return out;
}

std::string Bytes(const std::string& path) {
  std::string bytes;
  ReadWholeFile(path, &bytes);
  return bytes;
}

void PutU32(std::string* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<char>(v >> (8 * i));
}

// The day-store file of one temporary per-user folder.
class DayStoreFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    folders_ = std::make_unique<TempUserFolders>("daysafety");
    ASSERT_TRUE(folders_->Ok());
    InitAppFolders();
  }
  void TearDown() override { folders_.reset(); }
  std::string Path() const { return DataRoot() + "data/szDay.data"; }
  std::string Top() const { return folders_->Top(); }

  std::unique_ptr<TempUserFolders> folders_;
};

// ------------------------------------------------------------ kill loop

// The child of the kill loop (started by CrashSafeDayStore with the folder in
// its environment; skipped otherwise): merges generation after generation
// until it is killed. Generation g rewrites the 3,000 bars of 600000 with
// close g and adds a new stock of 300 bars with close g.
TEST(CrashSafeDayStoreChild, MergesUntilKilled) {
  const char* top = getenv(kChildTop);
  if (!top) GTEST_SKIP() << "run by CrashSafeDayStore only";
  SetInstallFolderForTesting(std::string(top) + "/program/");
  SetAppDataFolderForTesting(std::string(top) + "/appdata/");
  InitAppFolders();
  DayStore* store = CreateDayStore(kDayBarSize, 2);
  if (OpenDayStore(store, kName) != 1) _exit(3);
  int generation = static_cast<int>(store->header.entriesInUse) + 1;
  if (write(STDOUT_FILENO, "ready\n", 6) != 6) _exit(4);
  for (;; ++generation) {
    std::vector<DayBar> series = Bars(3000, static_cast<float>(generation));
    LockDayStore(store);
    MergeDayStoreBars(store, "600000", 2, series.data(), 3000);
    WriteDayStoreDirectory(store);
    UnlockDayStore(store);
    char code[8];
    std::snprintf(code, sizeof code, "%06d", generation % 3000);
    MergeDayStoreBars(store, code, 2, series.data(), 300);
    WriteDayStoreDirectory(store);
    if (write(STDOUT_FILENO, "merged\n", 7) != 7) _exit(5);
  }
}

// A series is whole when every bar came from one write: days 0..n-1 in order
// and one close for all.
bool Whole(const std::vector<DayBar>& series, size_t expected) {
  if (series.size() != expected) return false;
  for (size_t i = 0; i < series.size(); ++i) {
    if (series[i].open != static_cast<float>(i) || series[i].close != series[0].close) return false;
  }
  return true;
}

class CrashSafeDayStore : public DayStoreFolder {
 protected:
  // Starts the child; its standard output is read through *out.
  pid_t StartChild(int* out) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    std::string top = Top();
    pid_t pid = fork();
    if (pid == 0) {
      dup2(pipeFds[1], STDOUT_FILENO);
      setenv(kChildTop, top.c_str(), 1);
      execl("/proc/self/exe", "day-store-child", "--gtest_filter=CrashSafeDayStoreChild.MergesUntilKilled",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipeFds[1]);
    *out = pipeFds[0];
    return pid;
  }
  // True when the child said "ready" and then "merged" `merges` times,
  // within a generous bound.
  static bool WaitFor(int fd, int merges) {
    std::string got;
    auto done = [&] {
      if (got.find("ready\n") == std::string::npos) return false;
      int seen = 0;
      for (size_t at = got.find("merged\n"); at != std::string::npos; at = got.find("merged\n", at + 1)) ++seen;
      return seen >= merges;
    };
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char chunk[256];
      ssize_t n = read(fd, chunk, sizeof chunk);
      if (n <= 0) return false;
      got.append(chunk, static_cast<size_t>(n));
    }
    return done();
  }
};

TEST_F(CrashSafeDayStore, KilledMergesLeaveOldOrNewSeries) {
  std::mt19937 random(20261210);
  // The kill points spread over about two generations of the child. The
  // first round lets two whole generations through and measures one, so the
  // spread fits a slow or loaded machine and the loop always has data to
  // check.
  int spreadUs = 40000;
  int merged = 0;
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    int out = -1;
    const auto started = std::chrono::steady_clock::now();
    pid_t child = StartChild(&out);
    ASSERT_GT(child, 0);
    bool ready = WaitFor(out, round == 0 ? 2 : 0);
    if (round == 0 && ready) {
      const auto us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
      spreadUs = std::max(spreadUs, static_cast<int>(std::min<long long>(us.count(), 5000000)));
    }
    if (ready && round > 0) {
      std::uniform_int_distribution<int> killAfterUs(0, spreadUs);
      usleep(static_cast<useconds_t>(killAfterUs(random)));  // the random kill point
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(out);
    ASSERT_TRUE(ready) << "the child did not start";

    DayStore* store = CreateDayStore(kDayBarSize, 2);
    ASSERT_EQ(1, OpenDayStore(store, kName)) << "every reopen passes validation";
    for (int at = 0; at < kDayStoreEntries; ++at) {
      const DayStoreEntry& e = store->directory[at];
      if (e.code[0] == 0) continue;
      std::vector<DayBar> series;
      ReadDayStoreBars(store, e.code, 2, &series);
      bool big = std::string(e.code) == "600000";
      EXPECT_TRUE(Whole(series, big ? 3000 : 300)) << e.code << ": a mixed or short series";
      if (big && !series.empty()) merged = static_cast<int>(series[0].close);
    }
    FreeDayStore(store);
  }
  EXPECT_GT(merged, 1) << "the children got through several merges";
  EXPECT_FALSE(FileExists(Path() + ".journal")) << "the last open completed or dropped the journal";
}

// ------------------------------------------------------------ damaged files

class DamagedDayStore : public DayStoreFolder {
 protected:
  void SetUp() override {
    DayStoreFolder::SetUp();
    DayStore* store = CreateDayStore(kDayBarSize, 2);
    ASSERT_EQ(1, OpenDayStore(store, kName));
    std::vector<DayBar> bars = Bars(300, 1);
    ASSERT_EQ(300, MergeDayStoreBars(store, "000001", 2, bars.data(), 300));
    ASSERT_EQ(300, MergeDayStoreBars(store, "000002", 2, bars.data(), 300));
    ASSERT_EQ(1, WriteDayStoreDirectory(store));
    FreeDayStore(store);
    good_ = Bytes(Path());
    ASSERT_EQ(static_cast<size_t>(kDayStoreDataOffset + 4 * kDayStoreBlockBytes), good_.size());
  }
  std::string good_;  // two stocks of two blocks each; next free block 5
};

TEST_F(DamagedDayStore, DamagedFilesAreRefusedWithoutAByteWritten) {
  constexpr size_t kEntry2 = kDayStoreHeaderSize + kDayStoreEntrySize;  // the second stock's entry
  struct Case {
    const char* what;
    void (*damage)(std::string*);
  } const cases[] = {
      {"wrong magic", [](std::string* b) { (*b)[0] = 34; }},
      {"wrong version", [](std::string* b) { (*b)[2] = 0; }},
      {"next free block 0", [](std::string* b) { PutU32(b, 20, 0); }},
      {"next free block 2^26", [](std::string* b) { PutU32(b, 20, 1u << 26); }},
      {"next free block near 2^32", [](std::string* b) { PutU32(b, 20, 0xFFFFFFF0u); }},
      {"next free block past the end of the file", [](std::string* b) { PutU32(b, 20, 6); }},
      {"garbage entries in use", [](std::string* b) { PutU32(b, 12, 0x7FFFFFF0u); }},
      {"entries in use below the directory", [](std::string* b) { PutU32(b, 12, 1); }},
      {"a block owned by two stocks", [](std::string* b) { PutU32(b, kEntry2 + 16, 1); }},
      {"shorter than the directory", [](std::string* b) { b->resize(1000); }},
      {"empty", [](std::string* b) { b->clear(); }},
      {"garbage",
       [](std::string* b) {
         std::mt19937 random(7);
         for (char& c : *b) c = static_cast<char>(random());
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string bytes = good_;
    c.damage(&bytes);
    ASSERT_TRUE(WriteWholeFile(Path(), bytes.data(), bytes.size()));
    DayStore* store = CreateDayStore(kDayBarSize, 2);
    DebugCapture capture;
    EXPECT_EQ(kDayStoreRefused, OpenDayStore(store, kName));
    EXPECT_TRUE(capture.Contains("refused")) << capture.Text();
    std::vector<DayBar> bars = Bars(10, 2);
    EXPECT_EQ(0, MergeDayStoreBars(store, "000003", 2, bars.data(), 10)) << "a refused store takes no writes";
    EXPECT_EQ(0, WriteDayStoreDirectory(store));
    FreeDayStore(store);
    EXPECT_TRUE(Bytes(Path()) == bytes) << "not a byte written";
    EXPECT_FALSE(FileExists(Path() + ".journal"));
  }
}

TEST_F(DamagedDayStore, TheProgramMovesARefusedStoreAsideAndStartsAnew) {
  std::string bytes = good_;
  PutU32(&bytes, 20, 1u << 26);
  ASSERT_TRUE(WriteWholeFile(Path(), bytes.data(), bytes.size()));
  HistoryClient* client = CreateHistoryClient();
  ASSERT_NE(nullptr, client);
  DayStore* store = HistoryStoreFor(client, 2);
  EXPECT_EQ(-1, FindDayStoreEntry(store, "000001", 2));
  std::vector<DayBar> bars = Bars(300, 3);
  EXPECT_EQ(300, MergeDayStoreBars(store, "600000", 2, bars.data(), 300));
  EXPECT_EQ(1, WriteDayStoreDirectory(store));
  std::vector<DayBar> back;
  EXPECT_EQ(300, ReadDayStoreBars(store, "600000", 2, &back));
  EXPECT_EQ(1u, store->header.entriesInUse);
  EXPECT_EQ(3u, store->header.nextFreeBlock);
  FreeHistoryClient(client);
  EXPECT_TRUE(Bytes(Path() + ".bad") == bytes) << "the refused file is kept aside as it was";
  EXPECT_EQ(kDayStoreDataOffset + 2 * kDayStoreBlockBytes, GetFileSizeOf(Path()));
}

// A journal that was never committed whole is dropped; a whole one is
// completed into the file at the next open.
TEST_F(DamagedDayStore, OpenCompletesAWholeJournalAndDropsAPartOne) {
  // A merge whose in-place writes are lost: the file as it was before, the
  // journal as the merge committed it.
  DayStore* store = CreateDayStore(kDayBarSize, 2);
  ASSERT_EQ(1, OpenDayStore(store, kName));
  std::vector<DayBar> bars = Bars(600, 9);
  {
    // Keep the journal: make the file read-only for the in-place writes by
    // reopening it without write access.
    int readOnly = open(Path().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(readOnly, 0);
    int writable = store->fd;
    store->fd = readOnly;
    EXPECT_EQ(600, MergeDayStoreBars(store, "000001", 2, bars.data(), 600));
    store->fd = writable;
    close(readOnly);
  }
  FreeDayStore(store);
  ASSERT_TRUE(FileExists(Path() + ".journal"));
  EXPECT_TRUE(Bytes(Path()) == good_) << "nothing reached the file";
  std::string journal = Bytes(Path() + ".journal");

  // Cut short or damaged: dropped, the old series stays.
  for (size_t cut : {journal.size() - 1, journal.size() / 2, size_t{3}}) {
    ASSERT_TRUE(WriteWholeFile(Path() + ".journal", journal.data(), cut));
    store = CreateDayStore(kDayBarSize, 2);
    ASSERT_EQ(1, OpenDayStore(store, kName));
    std::vector<DayBar> series;
    EXPECT_EQ(300, ReadDayStoreBars(store, "000001", 2, &series)) << cut;
    EXPECT_FALSE(FileExists(Path() + ".journal"));
    FreeDayStore(store);
    EXPECT_TRUE(Bytes(Path()) == good_);
  }

  // Whole: completed.
  ASSERT_TRUE(WriteWholeFile(Path() + ".journal", journal.data(), journal.size()));
  store = CreateDayStore(kDayBarSize, 2);
  ASSERT_EQ(1, OpenDayStore(store, kName));
  std::vector<DayBar> series;
  ASSERT_EQ(600, ReadDayStoreBars(store, "000001", 2, &series));
  EXPECT_TRUE(Whole(series, 600));
  EXPECT_EQ(9.0f, series[0].close);
  ASSERT_EQ(300, ReadDayStoreBars(store, "000002", 2, &series));
  EXPECT_FALSE(FileExists(Path() + ".journal"));
  FreeDayStore(store);
}

}  // namespace

// The stores against their budgets. Each benchmark works in a temporary data
// root and reports its time per iteration in milliseconds; the budget of
// each is in its name.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/user_folders.h"
#include "marketdata/code_dictionary.h"
#include "marketdata/day_store.h"
#include "marketdata/history_client.h"
#include "platform/kernel/kernel_files.h"

namespace {

class TempRoot {
 public:
  TempRoot() {
    char pattern[] = "/tmp/orv-stores-bench-XXXXXX";
    top_ = mkdtemp(pattern) ? pattern : "/tmp";
    CreateFolderTree(top_ + "/program/res");
    CreateFolderTree(top_ + "/appdata");
    SetInstallFolderForTesting(top_ + "/program/");
    SetAppDataFolderForTesting(top_ + "/appdata/");
    InitAppFolders();
  }
  ~TempRoot() {
    SetInstallFolderForTesting("");
    SetAppDataFolderForTesting("");
    DeleteFolderTree(top_);
  }
  const std::string& Top() const { return top_; }

 private:
  std::string top_;
};

uint32_t Packed(int day) {
  const int year = 2020 + day / 336, month = 1 + day / 28 % 12, dom = 1 + day % 28;
  return static_cast<uint32_t>(year << 20 | month << 16 | dom << 11 | 15 << 6);
}

std::vector<DayBar> Series(int first, int count, float base) {
  std::vector<DayBar> bars(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    DayBar& b = bars[static_cast<size_t>(i)];
    b.time = Packed(first + i);
    b.open = b.high = b.low = b.close = base + static_cast<float>(i % 50) * 0.01f;
    b.amount = 1000000 + i;
    b.volume = 10000 + i;
  }
  return bars;
}

void DictionaryApply30000Under1s(benchmark::State& state) {
  TempRoot root;
  sqlite3* db = nullptr;
  sqlite3_open((root.Top() + "/pellune.db").c_str(), &db);
  sqlite3_exec(db, kDictionaryTableSchema, nullptr, nullptr, nullptr);
  SetDictionaryDatabase(db);
  std::vector<unsigned char> records(30000 * kDictionaryRecordSize, 0);
  for (int i = 0; i < 30000; ++i) {
    unsigned char* r = &records[static_cast<size_t>(i) * kDictionaryRecordSize];
    r[0] = 1;
    r[1] = static_cast<unsigned char>(1 + i % 2);
    r[2] = 2;
    char text[32];
    std::snprintf(text, sizeof text, "%06d", i / 2);
    std::memcpy(r + 3, text, 6);
    std::snprintf(text, sizeof text, "股票名称%d", i);
    std::memcpy(r + 9, text, std::strlen(text) < 24 ? std::strlen(text) : 24);
    std::memcpy(r + 33, "GPMC", 4);
  }
  for (auto _ : state) {
    if (!ApplyDictionaryUpdates(records.data(), static_cast<int>(records.size()))) state.SkipWithError("apply failed");
  }
  SetDictionaryDatabase(nullptr);
  sqlite3_close(db);
}
BENCHMARK(DictionaryApply30000Under1s)->Unit(benchmark::kMillisecond)->Iterations(5);

void StoreAndRead730Under5ms(benchmark::State& state) {
  TempRoot root;
  HistoryClient* client = CreateHistoryClient();
  for (int i = 0; i < 2000; ++i) {  // a store that already holds many stocks
    char code[8];
    std::snprintf(code, sizeof code, "6%05d", i);
    auto bars = Series(0, 730, 10);
    MergeDayStoreBars(client->shStore, code, 1, bars.data(), 730);
  }
  auto area = std::make_unique<KLineArea>();
  auto bars = Series(0, 730, 20);
  for (auto _ : state) {
    StoreHistoryBars(client, "600519", 1, bars.data(), 730, area.get());
    benchmark::DoNotOptimize(area->barCount);
  }
  FreeHistoryClient(client);
}
BENCHMARK(StoreAndRead730Under5ms)->Unit(benchmark::kMillisecond);

void DownloadMerge4000x730Under10s(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TempRoot root;
    HistoryClient* client = CreateHistoryClient();
    auto bars = Series(0, 730, 10);
    state.ResumeTiming();
    for (int i = 0; i < 4000; ++i) {
      const int market = i % 2 ? 2 : 1;
      char code[8];
      std::snprintf(code, sizeof code, market == 1 ? "6%05d" : "0%05d", i / 2);
      MergeDayStoreBars(HistoryStoreFor(client, market), code, market, bars.data(), 730);
    }
    WriteDayStoreDirectory(client->shStore);
    WriteDayStoreDirectory(client->szStore);
    state.PauseTiming();
    FreeHistoryClient(client);
    state.ResumeTiming();
  }
}
BENCHMARK(DownloadMerge4000x730Under10s)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();

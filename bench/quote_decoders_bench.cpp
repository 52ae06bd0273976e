// Decoding speed of the quote-list replies: a type-32 reply of 1,000
// records x 57 ids and a type-42 page of 5,000 records x 22 ids, both built
// by the simulated server. The reference is a memcpy of the same body (the
// least any decoder must do). Reports ns per record and bytes per second;
// the budget for the type-32 reply is 2 ms.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "marketdata/quote_list_decoders.h"
#include "marketdata/sorted_list_decoders.h"
#include "tools/simbroker/quote_list_replies.h"

namespace {

using simbroker::Bytes;

// The 57 ids of the quote-list pages.
const std::vector<int> kIds57 = {0,    8,    34,   35,   9,    37,   5,    6,    7,    4,    1015, 38,   40,   41,   11,
                                 10,   33,   13,   12,   32,   36,   800,  5043, 5047, 2041, 5006, 5009, 2042, 5011, 5014,
                                 5025, 5026, 5029, 879,  855,  861,  867,  873,  5079, 5082, 5085, 5005, 5080, 5083, 5086,
                                 5010, 809,  810,  811,  5073, 5074, 5001, 852,  858,  864,  870,  5500};

struct Replies {
  Bytes list32;   // 1,000 records x 57 ids
  Bytes page42;   // 5,000 records x 22 ids
};

const Replies& Bodies() {
  static const Replies replies = [] {
    Replies r;
    simbroker::MarketData data(5);
    data.AddStocks(simbroker::SyntheticStocks(5000, 5));
    data.Step();
    const std::vector<simbroker::SimStock> all = data.All();
    simbroker::JournalEntry list;
    list.type = 32;
    list.parsed.fieldIds = kIds57;
    for (size_t i = 0; i < 1000; ++i) list.parsed.stocks.emplace_back(all[i].code, all[i].market);
    simbroker::BuildStockListReply(data, list, 1, &r.list32);
    simbroker::JournalEntry page;
    page.type = 42;
    page.parsed.numbers = {0, 0, 5000, 34, 0};
    page.parsed.fieldIds.assign(kIds57.begin(), kIds57.begin() + 22);
    simbroker::BuildCategoryListReply(data, page, 1, &r.page42);
    return r;
  }();
  return replies;
}

void Report(benchmark::State& state, const Bytes& body, int records) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(body.size()));
  // Seconds per record (shown with its "n" prefix: nanoseconds).
  state.counters["per_record"] = benchmark::Counter(
      records, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_StockList32_1000x57(benchmark::State& state) {
  const Bytes& body = Bodies().list32;
  QuoteListArea area{};
  area.list.records = NewQuoteRecords(1000);
  area.list.capacity = 1000;
  for (auto _ : state) {
    ReplyReader reader(body.data(), static_cast<int>(body.size()));
    DecodeStockListQuotes(&area, &reader, 1);
    benchmark::DoNotOptimize(area.list.records);
  }
  if (area.recordsHeld != 1000) state.SkipWithError("not every record decoded");
  ReleaseQuoteListArea(&area);
  Report(state, body, 1000);
}

void BM_CategoryPage42_5000x22(benchmark::State& state) {
  const Bytes& body = Bodies().page42;
  SortedQuoteListArea area{};
  for (auto _ : state) {
    ReplyReader reader(body.data(), static_cast<int>(body.size()));
    DecodeCategoryQuoteList(&area, &reader);
    benchmark::DoNotOptimize(area.list.records);
  }
  if (area.recordsHeld != 5000) state.SkipWithError("not every record decoded");
  ReleaseSortedQuoteListArea(&area);
  Report(state, body, 5000);
}

void BM_Reference_Memcpy32(benchmark::State& state) {
  const Bytes& body = Bodies().list32;
  std::vector<unsigned char> copy(body.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), body.data(), body.size());
    benchmark::DoNotOptimize(copy.data());
  }
  Report(state, body, 1000);
}

void BM_Reference_Memcpy42(benchmark::State& state) {
  const Bytes& body = Bodies().page42;
  std::vector<unsigned char> copy(body.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), body.data(), body.size());
    benchmark::DoNotOptimize(copy.data());
  }
  Report(state, body, 5000);
}

}  // namespace

BENCHMARK(BM_StockList32_1000x57)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reference_Memcpy32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CategoryPage42_5000x22)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reference_Memcpy42)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();

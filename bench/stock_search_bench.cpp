// The keyboard search over a temporary dictionary of the delivered schema
// with 30,000 rows (markets 1 and 2, types 1-3, six-character codes,
// four-letter initials, names of 4-8 characters):
//   search/<text>  FindStockRows for one typed text;
//   dialog/<text>  the same through an offscreen search dialog, whose result
//                  list is emptied and refilled;
//   scan           the reference: one plain scan of the table reading all
//                  five columns of every row.
// After the runs prints each text's time, its ratio to the scan and the goal.
#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "marketdata/code_dictionary.h"
#include "platform/window/win_desktop.h"
#include "stockpage/find_stock_view.h"

namespace {

const char* const kTexts[] = {"6", "60", "600", "P", "PA", "Q7"};

struct Scene {
  std::filesystem::path file;
  sqlite3* db = nullptr;
  TestDesktop desk;
  CWnd frame;
  CFindStockView dialog;

  Scene() {
    file = std::filesystem::temp_directory_path() / ("orv-stock-search-" + std::to_string(::getpid()) + ".db");
    std::filesystem::remove(file);
    sqlite3_open(file.string().c_str(), &db);
    sqlite3_exec(db, kDictionaryTableSchema, nullptr, nullptr, nullptr);
    Fill();
    frame.CreateEx(0, nullptr, u"bench", WS_POPUP, CRect(0, 0, 800, 600), nullptr, 0);
    dialog.CreateWizard(&frame);
    dialog.MoveWindow(560, 360, 240, 240);
    dialog.SetDatabase(db);
    desk.RunUntilIdle();
  }
  ~Scene() {
    dialog.DestroyWindow();
    frame.DestroyWindow();
    sqlite3_close(db);
    std::filesystem::remove(file);
  }
  void Fill() {
    static const char* const kSyllables[] = {"浦", "发", "银", "行", "中", "国", "平", "安", "华", "电",
                                             "科", "技", "能", "源", "医", "药", "汽", "车", "地", "产"};
    // First codes of each (market, type): indices, stocks, funds.
    static const int kFirst[2][3] = {{0, 600000, 510000}, {399000, 1, 150000}};
    int next[2][3] = {};
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "insert into qdic values (?1, ?2, ?3, ?4, ?5)", -1, &s, nullptr);
    uint32_t seed = 7;
    auto random = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    for (int i = 0; i < 30000; ++i) {
      const int market = 1 + (i & 1);
      const int type = (i % 50 == 0) ? 1 : (i % 7 == 0 ? 3 : 2);
      const int n = next[market - 1][type - 1]++;
      char code[8];
      if (market == 1 && type == 1)
        std::snprintf(code, sizeof code, "1A%04d", n);
      else
        std::snprintf(code, sizeof code, "%06d", kFirst[market - 1][type - 1] + n);
      std::string name;
      const int length = 4 + static_cast<int>(random() % 5);
      for (int k = 0; k < length; ++k) name += kSyllables[random() % 20];
      char abb[5];
      for (int k = 0; k < 4; ++k) abb[k] = static_cast<char>('A' + random() % 26);
      abb[4] = 0;
      sqlite3_bind_int(s, 1, market);
      sqlite3_bind_int(s, 2, type);
      sqlite3_bind_text(s, 3, code, -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(s, 4, name.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(s, 5, abb, -1, SQLITE_TRANSIENT);
      sqlite3_step(s);
      sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
  }
};

Scene* g_scene = nullptr;

void BM_Scan(benchmark::State& state) {
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(g_scene->db, "select code, name, abb, marketid, type from qdic", -1, &s, nullptr);
  for (auto _ : state) {
    size_t bytes = 0;
    while (sqlite3_step(s) == SQLITE_ROW)
      for (int c = 0; c < 5; ++c) bytes += static_cast<size_t>(sqlite3_column_bytes(s, c)) + (sqlite3_column_text(s, c) != nullptr);
    sqlite3_reset(s);
    benchmark::DoNotOptimize(bytes);
  }
  sqlite3_finalize(s);
}

void BM_Search(benchmark::State& state, const char* text) {
  size_t rows = 0;
  for (auto _ : state) {
    auto found = FindStockRows(g_scene->db, text);
    rows = found.size();
    benchmark::DoNotOptimize(found.data());
  }
  state.counters["rows"] = static_cast<double>(rows);
}

void BM_Dialog(benchmark::State& state, const char* text) {
  std::u16string wide(text, text + std::strlen(text));
  for (auto _ : state) {
    g_scene->dialog.SetSearchText(wide.c_str());  // the edit's change runs the search
  }
  state.counters["rows"] = static_cast<double>(g_scene->dialog.Rows().size());
}

class Collect : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> us;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) us[r.benchmark_name()] = r.GetAdjustedRealTime();
  }
};

}  // namespace

int main(int argc, char** argv) {
  Scene scene;
  g_scene = &scene;
  benchmark::RegisterBenchmark("scan", BM_Scan)->Unit(benchmark::kMicrosecond);
  for (const char* t : kTexts) {
    benchmark::RegisterBenchmark((std::string("search/") + t).c_str(), BM_Search, t)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((std::string("dialog/") + t).c_str(), BM_Dialog, t)->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  Collect collect;
  benchmark::RunSpecifiedBenchmarks(&collect);
  const double scan = collect.us["scan"];
  std::printf("plain scan of 30,000 rows: %.1f us\n", scan);
  for (const char* t : kTexts) {
    const double search = collect.us[std::string("search/") + t];
    const double dialog = collect.us[std::string("dialog/") + t];
    std::printf("  %-3s search %8.1f us (%.2fx scan)   with the list %8.1f us (%.2fx scan)\n", t, search,
                scan > 0 ? search / scan : 0, dialog, scan > 0 ? dialog / scan : 0);
  }
  std::printf("goal: one keystroke < 5 ms\n");
  g_scene = nullptr;
  return 0;
}

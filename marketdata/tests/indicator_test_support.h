// Shared fixtures of the indicator tests: zero-filled areas on the heap and
// a reader of the golden CSV files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "marketdata/day_bar.h"
#include "marketdata/indicator_workspace.h"
#include "marketdata/minute_decoders.h"
#include "marketdata/minute_indicators.h"

namespace indicator_test {

struct WorkspaceDeleter {
  void operator()(IndicatorWorkspace* w) const { FreeIndicatorWorkspace(w); }
  void operator()(MinuteIndicatorWorkspace* w) const { FreeMinuteIndicatorWorkspace(w); }
};
using Workspace = std::unique_ptr<IndicatorWorkspace, WorkspaceDeleter>;
using MinuteWorkspace = std::unique_ptr<MinuteIndicatorWorkspace, WorkspaceDeleter>;

inline std::unique_ptr<KLineArea> NewArea() { return std::make_unique<KLineArea>(); }
inline std::unique_ptr<MinuteArea> NewMinuteArea() { return std::make_unique<MinuteArea>(); }

// Bars with open = high = low = close = the given price; first 0.
inline std::unique_ptr<KLineArea> AreaOfCloses(const std::vector<float>& closes, int first = 0) {
  auto area = NewArea();
  for (size_t i = 0; i < closes.size(); ++i) {
    DayBar& b = area->bars[i];
    b.open = b.high = b.low = b.close = closes[i];
    b.volume = 1000;
    b.amount = 10000;
  }
  area->end = static_cast<int>(closes.size());
  area->first = first;
  area->barCount = area->end - first;
  return area;
}

// One golden file: lines "tag,fields..." split at commas.
struct GoldenFile {
  std::vector<std::vector<std::string>> lines;
  std::vector<std::string> columns;  // of the "cols" line

  // Lines with this tag, without the tag.
  std::vector<std::vector<std::string>> Tagged(const std::string& tag) const;
};

// Reads marketdata/tests/golden/indicators/<name>.csv; empty lines on error.
GoldenFile ReadGolden(const std::string& name);

// The 8,000-bar case: bars, 512 level-2 and 512 supplement records and the
// share base from the 64-bit LCG of the golden script (BigBars).
void FillBigArea(KLineArea* area);

}  // namespace indicator_test

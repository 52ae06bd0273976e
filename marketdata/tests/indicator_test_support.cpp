#include "marketdata/tests/indicator_test_support.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace indicator_test {

std::vector<std::vector<std::string>> GoldenFile::Tagged(const std::string& tag) const {
  std::vector<std::vector<std::string>> out;
  for (const auto& line : lines)
    if (!line.empty() && line[0] == tag) out.emplace_back(line.begin() + 1, line.end());
  return out;
}

GoldenFile ReadGolden(const std::string& name) {
  GoldenFile golden;
  std::ifstream in(std::string(ORV_SOURCE_DIR) + "/marketdata/tests/golden/indicators/" + name + ".csv");
  std::string text;
  while (std::getline(in, text)) {
    if (text.empty() || text[0] == '#') continue;
    std::vector<std::string> fields;
    std::stringstream line(text);
    std::string field;
    while (std::getline(line, field, ',')) fields.push_back(field);
    if (!fields.empty() && fields[0] == "cols") golden.columns.assign(fields.begin() + 1, fields.end());
    golden.lines.push_back(std::move(fields));
  }
  return golden;
}

namespace {
struct Lcg {
  uint64_t s;
  int64_t Next() {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int64_t>(s >> 33);
  }
};
}  // namespace

void FillBigArea(KLineArea* area) {
  Lcg g{20240611};
  int64_t close = 1000;
  for (int i = 0; i < 8000; ++i) {
    close = std::max<int64_t>(1, close + g.Next() % 41 - 20);
    const int64_t open = std::max<int64_t>(1, close + g.Next() % 21 - 10);
    const int64_t high = std::max(open, close) + g.Next() % 15;
    const int64_t low = std::max<int64_t>(0, std::min(open, close) - g.Next() % 15);
    const int64_t volume = g.Next() % 100000;
    DayBar& b = area->bars[i];
    if (i % 1000 == 999) {
      b = DayBar{};
      continue;
    }
    b.open = static_cast<float>(open / 100.0);
    b.high = static_cast<float>(high / 100.0);
    b.low = static_cast<float>(low / 100.0);
    b.close = static_cast<float>(close / 100.0);
    b.volume = volume;
    b.amount = volume * close;
  }
  for (int k = 0; k < 512; ++k)
    for (int v = 0; v < 10; ++v) area->level2Records[k].values[v] = g.Next() % 200001 - 100000;
  for (int k = 0; k < 512; ++k) area->supplementRecords[k].values[2] = g.Next() % 500;
  area->level2Values[0] = 123456789;
  area->level2Count = 512;
  area->supplementCount = 512;
  area->end = 8000;
  area->first = 100;
  area->barCount = 7900;
}

}  // namespace indicator_test

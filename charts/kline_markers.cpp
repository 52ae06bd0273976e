#include "charts/kline_markers.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "charts/kline_chart.h"
#include "charts/kline_rel_data.h"
#include "foundation/number_codecs.h"
#include "marketdata/day_bar.h"
#include "marketdata/quote_areas.h"

namespace {

constexpr int kLeftEdge = 72;

// Copies a zero-terminated text into a field, cut at size - 1 bytes on a
// UTF-8 character boundary.
void CopyField(char* dst, size_t size, const char* src) {
  size_t n = strnlen(src, size - 1);
  if (n == size - 1 && src[n] != '\0') {
    while (n > 0 && (static_cast<unsigned char>(src[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

int DateNumber(const char* text) { return std::atoi(text); }

// The integer date of the bar at absolute index i: the number that
// FormatKLineBarDate prints (YYYYMMDD for the day periods, MMDDhhmm for the
// minute periods, 0 otherwise), without formatting text.
int BarDate(const KLineChart* c, int i) {
  const int period = c->bars->period;
  const long long v = DecodePackedDateTime(c->bars->bars[i].time);  // YYYYMMDDhhmm00
  if (period == 33 || period == 39 || period == 40 || period == 41) return static_cast<int>(v / 1000000);
  if (period >= 34 && period <= 38) return static_cast<int>(v / 100 % 100000000);
  return 0;
}

// The dates of bars from .. end - 1, computed once per layout.
std::vector<int> BarDates(const KLineChart* c, int from, int end) {
  std::vector<int> dates;
  if (end > from) dates.reserve(static_cast<size_t>(end - from));
  for (int i = from; i < end; ++i) dates.push_back(BarDate(c, i));
  return dates;
}

bool HasBars(const KLineChart* c) { return c && c->bars && KLineBarCount(c) > 0; }

int BarEnd(const KLineChart* c) { return KLineFirstValid(c) + KLineBarCount(c); }

// The bar's centre x; 72 for the first visible bar.
int MarkX(const KLineChart* c, int i) {
  return i == c->firstVisible ? kLeftEdge : KLineBarCentreX(c, i - c->firstVisible);
}

bool RisingBar(const KLineChart* c, int i) {
  const DayBar& b = c->bars->bars[i];
  if (b.close > b.open) return true;
  if (b.close != b.open) return false;
  const float previous = i > KLineFirstValid(c) ? c->bars->bars[i - 1].close : b.open;
  return b.close >= previous;
}

int ClampInt(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

void ClampRectX(ChartRect* r, int lo, int hi) {
  r->left = ClampInt(r->left, lo, std::max(lo, hi));
  r->right = ClampInt(r->right, lo, std::max(lo, hi));
}

double CellValue(const FundCell& cell) { return std::atof(cell.text); }

}  // namespace

void SetKLineNewsMarks(KLineChart* c, const NewsListArea* news) {
  if (!c) return;
  std::free(c->newsMarks);
  c->newsMarks = nullptr;
  c->newsMarkCount = 0;
  c->newsList = news;
  const int count = news && news->records ? std::max(news->recordCount, 0) : 0;
  if (count > 0) {
    c->newsMarks = static_cast<NewsMark*>(std::calloc(static_cast<size_t>(count), sizeof(NewsMark)));
    if (!c->newsMarks) return;
    c->newsMarkCount = count;
  }
  for (int i = 0; i < count; ++i) {
    NewsMark& m = c->newsMarks[i];
    const NewsRecord& item = news->records[i];
    CopyField(m.title, sizeof m.title, item.title);
    int n = 0;
    for (int k = 0; k < 10 && item.pubTime[k] != '\0'; ++k)
      if (item.pubTime[k] != '-' && n < static_cast<int>(sizeof m.date) - 1) m.date[n++] = item.pubTime[k];
    m.date[n] = '\0';
    m.visible = 1;
    int sameDay = 1;
    for (int j = 0; j < i; ++j) {
      if (std::strcmp(c->newsMarks[j].date, m.date) != 0) continue;
      c->newsMarks[j].visible = 0;
      ++sameDay;
    }
    m.sameDayIndex = sameDay;
  }
  LayoutKLineChart(c);
  LayoutKLineNewsMarks(c);
}

void LayoutKLineNewsMarks(KLineChart* c) {
  if (!HasBars(c) || !c->newsList || !c->newsMarks) return;
  const int end = BarEnd(c);
  const int from = std::max(c->firstVisible, KLineFirstValid(c));
  // The first bar of each date from `from` on.
  std::unordered_map<int, int> firstOfDate;
  const std::vector<int> dates = BarDates(c, from, end);
  for (int k = static_cast<int>(dates.size()) - 1; k >= 0; --k) firstOfDate[dates[static_cast<size_t>(k)]] = from + k;
  for (int m = 0; m < c->newsMarkCount; ++m) {
    NewsMark& mark = c->newsMarks[m];
    const auto found = firstOfDate.find(DateNumber(mark.date));
    int x = found == firstOfDate.end() ? 0 : KLineBarCentreX(c, found->second - c->firstVisible);
    if (x - 5 < kLeftEdge) x = 67;
    if (x + 5 > c->topStripRect.right) x = c->topStripRect.right + 5;
    mark.rect = {x - 5, 20, x + 5, 30};
  }
}

void SetKLineRatingMarks(KLineChart* c) {
  if (!c) return;
  std::free(c->ratingMarks);
  c->ratingMarks = nullptr;
  const int count = c->ratingItems ? std::max(c->ratingCount, 0) : 0;
  if (count > 0) {
    c->ratingMarks = static_cast<RatingMark*>(std::calloc(static_cast<size_t>(count), sizeof(RatingMark)));
    if (!c->ratingMarks) {
      c->ratingCount = 0;
      return;
    }
  }
  for (int i = 0; i < count; ++i) {
    RatingMark& m = c->ratingMarks[i];
    const KLineRatingRow& item = c->ratingItems[i];
    m.kind = item.ratingSide;
    CopyField(m.date, sizeof m.date, item.pubDate);
    m.visible = 1;
    int same = 1;
    for (int j = 0; j < i; ++j) {
      RatingMark& earlier = c->ratingMarks[j];
      if (earlier.kind != m.kind || std::strcmp(earlier.date, m.date) != 0) continue;
      earlier.visible = 0;
      ++same;
    }
    std::snprintf(m.countText, sizeof m.countText, "%d", same);
  }
  LayoutKLineChart(c);
  LayoutKLineRatingMarks(c);
}

void LayoutKLineRatingMarks(KLineChart* c) {
  if (!HasBars(c) || !c->ratingItems || !c->ratingMarks || c->ratingCount <= 0) return;
  constexpr int kStem = 30, kShortestStem = 20, kGap = 10, kArrow = 6, kLabelWidth = 50, kLabelHeight = 18;
  const int first = std::max(c->firstVisible, KLineFirstValid(c));
  const int last = std::min(BarEnd(c), c->firstVisible + GetKLineVisibleCount(c));
  const int top = c->mainTop, bottom = c->mainTop + c->mainHeight;
  const std::vector<int> dates = BarDates(c, first, last);
  for (int m = 0; m < c->ratingCount; ++m) {
    RatingMark& mark = c->ratingMarks[m];
    const bool above = mark.kind == 1;
    const int date = DateNumber(mark.date);
    int x = 0, y = 0;
    for (int i = first; i < last; ++i) {
      if (dates[static_cast<size_t>(i - first)] != date) continue;
      x = MarkX(c, i);
      const bool rising = RisingBar(c, i);
      const KLineWick* wicks = rising ? c->upWicks : c->downWicks;
      const int n = rising ? c->upCount : c->downCount;
      for (int k = 0; k < n; ++k) {
        if (wicks[k].x != x) continue;
        y = above ? wicks[k].yHigh - kGap : wicks[k].yLow + kGap;
        break;
      }
      break;
    }
    // Keep the flag inside the main pane, shortening the stem to at least 20.
    int stem = kStem;
    if (above) {
      const int e = y - kStem - kGap;
      if (e < top) {
        const int o = top - e;
        if (o <= 10) {
          y += o;
        } else if (o <= 20) {
          stem = 40 - o;
          y += o;
        } else {
          stem = kShortestStem;
          y = top + kShortestStem;
        }
      }
    } else {
      const int e = y + kStem + kGap;
      if (e > bottom) {
        const int o = e - bottom;
        if (o <= 10) {
          y -= o;
        } else if (o <= 20) {
          stem = 40 - o;
          y -= o;
        } else {
          stem = kShortestStem;
          y = bottom - kShortestStem;
        }
      }
    }
    if (x - 3 < kLeftEdge) x = 69;
    if (x + 3 > c->topStripRect.right) x = c->topStripRect.right + 3;
    const int baseY = above ? y - kArrow : y + kArrow;
    mark.arrow[0] = {x, y};
    mark.arrow[1] = {x - 3, baseY};
    mark.arrow[2] = {x + 3, baseY};
    if (above) {
      mark.stemRect = {x - 1, baseY + kArrow - stem, x + 2, baseY};
      mark.labelRect = {x + 2, mark.stemRect.top, x + 2 + kLabelWidth, mark.stemRect.top + kLabelHeight};
    } else {
      mark.stemRect = {x - 1, baseY, x + 2, baseY + stem - kArrow};
      mark.labelRect = {x + 2, mark.stemRect.bottom - kLabelHeight, x + 2 + kLabelWidth, mark.stemRect.bottom};
    }
  }
}

void SetKLineFundRows(KLineChart* c) {
  if (!c) return;
  const int kind = c->fundKind;
  const int rows = std::clamp(kind == 1 ? (c->financeRows ? c->financeRowCount : 0)
                                        : kind == 2 ? (c->holderRows ? c->holderRowCount : 0) : 0,
                              0, kKLineFundCellRoom);
  for (int i = 0; i < rows; ++i) {
    FundColumn& col = c->fundColumns[i];
    if (kind == 1) {
      const KLineFinanceRow& r = c->financeRows[i];
      CopyField(col.beginDate, sizeof col.beginDate, r.startDate);
      CopyField(col.endDate, sizeof col.endDate, r.endDate);
      CopyField(c->fundCellsA[i].text, sizeof c->fundCellsA[i].text, r.basicEPS);
      CopyField(c->fundCellsC[i].text, sizeof c->fundCellsC[i].text, r.netCashFlowPS);
      CopyField(c->fundCellsB[i].text, sizeof c->fundCellsB[i].text, r.operRevenue);
    } else {
      const KLineHolderRow& r = c->holderRows[i];
      CopyField(col.beginDate, sizeof col.beginDate, r.startDate);
      CopyField(col.endDate, sizeof col.endDate, r.endDate);
      CopyField(c->fundCellsA[i].text, sizeof c->fundCellsA[i].text, r.totalSH);
      CopyField(c->fundCellsB[i].text, sizeof c->fundCellsB[i].text, r.avgShare);
    }
  }
  LayoutKLineChart(c);
  LayoutKLineFundRows(c);
}

void LayoutKLineFundRows(KLineChart* c) {
  if (!HasBars(c)) return;
  const int kind = c->fundKind;
  if (kind != 1 && kind != 2) return;
  const int rows = std::clamp(kind == 1 ? (c->financeRows ? c->financeRowCount : 0)
                                        : (c->holderRows ? c->holderRowCount : 0),
                              0, kKLineFundCellRoom);
  const int half = kind == 1 ? c->fundHeight / 3 : 2 * c->fundHeight / 3;
  const int lift = kind == 1 ? c->fundHeight / 3 : 0;
  const int third = c->fundHeight / 3;
  FundCell* tables[3] = {c->fundCellsA, c->fundCellsB, kind == 1 ? c->fundCellsC : nullptr};
  double largest[3] = {};
  for (int t = 0; t < 3; ++t) {
    if (!tables[t]) continue;
    for (int i = 0; i < rows; ++i) largest[t] = std::max(largest[t], std::fabs(CellValue(tables[t][i])));
  }
  const int end = BarEnd(c);
  const int from = std::max(c->firstVisible, KLineFirstValid(c));
  const int baseline = c->fundTop + c->fundHeight - lift;
  const int rightLimit = c->topStripRect.right;
  const std::vector<int> dates = rows > 0 ? BarDates(c, from, end) : std::vector<int>();
  for (int i = 0; i < rows; ++i) {
    FundColumn& col = c->fundColumns[i];
    const int begin = DateNumber(col.beginDate), finish = DateNumber(col.endDate);
    int left = 0, right = 0, leftBar = -1, rightBar = -1;
    // Bars run oldest first: the first bar dated at or after each date.
    const auto at = [&](int date) {
      const auto it = std::lower_bound(dates.begin(), dates.end(), date);
      return it == dates.end() ? -1 : from + static_cast<int>(it - dates.begin());
    };
    leftBar = at(begin);
    rightBar = at(finish);
    if (leftBar >= 0) left = MarkX(c, leftBar);
    if (rightBar >= 0) right = MarkX(c, rightBar);
    col.wide = leftBar >= 0 && rightBar >= 0 && rightBar - leftBar >= 22 ? 1 : 0;
    col.rect = {left, c->fundTop + 9, right, c->fundTop + 9 + third};
    col.rect.right = std::min(col.rect.right, rightLimit);
    ClampRectX(&col.rect, kLeftEdge, col.rect.right);
    const int spacing = (right - left - 60) / 4;
    int x = left;
    for (int t = 0; t < 3; ++t) {
      if (!tables[t]) continue;
      FundCell& cell = tables[t][i];
      x += spacing;
      const double value = CellValue(cell);
      int height = largest[t] > 0 ? static_cast<int>(std::fabs(value) * (half - 18) / largest[t]) : 0;
      if (value != 0 && height < 2) height = 2;
      if (std::strchr(cell.text, '-') == nullptr) {
        cell.barRect = {x, baseline - height, x + 20, baseline};
        cell.textRect = {x - 20, cell.barRect.top - 18, x + 40, cell.barRect.top};
      } else {
        cell.barRect = {x, baseline, x + 20, baseline + height};
        cell.textRect = {x - 20, cell.barRect.bottom, x + 40, cell.barRect.bottom + 18};
      }
      x += 20;
      ClampRectX(&cell.barRect, kLeftEdge, col.rect.right);
      ClampRectX(&cell.textRect, kLeftEdge, col.rect.right);
    }
  }
}

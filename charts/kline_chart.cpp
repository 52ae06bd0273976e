#include "charts/kline_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "charts/kline_chart_indicators.h"
#include "foundation/draw_helpers.h"
#include "foundation/number_codecs.h"
#include "marketdata/day_bar.h"

namespace {

int Width(const KLineChart* c) { return c->rect.right - c->rect.left; }

float Pitch(const KLineChart* c) { return static_cast<float>(c->candleGap) + c->candleWidth; }

template <typename T>
void Regrow(T** a, int n) {
  std::free(*a);
  *a = static_cast<T*>(std::calloc(static_cast<size_t>(n), sizeof(T)));
}

// Every per-bar and overlay array of the record, for growing and release.
template <typename F>
void ForEachArray(KLineChart* c, F f) {
  f(&c->upBodies);
  f(&c->downBodies);
  f(&c->upWicks);
  f(&c->downWicks);
  f(&c->maPoints1);
  f(&c->maPoints2);
  f(&c->maPoints3);
  f(&c->upVolumeBars);
  f(&c->downVolumeBars);
  f(&c->barLefts);
  f(&c->DifLine);
  f(&c->DeaLine);
  f(&c->MacdUpBars);
  f(&c->MacdDownBars);
  for (int k = 0; k < 3; ++k) {
    f(&c->KdjLines[k]);
    f(&c->RsiLines[k]);
    f(&c->BiasLines[k]);
    f(&c->BollLines[k]);
    f(&c->Level2Lines[k]);
  }
  for (int k = 0; k < 2; ++k) {
    f(&c->WrLines[k]);
    f(&c->DmaLines[k]);
    f(&c->BrarLines[k]);
  }
  f(&c->CciLine);
  f(&c->PsyLine);
  f(&c->BollUpCandles);
  f(&c->BollDownCandles);
  f(&c->Level2UpBars);
  f(&c->Level2DownBars);
  f(&c->sellMarkPoints);
  f(&c->buyMarkPoints);
  f(&c->exRightsMarkRects);
  for (auto& a : c->trendBodies) f(&a);
  for (auto& a : c->trendWicks) f(&a);
}

bool HasBars(const KLineChart* c) { return c && c->bars; }

int LastValid(const KLineChart* c) { return KLineFirstValid(c) + KLineBarCount(c) - 1; }

void Recalc(KLineChart* c) { CalcKLineIndicators(c); }

}  // namespace

int KLineFirstValid(const KLineChart* c) {
  if (!c || !c->bars) return 0;
  return std::clamp(c->bars->first, 0, kKLineBarRoom);
}

int KLineBarCount(const KLineChart* c) {
  if (!c || !c->bars) return 0;
  return std::clamp(c->bars->barCount, 0, kKLineBarRoom - KLineFirstValid(c));
}

KLineChart* CreateKLineChart(ChartRect rect, void* owner) {
  auto* c = static_cast<KLineChart*>(std::calloc(1, sizeof(KLineChart)));
  if (!c) return nullptr;
  c->rect = rect;
  c->owner = owner;
  c->candleWidth = 7.0f;
  c->candleGap = 1;
  c->zoomLevel = -1;
  c->scrollToEnd = 1;
  c->cursor = -1;
  c->lowerIndicator = 1;
  c->paneLayout = 2;
  c->fundKind = -1;
  c->mainOverlay = 0;
  c->showNameInTitle = 0;
  c->tipRect = {1, 18, 71, 378};
  c->backColor = 0x000000;
  c->frameColor = 0xBB0000;
  c->gridColor = 0xAA0000;
  c->upColor = 0xFF1313;
  c->downColor = 0x00FFFF;
  c->ma1Color = 0xFFFFFF;
  c->ma2Color = 0xFFFF00;
  c->ma3Color = 0xFF00FF;
  c->periodColor = 0xFFFFFF;
  c->dateColor = 0x00AAFF;
  c->axisColor = 0xFF0000;
  c->labelColor = 0x00AAFF;
  c->titleFont = CreateUiFont(GetUiFontFace(), 14);
  c->tipFont = CreateUiFont(GetUiFontFace(), 16);
  return c;
}

void FreeKLineChart(KLineChart* c) {
  if (!c) return;
  ForEachArray(c, [](auto** a) {
    std::free(*a);
    *a = nullptr;
  });
  std::free(c->ratingMarks);
  std::free(c->newsMarks);
  if (c->titleFont) DeleteGdiObject(c->titleFont);
  if (c->tipFont) DeleteGdiObject(c->tipFont);
  std::free(c);
}

void ClearKLineFundColumns(KLineChart* c) {
  if (!c) return;
  int n = c->fundKind == 1 ? c->financeRowCount : c->fundKind == 2 ? c->holderRowCount : 0;
  n = std::clamp(n, 0, kKLineFundCellRoom);
  const size_t cells = static_cast<size_t>(n) * sizeof(FundCell);
  std::memset(c->fundCellsA, 0, cells);
  std::memset(c->fundCellsB, 0, cells);
  std::memset(c->fundCellsC, 0, cells);
  std::memset(c->fundColumns, 0, static_cast<size_t>(n) * sizeof(FundColumn));
}

void ResetKLineChart(KLineChart* c) {
  if (!c) return;
  c->cursor = -1;
  c->scrollToEnd = 1;
  c->bars = nullptr;
  c->exRights = nullptr;
  c->newsList = nullptr;
  std::free(c->newsMarks);
  c->newsMarks = nullptr;
  c->newsMarkCount = 0;
  c->MacdUpCount = c->MacdDownCount = 0;
  c->exRightsMarkCount = 0;
  c->candleWidth = 7.0f;
  c->candleGap = 1;
  c->zoomLevel = -1;
  std::memset(c->zoomStack, 0, sizeof c->zoomStack);
  if (c->capacity > 0) {
    const size_t cap = static_cast<size_t>(c->capacity);
    ForEachArray(c, [cap](auto** a) {
      if (*a) std::memset(*a, 0, cap * sizeof(**a));
    });
    if (c->ratingMarks) std::memset(c->ratingMarks, 0, static_cast<size_t>(std::max(c->ratingCount, 0)) * sizeof(RatingMark));
    c->ratingCount = 0;
    c->newsMarkCount = 0;
  }
  c->lowLabelRect = {};
  c->highLabelRect = {};
  ClearKLineFundColumns(c);
}

void SetKLineChartData(KLineChart* c, const KLineArea* bars, IndicatorWorkspace* workspace) {
  if (!c) return;
  c->bars = bars;
  c->workspace = workspace;
  Recalc(c);
}

void SetKLineExRights(KLineChart* c, const ExRightsArea* exRights) {
  if (!c) return;
  c->exRights = exRights;
  Recalc(c);
}

void SetKLineMainOverlay(KLineChart* c, int overlay) {
  if (!c) return;
  c->mainOverlay = overlay;
  Recalc(c);
}

int GetKLineMainOverlay(const KLineChart* c) { return c ? c->mainOverlay : 0; }

void SetKLineLowerIndicator(KLineChart* c, int indicator) {
  if (!c) return;
  c->lowerIndicator = indicator;
  c->Level2ZeroY = 0;
  c->Level2UpCount = c->Level2DownCount = 0;
  Recalc(c);
}

void LayoutKLineChart(KLineChart* c) {
  if (!c) return;
  const int h = c->rect.bottom - c->rect.top;
  const int w = Width(c);
  int u = 0;
  switch (c->paneLayout) {
    case 0:
    case 1:
      u = (h - 54) / 4;
      break;
    case 2:
      u = (h - 72) / 5;
      break;
    case 3:
      u = (h - 72) / 6;
      break;
    default:
      break;
  }
  c->mainTop = 18;
  c->mainHeight = 3 * u;
  if (c->paneLayout == 3) {
    c->fundTop = 18 + 3 * u;
    c->fundHeight = u;
    c->volumeTop = c->fundTop + u + 18;
    c->volumeHeight = u;
  } else if (c->paneLayout == 1) {
    c->indicatorTop = 3 * u + 36;
    c->indicatorHeight = u;
    c->volumeHeight = 0;
  } else if (c->paneLayout == 0 || c->paneLayout == 2) {
    c->volumeTop = 3 * u + 36;
    c->volumeHeight = u;
  }
  if (c->paneLayout == 2 || c->paneLayout == 3) {
    c->indicatorTop = c->volumeTop + c->volumeHeight + 18;
    c->indicatorHeight = u;
  }
  c->indicatorTitleRect = {kKLineIndicatorTitleLeft, c->indicatorTop - 17, w + 1, c->indicatorTop};
  c->mainTitleRect = {kKLineAxisRight, 1, w, 18};
  c->volumeTitleRect = {kKLineAxisRight, c->volumeTop - 17, w - 1, c->volumeTop};
  c->topStripRect = {kKLineAxisRight, 0, w - 1, 17};
}

int GetKLineVisibleCount(const KLineChart* c) {
  if (!c) return 0;
  // In single precision, as the zoom levels were sized: 226 / (226 / 339.0f)
  // must give 339 bars, not 338.
  const float pitch = Pitch(c);
  if (!(pitch > 0)) return 0;
  const float n = std::trunc(static_cast<float>(Width(c) - kKLineBarMargin) / pitch);
  if (!(n > 0)) return 0;
  return n > 1e7 ? 10000000 : static_cast<int>(n);
}

int KLineBarCentreX(const KLineChart* c, int i) {
  const double pitch = Pitch(c);
  return TruncPixel(c->candleGap + kKLineFirstSlotX + i * pitch + c->candleWidth / 2.0);
}

int KLineOffsetOfX(const KLineChart* c, int x) {
  const double pitch = Pitch(c);
  if (!(pitch > 0)) return 0;
  return TruncPixel((x - kKLineFirstSlotX) / pitch);
}

int GetKLineCursorX(const KLineChart* c) {
  if (!c || c->cursor < 0) return -1;
  return KLineBarCentreX(c, c->cursor);
}

ChartRect GetKLineMainTitleStrip(const KLineChart* c) { return {kKLineAxisRight, 0, c->rect.right, 18}; }
ChartRect GetKLineVolumeTitleStrip(const KLineChart* c) { return {kKLineAxisRight, c->volumeTop - 18, c->rect.right, c->volumeTop}; }
ChartRect GetKLineIndicatorTitleStrip(const KLineChart* c) {
  return {kKLineAxisRight, c->indicatorTop - 18, c->rect.right, c->indicatorTop};
}

void GrowKLineArrays(KLineChart* c) {
  if (!c) return;
  const int visible = GetKLineVisibleCount(c);
  if (visible <= c->capacity) return;
  c->capacity = visible;
  ForEachArray(c, [visible](auto** a) { Regrow(a, visible); });
}

int KLineBarsNeededForZoomOut(const KLineChart* c) {
  if (!c) return 0;
  float width = c->candleWidth;
  int gap = c->candleGap;
  if (width > 2.0f) width -= 2.0f;
  if (width <= 1.0f) gap = std::max(gap - 1, 0);
  const double pitch = gap + width;
  if (!(pitch > 0)) return 0;
  const double n = std::trunc((Width(c) - kKLineBarMargin) / pitch);
  if (!c->bars) return TruncPixel(1.5 * n);
  return TruncPixel(1.5 * n - KLineBarCount(c));
}

void ZoomOutKLineChart(KLineChart* c) {
  if (!HasBars(c)) return;
  const int count = KLineBarCount(c);
  const int firstValid = KLineFirstValid(c);
  const int v = GetKLineVisibleCount(c);
  const int target = static_cast<int>(std::min<double>(count, v * 1.5));
  const int a = c->firstVisible + c->cursor;
  if (c->candleGap == 0 && v > count) return;
  if (c->zoomLevel >= 0 && std::abs(c->zoomStack[c->zoomLevel] - target) <= 1) return;
  const bool newLevel = c->candleWidth - 2.0f < 1.0f && c->candleGap - 1 < 0;
  // A further stacked level past the ten the stack holds, or a level with
  // nothing to show, is ignored.
  if (newLevel && (c->zoomLevel >= kKLineZoomLevels - 1 || target < 1)) return;
  c->candleWidth -= 2.0f;
  if (c->candleWidth < 1.0f) {
    c->candleWidth = 1.0f;
    c->candleGap -= 1;
    if (c->candleGap < 0) {
      c->candleGap = 0;
      c->zoomLevel += 1;
      c->zoomStack[c->zoomLevel] = target;
      c->candleWidth = static_cast<float>(Width(c) - kKLineBarMargin) / static_cast<float>(target);
    }
  }
  const int nv = GetKLineVisibleCount(c);
  if (nv < count) {
    c->firstVisible -= nv - v;
  } else {
    c->firstVisible = firstValid;
  }
  c->firstVisible = std::max(c->firstVisible, firstValid);
  c->cursor = a - c->firstVisible;
  Recalc(c);
  if (c->crossHairShown) PlaceKLineCrossHair(c);
}

void ZoomInKLineChart(KLineChart* c) {
  if (!HasBars(c) || c->candleWidth >= kKLineMaxCandleWidth) return;
  const int count = KLineBarCount(c);
  const int firstValid = KLineFirstValid(c);
  const int m = std::min(GetKLineVisibleCount(c), count);
  const int a = c->cursor + c->firstVisible;
  const float ratio = m > 0 ? static_cast<float>(c->cursor) / static_cast<float>(m) : 0.0f;
  if (c->zoomLevel > 0) {
    c->zoomStack[c->zoomLevel] = 0;
    c->zoomLevel -= 1;
    const int entry = std::max(c->zoomStack[c->zoomLevel], 1);
    c->candleWidth = static_cast<float>(Width(c) - kKLineBarMargin) / static_cast<float>(entry);
  } else if (c->zoomLevel == 0) {
    c->zoomLevel = -1;
    c->candleWidth = 1.0f;
  } else if (c->candleGap < 1) {
    c->candleGap += 1;
  } else {
    c->candleGap = 1;
    c->candleWidth = std::min(c->candleWidth + 2.0f, kKLineMaxCandleWidth);
  }
  const int k = GetKLineVisibleCount(c);
  if (c->crossHairShown) {
    if (k != m) c->cursor = TruncPixel(k * ratio);
    c->firstVisible = std::max(a - c->cursor, firstValid);
  } else {
    // The newest bars fill the chart, never left of the first valid bar.
    c->cursor = -1;
    c->firstVisible = std::max(firstValid, firstValid + count - k);
  }
  Recalc(c);
  if (c->crossHairShown) PlaceKLineCrossHair(c);
}

namespace {
int ClampCursorY(const KLineChart* c, int y) {
  return std::max(std::min(y, c->mainTop + c->mainHeight - 1), c->mainTop + 1);
}
}  // namespace

void ToggleKLineCrossHairAt(KLineChart* c, int x, int y) {
  if (!HasBars(c)) return;
  c->crossHairShown = !c->crossHairShown;
  if (!c->crossHairShown) return;
  c->cursorY = ClampCursorY(c, y);
  c->cursor = KLineOffsetOfX(c, x);
  if (c->firstVisible + c->cursor > LastValid(c)) c->cursor = LastValid(c) - c->firstVisible;
}

void MoveKLineCrossHair(KLineChart* c, int x, int y) {
  if (!HasBars(c) || !c->crossHairShown) return;
  c->cursorY = ClampCursorY(c, y);
  c->cursor = KLineOffsetOfX(c, x);
  const int e = KLineBarCount(c) + KLineFirstValid(c);
  const int visible = GetKLineVisibleCount(c);
  if (c->cursor < 0) {
    c->cursor = 0;
  } else if (c->firstVisible + c->cursor >= e) {
    c->cursor = e - c->firstVisible - 1;
  } else if (c->cursor >= visible) {
    c->cursor = visible - 1;
  }
}

void PlaceKLineCrossHair(KLineChart* c) {
  if (!HasBars(c)) return;
  const int visible = GetKLineVisibleCount(c);
  if (c->cursor < 0) c->cursor = 0;
  if (c->firstVisible + c->cursor > LastValid(c) || c->cursor >= visible) c->cursor = visible - 1;
  int bar = c->firstVisible + c->cursor;
  if (bar < 0 || bar > LastValid(c)) bar = LastValid(c);
  c->crossHairShown = 1;
  const bool compact = c->paneLayout == 0 || c->paneLayout == 1;
  const int usable = compact ? c->mainHeight - 2 : c->mainHeight - 32;
  const int top = compact ? c->mainTop : c->mainTop + 15;
  const double range = static_cast<double>(c->priceMax) - c->priceMin;
  if (bar >= KLineFirstValid(c) && bar < kKLineBarRoom) {
    // A flat scale puts the line on the pane's top row instead of dividing by 0.
    const double scale = range > 0 ? usable / range : 0.0;
    c->cursorY = TruncPixel(top + (c->priceMax - c->bars->bars[bar].close) * scale, top);
  }
  Recalc(c);
}

int GetKLineCrossHairY(KLineChart* c) {
  if (!c) return 0;
  PlaceKLineCrossHair(c);
  return c->cursorY;
}

bool MoveKLineCursorLeft(KLineChart* c) {
  if (!HasBars(c)) return false;
  const int count = KLineBarCount(c);
  bool scrolled = false;
  c->cursor = c->crossHairShown ? c->cursor - 1 : GetKLineVisibleCount(c) - 1;
  if (c->cursor < 0) {
    c->cursor = 0;
    if (c->firstVisible > KLineFirstValid(c)) {
      c->firstVisible -= 1;
      scrolled = true;
    }
  }
  if (c->cursor > count - 1) c->cursor = count - 1;
  PlaceKLineCrossHair(c);
  return scrolled;
}

bool MoveKLineCursorRight(KLineChart* c) {
  if (!HasBars(c)) return false;
  const int count = KLineBarCount(c);
  const int visible = GetKLineVisibleCount(c);
  bool scrolled = false;
  c->cursor = c->crossHairShown ? c->cursor + 1 : visible - 1;
  if (c->cursor > visible - 1) {
    c->cursor = visible - 1;
    if (c->firstVisible + visible < KLineFirstValid(c) + count) {
      c->firstVisible += 1;
      scrolled = true;
    }
  }
  if (c->cursor > count - 1) c->cursor = count - 1;
  PlaceKLineCrossHair(c);
  return scrolled;
}

void FormatKLineBarDate(const KLineChart* c, uint32_t packedTime, char* buffer) {
  if (!buffer) return;
  buffer[0] = '\0';
  if (!HasBars(c)) return;
  const int period = c->bars->period;
  int from;
  if (period == 33 || period == 39 || period == 40 || period == 41) {
    from = 0;
  } else if (period >= 34 && period <= 38) {
    from = 4;
  } else {
    return;
  }
  char text[32];
  const int len = std::snprintf(text, sizeof text, "%lld", static_cast<long long>(DecodePackedDateTime(packedTime)));
  if (len < from + 8) return;
  std::memcpy(buffer, text + from, 8);
  buffer[8] = '\0';
}

#include "monitor/star_map.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "foundation/draw_helpers.h"
#include "foundation/number_formats.h"
#include "foundation/text_codec.h"

namespace {

constexpr int kPlotTop = 16;
constexpr int kPlotLeft = 76;
constexpr int kTipWidth = 90;
constexpr int kLabelHalfWidth = 35;
constexpr uint32_t kFrameColor = 0xDD0000;
constexpr uint32_t kGridColor = 0xAA0000;
constexpr uint32_t kLabelColor = 0x969696;
constexpr uint32_t kRiseDot = 0xFF0000;
constexpr uint32_t kFallDot = 0x00FF00;
constexpr uint32_t kFlatDot = 0xFFFFFF;
constexpr uint32_t kTipRise = 0xFF0000;
constexpr uint32_t kTipFall = 0x00C800;
constexpr uint32_t kTipFlat = 0xFFFFFF;
constexpr uint32_t kTipOutline = 0xFF0000;
constexpr uint32_t kTitleColor = 0xFFFF00;
constexpr int kTipRowHeight = 20;

bool ValidFactor(int factor) { return factor >= 0 && factor < kStarMapFactors; }

bool PlotUsable(const StarMap* map) { return map->plotWidth >= 1 && map->plotHeight >= 1; }

// A double truncated toward zero into the int range (never undefined).
int TruncToInt(double v) {
  if (!(v == v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (v <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

// A float label value back into a 64-bit count (clamped at the ends).
int64_t CountOf(double v) {
  if (!(v == v)) return 0;
  if (v >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
  if (v <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}

// lo + (hi - lo) * i / n, or hi - (hi - lo) * i / n, in 128-bit arithmetic
// with truncating division, so extreme ranges cannot overflow.
float LabelValue(int64_t from, int64_t lo, int64_t hi, int i, int n, int sign) {
  const __int128 span = static_cast<__int128>(hi) - static_cast<__int128>(lo);
  const __int128 step = span * i / n;
  return static_cast<float>(static_cast<__int128>(from) + sign * step);
}

uint32_t DotColor(const StarMapEntry& e) {
  if (e.lastPrice > e.previousClose) return kRiseDot;
  if (e.lastPrice < e.previousClose) return kFallDot;
  return kFlatDot;
}

uint32_t TipPriceColor(const StarMapEntry& e) {
  if (e.lastPrice > e.previousClose) return kTipRise;
  if (e.lastPrice < e.previousClose) return kTipFall;
  return kTipFlat;
}

int PutAscii(const char* text, WCHAR* out, int outSize) {
  if (!out || outSize <= 0) return 0;
  int n = 0;
  for (; text[n] && n < outSize - 1; ++n) out[n] = static_cast<WCHAR>(static_cast<unsigned char>(text[n]));
  out[n] = 0;
  return n;
}

// UTF-8 text of at most bytes bytes (stopping at a zero) into out, with a
// terminator.
void Utf8Text(const char* text, int bytes, WCHAR* out, int outUnits) {
  const int length = static_cast<int>(strnlen(text, static_cast<size_t>(bytes)));
  const int unit = static_cast<int>(sizeof(WCHAR));
  const int consumed = Utf8ToUtf16(text, length, out, (outUnits - 1) * unit);
  out[Utf16SizeOfUtf8(text, consumed) / unit] = 0;
}

int64_t FactorOf(const QuoteRecord& r, int factor) {
  switch (factor) {
    case kStarFactorChange: return r.changePercent;
    case kStarFactorThreeDayChange: return r.field5000[0];
    case kStarFactorTurnover: return r.turnoverRate;
    case kStarFactorThreeDayTurnover: return r.field5000[1];
    case kStarFactorPeRatio: return r.peRatio;
    case kStarFactorVolume: return r.totalVolume;
    default: return 0;
  }
}

// The hit test shared by both cursor operations.
void HitTest(StarMap* map, int x, int y) {
  map->selection = -1;
  if (PlotUsable(map) && map->dots) {
    for (int i = 0; i < map->count; ++i) {
      const RECT& d = map->dots[i];
      if (x >= d.left && x <= d.right && y >= d.top && y <= d.bottom) {
        map->selection = i;
        break;
      }
    }
  }
  map->cursorX = x;
  map->cursorY = y;
}

void FreeArrays(StarMap* map) {
  std::free(map->points);
  std::free(map->dots);
  map->points = nullptr;
  map->dots = nullptr;
}

#ifndef NDEBUG
void CheckInvariants(const StarMap* map) {
  assert(map->selection >= -1 && map->selection < std::max(map->count, 1) && "selection is -1 or a record");
  assert((map->count == 0 || (map->points && map->dots && map->entries)) && "arrays hold count records");
}
#else
void CheckInvariants(const StarMap*) {}
#endif

// A factor's value in the tip: counts straight from the 64-bit value.
void FormatTipValue(int factor, int64_t value, WCHAR* out, int outSize) {
  if (factor == kStarFactorVolume) {
    FormatCount(value, out, outSize, CountZero::Dash);
    return;
  }
  FormatStarMapFactor(factor, static_cast<double>(value), out, outSize);
}

void DrawTitle(StarMap* map, HDC dc) {
  if (!map->name[0]) return;
  char title[kStarMapNameBytes + 16];
  std::snprintf(title, sizeof title, "%s星空图", map->name);
  WCHAR text[kStarMapNameBytes + 16];
  Utf8Text(title, static_cast<int>(sizeof title), text, kStarMapNameBytes + 16);
  const int width = MeasureTextWidth(dc, text, 1);
  RECT r{map->plotLeft, 0, map->plotLeft + width, kPlotTop};
  DrawTextInRect(dc, &r, text, kTitleColor, 0);
}

}  // namespace

int FormatStarMapFactor(int factor, double value, WCHAR* out, int outSize) {
  if (!out || outSize <= 0) return 0;
  char text[kNumberTextSize];
  switch (factor) {
    case kStarFactorChange:
    case kStarFactorThreeDayChange:
    case kStarFactorTurnover:
    case kStarFactorThreeDayTurnover:
      std::snprintf(text, sizeof text, "%.2f%%", value / 100.0);
      return PutAscii(text, out, outSize);
    case kStarFactorPeRatio:
      if (value == 0) return PutAscii("-", out, outSize);
      std::snprintf(text, sizeof text, "%.2f", value / 10000.0);
      return PutAscii(text, out, outSize);
    case kStarFactorVolume:
      return FormatCount(CountOf(value), out, outSize, CountZero::Dash);
    default:
      out[0] = 0;
      return 0;
  }
}

StarMap* CreateStarMap(const RECT* rect, void*) {
  auto* map = static_cast<StarMap*>(std::calloc(1, sizeof(StarMap)));
  if (!map) return nullptr;
  if (rect) map->rect = *rect;
  map->yLabelCount = kStarMapLabels;
  map->xLabelCount = kStarMapLabels;
  map->yFactor = kStarFactorVolume;
  map->xFactor = kStarFactorPeRatio;
  map->selection = -1;
  map->cursorMode = 0;
  map->tipFont = CreateUiFont(GetUiFontFace(), 16);
  map->background = 0;
  LayoutStarMap(map);
  return map;
}

void FreeStarMap(StarMap* map) {
  if (!map) return;
  FreeArrays(map);
  std::free(map->entries);
  DeleteGdiObject(map->tipFont);
  std::free(map);
}

void SetStarMapData(StarMap* map, const SortedQuoteListArea* area) {
  if (!map) return;
  int n = 0;
  const QuoteRecord* records = area ? area->list.records : nullptr;
  if (records) {
    // A category page's array holds exactly its records (capacity 0).
    const int room = area->list.capacity > 0 ? area->list.capacity : area->recordsHeld;
    n = std::clamp<int>(area->recordCount, 0, std::max(room, 0));
  }
  std::free(map->entries);
  map->entries = nullptr;
  FreeArrays(map);
  map->count = 0;
  if (n > 0) {
    map->entries = static_cast<StarMapEntry*>(std::calloc(static_cast<size_t>(n), sizeof(StarMapEntry)));
    map->points = static_cast<POINT*>(std::calloc(static_cast<size_t>(n), sizeof(POINT)));
    map->dots = static_cast<RECT*>(std::calloc(static_cast<size_t>(n), sizeof(RECT)));
    if (!map->entries || !map->points || !map->dots) {
      std::free(map->entries);
      map->entries = nullptr;
      FreeArrays(map);
      n = 0;
    }
  }
  for (int i = 0; i < n; ++i) {
    const QuoteRecord& r = records[i];
    StarMapEntry& e = map->entries[i];
    std::memcpy(e.name, r.key.name, sizeof e.name - 1);
    std::memcpy(e.code, r.key.code, sizeof e.code - 1);
    e.decimals = r.key.decimals;
    e.lastPrice = r.lastPrice;
    e.previousClose = r.previousClose;
    for (int f = 0; f < kStarMapFactors; ++f) e.factors[f] = FactorOf(r, f);
  }
  map->count = n;
  map->hasData = 1;
  if (map->selection >= n) map->selection = n - 1;
  CheckInvariants(map);
}

void ResetStarMap(StarMap* map) {
  if (!map) return;
  map->hasData = 0;
  map->count = 0;
  map->selection = -1;
  map->cursorMode = 0;
}

void SetStarMapName(StarMap* map, const char* utf8Name) {
  if (!map) return;
  map->name[0] = 0;
  if (!utf8Name) return;
  size_t n = strnlen(utf8Name, kStarMapNameBytes);
  if (n > kStarMapNameBytes - 1) {
    n = kStarMapNameBytes - 1;
    // Back off continuation bytes so the cut falls before a whole character.
    while (n > 0 && (static_cast<unsigned char>(utf8Name[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(map->name, utf8Name, n);
  map->name[n] = 0;
}

void LayoutStarMap(StarMap* map) {
  if (!map) return;
  const RECT& r = map->rect;
  map->plotTop = kPlotTop;
  map->plotLeft = kPlotLeft;
  map->plotHeight = (r.bottom - r.top) - 38;
  map->plotWidth = (r.right - r.left) - kPlotLeft - kTipWidth;
  map->tipRect = RECT{r.right - kTipWidth, r.top + 16, r.right, r.top + 220};
}

void ComputeStarMapRanges(StarMap* map) {
  if (!map || !map->entries) return;
  const bool xKnown = ValidFactor(map->xFactor), yKnown = ValidFactor(map->yFactor);
  for (int i = 0; i < map->count; ++i) {
    const StarMapEntry& e = map->entries[i];
    if (yKnown) {
      const int64_t vy = e.factors[map->yFactor];
      if (i == 0 || vy > map->yMax) map->yMax = vy;
      if (i == 0 || vy < map->yMin) map->yMin = vy;
    }
    if (xKnown) {
      const int64_t vx = e.factors[map->xFactor];
      if (i == 0 || vx > map->xMax) map->xMax = vx;
      if (i == 0 || vx < map->xMin) map->xMin = vx;
    }
  }
}

void ComputeStarMap(StarMap* map) {
  if (!map || !map->hasData) return;
  ComputeStarMapRanges(map);
  const int xn = std::max(map->xLabelCount - 1, 1), yn = std::max(map->yLabelCount - 1, 1);
  for (int i = 0; i < map->xLabelCount && i < kStarMapLabels; ++i)
    map->xLabels[i] = LabelValue(map->xMin, map->xMin, map->xMax, i, xn, 1);
  for (int i = 0; i < map->yLabelCount && i < kStarMapLabels; ++i)
    map->yLabels[i] = LabelValue(map->yMax, map->yMin, map->yMax, i, yn, -1);
  LayoutStarMap(map);
  if (!PlotUsable(map)) {
    // No room to plot: no scale, no dot placed.
    map->xScale = map->yScale = 0;
    for (int i = 0; i < map->count; ++i) {
      map->points[i] = POINT{0, 0};
      map->dots[i] = RECT{0, 0, 0, 0};
    }
    return;
  }
  map->yScale = static_cast<float>((static_cast<double>(map->yMax) - static_cast<double>(map->yMin)) / map->plotHeight);
  map->xScale = static_cast<float>((static_cast<double>(map->xMax) - static_cast<double>(map->xMin)) / map->plotWidth);
  const bool xFlat = map->xMax == map->xMin, yFlat = map->yMax == map->yMin;
  for (int i = 0; i < map->count; ++i) {
    const StarMapEntry& e = map->entries[i];
    const int64_t vx = ValidFactor(map->xFactor) ? e.factors[map->xFactor] : 0;
    const int64_t vy = ValidFactor(map->yFactor) ? e.factors[map->yFactor] : 0;
    const int x = xFlat ? map->plotLeft
                        : TruncToInt((static_cast<double>(vx) - static_cast<double>(map->xMin)) /
                                         static_cast<double>(map->xScale) +
                                     map->plotLeft);
    const int y = yFlat ? map->plotHeight + kPlotTop
                        : TruncToInt((static_cast<double>(map->yMax) - static_cast<double>(vy)) /
                                         static_cast<double>(map->yScale) +
                                     kPlotTop);
    map->points[i] = POINT{x, y};
    const int half = kStarMapDot / 2;
    map->dots[i] = RECT{x - half, y - half, x + half, y + half};
  }
}

void SetStarMapYFactor(StarMap* map, int factor) {
  if (!map || !ValidFactor(factor)) return;
  map->yFactor = factor;
  ComputeStarMap(map);
}

void SetStarMapXFactor(StarMap* map, int factor) {
  if (!map || !ValidFactor(factor)) return;
  map->xFactor = factor;
  ComputeStarMap(map);
}

void ResumeStarMapCursor(StarMap* map) {
  if (!map || !map->hasData) return;
  if (map->selection >= map->count) map->selection = map->count - 1;
  map->cursorMode = 1;
  ComputeStarMap(map);
}

void MoveStarMapCursor(StarMap* map, int x, int y) {
  if (!map || !map->cursorMode || !map->hasData) return;
  HitTest(map, x, y);
}

void ClickStarMap(StarMap* map, int x, int y) {
  if (!map || !map->hasData) return;
  map->cursorMode = !map->cursorMode;
  if (!map->cursorMode) return;
  HitTest(map, x, y);
}

int GetStarMapCursorX(const StarMap* map) { return map ? map->cursorX : 0; }

void DrawStarMap(StarMap* map, HDC dc) {
  if (!map || !dc) return;
  LayoutStarMap(map);
  FillRectColor(dc, &map->rect, map->background);
  const int left = map->plotLeft, width = map->plotWidth, height = map->plotHeight;
  const int bottom = kPlotTop + height + 2;
  DrawLine(dc, left, kPlotTop, left + width, kPlotTop, kFrameColor, 0);
  DrawLine(dc, left, bottom, left + width, bottom, kFrameColor, 0);
  DrawLine(dc, left, kPlotTop, left, bottom, kFrameColor, 0);
  DrawLine(dc, left + width - 1, kPlotTop, left + width - 1, bottom, kFrameColor, 0);
  for (int i = 1; i <= map->yLabelCount - 2; ++i) {
    const int y = (height + 2) * i / (map->yLabelCount - 1) + kPlotTop;
    DrawLine(dc, left, y, left + width, y, kGridColor, 1);
  }
  for (int i = 1; i <= map->xLabelCount - 2; ++i) {
    const int x = width * i / (map->xLabelCount - 1) + left;
    DrawLine(dc, x, kPlotTop, x, bottom, kGridColor, 1);
  }
  if (PlotUsable(map) && map->entries && map->dots) {
    for (int i = 0; i < map->count; ++i)
      DrawRoundRect(dc, &map->dots[i], 0x000000, DotColor(map->entries[i]), 0, kStarMapDot, kStarMapDot);
  }
  if (!map->hasData) return;
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  DrawStarMapXLabels(map, dc);
  DrawStarMapYLabels(map, dc);
  DrawTitle(map, dc);
  SetBkMode(dc, oldMode);
}

void DrawStarMapXLabels(StarMap* map, HDC dc) {
  if (!map || !dc || map->count == 0 || !PlotUsable(map)) return;
  const int n = std::min(map->xLabelCount, kStarMapLabels);
  if (n < 2) return;
  const int left = map->plotLeft, width = map->plotWidth;
  const int top = kPlotTop + map->plotHeight, bottom = top + 16;
  WCHAR text[kNumberTextSize];
  FormatStarMapFactor(map->xFactor, map->xLabels[n - 1], text, kNumberTextSize);
  RECT last{left + width - 70, top, left + width, bottom};
  DrawTextInRect(dc, &last, text, kLabelColor, 2);
  for (int i = 1; i < n - 1; ++i) {
    const int x = width * i / (n - 1) + left;
    FormatStarMapFactor(map->xFactor, map->xLabels[i], text, kNumberTextSize);
    RECT r{x - kLabelHalfWidth, top, x + kLabelHalfWidth, bottom};
    DrawTextInRect(dc, &r, text, kLabelColor, 1);
  }
  FormatStarMapFactor(map->xFactor, map->xLabels[0], text, kNumberTextSize);
  RECT first{left, top, left + 70, bottom};
  DrawTextInRect(dc, &first, text, kLabelColor, 0);
}

void DrawStarMapYLabels(StarMap* map, HDC dc) {
  if (!map || !dc || map->count == 0 || !PlotUsable(map)) return;
  const int n = std::min(map->yLabelCount, kStarMapLabels);
  if (n < 2) return;
  const int height = map->plotHeight, left = map->plotLeft;
  WCHAR text[kNumberTextSize];
  FormatStarMapFactor(map->yFactor, map->yLabels[0], text, kNumberTextSize);
  RECT first{0, kPlotTop, left, kPlotTop + 20};
  DrawTextInRect(dc, &first, text, kLabelColor, 2);
  for (int i = 1; i < n - 1; ++i) {
    const int y = height * i / (n - 1) + kPlotTop;
    FormatStarMapFactor(map->yFactor, map->yLabels[i], text, kNumberTextSize);
    RECT r{0, y - 10, left, y + 10};
    DrawTextInRect(dc, &r, text, kLabelColor, 2);
  }
  FormatStarMapFactor(map->yFactor, map->yLabels[n - 1], text, kNumberTextSize);
  RECT last{0, kPlotTop + height - 10, left, kPlotTop + height + 10};
  DrawTextInRect(dc, &last, text, kLabelColor, 2);
}

void DrawStarMapCursor(StarMap* map, HDC dc) {
  if (!map || !dc || !map->cursorMode || map->count == 0) return;
  DrawStarMapCrosshair(map, dc);
}

void DrawStarMapCrosshair(StarMap* map, HDC dc) {
  if (!map || !dc) return;
  const int oldRop = GetROP2(dc);
  const int x = map->cursorX, y = map->cursorY;
  if (map->plotLeft < x && x < map->plotLeft + map->plotWidth)
    DrawLineRop(dc, x, kPlotTop, x, map->rect.bottom - 16, 0x000000, 0, 1, R2_NOT);
  if (kPlotTop < y && y < kPlotTop + map->plotHeight)
    DrawLineRop(dc, map->plotLeft, y, map->rect.right - kTipWidth, y, 0x000000, 0, 1, R2_NOT);
  SetROP2(dc, oldRop);
}

void DrawStarMapTip(StarMap* map, HDC dc) {
  if (!map || !dc) return;
  const int width = map->tipRect.right - map->tipRect.left, height = map->tipRect.bottom - map->tipRect.top;
  RECT panel{0, 0, width, height};
  FillRectColor(dc, &panel, 0x000000);
  if (!map->cursorMode || map->count <= 0 || map->selection < 0 || map->selection >= map->count || !map->entries)
    return;
  const StarMapEntry& e = map->entries[map->selection];
  DrawRectangle(dc, &panel, kTipOutline, 0);
  HGDIOBJ oldFont = SelectObject(dc, map->tipFont);
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const uint32_t priceColor = TipPriceColor(e);
  WCHAR value[kNumberTextSize];
  int row = 0;
  auto pair = [&](const WCHAR* label, const WCHAR* text, uint32_t color) {
    RECT labelRect{1, row * kTipRowHeight, width - 1, (row + 1) * kTipRowHeight};
    DrawTextInRect(dc, &labelRect, label, kLabelColor, 0);
    ++row;
    RECT valueRect{1, row * kTipRowHeight, width - 1, (row + 1) * kTipRowHeight};
    DrawTextInRect(dc, &valueRect, text, color, 2);
    ++row;
  };
  Utf8Text(e.name, static_cast<int>(sizeof e.name), value, kNumberTextSize);
  pair(u"当前品种:", value, 0xFFFFFF);
  Utf8Text(e.code, static_cast<int>(sizeof e.code), value, kNumberTextSize);
  pair(u"品种代码:", value, 0xFFFFFF);
  FormatPercent(e.factors[kStarFactorChange], value, kNumberTextSize);
  pair(u"涨幅:", value, priceColor);
  auto factorColor = [&](int f) { return f == kStarFactorChange || f == kStarFactorThreeDayChange ? priceColor : 0xFFFFFF; };
  const int xf = map->xFactor, yf = map->yFactor;
  FormatTipValue(xf, ValidFactor(xf) ? e.factors[xf] : 0, value, kNumberTextSize);
  pair(u"X轴:", value, factorColor(xf));
  FormatTipValue(yf, ValidFactor(yf) ? e.factors[yf] : 0, value, kNumberTextSize);
  pair(u"Y轴:", value, factorColor(yf));
  SetBkMode(dc, oldMode);
  SelectObject(dc, oldFont);
}

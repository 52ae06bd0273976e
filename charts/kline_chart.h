// KLineChart: the candlestick chart engine. A plain record with free
// functions, no window, no lock and no thread: the owner serialises every call
// under its own critical section. It lays out its panes, maps bars to pixels,
// zooms, scrolls and moves a cross-hair; CalcKLineIndicators fills the pixel
// arrays that the painters draw.
//
// Bars: the charts draw bars first .. first + barCount - 1 of the bound
// KLineArea ("valid" bars; first is the area's index of its first drawn bar).
// Invariants: firstVisible >= first after every scroll or zoom; cursor is -1
// or in 0 .. visible - 1 after every arrow-key move and PlaceKLineCrossHair;
// zoomLevel is -1 or indexes zoomStack; every per-bar array has capacity
// elements and capacity never shrinks.
#pragma once

#include <cstdint>

#include "charts/chart_geometry.h"

struct KLineArea;
struct IndicatorWorkspace;
struct ExRightsArea;
struct NewsListArea;
struct KLineFinanceRow;
struct KLineHolderRow;
struct KLineRatingRow;
struct HFONT__;

constexpr int kKLineZoomLevels = 10;
constexpr int kKLineExRightsMarkRoom = 256;
constexpr int kKLineFundCellRoom = 512;
constexpr float kKLineMaxCandleWidth = 91.0f;

// Horizontal layout: the price axis fills the left of the chart; the title
// strips start at its right edge, the bar slots one pixel further, and the
// bars share the width less kKLineBarMargin.
constexpr int kKLineAxisRight = 72;          // title strips start here
constexpr int kKLineFirstSlotX = 73;         // left edge of the first bar slot
constexpr int kKLineBarMargin = 74;          // pixels of the width the bars cannot use
constexpr int kKLineIndicatorTitleLeft = 74; // left edge of the indicator title

// x, y of the high, y of the low.
struct KLineWick {
  int32_t x;
  int32_t yHigh;
  int32_t yLow;
};

// A candle redrawn in the BOLL pane: x, yHigh, yLow, left, yOpen, right, yClose.
struct KLineCandle {
  int32_t x;
  int32_t yHigh;
  int32_t yLow;
  int32_t left;
  int32_t yOpen;
  int32_t right;
  int32_t yClose;
};

struct FundCell {
  ChartRect barRect;
  char text[64];
  ChartRect textRect;
};

struct FundColumn {
  ChartRect rect;
  char beginDate[16];
  char endDate[16];
  int32_t wide;
};

struct NewsMark {
  ChartRect rect;
  char date[16];
  char title[256];
  int32_t sameDayIndex;
  int32_t visible;
};

struct RatingMark {
  ChartRect labelRect;
  ChartRect stemRect;
  char countText[256];
  char date[16];
  ChartPoint arrow[3];
  int32_t kind;
  int32_t visible;
};

struct KLineChart {
  // Fundamentals data (rows borrowed from the related-data fetcher).
  const KLineFinanceRow* financeRows;
  const KLineHolderRow* holderRows;
  FundCell fundCellsA[kKLineFundCellRoom];
  FundCell fundCellsB[kKLineFundCellRoom];
  FundCell fundCellsC[kKLineFundCellRoom];
  FundColumn fundColumns[kKLineFundCellRoom];
  int32_t financeRowCount;
  int32_t holderRowCount;
  int32_t fundTop;
  int32_t fundHeight;
  // Markers.
  const KLineRatingRow* ratingItems;      // borrowed
  int32_t ratingCount;
  RatingMark* ratingMarks;                // owned
  NewsMark* newsMarks;                    // owned
  const NewsListArea* newsList;           // borrowed
  int32_t newsMarkCount;
  ChartRect topStripRect;                 // strip above the main pane
  ChartRect rect;                         // the chart in its window
  const KLineArea* bars;                  // borrowed, null = no data
  IndicatorWorkspace* workspace;          // borrowed
  const ExRightsArea* exRights;           // borrowed
  // Per-bar arrays, capacity entries each (owned).
  ChartRect* upBodies;
  ChartRect* downBodies;
  KLineWick* upWicks;
  KLineWick* downWicks;
  int32_t upCount;
  int32_t downCount;
  ChartPoint* maPoints1;
  ChartPoint* maPoints2;
  ChartPoint* maPoints3;
  ChartRect* upVolumeBars;
  ChartRect* downVolumeBars;
  float* barLefts;                        // left(k) of each visible bar, accumulated in float
  float priceLabels[5];                   // main pane's grid values, top to bottom
  int64_t volumeScaleTop;
  int64_t volumeScaleMid;
  ChartPoint* DifLine;
  ChartPoint* DeaLine;
  ChartPoint* MacdUpBars;
  ChartPoint* MacdDownBars;
  int32_t MacdUpCount;
  int32_t MacdDownCount;
  int32_t MacdZeroY;
  ChartPoint* KdjLines[3];
  ChartPoint* RsiLines[3];
  ChartPoint* BiasLines[3];
  ChartPoint* BollLines[3];               // middle, upper, lower
  ChartPoint* WrLines[2];
  ChartPoint* DmaLines[2];
  ChartPoint* BrarLines[2];               // AR, BR
  ChartPoint* CciLine;
  ChartPoint* PsyLine;
  KLineCandle* BollUpCandles;
  KLineCandle* BollDownCandles;
  ChartPoint* Level2Lines[3];
  int32_t Level2ZeroY;
  ChartRect* Level2UpBars;
  ChartRect* Level2DownBars;
  int32_t Level2UpCount;
  int32_t Level2DownCount;
  float MacdScale[3], RsiScale[3], WrScale[3], BiasScale[3], BrarScale[3], CciScale[3], DmaScale[3],
      PsyScale[3], BollScale[3];
  float Level2Scale[3];
  // View state.
  int32_t firstVisible;                   // absolute index of the leftmost visible bar
  float candleWidth;
  int32_t candleGap;
  int32_t zoomStack[kKLineZoomLevels];
  int32_t zoomLevel;                      // -1 none
  uint8_t scrollToEnd;
  int32_t cursor;                         // offset from firstVisible, -1 none
  int32_t lowerIndicator;                 // 0 volume, 1..17
  uint8_t crossHairShown;
  // Layout.
  int32_t mainTop, volumeTop, mainHeight, volumeHeight, indicatorTop, indicatorHeight;
  int32_t capacity;
  int32_t cursorY;
  float priceMax;
  float priceMin;
  void* owner;
  ChartRect tipRect;
  ChartRect indicatorTitleRect;
  ChartRect mainTitleRect;
  ChartRect volumeTitleRect;
  int32_t paneLayout;
  int32_t fundKind;
  int32_t mainOverlay;
  // Overlay marks.
  ChartPoint* sellMarkPoints;
  ChartPoint* buyMarkPoints;
  int32_t sellMarkCount;
  int32_t buyMarkCount;
  ChartRect* exRightsMarkRects;
  int32_t exRightsMarkItems[kKLineExRightsMarkRoom];
  int32_t exRightsMarkCount;              // <= min(capacity, 256)
  ChartRect* trendBodies[8];              // state * 2 + (0 rising, 1 falling)
  KLineWick* trendWicks[4];
  int32_t trendCounts[8];
  // Price extremes.
  ChartRect lowLabelRect;
  char16_t lowLabel[64];
  int32_t lowLabelAlign;                  // 0 left, 2 right
  ChartRect highLabelRect;
  char16_t highLabel[64];
  int32_t highLabelAlign;
  int32_t showNameInTitle;
  HFONT__* titleFont;                     // UI font 14 (owned)
  HFONT__* tipFont;                       // UI font 16 (owned)
  int32_t backColor, frameColor, gridColor, upColor, downColor, ma1Color, ma2Color, ma3Color, periodColor,
      dateColor, axisColor, labelColor;
};

// A new chart with the creation defaults; no per-bar array yet. Free with
// FreeKLineChart. Null only when memory runs out.
KLineChart* CreateKLineChart(ChartRect rect, void* owner);
void FreeKLineChart(KLineChart* chart);
// Empties data and markers and returns the zoom to its default; keeps
// layout, choices, firstVisible and capacity.
void ResetKLineChart(KLineChart* chart);
// Zero-fills the fundamentals cells and columns of the shown kind.
void ClearKLineFundColumns(KLineChart* chart);

void SetKLineChartData(KLineChart* chart, const KLineArea* bars, IndicatorWorkspace* workspace);
void SetKLineExRights(KLineChart* chart, const ExRightsArea* exRights);
void SetKLineMainOverlay(KLineChart* chart, int overlay);
int GetKLineMainOverlay(const KLineChart* chart);
// Stores it, clears the level-2 zero line and bar counts, recalculates.
void SetKLineLowerIndicator(KLineChart* chart, int indicator);

void LayoutKLineChart(KLineChart* chart);
// trunc((width - kKLineBarMargin) / (gap + candleWidth)), 0 when negative.
int GetKLineVisibleCount(const KLineChart* chart);
// Centre x of the visible offset i.
int KLineBarCentreX(const KLineChart* chart, int offset);
// Offset of a mouse x: trunc((x - kKLineFirstSlotX) / (gap + width)).
int KLineOffsetOfX(const KLineChart* chart, int x);
int GetKLineCursorX(const KLineChart* chart);
ChartRect GetKLineMainTitleStrip(const KLineChart* chart);
ChartRect GetKLineVolumeTitleStrip(const KLineChart* chart);
ChartRect GetKLineIndicatorTitleStrip(const KLineChart* chart);

int KLineBarsNeededForZoomOut(const KLineChart* chart);
void ZoomOutKLineChart(KLineChart* chart);
void ZoomInKLineChart(KLineChart* chart);

void ToggleKLineCrossHairAt(KLineChart* chart, int x, int y);
void MoveKLineCrossHair(KLineChart* chart, int x, int y);
void PlaceKLineCrossHair(KLineChart* chart);
int GetKLineCrossHairY(KLineChart* chart);
// One bar; true when the chart scrolled.
bool MoveKLineCursorLeft(KLineChart* chart);
bool MoveKLineCursorRight(KLineChart* chart);

// Grows every per-bar array to the visible count (contents not kept).
void GrowKLineArrays(KLineChart* chart);

// The bar's date text into buffer (9 bytes): YYYYMMDD for periods 33, 39,
// 40, 41, MMDDhhmm for 34..38, empty otherwise.
void FormatKLineBarDate(const KLineChart* chart, uint32_t packedTime, char* buffer);

// The valid bars of the bound area: first index and count (0, 0 without).
int KLineFirstValid(const KLineChart* chart);
int KLineBarCount(const KLineChart* chart);

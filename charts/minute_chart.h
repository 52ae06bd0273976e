// MinuteChart: the intraday chart engine. A plain record with free functions,
// no window, no lock and no thread: the owner window serialises every call
// under its own critical section. The record owns its geometry, its per-slot
// pixel arrays and its indicator workspace; the minute data, the trading-hours
// entry and the information-mine list are borrowed from the owner.
//
// Calling order: CreateMinuteChart -> SetMinuteChartLayout ->
// SetMinuteChartStock (SetMinuteChartMines when marks arrive) ->
// CalcMinuteIndicators -> the painters -> ResetMinuteChart on a new stock ->
// FreeMinuteChart.
//
// Invariants: every per-slot array holds SlotCapacity entries and
// SlotCapacity >= PointCount; MineMarkCount <= kMineMarkRoom; loops over the
// data run over min(data count, PointCount) entries only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "charts/chart_geometry.h"
#include "platform/gdi/win_gdi.h"

struct MinuteArea;
struct MinuteIndicatorWorkspace;
struct NewsListArea;
struct TradingHoursEntry;
struct TradingHoursTable;

constexpr int kMinuteChartInitialSlots = 332;  // slots allocated at creation
constexpr int kMineMarkRoom = 332;             // MineMarks entries (fixed)
constexpr int kMinutePriceRows = 15;           // PriceScale entries
constexpr int kMinuteScaleRows = 5;            // VolumeScale and the sub-chart scales

// MinuteLayoutMode values.
enum MinuteLayoutMode : int32_t {
  kMinuteLayoutPriceVolume = 0,
  kMinuteLayoutPriceDark = 1,
  kMinuteLayoutFull = 2,
  kMinuteLayoutPriceLight = 3,
  kMinuteLayoutCompact = 4,
};

// MinuteSubChartKind values.
enum MinuteSubChartKind : int32_t {
  kMinuteSubVolume = 0,
  kMinuteSubOrderTotals = 1,
  kMinuteSubDdx = 2,
  kMinuteSubFundFlow = 3,
  kMinuteSubBbd = 4,
  kMinuteSubOpenInterest = 5,
  kMinuteSubMacd = 6,
  kMinuteSubKdj = 7,
  kMinuteSubRsi = 8,
  kMinuteSubWr = 9,
  kMinuteSubBias = 10,
  kMinuteSubPsy = 11,
};

struct MinuteChart {
  ChartRect Bounds;                       // where the chart is drawn; the owner may rewrite it
  MinuteArea* Data;                       // bound minute data (borrowed), null = no stock
  MinuteIndicatorWorkspace* Workspace;    // owned
  ChartPoint* PriceLine;
  ChartPoint* AverageLine;
  ChartPoint* VolumeBars;                 // top of each minute's volume bar
  ChartPoint* UpBars;                     // index strength bars, to UpBarCount
  ChartPoint* DownBars;                   // to DownBarCount
  int32_t UpBarCount;
  int32_t DownBarCount;
  float PriceScale[kMinutePriceRows];     // price labels, top to bottom
  float PercentScale[kMinutePriceRows];   // change-percent labels
  int64_t VolumeScale[kMinuteScaleRows];  // volume labels, top first
  int64_t OrderScale[kMinuteScaleRows];   // top, middle, bottom
  float RsiScale[kMinuteScaleRows];
  float MacdScale[kMinuteScaleRows];
  int32_t PointCount;                     // minute slots of the day (242 at creation)
  int32_t Cursor;                         // slot under the cross-hair, -1 none
  uint8_t CrossHair;                      // cross-hair shown
  const NewsListArea* MineList;           // borrowed, null = none
  ChartPoint MineMarks[kMineMarkRoom];
  int32_t MineMarkCount;                  // <= kMineMarkRoom
  const TradingHoursEntry* Hours;         // borrowed, null = market without entry
  int32_t LayoutMode;
  int32_t SubChart;
  ChartPoint* BidTotalLine;
  ChartPoint* AskTotalLine;
  ChartPoint* OrderDiffUpBars;
  ChartPoint* OrderDiffDownBars;
  int32_t OrderDiffUpCount;
  int32_t OrderDiffDownCount;
  int32_t OrderDiffZeroY;
  int32_t PriceTop, VolumeTop, SubTop;
  int32_t PriceHeight, VolumeHeight, SubHeight;  // a panel's bottom edge is top + 2 + height
  int32_t UnitHeight;                     // (height - 16) / 5
  int32_t CursorY;
  float ScaleTop;                         // price at the top / bottom of the price panel
  float ScaleBottom;
  ChartPoint* DdxLine;
  int32_t DdxZeroY;
  int32_t DdxUpCount;
  int32_t DdxDownCount;
  ChartRect* DdxUpBars;
  ChartRect* DdxDownBars;
  float DdxScale[kMinuteScaleRows];
  ChartPoint* FlowLines[4];               // small, medium, large, super-large orders
  int64_t FlowScale[kMinuteScaleRows];
  ChartPoint* BbdLine;
  int64_t BbdScale[kMinuteScaleRows];
  ChartPoint* InterestLine;
  int64_t InterestScale[kMinuteScaleRows];
  float* PointX;                          // x of each slot's centre line
  void* Owner;                            // kept for the owner; nothing here reads it
  int32_t BackColor, GridColor, UpColor, DownColor, PriceColor, AverageColor, VolumeColor;
  ChartRect TipRect;
  ChartRect SubTitleRect;
  int32_t PriceLineCount;                 // horizontal price grid positions (15)
  int32_t VolumeLineCount;                // horizontal volume grid positions (5)
  ChartPoint* KdjLines[3];
  ChartPoint* RsiLines[3];
  ChartPoint* DifLine;
  ChartPoint* DeaLine;
  ChartPoint* MacdUpBars;
  ChartPoint* MacdDownBars;
  int32_t MacdZeroY;
  int32_t MacdUpCount;
  int32_t MacdDownCount;
  ChartPoint* BiasLines[3];
  float BiasScale[kMinuteScaleRows];
  ChartPoint* WrLines[2];
  float WrScale[kMinuteScaleRows];
  ChartPoint* PsyLine;
  float PsyScale[kMinuteScaleRows];
  int32_t SlotCapacity;                   // entries of every per-slot array (never shrinks)
  HFONT Font;                             // UI face, 16; made at creation, the painters' text font
};

// A new chart with the creation defaults (242 slots, arrays for 332, cursor
// -1, cross-hair on, colours, TipRect (1, 16, 69, 296)). Free with
// FreeMinuteChart. Returns null only when memory runs out.
MinuteChart* CreateMinuteChart(ChartRect bounds, void* owner);

// Releases everything the chart owns and the record; null does nothing.
void FreeMinuteChart(MinuteChart* chart);

// Unbinds data, hours and mines, clears the cursor (cross-hair off) and the
// indicator arrays; keeps PointCount, layout, sub-chart, colours, line counts.
void ResetMinuteChart(MinuteChart* chart);

// Stores the mode; 0 and 4 choose the volume sub-chart, 2 order totals.
void SetMinuteChartLayout(MinuteChart* chart, int mode);

// Binds data and the market's sessions and sets PointCount; the arrays grow
// (zero-filled) only when the new count exceeds their capacity.
void SetMinuteChartStock(MinuteChart* chart, MinuteArea* data, const TradingHoursTable* hours);

// Stores the list (may be null) and places at most kMineMarkRoom markers.
void SetMinuteChartMines(MinuteChart* chart, const NewsListArea* mines);
void PlaceMineMarks(MinuteChart* chart);
// The slot PlaceMineMarks gives an item whose time text (longTime,
// "YYYYMMDDhhmm", at most size bytes) is this: characters 8-9 the hour,
// 10-11 the minute; a short text counts as 00:00. 0 without data.
int MinuteSlotOfMineTime(const MinuteChart* chart, const char* longTime, size_t size);

// Panel geometry from Bounds and LayoutMode.
void LayoutMinuteChart(MinuteChart* chart);

const TradingHoursEntry* GetMinuteChartHours(const MinuteChart* chart);
int GetMinuteChartSubChart(const MinuteChart* chart);
// Stores the kind and recalculates.
void SetMinuteChartSubChart(MinuteChart* chart, int kind);

// The slot of a mouse x: (x - 70) * PointCount / (W - 130); -1 (no cursor)
// when the chart is 130 pixels wide or less.
int MinuteSlotOfX(const MinuteChart* chart, int x);

void TrackMinuteCursor(MinuteChart* chart, int x, int y);
void ToggleMinuteCursor(MinuteChart* chart, int x, int y);
void SettleMinuteCursor(MinuteChart* chart);
int GetMinuteCursorY(MinuteChart* chart);
void StepMinuteCursorBack(MinuteChart* chart);
void StepMinuteCursorForward(MinuteChart* chart);
// PointX at Cursor, truncated; -1 when Cursor is not a slot of the arrays.
int GetMinuteCursorX(const MinuteChart* chart);

ChartRect GetMinuteSubTitleStrip(const MinuteChart* chart);
ChartRect GetMinuteTopStrip(const MinuteChart* chart);

// Points of the bound data that the chart uses: min(points held, PointCount),
// 0 without data.
int MinuteChartPointCount(const MinuteChart* chart);
int MinuteChartFlowCount(const MinuteChart* chart);

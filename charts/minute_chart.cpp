#include "charts/minute_chart.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "charts/minute_chart_indicators.h"
#include "foundation/draw_helpers.h"
#include "marketdata/minute_decoders.h"
#include "marketdata/minute_indicators.h"
#include "marketdata/quote_areas.h"
#include "marketdata/quote_engine.h"
#include "marketdata/trading_hours.h"

namespace {

// Every per-slot point array of the record, for allocation and release.
template <typename F>
void ForEachPointArray(MinuteChart* c, F f) {
  ChartPoint** arrays[] = {&c->PriceLine,     &c->AverageLine,       &c->VolumeBars,   &c->UpBars,
                           &c->DownBars,      &c->BidTotalLine,      &c->AskTotalLine, &c->OrderDiffUpBars,
                           &c->OrderDiffDownBars, &c->DdxLine,       &c->FlowLines[0], &c->FlowLines[1],
                           &c->FlowLines[2],  &c->FlowLines[3],      &c->BbdLine,      &c->InterestLine,
                           &c->KdjLines[0],   &c->KdjLines[1],       &c->KdjLines[2],  &c->RsiLines[0],
                           &c->RsiLines[1],   &c->RsiLines[2],       &c->DifLine,      &c->DeaLine,
                           &c->MacdUpBars,    &c->MacdDownBars,      &c->WrLines[0],   &c->WrLines[1],
                           &c->PsyLine,       &c->BiasLines[0],      &c->BiasLines[1], &c->BiasLines[2]};
  for (ChartPoint** a : arrays) f(a);
}

void ReleaseSlotArrays(MinuteChart* c) {
  ForEachPointArray(c, [](ChartPoint** a) {
    std::free(*a);
    *a = nullptr;
  });
  std::free(c->DdxUpBars);
  std::free(c->DdxDownBars);
  std::free(c->PointX);
  c->DdxUpBars = c->DdxDownBars = nullptr;
  c->PointX = nullptr;
  c->SlotCapacity = 0;
}

bool AllocateSlotArrays(MinuteChart* c, int slots) {
  bool ok = true;
  ForEachPointArray(c, [&](ChartPoint** a) {
    *a = static_cast<ChartPoint*>(std::calloc(slots, sizeof(ChartPoint)));
    ok = ok && *a;
  });
  c->DdxUpBars = static_cast<ChartRect*>(std::calloc(slots, sizeof(ChartRect)));
  c->DdxDownBars = static_cast<ChartRect*>(std::calloc(slots, sizeof(ChartRect)));
  c->PointX = static_cast<float*>(std::calloc(slots, sizeof(float)));
  ok = ok && c->DdxUpBars && c->DdxDownBars && c->PointX;
  c->SlotCapacity = ok ? slots : 0;
  return ok;
}

int TwoDigits(const char* s) {
  int v = 0;
  for (int i = 0; i < 2; ++i) v = v * 10 + ((s[i] >= '0' && s[i] <= '9') ? s[i] - '0' : 0);
  return v;
}

int ChartWidth(const MinuteChart* c) { return c->Bounds.right - c->Bounds.left; }

}  // namespace

int MinuteChartPointCount(const MinuteChart* c) {
  if (!c || !c->Data) return 0;
  return std::clamp<int>(c->Data->pointsHeld, 0, std::min(c->PointCount, c->SlotCapacity));
}

int MinuteChartFlowCount(const MinuteChart* c) {
  if (!c || !c->Data) return 0;
  return std::clamp<int>(c->Data->flowsHeld, 0, std::min(c->PointCount, c->SlotCapacity));
}

MinuteChart* CreateMinuteChart(ChartRect bounds, void* owner) {
  auto* c = static_cast<MinuteChart*>(std::calloc(1, sizeof(MinuteChart)));
  if (!c) return nullptr;
  c->Bounds = bounds;
  c->Owner = owner;
  c->Workspace = CreateMinuteIndicatorWorkspace();
  c->Font = CreateUiFont(GetUiFontFace(), 16);
  if (!c->Workspace || !AllocateSlotArrays(c, kMinuteChartInitialSlots)) {
    FreeMinuteChart(c);
    return nullptr;
  }
  c->Data = nullptr;
  c->CrossHair = 1;
  c->PointCount = 242;
  c->PriceLineCount = 15;
  c->VolumeLineCount = 5;
  c->Cursor = -1;
  c->BackColor = 0x000000;
  c->GridColor = 0xDD0000;
  c->UpColor = 0xFF0000;
  c->DownColor = 0x22FF22;
  c->PriceColor = 0xFFFFFF;
  c->AverageColor = 0xFFFF00;
  c->VolumeColor = 0xFFFF00;
  c->TipRect = {1, 16, 69, 296};
  return c;
}

void FreeMinuteChart(MinuteChart* c) {
  if (!c) return;
  ReleaseSlotArrays(c);
  FreeMinuteIndicatorWorkspace(c->Workspace);
  if (c->Font) DeleteGdiObject(c->Font);
  std::free(c);
}

void ResetMinuteChart(MinuteChart* c) {
  if (!c) return;
  c->Data = nullptr;
  c->MineList = nullptr;
  c->Hours = nullptr;
  c->Cursor = -1;
  c->CrossHair = 0;
  c->DdxUpCount = c->DdxDownCount = 0;
  c->OrderDiffUpCount = c->OrderDiffDownCount = 0;
  c->MineMarkCount = 0;
  c->UpBarCount = c->DownBarCount = 0;
  const size_t n = static_cast<size_t>(std::min(c->PointCount, c->SlotCapacity));
  ChartPoint* zeroed[] = {c->KdjLines[0], c->KdjLines[1], c->KdjLines[2], c->RsiLines[0], c->RsiLines[1],
                          c->RsiLines[2], c->DifLine,     c->DeaLine,     c->MacdUpBars,  c->MacdDownBars,
                          c->WrLines[0],  c->WrLines[1],  c->PsyLine,     c->BiasLines[0], c->BiasLines[1],
                          c->BiasLines[2]};
  for (ChartPoint* a : zeroed)
    if (a) std::memset(a, 0, n * sizeof(ChartPoint));
}

void SetMinuteChartLayout(MinuteChart* c, int mode) {
  if (!c) return;
  c->LayoutMode = mode;
  if (mode == kMinuteLayoutPriceVolume || mode == kMinuteLayoutCompact) c->SubChart = kMinuteSubVolume;
  if (mode == kMinuteLayoutFull) c->SubChart = kMinuteSubOrderTotals;
}

void SetMinuteChartStock(MinuteChart* c, MinuteArea* data, const TradingHoursTable* hours) {
  if (!c) return;
  c->Data = data;
  c->Hours = data ? FindTradingHours(hours, data->key.market) : nullptr;
  int slots = 242;
  if (c->Hours) {
    slots = c->Hours->minutesPerDay;
  } else if (data && data->key.kind == 9) {
    slots = 272;
  }
  // A table entry with no sensible length still gets the default day.
  if (slots < 1 || slots > kMinutePoints) slots = 242;
  const int previous = c->PointCount;
  c->PointCount = slots;
  if (previous >= slots && c->SlotCapacity >= slots) return;
  ReleaseSlotArrays(c);
  if (!AllocateSlotArrays(c, slots)) {
    // Out of memory: keep a consistent record with the old default size.
    ReleaseSlotArrays(c);
    AllocateSlotArrays(c, 0);
    c->PointCount = 0;
  }
  c->UpBarCount = c->DownBarCount = 0;
  c->OrderDiffUpCount = c->OrderDiffDownCount = 0;
}

void SetMinuteChartMines(MinuteChart* c, const NewsListArea* mines) {
  if (!c) return;
  c->MineList = mines;
  PlaceMineMarks(c);
}

int MinuteSlotOfMineTime(const MinuteChart* c, const char* longTime, size_t size) {
  if (!c || !c->Data || !longTime) return 0;
  const size_t len = strnlen(longTime, size);
  const int t = len < 12 ? 0 : TwoDigits(longTime + 8) * 100 + TwoDigits(longTime + 10);
  int open1, close1, open2, close2, close3 = 0, len1, len2;
  const bool third = c->Hours && c->Hours->thirdOpen != 0 && c->Hours->thirdClose != 0;
  if (c->Hours) {
    open1 = c->Hours->firstOpen;
    close1 = c->Hours->firstClose < open1 ? c->Hours->firstClose + 2400 : c->Hours->firstClose;
    open2 = c->Hours->secondOpen;
    close2 = c->Hours->secondClose;
    close3 = c->Hours->thirdClose;
    len1 = ChartMinutesBetween(open1, close1);
    len2 = ChartMinutesBetween(open2, close2);
  } else {
    const bool kind9 = c->Data->key.kind == 9;
    open1 = kind9 ? 915 : 930;
    len1 = kind9 ? 135 : 120;
    close1 = 1130;
    open2 = 1300;
    const int end = 13 * 60 + len1;
    close2 = (end / 60) * 100 + end % 60;
    len2 = len1;
  }
  if (t < open1) return 0;
  if (t < open2) return ChartMinutesBetween(open1, std::min(t, close1));
  if (t < close2) return len1 + ChartMinutesBetween(open2, t);
  if (third && t == close3) return len1 + len2 + ChartMinutesBetween(close3, close2);  // kept as the placement has always done
  return len1 + len2;
}

void PlaceMineMarks(MinuteChart* c) {
  if (!c || !c->MineList || !c->Data) return;
  const int w = ChartWidth(c) - 130;
  const int count = std::clamp(c->MineList->recordCount, 0, kMineMarkRoom);
  if (!c->MineList->records || c->PointCount <= 0) {
    c->MineMarkCount = 0;
    return;
  }
  for (int i = 0; i < count; ++i) {
    const NewsRecord& item = c->MineList->records[i];
    const int s = MinuteSlotOfMineTime(c, item.longTime, sizeof item.longTime);
    c->MineMarks[i] = {static_cast<int32_t>(static_cast<int64_t>(w) * s / c->PointCount + 68), c->PriceTop + 2};
  }
  c->MineMarkCount = count;
}

void LayoutMinuteChart(MinuteChart* c) {
  if (!c) return;
  const int h = c->Bounds.bottom - c->Bounds.top;
  const int w = ChartWidth(c);
  const int u = (h - 16) / 5;
  c->UnitHeight = u;
  switch (c->LayoutMode) {
    case kMinuteLayoutPriceVolume:
    case kMinuteLayoutCompact:
      c->PriceTop = c->LayoutMode == kMinuteLayoutCompact ? 5 : 15;
      c->PriceHeight = c->LayoutMode == kMinuteLayoutCompact ? 3 * u - 6 : 3 * u - 17;
      c->VolumeTop = c->PriceTop + 16 + c->PriceHeight;
      c->VolumeHeight = 2 * u - 16;
      c->SubTop = c->VolumeTop;
      c->SubHeight = c->VolumeHeight;
      break;
    case kMinuteLayoutFull:
      c->PriceTop = 15;
      c->PriceHeight = 3 * u - 17;
      c->VolumeTop = 15 + 16 + c->PriceHeight;
      c->VolumeHeight = u - 16;
      c->SubTop = c->VolumeTop + 16 + c->VolumeHeight;
      c->SubHeight = u - 16;
      break;
    case kMinuteLayoutPriceDark:
      c->PriceTop = 15;
      c->PriceHeight = h - 17;
      break;
    case kMinuteLayoutPriceLight:
      c->PriceTop = c->Bounds.top + 1;
      c->PriceHeight = h - 17;
      break;
    default:
      break;
  }
  c->PriceHeight -= 2;
  c->VolumeHeight -= 2;
  c->SubHeight -= 2;
  c->SubTitleRect = {72, c->SubTop - 15, w - 76, c->SubTop};
}

const TradingHoursEntry* GetMinuteChartHours(const MinuteChart* c) { return c ? c->Hours : nullptr; }

int GetMinuteChartSubChart(const MinuteChart* c) { return c ? c->SubChart : 0; }

void SetMinuteChartSubChart(MinuteChart* c, int kind) {
  if (!c) return;
  c->SubChart = kind;
  CalcMinuteIndicators(c);
}

int MinuteSlotOfX(const MinuteChart* c, int x) {
  const int span = ChartWidth(c) - 130;
  if (span <= 0) return -1;  // no positive divisor: no cursor on a chart this narrow
  return static_cast<int>(static_cast<int64_t>(x - 70) * c->PointCount / span);
}

void TrackMinuteCursor(MinuteChart* c, int x, int y) {
  if (!c || !c->CrossHair || !c->Data) return;
  const int n = MinuteChartPointCount(c);
  if (n < 1) return;
  int slot = MinuteSlotOfX(c, x);
  if (slot >= n) slot = n - 1;
  c->Cursor = slot;
  c->CursorY = y;
}

void ToggleMinuteCursor(MinuteChart* c, int x, int y) {
  if (!c) return;
  c->CrossHair = !c->CrossHair;
  if (c->CrossHair && c->Data) TrackMinuteCursor(c, x, y);
}

void SettleMinuteCursor(MinuteChart* c) {
  if (!c || !c->Data) return;
  const int n = MinuteChartPointCount(c);
  if (c->Cursor < 0) c->Cursor = 0;
  if (c->Cursor > n - 1) c->Cursor = n - 1;
  c->CrossHair = 1;
  if (c->Cursor >= 0) c->CursorY = c->PriceLine[c->Cursor].y;
  CalcMinuteIndicators(c);
}

int GetMinuteCursorY(MinuteChart* c) {
  if (!c) return 0;
  SettleMinuteCursor(c);
  return c->CursorY;
}

void StepMinuteCursorBack(MinuteChart* c) {
  if (!c || !c->Data) return;
  c->Cursor = c->CrossHair ? c->Cursor - 1 : MinuteChartPointCount(c) - 1;
  SettleMinuteCursor(c);
}

void StepMinuteCursorForward(MinuteChart* c) {
  if (!c || !c->Data) return;
  c->Cursor = c->CrossHair ? c->Cursor + 1 : 0;
  SettleMinuteCursor(c);
}

int GetMinuteCursorX(const MinuteChart* c) {
  if (!c || c->Cursor < 0 || c->Cursor >= std::min(c->PointCount, c->SlotCapacity)) return -1;
  return TruncPixel(c->PointX[c->Cursor]);
}

ChartRect GetMinuteSubTitleStrip(const MinuteChart* c) {
  return {72, c->SubTop - 16, c->Bounds.right - 56, c->SubTop};
}

ChartRect GetMinuteTopStrip(const MinuteChart* c) { return {72, 0, c->Bounds.right - 56, 16}; }

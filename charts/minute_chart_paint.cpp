#include "charts/minute_chart_paint.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "foundation/draw_helpers.h"
#include "foundation/number_formats.h"
#include "marketdata/minute_decoders.h"
#include "marketdata/minute_indicators.h"
#include "marketdata/quote_engine.h"

namespace {

constexpr int kSolid = 0;
constexpr int kDotted = 1;
constexpr int kLeft = 0, kCentre = 1, kRight = 2;

int Width(const MinuteChart* c) { return c->Bounds.right - c->Bounds.left; }
int PriceBottom(const MinuteChart* c) { return c->PriceTop + 2 + c->PriceHeight; }
int VolumeBottom(const MinuteChart* c) { return c->VolumeTop + 2 + c->VolumeHeight; }
int SubBottom(const MinuteChart* c) { return c->SubTop + 2 + c->SubHeight; }
int LowestBottom(const MinuteChart* c) {
  switch (c->LayoutMode) {
    case kMinuteLayoutPriceDark:
    case kMinuteLayoutPriceLight: return PriceBottom(c);
    case kMinuteLayoutFull: return SubBottom(c);
    default: return VolumeBottom(c);
  }
}

void Text(HDC dc, int l, int t, int r, int b, const char* s, uint32_t color, int align) {
  RECT rc{l, t, r, b};
  DrawTextUtf8InRect(dc, &rc, s, color, align);
}

void Utf16ToUtf8(const char16_t* in, char* out, int outSize) {
  int o = 0;
  for (; *in && o + 4 < outSize; ++in) {
    unsigned u = *in;
    if (u < 0x80) {
      out[o++] = static_cast<char>(u);
    } else if (u < 0x800) {
      out[o++] = static_cast<char>(0xC0 | (u >> 6));
      out[o++] = static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out[o++] = static_cast<char>(0xE0 | (u >> 12));
      out[o++] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out[o++] = static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  out[o] = 0;
}

void CountText(int64_t v, char* out, int outSize) {
  char16_t wide[64];
  FormatCount(v, wide, 64);
  Utf16ToUtf8(wide, out, outSize);
}

// Colour of v against p, dark or light palette.
uint32_t MoveColor(double v, double p, bool light) {
  if (v > p) return 0xFF0000;
  if (v < p) return light ? 0x229100 : 0x00C800;
  return light ? 0x333333 : 0xFFFFFF;
}

// The vertical time grid of modes 0, 2 and 4; returns m0 and m1.
void DrawTimeGrid(MinuteChart* c, HDC dc, uint32_t g, int* m0, int* m1) {
  const int x0 = 70, W = Width(c), P = W - 128;
  const bool full = c->LayoutMode == kMinuteLayoutFull;
  const TradingHoursEntry* h = c->Hours;
  int c1 = 0, c2 = 0, c3 = 0, n = 0;
  if (h) {
    int close1 = h->firstClose < h->firstOpen ? h->firstClose + 2400 : h->firstClose;
    c1 = ChartMinutesBetween(h->firstOpen, close1) + 1;
    c2 = ChartMinutesBetween(h->secondOpen, h->secondClose) + 1;
    int len3 = ChartMinutesBetween(h->thirdOpen, h->thirdClose);
    c3 = len3 > 0 ? len3 + 1 : 0;
    n = c1 + c2 + c3;
  }
  if (!c->Data || !h || n <= 0 || c1 <= 0 || c2 <= 0) {
    if (full) DrawLine(dc, x0 - 1 + P / 2, c->SubTop, x0 - 1 + P / 2, SubBottom(c), g, kSolid);
    for (int k = 1; k <= 7; ++k) {
      int x = x0 + P * k / 8;
      int style = k == 4 ? kSolid : kDotted;
      DrawLine(dc, x, c->PriceTop, x, PriceBottom(c), g, style);
      DrawLine(dc, x, c->VolumeTop, x, VolumeBottom(c), g, style);
    }
    return;
  }
  const double unit = (W - 130) * 1.0 / n;
  const int w1 = TruncPixel(unit * c1), w2 = TruncPixel(unit * c2);
  const int w3 = c3 > 0 ? TruncPixel(unit * c3) : 0;
  const int filled = n < c->PointCount ? n : c->PointCount;
  std::vector<float> xs(filled > 0 ? filled : 0);
  for (int v = 0; v < filled; ++v) {
    if (v < c1)
      xs[v] = c1 > 1 ? static_cast<float>(w1) * v / (c1 - 1) + 71 : 71.0f;
    else if (v < c1 + c2)
      xs[v] = w1 + 71 + static_cast<float>(w2) * (v - c1 + 1) / c2;
    else
      xs[v] = w1 + 71 + w2 + static_cast<float>(w3) * (v - c1 - c2 + 1) / c3;
  }
  int openMin = h->firstOpen % 100;
  int s0 = openMin < 30 ? 30 - openMin : 60 - openMin;
  for (int v = s0; v < n - 3 && v < filled; v += 30) {
    int x = TruncPixel(xs[v]);
    bool session = v == c1 - 1 || (c3 > 0 && v == c1 + c2 - 2);
    if (session) {
      DrawLineStyled(dc, x, c->PriceTop, x, PriceBottom(c), g, kSolid, 2);
      DrawLineStyled(dc, x, c->VolumeTop, x, VolumeBottom(c), g, kSolid, 2);
      if (full) DrawLineStyled(dc, x, c->SubTop, x, SubBottom(c), g, kSolid, 2);
      if (v == c1 - 1) *m0 = x; else *m1 = x;
    } else {
      DrawLine(dc, x, c->PriceTop, x, PriceBottom(c), g, kDotted);
      DrawLine(dc, x, c->VolumeTop, x, VolumeBottom(c), g, kDotted);
    }
  }
}

void Polyline(HDC dc, const ChartPoint* pts, int count, uint32_t color) {
  if (!pts || count <= 0) return;
  static_assert(sizeof(ChartPoint) == sizeof(POINT));
  DrawPolylineSkipLeading(dc, reinterpret_cast<const POINT*>(pts), count, color);
}

void PercentText(float q, bool dropSign, char* out, int outSize) {
  std::snprintf(out, outSize, "%.2f%%", q);
  if (dropSign && out[0] == '-') std::memmove(out, out + 1, std::strlen(out));
}

}  // namespace

void DrawMinuteStockTitle(MinuteChart* c, HDC dc) {
  if (!c->Data) return;
  char text[64];
  std::snprintf(text, sizeof text, "%s(%s)", c->Data->key.name, c->Data->key.code);
  int w = MeasureTextWidth(dc, text, 0);
  Text(dc, 70, 0, 70 + w, 15, text, 0xFFFF00, kLeft);
}

void DrawMineMarks(MinuteChart* c, HDC dc) {
  if (!c->MineList) return;
  int n = c->MineMarkCount < kMineMarkRoom ? c->MineMarkCount : kMineMarkRoom;
  for (int i = 0; i < n; ++i) {
    const ChartPoint& p = c->MineMarks[i];
    Text(dc, p.x, p.y, p.x + 10, p.y + 10, "*", 0xF0FF00, kCentre);
  }
}

void DrawMinuteTimeAxis(MinuteChart* c, HDC dc, int m0, int m1, uint32_t color) {
  const TradingHoursEntry* h = c->Hours;
  if (!h) return;
  const int W = Width(c), P = W - 128;
  const int y = c->LayoutMode == kMinuteLayoutPriceLight ? PriceBottom(c) : LowestBottom(c);
  char t[16];
  auto fmt = [&](int v) { std::snprintf(t, sizeof t, "%02d:%02d", (v / 100) % 100, v % 100); };
  fmt(h->firstOpen);
  Text(dc, 70, y, 70 + P, y + 16, t, color, kLeft);
  fmt(h->firstClose);
  Text(dc, m0 - 50, y, m0 + 50, y + 16, t, color, kCentre);
  fmt(h->secondClose);
  if (h->thirdClose != 0) {
    Text(dc, m1 - 50, y, m1 + 50, y + 16, t, color, kCentre);
    fmt(h->thirdClose);
  }
  Text(dc, 70, y, 70 + P, y + 16, t, color, kRight);
}

void DrawMinutePriceAxis(MinuteChart* c, HDC dc) {
  if (!c->Data) return;
  const double p = c->Data->previousClose;
  if (p == 0) return;
  const int mode = c->LayoutMode;
  const bool light = mode == kMinuteLayoutPriceLight || mode == kMinuteLayoutCompact;
  const char* pf = c->Data->key.decimals == 3 ? "%.3f" : "%.2f";
  const int rl = c->Bounds.right - 56, rr = c->Bounds.right;
  char t[32];
  auto row = [&](int idx, int top, int bottom, bool right, bool dropSign, bool lightColors) {
    float v = c->PriceScale[idx];
    std::snprintf(t, sizeof t, pf, v);
    Text(dc, 0, top, 70, bottom, t, MoveColor(v, p, lightColors), kRight);
    if (!right) return;
    float q = c->PercentScale[idx];
    PercentText(q, dropSign, t, sizeof t);
    Text(dc, rl, top, rr, bottom, t, MoveColor(q, 0, lightColors), kLeft);
  };
  // Top row: light colours only in mode 3.
  row(0, c->PriceTop - 10, c->PriceTop + 16, mode != kMinuteLayoutPriceDark, false,
      mode == kMinuteLayoutPriceLight);
  if (mode == kMinuteLayoutPriceDark) {
    int y = c->PriceTop + c->PriceHeight / 2;
    row(7, y - 10, y + 10, false, true, false);
  } else if (mode == kMinuteLayoutPriceLight) {
    for (int k = 1; k <= 3; ++k) {
      int y = c->PriceTop + c->PriceHeight * k / 4;
      row(3 * k + 1, y - 10, y + 10, true, true, true);
    }
  } else {
    int lines = c->PriceLineCount;
    for (int k = 1; k <= lines - 2 && k < kMinutePriceRows; ++k) {
      int y = c->PriceTop + c->PriceHeight * k / (lines - 1);
      row(k, y - 10, y + 10, true, true, light);
    }
  }
  int last = mode == kMinuteLayoutPriceLight ? 14 : c->PriceLineCount - 1;
  if (last < 0 || last >= kMinutePriceRows) return;
  row(last, c->PriceTop + c->PriceHeight - 10, c->PriceTop + c->PriceHeight, true, true, light);
}

void DrawMinuteSubChart(MinuteChart* c, HDC dc, int kind) {
  if (!c->Data || kind < kMinuteSubVolume || kind > kMinuteSubPsy) return;
  if (kind == kMinuteSubDdx && !c->Workspace) return;
  const int n = MinuteChartPointCount(c), f = MinuteChartFlowCount(c);
  const int W = Width(c);
  const bool volume = kind == kMinuteSubVolume;
  const int T = volume ? c->VolumeTop : c->SubTop, H = volume ? c->VolumeHeight : c->SubHeight;
  const int rl = c->Bounds.right - 56, rr = c->Bounds.right;
  char t[48];
  auto label = [&](int top, int bottom, bool right) {
    Text(dc, 0, top, 70, bottom, t, 0x00AAFF, kRight);
    if (right) Text(dc, rl, top, rr, bottom, t, 0x00AAFF, kLeft);
  };
  auto bars = [&](const ChartPoint* pts, int count, int toY, uint32_t color) {
    for (int i = 0; i < count && i < c->SlotCapacity && pts; ++i)
      DrawLine(dc, pts[i].x, pts[i].y, pts[i].x, toY, color, kSolid);
  };
  // Three rows (top, middle, bottom) of count labels, "-" for 0.
  auto countRows = [&](const int64_t* scale, int restUp, int high) {
    const int tops[3] = {T - 10, T + H / 2 - restUp, T + H - restUp};
    for (int i = 0; i < 3; ++i) {
      CountText(scale[i], t, sizeof t);
      label(tops[i], tops[i] + high, true);
    }
  };
  // Three rows of float labels; "-" for exactly 0 unless zeroShown.
  auto floatRows = [&](const float* scale, const char* fmt, int firstHigh, bool right, bool zeroShown, int up) {
    const int tops[3] = {T - up, T + H / 2 - up, T + H - up};
    const int highs[3] = {firstHigh, 2 * up, 2 * up};
    for (int i = 0; i < 3; ++i) {
      if (scale[i] == 0 && !zeroShown) std::snprintf(t, sizeof t, "-");
      else std::snprintf(t, sizeof t, fmt, scale[i]);
      label(tops[i], tops[i] + highs[i], right);
    }
  };
  switch (kind) {
    case kMinuteSubVolume: {
      bars(c->VolumeBars, n, VolumeBottom(c), c->VolumeColor);
      const int lines = c->VolumeLineCount;
      CountText(c->VolumeScale[0], t, sizeof t);
      label(T - 8, T + 8, true);
      if (lines > 1) {
        const int step = (H + 2) / (lines - 1);
        for (int k = 1; k <= lines - 2 && k < kMinuteScaleRows; ++k) {
          CountText(c->VolumeScale[k], t, sizeof t);
          label(T - 8 + k * step, T + 8 + k * step, true);
        }
      }
      break;
    }
    case kMinuteSubOrderTotals:
      bars(c->OrderDiffUpBars, c->OrderDiffUpCount, c->OrderDiffZeroY, 0xFF0000);
      bars(c->OrderDiffDownBars, c->OrderDiffDownCount, c->OrderDiffZeroY, 0x22FF22);
      Polyline(dc, c->BidTotalLine, n, 0xFFFFFF);
      Polyline(dc, c->AskTotalLine, n, 0xFFFF00);
      countRows(c->OrderScale, 8, 16);
      break;
    case kMinuteSubDdx:
      if (c->DdxZeroY > 0) DrawLine(dc, 70, c->DdxZeroY, W - 58, c->DdxZeroY, 0x676767, kDotted);
      for (int i = 0; i < c->DdxUpCount && i < c->SlotCapacity && c->DdxUpBars; ++i) {
        RECT r{c->DdxUpBars[i].left, c->DdxUpBars[i].top, c->DdxUpBars[i].right, c->DdxUpBars[i].bottom};
        FillRectColor(dc, &r, 0xFF0000);
      }
      for (int i = 0; i < c->DdxDownCount && i < c->SlotCapacity && c->DdxDownBars; ++i) {
        RECT r{c->DdxDownBars[i].left, c->DdxDownBars[i].top, c->DdxDownBars[i].right, c->DdxDownBars[i].bottom};
        FillRectColor(dc, &r, 0x00FFFF);
      }
      Polyline(dc, c->DdxLine, f, 0xFFFF00);
      floatRows(c->DdxScale, "%.2f", 20, true, true, 10);
      break;
    case kMinuteSubFundFlow: {
      const uint32_t colors[4] = {0x00FF00, 0xFFFF00, 0xFF0000, 0xFFFFFF};
      for (int i = 0; i < 4; ++i) Polyline(dc, c->FlowLines[i], f, colors[i]);
      countRows(c->FlowScale, 10, 20);
      break;
    }
    case kMinuteSubBbd:
      Polyline(dc, c->BbdLine, f, 0xFFFFFF);
      countRows(c->BbdScale, 10, 20);
      break;
    case kMinuteSubOpenInterest:
      Polyline(dc, c->InterestLine, n, 0xFFFFFF);
      countRows(c->InterestScale, 10, 20);
      break;
    case kMinuteSubMacd:
      DrawLine(dc, 70, c->MacdZeroY, W - 58, c->MacdZeroY, 0x676767, kDotted);
      bars(c->MacdUpBars, c->MacdUpCount, c->MacdZeroY, 0xFF0000);
      bars(c->MacdDownBars, c->MacdDownCount, c->MacdZeroY, 0x00FF00);
      Polyline(dc, c->DifLine, n, 0xFFFFFF);
      Polyline(dc, c->DeaLine, n, 0xFFFF00);
      floatRows(c->MacdScale, "%.2f", 16, false, false, 8);
      break;
    case kMinuteSubKdj: {
      const uint32_t colors[3] = {0xFFFFFF, 0xFFFF00, 0xEA00FF};
      for (int i = 0; i < 3; ++i) Polyline(dc, c->KdjLines[i], n, colors[i]);
      const char* texts[3] = {"100", "50", "0"};
      const int tops[3] = {T - 8, T + H / 2 - 8, T + H - 8};
      for (int i = 0; i < 3; ++i) {
        std::snprintf(t, sizeof t, "%s", texts[i]);
        label(tops[i], tops[i] + (i == 0 ? 24 : 16), false);
      }
      break;
    }
    case kMinuteSubRsi: {
      const uint32_t colors[3] = {0xFFFFFF, 0xFFFF00, 0xFF00FF};
      const bool skipFirst = c->Workspace && c->Workspace->rsi1[0] == 0;
      for (int i = 0; i < 3; ++i) {
        if (!c->RsiLines[i]) continue;
        if (skipFirst) Polyline(dc, c->RsiLines[i] + 1, n - 1, colors[i]);
        else Polyline(dc, c->RsiLines[i], n, colors[i]);
      }
      floatRows(c->RsiScale, "%.3f", 16, false, false, 8);
      break;
    }
    case kMinuteSubWr:
      Polyline(dc, c->WrLines[0], n, 0xFFFFFF);
      Polyline(dc, c->WrLines[1], n, 0xFFFF00);
      floatRows(c->WrScale, "%.3f", 16, false, false, 8);
      break;
    case kMinuteSubBias: {
      const uint32_t colors[3] = {0xFFFFFF, 0xFFFF00, 0xFF00FF};
      for (int i = 0; i < 3; ++i) Polyline(dc, c->BiasLines[i], n, colors[i]);
      floatRows(c->BiasScale, "%.2f", 16, false, false, 8);
      break;
    }
    case kMinuteSubPsy:
      Polyline(dc, c->PsyLine, n, 0xFFFFFF);
      floatRows(c->PsyScale, "%.2f", 20, false, false, 8);
      break;
  }
}

static void DrawMinuteChartBody(MinuteChart* c, HDC dc);

void DrawMinuteChart(MinuteChart* c, HDC dc) {
  LayoutMinuteChart(c);
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ previousFont = nullptr;
  if (c->Font) SelectGdiObjectSave(dc, c->Font, &previousFont);
  DrawMinuteChartBody(c, dc);
  if (previousFont) SelectGdiObject(dc, previousFont);
}

static void DrawMinuteChartBody(MinuteChart* c, HDC dc) {
  RECT all{c->Bounds.left, c->Bounds.top, c->Bounds.right, c->Bounds.bottom};
  FillRectColor(dc, &all, c->BackColor);
  const int mode = c->LayoutMode;
  const uint32_t g = mode == kMinuteLayoutPriceDark ? 0x595959 : mode == kMinuteLayoutPriceLight ? 0xA4A4A4 : c->GridColor;
  const int x0 = 70, W = Width(c), P = W - 128, xR = W - 58;
  const int low = LowestBottom(c);
  DrawLine(dc, x0, c->PriceTop, xR, c->PriceTop, g, kSolid);
  DrawLine(dc, x0, low, xR, low, g, kSolid);
  DrawLine(dc, x0, c->PriceTop, x0, low, g, kSolid);
  DrawLine(dc, x0 + P - 1, c->PriceTop, x0 + P - 1, low, g, kSolid);
  int m0 = x0 - 1 + P / 2, m1 = 0;
  if (mode == kMinuteLayoutPriceDark) {
    int y = c->PriceTop + (c->PriceHeight + 2) / 2;
    DrawLine(dc, x0, y, xR, y, g, kSolid);
  } else if (mode == kMinuteLayoutPriceLight) {
    for (int k = 1; k <= 3; ++k) {
      int y = c->PriceTop + (c->PriceHeight + 2) * k / 4;
      DrawLine(dc, x0, y, xR, y, 0xA4A4A4, kDotted);
    }
    for (int k = 1; k <= 3; ++k) {
      int x = x0 + P * k / 4;
      DrawLine(dc, x, c->PriceTop, x, PriceBottom(c), 0xA4A4A4, kDotted);
    }
  } else {
    const int lines = c->PriceLineCount;
    for (int k = 1; k <= lines - 2; ++k) {
      int y = c->PriceTop + (c->PriceHeight + 2) * k / (lines - 1);
      DrawLineStyled(dc, x0, y, xR, y, g, kSolid, k == lines / 2 ? 2 : 1);
    }
    const int vlines = c->VolumeLineCount;
    for (int k = 1; k <= vlines - 2; ++k) {
      int y = c->VolumeTop + (c->VolumeHeight + 2) * k / (vlines - 1);
      DrawLine(dc, x0, y, xR, y, g, kSolid);
    }
    if (mode == kMinuteLayoutFull) {
      DrawLine(dc, x0, c->SubTop, xR, c->SubTop, g, kSolid);
      DrawLine(dc, x0, c->SubTop + 1 + c->SubHeight / 2, x0 + P, c->SubTop + 1 + c->SubHeight / 2, 0xAA0000, kDotted);
      DrawLine(dc, x0, SubBottom(c), x0 + P, SubBottom(c), g, kSolid);
    }
    DrawLine(dc, x0, PriceBottom(c), xR, PriceBottom(c), g, kSolid);
    DrawTimeGrid(c, dc, g, &m0, &m1);
    DrawLine(dc, x0, c->VolumeTop, xR, c->VolumeTop, g, kSolid);
    DrawLine(dc, x0, c->VolumeTop + 1 + c->VolumeHeight / 2, x0 + P, c->VolumeTop + 1 + c->VolumeHeight / 2, g, kDotted);
    DrawLine(dc, x0, VolumeBottom(c), x0 + P, VolumeBottom(c), g, kSolid);
  }
  if (!c->Data) return;
  const int n = MinuteChartPointCount(c);
  if (mode == kMinuteLayoutPriceDark) {
    Polyline(dc, c->PriceLine, n, 0x60C8FF);
  } else if (mode == kMinuteLayoutPriceLight) {
    Polyline(dc, c->PriceLine, n, 0xF93838);
    if (n > 0 && c->AverageLine && c->AverageLine[0].y > 0) Polyline(dc, c->AverageLine, n, 0x56C6FB);
  } else {
    const int my = c->PriceTop + 1 + c->PriceHeight / 2;
    for (int i = 0; i < c->UpBarCount && i < c->SlotCapacity && c->UpBars; ++i)
      DrawLine(dc, c->UpBars[i].x, c->UpBars[i].y, c->UpBars[i].x, my, c->UpColor, kSolid);
    for (int i = 0; i < c->DownBarCount && i < c->SlotCapacity && c->DownBars; ++i)
      DrawLine(dc, c->DownBars[i].x, c->DownBars[i].y, c->DownBars[i].x, my, c->DownColor, kSolid);
    Polyline(dc, c->PriceLine, n, c->PriceColor);
    if (n > 0 && c->AverageLine && c->AverageLine[0].y > 0) Polyline(dc, c->AverageLine, n, c->AverageColor);
  }
  DrawMineMarks(c, dc);
  if (mode == kMinuteLayoutPriceVolume || mode == kMinuteLayoutCompact) {
    DrawMinuteSubChart(c, dc, c->SubChart);
  } else if (mode == kMinuteLayoutFull) {
    DrawMinuteSubChart(c, dc, kMinuteSubVolume);
    DrawMinuteSubChart(c, dc, c->SubChart);
  }
  DrawMinutePriceAxis(c, dc);
  if (mode == kMinuteLayoutPriceVolume || mode == kMinuteLayoutPriceDark || mode == kMinuteLayoutFull)
    DrawMinuteStockTitle(c, dc);
  if (mode == kMinuteLayoutPriceLight)
    DrawMinuteTimeAxis(c, dc, m0, m1, 0xA4A4A4);
  else if (mode != kMinuteLayoutPriceDark)
    DrawMinuteTimeAxis(c, dc, m0, m1, 0x00AAFF);
}

void DrawMinuteCursorLines(MinuteChart* c, HDC dc) {
  const int x = TruncPixel(c->PointX[c->Cursor]);
  DrawLineRop(dc, x, c->PriceTop, x, PriceBottom(c), 0xFFFFFF, kSolid, 1, R2_NOT);
  DrawLineRop(dc, x, c->VolumeTop, x, VolumeBottom(c), 0xFFFFFF, kSolid, 1, R2_NOT);
  DrawLineRop(dc, x, c->SubTop, x, SubBottom(c), 0xFFFFFF, kSolid, 1, R2_NOT);
  const int y = c->CursorY;
  if ((y > c->PriceTop && y < PriceBottom(c)) || (y > c->VolumeTop && y < VolumeBottom(c)))
    DrawLineRop(dc, 70, y, c->Bounds.right - 58, y, 0xFFFFFF, kSolid, 1, R2_NOT);
}

void DrawMinuteCursor(MinuteChart* c, HDC dc) {
  if (!c->CrossHair || !c->Data || !c->PointX) return;
  if (c->Cursor < 0 || c->Cursor >= MinuteChartPointCount(c)) return;
  DrawMinuteCursorLines(c, dc);
}

void FormatMinuteSlotTime(const MinuteChart* c, int s, char* out, int outSize) {
  int base, offset;
  if (const TradingHoursEntry* h = c->Hours) {
    int close1 = h->firstClose < h->firstOpen ? h->firstClose + 2400 : h->firstClose;
    int len1 = ChartMinutesBetween(h->firstOpen, close1);
    int len2 = ChartMinutesBetween(h->secondOpen, h->secondClose);
    if (s <= len1) { base = h->firstOpen; offset = s; }
    else if (s <= len1 + 1 + len2) { base = h->secondOpen; offset = s - len1 - 1; }
    else { base = h->thirdOpen; offset = s - len1 - len2 - 2; }
  } else {
    bool k9 = c->Data && c->Data->key.kind == 9;
    int len1 = k9 ? 135 : 120;
    if (s <= len1) { base = k9 ? 915 : 930; offset = s; }
    else { base = 1300; offset = s - len1 - 1; }
  }
  int hour = offset / 60 + base / 100, minute = offset % 60 + base % 100;
  if (minute > 59) { hour += 1; minute -= 60; }
  if (hour >= 24) hour -= 24;
  std::snprintf(out, outSize, "%02d:%02d", hour, minute);
}

void DrawMinuteDataTip(MinuteChart* c, HDC dc) {
  if (!c->CrossHair || !c->Data) return;
  const int s = c->Cursor;
  if (s < 0 || s >= MinuteChartPointCount(c)) return;
  const int w = c->TipRect.right - c->TipRect.left, h = c->TipRect.bottom - c->TipRect.top;
  RECT all{0, 0, w, h};
  FillRectColor(dc, &all, 0x000000);
  DrawRectangle(dc, &all, 0xFF0000, kSolid);
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ previousFont = nullptr;
  if (c->Font) SelectGdiObjectSave(dc, c->Font, &previousFont);
  struct Restore {
    HDC dc;
    HGDIOBJ font;
    ~Restore() { if (font) SelectGdiObject(dc, font); }
  } restore{dc, previousFont};
  const MinutePoint& pt = c->Data->points[s];
  const double p = c->Data->previousClose, v = pt.price;
  const char* pf = c->Data->key.decimals == 2 ? "%.2f" : "%.3f";
  char t[48];
  auto caption = [&](int top, int bottom, const char* s8) { Text(dc, 0, top, w - 2, bottom, s8, 0xDDDDDD, kLeft); };
  auto value = [&](int top, int bottom, uint32_t color) { Text(dc, 0, top, w - 2, bottom, t, color, kRight); };
  caption(0, 20, "时间:");
  FormatMinuteSlotTime(c, s, t, sizeof t);
  value(20, 40, 0xFFFFFF);
  caption(40, 60, "现价:");
  if (v == 0) std::snprintf(t, sizeof t, "-"); else std::snprintf(t, sizeof t, pf, v);
  value(60, 80, MoveColor(v, p, false));
  caption(80, 100, "均价:");
  if (pt.average == 0) std::snprintf(t, sizeof t, "-"); else std::snprintf(t, sizeof t, pf, pt.average);
  value(100, 116, MoveColor(pt.average, p, false));
  caption(116, 136, "涨跌:");
  const double d = v - p;
  if (d == 0) std::snprintf(t, sizeof t, "-"); else std::snprintf(t, sizeof t, pf, d);
  value(136, 156, MoveColor(v, p, false));
  caption(156, 176, "幅度:");
  if (v == 0 || p == 0) std::snprintf(t, sizeof t, "-");
  else if (v == p) std::snprintf(t, sizeof t, "0.00%%");
  else std::snprintf(t, sizeof t, "%.2f%%", d * 100 / p);
  value(176, 196, MoveColor(v, p, false));
  caption(196, 216, "成交量:");
  CountText(pt.volume, t, sizeof t);
  value(216, 236, 0xFFFF00);
  caption(236, 256, "成交额:");
  CountText(pt.amount, t, sizeof t);
  value(256, 276, 0xFFFF00);
}

void DrawMinuteSubTitle(MinuteChart* c, HDC dc) {
  const int w = c->SubTitleRect.right - c->SubTitleRect.left;
  const int h = c->SubTitleRect.bottom - c->SubTitleRect.top;
  RECT all{0, 0, w, h};
  FillRectColor(dc, &all, 0x000000);
  if (!c->Data) return;
  const int n = MinuteChartPointCount(c);
  if (n <= 0) return;
  const int s = c->Cursor >= 0 && c->Cursor < n ? c->Cursor : n - 1;
  if (s >= kMinutePoints || s >= kMinuteIndicatorRoom) return;
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ previousFont = nullptr;
  if (c->Font) SelectGdiObjectSave(dc, c->Font, &previousFont);
  struct Restore {
    HDC dc;
    HGDIOBJ font;
    ~Restore() { if (font) SelectGdiObject(dc, font); }
  } restore{dc, previousFont};
  const int kind = c->SubChart;
  const MinuteIndicatorWorkspace* ws = c->Workspace;
  if (kind >= kMinuteSubDdx && kind <= kMinuteSubOpenInterest && !ws) return;
  const MinutePoint& pt = c->Data->points[s];
  char t[96], v[48];
  int x = 0;
  // Kinds 1-5: measured items in rows 0-16, 10 px apart.
  auto item = [&](uint32_t color) {
    int tw = MeasureTextWidth(dc, t, 0);
    Text(dc, x, 0, x + tw, 16, t, color, kLeft);
    x += tw + 10;
  };
  // Kinds 6-11: label and value in (x, 1, W, 15).
  const int gap = kind == kMinuteSubMacd ? 5 : 10;
  auto indicator = [&](const char* label, double value, uint32_t color) {
    if (value == 0) std::snprintf(v, sizeof v, "-"); else std::snprintf(v, sizeof v, "%.3f", value);
    std::snprintf(t, sizeof t, "%s%s", label, v);
    Text(dc, x, 1, w, 15, t, color, kLeft);
    x += MeasureTextWidth(dc, t, 0) + gap;
  };
  switch (kind) {
    case kMinuteSubOrderTotals: {
      const int64_t bid = pt.bidVolume, ask = pt.askVolume, diff = bid - ask;
      const uint32_t diffColor = diff > 0 ? 0xFF0000 : diff < 0 ? 0x00FF00 : 0xFFFFFF;
      CountText(bid, v, sizeof v);
      std::snprintf(t, sizeof t, "委买:%s", v);
      item(0xFFFFFF);
      CountText(ask, v, sizeof v);
      std::snprintf(t, sizeof t, "委卖:%s", v);
      item(0xFFFF00);
      CountText(diff, v, sizeof v);
      std::snprintf(t, sizeof t, "委差:%s", v);
      item(diffColor);
      if (bid > 0 && ask > 0) std::snprintf(t, sizeof t, "多空比:%.2f", static_cast<double>(bid) / ask);
      else std::snprintf(t, sizeof t, "多空比:-");
      item(diffColor);
      break;
    }
    case kMinuteSubDdx:
      std::snprintf(t, sizeof t, "DDX:%.3f", ws->ddx[s]);
      item(0xFFFFFF);
      std::snprintf(t, sizeof t, "DDX累积:%.3f", ws->ddxSum[s]);
      item(0xFFFF00);
      break;
    case kMinuteSubFundFlow: {
      if (s >= MinuteChartFlowCount(c)) break;
      const char* labels[4] = {"散户:%s", "中户:%s", "大户:%s", "超大:%s"};
      const uint32_t colors[4] = {0x00FF00, 0xFFFF00, 0xFF0000, 0xFFFFFF};
      for (int i = 0; i < 4; ++i) {
        CountText(c->Data->flows[s].running[i], v, sizeof v);
        std::snprintf(t, sizeof t, labels[i], v);
        item(colors[i]);
      }
      break;
    }
    case kMinuteSubBbd:
      CountText(ws->bbd[s], v, sizeof v);
      std::snprintf(t, sizeof t, "分时BBD:%s", v);
      item(0xFFFF00);
      break;
    case kMinuteSubOpenInterest:
      CountText(pt.field8, v, sizeof v);
      std::snprintf(t, sizeof t, "持仓量:%s", v);
      item(0xFFFFFF);
      break;
    default:
      break;
  }
  if (!ws || kind < kMinuteSubMacd || kind > kMinuteSubPsy) return;
  switch (kind) {
    case kMinuteSubMacd:
      indicator("DIF:", ws->macdDif[s], 0xFFFFFF);
      indicator("DEA:", ws->macdDea[s], 0xFFFF00);
      indicator("MACD:", ws->macdMacd[s], 0xFFFF00);
      break;
    case kMinuteSubKdj:
      indicator("K:", ws->kdjK[s], 0xFFFFFF);
      indicator("D:", ws->kdjD[s], 0xFFFF00);
      indicator("J:", ws->kdjJ[s], 0xEA00FF);
      break;
    case kMinuteSubRsi:
      indicator("RSI6:", ws->rsi1[s], 0xFFFFFF);
      indicator("RSI12:", ws->rsi2[s], 0xFFFF00);
      indicator("RSI24:", ws->rsi3[s], 0xFF00FF);
      break;
    case kMinuteSubWr:
      indicator("WR1:", ws->wr1[s], 0xFFFFFF);
      indicator("WR2:", ws->wr2[s], 0xFFFF00);
      break;
    case kMinuteSubBias:
      indicator("BIAS1:", ws->bias[0][s], 0xFFFFFF);
      indicator("BIAS2:", ws->bias[1][s], 0xFFFF00);
      indicator("BIAS3:", ws->bias[2][s], 0xFF00FF);
      break;
    case kMinuteSubPsy:
      indicator("PSY:", ws->psy[s], 0xFFFFFF);
      break;
  }
}

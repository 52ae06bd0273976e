// The star map engine: geometry, ranges and labels, the cursor and its
// selection, and offscreen renders probed by their pixels.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>

#include "foundation/number_formats.h"
#include "monitor/star_map.h"
#include "monitor/tests/monitor_test_support.h"

using namespace monitor_test;

namespace {

struct MapDeleter {
  void operator()(StarMap* m) const { FreeStarMap(m); }
};
using MapPtr = std::unique_ptr<StarMap, MapDeleter>;

MapPtr NewMap(int width, int height) {
  EnsureGuiApplication();
  RECT r{0, 0, width, height};
  return MapPtr(CreateStarMap(&r, nullptr));
}

std::u16string FactorText(int factor, double value) {
  WCHAR text[kNumberTextSize];
  FormatStarMapFactor(factor, value, text, kNumberTextSize);
  return text;
}

// A map of 566 x 400 (plot 400 x 362) over records whose X factor (0,
// change percent) and Y factor (2, turnover) the test sets.
struct Plot {
  HandList list;
  MapPtr map;
  Plot(int n, int width = 566, int height = 400) : list(n), map(NewMap(width, height)) {
    map->xFactor = kStarFactorChange;
    map->yFactor = kStarFactorTurnover;
  }
  void Set(int i, int x, int y) {
    list[i].changePercent = x;
    list[i].turnoverRate = y;
  }
  void Load() {
    SetStarMapData(map.get(), &list.area);
    ComputeStarMap(map.get());
  }
};

TEST(StarMapLayout, PlotAndTipFollowTheRectangle) {
  struct Case {
    const char* name;
    int width, height;
    int plotWidth, plotHeight;
    RECT tip;
  } cases[] = {
      {"566 wide", 566, 400, 400, 362, {476, 16, 566, 220}},
      {"300 wide", 300, 200, 134, 162, {210, 16, 300, 220}},
      {"too small", 40, 30, -126, -8, {-50, 16, 40, 220}},
  };
  for (const Case& c : cases) {
    MapPtr map = NewMap(c.width, c.height);
    ASSERT_TRUE(map) << c.name;
    EXPECT_EQ(map->plotTop, 16) << c.name;
    EXPECT_EQ(map->plotLeft, 76) << c.name;
    EXPECT_EQ(map->plotWidth, c.plotWidth) << c.name;
    EXPECT_EQ(map->plotHeight, c.plotHeight) << c.name;
    EXPECT_EQ(map->tipRect.left, c.tip.left) << c.name;
    EXPECT_EQ(map->tipRect.top, c.tip.top) << c.name;
    EXPECT_EQ(map->tipRect.right, c.tip.right) << c.name;
    EXPECT_EQ(map->tipRect.bottom, c.tip.bottom) << c.name;
    // The defaults of a new map.
    EXPECT_EQ(map->yFactor, kStarFactorVolume) << c.name;
    EXPECT_EQ(map->xFactor, kStarFactorPeRatio) << c.name;
    EXPECT_EQ(map->selection, -1) << c.name;
    EXPECT_EQ(map->xLabelCount, 5) << c.name;
    EXPECT_EQ(map->yLabelCount, 5) << c.name;
    EXPECT_TRUE(map->tipFont) << c.name;
  }
}

TEST(StarMapCompute, ScaleOneMapsValuesToPixelsAndLabelsSpanTheRange) {
  Plot p(2);
  p.Set(0, 100, 7);
  p.Set(1, 500, 7);
  p.Load();
  EXPECT_FLOAT_EQ(p.map->xScale, 1.0f);
  EXPECT_EQ(p.map->points[0].x, 76);
  EXPECT_EQ(p.map->points[1].x, 476);
  const float expected[] = {100, 200, 300, 400, 500};
  for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(p.map->xLabels[i], expected[i]) << i;
  EXPECT_EQ(FactorText(p.map->xFactor, p.map->xLabels[0]), u"1.00%");
  EXPECT_EQ(FactorText(p.map->xFactor, p.map->xLabels[4]), u"5.00%");
  // Equal Y values: every dot on the bottom line, no division by zero.
  EXPECT_EQ(p.map->points[0].y, p.map->plotHeight + 16);
  EXPECT_EQ(p.map->points[1].y, p.map->plotHeight + 16);
  // Dot rectangles are 12 x 12 around the centre.
  EXPECT_EQ(p.map->dots[1].left, 470);
  EXPECT_EQ(p.map->dots[1].right, 482);
  EXPECT_EQ(p.map->dots[1].top, p.map->plotHeight + 10);
  EXPECT_EQ(p.map->dots[1].bottom, p.map->plotHeight + 22);
}

TEST(StarMapCompute, YMaximumAtTheTopAndLabelsFromTheTop) {
  Plot p(3);
  p.Set(0, 0, 0);
  p.Set(1, 0, 362);
  p.Set(2, 0, 181);
  p.Load();
  // X range empty: every dot on the left edge.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(p.map->points[i].x, 76) << i;
  EXPECT_EQ(p.map->points[0].y, 16 + 362);
  EXPECT_EQ(p.map->points[1].y, 16);
  EXPECT_EQ(p.map->points[2].y, 16 + 181);
  EXPECT_FLOAT_EQ(p.map->yLabels[0], 362);
  EXPECT_FLOAT_EQ(p.map->yLabels[4], 0);
  EXPECT_FLOAT_EQ(p.map->yLabels[1], 362 - 90);  // truncating division
}

TEST(StarMapCompute, ExtremeVolumesGiveOrderedLabelsWithoutOverflow) {
  Plot p(3);
  p.map->xFactor = kStarFactorVolume;
  p.map->yFactor = kStarFactorVolume;
  const int64_t big = int64_t{1} << 62;
  p.list[0].totalVolume = -big - (big - 1);  // close to the 64-bit minimum
  p.list[1].totalVolume = big + (big - 1);   // the 64-bit maximum
  p.list[2].totalVolume = 0;
  p.Load();
  EXPECT_EQ(p.map->xMin, -big - (big - 1));
  EXPECT_EQ(p.map->xMax, std::numeric_limits<int64_t>::max());
  for (int i = 1; i < 5; ++i) EXPECT_LT(p.map->xLabels[i - 1], p.map->xLabels[i]) << i;
  for (int i = 1; i < 5; ++i) EXPECT_GT(p.map->yLabels[i - 1], p.map->yLabels[i]) << i;
  EXPECT_EQ(p.map->points[0].x, 76);
  EXPECT_GE(p.map->points[1].x, 475);
  EXPECT_LE(p.map->points[1].x, 476);
  // The label texts come from the floats (large counts lose precision).
  EXPECT_EQ(FactorText(kStarFactorVolume, p.map->xLabels[4]), u"92233720368.55亿");
  Canvas canvas(566, 400);
  DrawStarMap(p.map.get(), canvas.dc);  // labels at the extremes draw too
}

TEST(StarMapCompute, FactorsOutsideTheTableAreRefused) {
  Plot p(2);
  p.Set(0, 100, 1);
  p.Set(1, 500, 2);
  p.Load();
  const POINT before = p.map->points[1];
  for (int f : {6, -1, 1000}) {
    SetStarMapXFactor(p.map.get(), f);
    SetStarMapYFactor(p.map.get(), f);
    EXPECT_EQ(p.map->xFactor, kStarFactorChange) << f;
    EXPECT_EQ(p.map->yFactor, kStarFactorTurnover) << f;
  }
  EXPECT_EQ(p.map->points[1].x, before.x);
  EXPECT_EQ(p.map->points[1].y, before.y);
  SetStarMapXFactor(p.map.get(), kStarFactorTurnover);  // a valid one recomputes
  EXPECT_EQ(p.map->points[0].x, 76);
  EXPECT_EQ(p.map->points[1].x, 476);
}

TEST(StarMapFormats, LabelAndTipTextsPerFactor) {
  struct Case {
    const char* name;
    int factor;
    double value;
    std::u16string text;
  } cases[] = {
      {"change", 0, -123, u"-1.23%"},
      {"three-day change", 1, 1050, u"10.50%"},
      {"turnover", 2, 0, u"0.00%"},
      {"three-day turnover", 3, 7, u"0.07%"},
      {"pe ratio", 4, 153456, u"15.35"},
      {"pe ratio zero", 4, 0, u"-"},
      {"volume small", 5, 9999, u"9999"},
      {"volume wan", 5, 12345, u"1.23万"},
      {"volume yi", 5, 150000000, u"1.50亿"},
      {"volume negative", 5, -25000000, u"-2500.00万"},
      {"volume zero", 5, 0, u"-"},
      {"unknown factor", 6, 5, u""},
  };
  for (const Case& c : cases) EXPECT_EQ(FactorText(c.factor, c.value), c.text) << c.name;
}

TEST(StarMapCursor, ClicksToggleAndMovesFollowOnlyWhileOn) {
  Plot p(3);
  p.Set(0, 100, 1);
  p.Set(1, 500, 100);
  p.Set(2, 100, 1);  // on top of record 0
  p.Load();
  const POINT a = p.map->points[0], b = p.map->points[1];

  // Without the mode a move changes nothing.
  MoveStarMapCursor(p.map.get(), b.x, b.y);
  EXPECT_EQ(p.map->selection, -1);
  EXPECT_EQ(p.map->cursorX, 0);

  ClickStarMap(p.map.get(), a.x + 6, a.y - 6);  // corner: bounds included
  EXPECT_EQ(p.map->cursorMode, 1);
  EXPECT_EQ(p.map->selection, 0) << "the first of overlapping dots";
  EXPECT_EQ(GetStarMapCursorX(p.map.get()), a.x + 6);

  MoveStarMapCursor(p.map.get(), b.x, b.y);
  EXPECT_EQ(p.map->selection, 1);
  MoveStarMapCursor(p.map.get(), 300, 100);  // empty space
  EXPECT_EQ(p.map->selection, -1);
  MoveStarMapCursor(p.map.get(), b.x - 7, b.y);  // one pixel outside
  EXPECT_EQ(p.map->selection, -1);
  MoveStarMapCursor(p.map.get(), b.x, b.y);

  ClickStarMap(p.map.get(), 10, 10);  // off: selection and cursor stay
  EXPECT_EQ(p.map->cursorMode, 0);
  EXPECT_EQ(p.map->selection, 1);
  EXPECT_EQ(p.map->cursorX, b.x);

  MoveStarMapCursor(p.map.get(), a.x, a.y);
  EXPECT_EQ(p.map->selection, 1);

  // Without data nothing toggles.
  ResetStarMap(p.map.get());
  ClickStarMap(p.map.get(), a.x, a.y);
  EXPECT_EQ(p.map->cursorMode, 0);
  EXPECT_EQ(p.map->selection, -1);
}

TEST(StarMapCursor, NewListsKeepTheSelectionInsideTheirRecords) {
  Plot p(5);
  for (int i = 0; i < 5; ++i) p.Set(i, 100 * i, i);
  p.Load();
  ClickStarMap(p.map.get(), p.map->points[4].x, p.map->points[4].y);
  ASSERT_EQ(p.map->selection, 4);

  HandList shorter(3);
  SetStarMapData(p.map.get(), &shorter.area);
  EXPECT_EQ(p.map->selection, 2);
  HandList longer(8);
  SetStarMapData(p.map.get(), &longer.area);
  EXPECT_EQ(p.map->selection, 2);
  HandList empty(0);
  SetStarMapData(p.map.get(), &empty.area);
  EXPECT_EQ(p.map->selection, -1);
  EXPECT_EQ(p.map->count, 0);

  // ResumeStarMapCursor clamps and turns the cursor on.
  SetStarMapData(p.map.get(), &longer.area);
  p.map->selection = 7;
  SetStarMapData(p.map.get(), &shorter.area);
  p.map->cursorMode = 0;
  ResumeStarMapCursor(p.map.get());
  EXPECT_EQ(p.map->selection, 2);
  EXPECT_EQ(p.map->cursorMode, 1);
}

TEST(StarMapBadInput, CountsAndArraysAreBounded) {
  struct Case {
    const char* name;
    int records;       // records allocated
    int recordCount;   // what the area claims
    int capacity;
    int held;
    bool nullArray;
    int expected;
  } cases[] = {
      {"count beyond capacity", 3, 50, 3, 3, false, 3},
      {"negative capacity", 3, 3, -5, -5, false, 0},
      {"category page: held bounds it", 4, 9, 0, 4, false, 4},
      {"null array", 0, 5, 5, 5, true, 0},
  };
  for (const Case& c : cases) {
    HandList list(c.records);
    list.area.recordCount = static_cast<uint16_t>(c.recordCount);
    list.area.list.capacity = c.capacity;
    list.area.recordsHeld = c.held;
    if (c.nullArray) list.area.list.records = nullptr;
    MapPtr map = NewMap(566, 400);
    SetStarMapData(map.get(), &list.area);
    ComputeStarMap(map.get());
    EXPECT_EQ(map->count, c.expected) << c.name;
    EXPECT_EQ(map->hasData, 1) << c.name;
  }
  MapPtr map = NewMap(566, 400);
  SetStarMapData(map.get(), nullptr);
  EXPECT_EQ(map->count, 0);
  // A name without a terminator inside its 24 bytes is read bounded.
  HandList unterminated(1);
  std::memset(unterminated[0].key.name, 'A', sizeof unterminated[0].key.name);
  std::memset(unterminated[0].key.code, '6', sizeof unterminated[0].key.code);
  SetStarMapData(map.get(), &unterminated.area);
  EXPECT_EQ(std::string(map->entries[0].name), std::string(24, 'A'));
  EXPECT_EQ(std::string(map->entries[0].code), "666666");
}

// --- Renders --------------------------------------------------------------

TEST(StarMapRender, FrameGridDotsAndLabels) {
  Plot p(3);
  p.Set(0, 100, 10);
  p.Set(1, 500, 300);
  p.Set(2, 300, 200);
  p.list[0].lastPrice = 11;  // rising
  p.list[1].lastPrice = 9;   // falling
  p.Load();
  Canvas canvas(566, 400);
  DrawStarMap(p.map.get(), canvas.dc);
  const int ph = p.map->plotHeight;
  EXPECT_EQ(canvas.At(200, 16), 0xDD0000u) << "top frame";
  EXPECT_EQ(canvas.At(200, 16 + ph + 2), 0xDD0000u) << "bottom frame";
  EXPECT_EQ(canvas.At(76, 100), 0xDD0000u) << "left frame";
  EXPECT_EQ(canvas.At(475, 100), 0xDD0000u) << "right frame";
  // Dotted grid: every other pixel of a horizontal line at (ph + 2) / 4 + 16.
  const int gy = (ph + 2) / 4 + 16;
  const int grid = canvas.Count(0xAA0000, 78, gy, 470, gy + 1);
  EXPECT_GT(grid, 150);
  EXPECT_LT(grid, 250);
  // Dot colours at their centres.
  EXPECT_EQ(canvas.At(p.map->points[0].x, p.map->points[0].y), 0xFF0000u);
  EXPECT_EQ(canvas.At(p.map->points[1].x, p.map->points[1].y), 0x00FF00u);
  EXPECT_EQ(canvas.At(p.map->points[2].x, p.map->points[2].y), 0xFFFFFFu);
  // Labels in grey under the plot and left of it.
  EXPECT_GT(canvas.Near(0x969696, 76, 16 + ph, 146, 16 + ph + 16), 10);
  EXPECT_GT(canvas.Near(0x969696, 0, 16, 76, 36), 10);
  // No title without a name.
  EXPECT_EQ(canvas.Near(0xFFFF00, 76, 0, 400, 16), 0);
}

TEST(StarMapRender, TitleOnlyWithAName) {
  Plot p(2);
  p.Set(0, 1, 1);
  p.Set(1, 2, 2);
  p.Load();
  SetStarMapName(p.map.get(), "银行");
  Canvas canvas(566, 400);
  DrawStarMap(p.map.get(), canvas.dc);
  EXPECT_GT(canvas.Near(0xFFFF00, 76, 0, 300, 16), 10);
  EXPECT_EQ(canvas.Near(0xFFFF00, 0, 0, 76, 16), 0) << "starts at the plot's left edge";
  // A long name is cut on a character boundary within 63 bytes.
  std::string longName;
  for (int i = 0; i < 30; ++i) longName += "银";
  SetStarMapName(p.map.get(), longName.c_str());
  EXPECT_EQ(std::strlen(p.map->name), 63u);
  SetStarMapName(p.map.get(), (std::string("a") + longName).c_str());
  EXPECT_EQ(std::strlen(p.map->name), 61u);
  SetStarMapName(p.map.get(), "");
  Canvas plain(566, 400);
  DrawStarMap(p.map.get(), plain.dc);
  EXPECT_EQ(plain.Near(0xFFFF00, 76, 0, 300, 16), 0);
}

TEST(StarMapRender, TinyRectangleDrawsFrameAndBackgroundOnly) {
  Plot p(2, 40, 30);
  p.Set(0, 1, 1);
  p.Set(1, 2, 2);
  p.Load();
  Canvas canvas(40, 30);
  // Paint the canvas white first so the background fill shows.
  RECT all{0, 0, 40, 30};
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  FillRect(canvas.dc, &all, white);
  DeleteObject(white);
  DrawStarMap(p.map.get(), canvas.dc);
  EXPECT_EQ(canvas.Count(0xFFFFFF, 0, 0, 40, 30), 0) << "background covers all, no dot, no label";
  EXPECT_EQ(canvas.Near(0x969696, 0, 0, 40, 30), 0);
  ClickStarMap(p.map.get(), 0, 0);
  EXPECT_EQ(p.map->selection, -1) << "no dot was placed";
}

TEST(StarMapRender, CrosshairTwiceRestoresThePicture) {
  Plot p(2);
  p.Set(0, 100, 1);
  p.Set(1, 500, 100);
  p.Load();
  Canvas canvas(566, 400);
  DrawStarMap(p.map.get(), canvas.dc);
  const std::vector<uint32_t> before = canvas.All();
  DrawStarMapCursor(p.map.get(), canvas.dc);
  EXPECT_EQ(canvas.All(), before) << "cursor off: nothing drawn";

  ClickStarMap(p.map.get(), 250, 150);
  DrawStarMapCursor(p.map.get(), canvas.dc);
  EXPECT_EQ(canvas.At(250, 100), 0xFFFFFFu) << "vertical line inverts black";
  EXPECT_EQ(canvas.At(300, 150), 0xFFFFFFu) << "horizontal line";
  EXPECT_EQ(canvas.At(250, 400 - 16), 0u) << "vertical line ends at bottom - 16";
  EXPECT_EQ(canvas.At(566 - 90, 150), 0u) << "horizontal line ends at right - 90";
  DrawStarMapCursor(p.map.get(), canvas.dc);
  EXPECT_EQ(canvas.All(), before);

  // Outside the plot (strict tests) no line is drawn.
  MoveStarMapCursor(p.map.get(), 76, 16);
  DrawStarMapCursor(p.map.get(), canvas.dc);
  EXPECT_EQ(canvas.All(), before);
}

TEST(StarMapRender, TipShowsTheSelectedRecordInItsColours) {
  struct Case {
    const char* name;
    float last;
    uint32_t price;
  } cases[] = {
      {"rising", 11.0f, 0xFF0000},
      {"falling", 9.0f, 0x00C800},
      {"unchanged", 10.0f, 0xFFFFFF},
  };
  for (const Case& c : cases) {
    Plot p(2);
    p.Set(0, 100, 1);
    p.Set(1, 500, 100);
    p.list[0].lastPrice = c.last;
    p.list[0].changePercent = 123;
    p.Load();
    Canvas tip(90, 204);
    DrawStarMapTip(p.map.get(), tip.dc);
    EXPECT_EQ(tip.Count(0, 0, 0, 90, 204), 90 * 204) << c.name << ": black without a selection";

    ClickStarMap(p.map.get(), p.map->points[0].x, p.map->points[0].y);
    ASSERT_EQ(p.map->selection, 0) << c.name;
    DrawStarMapTip(p.map.get(), tip.dc);
    EXPECT_EQ(tip.At(0, 0), 0xFF0000u) << c.name << ": red outline";
    EXPECT_EQ(tip.At(89, 203), 0xFF0000u) << c.name;
    EXPECT_GT(tip.Near(0x969696, 1, 0, 89, 20), 5) << c.name << ": grey label";
    EXPECT_GT(tip.Near(0xFFFFFF, 1, 20, 89, 40), 5) << c.name << ": white name";
    // Row 5 is the change, row 7 the X factor (0: in the price colour).
    EXPECT_GT(tip.Near(c.price, 30, 100, 89, 120), 5) << c.name << ": change";
    EXPECT_GT(tip.Near(c.price, 30, 140, 89, 160), 5) << c.name << ": X factor 0";
    // The Y factor (2, turnover) is white whatever the move.
    if (c.price != 0xFFFFFF) {
      EXPECT_EQ(tip.Count(c.price, 30, 180, 89, 200), 0) << c.name;
    }
  }
}

TEST(StarMapRender, TheMapDrawsItsOwnCopy) {
  Plot p(3);
  p.Set(0, 100, 10);
  p.Set(1, 500, 300);
  p.Set(2, 300, 200);
  p.list[0].lastPrice = 11;
  p.Load();
  ClickStarMap(p.map.get(), p.map->points[0].x, p.map->points[0].y);
  Canvas first(566, 400), firstTip(90, 204);
  DrawStarMap(p.map.get(), first.dc);
  DrawStarMapTip(p.map.get(), firstTip.dc);

  // The engine's decoder rewrites the area after the map took its copy.
  for (int i = 0; i < 3; ++i) {
    p.Set(i, 7 * i, 3 * i);
    p.list[i].lastPrice = 1;
    std::strcpy(p.list[i].key.name, "改写");
  }
  p.list.area.recordCount = 1;
  ComputeStarMap(p.map.get());
  Canvas second(566, 400), secondTip(90, 204);
  DrawStarMap(p.map.get(), second.dc);
  DrawStarMapTip(p.map.get(), secondTip.dc);
  EXPECT_EQ(second.All(), first.All());
  EXPECT_EQ(secondTip.All(), firstTip.All());
}

}  // namespace

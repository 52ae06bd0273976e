// StarMap: the two-factor scatter chart of a list of stocks. Every stock of
// a sorted quote list becomes a 12 x 12 dot placed by two chosen factors
// (X and Y) and coloured by today's move; the engine computes ranges, axis
// labels, dot centres and hit rectangles, renders the chart into a DC,
// tracks a cursor with a cross-hair and draws a tip panel for the stock
// under the cursor.
//
// The engine owns no window and takes no lock: its one owner calls every
// operation under the owner's own lock, from its reply handling (new data)
// and from its paint, size and mouse handlers.
//
// States and the operations that move between them:
//   no data   --SetStarMapData-->  data (a copy of the list: the map never
//                                  reads the engine's area after the call)
//   data      --ComputeStarMap-->  ranges, labels, points and dots current
//   cursor off --ClickStarMap/ResumeStarMapCursor--> cursor on (cross-hair
//                                  and tip follow MoveStarMapCursor)
//   cursor on --ClickStarMap-->    cursor off (selection and cursor kept)
//   any       --ResetStarMap-->    no data, cursor off, selection -1
//
// The owner's order of use: CreateStarMap; on resize write rect, then
// LayoutStarMap, ComputeStarMap and, with the cursor on,
// ResumeStarMapCursor; on every reply SetStarMapData then ComputeStarMap;
// on paint DrawStarMap into the memory picture, DrawStarMapCursor on the
// window after the copy, DrawStarMapTip into the tip panel; FreeStarMap.
//
// Geometry for a rectangle (l, t, r, b): plot top 16, plot left 76, plot
// height (b - t) - 38, plot width (r - l) - 166, tip rectangle
// (r - 90, t + 16, r, t + 220). Colours are 0xRRGGBB.
#pragma once

#include <cstdint>

#include "marketdata/quote_areas.h"
#include "platform/gdi/win_gdi.h"

constexpr int kStarMapFactors = 6;      // factors 0 .. 5
constexpr int kStarMapLabels = 5;       // label positions per axis, edges included
constexpr int kStarMapNameBytes = 64;   // the title's name, terminator included
constexpr int kStarMapDot = 12;         // dot side and corner ellipse

// The factors: 0 change percent, 1 three-day change percent, 2 turnover
// rate, 3 three-day turnover rate (all hundredths of a percent), 4 price-
// earnings ratio (ten-thousandths), 5 total volume.
enum StarMapFactor : int {
  kStarFactorChange = 0,
  kStarFactorThreeDayChange = 1,
  kStarFactorTurnover = 2,
  kStarFactorThreeDayTurnover = 3,
  kStarFactorPeRatio = 4,
  kStarFactorVolume = 5,
};

// What the map keeps of one plotted record (copied by SetStarMapData).
struct StarMapEntry {
  char name[25];                      // UTF-8, always zero-ended
  char code[7];                       // always zero-ended
  uint8_t decimals;
  float lastPrice;
  float previousClose;
  int64_t factors[kStarMapFactors];   // the six factor values, sign-extended
};

// Allocated zero-filled by CreateStarMap, freed by FreeStarMap. Owned by
// one window and used only under that window's lock.
struct StarMap {
  RECT rect;                          // the chart's area; written by the owner on resize
  uint8_t hasData;                    // 1 once a list was set, until ResetStarMap
  StarMapEntry* entries;              // owned copy of the list (count entries), or null
  float xLabels[kStarMapLabels];      // X minimum (0, left) .. X maximum (4, right)
  float yLabels[kStarMapLabels];      // Y maximum (0, top) .. Y minimum (4, bottom)
  int32_t count;                      // records of the list
  int32_t selection;                  // record under the cursor, -1 none; < count
  uint8_t cursorMode;                 // 1: cross-hair and tip follow the mouse
  int32_t yFactor;                    // 0 .. 5 (5 at creation)
  int32_t xFactor;                    // 0 .. 5 (4 at creation)
  int32_t plotTop;                    // 16
  int32_t plotLeft;                   // 76
  int32_t plotHeight;                 // (b - t) - 38
  int32_t plotWidth;                  // (r - l) - 166
  int32_t cursorY;                    // last mouse position given to the cursor
  int32_t cursorX;
  int64_t yMax, yMin, xMax, xMin;     // factor ranges over all records
  float yScale;                       // (yMax - yMin) / plotHeight
  float xScale;                       // (xMax - xMin) / plotWidth
  int32_t yLabelCount;                // 5
  int32_t xLabelCount;                // 5
  POINT* points;                      // owned, count dot centres
  RECT* dots;                         // owned, count 12 x 12 dot and hit rectangles
  HFONT tipFont;                      // owned UI font of height 16
  uint32_t background;                // 0
  RECT tipRect;                       // where the owner places its tip panel
  char name[kStarMapNameBytes];       // title name (UTF-8); empty: no title
};

// A new map for rect (owner unused): label counts 5 and 5, factors Y 5 and
// X 4, selection -1, cursor off, the tip font, background 0, layout done.
// Null when out of memory. Freed with FreeStarMap.
StarMap* CreateStarMap(const RECT* rect, void* owner);
// Frees the copy, the point and dot arrays, the tip font and the record.
// Null is allowed.
void FreeStarMap(StarMap* map);

// Copies what the map reads of each record of area (name, code, decimals,
// last price, previous close, the six factors): the records of the latest
// reply, clamped to the room of the area's array; an area without a record
// array (or a null area) gives an empty list. The point and dot arrays are
// made anew for the count. The selection stays when below the new count,
// else it becomes count - 1 (-1 for an empty list). Does not compute.
void SetStarMapData(StarMap* map, const SortedQuoteListArea* area);
// No data, count 0, selection -1, cursor off; the arrays stay.
void ResetStarMap(StarMap* map);
// The title's name, at most 63 bytes of UTF-8 (a longer name is cut on a
// character boundary); null or empty: no title.
void SetStarMapName(StarMap* map, const char* utf8Name);

// Ranges, label values, layout, scales, points and dots; nothing without
// data. A plot narrower or lower than 1 pixel places no dot.
void ComputeStarMap(StarMap* map);
// The factor ranges over all records (64-bit signed); the first record
// sets both ends. No record leaves the ranges as they were.
void ComputeStarMapRanges(StarMap* map);
// The plot box and tip rectangle from rect.
void LayoutStarMap(StarMap* map);

// Store the factor (0 .. 5) and compute; any other factor changes nothing.
void SetStarMapYFactor(StarMap* map, int factor);
void SetStarMapXFactor(StarMap* map, int factor);

// With data only: selection clamped to count - 1, cursor on, compute.
void ResumeStarMapCursor(StarMap* map);
// With the cursor on and data: the hit test at (x, y) (the first record in
// list order whose dot contains the point, bounds included, or -1), then
// the cursor becomes (x, y).
void MoveStarMapCursor(StarMap* map, int x, int y);
// With data: toggles the cursor; turning it on runs the hit test, turning
// it off keeps selection and cursor.
void ClickStarMap(StarMap* map, int x, int y);
int GetStarMapCursorX(const StarMap* map);

// The whole chart into dc: background, frame, dotted grid, dots, then with
// data the X and Y labels (in the DC's font) and the title.
void DrawStarMap(StarMap* map, HDC dc);
void DrawStarMapXLabels(StarMap* map, HDC dc);
void DrawStarMapYLabels(StarMap* map, HDC dc);
// The cross-hair in inverted pixels (drawing it twice restores the
// picture); only with the cursor on and a non-empty list.
void DrawStarMapCursor(StarMap* map, HDC dc);
void DrawStarMapCrosshair(StarMap* map, HDC dc);
// The tip panel in panel coordinates (the tip rectangle's size): black,
// and with the cursor on and a selection the five label and value pairs.
void DrawStarMapTip(StarMap* map, HDC dc);

// The text of a factor's value (labels and tip): factors 0-3 "%.2f%%" of
// value / 100, 4 "%.2f" of value / 10,000 or "-" for 0, 5 the count rule;
// an unknown factor gives "". Returns the units written (kNumberTextSize
// units are enough).
int FormatStarMapFactor(int factor, double value, WCHAR* out, int outSize);

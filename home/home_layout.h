// The home page's pure pieces: where its eight panels go, the column units
// of its lists, the alert list's time text and which alerts it shows.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/window/win_user.h"

// The eight panel rectangles for a client rectangle at (left, top) of
// width x height: slots 0 to 4 in the cells of a 3 x 3 grid row by row,
// slot 5 at column 1 row 3, slot 6 at column 2 row 3, slot 7 over column 3
// rows 2 and 3; each shrunk by 2 pixels on every side.
std::vector<RECT> HomeSlotRects(int left, int top, int width, int height);

// Column units: own stocks width / 18 - 2, alerts and sectors width / 15 - 2,
// news width / 9 - 2.
struct HomeUnits {
  int ownStock;
  int alert;
  int info;
};
HomeUnits HomeColumnUnits(int width);

// "%02d:%02d:%02d" of an HHMMSS value, field by field (hours = value / 10000,
// minutes = value % 10000 / 100, seconds = value % 100); values outside
// their range print as they come.
std::u16string HomeAlertTime(int hhmmss);

// The alerts the list shows, top row first: the records are walked from the
// last to the first and at most `rows` that pass are picked; the newest
// picked is shown on the last row. Returns the record indexes by row.
std::vector<int> PickHomeAlerts(int recordCount, int rows, const std::function<bool(int)>& passes);

// The home page's pure pieces (see home_layout.h).
#include "home/home_layout.h"

#include <cstdio>

#include "platform/kernel/kernel_utf.h"

std::vector<RECT> HomeSlotRects(int left, int top, int width, int height) {
  auto cell = [&](int column, int row, int rows) {
    RECT r{left + column * width / 3, top + row * height / 3, 0, 0};
    r.right = r.left + width / 3;
    r.bottom = r.top + rows * height / 3;
    r.left += 2;
    r.top += 2;
    r.right -= 2;
    r.bottom -= 2;
    return r;
  };
  std::vector<RECT> slots;
  for (int i = 0; i < 5; ++i) slots.push_back(cell(i % 3, i / 3, 1));
  slots.push_back(cell(0, 2, 1));
  slots.push_back(cell(1, 2, 1));
  slots.push_back(cell(2, 1, 2));
  return slots;
}

HomeUnits HomeColumnUnits(int width) { return {width / 18 - 2, width / 15 - 2, width / 9 - 2}; }

std::u16string HomeAlertTime(int hhmmss) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", hhmmss / 10000, hhmmss % 10000 / 100, hhmmss % 100);
  return Utf8ToWide(buffer);
}

std::vector<int> PickHomeAlerts(int recordCount, int rows, const std::function<bool(int)>& passes) {
  std::vector<int> picked;  // newest first
  for (int i = recordCount - 1; i >= 0 && static_cast<int>(picked.size()) < rows; --i)
    if (passes(i)) picked.push_back(i);
  return std::vector<int>(picked.rbegin(), picked.rend());
}

// A stray fill from another thread: the grid's lock keeps it safe against
// painting, clicks and the wheel on the UI thread (run under ThreadSanitizer).
#include "controls/tests/grid_test_support.h"

#include <atomic>
#include <string>
#include <thread>

using namespace grid_test;

namespace {

class GridThreads : public GridFixture {};

TEST_F(GridThreads, WorkerRefillsWhileTheUserPaintsClicksAndScrolls) {
  constexpr int kRowsFilled = 200, kColumns = 20, kFills = 200;
  Make(800, 26 + 12 * 26);
  grid->EnableChangeFlash(1);
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int fill = 0; fill < kFills; ++fill) {
      const bool last = fill == kFills - 1;
      grid->SetRowCount(kRowsFilled + 1);
      grid->SetColumnCount(kColumns);
      for (int c = 0; c < kColumns; ++c) {
        grid->SetCell(0, c, u"列", kYellow, kCentre, 0);
        grid->SetColumnWidth(c, 40);
        grid->SetColumnFlash(c, 1);
      }
      for (int r = 1; r <= kRowsFilled; ++r)
        for (int c = 0; c < kColumns; ++c) {
          std::u16string text = u"8" + std::u16string(1, char16_t(u'0' + (fill + r + c) % 10));
          grid->SetCell(r, c, text.c_str(), last ? kRed : kWhite, kRight, 0);
        }
      grid->SetKeyColumn(2);
      grid->Invalidate();
    }
    done = true;
  });
  int rounds = 0;
  while (!done) {
    desk.Click(grid->m_hWnd, 100, 26 + 26 * (rounds % 10) + 13);
    desk.Wheel(grid->m_hWnd, 100, 100, rounds % 2 ? 120 : -240);
    desk.Key(VK_DOWN);
    desk.Click(grid->m_hWnd, 60, 13);
    desk.RunUntilIdle();
    ++rounds;
  }
  worker.join();
  grid->EnableChangeFlash(0);  // no highlight over the final texts
  grid->SetKeyColumn(-1);
  grid->SetCurRow(-1);
  QImage img = Paint();
  EXPECT_GT(rounds, 0);
  // Only the last fill's red texts are in the rows; none of the white ones.
  EXPECT_GT(CountColor(img, kRed, 0, 26, 800, img.height()), 0);
  EXPECT_EQ(CountColor(img, kWhite, 0, 26, 800, img.height()), 0);
  WCHAR text[8];
  grid->GetCellText(text, 0, 0);
  EXPECT_EQ(std::u16string(text), u"8" + std::u16string(1, char16_t(u'0' + (kFills - 1 + 1) % 10)));
}

}  // namespace

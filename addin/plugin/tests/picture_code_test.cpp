// The picture code: matching, the seed, the jitter and the pixels it paints.
#include "addin/plugin/picture_code.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

// A fixed time and a scripted sequence of random numbers (repeated).
class ScriptedRandom : public PictureCodeRandom {
 public:
  explicit ScriptedRandom(std::vector<int> values) : values_(std::move(values)) {}
  std::time_t Now() override { return 1000; }
  void Seed(unsigned seed) override { seeds.push_back(seed); }
  int Next() override { return values_[next_++ % values_.size()]; }
  std::vector<unsigned> seeds;

 private:
  std::vector<int> values_;
  std::size_t next_ = 0;
};

// The C library's generator with a fixed time.
class FixedTime : public PictureCodeRandom {
 public:
  std::time_t Now() override { return 1765400000; }
};

TEST(PictureCode, MatchesOnlyFiveDigitsInPlace) {
  ScriptedRandom random({0, 1, 2, 3, 4});
  PictureCode code(&random);
  code.Generate();
  EXPECT_EQ(random.seeds, std::vector<unsigned>{1000});
  struct Case {
    const char* typed;
    bool matches;
  };
  const Case cases[] = {{"01234", true}, {"1234", false}, {"012345", false}, {" 1234", false},
                        {"0123a", false}, {"0123 ", false}, {"", false}, {nullptr, false}};
  for (const Case& c : cases) EXPECT_EQ(code.Matches(c.typed), c.matches) << (c.typed ? c.typed : "null");
}

TEST(PictureCode, DigitsAreRandModTenAndEqualWithinOneSecond) {
  ScriptedRandom random({17, 23, 5, 99, 40});
  PictureCode scripted(&random);
  scripted.Generate();
  const int expected[] = {7, 3, 5, 9, 0};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(scripted.Digit(i), expected[i]);

  FixedTime clock;
  PictureCode first(&clock);
  PictureCode second(&clock);
  first.Generate();
  second.Generate();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(first.Digit(i), second.Digit(i));
}

TEST(PictureCode, Jitter) {
  struct Case {
    int dx, dy, outX, outY;
  };
  const Case cases[] = {{0, 2, 0, -2}, {1, 2, -1, -2}, {1, 1, 1, 1}, {0, 0, 0, 0}, {1, 0, 1, 0}, {0, 1, 0, -1}};
  for (const Case& c : cases) {
    int dx = c.dx;
    int dy = c.dy;
    ApplyPictureCodeJitter(&dx, &dy);
    EXPECT_EQ(dx, c.outX) << c.dx << "," << c.dy;
    EXPECT_EQ(dy, c.outY) << c.dx << "," << c.dy;
  }
}

class Canvas : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGuiApplication();
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateBitmap(120, 40, 1, 32, nullptr);
    old = SelectObject(dc, bitmap);
    Clear();
  }
  void Clear() {
    RECT all{0, 0, 120, 40};
    HBRUSH white = CreateSolidBrush(0xFFFFFF);
    FillRect(dc, &all, white);
    DeleteObject(white);
  }
  void TearDown() override {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  int CountNot(COLORREF colour, int left, int top, int right, int bottom) {
    int count = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) count += GetPixel(dc, x, y) != colour ? 1 : 0;
    return count;
  }
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
};

TEST_F(Canvas, PaintFillsTheFieldAndFiveCells) {
  PictureCode code;
  code.Generate();
  code.Paint(dc, 10, 5);
  // The grey field: 75 x 18 at (12, 6).
  EXPECT_EQ(GetPixel(dc, 12, 6), kPictureCodeField);
  EXPECT_EQ(GetPixel(dc, 86, 23), kPictureCodeField);
  EXPECT_EQ(GetPixel(dc, 11, 6), 0xFFFFFFu);
  EXPECT_EQ(GetPixel(dc, 87, 6), 0xFFFFFFu);
  EXPECT_EQ(GetPixel(dc, 12, 24), 0xFFFFFFu);
  EXPECT_EQ(GetPixel(dc, 12, 5), 0xFFFFFFu);
  // Every cell has strokes, and every stroke pixel has a colour of the table.
  std::set<COLORREF> table(std::begin(kPictureCodePens), std::end(kPictureCodePens));
  for (int i = 0; i < 5; ++i) {
    int left = 12 + 15 * i - 1;  // a jitter of -1 reaches one pixel left of the cell
    EXPECT_GT(CountNot(kPictureCodeField, left, 6, left + 12, 24), 0) << "cell " << i;
    for (int y = 6; y < 24; ++y) {
      for (int x = left; x < left + 12; ++x) {
        COLORREF pixel = GetPixel(dc, x, y);
        if (pixel != kPictureCodeField && pixel != 0xFFFFFFu) {
          EXPECT_TRUE(table.count(pixel)) << x << "," << y;
        }
      }
    }
  }
  // Nothing between the cells' reach and the field's right edge changes colour.
  EXPECT_EQ(CountNot(kPictureCodeField, 84, 6, 87, 24), 0);
}

TEST_F(Canvas, StrokesOfOneAndSevenWithoutAndWithJitter) {
  // rand: pen 0 (0x0000FF), then dx and dy.
  struct Case {
    const char* name;
    int dxRand, dyRand;  // before the negation rule
    int dx, dy;
  };
  const Case cases[] = {{"no jitter", 0, 0, 0, 0}, {"negated", 1, 2, -1, -2}, {"kept", 1, 1, 1, 1}};
  for (const Case& c : cases) {
    Clear();
    ScriptedRandom random({0, c.dxRand, c.dyRand});
    PictureCode code(&random);
    RECT cell{20, 10, 30, 28};  // reference (25, 13), bottom 28
    const COLORREF pen = kPictureCodePens[0];
    code.DrawDigit(dc, cell, 1, true);
    int x = 25 + c.dx;
    int y = 13 + c.dy;
    EXPECT_EQ(GetPixel(dc, x - 1, y + 1), pen) << c.name;
    EXPECT_EQ(GetPixel(dc, x, y), pen) << c.name;
    EXPECT_EQ(GetPixel(dc, x, y + 5), pen) << c.name;
    EXPECT_EQ(GetPixel(dc, x, 24), pen) << c.name;  // down to bottom - 3 ...
    EXPECT_EQ(GetPixel(dc, x - 1, 25), pen) << c.name;  // ... and the base stays on it
    EXPECT_EQ(GetPixel(dc, x + 1, 25), pen) << c.name;
    EXPECT_EQ(GetPixel(dc, x + 2, 25), 0xFFFFFFu) << c.name;
    EXPECT_EQ(GetPixel(dc, x, 26), 0xFFFFFFu) << c.name;
    // The vertical from y to 24, the start pixel of the hook, the base.
    EXPECT_EQ(CountNot(0xFFFFFFu, 0, 0, 120, 40), (24 - y + 1) + 1 + 3) << c.name;

    Clear();
    ScriptedRandom random7({0, c.dxRand, c.dyRand});
    PictureCode seven(&random7);
    seven.DrawDigit(dc, cell, 7, true);
    for (int bx = x - 4; bx < x + 4; ++bx) EXPECT_EQ(GetPixel(dc, bx, y - 1), pen) << c.name << " bar " << bx;
    for (int k = 0; k < 5; ++k) {
      for (int step = 0; step < 4; ++step) {
        EXPECT_EQ(GetPixel(dc, x + 4 - k, y - 1 + 3 * k + step), pen) << c.name << " stroke " << k;
      }
      EXPECT_NE(GetPixel(dc, x + 4 - k, y - 1 + 3 * k + 4), pen) << c.name << " stroke " << k << " is 4 long";
    }
    EXPECT_EQ(CountNot(0xFFFFFFu, 0, 0, 120, 40), 8 + 5 * 4) << c.name;
  }
}

TEST_F(Canvas, UncolouredIsBlackAndTenDrawsNothing) {
  ScriptedRandom random({0});
  PictureCode code(&random);
  RECT cell{20, 10, 30, 28};
  code.DrawDigit(dc, cell, 10, true);
  code.DrawDigit(dc, cell, -1, true);
  EXPECT_EQ(CountNot(0xFFFFFFu, 0, 0, 120, 40), 0);
  for (int digit = 0; digit <= 9; ++digit) {
    Clear();
    code.DrawDigit(dc, cell, digit, false);
    int drawn = CountNot(0xFFFFFFu, 0, 0, 120, 40);
    EXPECT_GT(drawn, 5) << digit;
    EXPECT_EQ(CountNot(0xFFFFFFu, 0, 0, 120, 40) - CountNot(0xFFFFFFu, 21, 10, 30, 29), 0)
        << digit << " stays within x - 4 .. x + 4 and the cell's height";
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 120; ++x) {
        COLORREF pixel = GetPixel(dc, x, y);
        if (pixel != 0xFFFFFFu) {
          EXPECT_EQ(pixel, 0u) << digit;
        }
      }
  }
}

}  // namespace

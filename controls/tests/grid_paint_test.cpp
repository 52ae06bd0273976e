// What the grid paints: header, group row, bands, texts, lines, the change
// highlight and its timer. Probes sit away from glyph edges.
#include "controls/tests/grid_test_support.h"

#include <cstdio>
#include <functional>

using namespace grid_test;

namespace {

class GridPaint : public GridFixture {};
class GridFlash : public GridFixture {};

SIZE Extent(const std::u16string& text) {
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = CreateUiFont(GetUiFontFace(), 16);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
  return size;
}

// Rightmost column holding a pixel other than the background in the box; -1 none.
int RightmostInk(const QImage& img, COLORREF background, int x0, int y0, int x1, int y1) {
  for (int x = x1 - 1; x >= x0; --x)
    if (CountOther(img, background, x, y0, x + 1, y1) > 0) return x;
  return -1;
}

TEST_F(GridPaint, SortArrowOnlyOnASortableSortColumn) {
  Make(400, 26 + 3 * 26);
  struct Case {
    const char* name;
    BYTE sortable;
    int direction;
    bool arrow;
  };
  const Case cases[] = {
      {"descending", 1, 1, true}, {"ascending", 1, -1, true}, {"no direction", 1, 0, false}, {"not sortable", 0, 1, false}};
  QImage down, up;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FillEmpty(2, 3, 120);
    grid->SetCell(0, 1, u"涨幅", kWhite, kRight, 0);
    grid->SetColumnSortable(1, c.sortable);
    grid->SetSortState(1, c.direction);
    QImage img = Paint();
    const int red = CountColor(img, kRed, 120, 0, 240, 26);
    EXPECT_EQ(red > 0, c.arrow);
    EXPECT_EQ(CountColor(img, kRed, 0, 0, 120, 26) + CountColor(img, kRed, 240, 0, 400, 26), 0);
    if (c.direction == 1 && c.arrow) down = img.copy(120, 0, 120, 26);
    if (c.direction == -1) up = img.copy(120, 0, 120, 26);
    // The title moves left by the width of "↑" on the sort column, whatever
    // the direction; only its light (white) pixels are looked at.
    const int shift = c.sortable ? Extent(u"\u2191").cx : 0;
    int whiteRight = -1;
    for (int x = 239; x >= 120 && whiteRight < 0; --x)
      for (int y = 0; y < 26; ++y)
        if (qRed(img.pixel(x, y)) > 100 && qGreen(img.pixel(x, y)) > 100) whiteRight = x;
    EXPECT_LT(whiteRight, 240 - shift);
    EXPECT_GE(whiteRight, 240 - shift - 4);
  }
  EXPECT_NE(down, up);
}

// A picture that does not load leaves the header in its colour and the
// rows without a tag.
TEST_F(GridPaint, PicturesThatDoNotLoadAreLeftOut) {
  Make(300, 26 + 2 * 26);
  orvtest::TempFolder folder;
  const std::string notPicture = folder.Path() + "not_a_picture.png";
  FILE* f = std::fopen(notPicture.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("not a picture", f);
  std::fclose(f);
  const std::u16string notPicture16(notPicture.begin(), notPicture.end());
  FillEmpty(2, 3, 100);
  grid->EnableRowDrag(1);
  for (const char16_t* path : {u"res\\no_such_picture.png", notPicture16.c_str()}) {
    grid->LoadHeaderImage(path);
    grid->LoadTagImage(path);
    grid->LoadDragImage(path);
    QImage img = Paint();
    EXPECT_EQ(CountOther(img, kHeaderBk, 0, 0, 60, 26), 0);  // left of the title
    EXPECT_EQ(CountOther(img, kOddRow, 0, 26, 100, 52), 0);
  }
  grid->LoadHeaderImage(nullptr);
  Paint();
}

// Fixture pictures of flat colours with marked corners: the header picture
// is stretched over the band, the tag and the drag picture are drawn at
// their own size, alpha-aware.
class GridPictures : public GridFixture {
 protected:
  orvtest::TempFolder folder;
  void SetUp() override {
    GridFixture::SetUp();
    ASSERT_FALSE(folder.Path().empty());
    orvtest::ProbePicture tag = orvtest::Probe(8, 8);
    tag.transparent = {{0, 0, 2, 2}, {6, 0, 8, 2}, {0, 6, 2, 8}, {6, 6, 8, 8}};
    ASSERT_TRUE(orvtest::WriteProbePicture(folder.Path() + "res/grid_head_bg.png", orvtest::Probe(64, 26)));
    ASSERT_TRUE(orvtest::WriteProbePicture(folder.Path() + "res/Tag.png", tag));
    ASSERT_TRUE(orvtest::WriteProbePicture(folder.Path() + "res/drag.png", orvtest::Probe(16, 16)));
  }
};

TEST_F(GridPictures, HeaderPictureStretchedOverTheBand) {
  Make(320, 26 + 2 * 26);
  FillEmpty(2, 3, 100);
  for (int c = 0; c < 3; ++c) grid->SetCell(0, c, nullptr, kWhite, kRight, 0);
  {
    orvtest::ScopedWorkingFolder cd(folder.Path());
    ASSERT_TRUE(cd.Ok());
    grid->LoadHeaderImage(u"res\\grid_head_bg.png");
  }
  QImage img = Paint();
  const COLORREF flat = orvtest::ProbeCellColor(0);
  EXPECT_EQ(PixelOf(img, 50, 13), flat);
  EXPECT_EQ(PixelOf(img, 310, 13), flat);  // past the last column too
  EXPECT_EQ(PixelOf(img, 0, 0), orvtest::ProbeCornerColor(0, 0));
  EXPECT_EQ(PixelOf(img, 319, 25), orvtest::ProbeCornerColor(0, 3));
  EXPECT_EQ(CountColor(img, kHeaderBk, 0, 0, 320, 26), 0);
  EXPECT_EQ(CountOther(img, kGridLine, 100, 3, 101, 23), 0);  // separators over it
}

TEST_F(GridPictures, TagBeforeEveryDataRow) {
  Make(300, 26 + 3 * 26);
  FillEmpty(2, 3, 100);
  {
    orvtest::ScopedWorkingFolder cd(folder.Path());
    grid->LoadTagImage(u"res\\Tag.png");
  }
  QImage img = Paint();
  const COLORREF flat = orvtest::ProbeCellColor(0);
  for (int band = 0; band < 2; ++band) {
    SCOPED_TRACE(band);
    const int top = 26 + 26 * band + (26 - 8) / 2;
    const COLORREF bk = band == 0 ? kOddRow : kEvenRow;
    EXPECT_EQ(PixelOf(img, 3 + 4, top + 4), flat);
    EXPECT_EQ(PixelOf(img, 3 + 2, top), flat);
    EXPECT_EQ(PixelOf(img, 3, top), bk);          // a transparent corner
    EXPECT_EQ(PixelOf(img, 3 + 7, top + 7), bk);
    EXPECT_EQ(PixelOf(img, 2, top + 4), bk);
    EXPECT_EQ(PixelOf(img, 11, top + 4), bk);
    EXPECT_EQ(PixelOf(img, 3 + 4, top - 1), bk);
    EXPECT_EQ(PixelOf(img, 3 + 4, top + 8), bk);
  }
  EXPECT_EQ(CountColor(img, flat, 0, 26 + 52, 300, 26 + 78), 0);  // no tag past the data
}

TEST_F(GridPictures, DragPictureBesideThePointer) {
  Make(300, 26 + 8 * 26);
  FillEmpty(6, 3, 100);
  grid->EnableRowDrag(1);
  {
    orvtest::ScopedWorkingFolder cd(folder.Path());
    grid->LoadDragImage(u"res\\drag.png");
  }
  grid->SetCurRow(1);
  Paint();
  const HWND h = grid->m_hWnd;
  desk.MoveMouse(h, 50, 26 + 26 + 13);
  desk.MouseDown(h, 50, 26 + 26 + 13);
  EXPECT_EQ(CountColor(desk.Snapshot(h), orvtest::ProbeCellColor(0), 0, 0, 300, 26 + 8 * 26), 0);
  desk.Advance(500);
  desk.MoveMouse(h, 150, 120);
  QImage img = desk.Snapshot(h);
  // Bottom-right corner at pointer + 5 (exclusive): 16 x 16 from (139, 109).
  EXPECT_EQ(PixelOf(img, 139, 109), orvtest::ProbeCornerColor(0, 0));
  EXPECT_EQ(PixelOf(img, 154, 124), orvtest::ProbeCornerColor(0, 3));
  EXPECT_EQ(PixelOf(img, 146, 116), orvtest::ProbeCellColor(0));
  EXPECT_NE(PixelOf(img, 155, 124), orvtest::ProbeCornerColor(0, 3));
  EXPECT_NE(PixelOf(img, 154, 125), orvtest::ProbeCornerColor(0, 3));
  desk.MouseUp(h, 150, 120);
  EXPECT_EQ(CountColor(desk.Snapshot(h), orvtest::ProbeCellColor(0), 0, 0, 300, 26 + 8 * 26), 0);
}

TEST_F(GridPaint, SeparatorsAndWholeColumnsOnly) {
  Make(250, 26 + 3 * 26);
  Fill(3, 3, 100, [](int, int c) { return c == 2 ? std::u16string(u"88888888") : std::u16string(); });
  grid->SetCell(0, 2, u"888", kWhite, kRight, 0);
  QImage img = Paint();
  for (int x : {100, 200}) {
    EXPECT_EQ(PixelOf(img, x, 2), kHeaderBk) << x;
    EXPECT_EQ(CountOther(img, kGridLine, x, 3, x + 1, 23), 0) << x;
    EXPECT_EQ(PixelOf(img, x, 23), kHeaderBk) << x;
  }
  // Column 2 (200 … 300) passes the right edge: neither title nor cells.
  EXPECT_EQ(CountOther(img, kHeaderBk, 201, 0, 250, 26), 0);
  EXPECT_EQ(CountOther(img, kOddRow, 200, 26, 250, 52), 0);
}

TEST_F(GridPaint, GroupRowAboveTheHeader) {
  Make(500, 52 + 3 * 26);
  FillEmpty(3, 5, 100);
  grid->SetGroupCount(3);
  grid->SetGroupWidth(0, 100);
  grid->SetGroupWidth(1, 200);
  grid->SetGroupWidth(2, 100);
  grid->SetGroupWidth(3, 50);  // no such cell
  grid->SetGroupWidth(1, -5);  // ignored
  grid->SetGroupCell(1, u"行情", kYellow, kCentre, 0);
  QImage img = Paint();
  // Full-height separator after the fixed part, shortened ones after.
  EXPECT_EQ(CountOther(img, kGridLine, 100, 0, 101, 26), 0);
  EXPECT_EQ(PixelOf(img, 300, 2), kHeaderBk);
  EXPECT_EQ(CountOther(img, kGridLine, 300, 3, 301, 23), 0);
  EXPECT_EQ(PixelOf(img, 300, 23), kHeaderBk);
  EXPECT_EQ(CountOther(img, kGridLine, 400, 3, 401, 23), 0);
  EXPECT_GT(CountColor(img, kYellow, 101, 0, 300, 26), 0);
  // The header row below it, then the first band.
  EXPECT_EQ(CountOther(img, kGridLine, 100, 29, 101, 49), 0);
  EXPECT_EQ(PixelOf(img, 50, 60), kOddRow);

  // Scrolled by one column: the group cells move left under the fixed part.
  grid->SetHScrollPos(1);
  img = Paint();
  EXPECT_EQ(CountOther(img, kGridLine, 100, 0, 101, 26), 0);
  EXPECT_EQ(CountOther(img, kGridLine, 200, 3, 201, 23), 0);
  EXPECT_EQ(PixelOf(img, 200, 1), kHeaderBk);
  EXPECT_EQ(CountOther(img, kGridLine, 300, 3, 301, 23), 0);
  EXPECT_EQ(PixelOf(img, 400, 10), kHeaderBk);
}

TEST_F(GridPaint, CurrentRowBandAndSelectedRowStyle) {
  Make(300, 26 + 4 * 26);
  const COLORREF cyan = RGB(0, 255, 255);
  Fill(4, 2, 100, [](int, int c) { return c == 1 ? std::u16string(u"8888") : std::u16string(); });
  grid->SetCurRow(1);
  QImage img = Paint();
  EXPECT_EQ(CountOther(img, kSelected, 0, 52, 100, 78), 0);
  EXPECT_EQ(CountOther(img, kOddRow, 0, 26, 100, 52), 0);
  EXPECT_EQ(CountColor(img, cyan, 100, 52, 200, 78), 0);

  grid->SetSelectedRowStyle(1, cyan);
  img = Paint();
  EXPECT_EQ(CountOther(img, kEvenRow, 0, 52, 100, 78), 0);  // matrix row 2 keeps its colour
  EXPECT_GT(CountColor(img, cyan, 100, 52, 200, 78), 0);
  EXPECT_EQ(CountColor(img, cyan, 100, 26, 200, 52), 0);

  grid->SetCurRow(50);  // painting pulls it back to the last data row
  Paint();
  EXPECT_EQ(grid->GetCurRow(), 3);
}

TEST_F(GridPaint, IndentRowLinesAndRightBorder) {
  Make(300, 26 + 3 * 26);
  FillEmpty(3, 3, 100);
  grid->SetCell(1, 1, u"8888", kWhite, kLeft, 30);
  grid->SetRowLines(1);
  grid->SetRightBorder(1, 0x00C0FF);
  QImage img = Paint();
  EXPECT_EQ(CountOther(img, kOddRow, 100, 26, 130, 50), 0);
  EXPECT_GT(CountOther(img, kOddRow, 130, 26, 160, 50), 0);
  const COLORREF rowLine = RGB(0x98, 0xA4, 0xB4);
  for (int band = 0; band < 3; ++band) {
    const int y = 26 + 26 * band + 24;
    EXPECT_EQ(CountOther(img, rowLine, 0, y, 290, y + 1), 0) << band;
    EXPECT_NE(PixelOf(img, 50, y - 1), rowLine);
    EXPECT_NE(PixelOf(img, 50, y + 1), rowLine);
  }
  EXPECT_EQ(CountOther(img, RGB(0x00, 0xC0, 0xFF), 299, 0, 300, 26 + 3 * 26), 0);
  EXPECT_EQ(PixelOf(img, 298, 1), kHeaderBk);
}

TEST_F(GridPaint, FixedColumnsStayWhileScrolling) {
  Make(300, 26 + 2 * 26);
  const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0), RGB(0, 255, 255)};
  FillEmpty(2, 5, 100);
  for (int c = 0; c < 5; ++c) grid->SetCell(1, c, u"8888", colours[c], kRight, 0);
  grid->SetHScrollPos(2);
  QImage img = Paint();
  const int shown[] = {0, 3, 4};
  for (int slot = 0; slot < 3; ++slot)
    for (int c = 0; c < 5; ++c)
      EXPECT_EQ(CountColor(img, colours[c], slot * 100, 26, slot * 100 + 100, 52) > 0, c == shown[slot])
          << "slot " << slot << " column " << c;
}

// With measuring on and a centred title, the column's texts sit in one
// block of the widest width, centred in the column.
TEST_F(GridPaint, CentredColumnTextsLineUpInOneBlock) {
  Make(400, 26 + 3 * 26);
  grid->EnableTextMeasure(1);
  FillEmpty(3, 2, 200);
  grid->SetCell(0, 1, u"价", kWhite, kCentre, 0);
  grid->SetCell(1, 1, u"12.34", kWhite, kRight, 0);
  grid->SetCell(2, 1, u"1234.56", kWhite, kRight, 0);
  QImage img = Paint();
  const int widest = Extent(u"1234.56").cx;
  const int blockRight = 200 + (200 - widest) / 2 + widest;
  for (int band = 0; band < 2; ++band) {
    const COLORREF bk = band == 0 ? kOddRow : kEvenRow;
    const int y = 26 + 26 * band;
    const int ink = RightmostInk(img, bk, 200, y, 400, y + 26);
    EXPECT_LT(ink, blockRight) << band;
    EXPECT_GE(ink, blockRight - 4) << band;
  }
}

// ---------------------------------------------------------------------------
// Change flashing: key column 2, flash columns 3 and 4.

struct FlashRow {
  std::u16string code, price3, price4;
};

void FillQuotes(CGridCtrl& g, int columns, const FlashRow& row, bool keyColumn = true) {
  g.SetRowCount(2);
  g.SetColumnCount(columns);
  for (int c = 0; c < columns; ++c) g.SetColumnWidth(c, 100);
  g.SetCell(1, 2, row.code.empty() ? nullptr : row.code.c_str(), kWhite, kRight, 0);
  g.SetCell(1, 3, row.price3.empty() ? nullptr : row.price3.c_str(), kWhite, kRight, 0);
  if (columns > 4) g.SetCell(1, 4, row.price4.empty() ? nullptr : row.price4.c_str(), kWhite, kRight, 0);
  g.SetColumnFlash(3, 1);
  if (columns > 4) g.SetColumnFlash(4, 1);
  if (keyColumn) g.SetKeyColumn(2);
}

bool Highlighted(const QImage& img, int column) {
  // The highlight's left part carries no glyph: 10 px left of the text.
  return CountColor(img, kSelected, column * 100, 27, column * 100 + 100, 51) > 20;
}

TEST_F(GridFlash, ChangedCellsOfTheSameRowAreHighlighted) {
  Make(500, 26 + 2 * 26);
  grid->EnableChangeFlash(1);
  struct Case {
    const char* name;
    int columnsBefore;
    FlashRow before, after;
    bool hl3, hl4;
  };
  const Case cases[] = {
      {"price changed", 5, {u"600000", u"10.01", u"10.01"}, {u"600000", u"10.02", u"10.02"}, true, true},
      {"new text within the old one", 5, {u"600000", u"10.01", u"10.01"}, {u"600000", u"0.0", u"10.01"}, false, false},
      {"a different code", 5, {u"600000", u"10.01", u"10.01"}, {u"600001", u"10.02", u"10.02"}, false, false},
      {"code within the old code", 5, {u"600000", u"10.01", u"10.01"}, {u"6000", u"10.02", u"10.01"}, true, false},
      {"column only in the new matrix", 4, {u"600000", u"10.01", u""}, {u"600000", u"10.02", u"10.02"}, true, false},
      {"previously empty cell", 5, {u"600000", u"", u"10.01"}, {u"600000", u"10.02", u"10.01"}, true, false},
      {"no previous code", 5, {u"", u"10.01", u"10.01"}, {u"600000", u"10.02", u"10.02"}, false, false},
      {"new cell empty", 5, {u"600000", u"10.01", u"10.01"}, {u"600000", u"", u"10.01"}, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FillQuotes(*grid, c.columnsBefore, c.before);
    FillQuotes(*grid, 5, c.after);
    QImage img = Paint();
    EXPECT_EQ(Highlighted(img, 3), c.hl3);
    EXPECT_EQ(Highlighted(img, 4), c.hl4);
    EXPECT_FALSE(Highlighted(img, 2));
  }
  // Without a key column nothing is compared.
  FillQuotes(*grid, 5, {u"600000", u"1", u"1"});
  FillQuotes(*grid, 5, {u"600000", u"2", u"2"}, false);
  EXPECT_FALSE(Highlighted(Paint(), 3));
}

// Without change flashing SetRowCount keeps no previous matrix.
TEST_F(GridFlash, NothingFlashesWithFlashingOff) {
  Make(500, 26 + 2 * 26);
  FillQuotes(*grid, 5, {u"600000", u"10.01", u"10.01"});
  FillQuotes(*grid, 5, {u"600000", u"10.02", u"10.02"});
  EXPECT_FALSE(Highlighted(Paint(), 3));
}

TEST_F(GridFlash, TimerEndsHighlightsAfterTheLastPaintThatDrewOne) {
  Make(500, 26 + 2 * 26);
  grid->EnableChangeFlash(1);
  FillQuotes(*grid, 5, {u"600000", u"10.01", u"10.01"});
  FillQuotes(*grid, 5, {u"600000", u"10.02", u"10.02"});
  EXPECT_TRUE(Highlighted(Paint(), 3));
  desk.Advance(1000);
  EXPECT_TRUE(Highlighted(Paint(), 3));  // restarts the 1,500 ms
  desk.Advance(1000);
  EXPECT_EQ(grid->GetKeyColumn(), 2);
  desk.Advance(500);
  desk.RunUntilIdle();
  EXPECT_EQ(grid->GetKeyColumn(), -1);
  EXPECT_FALSE(Highlighted(desk.Snapshot(grid->m_hWnd), 3));
  // The next fill flashes only when the owner sets the key column again.
  FillQuotes(*grid, 5, {u"600000", u"10.03", u"10.03"}, false);
  EXPECT_FALSE(Highlighted(Paint(), 3));
  FillQuotes(*grid, 5, {u"600000", u"10.04", u"10.04"});
  EXPECT_TRUE(Highlighted(Paint(), 3));
}

// The highlight's edges for each alignment: probe just inside and just
// outside, where no glyph reaches.
TEST_F(GridFlash, HighlightGeometryFollowsTheAlignment) {
  Make(500, 26 + 2 * 26);
  grid->EnableChangeFlash(1);
  const std::u16string text = u"10.02";
  const SIZE ext = Extent(text);
  const int top = 26 + (26 - ext.cy) / 2 - 1;
  const int bottom = top + ext.cy + 2;
  struct Case {
    const char* name;
    UINT format;
    int left, right;  // expected, within the cell 300 … 400
  };
  const Case cases[] = {
      {"right", kRight, 400 - ext.cx - 10, 400},
      {"centred", kCentre, 300 + (100 - ext.cx) / 2 - 5, 300 + (100 - ext.cx) / 2 - 5 + ext.cx + 10},
      {"left", kLeft, 300, 300 + ext.cx + 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FillQuotes(*grid, 4, {u"600000", u"10.01", u""});
    grid->SetRowCount(2);
    grid->SetColumnCount(5);
    for (int col = 0; col < 5; ++col) grid->SetColumnWidth(col, 100);
    grid->SetCell(1, 2, u"600000", kWhite, kRight, 0);
    grid->SetCell(1, 3, text.c_str(), kWhite, c.format, 0);
    grid->SetColumnFlash(3, 1);
    grid->SetKeyColumn(2);
    QImage img = Paint();
    const COLORREF band = kOddRow;
    // Left edge: inside at mid height (no glyph within 5 px), outside on
    // the top line (the code of column 2 may end at 299).
    EXPECT_EQ(PixelOf(img, c.left, top + (bottom - top) / 2), kSelected);
    EXPECT_EQ(PixelOf(img, c.left - 1, top), band);
    // Top and bottom edges, near the left end.
    EXPECT_EQ(PixelOf(img, c.left + 2, top), kSelected);
    EXPECT_EQ(PixelOf(img, c.left + 2, top - 1), band);
    EXPECT_EQ(PixelOf(img, c.left + 2, bottom - 1), kSelected);
    EXPECT_EQ(PixelOf(img, c.left + 2, bottom), band);
    // Right edge, on the top line (above every glyph).
    EXPECT_EQ(PixelOf(img, c.right - 1, top), kSelected);
    EXPECT_EQ(PixelOf(img, c.right, top), band);
  }
}

}  // namespace

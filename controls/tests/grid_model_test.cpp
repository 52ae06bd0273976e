// The grid's data model: fill sequences, cell texts, measuring, counts and
// the geometry getters, including the malformed calls owners never make.
#include "controls/tests/grid_test_support.h"

#include "platform/kernel/debug_sink.h"

#include <climits>
#include <functional>

using namespace grid_test;

namespace {

constexpr WCHAR kSentinel = 0x7777;

class GridModel : public GridFixture {};

// The text width in the grid's font, measured independently.
int TextWidth(const std::u16string& text) {
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = CreateUiFont(GetUiFontFace(), 16);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
  return size.cx;
}

std::u16string ReadCell(const CGridCtrl& g, int dataRow, int column) {
  WCHAR buffer[64];
  std::fill(std::begin(buffer), std::end(buffer), kSentinel);
  g.GetCellText(buffer, dataRow, column);
  if (buffer[0] == kSentinel) return u"<untouched>";
  return buffer;
}

std::u16string Code(int r, int c) { return u"r" + std::u16string(1, char16_t(u'0' + r)) + u"c" + std::u16string(1, char16_t(u'0' + c)); }

TEST_F(GridModel, NewGridPaintsHeaderBandAndEmptyBands) {
  Make(300, 26 + 4 * 26);
  EXPECT_EQ(grid->GetCurRow(), -2);
  EXPECT_EQ(grid->GetRowCount(), 0);
  EXPECT_EQ(grid->GetColumnCount(), 0);
  QImage img = Paint();
  EXPECT_EQ(CountOther(img, kHeaderBk, 0, 0, 300, 26), 0);
  // Bands are numbered by matrix index from top row + 1: odd, even, odd, even.
  const COLORREF bands[] = {kOddRow, kEvenRow, kOddRow, kEvenRow};
  for (int b = 0; b < 4; ++b) EXPECT_EQ(CountOther(img, bands[b], 0, 26 + 26 * b, 300, 52 + 26 * b), 0) << b;
  EXPECT_EQ(grid->GetCurRow(), -2);
}

// A paint that comes before any size event makes the surface first.
TEST_F(GridModel, PaintBeforeTheFirstSizeEvent) {
  ASSERT_TRUE(parent.CreateEx(0, nullptr, u"parent", WS_POPUP | WS_VISIBLE, CRect(0, 0, 200, 80), nullptr, 0));
  grid = new ProbeGrid;
  grid->skipSize = true;
  grid->SetHeaderBkColor(kHeaderBk);
  grid->SetRowColors(kEvenRow, kOddRow);
  ASSERT_TRUE(grid->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 200, 80), &parent, 1));
  QImage img = Paint();
  EXPECT_GE(grid->paintCount, 1);
  EXPECT_EQ(CountOther(img, kHeaderBk, 0, 0, 200, 26), 0);
  EXPECT_EQ(CountOther(img, kOddRow, 0, 26, 200, 52), 0);
  EXPECT_EQ(CountOther(img, kEvenRow, 0, 52, 200, 78), 0);
}

// Each step of the fill order resets what the later ones set.
TEST_F(GridModel, FillSequencesResetLaterSteps) {
  Make(400, 200);
  struct Case {
    const char* name;
    std::function<void(CGridCtrl&)> after;  // run after a full 3 x 3 fill
    int rows, columns, width0, key;
    std::u16string cell00;
  };
  const Case cases[] = {
      {"header only", [](CGridCtrl& g) { g.SetRowCount(1), g.SetColumnCount(4); }, 1, 4, 0, -1, u"<untouched>"},
      {"column count keeps the rows, empties the cells", [](CGridCtrl& g) { g.SetColumnCount(2); }, 4, 2, 0, -1, u""},
      {"row count alone", [](CGridCtrl& g) { g.SetRowCount(6); }, 6, 0, 0, -1, u"<untouched>"},
      {"cell out of range", [](CGridCtrl& g) {
         g.SetCell(-1, 0, u"x", 0, 0, 0), g.SetCell(4, 0, u"x", 0, 0, 0), g.SetCell(1, 3, u"x", 0, 0, 0);
         g.SetCell(1, -1, u"x", 0, 0, 0);
       }, 4, 3, 50, 2, u"r0c0"},
      {"per-column settings out of range", [](CGridCtrl& g) {
         g.SetColumnWidth(3, 9), g.SetColumnWidth(-1, 9), g.SetColumnSortable(3, 1), g.SetColumnFlash(-1, 1);
       }, 4, 3, 50, 2, u"r0c0"},
      {"key column unchecked", [](CGridCtrl& g) { g.SetKeyColumn(77); }, 4, 3, 50, 77, u"r0c0"},
      {"null text empties", [](CGridCtrl& g) { g.SetCell(1, 0, nullptr, 0, 0, 0); }, 4, 3, 50, 2, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fill(3, 3, 50, Code);
    grid->SetColumnSortable(1, 1);
    grid->SetColumnFlash(1, 1);
    grid->SetKeyColumn(2);
    c.after(*grid);
    EXPECT_EQ(grid->GetRowCount(), c.rows);
    EXPECT_EQ(grid->GetColumnCount(), c.columns);
    EXPECT_EQ(grid->GetColumnWidth(0), c.width0);
    EXPECT_EQ(grid->GetKeyColumn(), c.key);
    EXPECT_EQ(ReadCell(*grid, 0, 0), c.cell00);
  }
}

// The sortable flags go with SetColumnCount and SetRowCount: a title click
// afterwards asks for nothing.
TEST_F(GridModel, SortableFlagsResetByEitherCount) {
  Make(400, 200);
  const std::function<void(CGridCtrl&)> resets[] = {
      [](CGridCtrl& g) { g.SetColumnCount(3); },
      [](CGridCtrl& g) { g.SetRowCount(4), g.SetColumnCount(3); },
  };
  for (const auto& reset : resets) {
    FillEmpty(3, 3, 50);
    grid->SetColumnSortable(0, 1);
    reset(*grid);
    for (int c = 0; c < 3; ++c) grid->SetColumnWidth(c, 50);
    parent.log.clear();
    desk.Click(grid->m_hWnd, 10, 10);
    EXPECT_TRUE(Of(WM_GRID_SORT).empty());
  }
}

TEST_F(GridModel, CellTextIsBoundedAndReadsDataRows) {
  Make(400, 200);
  Fill(2, 2, 50, Code);
  grid->SetCell(0, 1, u"标题", kWhite, kRight, 0);
  std::u16string longText(2000, u'长');
  longText[254] = 0xD83D;  // a surrogate pair split by a 256-unit buffer
  longText[255] = 0xDE00;
  grid->SetCell(2, 0, longText.c_str(), kWhite, kRight, 0);
  struct Case {
    const char* name;
    int units, row, column;
    std::u16string expected;  // "<untouched>": the buffer keeps its sentinel
  };
  const Case cases[] = {
      {"first data row, not the title", 64, 0, 1, u"r0c1"},
      {"row -1", 64, -1, 0, u"<untouched>"},
      {"past the last data row", 64, 2, 0, u"<untouched>"},
      {"column out of range", 64, 0, 2, u"<untouched>"},
      {"negative column", 64, 0, -1, u"<untouched>"},
      {"zero units", 0, 0, 0, u"<untouched>"},
      {"one unit: terminator only", 1, 0, 0, u""},
      {"cut short", 3, 0, 0, u"r0"},
      {"never half a surrogate pair", 256, 1, 0, longText.substr(0, 254)},
      {"whole pair when it fits", 257, 1, 0, longText.substr(0, 256)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<WCHAR> buffer(300, kSentinel);
    grid->GetCellText(buffer.data(), c.units, c.row, c.column);
    if (c.expected == u"<untouched>") {
      EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](WCHAR w) { return w == kSentinel; }));
      continue;
    }
    EXPECT_EQ(std::u16string(buffer.data()), c.expected);
    EXPECT_EQ(buffer[c.expected.size() + 1], kSentinel);  // nothing past the terminator
  }
  grid->GetCellText(nullptr, 64, 0, 0);  // no crash
  std::vector<WCHAR> big(2100, kSentinel);
  grid->GetCellText(big.data(), 2100, 1, 0);
  EXPECT_EQ(std::u16string(big.data()), longText);
}

TEST_F(GridModel, MeasuringKeepsTheWidestTextOfTheColumn) {
  // A grid with no window yet measures as one with its surface.
  CGridCtrl early;
  early.EnableTextMeasure(1);
  early.SetRowCount(3);
  early.SetColumnCount(1);
  early.SetCell(1, 0, u"1234.56", kWhite, kRight, 0);
  Make(400, 200);
  grid->EnableTextMeasure(1);
  grid->SetRowCount(4);
  grid->SetColumnCount(2);
  grid->SetCell(0, 0, u"价", kWhite, kCentre, 0);
  EXPECT_EQ(grid->GetMeasuredWidth(0), TextWidth(u"价"));
  grid->SetCell(1, 0, u"12.34", kWhite, kRight, 0);
  EXPECT_EQ(grid->GetMeasuredWidth(0), TextWidth(u"12.34"));
  grid->SetCell(2, 0, u"1234.56", kWhite, kRight, 0);
  EXPECT_EQ(grid->GetMeasuredWidth(0), TextWidth(u"1234.56"));
  EXPECT_EQ(early.GetMeasuredWidth(0), TextWidth(u"1234.56"));
  grid->SetCell(3, 0, u"1.2", kWhite, kRight, 0);
  EXPECT_EQ(grid->GetMeasuredWidth(0), TextWidth(u"1234.56"));
  grid->SetCell(0, 1, u"一个很长的标题", kWhite, kCentre, 0);
  EXPECT_EQ(grid->GetMeasuredWidth(1), TextWidth(u"一个很长的标题"));
  grid->SetCell(1, 1, nullptr, kWhite, kRight, 0);  // only present texts count
  EXPECT_EQ(grid->GetMeasuredWidth(1), TextWidth(u"一个很长的标题"));
  grid->SetColumnCount(2);
  EXPECT_EQ(grid->GetMeasuredWidth(0), 0);
  grid->EnableTextMeasure(0);
  grid->SetCell(1, 0, u"1234.56", kWhite, kRight, 0);
  EXPECT_EQ(grid->GetMeasuredWidth(0), 0);
}

TEST_F(GridModel, VisibleRowsCountTheGroupRowAndSurviveBadHeights) {
  Make(400, 26 + 10 * 26 + 13);
  FillEmpty(30, 5, 50);
  EXPECT_EQ(grid->GetVisibleRowCount(), 10);
  grid->SetGroupCount(1);  // header height counted twice even if not drawn
  EXPECT_EQ(grid->GetVisibleRowCount(), 9);
  grid->SetGroupCount(0);
  grid->SetRowHeight(0);   // used as 1
  EXPECT_EQ(grid->GetVisibleRowCount(), 26 * 10 + 13);
  grid->SetRowHeight(-5);
  grid->SetHeaderHeight(-3);  // used as 0
  EXPECT_EQ(grid->GetVisibleRowCount(), 26 * 11 + 13);
  grid->SetHScrollPos(99);
  grid->SetCurRow(3);
  Paint();
  desk.Click(grid->m_hWnd, 390, 5);
  desk.Key(VK_DOWN);
  desk.Wheel(grid->m_hWnd, 10, 100, -120);
  grid->SetHScrollPos(-7);
  grid->SetFixedColumnCount(9);
  Paint();
  EXPECT_GE(grid->GetCurRow(), 0);
}

TEST_F(GridModel, BadCountsAreZeroOrRefused) {
  Make(400, 200);
  FillEmpty(3, 3, 50);
  DebugCapture capture;
  grid->SetRowCount(1000001);
  grid->SetColumnCount(4097);
  EXPECT_EQ(grid->GetRowCount(), 4);
  EXPECT_EQ(grid->GetColumnCount(), 3);
  EXPECT_NE(capture.Text().find("CGridCtrl::SetRowCount"), std::string::npos);
  EXPECT_NE(capture.Text().find("CGridCtrl::SetColumnCount"), std::string::npos);
  grid->SetColumnCount(-4);
  EXPECT_EQ(grid->GetColumnCount(), 0);
  grid->SetRowCount(-1);
  EXPECT_EQ(grid->GetRowCount(), 0);
  grid->SetGroupCount(-2);
  EXPECT_EQ(grid->GetVisibleRowCount(), (200 - 26) / 26);
  Paint();
}

// A 100,000-unit text is stored whole and drawn clipped to its cell.
TEST_F(GridModel, HugeTextIsStoredAndDrawnClipped) {
  Make(400, 200);
  FillEmpty(2, 3, 100);
  std::u16string huge(100000, u'8');
  grid->SetCell(1, 1, huge.c_str(), kWhite, kLeft, 0);
  QImage img = Paint();
  EXPECT_GT(CountOther(img, kOddRow, 100, 27, 200, 52), 0);
  EXPECT_EQ(CountOther(img, kOddRow, 201, 27, 400, 52), 0);
  std::vector<WCHAR> back(100001, kSentinel);
  grid->GetCellText(back.data(), 100001, 0, 1);
  EXPECT_EQ(std::u16string(back.data()).size(), 100000u);
}

}  // namespace

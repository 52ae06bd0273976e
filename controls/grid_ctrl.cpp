#include "controls/grid_ctrl.h"

#include "foundation/draw_helpers.h"
#include "platform/kernel/debug_sink.h"

#include <algorithm>
#include <string>

namespace {

constexpr int kMaxRowCount = 1000000;
constexpr int kMaxColumnCount = 4096;
constexpr int kFlashMs = 1500;
constexpr int kDragMs = 500;
constexpr int kWheelStep = 120;
constexpr uint32_t kRowLineRgb = 0x98A4B4;
constexpr COLORREF kArrowColor = RGB(255, 0, 0);
constexpr UINT kArrowFormat = DT_RIGHT | DT_VCENTER | DT_SINGLELINE;
const WCHAR kArrowDown[] = u"\u2193";  // direction 1
const WCHAR kArrowUp[] = u"\u2191";    // direction -1

void DrawCellText(HDC dc, const std::optional<WString>& text, COLORREF color, UINT format, RECT rc) {
  if (!text || text->empty()) return;
  SetTextColor(dc, color);
  DrawTextW(dc, text->data(), static_cast<int>(text->size()), &rc, format);
}

// As the framework's CDC::FillSolidRect: the background colour stays set.
void FillSolidRect(HDC dc, const RECT& rc, COLORREF color) {
  SetBkColor(dc, color);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}

void DrawSeparator(HDC dc, int x, int top, int bottom) {
  MoveToEx(dc, x, top, nullptr);
  LineTo(dc, x, bottom);
}

}  // namespace

CGridCtrl::CGridCtrl() {
  font_ = CreateUiFont(GetUiFontFace(), 16);
  measureDc_ = CreateCompatibleDC(nullptr);
  measureSavedFont_ = SelectObject(measureDc_, font_);
}

CGridCtrl::~CGridCtrl() {
  if (m_hWnd) DestroyWindow();
  std::lock_guard guard(lock_);
  ReleaseSurface();
  SelectObject(measureDc_, measureSavedFont_);
  DeleteDC(measureDc_);
  DeleteObject(font_);
}

// ---------------------------------------------------------------------------
// Matrix.

const CGridCtrl::GridCell* CGridCtrl::CellAt(const Matrix& m, int row, int column) {
  if (row < 0 || row >= m.rowCount || column < 0 || column >= m.columnCount) return nullptr;
  const auto& cells = m.rows[static_cast<size_t>(row)];
  if (static_cast<size_t>(column) >= cells.size()) return nullptr;
  return &cells[static_cast<size_t>(column)];
}

CGridCtrl::GridCell* CGridCtrl::CellAt(int row, int column) {
  return const_cast<GridCell*>(CellAt(matrix_, row, column));
}

void CGridCtrl::SetRowCount(int count) {
  count = std::max(count, 0);
  if (count > kMaxRowCount) {
    OutputDebugStringA(("CGridCtrl::SetRowCount: " + std::to_string(count) + " rows refused\n").c_str());
    return;
  }
  std::lock_guard guard(lock_);
  if (changeFlash_) previous_ = std::move(matrix_);
  matrix_ = Matrix{};
  sortable_.clear();
  matrix_.rows.resize(static_cast<size_t>(count));
  matrix_.rowCount = count;
  matrix_.columnCount = 0;
  groupCells_.clear();
  groupCount_ = 0;
  columnWidths_.clear();
  flashFlags_.clear();
  keyColumn_ = -1;
}

void CGridCtrl::SetColumnCount(int count) {
  count = std::max(count, 0);
  if (count > kMaxColumnCount) {
    OutputDebugStringA(("CGridCtrl::SetColumnCount: " + std::to_string(count) + " columns refused\n").c_str());
    return;
  }
  std::lock_guard guard(lock_);
  for (auto& row : matrix_.rows) row.assign(static_cast<size_t>(count), GridCell{});
  matrix_.columnCount = count;
  columnWidths_.assign(static_cast<size_t>(count), 0);
  flashFlags_.assign(static_cast<size_t>(count), 0);
  sortable_.assign(static_cast<size_t>(count), 0);
  groupWidths_.clear();
  keyColumn_ = -1;
}

void CGridCtrl::SetCell(int row, int column, LPCWSTR text, COLORREF color, UINT format, int indent) {
  std::lock_guard guard(lock_);
  GridCell* cell = CellAt(row, column);
  if (!cell) return;
  if (text)
    cell->text.emplace(text);
  else
    cell->text.reset();
  cell->color = color;
  cell->format = format;
  cell->indent = indent;
  if (measureTexts_ && cell->text) Measure(column, *cell->text);
}

// Keeps the column's widest text in its header cell. Measures on the grid's
// own DC, so a fill before the first size event measures the same widths.
void CGridCtrl::Measure(int column, const WString& text) {
  GridCell* header = CellAt(0, column);
  if (!header) return;
  SIZE size{};
  GetTextExtentPoint32W(measureDc_, text.data(), static_cast<int>(text.size()), &size);
  header->width = std::max<int>(header->width, size.cx);
}

void CGridCtrl::GetCellText(WCHAR* buffer, int bufferUnits, int dataRow, int column) const {
  if (!buffer || bufferUnits <= 0) return;
  std::lock_guard guard(lock_);
  if (dataRow < 0 || dataRow >= matrix_.rowCount - 1) return;
  const GridCell* cell = CellAt(matrix_, dataRow + 1, column);
  if (!cell) return;
  size_t n = 0;
  if (cell->text) {
    const WString& text = *cell->text;
    n = std::min(text.size(), static_cast<size_t>(bufferUnits - 1));
    if (n > 0 && n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    std::copy_n(text.data(), n, buffer);
  }
  buffer[n] = 0;
}

void CGridCtrl::SetColumnWidth(int column, int width) {
  std::lock_guard guard(lock_);
  if (column < 0 || column >= matrix_.columnCount) return;
  columnWidths_[static_cast<size_t>(column)] = width;
}

void CGridCtrl::SetColumnSortable(int column, BYTE sortable) {
  std::lock_guard guard(lock_);
  if (column < 0 || column >= matrix_.columnCount) return;
  sortable_[static_cast<size_t>(column)] = sortable;
}

void CGridCtrl::SetColumnFlash(int column, int flag) {
  std::lock_guard guard(lock_);
  if (column < 0 || column >= matrix_.columnCount) return;
  flashFlags_[static_cast<size_t>(column)] = flag;
}

void CGridCtrl::SetKeyColumn(int column) {
  std::lock_guard guard(lock_);
  keyColumn_ = column;
}

void CGridCtrl::EnableChangeFlash(BYTE on) {
  std::lock_guard guard(lock_);
  changeFlash_ = on;
}

void CGridCtrl::EnableTextMeasure(BYTE on) {
  std::lock_guard guard(lock_);
  measureTexts_ = on;
}

// ---------------------------------------------------------------------------
// Geometry and state.

void CGridCtrl::SetFixedColumnCount(int count) {
  std::lock_guard guard(lock_);
  fixedColumns_ = std::max(count, 0);
}

void CGridCtrl::SetHScrollPos(int position) {
  std::lock_guard guard(lock_);
  hScrollPos_ = position;
}

int CGridCtrl::GetScrollableColumnCount() const {
  std::lock_guard guard(lock_);
  return matrix_.columnCount - fixedColumns_;
}

int CGridCtrl::GetCurRow() const {
  std::lock_guard guard(lock_);
  return curRow_;
}

void CGridCtrl::SetCurRow(int dataRow) {
  std::lock_guard guard(lock_);
  curRow_ = dataRow;
}

void CGridCtrl::SetTopRow(int dataRow) {
  std::lock_guard guard(lock_);
  topRow_ = dataRow;
}

void CGridCtrl::GetSortState(int* column, int* direction) const {
  std::lock_guard guard(lock_);
  if (column) *column = sortColumn_;
  if (direction) *direction = sortDirection_;
}

void CGridCtrl::SetSortState(int column, int direction) {
  std::lock_guard guard(lock_);
  sortColumn_ = column;
  sortDirection_ = direction;
}

void CGridCtrl::SetHeaderHeight(int height) {
  std::lock_guard guard(lock_);
  headerHeight_ = height;
}

void CGridCtrl::SetRowHeight(int height) {
  std::lock_guard guard(lock_);
  rowHeight_ = height;
}

int CGridCtrl::HeaderHeightUsed() const { return std::max(headerHeight_, 0); }
int CGridCtrl::RowHeightUsed() const { return std::max(rowHeight_, 1); }

// The header row, and the group row above it while group cells exist (even
// when the group row is not drawn: hit tests and the visible rows count it).
int CGridCtrl::HeaderArea() const { return groupCount_ > 0 ? 2 * HeaderHeightUsed() : HeaderHeightUsed(); }

int CGridCtrl::VisibleRows() const {
  RECT client{};
  if (m_hWnd) ::GetClientRect(m_hWnd, &client);
  return (client.bottom - client.top - HeaderArea()) / RowHeightUsed();
}

int CGridCtrl::GetVisibleRowCount() const {
  std::lock_guard guard(lock_);
  return VisibleRows();
}

// Fixed columns first, then the scrollable ones from the horizontal
// position on (clamped to the columns there are).
std::vector<int> CGridCtrl::DisplayColumns() const {
  std::vector<int> columns;
  const int count = matrix_.columnCount;
  const int fixed = std::min(fixedColumns_, count);
  const int position = std::clamp(hScrollPos_, 0, std::max(0, count - fixedColumns_ - 1));
  columns.reserve(static_cast<size_t>(count));
  for (int c = 0; c < fixed; ++c) columns.push_back(c);
  for (int c = fixed + position; c < count; ++c) columns.push_back(c);
  return columns;
}

int CGridCtrl::ColumnWidthAt(int column) const {
  if (column < 0 || static_cast<size_t>(column) >= columnWidths_.size()) return 0;
  return columnWidths_[static_cast<size_t>(column)];
}

// ---------------------------------------------------------------------------
// Group row.

void CGridCtrl::SetGroupCount(int count) {
  count = std::max(count, 0);
  if (count > kMaxColumnCount) {
    OutputDebugStringA(("CGridCtrl::SetGroupCount: " + std::to_string(count) + " cells refused\n").c_str());
    return;
  }
  std::lock_guard guard(lock_);
  groupCells_.assign(static_cast<size_t>(count), GridCell{});
  groupCount_ = count;
  groupWidths_.assign(static_cast<size_t>(count), 0);
}

void CGridCtrl::SetGroupCell(int index, LPCWSTR text, COLORREF color, UINT format, int indent) {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= groupCount_) return;
  GridCell& cell = groupCells_[static_cast<size_t>(index)];
  if (text)
    cell.text.emplace(text);
  else
    cell.text.reset();
  cell.color = color;
  cell.format = format;
  cell.indent = indent;
}

void CGridCtrl::SetGroupWidth(int index, int width) {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= groupCount_ || width < 0) return;
  if (static_cast<size_t>(index) >= groupWidths_.size()) groupWidths_.resize(static_cast<size_t>(groupCount_), 0);
  groupWidths_[static_cast<size_t>(index)] = width;
}

// ---------------------------------------------------------------------------
// Look.

void CGridCtrl::SetGridLineColor(COLORREF color) {
  std::lock_guard guard(lock_);
  gridLineColor_ = color;
}

void CGridCtrl::SetSelectedRowColor(COLORREF color) {
  std::lock_guard guard(lock_);
  selectedRowColor_ = color;
}

void CGridCtrl::SetRowColors(COLORREF evenRows, COLORREF oddRows) {
  std::lock_guard guard(lock_);
  rowColor1_ = evenRows;
  rowColor2_ = oddRows;
}

void CGridCtrl::SetHeaderBkColor(COLORREF color) {
  std::lock_guard guard(lock_);
  headerBkColor_ = color;
}

void CGridCtrl::SetSelectedRowStyle(int on, COLORREF textColor) {
  std::lock_guard guard(lock_);
  selectedRowStyle_ = on;
  selectedTextColor_ = textColor;
}

void CGridCtrl::SetRowLines(BYTE on) {
  std::lock_guard guard(lock_);
  rowLines_ = on;
}

void CGridCtrl::SetRightBorder(BYTE on, uint32_t rgb) {
  std::lock_guard guard(lock_);
  rightBorder_ = on;
  rightBorderColor_ = rgb;
}

void CGridCtrl::EnableRowDrag(BYTE on) {
  std::lock_guard guard(lock_);
  rowDrag_ = on;
}

void CGridCtrl::LoadHeaderImage(LPCWSTR path) {
  std::lock_guard guard(lock_);
  headerImage_.Destroy();
  headerImage_.Load(path);
}

void CGridCtrl::LoadTagImage(LPCWSTR path) {
  std::lock_guard guard(lock_);
  tagImage_.Destroy();
  tagImage_.Load(path);
}

void CGridCtrl::LoadDragImage(LPCWSTR path) {
  std::lock_guard guard(lock_);
  dragImage_.Destroy();
  dragImage_.Load(path);
}

// ---------------------------------------------------------------------------
// Read-only views.

int CGridCtrl::GetRowCount() const {
  std::lock_guard guard(lock_);
  return matrix_.rowCount;
}

int CGridCtrl::GetColumnCount() const {
  std::lock_guard guard(lock_);
  return matrix_.columnCount;
}

int CGridCtrl::GetColumnWidth(int column) const {
  std::lock_guard guard(lock_);
  return ColumnWidthAt(column);
}

bool CGridCtrl::GetCell(int row, int column, WString* text, COLORREF* color, UINT* format) const {
  std::lock_guard guard(lock_);
  const GridCell* cell = CellAt(matrix_, row, column);
  if (!cell) return false;
  if (text) *text = cell->text ? *cell->text : WString();
  if (color) *color = cell->color;
  if (format) *format = cell->format;
  return true;
}

BYTE CGridCtrl::GetColumnSortable(int column) const {
  std::lock_guard guard(lock_);
  if (column < 0 || static_cast<size_t>(column) >= sortable_.size()) return 0;
  return sortable_[static_cast<size_t>(column)];
}

int CGridCtrl::GetFixedColumnCount() const {
  std::lock_guard guard(lock_);
  return fixedColumns_;
}

int CGridCtrl::GetHScrollPos() const {
  std::lock_guard guard(lock_);
  return hScrollPos_;
}

int CGridCtrl::GetMeasuredWidth(int column) const {
  std::lock_guard guard(lock_);
  const GridCell* header = CellAt(matrix_, 0, column);
  return header ? header->width : 0;
}

int CGridCtrl::GetKeyColumn() const {
  std::lock_guard guard(lock_);
  return keyColumn_;
}

int CGridCtrl::GetTopRow() const {
  std::lock_guard guard(lock_);
  return topRow_;
}

// ---------------------------------------------------------------------------
// Surface and painting.

BOOL CGridCtrl::OnEraseBkgnd(CDC*) { return TRUE; }

void CGridCtrl::ReleaseSurface() {
  if (!surface_) return;
  SelectObject(surface_, savedBitmap_);
  SelectObject(surface_, savedFont_);
  DeleteObject(surfaceBitmap_);
  DeleteDC(surface_);
  surface_ = nullptr;
  surfaceBitmap_ = nullptr;
  surfaceSize_ = {0, 0};
}

// A memory surface of the client size holding the grid's font, text drawn
// transparently. Made at the first size event, or by a paint that comes first.
bool CGridCtrl::EnsureSurface() {
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  const int width = std::max<int>(client.right - client.left, 1);
  const int height = std::max<int>(client.bottom - client.top, 1);
  if (surface_ && surfaceSize_.cx == width && surfaceSize_.cy == height) return true;
  ReleaseSurface();
  HDC windowDc = ::GetDC(m_hWnd);
  surface_ = CreateCompatibleDC(windowDc);
  surfaceBitmap_ = CreateCompatibleBitmap(windowDc, width, height);
  ::ReleaseDC(m_hWnd, windowDc);
  if (!surface_ || !surfaceBitmap_) {
    OutputDebugStringA("CGridCtrl::EnsureSurface: no drawing surface\n");
    if (surfaceBitmap_) DeleteObject(surfaceBitmap_);
    if (surface_) DeleteDC(surface_);
    surface_ = nullptr;
    surfaceBitmap_ = nullptr;
    return false;
  }
  savedBitmap_ = SelectObject(surface_, surfaceBitmap_);
  savedFont_ = SelectObject(surface_, font_);
  SetBkMode(surface_, TRANSPARENT);
  surfaceSize_ = {width, height};
  return true;
}

void CGridCtrl::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  {
    std::lock_guard guard(lock_);
    EnsureSurface();
  }
  Invalidate(TRUE);
}

void CGridCtrl::OnPaint() {
  std::unique_lock guard(lock_);
  CPaintDC dc(this);
  if (!EnsureSurface()) return;
  DrawGrid(surface_);
  ::BitBlt(dc, 0, 0, surfaceSize_.cx, surfaceSize_.cy, surface_, 0, 0, SRCCOPY);
  guard.unlock();
}

void CGridCtrl::DrawGrid(HDC dc) {
  RECT client{0, 0, surfaceSize_.cx, surfaceSize_.cy};
  const int rowCount = matrix_.rowCount;
  const int hh = HeaderHeightUsed();
  const int rh = RowHeightUsed();

  // 1. The current row never lies past the last data row.
  if (curRow_ >= rowCount - 1) curRow_ = rowCount - 2;

  // 2. The group row above the header.
  RECT band{client.left, client.top, client.right, client.top + hh};
  if (rowCount > 0 && groupCount_ > 0 && fixedColumns_ < groupCount_) {
    DrawGroupRow(dc, client);
    band.top += hh;
    band.bottom += hh;
  }

  // 3. The header row.
  DrawHeaderRow(dc, band, client);

  // 4. The top row keeps the view filled down to the last data row.
  const int visible = VisibleRows();
  if (topRow_ + visible > rowCount - 1) topRow_ = rowCount - 1 - visible;
  topRow_ = std::max(topRow_, 0);

  // 5. Row bands down to the client bottom; those past the data stay empty.
  const std::vector<int> columns = DisplayColumns();
  bool flashed = false;
  for (int i = topRow_ + 1, y = band.bottom; y < client.bottom; ++i, y += rh) {
    RECT rowBand{client.left, y, client.right, y + rh};
    DrawRowBand(dc, i, rowBand, client, columns, flashed);
  }
  if (flashed) {
    KillTimer(kFlashTimer);
    SetTimer(kFlashTimer, kFlashMs);
  }

  // 6. Right border.
  if (rightBorder_) DrawLine(dc, client.right - 1, client.top, client.right - 1, client.bottom, rightBorderColor_, 0);

  // 7. The drag picture, bottom-right corner 5 px beyond the pointer.
  if (rowDrag_ && dragging_ && !dragImage_.IsNull())
    dragImage_.Draw(dc, dragPoint_.x - dragImage_.GetWidth() + 5, dragPoint_.y - dragImage_.GetHeight() + 5);
}

void CGridCtrl::DrawGroupRow(HDC dc, const RECT& client) {
  const int hh = HeaderHeightUsed();
  const int top = client.top;
  const int bottom = client.top + hh;
  auto groupWidth = [this](int g) {
    return static_cast<size_t>(g) < groupWidths_.size() ? groupWidths_[static_cast<size_t>(g)] : 0;
  };
  RECT band{client.left, top, client.right, bottom};
  FillSolidRect(dc, band, headerBkColor_);
  HPEN pen = CreatePen(PS_SOLID, 1, gridLineColor_);
  HGDIOBJ oldPen = SelectObject(dc, pen);

  // The scrolled part follows the column widths of the data columns.
  const int fixed = std::min(fixedColumns_, matrix_.columnCount);
  const int position = std::clamp(hScrollPos_, 0, std::max(0, matrix_.columnCount - fixedColumns_ - 1));
  int fixedWidth = 0;
  for (int c = 0; c < fixed; ++c) fixedWidth += ColumnWidthAt(c);
  int skipped = 0;
  for (int c = fixed; c < fixed + position; ++c) skipped += ColumnWidthAt(c);
  int x = client.left + fixedWidth - skipped;
  for (int g = fixedColumns_; g < groupCount_; ++g) {
    RECT cell{x, top, x + groupWidth(g), bottom};
    DrawSeparator(dc, cell.right, top + 3, bottom - 3);
    const GridCell& gc = groupCells_[static_cast<size_t>(g)];
    DrawCellText(dc, gc.text, gc.color, gc.format, cell);
    x = cell.right;
    if (x >= client.right) break;
  }

  // The fixed part on top of whatever scrolled under it, full-height separators.
  RECT fixedBand{client.left, top, client.left + fixedWidth, bottom};
  FillSolidRect(dc, fixedBand, headerBkColor_);
  x = client.left;
  for (int g = 0; g < fixedColumns_ && g < groupCount_; ++g) {
    RECT cell{x, top, x + groupWidth(g), bottom};
    DrawSeparator(dc, cell.right, top, bottom);
    const GridCell& gc = groupCells_[static_cast<size_t>(g)];
    DrawCellText(dc, gc.text, gc.color, gc.format, cell);
    x = cell.right;
  }
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

void CGridCtrl::DrawHeaderRow(HDC dc, const RECT& band, const RECT& client) {
  if (headerImage_.GetHeight() > 0)
    headerImage_.StretchBlt(dc, band);
  else
    FillSolidRect(dc, band, headerBkColor_);
  if (matrix_.rowCount <= 0) return;
  HPEN pen = CreatePen(PS_SOLID, 1, gridLineColor_);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  SIZE arrow{};
  GetTextExtentPoint32W(dc, kArrowUp, 1, &arrow);
  int x = client.left;
  for (int c : DisplayColumns()) {
    RECT cell{x, band.top, x + ColumnWidthAt(c), band.bottom};
    if (cell.right > client.right) break;  // only whole columns are drawn
    RECT title = cell;
    if (c == sortColumn_ && sortable_[static_cast<size_t>(c)]) {
      const WCHAR* mark = sortDirection_ == 1 ? kArrowDown : sortDirection_ == -1 ? kArrowUp : nullptr;
      if (mark) {
        SetTextColor(dc, kArrowColor);
        RECT arrowRect = cell;
        DrawTextW(dc, mark, 1, &arrowRect, kArrowFormat);
      }
      title.right -= arrow.cx;  // also for direction 0
    }
    DrawSeparator(dc, cell.right, band.top + 3, band.bottom - 3);
    const GridCell* header = CellAt(0, c);
    if (header) DrawCellText(dc, header->text, header->color, header->format, title);
    x = cell.right;
    if (x >= client.right) break;
  }
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

// Is the text of matrix row i, column c changed against the previous
// matrix? The row must have matched at the key column first.
bool CGridCtrl::CellChanged(int matrixRow, int column) const {
  if (column < 0 || static_cast<size_t>(column) >= flashFlags_.size() || flashFlags_[static_cast<size_t>(column)] != 1)
    return false;
  const GridCell* now = CellAt(matrix_, matrixRow, column);
  if (!now || !now->text) return false;
  const GridCell* before = CellAt(previous_, matrixRow, column);
  if (!before || !before->text) return column < previous_.columnCount && matrixRow < previous_.rowCount;
  return before->text->find(*now->text) == WString::npos;
}

void CGridCtrl::DrawRowBand(HDC dc, int i, const RECT& band, const RECT& client, const std::vector<int>& columns,
                            bool& flashed) {
  const bool current = i == curRow_ + 1;
  COLORREF background = (i % 2 == 0) ? rowColor1_ : rowColor2_;
  if (current && !selectedRowStyle_) background = selectedRowColor_;
  FillSolidRect(dc, band, background);
  if (i >= matrix_.rowCount) return;

  if (!tagImage_.IsNull())
    tagImage_.Draw(dc, client.left + 3, band.top + (RowHeightUsed() - tagImage_.GetHeight()) / 2);
  bool sameRow = false;
  int x = client.left;
  for (int c : columns) {
    const int width = ColumnWidthAt(c);
    RECT cell{x, band.top, x + width, band.bottom};
    if (cell.right > client.right) break;
    const GridCell* data = CellAt(matrix_, i, c);
    if (data) {
      const COLORREF color = current && selectedRowStyle_ ? selectedTextColor_ : data->color;
      RECT textRect = cell;
      textRect.left += data->indent;
      const GridCell* header = CellAt(matrix_, 0, c);
      if (measureTexts_ && header && (header->format & DT_CENTER)) {
        textRect.left = cell.left + data->indent + (width - header->width) / 2;
        textRect.right = textRect.left + header->width;
      }
      if (c == keyColumn_) {
        const GridCell* before = CellAt(previous_, i, c);
        sameRow = data->text && before && before->text && before->text->find(*data->text) != WString::npos;
      } else if (sameRow && CellChanged(i, c)) {
        DrawHighlight(dc, textRect, *data);
        flashed = true;
      }
      DrawCellText(dc, data->text, color, data->format, textRect);
    }
    if (rowLines_) DrawLine(dc, cell.left, band.bottom - 2, cell.right, band.bottom - 2, kRowLineRgb, 0);
    x = cell.right;
    if (x >= client.right) break;
  }
}

void CGridCtrl::DrawHighlight(HDC dc, const RECT& textRect, const GridCell& cell) {
  SIZE size{};
  GetTextExtentPoint32W(dc, cell.text->data(), static_cast<int>(cell.text->size()), &size);
  const int w = size.cx;
  const int h = size.cy;
  RECT mark{};
  mark.top = textRect.top + (textRect.bottom - textRect.top - h) / 2 - 1;
  mark.bottom = mark.top + h + 2;
  if (cell.format & DT_RIGHT) {
    mark.left = textRect.right - w - 10;
    mark.right = textRect.right;
  } else if (cell.format & DT_CENTER) {
    mark.left = textRect.left + (textRect.right - textRect.left - w) / 2 - 5;
    mark.right = mark.left + w + 10;
  } else {
    mark.left = textRect.left;
    mark.right = textRect.left + w + 10;
  }
  FillSolidRect(dc, mark, selectedRowColor_);
}

// ---------------------------------------------------------------------------
// Input. Handlers change the state under the lock and deliver their
// notices after releasing it.

void CGridCtrl::Deliver(const Outbox& out) {
  if (out.update) UpdateWindow();
  HWND parent = ::GetParent(m_hWnd);
  if (!parent) return;
  for (const auto& n : out.notices) {
    if (n.send)
      ::SendMessageW(parent, n.message, n.wParam, n.lParam);
    else
      ::PostMessageW(parent, n.message, n.wParam, n.lParam);
  }
}

// The band a data row is painted in (below the header row, and the group
// row when it is drawn).
RECT CGridCtrl::BandRect(int dataRow) const {
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  const bool groupRow = matrix_.rowCount > 0 && groupCount_ > 0 && fixedColumns_ < groupCount_;
  const int top = client.top + HeaderHeightUsed() * (groupRow ? 2 : 1) + (dataRow - topRow_) * RowHeightUsed();
  return RECT{client.left, top, client.right, top + RowHeightUsed()};
}

void CGridCtrl::InvalidateBand(int dataRow) {
  RECT band = BandRect(dataRow);
  ::InvalidateRect(m_hWnd, &band, FALSE);
}

void CGridCtrl::ArmDrag(CPoint point) {
  dragArmed_ = 1;
  dragPoint_ = point;
  KillTimer(kDragTimer);
  SetTimer(kDragTimer, kDragMs);
}

void CGridCtrl::OnLButtonDown(UINT, CPoint point) {
  SetFocus();
  Outbox out;
  {
    std::lock_guard guard(lock_);
    const int hh = HeaderHeightUsed();
    const int rh = RowHeightUsed();
    const int d = point.y - HeaderArea();
    if (d > (matrix_.rowCount - 1 - topRow_) * rh) return;  // below the last data row
    if (groupCount_ > 0 && d < -hh) return;                  // in the group row
    if (d < 0) {
      // A title: each column covers left … left + width, so the border
      // pixel between two titles belongs to the left one.
      int left = 0;
      for (int c : DisplayColumns()) {
        const int right = left + ColumnWidthAt(c);
        if (point.x >= left && point.x <= right) {
          if (!sortable_[static_cast<size_t>(c)]) return;
          if (sortColumn_ == c) {
            sortDirection_ = -sortDirection_;
          } else {
            sortColumn_ = c;
            if (sortDirection_ == 0) sortDirection_ = 1;
          }
          out.Post(WM_GRID_SORT, static_cast<WPARAM>(sortColumn_), static_cast<LPARAM>(sortDirection_));
          RECT header{};
          ::GetClientRect(m_hWnd, &header);
          header.bottom = header.top + HeaderArea();
          ::InvalidateRect(m_hWnd, &header, FALSE);
          break;
        }
        left = right;
      }
    } else {
      const int row = topRow_ + d / rh;
      if (row == curRow_) {
        if (rowDrag_) ArmDrag(point);
        return;
      }
      if (row < 0 || row >= matrix_.rowCount - 1) return;
      if (curRow_ >= 0) InvalidateBand(curRow_);
      curRow_ = row;
      out.Post(WM_GRID_SELECT, reinterpret_cast<WPARAM>(this), static_cast<LPARAM>(curRow_));
      InvalidateBand(curRow_);
      out.update = true;
      if (rowDrag_) ArmDrag(point);
    }
  }
  Deliver(out);
}

void CGridCtrl::OnRButtonDown(UINT, CPoint point) {
  SetFocus();
  Outbox out;
  {
    std::lock_guard guard(lock_);
    const int rh = RowHeightUsed();
    const int d = point.y - HeaderArea();
    if (d > (matrix_.rowCount - 1 - topRow_) * rh || d <= 0) return;
    const int row = topRow_ + d / rh;
    if (row >= 0 && row < matrix_.rowCount - 1) {
      if (curRow_ >= 0) InvalidateBand(curRow_);
      curRow_ = row;
      InvalidateBand(curRow_);
      out.update = true;
    }
    CPoint screen = point;
    ClientToScreen(&screen);
    const WPARAM packed = static_cast<WPARAM>(static_cast<uint16_t>(screen.x)) |
                          (static_cast<WPARAM>(static_cast<uint16_t>(screen.y)) << 16);
    out.notices.push_back({WM_GRID_CONTEXT_MENU, packed, static_cast<LPARAM>(curRow_), true});
  }
  Deliver(out);
}

void CGridCtrl::OnLButtonDblClk(UINT, CPoint point) {
  Outbox out;
  {
    std::lock_guard guard(lock_);
    const int d = point.y - HeaderArea();
    if (d > (matrix_.rowCount - 1 - topRow_) * RowHeightUsed()) return;
    if (d < 0 && curRow_ >= 0) return;
    out.Post(WM_GRID_ACTIVATE, reinterpret_cast<WPARAM>(this), static_cast<LPARAM>(curRow_));
  }
  Deliver(out);
}

// Up, Down and the wheel: moves the current row to newRow, scrolling the
// view by one row (keys) or just enough (wheel), or asks for the previous
// or next page at either end. WM_GRID_SCROLL closes every path.
void CGridCtrl::MoveRow(int newRow, bool wheel, Outbox& out) {
  const int lastRow = matrix_.rowCount - 1;  // one past the last data row
  const int visible = VisibleRows();
  if (newRow >= 0 && newRow < lastRow) {
    bool scrolled = false;
    if (wheel) {
      if (newRow - topRow_ >= visible) {
        topRow_ = newRow - visible + 1;
        scrolled = true;
      } else if (newRow - topRow_ < 0) {
        topRow_ = newRow;
        scrolled = true;
      }
    } else if (newRow - topRow_ == visible) {
      ++topRow_;
      scrolled = true;
    } else if (newRow - topRow_ < 0) {
      --topRow_;
      scrolled = true;
    }
    if (scrolled) {
      curRow_ = newRow;
      Invalidate(TRUE);
    } else {
      if (curRow_ >= 0) InvalidateBand(curRow_);
      InvalidateBand(newRow);
      curRow_ = newRow;
      out.update = true;
    }
  } else if (newRow < 0) {
    topRow_ = 0;
    curRow_ = 0;
    out.Post(WM_GRID_PAGE, static_cast<WPARAM>(-1), 0);
    Invalidate(TRUE);
  } else if (newRow == lastRow || wheel) {
    topRow_ = std::max(0, lastRow - visible);
    curRow_ = lastRow;
    out.Post(WM_GRID_PAGE, 0, static_cast<LPARAM>(lastRow));
    Invalidate(TRUE);
  }
  out.Post(WM_GRID_SCROLL, static_cast<WPARAM>(topRow_), 0);
}

void CGridCtrl::OnKeyDown(UINT key, UINT, UINT) {
  Outbox out;
  {
    std::lock_guard guard(lock_);
    const int n = curRow_;
    switch (key) {
      case VK_RETURN:
        if (n >= 0 && n < matrix_.rowCount - 1)
          out.Post(WM_GRID_ACTIVATE, reinterpret_cast<WPARAM>(this), static_cast<LPARAM>(n));
        break;
      case VK_PRIOR:
        out.Post(WM_GRID_PAGE, static_cast<WPARAM>(-1), static_cast<LPARAM>(n));
        break;
      case VK_NEXT:
        out.Post(WM_GRID_PAGE, 0, static_cast<LPARAM>(n));
        break;
      case VK_UP:
        MoveRow(n - 1, false, out);
        break;
      case VK_DOWN:
        MoveRow(n + 1, false, out);
        break;
      default:
        out.Post(WM_KEYDOWN, key, 0);
        break;
    }
  }
  Deliver(out);
}

BOOL CGridCtrl::OnMouseWheel(UINT, short delta, CPoint) {
  Outbox out;
  {
    std::lock_guard guard(lock_);
    MoveRow(curRow_ - delta / kWheelStep, true, out);
  }
  Deliver(out);
  return TRUE;
}

void CGridCtrl::OnTimer(UINT_PTR id) {
  if (id == kFlashTimer) {
    KillTimer(kFlashTimer);
    {
      std::lock_guard guard(lock_);
      keyColumn_ = -1;
    }
    Invalidate(TRUE);
    return;
  }
  if (id != kDragTimer) return CWnd::OnTimer(id);
  KillTimer(kDragTimer);
  Outbox out;
  {
    std::lock_guard guard(lock_);
    if (dragArmed_) {
      dragging_ = 1;
      out.Post(WM_GRID_DRAG_BEGIN, 0, static_cast<LPARAM>(curRow_));
    }
  }
  Invalidate(TRUE);
  Deliver(out);
}

void CGridCtrl::OnMouseMove(UINT flags, CPoint point) {
  std::lock_guard guard(lock_);
  if (!rowDrag_) return;
  if (dragging_ && flags == MK_LBUTTON) {
    dragPoint_ = point;
    Invalidate(TRUE);
    return;
  }
  // Anything else cancels: the button must stay still for the drag to start.
  KillTimer(kDragTimer);
  dragArmed_ = 0;
  dragging_ = 0;
}

void CGridCtrl::OnLButtonUp(UINT flags, CPoint point) {
  Outbox out;
  bool drag = false;
  {
    std::lock_guard guard(lock_);
    drag = rowDrag_;
    if (drag && dragging_) {
      const int d = point.y - HeaderArea();
      int slot = d < 0 ? 0 : topRow_ + d / RowHeightUsed();
      slot = std::max(0, std::min(slot, matrix_.rowCount - 1));
      out.Post(WM_GRID_DROP, 0, static_cast<LPARAM>(slot));
    }
    dragArmed_ = 0;
    dragging_ = 0;
  }
  if (drag) Invalidate(TRUE);
  Deliver(out);
  CWnd::OnLButtonUp(flags, point);
}

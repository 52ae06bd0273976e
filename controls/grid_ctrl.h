// CGridCtrl: the table control behind every quote table, ranking board,
// stock list and news list. A child window showing a matrix of texts (each
// cell with its own colour, DrawText format and indent) under a header row
// of titles and, optionally, a group row of wider titles above the header.
//
// The grid holds texts and layout only. The owner fills every cell after
// each server reply, and decides what a sort, a page or an activation means
// (see controls/grid_messages.h for the notifications). The grid keeps the
// current row, the top row, fixed leading columns with whole-column
// horizontal scrolling, the sort arrow, and, with change flashing on, the
// previous matrix so cells whose text changed are highlighted for 1,500 ms.
//
// Fill order (each step resets what the later ones set):
//   SetRowCount(data rows + 1)      header row included; resets sortable and
//                                   flash flags, widths, group cells, key column
//   SetColumnCount(columns)         empties every cell; resets the same again
//   SetCell(0, c, title, ...)       header titles, then per-column settings:
//   SetColumnWidth / SetColumnSortable / SetColumnFlash
//   SetGroupCount, SetGroupCell, SetGroupWidth   only after SetColumnCount
//   SetCell(r + 1, c, ...)          data cells, any time after SetColumnCount
//   SetKeyColumn(c)                 after SetColumnCount, when flashing is wanted
//   Invalidate()                    by the owner
//
// Colours are colour words (red in the low byte, RGB()) except the right
// border colour, which is 0xRRGGBB.
//
// Threads: the grid belongs to the UI thread that created its window; owners
// fill it there (a reply callback copies and posts). Every operation takes
// the grid's recursive lock, so a stray call from another thread is safe;
// the lock order is the owner's page lock, then the grid's lock. The grid
// never posts, sends or waits for the UI thread while holding its lock.
#pragma once

#include "controls/grid_messages.h"
#include "platform/mfc/afx.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

class CGridCtrl : public CWnd {
 public:
  // Sets the initial values and creates the font (UI face, ScaleFontHeight(16))
  // and the measuring DC. The owner then creates the window as a visible
  // child with the default class: Create(nullptr, u"", WS_CHILD | WS_VISIBLE, rc, parent, id).
  CGridCtrl();
  ~CGridCtrl() override;

  // --- Matrix --------------------------------------------------------------
  // Rows of the matrix, header included. Negative counts are 0; above
  // 1,000,000 the call is refused with a trace. With change flashing on the
  // current matrix becomes the previous one. Must be followed by SetColumnCount.
  void SetRowCount(int count);
  // Gives every row count empty cells and fresh per-column settings.
  // Negative is 0; above 4,096 refused with a trace.
  void SetColumnCount(int count);
  // Matrix row (0 = header), column: stores a copy of text (null empties the
  // cell). Ignored out of range. Measures the text when measuring is on.
  void SetCell(int row, int column, LPCWSTR text, COLORREF color, UINT format, int indent);
  // Copies the text of data row dataRow (matrix row dataRow + 1): at most
  // bufferUnits - 1 units and a terminator, never half a surrogate pair.
  // Writes nothing when buffer is null, bufferUnits <= 0 or the cell is out
  // of range; an empty cell gives "".
  void GetCellText(WCHAR* buffer, int bufferUnits, int dataRow, int column) const;
  template <std::size_t N>
  void GetCellText(WCHAR (&buffer)[N], int dataRow, int column) const {
    GetCellText(buffer, static_cast<int>(N), dataRow, column);
  }

  // Per-column settings; ignored unless 0 <= column < column count.
  void SetColumnWidth(int column, int width);
  void SetColumnSortable(int column, BYTE sortable);
  void SetColumnFlash(int column, int flag);  // 1: changed cells highlighted
  // Column whose text identifies a row for change flashing; -1 none.
  void SetKeyColumn(int column);
  void EnableChangeFlash(BYTE on);  // for the following SetRowCount calls
  void EnableTextMeasure(BYTE on);  // for the following SetCell calls

  // --- Geometry and state --------------------------------------------------
  void SetFixedColumnCount(int count);
  // Scrollable columns skipped at the left; used clamped to
  // 0 … max(0, GetScrollableColumnCount() - 1), stored as given.
  void SetHScrollPos(int position);
  int GetScrollableColumnCount() const;
  // Current data row: -2 before any selection, -1 after SetCurRow(-1).
  // Owners test "< 0" for "no row".
  int GetCurRow() const;
  void SetCurRow(int dataRow);  // stored unchecked; painting clamps it
  void SetTopRow(int dataRow);  // stored unchecked; painting corrects it
  void GetSortState(int* column, int* direction) const;
  void SetSortState(int column, int direction);  // only the header arrow uses them
  void SetHeaderHeight(int height);               // header and group row
  void SetRowHeight(int height);
  // Whole data rows that fit under the header area (twice the header height
  // while group cells exist).
  int GetVisibleRowCount() const;

  // --- Group row -----------------------------------------------------------
  void SetGroupCount(int count);  // after SetColumnCount; fresh empty cells, widths 0
  void SetGroupCell(int index, LPCWSTR text, COLORREF color, UINT format, int indent);
  void SetGroupWidth(int index, int width);  // ignored for width < 0

  // --- Look ----------------------------------------------------------------
  void SetGridLineColor(COLORREF color);
  void SetSelectedRowColor(COLORREF color);
  void SetRowColors(COLORREF evenRows, COLORREF oddRows);  // by matrix index
  void SetHeaderBkColor(COLORREF color);
  // Non-zero: the current row keeps its band colour; its text takes textColor.
  void SetSelectedRowStyle(int on, COLORREF textColor);
  void SetRowLines(BYTE on);
  void SetRightBorder(BYTE on, uint32_t rgb);  // 0xRRGGBB
  void EnableRowDrag(BYTE on);
  // PNG pictures by a path relative to the working folder ('\' accepted).
  // A file that does not load leaves the picture empty, silently.
  void LoadHeaderImage(LPCWSTR path);
  void LoadTagImage(LPCWSTR path);
  void LoadDragImage(LPCWSTR path);

  // --- Read-only views for owners and tests -------------------------------
  int GetRowCount() const;  // header included
  int GetColumnCount() const;
  int GetColumnWidth(int column) const;     // 0 out of range
  int GetMeasuredWidth(int column) const;   // widest measured text; 0 out of range
  int GetKeyColumn() const;
  int GetTopRow() const;
  // The cell of matrix row (0 = header), column: true with its text, colour
  // and DrawText format (any out-pointer may be null); false, writing
  // nothing, out of range.
  bool GetCell(int row, int column, WString* text, COLORREF* color, UINT* format) const;
  BYTE GetColumnSortable(int column) const;  // 0 out of range
  int GetFixedColumnCount() const;
  int GetHScrollPos() const;  // as stored

 protected:
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnPaint() override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnRButtonDown(UINT flags, CPoint point) override;
  void OnLButtonDblClk(UINT flags, CPoint point) override;
  BOOL OnMouseWheel(UINT flags, short delta, CPoint screenPoint) override;
  void OnTimer(UINT_PTR id) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnLButtonUp(UINT flags, CPoint point) override;

 private:
  struct GridCell {
    std::optional<WString> text;  // absent: empty cell
    COLORREF color = 0;
    UINT format = 0;
    int indent = 0;  // data rows only
    int width = 0;   // header cells: widest text measured in the column
  };
  // A matrix: row 0 is the header; a row is empty until SetColumnCount
  // gives it columnCount cells.
  struct Matrix {
    std::vector<std::vector<GridCell>> rows;
    int rowCount = 0;
    int columnCount = 0;
  };
  // Messages gathered under the lock and delivered after it is released.
  struct Outbox {
    struct Notice {
      UINT message;
      WPARAM wParam;
      LPARAM lParam;
      bool send;
    };
    std::vector<Notice> notices;
    bool update = false;  // UpdateWindow after the notices
    void Post(UINT m, WPARAM w, LPARAM l) { notices.push_back({m, w, l, false}); }
  };

  static const GridCell* CellAt(const Matrix& m, int row, int column);
  GridCell* CellAt(int row, int column);
  void Measure(int column, const WString& text);
  int HeaderHeightUsed() const;
  int RowHeightUsed() const;
  int HeaderArea() const;
  int VisibleRows() const;
  std::vector<int> DisplayColumns() const;
  int ColumnWidthAt(int column) const;
  bool EnsureSurface();
  void ReleaseSurface();
  void DrawGrid(HDC dc);
  void DrawGroupRow(HDC dc, const RECT& client);
  void DrawHeaderRow(HDC dc, const RECT& band, const RECT& client);
  void DrawRowBand(HDC dc, int matrixRow, const RECT& band, const RECT& client, const std::vector<int>& columns,
                   bool& flashed);
  bool CellChanged(int matrixRow, int column) const;
  void DrawHighlight(HDC dc, const RECT& textRect, const GridCell& cell);
  RECT BandRect(int dataRow) const;
  void InvalidateBand(int dataRow);
  void MoveRow(int newRow, bool wheel, Outbox& out);
  void ArmDrag(CPoint point);
  void Deliver(const Outbox& out);

  static constexpr UINT_PTR kFlashTimer = 1000;
  static constexpr UINT_PTR kDragTimer = 1001;

  // Settings and state; every field is guarded by lock_.
  mutable std::recursive_mutex lock_;
  COLORREF selectedRowColor_ = RGB(8, 48, 107);
  COLORREF headerBkColor_ = 0;
  COLORREF gridLineColor_ = 0;
  COLORREF rowColor1_ = 0;  // even matrix rows
  COLORREF rowColor2_ = 0;  // odd matrix rows (the first data row is 1)
  CImage headerImage_;
  CImage dragImage_;
  CImage tagImage_;
  CPoint dragPoint_{0, 0};  // client point of the last press or drag move
  int topRow_ = 0;
  Matrix matrix_;
  Matrix previous_;          // kept by SetRowCount while change flashing is on
  std::vector<GridCell> groupCells_;
  int groupCount_ = 0;
  int fixedColumns_ = 1;
  int hScrollPos_ = 0;       // as stored; used clamped
  int curRow_ = -2;
  int sortColumn_ = -1;
  int sortDirection_ = 0;
  std::vector<BYTE> sortable_;
  std::vector<int> columnWidths_;
  std::vector<int> groupWidths_;  // a missing width counts as 0
  std::vector<int> flashFlags_;
  int headerHeight_ = 26;
  int rowHeight_ = 26;
  int keyColumn_ = -1;
  HFONT font_ = nullptr;
  HDC measureDc_ = nullptr;   // memory DC holding font_, made with the grid
  HGDIOBJ measureSavedFont_ = nullptr;
  HDC surface_ = nullptr;     // the memory surface every paint draws into
  HBITMAP surfaceBitmap_ = nullptr;
  HGDIOBJ savedBitmap_ = nullptr;
  HGDIOBJ savedFont_ = nullptr;
  SIZE surfaceSize_{0, 0};
  BYTE rowLines_ = 0;
  int selectedRowStyle_ = 0;
  COLORREF selectedTextColor_ = 0;
  BYTE measureTexts_ = 0;
  BYTE changeFlash_ = 0;
  BYTE rightBorder_ = 0;
  uint32_t rightBorderColor_ = 0;
  BYTE dragging_ = 0;
  BYTE dragArmed_ = 0;
  BYTE rowDrag_ = 0;
};

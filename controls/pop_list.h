// CVexloPopListView: a small dark list window with a light-blue title bar.
//
// Rows of UTF-8 cells, each with its own colour (0xRRGGBB), DrawText format
// and a pointer-sized user value; a selection bar; a skinned vertical
// scroll bar (bitmap resource 154) shown only while the rows do not fit;
// wheel scrolling. The owner creates the window as a child, fills it with
// SetGridSize, SetTitle and SetItem on the UI thread, then shows it.
//
// Notices to the parent:
//   WM_POPLIST_DBLCLK (control_messages.h), posted on a double click on a
//     row: wParam the address of the list object, lParam the row (now the
//     selected row);
//   WM_KEYDOWN(key, 0), posted for every key pressed in the list (the list
//     has no keyboard handling of its own).
// After wheel steps the list posts WM_GRID_SCROLL (5005, grid_messages.h;
// wParam the wanted top row) to itself, which moves the scroll bar with the top row.
//
// Cells are painted all in the row's one band rectangle from the left edge
// + 10, so the columns of a row are told apart only by their alignment.
// Every size event sets the bar's position to 0 but keeps the top row.
#pragma once

#include "platform/mfc/afx_controls.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CVexloScrollBar;

struct PopListCell {
  std::string text;              // owned UTF-8 copy; empty: nothing drawn
  uint32_t color = 0;            // 0xRRGGBB
  UINT format = 0;               // DrawText flags; painting adds DT_WORD_ELLIPSIS
  std::uintptr_t userValue = 0;  // kept for the owner (usually a UTF-8 text pointer)
};

class CVexloPopListView : public CWnd {
 public:
  // The largest rows x columns SetGridSize accepts.
  static constexpr int64_t kMaxCells = 100000;

  CVexloPopListView();
  ~CVexloPopListView() override;

  // Empties the list (texts, selection, top row, scroll bar state) and
  // makes rows x columns empty cells; the scroll bar gets min 0, max =
  // max(0, rows - visible rows), page 1, position 0 and shows only when max
  // is above 0. Zero or negative counts leave an empty list; more than
  // kMaxCells cells are refused with a trace (the list stays empty).
  void SetGridSize(int columns, int rows);
  // Stores a copy of text and the three values in a cell; ignored for a
  // cell outside the grid or a null text.
  void SetItem(int row, int column, const char* text, uint32_t color, UINT format, std::uintptr_t userValue);
  // The cell's user value as a text pointer; "" (a static empty text) for a
  // cell outside the grid or a user value of 0.
  const char* GetItemData(int row, int column) const;
  // Copies the UTF-8 title, cut at 255 bytes on a character boundary; a
  // null title changes nothing.
  void SetTitle(const char* title);

  const char* GetTitle() const { return title_; }
  // The selected row (-1 none), the first visible row, and the rows that
  // fit below the title bar.
  int GetSelectedRow() const { return selectedRow_; }
  int GetTopRow() const { return topRow_; }
  int GetVisibleRows() const { return visibleRows_; }
  CVexloScrollBar* ScrollBar() const { return scrollBar_.get(); }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  int OnCreate(LPCREATESTRUCT cs) override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnPaint() override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnLButtonDblClk(UINT flags, CPoint point) override;
  BOOL OnMouseWheel(UINT flags, short delta, CPoint screenPoint) override;
  void OnVScroll(UINT code, UINT pos, CWnd* bar) override;
  void OnGetMinMaxInfo(MINMAXINFO* info) override;

 private:
  void FreeSurface();
  void ResetScrollBar(int max);
  int RowAt(int y) const;  // the row under a client y, -1 for the title bar or below the rows
  CRect BandRect(int row) const;
  void GridScroll(int wantedTop);
  void DrawList(CDC& dc, const CRect& client);
  int ScrollMax() const;

  // The memory surface everything is painted on first.
  bool surfaceReady_ = false;
  CDC surface_;
  CBitmap surfaceBitmap_;
  HGDIOBJ savedBitmap_ = nullptr;
  HGDIOBJ savedFont_ = nullptr;
  HFONT font_ = nullptr;  // owned: CreateUiFont(GetUiFontFace(), 14)

  char title_[256] = {};  // UTF-8
  int columnCount_ = 0;
  int rowCount_ = 0;
  std::vector<PopListCell> cells_;  // rowCount_ x columnCount_, row by row
  int selectedRow_ = -1;
  int rowHeight_ = 20;              // also the title bar's height in hit tests
  uint32_t selectionColor_ = 0x053A74;
  std::unique_ptr<CVexloScrollBar> scrollBar_;
  HBITMAP skin_ = nullptr;  // bitmap resource 154, owned; the bar only borrows it
  int scrollPos_ = 0;       // last position taken from the bar
  int topRow_ = 0;
  int visibleRows_ = 0;     // client height / row height - 1
};

// The tick lists of the stock page: CDetailView, the full list of the
// "分时成交" page (columns of 16-pixel rows filled oldest first from the top
// left, a selection moved by the page's Up and Down keys, paging into older
// ticks through the parent), and CDetailSmallView, the compact 成交明细 list
// under the quote board (the newest ticks that fit, 20-pixel rows).
//
// Both show stock ticks (TickArea) or futures ticks (FuturesTickArea).
// The setters copy the rows in use with the area's head and total under
// the list's lock (see panel_window.h for the threads): a row count below
// 0 is no rows, one above the area's room is held at the room, a negative
// total shows no absolute numbers.
//
// CDetailView's columns: SetTicks sets 200-pixel columns and
// SetFuturesTicks 300-pixel ones, the count being client width / column
// width, at least 1. Every WM_SIZE recomputes the count with 200-pixel
// columns whatever the mode (a futures list keeps them until the next
// SetFuturesTicks) and the capacity as (height - 20) / 16 rows times the
// columns; the page asks the engine for GetCapacity ticks.
//
// Paging: SelectPrevRow and SelectNextRow run on the UI thread. Past the
// first row shown (Up) or the last (Down) they send WM_TICK_PAGE to the
// parent, lParam 1 for older ticks and 0 for newer ones, after releasing
// the list's lock (the parent answers by handing another area).
#pragma once

#include "marketdata/tick_decoders.h"
#include "stockpage/panel_window.h"

#include <cstdint>
#include <vector>

// Sent (wParam 0) by CDetailView to its parent: lParam 1 show older ticks,
// 0 show newer ones.
constexpr UINT WM_TICK_PAGE = 5312;

// The copy a tick list draws: head, total and the rows in use.
struct TickRows {
  bool set = false;
  uint8_t decimals = 2;
  uint8_t kind = 0;
  float referencePrice = 0;
  int32_t total = -1;
  std::vector<TickRecord> rows;
};

void CopyTickRows(const TickArea* area, TickRows* out);
void CopyTickRows(const FuturesTickArea* area, TickRows* out);

class CDetailView : public CPanelWnd {
 public:
  static constexpr int kHeaderHeight = 20;
  static constexpr int kRowHeight = 16;

  CDetailView();
  ~CDetailView() override;

  // Copies the stock ticks (null: none); 200-pixel columns. Invalidates.
  void SetTicks(const TickArea* area);
  // Copies the futures ticks (null: none); 300-pixel columns. Invalidates.
  void SetFuturesTicks(const FuturesTickArea* area);
  // Drops both areas and the selection. Invalidates.
  void Clear();
  // Rows per column times columns, as of the last WM_SIZE.
  int GetCapacity() const;
  // Up and Down of the stock page (UI thread); nothing without stock ticks.
  void SelectPrevRow();
  void SelectNextRow();

  int Selection() const;
  int FirstTickShown() const;
  int ColumnCount() const;
  int ColumnWidth() const;

 protected:
  void Render(HDC dc) override;
  void SizeChanged(int width, int height) override;

 private:
  void DrawStockColumn(HDC dc, const RECT& column, int first);
  void DrawFuturesColumn(HDC dc, const RECT& column, int first);
  // Under the lock: a new selection; then, outside it, the notice.
  void MoveSelection(int step);

  // Guarded by lock_.
  TickRows ticks_;
  TickRows futures_;
  int selection_ = -1;   // relative to the first tick shown
  int firstShown_ = 0;   // set by each paint
  int capacity_ = 0;
  int columns_ = 1;
  int columnWidth_ = 200;
  int width_ = 0;
  int height_ = 0;
  HFONT font_ = nullptr;
};

class CDetailSmallView : public CPanelWnd {
 public:
  static constexpr int kTitleHeight = 26;
  static constexpr int kRowHeight = 20;

  CDetailSmallView();
  ~CDetailSmallView() override;

  void SetTicks(const TickArea* area);
  void SetFuturesTicks(const FuturesTickArea* area);
  void Clear();

 protected:
  void Render(HDC dc) override;

 private:
  void DrawStockRows(HDC dc, int w, int h);
  void DrawFuturesRows(HDC dc, int w, int h);

  // Guarded by lock_.
  TickRows ticks_;
  TickRows futures_;
  HFONT rowFont_ = nullptr;
  HFONT titleFont_ = nullptr;
};

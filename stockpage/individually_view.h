// CIndividuallyView: the narrow 逐笔成交 panel, the newest single trades of a
// stock in 20-pixel rows (time, price, volume, direction), with a range of
// trades highlighted by their absolute numbers (total - row count + i, so
// a trade keeps its number while older rows drop out), and a state without
// the data right that shows only "您没有权限查询当前数据！".
//
// No page of the program creates it. A page that embeds it feeds it with
// SetTickArea, SetHighlight and SetDataRight, each of which takes the
// panel's lock, copies and repaints (any thread; see panel_window.h).
#pragma once

#include "marketdata/tick_decoders.h"
#include "stockpage/panel_window.h"

#include <cstdint>

inline constexpr int kTickByTickRows = 64;

// The area the panel draws: the head of a tick area, up to 64 rows oldest
// first in the tick-area row layout, the row count.
struct TickByTickArea {
  StockKey key;
  float referencePrice;          // previous close
  int32_t total;                 // trades of the day
  TickRecord rows[kTickByTickRows];
  int32_t rowCount;
};

class CIndividuallyView : public CPanelWnd {
 public:
  static constexpr int kTitleHeight = 26;
  static constexpr int kRowHeight = 20;

  CIndividuallyView();
  ~CIndividuallyView() override;

  // Copies the area (null: none); a row count outside 0..64 is held there.
  void SetTickArea(const TickByTickArea* area);
  // Highlights the trades numbered first <= k < lastPlusOne.
  void SetHighlight(int32_t first, int32_t lastPlusOne);
  // 0: the user has no right to the data (the message only).
  void SetDataRight(int right);

  // Where the no-right message was drawn last.
  RECT MessageRect() const;

 protected:
  void Render(HDC dc) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  // A drawing step a page may add; nothing here.
  virtual void DrawExtra(HDC dc);

 private:
  // Guarded by lock_.
  TickByTickArea area_{};
  bool hasArea_ = false;
  int32_t highlightFirst_ = 0;
  int32_t highlightEnd_ = 0;
  int dataRight_ = 0;
  RECT messageRect_{};
  HFONT rowFont_ = nullptr;
  HFONT titleFont_ = nullptr;
};

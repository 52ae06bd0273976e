// CPriceStatisView: the stock page's 分价统计 panel, one 26-pixel row per
// traded price (price, volume, a bar of the volume against the largest
// volume split into its two parts, and the volume's share of the day),
// under a 26-pixel title, with a skinned vertical scroll bar.
//
// Feeding: SetData copies the levels in use with the reference price, the
// decimals byte and the largest volume under the panel's lock. A level
// count below 0 (a request still unanswered) is no rows, one above the
// area's room is held at the room. SetData keeps the scroll position,
// clamped to the new maximum; Clear, called for every new stock, resets it.
//
// Scroll bar: the bar window is only ever touched on the UI thread. SetData,
// Clear and WM_SIZE store the scroll description under the lock and post
// WM_APPLY_SCROLLINFO to the panel; its handler applies the description to
// the bar and shows the bar when the maximum is above 0, else hides it.
#pragma once

#include "controls/skin_scroll_bar.h"
#include "marketdata/tick_decoders.h"
#include "stockpage/panel_window.h"

#include <cstdint>
#include <vector>

class CPriceStatisView : public CPanelWnd {
 public:
  static constexpr int kTitleHeight = 26;
  static constexpr int kRowHeight = 26;

  CPriceStatisView();
  ~CPriceStatisView() override;

  // Copies the area (null: as Clear, keeping nothing) and invalidates.
  void SetData(const PriceStatArea* area);
  // Drops the data, scrolls back to the top and hides the bar.
  void Clear();

  // The first row shown and the whole rows that fit (for the page).
  int FirstRow() const;
  int PageSize() const;
  // The skinned bar (UI thread).
  CVexloScrollBar& ScrollBar() { return scrollBar_; }

 protected:
  void Render(HDC dc) override;
  void SizeChanged(int width, int height) override;
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnVScroll(UINT code, UINT pos, CWnd* bar) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // Under lock_: the description from the rows, page and first row; then
  // posts it to the UI thread.
  void PostScrollState();
  int MaxFirstRow() const;

  // Guarded by lock_.
  std::vector<PriceLevel> levels_;
  bool hasArea_ = false;
  uint8_t decimals_ = 2;
  float referencePrice_ = 0;
  int64_t largestVolume_ = 0;
  int pageSize_ = 0;
  int firstRow_ = 0;
  RECT rowsRect_{};
  SCROLLINFO scrollInfo_{};  // the description the posted message applies

  HFONT rowFont_ = nullptr;
  HFONT titleFont_ = nullptr;
  HBITMAP skin_ = nullptr;   // bitmap resource 147, owned
  CVexloScrollBar scrollBar_;
};

// CMinView: the stock page's intraday chart window. It owns one MinuteChart
// in layout mode 2 (price, volume and sub-chart panels), renders it into a
// memory picture when marked dirty, draws the cross-hair over the copied
// picture, fills the data tip and the sub-chart title (two CVexloPopView
// children), follows the mouse and the arrow keys repainting only thin
// strips around the cursor, and tells its parent about a pause over an
// information-mine marker and about the context menu.
//
// Threads and locks: every operation that touches the chart or the picture
// runs under the view's recursive lock (DataLock()); owners that call in
// under a lock of their own take theirs first. SetStock, SetMineList and
// ClearChart may run on a network thread: they copy the engine's area
// under the lock (the chart is bound to the copy, never to the engine's
// area), mark the picture dirty, invalidate and post WM_CHART_REFRESH; they
// never show, hide, move or update a window and never send a message. The
// refresh handler on the UI thread does the window work.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "charts/minute_chart.h"
#include "controls/pop_view.h"
#include "marketdata/minute_decoders.h"
#include "marketdata/quote_areas.h"
#include "marketdata/quote_engine.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/mfc/afx.h"

class CMinView : public CWnd {
 public:
  CMinView();
  ~CMinView() override;

  CriticalSection& DataLock() { return lock_; }
  MinuteChart* Chart() { return chart_; }

  // Data (any thread). The areas are copied; null unbinds.
  void SetStock(const MinuteArea* area, const TradingHoursTable* hours);
  void SetMineList(const NewsListArea* mines, const void* unused = nullptr);
  void ClearChart();

  // UI thread.
  void SetSubChart(int kind);
  int GetSubChart() const { return chart_->SubChart; }
  void ShowCrossHair(bool show) { chart_->CrossHair = show ? 1 : 0; }
  bool IsCrossHairShown() const { return chart_->CrossHair != 0; }
  void SetDataRight(int right) { dataRight_ = right; }
  void MoveCursorLeft();
  void MoveCursorRight();
  // The slot of an information-mine item's time text ("YYYYMMDDhhmm"), as
  // the markers place it; 0 without a mine list or data.
  int GetMinuteSlot(const char* timeText);
  int IsSameMinuteSlot(const char* a, const char* b);
  // A copy of the view's information mines (under the view's lock).
  std::vector<NewsRecord> CopyMineList();

  const RECT& NoRightRect() const { return noRightRect_; }
  CVexloPopView& TipView() { return tipView_; }
  CVexloPopView& SubTitleView() { return subTitleView_; }

  virtual void Draw(HDC dc);

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnRButtonDown(UINT flags, CPoint point) override;
  void OnTimer(UINT_PTR id) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void MoveCursor(void (*step)(MinuteChart*));
  void ReleaseMemoryPicture();
  void Refresh();
  void InvalidateStrip(const RECT& r) { InvalidateRect(&r, FALSE); }
  void InvalidateRemembered();
  void InvalidatePopViews();
  RECT VerticalStrip() const;
  RECT HorizontalStrip(int y) const;
  RECT TipStrip();
  RECT SubTitleStrip() const;
  void PostToParent(UINT msg, WPARAM w, LPARAM l);

  CVexloPopView tipView_;
  CVexloPopView subTitleView_;
  MinuteChart* chart_ = nullptr;
  HDC memDc_ = nullptr;
  HBITMAP memBitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  HGDIOBJ oldFont_ = nullptr;
  HFONT font_ = nullptr;
  RECT tipStrip_{}, vStrip_{}, hStrip_{};
  RECT topStrip_{}, subStrip_{};
  CriticalSection lock_;
  int dataRight_ = 0;
  RECT noRightRect_{};
  int lastMouseX_ = -1, lastMouseY_ = -1;
  bool dirty_ = false;
  int hoveredMine_ = -1;
  bool hovering_ = false;
  int hoverX_ = 0, hoverY_ = 0;
  bool hideTip_ = false;  // ClearChart ran: the refresh handler hides the tip
  // The view's own copies of the engine's areas (the chart points here).
  std::unique_ptr<MinuteArea> area_;
  TradingHoursTable hours_{};
  NewsListArea mines_{};
  std::vector<NewsRecord> mineRecords_;
};

// CKLineView: the window that shows a stock's K-line chart. It owns one
// KLineChart, renders it into a memory picture when marked dirty, draws the
// cross-hair over the copied picture, fills the data tip and three title
// strips (CVexloPopView children), turns mouse input into cursor moves and
// marker notices for its parent, and takes bars, news, ex-rights and
// related data from its owner.
//
// Threads and locks: every operation that changes the chart runs under the
// view's recursive lock (DataLock()); an owner rewrites the area it handed
// to SetBars only while holding that lock (its own lock first, then this).
// The data setters (SetBars, SetMineNews, SetExRightsList) may be called off
// the UI thread: they change data, mark dirty, invalidate and post
// WM_CHART_REFRESH, never move, show or update windows nor send messages;
// the refresh handler on the UI thread lays the title windows out. News and
// ex-rights lists are copied into the view's own storage.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "charts/kline_chart.h"
#include "charts/kline_rel_data.h"
#include "controls/pop_view.h"
#include "marketdata/ex_rights.h"
#include "marketdata/fund_flow.h"
#include "marketdata/quote_areas.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/mfc/afx.h"

struct KLineArea;
struct IndicatorWorkspace;

// Copies the supplement tables of src into dst so that src's records
// first .. first + count - 1 land at 0 .. count - 1 (records pair with bars
// from the end: record count - 1 with the newest bar).
void CopyKLineSupplements(KLineArea* dst, const KLineArea* src);

class CKLineView : public CWnd {
 public:
  CKLineView();
  ~CKLineView() override;

  CriticalSection& DataLock() { return lock_; }
  KLineChart* Chart() { return chart_; }

  // Data (any thread, under the owner's lock).
  void SetBars(const KLineArea* area, IndicatorWorkspace* workspace, bool apply);
  void SetMineNews(const NewsListArea* news);
  void SetExRightsList(const ExRightsArea* list);
  // Adjust the owner's bars (the area handed to SetBars) for the ex-rights
  // events of list, or undo an adjustment (mode kExRightsForward or
  // kExRightsBackward), then recalculate. Run under the view's lock.
  void ApplyForwardAdjust(KLineArea* area, const ExRightsArea* list);
  void ApplyBackwardAdjust(KLineArea* area, const ExRightsArea* list, int from);
  void RemoveAdjust(KLineArea* area, const ExRightsArea* list, int mode);
  void KeepBarPosition(int flag);
  void SetPendingZoomOut(int flag) { pendingZoomOut_ = flag; }
  int GetBarsNeededForZoomOut();

  // UI thread.
  void ClearChart();
  void Recalculate();
  void SetIndicator(int indicator);
  void SetPaneCount(int layout);
  void ChangePaneCount(int layout);
  bool ToggleMainOverlay(int overlay);
  bool ToggleFundamentalsPane(int kind);
  int GetMainOverlay() const { return chart_->mainOverlay; }
  int GetPaneCount() const { return chart_->paneLayout; }
  int GetFundamentalsPane() const { return chart_->fundKind; }
  // Takes the fetcher's pending table of the type, points the chart at it
  // and frees the table it replaces.
  void SetRelatedData(KLineRelData* reply, int type);
  void ZoomIn();
  void ZoomOut();
  void MoveCursorLeft();
  void MoveCursorRight();
  void ShowCrossHair(bool show);
  bool IsCrossHairShown() const { return chart_->crossHairShown != 0; }
  int GetCursorBar();
  const FundFlowRecord* GetCursorBarFundFlow();
  const FundFlowRecord* GetCursorBarOrderFlow();
  void SetDataRight(int flag) { dataRight_ = flag; }
  void EnableCursorPopup(int flag) { tipEnabled_ = flag; }
  void ShowStockNameInTitle(int flag) { chart_->showNameInTitle = flag; }
  void SetMarkSource(int source) { markSource_ = source; }
  int GetNewsMarkCount() const { return chart_->newsMarkCount; }
  const NewsMark* GetNewsMarks() const { return chart_->newsMarks; }
  const RatingMark* GetRatingMarks() const { return chart_->ratingMarks; }
  bool HitTestNewsMark(int x, int y, int i) const;
  // A copy of the view's news list (under the view's lock).
  std::vector<NewsRecord> CopyNewsList();
  bool HitTestRatingMark(int x, int y, int i) const;
  void LayoutPopups();
  void InvalidateTitles();
  const RECT& NoRightRect() const { return noRightRect_; }
  CVexloPopView& TipView() { return tipView_; }

  virtual void Draw(HDC dc);

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnLButtonDblClk(UINT flags, CPoint point) override;
  void OnRButtonDown(UINT flags, CPoint point) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnTimer(UINT_PTR id) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void MoveCursor(bool (*step)(KLineChart*));
  void ReleaseMemoryPicture();
  void InvalidateCursorRegions(bool withTip);
  void RefreshCursorRegions();
  void ShowTipIfWanted();
  int CursorBarUnlocked() const;
  void OnPopListChoice(int row);
  void PostToParent(UINT msg, WPARAM w, LPARAM l);

  KLineChart* chart_ = nullptr;
  CVexloPopView tipView_;
  CVexloPopView titleViews_[3];  // main, volume, indicator
  KLineRelData relData_{};
  HDC memDc_ = nullptr;
  HBITMAP memBitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  HFONT font_ = nullptr;
  HGDIOBJ oldFont_ = nullptr;
  RECT tipArea_{}, crossStripV_{}, crossStripH_{};
  RECT titleStrips_[3]{};
  CriticalSection lock_;
  int dataRight_ = 0;
  RECT noRightRect_{};
  int lastMouseX_ = -1, lastMouseY_ = -1;
  bool dirty_ = false, hoverExRights_ = false, hoverRating_ = false, hoverNews_ = false;
  int markSource_ = 0;
  int hoverX_ = 0, hoverY_ = 0, hoverExRightsIndex_ = -1, hoverRatingIndex_ = -1, hoverNewsIndex_ = -1;
  int tipEnabled_ = 1;
  FundFlowRecord orderFlow_{}, fundFlow_{};
  int pendingZoomOut_ = 0, keepPosition_ = 0, savedBarCount_ = 0;
  bool layoutPending_ = false;
  // The view's own copies of the news list and the ex-rights records.
  NewsListArea news_{};
  std::vector<NewsRecord> newsRecords_;
  ExRightsArea exRights_;
};

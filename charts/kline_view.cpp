#include "charts/kline_view.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "charts/kline_chart_indicators.h"
#include "charts/kline_markers.h"
#include "charts/kline_painter.h"
#include "controls/control_messages.h"
#include "foundation/draw_helpers.h"
#include "marketdata/day_bar.h"
#include "marketdata/quote_record.h"
#include "platform/kernel/kernel_utf.h"

namespace {

constexpr UINT_PTR kExRightsTimer = 8000, kRatingTimer = 8001, kNewsTimer = 8002;

class Locked {
 public:
  explicit Locked(CriticalSection& l) : l_(l) { l_.Enter(); }
  ~Locked() { l_.Leave(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  CriticalSection& l_;
};

bool Inside(const ChartRect& r, int x, int y) { return x > r.left && x < r.right && y > r.top && y < r.bottom; }

LPARAM PointParam(int x, int y) { return static_cast<LPARAM>(y) * 65536 + x; }

}  // namespace

void CopyKLineSupplements(KLineArea* dst, const KLineArea* src) {
  if (!dst || !src) return;
  const int first = std::clamp(src->first, 0, kSupplementRoom);
  const int a = std::clamp(src->level2Count, 0, kSupplementRoom - first);
  std::memset(dst->level2Records, 0, sizeof dst->level2Records);
  std::memcpy(dst->level2Records, src->level2Records + first, static_cast<size_t>(a) * sizeof(Level2BarRecord));
  std::memcpy(dst->level2Values, src->level2Values, sizeof dst->level2Values);
  dst->level2Count = a;
  const int b = std::clamp(src->supplementCount, 0, kSupplementRoom - first);
  std::memset(dst->supplementRecords, 0, sizeof dst->supplementRecords);
  std::memcpy(dst->supplementRecords, src->supplementRecords + first, static_cast<size_t>(b) * sizeof(BarSupplementRecord));
  std::memcpy(dst->supplementValues, src->supplementValues, sizeof dst->supplementValues);
  dst->supplementCount = b;
}

CKLineView::CKLineView() {
  chart_ = CreateKLineChart({0, 0, 300, 200}, this);
  font_ = CreateUiFont(GetUiFontFace(), 14);
  tipView_.SetLock(&lock_);
  for (CVexloPopView& v : titleViews_) v.SetLock(&lock_);
}

CKLineView::~CKLineView() {
  {
    Locked hold(lock_);
    ReleaseMemoryPicture();
    FreeKLineChart(chart_);
    chart_ = nullptr;
  }
  if (font_) DeleteGdiObject(font_);
  relData_.Release();
  // The child windows go with their objects; ours first so they never paint a freed chart.
  if (m_hWnd) DestroyWindow();
}

void CKLineView::ReleaseMemoryPicture() {
  if (!memDc_) return;
  SelectObject(memDc_, oldBitmap_);
  if (oldFont_) SelectObject(memDc_, oldFont_);
  DeleteObject(memBitmap_);
  DeleteDC(memDc_);
  memDc_ = nullptr;
  memBitmap_ = nullptr;
  oldBitmap_ = oldFont_ = nullptr;
}

int CKLineView::OnCreate(LPCREATESTRUCT) {
  const ChartRect& t = chart_->tipRect;
  tipView_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(t.left, t.top, t.right + 1, t.bottom), this, 0);
  tipView_.ShowWindow(SW_HIDE);
  for (int i = 0; i < 3; ++i)
    titleViews_[i].Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, CRect(0, 0, 10, 10), this, 1 + i);
  return 0;
}

void CKLineView::LayoutPopups() {
  if (!m_hWnd) return;
  ChartRect r[3];
  {
    Locked hold(lock_);
    LayoutKLineChart(chart_);
    r[0] = chart_->mainTitleRect;
    r[1] = chart_->volumeTitleRect;
    r[2] = chart_->indicatorTitleRect;
    layoutPending_ = false;
  }
  for (int i = 0; i < 3; ++i) {
    const bool shown = r[i].bottom > r[i].top && !(i == 1 && chart_->paneLayout == 1);
    titleViews_[i].MoveWindow(r[i].left, r[i].top, std::max(r[i].right - r[i].left, 1), std::max(r[i].bottom - r[i].top, 1));
    titleViews_[i].ShowWindow(shown ? SW_SHOW : SW_HIDE);
  }
  Recalculate();
}

void CKLineView::OnSize(UINT, int cx, int cy) {
  if (cx <= 0 || cy <= 0) return;
  {
    Locked hold(lock_);
    ReleaseMemoryPicture();
    HDC screen = ::GetDC(m_hWnd);
    memDc_ = CreateCompatibleDC(screen);
    memBitmap_ = CreateCompatibleBitmap(screen, cx, cy);
    ::ReleaseDC(m_hWnd, screen);
    oldBitmap_ = SelectObject(memDc_, memBitmap_);
    oldFont_ = font_ ? SelectObject(memDc_, font_) : nullptr;
    SetBkMode(memDc_, TRANSPARENT);
    chart_->rect = {0, 0, cx, cy};
    LayoutKLineChart(chart_);
    chart_->scrollToEnd = 1;
    CalcKLineIndicators(chart_);
    if (chart_->crossHairShown) PlaceKLineCrossHair(chart_);
    dirty_ = true;
  }
  LayoutPopups();
  Invalidate(FALSE);
}

BOOL CKLineView::OnEraseBkgnd(CDC*) { return TRUE; }

void CKLineView::OnPaint() {
  CPaintDC dc(this);
  Locked hold(lock_);
  Draw(dc.GetSafeHdc());
}

void CKLineView::Draw(HDC dc) {
  if (!memDc_) return;
  if (dirty_) {
    dirty_ = false;
    DrawKLineChart(chart_, memDc_);
  }
  const int w = chart_->rect.right, h = chart_->rect.bottom;
  BitBlt(dc, 0, 0, w, h, memDc_, 0, 0, SRCCOPY);
  DrawKLineCrossHair(chart_, dc);
  DrawKLineTitles(chart_, titleViews_[2].GetMemoryDC(), titleViews_[0].GetMemoryDC(), titleViews_[1].GetMemoryDC());
  if (HDC tip = tipView_.GetMemoryDC()) DrawKLineDataTip(chart_, tip);
  noRightRect_ = {};
  if (!dataRight_ && chart_->lowerIndicator > 10 && chart_->paneLayout != 0) {
    static const char kText[] = "您没有权限查询当前数据！";
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = font_ ? SelectObject(dc, font_) : nullptr;
    const int width = MeasureTextWidth(dc, kText, 0);
    const int top = chart_->indicatorTop + chart_->indicatorHeight / 2 - 20;
    const int left = (w - width) / 2;
    noRightRect_ = {left, top, left + width, top + 20};
    DrawTextUtf8InRect(dc, &noRightRect_, kText, 0xFFFFFF, 1);
    if (old) SelectObject(dc, old);
  }
}

void CKLineView::PostToParent(UINT msg, WPARAM w, LPARAM l) {
  if (HWND parent = ::GetParent(m_hWnd)) ::PostMessageW(parent, msg, w, l);
}

void CKLineView::InvalidateCursorRegions(bool withTip) {
  if (withTip) InvalidateRect(&tipArea_, FALSE);
  InvalidateRect(&crossStripV_, FALSE);
  InvalidateRect(&crossStripH_, FALSE);
  for (const RECT& r : titleStrips_) InvalidateRect(&r, FALSE);
}

// Under the lock: the new cursor regions from the chart.
void CKLineView::RefreshCursorRegions() {
  RECT client{};
  GetClientRect(&client);
  tipArea_ = {client.left, client.top, 60, 400};
  const int x = GetKLineCursorX(chart_);
  crossStripV_ = {x - 3, 0, x + 3, chart_->rect.bottom};
  crossStripH_ = {0, chart_->cursorY - 5, chart_->rect.right, chart_->cursorY + 5};
  const ChartRect s[3] = {GetKLineMainTitleStrip(chart_), GetKLineVolumeTitleStrip(chart_),
                          GetKLineIndicatorTitleStrip(chart_)};
  for (int i = 0; i < 3; ++i) titleStrips_[i] = {s[i].left, s[i].top, s[i].right, s[i].bottom};
}

void CKLineView::ShowTipIfWanted() {
  const bool show = tipEnabled_ && chart_->cursor >= 0 && chart_->crossHairShown;
  if (show) {
    // The tip grows for the futures row.
    const ChartRect& t = chart_->tipRect;
    tipView_.MoveWindow(t.left, t.top, 72, t.bottom - t.top);
  }
  tipView_.ShowWindow(show ? SW_SHOWNA : SW_HIDE);
  tipView_.Invalidate(FALSE);
}

int CKLineView::CursorBarUnlocked() const {
  return chart_->cursor >= 0 ? chart_->firstVisible + chart_->cursor : -1;
}

void CKLineView::OnLButtonDown(UINT, CPoint p) {
  PostToParent(WM_KLINE_CLICK, reinterpret_cast<WPARAM>(this), PointParam(p.x, p.y));
  int before, after;
  {
    Locked hold(lock_);
    const int r = chart_->topStripRect.right;
    if (chart_->paneLayout == 3 && p.x >= r - 12 && p.x <= r && p.y >= chart_->fundTop && p.y <= chart_->fundTop + 12) {
      POINT s{p.x, p.y};
      ClientToScreen(&s);
      if (CWnd* parent = GetParent()) parent->SendMessage(WM_KLINE_PANE_LAYOUT, PointParam(s.x, s.y), 7200);
      return;
    }
    before = CursorBarUnlocked();
    InvalidateCursorRegions(true);
    ToggleKLineCrossHairAt(chart_, p.x, p.y);
    RefreshCursorRegions();
    InvalidateCursorRegions(true);
    after = CursorBarUnlocked();
  }
  ShowTipIfWanted();
  InvalidateTitles();
  UpdateWindow();
  if (before != after) PostToParent(WM_STOCKPAGE_NOTE, 0, 0);
}

void CKLineView::OnLButtonDblClk(UINT, CPoint p) {
  PostToParent(WM_KLINE_CLICK, reinterpret_cast<WPARAM>(this), PointParam(p.x, p.y));
  bool inMark = false;
  {
    Locked hold(lock_);
    const int marks = std::min(chart_->exRightsMarkCount, std::min(chart_->capacity, kKLineExRightsMarkRoom));
    for (int i = 0; i < marks && !inMark; ++i) inMark = Inside(chart_->exRightsMarkRects[i], p.x, p.y);
  }
  if (inMark) {
    KillTimer(kExRightsTimer);
    PostToParent(WM_KLINE_EXRIGHTS, 0, 0);
  }
}

void CKLineView::OnRButtonDown(UINT, CPoint p) {
  POINT s{p.x, p.y};
  ClientToScreen(&s);
  if (CWnd* parent = GetParent()) parent->SendMessage(WM_CHART_MENU_KLINE, PointParam(s.x, s.y), 7000);
}

bool CKLineView::HitTestNewsMark(int x, int y, int i) const {
  if (!chart_->newsMarks || i < 0 || i >= chart_->newsMarkCount) return false;
  return Inside(chart_->newsMarks[i].rect, x, y);
}

bool CKLineView::HitTestRatingMark(int x, int y, int i) const {
  if (!chart_->ratingMarks || i < 0 || i >= chart_->ratingCount) return false;
  const RatingMark& m = chart_->ratingMarks[i];
  if (Inside(m.stemRect, x, y)) return true;
  const int y0 = std::min(m.arrow[0].y, m.arrow[1].y), y1 = std::max(m.arrow[0].y, m.arrow[1].y);
  return x >= m.arrow[1].x && x <= m.arrow[2].x && y >= y0 && y <= y1;
}

void CKLineView::OnMouseMove(UINT, CPoint p) {
  if (p.x == lastMouseX_ && p.y == lastMouseY_) return;
  struct Hover {
    bool* flag;
    int* index;
    UINT_PTR timer;
    UINT leaveMessage;
    int found;
  };
  int exIndex = -1, ratingIndex = -1, newsIndex = -1;
  {
    Locked hold(lock_);
    const int marks = std::min(chart_->exRightsMarkCount, std::min(chart_->capacity, kKLineExRightsMarkRoom));
    for (int i = 0; i < marks && exIndex < 0; ++i)
      if (Inside(chart_->exRightsMarkRects[i], p.x, p.y)) exIndex = i;
    for (int i = 0; i < chart_->ratingCount && ratingIndex < 0; ++i)
      if (chart_->ratingMarks && chart_->ratingMarks[i].visible == 1 && HitTestRatingMark(p.x, p.y, i)) ratingIndex = i;
    for (int i = 0; i < chart_->newsMarkCount && newsIndex < 0; ++i)
      if (chart_->newsMarks[i].visible == 1 && HitTestNewsMark(p.x, p.y, i)) newsIndex = i;
  }
  Hover hovers[3] = {{&hoverExRights_, &hoverExRightsIndex_, kExRightsTimer, WM_KLINE_EXRIGHTS, exIndex},
                     {&hoverRating_, &hoverRatingIndex_, kRatingTimer, WM_RATING_MARK_PICK, ratingIndex},
                     {&hoverNews_, &hoverNewsIndex_, kNewsTimer, WM_NEWS_MARK_PICK, newsIndex}};
  for (Hover& h : hovers) {
    if (h.found >= 0) {
      *h.index = h.found;
      if (!*h.flag) {
        *h.flag = true;
        hoverX_ = p.x;
        hoverY_ = p.y;
        SetTimer(h.timer, 1000);
      }
    } else {
      KillTimer(h.timer);
      if (*h.flag) PostToParent(h.leaveMessage, 0, 1);
      *h.flag = false;
    }
  }
  lastMouseX_ = p.x;
  lastMouseY_ = p.y;
  int before, after;
  bool shown;
  {
    Locked hold(lock_);
    before = CursorBarUnlocked();
    InvalidateCursorRegions(false);
    MoveKLineCrossHair(chart_, p.x, p.y);
    shown = chart_->crossHairShown != 0;
    after = CursorBarUnlocked();
    if (shown) {
      RefreshCursorRegions();
      InvalidateCursorRegions(before != after);
    }
  }
  if (shown) {
    InvalidateTitles();
    if (before != after) tipView_.Invalidate(FALSE);
    UpdateWindow();
    if (before != after) PostToParent(WM_STOCKPAGE_NOTE, 0, 0);
  }
}

void CKLineView::OnTimer(UINT_PTR id) {
  if (id != kExRightsTimer && id != kRatingTimer && id != kNewsTimer) return;
  KillTimer(id);
  UINT msg = 0;
  LPARAM value = 0;
  {
    Locked hold(lock_);
    if (!chart_->bars || KLineBarCount(chart_) <= 0) return;
    if (id == kExRightsTimer) {
      const int marks = std::min(chart_->exRightsMarkCount, kKLineExRightsMarkRoom);
      if (!hoverExRights_ || hoverExRightsIndex_ < 0 || hoverExRightsIndex_ >= marks) return;
      msg = WM_KLINE_EXRIGHTS;
      value = chart_->exRightsMarkItems[hoverExRightsIndex_];
    } else if (id == kRatingTimer) {
      if (!hoverRating_ || hoverRatingIndex_ < 0 || hoverRatingIndex_ >= chart_->ratingCount || !chart_->ratingMarks) return;
      msg = WM_RATING_MARK_PICK;
      value = std::atoi(chart_->ratingMarks[hoverRatingIndex_].date);
    } else {
      if (!hoverNews_ || hoverNewsIndex_ < 0 || hoverNewsIndex_ >= chart_->newsMarkCount) return;
      msg = WM_NEWS_MARK_PICK;
      value = std::atoi(chart_->newsMarks[hoverNewsIndex_].date);
    }
  }
  PostToParent(msg, static_cast<WPARAM>(PointParam(hoverX_, hoverY_)), value);
}

void CKLineView::OnPopListChoice(int row) {
  std::string link;
  {
    Locked hold(lock_);
    int seen = 0;
    if (markSource_ == 0) {
      if (!chart_->ratingMarks || !chart_->ratingItems || hoverRatingIndex_ < 0 || hoverRatingIndex_ >= chart_->ratingCount) return;
      const RatingMark& hovered = chart_->ratingMarks[hoverRatingIndex_];
      for (int i = 0; i < chart_->ratingCount; ++i) {
        const RatingMark& m = chart_->ratingMarks[i];
        if (m.kind != hovered.kind || std::strcmp(m.date, hovered.date) != 0) continue;
        if (seen++ == row) {
          link.assign(chart_->ratingItems[i].url, strnlen(chart_->ratingItems[i].url, sizeof chart_->ratingItems[i].url));
          break;
        }
      }
    } else {
      if (!chart_->newsMarks || hoverNewsIndex_ < 0 || hoverNewsIndex_ >= chart_->newsMarkCount) return;
      const NewsMark& hovered = chart_->newsMarks[hoverNewsIndex_];
      for (int i = 0; i < chart_->newsMarkCount && i < static_cast<int>(newsRecords_.size()); ++i) {
        if (std::strcmp(chart_->newsMarks[i].date, hovered.date) != 0) continue;
        if (seen++ == row) {
          link.assign(newsRecords_[i].url, strnlen(newsRecords_[i].url, sizeof newsRecords_[i].url));
          break;
        }
      }
    }
  }
  if (link.empty()) return;
  const std::u16string address = Utf8ToWide(link);
  if (CWnd* main = AfxGetMainWnd()) main->SendMessage(WM_POP_HTML, reinterpret_cast<WPARAM>(address.c_str()), 0);
}

LRESULT CKLineView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CHART_REFRESH: {
      bool pending;
      {
        Locked hold(lock_);
        pending = layoutPending_;
      }
      if (pending) LayoutPopups();
      Invalidate(FALSE);
      InvalidateTitles();
      for (CVexloPopView& v : titleViews_)
        if (v.m_hWnd) v.UpdateWindow();
      return 0;
    }
    case WM_INDEXBAR_SELECT: {
      LRESULT r = 0;
      if (CWnd* parent = GetParent()) r = parent->SendMessage(WM_INDEXBAR_SELECT, wParam, lParam);
      Locked hold(lock_);
      if (memDc_) DrawKLineChart(chart_, memDc_);
      return r;
    }
    case WM_POPLIST_DBLCLK:
      OnPopListChoice(static_cast<int>(lParam));
      return 0;
    default:
      return CWnd::WindowProc(message, wParam, lParam);
  }
}

// ---------------------------------------------------------------- operations

void CKLineView::SetBars(const KLineArea* area, IndicatorWorkspace* workspace, bool apply) {
  {
    Locked hold(lock_);
    if (keepPosition_ && apply && area) {
      chart_->firstVisible += area->barCount - savedBarCount_ - 1;
      keepPosition_ = 0;
    }
    if (pendingZoomOut_ && apply) {
      ZoomOutKLineChart(chart_);
      pendingZoomOut_ = 0;
    }
    SetKLineChartData(chart_, area, workspace);
    // Futures show the holding row: the tip grows to 402 pixels.
    const bool futures = area && IsFuturesMarket(area->key.market);
    chart_->tipRect.bottom = chart_->tipRect.top + (futures ? 402 : 360);
    dirty_ = true;
    layoutPending_ = true;
  }
  if (m_hWnd) {
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
    ::PostMessageW(m_hWnd, WM_CHART_REFRESH, 0, 0);
  }
}

std::vector<NewsRecord> CKLineView::CopyNewsList() {
  Locked hold(lock_);
  return newsRecords_;
}

void CKLineView::KeepBarPosition(int flag) {
  Locked hold(lock_);
  savedBarCount_ = chart_->bars ? chart_->bars->barCount : 0;
  keepPosition_ = flag;
}

int CKLineView::GetBarsNeededForZoomOut() {
  Locked hold(lock_);
  return KLineBarsNeededForZoomOut(chart_);
}

void CKLineView::SetMineNews(const NewsListArea* news) {
  {
    Locked hold(lock_);
    newsRecords_.clear();
    news_ = {};
    if (news) {
      std::memcpy(news_.code, news->code, sizeof news_.code);
      news_.market = news->market;
      if (news->records && news->recordCount > 0)
        newsRecords_.assign(news->records, news->records + news->recordCount);
    }
    news_.records = newsRecords_.empty() ? nullptr : newsRecords_.data();
    news_.recordCount = static_cast<int32_t>(newsRecords_.size());
    SetKLineNewsMarks(chart_, news ? &news_ : nullptr);
    CalcKLineIndicators(chart_);
    dirty_ = true;
  }
  if (m_hWnd) {
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
    ::PostMessageW(m_hWnd, WM_CHART_REFRESH, 0, 0);
  }
}

void CKLineView::SetExRightsList(const ExRightsArea* list) {
  {
    Locked hold(lock_);
    delete[] exRights_.records;
    exRights_.records = nullptr;
    exRights_.count = 0;
    if (list) {
      exRights_.key = list->key;
      if (list->records && list->count > 0) {
        exRights_.records = new ExRightsRecord[static_cast<size_t>(list->count)];
        std::memcpy(exRights_.records, list->records, sizeof(ExRightsRecord) * static_cast<size_t>(list->count));
        exRights_.count = list->count;
      }
    }
    SetKLineExRights(chart_, list ? &exRights_ : nullptr);
    dirty_ = true;
  }
  if (m_hWnd) {
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
    ::PostMessageW(m_hWnd, WM_CHART_REFRESH, 0, 0);
  }
}

void CKLineView::ApplyForwardAdjust(KLineArea* area, const ExRightsArea* list) {
  {
    Locked hold(lock_);
    ApplyForwardExRights(area, list);
    CalcKLineIndicators(chart_);
    dirty_ = true;
  }
  if (m_hWnd) Invalidate(FALSE);
}

void CKLineView::ApplyBackwardAdjust(KLineArea* area, const ExRightsArea* list, int from) {
  {
    Locked hold(lock_);
    ApplyBackwardExRights(area, list, from);
    CalcKLineIndicators(chart_);
    dirty_ = true;
  }
  if (m_hWnd) Invalidate(FALSE);
}

void CKLineView::RemoveAdjust(KLineArea* area, const ExRightsArea* list, int mode) {
  {
    Locked hold(lock_);
    UndoExRightsAdjustment(mode, area, list);
    CalcKLineIndicators(chart_);
    dirty_ = true;
  }
  if (m_hWnd) Invalidate(FALSE);
}

void CKLineView::ClearChart() {
  {
    Locked hold(lock_);
    ResetKLineChart(chart_);
    // The rows belong to the owner's fetcher, which may free them next.
    chart_->financeRows = nullptr;
    chart_->holderRows = nullptr;
    chart_->ratingItems = nullptr;
    chart_->financeRowCount = chart_->holderRowCount = chart_->ratingCount = 0;
    ClearKLineFundColumns(chart_);
    LayoutKLineChart(chart_);
    CalcKLineIndicators(chart_);
    dirty_ = true;
    hoverExRights_ = hoverRating_ = hoverNews_ = false;
  }
  if (tipView_.m_hWnd) tipView_.ShowWindow(SW_HIDE);
  if (m_hWnd) Invalidate(FALSE);
}

void CKLineView::Recalculate() {
  {
    Locked hold(lock_);
    CalcKLineIndicators(chart_);
    dirty_ = true;
  }
  if (m_hWnd) Invalidate(FALSE);
  InvalidateTitles();
}

void CKLineView::SetIndicator(int indicator) {
  {
    Locked hold(lock_);
    SetKLineLowerIndicator(chart_, indicator);
    dirty_ = true;
  }
  if (m_hWnd) {
    Invalidate(FALSE);
    PostMessage(WM_CHART_REFRESH);
  }
}

void CKLineView::SetPaneCount(int layout) {
  Locked hold(lock_);
  chart_->paneLayout = layout;
  chart_->lowerIndicator = 0;
}

void CKLineView::ChangePaneCount(int layout) {
  {
    Locked hold(lock_);
    chart_->paneLayout = layout;
  }
  LayoutPopups();
}

bool CKLineView::ToggleMainOverlay(int overlay) {
  bool off = false;
  {
    Locked hold(lock_);
    if (overlay == chart_->mainOverlay) {
      overlay = 0;
      off = true;
    }
    SetKLineMainOverlay(chart_, overlay);
    dirty_ = true;
  }
  if (m_hWnd) Invalidate(FALSE);
  return off;
}

bool CKLineView::ToggleFundamentalsPane(int kind) {
  bool closed = false;
  {
    Locked hold(lock_);
    if ((kind == 1 || kind == 2) && kind == chart_->fundKind) {
      chart_->paneLayout = 2;
      chart_->fundKind = -1;
      closed = true;
    } else if (kind == 1 || kind == 2) {
      chart_->paneLayout = 3;
      chart_->fundKind = kind;
    } else {
      chart_->paneLayout = 2;
      chart_->fundKind = -1;
    }
    CalcKLineIndicators(chart_);
    ClearKLineFundColumns(chart_);
    SetKLineFundRows(chart_);
    dirty_ = true;
  }
  LayoutPopups();
  if (m_hWnd) Invalidate(FALSE);
  return closed;
}

void CKLineView::SetRelatedData(KLineRelData* reply, int type) {
  if (!reply) return;
  {
    Locked hold(lock_);
    void* old = nullptr;
    if (!reply->TakePending(type, &old)) return;
    if (type == 1) {
      chart_->financeRows = reply->financeRows;
      chart_->financeRowCount = reply->financeCount;
    } else if (type == 2) {
      chart_->holderRows = reply->holderRows;
      chart_->holderRowCount = reply->holderCount;
    }
    if (type == 1 || type == 2) {
      ClearKLineFundColumns(chart_);
      SetKLineFundRows(chart_);
    } else {
      chart_->ratingItems = reply->ratingRows;
      chart_->ratingCount = reply->ratingCount;
      SetKLineRatingMarks(chart_);
    }
    CalcKLineIndicators(chart_);
    dirty_ = true;
    std::free(old);  // nothing points at it any more
  }
  if (m_hWnd) Invalidate(FALSE);
}

void CKLineView::ZoomIn() {
  {
    Locked hold(lock_);
    ZoomInKLineChart(chart_);
    dirty_ = true;
  }
  if (m_hWnd) Invalidate(FALSE);
}

void CKLineView::ZoomOut() {
  {
    Locked hold(lock_);
    ZoomOutKLineChart(chart_);
    dirty_ = true;
  }
  if (m_hWnd) Invalidate(FALSE);
}

void CKLineView::MoveCursorLeft() { MoveCursor(MoveKLineCursorLeft); }

void CKLineView::MoveCursorRight() { MoveCursor(MoveKLineCursorRight); }

// The arrow keys: the first press shows the cursor on the newest visible bar
// (whatever its direction); later presses move it one bar with `step`.
void CKLineView::MoveCursor(bool (*step)(KLineChart*)) {
  {
    Locked hold(lock_);
    if (!chart_->crossHairShown && chart_->cursor == -1) {
      chart_->cursor = GetKLineVisibleCount(chart_);
      MoveKLineCursorRight(chart_);
    } else {
      InvalidateCursorRegions(true);
      if (step(chart_)) {
        dirty_ = true;
        Invalidate(FALSE);
      }
    }
    RefreshCursorRegions();
    InvalidateCursorRegions(true);
  }
  if (tipEnabled_ && !tipView_.IsWindowVisible()) ShowTipIfWanted();
  InvalidateTitles();
  tipView_.Invalidate(FALSE);
  UpdateWindow();
}

void CKLineView::ShowCrossHair(bool show) {
  {
    Locked hold(lock_);
    chart_->crossHairShown = show ? 1 : 0;
  }
  if (m_hWnd) Invalidate(FALSE);
}

int CKLineView::GetCursorBar() {
  Locked hold(lock_);
  if (!chart_->bars || KLineBarCount(chart_) <= 0 || !IsWindowVisible() || !chart_->crossHairShown || chart_->cursor < 0)
    return -1;
  return chart_->firstVisible + chart_->cursor;
}

namespace {

// The supplement record of a bar, paired from the end: record count - 1
// with the newest bar.
int SupplementIndex(const KLineArea* area, int bar, int count) {
  const int k = bar - (area->end - count);
  return k >= 0 && k < count && k < kSupplementRoom ? k : -1;
}

}  // namespace

const FundFlowRecord* CKLineView::GetCursorBarFundFlow() {
  const int bar = GetCursorBar();
  Locked hold(lock_);
  if (bar < 0) return nullptr;
  const KLineArea* area = chart_->bars;
  const int k = SupplementIndex(area, bar, std::clamp(area->level2Count, 0, kSupplementRoom));
  if (k < 0) return nullptr;
  fundFlow_ = {};
  std::memcpy(fundFlow_.code, area->key.code, sizeof fundFlow_.code);
  fundFlow_.market = area->key.market;
  for (int i = 0; i < 8; ++i) {
    fundFlow_.amounts[i] = area->level2Records[k].values[10 + i] / 100;
    fundFlow_.counts[i] = static_cast<int32_t>(area->level2Records[k].values[18 + i]);
  }
  return &fundFlow_;
}

const FundFlowRecord* CKLineView::GetCursorBarOrderFlow() {
  const int bar = GetCursorBar();
  Locked hold(lock_);
  if (bar < 0) return nullptr;
  const KLineArea* area = chart_->bars;
  const int k = SupplementIndex(area, bar, std::clamp(area->supplementCount, 0, kSupplementRoom));
  if (k < 0) return nullptr;
  orderFlow_ = {};
  std::memcpy(orderFlow_.code, area->key.code, sizeof orderFlow_.code);
  orderFlow_.market = area->key.market;
  for (int i = 0; i < 8; ++i) orderFlow_.amounts[i] = area->supplementRecords[k].values[3 + i] / 100;
  return &orderFlow_;
}

void CKLineView::InvalidateTitles() {
  for (CVexloPopView& v : titleViews_)
    if (v.m_hWnd) v.Invalidate(FALSE);
}

#include "controls/skin_scroll_bar.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr UINT_PTR kFirstDelayTimer = 200;  // 500 ms after a press
constexpr UINT_PTR kRepeatTimer = 100;      // every 100 ms while held
constexpr UINT kFirstDelayMs = 500;
constexpr UINT kRepeatMs = 100;
constexpr int kThumbLength = 6;  // the fixed thumb
constexpr int kThumbEnd = 3;     // pixels of each thumb end taken from the cell

constexpr int kPartLineUp = 0, kPartLineDown = 1, kPartPageUp = 2, kPartPageDown = 3, kPartThumb = 5;
constexpr int kCodeThumbPosition = 4, kCodeThumbTrack = 5;
constexpr int kRowNormal = 0, kRowHot = 1, kRowPressed = 2;

bool IsArrow(int part) { return part == kPartLineUp || part == kPartLineDown; }

// The skin column of a part: arrows, thumb, track; +4 for horizontal bars.
int ColumnOf(int part, bool vertical) {
  int column = 3;  // track parts
  if (part == kPartLineUp) column = 0;
  if (part == kPartLineDown) column = 1;
  if (part == kPartThumb) column = 2;
  return vertical ? column : column + 4;
}

// A memory DC holding the skin for the length of one drawing call.
class SkinDc {
 public:
  SkinDc(CDC& target, HBITMAP skin) {
    mem_.CreateCompatibleDC(&target);
    old_ = mem_.SelectObject(static_cast<HGDIOBJ>(skin));
  }
  ~SkinDc() { mem_.SelectObject(old_); }
  SkinDc(const SkinDc&) = delete;
  SkinDc& operator=(const SkinDc&) = delete;
  CDC* Dc() { return &mem_; }

 private:
  CDC mem_;
  HGDIOBJ old_ = nullptr;
};

// Repeats the cell at (sx, sy) of side cell across rect, cutting the last
// copies at the right and bottom edges.
void Tile(CDC& dc, CDC* skin, const CRect& rect, int sx, int sy, int cellWidth, int cellHeight) {
  if (cellWidth <= 0 || cellHeight <= 0) return;
  for (int y = rect.top; y < rect.bottom; y += cellHeight) {
    for (int x = rect.left; x < rect.right; x += cellWidth) {
      dc.BitBlt(x, y, std::min(cellWidth, rect.right - x), std::min(cellHeight, rect.bottom - y), skin, sx, sy,
                SRCCOPY);
    }
  }
}

}  // namespace

CVexloScrollBar::~CVexloScrollBar() = default;  // the skin stays the owner's

bool CVexloScrollBar::Vertical() const { return m_hWnd && (GetStyle() & SBS_VERT) != 0; }

int CVexloScrollBar::ThumbPosition() const { return thumbDrag_ ? info_.nTrackPos : info_.nPos; }

CVexloScrollBar::Layout CVexloScrollBar::Measure(int p, bool forHit) const {
  Layout l;
  l.track = std::max(0, length_ - 2 * cell_);
  l.arrow = l.track > 0 ? cell_ : length_ / 2;
  int64_t range = static_cast<int64_t>(info_.nMax) - info_.nMin - static_cast<int64_t>(info_.nPage) + 1;
  // A range below 0 (max < min, a page larger than the range) is no range.
  l.range = static_cast<int>(std::clamp<int64_t>(range, 0, INT32_MAX));
  l.thumb = l.track >= kThumbLength && l.range != 0 ? kThumbLength : 0;
  int spanLength = forHit && l.track >= kThumbLength ? kThumbLength : l.thumb;
  int64_t free = l.track - spanLength;
  int64_t start = l.range != 0 ? l.arrow + free * p / l.range : l.arrow + free / 2;
  // Positions outside the range keep the thumb inside the track.
  l.thumbStart = static_cast<int>(std::clamp<int64_t>(start, l.arrow, l.arrow + std::max<int64_t>(0, free)));
  return l;
}

CRect CVexloScrollBar::PartRect(int part, int p) const {
  Layout l = Measure(p, false);
  int start = 0, end = 0;
  switch (part) {
    case kPartLineUp: end = l.arrow; break;
    case kPartLineDown: start = length_ - l.arrow, end = length_; break;
    case kPartPageUp: start = l.arrow, end = l.thumbStart; break;
    case kPartPageDown: start = l.thumbStart + l.thumb, end = length_ - l.arrow; break;
    case kPartThumb: start = l.thumbStart, end = l.thumbStart + l.thumb; break;
    default: break;
  }
  end = std::max(start, end);
  return Vertical() ? CRect(0, start, cell_, end) : CRect(start, 0, end, cell_);
}

CVexloScrollBar::Span CVexloScrollBar::PartSpan(int part) const {
  CRect r = PartRect(part, ThumbPosition());
  return Vertical() ? Span{r.top, r.bottom} : Span{r.left, r.right};
}

int CVexloScrollBar::HitTest(POINT point) const {
  int c = Vertical() ? point.y : point.x;
  if (c < 0) return -1;
  Layout l = Measure(ThumbPosition(), true);
  if (c < l.arrow) return kPartLineUp;
  int span = l.track >= kThumbLength ? kThumbLength : 0;
  if (c < l.thumbStart) return kPartPageUp;
  if (c < l.thumbStart + span) return kPartThumb;
  if (c < length_ - l.arrow) return kPartPageDown;
  return kPartLineDown;
}

void CVexloScrollBar::SetBitmap(HBITMAP skin) {
  skin_ = skin;
  cell_ = cellHeight_ = 0;
  BITMAP bm;
  if (skin && GetObjectW(skin, sizeof bm, &bm) == static_cast<int>(sizeof bm)) {
    cell_ = bm.bmWidth / 9;
    cellHeight_ = bm.bmHeight / 3;
  }
  if (!m_hWnd || cell_ <= 0) return;
  CRect rc;
  GetWindowRect(&rc);
  if (HWND parent = ::GetParent(m_hWnd)) ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
  if (Vertical())
    MoveWindow(rc.left, rc.top, cell_, rc.Height(), TRUE);
  else
    MoveWindow(rc.left, rc.top, rc.Width(), cell_, TRUE);
  Invalidate(TRUE);
}

// ---------------------------------------------------------------------------
// Drawing.

void CVexloScrollBar::DrawPart(CDC& dc, int part, int row) const {
  if (!HasSkin()) return;
  CRect r = PartRect(part, ThumbPosition());
  if (r.IsRectEmpty()) return;
  SkinDc skin(dc, skin_);
  const bool vertical = Vertical();
  const int sx = ColumnOf(part, vertical) * cell_;
  const int sy = row * cell_;
  if (part == kPartPageUp || part == kPartPageDown) {
    Tile(dc, skin.Dc(), r, sx, sy, cell_, cell_);
    return;
  }
  if (IsArrow(part)) {
    if (r.Width() == cell_ && r.Height() == cell_)
      dc.BitBlt(r.left, r.top, cell_, cell_, skin.Dc(), sx, sy, SRCCOPY);
    else
      dc.StretchBlt(r.left, r.top, r.Width(), r.Height(), skin.Dc(), sx, sy, cell_, cell_, SRCCOPY);
    return;
  }
  // The thumb: both 3-pixel ends of the cell, the middle of the cell tiled
  // between them.
  const int middle = cell_ - 2 * kThumbEnd;
  if (vertical) {
    dc.BitBlt(r.left, r.top, cell_, kThumbEnd, skin.Dc(), sx, sy, SRCCOPY);
    dc.BitBlt(r.left, r.bottom - kThumbEnd, cell_, kThumbEnd, skin.Dc(), sx, sy + cell_ - kThumbEnd, SRCCOPY);
    Tile(dc, skin.Dc(), CRect(r.left, r.top + kThumbEnd, r.right, r.bottom - kThumbEnd), sx, sy + kThumbEnd,
         cell_, middle);
    return;
  }
  dc.BitBlt(r.left, r.top, kThumbEnd, cell_, skin.Dc(), sx, sy, SRCCOPY);
  dc.BitBlt(r.right - kThumbEnd, r.top, kThumbEnd, cell_, skin.Dc(), sx + cell_ - kThumbEnd, sy, SRCCOPY);
  Tile(dc, skin.Dc(), CRect(r.left + kThumbEnd, r.top, r.right - kThumbEnd, r.bottom), sx + kThumbEnd, sy, middle,
       cell_);
}

void CVexloScrollBar::DrawTrackRect(CDC& dc, const CRect& rect) const {
  if (!HasSkin() || rect.IsRectEmpty()) return;
  SkinDc skin(dc, skin_);
  Tile(dc, skin.Dc(), rect, ColumnOf(kPartPageUp, Vertical()) * cell_, kRowNormal * cell_, cell_, cell_);
}

void CVexloScrollBar::DrawOnWindow(int part, int row) {
  if (!HasSkin()) return;
  CClientDC dc(this);
  DrawPart(dc, part, row);
}

void CVexloScrollBar::OnPaint() {
  CPaintDC dc(this);
  if (!HasSkin()) return;
  for (int part : {kPartLineUp, kPartLineDown, kPartThumb, kPartPageUp, kPartPageDown}) DrawPart(dc, part, kRowNormal);
}

BOOL CVexloScrollBar::OnEraseBkgnd(CDC*) { return TRUE; }

void CVexloScrollBar::OnSize(UINT type, int cx, int cy) {
  CScrollBar::OnSize(type, cx, cy);
  length_ = Vertical() ? cy : cx;
}

// ---------------------------------------------------------------------------
// The scroll state.

LRESULT CVexloScrollBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case SBM_SETSCROLLINFO:
      return SetInfo(static_cast<BOOL>(wParam), reinterpret_cast<const SCROLLINFO*>(lParam));
    case SBM_GETSCROLLINFO:
      return GetInfo(reinterpret_cast<SCROLLINFO*>(lParam));
    case WM_LBUTTONDBLCLK:
      return 1;  // a quick second click is not a second step
    default:
      return CScrollBar::WindowProc(message, wParam, lParam);
  }
}

LRESULT CVexloScrollBar::SetInfo(BOOL redraw, const SCROLLINFO* info) {
  if (!info) return 0;
  if (info->fMask & SIF_PAGE) info_.nPage = info->nPage;
  if (info->fMask & SIF_POS) info_.nPos = info->nPos;
  if (info->fMask & SIF_RANGE) {
    info_.nMin = info->nMin;
    info_.nMax = info->nMax;
  }
  if (redraw && HasSkin()) {
    CClientDC dc(this);
    DrawPart(dc, kPartPageUp, kRowNormal);
    DrawPart(dc, kPartThumb, kRowNormal);
    DrawPart(dc, kPartPageDown, kRowNormal);
  }
  return 1;
}

LRESULT CVexloScrollBar::GetInfo(SCROLLINFO* info) const {
  if (!info) return 0;
  if (info->fMask & SIF_PAGE) info->nPage = info_.nPage;
  if (info->fMask & SIF_POS) info->nPos = info_.nPos;
  if (info->fMask & SIF_TRACKPOS) info->nTrackPos = info_.nTrackPos;
  if (info->fMask & SIF_RANGE) {
    info->nMin = info_.nMin;
    info->nMax = info_.nMax;
  }
  return 1;
}

void CVexloScrollBar::Notify(int code, int position) {
  HWND parent = ::GetParent(m_hWnd);
  if (!parent) return;
  ::SendMessageW(parent, Vertical() ? WM_VSCROLL : WM_HSCROLL,
                 MAKEWPARAM(static_cast<WORD>(code), static_cast<WORD>(position)), reinterpret_cast<LPARAM>(m_hWnd));
}

// ---------------------------------------------------------------------------
// The mouse.

void CVexloScrollBar::OnLButtonDown(UINT, CPoint point) {
  SetCapture();
  int part = HitTest(point);
  if (part == kPartThumb) {
    thumbDrag_ = true;
    dragStart_ = point;
    info_.nTrackPos = dragStartPos_ = info_.nPos;
    return;
  }
  if (part < kPartLineUp || part > kPartPageDown) return;
  pressed_ = part;
  Notify(part, 0);
  SetTimer(kFirstDelayTimer, kFirstDelayMs);
  outside_ = false;
  if (IsArrow(part)) DrawOnWindow(part, kRowPressed);
}

void CVexloScrollBar::OnTimer(UINT_PTR id) {
  if (id == kFirstDelayTimer) {
    repeating_ = true;
    KillTimer(kFirstDelayTimer);
    SetTimer(kRepeatTimer, kRepeatMs);
    RepeatTick();
    return;
  }
  if (id == kRepeatTimer) {
    RepeatTick();
    return;
  }
  CScrollBar::OnTimer(id);
}

void CVexloScrollBar::RepeatTick() {
  if (outside_ || pressed_ < kPartLineUp || pressed_ > kPartPageDown) return;
  if (pressed_ == kPartLineUp) {
    if (info_.nPos == info_.nMin) {
      KillTimer(kRepeatTimer);
      return;
    }
    Notify(kPartLineUp, 0);
    return;
  }
  // Repeating stops only at max itself; a parent that clamps lower keeps
  // receiving line-down codes until the button is released.
  if (pressed_ == kPartLineDown) {
    if (info_.nPos == info_.nMax) {
      KillTimer(kRepeatTimer);
      return;
    }
    Notify(kPartLineDown, 0);
    return;
  }
  POINT cursor;
  GetCursorPos(&cursor);
  ScreenToClient(&cursor);
  if (PartRect(kPartThumb, ThumbPosition()).PtInRect(cursor)) {
    KillTimer(kRepeatTimer);  // the thumb has reached the pointer
    return;
  }
  Notify(pressed_, 0);
}

void CVexloScrollBar::OnMouseMove(UINT, CPoint point) {
  if (!trackingLeave_) {
    TRACKMOUSEEVENT tme;
    tme.cbSize = sizeof tme;
    tme.dwFlags = TME_LEAVE;
    tme.hwndTrack = m_hWnd;
    tme.dwHoverTime = 1;
    trackingLeave_ = TrackMouseEvent(&tme) != FALSE;
  }
  if (thumbDrag_) {
    Layout l = Measure(info_.nTrackPos, false);
    int delta = Vertical() ? point.y - dragStart_.y : point.x - dragStart_.x;
    int free = l.track - l.thumb;
    int64_t step = free != 0 ? static_cast<int64_t>(l.range) * delta / free : 0;
    int64_t wanted = dragStartPos_ + step;
    int top = info_.nMax - info_.nMin - static_cast<int>(info_.nPage) + 1;
    int next = static_cast<int>(wanted < info_.nMin ? info_.nMin : std::min<int64_t>(wanted, top));
    if (next == info_.nTrackPos) return;
    CClientDC dc(this);
    DrawTrackRect(dc, PartRect(kPartThumb, info_.nTrackPos));  // the strip the thumb uncovers
    info_.nTrackPos = next;
    DrawPart(dc, kPartThumb, kRowPressed);
    Notify(kCodeThumbTrack, next);
    return;
  }
  if (pressed_ < 0) {
    Hover(point);
    return;
  }
  bool inside = PartRect(pressed_, ThumbPosition()).PtInRect(point) != FALSE;
  outside_ = !inside;
  if (IsArrow(pressed_)) DrawOnWindow(pressed_, inside ? kRowPressed : kRowNormal);
}

void CVexloScrollBar::Hover(CPoint point) {
  int part = HitTest(point);
  if (part == hot_) return;
  // Track parts have no hot look.
  if (IsArrow(hot_) || hot_ == kPartThumb) DrawOnWindow(hot_, kRowNormal);
  if (IsArrow(part) || part == kPartThumb) DrawOnWindow(part, kRowHot);
  hot_ = part;
}

void CVexloScrollBar::OnMouseLeave() {
  trackingLeave_ = false;
  Hover(CPoint(-1, -1));
}

void CVexloScrollBar::OnLButtonUp(UINT, CPoint point) {
  ReleaseCapture();
  if (thumbDrag_) {
    thumbDrag_ = false;
    Notify(kCodeThumbPosition, info_.nTrackPos);  // the parent sets the position here
    CClientDC dc(this);
    if (info_.nTrackPos != info_.nPos) DrawTrackRect(dc, PartRect(kPartThumb, info_.nTrackPos));
    info_.nTrackPos = -1;
    DrawPart(dc, kPartThumb, HitTest(point) == kPartThumb ? kRowHot : kRowNormal);
    return;
  }
  if (pressed_ < 0) return;
  if (repeating_) {
    KillTimer(kRepeatTimer);
    repeating_ = false;
  } else {
    KillTimer(kFirstDelayTimer);
  }
  if (IsArrow(pressed_)) DrawOnWindow(pressed_, kRowNormal);
  pressed_ = -1;
}

// CVexloScrollBar: a scroll bar drawn wholly from one skin bitmap.
//
// The window is the platform's scroll bar (owners create it with
// CScrollBar::Create, style 0x1 for a vertical bar, and talk to it with
// SetScrollInfo/GetScrollInfo/SetScrollPos on SB_CTL), but the bar keeps
// its own scroll state behind SBM_SETSCROLLINFO/SBM_GETSCROLLINFO, paints
// every part from the skin, tracks hot and pressed looks, repeats arrow and
// page steps while the button is held and drags a fixed 6-pixel thumb.
//
// Skin: 9 x 3 square cells of side width / 9. Row = state (0 normal, 1 hot,
// 2 pressed); columns 0-3 first arrow, second arrow, thumb, track of a
// vertical bar, columns 4-7 the same for a horizontal one, column 8 unused.
// The bar keeps the bitmap handle and never deletes it: the owner keeps the
// bitmap alive for the bar's life (usually detached from its CBitmap).
//
// Parts are numbered as the scroll codes: 0 first arrow, 1 second arrow,
// 2 track before the thumb, 3 track after it, 5 the thumb; -1 none.
//
// Like the platform's bar it never moves its own position. It sends (not
// posts) WM_VSCROLL or WM_HSCROLL to the parent, wParam MAKEWPARAM(code,
// position), lParam the bar's window:
//   0/1 line up/down, 2/3 page up/down (high word 0) on a press and at
//   each repeat (first after 500 ms, then every 100 ms while held);
//   5 thumb track (high word the new track position) at each drag step that
//   changes it; 4 thumb position (high word the track position) on release
//   after a drag. The parent sets the position during the call.
//
// Geometry maps positions as offsets from 0 (owners keep min at 0).
// Hot and pressed looks are drawn directly on the window; the next WM_PAINT
// shows the normal look again. UI thread only.
#pragma once

#include "platform/mfc/afx_controls.h"

class CVexloScrollBar : public CScrollBar {
 public:
  CVexloScrollBar() = default;
  ~CVexloScrollBar() override;

  // Stores the skin (not owned), sets the cell size from its width / 9 and
  // makes the window one cell thick keeping its place and length, then
  // repaints. A null skin or one narrower than 9 pixels paints nothing and
  // leaves the window's size alone; the bar stays usable.
  void SetBitmap(HBITMAP skin);

  // Parts along the axis, for a position p (the track position during a
  // drag): [start, end) of the part in client pixels; the thumb is empty
  // when it is not drawn.
  struct Span {
    int start = 0;
    int end = 0;
  };
  Span PartSpan(int part) const;
  // The part under a client point (-1 none): the thumb counts 6 pixels
  // wide whenever the track has room for it, also without a range.
  int HitTest(POINT point) const;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnLButtonUp(UINT flags, CPoint point) override;
  void OnTimer(UINT_PTR id) override;
  void OnMouseLeave() override;

 private:
  struct Layout {
    int arrow = 0;       // length of each arrow
    int track = 0;       // length between the arrows
    int range = 0;       // max - min - page + 1
    int thumb = 0;       // drawn thumb length: 6 or 0
    int thumbStart = 0;  // where the thumb (or its 6-pixel hit span) starts
  };
  // The layout for position p; forHit measures the 6-pixel hit span of the
  // thumb even where no thumb is drawn.
  Layout Measure(int p, bool forHit) const;
  int ThumbPosition() const;  // the track position during a drag, else the position
  bool Vertical() const;
  bool HasSkin() const { return skin_ && cell_ > 0; }
  CRect PartRect(int part, int p) const;
  void Notify(int code, int position);
  LRESULT SetInfo(BOOL redraw, const SCROLLINFO* info);
  LRESULT GetInfo(SCROLLINFO* info) const;
  void RepeatTick();
  void Hover(CPoint point);

  // Drawing on a DC (the window's or the paint context); row = state.
  void DrawPart(CDC& dc, int part, int row) const;
  void DrawTrackRect(CDC& dc, const CRect& rect) const;
  void DrawOnWindow(int part, int row);

  HBITMAP skin_ = nullptr;  // not owned
  int cell_ = 0;            // bitmap width / 9
  int cellHeight_ = 0;      // bitmap height / 3 (drawing uses the square cell)
  int length_ = 0;          // client height (vertical) or width (horizontal)
  SCROLLINFO info_{sizeof(SCROLLINFO), 0, 0, 0, 0, 0, -1};  // the bar's own state
  bool thumbDrag_ = false;
  CPoint dragStart_;        // pointer where the drag began
  int dragStartPos_ = 0;    // position when the drag began
  int pressed_ = -1;        // part 0-3 held down, -1 none
  bool repeating_ = false;  // timer 100 runs
  int hot_ = -1;            // part under the pointer while nothing is pressed
  bool outside_ = false;    // the pointer left the pressed part
  bool trackingLeave_ = false;
};

// FooButton: types, mouse and key handling, groups and the seven painting
// layers (frame, state picture, check glyph, arrows, text, focus rectangle,
// default frame), composed in a memory picture and copied in one blit.
#include "controls/foo_button.h"

#include <algorithm>
#include <map>

namespace {

// Group name -> the window handles of its members, in joining order.
std::map<WString, std::vector<HWND>>& ButtonGroupMap() {
  static std::map<WString, std::vector<HWND>> map;
  return map;
}
int g_liveButtons = 0;

constexpr int kArrowAreaWidth = 22;    // press area of a split button's arrow
constexpr int kArrowFrameWidth = 17;   // the pushed-in arrow frame
constexpr COLORREF kArrowColor = RGB(174, 210, 255);
constexpr COLORREF kLinkTextColor = RGB(102, 102, 102);
constexpr UINT kSingleLineFormat = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;  // 0x8024
constexpr UINT kWrappedFormat = DT_WORDBREAK | DT_VCENTER | DT_WORD_ELLIPSIS;     // 0x40014

WString PathOf(LPCWSTR path) { return path ? WString(path) : WString(); }

// Draws the picture file stretched opaque over the rectangle; nothing for an
// empty path or a file that cannot be read.
void DrawPictureFile(CDC& dc, const WString& path, const RECT& rc) {
  if (path.empty()) return;
  CImage image;
  if (image.Load(path.c_str()) != S_OK) return;
  image.StretchBlt(dc, rc, SRCCOPY);
}

}  // namespace

struct FooButton::PaintState {
  CRect rc;             // the item rectangle in the memory picture (origin 0, 0)
  bool selected;
  bool focused;
  bool disabled;
  int x = 0;            // running left edge of the layers
  int textRight = 0;    // right end of the text space, for the focus rectangle
};

FooButton::FooButton()
    : textColor_(GetSysColor(COLOR_BTNTEXT)), normalTextColor_(GetSysColor(COLOR_BTNTEXT)) {
  ++g_liveButtons;
}

FooButton::~FooButton() {
  if (m_hWnd) LeaveGroup();
  if (--g_liveButtons == 0) ButtonGroupMap().clear();
}

int FooButton::LiveCount() { return g_liveButtons; }

std::vector<HWND> FooButton::GroupMembers(const WString& name) {
  auto it = ButtonGroupMap().find(name);
  return it == ButtonGroupMap().end() ? std::vector<HWND>() : it->second;
}

void FooButton::Repaint() {
  if (m_hWnd && ::IsWindow(m_hWnd)) Invalidate(FALSE);
}

void FooButton::SetButtonType(int type) {
  noFrame_ = dropArrow_ = splitArrow_ = hoverTracking_ = link_ = false;
  switch (type) {
    case 0: noFrame_ = true; break;
    case 2: case 8: hoverTracking_ = true; break;
    case 3: dropArrow_ = true; break;
    case 4: dropArrow_ = hoverTracking_ = true; break;
    case 5: splitArrow_ = true; break;
    case 6: splitArrow_ = hoverTracking_ = true; break;
    case 11: link_ = true; break;
    default: break;
  }
  if (type < 0 || type > 11) return;
  type_ = type;
  if (type != 7 && type != 8) checked_ = false;
  Repaint();
}

void FooButton::SetTextLayout(int layout) {
  drawText_ = textCentred_ = textWrapped_ = false;
  if (layout < 0 || layout > 3) return;
  drawText_ = layout != 0;
  textCentred_ = layout == 2;
  textWrapped_ = layout == 3;
  textLayout_ = layout;
  Repaint();
}

void FooButton::SetDrawFocus(int style) {
  focusStyle_ = style;
  Repaint();
}

void FooButton::SetTextColor(COLORREF color) { normalTextColor_ = textColor_ = color; }

void FooButton::SetHoverTextColor(BOOL on, COLORREF color) {
  hoverColorOn_ = on != 0;
  hoverTextColor_ = color;
}

void FooButton::SetNormalImage(LPCWSTR path, COLORREF key) {
  normalPicture_ = PathOf(path);
  keyColor_ = key;
  Repaint();
}

void FooButton::SetPressedImage(LPCWSTR path, COLORREF key) {
  pressedPicture_ = PathOf(path);
  keyColor_ = key;
  Repaint();
}

void FooButton::SetDisabledImage(LPCWSTR path, COLORREF key) {
  disabledPicture_ = PathOf(path);
  keyColor_ = key;
  Repaint();
}

void FooButton::SetSeparatorImage(LPCWSTR path, COLORREF key) {
  separatorPicture_ = PathOf(path);
  keyColor_ = key;
  Repaint();
}

void FooButton::SetMouseOverImage(BOOL on, LPCWSTR path) {
  mouseOverOn_ = on != 0;
  mouseOverPicture_ = PathOf(path);
}

int FooButton::GetImageWidth() const {
  if (pressedPicture_.empty()) return 0;
  CImage image;
  return image.Load(pressedPicture_.c_str()) == S_OK ? image.GetWidth() : 0;
}

int FooButton::GetImageHeight() const {
  if (pressedPicture_.empty()) return 0;
  CImage image;
  return image.Load(pressedPicture_.c_str()) == S_OK ? image.GetHeight() : 0;
}

void FooButton::SetCheck(int check) {
  if (type_ >= 7 && type_ <= 10) {
    checked_ = check != 0;
    Repaint();
  }
  if (!checked_ || groupName_.empty()) return;
  auto it = ButtonGroupMap().find(groupName_);
  if (it == ButtonGroupMap().end()) return;
  // A copy: unchecking a member never changes the list, but stay safe.
  const std::vector<HWND> members = it->second;
  for (HWND member : members) {
    if (member == m_hWnd || !::IsWindow(member)) continue;
    // Only handles that belong to a live FooButton object are buttons.
    auto* other = dynamic_cast<FooButton*>(CWnd::FromHandlePermanent(member));
    if (other && other->checked_) other->SetCheck(0);
  }
}

BOOL FooButton::SetGroup(LPCWSTR name) {
  if (!name || !*name) return FALSE;
  WString group(name);
  ButtonGroupMap()[group];  // created empty when missing
  LeaveGroup();
  groupName_ = group;
  auto& list = ButtonGroupMap()[group];
  if (std::find(list.begin(), list.end(), m_hWnd) == list.end()) list.push_back(m_hWnd);
  return TRUE;
}

BOOL FooButton::LeaveGroup() {
  if (groupName_.empty()) return FALSE;
  auto it = ButtonGroupMap().find(groupName_);
  if (it == ButtonGroupMap().end()) return FALSE;
  auto pos = std::find(it->second.begin(), it->second.end(), m_hWnd);
  if (pos == it->second.end()) return FALSE;
  it->second.erase(pos);
  groupName_.clear();
  return TRUE;
}

void FooButton::EnableButton(BOOL enable) {
  EnableWindow(enable != 0);
  Repaint();
}

// ---------------------------------------------------------------------------
// Window and input.

void FooButton::PreSubclassWindow() {
  CButton::PreSubclassWindow();
  if (GetStyle() & BS_TYPEMASK) defaultStyle_ = true;
  ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW, SWP_FRAMECHANGED);
}

BOOL FooButton::AskLeaveNotice() {
  TRACKMOUSEEVENT tme;
  tme.cbSize = sizeof(tme);
  tme.dwFlags = TME_LEAVE;
  tme.hwndTrack = m_hWnd;
  tme.dwHoverTime = HOVER_DEFAULT;
  return ::TrackMouseEvent(&tme);
}

void FooButton::OnMouseMove(UINT flags, CPoint point) {
  if (hoverTracking_ && !hovering_) {
    hovering_ = AskLeaveNotice();
    Repaint();
  }
  if (handCursor_) ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
  if (hoverColorOn_ && hoverTextColor_ != textColor_) {
    hovering_ = AskLeaveNotice();
    textColor_ = hoverTextColor_;
    Repaint();
  }
  if (mouseOverOn_ && activeMouseOverPicture_.empty()) {
    hovering_ = AskLeaveNotice();
    activeMouseOverPicture_ = mouseOverPicture_;
    Repaint();
  }
  CButton::OnMouseMove(flags, point);
}

void FooButton::OnMouseLeave() {
  hovering_ = FALSE;
  arrowPressed_ = false;
  if (hoverColorOn_) textColor_ = normalTextColor_;
  if (mouseOverOn_) activeMouseOverPicture_.clear();
  Repaint();
}

void FooButton::OnLButtonDown(UINT flags, CPoint point) {
  arrowPressed_ = false;
  if (splitArrow_) {
    CRect arrow;
    GetWindowRect(&arrow);
    arrow.left = arrow.right - kArrowAreaWidth;
    CPoint screen = point;
    ClientToScreen(&screen);
    arrowPressed_ = arrow.PtInRect(screen);
  }
  CRect client;
  GetClientRect(&client);
  if (client.PtInRect(point)) {
    pressed_ = TRUE;
    CButton::OnLButtonDown(flags, point);
  } else {
    pressed_ = FALSE;  // swallowed
  }
  Repaint();
}

// The class takes double clicks: the second press of a fast pair is a press
// like the first (its arrow area recorded, its click sent on release).
void FooButton::OnLButtonDblClk(UINT flags, CPoint point) { OnLButtonDown(flags, point); }

void FooButton::OnLButtonUp(UINT flags, CPoint point) {
  CRect client;
  GetClientRect(&client);
  if (type_ >= 7 && type_ <= 10 && client.PtInRect(point)) {
    int check = (type_ == 10 || !groupName_.empty()) ? 1 : !checked_;
    SetCheck(check);
  }
  CButton::OnLButtonUp(flags, point);  // sends the click
  arrowPressed_ = false;
  pressed_ = FALSE;
  Repaint();
}

BOOL FooButton::OnSetCursor(CWnd*, UINT, UINT) {
  if (link_) ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
  return FALSE;  // never passed on
}

void FooButton::OnSetFocus(CWnd* oldWnd) {
  Repaint();
  CButton::OnSetFocus(oldWnd);
}

void FooButton::OnKillFocus(CWnd* newWnd) {
  Repaint();
  CButton::OnKillFocus(newWnd);
}

void FooButton::OnKeyDown(UINT key, UINT repeat, UINT flags) {
  HWND parent = ::GetParent(m_hWnd);
  if (parent) ::PostMessageW(parent, WM_KEYDOWN, key, repeat);
  CButton::OnKeyDown(key, repeat, flags);
}

BOOL FooButton::OnEraseBkgnd(CDC*) { return TRUE; }

void FooButton::OnDestroy() {
  LeaveGroup();
  CButton::OnDestroy();
}

// ---------------------------------------------------------------------------
// Painting.

void FillGradientRect(CDC* dc, const RECT& rect, COLORREF start, COLORREF end, BOOL vertical) {
  if (!dc) return;
  const int extent = vertical ? rect.bottom - rect.top : rect.right - rect.left;
  const double step = extent / 255.0;
  auto channel = [](int from, int to, int i) { return static_cast<int>(from + (to - from) * i / 255.0); };
  for (int i = 0; i < 255; ++i) {
    const int a = static_cast<int>(i * step), b = static_cast<int>((i + 1) * step);
    if (b <= a) continue;
    COLORREF c = RGB(channel(GetRValue(start), GetRValue(end), i), channel(GetGValue(start), GetGValue(end), i),
                     channel(GetBValue(start), GetBValue(end), i));
    CRect band = vertical ? CRect(rect.left, rect.top + a, rect.right, rect.top + b)
                          : CRect(rect.left + a, rect.top, rect.left + b, rect.bottom);
    dc->FillSolidRect(&band, c);
  }
}

void FooButton::DrawItem(LPDRAWITEMSTRUCT dis) {
  CDC* itemDC = CDC::FromHandle(dis->hDC);
  const CRect item(dis->rcItem);
  PaintState ps;
  ps.rc = CRect(0, 0, item.Width(), item.Height());
  ps.selected = (dis->itemState & ODS_SELECTED) != 0;
  ps.focused = (dis->itemState & ODS_FOCUS) != 0;
  ps.disabled = (dis->itemState & ODS_DISABLED) != 0;
  ps.textRight = ps.rc.right;
  if (ps.rc.IsRectEmpty()) return;

  CDC mem;
  mem.CreateCompatibleDC(itemDC);
  CBitmap bitmap;
  bitmap.CreateCompatibleBitmap(itemDC, ps.rc.Width(), ps.rc.Height());
  CBitmap* oldBitmap = mem.SelectObject(&bitmap);
  HGDIOBJ oldFont = mem.SelectObject(::GetCurrentObject(dis->hDC, OBJ_FONT));

  if (type_ != 9 && type_ != 10) PaintFrame(mem, ps);
  PaintStatePicture(mem, ps);
  if (type_ == 9 || type_ == 10) PaintCheckGlyph(mem, ps);
  if (dropArrow_ || splitArrow_) PaintArrows(mem, ps);
  if (drawText_) PaintText(mem, ps);
  PaintFocus(mem, ps);
  PaintDefaultFrame(mem, ps);

  itemDC->BitBlt(item.left, item.top, item.Width(), item.Height(), &mem, 0, 0, SRCCOPY);
  mem.SelectObject(oldFont);
  mem.SelectObject(oldBitmap);
}

// Layer 1: the push frame, the default gradient, the split arrow frame, or
// the flat hover look.
void FooButton::PaintFrame(CDC& dc, const PaintState& ps) {
  if (noFrame_ || link_) return;
  if (hoverTracking_ && !checked_) {
    if (default_) return PaintNormalFrame(dc, ps);
    if (!hovering_) return;
    dc.FillSolidRect(&ps.rc, GetSysColor(COLOR_BTNFACE));
    COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), shadow = GetSysColor(COLOR_BTNSHADOW);
    if (ps.selected) std::swap(light, shadow);
    dc.Draw3dRect(&ps.rc, light, shadow);
    if (splitArrow_ && arrowPressed_) PaintArrowFrame(dc, ps);
    return;
  }
  PaintNormalFrame(dc, ps);
}

void FooButton::PaintNormalFrame(CDC& dc, const PaintState& ps) {
  CRect rc = ps.rc;
  UINT state = DFCS_BUTTONPUSH;
  if (checked_) state |= DFCS_CHECKED;
  else if (ps.selected && !splitArrow_) state |= DFCS_PUSHED;
  if (ps.disabled) state |= DFCS_INACTIVE;
  dc.DrawFrameControl(&rc, DFC_BUTTON, state);
  if (default_) {
    CRect face(ps.rc.left + 1, ps.rc.top + 1, ps.rc.right - 2, ps.rc.bottom - 2);
    FillGradientRect(&dc, face, RGB(255, 255, 255), hovering_ ? RGB(220, 220, 220) : RGB(200, 200, 216), TRUE);
  }
  if (splitArrow_ && arrowPressed_) PaintArrowFrame(dc, ps);
}

void FooButton::PaintArrowFrame(CDC& dc, const PaintState& ps) {
  CRect arrow(ps.rc.right - kArrowFrameWidth, ps.rc.top, ps.rc.right, ps.rc.bottom - 1);
  dc.DrawFrameControl(&arrow, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_CHECKED);
}

// Layer 2: the picture of the state, read from its file now.
void FooButton::PaintStatePicture(CDC& dc, const PaintState& ps) {
  WString picture;
  if (ps.disabled) {
    picture = disabledPicture_;
  } else if (!normalPicture_.empty() && !pressedPicture_.empty()) {
    bool down = (type_ == 9 || type_ == 10) ? checked_ : pressed_ != 0;
    picture = down ? pressedPicture_ : normalPicture_;
  }
  if (mouseOverOn_ && !activeMouseOverPicture_.empty()) picture = activeMouseOverPicture_;
  DrawPictureFile(dc, picture, ps.rc);
}

// Layer 3: the check box or radio glyph when the picture pair is incomplete.
void FooButton::PaintCheckGlyph(CDC& dc, PaintState& ps) {
  if (!normalPicture_.empty() && !pressedPicture_.empty()) return;
  const int side = GetSystemMetrics(SM_CXSIZE) - 5;
  const int left = ps.x > 0 ? ps.x + 5 : ps.x;
  const int top = ps.rc.top + (ps.rc.Height() - side) / 2;
  CRect box(left, top, left + side, top + side);
  UINT state = type_ == 9 ? DFCS_BUTTONCHECK : DFCS_BUTTONRADIO;
  if (checked_) state |= DFCS_CHECKED;
  if (ps.selected) state |= DFCS_PUSHED;
  if (ps.disabled) state |= DFCS_INACTIVE;
  dc.DrawFrameControl(&box, DFC_BUTTON, state);
  ps.x = box.right;
}

// Layer 4: the drop-down triangle and the split separator.
void FooButton::PaintArrows(CDC& dc, const PaintState& ps) {
  COLORREF color = link_ ? GetSysColor(COLOR_HOTLIGHT) : kArrowColor;
  if (ps.disabled) color = GetSysColor(COLOR_GRAYTEXT);
  CPen pen(PS_INSIDEFRAME, 1, color);
  CPen* oldPen = dc.SelectObject(&pen);
  const int d = (ps.selected || arrowPressed_) ? 1 : 0;
  const int x0 = ps.rc.right + d - 12;
  const int y0 = ps.rc.bottom + d - (ps.rc.Height() + 5) / 2;
  for (int i = 0; i < 5; ++i) {
    dc.MoveTo(x0 + i, y0 + i);
    dc.LineTo(x0 + 8 - i, y0 + i);
  }
  dc.SelectObject(oldPen);
  if (splitArrow_ && mouseOverOn_ && !activeMouseOverPicture_.empty())
    DrawPictureFile(dc, separatorPicture_, CRect(ps.rc.right - 18, ps.rc.top, ps.rc.right - 16, ps.rc.bottom));
}

// Layer 5: the window text, centred by measurement, shifted while pressed,
// embossed when disabled.
void FooButton::PaintText(CDC& dc, PaintState& ps) {
  CRect space(ps.x + (textCentred_ ? 0 : 5), ps.rc.top, ps.rc.right, ps.rc.bottom);
  if (dropArrow_) space.right -= 6;
  else if (splitArrow_) space.right -= 12;
  ps.textRight = space.right;
  if (space.Width() < 1) return;
  const WString text = GetWindowText();
  const UINT format = textWrapped_ ? kWrappedFormat : (kSingleLineFormat | (textCentred_ ? DT_CENTER : 0));
  CRect measured = ps.rc;
  dc.DrawText(text, &measured, format | DT_CALCRECT);
  if (textCentred_ && measured.Width() < space.Width()) {
    const int half = (space.Width() - measured.Width()) / 2;
    space.left += half;
    space.right -= half;
  }
  space.top = ps.rc.top + (ps.rc.Height() - measured.Height()) / 2;
  space.bottom = space.top + measured.Height();
  const bool fixedText = type_ == 0 || type_ == 9 || type_ == 10 || type_ == 11;
  if (!fixedText && !arrowPressed_ && ps.selected) space.OffsetRect(1, 1);
  dc.SetBkMode(TRANSPARENT);
  if (link_) dc.FillSolidRect(&ps.rc, RGB(255, 255, 255));
  if (ps.disabled) {
    CRect raised = space;
    raised.OffsetRect(1, 1);
    dc.SetTextColor(GetSysColor(COLOR_BTNHIGHLIGHT));
    dc.DrawText(text, &raised, format);
    dc.SetTextColor(GetSysColor(COLOR_GRAYTEXT));
    dc.DrawText(text, &space, format);
    return;
  }
  dc.SetTextColor(link_ ? kLinkTextColor : textColor_);
  dc.DrawText(text, &space, format);
}

// Layer 6: the dotted focus rectangle of framed, non-flat buttons.
void FooButton::PaintFocus(CDC& dc, const PaintState& ps) {
  if (focusStyle_ == 0 || !ps.focused || noFrame_ || link_ || hoverTracking_) return;
  CRect focus(ps.x + 4, ps.rc.top + 4, ps.textRight - 4, ps.rc.bottom - 4);
  dc.DrawFocusRect(&focus);
}

// Layer 7: the dark frame of a focused default button.
void FooButton::PaintDefaultFrame(CDC& dc, const PaintState& ps) {
  if (focusStyle_ != 2 || !ps.focused || !defaultStyle_) return;
  if (type_ != 1 && type_ != 3 && type_ != 5) return;
  const COLORREF dark = GetSysColor(COLOR_3DDKSHADOW);
  CBrush darkBrush(dark);
  CRect rc = ps.rc;
  dc.FrameRect(&rc, &darkBrush);
  if (ps.selected) {
    rc.DeflateRect(1, 1);
    dc.FrameRect(&rc, &darkBrush);
    return;
  }
  auto line = [&dc](int x1, int y1, int x2, int y2, COLORREF c) {
    CPen pen(PS_SOLID, 1, c);
    CPen* old = dc.SelectObject(&pen);
    dc.MoveTo(x1, y1);
    dc.LineTo(x2, y2);
    dc.SelectObject(old);
  };
  const int l = rc.left, t = rc.top, r = rc.right, b = rc.bottom;
  line(r - 2, t + 1, r - 2, b - 1, dark);  // right, 2 in
  line(l + 1, b - 2, r - 1, b - 2, dark);  // bottom, 2 in
  line(l + 1, t + 1, r - 2, t + 1, GetSysColor(COLOR_BTNHIGHLIGHT));  // top, 1 in
  line(l + 1, t + 1, l + 1, b - 2, GetSysColor(COLOR_BTNHIGHLIGHT));  // left, 1 in
  line(r - 3, t + 2, r - 3, b - 2, GetSysColor(COLOR_BTNSHADOW));  // right, 3 in
  line(l + 2, b - 3, r - 2, b - 3, GetSysColor(COLOR_BTNSHADOW));  // bottom, 3 in
}

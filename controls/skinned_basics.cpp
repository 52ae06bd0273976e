#include "controls/skinned_basics.h"

#include "foundation/draw_helpers.h"


// ---------------------------------------------------------------------------
// CVexloEdit

CVexloEdit::CVexloEdit()
    : textColor_(GetSysColor(COLOR_WINDOWTEXT)), bkColor_(GetSysColor(COLOR_WINDOW)) {
  font_.CreatePointFont(90, u"宋体");
  bkBrush_.CreateSolidBrush(bkColor_);
}

CVexloEdit::~CVexloEdit() = default;  // the members delete the brush and the font

void CVexloEdit::SetTextColor(COLORREF color) {
  textColor_ = color;
  if (m_hWnd) Invalidate(TRUE);
}

void CVexloEdit::SetBkColor(COLORREF color) {
  bkColor_ = color;
  bkBrush_.DeleteObject();
  bkBrush_.CreateSolidBrush(color);
  if (m_hWnd) Invalidate(TRUE);
}

void CVexloEdit::SetLogFont(const LOGFONTW* logFont) {
  if (!logFont) return;
  font_.DeleteObject();
  font_.CreateFontIndirect(logFont);
  if (!m_hWnd) return;
  SetFont(&font_, TRUE);
  Invalidate(TRUE);
}

HBRUSH CVexloEdit::CtlColor(CDC* dc, UINT) {
  dc->SetTextColor(textColor_);
  dc->SetBkColor(bkColor_);
  return bkBrush_;
}

void CVexloEdit::OnKeyDown(UINT key, UINT repeat, UINT flags) {
  if (CWnd* parent = GetParent()) parent->PostMessage(WM_KEYDOWN, key, 0);
  CEdit::OnKeyDown(key, repeat, flags);
}

// ---------------------------------------------------------------------------
// Check box and radio: glyph at the left, caption 20 pixels to the right.

namespace {

constexpr int kGlyphWidth = 15;     // the frame control's box
constexpr int kCaptionOffset = 20;  // caption start from the client's left edge
constexpr UINT kCaptionFormat = DT_SINGLELINE | DT_VCENTER | DT_LEFT;

void PaintGlyphAndCaption(CWnd* button, CDC& dc, UINT glyphState, HFONT font) {
  CRect client;
  button->GetClientRect(&client);
  CRect glyph(client.left, client.top, client.left + kGlyphWidth, client.bottom);
  dc.DrawFrameControl(&glyph, DFC_BUTTON, glyphState);
  HGDIOBJ oldFont = font ? dc.SelectObject(static_cast<HGDIOBJ>(font)) : nullptr;
  dc.SetBkMode(TRANSPARENT);
  CRect caption = client;
  caption.OffsetRect(kCaptionOffset, 0);
  dc.DrawText(button->GetWindowText(), &caption, kCaptionFormat);
  if (oldFont) dc.SelectObject(oldFont);
}

}  // namespace

void CVexloCheckBox::OnPaint() {
  CPaintDC dc(this);
  UINT state = DFCS_BUTTONCHECK;
  if (GetCheck() != BST_UNCHECKED) state |= DFCS_CHECKED;  // indeterminate draws checked
  // The caption font is made and deleted at every paint; a failed font
  // leaves the DC's own in use.
  CFont font;
  font.CreatePointFont(90, u"Microsoft Sans Serif");
  PaintGlyphAndCaption(this, dc, state, font);
}

CVexloRadio::CVexloRadio() {
  LOGFONTW lf{};  // zero-filled: weight, width and character set stay 0
  lf.lfHeight = ScaleFontHeight(12);
  lf.lfQuality = 5;  // ClearType
  const WCHAR* face = GetUiFontFace();
  int n = 0;
  for (; face[n] && n < LF_FACESIZE - 1; ++n) lf.lfFaceName[n] = face[n];
  lf.lfFaceName[n] = 0;
  font_ = CreateFontIndirectW(&lf);
}

CVexloRadio::~CVexloRadio() {
  if (font_) DeleteObject(font_);
}

void CVexloRadio::OnPaint() {
  CPaintDC dc(this);
  UINT state = DFCS_BUTTONRADIO;
  if (GetCheck() == BST_CHECKED) state |= DFCS_CHECKED;  // indeterminate draws unchecked
  PaintGlyphAndCaption(this, dc, state, font_);
}

BOOL CVexloRadio::OnEraseBkgnd(CDC*) { return TRUE; }

// ---------------------------------------------------------------------------
// CVexloStatic

void CVexloStatic::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  HGDIOBJ oldFont = font_ ? dc.SelectObject(static_cast<HGDIOBJ>(font_)) : nullptr;
  dc.SetBkMode(TRANSPARENT);
  dc.DrawText(GetWindowText(), &client, kCaptionFormat);
  if (oldFont) dc.SelectObject(oldFont);
}

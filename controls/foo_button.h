// FooButton: the owner-drawn push button most clickable things are made of.
//
// A button is skinned by picture files (one per state, read from the file at
// every paint and stretched over the whole button) with optional text on
// top; without a normal/pressed picture pair it falls back to the
// platform's push-button frame. Twelve types (SetButtonType):
//   0 no frame (picture and text only)      6 as 5, flat with hover tracking
//   1 push button (the default)             7 toggle push button
//   2 flat: a raised edge only under mouse  8 as 7, flat with hover tracking
//   3 drop-down arrow at the right          9 check box (glyph or picture pair)
//   4 as 3, flat with hover tracking       10 radio button (glyph or pair)
//   5 split button (arrow area at right)   11 text link (white, grey text, hand)
//
// Colours are the platform's colour words (RGB(r, g, b), red in the low
// byte); callers holding 0xRRGGBB values convert them (ColorFromRgb).
//
// Clicks reach the parent as the platform's BN_CLICKED in WM_COMMAND; every
// key pressed while the button has the focus is also posted to the parent
// as WM_KEYDOWN (key, repeat count). In the parent's click handler
// GetCheck() already gives the new state and IsArrowPressed() tells a click
// in a split button's arrow area (its rightmost 22 pixels) from one on its
// face.
//
// Groups: buttons joined to the same group name (after their windows exist)
// act as a radio set: checking one unchecks the other checked members. The
// groups are process-wide and emptied when the last FooButton is destroyed;
// a button leaves its group when its window is destroyed. UI thread only,
// except EnableButton.
#pragma once

#include "platform/mfc/afx_controls.h"

class FooButton : public CButton {
 public:
  FooButton();
  ~FooButton() override;

  // 0..11 as in the table above; a type above 11 only clears the type flags
  // (the stored type stays, nothing repaints). Every type but 7 and 8
  // resets the check state.
  void SetButtonType(int type);
  int GetButtonType() const { return type_; }
  // 0 no text, 1 left-aligned, 2 centred (the default), 3 word-wrapped;
  // above 3 only clears the text flags.
  void SetTextLayout(int layout);
  // 0 none (the default), 1 dotted focus rectangle, 2 focus rectangle and
  // the dark default frame.
  void SetDrawFocus(int style);
  int GetDrawFocus() const { return focusStyle_; }
  // The normal and the current text colour; no repaint.
  void SetTextColor(COLORREF color);
  // The text colour while the mouse is over the button, used when on.
  void SetHoverTextColor(BOOL on, COLORREF color);

  // Picture paths (relative to the working folder or absolute; null or
  // empty: none). The key colour is kept but pictures are drawn opaque.
  void SetNormalImage(LPCWSTR path, COLORREF key = RGB(255, 0, 255));
  // The picture of the pressed state, and of the checked state of types 9
  // and 10. SetHotImage is the same operation under its other name.
  void SetPressedImage(LPCWSTR path, COLORREF key = RGB(255, 0, 255));
  void SetHotImage(LPCWSTR path, COLORREF key = RGB(255, 0, 255)) { SetPressedImage(path, key); }
  void SetDisabledImage(LPCWSTR path, COLORREF key = RGB(255, 0, 255));
  // Drawn as the 2-pixel split separator while the mouse-over picture shows.
  void SetSeparatorImage(LPCWSTR path, COLORREF key = RGB(255, 0, 255));
  // A picture that replaces the state picture while the mouse is over the
  // button (when on); no repaint.
  void SetMouseOverImage(BOOL on, LPCWSTR path);
  // The size of the pressed picture's file, read at each call; 0 without
  // one (or when it cannot be read).
  int GetImageWidth() const;
  int GetImageHeight() const;

  // Types 7..10 take the value (0 or 1); other types keep theirs. A checked
  // member of a group unchecks every other checked member.
  void SetCheck(int check);
  int GetCheck() const { return checked_; }
  // Joins the named group (leaving the current one). FALSE for an empty
  // name. The window must exist.
  BOOL SetGroup(LPCWSTR name);
  // FALSE when in no group or not found in it (the name is then kept).
  BOOL LeaveGroup();

  void SetDefault(BOOL on) { default_ = on != 0; }
  BOOL IsDefault() const { return default_; }
  void SetHandCursor(BOOL on) { handCursor_ = on != 0; }
  BOOL IsArrowPressed() const { return arrowPressed_; }
  void SetPressed(BOOL on) { pressed_ = on != 0; }
  BOOL IsPressed() const { return pressed_; }
  // Enables or disables the window and repaints; any thread.
  void EnableButton(BOOL enable);

  // Live FooButton objects of the process, and the members of a group (for
  // tests and diagnostics).
  static int LiveCount();
  static std::vector<HWND> GroupMembers(const WString& name);

 protected:
  void PreSubclassWindow() override;
  void DrawItem(LPDRAWITEMSTRUCT dis) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnMouseLeave() override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnLButtonUp(UINT flags, CPoint point) override;
  void OnLButtonDblClk(UINT flags, CPoint point) override;
  BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) override;
  void OnSetFocus(CWnd* oldWnd) override;
  void OnKillFocus(CWnd* newWnd) override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnDestroy() override;

 private:
  struct PaintState;  // one DrawItem's item rectangle, state and running x
  void Repaint();
  BOOL AskLeaveNotice();
  void PaintFrame(CDC& dc, const PaintState& ps);
  void PaintNormalFrame(CDC& dc, const PaintState& ps);
  void PaintArrowFrame(CDC& dc, const PaintState& ps);
  void PaintStatePicture(CDC& dc, const PaintState& ps);
  void PaintCheckGlyph(CDC& dc, PaintState& ps);
  void PaintArrows(CDC& dc, const PaintState& ps);
  void PaintText(CDC& dc, PaintState& ps);
  void PaintFocus(CDC& dc, const PaintState& ps);
  void PaintDefaultFrame(CDC& dc, const PaintState& ps);

  int type_ = 1;                 // 0..11
  int textLayout_ = 2;           // 0..3
  int focusStyle_ = 0;           // 0..2
  COLORREF textColor_;           // the colour the text is drawn in now
  BOOL hovering_ = FALSE;        // tracking the mouse for a leave notice
  BOOL pressed_ = FALSE;         // from a press inside the client to the release
  WString normalPicture_;
  WString pressedPicture_;
  WString disabledPicture_;
  WString separatorPicture_;
  bool textCentred_ = true;      // layout 2
  bool textWrapped_ = false;     // layout 3
  bool checked_ = false;         // types 7..10
  bool drawText_ = true;         // layouts 1..3
  bool dropArrow_ = false;       // types 3, 4
  bool splitArrow_ = false;      // types 5, 6
  bool arrowPressed_ = false;    // the last press of a split button hit its arrow area
  bool noFrame_ = false;         // type 0
  bool hoverTracking_ = false;   // types 2, 4, 6, 8
  bool hoverColorOn_ = false;
  COLORREF hoverTextColor_ = 0;
  WString mouseOverPicture_;
  WString activeMouseOverPicture_;  // the mouse-over picture while hovering
  bool mouseOverOn_ = false;
  COLORREF normalTextColor_;     // restored when the mouse leaves
  bool link_ = false;            // type 11
  bool default_ = false;         // gradient face of a dialog's default button
  bool handCursor_ = false;
  COLORREF keyColor_ = 0;        // kept for the callers; pictures are opaque
  bool defaultStyle_ = false;    // the window had a button type style when attached
  WString groupName_;
};

// Fills the rectangle with 255 bands from start to end colour (colour
// words), top to bottom when vertical, else left to right.
void FillGradientRect(CDC* dc, const RECT& rect, COLORREF start, COLORREF end, BOOL vertical);

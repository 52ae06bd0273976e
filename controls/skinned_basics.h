// Thin skinned variants of the standard edit, check box, radio button and
// static. Each keeps its platform control underneath (typing, caret,
// clipboard, check state, focus, the ordinary notifications to the parent)
// and changes only how it is drawn.
//
// Owners create the windows themselves (the edit with CEdit::Create, the
// buttons and statics with Create or from a dialog template through
// DDX_Control/SubclassDlgItem) and, for the edit, then set its colours and
// font. Everything runs on the UI thread.
#pragma once

#include "platform/mfc/afx_controls.h"

// An edit in its own colours and font. Every key pressed in it is first
// posted to the parent as WM_KEYDOWN(key, 0), so forms react to Enter,
// Escape and the arrows typed in the edit; then the edit handles the key.
class CVexloEdit : public CEdit {
 public:
  CVexloEdit();
  ~CVexloEdit() override;

  // Stores the text colour (colour word, red in the low byte) and
  // invalidates the edit with erasing.
  void SetTextColor(COLORREF color);
  // Stores the background colour and replaces the background brush with a
  // solid brush of it (the old one is deleted), then invalidates.
  void SetBkColor(COLORREF color);
  // Replaces the font with one made from the description and applies it to
  // the window with redrawing. A null description changes nothing; a face
  // no font serves falls back to the platform's face.
  void SetLogFont(const LOGFONTW* logFont);

  // The reflected colour query (WM_CTLCOLOREDIT, and WM_CTLCOLORSTATIC for
  // a read-only or disabled edit): the edit's colours and its brush.
  HBRUSH CtlColor(CDC* dc, UINT ctlColor) override;

 protected:
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;

 private:
  COLORREF textColor_;    // typed text
  COLORREF bkColor_;      // behind the text
  CFont font_;            // 9-point 宋体 until SetLogFont; applied only by SetLogFont
  CBrush bkBrush_;        // solid brush of bkColor_, handed to the platform
};

// A check box drawn as the platform's check glyph in the left 15 pixels and
// the caption 20 pixels to the right, over whatever the parent painted
// (the button's erase draws nothing). Checked and indeterminate both draw
// the checked glyph.
class CVexloCheckBox : public CButton {
 protected:
  void OnPaint() override;
};

// A radio button drawn like the check box, with the radio glyph (checked
// only for state 1) and its own UI font; it erases nothing.
class CVexloRadio : public CButton {
 public:
  CVexloRadio();
  ~CVexloRadio() override;

 protected:
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;

 private:
  HFONT font_ = nullptr;  // owned; zero-filled description, ScaleFontHeight(12), quality 5, the UI face
};

// A static whose caption is drawn transparently in the owner's font,
// single line, vertically centred, left-aligned; nothing else is drawn.
class CVexloStatic : public CStatic {
 public:
  // The font the caption is drawn in; not owned (the owner keeps it alive).
  // Null draws in the DC's current font.
  void SetTextFont(HFONT font) { font_ = font; }

 protected:
  void OnPaint() override;

 private:
  HFONT font_ = nullptr;
};

// The keyboard wizard as the main frame drives it.
//
// A small search window opened by a typed letter or digit. The frame makes
// one through its factory (shell/frame_factories.h), at most one at a time,
// creates it with the quote view as parent, places it at the frame window's
// bottom-right corner (240 x 240), shows it and hands it the first character.
// The wizard reports its choice to the owner frame as WM_SHOW_STOCK (lParam a
// heap copy of the StockKey made with `new`, freed by the receiver; market 0
// and kind 0 mark a typed command code). UI thread only.
//
// The implementing class derives from a dialog class and from
// IFindStockView, and answers Window() with itself.
#pragma once

#include "platform/mfc/afx.h"

struct QuoteEngine;
struct sqlite3;

class IFindStockView {
 public:
  virtual ~IFindStockView() = default;

  virtual CWnd* Window() = 0;
  // Creates the window (the dialog of template 101) under the parent,
  // hidden; FALSE when it could not be made.
  virtual BOOL CreateWizard(CWnd* parent) = 0;
  virtual void SetOwnerFrame(CWnd* frame) = 0;
  virtual void SetEngine(QuoteEngine* engine) = 0;
  virtual void SetDatabase(sqlite3* db) = 0;
  // The first typed text (copied).
  virtual void SetSearchText(const WCHAR* text) = 0;
};

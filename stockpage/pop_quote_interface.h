// The pop-up quote window as the main frame drives it.
//
// A small window with one stock's quote, opened by a web page's
// "relation" command. The frame makes one through its factory
// (shell/frame_factories.h), at most one at a time (a new one replaces the
// old), creates it with the frame as parent, moves it, shows it and gives it
// the stock. UI thread only.
//
// The implementing class derives from a dialog class and from IPopQuote, and
// answers Window() with itself.
#pragma once

#include "marketdata/quote_record.h"
#include "platform/mfc/afx.h"

struct QuoteEngine;

class IPopQuote {
 public:
  virtual ~IPopQuote() = default;

  virtual CWnd* Window() = 0;
  // Creates the window (the dialog of template 162) under the parent,
  // hidden; FALSE when it could not be made.
  virtual BOOL CreatePopQuote(CWnd* parent) = 0;
  virtual void SetEngine(QuoteEngine* engine) = 0;
  // Makes the stock current (the key is copied).
  virtual void ShowStock(const StockKey& key) = 0;
};

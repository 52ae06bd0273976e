// The new-message notice as the main frame drives it.
//
// A small window that checks the server for new messages for the signed-in
// user and shows them. The frame makes it through its factory
// (shell/frame_factories.h) at construction, with no parent, gives it the
// user name, creates its window (the dialog of template 4800) with the frame
// as parent, hides it and starts its first check. UI thread only.
//
// The implementing class derives from a dialog class and from
// IPopMsgDialog, and answers Window() with itself.
#pragma once

#include "platform/mfc/afx.h"

class IPopMsgDialog {
 public:
  virtual ~IPopMsgDialog() = default;

  virtual CWnd* Window() = 0;
  // The user name as UTF-8 (copied; at most 511 bytes are kept).
  virtual void SetUserName(const char* userName) = 0;
  // Creates the window under the parent, hidden; FALSE when it could not be
  // made.
  virtual BOOL CreateNotice(CWnd* parent) = 0;
  // Starts a check for new messages.
  virtual void CheckMessages() = 0;
};

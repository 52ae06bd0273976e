// The one place where the start-up makes the main window, after a
// successful sign-in.
//
// Arguments, in this order: the session's user id and session id (for the
// quote view's connection), the account and the password as UTF-8 texts,
// and the account as the user typed it. The function creates the frame,
// shows it maximised without caption and returns it as the application's
// main window (the frame deletes itself when its window is destroyed); null
// when it could not be created.
#pragma once

#include "platform/mfc/afx.h"

CWnd* CreateMainFrame(const char* userId, const char* sessionId, const char* account, const char* password,
                      const WString& accountTyped);

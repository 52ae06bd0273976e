// The about box of the framework's about command (ID_APP_ABOUT): the
// program title, the client version and an OK button, modal over owner.
#pragma once

#include "platform/mfc/afx.h"

// The box's caption: "关于" + the program title.
WString AboutBoxCaption();
// Runs the box modally; returns when OK or Esc closed it.
void ShowAboutBox(CWnd* owner);

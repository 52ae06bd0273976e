// The base of the pop-up dialogs that host a web page, and the
// connection-lost prompt.
//
// VexloDialog keeps an optional companion window docked against its right
// edge and closes it with itself. The owner sets the companion; the dialog
// keeps the companion's window handle and touches the window only while it
// exists, so a companion destroyed (or deleted) by its owner first is
// simply left alone. Subclasses call DockCompanion on every move and size.
//
// CMsgBoxDlg runs template 152 ("提示信息": reconnect, pick the best server,
// cancel). Callers run it with DoModal, which always returns IDCANCEL, and
// read the choice from m_result: 0 reconnect, 1 best server, 2 cancel (also
// after Esc or when no button was pressed).
#pragma once

#include "platform/mfc/afx_controls.h"

class VexloDialog : public CDialog {
 public:
  VexloDialog(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}

  // The window docked at the right edge (null: none). Not owned.
  void SetCompanion(CWnd* companion);
  // The companion while its window exists, else null.
  CWnd* GetCompanion() const;
  // Moves the companion (repainting) so that its left edge is the dialog's
  // right edge, with the dialog's top and height and its own width (window
  // rectangles in screen coordinates). Nothing without a living companion.
  void DockCompanion();

 protected:
  // Destroys the companion's window, then the default close handling.
  void OnClose() override;

 private:
  CWnd* companion_ = nullptr;     // set by the owner; dereferenced only while companionHwnd_ lives
  HWND companionHwnd_ = nullptr;  // the companion's window when it was set
};

class CMsgBoxDlg : public CDialog {
 public:
  static constexpr UINT kTemplateId = 152;
  static constexpr int kReconnectId = 1049, kBestServerId = 1066, kCancelId = 1052, kTextId = 1050;

  explicit CMsgBoxDlg(CWnd* parent = nullptr);

  int m_result = 2;  // the button pressed: 0 reconnect, 1 best server, 2 cancel

 protected:
  // Default initialisation, then the caption loses its system menu and
  // minimise and maximise boxes. TRUE: focus to the first tab stop.
  BOOL OnInitDialog() override;
  BOOL OnCmdMsg(UINT id, int code) override;
};

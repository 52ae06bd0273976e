#include "controls/dialog_base.h"

namespace {

const DialogTemplate kConnectionLost = {
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    0,
    0, 0, 195, 90,
    u"提示信息",
    8,
    u"MS Shell Dlg",
    {
        {CMsgBoxDlg::kTextId, WC_STATIC, u"与服务器连接断开，是否重新连接？", WS_VISIBLE | SS_LEFT, 17, 14, 158, 34},
        {CMsgBoxDlg::kReconnectId, WC_BUTTON, u"重连", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 5, 68, 50, 19},
        {CMsgBoxDlg::kBestServerId, WC_BUTTON, u"优选主站", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 62, 68, 71, 19},
        {CMsgBoxDlg::kCancelId, WC_BUTTON, u"取消", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 145, 68, 50, 19},
    },
};

}  // namespace

// ---------------------------------------------------------------------------
// VexloDialog

void VexloDialog::SetCompanion(CWnd* companion) {
  companion_ = companion;
  companionHwnd_ = companion ? companion->m_hWnd : nullptr;
}

CWnd* VexloDialog::GetCompanion() const {
  return companionHwnd_ && ::IsWindow(companionHwnd_) ? companion_ : nullptr;
}

void VexloDialog::DockCompanion() {
  if (!companionHwnd_ || !::IsWindow(companionHwnd_)) return;
  CRect self, companion;
  GetWindowRect(&self);
  ::GetWindowRect(companionHwnd_, &companion);
  ::MoveWindow(companionHwnd_, self.right, self.top, companion.Width(), self.Height(), TRUE);
}

void VexloDialog::OnClose() {
  if (companionHwnd_ && ::IsWindow(companionHwnd_)) ::DestroyWindow(companionHwnd_);
  CDialog::OnClose();
}

// ---------------------------------------------------------------------------
// CMsgBoxDlg

CMsgBoxDlg::CMsgBoxDlg(CWnd* parent) : CDialog(kTemplateId, parent) {
  static const bool registered = [] {
    RegisterDialogTemplate(kTemplateId, &kConnectionLost);
    return true;
  }();
  (void)registered;
}

BOOL CMsgBoxDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  ModifyStyle(WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 0);
  return TRUE;
}

BOOL CMsgBoxDlg::OnCmdMsg(UINT id, int code) {
  int result = -1;
  if (id == kReconnectId) result = 0;
  if (id == kBestServerId) result = 1;
  if (id == kCancelId) result = 2;
  if (result < 0 || code != BN_CLICKED) return CDialog::OnCmdMsg(id, code);
  m_result = result;
  EndDialog(IDCANCEL);
  return TRUE;
}

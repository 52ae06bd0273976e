#include "shell/about_box.h"

#include "foundation/config_store.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/mfc/afx_controls.h"
#include "shell/program_identity.h"

namespace {

constexpr int kTitleId = 1001;
constexpr int kVersionId = 1002;

class CAboutDlg : public CDialog {
 public:
  CAboutDlg(const DialogTemplate* tmpl, CWnd* owner) : CDialog(tmpl, owner) {}

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    SetDlgItemTextW(m_hWnd, kTitleId, kProgramTitle);
    SetDlgItemTextW(m_hWnd, kVersionId, (u"版本：" + Utf8ToWide(GetClientVersion())).c_str());
    CenterWindow();
    return TRUE;
  }
};

}  // namespace

WString AboutBoxCaption() { return WString(u"关于") + kProgramTitle; }

void ShowAboutBox(CWnd* owner) {
  static const WString caption = AboutBoxCaption();
  static const DialogTemplate kAbout = {
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 0, 200, 76, caption.c_str(), 9, u"MS Shell Dlg",
      {
          {kTitleId, WC_STATIC, u"", WS_VISIBLE | SS_LEFT, 14, 12, 176, 10},
          {kVersionId, WC_STATIC, u"", WS_VISIBLE | SS_LEFT, 14, 28, 176, 10},
          {IDOK, WC_BUTTON, u"确定", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 140, 52, 50, 15},
      },
  };
  CAboutDlg dlg(&kAbout, owner);
  dlg.DoModal();
}

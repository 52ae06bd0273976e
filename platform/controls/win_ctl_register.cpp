// Registration of the standard control classes and the message box.
#include "platform/controls/win_ctl_internal.h"

#include <atomic>
#include <mutex>

void RegisterStandardControls() {
  static std::once_flag once;
  std::call_once(once, [] {
    ctl::RegisterButton();
    ctl::RegisterEdit();
    ctl::RegisterStatic();
    ctl::RegisterScrollBar();
    ctl::RegisterListBox();
    ctl::RegisterProgressUpDown();
    ctl::RegisterListView();
    ctl::RegisterTreeView();
    ctl::RegisterToolTip();
    ctl::RegisterMenuClass();
    ctl::RegisterDialogClass();
    ctl::InstallMessageBox();
  });
}

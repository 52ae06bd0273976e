// Registration of the standard control classes and the message box.
#include "platform/controls/win_ctl_internal.h"

#include <atomic>
#include <mutex>

namespace ctl {
void RegisterControlClass(LPCWSTR name, WNDPROC proc, UINT style, LPCWSTR cursor, HBRUSH background) {
  WNDCLASSW wc;
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hCursor = LoadCursorW(nullptr, cursor);
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  RegisterClassW(&wc);
}
}  // namespace ctl

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

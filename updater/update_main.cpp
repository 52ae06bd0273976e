// The updater program: `Update <section> <current version> <address of the
// server's update.ini>`, started by the main program's login when a newer
// release is out. Fewer than three arguments end it at once; further ones
// are ignored.
#include "foundation/http_download.h"
#include "platform/kernel/kernel_files.h"
#include "platform/mfc/afx_controls.h"
#include "updater/update_dialog.h"
#include "updater/update_run.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_arguments;  // the command line after the program's name

class CUpdateApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    if (!HttpDownloadsReady()) {
      AfxMessageBox(u"Windows 通信端口初始化失败。");
      return FALSE;
    }
    if (g_arguments.size() < 3) return FALSE;
    HttpAddress address;
    if (!ParseHttpAddress(g_arguments[2], &address)) {
      AfxMessageBox(u"版本文件URL应以http://开头!", MB_OK | MB_ICONHAND);
      return FALSE;
    }
    CUpdateDlg dialog(g_arguments[0], g_arguments[1], g_arguments[2], ProgramFolder());
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // The program ends after the dialog in every case.
    return FALSE;
  }
};

CUpdateApp theApp;

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) g_arguments.push_back(argv[i]);
  return AfxWinMain(argc, argv);
}

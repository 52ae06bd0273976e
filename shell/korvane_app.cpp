#include "shell/korvane_app.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "controls/menu_ex.h"
#include "foundation/config_store.h"
#include "foundation/user_folders.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_port.h"
#include "platform/kernel/kernel_thread.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/mfc/afx_controls.h"
#include "platform/window/win_icons.h"
#include "shell/about_box.h"
#include "shell/login_dialog.h"
#include "shell/main_frame_factory.h"
#include "shell/pending_update.h"
#include "shell/program_identity.h"
#include "updater/update_file.h"

namespace {

HHOOK g_menuHook = nullptr;  // the hook MenuHookProc passes calls on from

constexpr UINT kMenuCreated = 0x1E2;
constexpr DWORD kFindOtherMs = 2000;     // an instance still starting gets this long to show its window
constexpr DWORD kSnapshotSettleMs = 2500;  // the main window's first requests and paints
constexpr UINT_PTR kSnapshotTimer = 0x5302;

CKorvaneApp* g_snapshotApp = nullptr;
std::string g_snapshotPath;
int* g_snapshotExitCode = nullptr;

void CaptureMainWindow(HWND hwnd, UINT, UINT_PTR id, DWORD) {
  KillTimer(hwnd, id);
  if (SaveWindowPicture(hwnd, g_snapshotPath.c_str())) {
    *g_snapshotExitCode = 0;
  } else {
    std::fprintf(stderr, "Korvane --snapshot: %s could not be written\n", g_snapshotPath.c_str());
    *g_snapshotExitCode = 1;
  }
  PostQuitMessage(0);
}

}  // namespace

SnapshotSwitch ParseSnapshotSwitch(int argc, char** argv) {
  SnapshotSwitch out;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--snapshot") != 0) continue;  // the program takes no other argument
    if (i + 1 >= argc || !*argv[i + 1]) {
      out.error = "--snapshot needs a file name";
      return out;
    }
    out.on = true;
    out.path = PathFromStartingFolder(argv[++i]);
  }
  return out;
}

std::string InstalledClientVersion() {
  UpdateDescription installed;
  ReadUpdateDescription(InstallRoot() + kUpdateFileName, &installed);
  return ReadClientVersion(installed);
}

LRESULT MenuHookProc(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call && (call->message == WM_CREATE || call->message == kMenuCreated)) {
    WCHAR name[10] = {};
    GetClassNameW(call->hwnd, name, 10);
    if (WString(name) == u"#32768") AttachFlatMenuProc(call->hwnd);
  }
  return CallNextHookEx(g_menuHook, code, wParam, lParam);
}

CKorvaneApp::~CKorvaneApp() {
  if (hook_) UnhookWindowsHookEx(hook_);
  if (g_menuHook == hook_) g_menuHook = nullptr;
}

int CKorvaneApp::CheckSingleInstance() {
  if (ClaimInstanceLock(kInstanceLockName)) return 0;
  HWND other = FindWindowW(nullptr, kProgramTitle);
  const ULONGLONG start = GetTickCount64();
  while (!other && GetTickCount64() - start < kFindOtherMs) {
    Sleep(100);
    other = FindWindowW(nullptr, kProgramTitle);
  }
  if (other) {
    ShowWindow(other, SW_SHOWNORMAL);
    SetForegroundWindow(other);
  }
  MessageBoxW(other, u"本程序已经在运行了！", u"", MB_OK);
  return 1;
}

void CKorvaneApp::InstallMenuHook() {
  if (hook_) return;
  hook_ = SetWindowsHookExW(WH_CALLWNDPROC, MenuHookProc, nullptr, GetCurrentThreadId());
  g_menuHook = hook_;
}

BOOL CKorvaneApp::InitInstance() {
  JoinMessagePorts();
  if (CheckSingleInstance()) {
    exitCode_ = 0;
    return FALSE;
  }
  return StartUp();
}

BOOL CKorvaneApp::StartUp() {
  UnpackPendingUpdate(ProgramFolder());
  InstallMenuHook();
  InitAppFolders();
  SetClientVersion(InstalledClientVersion().c_str());

  CLoginDlg dialog;
  if (snapshot_.on) StartSnapshotLogin(&dialog);
  if (dialog.DoModal() != IDOK) {
    if (snapshot_.on) {
      std::fprintf(stderr, "Korvane --snapshot: the login did not complete (%s)\n",
                   WideToUtf8(dialog.StatusText()).c_str());
      exitCode_ = 1;
    }
    return FALSE;
  }
  if (!CreateFrame(dialog)) return FALSE;
  if (snapshot_.on) StartSnapshotCapture();
  return TRUE;
}

bool CKorvaneApp::CreateFrame(const CLoginDlg& dialog) {
  const LoginResults& r = dialog.Results();
  m_pMainWnd = CreateMainFrame(r.userId.c_str(), r.sessionId.c_str(), r.account.c_str(), r.password.c_str(),
                               r.accountTyped);
  if (m_pMainWnd) return true;
  exitCode_ = 1;
  if (snapshot_.on) {
    std::fprintf(stderr, "Korvane --snapshot: the main window could not be created\n");
    return false;
  }
  MessageBoxW(nullptr, u"主窗口创建失败", kProgramTitle, MB_OK);
  return false;
}

int CKorvaneApp::ExitInstance() {
  if (hook_) {
    UnhookWindowsHookEx(hook_);
    if (g_menuHook == hook_) g_menuHook = nullptr;
    hook_ = nullptr;
  }
  return exitCode_;
}

void CKorvaneApp::OnAppAbout() { ShowAboutBox(m_pMainWnd); }

void CKorvaneApp::StartSnapshotLogin(CLoginDlg* dialog) {
  dialog->SignInAutomatically(u"demo", u"demo123", u"1234", GetTickCount64() + 60000);
}

void CKorvaneApp::StartSnapshotCapture() {
  g_snapshotApp = this;
  g_snapshotPath = snapshot_.path;
  g_snapshotExitCode = &exitCode_;
  exitCode_ = 1;  // until the picture is written
  SetTimer(m_pMainWnd->m_hWnd, kSnapshotTimer, kSnapshotSettleMs, CaptureMainWindow);
}

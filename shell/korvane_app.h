// CKorvaneApp: the main program's application object. InitInstance is the
// whole start-up: one instance per user, the pending update package, the
// menu hook, the per-user folders and the client version, the login dialog
// and, after a sign-in, the main frame. ExitInstance removes the hook.
//
// Linux has no meaning for three steps of the start-up the program once
// had (common-control registration, socket start-up, the registry key of
// the framework); they are left out.
#pragma once

#include <string>

#include "platform/mfc/afx.h"

class CLoginDlg;

// The demo and test switch: `Korvane --snapshot FILE` signs in with the
// demo account, waits for the main window and saves its picture to FILE.
struct SnapshotSwitch {
  bool on = false;
  std::string path;     // absolute (made so against the starting folder)
  std::string error;    // a usage error: the program prints it and ends with 1
};
// Reads the command line (argv[1..]). No switch: on is false.
SnapshotSwitch ParseSnapshotSwitch(int argc, char** argv);

// The client version of the installed release: VERSION of section "Tamsel"
// of update.ini in the install root, the built-in text when the file or
// the key is missing.
std::string InstalledClientVersion();

class CKorvaneApp : public CWinApp {
 public:
  CKorvaneApp() = default;
  ~CKorvaneApp() override;

  void SetSnapshot(const SnapshotSwitch& snapshot) { snapshot_ = snapshot; }

  BOOL InitInstance() override;
  int ExitInstance() override;
  // The framework's about command (ID_APP_ABOUT), for the main frame.
  void OnAppAbout();

  // The steps of InitInstance that tests run on their own.
  // Everything after the instance check: the update package, the hook, the
  // folders and client version, the login and the main frame.
  BOOL StartUp();
  // 1 when another instance holds the per-user lock: its window (titled
  // with the program title, looked for up to 2 s) is restored and brought
  // forward, "本程序已经在运行了！" is shown, and the start-up ends.
  static int CheckSingleInstance();
  // Installs the menu hook for the calling thread (kept until ExitInstance).
  void InstallMenuHook();
  HHOOK MenuHook() const { return hook_; }
  // The login dialog's results handed to the main frame; false when the
  // frame could not be made (a box says so).
  bool CreateFrame(const CLoginDlg& dialog);

  int ExitCode() const { return exitCode_; }

 private:
  void StartSnapshotLogin(CLoginDlg* dialog);
  void StartSnapshotCapture();

  HHOOK hook_ = nullptr;     // the thread's WH_CALLWNDPROC hook, null until installed
  int exitCode_ = 0;         // what ExitInstance answers
  SnapshotSwitch snapshot_;
};

// The hook procedure: puts FlatMenuWndProc on every menu window ("#32768")
// of the thread as it is created (WM_CREATE or 0x1E2), once per window.
LRESULT MenuHookProc(int code, WPARAM wParam, LPARAM lParam);

// CUpdateDlg: the updater's one dialog. A picture background, the status
// line, the image progress bar and two buttons (取消 and the OK button whose
// caption is the dialog's state):
//
//   "更新(&U)"  a newer version was found, or a run failed and may be
//              retried: OK runs the update
//   "完成(&O)"  up to date, or a run going on (disabled) or finished: OK
//              starts the main program and closes
//   "重试(&R)"  the description could not be fetched: OK checks again
//
// The version check runs when the dialog opens (after an interrupted swap
// is put back) and from the retry state. The update run goes on a worker
// thread (update_run.h); it reaches the dialog only through posted
// messages, so the dialog stays responsive and Cancel works during a
// download. Cancel and closing end the updater without starting anything;
// a run that is cancelled deletes what it staged first.
//
// UI thread only.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "controls/foo_button.h"
#include "platform/mfc/afx_controls.h"
#include "updater/foo_progress_ctrl.h"
#include "updater/update_run.h"

namespace update_ids {
constexpr int kTemplate = 102;
constexpr int kProgress = 1002;  // IDC_UPDATE_PROGRESS
constexpr int kStatus = 1012;    // IDC_UPDATE_STATUS
}  // namespace update_ids

// The run reports progress (wParam, lParam 0; the dialog reads the latest).
constexpr UINT WM_UPDATE_PROGRESS = WM_APP + 0x341;
// The run has ended (wParam, lParam 0).
constexpr UINT WM_UPDATE_FINISHED = WM_APP + 0x342;

class CUpdateDlg : public CDialog, private UpdateRunListener {
 public:
  // section: the product section ("Tamsel"); currentVersion: the installed
  // client version; address: the server's update.ini ("http://…");
  // programFolder: the folder updated and started from (ends in '/').
  CUpdateDlg(const std::string& section, const std::string& currentVersion, const std::string& address,
             const std::string& programFolder);
  ~CUpdateDlg() override;

  // The downloads' time-outs (tests shorten them).
  void SetHttpSettings(const HttpDownloadSettings& settings) { http_ = settings; }

  // What the dialog shows, for tests and traces.
  WString OkCaption() const;
  const WString& Status() const { return status_; }
  bool Running() const { return running_; }
  FooProgressCtrl& ProgressBar() { return progress_; }
  // The program the dialog started on its way out (0: none).
  int StartedProcess() const { return startedPid_; }

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  void OnPaint() override;
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) override;
  BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // UpdateRunListener (the run's thread).
  void FileStarted(const std::string& address) override;
  void FileProgress(int percent) override;
  void FileArrived(const std::string& address) override;

  void CheckVersion();
  void RunUpdate();
  void OnRunProgress();
  void OnRunFinished();
  void SetStatus(const WString& text);
  void SetOkCaption(const WString& caption);
  void RefreshStatusLine();
  CRect ItemRect(int id) const;
  bool StartProgram(const std::string& file);

  std::string section_;
  std::string currentVersion_;
  std::string address_;
  std::string programFolder_;
  std::string tempFolder_;  // private (0700), removed with the dialog
  std::string newVersion_;
  HttpDownloadSettings http_;

  CImage top_;     // res\update.png
  CImage bottom_;  // res\updateBG.png
  HICON icon_ = nullptr;
  FooButton okButton_;
  FooButton cancelButton_;
  FooProgressCtrl progress_;
  WString status_ = u"软件有新版本请,点击更新开始体验!";

  // The run.
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  bool running_ = false;
  bool closing_ = false;   // Cancel during a run: close once it has ended
  std::mutex reportLock_;  // guards the three below (the run's thread writes them)
  WString reportStatus_;
  int reportPercent_ = -1;
  UpdateRunResult result_;
  HWND wake_ = nullptr;     // the dialog's window, set before the run's thread starts
  int startedPid_ = 0;
};

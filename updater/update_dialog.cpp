#include "updater/update_dialog.h"

#include <stdlib.h>

#include <filesystem>

#include "foundation/debug_trace.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_process.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/window/win_icons.h"
#include "updater/update_file.h"

using namespace update_ids;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int kTopHeight = 300;  // rows of the upper picture
constexpr unsigned kProcessWaitMs = 5000;

const WCHAR kCaptionUpdate[] = u"更新(&U)";
const WCHAR kCaptionDone[] = u"完成(&O)";
const WCHAR kCaptionRetry[] = u"重试(&R)";

// Template 102, in dialog units of 宋体 9 pt.
const DialogTemplate kUpdateTemplate = {
    WS_POPUP | WS_VISIBLE | WS_SYSMENU | DS_SETFONT, 0, 0, 0, 320, 254, nullptr, 9, u"宋体",
    {
        {IDCANCEL, WC_BUTTON, u"取消(&C)", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 231, 226, 37, 24},
        {IDOK, WC_BUTTON, u"更新(&U)", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 275, 226, 37, 24},
        {kStatus, WC_STATIC, u"", WS_VISIBLE | SS_LEFT, 4, 228, 217, 21},
    },
};

WString Wide(const std::string& text) { return Utf8ToWide(text); }

// A private folder of its own in the temporary folder (mode 0700).
std::string MakePrivateTempFolder() {
  const char* temp = ::getenv("TMPDIR");
  std::string pattern = std::string(temp && temp[0] == '/' ? temp : "/tmp") + "/orv-update-XXXXXX";
  if (!::mkdtemp(pattern.data())) return std::string();
  return pattern + "/";
}

}  // namespace

CUpdateDlg::CUpdateDlg(const std::string& section, const std::string& currentVersion, const std::string& address,
                       const std::string& programFolder)
    : CDialog(static_cast<UINT>(kTemplate), nullptr),
      section_(section),
      currentVersion_(currentVersion),
      address_(address),
      programFolder_(programFolder) {
  if (!FindDialogTemplate(kTemplate)) RegisterDialogTemplate(kTemplate, &kUpdateTemplate);
  icon_ = LoadIconW(nullptr, MAKEINTRESOURCEW(128));
  top_.Load(u"res\\update.png");
  bottom_.Load(u"res\\updateBG.png");
  tempFolder_ = MakePrivateTempFolder();
  http_.connectTimeoutMs = 10000;
  http_.receiveTimeoutMs = 100000;
}

CUpdateDlg::~CUpdateDlg() {
  if (worker_.joinable()) {
    cancel_ = true;
    worker_.join();
  }
  if (!tempFolder_.empty()) DeleteFolderTree(tempFolder_);
  if (icon_) DestroyIcon(icon_);
}

WString CUpdateDlg::OkCaption() const {
  if (!okButton_.m_hWnd) return WString();
  WCHAR text[64] = {};
  ::GetWindowTextW(okButton_.m_hWnd, text, 63);
  return text;
}

void CUpdateDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDOK, okButton_);
  DDX_Control(dx, IDCANCEL, cancelButton_);
  DDX_Text(dx, kStatus, status_);
}

BOOL CUpdateDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  if (icon_) {
    SetWindowIcon(m_hWnd, icon_, TRUE);
    SetWindowIcon(m_hWnd, icon_, FALSE);
  }
  CRect client;
  GetClientRect(&client);
  progress_.Create(CRect(client.left + 5, client.top + 310, client.right - 5, client.top + 338), this, kProgress,
                   u"res\\processBG.png", u"res\\process.png");
  progress_.SetRange(0, 100);
  progress_.SetPos(0);
  for (FooButton* button : {&okButton_, &cancelButton_}) {
    button->SetNormalImage(u"res\\updateBtn.png", 0xFF00FF);
    button->SetHotImage(u"res\\updateBtn.png", 0xFF00FF);
    button->SetDisabledImage(u"res\\updateBtn.png", 0xFF00FF);
    button->SetTextColor(kWhite);
  }
  // A run cut short in its swap is undone before anything else looks at
  // the installed files.
  if (RestoreInterruptedSwap(programFolder_) > 0) DebugPrintf("update: the previous release was put back\n");
  CheckVersion();
  return TRUE;
}

void CUpdateDlg::CheckVersion() {
  SetStatus(u"正在连接到服务器...");
  const VersionCheckResult result =
      CheckForNewVersion(address_, tempFolder_ + kUpdateFileName, programFolder_ + kUpdateFileName, section_,
                         currentVersion_, http_, &newVersion_);
  if (result == VersionCheckResult::kConnectFailed) {
    SetStatus(u"连接服务器失败！");
    SetOkCaption(kCaptionRetry);
    return;
  }
  SetStatus(u"读取版本信息...");
  if (result == VersionCheckResult::kNewer) {
    SetStatus(u"发现新的版本:" + Wide(section_ + " " + newVersion_));
    SetOkCaption(kCaptionUpdate);
    return;
  }
  SetStatus(u"您现在用的版本已是最新的！");
  cancelButton_.ShowWindow(SW_HIDE);
  SetOkCaption(kCaptionDone);
}

void CUpdateDlg::OnOK() {
  if (running_) return;
  const WString caption = OkCaption();
  if (caption == kCaptionUpdate) {
    SetOkCaption(kCaptionDone);
    okButton_.EnableWindow(FALSE);
    RunUpdate();
    return;
  }
  if (caption == kCaptionDone) {
    StartProgram(kMainProgramFile);
    EndDialog(IDOK);
    return;
  }
  CheckVersion();
}

void CUpdateDlg::OnCancel() {
  if (running_) {
    // The run deletes what it staged; the dialog closes when it has ended.
    closing_ = true;
    cancel_ = true;
    return;
  }
  EndDialog(IDCANCEL);
}

void CUpdateDlg::RunUpdate() {
  const int pid = FindProgramProcess(programFolder_ + kMainProgramFile);
  if (pid > 0) {
    const WString question = Wide(section_) + u"已在运行！\n请先关闭程序才能进行更新！\n如果选择确定将强行关闭程序！";
    if (::MessageBoxW(m_hWnd, question.c_str(), nullptr, MB_OKCANCEL) == IDOK) {
      if (!EndProcessAndWait(pid, kProcessWaitMs)) DebugPrintf("update: the main program did not end\n");
    }
  }
  UpdateRunRequest request;
  request.programFolder = programFolder_;
  request.serverCopy = tempFolder_ + kUpdateFileName;
  HttpAddress server;
  ParseHttpAddress(address_, &server);
  request.serverBase = "http://" + server.host + ":" + std::to_string(server.port);
  request.product = section_;
  request.http = http_;
  {
    std::lock_guard<std::mutex> hold(reportLock_);
    reportStatus_.clear();
    reportPercent_ = -1;
  }
  cancel_ = false;
  running_ = true;
  progress_.SetPos(0);
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  wake_ = m_hWnd;
  const HWND self = wake_;
  worker_ = std::thread([this, request, self] {
    UpdateRunResult result = ::RunUpdate(request, this, cancel_);
    {
      std::lock_guard<std::mutex> hold(reportLock_);
      result_ = std::move(result);
    }
    ::PostMessageW(self, WM_UPDATE_FINISHED, 0, 0);
  });
}

void CUpdateDlg::FileStarted(const std::string& address) {
  {
    std::lock_guard<std::mutex> hold(reportLock_);
    reportStatus_ = u"正在下载文件：" + Wide(address);
  }
  ::PostMessageW(wake_, WM_UPDATE_PROGRESS, 0, 0);
}

void CUpdateDlg::FileProgress(int percent) {
  {
    std::lock_guard<std::mutex> hold(reportLock_);
    reportPercent_ = percent;
  }
  ::PostMessageW(wake_, WM_UPDATE_PROGRESS, 0, 0);
}

void CUpdateDlg::FileArrived(const std::string& address) {
  {
    std::lock_guard<std::mutex> hold(reportLock_);
    reportStatus_ = Wide(address) + u"完成更新!";
  }
  ::PostMessageW(wake_, WM_UPDATE_PROGRESS, 0, 0);
}

void CUpdateDlg::OnRunProgress() {
  WString status;
  int percent = -1;
  {
    std::lock_guard<std::mutex> hold(reportLock_);
    status = reportStatus_;
    percent = reportPercent_;
  }
  if (!status.empty() && status != status_) SetStatus(status);
  if (percent >= 0 && percent != progress_.GetPos()) progress_.SetPos(percent);
}

void CUpdateDlg::OnRunFinished() {
  if (worker_.joinable()) worker_.join();
  running_ = false;
  OnRunProgress();
  UpdateRunResult result;
  {
    std::lock_guard<std::mutex> hold(reportLock_);
    result = result_;
  }
  if (closing_) {
    EndDialog(IDCANCEL);
    return;
  }
  switch (result.outcome) {
    case UpdateOutcome::kDone:
      if (result.installer) {
        // The installer takes over; the main program is not started.
        StartProgram(kSetupSection);
        EndDialog(IDOK);
        return;
      }
      cancelButton_.ShowWindow(SW_HIDE);
      okButton_.EnableWindow(TRUE);
      progress_.SetPos(100);
      SetStatus(u"完成更新！");
      return;
    case UpdateOutcome::kMissingFile:
      // Only Cancel is left.
      progress_.SetPos(0);
      SetStatus(Wide(result.address) + u"不存在！");
      return;
    case UpdateOutcome::kWriteError:
      ::MessageBoxW(m_hWnd, (u"写文件" + Wide(result.path) + u"错误！\n文件正在使用中，请先关闭程序！").c_str(), nullptr,
                    MB_OK | MB_ICONHAND);
      progress_.SetPos(0);
      return;
    case UpdateOutcome::kBadName:
      progress_.SetPos(0);
      SetStatus(u"更新失败：文件名" + Wide(result.section) + u"无效！");
      return;
    case UpdateOutcome::kNoAddress:
      progress_.SetPos(0);
      SetStatus(u"更新失败：" + Wide(result.section) + u"没有下载地址！");
      return;
    case UpdateOutcome::kCancelled:
    case UpdateOutcome::kFailed:
    case UpdateOutcome::kSwapFailed:
      SetOkCaption(kCaptionUpdate);
      okButton_.EnableWindow(TRUE);
      progress_.SetPos(0);
      SetStatus(u"更新失败，请点击更新重试！");
      return;
  }
}

bool CUpdateDlg::StartProgram(const std::string& file) {
  const WString path = Wide(programFolder_ + file);
  const WString folder = Wide(programFolder_);
  SHELLEXECUTEINFOW info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = path.c_str();
  info.lpParameters = nullptr;
  info.lpDirectory = folder.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) {
    DebugPrintf("update: %s could not be started\n", file.c_str());
    return false;
  }
  startedPid_ = ProcessIdOfHandle(info.hProcess);
  return true;
}

void CUpdateDlg::SetStatus(const WString& text) {
  status_ = text;
  UpdateData(FALSE);
  RefreshStatusLine();
}

void CUpdateDlg::SetOkCaption(const WString& caption) {
  okButton_.SetWindowText(caption.c_str());
  okButton_.Invalidate();
}

CRect CUpdateDlg::ItemRect(int id) const {
  CRect r;
  ::GetWindowRect(::GetDlgItem(m_hWnd, id), &r);
  ::ScreenToClient(m_hWnd, reinterpret_cast<POINT*>(&r.left));
  ::ScreenToClient(m_hWnd, reinterpret_cast<POINT*>(&r.right));
  return r;
}

void CUpdateDlg::RefreshStatusLine() {
  // The static is transparent: the background under it is painted again.
  const CRect r = ItemRect(kStatus);
  InvalidateRect(&r, TRUE);
}

void CUpdateDlg::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  if (!top_.IsNull()) top_.StretchBlt(dc.m_hDC, 0, 0, client.Width(), kTopHeight);
  if (!bottom_.IsNull())
    bottom_.StretchBlt(dc.m_hDC, 0, kTopHeight, client.Width(), client.Height() - kTopHeight);
  const CRect cancel = ItemRect(IDCANCEL);
  const CRect ok = ItemRect(IDOK);
  const int x = (cancel.right + ok.left) / 2;
  dc.FillSolidRect(CRect(x, ok.top, x + 1, ok.bottom), RGB(0x1F, 0x1F, 0x1F));
  dc.FillSolidRect(CRect(x + 1, ok.top, x + 2, ok.bottom), RGB(0xA4, 0xA4, 0xA4));
}

HBRUSH CUpdateDlg::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) {
  if (ctlColor != CTLCOLOR_STATIC) return CDialog::OnCtlColor(dc, wnd, ctlColor);
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextColor(kWhite);
  return static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
}

BOOL CUpdateDlg::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) {
  if (!running_) return CDialog::OnSetCursor(wnd, hitTest, message);
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  return TRUE;
}

LRESULT CUpdateDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_UPDATE_PROGRESS:
      OnRunProgress();
      return 0;
    case WM_UPDATE_FINISHED:
      OnRunFinished();
      return 0;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<LRESULT>(icon_);
    default:
      return CDialog::WindowProc(message, wParam, lParam);
  }
}

// The two small modal dialogs of the K-line chart's indicator menu.
//
// CIndexParamSetDlg (template 1095) edits the periods of the classic lower
// indicators 0 ... 9 (MACD, KDJ, RSI, WR, BOLL, BIAS, DMA, CCI, BRAR, PSY)
// in the first IndicatorWorkspace of a QuoteEngine. "恢复缺省" puts the
// defaults into the edits; "关闭" and the close box store the edits (a
// period is 1 ... 999: a text below 1 keeps the old period, a larger one
// is held at 999), rewrite res\indexParameter.data of the per-user folder
// and reload every workspace of the engine from it; Enter and Escape end
// the dialog without saving. The dialog always ends with IDCANCEL.
//
// CIndexHelpDlg (template 158) shows the help text of one indicator from
// res\indexhelp.data (LoadIndexHelp must have run), titled with its name.
//
// Both run modally on the user-interface thread; RegisterIndexDialogTemplates
// registers their templates once at start-up.
#pragma once

#include "marketdata/quote_engine.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/mfc/afx_controls.h"

#include <cstdint>

constexpr UINT IDD_INDEX_PARAM_SET = 1095;
constexpr UINT IDD_INDEX_HELP = 158;

namespace index_param_ids {
constexpr int kSpin1 = 1096, kSpin2 = 1097, kSpin3 = 1098;
constexpr int kRestoreDefaults = 1099, kClose = 1100;
constexpr int kLabel1 = 1101, kLabel2 = 1102, kLabel3 = 1103;
constexpr int kEdit1 = 1104, kEdit2 = 1105, kEdit3 = 1106;
constexpr int kDays1 = 1107, kDays2 = 1108, kDays3 = 1109;
}  // namespace index_param_ids
constexpr int IDC_INDEX_HELP_TEXT = 1079;

void RegisterIndexDialogTemplates();

// The text a period edit holds read as the edit reads it: leading blanks,
// an optional sign and the digits up to the first other character, held
// at the 32-bit limits; 0 when there are no digits. At most 15 units are
// looked at.
int32_t ParsePeriodText(const WCHAR* text);

class CIndexParamSetDlg : public CDialog {
 public:
  explicit CIndexParamSetDlg(CWnd* parent = nullptr);

  // The engine whose first workspace is edited (not owned), the indicator
  // (0 ... 9; any other number gives a dialog without rows that still
  // rewrites the file), and the lock of the chart that recalculates with
  // that workspace (null for none), held while the edits are stored.
  void SetTarget(QuoteEngine* engine, int indicator, CriticalSection* chartLock = nullptr);

  static constexpr int kMinPeriod = 1;
  static constexpr int kMaxPeriod = 999;
  static constexpr int kEditLimit = 9;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  BOOL OnCmdMsg(UINT id, int code) override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  void OnClose() override;

  void ArrangeRows();
  void ShowParameters();
  void OnRestoreDefaults();
  // delta +1 (the lower arrow) lowers the number, -1 (the upper) raises it.
  void StepEditValue(CEdit& edit, int delta);
  void OnSaveAndClose();

 private:
  int RowCount() const;

  CStatic label1_, label2_, label3_;
  CSpinButtonCtrl spin1_, spin2_, spin3_;
  CEdit edit1_, edit2_, edit3_;
  QuoteEngine* engine_ = nullptr;
  int32_t indicator_ = 0;
  CriticalSection* chartLock_ = nullptr;
};

class CIndexHelpDlg : public CDialog {
 public:
  CIndexHelpDlg(const WCHAR* name, CWnd* parent = nullptr);

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;

 private:
  WString name_;
  WString text_;
};

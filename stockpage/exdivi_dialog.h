// CExdiviDlg: the modal 权息资料 dialog (template 157) that lists the stock's
// ex-rights events, one line per event in the order of the list, although
// its list box (1078) has the sorted style: the lines are inserted by index.
// "关闭" (button 2), Esc and the close box end it with IDCANCEL.
//
// SetExRightsList takes a copy of the events, so the engine may decode a
// new reply while the dialog is open.
#pragma once

#include "marketdata/ex_rights.h"
#include "platform/mfc/afx_controls.h"

#include <string>
#include <vector>

constexpr UINT IDD_EXDIVI = 157;
constexpr int IDC_EXDIVI_LIST = 1078;

// The line of one event: "%04d-%02d-%02d(每十股", then " 红利%.2f元",
// " 配股%.2f股", " 配股价%.2f元", " 送股%.2f股", " 转赠%.2f股" for each part
// above 0 (ratios and the dividend per ten shares, the rights price as it
// is), then ")". UTF-8.
std::string ExRightsLine(const ExRightsRecord& event);

class CExdiviDlg : public CDialog {
 public:
  explicit CExdiviDlg(CWnd* parent = nullptr);

  // Copies the list's events (null or a count of 0 or less: none).
  void SetExRightsList(const ExRightsArea* list);

 protected:
  BOOL OnInitDialog() override;
  void OnCancel() override;
  void DoDataExchange(CDataExchange* dx) override;

 private:
  CListBox list_;
  std::vector<ExRightsRecord> events_;
  bool hasList_ = false;
};

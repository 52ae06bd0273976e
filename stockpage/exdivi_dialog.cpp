#include "stockpage/exdivi_dialog.h"

#include "foundation/text_codec.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

const DialogTemplate kExdiviTemplate = {
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 0, 247, 224, u"权息资料", 9, u"宋体",
    {
        {IDC_EXDIVI_LIST, WC_LISTBOX, u"",
         WS_VISIBLE | LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER, 1, 0, 245, 204},
        {IDCANCEL, WC_BUTTON, u"关闭", WS_VISIBLE | WS_TABSTOP, 193, 207, 50, 14},
    },
};

void Append(std::string* line, const char* format, double value) {
  char part[64];
  std::snprintf(part, sizeof part, format, value);
  *line += part;
}

}  // namespace

std::string ExRightsLine(const ExRightsRecord& e) {
  char head[64];
  std::snprintf(head, sizeof head, "%04d-%02d-%02d(每十股", e.date / 10000, e.date % 10000 / 100, e.date % 100);
  std::string line = head;
  if (e.cashDividend > 0) Append(&line, " 红利%.2f元", e.cashDividend * 10.0);
  if (e.rightsShares > 0) Append(&line, " 配股%.2f股", e.rightsShares * 10.0);
  if (e.rightsPrice > 0) Append(&line, " 配股价%.2f元", e.rightsPrice);
  if (e.bonusShares > 0) Append(&line, " 送股%.2f股", e.bonusShares * 10.0);
  if (e.transferredShares > 0) Append(&line, " 转赠%.2f股", e.transferredShares * 10.0);
  line += ")";
  return line;
}

CExdiviDlg::CExdiviDlg(CWnd* parent) : CDialog(IDD_EXDIVI, parent) {
  if (!FindDialogTemplate(IDD_EXDIVI)) RegisterDialogTemplate(IDD_EXDIVI, &kExdiviTemplate);
}

void CExdiviDlg::SetExRightsList(const ExRightsArea* list) {
  events_.clear();
  hasList_ = list != nullptr;
  if (list && list->records && list->count > 0) events_.assign(list->records, list->records + list->count);
}

BOOL CExdiviDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  list_.ResetContent();
  for (size_t i = 0; i < events_.size(); ++i) {
    const std::string line = ExRightsLine(events_[i]);
    WCHAR* wide = Utf8ToUtf16Alloc(line.c_str());
    list_.InsertString(static_cast<int>(i), wide ? wide : u"");
    std::free(wide);
  }
  return TRUE;
}

void CExdiviDlg::OnCancel() {
  events_.clear();
  hasList_ = false;
  CDialog::OnCancel();
}

void CExdiviDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_EXDIVI_LIST, list_);
}

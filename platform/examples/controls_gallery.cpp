// Every standard control in one dialog made from a template in dialog
// units: buttons (default, check, radio groups, owner-drawn), edits (plain,
// password, read-only, multi-line with its scroll bar), statics, a group
// box, a scroll bar, a list box, combo boxes, a report list with check boxes
// and grid lines, a progress bar and an up-down control. On screen it runs
// the dialog modally; with QT_QPA_PLATFORM=offscreen it saves the dialog's
// picture to the PNG named by the first argument (controls_gallery.png by
// default) and exits.
#include "platform/kernel/kernel_files.h"
#include "platform/mfc/afx_controls.h"
#include "platform/window/win_desktop.h"

#include <cstdlib>
#include <string>

namespace {

enum : int {
  kGroup = 100, kLabel, kEdit, kPassword, kReadOnly, kMemo, kCheck, kCheck3, kRadio1, kRadio2, kRadio3,
  kOwnerDraw, kList, kCombo, kDropDown, kReport, kProgress, kSpin, kBar, kEtched, kHint, kTree
};

const DialogTemplate kGallery = {
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
    0,
    0, 0, 400, 300,
    u"控件一览",
    9,
    u"宋体",
    {
        {kGroup, WC_BUTTON, u"登录信息", WS_VISIBLE | BS_GROUPBOX, 7, 4, 186, 104},
        {kLabel, WC_STATIC, u"账号：", WS_VISIBLE | SS_RIGHT, 14, 20, 36, 10},
        {kEdit, WC_EDIT, u"600000", WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 54, 17, 130, 14},
        {0xFFFF, WC_STATIC, u"密码：", WS_VISIBLE | SS_RIGHT, 14, 38, 36, 10},
        {kPassword, WC_EDIT, u"secret", WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_PASSWORD, 54, 35, 130, 14},
        {0xFFFF, WC_STATIC, u"委托：", WS_VISIBLE | SS_RIGHT, 14, 56, 36, 10},
        {kReadOnly, WC_EDIT, u"市价委托", WS_VISIBLE | WS_BORDER | ES_READONLY, 54, 53, 130, 14},
        {kCheck, WC_BUTTON, u"保存账号", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 14, 72, 60, 12},
        {kCheck3, WC_BUTTON, u"保护账号", WS_VISIBLE | WS_TABSTOP | BS_AUTO3STATE, 84, 72, 60, 12},
        {kRadio1, WC_BUTTON, u"1/2", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 14, 89, 40, 12},
        {kRadio2, WC_BUTTON, u"1/3", WS_VISIBLE | BS_AUTORADIOBUTTON, 60, 89, 40, 12},
        {kRadio3, WC_BUTTON, u"1/4", WS_VISIBLE | BS_AUTORADIOBUTTON, 106, 89, 40, 12},
        {kMemo, WC_EDIT, u"公告：\r\n今日沪深两市\r\n成交活跃。\r\n第四行\r\n第五行\r\n第六行",
         WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | ES_WANTRETURN | WS_GROUP,
         7, 114, 186, 44},
        {kList, WC_LISTBOX, u"", WS_VISIBLE | WS_BORDER | WS_TABSTOP | LBS_NOTIFY | WS_VSCROLL, 7, 164, 90, 56},
        {kCombo, WC_COMBOBOX, u"", WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST | CBS_SORT, 103, 164, 90, 14},
        {kDropDown, WC_COMBOBOX, u"", WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWN, 103, 184, 90, 14},
        {kSpin, UPDOWN_CLASS, u"", WS_VISIBLE, 103, 204, 10, 16},
        {kHint, WC_STATIC, u"下单数量", WS_VISIBLE | SS_LEFT, 118, 207, 70, 10},
        {kReport, WC_LISTVIEW, u"", WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, 200, 7, 193, 96},
        {kOwnerDraw, WC_BUTTON, u"", WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 200, 110, 90, 18},
        {kBar, WC_SCROLLBAR, u"", WS_VISIBLE | SBS_HORZ, 200, 134, 193, 10},
        {kProgress, PROGRESS_CLASS, u"", WS_VISIBLE, 200, 150, 193, 10},
        {kEtched, WC_STATIC, u"", WS_VISIBLE | SS_ETCHEDHORZ, 200, 168, 193, 2},
        {0xFFFF, WC_STATIC, u"与服务器连接断开，是否重新连接？", WS_VISIBLE | SS_CENTER, 200, 174, 193, 22},
        {kTree, WC_TREEVIEW, u"", WS_VISIBLE | WS_BORDER | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
         200, 200, 193, 72},
        {IDOK, WC_BUTTON, u"确定", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, 280, 280, 54, 16},
        {IDCANCEL, WC_BUTTON, u"取消", WS_VISIBLE | WS_TABSTOP, 340, 280, 54, 16},
        {0xFFFF, WC_BUTTON, u"停用", WS_VISIBLE | WS_DISABLED, 220, 280, 54, 16},
    },
};

class GalleryDlg : public CDialog {
 public:
  GalleryDlg() : CDialog(&kGallery, nullptr) {}

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    CheckDlgButton(m_hWnd, kCheck, BST_CHECKED);
    CheckDlgButton(m_hWnd, kCheck3, BST_INDETERMINATE);
    CheckDlgButton(m_hWnd, kRadio2, BST_CHECKED);
    for (const WCHAR* s : {u"上海A股", u"深圳A股", u"创业板", u"科创板", u"北交所", u"基金"})
      SendDlgItemMessageW(m_hWnd, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    SendDlgItemMessageW(m_hWnd, kList, LB_SETCURSEL, 1, 0);
    for (const WCHAR* s : {u"资金账号", u"客户号", u"深A股东"})
      SendDlgItemMessageW(m_hWnd, kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    SendDlgItemMessageW(m_hWnd, kCombo, CB_SETCURSEL, 0, 0);
    SetDlgItemTextW(m_hWnd, kDropDown, u"8.88");
    report_.SubclassWindow(::GetDlgItem(m_hWnd, kReport));
    report_.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    report_.InsertColumn(0, u"代码", LVCFMT_LEFT, 80);
    report_.InsertColumn(1, u"名称", LVCFMT_LEFT, 90);
    const WCHAR* rows[][2] = {{u"600000", u"浦发银行"}, {u"000001", u"平安银行"}, {u"300750", u"宁德时代"}};
    for (int i = 0; i < 3; ++i) {
      report_.InsertItem(i, rows[i][0]);
      report_.SetItemText(i, 1, rows[i][1]);
    }
    report_.SetCheck(0, TRUE);
    report_.SetItemState(1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMax = 100;
    si.nPage = 20;
    si.nPos = 30;
    SetScrollInfo(::GetDlgItem(m_hWnd, kBar), SB_CTL, &si, TRUE);
    SendDlgItemMessageW(m_hWnd, kProgress, PBM_SETPOS, 60, 0);
    tree_.SubclassWindow(::GetDlgItem(m_hWnd, kTree));
    HTREEITEM trade = tree_.InsertItem(u"股票交易");
    tree_.InsertItem(u"买入", trade);
    HTREEITEM sell = tree_.InsertItem(u"卖出", trade);
    tree_.InsertItem(u"撤单", trade);
    HTREEITEM query = tree_.InsertItem(u"查询");
    tree_.InsertItem(u"资金股份", query);
    tree_.Expand(trade, TVE_EXPAND);
    tree_.SelectItem(sell);
    return TRUE;
  }
  void OnDrawItem(int id, LPDRAWITEMSTRUCT dis) override {
    if (id != kOwnerDraw) return CDialog::OnDrawItem(id, dis);
    CDC* dc = CDC::FromHandle(dis->hDC);
    CRect rc(dis->rcItem);
    bool pushed = (dis->itemState & ODS_SELECTED) != 0;
    dc->FillSolidRect(&rc, pushed ? RGB(180, 40, 40) : RGB(220, 60, 60));
    dc->SetTextColor(RGB(255, 255, 255));
    dc->SetBkMode(TRANSPARENT);
    dc->DrawText(u"自绘按钮", &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  CListCtrl report_;
  CTreeCtrl tree_;
};

class GalleryApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && std::string(platform) == "offscreen") {
      TestDesktop desktop;
      GalleryDlg dlg;
      if (!dlg.CreateIndirect(&kGallery, nullptr)) return FALSE;
      dlg.ShowWindow(SW_SHOW);
      desktop.RunUntilIdle();
      desktop.SavePng(dlg.m_hWnd, out_);
      dlg.DestroyWindow();
      return FALSE;
    }
    GalleryDlg dlg;
    dlg.DoModal();
    return FALSE;
  }
  std::string out_ = "controls_gallery.png";
};

GalleryApp theApp;

}  // namespace

int main(int argc, char** argv) {
  // The program runs in its own folder; the picture goes where the user meant.
  theApp.out_ = PathFromStartingFolder(argc > 1 ? argv[1] : theApp.out_);
  return AfxWinMain(argc, argv);
}

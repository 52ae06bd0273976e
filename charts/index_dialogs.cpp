#include "charts/index_dialogs.h"

#include "foundation/config_store.h"
#include "foundation/text_codec.h"
#include "foundation/user_folders.h"
#include "marketdata/indicator_params.h"
#include "marketdata/indicator_periods.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>

using namespace index_param_ids;

namespace {

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
constexpr DWORD kEditStyle = WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kSpinStyle = WS_VISIBLE | UDS_ARROWKEYS;
constexpr DWORD kTextStyle = WS_VISIBLE | SS_LEFT;

// Resource 1095. The row controls are placed by ArrangeRows at run time;
// the template's places only keep them apart until then.
const DialogTemplate kParamSetTemplate = {
    kDialogStyle, 0, 0, 0, 226, 129, u"指标参数设置", 8, u"MS Shell Dlg",
    {
        {kDays1, WC_STATIC, u"静态0", kTextStyle, 4, 8, 24, 10},
        {kDays2, WC_STATIC, u"静态1", kTextStyle, 4, 28, 24, 10},
        {kDays3, WC_STATIC, u"静态2", kTextStyle, 4, 48, 24, 10},
        {kEdit1, WC_EDIT, u"", kEditStyle, 30, 6, 40, 13},
        {kSpin1, UPDOWN_CLASS, u"", kSpinStyle, 70, 6, 12, 13},
        {kLabel1, WC_STATIC, u"日快线移动平均", kTextStyle, 86, 8, 130, 10},
        {kEdit2, WC_EDIT, u"", kEditStyle, 30, 26, 40, 13},
        {kSpin2, UPDOWN_CLASS, u"", kSpinStyle, 70, 26, 12, 13},
        {kLabel2, WC_STATIC, u"日慢线移动平均", kTextStyle, 86, 28, 130, 10},
        {kEdit3, WC_EDIT, u"", kEditStyle, 30, 46, 40, 13},
        {kSpin3, UPDOWN_CLASS, u"", kSpinStyle, 70, 46, 12, 13},
        {kLabel3, WC_STATIC, u"移动平均", kTextStyle, 86, 48, 130, 10},
        {kRestoreDefaults, WC_BUTTON, u"恢复缺省", WS_VISIBLE | WS_TABSTOP, 114, 108, 50, 14},
        {kClose, WC_BUTTON, u"关闭", WS_VISIBLE | WS_TABSTOP, 170, 108, 50, 14},
    },
};

// Resource 158: the text above a line across the dialog, "关闭" below it.
const DialogTemplate kHelpTemplate = {
    kDialogStyle, 0, 0, 0, 316, 183, u"指标帮助", 8, u"MS Shell Dlg",
    {
        {IDC_INDEX_HELP_TEXT, WC_EDIT, u"",
         WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 7, 7, 302,
         144},
        {5001, WC_STATIC, u"", WS_VISIBLE | SS_ETCHEDHORZ, 7, 158, 302, 1},
        {IDCANCEL, WC_BUTTON, u"关闭", WS_VISIBLE | WS_TABSTOP, 259, 164, 50, 14},
    },
};

// What the dialog shows for one indicator.
struct IndicatorPage {
  int rows;
  const WCHAR* labels[3];
  int defaults[3];
  int daysStatics;  // how many rows get "天数：" before them
  const WCHAR* caption;
};

const IndicatorPage kPages[10] = {
    {3, {u"日快线移动平均;", u"日慢线移动平均;", u"日移动平均;"}, {12, 26, 9}, 0, u"MACD[指标参数调整]"},
    {3, {u"天;", u"天;", u"天;"}, {9, 3, 3}, 3, u"KDJ[指标参数调整]"},
    {3, {u"日RSI[相对强弱];", u"日RSI[相对强弱];", u"日RSI[相对强弱];"}, {6, 12, 24}, 0, u"RSI[指标参数调整]"},
    {2, {u"日威廉指标;", u"日威廉指标;", nullptr}, {14, 28, 0}, 0, u"WR[指标参数调整]"},
    {1, {u"日布林线;", nullptr, nullptr}, {26, 0, 0}, 0, u"BOLL[指标参数调整]"},
    {3, {u"日乘离率;", u"日乘离率;", u"日乘离率;"}, {6, 12, 24}, 0, u"BIAS[指标参数调整]"},
    {3, {u"日快线移动平均;", u"日慢线移动平均;", u"日移动平均;"}, {10, 50, 10}, 0, u"DMA[指标参数调整]"},
    {1, {u"天;", nullptr, nullptr}, {14, 0, 0}, 1, u"CCI[指标参数调整]"},
    {1, {u"日情绪指标;", nullptr, nullptr}, {26, 0, 0}, 0, u"BRAR[指标参数调整]"},
    {1, {u"日心理线;", nullptr, nullptr}, {12, 0, 0}, 0, u"PSY[指标参数调整]"},
};

// The workspace parameter behind a row of an indicator; null for none.
int32_t* ParameterOf(IndicatorWorkspace* ws, int indicator, int row) {
  if (!ws) return nullptr;
  switch (indicator * 3 + row) {
    case 0: return &ws->macdShort;
    case 1: return &ws->macdLong;
    case 2: return &ws->macdMid;
    case 3: return &ws->kdjN;
    case 4: return &ws->kdjM1;
    case 5: return &ws->kdjM2;
    case 6: return &ws->rsiN1;
    case 7: return &ws->rsiN2;
    case 8: return &ws->rsiN3;
    case 9: return &ws->wrN;
    case 10: return &ws->wrN1;
    case 12: return &ws->bollN;
    case 15: return &ws->biasPeriods[0];
    case 16: return &ws->biasPeriods[1];
    case 17: return &ws->biasPeriods[2];
    case 18: return &ws->dmaShort;
    case 19: return &ws->dmaLong;
    case 20: return &ws->dmaM;
    case 21: return &ws->cciN;
    case 24: return &ws->brarN;
    case 27: return &ws->psyN;
    default: return nullptr;
  }
}

void SetEditNumber(CEdit& edit, long long value) {
  WCHAR text[24];
  char narrow[24];
  int n = std::snprintf(narrow, sizeof narrow, "%lld", value);
  for (int i = 0; i <= n; ++i) text[i] = static_cast<WCHAR>(narrow[i]);
  edit.SetWindowText(text);
}

int32_t ReadEditNumber(const CEdit& edit) {
  WCHAR text[16] = {};
  ::GetWindowTextW(edit.m_hWnd, text, 16);
  return ParsePeriodText(text);
}

// Line breaks as the edit shows them: every "\n" not after "\r" becomes "\r\n".
WString WithEditLineBreaks(const WCHAR* text) {
  WString out;
  for (const WCHAR* p = text; p && *p; ++p) {
    if (*p == u'\n' && (p == text || p[-1] != u'\r')) out += u'\r';
    out += *p;
  }
  return out;
}

bool IsWordUnit(WCHAR c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// The platform's multi-line edit breaks lines only at "\r\n": the help
// text gets a break wherever the next character would pass width pixels in
// the edit's font (Latin words and numbers are kept whole when they can be).
WString WrapToWidth(HWND edit, const WString& text, int width) {
  if (width <= 0) return text;
  HDC dc = ::GetDC(edit);
  HGDIOBJ oldFont = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(edit, WM_GETFONT, 0, 0)));
  WString out, line;
  auto widthOf = [dc](const WString& s) {
    SIZE size{};
    ::GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size);
    return static_cast<int>(size.cx);
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const WCHAR c = text[i];
    if (c == u'\r' || c == u'\n') {
      out += line;
      out += c;
      line.clear();
      continue;
    }
    if (!line.empty() && widthOf(line + c) > width) {
      // The break goes before c; a closing mark never starts a line (the
      // character before it moves down too), and Latin words and numbers
      // stay whole when they can.
      const bool closing = std::u16string_view(u"，。、；：！？）》」").find(c) != std::u16string_view::npos;
      size_t cut = closing ? line.size() - 1 : line.size();
      const WCHAR first = cut < line.size() ? line[cut] : c;
      if (IsWordUnit(first))
        while (cut > 0 && IsWordUnit(line[cut - 1])) --cut;
      if (cut == 0) cut = line.size();  // nothing to move down whole: break before c
      out += line.substr(0, cut);
      out += u"\r\n";
      line.erase(0, cut);
    }
    line += c;
  }
  out += line;
  ::SelectObject(dc, oldFont);
  ::ReleaseDC(edit, dc);
  return out;
}

}  // namespace

void RegisterIndexDialogTemplates() {
  RegisterDialogTemplate(IDD_INDEX_PARAM_SET, &kParamSetTemplate);
  RegisterDialogTemplate(IDD_INDEX_HELP, &kHelpTemplate);
}

int32_t ParsePeriodText(const WCHAR* text) {
  if (!text) return 0;
  int i = 0;
  while (i < 15 && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n')) ++i;
  bool negative = false;
  if (i < 15 && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  long long value = 0;
  for (; i < 15 && text[i] >= u'0' && text[i] <= u'9'; ++i) value = std::min(value * 10 + (text[i] - u'0'), 1LL << 32);
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

// ---------------------------------------------------------------------------

CIndexParamSetDlg::CIndexParamSetDlg(CWnd* parent) : CDialog(IDD_INDEX_PARAM_SET, parent) {}

void CIndexParamSetDlg::SetTarget(QuoteEngine* engine, int indicator, CriticalSection* chartLock) {
  engine_ = engine;
  indicator_ = indicator;
  chartLock_ = chartLock;
}

void CIndexParamSetDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, kLabel1, label1_);
  DDX_Control(dx, kLabel2, label2_);
  DDX_Control(dx, kLabel3, label3_);
  DDX_Control(dx, kSpin1, spin1_);
  DDX_Control(dx, kSpin2, spin2_);
  DDX_Control(dx, kSpin3, spin3_);
  DDX_Control(dx, kEdit1, edit1_);
  DDX_Control(dx, kEdit2, edit2_);
  DDX_Control(dx, kEdit3, edit3_);
}

BOOL CIndexParamSetDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  for (CEdit* edit : {&edit1_, &edit2_, &edit3_}) edit->LimitText(kEditLimit);
  ShowParameters();
  return TRUE;
}

int CIndexParamSetDlg::RowCount() const { return indicator_ >= 0 && indicator_ < 10 ? kPages[indicator_].rows : 0; }

void CIndexParamSetDlg::ArrangeRows() {
  const bool days = indicator_ == 1 || indicator_ == 7;
  const int x0 = days ? 43 : 5;
  CEdit* edits[3] = {&edit1_, &edit2_, &edit3_};
  CSpinButtonCtrl* spins[3] = {&spin1_, &spin2_, &spin3_};
  CStatic* labels[3] = {&label1_, &label2_, &label3_};
  const int daysIds[3] = {kDays1, kDays2, kDays3};
  for (int i = 0; i < 3; ++i) {
    const int y = 10 + 25 * i;
    CWnd* daysStatic = GetDlgItem(daysIds[i]);
    if (days) {
      daysStatic->SetWindowText(u"天数：");
      daysStatic->MoveWindow(5, y + 3, 38, 20);
      daysStatic->ShowWindow(indicator_ == 1 || i == 0 ? SW_SHOW : SW_HIDE);
    } else {
      daysStatic->ShowWindow(SW_HIDE);
    }
    edits[i]->MoveWindow(x0, y, 60, 20);
    spins[i]->MoveWindow(x0 + 60, y, 20, 20);
    labels[i]->MoveWindow(x0 + 80, y + 3, 200, 20);
    edits[i]->ShowWindow(SW_HIDE);
    spins[i]->ShowWindow(SW_HIDE);
    labels[i]->ShowWindow(SW_HIDE);
  }
}

void CIndexParamSetDlg::ShowParameters() {
  ArrangeRows();
  if (indicator_ < 0 || indicator_ >= 10) return;
  const IndicatorPage& page = kPages[indicator_];
  IndicatorWorkspace* ws = engine_ ? engine_->workspaces[0] : nullptr;
  CEdit* edits[3] = {&edit1_, &edit2_, &edit3_};
  CSpinButtonCtrl* spins[3] = {&spin1_, &spin2_, &spin3_};
  CStatic* labels[3] = {&label1_, &label2_, &label3_};
  for (int i = 0; i < page.rows; ++i) {
    if (const int32_t* parameter = ParameterOf(ws, indicator_, i)) SetEditNumber(*edits[i], LoadPeriod(*parameter));
    labels[i]->SetWindowText(page.labels[i]);
    edits[i]->ShowWindow(SW_SHOW);
    spins[i]->ShowWindow(SW_SHOW);
    labels[i]->ShowWindow(SW_SHOW);
  }
  SetWindowText(page.caption);
}

void CIndexParamSetDlg::OnRestoreDefaults() {
  CEdit* edits[3] = {&edit1_, &edit2_, &edit3_};
  for (int i = 0; i < RowCount(); ++i) SetEditNumber(*edits[i], kPages[indicator_].defaults[i]);
}

void CIndexParamSetDlg::StepEditValue(CEdit& edit, int delta) {
  // The upper arrow (-1) raises, the lower (+1) lowers; an empty or
  // unreadable edit counts as 0 and so steps to the lowest period.
  const long long value = static_cast<long long>(ReadEditNumber(edit)) - delta;
  SetEditNumber(edit, std::clamp<long long>(value, kMinPeriod, kMaxPeriod));
}

void CIndexParamSetDlg::OnSaveAndClose() {
  IndicatorWorkspace* ws = engine_ ? engine_->workspaces[0] : nullptr;
  if (ws) {
    char text[kIndexParameterTextRoom];
    int length;
    {
      std::unique_lock<CriticalSection> hold;
      if (chartLock_) hold = std::unique_lock<CriticalSection>(*chartLock_);
      CEdit* edits[3] = {&edit1_, &edit2_, &edit3_};
      for (int i = 0; i < RowCount(); ++i) {
        const int32_t value = ReadEditNumber(*edits[i]);
        int32_t* parameter = ParameterOf(ws, indicator_, i);
        if (parameter && value >= kMinPeriod) StorePeriod(*parameter, std::min(value, kMaxPeriod));
      }
      length = WriteIndexParameterXml(ws, text, sizeof text);
    }
    if (length < 0 || !WriteDataFile(kIndexParameterFile, text, length))
      ::MessageBoxW(m_hWnd, u"\n指标参数保存失败\n", u"提示", MB_OK | MB_ICONINFORMATION);
    else
      LoadIndexParameterFile(engine_->workspaces, kIndicatorWorkspaces);
  }
  EndDialog(IDCANCEL);
}

BOOL CIndexParamSetDlg::OnCmdMsg(UINT id, int code) {
  if (code == static_cast<int>(BN_CLICKED) && id == static_cast<UINT>(kRestoreDefaults)) {
    OnRestoreDefaults();
    return TRUE;
  }
  if (code == static_cast<int>(BN_CLICKED) && id == static_cast<UINT>(kClose)) {
    OnSaveAndClose();
    return TRUE;
  }
  return CDialog::OnCmdMsg(id, code);
}

BOOL CIndexParamSetDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  if (header && header->code == UDN_DELTAPOS) {
    CEdit* edit = header->idFrom == static_cast<UINT_PTR>(kSpin1)   ? &edit1_
                  : header->idFrom == static_cast<UINT_PTR>(kSpin2) ? &edit2_
                  : header->idFrom == static_cast<UINT_PTR>(kSpin3) ? &edit3_
                                                                    : nullptr;
    if (edit) {
      StepEditValue(*edit, reinterpret_cast<const NMUPDOWN*>(lParam)->iDelta);
      if (result) *result = 0;
      return TRUE;
    }
  }
  return CDialog::OnNotify(wParam, lParam, result);
}

void CIndexParamSetDlg::OnClose() {
  OnSaveAndClose();
  CDialog::OnClose();
}

// ---------------------------------------------------------------------------

CIndexHelpDlg::CIndexHelpDlg(const WCHAR* name, CWnd* parent)
    : CDialog(IDD_INDEX_HELP, parent), name_(name ? name : u"") {}

void CIndexHelpDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Text(dx, IDC_INDEX_HELP_TEXT, text_);
}

BOOL CIndexHelpDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  char* name = Utf16ToUtf8Alloc(name_.c_str());
  char* help = GetIndexHelpText(name);
  WCHAR* wide = Utf8ToUtf16Alloc(help ? help : "");
  text_ = WithEditLineBreaks(wide);
  std::free(wide);
  std::free(help);
  std::free(name);
  if (HWND edit = ::GetDlgItem(m_hWnd, IDC_INDEX_HELP_TEXT)) {
    RECT client{};
    ::GetClientRect(edit, &client);
    text_ = WrapToWidth(edit, text_, client.right - ::GetSystemMetrics(SM_CXVSCROLL) - 8);
  }
  UpdateData(FALSE);
  SetWindowText(name_);
  return TRUE;
}

#include "trading/ui/change_pass_view.h"

#include <cstring>

#include "foundation/text_codec.h"
#include "trading/trade_requests.h"
#include "trading/ui/trade_page_font.h"

namespace {

std::string Narrow(const WString& text) {
  char* narrow = Utf16ToUtf8Alloc(text.c_str());
  std::string out = narrow ? narrow : "";
  free(narrow);
  return out;
}

int Ask(HWND owner, const WCHAR* text, UINT buttons) {
  return MessageBoxW(owner, text, u"提示", buttons | MB_ICONQUESTION);
}

}  // namespace

CChangePassView::CChangePassView() = default;

CChangePassView::~CChangePassView() {
  inbox_.AbandonAll();
  if (m_hWnd) DestroyWindow();
  if (font_) DeleteObject(font_);
}

BOOL CChangePassView::CreatePage(CWnd* parent, UINT id, TradeSession* session) {
  session_ = session;
  if (!Create(nullptr, u"", WS_CHILD, CRect(0, 0, 0, 0), parent, id)) return FALSE;
  inbox_.Attach(m_hWnd, session_);
  return TRUE;
}

int CChangePassView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  font_ = CreateTradePageFont();
  const DWORD right = WS_CHILD | WS_VISIBLE | SS_RIGHT | SS_CENTERIMAGE;
  const DWORD edit = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_PASSWORD | ES_AUTOHSCROLL;
  hint_.Create(u"您最多可以设置6位新密码，建议使用新密码，只允许输入0-9", WS_CHILD | SS_LEFT, CRect(20, 30, 350, 50), this,
               kHint);
  typeCaption_.Create(u"选择密码类型：", right, CRect(20, 60, 130, 80), this, kTypeCaption);
  types_.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, CRect(135, 60, 235, 80), this, kTypeList);
  currentCaption_.Create(u"当前交易密码：", right, CRect(20, 90, 130, 110), this, kCurrentCaption);
  current_.Create(edit, CRect(135, 90, 235, 110), this, kCurrentEdit);
  newCaption_.Create(u"新交易密码：", right, CRect(20, 120, 130, 140), this, kNewCaption);
  new_.Create(edit, CRect(135, 120, 235, 140), this, kNewEdit);
  repeatCaption_.Create(u"确认新交易密码：", right, CRect(20, 150, 130, 170), this, kRepeatCaption);
  repeat_.Create(edit, CRect(135, 150, 235, 170), this, kRepeatEdit);
  change_.Create(u"更改", WS_CHILD | WS_VISIBLE | WS_TABSTOP, CRect(135, 180, 175, 205), this, kChangeButton);
  change_.SetButtonType(1);
  change_.SetNormalImage(u"res\\trade_btn_bg.png", RGB(255, 0, 255));
  change_.SetHotImage(u"res\\trade_btn_sel_bg.png", RGB(255, 0, 255));
  change_.SetTextColor(RGB(0, 0, 0));
  for (CWnd* w : std::initializer_list<CWnd*>{&hint_, &typeCaption_, &types_, &currentCaption_, &current_, &newCaption_,
                                              &new_, &repeatCaption_, &repeat_, &change_})
    w->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  background_.Load(u"res\\deal_bg.png");
  return 0;
}

void CChangePassView::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  if (background_.IsNull()) dc.FillSolidRect(&rc, RGB(0xF4, 0xF7, 0xFB));
  else background_.Draw(dc.m_hDC, rc);
}

HBRUSH CChangePassView::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) {
  if (ctlColor != CTLCOLOR_STATIC) return CWnd::OnCtlColor(dc, wnd, ctlColor);
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextColor(wnd && wnd->GetDlgCtrlID() == static_cast<int>(kHint) ? RGB(255, 0, 0) : RGB(0, 0, 0));
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void CChangePassView::Reset() {
  types_.ResetContent();
  types_.AddString(u"交易密码");
  types_.SetCurSel(0);
  EmptyEdits(true);
}

void CChangePassView::EmptyEdits(bool all) {
  if (all) current_.SetWindowText(u"");
  new_.SetWindowText(u"");
  repeat_.SetWindowText(u"");
}

void CChangePassView::Change() {
  const WString current = current_.GetWindowText();
  const WString next = new_.GetWindowText();
  const WString repeat = repeat_.GetWindowText();
  if (current.empty()) return (void)Ask(m_hWnd, u"请输入当前交易密码", MB_OK);
  if (next.empty()) return (void)Ask(m_hWnd, u"请输入新交易密码", MB_OK);
  if (repeat.empty()) return (void)Ask(m_hWnd, u"请确认新交易密码", MB_OK);
  if (repeat != next) {
    // An OK-only box: its one answer empties the new password and its repeat.
    Ask(m_hWnd, u"两次输入交易密码不一致，请重新输入！", MB_OK);
    EmptyEdits(false);
    return;
  }
  if (Ask(m_hWnd, u"确认要修改吗？点“是”修改，点“否”不改", MB_YESNO) != IDYES) return;
  // One change at a time: a second one replaces the first.
  inbox_.Restart();
  const std::string current8 = Narrow(current);
  const std::string next8 = Narrow(next);
  inbox_.Sent(RequestPasswordChange(session_, TradeReplyInbox::Notify, inbox_.User(), current8.c_str(), next8.c_str()));
}

BOOL CChangePassView::OnCmdMsg(UINT id, int code) {
  if (id == kChangeButton && code == BN_CLICKED) {
    Change();
    return TRUE;
  }
  return CWnd::OnCmdMsg(id, code);
}

LRESULT CChangePassView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_TRADE_REPLY) return CWnd::WindowProc(message, wParam, lParam);
  for (TradeInboxItem item = inbox_.Take(); item.status >= 0; item = inbox_.Take()) {
    if (item.status != 0) {
      ShowTradeMessage(m_hWnd, item.status == 2 ? u"网络连接超时！" : u"网络连接失败！");
      continue;
    }
    WCHAR* text = Utf8ToUtf16Alloc(item.reply->message);
    Ask(m_hWnd, text ? text : u"", MB_OK);  // its one answer, OK, empties the fields
    free(text);
    EmptyEdits(true);
  }
  Invalidate();
  return 1;
}

#include "controls/soft_keyboard.h"

#include <cstdio>
#include <utility>

#include "foundation/draw_helpers.h"
#include "foundation/debug_trace.h"
#include "platform/kernel/kernel_utf.h"

namespace {

constexpr const WCHAR* kClassName = u"VexloSoftKeyboard";
constexpr const WCHAR* kBackground = u"res\\background.png";
constexpr const WCHAR* kKeyPicture = u"res\\key.png";
constexpr const WCHAR* kOtherPicture = u"res\\other.png";
constexpr const WCHAR* kEnterPicture = u"res\\enter.png";
constexpr const WCHAR* kNotice = u"为了您的交易安全，请使用密码软键盘输入";
constexpr COLORREF kPictureKey = 0xFF00FF;
constexpr COLORREF kNoticeColor = 0x8C8C8C;
constexpr DWORD kKeyStyle = 0x54000300;    // WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_CENTER
constexpr DWORD kNoticeStyle = 0x50000001;  // WS_CHILD | WS_VISIBLE | SS_CENTER
constexpr int kGap = 3;

SoftKeyRandom g_defaultRandom;
SoftKeyRandom* g_random = nullptr;
SoftKeyRandom& Random() { return g_random ? *g_random : g_defaultRandom; }

// The size of a picture file; (0, 0) with a trace naming it when it cannot
// be read.
SIZE PictureSize(const WCHAR* path) {
  CImage image;
  if (image.Load(path) != S_OK) {
    DebugPrintf("VexloSoftKeyboardWnd: cannot load %s\n", WideToUtf8(path).c_str());
    return SIZE{0, 0};
  }
  return SIZE{image.GetWidth(), image.GetHeight()};
}

void SwapCaptions(CWnd* a, CWnd* b) {
  if (a == b) return;
  WString ta = a->GetWindowText(), tb = b->GetWindowText();
  a->SetWindowText(tb);
  b->SetWindowText(ta);
}

// The keyboard dialog: a borderless pop-up without controls whose size is
// replaced by the keyboard's at every showing.
const DialogTemplate* SoftKeyTemplate() {
  static const DialogTemplate tmpl = [] {
    DialogTemplate t;
    t.style = WS_POPUP | DS_SETFONT | DS_FIXEDSYS;
    t.cx = 200;
    t.cy = 100;
    t.pointSize = 9;
    return t;
  }();
  return &tmpl;
}

}  // namespace

// ---------------------------------------------------------------------------
// VexloSoftKeyboardWnd

VexloSoftKeyboardWnd::VexloSoftKeyboardWnd()
    : font_(std::make_unique<CFont>()),
      background_(std::make_unique<CImage>()),
      label_(std::make_unique<CStatic>()),
      exit_(std::make_unique<FooButton>()),
      ok_(std::make_unique<FooButton>()),
      delete_(std::make_unique<FooButton>()),
      case_(std::make_unique<FooButton>()) {
  if (background_->Load(kBackground) != S_OK)
    DebugPrintf("VexloSoftKeyboardWnd: cannot load %s\n", WideToUtf8(kBackground).c_str());
}

VexloSoftKeyboardWnd::~VexloSoftKeyboardWnd() {
  if (m_hWnd) DestroyWindow();
}

void VexloSoftKeyboardWnd::SetRandomSource(SoftKeyRandom* source) { g_random = source; }

BOOL VexloSoftKeyboardWnd::Create(POINT origin, CWnd* parent, UINT id, void*) {
  const WCHAR* className = kClassName;
  WNDCLASSW existing;
  if (!GetClassInfoW(nullptr, kClassName, &existing)) {
    WNDCLASSW wc;
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_PARENTDC;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    wc.lpszClassName = kClassName;
    if (!RegisterClassW(&wc)) className = nullptr;
  }
  const int w = background_->IsNull() ? 0 : background_->GetWidth();
  const int h = background_->IsNull() ? 0 : background_->GetHeight();
  return CWnd::Create(className, kClassName, WS_CHILD | WS_VISIBLE,
                      CRect(origin.x, origin.y, origin.x + w, origin.y + h), parent, id);
}

int VexloSoftKeyboardWnd::OnCreate(LPCREATESTRUCT) {
  font_->CreateFont(ScaleFontHeight(14), 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 5, 0, GetUiFontFace());

  const SIZE key = PictureSize(kKeyPicture);
  const int kw = key.cx, kh = key.cy;
  for (int i = 0; i < kCharacterKeys; ++i) {
    const int x = kGap + (i % 10) * (kw + kGap), y = kGap + (i / 10) * (kh + kGap);
    keys_[i] = std::make_unique<FooButton>();
    CreateKey(keys_[i].get(), CRect(x, y, x + kw, y + kh), kKeyPicture, kKeyPicture, IDC_SOFTKEY_FIRST + i, u"",
              font_.get());
  }

  // Key 35 ends row 3 at column 5: delete at column 6, confirm after it.
  const SIZE other = PictureSize(kOtherPicture);
  const int ow = other.cx, oh = other.cy;
  const int row3 = kGap + 3 * (kh + kGap);
  const int deleteX = kGap + 6 * (kw + kGap);
  CreateKey(delete_.get(), CRect(deleteX, row3, deleteX + ow, row3 + oh), kOtherPicture, kOtherPicture,
            IDC_SOFTKEY_DELETE, u"删除", font_.get());
  const SIZE enter = PictureSize(kEnterPicture);
  const int okX = deleteX + ow + kGap;
  CreateKey(ok_.get(), CRect(okX, row3, okX + enter.cx, row3 + enter.cy), kEnterPicture, kEnterPicture,
            IDC_SOFTKEY_OK, u"确定", font_.get());
  ok_->SetTextLayout(0);

  const int row5 = row3 + oh + kGap;
  CreateKey(case_.get(), CRect(kGap, row5, kGap + ow, row5 + oh), kOtherPicture, kOtherPicture, IDC_SOFTKEY_CASE,
            u"大小写", font_.get());
  const int exitX = kGap + ow + kGap;
  CreateKey(exit_.get(), CRect(exitX, row5, exitX + ow, row5 + oh), kOtherPicture, kOtherPicture,
            IDC_SOFTKEY_EXIT, u"退出", font_.get());

  const int bw = background_->IsNull() ? 0 : background_->GetWidth();
  const int bh = background_->IsNull() ? 0 : background_->GetHeight();
  label_->Create(kNotice, kNoticeStyle, CRect(kGap, row5 + oh + 6, bw - kGap, bh - kGap), this, IDC_SOFTKEY_LABEL);
  label_->SetFont(font_.get(), TRUE);
  label_->ShowWindow(SW_SHOW);

  for (int i = 0; i < 10; ++i) keys_[i]->SetWindowText(WString(1, static_cast<char16_t>(u'0' + i)));
  for (int j = 0; j < 26; ++j) keys_[10 + j]->SetWindowText(WString(1, static_cast<char16_t>(u'a' + j)));
  return 0;
}

void VexloSoftKeyboardWnd::CreateKey(FooButton* key, const RECT& rect, const WCHAR* normal, const WCHAR* pressed,
                                     UINT id, const WCHAR* caption, CFont* font) {
  key->Create(caption, kKeyStyle, rect, this, id);
  key->SetButtonType(1);
  key->SetNormalImage(normal, kPictureKey);
  key->SetPressedImage(pressed, kPictureKey);
  if (font) key->SetFont(font, TRUE);
}

void VexloSoftKeyboardWnd::ShuffleKeys() {
  if (!keys_[0]) return;
  SoftKeyRandom& random = Random();
  random.Seed(random.Now());
  for (int i = 0; i < 10; ++i) {
    const int r = random.Next() % 10;
    SwapCaptions(keys_[r].get(), keys_[i].get());
  }
  for (int j = 0; j < 26; ++j) {
    const int r = random.Next() % 26;
    SwapCaptions(keys_[10 + r].get(), keys_[10 + j].get());
  }
}

void VexloSoftKeyboardWnd::ToggleCase() {
  for (int i = 10; i < kCharacterKeys; ++i) {
    if (!keys_[i] || !keys_[i]->m_hWnd) continue;
    WString text = keys_[i]->GetWindowText();
    if (text.empty()) continue;
    const bool lower = text[0] >= u'a' && text[0] <= u'z';
    for (char16_t& c : text) {
      if (lower && c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
      if (!lower && c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    keys_[i]->SetWindowText(text);
    keys_[i]->Invalidate();
  }
}

BOOL VexloSoftKeyboardWnd::OnCmdMsg(UINT id, int code) {
  if (id < IDC_SOFTKEY_OK || id >= IDC_SOFTKEY_FIRST + kCharacterKeys || code != BN_CLICKED)
    return CWnd::OnCmdMsg(id, code);
  CWnd* parent = GetParent();
  if (!parent) return TRUE;
  switch (id) {
    case IDC_SOFTKEY_OK:
      parent->SendMessage(WM_SOFTKEY_INPUT, kSoftKeyConfirm, 0);
      break;
    case IDC_SOFTKEY_EXIT:
      parent->SendMessage(WM_SOFTKEY_INPUT, kSoftKeyExit, 0);
      break;
    case IDC_SOFTKEY_DELETE:
      parent->SendMessage(WM_SOFTKEY_INPUT, kSoftKeyDelete, 0);
      break;
    case IDC_SOFTKEY_CASE:
      ToggleCase();
      break;
    default: {
      const WString text = keys_[id - IDC_SOFTKEY_FIRST]->GetWindowText();
      parent->SendMessage(WM_SOFTKEY_INPUT, kSoftKeyText, reinterpret_cast<LPARAM>(text.c_str()));
      break;
    }
  }
  return TRUE;
}

void VexloSoftKeyboardWnd::OnPaint() {
  if (IsIconic()) {
    CWnd::OnPaint();
    return;
  }
  CPaintDC dc(this);
  if (!background_->IsNull()) background_->Draw(dc.m_hDC, 0, 0);
}

HBRUSH VexloSoftKeyboardWnd::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) {
  if (wnd && wnd->GetDlgCtrlID() == static_cast<int>(IDC_SOFTKEY_LABEL)) {
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(kNoticeColor);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  }
  return CWnd::OnCtlColor(dc, wnd, ctlColor);
}

// ---------------------------------------------------------------------------
// VexloSoftKeyDlg

VexloSoftKeyDlg::VexloSoftKeyDlg(CWnd* parent) : SoftKeyDialogBase(IDD_SOFTKEY, parent) {
  if (!FindDialogTemplate(IDD_SOFTKEY)) RegisterDialogTemplate(IDD_SOFTKEY, SoftKeyTemplate());
}

VexloSoftKeyDlg::~VexloSoftKeyDlg() {
  if (m_hWnd) DestroyWindow();
  keyboard_.reset();
  target_ = nullptr;
}

BOOL VexloSoftKeyDlg::Create(CWnd* parent) { return SoftKeyDialogBase::Create(IDD_SOFTKEY, parent); }

void VexloSoftKeyDlg::BuildKeyboard() {
  if (keyboard_ && keyboard_->m_hWnd) keyboard_->DestroyWindow();
  keyboard_ = std::make_unique<VexloSoftKeyboardWnd>();
  keyboard_->Create(POINT{0, 0}, this, IDC_SOFTKEYBOARD);
  keyboard_->ShuffleKeys();
  CRect rc;
  keyboard_->GetWindowRect(&rc);
  SetWindowPos(nullptr, 0, 0, rc.Width(), rc.Height(), SWP_NOMOVE | SWP_NOOWNERZORDER);
}

BOOL VexloSoftKeyDlg::OnInitDialog() {
  SoftKeyDialogBase::OnInitDialog();
  BuildKeyboard();
  return TRUE;
}

void VexloSoftKeyDlg::OnShowWindow(BOOL show, UINT status) {
  SoftKeyDialogBase::OnShowWindow(show, status);
  if (!show || modal_ || status != 0) return;
  BuildKeyboard();
  SetWindowPos(nullptr, x_, y_, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void VexloSoftKeyDlg::OnActivate(UINT state, CWnd* other, BOOL minimized) {
  SoftKeyDialogBase::OnActivate(state, other, minimized);
  if (state == WA_ACTIVE && keyboard_) SetWindowPos(nullptr, x_, y_, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void VexloSoftKeyDlg::OnOK() {}

void VexloSoftKeyDlg::OnCancel() { Close(); }

void VexloSoftKeyDlg::Close() {
  if (modal_)
    EndDialog(IDCANCEL);
  else
    ShowWindow(SW_HIDE);
}

LRESULT VexloSoftKeyDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_SOFTKEY_INPUT) return SoftKeyDialogBase::WindowProc(message, wParam, lParam);
  if (!target_) return 0;
  if (wParam == kSoftKeyConfirm || wParam == kSoftKeyExit)
    OnCancel();
  else
    target_->SendMessage(WM_SOFTKEY_INPUT, wParam, lParam);
  return 0;
}

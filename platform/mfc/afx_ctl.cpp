// Framework classes of the controls, menus and dialogs (afx_controls.h).
#include "platform/mfc/afx_controls.h"

#include <map>
#include <mutex>
#include <string>

// ---------------------------------------------------------------------------
// Reflection.

void CButton::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_DRAWITEM) {
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    if (result) *result = TRUE;
    return TRUE;
  }
  return CWnd::OnChildNotify(message, wParam, lParam, result);
}

namespace {
BOOL ReflectColor(UINT message, WPARAM wParam, LRESULT* result, HBRUSH (*ask)(void*, CDC*, UINT), void* self) {
  if (message < WM_CTLCOLORMSGBOX || message > WM_CTLCOLORSTATIC) return FALSE;
  HBRUSH b = ask(self, CDC::FromHandle(reinterpret_cast<HDC>(wParam)), message - WM_CTLCOLORMSGBOX);
  if (!b) return FALSE;
  if (result) *result = reinterpret_cast<LRESULT>(b);
  return TRUE;
}
}  // namespace

HBRUSH CEdit::CtlColor(CDC*, UINT) { return nullptr; }
BOOL CEdit::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (ReflectColor(message, wParam, result,
                   [](void* s, CDC* dc, UINT c) { return static_cast<CEdit*>(s)->CtlColor(dc, c); }, this))
    return TRUE;
  return CWnd::OnChildNotify(message, wParam, lParam, result);
}

HBRUSH CStatic::CtlColor(CDC*, UINT) { return nullptr; }
BOOL CStatic::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (ReflectColor(message, wParam, result,
                   [](void* s, CDC* dc, UINT c) { return static_cast<CStatic*>(s)->CtlColor(dc, c); }, this))
    return TRUE;
  return CWnd::OnChildNotify(message, wParam, lParam, result);
}

WString CListBox::GetText(int index) const {
  int len = static_cast<int>(SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index)));
  if (len < 0) return {};
  WString s(static_cast<size_t>(len) + 1, u'\0');
  SendMessage(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.data()));
  s.resize(static_cast<size_t>(len));
  return s;
}

WString CComboBox::GetLBText(int index) const {
  int len = static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index)));
  if (len < 0) return {};
  WString s(static_cast<size_t>(len) + 1, u'\0');
  SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.data()));
  s.resize(static_cast<size_t>(len));
  return s;
}

// ---------------------------------------------------------------------------
// Menus.

namespace {
std::mutex& MenuMapLock() {
  static std::mutex m;
  return m;
}
std::map<HMENU, CMenu*>& MenuMap() {
  static std::map<HMENU, CMenu*> m;
  return m;
}
std::map<HMENU, std::unique_ptr<CMenu>>& TempMenus() {
  static std::map<HMENU, std::unique_ptr<CMenu>> m;
  return m;
}
}  // namespace

CMenu::~CMenu() {
  if (!temporary_) DestroyMenu();
}

BOOL CMenu::Attach(HMENU menu) {
  if (!menu || m_hMenu) return FALSE;
  m_hMenu = menu;
  if (!temporary_) {
    std::lock_guard<std::mutex> g(MenuMapLock());
    MenuMap()[menu] = this;
  }
  return TRUE;
}

HMENU CMenu::Detach() {
  HMENU m = m_hMenu;
  if (m && !temporary_) {
    std::lock_guard<std::mutex> g(MenuMapLock());
    auto it = MenuMap().find(m);
    if (it != MenuMap().end() && it->second == this) MenuMap().erase(it);
  }
  m_hMenu = nullptr;
  return m;
}

BOOL CMenu::DestroyMenu() {
  if (!m_hMenu) return FALSE;
  return ::DestroyMenu(Detach());
}

CMenu* CMenu::FromHandlePermanent(HMENU menu) {
  std::lock_guard<std::mutex> g(MenuMapLock());
  auto it = MenuMap().find(menu);
  return it == MenuMap().end() ? nullptr : it->second;
}

CMenu* CMenu::FromHandle(HMENU menu) {
  if (!menu) return nullptr;
  if (CMenu* m = FromHandlePermanent(menu)) return m;
  std::lock_guard<std::mutex> g(MenuMapLock());
  auto& slot = TempMenus()[menu];
  if (!slot) {
    slot = std::make_unique<CMenu>();
    slot->temporary_ = true;
    slot->m_hMenu = menu;
  }
  return slot.get();
}

void CMenu::DrawItem(LPDRAWITEMSTRUCT) {}
void CMenu::MeasureItem(LPMEASUREITEMSTRUCT) {}

BOOL AfxDrawMenuItem(LPDRAWITEMSTRUCT dis) {
  CMenu* m = CMenu::FromHandlePermanent(reinterpret_cast<HMENU>(dis->hwndItem));
  if (!m) return FALSE;
  m->DrawItem(dis);
  return TRUE;
}

BOOL AfxMeasureMenuItem(LPMEASUREITEMSTRUCT mis) {
  // The item's menu is not in the structure: ask every menu object that
  // holds an owner-drawn item with this id (the tracked menus).
  std::vector<CMenu*> menus;
  {
    std::lock_guard<std::mutex> g(MenuMapLock());
    for (auto& [h, m] : MenuMap()) menus.push_back(m);
  }
  for (CMenu* m : menus) {
    MENUITEMINFOW info;
    info.fMask = MIIM_TYPE | MIIM_DATA;
    if (!::GetMenuItemInfoW(m->m_hMenu, mis->itemID, FALSE, &info)) continue;
    if (!(info.fType & MFT_OWNERDRAW) || info.dwItemData != mis->itemData) continue;
    m->MeasureItem(mis);
    return TRUE;
  }
  // An owner-drawn item that opens a submenu is not found by command (its
  // id is the submenu's handle): look for it by position.
  for (CMenu* m : menus) {
    int count = ::GetMenuItemCount(m->m_hMenu);
    for (int i = 0; i < count; ++i) {
      MENUITEMINFOW info;
      info.fMask = MIIM_TYPE | MIIM_DATA | MIIM_ID | MIIM_SUBMENU;
      if (!::GetMenuItemInfoW(m->m_hMenu, static_cast<UINT>(i), TRUE, &info)) continue;
      if (!info.hSubMenu || !(info.fType & MFT_OWNERDRAW)) continue;
      if (info.wID != mis->itemID || info.dwItemData != mis->itemData) continue;
      m->MeasureItem(mis);
      return TRUE;
    }
  }
  return FALSE;
}

// ---------------------------------------------------------------------------
// Data exchange.

namespace {
HWND Item(CDataExchange* dx, int id) { return ::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id); }
}  // namespace

void DDX_Text(CDataExchange* dx, int id, WString& value) {
  HWND c = Item(dx, id);
  if (!c) return;
  if (dx->m_bSaveAndValidate) value = GetWindowTextString(c);
  else SetWindowTextW(c, value.c_str());
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
  if (dx->m_bSaveAndValidate) {
    BOOL ok = FALSE;
    UINT v = GetDlgItemInt(dx->m_pDlgWnd->m_hWnd, id, &ok, TRUE);
    if (ok) value = static_cast<int>(v);
  } else {
    SetDlgItemInt(dx->m_pDlgWnd->m_hWnd, id, static_cast<UINT>(value), TRUE);
  }
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
  HWND c = Item(dx, id);
  if (!c) return;
  if (dx->m_bSaveAndValidate) value = static_cast<int>(SendMessageW(c, BM_GETCHECK, 0, 0));
  else SendMessageW(c, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
  HWND first = Item(dx, id);
  if (!first) return;
  if (dx->m_bSaveAndValidate) value = -1;
  int index = 0;
  for (HWND c = first; c; c = GetWindow(c, GW_HWNDNEXT), ++index) {
    if (c != first && (GetWindowLongPtrW(c, GWL_STYLE) & WS_GROUP)) break;
    if (dx->m_bSaveAndValidate) {
      if (SendMessageW(c, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
    } else {
      SendMessageW(c, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
    }
  }
}

void DDX_CBIndex(CDataExchange* dx, int id, int& index) {
  HWND c = Item(dx, id);
  if (!c) return;
  if (dx->m_bSaveAndValidate) index = static_cast<int>(SendMessageW(c, CB_GETCURSEL, 0, 0));
  else SendMessageW(c, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void DDX_LBIndex(CDataExchange* dx, int id, int& index) {
  HWND c = Item(dx, id);
  if (!c) return;
  if (dx->m_bSaveAndValidate) index = static_cast<int>(SendMessageW(c, LB_GETCURSEL, 0, 0));
  else SendMessageW(c, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (control.m_hWnd) return;
  HWND c = Item(dx, id);
  if (c) control.SubclassWindow(c);
}

// ---------------------------------------------------------------------------
// CDialog.

const DialogTemplate* CDialog::Template() const {
  return m_lpTemplate ? m_lpTemplate : FindDialogTemplate(static_cast<int>(m_nIDTemplate));
}

namespace {
BOOL DialogFilter(MSG* msg) { return AfxPreTranslateMessage(msg); }
}  // namespace

INT_PTR CDialog::DoModal() {
  const DialogTemplate* t = Template();
  if (!t) return -1;
  HWND parent = m_pParentWnd ? m_pParentWnd->m_hWnd : (AfxGetMainWnd() ? AfxGetMainWnd()->m_hWnd : GetActiveWindow());
  modal_ = true;
  HWND dlg = CreateDialogIndirectParamW(nullptr, t, parent, nullptr, 0, [this](HWND h) { SubclassWindow(h); });
  if (!dlg) {
    modal_ = false;
    return -1;
  }
  INT_PTR r = RunModalDialog(dlg, parent, DialogFilter);
  modal_ = false;
  if (::IsWindow(dlg)) ::DestroyWindow(dlg);
  return r;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
  m_nIDTemplate = templateId;
  return CreateIndirect(Template(), parent);
}

BOOL CDialog::CreateIndirect(const DialogTemplate* tmpl, CWnd* parent) {
  if (!tmpl) return FALSE;
  if (parent) m_pParentWnd = parent;
  HWND h = CreateDialogIndirectParamW(nullptr, tmpl, m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr, nullptr, 0,
                                      [this](HWND w) { SubclassWindow(w); });
  return h != nullptr;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL save) {
  CDataExchange dx(this, save);
  DoDataExchange(&dx);
  return TRUE;
}

void CDialog::EndDialog(int result) {
  ::EndDialog(m_hWnd, result);
  if (!modal_) ShowWindow(SW_HIDE);  // a modeless dialog is hidden; its owner destroys it
}

void CDialog::CenterWindow(CWnd* alternateOwner) {
  RECT me, area;
  GetWindowRect(&me);
  HWND owner = alternateOwner ? alternateOwner->m_hWnd : ::GetWindow(m_hWnd, GW_OWNER);
  if (!owner && (GetStyle() & WS_CHILD)) owner = ::GetParent(m_hWnd);
  if (owner && ::IsWindowVisible(owner)) {
    ::GetWindowRect(owner, &area);
  } else {
    area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  int w = me.right - me.left, h = me.bottom - me.top;
  POINT p{area.left + (area.right - area.left - w) / 2, area.top + (area.bottom - area.top - h) / 2};
  if (GetStyle() & WS_CHILD) ::ScreenToClient(::GetParent(m_hWnd), &p);
  ::SetWindowPos(m_hWnd, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialog::NextDlgCtrl() const { SendMessage(WM_NEXTDLGCTL, 0, 0); }
void CDialog::PrevDlgCtrl() const { SendMessage(WM_NEXTDLGCTL, 1, 0); }
void CDialog::GotoDlgCtrl(CWnd* control) {
  if (control) SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control->m_hWnd), TRUE);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return OnInitDialog();
  return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::OnCmdMsg(UINT id, int code) {
  if (code == static_cast<int>(BN_CLICKED)) {
    if (id == static_cast<UINT>(IDOK)) {
      OnOK();
      return TRUE;
    }
    if (id == static_cast<UINT>(IDCANCEL)) {
      OnCancel();
      return TRUE;
    }
  }
  return CWnd::OnCmdMsg(id, code);
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
  if (msg->message < WM_KEYDOWN || msg->message > WM_SYSCHAR) return FALSE;
  if (msg->hwnd != m_hWnd && !::IsChild(m_hWnd, msg->hwnd)) return FALSE;
  return IsDialogMessageW(m_hWnd, msg);
}

// ---------------------------------------------------------------------------
// Message boxes.

namespace {
std::mutex& AppNameLock() {
  static std::mutex m;
  return m;
}
WString& AppName() {
  static WString name;
  return name;
}
}  // namespace

void AfxSetAppName(const WString& name) {
  std::lock_guard<std::mutex> g(AppNameLock());
  AppName() = name;
}

const WString& AfxGetAppName() {
  std::lock_guard<std::mutex> g(AppNameLock());
  return AppName();
}

int AfxMessageBox(LPCWSTR text, UINT type, UINT) {
  WString caption = AfxGetAppName();
  HWND owner = nullptr;
  if (IsUiThread() && AfxGetMainWnd()) owner = AfxGetMainWnd()->m_hWnd;
  return MessageBoxW(owner, text, caption.c_str(), type);
}

int AfxMessageBox(const WString& text, UINT type, UINT helpId) { return AfxMessageBox(text.c_str(), type, helpId); }

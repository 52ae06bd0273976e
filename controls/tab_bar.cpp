// CTabBar and CTabButton: adding, selecting, closing and laying out tabs,
// the show-more menu, and drawing tabs from their picture strips.
#include "controls/tab_bar.h"

#include "foundation/draw_helpers.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_ini.h"

#include <QString>

#include <cstring>

namespace {

constexpr int kTitleBytes = 63;                 // a title's longest text
constexpr COLORREF kCloseKey = RGB(73, 73, 73);  // 0x494949
constexpr UINT kTitleFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_WORD_ELLIPSIS;  // 0x40025
constexpr int kSliceWidth = 10;                  // the fixed ends of a tab's background

// A theme value, at most 255 characters; empty when missing.
std::string ThemeValue(const std::string& theme, const std::string& section, const char* key) {
  char value[256] = {};
  GetPrivateProfileStringA(section.c_str(), key, "", value, sizeof(value), theme.c_str());
  return value;
}

// The number of bytes of title kept: at most 63, never inside a UTF-8 form.
size_t CutTitle(const char* title) {
  size_t n = strnlen(title, kTitleBytes + 1);
  if (n <= kTitleBytes) return n;
  n = kTitleBytes;
  while (n > 0 && (static_cast<unsigned char>(title[n]) & 0xC0) == 0x80) --n;
  return n;
}

// The title as window text; bytes that are no UTF-8 become U+FFFD.
WString TitleText(const char* title) {
  return QString::fromUtf8(title, static_cast<qsizetype>(strnlen(title, kTitleBytes + 1))).toStdU16String();
}

WString Wide(const std::string& utf8) { return QString::fromStdString(utf8).toStdU16String(); }

// Loads a skin picture: 1 when loaded or silently left empty (no key, no
// file), 0 when the file exists and is no picture.
int LoadSkinPicture(CImage& image, const std::string& path) {
  image.Destroy();
  if (path.empty() || !FileExists(NativePath(path))) return 1;
  return image.Load(path) == S_OK ? 1 : 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// CTabButton.

CTabButton::CTabButton() {
  titleFont_.CreateFont(ScaleFontHeight(14), 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 5, 32, GetUiFontFace());
}

CTabButton::~CTabButton() = default;

int CTabButton::LoadSkin(const char* themePath, const char* section) {
  const std::string theme = themePath ? themePath : "", sect = section ? section : "";
  if (!LoadSkinPicture(background_, ThemeValue(theme, sect, "tabbar_btnbackground"))) {
    AfxMessageBox(u"加载m_bmpBmpBkgnd图片失败！");
    return 0;
  }
  if (!LoadSkinPicture(close_, ThemeValue(theme, sect, "tabbar_close"))) {
    AfxMessageBox(u"加载m_bmpClose图片失败！");
    return 0;
  }
  return 1;
}

BOOL CTabButton::InCloseBox(CPoint point) const {
  CRect client;
  GetClientRect(&client);
  return CRect(client.Width() - 20, 4, client.Width() - 4, 20).PtInRect(point);
}

int CTabButton::OnCreate(LPCREATESTRUCT cs) {
  if (CButton::OnCreate(cs) == -1) return -1;
  toolTip_.Create(this, TTS_ALWAYSTIP);
  toolTip_.AddTool(this, GetWindowText().c_str());
  toolTip_.SetTipTextColor(0x00FF0000);  // blue
  toolTip_.SetDelayTime(TTDT_AUTOMATIC, 150);
  toolTip_.Activate(TRUE);
  SetFont(&titleFont_);
  return 0;
}

void CTabButton::OnMouseMove(UINT flags, CPoint point) {
  const BOOL hot = InCloseBox(point);
  if (hot != closeHot) {
    closeHot = hot;
    Invalidate(FALSE);
  }
  TRACKMOUSEEVENT tme;
  tme.cbSize = sizeof(tme);
  tme.dwFlags = TME_HOVER | TME_LEAVE;
  tme.hwndTrack = m_hWnd;
  tme.dwHoverTime = 1;
  _TrackMouseEvent(&tme);
  if (toolTip_.m_hWnd) {
    MSG msg;
    msg.hwnd = m_hWnd;
    msg.message = WM_MOUSEMOVE;
    msg.wParam = flags;
    msg.lParam = MAKELPARAM(point.x, point.y);
    msg.time = static_cast<DWORD>(GetTickCount());
    msg.pt = point;
    toolTip_.RelayEvent(&msg);
    toolTip_.UpdateTipText(GetWindowText().c_str(), this);
  }
  CButton::OnMouseMove(flags, point);
}

void CTabButton::OnMouseHover(UINT, CPoint) {
  if (hover) return;
  hover = TRUE;
  Invalidate(FALSE);
}

void CTabButton::OnMouseLeave() {
  if (closeHot) {
    closeHot = FALSE;
    Invalidate(FALSE);
  }
  if (hover) {
    hover = FALSE;
    Invalidate(FALSE);
  }
}

void CTabButton::OnLButtonDown(UINT, CPoint point) {
  // No default handling: a tab never looks pushed or takes the capture. The
  // bar may destroy this button while handling the message.
  const UINT msg = InCloseBox(point) && showClose ? WM_TABBUTTON_CLOSE : WM_TABBUTTON_SELECT;
  ::SendMessageW(::GetParent(m_hWnd), msg, 0, reinterpret_cast<LPARAM>(this));
}

// The class takes double clicks; the second click of a fast pair is a press
// like the first.
void CTabButton::OnLButtonDblClk(UINT flags, CPoint point) { OnLButtonDown(flags, point); }

void CTabButton::DrawItem(LPDRAWITEMSTRUCT dis) {
  CDC* dc = CDC::FromHandle(dis->hDC);
  const CRect r(dis->rcItem);
  const int w = r.Width(), h = r.Height();
  dc->SetBkMode(TRANSPARENT);
  if (!background_.IsNull()) {
    const int bw = background_.GetWidth(), bh = background_.GetHeight(), q = bw / 4;
    if (home) {
      background_.StretchBlt(*dc, r, selected ? CRect(0, 0, q, bh) : CRect(q, 0, 2 * q, bh), SRCCOPY);
    } else {
      const int from = selected ? 2 * q : 3 * q, to = selected ? 3 * q : bw;
      background_.Draw(*dc, CRect(0, 0, kSliceWidth, bh), CRect(from, 0, from + kSliceWidth, bh));
      // The middle starts at 4, over the left slice, as the skins expect.
      background_.Draw(*dc, CRect(4, 0, w - kSliceWidth, bh), CRect(from + kSliceWidth, 0, to - kSliceWidth, bh));
      background_.Draw(*dc, CRect(w - kSliceWidth, 0, w, bh), CRect(to - kSliceWidth, 0, to, bh));
    }
  }
  const bool closeShown = showClose && (selected || hover);
  if (!home) {
    CRect title(4, 0, w - (closeShown ? 24 : 4), h);
    dc->SetTextColor(RGB(255, 255, 255));
    dc->DrawText(GetWindowText(), &title, kTitleFormat);
  }
  if (!closeShown || close_.IsNull()) return;
  const int cw = close_.GetWidth(), ch = close_.GetHeight(), c = cw / 3;
  const CRect source = closeHot ? CRect(c, 0, 2 * c, ch) : CRect(0, 0, c, ch);
  const int top = (h - ch) / 2;
  close_.TransparentBlt(*dc, CRect(w - c - 5, top, w - 2, top + ch), source, kCloseKey);
}

// ---------------------------------------------------------------------------
// CTabBar.

CTabBar::CTabBar() = default;

CTabBar::~CTabBar() {
  for (auto& tab : tabs_) {
    if (tab->button && tab->button->m_hWnd) tab->button->DestroyWindow();
    tab->button.reset();
  }
  tabs_.clear();
  menu_.reset();
}

int CTabBar::LoadSkin(const char* themePath, const char* section) {
  themePath_ = themePath ? themePath : "";
  section_ = section ? section : "";
  LoadSkinPicture(background_, ThemeValue(themePath_, section_, "tabbar_background"));
  showMorePath_ = ThemeValue(themePath_, section_, "tabbar_showmore");
  return 1;
}

CTabButton* CTabBar::GetTabButton(int index) const {
  if (index < 0 || index >= GetTabCount()) return nullptr;
  return tabs_[static_cast<size_t>(index)]->button.get();
}

const char* CTabBar::GetTabTitle(int index) const {
  if (index < 0 || index >= GetTabCount()) return nullptr;
  return tabs_[static_cast<size_t>(index)]->title;
}

int CTabBar::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  showMore_.Create(u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, ID_TABBAR_SHOWMORE);
  const WString picture = Wide(showMorePath_);
  showMore_.SetPressedImage(picture.c_str(), RGB(255, 0, 255));
  showMore_.SetNormalImage(picture.c_str(), RGB(255, 0, 255));
  return 0;
}

void CTabBar::NotifyMain(UINT msg, const TabRecord& tab) {
  CWnd* main = AfxGetMainWnd();
  if (!main || !main->m_hWnd) return;
  ::SendMessageW(main->m_hWnd, msg, static_cast<WPARAM>(tab.page), reinterpret_cast<LPARAM>(tab.title));
}

int CTabBar::AddTab(std::uintptr_t page, const char* title) {
  if (!title) title = "";
  const size_t length = CutTitle(title);
  char cut[kTitleBytes + 1] = {};
  std::memcpy(cut, title, length);

  for (size_t i = 0; i < tabs_.size(); ++i) {
    if (std::strcmp(tabs_[i]->title, cut) != 0) continue;
    SelectTab(static_cast<int>(i));
    SendMessage(WM_SIZE, 0, 0);
    return 1;
  }

  auto tab = std::make_unique<TabRecord>();
  tab->button = std::make_unique<CTabButton>();
  tab->button->LoadSkin(themePath_.c_str(), section_.c_str());
  tab->button->Create(TitleText(cut).c_str(), WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, CRect(0, 0, 0, tabHeight_), this,
                      0);
  CRect bar, button;
  GetClientRect(&bar);
  tab->button->GetClientRect(&button);
  tab->button->MoveWindow(0, (bar.Height() - button.Height()) / 2, button.Width(), button.Height(), TRUE);
  if (tabs_.empty()) {
    tab->button->showClose = FALSE;
    tab->button->home = TRUE;
  }
  tab->page = page;
  std::memcpy(tab->title, cut, length + 1);
  tabs_.push_back(std::move(tab));
  NotifyMain(WM_OPEN_TAB, *tabs_.back());
  MarkSelected(GetTabCount() - 1);
  SendMessage(WM_SIZE, 0, 0);
  return 1;
}

// Sets the selected flag of one tab and clears the others; no notice.
void CTabBar::MarkSelected(int index) {
  for (int i = 0; i < GetTabCount(); ++i) {
    CTabButton* button = tabs_[static_cast<size_t>(i)]->button.get();
    button->selected = i == index;
    button->Invalidate(FALSE);
  }
  current_ = index;
}

int CTabBar::SelectTab(int index) {
  const int n = GetTabCount();
  int c = current_, a = index;
  if (c > n || a > n) return 0;
  if (c >= 0) {
    if (c == n) --c;
    if (a == n) --a;
    if (a < 0) {
      current_ = -1;
      return 0;
    }
    CTabButton* old = tabs_[static_cast<size_t>(c)]->button.get();
    old->selected = FALSE;
    old->Invalidate(FALSE);
  }
  if (a < 0 || a >= n) return 0;
  TabRecord& tab = *tabs_[static_cast<size_t>(a)];
  NotifyMain(WM_OPEN_TAB, tab);
  tab.button->selected = TRUE;
  tab.button->Invalidate(FALSE);
  current_ = a;
  return 1;
}

int CTabBar::IndexOf(LPARAM button) const {
  for (int i = 0; i < GetTabCount(); ++i)
    if (reinterpret_cast<LPARAM>(tabs_[static_cast<size_t>(i)]->button.get()) == button) return i;
  return -1;
}

LRESULT CTabBar::OnTabSelect(LPARAM button) {
  const int index = IndexOf(button);
  if (index < 0) return 0;
  return SelectTab(index);
}

LRESULT CTabBar::OnTabClose(LPARAM button) {
  const int i = IndexOf(button);
  if (i < 0) return 0;
  const int c = current_;
  TabRecord& tab = *tabs_[static_cast<size_t>(i)];
  NotifyMain(WM_CLOSE_TAB, tab);
  if (tab.page != 0) {
    tab.page = 0;
    tab.button->DestroyWindow();
    tab.button.reset();
    tabs_.erase(tabs_.begin() + i);
    SendMessage(WM_SIZE, 0, 0);
  }
  if (i > c) SelectTab(c);
  else if (i < c) SelectTab(c - 1);
  else SelectTab(i < GetTabCount() ? i : i - 1);
  return 1;
}

LRESULT CTabBar::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TABBUTTON_SELECT) return OnTabSelect(lParam);
  if (msg == WM_TABBUTTON_CLOSE) return OnTabClose(lParam);
  return CWnd::WindowProc(msg, wParam, lParam);
}

void CTabBar::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  LayOut();
}

void CTabBar::LayOut() {
  CRect client;
  GetClientRect(&client);
  const int w = client.Width(), h = client.Height(), n = GetTabCount();
  const int available = w - kHomeWidth - kShowMoreWidth;
  int width = tabWidth_;
  // Squeezed tabs share the room equally; with one tab there is nothing to
  // share (and nothing to divide by).
  if (n > 1 && (n - 1) * tabWidth_ + kHomeWidth > available)
    width = static_cast<int>(available * 1.0 / (n - 1));
  for (int i = 0; i < n; ++i) {
    CTabButton* button = tabs_[static_cast<size_t>(i)]->button.get();
    CRect rc;
    button->GetClientRect(&rc);
    const int x = i == 0 ? 0 : (i - 1) * width + kHomeWidth;
    button->MoveWindow(x, (h - rc.Height()) / 2, i == 0 ? kHomeWidth : width, tabHeight_, FALSE);
  }
  if (showMore_.m_hWnd) showMore_.MoveWindow(w - kShowMoreWidth, 0, kShowMoreWidth, h, TRUE);
  Invalidate();
}

BOOL CTabBar::OnEraseBkgnd(CDC*) { return TRUE; }

void CTabBar::OnPaint() {
  CPaintDC dc(this);
  if (background_.IsNull()) return;
  CRect client;
  GetClientRect(&client);
  background_.Draw(dc, client);
}

BOOL CTabBar::OnCommand(WPARAM wParam, LPARAM lParam) {
  const int n = GetTabCount();
  if (wParam == ID_TABBAR_SHOWMORE) {
    ShowMoreMenu();
  } else if (wParam >= ID_TABBAR_MENU_FIRST && wParam < ID_TABBAR_MENU_FIRST + static_cast<WPARAM>(n)) {
    const size_t i = wParam - ID_TABBAR_MENU_FIRST;
    SendMessage(WM_TABBUTTON_SELECT, 0, reinterpret_cast<LPARAM>(tabs_[i]->button.get()));
  }
  return CWnd::OnCommand(wParam, lParam);
}

void CTabBar::ShowMoreMenu() {
  menu_.reset();
  if (tabs_.empty()) return;  // nothing to list
  menu_ = std::make_unique<CMenuEx>();
  menu_->CreatePopupMenu();
  for (int i = 0; i < GetTabCount(); ++i)
    menu_->AppendItem(MF_OWNERDRAW, ID_TABBAR_MENU_FIRST + i, TitleText(tabs_[static_cast<size_t>(i)]->title).c_str());
  if (current_ >= 0 && current_ < GetTabCount()) {
    const WString title = TitleText(tabs_[static_cast<size_t>(current_)]->title);
    menu_->ModifyMenu(static_cast<UINT>(current_), MF_BYPOSITION | MF_CHECKED | MF_OWNERDRAW,
                      ID_TABBAR_MENU_FIRST + current_, title.c_str());
  }
  CRect client;
  GetClientRect(&client);
  CPoint corner(client.right, client.bottom);
  ClientToScreen(&corner);
  menu_->TrackPopupMenu(TPM_RIGHTALIGN, corner.x, corner.y, this);
}

#include "shell/navigater.h"

#include <algorithm>

#include "foundation/draw_helpers.h"
#include "shell/frame_messages.h"

namespace {

constexpr int kLogoX = 5;
constexpr int kLogoWidth = 198;
constexpr int kFirstMenuX = 213;
constexpr int kReservedWidth = 383;  // logo and caption buttons
constexpr int kMenuTop = 8;
constexpr int kMenuBottomGap = 4;
constexpr uint32_t kHoverRgb = 0xFFDE00;

}  // namespace

CNavigater::CNavigater() = default;

CNavigater::~CNavigater() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (memoryDc_ != nullptr) {
    SelectObject(memoryDc_, oldBitmap_);
    DeleteDC(memoryDc_);
  }
  if (memoryBitmap_ != nullptr) DeleteObject(memoryBitmap_);
  if (font_ != nullptr) DeleteObject(font_);
}

BOOL CNavigater::Create(const RECT& rect, CWnd* parent, UINT id, const WCHAR* background, const WCHAR* logo,
                        const WCHAR* separator) {
  if (background_.Load(background) != S_OK) MessageBoxW(nullptr, u"背景图片加载失败", nullptr, MB_OK);
  if (logo_.Load(logo) != S_OK) MessageBoxW(nullptr, u"logo图片加载失败", nullptr, MB_OK);
  if (separator_.Load(separator) != S_OK) MessageBoxW(nullptr, u"分隔条图片加载失败", nullptr, MB_OK);
  return CWnd::Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, rect, parent, id);
}

int CNavigater::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  font_ = CreateUiFont(GetUiFontFace(), 18);
  const UINT ids[] = {ID_NAV_BACK, ID_NAV_FORWARD, ID_NAV_MINIMIZE, ID_NAV_MAXIMIZE, ID_NAV_CLOSE};
  for (UINT id : ids) CaptionButton(id).Create(u"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, CRect(), this, id);
  return 0;
}

FooButton& CNavigater::CaptionButton(UINT id) {
  switch (id) {
    case ID_NAV_BACK: return back_;
    case ID_NAV_FORWARD: return forward_;
    case ID_NAV_MINIMIZE: return minimize_;
    case ID_NAV_MAXIMIZE: return maximize_;
    default: return close_;
  }
}

FooButton* CNavigater::GetMenuButton(int index) const {
  if (index < 0 || index >= GetMenuCount()) return nullptr;
  return menus_[index].button.get();
}

UINT CNavigater::GetMenuId(int index) const {
  if (index < 0 || index >= GetMenuCount()) return 0;
  return menus_[index].id;
}

CMenuEx* CNavigater::GetMenu(int index) const {
  if (index < 0 || index >= GetMenuCount()) return nullptr;
  return menus_[index].menu.get();
}

void CNavigater::ApplyMenuLook(FooButton& button) const {
  button.SetHandCursor(handCursor_);
  if (menuTextRgb_ != 0xFF000000) button.SetTextColor(ColorFromRgb(menuTextRgb_));
  if (!menuNormal_.empty()) button.SetNormalImage(menuNormal_.c_str(), menuKey_);
  if (!menuHot_.empty()) button.SetHotImage(menuHot_.c_str(), menuKey_);
}

void CNavigater::SetMenuImages(const WCHAR* normal, const WCHAR* hot, COLORREF key) {
  menuNormal_ = normal;
  menuHot_ = hot;
  menuKey_ = key;
  for (auto& m : menus_) ApplyMenuLook(*m.button);
}

void CNavigater::SetNavNormalImages(const WCHAR* back, const WCHAR* forward, COLORREF key) {
  back_.SetNormalImage(back, key);
  forward_.SetNormalImage(forward, key);
}

void CNavigater::SetNavHotImages(const WCHAR* back, const WCHAR* forward, COLORREF key) {
  back_.SetHotImage(back, key);
  forward_.SetHotImage(forward, key);
}

void CNavigater::SetCaptionNormalImages(const WCHAR* minimize, const WCHAR* maximize, const WCHAR* close,
                                        COLORREF key) {
  minimize_.SetNormalImage(minimize, key);
  maximize_.SetNormalImage(maximize, key);
  close_.SetNormalImage(close, key);
}

void CNavigater::SetCaptionHotImages(const WCHAR* minimize, const WCHAR* maximize, const WCHAR* close,
                                     COLORREF key) {
  minimize_.SetHotImage(minimize, key);
  maximize_.SetHotImage(maximize, key);
  close_.SetHotImage(close, key);
}

void CNavigater::SetMenuTextColor(uint32_t rgb) {
  menuTextRgb_ = rgb;
  for (auto& m : menus_) ApplyMenuLook(*m.button);
}

void CNavigater::SetHandCursor(BOOL on) {
  handCursor_ = on;
  const UINT ids[] = {ID_NAV_BACK, ID_NAV_FORWARD, ID_NAV_MINIMIZE, ID_NAV_MAXIMIZE, ID_NAV_CLOSE};
  for (UINT id : ids) CaptionButton(id).SetHandCursor(on);
  for (auto& m : menus_) m.button->SetHandCursor(on);
}

void CNavigater::AddTopMenu(UINT id, const WCHAR* name) {
  MenuButton m;
  m.id = id;
  m.button = std::make_unique<FooButton>();
  m.button->Create(name, WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, CRect(), this, id);
  m.button->SetButtonType(1);
  m.button->SetGroup(u"1");
  if (font_ != nullptr) m.button->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  ApplyMenuLook(*m.button);
  m.button->SetHoverTextColor(TRUE, ColorFromRgb(kHoverRgb));
  m.button->SetMouseOverImage(TRUE, u"res\\dBar.png");
  m.button->SetSeparatorImage(u"res\\dgap.png", RGB(255, 0, 255));
  m.menu = std::make_unique<CMenuEx>();
  m.menu->CreatePopupMenu();
  menus_.push_back(std::move(m));
}

void CNavigater::AddMenuItem(UINT topId, UINT itemId, const WCHAR* name, BOOL quote) {
  for (auto& m : menus_) {
    if (m.id != topId) continue;
    m.button->SetButtonType(quote ? 5 : 3);
    m.menu->AppendItem(MF_OWNERDRAW, itemId, name);
  }
}

void CNavigater::Relayout(BOOL show) {
  CRect rc;
  GetClientRect(&rc);
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    LayOut(rc.Width(), rc.Height());
  }
  ShowWindow(show ? SW_SHOW : SW_HIDE);
}

void CNavigater::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (memoryDc_ != nullptr) {
    SelectObject(memoryDc_, oldBitmap_);
    DeleteDC(memoryDc_);
    memoryDc_ = nullptr;
  }
  if (memoryBitmap_ != nullptr) {
    DeleteObject(memoryBitmap_);
    memoryBitmap_ = nullptr;
  }
  if (cx > 0 && cy > 0) {
    CClientDC dc(this);
    memoryDc_ = CreateCompatibleDC(dc.GetSafeHdc());
    memoryBitmap_ = CreateCompatibleBitmap(dc.GetSafeHdc(), cx, cy);
    oldBitmap_ = SelectObject(memoryDc_, memoryBitmap_);
  }
  LayOut(cx, cy);
  Invalidate(FALSE);
}

void CNavigater::LayOut(int width, int height) {
  const int r = width;
  struct Span {
    FooButton* button;
    int left, right;
  };
  const Span spans[] = {{&back_, r - 161, r - 130},
                        {&forward_, r - 130, r - 99},
                        {&minimize_, r - 89, r - 61},
                        {&maximize_, r - 61, r - 33},
                        {&close_, r - 33, r - 5}};
  for (const Span& s : spans) {
    if (s.button->GetSafeHwnd() != nullptr) s.button->MoveWindow(s.left, 0, s.right - s.left, height, TRUE);
  }
  const int n = GetMenuCount();
  if (n == 0) return;
  const int w = std::max(0, (width - n - kReservedWidth) / n);
  for (int i = 0; i < n; ++i) {
    const int x = (w + 1) * i + kFirstMenuX;
    menus_[i].button->MoveWindow(x, kMenuTop, w, std::max(0, height - kMenuBottomGap - kMenuTop), TRUE);
  }
}

void CNavigater::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (memoryDc_ == nullptr) return;
  if (!background_.IsNull()) background_.Draw(memoryDc_, 0, 0, rc.Width(), rc.Height());
  if (!logo_.IsNull()) logo_.Draw(memoryDc_, kLogoX, 0, kLogoWidth, rc.Height());
  for (int i = 1; i < GetMenuCount() && !separator_.IsNull(); ++i) {
    CRect button;
    menus_[i].button->GetWindowRect(&button);
    ScreenToClient(&button);
    separator_.Draw(memoryDc_, button.left - 1, kMenuTop, 1, rc.Height() - kMenuTop - kMenuBottomGap);
  }
  BitBlt(dc.GetSafeHdc(), 0, 0, rc.Width(), rc.Height(), memoryDc_, 0, 0, SRCCOPY);
}

CWnd* CNavigater::Frame() const {
  CWnd* parent = GetParent();
  return parent == nullptr ? nullptr : parent->GetParent();
}

BOOL CNavigater::OnCommand(WPARAM wParam, LPARAM lParam) {
  CWnd* frame = Frame();
  if (frame == nullptr) return CWnd::OnCommand(wParam, lParam);
  // A button's notice carries a 16-bit id: the button is known by its
  // window. A menu item's command carries its whole id.
  UINT id = static_cast<UINT>(wParam);
  if (lParam != 0) {
    if (HIWORD(wParam) != BN_CLICKED) return CWnd::OnCommand(wParam, lParam);
    id = LOWORD(wParam);
    const HWND control = reinterpret_cast<HWND>(lParam);
    for (const MenuButton& m : menus_) {
      if (m.button->GetSafeHwnd() == control) id = m.id;
    }
  }
  switch (id) {
    case ID_NAV_BACK: frame->SendMessage(WM_NAV_BACK, ID_NAV_BACK, 0); break;
    case ID_NAV_FORWARD: frame->SendMessage(WM_NAV_FORWARD, ID_NAV_FORWARD, 0); break;
    case ID_NAV_MINIMIZE: frame->SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0); break;
    case ID_NAV_MAXIMIZE: frame->SendMessage(WM_SYSCOMMAND, frame->IsZoomed() ? SC_RESTORE : SC_MAXIMIZE, 0); break;
    case ID_NAV_CLOSE:
      if (MessageBoxW(GetSafeHwnd(), u"是否退出系统？", u"提示", MB_OKCANCEL) == IDOK) frame->SendMessage(WM_CLOSE);
      break;
    default: {
      auto it = std::find_if(menus_.begin(), menus_.end(), [&](const MenuButton& m) { return m.id == id; });
      if (it == menus_.end()) {
        frame->SendMessage(WM_MENU_COMMAND, id, 0);
        break;
      }
      FooButton& button = *it->button;
      const int type = button.GetButtonType();
      if (type == 3 || (type == 5 && button.IsArrowPressed())) {
        CRect rc;
        button.GetWindowRect(&rc);
        it->menu->TrackPopupMenu(0, rc.left, rc.bottom, this);
      } else {
        frame->SendMessage(WM_MENU_COMMAND, id, 0);
      }
      break;
    }
  }
  return CWnd::OnCommand(wParam, lParam);
}

LRESULT CNavigater::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCHITTEST: return HTCAPTION;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      if (CWnd* frame = Frame()) frame->SendMessage(msg, HTCAPTION, lParam);
      return 0;
    default: return CWnd::WindowProc(msg, wParam, lParam);
  }
}

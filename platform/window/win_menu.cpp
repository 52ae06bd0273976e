// Pop-up menus: the menu objects and TrackPopupMenu's modal loop with its
// "#32768" windows. Menu windows are borderless; a menu whose items are all
// owner-drawn is exactly as large as its items, string menus get a raised
// three-pixel frame.
#include "platform/controls/win_ctl_internal.h"

#include <algorithm>
#include <mutex>
#include <set>

struct HMENU__ {
  struct Item {
    UINT flags = 0;
    UINT_PTR id = 0;
    WString text;
    HMENU sub = nullptr;
    std::uintptr_t data = 0;
    bool measured = false;
    int width = 0, height = 0;
  };
  std::vector<Item> items;
};

namespace {

std::mutex& MenuLock() {
  static std::mutex m;
  return m;
}
std::set<HMENU>& LiveMenus() {
  static std::set<HMENU> s;
  return s;
}
bool Live(HMENU m) {
  std::lock_guard<std::mutex> g(MenuLock());
  return m && LiveMenus().count(m) != 0;
}

// The item at a position, or the item with the id (searching submenus).
HMENU__::Item* FindItem(HMENU menu, UINT item, UINT flags, HMENU* holder = nullptr, int* index = nullptr) {
  if (!Live(menu)) return nullptr;
  if (flags & MF_BYPOSITION) {
    if (item >= menu->items.size()) return nullptr;
    if (holder) *holder = menu;
    if (index) *index = static_cast<int>(item);
    return &menu->items[item];
  }
  for (size_t i = 0; i < menu->items.size(); ++i) {
    auto& it = menu->items[i];
    if (!(it.flags & MF_POPUP) && it.id == item) {
      if (holder) *holder = menu;
      if (index) *index = static_cast<int>(i);
      return &it;
    }
    if ((it.flags & MF_POPUP) && it.sub)
      if (auto* found = FindItem(it.sub, item, flags, holder, index)) return found;
  }
  return nullptr;
}

HMENU__::Item MakeItem(UINT flags, UINT_PTR id, LPCWSTR text) {
  HMENU__::Item it;
  it.flags = flags & ~MF_BYPOSITION;
  if (flags & MF_POPUP) {
    it.sub = reinterpret_cast<HMENU>(id);
    it.id = id;
  } else {
    it.id = id;
  }
  if (flags & MF_OWNERDRAW) it.data = reinterpret_cast<std::uintptr_t>(text);
  else if (!(flags & MF_SEPARATOR) && text) it.text = text;
  return it;
}

// ---------------------------------------------------------------------------
// Tracking.

struct Level {
  HMENU menu = nullptr;
  HWND wnd = nullptr;
  int hot = -1;
  int frame = 0;
  std::vector<RECT> rects;  // item rectangles in the window's client
};

struct Tracker {
  HWND owner = nullptr;
  UINT flags = 0;
  std::vector<Level> levels;
  bool done = false;
  UINT chosen = 0;
};
Tracker* g_tracker = nullptr;

bool Selectable(const HMENU__::Item& it) { return !(it.flags & MF_SEPARATOR); }
bool Enabled(const HMENU__::Item& it) { return !(it.flags & (MF_GRAYED | MF_DISABLED)); }

void Measure(Tracker& t, Level& lv) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  int th = ctl::TextHeight(dc);
  bool allOwner = true;
  int width = 0;
  std::vector<SIZE> sizes;
  for (auto& it : lv.menu->items) {
    SIZE s{};
    if (it.flags & MF_OWNERDRAW) {
      if (!it.measured) {  // asked once per item
        MEASUREITEMSTRUCT mis;
        mis.CtlType = ODT_MENU;
        mis.itemID = static_cast<UINT>(it.id);
        mis.itemData = it.data;
        mis.itemHeight = static_cast<UINT>(th + 4);
        SendMessageW(t.owner, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis));
        it.width = static_cast<int>(mis.itemWidth);
        it.height = static_cast<int>(mis.itemHeight);
        it.measured = true;
      }
      s = SIZE{it.width, it.height};
    } else if (it.flags & MF_SEPARATOR) {
      allOwner = false;
      s = SIZE{0, 7};
    } else {
      allOwner = false;
      WString label;
      for (size_t i = 0; i < it.text.size(); ++i)
        if (it.text[i] != u'&') label += it.text[i];
      size_t tab = label.find(u'\t');
      s = SIZE{ctl::TextWidth(dc, label.c_str(), static_cast<int>(label.size())) + 40 + (tab != WString::npos ? 20 : 0),
               std::max(th + 6, 20)};
    }
    width = std::max<int>(width, s.cx);
    sizes.push_back(s);
  }
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  lv.frame = allOwner ? 0 : 3;
  lv.rects.clear();
  int y = lv.frame;
  for (auto& s : sizes) {
    lv.rects.push_back(RECT{lv.frame, y, lv.frame + width, y + s.cy});
    y += s.cy;
  }
}

SIZE LevelSize(const Level& lv) {
  int w = 0, h = 0;
  for (auto& r : lv.rects) w = std::max<int>(w, r.right), h = std::max<int>(h, r.bottom);
  if (lv.rects.empty()) w = h = 2 * lv.frame;
  return SIZE{w + lv.frame, h + lv.frame};
}

void DrawMenuItem(Tracker& t, Level& lv, HDC dc, int i, UINT action) {
  auto& it = lv.menu->items[static_cast<size_t>(i)];
  RECT r = lv.rects[static_cast<size_t>(i)];
  bool hot = i == lv.hot;
  if (it.flags & MF_OWNERDRAW) {
    DRAWITEMSTRUCT dis;
    dis.CtlType = ODT_MENU;
    dis.itemID = static_cast<UINT>(it.id);
    dis.itemAction = action;
    dis.itemState = (hot ? ODS_SELECTED : 0) | ((it.flags & MF_CHECKED) ? ODS_CHECKED : 0) |
                    ((it.flags & MF_GRAYED) ? ODS_GRAYED : 0) | ((it.flags & MF_DISABLED) ? ODS_DISABLED : 0);
    dis.hwndItem = reinterpret_cast<HWND>(lv.menu);
    dis.hDC = dc;
    dis.rcItem = r;
    dis.itemData = it.data;
    int saved = SaveDC(dc);
    SendMessageW(t.owner, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
    RestoreDC(dc, saved);
    return;
  }
  FillRect(dc, &r, GetSysColorBrush(hot && Selectable(it) ? COLOR_HIGHLIGHT : COLOR_MENU));
  if (it.flags & MF_SEPARATOR) {
    RECT line{r.left + 1, r.top + 3, r.right - 1, r.top + 5};
    DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
    return;
  }
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  COLORREF text = !Enabled(it) ? GetSysColor(COLOR_GRAYTEXT)
                  : hot       ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                              : GetSysColor(COLOR_MENUTEXT);
  SetTextColor(dc, text);
  if (it.flags & MF_CHECKED) {
    HPEN pen = CreatePen(PS_SOLID, 2, text);
    HGDIOBJ op = SelectObject(dc, pen);
    int cy = (r.top + r.bottom) / 2;
    POINT pts[3] = {{r.left + 6, cy}, {r.left + 9, cy + 3}, {r.left + 15, cy - 4}};
    Polyline(dc, pts, 3);
    SelectObject(dc, op);
    DeleteObject(pen);
  }
  RECT tr{r.left + 22, r.top, r.right - 18, r.bottom};
  WString label = it.text, accel;
  size_t tab = label.find(u'\t');
  if (tab != WString::npos) accel = label.substr(tab + 1), label.resize(tab);
  DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &tr, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  if (!accel.empty())
    DrawTextW(dc, accel.c_str(), static_cast<int>(accel.size()), &tr, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
  if (it.flags & MF_POPUP) {
    int cx = r.right - 10, cy = (r.top + r.bottom) / 2;
    POINT tri[3] = {{cx, cy - 4}, {cx + 4, cy}, {cx, cy + 4}};
    HBRUSH b = CreateSolidBrush(text);
    HGDIOBJ ob = SelectObject(dc, b);
    HGDIOBJ op = SelectObject(dc, GetStockObject(NULL_PEN));
    Polygon(dc, tri, 3);
    SelectObject(dc, op);
    SelectObject(dc, ob);
    DeleteObject(b);
  }
  SelectObject(dc, old);
}

Level* LevelOf(HWND wnd) {
  if (!g_tracker) return nullptr;
  for (auto& lv : g_tracker->levels)
    if (lv.wnd == wnd) return &lv;
  return nullptr;
}

LRESULT MenuWindowProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_GETICON:
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      Level* lv = LevelOf(h);
      if (lv && g_tracker) {
        RECT rc;
        GetClientRect(h, &rc);
        if (lv->frame) {
          FillRect(dc, &rc, GetSysColorBrush(COLOR_MENU));
          DrawEdge(dc, &rc, EDGE_RAISED, BF_RECT);
        }
        for (int i = 0; i < static_cast<int>(lv->rects.size()); ++i) DrawMenuItem(*g_tracker, *lv, dc, i, ODA_DRAWENTIRE);
      }
      EndPaint(h, &ps);
      return 0;
    }
    default:
      return DefWindowProcW(h, msg, w, l);
  }
}

void SetHot(Tracker& t, size_t level, int hot) {
  Level& lv = t.levels[level];
  if (lv.hot == hot) return;
  int old = lv.hot;
  lv.hot = hot;
  HDC dc = GetDC(lv.wnd);
  if (old >= 0) DrawMenuItem(t, lv, dc, old, ODA_SELECT);
  if (hot >= 0) DrawMenuItem(t, lv, dc, hot, ODA_SELECT);
  ReleaseDC(lv.wnd, dc);
  if (hot >= 0)
    SendMessageW(t.owner, WM_MENUSELECT, MAKEWPARAM(static_cast<int>(lv.menu->items[static_cast<size_t>(hot)].id),
                                                    lv.menu->items[static_cast<size_t>(hot)].flags),
                 reinterpret_cast<LPARAM>(lv.menu));
}

void CloseLevelsAfter(Tracker& t, size_t keep) {
  while (t.levels.size() > keep + 1) {
    DestroyWindow(t.levels.back().wnd);
    t.levels.pop_back();
  }
}

bool OpenLevel(Tracker& t, HMENU menu, int x, int y, UINT flags, const RECT* avoid) {
  if (!Live(menu)) return false;
  SendMessageW(t.owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
  Level lv;
  lv.menu = menu;
  Measure(t, lv);
  SIZE s = LevelSize(lv);
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  if (avoid) {
    x = avoid->right, y = avoid->top - lv.frame;
    if (x + s.cx > sw) x = avoid->left - s.cx;
  } else {
    if (flags & TPM_RIGHTALIGN) x -= s.cx;
    else if (flags & TPM_CENTERALIGN) x -= s.cx / 2;
    if (flags & TPM_BOTTOMALIGN) y -= s.cy;
    else if (flags & TPM_VCENTERALIGN) y -= s.cy / 2;
  }
  x = std::clamp(x, 0, std::max(0, sw - static_cast<int>(s.cx)));
  y = std::clamp(y, 0, std::max(0, sh - static_cast<int>(s.cy)));
  t.levels.push_back(lv);
  HWND wnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, WC_POPUPMENU, u"", WS_POPUP, x, y,
                             s.cx, s.cy, t.owner, nullptr, nullptr, nullptr);
  if (!wnd) {
    t.levels.pop_back();
    return false;
  }
  t.levels.back().wnd = wnd;
  ShowWindow(wnd, SW_SHOWNA);
  UpdateWindow(wnd);
  return true;
}

void OpenSubmenu(Tracker& t, size_t level, bool selectFirst) {
  Level& lv = t.levels[level];
  if (lv.hot < 0) return;
  auto& it = lv.menu->items[static_cast<size_t>(lv.hot)];
  if (!(it.flags & MF_POPUP) || !Enabled(it)) return;
  if (t.levels.size() > level + 1 && t.levels[level + 1].menu == it.sub) return;
  CloseLevelsAfter(t, level);
  RECT r = lv.rects[static_cast<size_t>(lv.hot)];
  POINT tl{r.left, r.top}, br{r.right, r.bottom};
  ClientToScreen(lv.wnd, &tl);
  ClientToScreen(lv.wnd, &br);
  RECT screen{tl.x, tl.y, br.x, br.y};
  if (OpenLevel(t, it.sub, 0, 0, 0, &screen) && selectFirst) {
    auto& sub = t.levels.back();
    for (int i = 0; i < static_cast<int>(sub.menu->items.size()); ++i)
      if (Selectable(sub.menu->items[static_cast<size_t>(i)])) {
        SetHot(t, t.levels.size() - 1, i);
        break;
      }
  }
}

void Choose(Tracker& t, size_t level) {
  Level& lv = t.levels[level];
  if (lv.hot < 0) return;
  auto& it = lv.menu->items[static_cast<size_t>(lv.hot)];
  if (!Selectable(it) || !Enabled(it)) return;
  if (it.flags & MF_POPUP) {
    OpenSubmenu(t, level, true);
    return;
  }
  t.chosen = static_cast<UINT>(it.id);
  t.done = true;
}

void MoveHot(Tracker& t, int dir) {
  size_t level = t.levels.size() - 1;
  Level& lv = t.levels[level];
  int n = static_cast<int>(lv.menu->items.size());
  if (n == 0) return;
  int i = lv.hot;
  for (int step = 0; step < n; ++step) {
    i = i < 0 ? (dir > 0 ? 0 : n - 1) : (i + dir + n) % n;
    if (Selectable(lv.menu->items[static_cast<size_t>(i)])) {
      SetHot(t, level, i);
      return;
    }
  }
}

void Key(Tracker& t, UINT vk) {
  size_t level = t.levels.size() - 1;
  switch (vk) {
    case VK_UP: MoveHot(t, -1); break;
    case VK_DOWN: MoveHot(t, 1); break;
    case VK_RIGHT: OpenSubmenu(t, level, true); break;
    case VK_LEFT:
      if (level > 0) CloseLevelsAfter(t, level - 1);
      break;
    case VK_ESCAPE:
      if (level > 0) CloseLevelsAfter(t, level - 1);
      else t.done = true;
      break;
    case VK_RETURN:
    case VK_SPACE:
      if (t.levels[level].hot >= 0) Choose(t, level);
      break;
    case VK_MENU:
      t.done = true;
      break;
    default:
      break;
  }
}

// Mouse input at a screen point: which level and item.
bool HitMenu(Tracker& t, POINT screen, size_t* level, int* item) {
  for (size_t k = t.levels.size(); k-- > 0;) {
    RECT wr;
    GetWindowRect(t.levels[k].wnd, &wr);
    if (screen.x < wr.left || screen.x >= wr.right || screen.y < wr.top || screen.y >= wr.bottom) continue;
    *level = k;
    *item = -1;
    POINT p{screen.x - wr.left, screen.y - wr.top};
    for (size_t i = 0; i < t.levels[k].rects.size(); ++i) {
      const RECT& r = t.levels[k].rects[i];
      if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) *item = static_cast<int>(i);
    }
    return true;
  }
  return false;
}

void Mouse(Tracker& t, const MSG& msg) {
  POINT p{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
  ClientToScreen(msg.hwnd, &p);
  size_t level = 0;
  int item = -1;
  bool inside = HitMenu(t, p, &level, &item);
  switch (msg.message) {
    case WM_MOUSEMOVE:
      if (!inside) return;
      if (item >= 0 && Selectable(t.levels[level].menu->items[static_cast<size_t>(item)])) {
        // Leaving a submenu's parent item for another closes the submenu.
        if (t.levels[level].hot != item) CloseLevelsAfter(t, level);
        SetHot(t, level, item);
        OpenSubmenu(t, level, false);
      }
      return;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
      if (!inside) t.done = true;  // a click outside dismisses, choosing nothing
      return;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      if (!inside || item < 0) return;
      if (msg.message == WM_RBUTTONUP && !(t.flags & TPM_RIGHTBUTTON)) return;
      SetHot(t, level, item);
      Choose(t, level);
      return;
    default:
      return;
  }
}

}  // namespace

HMENU CreatePopupMenu() {
  HMENU m = new HMENU__;
  std::lock_guard<std::mutex> g(MenuLock());
  LiveMenus().insert(m);
  return m;
}

HMENU CreateMenu() { return CreatePopupMenu(); }

BOOL IsMenu(HMENU menu) { return Live(menu); }

BOOL DestroyMenu(HMENU menu) {
  {
    std::lock_guard<std::mutex> g(MenuLock());
    if (!menu || !LiveMenus().erase(menu)) return FALSE;
  }
  for (auto& it : menu->items)
    if ((it.flags & MF_POPUP) && it.sub) DestroyMenu(it.sub);
  delete menu;
  return TRUE;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text) {
  if (!Live(menu)) return FALSE;
  menu->items.push_back(MakeItem(flags, id, text));
  return TRUE;
}

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text) {
  if (!Live(menu)) return FALSE;
  size_t at = menu->items.size();
  if (flags & MF_BYPOSITION) {
    at = std::min<size_t>(position, menu->items.size());
  } else {
    HMENU holder = nullptr;
    int index = 0;
    if (FindItem(menu, position, MF_BYCOMMAND, &holder, &index)) {
      holder->items.insert(holder->items.begin() + index, MakeItem(flags, id, text));
      return TRUE;
    }
  }
  menu->items.insert(menu->items.begin() + static_cast<std::ptrdiff_t>(at), MakeItem(flags, id, text));
  return TRUE;
}

BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text) {
  auto* it = FindItem(menu, position, flags);
  if (!it) return FALSE;
  HMENU__::Item fresh = MakeItem(flags, id, text);
  if (it->flags & MF_OWNERDRAW && fresh.flags & MF_OWNERDRAW && it->measured) {
    fresh.measured = true;  // the size already asked stays
    fresh.width = it->width;
    fresh.height = it->height;
  }
  *it = fresh;
  return TRUE;
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) {
  HMENU holder = nullptr;
  int index = 0;
  auto* it = FindItem(menu, position, flags, &holder, &index);
  if (!it) return FALSE;
  if ((it->flags & MF_POPUP) && it->sub) DestroyMenu(it->sub);
  holder->items.erase(holder->items.begin() + index);
  return TRUE;
}

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) {
  HMENU holder = nullptr;
  int index = 0;
  if (!FindItem(menu, position, flags, &holder, &index)) return FALSE;
  holder->items.erase(holder->items.begin() + index);
  return TRUE;
}

int GetMenuItemCount(HMENU menu) { return Live(menu) ? static_cast<int>(menu->items.size()) : -1; }

UINT GetMenuItemID(HMENU menu, int position) {
  if (!Live(menu) || position < 0 || static_cast<size_t>(position) >= menu->items.size()) return static_cast<UINT>(-1);
  auto& it = menu->items[static_cast<size_t>(position)];
  return (it.flags & MF_POPUP) ? static_cast<UINT>(-1) : static_cast<UINT>(it.id);
}

HMENU GetSubMenu(HMENU menu, int position) {
  if (!Live(menu) || position < 0 || static_cast<size_t>(position) >= menu->items.size()) return nullptr;
  auto& it = menu->items[static_cast<size_t>(position)];
  return (it.flags & MF_POPUP) ? it.sub : nullptr;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  auto* it = FindItem(menu, item, flags);
  if (!it) return static_cast<UINT>(-1);
  UINT s = it->flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_SEPARATOR | MF_OWNERDRAW | MF_POPUP | MF_HILITE);
  if ((it->flags & MF_POPUP) && Live(it->sub)) s = (s & 0xFF) | (static_cast<UINT>(it->sub->items.size()) << 8);
  return s;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
  auto* it = FindItem(menu, item, flags);
  if (!it) return static_cast<DWORD>(-1);
  DWORD old = it->flags & MF_CHECKED;
  it->flags = (it->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
  return old;
}

BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags) {
  auto* it = FindItem(menu, item, flags);
  if (!it) return -1;
  BOOL old = static_cast<BOOL>(it->flags & (MF_GRAYED | MF_DISABLED));
  it->flags = (it->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
  return old;
}

BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info) {
  auto* it = FindItem(menu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
  if (!it || !info) return FALSE;
  if (info->fMask & (MIIM_TYPE | MIIM_FTYPE)) info->fType = it->flags & (MFT_SEPARATOR | MFT_OWNERDRAW);
  if (info->fMask & MIIM_STATE) info->fState = it->flags & (MFS_GRAYED | MFS_CHECKED | MFS_HILITE);
  if (info->fMask & MIIM_ID) info->wID = static_cast<UINT>(it->id);
  if (info->fMask & MIIM_SUBMENU) info->hSubMenu = (it->flags & MF_POPUP) ? it->sub : nullptr;
  if (info->fMask & MIIM_DATA) info->dwItemData = it->data;
  if ((info->fMask & (MIIM_TYPE | MIIM_STRING)) && !(it->flags & (MF_SEPARATOR | MF_OWNERDRAW))) {
    UINT n = static_cast<UINT>(it->text.size());
    if (info->dwTypeData && info->cch > 0) {
      UINT k = std::min(n, info->cch - 1);
      std::copy(it->text.begin(), it->text.begin() + k, info->dwTypeData);
      info->dwTypeData[k] = 0;
      info->cch = k;
    } else {
      info->cch = n;
    }
  }
  return TRUE;
}

int GetMenuStringW(HMENU menu, UINT item, LPWSTR out, int capacity, UINT flags) {
  auto* it = FindItem(menu, item, flags);
  if (!it) return 0;
  if (!out || capacity <= 0) return static_cast<int>(it->text.size());
  int n = std::min<int>(static_cast<int>(it->text.size()), capacity - 1);
  std::copy(it->text.begin(), it->text.begin() + n, out);
  out[n] = 0;
  return n;
}

HMENU MenuOfMenuWindow(HWND hwnd) {
  Level* lv = LevelOf(hwnd);
  return lv ? lv->menu : nullptr;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  if (!Live(menu) || !IsWindow(owner) || g_tracker) return FALSE;
  RegisterStandardControls();
  Tracker t;
  t.owner = owner;
  t.flags = flags;
  Tracker* outer = g_tracker;
  g_tracker = &t;
  SendMessageW(owner, WM_ENTERMENULOOP, TRUE, 0);
  if (!OpenLevel(t, menu, x, y, flags, nullptr)) {
    g_tracker = outer;
    return FALSE;
  }
  HWND root = t.levels.front().wnd;
  SetCapture(root);
  bool quit = false;
  int quitCode = 0;
  MSG msg;
  while (!t.done) {
    if (!GetMessageW(&msg, nullptr, 0, 0)) {
      quit = true;
      quitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
      Key(t, static_cast<UINT>(msg.wParam));
    } else if (msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP || msg.message == WM_CHAR ||
               msg.message == WM_SYSCHAR) {
      // taken by the menu
    } else if (msg.message >= WM_MOUSEMOVE && msg.message <= WM_MBUTTONDBLCLK) {
      Mouse(t, msg);
    } else {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (!t.done && (GetCapture() != root || !IsWindow(owner))) t.done = true;  // capture taken away
  }
  if (GetCapture() == root) ReleaseCapture();
  CloseLevelsAfter(t, 0);
  DestroyWindow(root);
  g_tracker = outer;
  SendMessageW(owner, WM_EXITMENULOOP, TRUE, 0);
  if (quit) PostQuitMessage(quitCode);
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(t.chosen);
  if (t.chosen && !(flags & TPM_NONOTIFY) && IsWindow(owner)) PostMessageW(owner, WM_COMMAND, t.chosen, 0);
  return t.chosen ? TRUE : FALSE;
}

BOOL EndMenu() {
  if (!g_tracker) return FALSE;
  g_tracker->done = true;
  PostMessageW(g_tracker->owner, WM_NULL, 0, 0);  // wakes the loop
  return TRUE;
}

namespace ctl {
void RegisterMenuClass() {
  RegisterControlClass(WC_POPUPMENU, MenuWindowProc, CS_SAVEBITS | CS_DBLCLKS, IDC_ARROW, GetSysColorBrush(COLOR_MENU));
}
}  // namespace ctl

// Image lists and SysTreeView32: items with text, image and selected image,
// expanding and collapsing (TVN_ITEMEXPANDINGW may refuse, then
// TVN_ITEMEXPANDEDW), selection (TVN_SELCHANGEDW), hit tests, item
// rectangles, lines and buttons, keyboard navigation, NM_CLICK, custom draw
// at the item stage, and painting into a supplied DC (WM_PAINT or
// WM_PRINTCLIENT with a DC) that leaves the tree's background colour as the
// DC's background colour.
#include "platform/controls/win_ctl_internal.h"
#include "platform/window/win_internal.h"

#include <QImage>

#include <algorithm>
#include <memory>

struct IMAGELIST__ {
  int cx = 16, cy = 16;
  std::vector<HBITMAP> pictures;  // premultiplied ARGB, one per image
};

HIMAGELIST ImageList_Create(int cx, int cy, UINT, int, int) {
  if (cx <= 0 || cy <= 0) return nullptr;
  auto* l = new IMAGELIST__;
  l->cx = cx;
  l->cy = cy;
  return l;
}

BOOL ImageList_Destroy(HIMAGELIST list) {
  if (!list) return FALSE;
  for (HBITMAP b : list->pictures) DeleteObject(b);
  delete list;
  return TRUE;
}

namespace {
int AddPictures(HIMAGELIST list, HBITMAP image, bool keyed, COLORREF key) {
  if (!list) return -1;
  QImage* src = GetBitmapImage(image);
  if (!src || src->isNull()) return -1;
  QImage argb = src->convertToFormat(QImage::Format_ARGB32);
  if (keyed) {
    QRgb k = qRgb(GetRValue(key), GetGValue(key), GetBValue(key));
    for (int y = 0; y < argb.height(); ++y)
      for (int x = 0; x < argb.width(); ++x)
        if ((argb.pixel(x, y) & 0xFFFFFF) == (k & 0xFFFFFF)) argb.setPixel(x, y, 0);
  }
  int first = static_cast<int>(list->pictures.size());
  for (int x = 0; x + list->cx <= argb.width(); x += list->cx)
    list->pictures.push_back(CreateBitmapFromImage(argb.copy(x, 0, list->cx, std::min(list->cy, argb.height()))));
  return static_cast<int>(list->pictures.size()) > first ? first : -1;
}
}  // namespace

int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP) { return AddPictures(list, image, false, 0); }
int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF key) { return AddPictures(list, image, true, key); }
int ImageList_AddIcon(HIMAGELIST list, HICON icon) {
  const QImage picture = IconPicture(icon);
  if (!list || picture.isNull()) return -1;
  QImage argb = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (argb.width() != list->cx || argb.height() != list->cy)
    argb = argb.scaled(list->cx, list->cy, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  list->pictures.push_back(CreateBitmapFromImage(argb));
  return static_cast<int>(list->pictures.size()) - 1;
}
int ImageList_GetImageCount(HIMAGELIST list) { return list ? static_cast<int>(list->pictures.size()) : 0; }

BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy) {
  if (!list) return FALSE;
  if (cx) *cx = list->cx;
  if (cy) *cy = list->cy;
  return TRUE;
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT) {
  if (!list || index < 0 || static_cast<size_t>(index) >= list->pictures.size()) return FALSE;
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, list->pictures[static_cast<size_t>(index)]);
  BLENDFUNCTION bf;
  bf.AlphaFormat = AC_SRC_ALPHA;
  BOOL ok = AlphaBlend(dc, x, y, list->cx, list->cy, mem, 0, 0, list->cx, list->cy, bf);
  SelectObject(mem, old);
  DeleteDC(mem);
  return ok;
}

// ---------------------------------------------------------------------------

struct TREEITEM__ {
  TREEITEM__* parent = nullptr;
  std::vector<std::unique_ptr<TREEITEM__>> children;
  WString text;
  int image = 0, selectedImage = 0;
  UINT state = 0;
  LPARAM param = 0;
  int explicitChildren = 0;  // TVIF_CHILDREN: 1 shows a button before children exist
};

namespace {

struct Tree {
  TREEITEM__ root;
  HTREEITEM caret = nullptr;
  HIMAGELIST images = nullptr;
  int indent = 19;
  int top = 0;  // first visible row
  bool focus = false;
  COLORREF bk = CLR_INVALID, text = CLR_INVALID;
};

ctl::StateMap<Tree>& Trees() {
  static ctl::StateMap<Tree> map;
  return map;
}

COLORREF Background(Tree* t) { return t->bk == CLR_INVALID ? GetSysColor(COLOR_WINDOW) : t->bk; }

bool Owns(Tree* t, HTREEITEM item) {
  if (!item) return false;
  HTREEITEM p = item;
  while (p->parent) p = p->parent;
  return p == &t->root && item != &t->root;
}

// Visible rows in order with their depth.
void Flatten(HTREEITEM node, int depth, std::vector<std::pair<HTREEITEM, int>>& out) {
  for (auto& c : node->children) {
    out.emplace_back(c.get(), depth);
    if (c->state & TVIS_EXPANDED) Flatten(c.get(), depth + 1, out);
  }
}
std::vector<std::pair<HTREEITEM, int>> Rows(Tree* t) {
  std::vector<std::pair<HTREEITEM, int>> v;
  Flatten(&t->root, 0, v);
  return v;
}

int RowHeight(HWND h, Tree* t) {
  HDC dc = GetDC(h);
  HGDIOBJ old = SelectObject(dc, ctl::FontOf(h));
  int th = ctl::TextHeight(dc);
  SelectObject(dc, old);
  ReleaseDC(h, dc);
  int ih = 0;
  if (t->images) ImageList_GetIconSize(t->images, nullptr, &ih);
  return std::max({th + 3, ih + 2, 16});
}

bool RootLines(HWND h) { return (ctl::Style(h) & TVS_LINESATROOT) != 0; }
int Level0X(HWND h, Tree* t) { return RootLines(h) ? t->indent : 0; }

struct RowGeometry {
  RECT row, button, icon, text;
};

RowGeometry Geometry(HWND h, Tree* t, HDC dc, HTREEITEM item, int depth, int index) {
  RowGeometry g;
  RECT rc;
  GetClientRect(h, &rc);
  int rh = RowHeight(h, t);
  int y = (index - t->top) * rh;
  g.row = RECT{0, y, rc.right, y + rh};
  int x = Level0X(h, t) + depth * t->indent;
  g.button = RECT{x - t->indent, y, x, y + rh};
  int iw = 0;
  if (t->images) ImageList_GetIconSize(t->images, &iw, nullptr);
  g.icon = RECT{x, y, x + iw, y + rh};
  int tx = x + (iw ? iw + 3 : 0);
  int w = ctl::TextWidth(dc, item->text.c_str(), static_cast<int>(item->text.size()));
  g.text = RECT{tx, y, tx + w + 4, y + rh};
  return g;
}

void SendTree(HWND h, NMHDR* hdr, UINT code) {
  hdr->hwndFrom = h;
  hdr->idFrom = static_cast<UINT_PTR>(ctl::Id(h));
  hdr->code = code;
}
LRESULT Tell(HWND h, NMHDR* hdr) {
  HWND parent = GetParent(h);
  return parent ? SendMessageW(parent, WM_NOTIFY, hdr->idFrom, reinterpret_cast<LPARAM>(hdr)) : 0;
}

void FillItem(TVITEMW* out, HTREEITEM item) {
  out->hItem = item;
  out->state = item ? item->state : 0;
  out->lParam = item ? item->param : 0;
  out->mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM;
}

bool HasChildren(HTREEITEM item) { return !item->children.empty() || item->explicitChildren > 0; }

bool Expand(HWND h, Tree* t, HTREEITEM item, UINT code) {
  if (!Owns(t, item)) return false;
  bool open = (item->state & TVIS_EXPANDED) != 0;
  UINT action = code & 3;
  if (action == TVE_TOGGLE) action = open ? TVE_COLLAPSE : TVE_EXPAND;
  if ((action == TVE_EXPAND) == open) return false;
  if (!HasChildren(item)) return false;
  NMTREEVIEWW nm;
  SendTree(h, &nm.hdr, TVN_ITEMEXPANDINGW);
  nm.action = action;
  FillItem(&nm.itemNew, item);
  if (Tell(h, &nm.hdr)) return false;  // refused
  if (action == TVE_EXPAND) item->state |= TVIS_EXPANDED;
  else item->state &= ~TVIS_EXPANDED;
  // A collapsed branch gives the selection to its parent.
  if (action == TVE_COLLAPSE && t->caret && t->caret != item) {
    for (HTREEITEM p = t->caret->parent; p; p = p->parent)
      if (p == item) {
        t->caret->state &= ~TVIS_SELECTED;
        t->caret = item;
        item->state |= TVIS_SELECTED;
        break;
      }
  }
  SendTree(h, &nm.hdr, TVN_ITEMEXPANDEDW);
  FillItem(&nm.itemNew, item);
  Tell(h, &nm.hdr);
  InvalidateRect(h, nullptr, TRUE);
  return true;
}

void EnsureVisible(HWND h, Tree* t, HTREEITEM item) {
  for (HTREEITEM p = item->parent; p && p != &t->root; p = p->parent)
    if (!(p->state & TVIS_EXPANDED)) Expand(h, t, p, TVE_EXPAND);
  auto rows = Rows(t);
  RECT rc;
  GetClientRect(h, &rc);
  int page = std::max(1, static_cast<int>(rc.bottom / RowHeight(h, t)));
  for (int i = 0; i < static_cast<int>(rows.size()); ++i)
    if (rows[static_cast<size_t>(i)].first == item) {
      if (i < t->top) t->top = i;
      if (i >= t->top + page) t->top = i - page + 1;
    }
  InvalidateRect(h, nullptr, TRUE);
}

void Select(HWND h, Tree* t, HTREEITEM item, UINT how) {
  if (item == t->caret) return;
  NMTREEVIEWW nm;
  SendTree(h, &nm.hdr, TVN_SELCHANGEDW);
  nm.action = how;
  FillItem(&nm.itemOld, t->caret);
  if (t->caret) t->caret->state &= ~TVIS_SELECTED;
  t->caret = item;
  if (item) {
    item->state |= TVIS_SELECTED;
    EnsureVisible(h, t, item);
  }
  FillItem(&nm.itemNew, item);
  Tell(h, &nm.hdr);
  InvalidateRect(h, nullptr, TRUE);
}

void Paint(HWND h, Tree* t, HDC dc) {
  RECT rc;
  GetClientRect(h, &rc);
  HGDIOBJ oldFont = SelectObject(dc, ctl::FontOf(h));
  COLORREF bk = Background(t);
  HBRUSH bb = CreateSolidBrush(bk);
  FillRect(dc, &rc, bb);
  DeleteObject(bb);
  DWORD style = ctl::Style(h);
  NMTVCUSTOMDRAW cd;
  SendTree(h, &cd.nmcd.hdr, NM_CUSTOMDRAW);
  cd.nmcd.dwDrawStage = CDDS_PREPAINT;
  cd.nmcd.hdc = dc;
  cd.nmcd.rc = rc;
  LRESULT pre = Tell(h, &cd.nmcd.hdr);
  auto rows = Rows(t);
  HPEN dotted = CreatePen(PS_DOT, 1, GetSysColor(COLOR_BTNSHADOW));
  for (int i = t->top; i < static_cast<int>(rows.size()); ++i) {
    HTREEITEM item = rows[static_cast<size_t>(i)].first;
    int depth = rows[static_cast<size_t>(i)].second;
    RowGeometry g = Geometry(h, t, dc, item, depth, i);
    if (g.row.top >= rc.bottom) break;
    int midY = (g.row.top + g.row.bottom) / 2;
    int bx = (g.button.left + g.button.right) / 2;
    if ((style & TVS_HASLINES) && (depth > 0 || RootLines(h))) {
      HGDIOBJ op = SelectObject(dc, dotted);
      SetBkMode(dc, TRANSPARENT);
      MoveToEx(dc, bx, midY, nullptr);
      LineTo(dc, g.button.right, midY);
      bool last = item->parent->children.back().get() == item;
      bool first = item->parent == &t->root && item->parent->children.front().get() == item;
      MoveToEx(dc, bx, first ? midY : g.row.top, nullptr);
      LineTo(dc, bx, last ? midY + 1 : g.row.bottom);
      // Lines of the ancestors that continue below.
      int ax = bx;
      for (HTREEITEM p = item->parent; p && p != &t->root; p = p->parent) {
        ax -= t->indent;
        if (p->parent->children.back().get() != p && (p->parent != &t->root || RootLines(h))) {
          MoveToEx(dc, ax, g.row.top, nullptr);
          LineTo(dc, ax, g.row.bottom);
        }
      }
      SelectObject(dc, op);
    }
    if ((style & TVS_HASBUTTONS) && HasChildren(item) && (depth > 0 || RootLines(h))) {
      RECT box{bx - 4, midY - 4, bx + 5, midY + 5};
      FillRect(dc, &box, GetSysColorBrush(COLOR_WINDOW));
      FrameRect(dc, &box, GetSysColorBrush(COLOR_BTNSHADOW));
      HGDIOBJ op = SelectObject(dc, GetStockObject(BLACK_PEN));
      MoveToEx(dc, bx - 2, midY, nullptr);
      LineTo(dc, bx + 3, midY);
      if (!(item->state & TVIS_EXPANDED)) {
        MoveToEx(dc, bx, midY - 2, nullptr);
        LineTo(dc, bx, midY + 3);
      }
      SelectObject(dc, op);
    }
    bool sel = (item->state & TVIS_SELECTED) && (t->focus || (style & TVS_SHOWSELALWAYS));
    COLORREF text = t->text == CLR_INVALID ? GetSysColor(COLOR_WINDOWTEXT) : t->text;
    COLORREF textBk = bk;
    if (sel) {
      text = t->focus ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_WINDOWTEXT);
      textBk = t->focus ? GetSysColor(COLOR_HIGHLIGHT) : GetSysColor(COLOR_BTNFACE);
    }
    LRESULT answer = CDRF_DODEFAULT;
    if (pre & CDRF_NOTIFYITEMDRAW) {
      cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
      cd.nmcd.rc = g.row;
      cd.nmcd.dwItemSpec = reinterpret_cast<std::uintptr_t>(item);
      cd.nmcd.uItemState = ((item->state & TVIS_SELECTED) ? CDIS_SELECTED : 0) | (item == t->caret && t->focus ? CDIS_FOCUS : 0);
      cd.nmcd.lItemlParam = item->param;
      cd.clrText = text;
      cd.clrTextBk = textBk;
      cd.iLevel = depth;
      answer = Tell(h, &cd.nmcd.hdr);
      text = cd.clrText;
      textBk = cd.clrTextBk;
    }
    if (!(answer & CDRF_SKIPDEFAULT)) {
      if (t->images)
        ImageList_Draw(t->images, sel ? item->selectedImage : item->image, dc, g.icon.left,
                       g.icon.top + (g.icon.bottom - g.icon.top - (g.icon.right - g.icon.left)) / 2, ILD_TRANSPARENT);
      if (textBk != bk) {
        HBRUSH b = CreateSolidBrush(textBk);
        FillRect(dc, &g.text, b);
        DeleteObject(b);
      }
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, text);
      RECT tr = g.text;
      tr.left += 2;
      DrawTextW(dc, item->text.c_str(), static_cast<int>(item->text.size()), &tr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
      if (item == t->caret && t->focus) DrawFocusRect(dc, &g.text);
    }
    if (answer & CDRF_NOTIFYPOSTPAINT) {
      cd.nmcd.dwDrawStage = CDDS_ITEMPOSTPAINT;
      Tell(h, &cd.nmcd.hdr);
    }
  }
  DeleteObject(dotted);
  SelectObject(dc, oldFont);
  SetBkColor(dc, bk);  // the tree's background is left as the DC's background colour
}

HTREEITEM Hit(HWND h, Tree* t, POINT p, UINT* flags) {
  auto rows = Rows(t);
  int rh = RowHeight(h, t);
  int i = p.y < 0 ? -1 : t->top + p.y / rh;
  *flags = TVHT_NOWHERE;
  if (i < 0 || i >= static_cast<int>(rows.size())) return nullptr;
  HTREEITEM item = rows[static_cast<size_t>(i)].first;
  HDC dc = GetDC(h);
  HGDIOBJ old = SelectObject(dc, ctl::FontOf(h));
  RowGeometry g = Geometry(h, t, dc, item, rows[static_cast<size_t>(i)].second, i);
  SelectObject(dc, old);
  ReleaseDC(h, dc);
  if (p.x >= g.button.left && p.x < g.button.right) *flags = HasChildren(item) ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
  else if (p.x < g.button.left) *flags = TVHT_ONITEMINDENT;
  else if (p.x < g.icon.right && g.icon.right > g.icon.left) *flags = TVHT_ONITEMICON;
  else if (p.x < g.text.right) *flags = TVHT_ONITEMLABEL;
  else *flags = TVHT_ONITEMRIGHT;
  return item;
}

HTREEITEM Insert(Tree* t, const TVINSERTSTRUCTW* ins) {
  HTREEITEM parent = (!ins->hParent || ins->hParent == TVI_ROOT) ? &t->root : ins->hParent;
  if (parent != &t->root && !Owns(t, parent)) return nullptr;
  auto item = std::make_unique<TREEITEM__>();
  item->parent = parent;
  const TVITEMW& it = ins->item;
  if ((it.mask & TVIF_TEXT) && it.pszText) item->text = it.pszText;
  if (it.mask & TVIF_IMAGE) item->image = it.iImage;
  item->selectedImage = (it.mask & TVIF_SELECTEDIMAGE) ? it.iSelectedImage : item->image;
  if (it.mask & TVIF_PARAM) item->param = it.lParam;
  if (it.mask & TVIF_STATE) item->state = it.state & it.stateMask & ~TVIS_SELECTED;
  if (it.mask & TVIF_CHILDREN) item->explicitChildren = it.cChildren;
  HTREEITEM raw = item.get();
  auto& kids = parent->children;
  if (ins->hInsertAfter == TVI_FIRST) {
    kids.insert(kids.begin(), std::move(item));
  } else {
    auto at = kids.end();
    for (auto k = kids.begin(); k != kids.end(); ++k)
      if (k->get() == ins->hInsertAfter) at = k + 1;
    kids.insert(at, std::move(item));
  }
  return raw;
}

int CountAll(HTREEITEM node) {
  int n = 0;
  for (auto& c : node->children) n += 1 + CountAll(c.get());
  return n;
}

// ---------------------------------------------------------------------------
// Messages, one function each.

LRESULT OnFocus(HWND h, Tree* t, bool gained) {
  t->focus = gained;
  InvalidateRect(h, nullptr, TRUE);
  return 0;
}

// A press on the button toggles; on the label or icon selects (and a double
// click toggles too); then NM_CLICK or NM_DBLCLK.
LRESULT OnButtonDown(HWND h, Tree* t, bool dbl, POINT p) {
  SetFocus(h);
  UINT flags = 0;
  HTREEITEM item = Hit(h, t, p, &flags);
  if (item && (flags & TVHT_ONITEMBUTTON) && !dbl) {
    Expand(h, t, item, TVE_TOGGLE);
  } else if (item && (flags & (TVHT_ONITEMLABEL | TVHT_ONITEMICON))) {
    Select(h, t, item, TVC_BYMOUSE);
    if (dbl) Expand(h, t, item, TVE_TOGGLE);
  }
  UpdateWindow(h);
  NMHDR hdr;
  SendTree(h, &hdr, dbl ? NM_DBLCLK : NM_CLICK);
  Tell(h, &hdr);
  return 0;
}

// Up/Down/Home/End move; Left collapses, then goes to the parent; Right
// expands, then goes to the first child; + and - expand and collapse.
LRESULT OnKeyDown(HWND h, Tree* t, WPARAM key) {
  auto rows = Rows(t);
  int at = -1;
  for (int i = 0; i < static_cast<int>(rows.size()); ++i)
    if (rows[static_cast<size_t>(i)].first == t->caret) at = i;
  HTREEITEM to = nullptr;
  HTREEITEM c = t->caret;
  switch (key) {
    case VK_UP: if (at > 0) to = rows[static_cast<size_t>(at - 1)].first; break;
    case VK_DOWN:
      if (at + 1 < static_cast<int>(rows.size())) to = rows[static_cast<size_t>(at + 1)].first;
      break;
    case VK_HOME: if (!rows.empty()) to = rows.front().first; break;
    case VK_END: if (!rows.empty()) to = rows.back().first; break;
    case VK_LEFT:
      if (c && (c->state & TVIS_EXPANDED)) Expand(h, t, c, TVE_COLLAPSE);
      else if (c && c->parent != &t->root) to = c->parent;
      break;
    case VK_RIGHT:
      if (c && HasChildren(c) && !(c->state & TVIS_EXPANDED)) Expand(h, t, c, TVE_EXPAND);
      else if (c && !c->children.empty()) to = c->children.front().get();
      break;
    case VK_ADD: if (c) Expand(h, t, c, TVE_EXPAND); break;
    case VK_SUBTRACT: if (c) Expand(h, t, c, TVE_COLLAPSE); break;
    default: break;
  }
  if (!c && !rows.empty() && (key == VK_UP || key == VK_DOWN)) to = rows.front().first;
  if (to) Select(h, t, to, TVC_BYKEYBOARD);
  return 0;
}

LRESULT OnWheel(HWND h, Tree* t, WPARAM w) {
  int n = static_cast<int>(Rows(t).size());
  t->top = std::clamp(t->top - GET_WHEEL_DELTA_WPARAM(w) / WHEEL_DELTA * 3, 0, std::max(0, n - 1));
  InvalidateRect(h, nullptr, TRUE);
  return 0;
}

LRESULT InsertItem(HWND h, Tree* t, const TVINSERTSTRUCTW* ins) {
  if (!ins) return 0;
  HTREEITEM item = Insert(t, ins);
  InvalidateRect(h, nullptr, TRUE);
  return reinterpret_cast<LRESULT>(item);
}

// TVI_ROOT (or null) empties the tree.
LRESULT DeleteItem(HWND h, Tree* t, HTREEITEM item) {
  if (!item || item == TVI_ROOT) {
    t->root.children.clear();
    t->caret = nullptr;
    t->top = 0;
  } else {
    if (!Owns(t, item)) return FALSE;
    for (HTREEITEM c = t->caret; c; c = c->parent)
      if (c == item) t->caret = nullptr;
    auto& kids = item->parent->children;
    kids.erase(std::remove_if(kids.begin(), kids.end(), [&](auto& k) { return k.get() == item; }), kids.end());
  }
  t->top = std::clamp(t->top, 0, std::max(0, static_cast<int>(Rows(t).size()) - 1));
  InvalidateRect(h, nullptr, TRUE);
  return TRUE;
}

LRESULT SelectItem(HWND h, Tree* t, WPARAM how, HTREEITEM item) {
  if ((how & 0xF) != TVGN_CARET) return FALSE;
  if (item && !Owns(t, item)) return FALSE;
  Select(h, t, item, TVC_UNKNOWN);
  return TRUE;
}

LRESULT EnsureVisibleMsg(HWND h, Tree* t, HTREEITEM item) {
  if (!Owns(t, item)) return FALSE;
  EnsureVisible(h, t, item);
  return TRUE;
}

// The sibling dir places away from item (null at either end).
HTREEITEM Sibling(Tree* t, HTREEITEM item, int dir) {
  if (!Owns(t, item)) return nullptr;
  auto& kids = item->parent->children;
  for (size_t i = 0; i < kids.size(); ++i)
    if (kids[i].get() == item) {
      long j = static_cast<long>(i) + dir;
      return j >= 0 && j < static_cast<long>(kids.size()) ? kids[static_cast<size_t>(j)].get() : nullptr;
    }
  return nullptr;
}

HTREEITEM NextItem(Tree* t, WPARAM how, HTREEITEM item) {
  switch (how) {
    case TVGN_ROOT: return t->root.children.empty() ? nullptr : t->root.children.front().get();
    case TVGN_NEXT: return Sibling(t, item, 1);
    case TVGN_PREVIOUS: return Sibling(t, item, -1);
    case TVGN_PARENT: return Owns(t, item) && item->parent != &t->root ? item->parent : nullptr;
    case TVGN_CHILD: {
      HTREEITEM node = (!item || item == TVI_ROOT) ? &t->root : (Owns(t, item) ? item : nullptr);
      return node && !node->children.empty() ? node->children.front().get() : nullptr;
    }
    case TVGN_CARET: return t->caret;
    case TVGN_FIRSTVISIBLE: {
      auto rows = Rows(t);
      return t->top < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(t->top)].first : nullptr;
    }
    default: return nullptr;
  }
}

LRESULT SetImageList(HWND h, Tree* t, HIMAGELIST images) {
  HIMAGELIST old = t->images;
  t->images = images;
  InvalidateRect(h, nullptr, TRUE);
  return reinterpret_cast<LRESULT>(old);
}

LRESULT SetIndent(HWND h, Tree* t, WPARAM indent) {
  t->indent = std::max(8, static_cast<int>(indent));
  InvalidateRect(h, nullptr, TRUE);
  return 0;
}

// Sets one of the colours; the previous one is returned.
LRESULT SetColour(HWND h, COLORREF* slot, LPARAM l) {
  COLORREF old = *slot;
  *slot = static_cast<COLORREF>(l);
  InvalidateRect(h, nullptr, TRUE);
  return static_cast<LRESULT>(old);
}

// The item is passed in the rectangle; textOnly asks for the text's part.
LRESULT ItemRect(HWND h, Tree* t, WPARAM textOnly, RECT* r) {
  if (!r) return FALSE;
  HTREEITEM item = *reinterpret_cast<HTREEITEM*>(r);
  auto rows = Rows(t);
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    if (rows[static_cast<size_t>(i)].first != item) continue;
    HDC dc = GetDC(h);
    HGDIOBJ old = SelectObject(dc, ctl::FontOf(h));
    RowGeometry g = Geometry(h, t, dc, item, rows[static_cast<size_t>(i)].second, i);
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    *r = textOnly ? g.text : g.row;
    return TRUE;
  }
  return FALSE;
}

LRESULT HitTest(HWND h, Tree* t, TVHITTESTINFO* ht) {
  if (!ht) return 0;
  ht->hItem = Hit(h, t, ht->pt, &ht->flags);
  return reinterpret_cast<LRESULT>(ht->hItem);
}

LRESULT GetItem(Tree* t, TVITEMW* it) {
  if (!it || !Owns(t, it->hItem)) return FALSE;
  HTREEITEM item = it->hItem;
  if ((it->mask & TVIF_TEXT) && it->pszText && it->cchTextMax > 0) {
    int n = std::min<int>(static_cast<int>(item->text.size()), it->cchTextMax - 1);
    std::copy(item->text.begin(), item->text.begin() + n, it->pszText);
    it->pszText[n] = 0;
  }
  if (it->mask & TVIF_IMAGE) it->iImage = item->image;
  if (it->mask & TVIF_SELECTEDIMAGE) it->iSelectedImage = item->selectedImage;
  if (it->mask & TVIF_PARAM) it->lParam = item->param;
  if (it->mask & TVIF_STATE) it->state = item->state & (it->stateMask ? it->stateMask : 0xFFFFFFFFu);
  if (it->mask & TVIF_CHILDREN) it->cChildren = HasChildren(item) ? 1 : 0;
  return TRUE;
}

// Selection and expansion change only through their own messages.
LRESULT SetItem(HWND h, Tree* t, const TVITEMW* it) {
  if (!it || !Owns(t, it->hItem)) return FALSE;
  HTREEITEM item = it->hItem;
  if ((it->mask & TVIF_TEXT) && it->pszText) item->text = it->pszText;
  if (it->mask & TVIF_IMAGE) item->image = it->iImage;
  if (it->mask & TVIF_SELECTEDIMAGE) item->selectedImage = it->iSelectedImage;
  if (it->mask & TVIF_PARAM) item->param = it->lParam;
  if (it->mask & TVIF_CHILDREN) item->explicitChildren = it->cChildren;
  if (it->mask & TVIF_STATE) {
    UINT mask = it->stateMask & ~(TVIS_SELECTED | TVIS_EXPANDED);
    item->state = (item->state & ~mask) | (it->state & mask);
  }
  InvalidateRect(h, nullptr, TRUE);
  return TRUE;
}

template <class T>
T* Ptr(LPARAM l) {
  return reinterpret_cast<T*>(l);
}

LRESULT TreeProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_NCCREATE) {
    Trees().Make(h);
    return DefWindowProcW(h, msg, w, l);
  }
  if (msg == WM_NCDESTROY) {
    Trees().Drop(h);
    return DefWindowProcW(h, msg, w, l);
  }
  Tree* t = Trees().Get(h);
  if (!t) return DefWindowProcW(h, msg, w, l);
  auto item = reinterpret_cast<HTREEITEM>(l);
  switch (msg) {
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT: return ctl::PaintControl(h, w, [&](HDC dc) { Paint(h, t, dc); });
    case WM_SETFOCUS: return OnFocus(h, t, true);
    case WM_KILLFOCUS: return OnFocus(h, t, false);
    case WM_LBUTTONDOWN: return OnButtonDown(h, t, false, POINT{GET_X_LPARAM(l), GET_Y_LPARAM(l)});
    case WM_LBUTTONDBLCLK: return OnButtonDown(h, t, true, POINT{GET_X_LPARAM(l), GET_Y_LPARAM(l)});
    case WM_KEYDOWN: return OnKeyDown(h, t, w);
    case WM_MOUSEWHEEL: return OnWheel(h, t, w);
    case TVM_INSERTITEMW: return InsertItem(h, t, Ptr<const TVINSERTSTRUCTW>(l));
    case TVM_DELETEITEM: return DeleteItem(h, t, item);
    case TVM_EXPAND: return Expand(h, t, item, static_cast<UINT>(w));
    case TVM_SELECTITEM: return SelectItem(h, t, w, item);
    case TVM_ENSUREVISIBLE: return EnsureVisibleMsg(h, t, item);
    case TVM_GETNEXTITEM: return reinterpret_cast<LRESULT>(NextItem(t, w, item));
    case TVM_GETCOUNT: return CountAll(&t->root);
    case TVM_SETIMAGELIST: return SetImageList(h, t, reinterpret_cast<HIMAGELIST>(l));
    case TVM_GETINDENT: return t->indent;
    case TVM_SETINDENT: return SetIndent(h, t, w);
    case TVM_SETBKCOLOR: return SetColour(h, &t->bk, l);
    case TVM_GETBKCOLOR: return static_cast<LRESULT>(t->bk);
    case TVM_SETTEXTCOLOR: return SetColour(h, &t->text, l);
    case TVM_GETITEMRECT: return ItemRect(h, t, w, Ptr<RECT>(l));
    case TVM_HITTEST: return HitTest(h, t, Ptr<TVHITTESTINFO>(l));
    case TVM_GETITEMW: return GetItem(t, Ptr<TVITEMW>(l));
    case TVM_SETITEMW: return SetItem(h, t, Ptr<const TVITEMW>(l));
    default: return DefWindowProcW(h, msg, w, l);
  }
}

}  // namespace

namespace ctl {
void RegisterTreeView() {
  RegisterControlClass(WC_TREEVIEW, TreeProc, CS_DBLCLKS | CS_PARENTDC);
}
}  // namespace ctl

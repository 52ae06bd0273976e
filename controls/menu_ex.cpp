// CMenuEx: item records, measuring and drawing; FlatMenuWndProc.
#include "controls/menu_ex.h"

#include "foundation/draw_helpers.h"

namespace {

constexpr UINT kMarkFormat = DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER;  // 0x64
constexpr UINT kTextFormat = DT_SINGLELINE | DT_VCENTER;                  // 0x24
constexpr int kMarkPad = 4;      // the mark cell is the mark size + 4 each way
constexpr int kTextGap = 6;      // between the mark cell and the text
constexpr int kWidthExtra = 12;  // item width = text + mark height + 12

WNDPROC g_menuSuper = nullptr;  // the menu class's procedure before ours

}  // namespace

CMenuEx::CMenuEx() { font_.Attach(CreateUiFont(GetUiFontFace(), 18)); }

CMenuEx::~CMenuEx() {
  font_.DeleteObject();
  imageList_.DeleteImageList();
  DestroyMenu();
  items_.clear();
}

BOOL CMenuEx::AppendItem(UINT flags, UINT_PTR id, LPCWSTR text) {
  auto item = std::make_unique<tagMENUITEM>();
  item->text = text ? WString(text) : WString();
  item->id = id;
  item->opensSubmenu = (flags & MF_POPUP) != 0;
  if (item->text.empty()) flags |= MF_SEPARATOR;
  tagMENUITEM* record = item.get();
  items_.push_back(std::move(item));
  // An owner-drawn item's "text" is its item data: the record.
  LPCWSTR data = (flags & MF_OWNERDRAW) ? reinterpret_cast<LPCWSTR>(record) : text;
  return AppendMenu(flags, id, data);
}

tagMENUITEM* CMenuEx::FindItem(UINT_PTR id) {
  for (auto& item : items_)
    if (item->id == id) return item.get();
  return nullptr;
}

// The record for a request. The request's id is only 32 bits wide, so the
// item data (our record, unless a caller replaced the item) gives the whole
// id when it can; the first record of that id is the answer.
tagMENUITEM* CMenuEx::RecordOf(UINT itemID, std::uintptr_t itemData) {
  UINT_PTR id = itemID;
  for (auto& item : items_)
    if (reinterpret_cast<std::uintptr_t>(item.get()) == itemData) id = item->id;
  return FindItem(id);
}

void CMenuEx::MeasureItem(LPMEASUREITEMSTRUCT mis) {
  tagMENUITEM* item = RecordOf(mis->itemID, mis->itemData);
  CWnd* main = AfxGetMainWnd();
  HWND mainWnd = main ? main->m_hWnd : nullptr;
  HDC dc = ::GetDC(mainWnd);
  HGDIOBJ oldFont = ::SelectObject(dc, font_.m_hObject);
  SIZE size{0, 0};
  if (item && !item->text.empty())
    ::GetTextExtentPoint32W(dc, item->text.c_str(), static_cast<int>(item->text.size()), &size);
  ::SelectObject(dc, oldFont);
  ::ReleaseDC(mainWnd, dc);
  mis->itemWidth = static_cast<UINT>(size.cx + markSize_.cy + kWidthExtra);
  mis->itemHeight = static_cast<UINT>(markSize_.cy + 10);
}

void CMenuEx::DrawEmbossed(CDC& dc, const WString& text, const RECT& rc) {
  CRect raised(rc);
  raised.OffsetRect(1, 1);
  dc.SetTextColor(RGB(255, 255, 255));
  dc.DrawText(text, &raised, kMarkFormat);
  CRect place(rc);
  dc.SetTextColor(RGB(127, 127, 127));
  dc.DrawText(text, &place, kMarkFormat);
}

void CMenuEx::DrawItem(LPDRAWITEMSTRUCT dis) {
  CDC* dc = CDC::FromHandle(dis->hDC);
  const CRect r(dis->rcItem);
  tagMENUITEM* item = RecordOf(dis->itemID, dis->itemData);
  const bool selected = (dis->itemState & ODS_SELECTED) != 0;
  const COLORREF text = selected ? selectedTextColor_ : textColor_;
  dc->FillSolidRect(&r, selected ? selectedBackground_ : background_);
  dc->SetBkMode(TRANSPARENT);
  if (!item) return;

  MENUITEMINFOW info;
  info.fMask = MIIM_TYPE;
  if (!item->opensSubmenu && GetMenuItemInfo(static_cast<UINT>(item->id), &info) &&
      (info.fType & MFT_SEPARATOR)) {
    CRect line(r.left + 2, r.top + r.Height() / 2, r.right - 2, 0);
    line.bottom = line.top + 2;
    dc->Draw3dRect(&line, RGB(64, 0, 128), RGB(255, 255, 255));
    return;
  }

  CRect textRect(r.left + markSize_.cx + kTextGap, r.top, r.right, r.bottom);
  textRect.DeflateRect(2, 2);
  CRect mark(r.left, r.top, r.left + markSize_.cx + kMarkPad, r.top + markSize_.cy + kMarkPad);
  const bool grayed = (dis->itemState & ODS_GRAYED) != 0;
  if (dis->itemState & ODS_CHECKED) {
    if (grayed) {
      DrawEmbossed(*dc, u"√", mark);
    } else {
      mark.DeflateRect(2, 2);
      dc->SetTextColor(text);
      dc->DrawText(u"√", &mark, kMarkFormat);
    }
  }

  CFont* oldFont = dc->SelectObject(&font_);
  if (grayed) {
    DrawEmbossed(*dc, item->text, textRect);
  } else {
    dc->SetTextColor(text);
    dc->DrawText(item->text, &textRect, kTextFormat);
  }
  dc->SelectObject(oldFont);

  if (!item->opensSubmenu) return;
  // The layer leaves owner-drawn items wholly to their owner, the submenu
  // arrow included: a small right-pointing triangle 8 px from the right.
  CPen pen(PS_SOLID, 1, text);
  CPen* oldPen = dc->SelectObject(&pen);
  const int tip = r.right - 8, mid = r.top + r.Height() / 2;
  for (int i = 0; i < 4; ++i) {  // columns shrinking towards the tip
    dc->MoveTo(tip - 3 + i, mid - 3 + i);
    dc->LineTo(tip - 3 + i, mid + 4 - i);
  }
  dc->SelectObject(oldPen);
}

// ---------------------------------------------------------------------------
// Menu windows.

LRESULT FlatMenuWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC super = g_menuSuper;
  auto pass = [&](UINT m) {
    return super ? CallWindowProcW(super, hwnd, m, wParam, lParam) : DefWindowProcW(hwnd, m, wParam, lParam);
  };
  switch (msg) {
    case WM_CREATE: {
      LRESULT result = pass(msg);
      LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
      SetWindowLongPtrW(hwnd, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_BORDER));
      LONG_PTR exStyle = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
      SetWindowLongPtrW(hwnd, GWL_EXSTYLE,
                        exStyle & ~static_cast<LONG_PTR>(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE));
      return result;
    }
    case WM_GETICON:
      return 0;
    case WM_PRINT:
      return pass(WM_PRINTCLIENT);
    default:
      return pass(msg);
  }
}

BOOL AttachFlatMenuProc(HWND hwnd) {
  auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
  if (!current || current == FlatMenuWndProc) return FALSE;
  g_menuSuper = current;
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FlatMenuWndProc));
  return TRUE;
}

// CMenuEx: a pop-up menu whose items are drawn by the program (dark, flat,
// "√" for checked items, embossed text for greyed ones, an etched line for
// separators), and FlatMenuWndProc, the procedure that takes the border and
// 3D edge off the platform's menu windows ("#32768").
//
// Use: CreatePopupMenu(), AppendItem(MF_OWNERDRAW, id, text) for text items
// (a null or empty text adds a separator; MF_POPUP with a submenu handle as
// the id adds an item that opens it), then TrackPopupMenu with an owner
// window. The owner's default OnMeasureItem/OnDrawItem route the requests
// to the CMenuEx holding the handle; an owner that overrides them must pass
// menu requests on (CWnd::OnMeasureItem/OnDrawItem). Items are found by
// command id, so two items of the same id both show the first one's text.
//
// The application's window-creation hook calls AttachFlatMenuProc for each
// "#32768" window it sees being created. UI thread only.
#pragma once

#include "platform/mfc/afx_controls.h"

#include <memory>
#include <vector>

// One item added through CMenuEx::AppendItem.
struct tagMENUITEM {
  WString text;
  UINT_PTR id = 0;          // command id, or the submenu's handle for MF_POPUP
  int imageIndex = -1;      // -1: no image (AppendItem always sets -1)
  bool opensSubmenu = false;
};

class CMenuEx : public CMenu {
 public:
  CMenuEx();
  ~CMenuEx() override;

  // Adds the record and then the item to the menu with flags. A null or
  // empty text adds MF_SEPARATOR as well. Result of AppendMenuW.
  BOOL AppendItem(UINT flags, UINT_PTR id, LPCWSTR text);
  // The first record with the id, or null.
  tagMENUITEM* FindItem(UINT_PTR id);

  // Height 25; width = the text's width in the menu font + 27. An item
  // without a record measures as an empty text.
  void MeasureItem(LPMEASUREITEMSTRUCT mis) override;
  // Paints one item; an item without a record gets its background only.
  void DrawItem(LPDRAWITEMSTRUCT dis) override;

  static constexpr int kItemHeight = 25;

 private:
  tagMENUITEM* RecordOf(UINT itemID, std::uintptr_t itemData);
  void DrawEmbossed(CDC& dc, const WString& text, const RECT& rc);

  std::vector<std::unique_ptr<tagMENUITEM>> items_;
  COLORREF background_ = RGB(45, 45, 45);
  COLORREF selectedBackground_ = RGB(103, 103, 103);
  CImageList imageList_;  // item images; nothing fills it
  COLORREF textColor_ = RGB(240, 240, 240);
  COLORREF selectedTextColor_ = RGB(240, 240, 240);
  CSize markSize_{16, 15};
  CFont font_;
};

// The menu windows' procedure: removes WS_BORDER, WS_EX_DLGMODALFRAME and
// WS_EX_WINDOWEDGE after WM_CREATE, answers WM_GETICON with 0 and hands
// WM_PRINT on as WM_PRINTCLIENT; everything else goes to the procedure the
// window had before (kept in one process-wide slot).
LRESULT FlatMenuWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Puts FlatMenuWndProc on the window unless it is already there. TRUE when
// it was put.
BOOL AttachFlatMenuProc(HWND hwnd);

// CNavigater: the 40-pixel bar at the top of the main frame that stands in
// for the caption: background and logo pictures, one skinned button per
// top-level menu (each with an owner-drawn drop-down menu), and at its right
// end back, forward, minimise, maximise and close. Dragging the bar moves
// the frame, a double click maximises or restores it.
//
// Everything it reports is sent (not posted) to its grandparent, the main
// frame: WM_MENU_COMMAND (command id), WM_NAV_BACK (300), WM_NAV_FORWARD
// (301), WM_SYSCOMMAND (SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE), WM_CLOSE, and
// the non-client presses WM_NCLBUTTONDOWN / WM_NCLBUTTONDBLCLK (HTCAPTION).
//
// Layout (client width W, right edge R): back R-161..R-130, forward
// R-130..R-99, minimise R-89..R-61, maximise R-61..R-33, close R-33..R-5,
// each the full height; n menu buttons of w = (W - n - 383) / n pixels
// (never below 0), button i at x = (w + 1) * i + 213, from y 8 to the bottom
// less 4. Layout and painting hold the bar's lock. UI thread only.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "controls/foo_button.h"
#include "controls/menu_ex.h"
#include "platform/mfc/afx.h"

constexpr UINT ID_NAV_BACK = 300;
constexpr UINT ID_NAV_FORWARD = 301;
constexpr UINT ID_NAV_MINIMIZE = 302;
constexpr UINT ID_NAV_MAXIMIZE = 303;
constexpr UINT ID_NAV_CLOSE = 304;

class CNavigater : public CWnd {
 public:
  CNavigater();
  ~CNavigater() override;
  CNavigater(const CNavigater&) = delete;
  CNavigater& operator=(const CNavigater&) = delete;

  // Loads the three pictures (a missing one is reported by a message box:
  // "背景图片加载失败", "logo图片加载失败", "分隔条图片加载失败") and creates
  // the bar (WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN) all the same.
  BOOL Create(const RECT& rect, CWnd* parent, UINT id, const WCHAR* background, const WCHAR* logo,
              const WCHAR* separator);

  // Pictures (the transparent colour is passed on; the buttons stretch
  // their pictures) and colours, stored and applied to existing buttons.
  void SetMenuImages(const WCHAR* normal, const WCHAR* hot, COLORREF key = RGB(255, 0, 255));
  void SetNavNormalImages(const WCHAR* back, const WCHAR* forward, COLORREF key = RGB(255, 0, 255));
  void SetNavHotImages(const WCHAR* back, const WCHAR* forward, COLORREF key = RGB(255, 0, 255));
  void SetCaptionNormalImages(const WCHAR* minimize, const WCHAR* maximize, const WCHAR* close,
                              COLORREF key = RGB(255, 0, 255));
  void SetCaptionHotImages(const WCHAR* minimize, const WCHAR* maximize, const WCHAR* close,
                           COLORREF key = RGB(255, 0, 255));
  // 0xRRGGBB.
  void SetMenuTextColor(uint32_t rgb);
  void SetHandCursor(BOOL on);

  // One more menu button (type 1, group "1") with an empty drop-down menu.
  void AddTopMenu(UINT id, const WCHAR* name);
  // One item in the drop-down of every button whose id is topId; the button
  // becomes type 5 (split) with the quote flag, else 3. Unknown tops: dropped.
  void AddMenuItem(UINT topId, UINT itemId, const WCHAR* name, BOOL quote);
  // Lays the bar out for its current size and shows or hides it.
  void Relayout(BOOL show);

  // What the bar holds, for its owner and tests.
  int GetMenuCount() const { return static_cast<int>(menus_.size()); }
  FooButton* GetMenuButton(int index) const;
  UINT GetMenuId(int index) const;
  CMenuEx* GetMenu(int index) const;
  FooButton& CaptionButton(UINT id);

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  struct MenuButton {
    std::unique_ptr<FooButton> button;
    UINT id = 0;
    std::unique_ptr<CMenuEx> menu;
  };

  void LayOut(int width, int height);  // under lock_
  CWnd* Frame() const;                 // the grandparent
  void ApplyMenuLook(FooButton& button) const;

  FooButton back_, forward_, minimize_, maximize_, close_;
  std::vector<MenuButton> menus_;
  BOOL handCursor_ = FALSE;
  uint32_t menuTextRgb_ = 0xFF000000;  // unset until SetMenuTextColor
  HFONT font_ = nullptr;               // owned
  std::u16string menuNormal_, menuHot_;
  COLORREF menuKey_ = RGB(255, 0, 255);
  CImage background_, logo_, separator_;
  HDC memoryDc_ = nullptr;             // owned with memoryBitmap_, under lock_
  HBITMAP memoryBitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  std::recursive_mutex lock_;          // layout and painting
};

// CTabBar: the strip of page tabs at the top of the main window, and
// CTabButton, one tab.
//
// The bar keeps its tabs in the order they were added; the first one added
// is the home tab (20 px wide, no title, no close box). It knows nothing of
// pages: each tab stores one pointer-sized page value from AddTab and hands
// it back in its notices to the application's main window (AfxGetMainWnd,
// not the bar's parent), both sent, lParam the tab's UTF-8 title valid only
// during the call:
//   WM_OPEN_TAB  (page, title)  after every addition and every selection,
//                               re-selection and the one after a close;
//   WM_CLOSE_TAB (page, title)  before a tab is removed. A tab whose page
//                               value is 0 is never removed.
// Theme file (INI, section given to LoadSkin), picture paths relative to the
// working folder or absolute:
//   tabbar_background     the bar's background, stretched
//   tabbar_showmore       the show-more button (normal and pressed)
//   tabbar_btnbackground  tab strip of four equal frames: home selected,
//                         home not selected, tab selected, tab not selected
//   tabbar_close          close box strip of three frames: normal, under the
//                         mouse, unused; #494949 is transparent
// UI thread only.
#pragma once

#include "controls/control_messages.h"
#include "controls/foo_button.h"
#include "controls/menu_ex.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

constexpr UINT ID_TABBAR_SHOWMORE = 400;
constexpr UINT ID_TABBAR_MENU_FIRST = 6400;

class CTabButton : public CButton {
 public:
  CTabButton();
  ~CTabButton() override;

  // Reads "tabbar_btnbackground" and "tabbar_close" from the theme file and
  // loads them. A key that is empty or names a missing file leaves that
  // picture empty. A file that exists but is no picture shows a message box
  // and returns 0 without loading the rest; otherwise 1.
  int LoadSkin(const char* themePath, const char* section);

  BOOL hover = FALSE;      // the mouse is over the tab
  BOOL selected = FALSE;
  BOOL closeHot = FALSE;   // the mouse is over the close box
  BOOL showClose = TRUE;
  BOOL home = FALSE;       // no title, no close box

  // The close box: (W - 20, 4) to (W - 4, 20) of the client, exclusive.
  BOOL InCloseBox(CPoint point) const;
  CToolTipCtrl& ToolTip() { return toolTip_; }

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnMouseHover(UINT flags, CPoint point) override;
  void OnMouseLeave() override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnLButtonDblClk(UINT flags, CPoint point) override;
  void DrawItem(LPDRAWITEMSTRUCT dis) override;

 private:
  CImage background_;
  CImage close_;
  CFont titleFont_;
  CToolTipCtrl toolTip_;
};

// One tab of the bar.
struct TabRecord {
  char title[64] = {};                  // UTF-8, zero-terminated (at most 63 bytes)
  std::uintptr_t page = 0;              // the caller's value, never interpreted
  std::unique_ptr<CTabButton> button;   // owned
};

class CTabBar : public CWnd {
 public:
  CTabBar();
  ~CTabBar() override;

  // Reads "tabbar_background" (loaded now) and "tabbar_showmore" and keeps
  // the file and section for the tabs made later. Call before creating the
  // window. Returns 1.
  int LoadSkin(const char* themePath, const char* section);
  // Adds a tab, or selects the tab of the same title (whose page value
  // stays). The title is cut to 63 bytes on a character boundary. Returns 1.
  int AddTab(std::uintptr_t page, const char* title);
  // The current index, -1 when none.
  int GetCurSel() const { return current_; }

  int GetTabCount() const { return static_cast<int>(tabs_.size()); }
  CTabButton* GetTabButton(int index) const;
  const char* GetTabTitle(int index) const;
  FooButton& ShowMoreButton() { return showMore_; }

  static constexpr int kHomeWidth = 20;
  static constexpr int kShowMoreWidth = 17;

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  int IndexOf(LPARAM button) const;
  void MarkSelected(int index);
  int SelectTab(int index);
  LRESULT OnTabSelect(LPARAM button);
  LRESULT OnTabClose(LPARAM button);
  void LayOut();
  void ShowMoreMenu();
  void NotifyMain(UINT msg, const TabRecord& tab);

  std::vector<std::unique_ptr<TabRecord>> tabs_;  // display order
  FooButton showMore_;
  std::unique_ptr<CMenuEx> menu_;   // rebuilt at every show-more press
  int current_ = -1;
  int tabWidth_ = 90;
  int tabHeight_ = 32;
  CImage background_;
  std::string showMorePath_;
  std::string themePath_;
  std::string section_;
};

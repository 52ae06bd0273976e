// CF10View: the stock page's F10 panel. One or two rows of tabs (the titles
// of the stock's F10 catalogue) over a read-only text field with the chosen
// item's text, on black.
//
// The stock page requests the catalogue (type 70) when it shows a stock and
// hands the engine's result to SetCatalog, which copies the titles (a later
// decode frees the engine's); a tab choice empties the text and posts
// WM_F10_ITEM_REQUEST (20007, catalogue index, 0) to the parent, which
// requests the item (type 71) and hands it to SetContent. Keys are posted
// to the parent as WM_KEYDOWN (key, 0). User-interface thread only;
// painting and sizing take the window's lock.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "charts/index_tools_bar.h"
#include "controls/control_messages.h"
#include "controls/skinned_basics.h"
#include "platform/mfc/afx.h"

struct F10CatalogArea;
struct F10ItemArea;

constexpr int IDC_F10_TEXT = 1112;

class CF10View : public CWnd {
 public:
  CF10View() = default;

  // Copies the catalogue's titles (a count below 0 is 0, above the area's
  // room the room); with entries lays the tabs out and repaints, otherwise
  // hides both tab rows and the text field. Null: no entries.
  void SetCatalog(const F10CatalogArea* catalog);
  // Shows the item's UTF-8 content, or an empty text without one.
  void SetContent(const F10ItemArea* item);

  CIndexToolsBar& FirstRow() { return rows_[0]; }
  CIndexToolsBar& SecondRow() { return rows_[1]; }
  CVexloEdit& Text() { return text_; }
  int SelectedItem() const { return selected_; }
  int FirstRowCount() const { return firstRowCount_; }
  const std::vector<std::u16string>& Titles() const { return titles_; }

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void LayoutTabs();
  void ShowText(int width, int height);
  void OnTabSelect(WPARAM row, LPARAM tab);

  CVexloEdit text_;
  CIndexToolsBar rows_[2];
  int selected_ = 0;
  int laidOutCount_ = 0;
  int firstRowCount_ = 0;
  std::recursive_mutex lock_;
  std::vector<std::u16string> titles_;  // the catalogue's titles, copied
};

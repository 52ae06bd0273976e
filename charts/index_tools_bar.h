// CIndexToolsBar: the thin strip of equal-width tabs under a chart with
// which the user picks a lower indicator, a chart period or a page. The
// owner gives the tab texts as one comma-separated text ("MACD,BOLL,KDJ");
// a click on a tab posts WM_INDEXBAR_SELECT (controls/control_messages.h)
// to the parent, wParam the bar, lParam the tab's index, and the owner
// decides what the tab means. Tabs that do not fit are offered in a pop-up
// menu (CMenuEx) behind a ">>" button 20 pixels wide.
//
// Before the first WM_SIZE the visible count is 0: every tab is drawn, the
// ">>" button one empty tab width after them, and no tab takes a click
// (a click at 0 < x < 20 opens the menu of all items).
//
// Threads: the item buffer and the visible count are kept under the bar's
// recursive lock, which every operation that builds, walks or reads them
// takes (painting and clicks included); the bar never posts, tracks a menu
// or paints another window while holding it. The setters may be called
// from any thread: off the user-interface thread they only invalidate.
// GetItemText's pointer stays valid until the texts change, so only the UI
// thread may use it; other threads use CopyItemText.
#pragma once

#include "controls/control_messages.h"
#include "controls/menu_ex.h"
#include "foundation/string_helpers.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class CIndexToolsBar : public CWnd {
 public:
  CIndexToolsBar();
  ~CIndexToolsBar() override;

  // Replaces the items with the pieces of text split at ','; a null or
  // empty text gives no items. The selection and the visible count stay.
  void SetItems(const WCHAR* text);
  // Replaces the text of one item; nothing outside 0 ... count - 1.
  void SetItemText(int index, const WCHAR* text);
  // The item's UTF-8 text, "" outside 0 ... count - 1 (UI thread only).
  const char* GetItemText(int index);
  // Copies the item's UTF-8 text into buffer (size bytes, terminated, cut
  // before a character that does not fit); returns the bytes copied. An
  // empty text outside the items.
  int CopyItemText(int index, char* buffer, int size);
  int GetItemCount() const { return count_.load(std::memory_order_relaxed); }
  int GetCurSel() const { return selected_.load(std::memory_order_relaxed); }
  // No range check: an index outside the items highlights no tab.
  void SetCurSel(int index);
  // Selects the first tab whose (non-empty) text occurs inside text;
  // nothing for null or when none does.
  void SelectItemByName(const char* text);
  // (index × width, 0, index × width + width, client bottom).
  CRect GetItemRect(int index) const;
  void SetItemWidth(int pixels) { tabWidth_.store(pixels, std::memory_order_relaxed); }
  void SetDrawFrame(int flag) { drawFrame_.store(flag, std::memory_order_relaxed); }
  void SetLightScheme(int flag) { light_.store(flag != 0 ? 1 : 0, std::memory_order_relaxed); }
  // Holds until the next size change recomputes it.
  void SetVisibleCount(int count);
  int GetVisibleCount() const;
  // Frees the items; the owner gives new ones with SetItems.
  void ReleaseItems();
  // The last ">>" menu built (null until the button was first used).
  CMenuEx* MoreMenu() const { return menu_.get(); }

  // Paints the whole bar into dc (the bar's font selected, transparent
  // text background).
  virtual void Draw(CDC* dc);

  static constexpr int kMoreButtonWidth = 20;

 protected:
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnPaint() override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnLButtonDown(UINT flags, CPoint point) override;

 private:
  void FreeItems();           // lock held
  void Repaint();             // whole bar; at once on the UI thread
  void TrackMoreMenu(CPoint point);

  HFONT font_ = nullptr;
  mutable std::recursive_mutex lock_;
  char* buffer_ = nullptr;          // every item text with its zero byte
  StringList* items_ = nullptr;     // nodes point into buffer_
  std::atomic<int32_t> selected_{0};
  std::atomic<int32_t> count_{0};
  std::atomic<int32_t> drawFrame_{0};
  std::unique_ptr<CMenuEx> menu_;
  int32_t visible_ = 0;             // under the lock
  std::atomic<int32_t> tabWidth_{50};
  std::atomic<uint8_t> light_{0};
};

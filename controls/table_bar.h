// A strip of tabs drawn from pictures: a background, one picture for an
// unselected tab and one for the selected tab, the tab texts on top. Tabs
// lie side by side (orientation 0) or one below the other (orientation 1;
// each tab's picture reaches 12 pixels up over the tab above, magenta
// 0xFF00FF transparent, and the current tab is drawn last, on top).
//
// Notices (posted):
//   WM_TABLEBAR_SELECT (4001) to the parent: (this bar, tab index) on a left
//     press on a tab. A horizontal bar leaves the highlight where it was (the
//     parent calls SetCurSel when it accepts); a vertical bar moves it at once.
//   WM_KEY_COMMAND (4600) to the application's main window: (0, key) for
//     every key pressed in the bar.
//
// Threads: the texts, the selection, clicks, sizing and painting are
// guarded by the bar's lock, so owners may change texts and selection from
// network callbacks. GetItemText returns a pointer into the bar's buffer,
// valid until the texts next change: for the UI thread only. Other threads
// use CopyItemText. SetCurSel from a worker waits for the UI thread to
// repaint (it holds no lock meanwhile).
//
// Texts are given as UTF-16 and kept as UTF-8; each tab shows at most 63
// characters. Null texts are empty. Missing pictures are simply not drawn;
// without a background picture the bar is black.
#pragma once

#include "platform/mfc/afx.h"
#include "platform/kernel/kernel_sync.h"

#include <cstdint>

struct StringList;

class CTableBar : public CWnd {
 public:
  CTableBar();
  ~CTableBar() override;

  // Replaces every tab: the text is split at ',' (a trailing comma adds no
  // tab, an empty text gives none). The current index is kept, even beyond
  // the new count (then no tab is highlighted). Repaints.
  void SetItems(const WCHAR* commaSeparated);
  // Replaces one tab's text; an index outside 0 .. count - 1 does nothing.
  void SetItemText(int index, const WCHAR* text);
  // The tab's UTF-8 text inside the bar's buffer, valid until the texts
  // change (UI thread only); null for an index outside 0 .. count - 1.
  const char* GetItemText(int index);
  // Copies the tab's UTF-8 text into out (size bytes, zero-terminated, cut
  // on a character boundary). Returns 1; 0 for an index out of range, a null
  // buffer or size < 1 (out then holds "" when it has room).
  int CopyItemText(int index, char* out, int size);
  int GetCount();
  // Selects a tab (no range check) and repaints at once.
  void SetCurSel(int index);
  int GetCurSel();
  // 0 horizontal (item size becomes 82), 1 vertical (98). Other values are
  // stored; such a bar draws its background only and ignores clicks.
  void SetOrientation(int orientation);
  // The tab width (horizontal) or height (vertical); only while the
  // orientation is 0 or 1. Call it after SetOrientation.
  void SetItemSize(int pixels);
  // 0xRRGGBB text colour of unselected horizontal tabs.
  void SetTextColor(uint32_t rgb);
  void SetOrigin(int x, int y);
  // Pictures; a path that cannot be read leaves that picture empty.
  void SetItemImages(const WCHAR* unselectedPath, const WCHAR* selectedPath);
  void SetBackgroundImage(const WCHAR* path);
  // index * item size .. (index + 1) * item size across, the client's full
  // height (the horizontal layout, origin not counted).
  void GetItemRect(int index, RECT* rect);

  // Draws the whole bar into dc (the memory picture); called under the lock.
  virtual void DrawItems(HDC dc);

 protected:
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;

 private:
  void FreeTexts();                                              // under lock_
  void DrawHorizontal(HDC dc, const RECT& client);               // under lock_
  void DrawVertical(HDC dc, const RECT& client);                 // under lock_
  const char* TextAt(int index) const;                           // under lock_
  RECT VerticalBand(int index) const;                            // under lock_
  void ReleaseMemoryPicture();                                   // under lock_

  HFONT font_ = nullptr;              // UI font, CreateUiFont(14)
  HGDIOBJ oldFont_ = nullptr;         // the font memDc_ held before
  int itemSize_ = 98;                 // tab width (horizontal) or height (vertical)
  CImage background_;                 // stretched over the whole bar
  CImage unselected_;                 // one unselected tab
  CImage selected_;                   // the selected tab
  HDC memDc_ = nullptr;               // memory picture of the client size (null: not ready)
  HBITMAP memBitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  CriticalSection lock_;              // guards the texts, the selection, the settings and painting
  char* textBuffer_ = nullptr;        // every tab text, zero-terminated one after the other (owned)
  StringList* texts_ = nullptr;       // one node per tab, pointing into textBuffer_
  int current_ = 0;                   // selected tab; may lie beyond count_
  int count_ = 0;                     // number of tabs
  int originY_ = 0, originX_ = 0;     // offset of the first tab
  int orientation_ = 0;               // 0 horizontal, 1 vertical
  uint32_t textColor_ = 0xFFFFFF;     // unselected horizontal tabs, 0xRRGGBB
};

// CInfoListWnd: a titled news list of the home page. A 28-pixel title strip
// with the title text and right-aligned picture buttons above an owned grid.
// It paints its frame and title into a memory picture and passes the grid's
// row notifications (with its list id), its keys and its buttons' commands
// on to the windows above it.
//
// Constructor values: frame 0x586578, strip 0x2E4C86, title text 0xECF4FF,
// 4 pixels between buttons, list id 0, no title.
//
// Threads: the lock guards the memory picture and the layout (UI thread);
// the grid guards its own cells, so the owner may fill it from a network
// thread.
#pragma once

#include <cstdint>
#include <vector>

#include "controls/foo_button.h"
#include "controls/grid_ctrl.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/mfc/afx.h"

class CInfoListWnd : public CWnd {
 public:
  CInfoListWnd();
  ~CInfoListWnd() override;

  void SetListId(int id) { listId_ = id; }
  int GetListId() const { return listId_; }
  // Copies at most 127 bytes of the UTF-8 title (cut on a character
  // boundary) and stores the colour (0xRRGGBB).
  void SetTitle(const char* title, uint32_t color);
  const char* GetTitle() const { return title_; }
  void SetTitleFillColor(uint32_t color) { stripColor_ = color; }
  // After the window exists: a type-10 button in the group named by the list
  // id, placed at the next WM_SIZE.
  void AddTitleButton(const WCHAR* checkedPicture, const WCHAR* normalPicture, const WCHAR* caption, UINT id,
                      BOOL checked);
  // Sets the grid's current row (-1 clears the selection) and repaints it.
  void SelectRow(int row);

  CGridCtrl* Grid() { return grid_; }
  const std::vector<FooButton*>& TitleButtons() const { return buttons_; }
  // Frame and title into the DC at (0, 0) over width x height.
  void DrawFrame(HDC dc, int width, int height);

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnDestroy() override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void ReleasePicture();

  int listId_ = 0;
  HFONT font_ = nullptr;
  HGDIOBJ fontBefore_ = nullptr;
  CGridCtrl* grid_ = nullptr;  // owned
  bool pictureMade_ = false;
  HDC memDc_ = nullptr;
  HBITMAP memBitmap_ = nullptr;
  HGDIOBJ bitmapBefore_ = nullptr;
  CriticalSection lock_;
  char title_[128] = {};
  uint32_t titleColor_ = 0xECF4FF;
  uint32_t stripColor_ = 0x2E4C86;
  uint32_t frameColor_ = 0x586578;
  std::vector<FooButton*> buttons_;  // owned, in the order added
  int gap_ = 4;
};

// Cuts a UTF-8 text to at most limit bytes without splitting a character;
// returns the bytes kept.
size_t CutUtf8(const char* text, size_t limit);

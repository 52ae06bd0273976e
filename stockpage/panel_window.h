// The common frame of the stock page's small owner-drawn panels.
//
// Threads: the panel's setters may run on the market-data connection's
// thread (from the stock page's reply callback, while the page holds its
// own lock). They take only the panel's lock, copy what the panel draws and
// call InvalidateRect, which never waits for the user-interface thread.
// WM_SIZE and WM_PAINT take the same lock on the user-interface thread; the
// picture is copied to the screen after the lock is released. A panel never
// takes the stock page's lock, so the lock order is always page, then panel.
//
// Painting: Render draws the whole panel into the memory picture (made at
// the client size on every WM_SIZE, transparent text) under the lock;
// background erasing answers 1 and draws nothing. Every text goes through
// the virtual DrawCellText (tests record the calls).
#pragma once

#include "platform/mfc/afx.h"
#include "stockpage/memory_picture.h"

#include <cstdint>
#include <mutex>

class CPanelWnd : public CWnd {
 public:
  CPanelWnd() = default;
  ~CPanelWnd() override;
  CPanelWnd(const CPanelWnd&) = delete;
  CPanelWnd& operator=(const CPanelWnd&) = delete;

 protected:
  // Draws the panel into picture_; called under lock_ with the picture made.
  virtual void Render(HDC dc) = 0;
  // Called under lock_ after the picture was remade for a new client size.
  virtual void SizeChanged(int /*width*/, int /*height*/) {}
  // One line of text, vertically centred; alignment 0 left, 1 centred,
  // 2 right; colour 0xRRGGBB. Draws with the DC's font.
  virtual void DrawCellText(HDC dc, const RECT& rect, const WCHAR* text, uint32_t color, int alignment);
  // The same for a UTF-8 text read within bytes (it may lack its zero).
  void DrawUtf8CellText(HDC dc, const RECT& rect, const char* text, int bytes, uint32_t color, int alignment);
  // Invalidates the whole client area (any thread; no wait).
  void Invalidated();

  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;

  mutable std::mutex lock_;
  MemoryPicture picture_;  // guarded by lock_
};

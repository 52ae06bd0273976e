// A passive child window whose whole content its owner draws: the owner
// paints into the window's memory picture under its own lock and
// invalidates; the window only copies the picture under that lock and hands
// clicks and keys back to its parent (posted, never passed to default
// handling):
//
//   WM_LBUTTONDOWN   (513) (this window object, x | y << 16 in client coordinates)
//   WM_LBUTTONDBLCLK (515) (this window object, x | y << 16)
//   WM_KEYDOWN       (256) (virtual-key code, 0)
//
// Threads: owners draw from the UI thread or from the thread that delivers
// their data, always under the lock given to SetLock. The memory DC is
// replaced on every resize (under that lock), so GetMemoryDC is valid only
// while the lock is held: fetch it each time you draw. Without a lock the
// window paints without locking.
#pragma once

#include "platform/mfc/afx.h"
#include "platform/kernel/kernel_sync.h"

class CVexloPopView : public CWnd {
 public:
  CVexloPopView();
  ~CVexloPopView() override;

  // The owner's lock (not owned), to be set before the window first paints.
  void SetLock(CriticalSection* lock) { lock_ = lock; }
  // The memory picture's DC (client size, the UI font selected, transparent
  // background mode); null before the first size. Valid under the lock only.
  HDC GetMemoryDC() const { return memDc_; }

 protected:
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnLButtonDblClk(UINT flags, CPoint point) override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;

 private:
  void ReleaseMemoryPicture();  // under the owner's lock

  HDC memDc_ = nullptr;              // the owner draws here (null: not ready)
  HBITMAP memBitmap_ = nullptr;      // of the client size
  HGDIOBJ oldBitmap_ = nullptr;      // the bitmap memDc_ held before
  HFONT font_ = nullptr;             // UI font, CreateUiFont(14)
  HGDIOBJ oldFont_ = nullptr;        // the font memDc_ held before
  CriticalSection* lock_ = nullptr;  // the owner's lock (shared)
};

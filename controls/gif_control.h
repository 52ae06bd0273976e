// CGifCtrl: a child window that plays an animated GIF stretched over its
// client area, with a one-line status text on a translucent band along its
// bottom edge (the login banner). The GIF is decoded once into a
// GifFrameBlock (gif_decoder.h); timer 1 (100 ms) advances the frames by
// their display times and renders into a memory picture that WM_PAINT
// copies.
//
// Threads: the window lives on the UI thread; SetText may be called from
// any thread (the text is copied under the control's lock and read by the
// next tick under the same lock).
//
// Kept on purpose: the time of the last frame change is one value shared by
// every CGifCtrl of the process and starts at 0 (so the first tick of a
// process already moves frame 1 to 2); any timer id is a tick; the 25 x 25
// top-right corner is never invalidated by the control (the login dialog's
// close button sits there); the memory picture keeps the size of the first
// tick and starts black, so a control without a GIF shows black with its
// band.
#pragma once

#include "platform/kernel/kernel_global_memory.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/mfc/afx.h"

// The frames of one GifFrameBlock and the one being shown.
class GifPlayer {
 public:
  GifPlayer() = default;
  ~GifPlayer();
  GifPlayer(const GifPlayer&) = delete;
  GifPlayer& operator=(const GifPlayer&) = delete;

  // Decodes the file (UTF-16 path) into a new block; on success the previous
  // block is freed and frame 1 is selected. FALSE leaves the player as it was.
  BOOL Load(const WCHAR* path);
  // Takes a block already built (owned from then on); FALSE for null.
  BOOL Adopt(HGLOBAL block);
  // Frees the block and clears every field.
  void Reset();
  // Reads the current frame's display time and size; zeros without a block
  // or for a frame number outside 1..count.
  void SelectFrame();
  // Moves to the next frame when the current one has been shown for its
  // display time (against the process-wide last change); fewer than two
  // frames never move.
  void Advance();
  // Draws the current frame from its full size onto dst (StretchDIBits,
  // SRCCOPY). 0 without a block or for a frame that does not fit the block.
  int DrawFrame(HDC dc, const RECT& dst);

  bool Loaded() const { return block_ != nullptr; }
  int FrameCount() const { return frameCount_; }
  int CurrentFrame() const { return current_; }
  DWORD DisplayTime() const { return displayTime_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // The process-wide tick count of the last frame change.
  static DWORD LastChange();
  static void SetLastChangeForTesting(DWORD tick);

 private:
  HGLOBAL block_ = nullptr;
  int height_ = 0;
  int width_ = 0;
  int bitsPerPixel_ = 0;
  int frameCount_ = 0;
  int current_ = 0;
  DWORD displayTime_ = 0;
};

class CGifCtrl : public CWnd {
 public:
  CGifCtrl() = default;
  ~CGifCtrl() override;

  // The full path is the program folder followed by name (at most 259
  // characters); an absolute name is used as given. A file that cannot be
  // loaded leaves the player empty: the control still shows its band.
  BOOL Create(const RECT& rect, CWnd* parent, UINT id, const WCHAR* name);
  // Replaces the status text (empty: no band); shown at the next tick. Any
  // thread.
  void SetText(const WString& text);
  // Frees the frames, stops the timer, releases the font and the memory
  // picture, then destroys the window.
  BOOL DestroyWindow() override;

  const GifPlayer& Player() const { return player_; }
  bool PictureReady() const { return ready_; }

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnTimer(UINT_PTR id) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;

 private:
  void ReleasePicture();

  CriticalSection lock_;          // the memory picture and the status text
  HFONT font_ = nullptr;
  bool ready_ = false;
  HDC memDc_ = nullptr;
  HBITMAP memBitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  int memWidth_ = 0;
  int memHeight_ = 0;
  GifPlayer player_;
  WString text_;
  COLORREF textColor_ = 0x404040;
  COLORREF bandColor_ = 0xC0C0C0;
};

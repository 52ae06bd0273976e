// The memory picture a panel paints into: a memory DC compatible with the
// window's and a bitmap of the client size selected into it. The owner
// guards it with its own lock and uses it on the UI thread only.
#pragma once

#include "platform/gdi/win_gdi.h"

class MemoryPicture {
 public:
  MemoryPicture() = default;
  ~MemoryPicture() { Free(); }
  MemoryPicture(const MemoryPicture&) = delete;
  MemoryPicture& operator=(const MemoryPicture&) = delete;

  // Frees the old picture and makes one of width x height for the window,
  // background mode transparent. A size of 0 (or less) in either direction
  // leaves no picture: Made() is false and nothing is drawn.
  void Rebuild(HWND window, int width, int height);
  // Puts the replaced bitmap back and deletes the bitmap and the DC.
  void Free();
  // Copies the picture to dc at (0, 0); nothing without a picture.
  void CopyTo(HDC dc) const;

  bool Made() const { return made_; }
  HDC Dc() const { return dc_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  bool made_ = false;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ saved_ = nullptr;  // the bitmap the DC held before
  int width_ = 0;
  int height_ = 0;
};

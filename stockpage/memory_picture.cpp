#include "stockpage/memory_picture.h"

void MemoryPicture::Rebuild(HWND window, int width, int height) {
  Free();
  if (width <= 0 || height <= 0) return;
  HDC windowDc = ::GetDC(window);
  dc_ = CreateCompatibleDC(windowDc);
  bitmap_ = CreateCompatibleBitmap(windowDc, width, height);
  ::ReleaseDC(window, windowDc);
  if (!dc_ || !bitmap_) {
    if (bitmap_) DeleteObject(bitmap_);
    if (dc_) DeleteDC(dc_);
    dc_ = nullptr;
    bitmap_ = nullptr;
    return;
  }
  saved_ = SelectObject(dc_, bitmap_);
  SetBkMode(dc_, TRANSPARENT);
  width_ = width;
  height_ = height;
  made_ = true;
}

void MemoryPicture::Free() {
  if (!made_) return;
  SelectObject(dc_, saved_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
  dc_ = nullptr;
  bitmap_ = nullptr;
  saved_ = nullptr;
  width_ = 0;
  height_ = 0;
  made_ = false;
}

void MemoryPicture::CopyTo(HDC dc) const {
  if (made_) ::BitBlt(dc, 0, 0, width_, height_, dc_, 0, 0, SRCCOPY);
}

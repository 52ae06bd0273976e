// FooProgressCtrl: the updater's progress bar, painted entirely from two
// pictures: the background stretched over the whole control and the bar
// stretched over the done share, one pixel short of the top and bottom
// edges. Only the control's own minimum, maximum and position drive the
// painting; the base control's range and position are never set.
//
// UI thread only.
#pragma once

#include "platform/mfc/afx.h"
#include "platform/mfc/afx_controls.h"

class FooProgressCtrl : public CProgressCtrl {
 public:
  FooProgressCtrl() = default;
  ~FooProgressCtrl() override;

  // Loads both pictures (paths relative to the working folder; '\'
  // accepted), then creates the control (child, visible, smooth). A picture
  // that fails to load is told in a box without caption ("背景图片加载失败",
  // "进度图片加载失败") and the control is created all the same; its area
  // then stays black.
  BOOL Create(const RECT& rect, CWnd* parent, UINT id, LPCWSTR backgroundPath, LPCWSTR barPath);

  // Stores the range; no repaint.
  void SetRange(short minimum, short maximum);
  // Stores the position and invalidates the whole control.
  void SetPos(int position);
  short GetMinimum() const { return minimum_; }
  short GetMaximum() const { return maximum_; }
  int GetPos() const { return position_; }

  // The bar's rectangle in client coordinates for the current values
  // (empty when nothing is done or the range is empty).
  CRect BarRect() const;

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnDestroy() override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;

 private:
  short minimum_ = 0;
  short maximum_ = 0;
  int position_ = 0;
  CImage background_;
  CImage bar_;
  HDC memDc_ = nullptr;            // compatible with the screen, client size
  HBITMAP memBitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;    // what memDc_ held before
};

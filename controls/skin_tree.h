// CVexloTreeCtrl: the platform's tree with a see-through background.
//
// The tree paints its items as usual into a memory picture; the control
// then copies only the item pixels onto the window, treating the tree's own
// background colour as transparent, over a tiled background bitmap or, when
// it has none, over whatever the window showed (its parent's painting).
// An item drawn exactly in the background colour therefore vanishes.
// Redrawing is switched off while a branch expands or collapses, and one
// full repaint follows. Items, images, selection, keys and notifications
// stay the platform tree's; the owner fills the tree and handles them.
#pragma once

#include "platform/kernel/kernel_sync.h"
#include "platform/mfc/afx_controls.h"

class CVexloTreeCtrl : public CTreeCtrl {
 public:
  CVexloTreeCtrl() = default;
  ~CVexloTreeCtrl() override;

  // Tiled behind the items; the owner loads it (empty: no background drawn).
  CBitmap backgroundBitmap;
  // Kept for the owner; the tree itself does not use it.
  CImageList imageList;

  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 protected:
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;

 private:
  CriticalSection lock_;  // held while painting
};

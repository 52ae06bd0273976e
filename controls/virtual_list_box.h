// CVListBox: a report list view in virtual (owner-data) mode that keeps
// one UTF-8 text per row and answers the list's cell-text requests from it.
//
// A row text holds its column texts each followed by "|||": column 0,
// "|||", column 1, "|||", column 2, "|||" and possibly more; the box shows
// the first three columns. A column whose closing "|||" is missing, a row
// beyond the list and any column past 2 show nothing.
//
// The owner creates the box as a child report list with owner data and no
// header (style 0x50005001), inserts its three columns, adds the rows with
// AddItem and then sets the list's item count itself (SetItemCount).
// Selection, keys, NM_CLICK/NM_DBLCLK and NM_CUSTOMDRAW stay the platform
// list's and reach the owner as usual. UI thread only.
#pragma once

#include "platform/mfc/afx_controls.h"

#include <string>

struct PtrList;

class CVListBox : public CListCtrl {
 public:
  CVListBox() = default;
  ~CVListBox() override;

  // Appends a row text (UTF-8); the box keeps it and frees it with itself.
  // The list view's item count is not changed. Ignored before the window
  // exists.
  void AddItem(std::string row);
  // Frees every row and sets the list view's item count to 0.
  void ResetContent();
  int GetRowCount() const { return rowCount_; }

  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnDestroy() override;

 private:
  void AnswerCellText(LVITEMW& item) const;

  int rowCount_ = 0;
  PtrList* rows_ = nullptr;  // owned texts (malloc), made at window creation
};

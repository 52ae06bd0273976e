#include "controls/virtual_list_box.h"

#include "foundation/plain_lists.h"
#include "foundation/text_codec.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view kSeparator = "|||";
constexpr int kShownColumns = 3;

// The text of column `column` of a row: the part before the column's
// closing separator; empty when that separator is missing.
std::string_view ColumnText(std::string_view row, int column) {
  size_t start = 0;
  for (int c = 0; c < column; ++c) {
    size_t at = row.find(kSeparator, start);
    if (at == std::string_view::npos) return {};
    start = at + kSeparator.size();
  }
  size_t end = row.find(kSeparator, start);
  if (end == std::string_view::npos) return {};
  return row.substr(start, end - start);
}

}  // namespace

CVListBox::~CVListBox() { FreeTextList(rows_); }

int CVListBox::OnCreate(LPCREATESTRUCT cs) {
  if (CListCtrl::OnCreate(cs) == -1) return -1;
  rows_ = CreatePtrList();
  SetExtendedStyle(GetExtendedStyle() | LVS_EX_FULLROWSELECT);
  return 0;
}

void CVListBox::OnDestroy() {
  CListCtrl::OnDestroy();
  FreeTextList(rows_);
  rows_ = nullptr;
  rowCount_ = 0;
}

void CVListBox::AddItem(std::string row) {
  if (!rows_) return;
  char* copy = static_cast<char*>(std::malloc(row.size() + 1));
  if (!copy) return;
  std::memcpy(copy, row.c_str(), row.size() + 1);
  if (!AppendPtrList(rows_, copy)) {
    std::free(copy);
    return;
  }
  ++rowCount_;
}

void CVListBox::ResetContent() {
  ClearTextList(rows_);
  rowCount_ = 0;
  SetItemCount(0);
}

void CVListBox::AnswerCellText(LVITEMW& item) const {
  if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax < 1) return;
  if (item.iSubItem < 0 || item.iSubItem >= kShownColumns || item.iItem < 0 || item.iItem >= rowCount_) return;
  const char* row = static_cast<const char*>(GetPtrListData(GetPtrListAt(rows_, item.iItem)));
  if (!row) return;
  std::string cell(ColumnText(row, item.iSubItem));
  WCHAR* units = Utf8ToUtf16Alloc(cell.c_str());
  if (!units) return;
  int n = 0;
  for (; units[n] && n < item.cchTextMax - 1; ++n) item.pszText[n] = units[n];
  item.pszText[n] = 0;
  std::free(units);
}

BOOL CVListBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  auto* hdr = reinterpret_cast<NMHDR*>(lParam);
  if (message != WM_NOTIFY || !hdr || hdr->code != LVN_GETDISPINFOW)
    return CListCtrl::OnChildNotify(message, wParam, lParam, result);
  AnswerCellText(reinterpret_cast<NMLVDISPINFOW*>(lParam)->item);
  *result = 0;
  return TRUE;
}

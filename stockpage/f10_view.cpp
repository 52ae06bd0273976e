#include "stockpage/f10_view.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "foundation/draw_helpers.h"
#include "foundation/text_codec.h"
#include "marketdata/f10_alert_decoders.h"

namespace {

constexpr int kTabWidth = 60;

std::u16string Wide(const char* utf8) {
  if (!utf8) return u"";
  WCHAR* wide = Utf8ToUtf16Alloc(utf8);
  std::u16string out = wide ? wide : u"";
  std::free(wide);
  return out;
}

// "first,first+1,...,last" of decimal numbers.
std::u16string Numbers(int first, int last) {
  std::u16string out;
  for (int i = first; i <= last; ++i) {
    if (i > first) out += u',';
    for (char c : std::to_string(i)) out += static_cast<char16_t>(c);
  }
  return out;
}

}  // namespace

int CF10View::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  for (CIndexToolsBar& row : rows_) {
    row.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, 0);
    row.SetLightScheme(1);
    row.SetItemWidth(kTabWidth);
  }
  text_.Create(0x50211844, CRect(0, 0, 0, 0), this, IDC_F10_TEXT);
  text_.SetBkColor(0);
  text_.SetTextColor(0x67CED1);
  LOGFONTW font{};
  font.lfHeight = ScaleFontHeight(12);
  font.lfWeight = 400;
  font.lfQuality = 5;
  std::u16string face = u"宋体";
  std::copy(face.begin(), face.end(), font.lfFaceName);
  text_.SetLogFont(&font);
  for (CIndexToolsBar& row : rows_) row.ShowWindow(SW_HIDE);
  text_.ShowWindow(SW_SHOW);
  return 0;
}

void CF10View::SetCatalog(const F10CatalogArea* catalog) {
  titles_.clear();
  if (catalog) {
    const int count = std::clamp(static_cast<int>(catalog->entryCount), 0, kF10CatalogRoom);
    for (int i = 0; i < count; ++i) titles_.push_back(Wide(catalog->entries[i].title.get()));
  }
  if (!m_hWnd) return;
  if (!titles_.empty()) {
    LayoutTabs();
    Invalidate(TRUE);
    return;
  }
  laidOutCount_ = 0;
  for (CIndexToolsBar& row : rows_) row.ShowWindow(SW_HIDE);
  text_.ShowWindow(SW_HIDE);
}

void CF10View::SetContent(const F10ItemArea* item) {
  if (!text_.m_hWnd) return;
  const char* content = item && item->content ? item->content.get() : nullptr;
  text_.SetWindowText(Wide(content).c_str());
}

void CF10View::LayoutTabs() {
  CRect client;
  GetClientRect(&client);
  const int w = client.Width(), h = client.Height();
  const int n = static_cast<int>(titles_.size());
  laidOutCount_ = n;
  if (n <= 0) return;
  if (w - 20 < n * kTabWidth) {
    const int m = std::max(1, (w - 20) / kTabWidth);
    firstRowCount_ = m;
    CIndexToolsBar& first = rows_[0];
    CIndexToolsBar& second = rows_[1];
    // The count of tabs shown is set after placing: a size change
    // recomputes it from the items.
    first.ReleaseItems();
    first.MoveWindow(10, 10, w - 20, 30);
    first.SetItems(Numbers(0, std::min(m, n) - 1).c_str());
    first.SetVisibleCount(m);
    second.ReleaseItems();
    second.MoveWindow(10, 40, w - 20, 30);
    if (m < n) second.SetItems(Numbers(m, n - 1).c_str());
    second.SetVisibleCount(m);
    for (int j = 0; j < n; ++j) {
      if (j < m)
        first.SetItemText(j, titles_[j].c_str());
      else
        second.SetItemText(j - m, titles_[j].c_str());
    }
    first.ShowWindow(SW_SHOW);
    second.ShowWindow(SW_SHOW);
  } else {
    CIndexToolsBar& first = rows_[0];
    first.MoveWindow((w - n * kTabWidth) / 2 + 10, 10, n * kTabWidth, 30);
    first.ReleaseItems();
    first.SetItems(Numbers(0, n - 1).c_str());
    first.SetVisibleCount(n);
    for (int j = 0; j < n; ++j) first.SetItemText(j, titles_[j].c_str());
    first.ShowWindow(SW_SHOW);
    rows_[1].ShowWindow(SW_HIDE);
  }
  ShowText(w, h);
}

void CF10View::ShowText(int width, int height) {
  text_.MoveWindow(10, 80, width - 20, height - 83);
  text_.ShowWindow(SW_SHOW);
}

void CF10View::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  if (!text_.m_hWnd) return;
  std::lock_guard<std::recursive_mutex> hold(lock_);
  rows_[0].MoveWindow(10, 10, cx - 20, 30);
  rows_[1].MoveWindow(10, 40, cx - 20, 30);
  if (laidOutCount_ > 0) {
    LayoutTabs();
    Invalidate(TRUE);
    return;
  }
  for (CIndexToolsBar& row : rows_) row.ShowWindow(SW_HIDE);
  ShowText(cx, cy);
}

void CF10View::OnPaint() {
  CPaintDC dc(this);
  std::lock_guard<std::recursive_mutex> hold(lock_);
  CRect client;
  GetClientRect(&client);
  FillRectColor(dc.m_hDC, &client, 0);
}

void CF10View::OnKeyDown(UINT key, UINT repeat, UINT flags) {
  if (CWnd* parent = GetParent()) parent->PostMessage(WM_KEYDOWN, key, 0);
  CWnd::OnKeyDown(key, repeat, flags);
}

void CF10View::OnTabSelect(WPARAM row, LPARAM tab) {
  if (row == reinterpret_cast<WPARAM>(&rows_[0]))
    selected_ = rows_[0].GetCurSel();
  else if (row == reinterpret_cast<WPARAM>(&rows_[1]))
    selected_ = rows_[1].GetCurSel() + firstRowCount_;
  const int count = static_cast<int>(titles_.size());
  if (count > 0 && tab < count) {
    text_.SetWindowText(u"");
    if (CWnd* parent = GetParent()) parent->PostMessage(WM_F10_ITEM_REQUEST, static_cast<WPARAM>(selected_), 0);
  }
  Invalidate(TRUE);
}

LRESULT CF10View::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INDEXBAR_SELECT) {
    OnTabSelect(wParam, lParam);
    return 0;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

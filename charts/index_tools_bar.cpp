#include "charts/index_tools_bar.h"

#include "foundation/draw_helpers.h"
#include "foundation/text_codec.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct SchemeColors {
  uint32_t frame, text, selected;
};
constexpr SchemeColors kDark = {0xFF0000, 0xAAAAAA, 0x00EEEE};
constexpr SchemeColors kLight = {0x7CEEEE, 0x7CEEEE, 0xDADC33};
constexpr uint32_t kMoreFrame = 0xFF0000;
constexpr uint32_t kMoreText = 0xAAAAAA;
constexpr int kTabTextUnits = 64;

// The UTF-16 form of at most kTabTextUnits units of a UTF-8 text.
void TabText(const char* text, WCHAR (&out)[kTabTextUnits + 1]) {
  int bytes = text ? static_cast<int>(std::strlen(text)) : 0;
  int consumed = Utf8ToUtf16(text, bytes, out, kTabTextUnits * static_cast<int>(sizeof(WCHAR)));
  int units = Utf16SizeOfUtf8(text, consumed) / static_cast<int>(sizeof(WCHAR));
  out[std::clamp(units, 0, kTabTextUnits)] = 0;
}

}  // namespace

CIndexToolsBar::CIndexToolsBar() { font_ = CreateUiFont(GetUiFontFace(), 14); }

CIndexToolsBar::~CIndexToolsBar() {
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    FreeItems();
  }
  if (menu_) menu_->DestroyMenu();
  menu_.reset();
  if (font_) DeleteGdiObject(font_);
}

void CIndexToolsBar::FreeItems() {
  FreeStringList(&items_);
  std::free(buffer_);
  buffer_ = nullptr;
  count_.store(0, std::memory_order_relaxed);
}

void CIndexToolsBar::Repaint() {
  if (!m_hWnd) return;
  Invalidate();
  if (IsUiThread()) UpdateWindow();
}

void CIndexToolsBar::SetItems(const WCHAR* text) {
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    FreeItems();
    char* utf8 = text ? Utf16ToUtf8Alloc(text) : nullptr;
    if (utf8) {
      size_t length = std::strlen(utf8);
      buffer_ = static_cast<char*>(std::calloc(length + 2, 1));
      if (buffer_) {
        std::memcpy(buffer_, utf8, length);
        items_ = SplitByChar(buffer_, ',');
      }
      std::free(utf8);
    }
    int count = 0;
    for (StringList* node = items_; node; node = node->next) ++count;
    count_.store(count, std::memory_order_relaxed);
  }
  Repaint();
}

void CIndexToolsBar::SetItemText(int index, const WCHAR* text) {
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (index < 0 || index >= count_.load(std::memory_order_relaxed)) return;
    char* utf8 = Utf16ToUtf8Alloc(text ? text : u"");
    if (!utf8) return;
    size_t total = 0;
    int i = 0;
    for (StringList* node = items_; node; node = node->next, ++i)
      total += (i == index ? std::strlen(utf8) : std::strlen(node->text)) + 1;
    char* fresh = static_cast<char*>(std::calloc(total + 1, 1));
    if (!fresh) {
      std::free(utf8);
      return;
    }
    char* at = fresh;
    i = 0;
    for (StringList* node = items_; node; node = node->next, ++i) {
      const char* piece = i == index ? utf8 : node->text;
      size_t length = std::strlen(piece);
      std::memcpy(at, piece, length);
      node->text = at;
      at += length + 1;
    }
    std::free(buffer_);
    buffer_ = fresh;
    std::free(utf8);
  }
  Repaint();
}

const char* CIndexToolsBar::GetItemText(int index) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  int i = 0;
  if (index >= 0)
    for (StringList* node = items_; node; node = node->next, ++i)
      if (i == index) return node->text;
  return "";
}

int CIndexToolsBar::CopyItemText(int index, char* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  std::lock_guard<std::recursive_mutex> hold(lock_);
  const char* text = GetItemText(index);
  int length = static_cast<int>(std::strlen(text));
  if (length > size - 1) {
    length = size - 1;
    // Back off to the start of the UTF-8 form that was cut.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  }
  std::memcpy(buffer, text, static_cast<size_t>(length));
  buffer[length] = 0;
  return length;
}

void CIndexToolsBar::SetCurSel(int index) {
  selected_.store(index, std::memory_order_relaxed);
  Repaint();
}

void CIndexToolsBar::SelectItemByName(const char* text) {
  if (!text) return;
  int found = -1;
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    int i = 0;
    for (StringList* node = items_; node; node = node->next, ++i)
      if (node->text[0] && std::strstr(text, node->text)) {
        found = i;
        break;
      }
  }
  if (found >= 0) SetCurSel(found);
}

CRect CIndexToolsBar::GetItemRect(int index) const {
  CRect client;
  if (m_hWnd) GetClientRect(&client);
  int t = tabWidth_.load(std::memory_order_relaxed);
  return CRect(index * t, 0, index * t + t, client.bottom);
}

void CIndexToolsBar::SetVisibleCount(int count) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  visible_ = count;
}

int CIndexToolsBar::GetVisibleCount() const {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return visible_;
}

void CIndexToolsBar::ReleaseItems() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  FreeItems();
}

BOOL CIndexToolsBar::OnEraseBkgnd(CDC*) { return TRUE; }

void CIndexToolsBar::OnPaint() {
  CPaintDC dc(this);
  HGDIOBJ oldFont = dc.SelectObject(static_cast<HGDIOBJ>(font_));
  dc.SetBkMode(TRANSPARENT);
  Draw(&dc);
  dc.SelectObject(oldFont);
}

void CIndexToolsBar::Draw(CDC* dc) {
  CRect client;
  GetClientRect(&client);
  const int h = client.Height();
  const SchemeColors& colors = light_.load(std::memory_order_relaxed) ? kLight : kDark;
  CRect whole(0, 0, client.Width(), h);
  FillRectColor(*dc, &whole, 0x000000);
  if (drawFrame_.load(std::memory_order_relaxed) == 1) DrawRectangle(*dc, &whole, colors.frame, 0);

  const int t = tabWidth_.load(std::memory_order_relaxed);
  if (t <= 0) return;
  const int selected = selected_.load(std::memory_order_relaxed);
  std::lock_guard<std::recursive_mutex> hold(lock_);
  const int count = count_.load(std::memory_order_relaxed);
  CRect tab(0, 0, t, h);
  int number = 0;
  for (StringList* node = items_; node; node = node->next) {
    ++number;
    if (tab.left < client.Width()) {  // tabs beyond the right edge are not seen
      WCHAR text[kTabTextUnits + 1];
      TabText(node->text, text);
      DrawRectangle(*dc, &tab, colors.frame, 0);
      DrawTextAligned(*dc, &tab, text, number - 1 == selected ? colors.selected : colors.text, 1);
    }
    if (number == visible_) break;
    tab.OffsetRect(t, 0);
  }
  if (visible_ < count) {
    CRect more(tab.right, 0, tab.right + kMoreButtonWidth, h);
    DrawRectangle(*dc, &more, kMoreFrame, 0);
    DrawTextAligned(*dc, &more, u">>", kMoreText, 1);
  }
}

void CIndexToolsBar::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    CRect client;
    GetClientRect(&client);
    const long long w = client.Width();
    const long long t = tabWidth_.load(std::memory_order_relaxed);
    const long long count = count_.load(std::memory_order_relaxed);
    if (w >= count * t)
      visible_ = static_cast<int32_t>(count);
    else  // t > 0 here: count * t > w >= 0
      visible_ = static_cast<int32_t>(std::clamp((w - kMoreButtonWidth) / t, 0LL, count));
  }
  Invalidate();
}

void CIndexToolsBar::OnLButtonDown(UINT flags, CPoint point) {
  CWnd::OnLButtonDown(flags, point);
  const long long t = tabWidth_.load(std::memory_order_relaxed);
  if (t <= 0 || point.x < 0) return;
  long long n;
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    n = std::min(count_.load(std::memory_order_relaxed), visible_);
  }
  const long long x = point.x;
  if (x < n * t) {
    const int old = selected_.load(std::memory_order_relaxed);
    const int index = static_cast<int>(x / t);
    selected_.store(index, std::memory_order_relaxed);
    CRect oldRect = GetItemRect(old), newRect = GetItemRect(index);
    InvalidateRect(&oldRect, FALSE);
    InvalidateRect(&newRect, FALSE);
    if (HWND parent = ::GetParent(m_hWnd))
      ::PostMessageW(parent, WM_INDEXBAR_SELECT, reinterpret_cast<WPARAM>(this), index);
    UpdateWindow();
  } else if (x > n * t && x < n * t + kMoreButtonWidth) {
    TrackMoreMenu(point);
  }
}

void CIndexToolsBar::TrackMoreMenu(CPoint point) {
  // The texts are copied under the lock; the menu is built and tracked
  // without it.
  std::vector<std::pair<int, std::u16string>> entries;
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    int i = 0;
    for (StringList* node = items_; node; node = node->next, ++i) {
      if (i < visible_) continue;
      WCHAR* wide = Utf8ToUtf16Alloc(node->text);
      entries.emplace_back(i, wide ? std::u16string(wide) : std::u16string());
      std::free(wide);
    }
  }
  // Every tab shown (no ">>" drawn): there is nothing to offer.
  if (entries.empty()) return;
  if (menu_) menu_->DestroyMenu();
  menu_ = std::make_unique<CMenuEx>();
  menu_->CreatePopupMenu();
  const int selected = selected_.load(std::memory_order_relaxed);
  for (const auto& [index, text] : entries)
    menu_->AppendItem(index == selected ? MF_OWNERDRAW | MF_CHECKED : MF_OWNERDRAW, static_cast<UINT_PTR>(index),
                      text.c_str());
  ClientToScreen(&point);
  menu_->TrackPopupMenu(0, point.x, point.y, this);
}

BOOL CIndexToolsBar::OnCommand(WPARAM wParam, LPARAM lParam) {
  const int id = static_cast<int>(LOWORD(wParam));
  if (lParam == 0 && id < count_.load(std::memory_order_relaxed)) {
    selected_.store(id, std::memory_order_relaxed);
    if (HWND parent = ::GetParent(m_hWnd))
      ::PostMessageW(parent, WM_INDEXBAR_SELECT, reinterpret_cast<WPARAM>(this), id);
    Invalidate(TRUE);
  }
  return CWnd::OnCommand(wParam, lParam);
}

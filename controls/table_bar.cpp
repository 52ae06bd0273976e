#include "controls/table_bar.h"

#include "controls/control_messages.h"
#include "foundation/draw_helpers.h"
#include "foundation/string_helpers.h"
#include "foundation/text_codec.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

constexpr int kOverlap = 12;             // rows a vertical tab's picture reaches over the tab above
constexpr int kTextAboveTab = 6;         // a vertical tab's text starts this far above the tab
constexpr int kShownUnits = 63;          // characters shown of one tab text
constexpr COLORREF kKeyColor = RGB(255, 0, 255);

// The UTF-16 form of a UTF-8 tab text, at most 63 units, never ending on
// the first half of a surrogate pair.
WString ShownText(const char* utf8) {
  WString text;
  if (!utf8) return text;
  WCHAR* wide = Utf8ToUtf16Alloc(utf8);
  if (!wide) return text;
  text = wide;
  free(wide);
  if (static_cast<int>(text.size()) > kShownUnits) {
    int n = kShownUnits;
    if (text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    text.resize(n);
  }
  return text;
}

}  // namespace

CTableBar::CTableBar() { font_ = CreateUiFont(GetUiFontFace(), 14); }

CTableBar::~CTableBar() {
  if (m_hWnd) DestroyWindow();
  std::lock_guard<CriticalSection> hold(lock_);
  FreeTexts();
  ReleaseMemoryPicture();
  DeleteObject(font_);
}

void CTableBar::FreeTexts() {
  FreeStringList(&texts_);
  free(textBuffer_);
  textBuffer_ = nullptr;
  count_ = 0;
}

void CTableBar::SetItems(const WCHAR* commaSeparated) {
  {
    std::lock_guard<CriticalSection> hold(lock_);
    FreeTexts();
    textBuffer_ = Utf16ToUtf8Alloc(commaSeparated ? commaSeparated : u"");
    texts_ = SplitByChar(textBuffer_, ',');
    for (StringList* node = texts_; node; node = node->next) ++count_;
  }
  if (m_hWnd) Invalidate(FALSE);
}

void CTableBar::SetItemText(int index, const WCHAR* text) {
  {
    std::lock_guard<CriticalSection> hold(lock_);
    if (index < 0 || index >= count_) return;
    char* replacement = Utf16ToUtf8Alloc(text ? text : u"");
    if (!replacement) return;
    // The new buffer holds every text zero-terminated, the replaced one in
    // its place; the list is rebuilt over it (a comma in the new text stays
    // part of that one tab).
    size_t size = 0;
    int i = 0;
    for (StringList* node = texts_; node; node = node->next, ++i)
      size += strlen(i == index ? replacement : node->text) + 1;
    char* buffer = static_cast<char*>(malloc(size));
    StringList* head = nullptr;
    StringList** tail = &head;
    bool ok = buffer != nullptr;
    char* at = buffer;
    i = 0;
    for (StringList* node = texts_; node && ok; node = node->next, ++i) {
      const char* piece = i == index ? replacement : node->text;
      size_t n = strlen(piece) + 1;
      memcpy(at, piece, n);
      *tail = static_cast<StringList*>(calloc(1, sizeof(StringList)));
      ok = *tail != nullptr;
      if (ok) {
        (*tail)->text = at;
        tail = &(*tail)->next;
      }
      at += n;
    }
    free(replacement);
    if (!ok) {
      FreeStringList(&head);
      free(buffer);
      return;
    }
    FreeStringList(&texts_);
    free(textBuffer_);
    textBuffer_ = buffer;
    texts_ = head;
  }
  if (m_hWnd) Invalidate(FALSE);
}

const char* CTableBar::TextAt(int index) const {
  if (index < 0 || index >= count_) return nullptr;
  StringList* node = texts_;
  for (int i = 0; i < index && node; ++i) node = node->next;
  return node ? node->text : nullptr;
}

const char* CTableBar::GetItemText(int index) {
  std::lock_guard<CriticalSection> hold(lock_);
  return TextAt(index);
}

int CTableBar::CopyItemText(int index, char* out, int size) {
  if (!out || size < 1) return 0;
  std::lock_guard<CriticalSection> hold(lock_);
  out[0] = 0;
  const char* text = TextAt(index);
  if (!text) return 0;
  int n = static_cast<int>(std::min(strlen(text), static_cast<size_t>(size - 1)));
  // Back off to the start of a character cut in two.
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  memcpy(out, text, n);
  out[n] = 0;
  return 1;
}

int CTableBar::GetCount() {
  std::lock_guard<CriticalSection> hold(lock_);
  return count_;
}

void CTableBar::SetCurSel(int index) {
  {
    std::lock_guard<CriticalSection> hold(lock_);
    current_ = index;
  }
  if (!m_hWnd) return;
  Invalidate(FALSE);
  UpdateWindow();
}

int CTableBar::GetCurSel() {
  std::lock_guard<CriticalSection> hold(lock_);
  return current_;
}

void CTableBar::SetOrientation(int orientation) {
  std::lock_guard<CriticalSection> hold(lock_);
  orientation_ = orientation;
  if (orientation == 0) itemSize_ = 82;
  if (orientation == 1) itemSize_ = 98;
}

void CTableBar::SetItemSize(int pixels) {
  std::lock_guard<CriticalSection> hold(lock_);
  if (orientation_ == 0 || orientation_ == 1) itemSize_ = pixels;
}

void CTableBar::SetTextColor(uint32_t rgb) {
  std::lock_guard<CriticalSection> hold(lock_);
  textColor_ = rgb;
}

void CTableBar::SetOrigin(int x, int y) {
  std::lock_guard<CriticalSection> hold(lock_);
  originX_ = x;
  originY_ = y;
}

void CTableBar::SetItemImages(const WCHAR* unselectedPath, const WCHAR* selectedPath) {
  std::lock_guard<CriticalSection> hold(lock_);
  unselected_.Load(unselectedPath);
  selected_.Load(selectedPath);
}

void CTableBar::SetBackgroundImage(const WCHAR* path) {
  std::lock_guard<CriticalSection> hold(lock_);
  background_.Load(path);
}

void CTableBar::GetItemRect(int index, RECT* rect) {
  if (!rect) return;
  std::lock_guard<CriticalSection> hold(lock_);
  CRect client;
  GetClientRect(&client);
  *rect = RECT{index * itemSize_, 0, (index + 1) * itemSize_, client.bottom};
}

void CTableBar::ReleaseMemoryPicture() {
  if (!memDc_) return;
  SelectObject(memDc_, oldFont_);
  SelectObject(memDc_, oldBitmap_);
  DeleteObject(memBitmap_);
  DeleteDC(memDc_);
  memDc_ = nullptr;
  memBitmap_ = nullptr;
  oldBitmap_ = nullptr;
  oldFont_ = nullptr;
}

void CTableBar::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  {
    std::lock_guard<CriticalSection> hold(lock_);
    ReleaseMemoryPicture();
    HDC screen = ::GetDC(nullptr);
    memDc_ = CreateCompatibleDC(screen);
    memBitmap_ = CreateCompatibleBitmap(screen, std::max(cx, 1), std::max(cy, 1));
    ::ReleaseDC(nullptr, screen);
    oldBitmap_ = SelectObject(memDc_, memBitmap_);
    oldFont_ = SelectObject(memDc_, font_);
  }
  Invalidate(TRUE);
}

void CTableBar::OnPaint() {
  CPaintDC dc(this);
  std::lock_guard<CriticalSection> hold(lock_);
  if (!memDc_) return;
  SetBkMode(memDc_, TRANSPARENT);
  DrawItems(memDc_);
  CRect client;
  GetClientRect(&client);
  BitBlt(dc, 0, 0, client.Width(), client.Height(), memDc_, 0, 0, SRCCOPY);
}

BOOL CTableBar::OnEraseBkgnd(CDC*) { return TRUE; }

void CTableBar::DrawItems(HDC dc) {
  std::lock_guard<CriticalSection> hold(lock_);
  CRect client;
  GetClientRect(&client);
  if (!background_.IsNull())
    background_.StretchBlt(dc, client);
  else
    FillRectColor(dc, &client, 0x000000);
  if (itemSize_ < 1) return;
  if (orientation_ == 0) DrawHorizontal(dc, client);
  if (orientation_ == 1) DrawVertical(dc, client);
}

void CTableBar::DrawHorizontal(HDC dc, const RECT& client) {
  RECT tab{originX_, originY_, originX_ + itemSize_, client.bottom};
  int i = 0;
  for (StringList* node = texts_; node; node = node->next, ++i) {
    const bool current = i == current_;
    const CImage& picture = current ? selected_ : unselected_;
    if (!picture.IsNull()) picture.StretchBlt(dc, tab);
    WString text = ShownText(node->text);
    DrawTextInRect(dc, &tab, text.c_str(), current ? 0xFFFFFF : textColor_, 1);
    tab.left += itemSize_;
    tab.right += itemSize_;
  }
}

RECT CTableBar::VerticalBand(int index) const {
  CRect client;
  GetClientRect(&client);
  const int top = originY_ + index * itemSize_;
  return RECT{originX_, top - kOverlap, originX_ + client.Width(), top + itemSize_ + kOverlap};
}

void CTableBar::DrawVertical(HDC dc, const RECT& client) {
  const int width = client.right - client.left;
  ::SetTextColor(dc, RGB(255, 255, 255));
  CRect tab(originX_, originY_, originX_ + width, originY_ + itemSize_);
  RECT currentTab{};
  WString currentText;
  int currentHeight = 0;
  int i = 0;
  for (StringList* node = texts_; node; node = node->next, ++i, tab.OffsetRect(0, itemSize_)) {
    WString text = ShownText(node->text);
    RECT measure{tab.left, tab.top, tab.right, tab.top};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measure, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
    const int h = measure.bottom - measure.top;
    if (i == current_) {
      currentTab = tab;
      currentText = text;
      currentHeight = h;
      continue;
    }
    if (!unselected_.IsNull()) {
      if (i == 0) {
        // The first tab has no tab above it: its picture starts below the overlap rows.
        RECT src{0, kOverlap, std::min(width, unselected_.GetWidth()),
                 std::min(kOverlap + itemSize_, unselected_.GetHeight())};
        RECT dst{tab.left, tab.top, tab.left + src.right - src.left, tab.top + src.bottom - src.top};
        unselected_.TransparentBlt(dc, dst, src, kKeyColor);
      } else {
        RECT band{tab.left, tab.top - kOverlap, tab.right, tab.bottom};
        unselected_.TransparentBlt(dc, band, kKeyColor);
      }
    }
    RECT textRect{tab.left, tab.top - kTextAboveTab, tab.right, tab.top - kTextAboveTab + h};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, DT_WORDBREAK | DT_CENTER);
  }
  if (current_ < 0 || current_ >= count_) return;
  // The current tab lies on top of both neighbours.
  if (!selected_.IsNull()) {
    RECT src{0, 0, std::min(width, selected_.GetWidth()), std::min(itemSize_ + kOverlap, selected_.GetHeight())};
    RECT dst{currentTab.left, currentTab.top - kOverlap, currentTab.left + src.right,
             currentTab.top - kOverlap + src.bottom};
    selected_.TransparentBlt(dc, dst, src, kKeyColor);
  }
  RECT textRect{currentTab.left, currentTab.top, currentTab.right, currentTab.top + currentHeight};
  DrawTextW(dc, currentText.c_str(), static_cast<int>(currentText.size()), &textRect, DT_WORDBREAK | DT_CENTER);
}

void CTableBar::OnLButtonDown(UINT, CPoint point) {
  std::lock_guard<CriticalSection> hold(lock_);
  if (itemSize_ < 1) return;
  HWND parent = ::GetParent(m_hWnd);
  if (orientation_ == 0 && point.x < count_ * itemSize_) {
    const int index = (point.x - originX_) / itemSize_;
    CRect client;
    GetClientRect(&client);
    RECT currentTab{originX_ + current_ * itemSize_, originY_, originX_ + (current_ + 1) * itemSize_, client.bottom};
    InvalidateRect(&currentTab, FALSE);
    ::PostMessageW(parent, WM_TABLEBAR_SELECT, reinterpret_cast<WPARAM>(this), index);
    return;
  }
  if (orientation_ == 1 && point.y < count_ * itemSize_) {
    RECT oldBand = VerticalBand(current_);
    current_ = (point.y - originY_) / itemSize_;
    RECT newBand = VerticalBand(current_);
    InvalidateRect(&oldBand, FALSE);
    InvalidateRect(&newBand, FALSE);
    ::PostMessageW(parent, WM_TABLEBAR_SELECT, reinterpret_cast<WPARAM>(this), current_);
  }
}

void CTableBar::OnKeyDown(UINT key, UINT, UINT) {
  if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_KEY_COMMAND, 0, key);
}

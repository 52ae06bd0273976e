#include "controls/status_bar.h"

#include "controls/control_messages.h"
#include "foundation/draw_helpers.h"

#include <algorithm>
#include <mutex>

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMs = 100;
constexpr int kTickStep = 5;                        // pixels per tick, revealing and scrolling
constexpr COLORREF kBannerTextColor = RGB(235, 177, 0);
constexpr COLORREF kCaptionColor = RGB(216, 216, 216);
constexpr int kBlockColumns[5] = {28, 64, 54, 48, 80};  // caption, values 1 to 4

HFONT CreateBarFont(int weight) {
  return CreateFontW(ScaleFontHeight(14), 0, 0, 0, weight, 0, 0, 0, 0, 0, 0, 5, 0x20, GetUiFontFace());
}

// Copies at most capacity - 1 units of text (null: empty) and a terminator,
// never ending on the first half of a surrogate pair.
void CopyCut(WCHAR* out, int capacity, const WCHAR* text) {
  int n = 0;
  if (text)
    while (n < capacity - 1 && text[n]) ++n;
  if (n == capacity - 1 && text[n] && n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
  std::copy(text, text + n, out);
  out[n] = 0;
}

// The memory picture of a window: a DC compatible with the screen holding a
// bitmap of the size (at least 1 x 1).
HDC CreateMemoryDc(int width, int height, HBITMAP* bitmap, HGDIOBJ* oldBitmap) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  *bitmap = CreateCompatibleBitmap(screen, std::max(width, 1), std::max(height, 1));
  ReleaseDC(nullptr, screen);
  *oldBitmap = SelectObject(dc, *bitmap);
  return dc;
}

void DeleteMemoryDc(HDC* dc, HBITMAP* bitmap, HGDIOBJ* oldBitmap) {
  if (!*dc) return;
  SelectObject(*dc, *oldBitmap);
  DeleteObject(*bitmap);
  DeleteDC(*dc);
  *dc = nullptr;
  *bitmap = nullptr;
  *oldBitmap = nullptr;
}

// The background picture stretched over the rectangle; black when the
// picture failed to load, so that earlier texts never show through.
void DrawBackground(HDC dc, const CImage* background, const RECT& rc) {
  if (background && !background->IsNull()) {
    background->StretchBlt(dc, rc);
    return;
  }
  FillRectColor(dc, &rc, 0x000000);
}

RECT Shrunk(RECT rc, int dx, int dy) {
  return RECT{rc.left + dx, rc.top + dy, rc.right - dx, rc.bottom - dy};
}

}  // namespace

// ---------------------------------------------------------------------------
// FooBanner

FooBanner::~FooBanner() {
  std::lock_guard<CriticalSection> hold(lock_);
  ReleaseMemoryPicture();
  if (font_) DeleteObject(font_);
}

void FooBanner::ClearTexts() {
  std::lock_guard<CriticalSection> hold(lock_);
  texts_.clear();
  // The text on show is gone: the next text added starts from the left.
  currentIndex_ = 0;
  revealWidth_ = 0;
  scrollOffset_ = 0;
}

void FooBanner::AddText(const WCHAR* text) {
  std::lock_guard<CriticalSection> hold(lock_);
  texts_.emplace_back(text ? text : u"");
}

int FooBanner::GetCurrentIndex() {
  std::lock_guard<CriticalSection> hold(lock_);
  return currentIndex_;
}

std::vector<WString> FooBanner::GetTexts() {
  std::lock_guard<CriticalSection> hold(lock_);
  return texts_;
}

int FooBanner::OnCreate(LPCREATESTRUCT cs) {
  if (CStatic::OnCreate(cs) == -1) return -1;
  std::lock_guard<CriticalSection> hold(lock_);
  font_ = CreateBarFont(400);
  CRect rc;
  GetClientRect(&rc);
  CreateMemoryPicture(rc.Width(), rc.Height());
  SetTimer(kTickTimer, kTickMs);
  return 0;
}

void FooBanner::OnSize(UINT type, int cx, int cy) {
  CStatic::OnSize(type, cx, cy);
  std::lock_guard<CriticalSection> hold(lock_);
  KillTimer(kTickTimer);
  ReleaseMemoryPicture();
  CreateMemoryPicture(cx, cy);
  SetTimer(kTickTimer, kTickMs);
}

void FooBanner::CreateMemoryPicture(int width, int height) {
  memDc_ = CreateMemoryDc(width, height, &memBitmap_, &oldBitmap_);
  SetBkMode(memDc_, TRANSPARENT);
  oldFont_ = SelectObject(memDc_, font_);
  // Until the first tick renders, the banner shows the bar's background.
  DrawBackground(memDc_, background_, RECT{0, 0, width, height});
}

void FooBanner::ReleaseMemoryPicture() {
  if (!memDc_) return;
  SelectObject(memDc_, oldFont_);
  oldFont_ = nullptr;
  DeleteMemoryDc(&memDc_, &memBitmap_, &oldBitmap_);
}

void FooBanner::OnTimer(UINT_PTR id) {
  if (id == kTickTimer) {
    {
      std::lock_guard<CriticalSection> hold(lock_);
      RenderTick();
    }
    Invalidate(FALSE);
  }
  CStatic::OnTimer(id);
}

void FooBanner::RenderTick() {
  if (!memDc_) return;
  CRect c;
  GetClientRect(&c);
  DrawBackground(memDc_, background_, c);
  SetTextColor(memDc_, kBannerTextColor);
  // The list may have shrunk since the last tick: start again at the first text.
  if (currentIndex_ >= static_cast<int>(texts_.size())) {
    currentIndex_ = 0;
    revealWidth_ = 0;
    scrollOffset_ = 0;
  }
  if (texts_.empty()) return;
  const WString& text = texts_[currentIndex_];
  RECT measure = c;
  DrawTextW(memDc_, text.c_str(), static_cast<int>(text.size()), &measure, DT_CALCRECT);
  int width = measure.right - measure.left;
  revealWidth_ += kTickStep;
  RECT draw{c.left, c.top, c.left + revealWidth_, c.bottom};
  if (revealWidth_ > c.Width()) {
    scrollOffset_ -= kTickStep;
    draw.left = scrollOffset_;
    draw.right = scrollOffset_ + revealWidth_;
  }
  DrawTextW(memDc_, text.c_str(), static_cast<int>(text.size()), &draw, DT_SINGLELINE | DT_VCENTER);
  if (width + scrollOffset_ >= 0) return;
  // The text has left the banner: the next one follows.
  revealWidth_ = 0;
  scrollOffset_ = 0;
  currentIndex_ = (currentIndex_ + 1) % static_cast<int>(texts_.size());
}

void FooBanner::OnPaint() {
  CPaintDC dc(this);
  std::lock_guard<CriticalSection> hold(lock_);
  if (!memDc_) return;
  CRect rc;
  GetClientRect(&rc);
  BitBlt(dc, 0, 0, rc.Width(), rc.Height(), memDc_, 0, 0, SRCCOPY);
}

BOOL FooBanner::OnEraseBkgnd(CDC*) { return TRUE; }

void FooBanner::OnDestroy() {
  KillTimer(kTickTimer);
  {
    std::lock_guard<CriticalSection> hold(lock_);
    ReleaseMemoryPicture();
    if (font_) DeleteObject(font_);
    font_ = nullptr;
  }
  CStatic::OnDestroy();
}

// ---------------------------------------------------------------------------
// FooStatus

FooStatus::FooStatus() {
  CopyCut(label_, kTextUnits, u"Orvenna证券");
  for (IndexBlock* block : {&shanghai_, &shenzhen_})
    for (Text& t : block->texts) t[0] = 0;
  CopyCut(shanghai_.texts[0], kTextUnits, u"上证");
  CopyCut(shenzhen_.texts[0], kTextUnits, u"深证");
  status_[0] = 0;
}

FooStatus::~FooStatus() {
  // The banner is a child: destroying the bar destroys it first.
  if (m_hWnd) DestroyWindow();
  std::lock_guard<CriticalSection> hold(lock_);
  ReleaseMemoryPicture();
  if (normalFont_) DeleteObject(normalFont_);
  if (boldFont_) DeleteObject(boldFont_);
}

BOOL FooStatus::Create(const RECT& rect, CWnd* parent, UINT id, const WCHAR* backgroundPath,
                       const WCHAR* separatorPath) {
  if (background_.Load(backgroundPath) != S_OK) AfxMessageBox(u"背景图片加载失败");
  if (separator_.Load(separatorPath) != S_OK) AfxMessageBox(u"分隔条图片加载失败");
  return CWnd::Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, rect, parent, id);
}

int FooStatus::SetParts(int count, const int* values) {
  if (count < 3 || !values) return 0;
  std::lock_guard<CriticalSection> hold(lock_);
  parts_.assign(values, values + count);
  return 1;
}

int FooStatus::GetPartRect(int index, RECT* rect) const {
  if (index < 0 || !rect) return 0;
  std::lock_guard<CriticalSection> hold(lock_);
  const int n = static_cast<int>(parts_.size());
  if (index >= n) return 0;
  CRect client;
  GetClientRect(&client);
  const int l = client.left, r = client.right;
  const std::vector<int>& v = parts_;
  RECT part{0, client.top, 0, client.bottom};
  if (index == 0) {
    part.left = l;
    part.right = l + v[0];
  } else if (r <= l + v[n - 3]) {
    // Not wider than the fixed parts: the last two stay empty.
    if (index < n - 2) {
      part.left = l + v[index - 1];
      part.right = l + v[index];
    }
  } else if (index == n - 1) {
    part.left = std::max(r - v[n - 1], l + v[n - 3]);
    part.right = r;
  } else if (index == n - 2) {
    part.left = l + v[n - 3];
    part.right = part.left + std::max(r - v[n - 3] - v[n - 1], 0);
  } else {
    part.left = l + v[index - 1];
    part.right = l + v[index];
  }
  *rect = part;
  return 1;
}

void FooStatus::SetBlockTexts(IndexBlock& block, const WCHAR* const values[4]) {
  {
    std::lock_guard<CriticalSection> hold(lock_);
    for (int i = 0; i < 4; ++i) CopyCut(block.texts[i + 1], kTextUnits, values[i]);
  }
  Invalidate(FALSE);
}

void FooStatus::SetBlockColors(IndexBlock& block, COLORREF value, COLORREF change, COLORREF rate) {
  {
    std::lock_guard<CriticalSection> hold(lock_);
    block.colors[0] = value;
    block.colors[1] = change;
    block.colors[2] = rate;
  }
  Invalidate(FALSE);
}

void FooStatus::SetShanghaiTexts(const WCHAR* value, const WCHAR* change, const WCHAR* rate,
                                 const WCHAR* turnover) {
  const WCHAR* const values[4] = {value, change, rate, turnover};
  SetBlockTexts(shanghai_, values);
}

void FooStatus::SetShenzhenTexts(const WCHAR* value, const WCHAR* change, const WCHAR* rate,
                                 const WCHAR* turnover) {
  const WCHAR* const values[4] = {value, change, rate, turnover};
  SetBlockTexts(shenzhen_, values);
}

void FooStatus::SetShanghaiColors(COLORREF value, COLORREF change, COLORREF rate) {
  SetBlockColors(shanghai_, value, change, rate);
}

void FooStatus::SetShenzhenColors(COLORREF value, COLORREF change, COLORREF rate) {
  SetBlockColors(shenzhen_, value, change, rate);
}

void FooStatus::SetStatusText(const WCHAR* text, COLORREF color) {
  std::lock_guard<CriticalSection> hold(lock_);
  CopyCut(status_, kTextUnits, text);
  statusColor_ = color;
}

std::u16string FooStatus::GetStatusText() const {
  std::lock_guard<CriticalSection> hold(lock_);
  return std::u16string(status_);
}

COLORREF FooStatus::GetStatusColor() const {
  std::lock_guard<CriticalSection> hold(lock_);
  return statusColor_;
}

std::u16string FooStatus::GetShanghaiText(int entry) const {
  std::lock_guard<CriticalSection> hold(lock_);
  return entry >= 1 && entry <= 4 ? std::u16string(shanghai_.texts[entry]) : std::u16string();
}

std::u16string FooStatus::GetShenzhenText(int entry) const {
  std::lock_guard<CriticalSection> hold(lock_);
  return entry >= 1 && entry <= 4 ? std::u16string(shenzhen_.texts[entry]) : std::u16string();
}

COLORREF FooStatus::GetShanghaiColor(int value) const {
  std::lock_guard<CriticalSection> hold(lock_);
  return value >= 1 && value <= 3 ? shanghai_.colors[value - 1] : 0;
}

COLORREF FooStatus::GetShenzhenColor(int value) const {
  std::lock_guard<CriticalSection> hold(lock_);
  return value >= 1 && value <= 3 ? shenzhen_.colors[value - 1] : 0;
}

void FooStatus::ClearMarquee() { banner_.ClearTexts(); }

void FooStatus::AddMarqueeText(const WCHAR* text) { banner_.AddText(text); }

int FooStatus::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  {
    std::lock_guard<CriticalSection> hold(lock_);
    normalFont_ = CreateBarFont(400);
    boldFont_ = CreateBarFont(600);
  }
  const int layout[5] = {60, 340, 620, 0, 200};
  SetParts(5, layout);
  banner_.SetBackground(&background_);
  RECT part{};
  GetPartRect(3, &part);
  RECT place = Shrunk(part, 3, 0);
  place.right = std::max(place.right, place.left);
  banner_.Create(u"", WS_CHILD | WS_VISIBLE, place, this, kBannerId);
  banner_.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(normalFont_), FALSE);
  return 0;
}

void FooStatus::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  {
    std::lock_guard<CriticalSection> hold(lock_);
    ReleaseMemoryPicture();
    memDc_ = CreateMemoryDc(cx, cy, &memBitmap_, &oldBitmap_);
    if (banner_.IsWindow()) {
      RECT part{};
      GetPartRect(3, &part);
      RECT place = Shrunk(part, 3, 0);
      banner_.MoveWindow(place.left, place.top, std::max(place.right - place.left, 0), place.bottom - place.top);
    }
  }
  Invalidate(FALSE);
}

void FooStatus::ReleaseMemoryPicture() { DeleteMemoryDc(&memDc_, &memBitmap_, &oldBitmap_); }

void FooStatus::OnPaint() {
  CPaintDC dc(this);
  std::lock_guard<CriticalSection> hold(lock_);
  if (!memDc_) return;
  CRect client;
  GetClientRect(&client);
  DrawBackground(memDc_, &background_, client);
  const int count = static_cast<int>(parts_.size());
  for (int i = 1; i < count && !separator_.IsNull(); ++i) {
    RECT left{};
    GetPartRect(i - 1, &left);
    separator_.StretchBlt(memDc_, left.right - 1, client.top, 2, client.Height());
  }
  if (count > 0 && banner_.IsWindow()) {
    SetBkMode(memDc_, TRANSPARENT);
    RECT part{};
    GetPartRect(0, &part);
    RECT rc = Shrunk(part, 2, 1);
    HGDIOBJ old = SelectObject(memDc_, normalFont_);
    SetTextColor(memDc_, labelColor_);
    DrawTextW(memDc_, label_, -1, &rc, DT_CENTER);
    GetPartRect(1, &part);
    DrawBlock(memDc_, part, shanghai_);
    GetPartRect(2, &part);
    DrawBlock(memDc_, part, shenzhen_);
    if (GetPartRect(4, &part)) {
      rc = Shrunk(part, 3, 1);
      SelectObject(memDc_, normalFont_);
      SetTextColor(memDc_, statusColor_);
      DrawTextW(memDc_, status_, -1, &rc, DT_CENTER);
    }
    SelectObject(memDc_, old);
  }
  BitBlt(dc, 0, 0, client.Width(), client.Height(), memDc_, 0, 0, SRCCOPY);
}

// The caption and the four values side by side from the part's left edge:
// values 1 to 3 bold in their colours, the caption and value 4 in grey.
void FooStatus::DrawBlock(HDC dc, const RECT& part, const IndexBlock& block) {
  RECT area = Shrunk(part, 3, 1);
  RECT cell{area.left, area.top, area.left, area.bottom};
  for (int i = 0; i < 5; ++i) {
    cell.left = cell.right;
    cell.right = cell.left + kBlockColumns[i];
    const bool value = i >= 1 && i <= 3;
    SelectObject(dc, value ? boldFont_ : normalFont_);
    SetTextColor(dc, value ? block.colors[i - 1] : kCaptionColor);
    RECT rc = cell;
    DrawTextW(dc, block.texts[i], -1, &rc, DT_CENTER);
  }
}

BOOL FooStatus::OnEraseBkgnd(CDC*) { return TRUE; }

void FooStatus::OnDestroy() {
  {
    std::lock_guard<CriticalSection> hold(lock_);
    if (normalFont_) DeleteObject(normalFont_);
    if (boldFont_) DeleteObject(boldFont_);
    normalFont_ = nullptr;
    boldFont_ = nullptr;
  }
  CWnd::OnDestroy();
}

int FooStatus::PartAt(CPoint point) const {
  int count;
  {
    std::lock_guard<CriticalSection> hold(lock_);
    count = static_cast<int>(parts_.size());
  }
  for (int i = 0; i < count; ++i) {
    RECT part{};
    if (GetPartRect(i, &part) && CRect(part).PtInRect(point)) return i;
  }
  return -1;
}

void FooStatus::OnLButtonDown(UINT flags, CPoint point) {
  CWnd::OnLButtonDown(flags, point);
  if (PartAt(point) != 0) return;
  if (CWnd* parent = GetParent()) parent->SendMessage(WM_STATUS_LABEL_CLICK, 0, 0);
}

void FooStatus::OnLButtonDblClk(UINT flags, CPoint point) {
  CWnd::OnLButtonDblClk(flags, point);
  const int part = PartAt(point);
  if (part < 1 || part > 4) return;
  LPARAM textIndex = part == 3 ? banner_.GetCurrentIndex() : 0;
  if (CWnd* parent = GetParent()) parent->SendMessage(WM_STATUS_DBLCLK, part - 1, textIndex);
}

// The self-painting banner never uses the answer; other children get a
// transparent background over the bar's picture.
HBRUSH FooStatus::OnCtlColor(CDC* dc, CWnd*, UINT) {
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextColor(RGB(0, 255, 255));
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

#include "controls/gif_control.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "controls/gif_decoder.h"
#include "foundation/draw_helpers.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_utf.h"

namespace {

constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT kFramePeriodMs = 100;
constexpr int kCornerSize = 25;        // the top-right square never invalidated
constexpr size_t kMaxPathChars = 259;  // the full path, without its terminator
constexpr size_t kPaletteBytes = 4 * 256;

// Tick count of the last frame change, shared by every control.
std::atomic<DWORD> g_lastChange{0};

std::uint32_t ReadU32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t ReadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

// A locked view of a frame block, with the bounds every read is checked
// against (the smaller of the stored total and the allocation).
class BlockView {
 public:
  explicit BlockView(HGLOBAL block) : block_(block) {
    if (!block_) return;
    data_ = static_cast<const std::uint8_t*>(GlobalLock(block_));
    if (!data_) return;
    size_ = GlobalSize(block_);
    if (size_ < 20) return;
    size_ = std::min<size_t>(size_, ReadU32(data_));
    if (size_ < 20) return;
    tableCount_ = ReadU16(data_ + 4);
    headerCount_ = ReadU16(data_ + 6);
    if (HeadersEnd() > size_) return;
    ok_ = true;
  }
  ~BlockView() {
    if (data_) GlobalUnlock(block_);
  }
  BlockView(const BlockView&) = delete;
  BlockView& operator=(const BlockView&) = delete;

  bool Ok() const { return ok_; }
  int TableCount() const { return tableCount_; }
  // Frame-table entry index: (frame number, display time); false outside.
  bool Entry(int index, std::uint32_t* frame, std::uint32_t* time) const {
    if (index < 0 || index >= tableCount_) return false;
    const std::uint8_t* e = data_ + 20 + 8 * static_cast<size_t>(index);
    *frame = ReadU32(e);
    *time = ReadU32(e + 4);
    return true;
  }
  // Frame header k; null outside the header table.
  const std::uint8_t* Header(std::uint32_t k) const {
    if (k >= static_cast<std::uint32_t>(headerCount_)) return nullptr;
    return data_ + 20 + 8 * static_cast<size_t>(tableCount_) + 20 * static_cast<size_t>(k);
  }
  size_t GlobalPalette() const { return HeadersEnd(); }
  // The bytes [offset, offset + count) when they lie inside the block.
  const std::uint8_t* Bytes(size_t offset, size_t count) const {
    if (offset > size_ || count > size_ - offset) return nullptr;
    return data_ + offset;
  }

 private:
  size_t HeadersEnd() const { return 20 + 8 * static_cast<size_t>(tableCount_) + 20 * static_cast<size_t>(headerCount_); }

  HGLOBAL block_;
  const std::uint8_t* data_ = nullptr;
  size_t size_ = 0;
  int tableCount_ = 0;
  int headerCount_ = 0;
  bool ok_ = false;
};

}  // namespace

// ---------------------------------------------------------------------------
// GifPlayer

GifPlayer::~GifPlayer() { Reset(); }

DWORD GifPlayer::LastChange() { return g_lastChange.load(); }
void GifPlayer::SetLastChangeForTesting(DWORD tick) { g_lastChange.store(tick); }

BOOL GifPlayer::Load(const WCHAR* path) { return Adopt(LoadGifFrames(path)); }

BOOL GifPlayer::Adopt(HGLOBAL block) {
  if (!block) return FALSE;
  int count = 0;
  {
    BlockView view(block);
    count = view.Ok() ? view.TableCount() : 0;
  }
  if (block_) GlobalFree(block_);
  block_ = block;
  frameCount_ = count;
  current_ = 1;
  SelectFrame();
  return TRUE;
}

void GifPlayer::Reset() {
  if (block_) GlobalFree(block_);
  block_ = nullptr;
  height_ = width_ = bitsPerPixel_ = frameCount_ = current_ = 0;
  displayTime_ = 0;
}

void GifPlayer::SelectFrame() {
  displayTime_ = 0;
  width_ = height_ = bitsPerPixel_ = 0;
  if (!block_ || current_ < 1 || current_ > frameCount_) return;
  BlockView view(block_);
  std::uint32_t frame = 0, time = 0;
  if (!view.Ok() || !view.Entry(current_ - 1, &frame, &time)) return;
  displayTime_ = time;
  const std::uint8_t* h = view.Header(frame - 1);
  if (!h) return;
  width_ = static_cast<int>(ReadU32(h));
  height_ = static_cast<int>(ReadU32(h + 4));
  bitsPerPixel_ = ReadU16(h + 8);
}

void GifPlayer::Advance() {
  DWORD now = GetTickCount();
  auto elapsed = static_cast<std::int32_t>(now - g_lastChange.load());
  if (elapsed < static_cast<std::int32_t>(displayTime_) || frameCount_ < 2) return;
  g_lastChange.store(now);
  if (++current_ > frameCount_) current_ = 1;
  SelectFrame();
}

int GifPlayer::DrawFrame(HDC dc, const RECT& dst) {
  if (!block_) return 0;
  BlockView view(block_);
  std::uint32_t frame = 0, time = 0;
  if (!view.Ok() || !view.Entry(current_ - 1, &frame, &time)) return 0;
  const std::uint8_t* h = view.Header(frame - 1);
  if (!h) return 0;
  const std::uint32_t width = ReadU32(h), height = ReadU32(h + 4);
  const int bits = ReadU16(h + 8);
  const bool localPalette = ReadU16(h + 10) != 0;
  const size_t offset = ReadU32(h + 16);
  if (width == 0 || height == 0 || width > 0x7FFF || height > 0x7FFF) return 0;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return 0;
  const size_t colours = bits <= 8 ? size_t{1} << bits : 0;
  const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
  const size_t imageSize = stride * height;
  const size_t paletteAt = localPalette ? offset : view.GlobalPalette();
  const size_t rowsAt = localPalette ? offset + kPaletteBytes : offset;
  const std::uint8_t* palette = colours ? view.Bytes(paletteAt, 4 * colours) : nullptr;
  const std::uint8_t* rows = view.Bytes(rowsAt, imageSize);
  if ((colours && !palette) || !rows) return 0;

  BITMAPINFO info{};
  info.bmiHeader.biSize = 40;
  info.bmiHeader.biWidth = static_cast<LONG>(width);
  info.bmiHeader.biHeight = static_cast<LONG>(height);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(bits);
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(imageSize);
  if (colours) std::memcpy(info.bmiColors, palette, 4 * colours);
  return StretchDIBits(dc, dst.left, dst.top, dst.right - dst.left, dst.bottom - dst.top, 0, 0,
                       static_cast<int>(width), static_cast<int>(height), rows, &info, DIB_RGB_COLORS, SRCCOPY);
}

// ---------------------------------------------------------------------------
// CGifCtrl

CGifCtrl::~CGifCtrl() {
  if (m_hWnd) DestroyWindow();
  ReleasePicture();
  if (font_) DeleteObject(font_);
}

BOOL CGifCtrl::Create(const RECT& rect, CWnd* parent, UINT id, const WCHAR* name) {
  WString wname = name ? WString(name) : WString();
  WString path;
  bool absolute = !wname.empty() && (wname[0] == u'/' || wname[0] == u'\\' ||
                                     (wname.size() > 1 && wname[1] == u':'));
  if (absolute) {
    path = wname;
  } else {
    path = Utf8ToWide(ProgramFolder()) + wname;
  }
  if (path.size() > kMaxPathChars) path.resize(kMaxPathChars);
  if (!player_.Load(path.c_str())) player_.Reset();
  return CWnd::Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, rect, parent, id);
}

void CGifCtrl::SetText(const WString& text) {
  std::lock_guard<CriticalSection> hold(lock_);
  text_ = text;
}

int CGifCtrl::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  font_ = CreateFontW(ScaleFontHeight(14), 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 5, 32, GetUiFontFace());
  SetTimer(kFrameTimer, kFramePeriodMs);
  return 0;
}

void CGifCtrl::OnTimer(UINT_PTR id) {
  CRect rc;
  GetClientRect(&rc);
  const int w = rc.Width(), h = rc.Height();
  player_.Advance();

  HDC wdc = ::GetDC(m_hWnd);
  {
    std::lock_guard<CriticalSection> hold(lock_);
    if (!memDc_) {
      memDc_ = CreateCompatibleDC(wdc);
      memBitmap_ = CreateCompatibleBitmap(wdc, w, h);
      oldBitmap_ = SelectObject(memDc_, memBitmap_);
      memWidth_ = w;
      memHeight_ = h;
    }
    RECT all{0, 0, memWidth_, memHeight_};
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    FillRect(memDc_, &all, black);
    RECT dst{0, 0, w, h};
    player_.DrawFrame(memDc_, dst);
    if (!text_.empty()) {
      const int band = h / 20;
      HDC bandDc = CreateCompatibleDC(wdc);
      HBITMAP bandBitmap = CreateCompatibleBitmap(wdc, w, band);
      HGDIOBJ oldBand = SelectObject(bandDc, bandBitmap);
      RECT bandRc{0, 0, w, band};
      HBRUSH fill = CreateSolidBrush(bandColor_);
      FillRect(bandDc, &bandRc, fill);
      DeleteObject(fill);
      BLENDFUNCTION blend;
      blend.BlendOp = AC_SRC_OVER;
      blend.SourceConstantAlpha = 128;
      blend.AlphaFormat = 0;
      AlphaBlend(memDc_, rc.left, rc.bottom - band, w, band, bandDc, 0, 0, w, band, blend);
      SelectObject(bandDc, oldBand);
      DeleteObject(bandBitmap);
      DeleteDC(bandDc);

      SetBkMode(memDc_, TRANSPARENT);
      SetTextColor(memDc_, textColor_);
      HGDIOBJ oldFont = SelectObject(memDc_, font_);
      RECT textRc{rc.left, rc.bottom - band, rc.right, rc.bottom};
      DrawTextW(memDc_, text_.c_str(), -1, &textRc, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
      SelectObject(memDc_, oldFont);
    }
  }
  ::ReleaseDC(m_hWnd, wdc);
  ready_ = true;

  RECT left{rc.left, rc.top, rc.right - kCornerSize, rc.bottom};
  RECT right{rc.right - kCornerSize, rc.top + kCornerSize, rc.right, rc.bottom};
  InvalidateRect(&left, TRUE);
  InvalidateRect(&right, TRUE);
  CWnd::OnTimer(id);
}

void CGifCtrl::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  std::lock_guard<CriticalSection> hold(lock_);
  if (memDc_) ::BitBlt(dc.m_hDC, 0, 0, rc.Width(), rc.Height(), memDc_, 0, 0, SRCCOPY);
}

BOOL CGifCtrl::OnEraseBkgnd(CDC*) { return TRUE; }

void CGifCtrl::ReleasePicture() {
  std::lock_guard<CriticalSection> hold(lock_);
  if (memDc_) {
    SelectObject(memDc_, oldBitmap_);
    DeleteObject(memBitmap_);
    DeleteDC(memDc_);
  }
  memDc_ = nullptr;
  memBitmap_ = nullptr;
  oldBitmap_ = nullptr;
  ready_ = false;
}

BOOL CGifCtrl::DestroyWindow() {
  player_.Reset();
  if (m_hWnd) KillTimer(kFrameTimer);
  if (font_) DeleteObject(font_);
  font_ = nullptr;
  ReleasePicture();
  return CWnd::DestroyWindow();
}

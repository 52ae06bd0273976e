// The home page's news list window (see info_list_wnd.h).
#include "home/info_list_wnd.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "controls/control_messages.h"
#include "controls/grid_messages.h"
#include "foundation/draw_helpers.h"

namespace {

constexpr int kStripHeight = 28;

}  // namespace

size_t CutUtf8(const char* text, size_t limit) {
  const size_t length = std::strlen(text);
  if (length <= limit) return length;
  size_t cut = limit;
  // Step back over continuation bytes so the cut lands before a lead byte.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

CInfoListWnd::CInfoListWnd() : grid_(new CGridCtrl) {}

CInfoListWnd::~CInfoListWnd() {
  for (FooButton* b : buttons_) delete b;
  buttons_.clear();
  delete grid_;
  ReleasePicture();
  if (font_ != nullptr) DeleteObject(font_);
}

void CInfoListWnd::SetTitle(const char* title, uint32_t color) {
  if (title == nullptr) title = "";
  const size_t n = CutUtf8(title, sizeof title_ - 1);
  std::memcpy(title_, title, n);
  title_[n] = 0;
  titleColor_ = color;
}

void CInfoListWnd::AddTitleButton(const WCHAR* checkedPicture, const WCHAR* normalPicture, const WCHAR* caption,
                                  UINT id, BOOL checked) {
  auto* button = new FooButton;
  button->Create(caption, WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, id);
  button->SetButtonType(10);
  button->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  button->SetNormalImage(normalPicture, RGB(255, 0, 255));
  button->SetHotImage(checkedPicture, RGB(255, 0, 255));
  button->SetTextColor(RGB(0xEC, 0xF4, 0xFF));
  button->SetHoverTextColor(TRUE, RGB(0xFF, 0xDE, 0x00));
  button->SetCheck(checked ? 1 : 0);
  char group[16];
  std::snprintf(group, sizeof group, "%d", listId_);
  std::u16string name;
  for (const char* p = group; *p != 0; ++p) name.push_back(static_cast<char16_t>(*p));
  button->SetGroup(name.c_str());
  buttons_.push_back(button);
}

void CInfoListWnd::SelectRow(int row) {
  if (grid_->GetSafeHwnd() == nullptr) return;
  grid_->SetCurRow(row);
  grid_->Invalidate(FALSE);
}

int CInfoListWnd::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  LOGFONTW lf{};
  lf.lfHeight = ScaleFontHeight(16);
  lf.lfWeight = 400;
  lf.lfQuality = 5;
  lf.lfPitchAndFamily = 0x20;
  std::u16string face = GetUiFontFace();
  face.copy(lf.lfFaceName, std::min<size_t>(face.size(), 31));
  font_ = CreateFontIndirectW(&lf);
  CRect rc;
  GetClientRect(&rc);
  rc.top += kStripHeight;
  if (!grid_->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, rc, this, 0)) return 0;
  grid_->LoadHeaderImage(u"res\\grid_head_bg.png");
  grid_->LoadTagImage(u"res\\Tag.png");
  grid_->SetRowLines(1);
  grid_->SetSelectedRowStyle(1, RGB(0x24, 0x4B, 0x8F));
  grid_->SetGridLineColor(RGB(0xD8, 0xE0, 0xEB));
  grid_->SetRowColors(RGB(0xEC, 0xF4, 0xFF), RGB(0xEC, 0xF4, 0xFF));
  grid_->SetSelectedRowColor(RGB(0xCA, 0xDC, 0xF3));
  return 0;
}

void CInfoListWnd::ReleasePicture() {
  if (!pictureMade_) return;
  SelectObject(memDc_, bitmapBefore_);
  if (fontBefore_ != nullptr) SelectObject(memDc_, fontBefore_);
  fontBefore_ = nullptr;
  DeleteObject(memBitmap_);
  DeleteDC(memDc_);
  memDc_ = nullptr;
  memBitmap_ = nullptr;
  pictureMade_ = false;
}

void CInfoListWnd::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  {
    std::lock_guard<CriticalSection> guard(lock_);
    ReleasePicture();
    CRect rc;
    GetClientRect(&rc);
    HDC screen = ::GetDC(GetSafeHwnd());
    memDc_ = CreateCompatibleDC(screen);
    memBitmap_ = CreateCompatibleBitmap(screen, std::max(1, rc.Width()), std::max(1, rc.Height()));
    ::ReleaseDC(GetSafeHwnd(), screen);
    bitmapBefore_ = SelectObject(memDc_, memBitmap_);
    fontBefore_ = SelectObject(memDc_, font_);
    SetBkMode(memDc_, TRANSPARENT);
    pictureMade_ = true;

    // Title buttons, right-aligned in the strip.
    int right = rc.right - 10;
    const int bottom = rc.top + kStripHeight;
    const int top = bottom - (buttons_.empty() ? 20 : buttons_.front()->GetImageHeight());
    for (FooButton* b : buttons_) {
      const int left = right - b->GetImageWidth() - 3;
      b->MoveWindow(left, top, right - left, bottom - top, TRUE);
      right = left - gap_;
    }
    if (grid_->GetSafeHwnd() != nullptr) {
      CRect g = rc;
      g.top += kStripHeight;
      g.DeflateRect(1, 1);
      grid_->MoveWindow(&g, TRUE);
    }
  }
  Invalidate(FALSE);
}

void CInfoListWnd::DrawFrame(HDC dc, int width, int height) {
  RECT all{0, 0, width, height};
  DrawRectangle(dc, &all, frameColor_, 0);
  RECT inner{1, 1, width - 1, height - 1};
  FillRectColor(dc, &inner, frameColor_);
  RECT strip{1, 2, width - 1, 30};
  FillRectColor(dc, &strip, stripColor_);
  RECT text{21, 1, width - 1, 29};
  DrawTextUtf8InRect(dc, &text, title_, titleColor_, 0);
}

BOOL CInfoListWnd::OnEraseBkgnd(CDC*) { return TRUE; }

void CInfoListWnd::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  std::lock_guard<CriticalSection> guard(lock_);
  if (!pictureMade_) return;
  DrawFrame(memDc_, rc.Width(), rc.Height());
  BitBlt(dc.GetSafeHdc(), 0, 0, rc.Width(), rc.Height(), memDc_, 0, 0, SRCCOPY);
}

void CInfoListWnd::OnDestroy() {
  CWnd::OnDestroy();
  std::lock_guard<CriticalSection> guard(lock_);
  if (pictureMade_ && fontBefore_ != nullptr) {
    SelectObject(memDc_, fontBefore_);
    fontBefore_ = nullptr;
  }
}

void CInfoListWnd::OnKeyDown(UINT key, UINT repeat, UINT flags) {
  if (CWnd* parent = GetParent()) parent->PostMessage(WM_KEYDOWN, key, repeat);
  CWnd::OnKeyDown(key, repeat, flags);
}

BOOL CInfoListWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  CWnd* top = GetParent();
  if (top != nullptr) top = top->GetParent();
  if (top != nullptr) top = top->GetParent();
  if (top != nullptr) top->SendMessage(WM_LIST_COMMAND_NOTICE, wParam, 0);
  return CWnd::OnCommand(wParam, lParam);
}

LRESULT CInfoListWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_GRID_ACTIVATE || message == WM_GRID_SELECT) {
    if (static_cast<int>(lParam) < 0) return 1;
    if (CWnd* parent = GetParent()) parent->PostMessage(message, static_cast<WPARAM>(listId_), lParam);
    return 0;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

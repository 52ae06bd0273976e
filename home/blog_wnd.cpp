// The microblog timeline window (see blog_wnd.h).
#include "home/blog_wnd.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "controls/control_messages.h"
#include "controls/grid_messages.h"
#include "foundation/config_store.h"
#include "foundation/draw_helpers.h"
#include "foundation/http_request.h"
#include "foundation/user_folders.h"
#include "home/blog_clients.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_utf.h"

namespace {

constexpr uint32_t kNicknameColour = 0x6A2300;  // red 106, green 35, blue 0
constexpr uint32_t kTextColour = 0x000000;
constexpr uint32_t kTimeColour = 0x838383;
constexpr uint32_t kEntriesGround = 0xECF5FF;
constexpr int kTextLeft = 80;
constexpr UINT kScrollSkin = 154;

int CeilLines(int pixels) { return (std::max(pixels, 0) + kBlogLineHeight - 1) / kBlogLineHeight; }

bool FileHasBytes(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  const bool some = fgetc(f) != EOF;
  fclose(f);
  return some;
}

}  // namespace

// ---- CBlogItem ----

CBlogItem::CBlogItem() {
  head_.Load(u"res\\blog_head.png");
}

CBlogItem::~CBlogItem() = default;

void CBlogItem::SetContent(const BlogMeasure& measure, int width, const std::u16string& nickname,
                           const std::u16string& text, const std::u16string& time) {
  nickname_ = nickname;
  if (nickname_.find(u'：') == std::u16string::npos) nickname_ += u"：";
  nicknameWidth_ = measure(nickname_);
  text_ = text;
  time_ = time;
  lines_.clear();
  const int room = width - kTextLeft - 20;
  std::u16string line;
  for (char16_t c : text) {
    if (c == u'\n') {
      lines_.push_back(line);
      line.clear();
      continue;
    }
    line.push_back(c);
    const int w = measure(line) + (lines_.empty() ? nicknameWidth_ : 0);
    if (room < w) {
      lines_.push_back(line);
      line.clear();
    }
  }
  if (!line.empty()) lines_.push_back(line);
  lineCount_ = std::max(4, static_cast<int>(lines_.size()) + 1 + 2);
  for (Picture& p : pictures_) {
    if (p.loaded) p.lines = std::max(2, PictureLines(*p.image, width));
    lineCount_ += p.lines;
  }
}

int CBlogItem::PictureLines(const CImage& image, int width) {
  return CeilLines(std::min(image.GetHeight(), width - 82));
}

int CBlogItem::AddPicture(const std::string* file, const std::u16string& address, int width) {
  if (address.empty()) return 0;
  if (file == nullptr) {
    Picture p;
    p.image = std::make_unique<CImage>();
    p.image->Load(u"res\\blog_pic.png");
    p.address = address;
    p.lines = 2;
    pictures_.push_back(std::move(p));
    lineCount_ += 2;
    return 2;
  }
  for (Picture& p : pictures_) {
    if (p.address != address || p.loaded) continue;
    auto image = std::make_unique<CImage>();
    if (image->Load(*file) != S_OK) return 0;
    const int lines = std::max(p.lines, PictureLines(*image, width));
    const int added = lines - p.lines;
    p.image = std::move(image);
    p.loaded = true;
    p.lines = lines;
    lineCount_ += added;
    return added;
  }
  return 0;
}

void CBlogItem::SetHeadImage(const std::string& file) {
  CImage image;
  if (image.Load(file) != S_OK) return;
  head_.Destroy();
  head_.Load(file);
  headLoaded_ = true;
}

void CBlogItem::Draw(HDC dc, int offset, int width, int position, int page, HFONT textFont) {
  if (firstLine_ + lineCount_ < position || position + page < firstLine_) return;
  const int y0 = offset + (firstLine_ - position) * kBlogLineHeight;
  if (!head_.IsNull())
    head_.Draw(dc, 15, y0 + 15, std::min(head_.GetWidth(), 50), std::min(head_.GetHeight(), 50));
  HGDIOBJ before = SelectObject(dc, textFont);
  RECT band{kTextLeft, y0 + 15, width, y0 + 35};
  DrawTextInRect(dc, &band, nickname_.c_str(), kNicknameColour, 0);
  const int maxRows = std::min(page, lineCount_ - 2);
  int rows = 0;
  int y = y0 + 15;
  bool stopped = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    RECT r{i == 0 ? kTextLeft + nicknameWidth_ : kTextLeft, y, width, y + kBlogLineHeight};
    DrawTextInRect(dc, &r, lines_[i].c_str(), kTextColour, 0);
    ++rows;
    if (rows > maxRows) {
      stopped = true;
      break;
    }
    if (i + 1 < lines_.size()) y += kBlogLineHeight;
  }
  if (lines_.empty()) rows = 1;
  if (!stopped) {
    y += kBlogLineHeight;
    const int cap = std::max(0, width - 82);
    for (const Picture& p : pictures_) {
      const int h = p.loaded ? std::min(p.image->GetHeight(), cap) : std::min(p.lines * kBlogLineHeight, cap);
      const int w = p.image->IsNull() ? 0 : std::min(p.image->GetWidth() * h / std::max(1, p.image->GetHeight()), cap);
      if (!p.image->IsNull() && h > 0) p.image->Draw(dc, kTextLeft, y, w, h);
      y += p.lines * kBlogLineHeight;
    }
    // The time in the next band, the separator 12 pixels below it (inside
    // the entry's three extra lines).
    RECT t{kTextLeft, y, width, y + kBlogLineHeight};
    DrawTextInRect(dc, &t, time_.c_str(), kTimeColour, 0);
    DrawLine(dc, 0, y + kBlogLineHeight + 12, width, y + kBlogLineHeight + 12, kTimeColour, 0);
  }
  SelectObject(dc, before);
}

// ---- CBlogWnd ----

CBlogWnd::CBlogWnd() {
  titleFont_ = CreateUiFont(GetUiFontFace(), 16);
  textFont_ = CreateUiFont(GetUiFontFace(), 14);
  measureDc_ = CreateCompatibleDC(nullptr);
  measureFontBefore_ = SelectObject(measureDc_, textFont_);
  heads_.heads = true;
}

CBlogWnd::~CBlogWnd() {
  StopDownloads();
  for (CBlogItem* item : items_) delete item;
  items_.clear();
  for (FooButton* b : buttons_) delete b;
  if (pictureMade_) {
    SelectObject(memDc_, bitmapBefore_);
    DeleteObject(memBitmap_);
    DeleteDC(memDc_);
  }
  SelectObject(measureDc_, measureFontBefore_);
  DeleteDC(measureDc_);
  if (scrollSkin_ != nullptr) DeleteObject(scrollSkin_);
  DeleteObject(titleFont_);
  DeleteObject(textFont_);
}

std::string CBlogWnd::CacheFile(const std::string& address) {
  uint64_t h = 1469598103934665603ULL;
  for (unsigned char c : address) {
    h ^= c;
    h *= 1099511628211ULL;
  }
  char name[32];
  std::snprintf(name, sizeof name, "%016llx.jpg", static_cast<unsigned long long>(h));
  return DataRoot() + "temp/" + name;
}

int CBlogWnd::Measure(const std::u16string& text) {
  SIZE size{};
  GetTextExtentPoint32W(measureDc_, text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

void CBlogWnd::AddTabButton(const WCHAR* hotPicture, const WCHAR* normalPicture, const WCHAR* text, UINT id,
                            BOOL checked) {
  auto* button = new FooButton;
  button->Create(text, WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, id);
  button->SetButtonType(10);
  button->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_), TRUE);
  button->SetNormalImage(normalPicture, RGB(255, 0, 255));
  button->SetHotImage(hotPicture, RGB(255, 0, 255));
  button->SetCheck(checked ? 1 : 0);
  button->SetGroup(u"100");
  buttons_.push_back(button);
}

int CBlogWnd::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  scrollBar_.Create(WS_CHILD | WS_VISIBLE | SBS_VERT, CRect(0, 0, 17, 100), this, 1);
  scrollSkin_ = LoadBitmapW(nullptr, MAKEINTRESOURCEW(kScrollSkin));
  scrollBar_.SetBitmap(scrollSkin_);
  return 0;
}

void CBlogWnd::PostScrollInfo() {
  if (GetSafeHwnd() != nullptr) ::PostMessageW(GetSafeHwnd(), WM_APPLY_SCROLLINFO, 0, 0);
}

void CBlogWnd::SetBlogData(const void* holder, int source) {
  std::vector<const BlogStatusItem*> statuses;
  if (holder == nullptr) return;
  if (source == 1 || source == 4 || source == 2 || source == 5) {
    const auto* client = static_cast<const WeiboClientBase*>(holder);
    for (int i = 0; i < client->StatusCount(); ++i) statuses.push_back(client->GetStatus(i));
  } else if (source == 3 || source == 6) {
    const auto* list = static_cast<const SohuStatusList*>(holder);
    for (int i = 0; i < list->StatusCount(); ++i) statuses.push_back(list->GetStatus(i));
  } else {
    return;
  }
  SetStatuses(statuses);
}

void CBlogWnd::SetStatuses(const std::vector<const BlogStatusItem*>& statuses) {
  int position;
  {
    std::lock_guard<CriticalSection> guard(lock_);
    position = position_;
  }
  // Outside the lock: clearing abandons the running downloads, whose
  // callbacks take it.
  ClearItems(true);
  {
    std::lock_guard<CriticalSection> guard(lock_);
    position_ = position;
    const BlogMeasure measure = [this](const std::u16string& t) { return Measure(t); };
    for (const BlogStatusItem* s : statuses) {
      auto* item = new CBlogItem;
      item->SetFirstLine(total_);
      item->SetContent(measure, textWidth_, s->nickname, s->text, s->time);
      heads_.addresses.push_back(s->head);
      heads_.items.push_back(item);
      for (const std::u16string& picture : s->pictures) {
        if (item->AddPicture(nullptr, picture, textWidth_) == 0) continue;
        pictures_.addresses.push_back(picture);
        pictures_.items.push_back(item);
      }
      total_ += item->LineCount();
      items_.push_back(item);
    }
  }
  Next(heads_);
  Next(pictures_);
  PostScrollInfo();
}

void CBlogWnd::ClearItems(bool deleteItems) {
  {
    std::lock_guard<CriticalSection> guard(lock_);
    heads_.items.clear();
    pictures_.items.clear();
  }
  StopDownloads();
  if (deleteItems) {
    std::lock_guard<CriticalSection> guard(lock_);
    for (CBlogItem* item : items_) delete item;
    items_.clear();
    position_ = 0;
    total_ = 0;
    if (GetSafeHwnd() != nullptr) ::InvalidateRect(GetSafeHwnd(), nullptr, FALSE);
  }
  PostScrollInfo();
}

void CBlogWnd::StopDownloads() {
  int ids[2];
  {
    std::lock_guard<CriticalSection> guard(lock_);
    heads_.addresses.clear();
    pictures_.addresses.clear();
    ids[0] = heads_.requestId;
    ids[1] = pictures_.requestId;
    heads_.requestId = pictures_.requestId = 0;
  }
  // Outside the lock: the callbacks take it.
  for (int id : ids)
    if (id != 0) AbandonHttpRequest(id);
}

void CBlogWnd::Next(Queue& q) {
  for (;;) {
    std::string file;
    std::string address;
    std::u16string wide;
    {
      std::lock_guard<CriticalSection> guard(lock_);
      if (q.addresses.empty() || q.requestId != 0) return;
      wide = q.addresses.front();
      address = WideToUtf8(wide);
      q.addresses.pop_front();
      file = CacheFile(address);
      if (!FileHasBytes(file) || CImage().Load(file) != S_OK) {
        pendingFile_[q.heads ? 0 : 1] = file;
        pendingAddress_[q.heads ? 0 : 1] = wide;
        // A reply can come before the start returns (a thread that cannot
        // start reports at once): the id is stored first as "running".
        q.requestId = -1;
        const int id = q.heads ? StartHttpRequestEx(address.c_str(), "", "application/octet-stream", "", 0,
                                                    MakeProxyString(), OnHeadReply, this)
                               : StartHttpRequest(address.c_str(), "", 0, MakeProxyString(), OnPictureReply, this);
        if (q.requestId == -1) q.requestId = id;
        return;
      }
    }
    // Cached: arrived without a request.
    Arrived(q, wide, file, true);
  }
}

void CBlogWnd::Arrived(Queue& q, const std::u16string& address, const std::string& file, bool ok) {
  {
    std::lock_guard<CriticalSection> guard(lock_);
    if (q.items.empty()) return;
    CBlogItem* item = q.items.front();
    q.items.pop_front();
    if (!ok) return;
    if (q.heads) {
      item->SetHeadImage(file);
    } else {
      const int added = item->AddPicture(&file, address, textWidth_);
      bool later = false;
      for (CBlogItem* other : items_) {
        if (later) other->SetFirstLine(other->FirstLine() + added);
        if (other == item) later = true;
      }
      total_ += added;
    }
  }
  if (GetSafeHwnd() != nullptr) ::InvalidateRect(GetSafeHwnd(), nullptr, FALSE);
  PostScrollInfo();
}

void CBlogWnd::Reply(Queue& q, const char* body, int length, int status) {
  if (status == kHttpProgress) return;
  std::string file;
  std::u16string address;
  {
    std::lock_guard<CriticalSection> guard(lock_);
    file = pendingFile_[q.heads ? 0 : 1];
    address = pendingAddress_[q.heads ? 0 : 1];
  }
  bool ok = false;
  if (status == kHttpCompleted && body != nullptr && length > 0) {
    // Only a body that loads as a picture is kept.
    const std::string part = file + ".part";
    if (WriteFileUtf8Path(part.c_str(), body, length)) {
      CImage probe;
      ok = probe.Load(part) == S_OK && rename(part.c_str(), file.c_str()) == 0;
      if (!ok) remove(part.c_str());
    }
  }
  Arrived(q, address, file, ok);
  {
    // Running until the arrival is handled, so that an idle queue has
    // nothing left to show.
    std::lock_guard<CriticalSection> guard(lock_);
    q.requestId = 0;
  }
  Next(q);
}

void CBlogWnd::OnHeadReply(HttpRequest*, void* user, const char* body, int length, int status) {
  auto* self = static_cast<CBlogWnd*>(user);
  self->Reply(self->heads_, body, length, status);
}

void CBlogWnd::OnPictureReply(HttpRequest*, void* user, const char* body, int length, int status) {
  auto* self = static_cast<CBlogWnd*>(user);
  self->Reply(self->pictures_, body, length, status);
}

void CBlogWnd::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  {
    std::lock_guard<CriticalSection> guard(lock_);
    if (pictureMade_) {
      SelectObject(memDc_, bitmapBefore_);
      DeleteObject(memBitmap_);
      DeleteDC(memDc_);
    }
    HDC screen = ::GetDC(GetSafeHwnd());
    memDc_ = CreateCompatibleDC(screen);
    memBitmap_ = CreateCompatibleBitmap(screen, std::max(1, cx), std::max(1, cy));
    ::ReleaseDC(GetSafeHwnd(), screen);
    bitmapBefore_ = SelectObject(memDc_, memBitmap_);
    SetBkMode(memDc_, TRANSPARENT);
    pictureMade_ = true;

    int x = cx - 10;
    const int bottom = 29;
    const int top = bottom - (buttons_.empty() ? 20 : buttons_.front()->GetImageHeight());
    for (FooButton* b : buttons_) {
      const int left = x - b->GetImageWidth() - 3;
      b->MoveWindow(left, top, x - left, bottom - top, TRUE);
      x = left - buttonGap_;
    }
    page_ = (cy - kBlogTitleHeight) / kBlogLineHeight;
    textWidth_ = cx - 16;
    total_ = 0;
    const BlogMeasure measure = [this](const std::u16string& t) { return Measure(t); };
    for (CBlogItem* item : items_) {
      item->SetFirstLine(total_);
      // Wrapped again from the entry's own text, so paragraph breaks stay.
      item->SetContent(measure, textWidth_, item->Nickname(), item->Text(), item->Time());
      total_ += item->LineCount();
    }
    if (scrollBar_.GetSafeHwnd() != nullptr) scrollBar_.MoveWindow(cx - 17, 29, 16, std::max(0, cy - 1 - 29), TRUE);
  }
  PostScrollInfo();
  Invalidate(FALSE);
}

BOOL CBlogWnd::OnEraseBkgnd(CDC*) { return TRUE; }

void CBlogWnd::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  std::lock_guard<CriticalSection> guard(lock_);
  if (!pictureMade_) return;
  const int w = rc.Width(), h = rc.Height();
  RECT all{0, 0, w, h};
  DrawRectangle(memDc_, &all, border_, 0);
  RECT inner{1, 1, w - 1, h - 1};
  FillRectColor(memDc_, &inner, kEntriesGround);
  for (CBlogItem* item : items_) item->Draw(memDc_, kBlogTitleHeight, textWidth_, position_, page_, textFont_);
  HGDIOBJ before = SelectObject(memDc_, titleFont_);
  RECT band{0, 1, w, 29};
  FillRectColor(memDc_, &band, titleFill_);
  RECT title{20, 1, w, 1 + kBlogTitleHeight};
  DrawTextUtf8InRect(memDc_, &title, title_.c_str(), titleColor_, 0);
  SelectObject(memDc_, before);
  BitBlt(dc.GetSafeHdc(), 0, 0, w, h, memDc_, 0, 0, SRCCOPY);
}

void CBlogWnd::SetPosition(int position) {
  {
    std::lock_guard<CriticalSection> guard(lock_);
    position_ = std::clamp(position, 0, std::max(0, total_ - page_ + 1));
    if (scrollBar_.GetSafeHwnd() != nullptr) ::SetScrollPos(scrollBar_.GetSafeHwnd(), SB_CTL, position_, TRUE);
  }
  Invalidate(FALSE);
  if (scrollBar_.GetSafeHwnd() != nullptr) scrollBar_.Invalidate(FALSE);
}

void CBlogWnd::OnVScroll(UINT code, UINT, CWnd* bar) {
  if (bar != nullptr && bar->GetSafeHwnd() != scrollBar_.GetSafeHwnd()) return;
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  ::GetScrollInfo(scrollBar_.GetSafeHwnd(), SB_CTL, &si);
  int position = position_;
  switch (code) {
    case SB_LINEUP: position -= 1; break;
    case SB_LINEDOWN: position += 1; break;
    case SB_PAGEUP: position -= page_; break;
    case SB_PAGEDOWN: position += page_; break;
    case SB_THUMBPOSITION: position = si.nPos; break;
    case SB_THUMBTRACK: position = si.nTrackPos; break;
    case SB_TOP: position = si.nMin; break;
    case SB_BOTTOM: position = si.nMax; break;
    default: return;
  }
  SetPosition(position);
}

BOOL CBlogWnd::OnMouseWheel(UINT, short delta, CPoint) {
  SetPosition(position_ - delta / WHEEL_DELTA);
  return TRUE;
}

void CBlogWnd::OnLButtonDown(UINT flags, CPoint point) {
  if (CWnd* parent = GetParent()) parent->PostMessage(WM_GRID_SELECT, static_cast<WPARAM>(controlId_), 0);
  CWnd::OnLButtonDown(flags, point);
}

void CBlogWnd::OnKeyDown(UINT key, UINT repeat, UINT flags) {
  if (CWnd* parent = GetParent()) parent->PostMessage(WM_KEYDOWN, key, repeat);
  CWnd::OnKeyDown(key, repeat, flags);
}

BOOL CBlogWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  CWnd* top = GetParent();
  if (top != nullptr) top = top->GetParent();
  if (top != nullptr) top = top->GetParent();
  if (top != nullptr) top->SendMessage(WM_LIST_COMMAND_NOTICE, LOWORD(wParam), 0);
  return CWnd::OnCommand(wParam, lParam);
}

LRESULT CBlogWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APPLY_SCROLLINFO) {
    bool show = false;
    {
      std::lock_guard<CriticalSection> guard(lock_);
      position_ = std::clamp(position_, 0, std::max(0, total_ - page_ + 1));
      if (total_ > 0 && scrollBar_.GetSafeHwnd() != nullptr) {
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        si.nMin = 0;
        si.nMax = total_;
        si.nPage = static_cast<UINT>(std::max(page_, 0));
        si.nPos = position_;
        ::SetScrollInfo(scrollBar_.GetSafeHwnd(), SB_CTL, &si, TRUE);
        show = true;
      }
    }
    if (scrollBar_.GetSafeHwnd() != nullptr) scrollBar_.ShowWindow(show ? SW_SHOW : SW_HIDE);
    Invalidate(FALSE);
    return 0;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

int CBlogWnd::ItemCount() const {
  std::lock_guard<CriticalSection> guard(lock_);
  return static_cast<int>(items_.size());
}

int CBlogWnd::ItemLineCount(int i) const {
  std::lock_guard<CriticalSection> guard(lock_);
  return items_.at(static_cast<size_t>(i))->LineCount();
}

int CBlogWnd::ItemFirstLine(int i) const {
  std::lock_guard<CriticalSection> guard(lock_);
  return items_.at(static_cast<size_t>(i))->FirstLine();
}

bool CBlogWnd::ItemPictureLoaded(int i, int picture) const {
  std::lock_guard<CriticalSection> guard(lock_);
  return items_.at(static_cast<size_t>(i))->PictureLoaded(picture);
}

bool CBlogWnd::ItemHeadLoaded(int i) const {
  std::lock_guard<CriticalSection> guard(lock_);
  return items_.at(static_cast<size_t>(i))->HeadLoaded();
}

bool CBlogWnd::DownloadsIdle() const {
  std::lock_guard<CriticalSection> guard(lock_);
  return heads_.addresses.empty() && pictures_.addresses.empty() && heads_.requestId == 0 &&
         pictures_.requestId == 0;
}

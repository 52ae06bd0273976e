// CBlogWnd: a microblog timeline as a scrolling list of CBlogItem entries
// (head picture, nickname, text lines, pictures, time) under a 28-pixel
// title bar that carries the owner's tab buttons. Head pictures and
// pictures are downloaded one at a time per queue into the per-user
// temporary folder, which stays as a cache.
//
// Layout is counted in lines of 20 pixels: page = (client height - 28) / 20,
// text width = client width - 16.
//
// Constructor values: title "微博" in 0xECF4FF, title fill 0x2E4C86, border
// 0x586578, title font 16 and text font 14 of the UI face, 4 pixels between
// tab buttons, control id 0 (the owner sets 7).
//
// Cache file of an address: "<data root>temp/<16 hex digits of a 64-bit
// FNV-1a hash of the address>.jpg" (the temporary folder the start-up makes).
// Only bodies that load as a picture are written; a cached file that does not
// load is fetched again.
//
// Threads: download callbacks run on the HTTP threads and take the window's
// lock; they start the next download and post WM_APPLY_SCROLLINFO instead of
// touching the scroll bar. SetBlogData and ClearItems may run on any thread;
// painting, layout and input run on the UI thread under the same lock.
// Requests are abandoned outside the lock.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/foo_button.h"
#include "controls/skin_scroll_bar.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/mfc/afx.h"

class WeiboClientBase;
class SohuStatusList;
struct BlogStatusItem;
struct HttpRequest;

constexpr int kBlogLineHeight = 20;
constexpr int kBlogTitleHeight = 28;

// Width in pixels of a text in the text font.
using BlogMeasure = std::function<int(const std::u16string&)>;

class CBlogItem {
 public:
  CBlogItem();
  virtual ~CBlogItem();
  CBlogItem(const CBlogItem&) = delete;
  CBlogItem& operator=(const CBlogItem&) = delete;

  // Wraps the text for the text width (room = width - 80 - 20; the first
  // line also holds the nickname, which gets "：" when it has none); a line
  // break closes a line, also an empty one. Line count = text lines + 3, at
  // least 4; loaded pictures and placeholders are counted again on top.
  void SetContent(const BlogMeasure& measure, int width, const std::u16string& nickname,
                  const std::u16string& text, const std::u16string& time);
  // No file: a placeholder ("res\blog_pic.png") of 2 lines is appended with
  // the address. A file: the picture of that address is loaded from it and
  // the entry grows to ceil(min(height, width - 82) / 20) lines for it.
  // Returns the lines added.
  int AddPicture(const std::string* file, const std::u16string& address, int width);
  void SetHeadImage(const std::string& file);
  void Draw(HDC dc, int offset, int width, int position, int page, HFONT textFont);

  const std::vector<std::u16string>& Lines() const { return lines_; }
  const std::u16string& Nickname() const { return nickname_; }
  const std::u16string& Text() const { return text_; }
  const std::u16string& Time() const { return time_; }
  int LineCount() const { return lineCount_; }
  int FirstLine() const { return firstLine_; }
  void SetFirstLine(int line) { firstLine_ = line; }
  int PictureCount() const { return static_cast<int>(pictures_.size()); }
  bool PictureLoaded(int i) const { return pictures_[static_cast<size_t>(i)].loaded; }
  bool HeadLoaded() const { return headLoaded_; }

 private:
  struct Picture {
    std::unique_ptr<CImage> image;
    std::u16string address;
    bool loaded = false;
    int lines = 2;
  };
  static int PictureLines(const CImage& image, int width);

  CImage head_;
  bool headLoaded_ = false;
  std::u16string nickname_;
  int nicknameWidth_ = 0;
  std::u16string text_;  // kept for the next wrap
  std::vector<std::u16string> lines_;
  std::u16string time_;
  std::vector<Picture> pictures_;
  int firstLine_ = 0;
  int lineCount_ = 0;
};

class CBlogWnd : public CWnd {
 public:
  CBlogWnd();
  ~CBlogWnd() override;

  void SetControlId(int id) { controlId_ = id; }
  void AddTabButton(const WCHAR* hotPicture, const WCHAR* normalPicture, const WCHAR* text, UINT id, BOOL checked);
  // Shows the statuses of a holder: sources 1 and 4 a SinaWeiboClient, 2 and 5
  // a QqWeiboClient, 3 and 6 a SohuStatusList; others nothing.
  void SetBlogData(const void* holder, int source);
  void SetStatuses(const std::vector<const BlogStatusItem*>& statuses);
  void ClearItems(bool deleteItems);
  void StopDownloads();

  const std::vector<FooButton*>& TabButtons() const { return buttons_; }
  CVexloScrollBar* ScrollBar() { return &scrollBar_; }
  int Position() const { return position_; }
  int Page() const { return page_; }
  int Total() const { return total_; }
  int TextWidth() const { return textWidth_; }
  // Tests: a copy of what the entries hold.
  int ItemCount() const;
  int ItemLineCount(int i) const;
  int ItemFirstLine(int i) const;
  bool ItemPictureLoaded(int i, int picture) const;
  bool ItemHeadLoaded(int i) const;
  bool DownloadsIdle() const;

  // The cache file of an address.
  static std::string CacheFile(const std::string& address);

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnVScroll(UINT code, UINT position, CWnd* bar) override;
  BOOL OnMouseWheel(UINT flags, short delta, CPoint point) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  struct Queue {
    std::deque<std::u16string> addresses;
    std::deque<CBlogItem*> items;
    int requestId = 0;
    bool heads = false;
  };
  static void OnHeadReply(HttpRequest* request, void* user, const char* body, int length, int status);
  static void OnPictureReply(HttpRequest* request, void* user, const char* body, int length, int status);
  void Arrived(Queue& q, const std::u16string& address, const std::string& file, bool ok);
  void Next(Queue& q);
  void Reply(Queue& q, const char* body, int length, int status);
  int Measure(const std::u16string& text);
  void SetPosition(int position);
  void PostScrollInfo();

  HFONT titleFont_ = nullptr;
  HFONT textFont_ = nullptr;
  HDC measureDc_ = nullptr;
  HGDIOBJ measureFontBefore_ = nullptr;
  uint32_t titleFill_ = 0x2E4C86;
  uint32_t border_ = 0x586578;
  std::string title_ = "微博";
  uint32_t titleColor_ = 0xECF4FF;
  bool pictureMade_ = false;
  HDC memDc_ = nullptr;
  HBITMAP memBitmap_ = nullptr;
  HGDIOBJ bitmapBefore_ = nullptr;
  CVexloScrollBar scrollBar_;
  HBITMAP scrollSkin_ = nullptr;
  mutable CriticalSection lock_;
  std::vector<CBlogItem*> items_;  // owned
  std::vector<FooButton*> buttons_;  // owned
  int buttonGap_ = 4;
  Queue heads_;
  Queue pictures_;
  std::string pendingFile_[2];  // the cache file of the running download (heads, pictures)
  std::u16string pendingAddress_[2];
  int position_ = 0;
  int page_ = 0;
  int total_ = 0;
  int textWidth_ = 0;
  int controlId_ = 0;
};

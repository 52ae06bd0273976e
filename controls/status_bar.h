// The bar along the bottom of the main window and its scrolling banner.
//
// FooStatus shows, from left to right, the brokerage's label, the Shanghai
// and Shenzhen index blocks (a caption and four values each), the banner
// child (FooBanner, control id 10012) and a status text. It paints itself
// from a background picture with separator pictures between its parts and
// reports presses to its parent window (sent, on the UI thread):
//
//   WM_STATUS_LABEL_CLICK (1225)  left press in part 0            (0, 0)
//   WM_STATUS_DBLCLK      (1226)  double click in part 1, 2, 3, 4 (0, 1, 2, 3;
//                                 lParam: for part 3 the banner's current
//                                 text index, else 0)
//
// Threads: the index texts, colours and status text are written by network
// threads and the banner's texts by an HTTP worker while the UI thread
// paints. Every setter copies under the owning lock (the bar's lock for its
// texts, the banner's lock for the banner's list), releases it and only then
// invalidates, so setters are safe from any thread and never wait for the
// UI thread. Lock order: the bar's lock before the banner's (only the size
// handler holds both).
//
// Colours are the platform's colour words (red in the low byte). Every text
// of the bar holds at most 63 characters; longer input is cut, a null text
// is empty.
#pragma once

#include "platform/mfc/afx_controls.h"
#include "platform/kernel/kernel_sync.h"

#include <string>
#include <vector>

// The scrolling news texts: each text is uncovered from the left at 5 pixels
// per 100 ms tick until the banner is full, then scrolls out to the left at
// 5 pixels per tick, and the next text follows (after the last, the first).
// Created and placed by FooStatus; the renders happen on the timer tick
// into the banner's memory picture, painting only copies it.
class FooBanner : public CStatic {
 public:
  FooBanner() = default;
  ~FooBanner() override;

  // The banner draws the bar's background picture (not owned; it must
  // outlive the banner window).
  void SetBackground(const CImage* background) { background_ = background; }
  // Empties the list; the next tick starts again at the first text added.
  void ClearTexts();
  // Appends one text (null: an empty text).
  void AddText(const WCHAR* text);
  // The index of the text on show (0 with an empty list).
  int GetCurrentIndex();
  // A copy of the texts in order.
  std::vector<WString> GetTexts();

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnTimer(UINT_PTR id) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnDestroy() override;

 private:
  void CreateMemoryPicture(int width, int height);  // under lock_
  void ReleaseMemoryPicture();                       // under lock_
  void RenderTick();                                 // under lock_

  CriticalSection lock_;                  // guards everything below
  int revealWidth_ = 0;                   // pixels of the current text uncovered so far
  int scrollOffset_ = 0;                  // left edge of the text once it scrolls (<= 0)
  HFONT font_ = nullptr;                  // UI face, ScaleFontHeight(14), weight 400
  HGDIOBJ oldFont_ = nullptr;             // the font memDc_ held before
  HDC memDc_ = nullptr;                   // memory picture of the client size
  HBITMAP memBitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  int currentIndex_ = 0;                  // text on show; may pass the list's end after a change
  std::vector<WString> texts_;            // the news texts in order
  const CImage* background_ = nullptr;    // the bar's background picture (shared)
};

class FooStatus : public CWnd {
 public:
  static constexpr UINT kBannerId = 10012;

  FooStatus();
  ~FooStatus() override;

  // Loads both pictures (relative paths are taken from the working folder);
  // a picture that fails shows the message box "背景图片加载失败" or
  // "分隔条图片加载失败" captioned with the application's name and stays
  // empty, and creation goes on. Creates the bar as a visible child of the
  // parent that clips its siblings. TRUE when the window was created.
  BOOL Create(const RECT& rect, CWnd* parent, UINT id, const WCHAR* backgroundPath, const WCHAR* separatorPath);

  // Replaces the layout: the values below the last two are cumulative right
  // edges, the last is the width of the last part, the second-to-last is
  // unused. Fewer than 3 values or a null array: 0 and nothing changes;
  // otherwise 1. Does not repaint.
  int SetParts(int count, const int* values);
  // The rectangle of part index in client coordinates. 0 (rect untouched)
  // for a negative index, an index >= count, a null rect or no layout;
  // otherwise 1. A window not wider than the fixed parts leaves the last two
  // parts empty (left and right 0).
  int GetPartRect(int index, RECT* rect) const;

  // Entries 1 to 4 of an index block (value, change, rate, turnover); repaint.
  void SetShanghaiTexts(const WCHAR* value, const WCHAR* change, const WCHAR* rate, const WCHAR* turnover);
  void SetShenzhenTexts(const WCHAR* value, const WCHAR* change, const WCHAR* rate, const WCHAR* turnover);
  // Colours of values 1 to 3 of a block; repaint.
  void SetShanghaiColors(COLORREF value, COLORREF change, COLORREF rate);
  void SetShenzhenColors(COLORREF value, COLORREF change, COLORREF rate);
  // The status text and its colour. Does not repaint: the caller does.
  void SetStatusText(const WCHAR* text, COLORREF color);
  // Read-only views of what the bar shows (under the bar's lock): the status
  // text and colour, and entry 1 to 4 / colour 1 to 3 of an index block
  // (empty text or 0 outside the range).
  std::u16string GetStatusText() const;
  COLORREF GetStatusColor() const;
  std::u16string GetShanghaiText(int entry) const;
  std::u16string GetShenzhenText(int entry) const;
  COLORREF GetShanghaiColor(int value) const;
  COLORREF GetShenzhenColor(int value) const;
  // The banner's list (under the banner's lock).
  void ClearMarquee();
  void AddMarqueeText(const WCHAR* text);
  // The banner of rolling texts.
  FooBanner& Banner() { return banner_; }

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnDestroy() override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnLButtonDblClk(UINT flags, CPoint point) override;
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) override;

 private:
  static constexpr int kTextUnits = 64;  // 63 characters and a terminator
  using Text = WCHAR[kTextUnits];
  struct IndexBlock {
    Text texts[5];          // 0: caption, 1-4: values
    COLORREF colors[3]{};   // colours of values 1 to 3
  };

  void SetBlockTexts(IndexBlock& block, const WCHAR* const values[4]);
  void SetBlockColors(IndexBlock& block, COLORREF value, COLORREF change, COLORREF rate);
  int PartAt(CPoint point) const;  // -1 outside every part
  void DrawBlock(HDC dc, const RECT& part, const IndexBlock& block);
  void ReleaseMemoryPicture();     // under lock_

  Text label_;                          // part 0
  IndexBlock shanghai_;                 // part 1
  IndexBlock shenzhen_;                 // part 2
  FooBanner banner_;                    // part 3
  Text status_;                         // part 4
  HFONT normalFont_ = nullptr;          // UI face, ScaleFontHeight(14), weight 400
  HFONT boldFont_ = nullptr;            // the same, weight 600
  COLORREF labelColor_ = RGB(255, 0, 0);
  COLORREF statusColor_ = 0;
  std::vector<int> parts_;              // the layout values (empty: none)
  CImage background_;                   // stretched over the whole bar, shared with the banner
  CImage separator_;                    // stretched over the 2-px strips between parts
  HDC memDc_ = nullptr;                 // memory picture of the client size (null: not ready)
  HBITMAP memBitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  mutable CriticalSection lock_;        // guards painting, resizing, the texts, colours and layout
};

// CMiniMinKLineWnd: the boards' small chart window. A one-pixel frame in
// the border colour, a title strip of picture buttons (grey, or a stretched
// title picture) and below it either a minute chart or a K-line chart of one
// stock: whichever data the owner handed last. No cursor, no pop-ups; every
// paint recalculates and renders the current chart.
//
// Notices to the parent (window index = SetWindowIndex, -1 by default):
//   WM_MINICHART_BUTTON (sent)  (title button's command id, window index),
//                               only when buttons are active (a button was
//                               added whose two pictures differ)
//   WM_MINICHART_DBLCLK (sent)  (window index, 1 minute / 2 K-line) for a
//                               double click in the chart area
//   WM_KEYDOWN (posted)         (key, repeat count)
// Other commands go to the parent's parent's parent as
// WM_LIST_COMMAND_NOTICE (command's wParam, 0), when that window exists.
//
// Threads: SetMinuteData, SetKLineData and ClearChart may run on a network
// thread. They copy the engine's areas under the window's lock (the charts
// are bound to the copies), invalidate and return; they never wait for the
// UI thread. The workspace given to SetKLineData stays the owner's and must
// not be recalculated by another chart.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "charts/kline_chart.h"
#include "charts/minute_chart.h"
#include "controls/foo_button.h"
#include "marketdata/day_bar.h"
#include "marketdata/minute_decoders.h"
#include "marketdata/quote_engine.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/mfc/afx.h"

struct IndicatorWorkspace;

class CMiniMinKLineWnd : public CWnd {
 public:
  CMiniMinKLineWnd();
  ~CMiniMinKLineWnd() override;

  void SetTitleHeight(int height) { titleHeight_ = std::max(height, 0); }
  void SetWindowIndex(int index) { windowIndex_ = index; }
  void SetBorderColor(uint32_t rgb) { borderColor_ = rgb; }
  // A missing or broken file leaves the strip grey.
  void LoadTitleImage(const char16_t* path);
  // A picture radio button in the title strip (after the window exists).
  void AddButton(const char16_t* checkedPicture, const char16_t* normalPicture, const char16_t* text, UINT id,
                 int checked, uint32_t textColor);
  void CheckButton(int index);

  // Data (any thread); each switches the shown chart.
  void SetMinuteData(const MinuteArea* area, const TradingHoursTable* hours);
  void SetKLineData(const KLineArea* bars, IndicatorWorkspace* workspace);
  // Resets the chart of the current mode only.
  void ClearChart();

  bool IsMinuteMode() const { return minuteMode_; }
  int GetWindowIndex() const { return windowIndex_; }
  int GetTitleHeight() const { return titleHeight_; }
  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  FooButton* Button(int i) { return i >= 0 && i < ButtonCount() ? buttons_[static_cast<size_t>(i)].get() : nullptr; }
  bool ButtonsActive() const { return buttonsActive_; }
  CriticalSection& DataLock() { return lock_; }
  MinuteChart* GetMinuteChart() { return minuteChart_; }
  KLineChart* GetKLineChart() { return klineChart_; }

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnDestroy() override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  void OnLButtonDblClk(UINT flags, CPoint point) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

 private:
  struct Picture {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ oldBitmap = nullptr;
    HGDIOBJ oldFont = nullptr;
  };
  void ReleasePicture(Picture& p);
  void DrawFrame(int width, int height);
  void LayoutButtons();

  int windowIndex_ = -1;
  HFONT font_ = nullptr;
  int titleHeight_ = 18;
  MinuteChart* minuteChart_ = nullptr;
  KLineChart* klineChart_ = nullptr;
  Picture frame_, chartPicture_;
  CriticalSection lock_;
  CImage titleImage_;
  std::vector<std::unique_ptr<FooButton>> buttons_;
  std::vector<int> buttonWidths_;  // normal picture's width + 3
  bool buttonsActive_ = false;
  bool minuteMode_ = true;
  uint32_t borderColor_ = 0xD4BFB6;
  // The window's own copies of the engine's areas (the charts point here).
  std::unique_ptr<MinuteArea> minuteArea_;
  TradingHoursTable hours_{};
  std::unique_ptr<KLineArea> klineArea_;
};

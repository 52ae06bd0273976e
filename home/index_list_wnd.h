// CIndexListWnd: the index panel of the home page. Under a 28-pixel title
// strip with a "查看列表>>" button it shows the rows 上证指数, 深证指数 and
// 沪深300 (price, change, change percentage) and one minute chart that opens
// under the row the user clicked, like an accordion.
//
// Constructor values: open row 0, title "指数", strip 0x2E4C86, frame
// 0x586578, row font of the UI face 14, chart font 12, the chart in its
// light price layout on the panel's ground 0xECF4FF; no row picture, so rows are 24 pixels high.
//
// Threads: the three set operations run on the market-data connection's
// thread; each copies the used part of the engine's area under the window's
// lock (the engine rewrites its area with the next reply), and painting,
// layout and clicks run under the same lock on the UI thread. The chart
// draws from the copies.
#pragma once

#include <memory>
#include <string>

#include "controls/foo_button.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/mfc/afx.h"

struct MinuteArea;
struct MinuteChart;
struct TradingHoursTable;

// The four rectangles of the rows and the chart for the open row (0..2).
struct IndexStripLayout {
  RECT rows[3];
  RECT chart;
};
// c = (height - 2) - 3 * (rowHeight + 1) - 28, at least 0; every rectangle
// spans x 1 .. width - 2. False for an open row outside 0..2.
bool LayoutIndexStrip(int width, int height, int rowHeight, int openRow, IndexStripLayout* out);

// The three texts of a row and their colour (0xRRGGBB): price, change,
// change percentage. A null area or one without points gives "-" three
// times in 0x333333.
struct IndexRowTexts {
  std::u16string price, change, percent;
  uint32_t color = 0x333333;
};
IndexRowTexts FormatIndexRow(const MinuteArea* area);

class CIndexListWnd : public CWnd {
 public:
  CIndexListWnd();
  ~CIndexListWnd() override;

  // Rows 0, 1, 2; any thread. The area's used part is copied; hours is the
  // engine's table (it outlives the window).
  void SetShanghaiMinuteData(const MinuteArea* area, const TradingHoursTable* hours) { SetRow(0, area, hours); }
  void SetShenzhenMinuteData(const MinuteArea* area, const TradingHoursTable* hours) { SetRow(1, area, hours); }
  void SetHs300MinuteData(const MinuteArea* area, const TradingHoursTable* hours) { SetRow(2, area, hours); }

  void LayoutRows(int openRow);
  int OpenRow() const { return openRow_; }
  int RowHeight() const { return rowHeight_; }
  RECT RowRect(int i) const { return layout_.rows[i]; }
  RECT ChartRectOf() const { return layout_.chart; }
  FooButton* ListButton() { return &button_; }
  virtual void Draw(HDC dc);

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

 private:
  void SetRow(int row, const MinuteArea* area, const TradingHoursTable* hours);
  void DrawFrame(HDC dc, int width, int height);
  void DrawIndexRows(HDC dc);
  int RowAt(CPoint point) const;
  void ReleasePicture();

  std::unique_ptr<MinuteArea> areas_[3];  // copies; null until the first reply
  const TradingHoursTable* hours_ = nullptr;
  MinuteChart* chart_ = nullptr;  // owned
  HFONT rowFont_ = nullptr;
  HFONT chartFont_ = nullptr;
  bool pictureMade_ = false;
  HDC memDc_ = nullptr;
  HBITMAP memBitmap_ = nullptr;
  HGDIOBJ bitmapBefore_ = nullptr;
  CriticalSection lock_;
  int rowHeight_ = 24;
  std::string title_ = "指数";
  uint32_t stripColor_ = 0x2E4C86;
  uint32_t frameColor_ = 0x586578;
  IndexStripLayout layout_{};
  int openRow_ = 0;
  FooButton button_;
};

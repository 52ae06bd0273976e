// CPieView: the stock page's 龙虎看盘 panel. Money flowing in and out of the
// stock in four order-size classes, as totals, a net figure, a table with
// colour keys and a pie whose left half holds the inflows and right half
// the outflows. The "?" box of the title opens the help of 龙虎看盘.
//
// The stock page creates it hidden and never shows or feeds it; it draws a
// record correctly when one is handed to it. SetFundFlow and SetOrderFlow
// copy the record under the panel's lock (see panel_window.h for the
// threads); the order-flow record and the data right are kept, not drawn.
// The help dialog runs modally on the UI thread, outside the lock.
#pragma once

#include "marketdata/fund_flow.h"
#include "stockpage/panel_window.h"

#include <cstdint>

class CPieView : public CPanelWnd {
 public:
  // Colour keys (0xRRGGBB) by class 特大, 大单, 中单, 小单.
  static constexpr uint32_t kInflowColors[4] = {0xD60303, 0xFA5151, 0xF67E7F, 0xFEADAE};
  static constexpr uint32_t kOutflowColors[4] = {0x11355C, 0x0C5A8C, 0x0986DC, 0x70BCF1};

  CPieView();
  ~CPieView() override;

  // Copies the record (null: none) and invalidates. Any thread.
  void SetFundFlow(const FundFlowRecord* record);
  // Copies the second record (not drawn) and invalidates.
  void SetOrderFlow(const FundFlowRecord* record);
  // Drops both records and invalidates.
  void Clear();
  // Stores the right to premium data; nothing drawn depends on it.
  void SetDataRight(int right);

  // The row height for a client height: 26, or height / 11 when 11 rows of
  // 26 pixels are less than the height.
  static int RowHeight(int height);

 protected:
  // The static frame: lines, title, labels, legend keys.
  virtual void Draw(HDC dc);
  void DrawValues(HDC dc);
  void DrawPie(HDC dc);
  void Render(HDC dc) override;
  void SizeChanged(int width, int height) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  // Runs the help dialog of name modally (UI thread, no lock held).
  virtual void ShowHelp(const WCHAR* name);

 private:
  // Guarded by lock_.
  FundFlowRecord flow_{};
  bool hasFlow_ = false;
  FundFlowRecord orderFlow_{};
  bool hasOrderFlow_ = false;
  int dataRight_ = 0;
  RECT helpBox_{};

  HFONT labelFont_ = nullptr;
  HFONT titleFont_ = nullptr;
};

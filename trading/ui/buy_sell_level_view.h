// The five-level panel beside the order form: the five best asks and bids
// with their volumes, the current price, the previous close and the two
// daily limits of the form's stock, from the order-information table the
// form hands it. A click on a price writes that price into the form.
// User-interface thread only.
#pragma once

#include <functional>

#include "controls/foo_button.h"
#include "platform/mfc/afx.h"
#include "platform/mfc/afx_controls.h"
#include "trading/trade_tables.h"

class CBuySellLevelView : public CWnd {
 public:
  static constexpr UINT kFirstId = 5050;
  static constexpr UINT kLastId = 5087;
  static constexpr UINT kCurrentValue = 5084;
  static constexpr UINT kLimitUpValue = 5085;
  static constexpr UINT kPrevCloseValue = 5086;
  static constexpr UINT kLimitDownValue = 5087;
  // The colours of the cells (COLORREF).
  static constexpr COLORREF kUp = RGB(255, 0, 0);
  static constexpr COLORREF kDown = RGB(0, 133, 13);
  static constexpr COLORREF kEqual = RGB(0, 0, 0);
  static constexpr COLORREF kAskVolume = RGB(0, 9, 176);
  static constexpr COLORREF kBidVolume = RGB(255, 0, 0);

  CBuySellLevelView();
  ~CBuySellLevelView() override;
  CBuySellLevelView(const CBuySellLevelView&) = delete;
  CBuySellLevelView& operator=(const CBuySellLevelView&) = delete;

  // Where a clicked price goes (the form's SetPrice).
  void SetPriceSink(std::function<void(const WString&)> sink) { sink_ = std::move(sink); }

  // Every label, caption and cell from the table; the cells recoloured.
  void ShowLevels(const OrderInfo& info);
  // Empties every cell, label and caption, only when the current price or
  // the limit-up value holds text; updates at once.
  void Clear();
  // A cell's text (tests and the form).
  WString CellText(UINT id);
  // The colour a price cell is drawn in (its FooButton text colour).
  COLORREF CellColor(UINT id);

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  BOOL OnCmdMsg(UINT id, int code) override;
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) override;

 private:
  static bool IsPriceCell(UINT id);
  CWnd* Cell(UINT id);
  void Recolor();

  HFONT font_ = nullptr;
  CImage background_;
  FooButton prices_[14];   // 5055-5059, 5070-5074, 5084-5087
  COLORREF colors_[14] = {};  // the text colour each was given
  CStatic statics_[24];    // labels, volumes and the four captions
  std::function<void(const WString&)> sink_;
};

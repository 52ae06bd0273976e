// CHandicapView: the quote summary at the right edge of the stock page, two
// columns of label and value pairs over the stock's quote record.
//
// Layouts: a record of a futures market (IsFuturesMarket) draws the futures
// rows under a 26-pixel title row (code and name); any other record, and no
// record, draws the stock rows, under the title row only in index mode.
// Rows are 20 pixels high; lines at the top of rows 1 and 8. The futures
// layout needs 186 pixels, the stock layout 160 (186 with the title); rows
// below the window are clipped.
//
// Feeding: SetQuote copies the record under the panel's lock (the engine
// rewrites its own on the network thread), so every pushed update reaches
// the panel whole. See panel_window.h for the threads.
#pragma once

#include "foundation/number_formats.h"
#include "marketdata/quote_record.h"
#include "stockpage/panel_window.h"

#include <cstdint>

// One label and value pair; value empty when nothing is shown.
struct HandicapCell {
  const char16_t* label = u"";
  char16_t value[kNumberTextSize] = {};
  uint32_t color = 0xFFFFFF;  // 0xRRGGBB of the value
};

// The eight rows of the panel, left and right cell each.
struct HandicapRows {
  bool futures = false;
  HandicapCell cells[8][2];
};

// The rows of record q (null: the stock labels without values).
void BuildHandicapRows(const QuoteRecord* q, HandicapRows* rows);

class CHandicapView : public CPanelWnd {
 public:
  static constexpr int kTitleHeight = 26;
  static constexpr int kRowHeight = 20;

  CHandicapView();
  ~CHandicapView() override;

  // Copies the record (null clears) and invalidates. Any thread.
  void SetQuote(const QuoteRecord* quote);
  // Drops the record and invalidates.
  void ClearQuote();
  // 1 while an index is shown (the stock layout gets its title row), else 0.
  void SetIndexMode(int flag);

  // The rows as the next paint draws them.
  HandicapRows CurrentRows() const;

 protected:
  // Paints the labels, then the values, into the memory DC.
  virtual void Draw(HDC dc);
  void Render(HDC dc) override { Draw(dc); }

 private:
  void DrawLabels(HDC dc, const HandicapRows& rows);
  void DrawValues(HDC dc, const HandicapRows& rows);
  int RowsTop(const HandicapRows& rows) const;

  // Guarded by lock_.
  QuoteRecord quote_{};
  bool hasQuote_ = false;
  int indexMode_ = 0;
  HFONT valueFont_ = nullptr;  // labels and values
  HFONT titleFont_ = nullptr;  // the title row
};

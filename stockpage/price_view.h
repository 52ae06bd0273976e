// The bid/ask board of the stock page (CPriceView) and, for an index, the
// index board drawn by the same window.
//
// Modes (the level mode): 0 ten-level labels without figures, from
// construction and after Clear until the next SetQuote; 1 five levels with
// prices and volumes, for every record that is not an index; 2 the index
// board (market breadth and the index table's rows of the index's market).
//
// Threads and copies: the setters run on the market-data connection's
// thread while the page holds its own lock (lock order: the page's lock,
// then the board's; the board never takes the page's). SetQuote and
// SetIndexTable copy the record and the table's rows under the board's lock
// and only invalidate; painting reads only the copies, so a paint that
// overlaps the decoding of a reply never mixes old and new figures. The
// copies end their texts within their fields (names are read bounded).
//
// Painting: WM_PAINT draws the whole board into a memory picture of the
// client size under the lock (the paint DC only measures text, in whatever
// font it holds: the board selects none into it), then copies the picture
// to the screen after the lock. WM_SIZE rebuilds the picture; background
// erasing does nothing.
#pragma once

#include "marketdata/quote_areas.h"
#include "marketdata/quote_record.h"
#include "platform/mfc/afx.h"
#include "stockpage/memory_picture.h"

#include <cstdint>
#include <mutex>
#include <vector>

struct KLineArea;

class CPriceView : public CWnd {
 public:
  static constexpr int kTitleHeight = 26;  // the title band above the rows
  static constexpr int kRowHeight = 20;

  CPriceView();
  ~CPriceView() override;
  CPriceView(const CPriceView&) = delete;
  CPriceView& operator=(const CPriceView&) = delete;

  // Copies the record (null is ignored); level mode 2 for an index (kind
  // byte 1), else 1. Invalidates. Any thread.
  void SetQuote(const QuoteRecord* quote);
  // Copies the table's rows, at most 64 and no more than it holds (null: no
  // table). Invalidates. Any thread.
  void SetIndexTable(const FieldTableArea* table);
  // Keeps the pointer for the page; nothing here reads it. Invalidates.
  void SetKLineArea(const KLineArea* area);
  // Drops the quote, the table and the K-line pointer; level mode 0. The
  // title flag and the data right stay. Invalidates.
  void Clear();
  // Non-zero shows the 26-pixel title band, 0 hides it. Invalidates.
  void SetLayoutMode(int mode);
  // Stored only: it changes nothing that is drawn.
  void SetDataRight(int right) { dataRight_ = right; }

  int LevelMode() const;

 protected:
  // Paints the whole board into the memory picture; paintDc measures text.
  // Called under the lock with the picture made.
  virtual void Draw(HDC paintDc);
  void DrawLevelLabels();
  void DrawLevelValues(HDC paintDc);
  void DrawIndexBoard();
  // Every text of the board goes through here (tests record the calls):
  // one line, vertically centred; alignment 0 left, 1 centred, 2 right.
  virtual void DrawCellText(HDC dc, const RECT& rect, const WCHAR* text, uint32_t color, int alignment);

  int OnCreate(LPCREATESTRUCT cs) override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;

 private:
  void DrawUtf8Text(HDC dc, const RECT& rect, const char* text, int bytes, uint32_t color, int alignment);
  void Invalidated();

  // Data, guarded by lock_ (written by the setters on any thread).
  QuoteRecord quote_{};                  // copy of the record on view
  bool hasQuote_ = false;
  std::vector<QuoteRecord> indexRows_;   // copy of the index table's rows
  bool hasIndexTable_ = false;
  const KLineArea* klineArea_ = nullptr; // the page's, never read here
  int levelMode_ = 0;                    // 0 ten levels, 1 five levels, 2 index board
  int titleShown_ = 1;                   // the title band is drawn
  int dataRight_ = 0;                    // kept for the page
  // Drawing objects, made by the constructor, owned by the board.
  HFONT valueFont_ = nullptr;
  HFONT labelFont_ = nullptr;
  // The memory picture, rebuilt on every WM_SIZE (UI thread, under lock_).
  MemoryPicture picture_;
  mutable std::mutex lock_;
};

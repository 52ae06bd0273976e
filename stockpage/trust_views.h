// The level-2 panels of the stock page: the order queue at the best prices
// (CTrustQueueView) and the lists of cancelled buy and sell orders
// (CTrustCancelView).
//
// The page creates both hidden, sets their level-2 right and clears them on
// every stock; nothing in the program requests their data, but each draws a
// record correctly when one is handed to it. Without the right a view draws
// only the centred refusal text on black.
//
// Threads and copies: the setters may run on the market-data connection's
// thread; they copy the record under the view's lock and only invalidate.
// Painting reads the copy under the lock into a memory picture of the client
// size and copies the picture to the screen after the lock. Counts from the
// server are clamped to the room of the record: 0..50 queued orders per
// side, 0..64 cancellation entries (a negative count shows nothing).
#pragma once

#include "marketdata/quote_record.h"
#include "marketdata/tick_decoders.h"
#include "platform/mfc/afx.h"
#include "stockpage/memory_picture.h"

#include <cstdint>
#include <mutex>

inline constexpr int kQueueVolumesShown = 50;   // queued orders per side
inline constexpr int kCancellationEntries = 64; // entries of one side

// One cancelled order.
struct CancellationEntry {
  float price;     // order price; 0: none
  int64_t volume;  // cancelled volume
  int32_t time;    // HHMMSS as a decimal number
};

// One side's list of cancelled orders (reply type 84), oldest first.
struct CancellationRecord {
  uint8_t kind;                                     // the reply's kind byte
  StockKey key;                                     // its decimals byte sets the price decimals
  int32_t entryCount;                               // entries the server sent
  CancellationEntry entries[kCancellationEntries];
};

// The text shown over a level-2 pane without the right.
inline constexpr const char16_t* kNoRightText = u"您没有权限查询当前数据！";

class CTrustQueueView : public CWnd {
 public:
  CTrustQueueView();
  ~CTrustQueueView() override;
  CTrustQueueView(const CTrustQueueView&) = delete;
  CTrustQueueView& operator=(const CTrustQueueView&) = delete;

  // Stores the level-2 right (0: the refusal text only); no repaint.
  void SetDataRight(int right);
  // Copies the record (the first queue is the bid side, the second the ask
  // side, as the type-83 decoder fills them); null clears. Invalidates.
  void SetQueueData(const OrderQueueArea* record);
  // Drops the record. Invalidates.
  void Clear();

 protected:
  // Does nothing: the paint handler draws through DrawQueues.
  virtual void Draw(HDC dc);
  void DrawQueues(HDC dc);
  // Every text of the view goes through here (tests record the calls).
  virtual void DrawCellText(HDC dc, const RECT& rect, const WCHAR* text, uint32_t color, int alignment);

  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnPaint() override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnMouseMove(UINT flags, CPoint point) override;

 private:
  // Guarded by lock_.
  OrderQueueArea record_{};          // copy of the record on view
  bool hasRecord_ = false;
  RECT client_{};                    // client rectangle of the last paint
  int dataRight_ = 0;                // level-2 right
  RECT noRightRect_{};               // where the refusal text was drawn
  HFONT font_ = nullptr;             // 16-pixel UI font, owned
  // The memory picture (UI thread, under lock_).
  MemoryPicture picture_;
  mutable std::mutex lock_;
};

class CTrustCancelView : public CWnd {
 public:
  CTrustCancelView();
  ~CTrustCancelView() override;
  CTrustCancelView(const CTrustCancelView&) = delete;
  CTrustCancelView& operator=(const CTrustCancelView&) = delete;

  void SetDataRight(int right);
  // Copy the side's record (null: empty list). Invalidate.
  void SetBuyCancels(const CancellationRecord* record);
  void SetSellCancels(const CancellationRecord* record);
  // Drops both records. Invalidates.
  void Clear();

 protected:
  // Paints the view into the memory picture; called under the lock.
  virtual void Draw(HDC dc);
  // One side's list in the area (x0, y0, x1, y1): 16-pixel rows, the newest
  // entries filling the area; nothing for a missing record.
  void DrawCancelList(HDC dc, const CancellationRecord* record, int x0, int y0, int x1, int y1);
  virtual void DrawCellText(HDC dc, const RECT& rect, const WCHAR* text, uint32_t color, int alignment);

  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnPaint() override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnMouseMove(UINT flags, CPoint point) override;

 private:
  // Guarded by lock_.
  CancellationRecord buy_{};
  bool hasBuy_ = false;
  CancellationRecord sell_{};
  bool hasSell_ = false;
  RECT client_{};
  int dataRight_ = 0;
  RECT noRightRect_{};
  HFONT font_ = nullptr;             // 14-pixel UI font, owned
  MemoryPicture picture_;
  mutable std::mutex lock_;
};

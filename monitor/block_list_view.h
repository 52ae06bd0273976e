// CBlockListView: one ranked list of quote records in a grid with a skinned
// horizontal and vertical scroll bar of its own. Three kinds:
//   0 fund flow       the fund flow of a set of blocks (13 columns, the
//                     name column headed "行业" or "概念" by the selector)
//   1 block ranking   the blocks a stock belongs to (4 fixed columns of
//                     client width / 4 - 10)
//   2 related quotes  the quotes of one block's members (16 columns)
// The list never requests data: its owner issues the requests and hands
// the engine's result area to the fill of the kind it chose (ResetList),
// from its reply callback on the market-data connection's thread. The list
// reports a chosen row, a header click and keys to its owner and leaves
// every reaction (re-requesting, sorting on the server) to it.
//
// Messages the list sends:
//   WM_BLOCK_LIST_PICK (8001), posted to the parent: (the list's grid, data
//     row) when the grid reports an activation of a row >= 0;
//   WM_GRID_SORT, posted to the parent: (the list, column | order << 16)
//     with the order's low 16 bits (1, or 0xFFFF for -1);
//   WM_KEYDOWN, posted to the parent: (virtual key, repeat count);
//   WM_LIST_COMMAND_NOTICE, sent to the parent's parent's parent (only when
//     all three exist): (the command's wParam, 0), for any WM_COMMAND;
//   WM_APPLY_SCROLLINFO, posted to itself by each fill, once per bar: (the
//     bar object, the list's own scroll-info record of that bar).
//
// Threads and locks. The fills run on the network thread (inside the
// owner's reply callback, holding the owner's lock); everything else on the
// UI thread. Every member below (kind, positions, scroll-info records, the
// memory picture) is read and written under the list's recursive lock, by
// fills and UI handlers alike. Lock order: the owner's lock, then the
// list's, then the grid's. The list never calls a function that waits for
// the UI thread while holding its lock: a fill touches its bars only
// through the posted WM_APPLY_SCROLLINFO, and its repaint is an
// invalidation.
#pragma once

#include <mutex>

#include "controls/control_messages.h"
#include "controls/grid_ctrl.h"
#include "controls/skin_scroll_bar.h"
#include "marketdata/quote_areas.h"
#include "marketdata/quote_engine.h"
#include "platform/mfc/afx.h"

constexpr UINT WM_BLOCK_LIST_PICK = 8001;

// Kinds of list (ResetList).
enum BlockListKind : int {
  kBlockListNone = -1,
  kBlockListFundFlow = 0,
  kBlockListRanking = 1,
  kBlockListRelated = 2,
};

// The cell colours (colour words, 0x00BBGGRR).
constexpr COLORREF kBlockRise = 0x4F4FFF;
constexpr COLORREF kBlockFall = 0x36FF36;
constexpr COLORREF kBlockNeutral = 0xF2F2F2;
constexpr COLORREF kBlockOwnName = 0xFFFF43;
constexpr COLORREF kBlockName = 0x33FFFD;      // other names; volumes
constexpr COLORREF kBlockTurnover = 0x258CFF;  // turnover; current volume
constexpr COLORREF kBlockAmount = 0xFFFF00;
constexpr COLORREF kBlockHeader = 0xFFFFFF;

// The scroll-bar skin: bitmap resource 147 (9 x 3 cells of 16 pixels).
constexpr UINT kBlockListBarSkin = 147;

class CBlockListView : public CWnd {
 public:
  // The grid and bar objects (their windows come with the list's window),
  // positions 0, kind -1, no memory picture.
  CBlockListView();
  ~CBlockListView() override;
  CBlockListView(const CBlockListView&) = delete;
  CBlockListView& operator=(const CBlockListView&) = delete;

  // Empties the list and gives it a kind (0, 1 or 2; selector 0 "行业" or
  // 1 "概念" names kind 0's name column): sort arrow off, one row, all
  // positions 0, both bars at range, page and position 0, the kind's header.
  // UI thread. Without the children, nothing.
  void ResetList(int selector, int kind);
  // Shows the list, its grid and both bars, and clears the sort arrow. The
  // argument is not used. UI thread.
  void ShowList(int flag);

  // The fills: rows of the latest reply of area (clamped to the room of its
  // record array; a null area or one without records leaves the header
  // only), the kind's header, scroll ranges posted to the bars. Neither the
  // kind, the scroll positions nor the grid's current and top rows change.
  // Any thread. engine: for the own-stock colour only (null: no own stock).
  //   FillFundFlow: a sorted list (types 40, 42); rows are numbered from
  //     params->start + 1 (params null: from 1).
  void FillFundFlow(QuoteEngine* engine, const QuoteListParams* params, const SortedQuoteListArea* area,
                    int selector);
  //   FillBlockRanking: a stock list (type 32).
  void FillBlockRanking(QuoteEngine* engine, const QuoteListArea* area);
  //   FillRelatedQuotes: a sorted list; params are not read.
  void FillRelatedQuotes(QuoteEngine* engine, const QuoteListParams* params, const SortedQuoteListArea* area);

  // The owner reaches the grid directly (WM_BLOCK_LIST_PICK names it).
  CGridCtrl* GetGrid() { return &grid_; }
  CVexloScrollBar* GetHorzBar() { return &hBar_; }
  CVexloScrollBar* GetVertBar() { return &vBar_; }
  int GetKind() const;

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnDestroy() override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  void OnHScroll(UINT code, UINT pos, CWnd* bar) override;
  void OnVScroll(UINT code, UINT pos, CWnd* bar) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  bool HasChildren() const;
  // Steps 1-7 of a fill; rows writes the data rows (lock held).
  template <typename WriteRows>
  void Fill(int kind, int verticalPage, int rowCount, WriteRows rows);
  void BuildHeader(int kind, int selector, bool resetHeader);
  void WriteHeader(int kind, int selector, bool resetHeader);
  void PostScrollInfo(CVexloScrollBar* bar, SCROLLINFO* info, int maximum, int page, int position);
  void ReleasePicture();
  LRESULT OnGridActivate(WPARAM wParam, LPARAM lParam);
  LRESULT OnGridSort(WPARAM wParam, LPARAM lParam);
  LRESULT OnGridScroll(WPARAM wParam);
  LRESULT OnApplyScrollInfo(WPARAM wParam, LPARAM lParam);

  // Every field below is guarded by lock_.
  int kind_ = kBlockListNone;
  mutable std::recursive_mutex lock_;
  CVexloScrollBar hBar_;
  SCROLLINFO hInfo_{sizeof(SCROLLINFO), 0, 0, 0, 0, 0, 0};  // posted by address
  int hPos_ = 0;           // scrollable columns scrolled out of view
  CVexloScrollBar vBar_;
  SCROLLINFO vInfo_{sizeof(SCROLLINFO), 0, 0, 0, 0, 0, 0};  // posted by address
  int vPos_ = 0;           // data row at the top, the bar position of a fill
  bool pictureMade_ = false;
  HDC pictureDc_ = nullptr;
  HBITMAP pictureBitmap_ = nullptr;
  HGDIOBJ pictureSaved_ = nullptr;  // the bitmap the DC held before
  int lastVPos_ = 0;       // last scrolled position; overrides a fill's
  CGridCtrl grid_;
  HBITMAP hSkin_ = nullptr;  // resource 147, one per bar, kept for the bar's life
  HBITMAP vSkin_ = nullptr;
  bool children_ = false;  // grid and both bars were created
};

#include "monitor/block_list_view.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "foundation/number_formats.h"
#include "foundation/text_codec.h"
#include "marketdata/own_stocks.h"
#include "platform/kernel/debug_sink.h"

namespace {

// DrawText formats of the cells.
constexpr UINT kLeft = DT_LEFT | DT_VCENTER | DT_SINGLELINE;      // 0x24
constexpr UINT kCentre = DT_CENTER | DT_VCENTER | DT_SINGLELINE;  // 0x25
constexpr UINT kRight = DT_RIGHT | DT_VCENTER | DT_SINGLELINE;    // 0x26

constexpr int kFixedColumns = 4;
constexpr int kBarThickness = 16;
constexpr UINT kScrollMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
constexpr int kFundFlowColumns = 13;
constexpr int kRankingColumns = 4;
constexpr int kRelatedColumns = 16;

struct HeaderColumn {
  const WCHAR* title;
  int width;
  UINT align;
  BYTE sortable;
};

// Kind 0; column 3's title follows the selector.
const HeaderColumn kFundFlowHeader[kFundFlowColumns] = {
    {u"序号", 40, kRight, 0},        {u"", 20, kCentre, 0},          {u"代码", 80, kLeft, 0},
    {u"行业", 100, kLeft, 0},        {u"涨幅%", 80, kRight, 1},      {u"主力净流入", 100, kRight, 1},
    {u"现价", 80, kRight, 1},        {u"涨跌", 80, kRight, 1},       {u"总量", 80, kRight, 1},
    {u"超大单净流入", 110, kRight, 1}, {u"大单净流入", 100, kRight, 1}, {u"中单净流入", 100, kRight, 1},
    {u"小单净流入", 100, kRight, 1},
};

// Kind 1; every width is the client width / 4 - 10.
const HeaderColumn kRankingHeader[kRankingColumns] = {
    {u"板块名称", 0, kLeft, 0}, {u"涨幅", 0, kRight, 0}, {u"涨跌", 0, kRight, 0}, {u"量比", 0, kRight, 0}};

// Kind 2 as the fill writes it. ResetList's header differs in two columns:
// "名称" right-aligned, "现价" left-aligned and not sortable.
const HeaderColumn kRelatedHeader[kRelatedColumns] = {
    {u"名称", 80, kCentre, 0}, {u"", 20, kCentre, 0},     {u"现价", 80, kRight, 1},   {u"涨幅%", 80, kRight, 1},
    {u"量比", 80, kRight, 1},  {u"涨跌", 80, kRight, 1},  {u"总量", 80, kRight, 1},   {u"换手率", 80, kRight, 1},
    {u"现量", 80, kRight, 1},  {u"总金额", 100, kRight, 1}, {u"买一", 80, kRight, 0}, {u"卖一", 80, kRight, 0},
    {u"昨收", 80, kRight, 1},  {u"今开", 80, kRight, 1},  {u"最高", 80, kRight, 1},   {u"最低", 80, kRight, 1},
};

int ColumnsOfKind(int kind) {
  switch (kind) {
    case kBlockListFundFlow: return kFundFlowColumns;
    case kBlockListRanking: return kRankingColumns;
    case kBlockListRelated: return kRelatedColumns;
    default: return 0;
  }
}

// The records a fill shows: those of the latest reply, clamped to the room
// of the record array (a category page's array holds exactly its records
// and has capacity 0); none without an array.
int RecordsToShow(const QuoteRecordArray& list, int carried, int held) {
  if (!list.records) return 0;
  const int room = list.capacity > 0 ? list.capacity : held;
  return std::clamp(carried, 0, std::max(room, 0));
}

int ClampPosition(int position, int low, int high) {
  if (position > high) position = high;
  if (position < low) position = low;
  return position;
}

// A cell's text builder: the texts of one record, 64 units each.
struct CellText {
  WCHAR text[kNumberTextSize];

  // bytes of UTF-8 (stopping at a zero) after an optional blank.
  const WCHAR* Utf8(const char* utf8, int bytes, bool blank = false) {
    const int lead = blank ? 1 : 0;
    if (blank) text[0] = u' ';
    const int length = static_cast<int>(strnlen(utf8, static_cast<size_t>(bytes)));
    const int unit = static_cast<int>(sizeof(WCHAR));
    const int consumed = Utf8ToUtf16(utf8, length, text + lead, (kNumberTextSize - 1 - lead) * unit);
    text[lead + Utf16SizeOfUtf8(utf8, consumed) / unit] = 0;
    return text;
  }
  const WCHAR* Serial(int number) {
    char ascii[16];
    std::snprintf(ascii, sizeof ascii, "%d", number);
    int i = 0;
    for (; ascii[i]; ++i) text[i] = static_cast<WCHAR>(ascii[i]);
    text[i] = 0;
    return text;
  }
  const WCHAR* Price(float value, uint8_t decimals) {
    FormatPrice(value, decimals, text, kNumberTextSize);
    return text;
  }
  const WCHAR* Percent(int64_t hundredths) {
    FormatPercent(hundredths, text, kNumberTextSize);
    return text;
  }
  const WCHAR* Ratio(int64_t tenThousandths) {
    FormatRatio(tenThousandths, text, kNumberTextSize);
    return text;
  }
  const WCHAR* Count(int64_t value, CountZero zero) {
    FormatCount(value, text, kNumberTextSize, zero);
    return text;
  }
};

COLORREF AgainstClose(float value, float previousClose) {
  if (value > previousClose) return kBlockRise;
  if (value < previousClose) return kBlockFall;
  return kBlockNeutral;
}

template <typename T>
COLORREF BySign(T value) {
  if (value > 0) return kBlockRise;
  if (value < 0) return kBlockFall;
  return kBlockNeutral;
}

// 10,001 and above rise, exactly 10,000 neutral, anything else (0 too) fall.
COLORREF VolumeRatioColor(int32_t ratio) {
  if (ratio >= 10001) return kBlockRise;
  if (ratio == 10000) return kBlockNeutral;
  return kBlockFall;
}

COLORREF NameColor(QuoteEngine* engine, const QuoteRecord& r) {
  if (!engine) return kBlockName;
  char code[sizeof r.key.code];
  std::memcpy(code, r.key.code, sizeof code - 1);
  code[sizeof code - 1] = 0;
  return IsOwnStock(engine, code, r.key.market) ? kBlockOwnName : kBlockName;
}

constexpr int kNameBytes = sizeof(StockKey::name) - 1;  // 24
constexpr int kCodeBytes = sizeof(StockKey::code) - 1;  // 6

}  // namespace

CBlockListView::CBlockListView() = default;

CBlockListView::~CBlockListView() {
  if (m_hWnd) DestroyWindow();
  ReleasePicture();
  if (hSkin_) DeleteObject(hSkin_);
  if (vSkin_) DeleteObject(vSkin_);
}

int CBlockListView::GetKind() const {
  std::lock_guard hold(lock_);
  return kind_;
}

bool CBlockListView::HasChildren() const {
  std::lock_guard hold(lock_);
  return children_;
}

// ---------------------------------------------------------------------------
// Creation, size and paint.

int CBlockListView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  const int w = cs->cx, h = cs->cy;
  if (!grid_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, w - kBarThickness, h - kBarThickness), this,
                    0)) {
    OutputDebugStringA("CBlockListView::OnCreate: the grid could not be created\n");
    return -1;
  }
  grid_.SetFixedColumnCount(kFixedColumns);
  grid_.SetHScrollPos(0);
  if (!hBar_.Create(WS_CHILD | WS_VISIBLE, CRect(0, h - kBarThickness, w - kBarThickness, h), this, 0)) {
    OutputDebugStringA("CBlockListView::OnCreate: the horizontal scroll bar could not be created\n");
    return -1;
  }
  if (!vBar_.Create(WS_CHILD | WS_VISIBLE | SBS_VERT, CRect(w - kBarThickness, 0, w, h), this, 0)) {
    OutputDebugStringA("CBlockListView::OnCreate: the vertical scroll bar could not be created\n");
    return -1;
  }
  // One skin per bar, loaded once; the bars never delete it.
  if (!hSkin_) hSkin_ = LoadBitmapW(nullptr, MAKEINTRESOURCEW(kBlockListBarSkin));
  if (!vSkin_) vSkin_ = LoadBitmapW(nullptr, MAKEINTRESOURCEW(kBlockListBarSkin));
  hBar_.SetBitmap(hSkin_);
  vBar_.SetBitmap(vSkin_);
  std::lock_guard hold(lock_);
  children_ = true;
  return 0;
}

void CBlockListView::OnDestroy() {
  {
    std::lock_guard hold(lock_);
    children_ = false;
  }
  CWnd::OnDestroy();
}

void CBlockListView::ReleasePicture() {
  std::lock_guard hold(lock_);
  if (!pictureMade_) return;
  SelectObject(pictureDc_, pictureSaved_);
  DeleteObject(pictureBitmap_);
  DeleteDC(pictureDc_);
  pictureDc_ = nullptr;
  pictureBitmap_ = nullptr;
  pictureSaved_ = nullptr;
  pictureMade_ = false;
}

void CBlockListView::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  std::lock_guard hold(lock_);
  ReleasePicture();
  if (cx > 0 && cy > 0) {
    HDC windowDc = ::GetDC(m_hWnd);
    pictureDc_ = CreateCompatibleDC(windowDc);
    pictureBitmap_ = CreateCompatibleBitmap(windowDc, cx, cy);
    ::ReleaseDC(m_hWnd, windowDc);
    if (pictureDc_ && pictureBitmap_) {
      pictureSaved_ = SelectObject(pictureDc_, pictureBitmap_);
      // Nothing else draws here: the frame and the corner between the bars
      // show the grid's black.
      RECT all{0, 0, cx, cy};
      HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
      FillRect(pictureDc_, &all, black);
      DeleteObject(black);
      pictureMade_ = true;
    } else {
      if (pictureBitmap_) DeleteObject(pictureBitmap_);
      if (pictureDc_) DeleteDC(pictureDc_);
      pictureDc_ = nullptr;
      pictureBitmap_ = nullptr;
    }
  }
  if (children_) {
    grid_.MoveWindow(CRect(1, 1, cx - 17, cy - 17));
    hBar_.MoveWindow(CRect(1, cy - 17, cx - kBarThickness, cy - 1));
    vBar_.MoveWindow(CRect(cx - 17, 1, cx - 1, cy - 1));
  }
  Invalidate(FALSE);
}

BOOL CBlockListView::OnEraseBkgnd(CDC*) { return TRUE; }

void CBlockListView::OnPaint() {
  CPaintDC dc(this);
  std::lock_guard hold(lock_);
  if (!pictureMade_) return;
  BITMAP info{};
  GetObjectW(pictureBitmap_, sizeof info, &info);
  BitBlt(dc.GetSafeHdc(), 0, 0, info.bmWidth, info.bmHeight, pictureDc_, 0, 0, SRCCOPY);
}

// ---------------------------------------------------------------------------
// Reset, show and the header.

void CBlockListView::ResetList(int selector, int kind) {
  if (!HasChildren()) return;
  SCROLLINFO empty{sizeof(SCROLLINFO), kScrollMask, 0, 0, 0, 0, 0};
  {
    std::lock_guard hold(lock_);
    grid_.SetSortState(1, 0);
    grid_.SetRowCount(1);
    grid_.SetColumnCount(0);
    hPos_ = 0;
    vPos_ = 0;
    lastVPos_ = 0;
    grid_.SetHScrollPos(0);
    grid_.SetTopRow(0);
    // A scroll-info message of an earlier fill still queued applies the
    // emptied records, not the old list's ranges.
    hInfo_ = empty;
    vInfo_ = empty;
    kind_ = kind;
  }
  hBar_.SetScrollInfo(&empty, TRUE);
  vBar_.SetScrollInfo(&empty, TRUE);
  BuildHeader(kind, selector, true);
  grid_.Invalidate(FALSE);
}

void CBlockListView::ShowList(int) {
  if (!HasChildren()) return;
  ShowWindow(SW_SHOW);
  grid_.ShowWindow(SW_SHOW);
  hBar_.ShowWindow(SW_SHOW);
  vBar_.ShowWindow(SW_SHOW);
  grid_.SetSortState(0, 0);
}

void CBlockListView::BuildHeader(int kind, int selector, bool resetHeader) {
  std::lock_guard hold(lock_);
  grid_.SetRowCount(1);
  grid_.SetColumnCount(ColumnsOfKind(kind));
  WriteHeader(kind, selector, resetHeader);
  grid_.SetHScrollPos(hPos_);
  ::InvalidateRect(grid_.m_hWnd, nullptr, FALSE);
}

void CBlockListView::WriteHeader(int kind, int selector, bool resetHeader) {
  const HeaderColumn* columns = nullptr;
  switch (kind) {
    case kBlockListFundFlow: columns = kFundFlowHeader; break;
    case kBlockListRanking: columns = kRankingHeader; break;
    case kBlockListRelated: columns = kRelatedHeader; break;
    default: return;
  }
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  const int rankingWidth = (client.right - client.left) / 4 - 10;
  for (int c = 0; c < ColumnsOfKind(kind); ++c) {
    HeaderColumn col = columns[c];
    if (kind == kBlockListFundFlow && c == 3) col.title = selector == 1 ? u"概念" : u"行业";
    if (kind == kBlockListRanking) col.width = rankingWidth;
    if (kind == kBlockListRelated && resetHeader && c == 0) col.align = kRight;
    if (kind == kBlockListRelated && resetHeader && c == 2) {
      col.align = kLeft;
      col.sortable = 0;
    }
    grid_.SetCell(0, c, col.title, kBlockHeader, col.align, 0);
    grid_.SetColumnWidth(c, col.width);
    grid_.SetColumnSortable(c, col.sortable);
  }
}

// ---------------------------------------------------------------------------
// The fills.

void CBlockListView::PostScrollInfo(CVexloScrollBar* bar, SCROLLINFO* info, int maximum, int page, int position) {
  *info = SCROLLINFO{sizeof(SCROLLINFO), kScrollMask, 0, maximum, static_cast<UINT>(page), position, 0};
  ::PostMessageW(m_hWnd, WM_APPLY_SCROLLINFO, reinterpret_cast<WPARAM>(bar), reinterpret_cast<LPARAM>(info));
}

template <typename WriteRows>
void CBlockListView::Fill(int kind, int verticalPage, int rowCount, WriteRows rows) {
  {
    std::lock_guard hold(lock_);
    if (!children_) return;
    grid_.SetRowCount(rowCount + 1);
    grid_.SetColumnCount(ColumnsOfKind(kind));
    PostScrollInfo(&hBar_, &hInfo_, grid_.GetScrollableColumnCount() - 1, 1, hPos_);
    PostScrollInfo(&vBar_, &vInfo_, rowCount - 1, verticalPage, vPos_);
    rows(kind);
    grid_.SetHScrollPos(hPos_);
  }
  ::InvalidateRect(grid_.m_hWnd, nullptr, FALSE);
}

void CBlockListView::FillFundFlow(QuoteEngine* engine, const QuoteListParams* params,
                                  const SortedQuoteListArea* area, int selector) {
  const int n = area ? RecordsToShow(area->list, area->recordCount, area->recordsHeld) : 0;
  const int start = params ? params->start : 0;
  Fill(kBlockListFundFlow, 4, n, [&](int kind) {
    WriteHeader(kind, selector, false);
    CellText t;
    for (int i = 0; i < n; ++i) {
      const QuoteRecord& r = area->list.records[i];
      const int row = i + 1;
      const COLORREF name = NameColor(engine, r);
      const COLORREF move = AgainstClose(r.lastPrice, r.previousClose);
      const uint8_t d = r.key.decimals;
      grid_.SetCell(row, 0, t.Serial(start + 1 + i), kBlockNeutral, kRight, 0);
      grid_.SetCell(row, 2, t.Utf8(r.key.code, kCodeBytes, true), name, kLeft, 0);
      grid_.SetCell(row, 3, t.Utf8(r.key.name, kNameBytes), name, kLeft, 0);
      grid_.SetCell(row, 4, t.Percent(r.changePercent), move, kRight, 0);
      grid_.SetCell(row, 5, t.Count(r.mainNetInflow, CountZero::Dash), BySign(r.mainNetInflow), kRight, 0);
      grid_.SetCell(row, 6, t.Price(r.lastPrice, d), move, kRight, 0);
      grid_.SetCell(row, 7, t.Price(r.change, d), move, kRight, 0);
      grid_.SetCell(row, 8, t.Count(r.totalVolume, CountZero::Dash), kBlockName, kRight, 0);
      const int64_t inflows[] = {r.superLargeNetInflow, r.largeNetInflow, r.mediumNetInflow, r.smallNetInflow};
      for (int k = 0; k < 4; ++k)
        grid_.SetCell(row, 9 + k, t.Count(inflows[k], CountZero::Digit), BySign(inflows[k]), kRight, 0);
    }
  });
}

void CBlockListView::FillBlockRanking(QuoteEngine* engine, const QuoteListArea* area) {
  const int n = area ? RecordsToShow(area->list, area->recordCount, area->recordsHeld) : 0;
  Fill(kBlockListRanking, 1, n, [&](int kind) {
    WriteHeader(kind, 0, false);
    CellText t;
    for (int i = 0; i < n; ++i) {
      const QuoteRecord& r = area->list.records[i];
      const int row = i + 1;
      grid_.SetCell(row, 0, t.Utf8(r.key.name, kNameBytes, true), NameColor(engine, r), kLeft, 0);
      grid_.SetCell(row, 1, t.Percent(r.changePercent), BySign(r.changePercent), kRight, 0);
      grid_.SetCell(row, 2, t.Price(r.change, r.key.decimals), BySign(r.change), kRight, 0);
      grid_.SetCell(row, 3, t.Ratio(r.volumeRatio), VolumeRatioColor(r.volumeRatio), kRight, 0);
    }
  });
}

void CBlockListView::FillRelatedQuotes(QuoteEngine* engine, const QuoteListParams*,
                                       const SortedQuoteListArea* area) {
  const int n = area ? RecordsToShow(area->list, area->recordCount, area->recordsHeld) : 0;
  Fill(kBlockListRelated, 4, n, [&](int kind) {
    WriteHeader(kind, 0, false);
    CellText t;
    for (int i = 0; i < n; ++i) {
      const QuoteRecord& r = area->list.records[i];
      const int row = i + 1;
      const float close = r.previousClose;
      const uint8_t d = r.key.decimals;
      const COLORREF move = AgainstClose(r.lastPrice, close);
      grid_.SetCell(row, 0, t.Utf8(r.key.name, kNameBytes), NameColor(engine, r), kLeft, 0);
      grid_.SetCell(row, 2, t.Price(r.lastPrice, d), move, kRight, 0);
      grid_.SetCell(row, 3, t.Percent(r.changePercent), move, kRight, 0);
      grid_.SetCell(row, 4, t.Ratio(r.volumeRatio), VolumeRatioColor(r.volumeRatio), kRight, 0);
      grid_.SetCell(row, 5, t.Price(r.change, d), move, kRight, 0);
      grid_.SetCell(row, 6, t.Count(r.totalVolume, CountZero::Dash), kBlockName, kRight, 0);
      grid_.SetCell(row, 7, t.Percent(r.turnoverRate), kBlockTurnover, kRight, 0);
      grid_.SetCell(row, 8, t.Count(r.currentVolume, CountZero::Dash), kBlockTurnover, kRight, 0);
      grid_.SetCell(row, 9, t.Count(r.amount, CountZero::Dash), kBlockAmount, kRight, 0);
      const float prices[] = {r.bidPrice1, r.askPrice1, r.previousClose, r.open, r.high, r.low};
      for (int k = 0; k < 6; ++k)
        grid_.SetCell(row, 10 + k, t.Price(prices[k], d), AgainstClose(prices[k], close), kRight, 0);
    }
  });
}

// ---------------------------------------------------------------------------
// Scrolling.

void CBlockListView::OnVScroll(UINT code, UINT pos, CWnd* bar) {
  if (!bar || bar->m_hWnd != vBar_.m_hWnd || !HasChildren()) return CWnd::OnVScroll(code, pos, bar);
  SCROLLINFO si{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  vBar_.GetScrollInfo(&si);
  int p = si.nPos;
  switch (code) {
    case SB_LINEUP: p -= 1; break;
    case SB_LINEDOWN: p += 1; break;
    case SB_PAGEUP: p -= static_cast<int>(si.nPage); break;
    case SB_PAGEDOWN: p += static_cast<int>(si.nPage); break;
    case SB_THUMBPOSITION: p = si.nPos; break;
    case SB_THUMBTRACK: p = static_cast<int>(pos); break;
    case SB_TOP: p = si.nMin; break;
    case SB_BOTTOM: p = si.nMax; break;
    default: return;
  }
  p = ClampPosition(p, si.nMin, si.nMax - static_cast<int>(si.nPage) + 1);
  {
    std::lock_guard hold(lock_);
    vPos_ = p;
    lastVPos_ = p;
    grid_.SetCurRow(p);
    grid_.SetTopRow(p);
  }
  vBar_.Invalidate(FALSE);
  grid_.Invalidate(FALSE);
  Invalidate(FALSE);
  vBar_.SetScrollPos(p, TRUE);
  CWnd::OnVScroll(code, pos, bar);
}

void CBlockListView::OnHScroll(UINT code, UINT pos, CWnd* bar) {
  if (!bar || bar->m_hWnd != hBar_.m_hWnd || !HasChildren()) return CWnd::OnHScroll(code, pos, bar);
  SCROLLINFO si{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  hBar_.GetScrollInfo(&si);
  int p = si.nPos;
  switch (code) {
    case SB_LINELEFT:
    case SB_PAGELEFT: p -= 1; break;
    case SB_LINERIGHT:
    case SB_PAGERIGHT: p += 1; break;
    case SB_THUMBTRACK: p = static_cast<int>(pos); break;
    case SB_LEFT: p = si.nMin; break;
    case SB_RIGHT: p = si.nMax; break;
    default: return;  // SB_THUMBPOSITION too: the track already moved it
  }
  p = ClampPosition(p, si.nMin, si.nMax);
  {
    std::lock_guard hold(lock_);
    hPos_ = p;
    grid_.SetHScrollPos(p);
  }
  grid_.Invalidate(FALSE);
  hBar_.SetScrollPos(p, TRUE);
  CWnd::OnHScroll(code, pos, bar);
}

LRESULT CBlockListView::OnGridScroll(WPARAM wParam) {
  if (!HasChildren()) return 1;
  SCROLLINFO si{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  vBar_.GetScrollInfo(&si);
  const int p = ClampPosition(static_cast<int>(wParam), si.nMin, si.nMax - static_cast<int>(si.nPage) + 1);
  {
    std::lock_guard hold(lock_);
    lastVPos_ = p;
  }
  vBar_.SetScrollPos(p, TRUE);
  vBar_.Invalidate(FALSE);
  Invalidate(FALSE);
  return 1;
}

LRESULT CBlockListView::OnApplyScrollInfo(WPARAM wParam, LPARAM lParam) {
  SCROLLINFO copy{};
  CVexloScrollBar* bar = nullptr;
  {
    std::lock_guard hold(lock_);
    if (!children_) return 0;
    if (wParam == reinterpret_cast<WPARAM>(&vBar_) && lParam == reinterpret_cast<LPARAM>(&vInfo_)) {
      vInfo_.nPos = lastVPos_;
      copy = vInfo_;
      bar = &vBar_;
    } else if (wParam == reinterpret_cast<WPARAM>(&hBar_) && lParam == reinterpret_cast<LPARAM>(&hInfo_)) {
      copy = hInfo_;
      bar = &hBar_;
    } else {
      return 0;  // not one of the list's own records
    }
  }
  bar->SetScrollInfo(&copy, FALSE);
  bar->Invalidate(FALSE);
  return 0;
}

// ---------------------------------------------------------------------------
// Notices.

void CBlockListView::OnKeyDown(UINT key, UINT repeat, UINT) {
  ::PostMessageW(::GetParent(m_hWnd), WM_KEYDOWN, key, repeat);
}

BOOL CBlockListView::OnCommand(WPARAM wParam, LPARAM lParam) {
  HWND parent = ::GetParent(m_hWnd);
  HWND grandParent = parent ? ::GetParent(parent) : nullptr;
  HWND third = grandParent ? ::GetParent(grandParent) : nullptr;
  if (third) ::SendMessageW(third, WM_LIST_COMMAND_NOTICE, wParam, 0);
  return CWnd::OnCommand(wParam, lParam);
}

LRESULT CBlockListView::OnGridActivate(WPARAM wParam, LPARAM lParam) {
  if (static_cast<int>(lParam) < 0) return 1;
  ::PostMessageW(::GetParent(m_hWnd), WM_BLOCK_LIST_PICK, wParam, lParam);
  return 0;
}

LRESULT CBlockListView::OnGridSort(WPARAM wParam, LPARAM lParam) {
  const LPARAM packed = static_cast<LPARAM>((static_cast<uint32_t>(wParam) & 0xFFFF) |
                                            (static_cast<uint32_t>(lParam) & 0xFFFF) << 16);
  ::PostMessageW(::GetParent(m_hWnd), WM_GRID_SORT, reinterpret_cast<WPARAM>(this), packed);
  return 1;
}

LRESULT CBlockListView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GRID_ACTIVATE: return OnGridActivate(wParam, lParam);
    case WM_GRID_SORT: return OnGridSort(wParam, lParam);
    case WM_GRID_SCROLL: return OnGridScroll(wParam);
    case WM_APPLY_SCROLLINFO: return OnApplyScrollInfo(wParam, lParam);
    default: return CWnd::WindowProc(message, wParam, lParam);
  }
}

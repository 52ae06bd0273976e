#include "trading/ui/buy_sell_level_view.h"

#include "foundation/draw_helpers.h"
#include "trading/ui/order_ticket.h"
#include "trading/ui/trade_page_font.h"

namespace {

constexpr int kCellHeight = 16;
constexpr int kRowStep = 19;
constexpr int kLabelLeft = 7;
constexpr int kLabelWidth = 45;
constexpr int kBidsTop = 7 + kCellHeight * 5 + 3 * 4 + 10;        // 109
constexpr int kSummaryTop = kBidsTop + kCellHeight * 5 + 3 * 4 + 10;  // 211

// One level row, top to bottom: label, its text, price cell, volume cell and
// the OrderInfo slots of the price and the volume.
struct LevelRow {
  UINT label;
  const WCHAR* text;
  UINT price;
  UINT volume;
  int priceSlot;
  int volumeSlot;
};
const LevelRow kLevels[10] = {
    {5050, u"卖五", 5055, 5060, 9, 10},  {5051, u"卖四", 5056, 5061, 11, 12}, {5052, u"卖三", 5057, 5062, 13, 14},
    {5053, u"卖二", 5058, 5063, 15, 16}, {5054, u"卖一", 5059, 5064, 17, 18}, {5069, u"买一", 5074, 5079, 19, 20},
    {5068, u"买二", 5073, 5078, 21, 22}, {5067, u"买三", 5072, 5077, 23, 24}, {5066, u"买四", 5071, 5076, 25, 26},
    {5065, u"买五", 5070, 5075, 27, 28},
};
// The summary: caption, its text, value cell and slot; two to a row.
struct SummaryCell {
  UINT caption;
  const WCHAR* text;
  UINT value;
  int slot;
};
const SummaryCell kSummary[4] = {
    {5080, u"现价", 5084, 7}, {5081, u"涨停", 5085, 29}, {5082, u"昨收", 5086, 8}, {5083, u"跌停", 5087, 30}};

const UINT kPriceIds[14] = {5055, 5056, 5057, 5058, 5059, 5070, 5071, 5072, 5073, 5074, 5084, 5085, 5086, 5087};

int PriceIndex(UINT id) {
  for (int i = 0; i < 14; ++i)
    if (kPriceIds[i] == id) return i;
  return -1;
}

}  // namespace

CBuySellLevelView::CBuySellLevelView() = default;

CBuySellLevelView::~CBuySellLevelView() {
  if (m_hWnd) DestroyWindow();
  if (font_) DeleteObject(font_);
}

bool CBuySellLevelView::IsPriceCell(UINT id) { return PriceIndex(id) >= 0; }

CWnd* CBuySellLevelView::Cell(UINT id) {
  int price = PriceIndex(id);
  if (price >= 0) return &prices_[price];
  int next = 0;
  for (UINT each = kFirstId; each <= kLastId; ++each) {
    if (IsPriceCell(each)) continue;
    if (each == id) return &statics_[next];
    ++next;
  }
  return nullptr;
}

int CBuySellLevelView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  font_ = CreateTradePageFont();
  const CRect none(0, 0, 0, 0);
  int next = 0;
  for (UINT id = kFirstId; id <= kLastId; ++id) {
    int price = PriceIndex(id);
    if (price >= 0) {
      FooButton& b = prices_[price];
      b.Create(u"", WS_CHILD | WS_VISIBLE, none, this, id);
      b.SetButtonType(1);
      b.SetTextLayout(2);  // centred
      b.SetNormalImage(u"res\\trade_btn_bg.png", RGB(255, 0, 255));
      b.SetHotImage(u"res\\trade_btn_sel_bg.png", RGB(255, 0, 255));
      b.SetTextColor(kEqual);
      b.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
      continue;
    }
    const bool volume = (id >= 5060 && id <= 5064) || (id >= 5075 && id <= 5079);
    CStatic& s = statics_[next++];
    s.Create(u"", WS_CHILD | WS_VISIBLE | (volume ? SS_RIGHT : SS_LEFT), none, this, id);
    s.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
  background_.Load(u"res\\buysale_bg.png");
  return 0;
}

void CBuySellLevelView::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  if (!prices_[0].m_hWnd) return;
  const int a = (cx - 7 * 2 - kLabelWidth) / 2;
  for (int k = 0; k < 10; ++k) {
    const LevelRow& row = kLevels[k];
    const int y = k < 5 ? 7 + kRowStep * k : kBidsTop + kRowStep * (k - 5);
    Cell(row.label)->MoveWindow(kLabelLeft, y, kLabelWidth, kCellHeight);
    Cell(row.price)->MoveWindow(52, y, a, kCellHeight);
    Cell(row.volume)->MoveWindow(52 + a, y, a, kCellHeight);
  }
  const int d = (cx - 14) / 4;
  for (int i = 0; i < 4; ++i) {
    const SummaryCell& cell = kSummary[i];
    const int y = kSummaryTop + kRowStep * (i / 2);
    const bool second = i % 2 == 1;
    const int captionLeft = second ? 7 + 2 * d + 5 : 7;
    const int valueLeft = second ? 7 + 3 * d : 7 + d;
    Cell(cell.caption)->MoveWindow(captionLeft, y, valueLeft - captionLeft, kCellHeight);
    Cell(cell.value)->MoveWindow(valueLeft, y, d, kCellHeight);
  }
  Invalidate();
}

void CBuySellLevelView::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  dc.FillSolidRect(&rc, RGB(255, 255, 255));
  if (!background_.IsNull()) background_.Draw(dc.m_hDC, 0, 0);
}

HBRUSH CBuySellLevelView::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) {
  if (ctlColor != CTLCOLOR_STATIC || !wnd) return CWnd::OnCtlColor(dc, wnd, ctlColor);
  const int id = wnd->GetDlgCtrlID();
  dc->SetBkMode(TRANSPARENT);
  if (id >= 5060 && id <= 5064) dc->SetTextColor(kAskVolume);
  else if (id >= 5075 && id <= 5079) dc->SetTextColor(kBidVolume);
  else dc->SetTextColor(RGB(0, 0, 0));
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void CBuySellLevelView::ShowLevels(const OrderInfo& info) {
  for (const LevelRow& row : kLevels) {
    Cell(row.label)->SetWindowText(row.text);
    Cell(row.price)->SetWindowText(order_ticket::SlotText(info, row.priceSlot));
    Cell(row.volume)->SetWindowText(order_ticket::SlotText(info, row.volumeSlot));
  }
  for (const SummaryCell& cell : kSummary) {
    Cell(cell.caption)->SetWindowText(cell.text);
    Cell(cell.value)->SetWindowText(order_ticket::SlotText(info, cell.slot));
  }
  Recolor();
  Invalidate();
}

void CBuySellLevelView::Clear() {
  if (CellText(kCurrentValue).empty() && CellText(kLimitUpValue).empty()) return;
  for (UINT id = kFirstId; id <= kLastId; ++id) Cell(id)->SetWindowText(u"");
  Recolor();
  Invalidate();
  UpdateWindow();
}

WString CBuySellLevelView::CellText(UINT id) {
  CWnd* cell = Cell(id);
  return cell && cell->m_hWnd ? cell->GetWindowText() : WString();
}

COLORREF CBuySellLevelView::CellColor(UINT id) {
  int price = PriceIndex(id);
  return price >= 0 ? colors_[price] : kEqual;
}

void CBuySellLevelView::Recolor() {
  const WString close = CellText(kPrevCloseValue);
  const double reference = order_ticket::ReadNumber(close);
  for (int i = 0; i < 14; ++i) {
    if (kPriceIds[i] == kPrevCloseValue) continue;  // the reference keeps the default colour
    const WString text = prices_[i].GetWindowText();
    if (text.empty()) {
      colors_[i] = kEqual;
      prices_[i].SetTextColor(kEqual);
      continue;
    }
    const double value = order_ticket::ReadNumber(text);
    colors_[i] = value > reference ? kUp : value < reference ? kDown : kEqual;
    prices_[i].SetTextColor(colors_[i]);
  }
}

BOOL CBuySellLevelView::OnCmdMsg(UINT id, int code) {
  if (!IsPriceCell(id) || code != BN_CLICKED) return CWnd::OnCmdMsg(id, code);
  if (sink_) sink_(CellText(id));
  return TRUE;
}

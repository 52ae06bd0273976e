#include "quotes/multi_stock_view.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "charts/minute_chart_indicators.h"
#include "charts/minute_chart_paint.h"
#include "foundation/draw_helpers.h"
#include "marketdata/code_dictionary.h"
#include "marketdata/quote_areas.h"
#include "marketdata/quote_requests.h"
#include "marketdata/request_builders.h"
#include "quotes/chart_copies.h"
#include "quotes/quote_messages.h"

namespace {

constexpr int kEntry = 7;
constexpr int kPageBytes = 9 * kEntry;

using Hold = std::lock_guard<CriticalSection>;

// Name and kind of a code from the code dictionary; false when not there.
bool LookUpStock(const char* code, int market, StockKey* key) {
  sqlite3* db = GetDictionaryDatabase();
  if (!db) return false;
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, "select name, type from qdic where code = ?1 and marketid = ?2", -1, &s, nullptr) !=
      SQLITE_OK) {
    sqlite3_finalize(s);
    return false;
  }
  sqlite3_bind_text(s, 1, code, -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(s, 2, market);
  bool found = false;
  if (sqlite3_step(s) == SQLITE_ROW) {
    const unsigned char* name = sqlite3_column_text(s, 0);
    if (name) {
      // At most 24 bytes, never ending inside a character.
      size_t n = std::strlen(reinterpret_cast<const char*>(name));
      if (n > sizeof key->name - 1) {
        n = sizeof key->name - 1;
        while (n > 0 && (name[n] & 0xC0) == 0x80) --n;
      }
      std::memcpy(key->name, name, n);
    }
    key->kind = static_cast<uint8_t>(sqlite3_column_int(s, 1));
    found = true;
  }
  sqlite3_finalize(s);
  return found;
}

void PutEntry(unsigned char* entry, const char* code, int market) {
  std::memset(entry, 0, kEntry);
  std::memcpy(entry, code, strnlen(code, 6));
  entry[6] = static_cast<unsigned char>(market);
}

}  // namespace

void RotateStockCodeList(StockCodeList* list, const StockKey* current) {
  if (!list || !current || !current->code[0]) return;
  const int count = std::clamp(list->entryCount, 0, static_cast<int>(list->entries.size()) / kEntry);
  for (int i = 0; i < count; ++i) {
    const unsigned char* e = &list->entries[static_cast<size_t>(i) * kEntry];
    if (std::memcmp(e, current->code, 6) != 0 || (current->market != 0 && e[6] != current->market)) continue;
    if (i > 0)
      std::rotate(list->entries.begin(), list->entries.begin() + static_cast<ptrdiff_t>(i) * kEntry,
                  list->entries.begin() + static_cast<ptrdiff_t>(count) * kEntry);
    return;
  }
}

CMultiStockView::CMultiStockView() {
  for (size_t i = 0; i < charts_.size(); ++i) {
    charts_[i] = CreateMinuteChart(ChartRect{0, 0, 300, 200}, this);
    if (charts_[i]) charts_[i]->PriceLineCount = 7;
    cells_[i].SetLock(&lock_);
    copies_[i] = std::make_unique<MinuteArea>();
  }
}

CMultiStockView::~CMultiStockView() {
  Shutdown();
  if (m_hWnd) DestroyWindow();
  for (MinuteChart* chart : charts_) FreeMinuteChart(chart);
}

void CMultiStockView::Shutdown() {
  CancelRequests();
  gate_->Close();
  gate_->WaitForOthers();
}

int CMultiStockView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  for (auto& cell : cells_)
    if (!cell.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, 0)) return -1;
  return 0;
}

void CMultiStockView::OnDestroy() {
  Shutdown();
  CWnd::OnDestroy();
}

StockCodeList CMultiStockView::List() {
  Hold hold(lock_);
  return list_;
}

void CMultiStockView::CancelCells() {
  for (int& handle : handles_) {
    if (handle && engine_) CancelQuoteRequest(engine_, handle);
    handle = 0;
  }
}

void CMultiStockView::CancelRequests() {
  Hold hold(lock_);
  if (listHandle_ && engine_) CancelQuoteRequest(engine_, listHandle_);
  listHandle_ = 0;
  CancelCells();
}

void CMultiStockView::DrawCell(int cell) {
  MinuteChart* chart = charts_[static_cast<size_t>(cell)];
  HDC dc = cells_[static_cast<size_t>(cell)].GetMemoryDC();
  if (!chart || !dc) return;
  CalcMinuteIndicators(chart);
  DrawMinuteChart(chart, dc);
}

void CMultiStockView::ClearCharts() {
  for (int cell = 0; cell < kCells; ++cell) {
    if (charts_[static_cast<size_t>(cell)]) ResetMinuteChart(charts_[static_cast<size_t>(cell)]);
    DrawCell(cell);
    if (cells_[static_cast<size_t>(cell)].m_hWnd)
      ::InvalidateRect(cells_[static_cast<size_t>(cell)].m_hWnd, nullptr, FALSE);
  }
}

void CMultiStockView::ResetCharts() {
  {
    Hold hold(lock_);
    page_ = 0;
    list_.paddedCount = 0;
    ClearCharts();
  }
  Select(0);
  if (m_hWnd) Invalidate(FALSE);
}

void CMultiStockView::RequestPage(int page) {
  if (list_.paddedCount == 0 || page < 0) return;
  CancelCells();
  if (!engine_ || !gate_->IsOpen()) return;
  for (int j = 0; j < kCells; ++j) {
    const int offset = page * kPageBytes + j * kEntry;
    if (offset >= list_.paddedCount * kEntry || offset + kEntry > static_cast<int>(list_.entries.size())) break;
    const unsigned char* e = &list_.entries[static_cast<size_t>(offset)];
    if (e[6] == 0) continue;
    char code[7] = {};
    std::memcpy(code, e, 6);
    handles_[static_cast<size_t>(j)] =
        RequestMinuteData(engine_, &CMultiStockView::OnReply, this, '0', code, e[6], 0, 1, -1, 0, 0, j);
  }
}

void CMultiStockView::ShowPage() {
  {
    Hold hold(lock_);
    RequestPage(page_);
  }
  if (m_hWnd && IsWindowVisible()) SetFocus();
}

void CMultiStockView::LoadEntries(std::vector<unsigned char> entries, int count, const StockKey* current) {
  ResetCharts();
  CancelRequests();
  {
    Hold hold(lock_);
    current_ = current ? *current : StockKey{};
    pageCount_ = (count + 8) / 9;
    list_.entryCount = count;
    list_.paddedCount = pageCount_ * 9;
    entries.resize(static_cast<size_t>(list_.paddedCount) * kEntry, 0);
    list_.entries = std::move(entries);
    RotateStockCodeList(&list_, current ? &current_ : nullptr);
    RequestPage(page_);
  }
  if (m_hWnd && IsWindowVisible()) SetFocus();
}

void CMultiStockView::SetStockArray(const std::vector<StockKey>& keys, const StockKey* current) {
  std::vector<unsigned char> entries(keys.size() * kEntry);
  for (size_t i = 0; i < keys.size(); ++i) PutEntry(&entries[i * kEntry], keys[i].code, keys[i].market);
  LoadEntries(std::move(entries), static_cast<int>(keys.size()), current);
}

void CMultiStockView::SetStockRecords(const QuoteRecord* records, int count, const StockKey* current) {
  count = records ? std::max(count, 0) : 0;
  std::vector<unsigned char> entries(static_cast<size_t>(count) * kEntry);
  for (int i = 0; i < count; ++i)
    PutEntry(&entries[static_cast<size_t>(i) * kEntry], records[i].key.code, records[i].key.market);
  LoadEntries(std::move(entries), count, current);
}

void CMultiStockView::RequestList(int type, int64_t listId, int sortField, int order, const StockKey* current) {
  ResetCharts();
  CancelRequests();
  if (m_hWnd && IsWindowVisible()) SetFocus();
  Hold hold(lock_);
  current_ = current ? *current : StockKey{};
  list_.listId = listId;
  if (!engine_ || !gate_->IsOpen()) return;
  listHandle_ = RequestViewQuoteList(engine_, &CMultiStockView::OnReply, this, type,
                                     static_cast<int32_t>(listId & 0xFFFFFFFF), static_cast<int32_t>(listId >> 32), 0,
                                     sortField, order, 0, 0, kListRows, 0);
}

void CMultiStockView::OnReply(void* owner, PendingRequest* entry) {
  auto* self = static_cast<CMultiStockView*>(owner);
  if (!self || !entry || !self->gate_->Enter()) return;
  self->Reply(entry);
  self->gate_->Leave();
}

void CMultiStockView::Reply(PendingRequest* entry) {
  int cell = -1;
  {
    Hold hold(lock_);
    if (listHandle_ && entry->sequence == listHandle_) {
      const auto* area = static_cast<const SortedQuoteListArea*>(entry->area);
      if (!area) return;
      const int count = area->codes ? std::clamp(area->recordsHeld, 0, kListRows) : 0;
      list_.listId = area->listId;
      list_.start = area->start;
      list_.entryCount = count;
      pageCount_ = (count + 8) / 9;
      list_.paddedCount = pageCount_ * 9;
      list_.entries.assign(static_cast<size_t>(list_.paddedCount) * kEntry, 0);
      if (count > 0) std::memcpy(list_.entries.data(), area->codes, static_cast<size_t>(count) * kEntry);
      RotateStockCodeList(&list_, &current_);
      RequestPage(page_);
      return;
    }
    for (int j = 0; j < kCells; ++j)
      if (handles_[static_cast<size_t>(j)] && handles_[static_cast<size_t>(j)] == entry->sequence) cell = j;
    if (cell < 0 || !entry->area) return;
    const size_t c = static_cast<size_t>(cell);
    CopyMinuteAreaUsed(copies_[c].get(), static_cast<const MinuteArea*>(entry->area));
    if (engine_) hours_ = engine_->tradingHours;
    if (charts_[c]) SetMinuteChartStock(charts_[c], copies_[c].get(), &hours_);
    DrawCell(cell);
    ++replies_;
  }
  if (cells_[static_cast<size_t>(cell)].m_hWnd) ::InvalidateRect(cells_[static_cast<size_t>(cell)].m_hWnd, nullptr, FALSE);
}

void CMultiStockView::ReplaceSelectedStock(const StockKey& key) {
  if (!key.code[0] || selected_ < 0) return;
  {
    Hold hold(lock_);
    if (list_.paddedCount == 0) {
      // No list yet: one page of fillers, so the choice is shown.
      list_.entryCount = 0;
      list_.paddedCount = 9;
      pageCount_ = 1;
      page_ = 0;
      list_.entries.assign(kPageBytes, 0);
    }
    const int offset = page_ * kPageBytes + selected_ * kEntry;
    if (offset + kEntry > static_cast<int>(list_.entries.size())) return;
    selectedOffset_ = offset;
    PutEntry(&list_.entries[static_cast<size_t>(offset)], key.code, key.market);
    int& handle = handles_[static_cast<size_t>(selected_)];
    if (handle && engine_) CancelQuoteRequest(engine_, handle);
    handle = 0;
    if (charts_[static_cast<size_t>(selected_)]) ResetMinuteChart(charts_[static_cast<size_t>(selected_)]);
    DrawCell(selected_);
    if (engine_ && gate_->IsOpen())
      handle = RequestMinuteData(engine_, &CMultiStockView::OnReply, this, '0', key.code, key.market, 0, 1, -1, 0, 0,
                                 selected_);
  }
  if (cells_[static_cast<size_t>(selected_)].m_hWnd) cells_[static_cast<size_t>(selected_)].Invalidate(FALSE);
  if (m_hWnd && IsWindowVisible()) SetFocus();
}

void CMultiStockView::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  if (!cells_[0].m_hWnd) return;
  const int cw = std::max((cx - 12) / 3, 0), ch = std::max((cy - 12) / 3, 0);
  {
    Hold hold(lock_);
    int x = 4, y = 4;
    for (int cell = 0; cell < kCells; ++cell) {
      if (x + cw > cx) {
        x = 4;
        y += ch + 2;
      }
      cells_[static_cast<size_t>(cell)].MoveWindow(x, y, cw, ch, FALSE);
      x += cw + 2;
      if (charts_[static_cast<size_t>(cell)]) charts_[static_cast<size_t>(cell)]->Bounds = ChartRect{0, 0, cw, ch};
      DrawCell(cell);
    }
  }
  for (auto& cell : cells_) ::InvalidateRect(cell.m_hWnd, nullptr, FALSE);
  Select(selected_);
  Invalidate(FALSE);
}

void CMultiStockView::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  FillRectColor(dc.m_hDC, &client, 0x000000);
  if (selected_ >= 0 && !selection_.IsRectEmpty()) FillRectColor(dc.m_hDC, &selection_, 0x08306B);
}

void CMultiStockView::Select(int cell) {
  if (cell < 0 || cell >= kCells) return;
  if (m_hWnd && !selection_.IsRectEmpty()) InvalidateRect(&selection_, FALSE);
  selected_ = cell;
  if (!m_hWnd || !cells_[static_cast<size_t>(cell)].m_hWnd) return;
  CRect rc;
  cells_[static_cast<size_t>(cell)].GetWindowRect(&rc);
  ScreenToClient(&rc);
  rc.InflateRect(2, 2);
  selection_ = rc;
  InvalidateRect(&selection_, FALSE);
}

void CMultiStockView::Box(const char16_t* text) {
  // Never under the lock: a reply pushed while the box is open is handled.
  if (showBox_) {
    showBox_(text);
    return;
  }
  ::MessageBoxW(m_hWnd, text, u"提示信息", MB_OK);
}

void CMultiStockView::PageUp() {
  bool none = false;
  {
    Hold hold(lock_);
    if (page_ - 1 < 0) {
      page_ = 0;
      none = true;
    } else {
      --page_;
      ClearCharts();
      RequestPage(page_);
    }
  }
  if (none) {
    Box(u"没有上一页！");
    if (m_hWnd) SetFocus();
  }
}

void CMultiStockView::PageDown() {
  bool none = false;
  {
    Hold hold(lock_);
    if (page_ + 1 < pageCount_) {
      ++page_;
      ClearCharts();
      RequestPage(page_);
    } else {
      page_ = std::max(pageCount_ - 1, 0);
      none = true;
    }
  }
  if (none) {
    Box(u"没有下一页！");
    if (m_hWnd) SetFocus();
  }
}

void CMultiStockView::OnKeyDown(UINT key, UINT repeat, UINT flags) {
  int cell = selected_;
  switch (key) {
    case VK_PRIOR: return PageUp();
    case VK_NEXT: return PageDown();
    case VK_LEFT:
      if (--cell < 0) {
        Select(0);
        return PageUp();
      }
      break;
    case VK_UP:
      if (cell - 3 < 0) return PageUp();
      cell -= 3;
      break;
    case VK_RIGHT:
      if (++cell > 8) {
        Select(8);
        return PageDown();
      }
      break;
    case VK_DOWN:
      if (cell + 3 > 8) return PageDown();
      cell += 3;
      break;
    default:
      if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_KEY_COMMAND, 0, static_cast<LPARAM>(key));
      (void)repeat;
      (void)flags;
      return;
  }
  Select(cell);
}

int CMultiStockView::CellOf(WPARAM popView) const {
  for (int i = 0; i < kCells; ++i)
    if (popView == reinterpret_cast<WPARAM>(&cells_[static_cast<size_t>(i)])) return i;
  return -1;
}

void CMultiStockView::OnDoubleClick(int cell) {
  SetFocus();
  Select(cell);
  StockKey key{};
  std::unique_ptr<StockListPayload> payload;
  {
    Hold hold(lock_);
    const int offset = page_ * kPageBytes + cell * kEntry;
    selectedOffset_ = offset;
    if (list_.paddedCount == 0 || offset + kEntry > static_cast<int>(list_.entries.size())) return;
    const unsigned char* e = &list_.entries[static_cast<size_t>(offset)];
    if (e[6] == 0) return;
    std::memcpy(current_.code, e, 6);
    current_.code[6] = 0;
    current_.market = e[6];
    key = MakeStockKey(current_.code, current_.market, 0);
    LookUpStock(key.code, key.market, &key);
    payload = std::make_unique<StockListPayload>();
    for (int j = 0; j < kCells; ++j) {
      const int o = page_ * kPageBytes + j * kEntry;
      if (o + kEntry > static_cast<int>(list_.entries.size())) break;
      char code[7] = {};
      std::memcpy(code, &list_.entries[static_cast<size_t>(o)], 6);
      payload->keys.push_back(MakeStockKey(code, list_.entries[static_cast<size_t>(o) + 6], 0));
    }
  }
  CancelRequests();
  CWnd* parent = GetParent();
  CWnd* grandparent = parent ? parent->GetParent() : nullptr;
  if (!grandparent) return;
  PostShowStock(grandparent->m_hWnd, 515, key);
  if (StockListInfo* info = EngineStockListInfo(engine_)) {
    info->kind = kListMultiStock;
    info->currentIndex = cell;
    info->count = static_cast<int32_t>(payload->keys.size());
    PostStockList(grandparent->m_hWnd, info, std::move(payload));
  }
}

LRESULT CMultiStockView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) {
    const int cell = CellOf(wParam);
    if (cell < 0) return CWnd::WindowProc(message, wParam, lParam);
    if (message == WM_LBUTTONDOWN) {
      SetFocus();
      Select(cell);
    } else {
      OnDoubleClick(cell);
    }
    return 0;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

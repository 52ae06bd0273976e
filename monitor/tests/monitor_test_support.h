// Shared pieces of the monitor tests: hand-made sorted lists and a memory
// picture with pixel probes.
#pragma once

#include <QImage>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/draw_helpers.h"
#include "marketdata/quote_areas.h"
#include "marketdata/quote_list_decoders.h"
#include "marketdata/reply_reader.h"
#include "marketdata/sorted_list_decoders.h"
#include "platform/gdi/win_gdi.h"
#include "platform/window/win_user.h"
#include "tools/simbroker/market_data.h"
#include "tools/simbroker/market_replies.h"
#include "tools/simbroker/quote_list_replies.h"

namespace monitor_test {

// A sorted-list area over records the test owns (full form, capacity n).
struct HandList {
  std::vector<QuoteRecord> records;
  SortedQuoteListArea area{};

  explicit HandList(int n) : records(static_cast<size_t>(std::max(n, 1))) {
    std::memset(records.data(), 0, records.size() * sizeof(QuoteRecord));
    std::memset(&area, 0, sizeof area);
    area.list.records = records.data();
    area.list.capacity = n;
    area.recordCount = static_cast<uint16_t>(n);
    area.recordsHeld = n;
    for (int i = 0; i < n; ++i) {
      QuoteRecord& r = records[static_cast<size_t>(i)];
      const std::string code = std::to_string(600000 + i % 100000);
      std::memcpy(r.key.code, code.c_str(), 6);
      std::snprintf(r.key.name, sizeof r.key.name, "股票%d", i);
      r.key.decimals = 2;
      r.key.market = 1;
      r.previousClose = 10.0f;
      r.lastPrice = 10.0f;
    }
  }
  QuoteRecord& operator[](int i) { return records[static_cast<size_t>(i)]; }
};

// A memory picture of w x h, black.
struct Canvas {
  Canvas(int w, int h) : w(w), h(h) {
    EnsureGuiApplication();
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateBitmap(w, h, 1, 32, nullptr);
    old = SelectObject(dc, bitmap);
    RECT all{0, 0, w, h};
    HBRUSH black = CreateSolidBrush(0);
    FillRect(dc, &all, black);
    DeleteObject(black);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  // The pixel as 0xRRGGBB.
  uint32_t At(int x, int y) const {
    const COLORREF c = GetPixel(dc, x, y);
    return static_cast<uint32_t>(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c);
  }
  int Count(uint32_t rgb, int l, int t, int r, int b) const {
    int n = 0;
    for (int y = std::max(t, 0); y < std::min(b, h); ++y)
      for (int x = std::max(l, 0); x < std::min(r, w); ++x) n += At(x, y) == rgb;
    return n;
  }
  // Pixels within 0x40 of the colour in every channel (text is smoothed).
  int Near(uint32_t rgb, int l, int t, int r, int b) const {
    int n = 0;
    for (int y = std::max(t, 0); y < std::min(b, h); ++y)
      for (int x = std::max(l, 0); x < std::min(r, w); ++x) {
        const uint32_t p = At(x, y);
        bool close = true;
        for (int shift : {0, 8, 16})
          close = close && std::abs(int((p >> shift) & 0xFF) - int((rgb >> shift) & 0xFF)) <= 0x40;
        n += close;
      }
    return n;
  }
  std::vector<uint32_t> All() const {
    std::vector<uint32_t> v;
    v.reserve(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) v.push_back(At(x, y));
    return v;
  }
  bool Save(const std::string& path) const {
    QImage* image = GetBitmapImage(bitmap);
    return image && image->save(QString::fromStdString(path), "PNG");
  }
  int w, h;
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
};

// The program's font aliases and UI face, as at start-up.
inline void UseProgramFonts() {
  static bool done = false;
  if (done) return;
  LoadFontAliases(std::string(ORV_SOURCE_DIR) + "/res/fonts.conf");
  HDC dc = GetDC(nullptr);
  ChooseUiFontFace(dc);
  ReleaseDC(nullptr, dc);
  done = true;
}

inline std::string Utf8(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The quote fields the block lists and the star map read.
inline std::vector<int> ListFieldIds() {
  return {0, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 33, 34, 35, 37, 40, 5000, 5001};
}

// A sorted list decoded by the engine's decoder from simbroker's reply
// builder: type 40 (start, rows, sorted by field 34 descending) or 42
// (category 2, the stocks). Released with the object.
struct SimSortedList {
  SortedQuoteListArea area{};
  SimSortedList(const simbroker::MarketData& data, int type, int start, int rows) {
    std::memset(&area, 0, sizeof area);
    simbroker::JournalEntry e;
    e.kind = 2;
    e.type = type;
    e.parsed.fieldIds = ListFieldIds();
    if (type == 40) e.parsed.numbers = {0, 2, start, rows, 34, 0};
    else e.parsed.numbers = {2, start, rows, 34, 0};
    simbroker::Bytes body;
    const bool built = type == 40 ? simbroker::BuildSortedListReply(data, e, 1, &body)
                                  : simbroker::BuildCategoryListReply(data, e, 1, &body);
    if (!built) return;
    ReplyReader r(body.data(), static_cast<int>(body.size()));
    if (type == 40) DecodeSortedQuoteList(&area, &r);
    else DecodeCategoryQuoteList(&area, &r);
  }
  ~SimSortedList() { ReleaseSortedQuoteListArea(&area); }
  SimSortedList(const SimSortedList&) = delete;
  SimSortedList& operator=(const SimSortedList&) = delete;
};

// A stock list (type 32) of the given stocks decoded from simbroker's reply.
struct SimStockList {
  QuoteListArea area{};
  SimStockList(const simbroker::MarketData& data, const std::vector<std::pair<std::string, int>>& stocks) {
    std::memset(&area, 0, sizeof area);
    simbroker::JournalEntry e;
    e.kind = 2;
    e.type = 32;
    e.parsed.fieldIds = ListFieldIds();
    e.parsed.stocks = stocks;
    simbroker::Bytes body;
    if (!simbroker::BuildStockListReply(data, e, 1, &body)) return;
    ReplyReader r(body.data(), static_cast<int>(body.size()));
    DecodeStockListQuotes(&area, &r, 1);
  }
  ~SimStockList() { ReleaseQuoteListArea(&area); }
  SimStockList(const SimStockList&) = delete;
  SimStockList& operator=(const SimStockList&) = delete;
};

}  // namespace monitor_test

// Shared pieces of the board tests: views that record every text they draw
// (rectangle, text, colour, alignment) for the latest paint, a fixture on
// the test desktop with the program fonts, records decoded from simbroker's
// replies, and pixel probes.
#pragma once

#include "platform/kernel/kernel_utf.h"

#include "foundation/draw_helpers.h"
#include "marketdata/quote_areas.h"
#include "marketdata/quote_list_decoders.h"
#include "marketdata/sorted_list_decoders.h"
#include "platform/window/win_desktop.h"
#include "stockpage/price_view.h"
#include "stockpage/trust_views.h"
#include "tools/simbroker/market_data.h"
#include "tools/simbroker/market_replies.h"
#include "tools/simbroker/quote_list_replies.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace board_test {

struct TextCall {
  RECT rect;
  std::u16string text;
  uint32_t color;  // 0xRRGGBB
  int alignment;   // 0 left, 1 centred, 2 right
};

// The calls of the latest paint; the view's lock is held while they are
// made, so the log has its own.
class TextLog {
 public:
  void Start() {
    std::lock_guard<std::mutex> hold(lock_);
    building_.clear();
  }
  void Add(const RECT& r, const WCHAR* t, uint32_t c, int a) {
    std::lock_guard<std::mutex> hold(lock_);
    building_.push_back({r, t, c & 0xFFFFFF, a});
  }
  void Finish() {
    std::lock_guard<std::mutex> hold(lock_);
    last_ = building_;
  }
  std::vector<TextCall> Calls() const {
    std::lock_guard<std::mutex> hold(lock_);
    return last_;
  }

 private:
  mutable std::mutex lock_;
  std::vector<TextCall> building_;
  std::vector<TextCall> last_;
};

class RecordingPriceView : public CPriceView {
 public:
  TextLog log;

 protected:
  void Draw(HDC paintDc) override {
    log.Start();
    CPriceView::Draw(paintDc);
    log.Finish();
  }
  void DrawCellText(HDC dc, const RECT& r, const WCHAR* t, uint32_t c, int a) override {
    log.Add(r, t, c, a);
    CPriceView::DrawCellText(dc, r, t, c, a);
  }
};

class RecordingQueueView : public CTrustQueueView {
 public:
  TextLog log;
  void OnPaint() override {
    log.Start();
    CTrustQueueView::OnPaint();
    log.Finish();
  }

 protected:
  void DrawCellText(HDC dc, const RECT& r, const WCHAR* t, uint32_t c, int a) override {
    log.Add(r, t, c, a);
    CTrustQueueView::DrawCellText(dc, r, t, c, a);
  }
};

class RecordingCancelView : public CTrustCancelView {
 public:
  TextLog log;

 protected:
  void Draw(HDC dc) override {
    log.Start();
    CTrustCancelView::Draw(dc);
    log.Finish();
  }
  void DrawCellText(HDC dc, const RECT& r, const WCHAR* t, uint32_t c, int a) override {
    log.Add(r, t, c, a);
    CTrustCancelView::DrawCellText(dc, r, t, c, a);
  }
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

inline uint32_t PixelRgb(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }

// Texts found in the calls, in order.
inline std::vector<std::u16string> Texts(const std::vector<TextCall>& calls) {
  std::vector<std::u16string> out;
  for (const TextCall& c : calls) out.push_back(c.text);
  return out;
}

// The first call with the text, or null.
inline const TextCall* Find(const std::vector<TextCall>& calls, const std::u16string& text) {
  for (const TextCall& c : calls)
    if (c.text == text) return &c;
  return nullptr;
}

inline std::string Utf8(const std::u16string& s) { return WideToUtf8(s); }

// Decoded records of simbroker's replies: the fields reply of one stock
// (every order-book level, the breadth counts, closes) and the index table.
inline simbroker::JournalEntry SimRequest(int type, std::vector<int> ids) {
  simbroker::JournalEntry e;
  e.kind = 2;
  e.type = type;
  e.parsed.fieldIds = std::move(ids);
  return e;
}

inline std::vector<int> BoardFieldIds() {
  std::vector<int> ids = {0, 4, 5, 6, 7, 8, 1001, 1003};
  for (int b = 12; b <= 28; b += 4) ids.insert(ids.end(), {b, b + 1, b + 2, b + 3});
  for (int b = 400; b <= 416; b += 4) ids.insert(ids.end(), {b, b + 1, b + 2, b + 3});
  return ids;
}

inline bool DecodeSimQuote(const simbroker::MarketData& data, const char* code, int market, QuoteRecord* out) {
  simbroker::JournalEntry request = SimRequest(33, BoardFieldIds());
  request.parsed.code = code;
  request.parsed.market = market;
  simbroker::Bytes body;
  if (!simbroker::BuildStockFieldsReply(data, request, 1, &body)) return false;
  auto area = std::make_unique<StockFieldsArea>();
  ReplyReader r(body.data(), static_cast<int>(body.size()));
  DecodeStockFields(area.get(), &r, 1);
  *out = area->record;
  return r.Remaining() == 0;
}

inline bool DecodeSimIndexTable(const simbroker::MarketData& data, FieldTableArea* out) {
  simbroker::Bytes body;
  if (!simbroker::BuildFieldTableReply(data, SimRequest(43, {0, 4, 8}), 1, &body)) return false;
  ReplyReader r(body.data(), static_cast<int>(body.size()));
  DecodeFieldTable(out, &r, 1);
  return r.Remaining() == 0;
}

// The desktop and a top-level window of the view's class at (0, 0).
template <typename View>
class ViewFixture : public testing::Test {
 protected:
  std::unique_ptr<TestDesktop> desk;
  std::unique_ptr<View> view;

  void SetUp() override {
    desk = std::make_unique<TestDesktop>();
    UseProgramFonts();
    view = std::make_unique<View>();
  }
  void TearDown() override {
    if (view->m_hWnd) view->DestroyWindow();
    view.reset();
    desk.reset();
  }
  void Make(int width, int height) {
    ASSERT_TRUE(view->CreateEx(0, nullptr, u"board", WS_POPUP | WS_VISIBLE, CRect(0, 0, width, height), nullptr, 0));
    desk->RunUntilIdle();
  }
  QImage Paint() {
    view->Invalidate();
    desk->RunUntilIdle();
    return desk->Snapshot(view->m_hWnd);
  }
  std::vector<TextCall> Calls() {
    Paint();
    return view->log.Calls();
  }
  void Save(const std::string& name) {
    Paint();
    const std::string folder = std::string(ORV_BINARY_DIR) + "/stockpage_snapshots";
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(desk->SavePng(view->m_hWnd, folder + "/" + name + ".png"));
  }
};

}  // namespace board_test

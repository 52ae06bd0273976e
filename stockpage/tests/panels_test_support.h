// Shared pieces of the panel tests: a recording wrapper for any panel (the
// texts of the latest paint), hand-made areas, and pixel searches.
#pragma once

#include "stockpage/detail_views.h"
#include "stockpage/handicap_view.h"
#include "stockpage/individually_view.h"
#include "stockpage/panel_formats.h"
#include "stockpage/pie_view.h"
#include "stockpage/price_statis_view.h"
#include "stockpage/tests/board_test_support.h"

#include <cstring>
#include <memory>

namespace panel_test {

using board_test::TextCall;
using board_test::TextLog;

template <typename Panel>
class Recording : public Panel {
 public:
  TextLog log;

 protected:
  void Render(HDC dc) override {
    log.Start();
    Panel::Render(dc);
    log.Finish();
  }
  void DrawCellText(HDC dc, const RECT& r, const WCHAR* t, uint32_t c, int a) override {
    log.Add(r, t, c, a);
    Panel::DrawCellText(dc, r, t, c, a);
  }
};

// The generated pictures of the build's program folder (bitmap 147 of the
// price statistics' scroll bar).
inline void UseProgramResources() { SetResourceFolder(std::string(ORV_BINARY_DIR) + "/res/"); }

// The desktop, the program fonts and resources, and a top-level window of
// the panel's class.
template <typename View>
class PanelFixture : public board_test::ViewFixture<View> {
 protected:
  void SetUp() override {
    board_test::ViewFixture<View>::SetUp();
    UseProgramResources();
  }
};

inline bool HasColor(const QImage& img, uint32_t rgb, int x0, int y0, int x1, int y1) {
  for (int y = std::max(0, y0); y < std::min(img.height(), y1); ++y)
    for (int x = std::max(0, x0); x < std::min(img.width(), x1); ++x)
      if (board_test::PixelRgb(img, x, y) == rgb) return true;
  return false;
}

// The calls whose text is t.
inline std::vector<TextCall> All(const std::vector<TextCall>& calls, const std::u16string& t) {
  std::vector<TextCall> out;
  for (const TextCall& c : calls)
    if (c.text == t) out.push_back(c);
  return out;
}

inline StockKey Key(const char* code, const char* name, int market, int decimals = 2, int kind = 0) {
  StockKey k{};
  std::memcpy(k.code, code, std::min<size_t>(std::strlen(code), 6));
  std::memcpy(k.name, name, std::min<size_t>(std::strlen(name), 24));
  k.market = static_cast<uint8_t>(market);
  k.decimals = static_cast<uint8_t>(decimals);
  k.kind = static_cast<uint8_t>(kind);
  return k;
}

inline TickRecord Tick(float price, int64_t volume, int32_t time, uint8_t direction = 'B', int32_t count = 1) {
  TickRecord t{};
  t.price = price;
  t.volume = volume;
  t.time = time;
  t.direction = direction;
  t.field4 = count;
  return t;
}

inline TickRecord FuturesTick(float price, int64_t volume, int32_t time, uint8_t direction, int32_t open,
                              int32_t close, uint8_t nature) {
  TickRecord t = Tick(price, volume, time, direction, 0);
  t.field6 = open;
  t.field7 = close;
  t.openCloseKind = nature;
  return t;
}

// A tick area of n rows at 09:30:00 + i seconds, prices around 10.
inline std::unique_ptr<TickArea> MakeTicks(int n, float reference = 10.0f, int kind = 0) {
  auto area = std::make_unique<TickArea>();
  std::memset(area.get(), 0, sizeof(TickArea));
  area->key = Key("600000", "浦发银行", 1, 2, kind);
  area->referencePrice = reference;
  area->replyPosition = n;
  for (int i = 0; i < n && i < kTickRoom; ++i)
    area->ticks[i] = Tick(10.0f + (i % 3 - 1) * 0.01f, 100 + i, 93000 + (i / 60) * 100 + i % 60, i % 2 ? 'S' : 'B');
  area->ticksHeld = std::min(n, kTickRoom);
  return area;
}

inline std::unique_ptr<FuturesTickArea> MakeFuturesTicks(const std::vector<TickRecord>& rows,
                                                         float reference = 3500.0f) {
  auto area = std::make_unique<FuturesTickArea>();
  std::memset(area.get(), 0, sizeof(FuturesTickArea));
  area->key = Key("IF2406", "沪深主连", 3, 1);
  area->referencePrice = reference;
  area->replyPosition = static_cast<int32_t>(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) area->ticks[i] = rows[i];
  area->ticksHeld = static_cast<int32_t>(rows.size());
  return area;
}

}  // namespace panel_test

// A quote table's full repaint: 40 rows x 20 columns of Chinese and
// numeric text drawn with DrawText into a 1920x1080 memory DC and copied to
// a window, against the same table drawn straight with QPainter (the
// reference: what the layer adds on top of Qt). Reports ms per frame.
#include "platform/mfc/afx.h"
#include "platform/window/win_desktop.h"

#include <benchmark/benchmark.h>

#include <QPainter>

#include <string>
#include <vector>

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kRows = 40, kCols = 20;

std::vector<WString> CellTexts() {
  static const char16_t* names[] = {u"浦发银行", u"平安银行", u"贵州茅台", u"中国石油", u"招商银行"};
  std::vector<WString> cells;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kCols; ++c) {
      WString text;
      if (c == 0) {
        text = u"600000";
        text[3] = static_cast<char16_t>(u'0' + r % 10);
      } else if (c == 1) {
        text = names[r % 5];
      } else {
        text = u"10.20%";
        text[1] = static_cast<char16_t>(u'0' + (r + c) % 10);
        text[4] = static_cast<char16_t>(u'0' + c % 10);
      }
      cells.push_back(text);
    }
  }
  return cells;
}

class Table : public CWnd {
 public:
  void OnPaint() override {
    CPaintDC dc(this);
    dc.BitBlt(0, 0, kWidth, kHeight, &mem, 0, 0, SRCCOPY);
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void Draw(const std::vector<WString>& cells) {
    CRect all(0, 0, kWidth, kHeight);
    mem.FillSolidRect(&all, RGB(0, 0, 0));
    mem.SetBkMode(TRANSPARENT);
    int rowH = kHeight / kRows, colW = kWidth / kCols;
    for (int r = 0; r < kRows; ++r) {
      for (int c = 0; c < kCols; ++c) {
        CRect cell(c * colW, r * rowH, (c + 1) * colW, (r + 1) * rowH);
        mem.SetTextColor((r + c) % 3 ? RGB(255, 60, 60) : RGB(60, 255, 60));
        mem.DrawText(cells[r * kCols + c], &cell, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
      }
    }
  }
  CDC mem;
  CBitmap bmp;
  CFont font;
};

void BM_DrawTextTableRepaint(benchmark::State& state) {
  TestDesktop desktop;
  Table table;
  table.CreateEx(0, nullptr, u"bench", WS_POPUP | WS_VISIBLE, CRect(0, 0, kWidth, kHeight), nullptr, 0);
  CClientDC screen(&table);
  table.mem.CreateCompatibleDC(&screen);
  table.bmp.CreateCompatibleBitmap(&screen, kWidth, kHeight);
  table.mem.SelectObject(&table.bmp);
  table.font.CreateFont(-16, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, CLEARTYPE_QUALITY, 32, u"微软雅黑");
  table.mem.SelectObject(&table.font);
  std::vector<WString> cells = CellTexts();
  for (auto _ : state) {
    table.Draw(cells);
    table.Invalidate(FALSE);
    table.UpdateWindow();
  }
  table.mem.SelectObject(CFont::FromHandle(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))));
}
BENCHMARK(BM_DrawTextTableRepaint)->Unit(benchmark::kMillisecond);

void BM_ReferenceQPainterTable(benchmark::State& state) {
  EnsureGuiApplication();
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  QImage window(kWidth, kHeight, QImage::Format_RGB32);
  QFont font;
  font.setFamilies({QStringLiteral("WenQuanYi Micro Hei")});
  font.setPixelSize(16);
  std::vector<QString> cells;
  for (const WString& s : CellTexts()) cells.push_back(QString::fromStdU16String(s));
  int rowH = kHeight / kRows, colW = kWidth / kCols;
  for (auto _ : state) {
    QPainter p(&image);
    p.fillRect(image.rect(), Qt::black);
    p.setFont(font);
    for (int r = 0; r < kRows; ++r) {
      for (int c = 0; c < kCols; ++c) {
        p.setPen((r + c) % 3 ? QColor(255, 60, 60) : QColor(60, 255, 60));
        p.drawText(QRect(c * colW, r * rowH, colW, rowH), Qt::AlignRight | Qt::AlignVCenter, cells[r * kCols + c]);
      }
    }
    p.end();
    QPainter w(&window);
    w.drawImage(0, 0, image);
  }
}
BENCHMARK(BM_ReferenceQPainterTable)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

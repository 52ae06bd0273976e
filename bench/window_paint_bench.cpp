// A quote table's full repaint: 40 rows x 20 columns of Chinese and
// numeric text drawn with DrawText into a 1920x1080 memory DC and copied to
// a window, against the same table drawn straight with QPainter (the
// reference: what the layer adds on top of Qt). Reports ms per frame, then
// the ratio to the reference and, for a 675-cell grid painted through a
// memory DC and blitted, the spread of frame times (p99 against p50), each
// beside its goal.
#include "platform/mfc/afx.h"
#include "platform/window/win_desktop.h"

#include <benchmark/benchmark.h>

#include <QPainter>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
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

// Milliseconds per call of fn, the median of rounds of reps calls.
double MedianMs(int rounds, int reps, const std::function<void()>& fn) {
  std::vector<double> t;
  for (int r = 0; r < rounds; ++r) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < reps; ++i) fn();
    t.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / reps);
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

// The two repaints of the benchmarks above, timed side by side.
void ReportTableRatio() {
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
  double ours = MedianMs(15, 10, [&] {
    table.Draw(cells);
    table.Invalidate(FALSE);
    table.UpdateWindow();
  });
  table.mem.SelectObject(CFont::FromHandle(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))));

  QImage image(kWidth, kHeight, QImage::Format_RGB32), window(kWidth, kHeight, QImage::Format_RGB32);
  QFont font;
  font.setFamilies({QStringLiteral("WenQuanYi Micro Hei")});
  font.setPixelSize(16);
  std::vector<QString> texts;
  for (const WString& s : cells) texts.push_back(QString::fromStdU16String(s));
  int rowH = kHeight / kRows, colW = kWidth / kCols;
  double reference = MedianMs(15, 10, [&] {
    QPainter p(&image);
    p.fillRect(image.rect(), Qt::black);
    p.setFont(font);
    for (int r = 0; r < kRows; ++r)
      for (int c = 0; c < kCols; ++c) {
        p.setPen((r + c) % 3 ? QColor(255, 60, 60) : QColor(60, 255, 60));
        p.drawText(QRect(c * colW, r * rowH, colW, rowH), Qt::AlignRight | Qt::AlignVCenter, texts[r * kCols + c]);
      }
    p.end();
    QPainter w(&window);
    w.drawImage(0, 0, image);
  });
  std::printf("DrawText table repaint 1920x1080: %.2f ms, QPainter %.2f ms: %.2fx (goal <= 1.2x)\n", ours,
              reference, ours / reference);
}

// A 1920x1080 grid of 675 cells (27 rows x 25 columns): lines and texts
// drawn through a memory DC, then blitted to the window, frame by frame.
class Grid : public CWnd {
 public:
  static constexpr int kGridRows = 27, kGridCols = 25;
  void OnPaint() override {
    CPaintDC dc(this);
    dc.BitBlt(0, 0, kWidth, kHeight, &mem, 0, 0, SRCCOPY);
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void Draw(int frame) {
    CRect all(0, 0, kWidth, kHeight);
    mem.FillSolidRect(&all, RGB(0, 0, 0));
    mem.SetBkMode(TRANSPARENT);
    int rowH = kHeight / kGridRows, colW = kWidth / kGridCols;
    CPen grid(PS_SOLID, 1, RGB(60, 0, 0));
    CPen* old = mem.SelectObject(&grid);
    for (int r = 0; r <= kGridRows; ++r) {
      mem.MoveTo(0, r * rowH);
      mem.LineTo(kWidth, r * rowH);
    }
    mem.SelectObject(old);
    WCHAR text[16];
    for (int r = 0; r < kGridRows; ++r)
      for (int c = 0; c < kGridCols; ++c) {
        int v = (r * 131 + c * 17 + frame) % 2000;
        int n = 0;
        text[n++] = static_cast<WCHAR>(u'0' + v / 100 % 10);
        text[n++] = static_cast<WCHAR>(u'0' + v / 10 % 10);
        text[n++] = u'.';
        text[n++] = static_cast<WCHAR>(u'0' + v % 10);
        text[n] = 0;
        CRect cell(c * colW, r * rowH, (c + 1) * colW - 4, (r + 1) * rowH);
        mem.SetTextColor(v % 3 ? RGB(255, 60, 60) : RGB(60, 255, 60));
        mem.DrawText(text, -1, &cell, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
      }
  }
  CDC mem;
  CBitmap bmp;
  CFont font;
};

void ReportGridSpread() {
  TestDesktop desktop;
  Grid grid;
  grid.CreateEx(0, nullptr, u"grid", WS_POPUP | WS_VISIBLE, CRect(0, 0, kWidth, kHeight), nullptr, 0);
  CClientDC screen(&grid);
  grid.mem.CreateCompatibleDC(&screen);
  grid.bmp.CreateCompatibleBitmap(&screen, kWidth, kHeight);
  grid.mem.SelectObject(&grid.bmp);
  grid.font.CreateFont(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, CLEARTYPE_QUALITY, 32, u"宋体");
  grid.mem.SelectObject(&grid.font);
  // Each frame's time on this thread's CPU clock (page faults included,
  // other programs of a shared machine not), and on the wall clock.
  auto cpuMs = [] {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
  };
  std::vector<double> cpu, wall;
  for (int f = 0; f < 400; ++f) {
    auto start = std::chrono::steady_clock::now();
    double c0 = cpuMs();
    grid.Draw(f);
    grid.Invalidate(FALSE);
    grid.UpdateWindow();
    cpu.push_back(cpuMs() - c0);
    wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  for (auto* v : {&cpu, &wall}) {
    v->erase(v->begin(), v->begin() + 20);  // warming up
    std::sort(v->begin(), v->end());
  }
  auto p = [](const std::vector<double>& v, int pct) { return v[v.size() * static_cast<size_t>(pct) / 100]; };
  std::printf("675-cell grid through a memory DC and blitted, CPU time: p50 %.2f ms, p99 %.2f ms: %.2fx (goal <= 1.5x)\n",
              p(cpu, 50), p(cpu, 99), p(cpu, 99) / p(cpu, 50));
  std::printf("  (wall clock on this machine: p50 %.2f ms, p99 %.2f ms)\n", p(wall, 50), p(wall, 99));
  grid.mem.SelectObject(CFont::FromHandle(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))));
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ReportTableRatio();
  ReportGridSpread();
  return 0;
}

// The grid's full repaint of a 1920 x 1080 quote table (40 columns of 48 px,
// 50 data rows of 26 px under a 26-px header) and a refill with 200 changed
// cells drawn with their highlights, against two references in the same
// run: a plain fill of the same surface and the same texts (font, colours,
// positions, ellipsis cuts) drawn with one QPainter into a QImage. After the
// runs, prints each time with its ratios and the goal for the full repaint.
#include "controls/grid_ctrl.h"
#include "controls/tests/resource_fixture.h"
#include "foundation/draw_helpers.h"
#include "platform/window/win_desktop.h"

#include <benchmark/benchmark.h>

#include <QFontMetrics>
#include <QPainter>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kColumns = 40, kColumnWidth = 48, kRows = 50, kRowHeight = 26;
constexpr UINT kNameFormat = 0x8026, kNumberFormat = 0x26;
constexpr COLORREF kColours[] = {RGB(255, 60, 60), RGB(0, 230, 0), RGB(255, 255, 255), RGB(255, 255, 0)};

struct Cell {
  WString text;
  COLORREF colour;
  UINT format;
};

// Column 0 row number, 1 Chinese name, 2 code, the rest numbers; variant
// changes the numbers of 200 cells (5 numeric columns of 40 rows).
std::vector<Cell> Matrix(int variant) {
  static const char16_t* names[] = {u"浦发银行", u"平安银行", u"贵州茅台", u"中国石油", u"招商银行", u"万科Ａ"};
  std::vector<Cell> cells;
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kColumns; ++c) {
      Cell cell{u"", kColours[(r + c) % 4], kNumberFormat};
      if (c == 0) {
        cell.text = std::u16string(1, u'1' + r % 9);
      } else if (c == 1) {
        cell.text = names[r % 6];
        cell.format = kNameFormat;
      } else if (c == 2) {
        cell.text = u"600" + std::u16string(1, u'0' + r / 10) + std::u16string(1, u'0' + r % 10) + u"0";
      } else {
        const bool changed = variant && c >= 3 && c < 8 && r < 40;
        int value = 1000 + r * 37 + c * 11 + (changed ? 1 : 0);
        cell.text = std::u16string(1, u'0' + value / 1000 % 10) + std::u16string(1, u'0' + value / 100 % 10) + u"." +
                    std::u16string(1, u'0' + value / 10 % 10) + std::u16string(1, u'0' + value % 10);
      }
      cells.push_back(cell);
    }
  return cells;
}

void Fill(CGridCtrl& grid, const std::vector<Cell>& cells) {
  grid.SetRowCount(kRows + 1);
  grid.SetColumnCount(kColumns);
  for (int c = 0; c < kColumns; ++c) {
    grid.SetCell(0, c, u"列", RGB(200, 200, 200), 0x25, 0);
    grid.SetColumnWidth(c, kColumnWidth);
    grid.SetColumnFlash(c, c >= 3);
  }
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kColumns; ++c) {
      const Cell& cell = cells[static_cast<size_t>(r * kColumns + c)];
      grid.SetCell(r + 1, c, cell.text.c_str(), cell.colour, cell.format, 0);
    }
  grid.SetKeyColumn(2);
}

// A top-level parent with the grid filling it, on the test desktop.
struct GridWindow {
  TestDesktop desktop;
  CWnd parent;
  CGridCtrl* grid = nullptr;
  GridWindow() {
    orvtest::UseProgramFonts();
    parent.CreateEx(0, nullptr, u"bench", WS_POPUP | WS_VISIBLE, CRect(0, 0, kWidth, kHeight), nullptr, 0);
    grid = new CGridCtrl;
    grid->SetRowColors(RGB(0, 0, 0), RGB(16, 16, 24));
    grid->SetHeaderBkColor(RGB(40, 40, 48));
    grid->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, kWidth, kHeight), &parent, 1);
    desktop.RunUntilIdle();
  }
  ~GridWindow() {
    grid->DestroyWindow();
    delete grid;
    parent.DestroyWindow();
  }
  void Repaint() {
    grid->Invalidate();
    grid->UpdateWindow();
  }
};

void BM_GridFullRepaint(benchmark::State& state) {
  GridWindow w;
  Fill(*w.grid, Matrix(0));
  for (auto _ : state) w.Repaint();
}
BENCHMARK(BM_GridFullRepaint)->Unit(benchmark::kMillisecond);

void BM_GridFlashUpdate(benchmark::State& state) {
  GridWindow w;
  w.grid->EnableChangeFlash(1);
  const std::vector<Cell> matrices[] = {Matrix(0), Matrix(1)};
  Fill(*w.grid, matrices[0]);
  int next = 1;
  for (auto _ : state) {
    Fill(*w.grid, matrices[next]);  // 200 numeric cells differ from the last fill
    next ^= 1;
    w.Repaint();
  }
}
BENCHMARK(BM_GridFlashUpdate)->Unit(benchmark::kMillisecond);

void BM_ReferencePlainFill(benchmark::State& state) {
  GridWindow w;
  HDC screen = ::GetDC(w.grid->m_hWnd);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, kWidth, kHeight);
  ::ReleaseDC(w.grid->m_hWnd, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  CDC* cdc = CDC::FromHandle(dc);
  const CRect all(0, 0, kWidth, kHeight);
  for (auto _ : state) {
    cdc->FillSolidRect(&all, RGB(0, 0, 0));
    benchmark::DoNotOptimize(GetPixel(dc, 1, 1));
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
}
BENCHMARK(BM_ReferencePlainFill)->Unit(benchmark::kMillisecond);

// The same bands and texts with one QPainter, in the grid's font size.
void BM_ReferenceQPainter(benchmark::State& state) {
  orvtest::UseProgramFonts();
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = CreateUiFont(GetUiFontFace(), 16);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
  QFont qfont(QStringLiteral("WenQuanYi Micro Hei"));
  qfont.setPixelSize(tm.tmHeight - tm.tmInternalLeading);
  const QFontMetrics metrics(qfont);
  struct Text {
    QString text;
    QColor colour;
    QRect rect;
  };
  std::vector<Text> texts;
  const std::vector<Cell> cells = Matrix(0);
  const int visibleRows = (kHeight - kRowHeight + kRowHeight - 1) / kRowHeight;
  for (int c = 0; c < kColumns; ++c) texts.push_back({QStringLiteral("列"), QColor(200, 200, 200),
                                                       QRect(c * kColumnWidth, 0, kColumnWidth, kRowHeight)});
  for (int r = 0; r < std::min(kRows, visibleRows); ++r)
    for (int c = 0; c < kColumns; ++c) {
      const Cell& cell = cells[static_cast<size_t>(r * kColumns + c)];
      QString text = QString::fromStdU16String(cell.text);
      if (cell.format == kNameFormat) text = metrics.elidedText(text, Qt::ElideRight, kColumnWidth);
      texts.push_back({text, QColor(GetRValue(cell.colour), GetGValue(cell.colour), GetBValue(cell.colour)),
                       QRect(c * kColumnWidth, kRowHeight * (r + 1), kColumnWidth, kRowHeight)});
    }
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&image);
    p.fillRect(0, 0, kWidth, kRowHeight, QColor(40, 40, 48));
    for (int r = 0; r * kRowHeight + kRowHeight < kHeight; ++r)
      p.fillRect(0, kRowHeight * (r + 1), kWidth, kRowHeight, r % 2 ? QColor(0, 0, 0) : QColor(16, 16, 24));
    p.setFont(qfont);
    for (const Text& t : texts) {
      p.setPen(t.colour);
      p.drawText(t.rect, Qt::AlignRight | Qt::AlignVCenter, t.text);
    }
    p.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_ReferenceQPainter)->Unit(benchmark::kMillisecond);

// Console output as usual, and the time of every run kept by name.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  double Ms(const std::string& name) const {
    auto it = times_.find(name);
    return it == times_.end() ? 0 : it->second;
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double fill = reporter.Ms("BM_ReferencePlainFill");
  const double painter = reporter.Ms("BM_ReferenceQPainter");
  std::printf("\n%-24s %9s %12s %12s\n", "run", "ms", "/plain fill", "/QPainter");
  for (const char* name : {"BM_GridFullRepaint", "BM_GridFlashUpdate", "BM_ReferencePlainFill", "BM_ReferenceQPainter"}) {
    const double ms = reporter.Ms(name);
    if (ms <= 0) continue;
    std::printf("%-24s %9.3f %12.2f %12.2f\n", name, ms, fill > 0 ? ms / fill : 0, painter > 0 ? ms / painter : 0);
  }
  const double full = reporter.Ms("BM_GridFullRepaint");
  if (full > 0 && painter > 0)
    std::printf("goal: full repaint <= 1.5x the QPainter reference; measured %.2fx\n", full / painter);
  benchmark::Shutdown();
  return 0;
}

// LoadGifFrames against Qt's GIF reader on the same 400 x 300 animation of
// 20 frames (full-screen frames, so both do the same work). Prints each
// one's time per file and the ratio.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <chrono>
#include <cstdio>

#include "controls/gif_decoder.h"
#include "tools/skins/gif_test_writer.h"

namespace {

using giftest::Bytes;
using giftest::GifWriter;
using giftest::Palette;
using giftest::Pixels;

const Bytes& Animation() {
  static const Bytes bytes = [] {
    const int w = 400, h = 300;
    Palette palette;
    for (int k = 0; k < 256; ++k) palette.push_back(static_cast<std::uint32_t>(k * 0x010203 & 0xFFFFFF));
    GifWriter writer;
    writer.Header(w, h, palette);
    unsigned seed = 1;
    for (int f = 0; f < 20; ++f) {
      Pixels pixels(static_cast<size_t>(w) * h);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          seed = seed * 1103515245 + 12345;
          // Bands that move from frame to frame, with a little noise.
          int v = ((x + f * 9) / 12 + (y / 10)) * 5 + ((seed >> 16) % 8 == 0 ? (seed >> 20) % 6 : 0);
          pixels[static_cast<size_t>(y) * w + x] = static_cast<std::uint8_t>(v);
        }
      writer.Control(8).Image(0, 0, w, h, pixels);
    }
    return writer.Trailer().bytes;
  }();
  return bytes;
}

double g_oursMs = 0;
double g_qtMs = 0;

double MsPerIteration(std::chrono::steady_clock::time_point start, benchmark::State& state) {
  std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count() / static_cast<double>(state.iterations());
}

void BM_LoadGifFrames(benchmark::State& state) {
  const Bytes& gif = Animation();
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    HGLOBAL block = LoadGifFramesFromMemory(gif.data(), gif.size());
    if (!block) state.SkipWithError("decoding failed");
    GlobalFree(block);
  }
  g_oursMs = MsPerIteration(start, state);
}
BENCHMARK(BM_LoadGifFrames)->Unit(benchmark::kMillisecond);

void BM_QtImageReader(benchmark::State& state) {
  const Bytes& gif = Animation();
  QByteArray data(gif.data(), static_cast<qsizetype>(gif.size()));
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    int frames = 0;
    for (QImage image = reader.read(); !image.isNull(); image = reader.read()) ++frames;
    if (frames != 20) state.SkipWithError("Qt read a different frame count");
  }
  g_qtMs = MsPerIteration(start, state);
}
BENCHMARK(BM_QtImageReader)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_oursMs > 0 && g_qtMs > 0) {
    std::printf("GIF 400x300x20 (%zu bytes): LoadGifFrames %.2f ms, Qt %.2f ms, ratio %.2f (goal <= 1.0)\n",
                Animation().size(), g_oursMs, g_qtMs, g_oursMs / g_qtMs);
  }
  return 0;
}

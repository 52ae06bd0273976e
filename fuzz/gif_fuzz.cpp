// Feeds arbitrary bytes to the GIF decoder. Whatever the input, it must not
// crash, and a block it returns must be self-consistent: the size field is
// the block's size and every frame's data lies inside it.
#include <cstdint>
#include <cstdlib>

#include "controls/gif_decoder.h"
#include "platform/kernel/debug_sink.h"

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void CheckBlock(HGLOBAL block) {
  const std::size_t size = GlobalSize(block);
  const auto* b = static_cast<const std::uint8_t*>(GlobalLock(block));
  if (!b || size < 20 || Le32(b) != size) std::abort();
  const std::uint32_t n = b[4] | b[5] << 8;
  const std::uint64_t width = Le32(b + 8);
  const std::uint64_t height = Le32(b + 12);
  const std::uint64_t picture = ((width * 8 + 31) / 32) * 4 * height;
  if (n == 0 || 20 + 28ull * n > size) std::abort();
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint8_t* header = b + 20 + 8 * n + 20 * i;
    const std::uint64_t data = Le32(header + 16) + (header[10] ? 1024 : 0);
    if (data + picture > size) std::abort();
  }
  GlobalUnlock(block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  DebugCapture quiet;  // the decoder's traces, dropped with each input
  HGLOBAL block = LoadGifFramesFromMemory(data, size);
  if (block) {
    CheckBlock(block);
    GlobalFree(block);
  }
  return 0;
}

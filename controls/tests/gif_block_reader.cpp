#include "controls/tests/gif_block_reader.h"

#include <gtest/gtest.h>

#include <cstring>

namespace giftest {

std::uint32_t Le32(const std::string& bytes, size_t at) {
  if (at + 4 > bytes.size()) {
    ADD_FAILURE() << "read of 4 bytes at " << at << " past the block's " << bytes.size();
    return 0;
  }
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t Le16(const std::string& bytes, size_t at) {
  if (at + 2 > bytes.size()) {
    ADD_FAILURE() << "read of 2 bytes at " << at << " past the block's " << bytes.size();
    return 0;
  }
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

Block ReadAndFreeBlock(HGLOBAL handle) {
  Block block;
  if (!handle) {
    ADD_FAILURE() << "no block";
    return block;
  }
  const size_t size = GlobalSize(handle);
  const void* data = GlobalLock(handle);
  block.bytes.assign(static_cast<const char*>(data), size);
  GlobalUnlock(handle);
  EXPECT_EQ(GlobalFree(handle), nullptr);

  const std::string& b = block.bytes;
  block.sizeField = Le32(b, 0);
  block.count = Le16(b, 4);
  block.headerCount = Le16(b, 6);
  block.width = Le32(b, 8);
  block.height = Le32(b, 12);
  EXPECT_EQ(Le16(b, 16), 0);
  EXPECT_EQ(Le16(b, 18), 8);
  block.stride = ((block.width * 8 + 31) / 32) * 4;
  const size_t n = block.count;
  const size_t pictureBytes = static_cast<size_t>(block.stride) * block.height;
  const size_t globalPalette = 20 + 28 * n;
  for (size_t i = 0; i < n; ++i) {
    BlockFrame f;
    f.number = Le32(b, 20 + 8 * i);
    f.timeMs = Le32(b, 24 + 8 * i);
    const size_t h = 20 + 8 * n + 20 * i;
    f.width = Le32(b, h);
    f.height = Le32(b, h + 4);
    f.bits = Le16(b, h + 8);
    f.localPalette = Le16(b, h + 10);
    EXPECT_EQ(Le16(b, h + 12), 0);
    EXPECT_EQ(Le16(b, h + 14), 0);
    f.offset = Le32(b, h + 16);
    const size_t paletteAt = f.localPalette ? f.offset : globalPalette;
    const size_t rowsAt = f.localPalette ? f.offset + 1024 : f.offset;
    if (paletteAt + 1024 > b.size() || rowsAt + pictureBytes > b.size()) {
      ADD_FAILURE() << "frame " << i << " lies outside the block";
      continue;
    }
    for (size_t k = 0; k < 256; ++k) f.palette.push_back(Le32(b, paletteAt + 4 * k));
    f.rows.assign(b.begin() + static_cast<long>(rowsAt), b.begin() + static_cast<long>(rowsAt + pictureBytes));
    block.frames.push_back(std::move(f));
  }
  return block;
}

std::uint8_t Block::Index(size_t frame, int x, int y) const {
  return frames.at(frame).rows.at(static_cast<size_t>(height - 1 - y) * stride + x);
}

QImage Block::ToImage(size_t frame) const {
  QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
  for (int y = 0; y < static_cast<int>(height); ++y)
    for (int x = 0; x < static_cast<int>(width); ++x)
      image.setPixel(x, y, 0xFF000000u | frames.at(frame).palette.at(Index(frame, x, y)));
  return image;
}

}  // namespace giftest

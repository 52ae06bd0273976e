// Reads a GifFrameBlock back for the tests, every field by its offset, and
// turns frames into RGB pictures to compare with Qt's GIF reader.
#pragma once

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/kernel/kernel_global_memory.h"

namespace giftest {

struct BlockFrame {
  std::uint32_t number = 0;   // frame table: frame number
  std::uint32_t timeMs = 0;   // frame table: display time
  std::uint32_t width = 0;    // header fields
  std::uint32_t height = 0;
  std::uint16_t bits = 0;
  std::uint16_t localPalette = 0;
  std::uint32_t offset = 0;
  std::vector<std::uint32_t> palette;  // the 256 entries in force (B | G << 8 | R << 16)
  std::vector<std::uint8_t> rows;      // H rows of stride bytes, bottom row first
};

struct Block {
  std::string bytes;          // the whole block
  std::uint32_t sizeField = 0;
  std::uint16_t count = 0;
  std::uint16_t headerCount = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t stride = 0;
  std::vector<BlockFrame> frames;

  // The palette index of screen pixel (x, y), y from the top.
  std::uint8_t Index(size_t frame, int x, int y) const;
  // The frame as an RGB32 picture, top row first.
  QImage ToImage(size_t frame) const;
};

// Copies and parses the block (checking that every offset lies inside it,
// with ADD_FAILURE on a violation), then frees the handle.
Block ReadAndFreeBlock(HGLOBAL handle);

std::uint32_t Le32(const std::string& bytes, size_t at);
std::uint16_t Le16(const std::string& bytes, size_t at);

}  // namespace giftest

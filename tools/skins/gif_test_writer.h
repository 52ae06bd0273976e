// A GIF writer for the tests: builds files block by block, with a plain LZW
// encoder for pictures and a code packer for hand-made code streams (to
// reach the table's edge cases exactly).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace giftest {

using Bytes = std::string;
using Pixels = std::vector<std::uint8_t>;
using Palette = std::vector<std::uint32_t>;  // 0xRRGGBB, a power of two entries (2 to 256)

// LZW codes for the pixels (clear first, a clear whenever the table is full,
// the end code last).
std::vector<int> EncodeLzw(const Pixels& pixels, int minCodeSize);

// Packs codes least-significant bit first at the widths a decoder reads them
// (growing with the table, back to minCodeSize + 1 after a clear).
Bytes PackCodes(const std::vector<int>& codes, int minCodeSize);

// Cuts data into sub-blocks of at most blockSize bytes; no terminator.
Bytes SubBlocks(const Bytes& data, int blockSize = 255);

// The image data of a frame: minimum code size byte, sub-blocks, terminator.
Bytes ImageData(const Pixels& pixels, int minCodeSize);

// Reorders natural rows into interlace order (what an encoder stores).
Pixels InterlaceRows(const Pixels& pixels, int width, int height);

struct GifWriter {
  Bytes bytes;

  // Signature, version, logical screen and the global table (none when
  // empty). Table sizes must be powers of two.
  GifWriter& Header(int width, int height, const Palette& global, const char* version = "89a");
  // A graphic control extension.
  GifWriter& Control(int delay, bool transparent = false, int transparentIndex = 0, int disposal = 0);
  // An image descriptor (with an optional local table) without its data.
  GifWriter& Descriptor(int left, int top, int width, int height, const Palette& local = {},
                        bool interlaced = false);
  // A whole image: descriptor and LZW data of pixels (natural row order;
  // stored interlaced when asked). minCodeSize 0: the smallest that fits the
  // largest pixel value.
  GifWriter& Image(int left, int top, int width, int height, const Pixels& pixels,
                   const Palette& local = {}, bool interlaced = false, int minCodeSize = 0);
  GifWriter& Comment(const std::string& text);
  GifWriter& Raw(const Bytes& raw);
  GifWriter& Trailer();
};

// The smallest minimum code size (at least 2) for indexes below colours.
int MinCodeSizeFor(int colours);

}  // namespace giftest

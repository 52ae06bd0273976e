// The GIF decoder: turns a GIF87a/GIF89a file into one GifFrameBlock, a
// movable global memory block holding every frame composed to the full
// logical screen as a bottom-up 8-bit palette picture, with its display time.
// The animated GIF control loads the block once and only looks frames up in
// it afterwards.
//
// GifFrameBlock layout (little-endian; n frames, W x H logical screen,
// stride = ((W * 8 + 31) / 32) * 4):
//   0   u32  total size of the block in bytes
//   4   u16  n (entries of the frame table)
//   6   u16  n (frame headers)
//   8   u32  W
//   12  u32  H
//   16  u16  0
//   18  u16  8 (bits per pixel)
//   20       frame table, n x { u32 frame number i + 1, u32 display time ms }
//   20+8n    frame headers, n x { u32 W, u32 H, u16 8, u16 local-palette flag,
//            u16 0, u16 0, u32 offset of the frame's data from the block start }
//   20+28n   the global palette (1024 bytes), present when the file has a
//            global colour table, or when it has none and some frame has no
//            local one (then a fixed greyscale palette, entry k = grey k)
//   then per frame: its local palette (1024 bytes, when it has one), then H
//            rows of stride bytes, bottom row first, one palette index a pixel.
// A palette is 256 entries of blue | green << 8 | red << 16; entries beyond
// the colour table's own stay zero. A header's offset points at the local
// palette when the frame has one, else at its picture.
//
// Decoding: the block structure is scanned once to count the frames, then
// read frame by frame. Each image is LZW-decoded (4,096-entry table, codes
// of up to 12 bits, no deferred clear), de-interlaced, and drawn over the
// previous composed frame; the first frame and every frame that covers the
// whole screen start from zero. Transparent pixels keep the byte underneath
// only when there is a previous picture. No disposal method is honoured and
// the background colour is never painted.
//
// Limits beyond the format: parts of a frame outside the logical screen are
// clipped; an LZW minimum code size of 0 or above 8 is refused; the block and
// every frame's pixel buffer are capped at kGifMaxBytes and the frame count
// at kGifMaxFrames. All state is per call: loads may run on several threads
// at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/kernel/kernel_global_memory.h"
#include "platform/kernel/win_types.h"

// Largest block, and largest frame pixel buffer, that a load will allocate.
constexpr std::uint64_t kGifMaxBytes = 128u << 20;
// Most frames a block can hold (its frame count fields are 16 bits).
constexpr std::uint32_t kGifMaxFrames = 0xFFFF;

// Loads every frame of the GIF file at path (UTF-16, `\` or `/` separators)
// into a new GifFrameBlock. Returns its handle, or null on any failure
// (missing or unreadable file, wrong signature or version, an unknown block
// or extension label, no frame, a frame that cannot be read or decoded, a
// limit exceeded, memory exhausted); no partial block is ever returned. The
// caller owns the handle and frees it with GlobalFree.
HGLOBAL LoadGifFrames(const WCHAR* path);

// As LoadGifFrames, over a GIF file's bytes in memory (size bytes at data,
// read only during the call).
HGLOBAL LoadGifFramesFromMemory(const void* data, std::size_t size);

// The graphic-control state: the values of the last graphic control
// extension read. `present` is set by the extension and cleared once a frame
// has taken the values; the other five carry over to the following frames.
struct GifGraphicControl {
  int present = 0;           // an extension was read since the last frame
  int disposal = 0;          // disposal method (bits 2-4), not used
  int userInput = 0;         // user-input flag, not used
  int transparency = 0;      // the transparent index is in force
  unsigned delay = 0;        // display time in hundredths of a second
  int transparentIndex = 0;  // palette index that is not drawn
};

// The logical screen of the file.
struct GifScreen {
  std::uint16_t width = 0;               // size of every output picture
  std::uint16_t height = 0;
  int globalTableFlag = 0;               // the file has a global colour table
  int colourResolution = 0;              // 1 to 8, not used
  int sortFlag = 0;                      // not used
  int globalTableSize = 0;               // entries (2 to 256), set only with the flag
  std::uint8_t backgroundIndex = 0;      // not used
  std::uint8_t aspect = 0;               // not used
  const std::uint8_t* globalTable = nullptr;  // RGB triples, null without a table
};

// One frame as read from the file; rebuilt by every GifDecoder::NextFrame.
struct GifFrame {
  std::uint16_t left = 0;                // position and size in screen pixels
  std::uint16_t top = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  int localTableFlag = 0;                // the frame has its own colour table
  int interlaceFlag = 0;                 // rows are stored in interlace order
  int sortFlag = 0;                      // not used
  int tableSize = 0;                     // entries of the colour table, 2 to 256
  std::unique_ptr<std::uint8_t[]> colourTable;  // 3 x tableSize bytes, filled with the local flag
  std::unique_ptr<std::uint8_t[]> pixels;       // width x height indexes, top row first
  GifGraphicControl control;             // graphic-control values in force for this frame
};

// The reading context for one file: open, scan, frames in file order, close.
// Reads a file or, for LoadGifFramesFromMemory, bytes in memory.
class GifDecoder {
 public:
  GifDecoder();
  ~GifDecoder();
  GifDecoder(const GifDecoder&) = delete;
  GifDecoder& operator=(const GifDecoder&) = delete;

  // Opens the file (UTF-8 path) in binary mode, reads the header, the
  // logical screen and the global colour table, remembers where the data
  // starts and counts the frames. Returns true when it has at least one
  // frame; on failure the file is closed and failed() is set.
  bool Open(const std::string& path);
  // As Open over size bytes at data, which must stay valid until Close.
  bool OpenMemory(const void* data, std::size_t size);

  // Counts the image descriptors from the data start (0 on a block structure
  // error), then returns to the data start. Also records whether some frame
  // lacks a local colour table.
  std::uint32_t CountFrames();

  // Reads the next frame in file order, decoding its image. Returns the
  // decoder's frame (valid until the next call or Close), or null on an
  // error. The previous frame's table and pixels are released first.
  GifFrame* NextFrame();

  // Reads the LZW data of one image (the minimum code size byte and the
  // sub-blocks) into frame->pixels. Returns false on failure, with the
  // frame's pixels released. Data that ends before the end code or before
  // every pixel is produced is not a failure: unreached pixels stay 0.
  bool DecodeImage(GifFrame* frame);

  // Releases the current frame's buffers and closes the input; a second
  // call does nothing.
  void Close();

  const GifScreen& screen() const { return screen_; }
  std::uint32_t frameCount() const { return frameCount_; }
  bool someFrameWithoutLocalTable() const { return frameWithoutLocalTable_ != 0; }
  std::uint32_t framesWithoutLocalTable() const { return frameWithoutLocalTable_; }
  bool failed() const { return failed_ != 0; }

 private:
  bool ReadHeader();
  int ReadByte();                                   // 0-255, or -1 at the end or on an error
  bool ReadBytes(std::uint8_t* out, std::size_t count);
  bool SkipBytes(std::size_t count);
  bool SkipSubBlocks();                             // false when the input ends first
  long Tell() const;
  bool Seek(long position);
  void ReleaseFrame();

  std::FILE* file_ = nullptr;                       // the open file, or null
  const std::uint8_t* memory_ = nullptr;            // or the bytes in memory
  std::size_t memorySize_ = 0;
  std::size_t memoryPos_ = 0;
  char version_[4] = {};                            // "87a" or "89a", zero-terminated
  int failed_ = 0;                                  // the last Open failed
  int open_ = 0;                                    // an input is open
  std::uint8_t globalTable_[768] = {};              // up to 256 RGB triples
  long dataStart_ = 0;                              // position after the global table
  std::uint32_t frameCount_ = 0;                    // frames found by the scan
  std::uint32_t frameWithoutLocalTable_ = 0;        // frames of the scan without a local table
  GifScreen screen_;                                // the logical screen
  GifFrame frame_;                                  // the current frame
  GifGraphicControl control_;                       // the graphic-control state
};

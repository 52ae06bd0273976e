#include "controls/gif_decoder.h"

#include <cstdarg>
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_utf.h"

namespace {

constexpr int kLzwTableSize = 4096;
constexpr int kLzwMaxWidth = 12;
constexpr std::size_t kPaletteBytes = 1024;

void Trace(const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  std::strncat(line, "\n", sizeof line - std::strlen(line) - 1);
  OutputDebugStringA(line);
}

void PutLe16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutLe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

std::unique_ptr<std::uint8_t[]> AllocateZeroed(std::size_t bytes) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[bytes > 0 ? bytes : 1]());
}


// Writes a palette of 256 entries (blue | green << 8 | red << 16) from
// `entries` RGB triples; the remaining entries stay as they are (zero).
void WritePalette(std::uint8_t* out, const std::uint8_t* rgb, int entries) {
  for (int k = 0; k < entries; ++k) {
    out[4 * k + 0] = rgb[3 * k + 2];
    out[4 * k + 1] = rgb[3 * k + 1];
    out[4 * k + 2] = rgb[3 * k + 0];
  }
}

// The fixed palette of frames that have no colour table at all: grey k.
void WriteGreyPalette(std::uint8_t* out) {
  for (int k = 0; k < 256; ++k) {
    out[4 * k + 0] = out[4 * k + 1] = out[4 * k + 2] = static_cast<std::uint8_t>(k);
  }
}

// Puts the rows of an interlaced image into natural order: decoded rows go
// to rows 0, 8, 16, ..., then 4, 12, ..., then 2, 6, ..., then 1, 3, 5, ...
bool Deinterlace(GifFrame* frame) {
  const std::size_t width = frame->width;
  const std::size_t height = frame->height;
  auto rows = AllocateZeroed(width * height);
  if (!rows) return false;
  static const int kStart[4] = {0, 4, 2, 1};
  static const int kStep[4] = {8, 8, 4, 2};
  std::size_t source = 0;
  for (int pass = 0; pass < 4; ++pass) {
    for (std::size_t row = kStart[pass]; row < height; row += kStep[pass]) {
      std::memcpy(rows.get() + row * width, frame->pixels.get() + source * width, width);
      ++source;
    }
  }
  frame->pixels = std::move(rows);
  frame->interlaceFlag = 0;
  return true;
}

// Draws a frame into picture (H rows of stride bytes, bottom row first),
// over previous when there is one. The part outside the screen is clipped.
void ComposeFrame(const GifFrame& frame, std::uint32_t screenWidth, std::uint32_t screenHeight,
                  std::size_t stride, std::uint8_t* picture, const std::uint8_t* previous) {
  const std::uint32_t right = std::min<std::uint32_t>(frame.left + frame.width, screenWidth);
  const std::uint32_t bottom = std::min<std::uint32_t>(frame.top + frame.height, screenHeight);
  const bool coversScreen = frame.left == 0 && frame.top == 0 && right == screenWidth && bottom == screenHeight;
  if (!coversScreen && previous) std::memcpy(picture, previous, stride * screenHeight);
  if (frame.left >= right || frame.top >= bottom) return;

  const std::size_t count = right - frame.left;
  const bool skipTransparent = frame.control.transparency && previous;
  const auto transparent = static_cast<std::uint8_t>(frame.control.transparentIndex);
  for (std::uint32_t y = frame.top; y < bottom; ++y) {
    const std::uint8_t* source = frame.pixels.get() + static_cast<std::size_t>(y - frame.top) * frame.width;
    std::uint8_t* target = picture + static_cast<std::size_t>(screenHeight - 1 - y) * stride + frame.left;
    if (!skipTransparent) {
      std::memcpy(target, source, count);
      continue;
    }
    for (std::size_t x = 0; x < count; ++x) {
      if (source[x] != transparent) target[x] = source[x];
    }
  }
}

// Reads the remaining frames of an opened decoder into a new block. Returns
// the block's handle or null; the decoder is closed either way.
HGLOBAL BuildFrameBlock(GifDecoder* decoder) {
  const GifScreen screen = decoder->screen();
  const std::uint64_t n = decoder->frameCount();
  const std::uint64_t width = screen.width;
  const std::uint64_t height = screen.height;
  const std::uint64_t stride = ((width * 8 + 31) / 32) * 4;
  const std::uint64_t pictureBytes = stride * height;
  const std::uint64_t bound = 28 * n + 1044 + (pictureBytes + kPaletteBytes) * n;
  if (n > kGifMaxFrames || bound > kGifMaxBytes) {
    Trace("LoadGifFrames: %llu frames of %llux%llu exceed the limits", static_cast<unsigned long long>(n),
          static_cast<unsigned long long>(width), static_cast<unsigned long long>(height));
    decoder->Close();
    return nullptr;
  }
  // The scan knows which frames bring a palette, so the block is made at its
  // final size: no shrink afterwards, and a block of the same size freed
  // before is reused as it is.
  const bool globalPalette = screen.globalTable || decoder->someFrameWithoutLocalTable();
  const std::uint64_t size =
      20 + 28 * n + (globalPalette ? kPaletteBytes : 0) + (n - decoder->framesWithoutLocalTable()) * kPaletteBytes +
      pictureBytes * n;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(size));
  if (!block) {
    Trace("LoadGifFrames: cannot allocate %llu bytes", static_cast<unsigned long long>(size));
    decoder->Close();
    return nullptr;
  }
  auto* base = static_cast<std::uint8_t*>(GlobalLock(block));
  PutLe16(base + 4, static_cast<std::uint32_t>(n));
  PutLe16(base + 6, static_cast<std::uint32_t>(n));
  PutLe32(base + 8, static_cast<std::uint32_t>(width));
  PutLe32(base + 12, static_cast<std::uint32_t>(height));
  PutLe16(base + 16, 0);
  PutLe16(base + 18, 8);

  std::size_t pos = 20 + 28 * n;
  if (screen.globalTable) {
    WritePalette(base + pos, screen.globalTable, screen.globalTableSize);
    pos += kPaletteBytes;
  } else if (decoder->someFrameWithoutLocalTable()) {
    WriteGreyPalette(base + pos);
    pos += kPaletteBytes;
  }

  const std::uint8_t* previous = nullptr;
  for (std::uint32_t i = 0; i < n; ++i) {
    GifFrame* frame = decoder->NextFrame();
    if (!frame || (frame->interlaceFlag && !Deinterlace(frame)) ||
        pos + (frame->localTableFlag ? kPaletteBytes : 0) + pictureBytes > size) {
      Trace("LoadGifFrames: frame %u cannot be read", i + 1);
      decoder->Close();
      GlobalUnlock(block);
      GlobalFree(block);
      return nullptr;
    }
    PutLe32(base + 20 + 8 * i, i + 1);
    PutLe32(base + 24 + 8 * i, frame->control.delay * 10);
    std::uint8_t* header = base + 20 + 8 * n + 20 * i;
    PutLe32(header + 0, static_cast<std::uint32_t>(width));
    PutLe32(header + 4, static_cast<std::uint32_t>(height));
    PutLe16(header + 8, 8);
    PutLe16(header + 10, frame->localTableFlag ? 1 : 0);
    PutLe32(header + 16, static_cast<std::uint32_t>(pos));
    if (frame->localTableFlag) {
      WritePalette(base + pos, frame->colourTable.get(), frame->tableSize);
      pos += kPaletteBytes;
    }
    ComposeFrame(*frame, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                 static_cast<std::size_t>(stride), base + pos, previous);
    previous = base + pos;
    pos += static_cast<std::size_t>(pictureBytes);
  }
  PutLe32(base, static_cast<std::uint32_t>(pos));
  decoder->Close();
  GlobalUnlock(block);
  // A failed shrink keeps the larger block, which is still whole.
  if (pos < size) GlobalReAlloc(block, pos, GMEM_MOVEABLE);
  return block;
}

}  // namespace

GifDecoder::GifDecoder() = default;

GifDecoder::~GifDecoder() { Close(); }

bool GifDecoder::Open(const std::string& path) {
  Close();
  failed_ = 0;
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) {
    Trace("GifDecoder::Open: cannot open %s", path.c_str());
    failed_ = 1;
    return false;
  }
  open_ = 1;
  return ReadHeader();
}

bool GifDecoder::OpenMemory(const void* data, std::size_t size) {
  Close();
  failed_ = 0;
  memory_ = static_cast<const std::uint8_t*>(data);
  memorySize_ = data ? size : 0;
  memoryPos_ = 0;
  open_ = 1;
  return ReadHeader();
}

bool GifDecoder::ReadHeader() {
  ReleaseFrame();
  control_ = GifGraphicControl();
  screen_ = GifScreen();
  frameCount_ = 0;
  frameWithoutLocalTable_ = 0;

  std::uint8_t header[13];
  bool ok = ReadBytes(header, sizeof header);
  if (ok && std::memcmp(header, "GIF", 3) != 0) ok = false;
  if (ok) {
    std::memcpy(version_, header + 3, 3);
    version_[3] = 0;
    if (std::memcmp(version_, "89a", 3) > 0) ok = false;
  }
  if (ok) {
    screen_.width = static_cast<std::uint16_t>(header[6] | header[7] << 8);
    screen_.height = static_cast<std::uint16_t>(header[8] | header[9] << 8);
    const std::uint8_t packed = header[10];
    screen_.globalTableFlag = (packed >> 7) & 1;
    screen_.colourResolution = ((packed >> 4) & 7) + 1;
    screen_.sortFlag = (packed >> 3) & 1;
    screen_.backgroundIndex = header[11];
    screen_.aspect = header[12];
    if (screen_.globalTableFlag) {
      screen_.globalTableSize = 1 << ((packed & 7) + 1);
      ok = ReadBytes(globalTable_, 3 * static_cast<std::size_t>(screen_.globalTableSize));
      screen_.globalTable = globalTable_;
    }
  }
  if (ok) {
    dataStart_ = Tell();
    frameCount_ = CountFrames();
    ok = frameCount_ > 0;
  }
  if (!ok) {
    Trace("GifDecoder::Open: not a GIF file with frames");
    Close();
    failed_ = 1;
  }
  return ok;
}

std::uint32_t GifDecoder::CountFrames() {
  std::uint32_t count = 0;
  std::uint32_t withoutTable = 0;
  bool broken = false;
  Seek(dataStart_);
  for (int introducer = ReadByte(); introducer >= 0 && introducer != 0x3B; introducer = ReadByte()) {
    if (introducer == 0x00) continue;
    if (introducer == 0x21) {
      const int label = ReadByte();
      if (label != 0x01 && label != 0xF9 && label != 0xFE && label != 0xFF) {
        broken = label >= 0;  // an input that ends here just ends the scan
        break;
      }
      if (!SkipSubBlocks()) break;
      continue;
    }
    if (introducer != 0x2C) {
      broken = true;
      break;
    }
    ++count;
    SkipBytes(8);
    const int packed = ReadByte();
    if (packed < 0) {
      broken = true;
      break;
    }
    if (packed & 0x80) {
      SkipBytes(3 * (std::size_t{1} << ((packed & 7) + 1)));
    } else {
      ++withoutTable;
    }
    if (ReadByte() < 0 || !SkipSubBlocks()) break;
  }
  Seek(dataStart_);
  frameWithoutLocalTable_ = broken ? 0 : withoutTable;
  return broken ? 0 : count;
}

GifFrame* GifDecoder::NextFrame() {
  ReleaseFrame();
  for (;;) {
    const int introducer = ReadByte();
    if (introducer == 0x00) continue;
    if (introducer == 0x21) {
      const int label = ReadByte();
      if (label == 0x01 || label == 0xFE || label == 0xFF) {
        if (!SkipSubBlocks()) break;
        continue;
      }
      if (label != 0xF9) {
        Trace("GifDecoder::NextFrame: unknown extension label %d", label);
        break;
      }
      bool ended = false;
      for (int size = ReadByte(); size != 0; size = ReadByte()) {
        if (size < 0) {
          ended = true;
          break;
        }
        std::uint8_t data[255];
        if (!ReadBytes(data, static_cast<std::size_t>(size))) {
          ended = true;
          break;
        }
        if (size != 4) continue;
        control_.present = 1;
        control_.disposal = (data[0] >> 2) & 7;
        control_.userInput = (data[0] >> 1) & 1;
        control_.transparency = data[0] & 1;
        control_.delay = static_cast<unsigned>(data[1] | data[2] << 8);
        control_.transparentIndex = data[3];
      }
      if (ended) break;
      continue;
    }
    if (introducer != 0x2C) {
      Trace("GifDecoder::NextFrame: unexpected byte %d between blocks", introducer);
      break;
    }
    std::uint8_t descriptor[9];
    if (!ReadBytes(descriptor, sizeof descriptor)) break;
    frame_.left = static_cast<std::uint16_t>(descriptor[0] | descriptor[1] << 8);
    frame_.top = static_cast<std::uint16_t>(descriptor[2] | descriptor[3] << 8);
    frame_.width = static_cast<std::uint16_t>(descriptor[4] | descriptor[5] << 8);
    frame_.height = static_cast<std::uint16_t>(descriptor[6] | descriptor[7] << 8);
    const std::uint8_t packed = descriptor[8];
    frame_.localTableFlag = (packed >> 7) & 1;
    frame_.interlaceFlag = (packed >> 6) & 1;
    frame_.sortFlag = (packed >> 5) & 1;
    frame_.tableSize = 1 << ((packed & 7) + 1);
    const std::size_t tableBytes = 3 * static_cast<std::size_t>(frame_.tableSize);
    frame_.colourTable = AllocateZeroed(tableBytes);
    if (!frame_.colourTable) break;
    if (frame_.localTableFlag && !ReadBytes(frame_.colourTable.get(), tableBytes)) break;
    if (!DecodeImage(&frame_)) break;
    frame_.control = control_;
    control_.present = 0;
    return &frame_;
  }
  ReleaseFrame();
  return nullptr;
}

bool GifDecoder::DecodeImage(GifFrame* frame) {
  frame->pixels.reset();
  const std::uint64_t total = static_cast<std::uint64_t>(frame->width) * frame->height;
  if (total > kGifMaxBytes) {
    Trace("GifDecoder::DecodeImage: frame of %ux%u is too large", frame->width, frame->height);
    return false;
  }
  const int minCodeSize = ReadByte();
  if (minCodeSize < 1 || minCodeSize > 8) {
    Trace("GifDecoder::DecodeImage: LZW minimum code size %d refused", minCodeSize);
    return false;
  }
  auto pixels = AllocateZeroed(static_cast<std::size_t>(total));
  if (!pixels) return false;

  // The string table: entry k is entry prefix[k] followed by suffix[k];
  // length[k] is 0 for an empty entry.
  std::uint16_t prefix[kLzwTableSize];
  std::uint8_t suffix[kLzwTableSize];
  std::uint8_t first[kLzwTableSize];
  std::uint16_t length[kLzwTableSize];
  const int clearCode = 1 << minCodeSize;
  const int endCode = clearCode + 1;
  for (int k = 0; k < kLzwTableSize; ++k) {
    prefix[k] = 0;
    suffix[k] = first[k] = static_cast<std::uint8_t>(k < clearCode ? k : 0);
    length[k] = k < clearCode ? 1 : 0;
  }
  int width = minCodeSize + 1;
  int next = clearCode + 2;

  // The unread bytes of the current and the next data sub-block, and 4 zero
  // bytes so that a 32-bit read at the last byte stays inside.
  std::uint8_t input[264 + 4] = {};
  std::size_t inputEnd = 0;
  std::size_t inputPos = 0;
  int bitOffset = 0;
  bool terminatorSeen = false;

  std::uint8_t* out = pixels.get();
  std::uint64_t produced = 0;
  int previous = -1;  // -1: the next code is a first code
  enum { kDecoding, kDone, kFailed } state = kDecoding;

  while (state == kDecoding) {
    // Keep more than 4 bytes ahead while the data lasts.
    while (!terminatorSeen && inputEnd - inputPos <= 4) {
      std::memmove(input, input + inputPos, inputEnd - inputPos);
      inputEnd -= inputPos;
      inputPos = 0;
      const int size = ReadByte();
      if (size < 0 || !ReadBytes(input + inputEnd, static_cast<std::size_t>(size))) {
        state = kFailed;
        break;
      }
      if (size == 0) terminatorSeen = true;
      inputEnd += static_cast<std::size_t>(size);
    }
    if (state != kDecoding) break;
    if (static_cast<std::int64_t>(inputEnd - inputPos) * 8 - bitOffset < width) {
      state = kDone;  // the data ran out before the end code
      break;
    }
    std::memset(input + inputEnd, 0, 4);
    const std::uint32_t bits = input[inputPos] | input[inputPos + 1] << 8 | input[inputPos + 2] << 16 |
                               static_cast<std::uint32_t>(input[inputPos + 3]) << 24;
    const int code = static_cast<int>((bits >> bitOffset) & ((1u << width) - 1));
    bitOffset += width;
    inputPos += static_cast<std::size_t>(bitOffset / 8);
    bitOffset %= 8;

    if (previous < 0) {
      if (code == clearCode) continue;
      if (code >= endCode || produced >= total) {
        state = kFailed;
        break;
      }
      out[produced++] = static_cast<std::uint8_t>(code);
      previous = code;
      continue;
    }
    if (code == clearCode) {
      width = minCodeSize + 1;
      for (int k = clearCode; k < kLzwTableSize; ++k) length[k] = 0;
      next = clearCode + 2;
      previous = -1;
      continue;
    }
    if (code == endCode) {
      state = kDone;
      // Sub-blocks after the end code are padding: skip them up to the
      // terminator so the next block starts where it should.
      if (!terminatorSeen) SkipSubBlocks();
      break;
    }
    // A code above the next free entry has no string and no meaning (the
    // entry before it would have no string either): the stream is corrupt.
    if (code > next) {
      state = kFailed;
      break;
    }
    std::size_t stringLength;
    std::uint8_t firstByte;
    if (code < next) {
      stringLength = length[code];
      firstByte = first[code];
      if (produced + stringLength > total) {
        state = kFailed;
        break;
      }
      for (int k = code, at = static_cast<int>(stringLength) - 1; at >= 0; k = prefix[k], --at) {
        out[produced + static_cast<std::size_t>(at)] = suffix[k];
      }
    } else {
      // The code being defined right now: previous string + its first byte.
      stringLength = static_cast<std::size_t>(length[previous]) + 1;
      firstByte = first[previous];
      if (produced + stringLength > total) {
        state = kFailed;
        break;
      }
      for (int k = previous, at = static_cast<int>(stringLength) - 2; at >= 0; k = prefix[k], --at) {
        out[produced + static_cast<std::size_t>(at)] = suffix[k];
      }
      out[produced + stringLength - 1] = firstByte;
    }
    produced += stringLength;
    if (next >= kLzwTableSize) {
      state = kFailed;  // a clear code must come before the table overflows
      break;
    }
    prefix[next] = static_cast<std::uint16_t>(previous);
    suffix[next] = firstByte;
    first[next] = first[previous];
    length[next] = static_cast<std::uint16_t>(length[previous] + 1);
    ++next;
    // With a minimum code size of 1 the table starts at 1 << width already;
    // ">=" lets the width grow at its first entry, as encoders write it.
    if (next >= (1 << width) && width < kLzwMaxWidth) ++width;
    previous = code;
  }

  if (state == kFailed) {
    Trace("GifDecoder::DecodeImage: bad LZW data");
    return false;
  }
  frame->pixels = std::move(pixels);
  return true;
}

void GifDecoder::Close() {
  ReleaseFrame();
  if (file_) std::fclose(file_);
  file_ = nullptr;
  memory_ = nullptr;
  memorySize_ = 0;
  memoryPos_ = 0;
  open_ = 0;
}

void GifDecoder::ReleaseFrame() {
  frame_.colourTable.reset();
  frame_.pixels.reset();
  frame_ = GifFrame();
}

int GifDecoder::ReadByte() {
  if (file_) return std::fgetc(file_);  // EOF is -1
  if (!memory_ || memoryPos_ >= memorySize_) return -1;
  return memory_[memoryPos_++];
}

bool GifDecoder::ReadBytes(std::uint8_t* out, std::size_t count) {
  if (count == 0) return open_ != 0;
  if (file_) return std::fread(out, 1, count, file_) == count;
  if (!memory_ || memorySize_ - memoryPos_ < count) {
    memoryPos_ = memorySize_;
    return false;
  }
  std::memcpy(out, memory_ + memoryPos_, count);
  memoryPos_ += count;
  return true;
}

bool GifDecoder::SkipBytes(std::size_t count) {
  if (file_) return std::fseek(file_, static_cast<long>(count), SEEK_CUR) == 0;
  if (memorySize_ - memoryPos_ < count) {
    memoryPos_ = memorySize_;
    return false;
  }
  memoryPos_ += count;
  return true;
}

bool GifDecoder::SkipSubBlocks() {
  for (;;) {
    const int size = ReadByte();
    if (size < 0) return false;
    if (size == 0) return true;
    if (!SkipBytes(static_cast<std::size_t>(size))) return false;
  }
}

long GifDecoder::Tell() const {
  if (file_) return std::ftell(file_);
  return static_cast<long>(memoryPos_);
}

bool GifDecoder::Seek(long position) {
  if (file_) return std::fseek(file_, position, SEEK_SET) == 0;
  if (position < 0 || static_cast<std::size_t>(position) > memorySize_) return false;
  memoryPos_ = static_cast<std::size_t>(position);
  return true;
}

HGLOBAL LoadGifFrames(const WCHAR* path) {
  if (!path) return nullptr;
  GifDecoder decoder;
  if (!decoder.Open(NativePath(WideToUtf8(path, SIZE_MAX)))) return nullptr;
  return BuildFrameBlock(&decoder);
}

HGLOBAL LoadGifFramesFromMemory(const void* data, std::size_t size) {
  GifDecoder decoder;
  if (!decoder.OpenMemory(data, size)) return nullptr;
  return BuildFrameBlock(&decoder);
}

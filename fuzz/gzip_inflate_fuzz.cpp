// libFuzzer target of the gzip inflater. The first byte picks the mode:
// even - the rest is a whole gzip body, sized from its own trailer;
// odd  - the rest is raw DEFLATE data inside a fixed header and a trailer
//        announcing 64 KB, so the decoder itself is reached every time.
// The output buffer is exactly size + 8 bytes: the sanitizers catch any
// write beyond it, and the 8 zero bytes must stay zero.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/gzip_inflate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  const bool raw = data[0] & 1;
  std::vector<BYTE> body;
  if (raw) {
    body = {0x1f, 0x8b, 0x08, 0, 0, 0, 0, 0, 0, 3};
    body.insert(body.end(), data + 1, data + size);
    const BYTE trailer[8] = {0, 0, 0, 0, 0x00, 0x00, 0x01, 0x00};
    body.insert(body.end(), trailer, trailer + 8);
  } else {
    body.assign(data + 1, data + size);
  }
  // An exact-size copy of the input so that reads beyond it are caught.
  BYTE* input = static_cast<BYTE*>(std::malloc(body.size() + 1));
  if (!body.empty()) std::memcpy(input, body.data(), body.size());
  const int length = int(body.size());

  const int unpacked = GzipUnpackedSize(input, length);
  if (unpacked > 0 && unpacked <= (4 << 20)) {
    BYTE* out = static_cast<BYTE*>(std::calloc(size_t(unpacked) + 8, 1));
    const int n = GzipInflateBounded(input, length, out, unpacked);
    if (n > unpacked) std::abort();
    GzipInflate(input, length, out);
    for (int i = 0; i < 8; ++i)
      if (out[unpacked + i] != 0) std::abort();
    std::free(out);
  }
  BYTE small[16];  // a capacity far below what the stream holds
  if (GzipInflateBounded(input, length, small, 16) > 16) std::abort();
  std::free(input);
  return 0;
}

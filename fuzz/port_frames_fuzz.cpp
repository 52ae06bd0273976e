// Feeds arbitrary bytes, cut at an arbitrary point, to the message port's
// frame reader, and every frame's payload to the field readers.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/kernel/kernel_port.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::size_t cut = data[0] % (size + 1);
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  std::size_t n = size - 1;
  cut = cut > n ? n : cut;
  PortFrameReader reader;
  PortFrame frame;
  std::string error;
  auto drain = [&] {
    for (;;) {
      PortFrameReader::Result r = reader.Next(&frame, &error);
      if (r != PortFrameReader::kFrame) return;
      if (frame.payload.size() > kPortMaxPayload) __builtin_trap();
      PortReader in(frame.payload);
      std::uint32_t a;
      std::uint64_t b;
      std::string c;
      while (in.U32(&a) && in.U64(&b) && in.Bytes(&c)) {
      }
    }
  };
  reader.Feed(bytes, cut);
  drain();
  reader.Feed(bytes + cut, n - cut);
  drain();
  return 0;
}

// libFuzzer target of the zip reader: the input is written to a file once
// per run and opened as an archive; every item is listed (names, local
// extra fields, times) and unpacked into a scratch folder.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "foundation/zip_reader.h"

namespace {

std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// A scratch folder of this process, made once and removed at exit (the
// text is never destroyed, so the exit handler can still read it).
const std::string& Scratch() {
  static const std::string* folder = [] {
    char pattern[] = "/tmp/orv-fuzz-zip-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (!made) std::abort();
    auto* text = new std::string(made);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(Scratch(), ec);
    });
    return text;
  }();
  return *folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const std::string archive = Scratch() + "/in.zip";
  const std::string out = Scratch() + "/out";
  std::FILE* f = std::fopen(archive.c_str(), "wb");
  if (!f) std::abort();
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);

  ZipHandle* h = OpenZipFile(U16(archive).c_str());
  if (!h) return 0;
  std::filesystem::create_directories(out);
  SetUnzipBaseDir(h, U16(out).c_str());
  ZipEntry e{};
  GetZipItem(h, -1, &e);
  const int count = e.index;
  for (int i = 0; i < count && i < 64; ++i) {
    if (GetZipItem(h, i, &e) != kZipOk) continue;
    UnzipItemToFile(h, i, e.name);
  }
  CloseZip(h);
  std::error_code ec;
  std::filesystem::remove_all(out, ec);
  return 0;
}

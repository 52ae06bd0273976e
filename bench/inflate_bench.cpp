// Our gzip inflater against zlib's inflate on the same gzip bodies, and our
// Blowfish buffer cipher against OpenSSL's Blowfish on the same 1 KB
// message; after the runs, prints the ratio ours / reference per input.
//
// Bodies: a dictionary-like reply of 39-byte records (1.2 MB), a JSON text
// (300 KB) and a short reply (2 KB), compressed by zlib at level 6.
#include <benchmark/benchmark.h>
#include <zlib.h>

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "foundation/blowfish.h"
#include "foundation/gzip_inflate.h"

namespace {

using Bytes = std::vector<BYTE>;

Bytes GzipOf(const Bytes& data) {
  z_stream zs{};
  deflateInit2(&zs, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&zs, uLong(data.size())) + 64);
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = uInt(data.size());
  zs.next_out = out.data();
  zs.avail_out = uInt(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

// 30,800 records of 39 bytes: market, type, code, GBK name, abbreviation,
// price, flags.
Bytes DictionaryReply() {
  static const char* const kNames[] = {"\xc6\xd6\xb7\xa2\xd2\xf8\xd0\xd0", "\xc6\xbd\xb0\xb2\xd2\xf8\xd0\xd0",
                                       "\xcd\xf2\xbf\xc6\x41", "\xd6\xd0\xb9\xfa\xb9\xfa\xc3\xb3",
                                       "\xb9\xf3\xd6\xdd\xc3\xa9\xcc\xa8", "\xd5\xd0\xc9\xcc\xd2\xf8\xd0\xd0"};
  static const char* const kAbbrevs[] = {"PFYH", "PAYH", "WKA", "ZGGM", "GZMT", "ZSYH"};
  std::mt19937 rng(1);
  Bytes out;
  for (int i = 0; i < 30800; ++i) {
    BYTE r[39] = {};
    r[0] = BYTE(i < 15000 ? 1 : 2);
    r[1] = BYTE(rng() % 4);
    std::snprintf(reinterpret_cast<char*>(r + 2), 7, "%06d", i < 15000 ? 600000 + i : i);
    const int k = int(rng() % 6);
    std::memcpy(r + 8, kNames[k], std::strlen(kNames[k]));
    std::memcpy(r + 24, kAbbrevs[k], std::strlen(kAbbrevs[k]));
    const std::uint32_t price = 100 + rng() % 50000;
    std::memcpy(r + 32, &price, 4);
    r[36] = BYTE(rng() % 3);
    out.insert(out.end(), r, r + 39);
  }
  return out;
}

Bytes JsonText(size_t size) {
  std::mt19937 rng(2);
  std::string s = "{\"result\":\"true\",\"data\":[";
  while (s.size() < size) {
    char item[200];
    std::snprintf(item, sizeof item,
                  "{\"code\":\"%06u\",\"name\":\"\xe6\xb5\xa6\xe5\x8f\x91\xe9\x93\xb6\xe8\xa1\x8c\","
                  "\"price\":%u.%02u,\"change\":-%u.%02u,\"volume\":%u,\"time\":\"2026-12-10 10:%02u:%02u\"},",
                  unsigned(rng() % 700000), unsigned(rng() % 100), unsigned(rng() % 100),
                  unsigned(rng() % 10), unsigned(rng() % 100), unsigned(rng() % 10000000),
                  unsigned(rng() % 60), unsigned(rng() % 60));
    s += item;
  }
  s.resize(size - 2);
  s += "]}";
  return Bytes(s.begin(), s.end());
}

struct Body {
  const char* name;
  Bytes plain;
  Bytes gzip;
};

std::vector<Body>& Bodies() {
  static std::vector<Body> bodies = [] {
    std::vector<Body> b;
    b.push_back({"dictionary 1.2 MB", DictionaryReply(), {}});
    b.push_back({"json 300 KB", JsonText(300 * 1024), {}});
    b.push_back({"reply 2 KB", JsonText(2048), {}});
    for (Body& body : b) body.gzip = GzipOf(body.plain);
    return b;
  }();
  return bodies;
}

void BM_Ours(benchmark::State& state) {
  const Body& body = Bodies()[size_t(state.range(0))];
  const int size = GzipUnpackedSize(body.gzip.data(), int(body.gzip.size()));
  Bytes out(size_t(size) + 8, 0);
  for (auto _ : state) {
    const int n = GzipInflateBounded(body.gzip.data(), int(body.gzip.size()), out.data(), size);
    if (n != size) state.SkipWithError("inflate failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * size);
  state.SetLabel(body.name);
}

void BM_Zlib(benchmark::State& state) {
  const Body& body = Bodies()[size_t(state.range(0))];
  Bytes out(body.plain.size() + 8, 0);
  for (auto _ : state) {
    z_stream zs{};
    inflateInit2(&zs, 15 + 16);
    zs.next_in = const_cast<Bytef*>(body.gzip.data());
    zs.avail_in = uInt(body.gzip.size());
    zs.next_out = out.data();
    zs.avail_out = uInt(body.plain.size());
    if (inflate(&zs, Z_FINISH) != Z_STREAM_END) state.SkipWithError("zlib inflate failed");
    inflateEnd(&zs);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(body.plain.size()));
  state.SetLabel(body.name);
}

const BYTE kKey[] = "0123456789ABCDEF0123456789ABCDEF";
constexpr int kMessage = 1016;  // the largest message of the 1,024-byte request buffer

void BM_BlowfishOursEncrypt(benchmark::State& state) {
  BlowfishContext ctx;
  BlowfishSetKey(&ctx, 1, kKey, 32);
  Bytes in(kMessage, 'm'), out(1024);
  for (auto _ : state) {
    benchmark::DoNotOptimize(BlowfishEncryptBuffer(&ctx, in.data(), 1024, 0, kMessage, out.data(), 1024));
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kMessage);
}

void BM_BlowfishOpenSslEncrypt(benchmark::State& state) {
  BF_KEY key;
  BF_set_key(&key, 32, kKey);
  Bytes in(kMessage, 'm'), out(1024);
  for (auto _ : state) {
    for (int i = 0; i < kMessage; i += 8) BF_ecb_encrypt(in.data() + i, out.data() + 3 + i, &key, BF_ENCRYPT);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kMessage);
}

void BM_BlowfishOursDecrypt(benchmark::State& state) {
  BlowfishContext ctx;
  BlowfishSetKey(&ctx, 1, kKey, 32);
  Bytes in(kMessage, 'm'), cipher(1024), out(1024 + 8);
  const int size = BlowfishEncryptBuffer(&ctx, in.data(), 1024, 0, kMessage, cipher.data(), 1024);
  for (auto _ : state) {
    benchmark::DoNotOptimize(BlowfishDecryptBuffer(&ctx, cipher.data(), size, out.data(), int(out.size())));
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kMessage);
}

void BM_BlowfishOpenSslDecrypt(benchmark::State& state) {
  BF_KEY key;
  BF_set_key(&key, 32, kKey);
  Bytes cipher(1024, 'c'), out(1024 + 8);
  for (auto _ : state) {
    for (int i = 0; i < kMessage; i += 8) BF_ecb_encrypt(cipher.data() + 3 + i, out.data() + i, &key, BF_DECRYPT);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kMessage);
}

BENCHMARK(BM_Ours)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Zlib)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlowfishOursEncrypt)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlowfishOpenSslEncrypt)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlowfishOursDecrypt)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlowfishOpenSslDecrypt)->Unit(benchmark::kMicrosecond);

// Console output as usual, and the time of every run kept by name.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatio(const std::string& label, const std::string& ours, const std::string& ref,
                  const char* goal = "") const {
    auto a = times_.find(ours);
    auto b = times_.find(ref);
    if (a == times_.end() || b == times_.end() || b->second <= 0) return;
    std::printf("ratio ours/%-8s %-20s %.2f%s\n", label.c_str(), ours.c_str(), a->second / b->second, goal);
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  const auto& bodies = Bodies();
  for (size_t i = 0; i < bodies.size(); ++i) {
    const std::string n = std::to_string(i);
    std::printf("%-20s ", bodies[i].name);
    reporter.PrintRatio("zlib", "BM_Ours/" + n, "BM_Zlib/" + n, "   (goal <= 1.0)");
  }
  reporter.PrintRatio("openssl", "BM_BlowfishOursEncrypt", "BM_BlowfishOpenSslEncrypt");
  reporter.PrintRatio("openssl", "BM_BlowfishOursDecrypt", "BM_BlowfishOpenSslDecrypt");
  benchmark::Shutdown();
  return 0;
}

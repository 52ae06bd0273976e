// Windows between processes against raw Unix-domain sockets, in one run:
//   a SendMessageW(WM_COPYDATA) round trip with 1 KiB  vs  a raw 1 KiB ping-pong
//   10,000 PostMessageW to another process's window    vs  10,000 raw small writes
// and the ratios (budget: the send within 5x the raw ping-pong).
// The program starts itself again as the peer ("--peer").
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_port.h"
#include "platform/kernel/kernel_process.h"
#include "platform/kernel/kernel_thread.h"
#include "platform/window/win_user.h"

namespace {

constexpr UINT kCount = WM_USER + 1;  // posted: lParam is the index; the last one answers
constexpr UINT kDone = WM_USER + 2;
constexpr int kPosts = 10000;
constexpr size_t kRecord = 1024;

int g_raw = -1;  // our end of the raw socket pair; the forked echo holds the other
HWND g_peer = nullptr;

LRESULT PeerProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_COPYDATA) return static_cast<LRESULT>(reinterpret_cast<COPYDATASTRUCT*>(l)->cbData);
  if (msg == kCount) {
    if (l == kPosts - 1) PostThreadMessageW(static_cast<DWORD>(w), kDone, 0, 0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, w, l);
}

int RunPeer() {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the benchmark
  if (::getppid() == 1) return 0;
  JoinMessagePorts();
  WNDCLASSW wc{};
  wc.lpfnWndProc = PeerProc;
  wc.lpszClassName = u"OrvBenchPeer";
  RegisterClassW(&wc);
  CreateWindowExW(0, u"OrvBenchPeer", u"OrvBenchPeer", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0)) DispatchMessageW(&m);
  return 0;
}

// The raw side: 'p' + 1 KiB is echoed; 's' + n small records is answered with one byte.
[[noreturn]] void RunEcho(int fd) {
  std::vector<char> buf(1 << 16);
  for (;;) {
    char kind;
    if (::read(fd, &kind, 1) != 1) ::_exit(0);
    if (kind == 'p') {
      size_t got = 0;
      while (got < kRecord) {
        ssize_t n = ::read(fd, buf.data() + got, kRecord - got);
        if (n <= 0) ::_exit(0);
        got += static_cast<size_t>(n);
      }
      (void)!::write(fd, buf.data(), kRecord);
    } else {
      size_t want = static_cast<size_t>(kPosts) * 40, got = 0;
      while (got < want) {
        ssize_t n = ::read(fd, buf.data(), std::min(buf.size(), want - got));
        if (n <= 0) ::_exit(0);
        got += static_cast<size_t>(n);
      }
      (void)!::write(fd, "k", 1);
    }
  }
}

void ReadAll(int fd, char* p, size_t n) {
  while (n) {
    ssize_t r = ::read(fd, p, n);
    if (r <= 0) return;
    p += r;
    n -= static_cast<size_t>(r);
  }
}

double SendOnce() {
  static std::string payload(kRecord, 'd');
  COPYDATASTRUCT cds{1, static_cast<DWORD>(payload.size()), payload.data()};
  auto t0 = std::chrono::steady_clock::now();
  LRESULT r = SendMessageW(g_peer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
  if (r != static_cast<LRESULT>(kRecord)) std::fprintf(stderr, "send failed\n");
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
}

double RawPingOnce() {
  static std::string record = "p" + std::string(kRecord, 'd');
  static std::vector<char> back(kRecord);
  auto t0 = std::chrono::steady_clock::now();
  (void)!::write(g_raw, record.data(), record.size());
  ReadAll(g_raw, back.data(), back.size());
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
}

double PostsOnce() {
  DWORD self = GetCurrentThreadId();
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < kPosts; ++i) PostMessageW(g_peer, kCount, self, i);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0))
    if (m.message == kDone) break;
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double RawStreamOnce() {
  static const std::string small(40, 's');
  char done;
  auto t0 = std::chrono::steady_clock::now();
  (void)!::write(g_raw, "s", 1);
  for (int i = 0; i < kPosts; ++i) (void)!::write(g_raw, small.data(), small.size());
  ReadAll(g_raw, &done, 1);
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

void BM_SendCopyData1KiB(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(SendOnce());
}
void BM_RawPingPong1KiB(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(RawPingOnce());
}
void BM_Post10000(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(PostsOnce());
}
void BM_RawStream10000(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(RawStreamOnce());
}
BENCHMARK(BM_SendCopyData1KiB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawPingPong1KiB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Post10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawStream10000)->Unit(benchmark::kMillisecond);

double Median(double (*once)(), int runs) {
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) t.push_back(once());
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--peer") return RunPeer();
  // The raw echo is forked before any thread exists.
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return 1;
  pid_t echo = ::fork();
  if (echo == 0) {
    ::close(pair[0]);
    RunEcho(pair[1]);
  }
  ::close(pair[1]);
  g_raw = pair[0];

  char folder[] = "/tmp/orv-ipc-bench-XXXXXX";
  if (!::mkdtemp(folder)) return 1;
  ::chmod(folder, 0700);
  InitUiThread();
  if (!JoinMessagePorts(folder)) return 1;
  char self[4096];
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return 1;
  self[n] = 0;
  int peer = 0;
  if (!StartProcessWithPort(ProcessStart{self, {"--peer"}, "", {}, -1}, &peer, nullptr)) return 1;
  for (int i = 0; i < 200 && !g_peer; ++i) {
    g_peer = FindWindowW(nullptr, u"OrvBenchPeer");
    if (!g_peer) ::usleep(20000);
  }
  if (!g_peer) return 1;

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  double send = Median(SendOnce, 2001), ping = Median(RawPingOnce, 2001);
  double posts = Median(PostsOnce, 21), stream = Median(RawStreamOnce, 21);
  std::printf("\nsend round trip (WM_COPYDATA, 1 KiB): %.1f us, raw ping-pong %.1f us, ratio %.2f (budget 5)\n", send,
              ping, send / ping);
  std::printf("10,000 posts: %.2f ms, raw stream of 10,000 writes %.2f ms, ratio %.2f\n", posts, stream,
              posts / stream);
  TerminateProcessById(peer);
  WaitProcess(peer, 5000, nullptr);
  ::close(g_raw);
  ::waitpid(echo, nullptr, 0);
  DeleteFolderTree(folder);  // the port folder and whatever remains in it
  return send / ping <= 5.0 ? 0 : 2;
}

#include "platform/kernel/kernel_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/kernel_clock.h"

namespace {

const uint32_t kLoopback = htonl(INADDR_LOOPBACK);

// A listening socket on 127.0.0.1 at a free port, closed with the object.
class Listener {
 public:
  explicit Listener(int backlog = 8) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct sockaddr_in at {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = kLoopback;
    socklen_t len = sizeof at;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(fd_, backlog) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&at), &len) != 0) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
    port_ = ntohs(at.sin_port);
  }
  ~Listener() {
    if (fd_ >= 0) ::close(fd_);
  }
  uint16_t Port() const { return port_; }
  // The next incoming connection, or -1 after ms.
  int Accept(int ms = 5000) {
    struct pollfd pfd {fd_, POLLIN, 0};
    if (::poll(&pfd, 1, ms) != 1) return -1;
    return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
  }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// A connected pair: client made by ConnectTcp, server end accepted.
struct Pair {
  Listener listener;
  SOCKET client = INVALID_SOCKET;
  int server = -1;
  Pair() {
    client = ConnectTcp(kLoopback, listener.Port(), 5000);
    server = listener.Accept();
  }
  ~Pair() {
    CloseSocket(client);
    if (server >= 0) ::close(server);
  }
  void CloseServer() {
    ::close(server);
    server = -1;
  }
};

// A loopback port with nothing listening on it.
uint16_t ClosedPort() {
  Listener probe;
  return probe.Port();  // closed when probe goes
}

}  // namespace

TEST(KernelSocket, ResolvesDottedTextWithoutLookupAndNamesByLookup) {
  struct Case {
    const char* name;
    const char* host;
    bool ok;
    uint32_t addr;  // host byte order
  };
  const std::string tooLong = std::string(300, 'a') + ".invalid";  // refused before any query is sent
  const Case cases[] = {
      {"dotted", "127.0.0.1", true, 0x7F000001},
      {"dotted other", "10.1.2.3", true, 0x0A010203},
      {"all ones", "255.255.255.255", true, 0xFFFFFFFF},
      {"bad octet", "1.2.3.999", false, 0},
      {"only dots", "...", false, 0},
      {"empty", "", false, 0},
      {"null", nullptr, false, 0},
      {"local name", "localhost", true, 0x7F000001},
      {"unresolvable", tooLong.c_str(), false, 0},
  };
  for (const Case& c : cases) {
    uint32_t addr = 0xDEADBEEF;
    EXPECT_EQ(ResolveIPv4(c.host, &addr), c.ok) << c.name;
    EXPECT_EQ(addr, c.ok ? htonl(c.addr) : 0xDEADBEEF) << c.name;
  }
}

TEST(KernelSocket, ConnectGivesBlockingConnectedSocket) {
  Pair pair;
  ASSERT_NE(pair.client, INVALID_SOCKET);
  ASSERT_GE(pair.server, 0);
  EXPECT_EQ(::fcntl(pair.client, F_GETFL) & O_NONBLOCK, 0);
  EXPECT_TRUE(SetNonBlocking(pair.client, true));
  EXPECT_NE(::fcntl(pair.client, F_GETFL) & O_NONBLOCK, 0);
  EXPECT_FALSE(SetNonBlocking(INVALID_SOCKET, true));
}

TEST(KernelSocket, ConnectToClosedLoopbackPortFailsFast) {
  uint16_t port = ClosedPort();
  ULONGLONG start = RealTickCount64();
  EXPECT_EQ(ConnectTcp(kLoopback, port, 10000), INVALID_SOCKET);
  EXPECT_LT(RealTickCount64() - start, 1000u);
}

// A listener whose accept queue is full drops further connection requests,
// so a connect to it hangs: the bounded wait and the abandon flag end it.
TEST(KernelSocket, HangingConnectEndsAtTimeOutOrAbandon) {
  Listener full(0);
  std::vector<SOCKET> fillers;  // kept open, so the queue stays full
  bool queueFull = false;
  for (int i = 0; i < 8 && !queueFull; ++i) {
    SOCKET s = ConnectTcp(kLoopback, full.Port(), 200);
    if (s == INVALID_SOCKET) queueFull = true;
    fillers.push_back(s);
  }
  if (!queueFull) {
    for (SOCKET s : fillers) CloseSocket(s);
    GTEST_SKIP() << "this kernel accepts beyond the backlog";
  }
  ULONGLONG start = RealTickCount64();
  EXPECT_EQ(ConnectTcp(kLoopback, full.Port(), 150), INVALID_SOCKET);
  ULONGLONG took = RealTickCount64() - start;
  EXPECT_GE(took, 140u);
  EXPECT_LT(took, 2000u);

  std::atomic<bool> keepGoing{true};
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    keepGoing = false;
  });
  start = RealTickCount64();
  EXPECT_EQ(ConnectTcp(kLoopback, full.Port(), INFINITE, &keepGoing), INVALID_SOCKET);
  EXPECT_LT(RealTickCount64() - start, 2000u);
  stopper.join();
  for (SOCKET s : fillers) CloseSocket(s);
}

TEST(KernelSocket, BlockingSendAndReceiveExactCounts) {
  Pair pair;
  ASSERT_GE(pair.server, 0);
  std::thread peer([&] {
    ::send(pair.server, "abc", 3, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::send(pair.server, "defgh", 5, 0);
  });
  char buf[16] = {};
  EXPECT_EQ(RecvBlocking(pair.client, buf, 8, 5000), 8) << "waits for the second piece";
  EXPECT_EQ(std::string(buf, 8), "abcdefgh");
  peer.join();

  EXPECT_EQ(SendBlocking(pair.client, "hello", 5, 5000), 5);
  char got[8] = {};
  ASSERT_EQ(::recv(pair.server, got, 5, MSG_WAITALL), 5);
  EXPECT_EQ(std::string(got, 5), "hello");

  ULONGLONG start = RealTickCount64();
  EXPECT_EQ(RecvBlocking(pair.client, buf, 4, 30), 0) << "time-out with nothing";
  EXPECT_GE(RealTickCount64() - start, 29u);

  std::atomic<bool> keepGoing{false};
  EXPECT_EQ(RecvBlocking(pair.client, buf, 4, INFINITE, &keepGoing), 0) << "abandoned";

  ::send(pair.server, "xy", 2, 0);
  pair.CloseServer();
  EXPECT_EQ(RecvBlocking(pair.client, buf, 8, 5000), 2) << "peer closed after two bytes";
  EXPECT_EQ(RecvBlocking(INVALID_SOCKET, buf, 8, 10), -1);
}

TEST(KernelSocket, WaitAsksForWritableOnlyWhenTold) {
  Pair pair;
  ASSERT_GE(pair.server, 0);
  ASSERT_TRUE(SetNonBlocking(pair.client, true));
  SocketWaiter waiter(pair.client);
  ASSERT_TRUE(waiter.Valid());
  ULONGLONG start = RealTickCount64();
  EXPECT_EQ(waiter.Wait(30, false), 0) << "an idle socket must not wake the loop";
  EXPECT_GE(RealTickCount64() - start, 29u);
  EXPECT_EQ(waiter.Wait(1000, true), kWaitWritable);

  // Fill the socket until it refuses; then writable is not reported until
  // the peer reads.
  std::vector<char> chunk(65536, 'z');
  long queued = 0;
  for (;;) {
    int n = SendSome(pair.client, chunk.data(), static_cast<int>(chunk.size()));
    if (n == kIoWouldBlock) break;
    ASSERT_GT(n, 0);
    queued += n;
  }
  EXPECT_EQ(waiter.Wait(20, true), 0);
  std::thread reader([&] {
    std::vector<char> sink(65536);
    long drained = 0;
    while (drained < queued) {
      ssize_t n = ::recv(pair.server, sink.data(), sink.size(), 0);
      if (n <= 0) break;
      drained += n;
    }
  });
  EXPECT_EQ(waiter.Wait(5000, true) & kWaitWritable, kWaitWritable);
  reader.join();
}

TEST(KernelSocket, PeerCloseComesWithTheDataBeforeIt) {
  Pair pair;
  ASSERT_GE(pair.server, 0);
  ASSERT_TRUE(SetNonBlocking(pair.client, true));
  SocketWaiter waiter(pair.client);
  char buf[16];
  EXPECT_EQ(RecvSome(pair.client, buf, sizeof buf), kIoWouldBlock);
  ::send(pair.server, "last", 4, 0);
  pair.CloseServer();
  int bits = waiter.Wait(5000, false);
  EXPECT_EQ(bits & (kWaitReadable | kWaitClosed), kWaitReadable | kWaitClosed) << bits;
  EXPECT_EQ(RecvSome(pair.client, buf, sizeof buf), 4);
  EXPECT_EQ(std::string(buf, 4), "last");
  EXPECT_EQ(RecvSome(pair.client, buf, sizeof buf), 0) << "then the end of the stream";
}

TEST(KernelSocket, SendToVanishedPeerIsAnErrorNotASignal) {
  Pair pair;
  ASSERT_GE(pair.server, 0);
  // Reset the connection from the server side.
  struct linger hard {1, 0};
  ::setsockopt(pair.server, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  pair.CloseServer();
  SocketWaiter waiter(pair.client);
  EXPECT_NE(waiter.Wait(5000, false) & kWaitClosed, 0);
  int result = 0;
  for (int i = 0; i < 3 && result != kIoError; ++i) result = SendSome(pair.client, "x", 1);
  EXPECT_EQ(result, kIoError);
  EXPECT_EQ(SendBlocking(pair.client, "x", 1, 100), -1);
}

TEST(KernelSocket, WakeEndsWaitFromAnotherThreadAndIsNotLost) {
  Pair pair;
  ASSERT_GE(pair.server, 0);
  SocketWaiter waiter(pair.client);
  std::atomic<int> bits{-5};
  std::thread waiting([&] { bits = waiter.Wait(INFINITE, false); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  waiter.Wake();
  waiting.join();
  EXPECT_EQ(bits.load(), kWaitWoken);

  waiter.Wake();  // nobody waits: kept for the next wait
  waiter.Wake();
  EXPECT_EQ(waiter.Wait(5000, false), kWaitWoken);
  EXPECT_EQ(waiter.Wait(10, false), 0) << "the wake-ups were used up together";

  SocketWaiter alone(INVALID_SOCKET);
  EXPECT_EQ(alone.Wait(10, true), 0);
  alone.Wake();
  EXPECT_EQ(alone.Wait(1000, true), kWaitWoken);
}

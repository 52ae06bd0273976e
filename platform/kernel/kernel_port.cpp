// Message ports. One thread per joined process (the port thread) accepts
// connections and reads every connection, incoming and outgoing, handing
// requests to the handler and replies to the waiting calls. Any thread
// writes, one writer at a time per connection.
#include "platform/kernel/kernel_port.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_files.h"

namespace {

constexpr char kMagic[4] = {'O', 'R', 'V', 'P'};
constexpr int kWriteTimeoutMs = 2000;

void Trace(const std::string& text) { OutputDebugStringA(("port: " + text + "\n").c_str()); }

void PutU32(std::string* out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
std::uint32_t GetU32(const char* p) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return v;
}

}  // namespace

bool EncodePortFrame(const PortFrame& frame, std::string* out) {
  if (frame.payload.size() > kPortMaxPayload) return false;
  out->append(kMagic, 4);
  out->push_back(static_cast<char>(kPortVersion));
  out->push_back(static_cast<char>(frame.kind));
  out->append(2, '\0');
  PutU32(out, frame.callId);
  PutU32(out, static_cast<std::uint32_t>(frame.payload.size()));
  out->append(frame.payload);
  return true;
}

PortFrameReader::Result PortFrameReader::Next(PortFrame* frame, std::string* error) {
  auto fail = [&](const char* why) {
    failed_ = true;
    if (error) *error = why;
    return kBad;
  };
  if (failed_) return fail("the connection already sent a bad frame");
  std::size_t avail = buffer_.size() - used_;
  const char* p = buffer_.data() + used_;
  // Check what has arrived of the header byte by byte, so garbage fails early.
  for (std::size_t i = 0; i < 4 && i < avail; ++i)
    if (p[i] != kMagic[i]) return fail("bad magic");
  if (avail > 4 && static_cast<std::uint8_t>(p[4]) != kPortVersion) return fail("unknown version");
  if (avail > 5) {
    auto kind = static_cast<std::uint8_t>(p[5]);
    if (kind == 0 || kind > kPortKindLast) return fail("unknown frame kind");
  }
  if (avail > 6 && p[6] != 0) return fail("reserved field not zero");
  if (avail > 7 && p[7] != 0) return fail("reserved field not zero");
  if (avail < kPortHeaderSize) return kNeedMore;
  std::uint32_t length = GetU32(p + 12);
  if (length > kPortMaxPayload) return fail("frame longer than the cap");
  if (avail - kPortHeaderSize < length) return kNeedMore;
  frame->kind = static_cast<std::uint8_t>(p[5]);
  frame->callId = GetU32(p + 8);
  frame->payload.assign(p + kPortHeaderSize, length);
  used_ += kPortHeaderSize + length;
  if (used_ == buffer_.size()) {
    buffer_.clear();
    used_ = 0;
  } else if (used_ > (1u << 20)) {
    buffer_.erase(0, used_);
    used_ = 0;
  }
  return kFrame;
}

void PortWriter::U32(std::uint32_t v) { PutU32(&data_, v); }
void PortWriter::U64(std::uint64_t v) {
  U32(static_cast<std::uint32_t>(v));
  U32(static_cast<std::uint32_t>(v >> 32));
}
void PortWriter::Bytes(std::string_view bytes) {
  U32(static_cast<std::uint32_t>(bytes.size()));
  data_.append(bytes);
}
bool PortReader::U32(std::uint32_t* v) {
  if (data_.size() - pos_ < 4) return false;
  *v = GetU32(data_.data() + pos_);
  pos_ += 4;
  return true;
}
bool PortReader::U64(std::uint64_t* v) {
  std::uint32_t lo = 0, hi = 0;
  if (!U32(&lo) || !U32(&hi)) return false;
  *v = (static_cast<std::uint64_t>(hi) << 32) | lo;
  return true;
}
bool PortReader::Bytes(std::string* out) {
  std::uint32_t n = 0;
  std::size_t start = pos_;
  if (!U32(&n)) return false;
  if (data_.size() - pos_ < n) {
    pos_ = start;
    return false;
  }
  out->assign(data_.data() + pos_, n);
  pos_ += n;
  return true;
}

bool IsPrivateFolder(const std::string& folder, std::string* why) {
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  struct stat info {};
  const char* reason = nullptr;
  if (path.empty() || ::lstat(path.c_str(), &info) != 0) reason = "does not exist";
  else if (S_ISLNK(info.st_mode)) reason = "is a link";
  else if (!S_ISDIR(info.st_mode)) reason = "is not a folder";
  else if (info.st_uid != ::geteuid()) reason = "belongs to another user";
  else if ((info.st_mode & 07777) != 0700) reason = "does not have mode 0700";
  if (!reason) return true;
  if (why) *why = "the folder " + path + " " + reason;
  return false;
}

namespace {

struct Conn {
  std::uint64_t id = 0;
  int fd = -1;
  bool incoming = false;
  std::uint32_t instance = 0;  // outgoing: the peer
  std::mutex writeLock;
  PortFrameReader reader;
  ~Conn() {
    if (fd >= 0) ::close(fd);
  }
  bool Write(const std::string& bytes) {
    std::lock_guard<std::mutex> g(writeLock);
    std::size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ::shutdown(fd, SHUT_RDWR);  // the port thread sees the end and drops us
        return false;
      }
      done += static_cast<std::size_t>(n);
    }
    return true;
  }
};

struct Pending {
  std::uint64_t conn = 0;
  PortCallState state = PortCallState::kPending;
  std::string reply;
};

struct Port {
  std::mutex lock;
  std::condition_variable event;
  std::uint64_t eventCount = 0;
  bool joined = false;
  bool tried = false;
  std::string folder;
  std::uint32_t instance = 0;
  int listenFd = -1;
  int wakeFd = -1;
  PortHandler handler;
  std::map<std::uint64_t, std::shared_ptr<Conn>> conns;
  std::map<std::uint32_t, std::uint64_t> outgoing;  // instance -> connection
  std::map<std::uint32_t, Pending> calls;
  std::uint64_t nextConn = 1;
  std::uint32_t nextCall = 1;
  std::vector<int> keptFds;  // instance locks and raw test connections

  void Bump() {
    ++eventCount;
    event.notify_all();
  }
  void Wake() {
    std::uint64_t one = 1;
    if (wakeFd >= 0) (void)!::write(wakeFd, &one, sizeof one);
  }
};

Port& P() {
  static Port* port = new Port;
  return *port;
}

std::string PortPath(const std::string& folder, std::uint32_t instance) {
  char name[32];
  std::snprintf(name, sizeof name, "%06x.port", instance);
  return folder + name;
}

bool FillAddress(const std::string& path, sockaddr_un* addr) {
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  if (path.size() >= sizeof addr->sun_path) return false;
  std::memcpy(addr->sun_path, path.c_str(), path.size());
  return true;
}

// Connects to a port file: the descriptor, or -1 (a refusing file is removed).
int ConnectTo(const std::string& path) {
  sockaddr_un addr;
  if (!FillAddress(path, &addr)) return -1;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    int err = errno;
    ::close(fd);
    if (err == ECONNREFUSED) {
      ::unlink(path.c_str());
      Trace("removed the stale port " + path);
    }
    return -1;
  }
  timeval tv{kWriteTimeoutMs / 1000, (kWriteTimeoutMs % 1000) * 1000};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  return fd;
}

// Makes a listening socket under a fresh instance number in folder.
int MakeListener(const std::string& folder, std::uint32_t* instance) {
  std::random_device seed;
  std::mt19937 rng(seed() ^ static_cast<unsigned>(::getpid()));
  for (int attempt = 0; attempt < 64; ++attempt) {
    std::uint32_t candidate = 1 + rng() % 0xFFFFFEu;
    std::string path = PortPath(folder, candidate);
    sockaddr_un addr;
    if (!FillAddress(path, &addr)) return -1;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && ::listen(fd, 512) == 0) {
      *instance = candidate;
      return fd;
    }
    ::close(fd);
    if (errno != EADDRINUSE) return -1;
    int probe = ConnectTo(path);  // a stale file is removed; a live one is someone else's
    if (probe >= 0) ::close(probe);
  }
  return -1;
}

void DropConnLocked(Port& p, std::uint64_t id) {
  auto it = p.conns.find(id);
  if (it == p.conns.end()) return;
  if (!it->second->incoming) {
    auto o = p.outgoing.find(it->second->instance);
    if (o != p.outgoing.end() && o->second == id) p.outgoing.erase(o);
  }
  for (auto& [callId, call] : p.calls)
    if (call.conn == id && call.state == PortCallState::kPending) call.state = PortCallState::kFailed;
  p.conns.erase(it);
  p.Bump();
}

void Accept(Port& p) {
  int fd = ::accept4(p.listenFd, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  ucred cred{};
  socklen_t len = sizeof cred;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != ::geteuid()) {
    Trace("closed a connection from another user");
    ::close(fd);
    return;
  }
  timeval tv{kWriteTimeoutMs / 1000, (kWriteTimeoutMs % 1000) * 1000};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  auto conn = std::make_shared<Conn>();
  conn->fd = fd;
  conn->incoming = true;
  std::lock_guard<std::mutex> g(p.lock);
  conn->id = p.nextConn++;
  p.conns[conn->id] = conn;
}

// Reads what a connection has; false when it must be dropped.
bool ReadConn(Port& p, const std::shared_ptr<Conn>& conn) {
  char buf[65536];
  ssize_t n = ::recv(conn->fd, buf, sizeof buf, MSG_DONTWAIT);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
  if (n <= 0) {
    if (conn->reader.Partial()) Trace("dropped a connection: it ended inside a frame");
    return false;
  }
  conn->reader.Feed(buf, static_cast<std::size_t>(n));
  for (;;) {
    PortFrame frame;
    std::string error;
    PortFrameReader::Result r = conn->reader.Next(&frame, &error);
    if (r == PortFrameReader::kNeedMore) return true;
    if (r == PortFrameReader::kBad) {
      Trace("dropped a connection: " + error);
      return false;
    }
    if (frame.kind == kPortReply) {
      if (conn->incoming) {
        Trace("dropped a connection: a reply where a request belongs");
        return false;
      }
      std::lock_guard<std::mutex> g(p.lock);
      auto it = p.calls.find(frame.callId);
      if (it != p.calls.end() && it->second.conn == conn->id && it->second.state == PortCallState::kPending) {
        it->second.state = PortCallState::kDone;
        it->second.reply = std::move(frame.payload);
        p.Bump();
      }  // else: an abandoned call's late reply, discarded
      continue;
    }
    if (!conn->incoming) {
      Trace("dropped a connection: a request where a reply belongs");
      return false;
    }
    PortHandler handler;
    {
      std::lock_guard<std::mutex> g(p.lock);
      handler = p.handler;
    }
    if (handler) handler(conn->id, std::move(frame));
  }
}

[[noreturn]] void RunPort() {
  Port& p = P();
  std::vector<pollfd> fds;
  std::vector<std::shared_ptr<Conn>> order;
  for (;;) {
    fds.clear();
    order.clear();
    fds.push_back({p.wakeFd, POLLIN, 0});
    fds.push_back({p.listenFd, POLLIN, 0});
    {
      std::lock_guard<std::mutex> g(p.lock);
      for (auto& [id, conn] : p.conns) {
        fds.push_back({conn->fd, POLLIN, 0});
        order.push_back(conn);
      }
    }
    if (::poll(fds.data(), fds.size(), 1000) <= 0) continue;
    if (fds[0].revents & POLLIN) {
      std::uint64_t count;
      (void)!::read(p.wakeFd, &count, sizeof count);
    }
    if (fds[1].revents & POLLIN) Accept(p);
    for (std::size_t i = 0; i < order.size(); ++i) {
      if (!fds[i + 2].revents) continue;
      if (!ReadConn(p, order[i])) {
        std::lock_guard<std::mutex> g(p.lock);
        DropConnLocked(p, order[i]->id);
      }
    }
  }
}

// The connection to a peer, made when missing (or, fresh, replacing the
// one we had).
std::shared_ptr<Conn> Outgoing(std::uint32_t instance, bool fresh = false) {
  Port& p = P();
  std::string folder;
  {
    std::lock_guard<std::mutex> g(p.lock);
    if (!p.joined || instance == 0) return nullptr;
    auto it = p.outgoing.find(instance);
    if (fresh && it != p.outgoing.end()) {
      DropConnLocked(p, it->second);
      it = p.outgoing.end();
    }
    if (it != p.outgoing.end()) {
      auto c = p.conns.find(it->second);
      if (c != p.conns.end()) return c->second;
    }
    folder = p.folder;
  }
  int fd = ConnectTo(PortPath(folder, instance));
  if (fd < 0) return nullptr;
  auto conn = std::make_shared<Conn>();
  conn->fd = fd;
  conn->instance = instance;
  std::lock_guard<std::mutex> g(p.lock);
  auto it = p.outgoing.find(instance);
  if (it != p.outgoing.end() && p.conns.count(it->second)) return p.conns[it->second];  // another thread won
  conn->id = p.nextConn++;
  p.conns[conn->id] = conn;
  p.outgoing[instance] = conn->id;
  p.Wake();
  return conn;
}

}  // namespace

bool PortJoin(const std::string& folderArg, PortHandler handler) {
  Port& p = P();
  std::lock_guard<std::mutex> g(p.lock);
  if (p.tried) return p.joined;
  p.tried = true;
  std::string folder = folderArg;
  int inheritedFd = -1;
  std::uint32_t inheritedInstance = 0;
  const char* envFolder = ::getenv("ORV_PORT_FOLDER");
  if (folder.empty() && envFolder && *envFolder) folder = envFolder;
  if (folderArg.empty()) {
    const char* fdText = ::getenv("ORV_PORT_FD");
    const char* instText = ::getenv("ORV_PORT_INSTANCE");
    if (fdText && instText) {
      int fd = std::atoi(fdText);
      unsigned long inst = std::strtoul(instText, nullptr, 16);
      int listening = 0;
      socklen_t len = sizeof listening;
      if (fd >= 3 && inst > 0 && inst < 0x1000000 &&
          ::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &len) == 0 && listening) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        inheritedFd = fd;
        inheritedInstance = static_cast<std::uint32_t>(inst);
      }
    }
    ::unsetenv("ORV_PORT_FD");
    ::unsetenv("ORV_PORT_INSTANCE");
  }
  if (folder.empty()) {
    folder = PrivateRuntimeFolder();
    if (folder.empty()) {
      Trace("no private folder; cross-process calls are off");
      return false;
    }
  }
  if (folder.back() != '/') folder += '/';
  std::string why;
  if (!IsPrivateFolder(folder, &why)) {
    Trace(why + "; cross-process calls are off");
    if (inheritedFd >= 0) ::close(inheritedFd);
    return false;
  }
  std::uint32_t instance = inheritedInstance;
  int fd = inheritedFd >= 0 ? inheritedFd : MakeListener(folder, &instance);
  if (fd < 0) {
    Trace("cannot make a port in " + folder + "; cross-process calls are off");
    return false;
  }
  p.wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  p.listenFd = fd;
  p.folder = folder;
  p.instance = instance;
  p.handler = std::move(handler);
  p.joined = true;
  ::setenv("ORV_PORT_FOLDER", folder.c_str(), 1);
  std::thread(RunPort).detach();
  return true;
}

std::uint32_t PortInstance() {
  std::lock_guard<std::mutex> g(P().lock);
  return P().joined ? P().instance : 0;
}

std::string PortFolder() {
  std::lock_guard<std::mutex> g(P().lock);
  return P().joined ? P().folder : std::string();
}

std::vector<std::uint32_t> PortPeers() {
  std::vector<std::uint32_t> peers;
  std::string folder = PortFolder();
  if (folder.empty()) return peers;
  std::uint32_t self = PortInstance();
  for (const FolderEntry& e : ListFolder(folder)) {
    if (e.name.size() != 11 || e.name.compare(6, 5, ".port") != 0) continue;
    std::string digits = e.name.substr(0, 6);
    char* end = nullptr;
    unsigned long inst = std::strtoul(digits.c_str(), &end, 16);
    if (inst == 0 || inst == self || *end) continue;
    std::string path = PortPath(folder, static_cast<std::uint32_t>(inst));
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) continue;
    peers.push_back(static_cast<std::uint32_t>(inst));
  }
  return peers;
}

bool PortSend(std::uint32_t instance, std::uint8_t kind, const std::string& payload) {
  std::string bytes;
  if (!EncodePortFrame(PortFrame{kind, 0, payload}, &bytes)) return false;
  // A connection whose peer has gone but whose end we have not read yet
  // fails its write: one fresh connection then tells (and clears a stale port).
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::shared_ptr<Conn> conn = Outgoing(instance, attempt > 0);
    if (!conn) return false;
    if (conn->Write(bytes)) return true;
  }
  return false;
}

std::uint32_t PortCallStart(std::uint32_t instance, std::uint8_t kind, const std::string& payload) {
  Port& p = P();
  for (int attempt = 0; attempt < 2; ++attempt) {  // as PortSend
    std::shared_ptr<Conn> conn = Outgoing(instance, attempt > 0);
    if (!conn) return 0;
    std::uint32_t id;
    {
      std::lock_guard<std::mutex> g(p.lock);
      id = p.nextCall++;
      if (id == 0) id = p.nextCall++;
      p.calls[id] = Pending{conn->id, PortCallState::kPending, {}};
    }
    std::string bytes;
    if (!EncodePortFrame(PortFrame{kind, id, payload}, &bytes)) {
      std::lock_guard<std::mutex> g(p.lock);
      p.calls.erase(id);
      return 0;
    }
    if (conn->Write(bytes)) return id;
    std::lock_guard<std::mutex> g(p.lock);
    p.calls.erase(id);
  }
  return 0;
}

PortCallState PortCallResult(std::uint32_t callId, std::string* reply) {
  Port& p = P();
  std::lock_guard<std::mutex> g(p.lock);
  auto it = p.calls.find(callId);
  if (it == p.calls.end()) return PortCallState::kFailed;
  PortCallState state = it->second.state;
  if (state == PortCallState::kPending) return state;
  if (state == PortCallState::kDone && reply) *reply = std::move(it->second.reply);
  p.calls.erase(it);
  return state;
}

void PortCallAbandon(std::uint32_t callId) {
  std::lock_guard<std::mutex> g(P().lock);
  P().calls.erase(callId);
}

bool PortReply(std::uint64_t connection, std::uint32_t callId, const std::string& payload) {
  std::shared_ptr<Conn> conn;
  {
    std::lock_guard<std::mutex> g(P().lock);
    auto it = P().conns.find(connection);
    if (it == P().conns.end()) return false;
    conn = it->second;
  }
  std::string bytes;
  if (!EncodePortFrame(PortFrame{kPortReply, callId, payload}, &bytes)) return false;
  return conn->Write(bytes);
}

std::uint64_t PortEventCount() {
  std::lock_guard<std::mutex> g(P().lock);
  return P().eventCount;
}

void PortSignal() {
  std::lock_guard<std::mutex> g(P().lock);
  P().Bump();
}

void PortWaitEvent(std::uint64_t seen, DWORD ms) {
  Port& p = P();
  std::unique_lock<std::mutex> g(p.lock);
  p.event.wait_for(g, std::chrono::milliseconds(ms), [&] { return p.eventCount != seen; });
}

bool StartProcessWithPort(const ProcessStart& start, int* pid, DWORD* mainThreadId) {
  std::string folder = PortFolder();
  if (folder.empty()) {
    if (mainThreadId) *mainThreadId = 0;
    return StartProcess(start, pid);
  }
  std::uint32_t instance = 0;
  int fd = MakeListener(folder, &instance);
  if (fd < 0) return false;
  ProcessStart withPort = start;
  char inst[16];
  std::snprintf(inst, sizeof inst, "%06x", instance);
  withPort.env.push_back("ORV_PORT_FOLDER=" + folder);
  withPort.env.push_back("ORV_PORT_FD=3");
  withPort.env.push_back(std::string("ORV_PORT_INSTANCE=") + inst);
  withPort.passFd = fd;
  bool ok = StartProcess(withPort, pid);
  ::close(fd);
  if (!ok) {
    ::unlink(PortPath(folder, instance).c_str());
    return false;
  }
  if (mainThreadId) *mainThreadId = PortThreadIdOf(instance);
  return true;
}

bool ClaimInstanceLock(const std::string& name) {
  std::string folder = PortFolder();
  if (folder.empty()) folder = PrivateRuntimeFolder();
  if (folder.empty() || name.empty()) return false;
  std::string safe;
  for (char c : name) safe += (c == '/' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
  int fd = ::open((folder + safe + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  std::lock_guard<std::mutex> g(P().lock);
  P().keptFds.push_back(fd);  // held until the process ends
  return true;
}

bool PortWriteRaw(std::uint32_t instance, const std::string& bytes) {
  std::string folder = PortFolder();
  if (folder.empty()) return false;
  int fd = ConnectTo(PortPath(folder, instance));
  if (fd < 0) return false;
  bool ok = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  std::lock_guard<std::mutex> g(P().lock);
  P().keptFds.push_back(fd);
  return ok;
}

// Message ports: how the user's processes reach each other.
//
// A process joins once, at start (PortJoin). Its port is a Unix-domain
// stream socket "<instance>.port" in the port folder: the private runtime
// folder (PrivateRuntimeFolder) unless the process was given one (tests) or
// inherited one from the process that started it. The folder is used only
// when it is a real folder of this user's with mode 0700; otherwise joining
// fails with one trace and the process behaves as if it were alone.
// Connections from another user id are closed at once; a port file nobody
// listens on any more is removed by whoever finds it refusing connections.
//
// Addresses: each joined process has an instance number (1 .. 2^24-1),
// unique among the live processes of the folder (its port file is created
// exclusively). Window handles of a joined process carry it in their high
// half; its UI thread's id is PortThreadIdOf(instance).
//
// Wire format (version 1), every integer little-endian:
//   "ORVP" | version u8 (1) | kind u8 | reserved u16 (0) | call id u32 | length u32 | payload
// The payload is at most kPortMaxPayload bytes; a reader checks magic,
// version, kind, the reserved field and the length before allocating, and a
// connection that sends a bad frame is closed (with a trace), nothing else.
//
// Calls: a frame sent with PortCall is answered by one kReply frame with the
// same call id on the same connection. Frames from one process to another
// travel on one connection and arrive in the order they were sent.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel/kernel_process.h"
#include "platform/kernel/win_types.h"

constexpr std::uint8_t kPortVersion = 1;
constexpr std::size_t kPortHeaderSize = 16;
// Room for a 16 MiB WM_COPYDATA payload and its record around it.
constexpr std::uint32_t kPortMaxPayload = (16u << 20) + 256u;

enum PortKind : std::uint8_t {
  kPortPost = 1,    // no answer
  kPortCall = 2,    // answered by kPortReply; handled on the receiver's UI thread
  kPortQuery = 3,   // answered by kPortReply; handled at once by the receiver's port thread
  kPortReply = 4,
  kPortKindLast = kPortReply,
};

struct PortFrame {
  std::uint8_t kind = 0;
  std::uint32_t callId = 0;
  std::string payload;
};

// Encodes one frame (false when the payload exceeds the cap).
bool EncodePortFrame(const PortFrame& frame, std::string* out);

// Cuts frames out of a byte stream. Every byte is checked; after an error
// the reader stays failed.
class PortFrameReader {
 public:
  enum Result { kFrame, kNeedMore, kBad };
  void Feed(const char* data, std::size_t size) { buffer_.append(data, size); }
  // kFrame: *frame holds the next frame. kBad: *error says why.
  Result Next(PortFrame* frame, std::string* error);
  // True when part of a frame has arrived and not the rest.
  bool Partial() const { return buffer_.size() > used_; }

 private:
  std::string buffer_;
  std::size_t used_ = 0;
  bool failed_ = false;
};

// Bounded field readers and writers for payloads.
class PortWriter {
 public:
  void U32(std::uint32_t v);
  void U64(std::uint64_t v);
  void Bytes(std::string_view bytes);  // u32 length, then the bytes
  std::string& Data() { return data_; }

 private:
  std::string data_;
};
class PortReader {
 public:
  explicit PortReader(std::string_view data) : data_(data) {}
  bool U32(std::uint32_t* v);
  bool U64(std::uint64_t* v);
  bool Bytes(std::string* out);  // fails when the length runs past the data
  bool AtEnd() const { return pos_ == data_.size(); }

 private:
  std::string_view data_;
  std::size_t pos_ = 0;
};

// The UI thread id of a joined process with this instance number, and back
// (0 when the id is no port thread id).
inline DWORD PortThreadIdOf(std::uint32_t instance) { return 0x80000000u | instance; }
inline std::uint32_t PortInstanceOfThreadId(DWORD id) { return (id & 0x80000000u) ? (id & 0x00FFFFFFu) : 0; }

// Receives the frames of kinds kPortPost, kPortCall and kPortQuery that other
// processes send, on the port's own thread. connection names where a reply
// goes (PortReply); it stays valid for replies after the call returns.
using PortHandler = std::function<void(std::uint64_t connection, PortFrame frame)>;

// Joins: folder empty means the inherited folder (and port) when this
// process was started by a joined process, else the private runtime folder.
// True when the port listens. The handler must be set before other
// processes can reach us. A second join answers whether the first succeeded.
bool PortJoin(const std::string& folder, PortHandler handler);
// This process's instance number, 0 when it has not joined.
std::uint32_t PortInstance();
// The folder, ending in '/', empty when not joined.
std::string PortFolder();
// Instance numbers of the other live ports of the folder (stale port files
// found refusing connections are removed on the way).
std::vector<std::uint32_t> PortPeers();

// Sends a frame to a process without waiting for anything. False when the
// process has no port, has ended or the write failed.
bool PortSend(std::uint32_t instance, std::uint8_t kind, const std::string& payload);
// Sends a call or query frame and returns its call id (0 when it could not
// be sent: no such process, ended, write failed). Wait with PortCallResult.
std::uint32_t PortCallStart(std::uint32_t instance, std::uint8_t kind, const std::string& payload);
enum class PortCallState { kPending, kDone, kFailed };
// Looks at a call: kDone (the reply payload moved to *reply and the call
// forgotten), kFailed (the connection closed; forgotten) or kPending.
PortCallState PortCallResult(std::uint32_t callId, std::string* reply);
// Forgets a call still pending (time-out): its late reply is discarded.
void PortCallAbandon(std::uint32_t callId);
// Answers a call or query received through the handler (false when that
// connection has closed).
bool PortReply(std::uint64_t connection, std::uint32_t callId, const std::string& payload);

// A counter that moves whenever a reply or a failure arrives or PortSignal
// is called; PortWaitEvent waits at most ms until it differs from seen.
std::uint64_t PortEventCount();
void PortSignal();
void PortWaitEvent(std::uint64_t seen, DWORD ms);

// Starts a program like StartProcess. When this process has joined, the
// child gets a port of its own made here, before it runs, with its instance
// number and the folder: anything sent to it after this returns waits for it
// however late it starts reading. *mainThreadId (optional) receives the
// child's UI thread id (0 when this process has not joined).
bool StartProcessWithPort(const ProcessStart& start, int* pid, DWORD* mainThreadId);

// A per-user instance lock in the port folder (the private runtime folder
// when this process has not joined): true for the first claimer, false
// while the holder lives (also for a second claim in the same process);
// the kernel releases it when the holder ends, however it ends.
bool ClaimInstanceLock(const std::string& name);

// Checks that a folder may hold ports: a real folder (not a link) owned by
// this user with mode exactly 0700. Otherwise false with *why filled.
bool IsPrivateFolder(const std::string& folder, std::string* why);

// Test use: writes raw bytes to a process's port on a fresh connection and
// keeps that connection open until the process ends.
bool PortWriteRaw(std::uint32_t instance, const std::string& bytes);

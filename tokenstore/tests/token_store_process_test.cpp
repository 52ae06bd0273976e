// The shared table across real processes: each Helper is one
// tokenstore_helper process that has loaded the library and answers
// commands over pipes. Every read has a time-out, and a helper still running
// at the end of a test is killed.
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <pwd.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_com.h"
#include "platform/kernel/kernel_files.h"
#include "tokenstore/data_saver.h"
#include "tokenstore/token_table.h"

namespace {

constexpr int kReplyMs = 20000;

class Helper {
 public:
  Helper() {
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(toChild[0], STDIN_FILENO);
      dup2(fromChild[1], STDOUT_FILENO);
      execl(TOKENSTORE_HELPER, TOKENSTORE_HELPER, TOKENSTORE_LIBRARY, static_cast<char*>(nullptr));
      _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
    ready_ = ReadLine(kReplyMs) == "ready";
  }
  ~Helper() {
    Kill();
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
  }
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;

  bool Ready() const { return ready_; }

  // Sends one command and waits for its one-line answer ("<time-out>" when
  // none comes within ms).
  std::string Ask(const std::string& command, int ms = kReplyMs) {
    Send(command);
    return ReadLine(ms);
  }
  void Send(const std::string& command) {
    std::string line = command + "\n";
    ssize_t n = write(in_, line.data(), line.size());
    (void)n;
  }
  std::string ReadLine(int ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      size_t newline = buffer_.find('\n');
      if (newline != std::string::npos) {
        std::string line = buffer_.substr(0, newline);
        buffer_.erase(0, newline + 1);
        return line;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return "<time-out>";
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char chunk[512];
      ssize_t n = read(out_, chunk, sizeof chunk);
      if (n <= 0) return "<closed>";
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }

  // "exit" and a wait for a clean end; false on a time-out or a bad status.
  bool Exit() {
    Send("exit");
    return Wait(kReplyMs) == 0;
  }
  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  // Exit status, or -1 after a time-out (the helper is then killed).
  int Wait(int ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      pid_t r = waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      usleep(2000);
    }
    Kill();
    return -1;
  }

  pid_t pid_ = -1;
  int in_ = -1;   // helper's standard input
  int out_ = -1;  // helper's standard output
  bool ready_ = false;
  std::string buffer_;
};

class TokenStoreProcesses : public testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    section_ = "/orv-tokens-p" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    setenv("TMRQ_SECTION_NAME", section_.c_str(), 1);
  }
  void TearDown() override {
    helpers_.clear();
    EXPECT_FALSE(SectionExists()) << "shared table left behind";
  }

  Helper& Start() {
    helpers_.push_back(std::make_unique<Helper>());
    EXPECT_TRUE(helpers_.back()->Ready()) << "helper did not start";
    return *helpers_.back();
  }
  bool SectionExists() const { return access((PrivateRuntimeFolder() + section_.substr(1)).c_str(), F_OK) == 0; }

  std::string section_;
  std::vector<std::unique_ptr<Helper>> helpers_;
};

TEST_F(TokenStoreProcesses, TokenStoredByOneIsReadByAnother) {
  Helper& a = Start();
  Helper& b = Start();
  EXPECT_EQ("0", a.Ask("set 7 1 tokenA"));
  EXPECT_EQ("0 1 tokenA", b.Ask("get 7"));
  EXPECT_EQ("0 7 1 tokenA", b.Ask("active"));
  EXPECT_EQ("0", b.Ask("set 7 0 -"));
  EXPECT_EQ("0 0 -", a.Ask("get 7"));
  EXPECT_TRUE(a.Exit());
  EXPECT_TRUE(b.Exit());
}

TEST_F(TokenStoreProcesses, SixtyFifthCodeAcrossProcesses) {
  Helper& a = Start();
  Helper& b = Start();
  EXPECT_EQ("40 0", a.Ask("fill 1 40"));
  EXPECT_EQ("24 1", b.Ask("fill 41 25")) << "the 65th store gives S_FALSE";
  EXPECT_EQ("0 0 -", a.Ask("get 65"));
  EXPECT_EQ("0 1 t64", a.Ask("get 64"));
  EXPECT_TRUE(a.Exit());
  EXPECT_TRUE(b.Exit());
}

TEST_F(TokenStoreProcesses, TableIsZeroAgainAfterEveryProcessEnded) {
  Helper& a = Start();
  EXPECT_EQ("0", a.Ask("set 7 1 tokenA"));
  EXPECT_TRUE(a.Exit());
  EXPECT_FALSE(SectionExists()) << "the last process removes the table";
  Helper& b = Start();
  EXPECT_EQ("0 0 -", b.Ask("get 7"));
  EXPECT_EQ("0 0 0 -", b.Ask("active"));
  EXPECT_TRUE(b.Exit());
}

TEST_F(TokenStoreProcesses, TableIsZeroAgainAfterTheLastProcessWasKilled) {
  Helper& a = Start();
  EXPECT_EQ("0", a.Ask("set 7 1 tokenA"));
  a.Kill();
  EXPECT_TRUE(SectionExists()) << "a killed process cannot clean up";
  Helper& b = Start();
  EXPECT_EQ("0 0 -", b.Ask("get 7"));
  EXPECT_EQ("0 0 0 -", b.Ask("active"));
  EXPECT_TRUE(b.Exit());
}

TEST_F(TokenStoreProcesses, TableLivesWhileAnyProcessHasIt) {
  Helper& a = Start();
  Helper& keeper = Start();
  EXPECT_EQ("0", a.Ask("set 7 1 tokenA"));
  a.Kill();
  Helper& b = Start();
  EXPECT_EQ("0 1 tokenA", b.Ask("get 7"));
  EXPECT_TRUE(keeper.Exit());
  EXPECT_TRUE(b.Exit());
}

TEST_F(TokenStoreProcesses, ProcessKilledHoldingTheLockBlocksNobody) {
  Helper& holder = Start();
  Helper& waiter = Start();
  ASSERT_EQ("locked", holder.Ask("lock"));
  waiter.Send("set 9 1 x");
  EXPECT_EQ("<time-out>", waiter.ReadLine(300)) << "the lock is held";
  holder.Kill();
  EXPECT_EQ("0", waiter.ReadLine(kReplyMs)) << "the waiter takes the abandoned lock";
  Helper& late = Start();
  EXPECT_EQ("0 1 x", late.Ask("get 9"));
  EXPECT_EQ("0", late.Ask("set 10 1 y"));
  EXPECT_TRUE(waiter.Exit());
  EXPECT_TRUE(late.Exit());
}

TEST_F(TokenStoreProcesses, StressLeavesNoTornRecord) {
  std::vector<Helper*> workers;
  for (int i = 0; i < 4; ++i) workers.push_back(&Start());
  for (Helper* w : workers) w->Send("stress 4 3000 40");
  for (Helper* w : workers) EXPECT_EQ("ok", w->ReadLine(240000));
  EXPECT_EQ("ok", workers[0]->Ask("check"));
  for (Helper* w : workers) EXPECT_TRUE(w->Exit());
}

// ------------------------------------------------------------ hostile tables

// The table file as the library lays it out: the table, the process-shared
// mutex, then the header (magic "TMRQ", size).
constexpr size_t kSectionSize = sizeof(TokenTable) + sizeof(pthread_mutex_t) + 8;
constexpr std::uint32_t kMagic = 0x51524D54;
const std::string kEFail = std::to_string(static_cast<long>(E_FAIL));

bool LibraryLoaded() {
  void* handle = dlopen(TOKENSTORE_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return false;
  dlclose(handle);
  return true;
}

std::string FileBytes(const std::string& path) {
  std::string bytes;
  ReadWholeFile(path, &bytes);
  return bytes;
}

// A table as another party would plant it: ready, with one record.
std::string PlantedTable(std::uint32_t magic, std::uint32_t size) {
  std::string bytes(kSectionSize, '\0');
  TokenTable table{};
  table.records[0].customerCode = 7;
  std::snprintf(table.records[0].token, kTokenTextSize, "planted");
  table.records[0].referenceCount = 1;
  table.activeCode = 7;
  std::memcpy(bytes.data(), &table, sizeof table);
  std::memcpy(bytes.data() + kSectionSize - 8, &magic, 4);
  std::memcpy(bytes.data() + kSectionSize - 4, &size, 4);
  return bytes;
}

class TokenStoreSecurity : public TokenStoreProcesses {
 protected:
  std::string TablePath() const { return PrivateRuntimeFolder() + section_.substr(1); }
};

// Files only this user's own processes should ever have made, planted under
// the table's name while another holder keeps it (a shared flock): each is
// refused, read by nobody, and left byte for byte as it was.
TEST_F(TokenStoreSecurity, ForeignOrDamagedTableIsRefusedAndLeftAlone) {
  struct Case {
    const char* what;
    mode_t mode;
    std::string bytes;
    const char* trace;
  } const cases[] = {
      {"open to everyone", 0666, PlantedTable(kMagic, kSectionSize), "not private"},
      {"group may read", 0640, PlantedTable(kMagic, kSectionSize), "not private"},
      {"others may write", 0602, PlantedTable(kMagic, kSectionSize), "not private"},
      {"foreign magic", 0600, PlantedTable(0xDEADBEEF, kSectionSize), "foreign header"},
      {"foreign size field", 0600, PlantedTable(kMagic, kSectionSize + 8), "foreign header"},
      {"longer file", 0600, PlantedTable(kMagic, kSectionSize) + std::string(4096, '\0'), "foreign size"},
      {"shorter file", 0600, std::string(100, 'x'), "foreign size"},
  };
  std::string path = TablePath();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(static_cast<ssize_t>(c.bytes.size()), write(fd, c.bytes.data(), c.bytes.size()));
    ASSERT_EQ(0, fchmod(fd, c.mode));
    ASSERT_EQ(0, flock(fd, LOCK_SH));
    {
      DebugCapture capture;
      void* factory = reinterpret_cast<void*>(1);
      EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
                CoGetClassObjectFromLibrary(TOKENSTORE_LIBRARY, CLSID_DataSaver, IID_IClassFactory, &factory));
      EXPECT_EQ(nullptr, factory);
      EXPECT_TRUE(capture.Contains(c.trace)) << capture.Text();
      CoFreeUnusedLibraries();
      EXPECT_FALSE(LibraryLoaded());
    }
    EXPECT_EQ(c.bytes, FileBytes(path)) << "not a byte written";
    struct stat st {};
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_EQ(c.mode, st.st_mode & 07777);
    close(fd);
    unlink(path.c_str());
  }
}

TEST_F(TokenStoreSecurity, TableIsNeverOpenedThroughALink) {
  std::string path = TablePath();
  std::string target = path + ".target";
  ASSERT_TRUE(WriteWholeFile(target, "", 0, FileAccess::OwnerOnly));
  ASSERT_EQ(0, symlink(target.c_str(), path.c_str()));
  void* factory = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
            CoGetClassObjectFromLibrary(TOKENSTORE_LIBRARY, CLSID_DataSaver, IID_IClassFactory, &factory));
  CoFreeUnusedLibraries();
  EXPECT_EQ(0, GetFileSizeOf(target)) << "the link's target is untouched";
  unlink(path.c_str());
  unlink(target.c_str());
}

TEST_F(TokenStoreSecurity, TableIsMadeOwnerOnlyWhateverTheUmask) {
  mode_t old = umask(0);
  Helper& a = Start();
  umask(old);
  struct stat st {};
  ASSERT_EQ(0, lstat(TablePath().c_str(), &st));
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(0600u, st.st_mode & 07777);
  EXPECT_EQ(geteuid(), st.st_uid);
  EXPECT_TRUE(a.Exit());
}

// A holder that never lets go (here a live process; from outside, a mutex
// planted already held) costs every other caller a bounded wait and a clean
// failure, and the store works again once it is gone.
TEST_F(TokenStoreSecurity, HeldLockCostsABoundedWait) {
  Helper& holder = Start();
  Helper& waiter = Start();
  ASSERT_EQ("locked", holder.Ask("lock"));
  for (const char* command : {"set 9 1 x", "get 9"}) {
    auto start = std::chrono::steady_clock::now();
    std::string reply = waiter.Ask(command);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(kEFail, reply.substr(0, reply.find(' '))) << command;
    EXPECT_GE(waited, std::chrono::milliseconds(2500)) << command;
    EXPECT_LT(waited, std::chrono::seconds(15)) << command;
  }
  holder.Kill();
  EXPECT_EQ("0", waiter.Ask("set 9 1 x"));
  EXPECT_EQ("0 1 x", waiter.Ask("get 9"));
  EXPECT_TRUE(waiter.Exit());
}

// An id no account uses, for playing another local user.
uid_t UnusedId() {
  for (uid_t id = 54321; id < 60000; ++id) {
    if (!getpwuid(id) && !getgrgid(id)) return id;
  }
  return 0;
}

// Runs attack in a forked child that has become another user (uid and gid
// id, no supplementary groups). The child only makes system calls; its exit
// code is the answer (0-125), 126 when it could not drop to the user.
int AsAnotherUser(uid_t id, int (*attack)(const char* path), const char* path) {
  pid_t pid = fork();
  if (pid == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(id) != 0 || setuid(id) != 0 || geteuid() != id) _exit(126);
    _exit(attack(path));
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 127;
}

// The other user opens the victim's table: 0 when it read something.
int ReadTheTable(const char* path) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == EACCES ? 1 : 2;
  char byte = 0;
  return read(fd, &byte, 1) == 1 ? 0 : 3;
}

// The other user makes the victim's private runtime folder first, open to
// all, with a table in it open to all: 0 when both were made.
int PreemptTheFolder(const char* folder) {
  if (mkdir(folder, 0777) != 0 || chmod(folder, 0777) != 0) return 1;
  char table[512];
  std::snprintf(table, sizeof table, "%s/TMRQToke", folder);
  int fd = open(table, O_RDWR | O_CREAT | O_EXCL, 0666);
  if (fd < 0 || fchmod(fd, 0666) != 0) return 2;
  close(fd);
  return 0;
}

// Two real users: the other one can neither read the victim's table nor
// pre-empt the victim's private folder to read its tokens. Needs root to
// play the other user.
TEST_F(TokenStoreSecurity, AnotherUserCanNeitherReadNorPreempt) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to play a second user";
  uid_t other = UnusedId();
  ASSERT_NE(0u, other);
  char pattern[] = "/tmp/orv-two-users-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(pattern));
  std::string temp = pattern;
  ASSERT_EQ(0, chmod(temp.c_str(), 01777));  // as /tmp is
  const char* oldTmp = getenv("TMPDIR");
  std::string savedTmp = oldTmp ? oldTmp : "";
  const char* oldRuntime = getenv("XDG_RUNTIME_DIR");
  std::string savedRuntime = oldRuntime ? oldRuntime : "";
  setenv("TMPDIR", temp.c_str(), 1);
  unsetenv("XDG_RUNTIME_DIR");
  unsetenv("TMRQ_SECTION_NAME");
  std::string folder = temp + "/orvenna-" + std::to_string(geteuid());

  {
    // The victim first: its table is out of the other user's reach.
    Helper& victim = Start();
    EXPECT_EQ("0", victim.Ask("set 7 1 secret"));
    EXPECT_EQ(1, AsAnotherUser(other, ReadTheTable, (folder + "/TMRQToke").c_str())) << "denied";
    EXPECT_TRUE(victim.Exit());
  }
  ASSERT_TRUE(DeleteFolderTree(folder));

  // The other user first: the victim refuses the folder and stores nothing.
  ASSERT_EQ(0, AsAnotherUser(other, PreemptTheFolder, folder.c_str()));
  {
    DebugCapture capture;
    void* factory = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              CoGetClassObjectFromLibrary(TOKENSTORE_LIBRARY, CLSID_DataSaver, IID_IClassFactory, &factory));
    EXPECT_TRUE(capture.Contains("private runtime folder"));
    CoFreeUnusedLibraries();
  }
  EXPECT_EQ(0, GetFileSizeOf(folder + "/TMRQToke")) << "nothing stored in the other user's file";

  DeleteFolderTree(temp);
  if (savedRuntime.empty()) unsetenv("XDG_RUNTIME_DIR");
  else setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
  if (savedTmp.empty()) unsetenv("TMPDIR");
  else setenv("TMPDIR", savedTmp.c_str(), 1);
}

}  // namespace

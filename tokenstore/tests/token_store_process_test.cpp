// The shared table across real processes: each Helper is one
// tokenstore_helper process that has loaded the library and answers
// commands over pipes. Every read has a time-out, and a helper still running
// at the end of a test is killed.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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
  bool SectionExists() const { return access(("/dev/shm" + section_).c_str(), F_OK) == 0; }

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

}  // namespace

// Files and folders that only their user may read: owner-only writes and
// folders, stale temporary files, and the private runtime folder.
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/tests/kernel_test_folder.h"

namespace {

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return 01000000;  // no such thing
  return info.st_mode & 07777;
}

// Sets the umask for one scope.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(old_); }

 private:
  mode_t old_;
};

// The id of a process that has ended and been reaped.
pid_t DeadPid() {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

void Touch(const std::string& path) {
  ASSERT_TRUE(WriteWholeFile(path, "x", 1)) << path;
}

}  // namespace

TEST(PrivateFiles, OwnerOnlyFilesAndFoldersIgnoreTheUmask) {
  TestFolder top;
  ASSERT_FALSE(top.Path().empty());
  ScopedUmask mask(022);
  std::string data = top / "a/b/c";
  ASSERT_TRUE(CreateFolderTree(data, FileAccess::OwnerOnly));
  for (const char* level : {"a", "a/b", "a/b/c"}) EXPECT_EQ(0700u, ModeOf(top / level)) << level;

  std::string file = data + "/config.data";
  ASSERT_TRUE(WriteWholeFile(file, "secret", 6, FileAccess::OwnerOnly));
  EXPECT_EQ(0600u, ModeOf(file));
  ASSERT_EQ(0, ::chmod(file.c_str(), 0644));  // as an earlier version left it
  ASSERT_TRUE(WriteWholeFile(file, "secret2", 7, FileAccess::OwnerOnly));
  EXPECT_EQ(0600u, ModeOf(file));

  // A folder an earlier version left open is narrowed; a shared one is not.
  ASSERT_TRUE(CreateFolder(top / "open", FileAccess::Shared));
  EXPECT_EQ(0755u, ModeOf(top / "open"));
  ASSERT_TRUE(CreateFolder(top / "open", FileAccess::OwnerOnly));
  EXPECT_EQ(0700u, ModeOf(top / "open"));

  std::string copy = data + "/copy.data";
  ASSERT_TRUE(CopyFileIfAbsent(file, copy, FileAccess::OwnerOnly));
  EXPECT_EQ(0600u, ModeOf(copy));
}

TEST(PrivateFiles, ReplacedSharedFileKeepsItsPermissionBits) {
  TestFolder top;
  ASSERT_FALSE(top.Path().empty());
  ScopedUmask mask(022);
  std::string file = top / "settings.ini";
  Touch(file);
  EXPECT_EQ(0644u, ModeOf(file));
  for (mode_t narrowed : {0600u, 0640u, 0400u}) {
    ASSERT_EQ(0, ::chmod(file.c_str(), narrowed));
    ASSERT_TRUE(WriteWholeFile(file, "new", 3));
    EXPECT_EQ(narrowed, ModeOf(file)) << std::oct << narrowed;
  }
}

TEST(PrivateFiles, StaleTemporaryFilesOfDeadWritersAreRemoved) {
  TestFolder top;
  ASSERT_FALSE(top.Path().empty());
  std::string dead = std::to_string(DeadPid());
  std::string own = std::to_string(::getpid());
  std::string parent = std::to_string(::getppid());  // alive, maybe another user's
  for (const std::string& name : std::vector<std::string>{".config.data.tmp" + dead + "-0", ".config.data.tmp" + dead + "-17", ".config.data.tmp" + own + "-3",
        ".config.data.tmp" + parent + "-1", ".own.data.tmp" + dead + "-0", ".config.data.tmpx-1",
        ".config.data.tmp" + dead, "config.data.tmp" + dead + "-0"})
    Touch(top / name);
  Touch(top / "config.data");

  EXPECT_FALSE(FileExists(top / (".config.data.tmp" + dead + "-0")));
  EXPECT_FALSE(FileExists(top / (".config.data.tmp" + dead + "-17")));
  // Live writers' files, other files' and names not made by a write stay.
  for (const std::string& name : std::vector<std::string>{".config.data.tmp" + own + "-3", ".config.data.tmp" + parent + "-1", ".own.data.tmp" + dead + "-0",
        ".config.data.tmpx-1", ".config.data.tmp" + dead, "config.data.tmp" + dead + "-0"})
    EXPECT_TRUE(FileExists(top / name)) << name;
}

TEST(PrivateRuntimeFolder, LivesInTheRuntimeFolderElseInTheTemporaryFolder) {
  TestFolder top;
  ASSERT_FALSE(top.Path().empty());
  ScopedUmask mask(022);
  ASSERT_TRUE(CreateFolder(top / "run"));
  ASSERT_TRUE(CreateFolder(top / "tmp"));
  ScopedEnv temp("TMPDIR", (top / "tmp").c_str());
  {
    ScopedEnv runtime("XDG_RUNTIME_DIR", (top / "run").c_str());
    EXPECT_EQ(top / "run/orvenna/", PrivateRuntimeFolder());
    EXPECT_EQ(0700u, ModeOf(top / "run/orvenna"));
  }
  std::string fallback = top / ("tmp/orvenna-" + std::to_string(::geteuid()));
  for (const char* runtime : {static_cast<const char*>(nullptr), "", "relative", "/no/such/folder"}) {
    ScopedEnv env("XDG_RUNTIME_DIR", runtime);
    EXPECT_EQ(fallback + "/", PrivateRuntimeFolder()) << (runtime ? runtime : "(unset)");
  }
  EXPECT_EQ(0700u, ModeOf(fallback));
}

TEST(PrivateRuntimeFolder, RefusesAFolderOthersCouldReachOrRedirect) {
  TestFolder top;
  ASSERT_FALSE(top.Path().empty());
  ScopedEnv runtime("XDG_RUNTIME_DIR", top.Path().c_str());
  std::string folder = top / "orvenna";
  struct Case {
    const char* what;
    mode_t mode;  // 0: a link to a good folder instead of a folder
  } cases[] = {{"group and others may enter", 0755}, {"others may write", 0703}, {"group may read", 0740},
               {"sticky", 01700}, {"owner cannot write", 0500}, {"link", 0}};
  for (const Case& c : cases) {
    DeleteFolderTree(folder);
    if (c.mode == 0) {
      ASSERT_TRUE(CreateFolder(top / "elsewhere"));
      ASSERT_EQ(0, ::chmod((top / "elsewhere").c_str(), 0700));
      ASSERT_EQ(0, ::symlink((top / "elsewhere").c_str(), folder.c_str()));
    } else {
      ASSERT_TRUE(CreateFolder(folder));
      ASSERT_EQ(0, ::chmod(folder.c_str(), c.mode));
    }
    DebugCapture capture;
    EXPECT_EQ("", PrivateRuntimeFolder()) << c.what;
    EXPECT_TRUE(capture.Contains("private runtime folder")) << c.what;
    if (c.mode != 0) {
      EXPECT_EQ(c.mode, ModeOf(folder)) << c.what << ": left as it was";
    }
  }
  if (::geteuid() == 0) {
    // Another user's folder, however strict, is never the caller's.
    DeleteFolderTree(folder);
    ASSERT_TRUE(CreateFolder(folder));
    ASSERT_EQ(0, ::chmod(folder.c_str(), 0700));
    ASSERT_EQ(0, ::chown(folder.c_str(), 54321, 54321));
    EXPECT_EQ("", PrivateRuntimeFolder());
  }
}

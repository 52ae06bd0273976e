// The per-user data tree is the user's alone: it holds the remembered
// password and the session ids.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>

#include "foundation/config_store.h"
#include "foundation/tests/readers_test_support.h"
#include "foundation/user_folders.h"

namespace {

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return 01000000;  // no such thing
  return info.st_mode & 07777;
}

class PrivateUserFiles : public readers_test::ReaderFolders {
 protected:
  void SetUp() override {
    oldMask_ = ::umask(022);
    ReaderFolders::SetUp();
  }
  void TearDown() override {
    ReaderFolders::TearDown();
    ::umask(oldMask_);
  }
  mode_t oldMask_ = 0;
};

TEST_F(PrivateUserFiles, FoldersAre0700AndFiles0600AfterASave) {
  InitAppFolders();
  SetConfig("SessionId", "s-1");
  ASSERT_TRUE(SaveConfig());
  for (const char* folder : {"pellune", "pellune/Tamsel", "pellune/Tamsel/data", "pellune/Tamsel/res",
                             "pellune/Tamsel/temp"})
    EXPECT_EQ(0700u, ModeOf(appData_ + folder)) << folder;
  for (const char* file : {"res/config.data", "res/own.data", "res/server.data", "res/qver.data"})
    EXPECT_EQ(0600u, ModeOf(UserFile(file))) << file;
  // The program's own files are not the user's data.
  EXPECT_EQ(0644u, ModeOf(program_ + "res/config.data"));
}

TEST_F(PrivateUserFiles, AnEarlierOpenTreeIsNarrowedAndStaysNarrow) {
  // As an earlier version left it under umask 022.
  ASSERT_TRUE(CreateFolderTree(UserFile("res")));
  ASSERT_TRUE(CreateFolder(UserFile("data")));
  readers_test::WriteText(UserFile("res/config.data"), "<Password>pw</Password>");
  ASSERT_EQ(0644u, ModeOf(UserFile("res/config.data")));
  InitAppFolders();
  for (const char* folder : {"pellune", "pellune/Tamsel", "pellune/Tamsel/data", "pellune/Tamsel/res"})
    EXPECT_EQ(0700u, ModeOf(appData_ + folder)) << folder;
  SetConfig("Password", "pw2");
  ASSERT_TRUE(SaveConfig());
  EXPECT_EQ(0600u, ModeOf(UserFile("res/config.data")));
  ASSERT_TRUE(WriteDataFile("res\\config.data", "x", 1));
  EXPECT_EQ(0600u, ModeOf(UserFile("res/config.data")));
}

}  // namespace

#include "foundation/user_folders.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/tests/readers_test_support.h"

namespace {

using readers_test::FixturePath;
using readers_test::ReadText;
using readers_test::WriteText;

const std::string kUserVer = std::string("<UserVer>") + kBuildText + "</UserVer>";

class UserFolders : public readers_test::ReaderFolders {};

TEST_F(UserFolders, FirstStartCreatesTheFoldersAndSeedsTheDefaults) {
  InitAppFolders();
  for (const char* folder : {"", "data", "res", "temp"}) {
    SCOPED_TRACE(folder);
    EXPECT_TRUE(FolderExists(UserFile(folder)));
  }
  struct Seed {
    const char* file;
    std::string expected;
  } const seeds[] = {
      {"res/own.data", "own-default"},
      {"res/indexParameter.data", "param-default"},
      {"res/qver.data", "qver-default"},
      {"res/server.data", ReadText(FixturePath("server.data"))},
      {"res/boardconfig.json", ReadText(FixturePath("boardconfig.json"))},
      // The default has no UserVer, so the first start stores it.
      {"res/config.data", ReadText(FixturePath("config.data")) + kUserVer},
  };
  for (const auto& seed : seeds) {
    SCOPED_TRACE(seed.file);
    EXPECT_EQ(ReadText(UserFile(seed.file)), seed.expected);
  }
  EXPECT_STREQ(GetConfig("UserVer"), kBuildText);
  EXPECT_STREQ(GetConfig("SevLstVer"), "20160101");
  EXPECT_EQ(DataRoot(), DataRootPath());
  EXPECT_EQ(InstallRoot(), program_);
  char small[8] = "xxxxxxx";
  GetDataRoot(small, sizeof small);
  EXPECT_EQ(std::string(small), DataRootPath().substr(0, 7));
}

TEST_F(UserFolders, ApplicationDataFolderNotYetMade) {
  SetAppDataFolderForTesting(top_ + "/fresh/.local/share");
  InitAppFolders();
  EXPECT_EQ(DataRoot(), top_ + "/fresh/.local/share/pellune/Tamsel/");
  EXPECT_TRUE(FileExists(top_ + "/fresh/.local/share/pellune/Tamsel/res/config.data"));
}

TEST_F(UserFolders, ExistingFilesAreKeptWhenTheBuildIsTheSame) {
  ASSERT_TRUE(CreateFolderTree(UserFile("res")));
  WriteText(UserFile("res/config.data"), kUserVer + "<k>mine</k>");
  WriteText(UserFile("res/server.data"), "<PCLogin>mine</PCLogin>");
  WriteText(UserFile("res/own.data"), "my stocks");
  WriteText(UserFile("res/pellune.db"), "db");
  InitAppFolders();
  EXPECT_EQ(ReadText(UserFile("res/config.data")), kUserVer + "<k>mine</k>");
  EXPECT_EQ(ReadText(UserFile("res/server.data")), "<PCLogin>mine</PCLogin>");
  EXPECT_EQ(ReadText(UserFile("res/own.data")), "my stocks");
  EXPECT_EQ(ReadText(UserFile("res/pellune.db")), "db");
  EXPECT_EQ(ReadText(UserFile("res/qver.data")), "qver-default");  // it was missing
}

TEST_F(UserFolders, AnotherBuildResetsTheServerListAndDictionary) {
  struct Case {
    const char* name;
    std::string config;
  } const cases[] = {
      {"older build", "<UserVer>tq_winpc_tqx1_1.0.0.1_015</UserVer><k>mine</k>"},
      {"no UserVer", "<k>mine</k>"},
      {"empty UserVer", "<UserVer></UserVer><k>mine</k>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(CreateFolderTree(UserFile("res")));
    WriteText(UserFile("res/config.data"), c.config);
    WriteText(UserFile("res/server.data"), "<PCLogin>old</PCLogin>");
    WriteText(UserFile("res/qver.data"), "old");
    WriteText(UserFile("res/pellune.db"), "db");
    InitAppFolders();
    EXPECT_EQ(ReadText(UserFile("res/server.data")), ReadText(FixturePath("server.data")));
    EXPECT_EQ(ReadText(UserFile("res/qver.data")), "qver-default");
    EXPECT_FALSE(FileExists(UserFile("res/pellune.db")));
    EXPECT_STREQ(GetConfig("UserVer"), kBuildText);
    EXPECT_STREQ(GetConfig("k"), "mine");
    EXPECT_NE(ReadText(UserFile("res/config.data")).find(kUserVer), std::string::npos);
  }
}

TEST_F(UserFolders, TempIsEmptiedWithoutFollowingLinksOut) {
  ASSERT_TRUE(CreateFolderTree(UserFile("temp/sub/deeper")));
  WriteText(UserFile("temp/code.jpeg"), "x");
  WriteText(UserFile("temp/sub/deeper/f"), "x");
  ASSERT_TRUE(CreateFolderTree(top_ + "/outside"));
  WriteText(top_ + "/outside/keep", "keep");
  ASSERT_EQ(symlink((top_ + "/outside").c_str(), UserFile("temp/link").c_str()), 0);
  InitAppFolders();
  EXPECT_TRUE(FolderExists(UserFile("temp")));
  EXPECT_TRUE(ListFolder(UserFile("temp")).empty());
  EXPECT_EQ(ReadText(top_ + "/outside/keep"), "keep");
}

TEST_F(UserFolders, WholeFileHelpers) {
  InitAppFolders();
  std::string three = UserFile("three");
  WriteText(three, "abc");
  FileBlob* blob = ReadFileUtf8Path(three.c_str());
  ASSERT_NE(blob, nullptr);
  EXPECT_EQ(blob->size, 3);
  EXPECT_EQ(std::string(blob->data, 5), std::string("abc\0\0", 5));
  FreeFileBlob(blob);

  std::string empty = UserFile("empty");
  WriteText(empty, "");
  blob = ReadFileUtf8Path(empty.c_str());
  ASSERT_NE(blob, nullptr);
  EXPECT_EQ(blob->size, 0);
  EXPECT_STREQ(blob->data, "");
  FreeFileBlob(blob);

  std::string missing = UserFile("missing");
  EXPECT_EQ(ReadFileUtf8Path(missing.c_str()), nullptr);
  EXPECT_EQ(ReadFileUtf8Path(nullptr), nullptr);
  EXPECT_EQ(GetFileSizeUtf8Path(missing.c_str()), -1);
  EXPECT_EQ(GetFileSizeUtf8Path(three.c_str()), 3);
  FreeFileBlob(nullptr);

  std::string twenty = UserFile("twenty");
  WriteText(twenty, std::string(20, 'x'));
  EXPECT_TRUE(WriteFileUtf8Path(twenty.c_str(), "0123456789", 10));
  EXPECT_EQ(ReadText(twenty), "0123456789");
  EXPECT_TRUE(WriteFileUtf8Path(twenty.c_str(), nullptr, 0));
  EXPECT_EQ(GetFileSizeUtf8Path(twenty.c_str()), 0);
  EXPECT_FALSE(WriteFileUtf8Path(UserFile("no/such/folder/f").c_str(), "x", 1));

  CopyFileIfMissing(three.c_str(), twenty.c_str());
  EXPECT_EQ(ReadText(twenty), "");  // never overwritten
  CopyFileIfMissing(three.c_str(), UserFile("copy").c_str());
  EXPECT_EQ(ReadText(UserFile("copy")), "abc");

  DeleteFileUtf8Path(three.c_str());
  EXPECT_FALSE(FileExists(three));
  DeleteFileUtf8Path(three.c_str());  // failures are ignored

  CreateFolderUtf8(UserFile("made").c_str());
  EXPECT_TRUE(FolderExists(UserFile("made")));
  CreateFolderUtf8(UserFile("made").c_str());
  CreateFolderUtf8(UserFile("a/b").c_str());  // one level only
  EXPECT_FALSE(FolderExists(UserFile("a/b")));
}

TEST_F(UserFolders, DataFilesByBackslashPathsAndChineseNames) {
  InitAppFolders();
  const char* name = "res\\数据\\自选股.data";
  CreateFolderUtf8(UserFile("res/数据").c_str());
  EXPECT_TRUE(WriteDataFile(name, "中文", static_cast<int>(strlen("中文"))));
  EXPECT_EQ(ReadText(UserFile("res/数据/自选股.data")), "中文");
  FileBlob* blob = ReadDataFile(name);
  ASSERT_NE(blob, nullptr);
  EXPECT_STREQ(blob->data, "中文");
  FreeFileBlob(blob);
  DeleteDataFile(name);
  EXPECT_FALSE(FileExists(UserFile("res/数据/自选股.data")));
}

TEST_F(UserFolders, PathsBeyondTheBufferAreRefused) {
  InitAppFolders();
  std::string longName(kMaxAppPath - DataRootPath().size(), 'n');  // one byte too many
  EXPECT_FALSE(WriteDataFile(longName.c_str(), "x", 1));
  EXPECT_EQ(ReadDataFile(longName.c_str()), nullptr);
  std::string fits(200, 'n');
  EXPECT_TRUE(WriteDataFile(fits.c_str(), "x", 1));
  EXPECT_EQ(ReadDataFile(nullptr), nullptr);
}

// A write that fails part-way (here: the file-size limit) keeps the old file.
TEST_F(UserFolders, FailedWriteKeepsTheOldFile) {
  InitAppFolders();
  std::string path = UserFile("res/config.data");
  std::string before = ReadText(path);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto previous = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string big(64, 'z');
  bool written = WriteFileUtf8Path(path.c_str(), big.data(), static_cast<int>(big.size()));
  SetConfig("big", big.c_str());
  bool saved = SaveConfig();
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, previous);
  EXPECT_FALSE(written);
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadText(path), before);
}

}  // namespace

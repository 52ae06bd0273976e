#include "platform/kernel/kernel_files.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/kernel/tests/kernel_test_folder.h"

namespace {

void Put(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(WriteWholeFile(path, bytes.data(), bytes.size())) << path;
}

std::string Get(const std::string& path) {
  std::string bytes = "sentinel";
  EXPECT_TRUE(ReadWholeFile(path, &bytes)) << path;
  return bytes;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const FolderEntry& e : ListFolder(folder)) names.push_back(e.name);
  return names;
}

}  // namespace

TEST(KernelFiles, NativePathTurnsBackslashes) {
  EXPECT_EQ(NativePath("res\\config.data"), "res/config.data");
  EXPECT_EQ(NativePath("/a\\b/c\\"), "/a/b/c/");
  EXPECT_EQ(NativePath(""), "");
}

TEST(KernelFiles, ProgramFolderHoldsTheTestProgram) {
  std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(FileExists(folder + "platform_kernel_tests"));
}

TEST(KernelFiles, AppDataFolderFollowsXdgHomeAndTheTestOverride) {
  {
    ScopedEnv xdg("XDG_DATA_HOME", "/xdg/data");
    EXPECT_EQ(AppDataFolder(), "/xdg/data/");
    SetAppDataFolderForTesting("/tmp/override");
    EXPECT_EQ(AppDataFolder(), "/tmp/override/");
    SetAppDataFolderForTesting("");
    EXPECT_EQ(AppDataFolder(), "/xdg/data/");
  }
  {
    ScopedEnv xdg("XDG_DATA_HOME", "relative/data");  // not absolute: ignored
    ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(AppDataFolder(), "/home/someone/.local/share/");
  }
  {
    ScopedEnv xdg("XDG_DATA_HOME", nullptr);
    ScopedEnv home("HOME", "/home/other/");
    EXPECT_EQ(AppDataFolder(), "/home/other/.local/share/");
  }
}

TEST(KernelFiles, WholeFileWriteAndReadKeepExactBytes) {
  TestFolder dir;
  ASSERT_FALSE(dir.Path().empty());
  struct Case {
    const char* name;
    std::string first, second;
  };
  const Case cases[] = {
      {"three bytes", "abc", "abc"},
      {"empty file", "", ""},
      {"shorter over longer", std::string(20, 'L'), std::string(10, 's')},
      {"binary with zeros", std::string("\0\1\2\0", 4), std::string("\xff\0", 2)},
  };
  for (const Case& c : cases) {
    std::string path = dir / "file.data";
    Put(path, c.first);
    Put(path, c.second);
    EXPECT_EQ(GetFileSizeOf(path), static_cast<long long>(c.second.size())) << c.name;
    EXPECT_EQ(Get(path), c.second) << c.name;
  }
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"file.data"}) << "no temporary file left";

  std::string viaBackslash = dir.Path() + "sub\\x.data";
  ASSERT_TRUE(CreateFolder(dir.Path() + "sub"));
  Put(viaBackslash, "wide");
  EXPECT_EQ(Get(dir / "sub/x.data"), "wide");
}

TEST(KernelFiles, FailedReadsAndWritesLeaveThingsAsTheyWere) {
  TestFolder dir;
  std::string missing = dir / "missing.data";
  std::string out = "sentinel";
  EXPECT_FALSE(ReadWholeFile(missing, &out));
  EXPECT_EQ(out, "");
  EXPECT_EQ(GetFileSizeOf(missing), -1);
  EXPECT_EQ(GetFileSizeOf(dir.Path()), -1) << "a folder has no file size";
  EXPECT_FALSE(ReadWholeFile(dir.Path(), &out));

  EXPECT_FALSE(WriteWholeFile(dir / "no/such/folder.data", "x", 1));
  // The rename cannot replace a folder: the write fails, the folder stays,
  // and no temporary file is left behind.
  ASSERT_TRUE(CreateFolder(dir / "taken"));
  EXPECT_FALSE(WriteWholeFile(dir / "taken", "x", 1));
  EXPECT_TRUE(FolderExists(dir / "taken"));
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"taken"});
  EXPECT_FALSE(WriteWholeFile(dir / "null.data", nullptr, 3));
}

TEST(KernelFiles, CopyIfAbsentNeverOverwrites) {
  TestFolder dir;
  Put(dir / "default.data", "default");
  EXPECT_TRUE(CopyFileIfAbsent(dir / "default.data", dir / "user.data"));
  EXPECT_EQ(Get(dir / "user.data"), "default");
  Put(dir / "user.data", "mine");
  EXPECT_FALSE(CopyFileIfAbsent(dir / "default.data", dir / "user.data"));
  EXPECT_EQ(Get(dir / "user.data"), "mine");
  EXPECT_FALSE(CopyFileIfAbsent(dir / "absent.data", dir / "other.data"));
  EXPECT_FALSE(FileExists(dir / "other.data"));
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"default.data", "user.data"}));
}

TEST(KernelFiles, FoldersAreCreatedListedAndFilesDeleted) {
  TestFolder dir;
  EXPECT_FALSE(CreateFolder(dir / "a/b")) << "one level only";
  EXPECT_TRUE(CreateFolderTree(dir / "a\\b\\c"));
  EXPECT_TRUE(FolderExists(dir / "a/b/c"));
  EXPECT_TRUE(CreateFolder(dir / "a")) << "an existing folder is fine";
  Put(dir / "a/f.txt", "12345");
  std::vector<FolderEntry> entries = ListFolder(dir / "a");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "b");
  EXPECT_TRUE(entries[0].isFolder);
  EXPECT_EQ(entries[1].name, "f.txt");
  EXPECT_FALSE(entries[1].isFolder);
  EXPECT_EQ(entries[1].size, 5);
  EXPECT_TRUE(ListFolder(dir / "none").empty());

  EXPECT_TRUE(DeleteFileAt(dir / "a\\f.txt"));
  EXPECT_FALSE(FileExists(dir / "a/f.txt"));
  EXPECT_FALSE(DeleteFileAt(dir / "a/f.txt"));
  EXPECT_FALSE(DeleteFileAt(dir / "a")) << "not a file";
}

// The start-up empties the temporary folder below the data root every time;
// a link in there must never lead the deletion out of it.
TEST(KernelFiles, DeleteFolderTreeStaysInsideItsRoot) {
  TestFolder dir;
  ASSERT_TRUE(CreateFolderTree(dir / "outside/keep"));
  Put(dir / "outside/keep/precious.data", "keep me");
  Put(dir / "outside/lone.data", "keep me too");

  ASSERT_TRUE(CreateFolderTree(dir / "temp/sub/deeper"));
  Put(dir / "temp/a.data", "a");
  Put(dir / "temp/sub/b.data", "b");
  Put(dir / "temp/sub/deeper/c.data", "c");
  ASSERT_EQ(::symlink((dir / "outside").c_str(), (dir / "temp/sub/to-folder").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "outside/lone.data").c_str(), (dir / "temp/to-file").c_str()), 0);
  ASSERT_EQ(::symlink("/nonexistent/target", (dir / "temp/dangling").c_str()), 0);

  EXPECT_TRUE(DeleteFolderTree(dir.Path() + "temp\\"));
  EXPECT_FALSE(FolderExists(dir / "temp"));
  EXPECT_EQ(Get(dir / "outside/keep/precious.data"), "keep me");
  EXPECT_EQ(Get(dir / "outside/lone.data"), "keep me too");
  EXPECT_TRUE(DeleteFolderTree(dir / "temp")) << "already gone";

  // A root that is itself a link: the link goes, its target stays.
  ASSERT_EQ(::symlink((dir / "outside").c_str(), (dir / "linked-root").c_str()), 0);
  EXPECT_TRUE(DeleteFolderTree(dir / "linked-root"));
  EXPECT_TRUE(FileExists(dir / "outside/keep/precious.data"));
}

TEST(KernelFiles, DeleteFolderTreeRefusesDangerousRoots) {
  TestFolder dir;
  ASSERT_TRUE(CreateFolderTree(dir / "stay/inner"));
  Put(dir / "stay/inner/x.data", "x");
  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
  const char* roots[] = {"", "stay", "stay/inner", ".\\stay", "c:\\pellune", "/", "\\", "//"};
  for (const char* root : roots) EXPECT_FALSE(DeleteFolderTree(root)) << "root '" << root << "'";
  EXPECT_FALSE(DeleteFolderTree(dir / "stay/inner/.."));
  EXPECT_FALSE(DeleteFolderTree(dir / "stay/./inner"));
  ASSERT_EQ(::chdir(cwd), 0);
  EXPECT_TRUE(FileExists(dir / "stay/inner/x.data"));
}

// Tests of the zip reader over archives made by
// fixtures/zip/make_zip_fixtures.py.
#include "foundation/zip_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr ULONGLONG kUnixEpochAsFileTime = 116444736000000000ull;
ULONGLONG FileTime(long long unixSeconds) {
  return ULONGLONG(unixSeconds) * 10000000ull + kUnixEpochAsFileTime;
}

std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string Utf8(const WCHAR* text) {
  std::string out;
  for (; *text; ++text) {
    char32_t c = *text;
    if (c >= 0xD800 && c < 0xDC00) c = 0x10000 + ((c - 0xD800) << 10) + (*++text - 0xDC00);
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string Fixture(const char* name) {
  return std::string(ORV_SOURCE_DIR) + "/foundation/tests/fixtures/zip/" + name;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A fresh base folder per test, removed afterwards.
class ZipReaderTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orv-zip-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
    base_ = root_ / "base";
    fs::create_directory(base_);
  }
  void TearDown() override {
    for (auto& h : handles_) CloseZip(h);
    std::error_code ec;
    fs::permissions(root_, fs::perms::owner_all, ec);
    fs::remove_all(root_, ec);
  }
  ZipHandle* Open(const char* fixture) {
    ZipHandle* h = OpenZipFile(U16(Fixture(fixture)).c_str());
    EXPECT_NE(h, nullptr) << fixture;
    if (h == nullptr) return nullptr;
    EXPECT_EQ(SetUnzipBaseDir(h, U16(base_.string()).c_str()), kZipOk);
    handles_.push_back(h);
    return h;
  }
  int Find(ZipHandle* h, const std::string& name) {
    ZipEntry e{};
    GetZipItem(h, -1, &e);
    const int count = e.index;
    for (int i = 0; i < count; ++i) {
      if (GetZipItem(h, i, &e) == kZipOk && Utf8(e.name) == name) return i;
    }
    ADD_FAILURE() << "no item " << name;
    return -1;
  }
  // Every regular file below the root folder, relative to it.
  std::vector<std::string> FilesBelowRoot() {
    std::vector<std::string> out;
    for (auto& p : fs::recursive_directory_iterator(root_))
      if (p.is_regular_file()) out.push_back(fs::relative(p.path(), root_).string());
    std::sort(out.begin(), out.end());
    return out;
  }

  fs::path root_;
  fs::path base_;
  std::vector<ZipHandle*> handles_;
};

TEST_F(ZipReaderTest, ListsItemsAndCount) {
  ZipHandle* h = Open("tool.zip");
  ASSERT_NE(h, nullptr);
  ZipEntry e;
  std::memset(&e, 0x5A, sizeof e);
  ASSERT_EQ(GetZipItem(h, -1, &e), kZipOk);
  EXPECT_EQ(e.index, 3);
  EXPECT_EQ(e.name[0], 0);
  EXPECT_EQ(e.attributes, 0u);
  EXPECT_EQ(e.lastWriteTime, 0u);
  EXPECT_EQ(e.uncompressedSize, 0u);

  struct Expected {
    const char* name;
    DWORD attributes;
    DWORD size;
  };
  const Expected items[] = {
      {"bin/", kZipAttrFolder | kZipAttrArchive, 0},
      {"bin/a.dll", kZipAttrArchive, 10242},
      {"readme.txt", kZipAttrArchive, 90},
  };
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(items[i].name);
    ASSERT_EQ(GetZipItem(h, i, &e), kZipOk);
    EXPECT_EQ(e.index, i);
    EXPECT_EQ(Utf8(e.name), items[i].name);
    EXPECT_EQ(e.attributes, items[i].attributes);
    EXPECT_EQ(e.uncompressedSize, items[i].size);
    EXPECT_EQ(e.lastWriteTime, FileTime(1600000000)) << "from the UT block";
  }
  EXPECT_LT(GetZipItem(h, 1, &e) == kZipOk ? e.compressedSize : 0u, 10242u) << "deflated";

  std::memset(&e, 0x5A, sizeof e);
  EXPECT_EQ(GetZipItem(h, 3, &e), kZipBadArgument);
  EXPECT_EQ(e.index, 0) << "cleared before anything else";
  EXPECT_EQ(e.name[0], 0);
  EXPECT_EQ(e.uncompressedSize, 0u);
  EXPECT_EQ(GetZipItem(h, -2, &e), kZipBadArgument);
}

TEST_F(ZipReaderTest, UnpacksFolderAndFilesBelowTheBase) {
  ZipHandle* h = Open("tool.zip");
  ASSERT_NE(h, nullptr);
  ZipEntry e{};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(GetZipItem(h, i, &e), kZipOk);
    ASSERT_EQ(UnzipItemToFile(h, i, e.name), kZipOk) << Utf8(e.name);
  }
  EXPECT_TRUE(fs::is_directory(base_ / "bin"));
  // Times first: reading the file moves its access time.
  struct stat st {};
  ASSERT_EQ(::stat((base_ / "bin" / "a.dll").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1600000000) << "write time from the UT block";
  ASSERT_EQ(GetZipItem(h, 1, &e), kZipOk);
  EXPECT_EQ(ULONGLONG(st.st_atim.tv_sec), (e.lastAccessTime - kUnixEpochAsFileTime) / 10000000u)
      << "access time from the UT block (the zip program records the time it read the file)";
  std::string dll = "MZ";
  for (int k = 0; k < 40; ++k)
    for (int b = 0; b < 256; ++b) dll += char(b);
  EXPECT_EQ(ReadFile(base_ / "bin" / "a.dll"), dll) << "deflated item";
  std::string readme;
  for (int k = 0; k < 10; ++k) readme += "read me\r\n";
  EXPECT_EQ(ReadFile(base_ / "readme.txt"), readme) << "stored item";

  EXPECT_EQ(FilesBelowRoot(), (std::vector<std::string>{"base/bin/a.dll", "base/readme.txt"}))
      << "no temporary files left";

  // Past the count: nothing done, 0.
  EXPECT_EQ(UnzipItemToFile(h, 3, u"x.txt"), kZipOk);
  EXPECT_FALSE(fs::exists(base_ / "x.txt"));
}

TEST_F(ZipReaderTest, NamesCannotLeaveTheBase) {
  ZipHandle* h = Open("names.zip");
  ASSERT_NE(h, nullptr);
  struct Case {
    int index;
    const char* listed;
  };
  const Case cases[] = {
      {0, "x\\y.txt"}, {1, "b.txt"}, {2, "c.txt"}, {3, "abs/d.txt"}, {4, "数据/说明.txt"},
      {6, "数据.txt"},  // stored in GBK
      {7, "系统.dll"},  // GBK without the UTF-8 flag, although its bytes are valid UTF-8
  };
  ZipEntry e{};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.listed);
    ASSERT_EQ(GetZipItem(h, c.index, &e), kZipOk);
    EXPECT_EQ(Utf8(e.name), c.listed);
    ASSERT_EQ(UnzipItemToFile(h, c.index, e.name), kZipOk);
  }
  // The 300-character name is cut to 259 units without overrun.
  ASSERT_EQ(GetZipItem(h, 5, &e), kZipOk);
  EXPECT_EQ(std::char_traits<char16_t>::length(e.name), size_t(kZipNameUnits - 1));
  EXPECT_EQ(Utf8(e.name), std::string(259, 'n'));

  EXPECT_EQ(FilesBelowRoot(), (std::vector<std::string>{"base/abs/d.txt", "base/b.txt", "base/c.txt",
                                                        "base/x/y.txt", "base/数据.txt", "base/数据/说明.txt",
                                                        "base/系统.dll"}));
  // A name of 250 bytes unpacks: the temporary file beside it has a short
  // name of its own.
  const std::string longName = std::string(246, 'L') + ".txt";
  ASSERT_EQ(GetZipItem(h, 8, &e), kZipOk);
  EXPECT_EQ(Utf8(e.name), longName);
  ASSERT_EQ(UnzipItemToFile(h, 8, e.name), kZipOk);
  EXPECT_EQ(ReadFile(base_ / longName), longName);
  EXPECT_EQ(ReadFile(base_ / "x" / "y.txt"), "C:\\x\\y.txt");

  // A caller's relative target with a '..' step is refused.
  EXPECT_EQ(UnzipItemToFile(h, 1, u"../escape.txt"), kZipCannotOpen);
  EXPECT_EQ(UnzipItemToFile(h, 1, u"a\\..\\..\\escape.txt"), kZipCannotOpen);
  EXPECT_FALSE(fs::exists(root_ / "escape.txt"));
}

TEST_F(ZipReaderTest, AbsoluteTargetsAndBaseFolderSeparator) {
  ZipHandle* h = Open("tool.zip");
  ASSERT_NE(h, nullptr);
  const fs::path elsewhere = root_ / "elsewhere" / "sub";
  const std::u16string target = U16((elsewhere / "r.txt").string());
  ASSERT_EQ(UnzipItemToFile(h, 2, target.c_str()), kZipOk);
  EXPECT_TRUE(fs::is_regular_file(elsewhere / "r.txt"));

  // The separator is appended; '\' separates as well as '/'.
  const std::u16string noSlash = U16((root_ / "b2").string());
  ASSERT_EQ(SetUnzipBaseDir(h, noSlash.c_str()), kZipOk);
  ASSERT_EQ(UnzipItemToFile(h, 2, u"deep\\er\\r.txt"), kZipOk);
  EXPECT_TRUE(fs::is_regular_file(root_ / "b2" / "deep" / "er" / "r.txt"));
}

TEST_F(ZipReaderTest, ExtraFieldsAttributesAndTimes) {
  const char* oldTz = std::getenv("TZ");
  const std::string savedTz = oldTz ? oldTz : "";
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  ZipHandle* h = Open("extra.zip");
  ASSERT_NE(h, nullptr);
  ZipEntry e{};

  const int ut = Find(h, "ut.txt");
  ASSERT_EQ(GetZipItem(h, ut, &e), kZipOk);
  EXPECT_EQ(e.lastWriteTime, FileTime(1600000000)) << "UT block found after a 300-byte block";
  EXPECT_EQ(e.lastAccessTime, FileTime(1600000500));
  EXPECT_EQ(e.creationTime, FileTime(1500000000));

  // Malformed UT blocks are read within their bounds: one without data
  // leaves the DOS times, one that flags three times but holds one gives
  // the write time only.
  struct TimeCase {
    const char* name;
    ULONGLONG write, access, creation;
  };
  const ULONGLONG dos = FileTime(1614834368);
  const TimeCase times[] = {
      {"ut0.txt", dos, dos, dos},
      {"utshort.txt", FileTime(1600000000), dos, dos},
  };
  for (const TimeCase& c : times) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(GetZipItem(h, Find(h, c.name), &e), kZipOk);
    EXPECT_EQ(e.lastWriteTime, c.write);
    EXPECT_EQ(e.lastAccessTime, c.access);
    EXPECT_EQ(e.creationTime, c.creation);
  }

  struct Case {
    const char* name;
    DWORD attributes;
  };
  const Case cases[] = {
      {"ro.txt", kZipAttrReadOnly | kZipAttrArchive},      // Unix mode without owner write
      {"plain/", kZipAttrFolder | kZipAttrArchive},        // Unix folder bit
      {"dos.txt", kZipAttrReadOnly | kZipAttrHidden | kZipAttrArchive},  // DOS creator
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(GetZipItem(h, Find(h, c.name), &e), kZipOk);
    EXPECT_EQ(e.attributes, c.attributes);
    // No UT block: the DOS time 2021-03-04 05:06:08, here in UTC.
    EXPECT_EQ(e.lastWriteTime, FileTime(1614834368));
    EXPECT_EQ(e.creationTime, e.lastWriteTime);
  }

  ASSERT_EQ(UnzipItemToFile(h, Find(h, "ro.txt"), u"ro.txt"), kZipOk);
  struct stat st {};
  ASSERT_EQ(::stat((base_ / "ro.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u) << "read-only";
  EXPECT_EQ(st.st_mtim.tv_sec, 1614834368);

  if (oldTz) {
    ::setenv("TZ", savedTz.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}

TEST_F(ZipReaderTest, FailedItemsLeaveNoPartialFile) {
  ZipHandle* h = Open("corrupt.zip");
  ASSERT_NE(h, nullptr);
  ZipHandle* enc = Open("encrypted.zip");
  ASSERT_NE(enc, nullptr);
  std::ofstream(base_ / "broken.txt") << "the installed version";

  struct Case {
    const char* name;
    ZipHandle* handle;
    int index;
    DWORD expected;
  };
  const Case cases[] = {
      {"broken.txt", h, 0, kZipDataError},
      {"badcrc.txt", h, 1, kZipDataError},
      {"secret.txt", enc, 0, kZipEncrypted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ZipEntry e{};
    ASSERT_EQ(GetZipItem(c.handle, c.index, &e), kZipOk) << "listing still works";
    EXPECT_EQ(Utf8(e.name), c.name);
    EXPECT_EQ(UnzipItemToFile(c.handle, c.index, e.name), c.expected);
  }
  // minizip's local-header check refuses a compression method it does not
  // know, so such an item cannot even be listed.
  ZipEntry e{};
  EXPECT_EQ(GetZipItem(h, 3, &e), kZipHeaderMismatch);
  EXPECT_EQ(UnzipItemToFile(h, 3, u"method14.txt"), kZipHeaderMismatch);

  EXPECT_EQ(ReadFile(base_ / "broken.txt"), "the installed version") << "old file kept";
  EXPECT_EQ(FilesBelowRoot(), std::vector<std::string>{"base/broken.txt"}) << "no partial files";

  // The next item of the same archive still unpacks.
  EXPECT_EQ(UnzipItemToFile(h, 2, u"fine.txt"), kZipOk);
  EXPECT_EQ(ReadFile(base_ / "fine.txt"), "fine\n");
}

TEST_F(ZipReaderTest, TargetThatCannotBeCreated) {
  ZipHandle* h = Open("tool.zip");
  ASSERT_NE(h, nullptr);
  std::ofstream(base_ / "plainfile") << "a file, not a folder";
  EXPECT_EQ(UnzipItemToFile(h, 2, u"plainfile/readme.txt"), kZipCannotOpen);
  EXPECT_EQ(UnzipItemToFile(h, 2, u"folder/"), kZipCannotOpen) << "a file item needs a name";
  EXPECT_EQ(FilesBelowRoot(), std::vector<std::string>{"base/plainfile"});
}

TEST_F(ZipReaderTest, RepeatedRequestReturnsTheCachedEntry) {
  // A private copy of the archive whose data is damaged after the first
  // listing: the second request of the same index is answered from the copy.
  const fs::path copy = root_ / "copy.zip";
  fs::copy_file(Fixture("tool.zip"), copy);
  ZipHandle* h = OpenZipFile(U16(copy.string()).c_str());
  ASSERT_NE(h, nullptr);
  handles_.push_back(h);
  ZipEntry first{}, again{};
  ASSERT_EQ(GetZipItem(h, 1, &first), kZipOk);
  {
    std::fstream f(copy, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(0);
    f.write("XXXX", 4);  // the first local header no longer has its signature
  }
  ASSERT_EQ(GetZipItem(h, 1, &again), kZipOk);
  EXPECT_EQ(std::memcmp(&first, &again, sizeof first), 0);
  EXPECT_EQ(GetZipItem(h, 0, &again), kZipHeaderMismatch) << "an uncached index reads the archive";
}

TEST_F(ZipReaderTest, HandlesAndBadArchives) {
  ZipEntry e{};
  EXPECT_EQ(GetZipItem(nullptr, 0, &e), kZipBadArgument);
  EXPECT_EQ(UnzipItemToFile(nullptr, 0, u"x"), kZipBadArgument);
  EXPECT_EQ(SetUnzipBaseDir(nullptr, u"/tmp"), kZipBadArgument);
  EXPECT_EQ(CloseZip(nullptr), kZipBadArgument);

  ZipHandle other{2, nullptr};
  EXPECT_EQ(GetZipItem(&other, 0, &e), kZipNotUnzipHandle);
  EXPECT_EQ(UnzipItemToFile(&other, 0, u"x"), kZipNotUnzipHandle);
  EXPECT_EQ(SetUnzipBaseDir(&other, u"/tmp"), kZipNotUnzipHandle);
  EXPECT_EQ(CloseZip(&other), kZipNotUnzipHandle);

  const fs::path notZip = root_ / "not.zip";
  std::ofstream(notZip) << "PK but not an archive at all";
  EXPECT_EQ(OpenZipFile(U16(notZip.string()).c_str()), nullptr);
  EXPECT_EQ(OpenZipFile(U16((root_ / "missing.zip").string()).c_str()), nullptr);
  EXPECT_EQ(OpenZipFile(nullptr), nullptr);

  // The base folder starts as the working folder.
  ZipHandle* h = Open("tool.zip");
  ASSERT_NE(h, nullptr);
  const fs::path cwd = fs::current_path();
  fs::current_path(root_);
  ZipHandle* fresh = OpenZipFile(U16(Fixture("tool.zip")).c_str());
  fs::current_path(cwd);
  ASSERT_NE(fresh, nullptr);
  handles_.push_back(fresh);
  EXPECT_EQ(UnzipItemToFile(fresh, 2, u"in-cwd.txt"), kZipOk);
  EXPECT_TRUE(fs::is_regular_file(root_ / "in-cwd.txt"));
}

}  // namespace

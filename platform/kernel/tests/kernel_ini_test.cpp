#include "platform/kernel/kernel_ini.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/kernel/tests/kernel_test_folder.h"

namespace {

const char kUpdateIni[] =
    "\xEF\xBB\xBF; written by the installer\n"
    "orphan=before any section\n"
    "[Tamsel]\n"
    "  VERSION = tq_winpc_tqx1_1.0.0.1_016  \n"
    "Quoted=\"  padded  \"\n"
    "Empty=\n"
    "名称=证券\n"
    "\n"
    "[Other]\n"
    "key=v\n";

class KernelIni : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_ / "update.ini";
    ASSERT_TRUE(WriteWholeFile(path_, kUpdateIni, sizeof kUpdateIni - 1));
  }
  std::string Read(const char* section, const char* key, const char* deflt, DWORD size, DWORD* count) {
    std::vector<char> out(size + 1, '#');
    *count = GetPrivateProfileStringA(section, key, deflt, out.data(), size, path_.c_str());
    return std::string(out.data(), size);
  }
  std::string File() {
    std::string bytes;
    ReadWholeFile(path_, &bytes);
    return bytes;
  }

  TestFolder dir_;
  std::string path_;
};

}  // namespace

TEST_F(KernelIni, LookupsFollowThePlatformRules) {
  struct Case {
    const char* name;
    const char* section;
    const char* key;
    const char* deflt;
    const char* expected;
  };
  const Case cases[] = {
      {"trimmed value", "Tamsel", "VERSION", "d", "tq_winpc_tqx1_1.0.0.1_016"},
      {"names ignore case", "TAMSEL", "version", "d", "tq_winpc_tqx1_1.0.0.1_016"},
      {"quotes removed", "Tamsel", "Quoted", "d", "  padded  "},
      {"empty value is found", "Tamsel", "Empty", "d", ""},
      {"UTF-8 names", "Tamsel", "名称", "d", "证券"},
      {"missing key", "Tamsel", "Nope", "dflt", "dflt"},
      {"null default", "Tamsel", "Nope", nullptr, ""},
      {"missing section", "None", "key", "x", "x"},
      {"key before any section", "", "orphan", "x", "x"},
      {"key of another section", "Tamsel", "key", "x", "x"},
  };
  for (const Case& c : cases) {
    char out[64];
    std::memset(out, '#', sizeof out);
    DWORD n = GetPrivateProfileStringA(c.section, c.key, c.deflt, out, sizeof out, path_.c_str());
    EXPECT_STREQ(out, c.expected) << c.name;
    EXPECT_EQ(n, std::strlen(c.expected)) << c.name;
    EXPECT_EQ(GetProfileText(path_, c.section, c.key, c.deflt ? c.deflt : ""), c.expected) << c.name;
  }
  char out[16];
  EXPECT_EQ(GetPrivateProfileStringA("Tamsel", "Nope", "dflt  ", out, sizeof out, path_.c_str()), 4u);
  EXPECT_STREQ(out, "dflt") << "trailing blanks of the default are dropped";
  EXPECT_EQ(GetPrivateProfileStringA("Tamsel", "VERSION", "fallback", out, sizeof out, (dir_ / "none.ini").c_str()), 8u);
  EXPECT_STREQ(out, "fallback");
}

TEST_F(KernelIni, ValuesAndListsAreCutAtTheBufferSize) {
  DWORD n = 99;
  EXPECT_EQ(Read("Tamsel", "VERSION", "", 5, &n), std::string("tq_w\0", 5));
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(Read("Tamsel", "VERSION", "", 1, &n), std::string("\0", 1));
  EXPECT_EQ(n, 0u);
  char untouched[2] = {'#', '#'};
  EXPECT_EQ(GetPrivateProfileStringA("Tamsel", "VERSION", "", untouched, 0, path_.c_str()), 0u);
  EXPECT_EQ(untouched[0], '#');

  EXPECT_EQ(Read(nullptr, nullptr, "", 32, &n).substr(0, 14), std::string("Tamsel\0Other\0\0", 14));
  EXPECT_EQ(n, 13u);
  EXPECT_EQ(Read(nullptr, nullptr, "", 8, &n), std::string("Tamsel\0\0", 8)) << "cut list ends in two zeros";
  EXPECT_EQ(n, 6u);
  std::string keys("VERSION\0Quoted\0Empty\0名称\0\0", 21 + std::strlen("名称") + 2);
  EXPECT_EQ(Read("tamsel", nullptr, "", 64, &n).substr(0, keys.size()), keys);
  EXPECT_EQ(n, keys.size() - 1);
  EXPECT_EQ(Read("None", nullptr, "", 4, &n).substr(0, 2), std::string("\0\0", 2));
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(GetProfileSectionNames(path_), (std::vector<std::string>{"Tamsel", "Other"}));
}

TEST_F(KernelIni, IntegersReadLikeThePlatform) {
  WritePrivateProfileStringA("N", "plain", "42", path_.c_str());
  WritePrivateProfileStringA("N", "negative", "-3", path_.c_str());
  WritePrivateProfileStringA("N", "trailing", "12abc", path_.c_str());
  WritePrivateProfileStringA("N", "text", "abc", path_.c_str());
  EXPECT_EQ(GetPrivateProfileIntA("N", "plain", 7, path_.c_str()), 42u);
  EXPECT_EQ(GetPrivateProfileIntA("n", "NEGATIVE", 7, path_.c_str()), 0xFFFFFFFDu);
  EXPECT_EQ(GetPrivateProfileIntA("N", "trailing", 7, path_.c_str()), 12u);
  EXPECT_EQ(GetPrivateProfileIntA("N", "text", 7, path_.c_str()), 0u);
  EXPECT_EQ(GetPrivateProfileIntA("N", "missing", 7, path_.c_str()), 7u);
}

TEST_F(KernelIni, WritesEditInPlaceAndKeepTheRest) {
  ASSERT_TRUE(WritePrivateProfileStringA("tamsel", "version", "2.0", path_.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("Tamsel", "Added", "new\r\ninjected=1", path_.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("Other", "key", nullptr, path_.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("Fresh", "a", "1", path_.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("Tamsel", "Quoted", nullptr, path_.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("Missing", "k", nullptr, path_.c_str())) << "deleting nothing is fine";
  EXPECT_EQ(File(),
            "\xEF\xBB\xBF; written by the installer\n"
            "orphan=before any section\n"
            "[Tamsel]\n"
            "version=2.0\n"
            "Empty=\n"
            "名称=证券\n"
            "Added=new\n"
            "\n"
            "[Other]\n"
            "[Fresh]\n"
            "a=1\n");
  ASSERT_TRUE(WritePrivateProfileStringA("TAMSEL", nullptr, nullptr, path_.c_str()));
  EXPECT_EQ(GetProfileSectionNames(path_), (std::vector<std::string>{"Other", "Fresh"}));
  EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "k", "v", path_.c_str()));
  EXPECT_TRUE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, path_.c_str()));
}

TEST_F(KernelIni, NewFilesAreCreatedAndWindowsLineEndsKept) {
  std::string fresh = dir_ / "fresh.ini";
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "v", fresh.c_str()));
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(fresh, &bytes));
  EXPECT_EQ(bytes, "[S]\nk=v\n");

  std::string crlf = dir_ / "crlf.ini";
  const char text[] = "[S]\r\nk=v\r\n";
  ASSERT_TRUE(WriteWholeFile(crlf, text, sizeof text - 1));
  EXPECT_EQ(GetProfileText(crlf, "S", "k"), "v");
  ASSERT_TRUE(WritePrivateProfileStringA("S", "j", "w", crlf.c_str()));
  ASSERT_TRUE(ReadWholeFile(crlf, &bytes));
  EXPECT_EQ(bytes, "[S]\r\nk=v\r\nj=w\r\n");
  EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", (dir_ / "no/such/x.ini").c_str()));
}

TEST_F(KernelIni, ConcurrentWritersLoseNoKey) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([this, t] {
      for (int i = 0; i < 10; ++i) {
        std::string key = "k" + std::to_string(t) + "_" + std::to_string(i);
        WritePrivateProfileStringA("Many", key.c_str(), "1", path_.c_str());
      }
    });
  for (auto& t : threads) t.join();
  for (int t = 0; t < 4; ++t)
    for (int i = 0; i < 10; ++i) {
      std::string key = "k" + std::to_string(t) + "_" + std::to_string(i);
      EXPECT_EQ(GetProfileText(path_, "Many", key), "1") << key;
    }
}

// The UTF-16 forms convert at the boundary and cut in UTF-16 units.
TEST_F(KernelIni, WideFormsReadWriteAndCutInUnits) {
  WString path = Utf8ToWide(path_);
  WCHAR out[32];
  EXPECT_EQ(GetPrivateProfileStringW(u"Tamsel", u"名称", u"", out, 32, path.c_str()), 2u);
  EXPECT_EQ(WString(out), u"证券");
  EXPECT_EQ(GetPrivateProfileStringW(u"Tamsel", u"名称", u"", out, 2, path.c_str()), 1u);
  EXPECT_EQ(WString(out), u"证");
  EXPECT_EQ(GetPrivateProfileStringW(u"Tamsel", u"none", u"缺省", out, 32, path.c_str()), 2u);
  EXPECT_EQ(WString(out), u"缺省");

  ASSERT_TRUE(WritePrivateProfileStringW(u"行情", u"周期", u"日线", path.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(u"行情", u"数量", u"-7", path.c_str()));
  EXPECT_EQ(GetProfileText(path_, "行情", "周期"), "日线");
  EXPECT_EQ(static_cast<INT>(GetPrivateProfileIntW(u"行情", u"数量", 0, path.c_str())), -7);
  EXPECT_EQ(GetPrivateProfileIntW(u"行情", u"none", 5, path.c_str()), 5u);

  // Section names: each followed by a zero, one more at the end; a list
  // that does not fit ends in two zeros.
  WCHAR names[64];
  DWORD n = GetPrivateProfileStringW(nullptr, nullptr, u"", names, 64, path.c_str());
  EXPECT_EQ(n, 16u);
  EXPECT_EQ(WString(names, n + 1), WString(u"Tamsel\0Other\0行情\0\0", 17));
  n = GetPrivateProfileStringW(nullptr, nullptr, u"", names, 9, path.c_str());
  EXPECT_EQ(n, 7u);
  EXPECT_EQ(WString(names, 9), WString(u"Tamsel\0\0\0", 9));

  ASSERT_TRUE(WritePrivateProfileStringW(u"行情", u"周期", nullptr, path.c_str()));
  EXPECT_EQ(GetPrivateProfileStringW(u"行情", u"周期", u"无", out, 32, path.c_str()), 1u);
  EXPECT_EQ(WString(out), u"无");
}

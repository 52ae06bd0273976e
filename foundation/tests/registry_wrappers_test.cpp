#include "foundation/registry_wrappers.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

const WCHAR kUninstall[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Each test gets its own registry file in a fresh temporary folder.
class RegistryWrappers : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvreg-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    SetRegistryFileForTesting(folder_ + "/registry.txt");
  }
  void TearDown() override {
    SetRegistryFileForTesting("");
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  // Creates an installed-program key with a display name.
  static void AddProgram(const WCHAR* sub, const WString& displayName) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (WString(kUninstall) + u"\\" + sub).c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, u"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(displayName.c_str()),
                             static_cast<DWORD>((displayName.size() + 1) * sizeof(WCHAR))),
              ERROR_SUCCESS);
    const DWORD one = 1;
    ASSERT_EQ(RegSetValueExW(key, u"NoModify", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  std::string folder_;
};

TEST_F(RegistryWrappers, FreshMachineAnswersNotFound) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  WCHAR name[32];
  DWORD length = 32;
  EXPECT_EQ(EnumRegSubKey(HKEY_LOCAL_MACHINE, 0, name, &length), ERROR_NO_MORE_ITEMS);
  DWORD subKeys = 99, values = 99;
  length = 32;
  EXPECT_EQ(QueryRegKeyInfo(HKEY_CURRENT_USER, name, &length, &subKeys, &values), ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 0u);
  EXPECT_EQ(values, 0u);
  BYTE data[8];
  DWORD size = sizeof data;
  EXPECT_EQ(QueryRegValue(HKEY_CURRENT_USER, u"DisplayName", data, &size), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryWrappers, WalkTheInstalledProgramsKeys) {
  AddProgram(u"Beta", u"证券终端 B");
  AddProgram(u"Alpha", u"Alpha Trader");

  HKEY root = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_READ, &root), ERROR_SUCCESS);
  WCHAR className[16] = {u'#'};
  DWORD classLength = 16, subKeys = 0, values = 99;
  ASSERT_EQ(QueryRegKeyInfo(root, className, &classLength, &subKeys, &values), ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 2u);
  EXPECT_EQ(values, 0u);

  std::vector<WString> names;
  std::vector<WString> displayNames;
  for (DWORD i = 0; i < subKeys; ++i) {
    WCHAR name[64];
    DWORD length = 64;
    ASSERT_EQ(EnumRegSubKey(root, i, name, &length), ERROR_SUCCESS);
    names.emplace_back(name, length);
    HKEY program = nullptr;
    ASSERT_EQ(RegOpenKeyExW(root, name, 0, KEY_READ, &program), ERROR_SUCCESS);
    WCHAR text[64] = {};
    DWORD size = sizeof text;
    ASSERT_EQ(QueryRegValue(program, u"DisplayName", reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
    displayNames.emplace_back(text);
    RegCloseKey(program);
  }
  WCHAR name[64];
  DWORD length = 64;
  EXPECT_EQ(EnumRegSubKey(root, 2, name, &length), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(names, (std::vector<WString>{u"Alpha", u"Beta"}));
  EXPECT_EQ(displayNames, (std::vector<WString>{u"Alpha Trader", u"证券终端 B"}));
  RegCloseKey(root);
}

TEST_F(RegistryWrappers, ValuesByIndexAndSmallBuffers) {
  AddProgram(u"Alpha", u"Alpha Trader");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (WString(kUninstall) + u"\\Alpha").c_str(), 0, KEY_READ, &key),
            ERROR_SUCCESS);

  WCHAR name[32];
  DWORD nameLength = 32, type = 0, value = 0, size = sizeof value;
  ASSERT_EQ(EnumRegValue(key, 1, name, &nameLength, &type, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
  EXPECT_EQ(WString(name, nameLength), u"NoModify");
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(value, 1u);
  nameLength = 32;
  EXPECT_EQ(EnumRegValue(key, 2, name, &nameLength, &type, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

  // A buffer too small for the text: the platform's ERROR_MORE_DATA and the
  // size needed, nothing copied.
  BYTE small[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  size = sizeof small;
  EXPECT_EQ(QueryRegValue(key, u"DisplayName", small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 13u * sizeof(WCHAR));
  EXPECT_EQ(small[0], 0xEE);
  size = 0;
  EXPECT_EQ(QueryRegValue(key, u"DisplayName", nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 13u * sizeof(WCHAR));

  WCHAR shortName[4];
  DWORD shortLength = 4;
  EXPECT_EQ(EnumRegSubKey(HKEY_LOCAL_MACHINE, 0, shortName, &shortLength), ERROR_MORE_DATA)
      << "\"Software\" does not fit in 4 units";
  RegCloseKey(key);
}

}  // namespace

#include "platform/kernel/kernel_registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/kernel_files.h"
#include "platform/kernel/tests/kernel_test_folder.h"

namespace {

const WCHAR kUninstall[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Every test starts on a fresh machine: an empty application-data folder and
// the default registry file in it.
class KernelRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    SetAppDataFolderForTesting(dir_.Path());
    SetRegistryFileForTesting("");
  }
  void TearDown() override {
    SetRegistryFileForTesting("");
    SetAppDataFolderForTesting("");
  }

  HKEY Create(HKEY parent, const WCHAR* path) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    EXPECT_EQ(RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                              &disposition),
              ERROR_SUCCESS);
    return key;
  }
  static void SetText(HKEY key, const WCHAR* name, const WString& text) {
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR))),
              ERROR_SUCCESS);
  }
  static WString QueryText(HKEY key, const WCHAR* name) {
    WCHAR buffer[128] = {};
    DWORD size = sizeof buffer, type = 99;
    EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    return WString(buffer);
  }

  TestFolder dir_;
};

}  // namespace

TEST_F(KernelRegistry, FreshMachineFindsNothing) {
  HKEY key = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, reinterpret_cast<HKEY>(1)) << "nothing written on failure";
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software", 0, KEY_READ | KEY_WOW64_32KEY, &key), ERROR_FILE_NOT_FOUND);
  WCHAR name[64];
  DWORD size = 64;
  EXPECT_EQ(RegEnumKeyExW(HKEY_LOCAL_MACHINE, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExW(HKEY_CURRENT_USER, u"x", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, nullptr, 0, KEY_READ, &key), ERROR_SUCCESS) << "roots always open";
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_TRUE(ListFolder(dir_.Path()).empty()) << "reading creates no file";
}

TEST_F(KernelRegistry, FilledKeysEnumerateAndQueryWithPlatformSizes) {
  HKEY uninstall = Create(HKEY_LOCAL_MACHINE, kUninstall);
  HKEY progB = Create(uninstall, u"ProgB");
  HKEY progA = Create(uninstall, u"progA");
  SetText(progA, u"DisplayName", u"行情终端");
  DWORD version = 0x01020304;
  ASSERT_EQ(RegSetValueExW(progA, u"Version", 0, REG_DWORD, reinterpret_cast<BYTE*>(&version), 4), ERROR_SUCCESS);
  const BYTE blob[] = {1, 2, 3};
  ASSERT_EQ(RegSetValueExW(progA, u"Blob", 0, REG_BINARY, blob, 3), ERROR_SUCCESS);
  SetText(progB, nullptr, u"default");

  // Sub-keys come in name order whatever their case.
  std::vector<WString> names;
  for (DWORD i = 0;; ++i) {
    WCHAR name[64];
    DWORD size = 64;
    LONG r = RegEnumKeyExW(uninstall, i, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(r, ERROR_SUCCESS);
    EXPECT_EQ(size, 5u);
    names.emplace_back(name);
  }
  EXPECT_EQ(names, (std::vector<WString>{u"progA", u"ProgB"}));
  WCHAR small[5];
  DWORD smallSize = 5;
  EXPECT_EQ(RegEnumKeyExW(uninstall, 0, small, &smallSize, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA)
      << "no room for the zero";

  EXPECT_EQ(QueryText(progA, u"displayname"), u"行情终端");
  EXPECT_EQ(QueryText(progB, u""), u"default");
  DWORD size = 0, type = 0;
  EXPECT_EQ(RegQueryValueExW(progA, u"DisplayName", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 10u) << "four units and the zero";
  BYTE tiny[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  size = sizeof tiny;
  EXPECT_EQ(RegQueryValueExW(progA, u"DisplayName", nullptr, &type, tiny, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(tiny[0], 0xEE) << "nothing copied";
  DWORD got = 0;
  size = 4;
  EXPECT_EQ(RegQueryValueExW(progA, u"Version", nullptr, &type, reinterpret_cast<BYTE*>(&got), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(got, version);
  EXPECT_EQ(RegQueryValueExW(progA, u"Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);

  // Values enumerate in creation order.
  struct Expect {
    const char16_t* name;
    DWORD type;
    DWORD size;
  };
  const Expect expected[] = {{u"DisplayName", REG_SZ, 10}, {u"Version", REG_DWORD, 4}, {u"Blob", REG_BINARY, 3}};
  for (DWORD i = 0; i < 3; ++i) {
    WCHAR name[64];
    DWORD nameSize = 64, dataSize = 0;
    BYTE data[64];
    dataSize = sizeof data;
    ASSERT_EQ(RegEnumValueW(progA, i, name, &nameSize, nullptr, &type, data, &dataSize), ERROR_SUCCESS);
    EXPECT_EQ(WString(name), expected[i].name);
    EXPECT_EQ(nameSize, WString(expected[i].name).size());
    EXPECT_EQ(type, expected[i].type);
    EXPECT_EQ(dataSize, expected[i].size);
  }
  WCHAR name[64];
  DWORD nameSize = 64;
  EXPECT_EQ(RegEnumValueW(progA, 3, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

  DWORD subKeys = 9, values = 9, maxKey = 9, maxName = 9, maxData = 9, classSize = 8;
  WCHAR keyClass[8] = {u'x'};
  ASSERT_EQ(RegQueryInfoKeyW(progA, keyClass, &classSize, nullptr, &subKeys, &maxKey, nullptr, &values, &maxName,
                             &maxData, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(keyClass[0], 0);
  EXPECT_EQ(classSize, 0u);
  EXPECT_EQ(subKeys, 0u);
  EXPECT_EQ(values, 3u);
  EXPECT_EQ(maxName, 11u);
  EXPECT_EQ(maxData, 10u);
  ASSERT_EQ(RegQueryInfoKeyW(uninstall, nullptr, nullptr, nullptr, &subKeys, &maxKey, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 2u);
  EXPECT_EQ(maxKey, 5u);
  EXPECT_EQ(values, 0u);
  for (HKEY k : {progA, progB, uninstall}) EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
}

TEST_F(KernelRegistry, ContentSurvivesReloadFromTheFile) {
  const WString odd = u"名前 % with\nline \U0001F600";
  HKEY key = Create(HKEY_CURRENT_USER, (u"Software\\Odd\\" + odd).c_str());
  SetText(key, odd.c_str(), odd);
  HKEY empty = Create(HKEY_CURRENT_USER, u"Software\\Empty");
  RegCloseKey(empty);
  RegCloseKey(key);
  EXPECT_TRUE(FileExists(dir_ / "Orvenna/registry.txt"));

  SetRegistryFileForTesting("");  // forget the tree: the next call reads the file
  HKEY again = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, (u"software\\odd\\" + odd).c_str(), 0, KEY_READ, &again), ERROR_SUCCESS);
  EXPECT_EQ(QueryText(again, odd.c_str()), odd);
  RegCloseKey(again);
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Empty", 0, KEY_READ, &again), ERROR_SUCCESS);
  RegCloseKey(again);

  // Another file is another machine.
  SetRegistryFileForTesting(dir_ / "other.txt");
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software", 0, KEY_READ, &again), ERROR_FILE_NOT_FOUND);
}

TEST_F(KernelRegistry, DeletingKeysValuesAndHandles) {
  HKEY parent = Create(HKEY_CURRENT_USER, u"Software\\Vendor");
  HKEY child = Create(parent, u"Child");
  SetText(child, u"v", u"1");
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\Vendor"), ERROR_ACCESS_DENIED) << "still has a sub-key";
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, nullptr), ERROR_ACCESS_DENIED) << "a root";
  EXPECT_EQ(RegDeleteValueW(child, u"V"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(child, u"v"), ERROR_FILE_NOT_FOUND);
  SetText(child, u"w", u"2");
  EXPECT_EQ(RegDeleteKeyW(parent, u"CHILD"), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(child, u"w", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND)
      << "an open handle of a deleted key finds nothing";
  EXPECT_EQ(RegDeleteKeyW(parent, u"Child"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(child), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(child), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExW(child, u"w", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
  HKEY result = nullptr;
  EXPECT_EQ(RegOpenKeyExW(reinterpret_cast<HKEY>(0x12345), nullptr, 0, KEY_READ, &result), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, nullptr, 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  RegCloseKey(parent);
}

#include "platform/kernel/kernel_com.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/kernel/kernel_registry.h"

namespace {

constexpr GUID kSample = {0x9E0DCE0D, 0xA9ED, 0x4446, {0xA0, 0x4C, 0x07, 0xDD, 0x51, 0xED, 0xA8, 0x34}};

TEST(ComGuid, RegistryFormRoundTrip) {
  EXPECT_EQ(u"{9E0DCE0D-A9ED-4446-A04C-07DD51EDA834}", StringFromGuid(kSample));
  EXPECT_EQ(u"{00000000-0000-0000-C000-000000000046}", StringFromGuid(IID_IUnknown));
  GUID parsed = GUID_NULL;
  ASSERT_EQ(S_OK, GuidFromString(u"{9e0dce0d-a9ed-4446-a04c-07dd51eda834}", &parsed));
  EXPECT_EQ(kSample, parsed);
}

TEST(ComGuid, MalformedTextsAreRefused) {
  struct Case {
    const char* name;
    const char16_t* text;
  } cases[] = {
      {"empty", u""},
      {"no braces", u"9E0DCE0D-A9ED-4446-A04C-07DD51EDA834"},
      {"missing closing brace", u"{9E0DCE0D-A9ED-4446-A04C-07DD51EDA834"},
      {"trailing text", u"{9E0DCE0D-A9ED-4446-A04C-07DD51EDA834}x"},
      {"short group", u"{9E0DCE0-A9ED-4446-A04C-07DD51EDA834}"},
      {"non-hex digit", u"{9E0DCE0G-A9ED-4446-A04C-07DD51EDA834}"},
      {"misplaced dash", u"{9E0DCE0D-A9ED-4446-A04-C07DD51EDA834}"},
      {"cut short", u"{9E0DCE0D-A9"},
  };
  for (const Case& c : cases) {
    GUID out = kSample;
    EXPECT_EQ(CO_E_CLASSSTRING, GuidFromString(c.text, &out)) << c.name;
    EXPECT_EQ(kSample, out) << c.name << ": output untouched";
  }
  GUID out = kSample;
  EXPECT_EQ(CO_E_CLASSSTRING, GuidFromString(nullptr, &out));
}

TEST(ComBstr, LengthPrefixedStrings) {
  BSTR s = SysAllocString(u"abc");
  ASSERT_NE(nullptr, s);
  EXPECT_EQ(3u, SysStringLen(s));
  EXPECT_EQ(0, s[3]) << "zero after the text";
  std::uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<unsigned char*>(s) - 4, 4);
  EXPECT_EQ(6u, prefix) << "byte length before the text";
  SysFreeString(s);

  const char16_t withZero[] = {u'a', 0, u'b'};
  s = SysAllocStringLen(withZero, 3);
  ASSERT_NE(nullptr, s);
  EXPECT_EQ(3u, SysStringLen(s));
  EXPECT_EQ(std::u16string(withZero, 3), std::u16string(s, 3));
  SysFreeString(s);

  s = SysAllocString(nullptr);
  ASSERT_NE(nullptr, s);
  EXPECT_EQ(0u, SysStringLen(s));
  SysFreeString(s);

  s = SysAllocStringLen(nullptr, 2);
  ASSERT_NE(nullptr, s);
  EXPECT_EQ(0, s[0]);
  EXPECT_EQ(0, s[1]);
  SysFreeString(s);

  EXPECT_EQ(0u, SysStringLen(nullptr));
  SysFreeString(nullptr);
  EXPECT_EQ(nullptr, SysAllocStringLen(u"", 0x80000000u)) << "length beyond the prefix";
}

TEST(ComBstr, FailureHook) {
  SetSysAllocFailureForTesting(1);
  BSTR first = SysAllocString(u"a");
  BSTR second = SysAllocString(u"b");
  BSTR third = SysAllocString(u"c");
  EXPECT_NE(nullptr, first);
  EXPECT_EQ(nullptr, second);
  EXPECT_NE(nullptr, third) << "fails once";
  SysFreeString(first);
  SysFreeString(third);
  SetSysAllocFailureForTesting(-1);
}

TEST(ComLibrary, LoadFailures) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CO_E_DLLNOTFOUND, CoGetClassObjectFromLibrary("/nonexistent/libNothing.so", kSample,
                                                          IID_IClassFactory, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(CO_E_DLLNOTFOUND, CoGetClassObjectFromLibrary("", kSample, IID_IClassFactory, &object));
  // A library without the entry point.
  EXPECT_EQ(CO_E_ERRORINDLL, CoGetClassObjectFromLibrary("libm.so.6", kSample, IID_IClassFactory, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(E_POINTER, CoGetClassObjectFromLibrary("libm.so.6", kSample, IID_IClassFactory, nullptr));
}

// A registry file of the test's own, holding a few class entries.
class ComActivation : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orv-com-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    folder_ = pattern;
    SetRegistryFileForTesting(folder_ + "/registry.txt");
    SetDefault(u"Good.Class\\CLSID", u"{9E0DCE0D-A9ED-4446-A04C-07DD51EDA834}");
    SetDefault(u"Bad.Class\\CLSID", u"not a class id");
    SetDefault(u"CLSID\\{9E0DCE0D-A9ED-4446-A04C-07DD51EDA834}\\InprocServer32", u"/nonexistent/libNothing.so");
  }
  void TearDown() override {
    SetRegistryFileForTesting("");
    unlink((folder_ + "/registry.txt").c_str());
    rmdir(folder_.c_str());
  }
  static void SetDefault(const std::u16string& path, const std::u16string& text) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * 2));
    RegCloseKey(key);
  }
  std::string folder_;
};

TEST_F(ComActivation, ProgIdToClassToLibrary) {
  CLSID clsid = GUID_NULL;
  EXPECT_EQ(S_OK, CLSIDFromProgID(u"good.class", &clsid)) << "names without regard to case";
  EXPECT_EQ(kSample, clsid);
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID(u"Bad.Class", &clsid));
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID(u"Missing.Class", &clsid));

  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CO_E_DLLNOTFOUND, CoCreateInstanceByProgID(u"Good.Class", IID_IUnknown, &object));
  EXPECT_EQ(nullptr, object);
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CO_E_CLASSSTRING, CoCreateInstanceByProgID(u"Missing.Class", IID_IUnknown, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(REGDB_E_CLASSNOTREG, CoGetClassObject(IID_IDispatch, IID_IClassFactory, &object));
}

}  // namespace

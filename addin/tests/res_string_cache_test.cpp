#include "addin/res_string_cache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "addin/string_resources.h"

namespace {

const StringResource kOwnStrings[] = {
    {1, u"确定"},                // 6 bytes of UTF-8
    {2, u"hello"},
    {3, u"0123456789abcdef"},    // 16 bytes
    {0, u"id zero"},
    {256, u"same bucket as zero"},
};

// The plug-in's own module for the whole test program.
HINSTANCE OwnModule() {
  static HINSTANCE module = RegisterStringResources(kOwnStrings, 5);
  return module;
}

}  // namespace

TEST(StringResources, LoadStringACutsWholeCharacters) {
  struct Case {
    const char* name;
    UINT id;
    int bufferMax;
    const char* expected;
  };
  const Case cases[] = {
      {"whole text", 1, 64, "确定"},
      {"exactly fits", 1, 7, "确定"},
      {"cut before the second character", 1, 6, "确"},
      {"no whole character fits", 1, 3, ""},
      {"ascii cut", 2, 3, "he"},
      {"high bits of the id ignored", 0x10002, 64, "hello"},
      {"missing id", 99, 64, ""},
      {"room for the terminator only", 2, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[64];
    std::memset(buffer, 'X', sizeof buffer);
    int n = LoadStringA(OwnModule(), c.id, buffer, c.bufferMax);
    EXPECT_STREQ(buffer, c.expected);
    EXPECT_EQ(n, static_cast<int>(std::strlen(c.expected)));
  }
  char buffer[4] = "XYZ";
  EXPECT_EQ(LoadStringA(OwnModule(), 1, buffer, 0), 0);
  EXPECT_EQ(buffer[0], 'X');  // no room: nothing written
  EXPECT_EQ(LoadStringA(nullptr, 1, buffer, 4), 0);
  EXPECT_EQ(buffer[0], 0);
}

TEST(StringResources, LoadableModule) {
  HMODULE module = LoadResourceModule(ORV_TEST_STRING_MODULE);
  ASSERT_NE(module, nullptr);
  char buffer[64];
  EXPECT_EQ(LoadStringA(module, 300, buffer, sizeof buffer), 9);
  EXPECT_STREQ(buffer, "第三百");
  EXPECT_EQ(FreeResourceModule(module), TRUE);
  EXPECT_EQ(FreeResourceModule(module), FALSE);
  EXPECT_EQ(LoadStringA(module, 300, buffer, sizeof buffer), 0);  // unloaded
  EXPECT_EQ(LoadResourceModule("/no/such/module.so"), nullptr);
  EXPECT_EQ(LoadResourceModule(nullptr), nullptr);
  EXPECT_EQ(FreeResourceModule(OwnModule()), FALSE);  // compiled in, not loaded
}

TEST(ResStringCache, SamePointerAndMissingIds) {
  ResStringCache cache;
  cache.Init(OwnModule(), 10240);
  const char* ok = cache.GetString(1);
  EXPECT_STREQ(ok, "确定");
  EXPECT_EQ(cache.GetUsed(), 7);
  EXPECT_EQ(cache.GetString(1), ok);  // cached: same pointer, nothing used
  EXPECT_EQ(cache.GetUsed(), 7);
  // A missing id is cached as "" and costs one byte.
  const char* missing = cache.GetString(77);
  EXPECT_STREQ(missing, "");
  EXPECT_EQ(cache.GetUsed(), 8);
  EXPECT_EQ(cache.GetString(77), missing);
  EXPECT_EQ(cache.GetUsed(), 8);
  // 65,536 is id 0; 256 shares its bucket.
  EXPECT_STREQ(cache.GetString(0), "id zero");
  EXPECT_EQ(cache.GetString(65536), cache.GetString(0));
  EXPECT_STREQ(cache.GetString(256), "same bucket as zero");
  EXPECT_STREQ(cache.GetString(0), "id zero");
}

TEST(ResStringCache, SmallRoomCutsAndThenGivesEmpty) {
  ResStringCache cache;
  cache.Init(OwnModule(), 10);
  EXPECT_STREQ(cache.GetString(2), "hello");  // 6 bytes, 4 left
  EXPECT_STREQ(cache.GetString(3), "012");     // cut to the free room - 1
  EXPECT_EQ(cache.GetUsed(), 10);
  EXPECT_STREQ(cache.GetString(1), "");        // no room: not cached
  EXPECT_EQ(cache.GetUsed(), 10);
  EXPECT_STREQ(cache.GetString(2), "hello");   // cached texts still come back
  EXPECT_STREQ(cache.GetString(3), "012");     // and a cut text stays cut

  // With 1 byte free nothing more is cached either.
  ResStringCache one;
  one.Init(OwnModule(), 7);
  EXPECT_STREQ(one.GetString(2), "hello");
  EXPECT_STREQ(one.GetString(0), "");
  EXPECT_EQ(one.GetUsed(), 6);
}

TEST(ResStringCache, InitSizesAndNoBuffer) {
  // Init(100): a 2,048-byte buffer of which only 100 bytes take texts.
  ResStringCache small;
  small.Init(OwnModule(), 100);
  for (UINT id = 1000; id < 1200; ++id) small.GetString(id);  // missing ids: one byte each
  EXPECT_EQ(small.GetUsed(), 99);  // stops once fewer than 2 bytes are free
  EXPECT_STREQ(small.GetString(2), "");

  for (int size : {0, -5}) {
    ResStringCache none;
    none.Init(OwnModule(), size);
    EXPECT_STREQ(none.GetString(2), "");
    EXPECT_EQ(none.GetUsed(), 0);
    none.Reset(nullptr);  // zeroes nothing for a size of 0 or less
  }
  ResStringCache never;  // never initialised
  EXPECT_STREQ(never.GetString(2), "");
  never.Reset(nullptr);
}

TEST(ResStringCache, ResetAndResourceLibraries) {
  ResStringCache cache;
  cache.Init(OwnModule(), 10240);
  EXPECT_STREQ(cache.GetString(2), "hello");
  cache.LoadResourceLibrary(ORV_TEST_STRING_MODULE);
  EXPECT_NE(cache.GetCurrentModule(), OwnModule());
  EXPECT_EQ(cache.GetUsed(), 0);  // reset: every text forgotten
  EXPECT_STREQ(cache.GetString(2), "module two");
  EXPECT_STREQ(cache.GetString(1), "资源模块一");

  cache.Reset(nullptr);  // back to the default module; the library is unloaded
  EXPECT_EQ(cache.GetCurrentModule(), OwnModule());
  EXPECT_STREQ(cache.GetString(2), "hello");

  cache.LoadResourceLibrary(ORV_TEST_STRING_MODULE);
  cache.LoadResourceLibrary("/no/such/library.so");  // failed load: default module
  EXPECT_EQ(cache.GetCurrentModule(), OwnModule());
  EXPECT_STREQ(cache.GetString(2), "hello");
}

TEST(ResStringCache, ProcessWideCache) {
  EXPECT_STREQ(LoadResString(1), "");  // no cache installed
  ResetStringCache(nullptr);           // does nothing

  ResStringCache cache;
  InstallStringCache(&cache, OwnModule(), 10240);
  EXPECT_STREQ(LoadResString(2), "hello");
  cache.LoadResourceLibrary(ORV_TEST_STRING_MODULE);
  EXPECT_STREQ(LoadResString(2), "module two");
  ResetStringCache(nullptr);
  EXPECT_STREQ(LoadResString(2), "hello");
  cache.LoadResourceLibrary(ORV_TEST_STRING_MODULE);
  // Releasing the cache returns it to its default module.
  InstallStringCache(nullptr, nullptr, 10240);
  EXPECT_EQ(cache.GetCurrentModule(), OwnModule());
  EXPECT_STREQ(LoadResString(2), "");
}

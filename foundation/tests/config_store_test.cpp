#include "foundation/config_store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "foundation/tests/readers_test_support.h"

namespace {

using readers_test::ReadText;
using readers_test::WriteText;

class ConfigStore : public readers_test::ReaderFolders {
 protected:
  void SetUp() override {
    ReaderFolders::SetUp();
    InitAppFolders();
  }
  // Replaces the per-user settings file and loads it.
  void LoadText(const std::string& text) {
    WriteText(UserFile("res/config.data"), text);
    LoadConfig();
  }
  std::string SavedText() { return ReadText(UserFile("res/config.data")); }
};

TEST_F(ConfigStore, SetReplacesAddsAndAppends) {
  LoadText("<x>9</x><a>1</a><b></b>");
  SetConfig("a", "2");
  SetConfig("b", "value");
  SetConfig("c", "3");
  EXPECT_STREQ(GetConfig("a"), "2");
  EXPECT_STREQ(GetConfig("b"), "value");
  EXPECT_STREQ(GetConfig("c"), "3");
  EXPECT_EQ(SavedText(), "<x>9</x><a>1</a><b></b>");  // SetConfig alone never writes
  ASSERT_TRUE(SaveConfig());
  EXPECT_EQ(SavedText(), "<x>9</x><a>2</a><b>value</b><c>3</c>");
}

TEST_F(ConfigStore, EmptyValueIsWrittenEmptyAndReadsBackAbsent) {
  LoadText("<a>1</a><b>2</b>");
  SetConfig("a", "");
  EXPECT_STREQ(GetConfig("a"), "");  // present during this run
  ASSERT_TRUE(SaveConfig());
  EXPECT_EQ(SavedText(), "<a></a><b>2</b>");
  LoadConfig();
  EXPECT_EQ(GetConfig("a"), nullptr);
  EXPECT_STREQ(GetConfig("b"), "2");
}

TEST_F(ConfigStore, IgnoresNullAndEmptyKeys) {
  LoadText("<a>1</a>");
  SetConfig(nullptr, "x");
  SetConfig("", "x");
  SetConfig("a", nullptr);
  EXPECT_EQ(GetConfig(nullptr), nullptr);
  ASSERT_TRUE(SaveConfig());
  EXPECT_EQ(SavedText(), "<a>1</a>");
}

TEST_F(ConfigStore, MissingFileGivesAnEmptyListThatTakesAFirstEntry) {
  DeleteFileAt(UserFile("res/config.data"));
  LoadConfig();
  EXPECT_EQ(GetConfig("UserVer"), nullptr);
  SetConfig("first", "1");
  ASSERT_TRUE(SaveConfig());
  EXPECT_EQ(SavedText(), "<first>1</first>");
}

TEST_F(ConfigStore, MarkupCharactersSurviveSaveAndLoad) {
  LoadText("<password>old</password><level>1</level>");
  const char* value = "a<b>&c&lt;</password>";
  SetConfig("password", value);
  ASSERT_TRUE(SaveConfig());
  EXPECT_EQ(SavedText(),
            "<password>a&lt;b>&amp;c&amp;lt;&lt;/password></password><level>1</level>");
  LoadConfig();
  EXPECT_STREQ(GetConfig("password"), value);
  EXPECT_STREQ(GetConfig("level"), "1");  // the entries after it are not lost
}

TEST_F(ConfigStore, TextAboveFourKilobytesIsSavedWhole) {
  LoadText("");
  std::string value(100, 'v');
  for (int i = 0; i < 60; ++i) SetConfig(("key" + std::to_string(i)).c_str(), value.c_str());
  ASSERT_TRUE(SaveConfig());
  EXPECT_GT(SavedText().size(), 4096u);
  LoadConfig();
  for (int i = 0; i < 60; ++i) EXPECT_STREQ(GetConfig(("key" + std::to_string(i)).c_str()), value.c_str());
}

TEST_F(ConfigStore, HandedOutValuesStayValidAfterReplacementAndReload) {
  LoadText("<host>old</host>");
  const char* before = GetConfig("host");
  SetConfig("host", "new");
  EXPECT_STREQ(before, "old");
  const char* replaced = GetConfig("host");
  LoadConfig();
  EXPECT_STREQ(replaced, "new");
  EXPECT_STREQ(GetConfig("host"), "old");
}

TEST_F(ConfigStore, ProxyText) {
  struct Case {
    const char* name;
    const char* file;
    const char* expected;
  } const cases[] = {
      {"no proxy user",
       "<proxytype>1</proxytype><proxyaddress>10.0.0.1</proxyaddress><proxyport>1080</proxyport>",
       "1|10.0.0.1|1080|||"},
      {"with proxy user",
       "<proxytype>2</proxytype><proxyaddress>p</proxyaddress><proxyport>8080</proxyport>"
       "<proxyuser>u</proxyuser><proxypwd>w</proxypwd>",
       "2|p|8080|u|w|"},
      {"no address", "<proxytype>1</proxytype><proxyport>1080</proxyport>", ""},
      {"empty address on disk reads absent", "<proxytype>-1</proxytype><proxyaddress></proxyaddress>", ""},
      {"absent type and port print empty", "<proxyaddress>h</proxyaddress>", "|h||||"},
      {"user without password", "<proxyaddress>h</proxyaddress><proxyuser>u</proxyuser>", "|h||u||"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoadText(c.file);
    EXPECT_STREQ(MakeProxyString(), c.expected);
  }
}

TEST_F(ConfigStore, ProxyTextAfterChoosingNoProxyDuringTheRun) {
  LoadText("<proxytype>1</proxytype><proxyaddress>10.0.0.1</proxyaddress><proxyport>1080</proxyport>"
           "<proxyuser>u</proxyuser><proxypwd>w</proxypwd>");
  SetConfig("proxytype", "-1");
  for (const char* key : {"proxyaddress", "proxyport", "proxyuser", "proxypwd"}) SetConfig(key, "");
  EXPECT_STREQ(MakeProxyString(), "-1|||||");
  ASSERT_TRUE(SaveConfig());
  LoadConfig();
  EXPECT_STREQ(MakeProxyString(), "");
}

TEST_F(ConfigStore, ProxyTextIsCutAt511Bytes) {
  std::string longAddress(600, 'h');
  LoadText("<proxytype>1</proxytype><proxyaddress>" + longAddress + "</proxyaddress>");
  const char* text = MakeProxyString();
  EXPECT_EQ(strlen(text), 511u);
  EXPECT_EQ(std::string(text, 2), "1|");
}

TEST_F(ConfigStore, SessionParams) {
  LoadText("<userid>42</userid><sessionid>s-1</sessionid>");
  struct Case {
    const char* name;
    const char* url;
    const char* expected;
  } const cases[] = {
      {"after a final '?'", "http://h/x?",
       "http://h/x?clientversion=tq_winpc_tqx1_1.0.0.1_016&userid=42&sessionid=s-1"},
      {"otherwise with '&'", "http://h/x?a=1",
       "http://h/x?a=1&clientversion=tq_winpc_tqx1_1.0.0.1_016&userid=42&sessionid=s-1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char url[256] = {};
    strcpy(url, c.url);
    EXPECT_EQ(AppendSessionParams(url, sizeof url), 1);
    EXPECT_STREQ(url, c.expected);
  }

  SetClientVersion("9.9.9");
  LoadText("");
  char url[256] = "u?";
  EXPECT_EQ(AppendSessionParams(url, sizeof url), 1);
  EXPECT_STREQ(url, "u?clientversion=9.9.9&userid=&sessionid=");
  EXPECT_EQ(GetClientVersion(), "9.9.9");
}

TEST_F(ConfigStore, UrlParams) {
  struct Case {
    const char* name;
    const char* file;
    const char* names;
    const char* expected;
  } const cases[] = {
      {"known and unknown names", "<userid>42</userid>", "userid,foo,clientversion",
       "a?&userid=42&clientversion=tq_winpc_tqx1_1.0.0.1_016"},
      {"absent userid", "", "userid", "a?&userid="},
      {"session and account", "<sessionid>s</sessionid><account>acc</account>",
       "sessionid,iausername", "a?&sessionid=s&iausername=acc"},
      {"no names", "<userid>42</userid>", "", "a?"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoadText(c.file);
    char url[128] = "a?";
    std::string names = c.names;
    EXPECT_EQ(AppendUrlParams(url, sizeof url, names.data()), 1);
    EXPECT_STREQ(url, c.expected);
  }
}

TEST_F(ConfigStore, UrlBuffersAreNeverOverrun) {
  LoadText("<userid>" + std::string(200, '1') + "</userid>");
  char url[64] = "http://h/x?";
  char names[] = "userid";
  EXPECT_EQ(AppendUrlParams(url, sizeof url, names), 0);
  EXPECT_STREQ(url, "http://h/x?");
  EXPECT_EQ(AppendSessionParams(url, sizeof url), 0);
  EXPECT_STREQ(url, "http://h/x?");
  char exact[24] = "u";  // "u&clientversion=" alone needs more room
  EXPECT_EQ(AppendSessionParams(exact, sizeof exact), 0);
  EXPECT_STREQ(exact, "u");
}

TEST_F(ConfigStore, IndexHelpTexts) {
  char* before = GetIndexHelpText("MACD");
  ASSERT_NE(before, nullptr);
  EXPECT_STREQ(before, "");
  free(before);

  LoadIndexHelp();
  struct Case {
    const char* name;
    const char* expected;
  } const cases[] = {{"MACD", "指数平滑异同平均线"}, {"KDJ", "随机指标"}, {"NOPE", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char* text = GetIndexHelpText(c.name);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, c.expected);
    free(text);
  }

  WriteText(program_ + "res/indexhelp.data", "<LONG>" + std::string(2000, 'x') + "</LONG>");
  LoadIndexHelp();
  char* text = GetIndexHelpText("LONG");
  EXPECT_EQ(strlen(text), 1023u);
  free(text);
  // A cut never splits a character: "A" and 340 whole "指" (1,021 bytes).
  std::string wide = "A";
  for (int i = 0; i < 500; ++i) wide += "指";
  WriteText(program_ + "res/indexhelp.data", "<LONG>" + wide + "</LONG>");
  LoadIndexHelp();
  text = GetIndexHelpText("LONG");
  EXPECT_EQ(std::string(text), wide.substr(0, 1021));
  free(text);
  FreeIndexHelp();
  text = GetIndexHelpText("LONG");
  EXPECT_STREQ(text, "");
  free(text);
}

// One thread sets, saves and reloads while another reads values and builds
// texts from them; run under the thread sanitizer as well.
TEST_F(ConfigStore, SetOnOneThreadWhileAnotherReads) {
  LoadText("<host>start</host><userid>1</userid><proxyaddress>p</proxyaddress>");
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 300; ++i) {
      std::string value = "host-" + std::to_string(i);
      SetConfig("host", value.c_str());
      SetConfig(("key" + std::to_string(i % 7)).c_str(), value.c_str());
      if (i % 50 == 0) {
        SaveConfig();
        LoadConfig();
      }
    }
    done = true;
  });
  size_t seen = 0;
  while (!done) {
    const char* host = GetConfig("host");
    if (host != nullptr) seen += strlen(host);
    seen += strlen(MakeProxyString());
    char url[256] = "u?";
    AppendSessionParams(url, sizeof url);
    seen += strlen(url);
  }
  writer.join();
  EXPECT_GT(seen, 0u);
  EXPECT_STREQ(GetConfig("host"), "host-299");
}

}  // namespace

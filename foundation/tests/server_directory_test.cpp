#include "foundation/server_directory.h"

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

int gNextRandom = 0;
int FixedRandom() { return gNextRandom; }
int CountingRandom() { return gNextRandom++; }

std::string Take(char* text) {
  std::string copy = text != nullptr ? text : "<null>";
  free(text);
  return copy;
}

class ServerDirectory : public readers_test::ReaderFolders {
 protected:
  void SetUp() override {
    ReaderFolders::SetUp();
    InitAppFolders();
    SetServerRandomSourceForTesting(FixedRandom);
    gNextRandom = 0;
  }
  void Use(const std::string& serverData, const std::string& configData) {
    WriteText(UserFile("res/server.data"), serverData);
    WriteText(UserFile("res/config.data"), configData);
    LoadServerList();
    LoadConfig();
  }
};

const char kTwoSites[] =
    "<PCQuote>A|http://a:8110/qa|http://a2:8110/qa,B|http://b:8110/qb|http://b2:8110/qb</PCQuote>"
    "<PCLogin>http://l/x?p=1&amp;q=2&amp;amp;r</PCLogin>";

TEST_F(ServerDirectory, ChoosesTheQuoteSite) {
  struct Case {
    const char* name;
    const char* servers;
    const char* config;
    int level2;
    int random;
    const char* expected;
    const char* storedHost;
  } const cases[] = {
      {"stored host b", kTwoSites, "<host>b</host>", 0, 0, "http://b:8110/qb", "b"},
      {"stored host b, level 2", kTwoSites, "<host>b</host>", 1, 0, "http://b2:8110/qb", "b"},
      {"flag other than 1 is not level 2", kTwoSites, "<host>b</host>", 2, 0, "http://b:8110/qb",
       "b"},
      {"no host: random 0", kTwoSites, "", 0, 0, "http://a:8110/qa", "a"},
      {"no host: random 3", kTwoSites, "", 0, 3, "http://b:8110/qb", "b"},
      {"empty host on disk reads absent", kTwoSites, "<host></host>", 0, 1, "http://b:8110/qb", "b"},
      {"unknown host: random", kTwoSites, "<host>gone</host>", 1, 1, "http://b2:8110/qb", "b"},
      {"host matched as a substring, first wins",
       "<PCQuote>X|http://bar:1/x|,A|http://a:1/y|</PCQuote>", "<host>a</host>", 0, 1,
       "http://bar:1/x", "bar"},
      {"no 'http://' in the address: empty host",
       "<PCQuote>X|ftp://h:1/|</PCQuote>", "", 0, 0, "ftp://h:1/", ""},
      {"short records skipped", "<PCQuote>A,B|http://b:1/,C|http://c:1/|http://c2:1/</PCQuote>",
       "", 0, 0, "http://b:1/", "b"},
      {"short records skipped, level 2",
       "<PCQuote>A,B|http://b:1/,C|http://c:1/|http://c2:1/</PCQuote>", "", 1, 0,
       "http://c2:1/", "c"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Use(c.servers, c.config);
    gNextRandom = c.random;
    EXPECT_EQ(Take(ChooseServer("PCQuote", c.level2)), c.expected);
    ASSERT_NE(GetConfig("host"), nullptr);
    EXPECT_STREQ(GetConfig("host"), c.storedHost);
    // The choice is saved at once.
    EXPECT_NE(ReadText(UserFile("res/config.data")).find(std::string("<host>") + c.storedHost + "</host>"),
              std::string::npos);
  }
}

TEST_F(ServerDirectory, EmptyInMemoryHostPicksTheFirstSite) {
  Use(kTwoSites, "");
  SetConfig("host", "");
  gNextRandom = 1;
  EXPECT_EQ(Take(ChooseServer("PCQuote", 0)), "http://a:8110/qa");
}

TEST_F(ServerDirectory, SameSiteFromTheSecondCallOn) {
  Use(kTwoSites, "");
  SetServerRandomSourceForTesting(CountingRandom);
  gNextRandom = 1;
  std::string first = Take(ChooseServer("PCQuote", 0));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Take(ChooseServer("PCQuote", 0)), first);
  EXPECT_EQ(first, "http://b:8110/qb");
  EXPECT_EQ(Take(GetQuoteServerHost(0)), "b");
}

TEST_F(ServerDirectory, NoUsableSiteGivesAnEmptyResultAndStoresNothing) {
  struct Case {
    const char* name;
    const char* servers;
    int level2;
  } const cases[] = {
      {"absent service", "<PCLogin>x</PCLogin>", 0},
      {"empty service", "<PCQuote></PCQuote>", 0},
      {"only commas", "<PCQuote>,,</PCQuote>", 0},
      {"records without a second field", "<PCQuote>A,B</PCQuote>", 0},
      {"records without a third field, level 2", "<PCQuote>A|http://a:1/</PCQuote>", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Use(c.servers, "<level>0</level>");
    EXPECT_EQ(Take(ChooseServer("PCQuote", c.level2)), "");
    EXPECT_EQ(GetConfig("host"), nullptr);
    EXPECT_EQ(ReadText(UserFile("res/config.data")), "<level>0</level>");
    EXPECT_EQ(Take(GetQuoteServerHost(c.level2)), "");
  }
}

TEST_F(ServerDirectory, OtherServicesAndRecords) {
  Use(kTwoSites, "");
  EXPECT_EQ(Take(ChooseServer("PCLogin", 1)), "http://l/x?p=1&q=2&r");
  EXPECT_EQ(Take(ChooseServer("PCMissing", 0)), "");
  EXPECT_EQ(GetConfig("host"), nullptr);  // only "PCQuote" stores a host

  RecordList* records = GetServerRecords("PCQuote");
  ASSERT_EQ(CountRecords(records), 2);
  EXPECT_STREQ(records->fields->text, "A");
  EXPECT_STREQ(records->next->fields->next->next->text, "http://b2:8110/qb");
  FreeRecordList(&records);
  records = GetServerRecords("PCLogin");
  ASSERT_NE(records, nullptr);
  EXPECT_STREQ(records->fields->text, "http://l/x?p=1&amp;q=2&amp;amp;r");  // as stored
  FreeRecordList(&records);
  EXPECT_EQ(GetServerRecords("PCMissing"), nullptr);

  FreeServerList();
  EXPECT_EQ(Take(ChooseServer("PCLogin", 0)), "");
}

TEST_F(ServerDirectory, QuoteServerHost) {
  Use("<PCQuote>S|http://h:8110/q|http://h2:8110/q</PCQuote>", "");
  EXPECT_EQ(Take(GetQuoteServerHost(0)), "h");
  Use("<PCQuote>S|http://h:8110/q|http://h2:8110/q</PCQuote>", "");
  EXPECT_EQ(Take(GetQuoteServerHost(1)), "h2");
  EXPECT_STREQ(GetConfig("host"), "h");  // the stored host is from the second field
}

TEST_F(ServerDirectory, LongAddressesAndHostsAreCut) {
  std::string longHost(700, 'h');
  std::string longAddress = "http://l/" + std::string(2000, 'x');
  Use("<PCQuote>S|http://" + longHost + ":1/q|x</PCQuote><PCLogin>" + longAddress + "</PCLogin>", "");
  char* login = ChooseServer("PCLogin", 0);
  EXPECT_EQ(strlen(login), 1023u);
  free(login);
  char* quote = ChooseServer("PCQuote", 0);
  EXPECT_EQ(strlen(quote), 7 + 700 + 4u);
  free(quote);
  EXPECT_EQ(strlen(GetConfig("host")), 511u);
  char* host = GetQuoteServerHost(0);
  EXPECT_EQ(strlen(host), 511u);
  free(host);
}

// Login-chain workers choose sites while the directory and the settings are
// reloaded; run under the thread sanitizer as well.
TEST_F(ServerDirectory, ChoicesOnSeveralThreads) {
  Use(kTwoSites, "");
  std::atomic<int> chosen{0};
  auto worker = [&] {
    for (int i = 0; i < 100; ++i) {
      std::string site = Take(ChooseServer("PCQuote", i % 2));
      if (site.rfind("http://", 0) == 0) ++chosen;
      std::string host = Take(GetQuoteServerHost(0));
      EXPECT_TRUE(host == "a" || host == "b") << host;
    }
  };
  std::thread first(worker);
  std::thread second(worker);
  for (int i = 0; i < 20; ++i) {
    LoadServerList();
    LoadConfig();
  }
  first.join();
  second.join();
  EXPECT_EQ(chosen.load(), 200);
}

TEST_F(ServerDirectory, MissingFileGivesAnEmptyDirectory) {
  DeleteFileAt(UserFile("res/server.data"));
  LoadServerList();
  EXPECT_EQ(Take(ChooseServer("PCQuote", 0)), "");
  EXPECT_EQ(GetServerRecords("PCQuote"), nullptr);
}

}  // namespace

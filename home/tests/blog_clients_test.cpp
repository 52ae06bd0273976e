#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <string>

#include "home/blog_clients.h"
#include "platform/kernel/kernel_utf.h"

namespace {

std::string U8(const std::u16string& s) { return WideToUtf8(s); }

// Pins the time zone and the C locale for the time texts.
class BlogTimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = getenv("TZ");
    savedTz_ = tz != nullptr ? tz : "";
    hadTz_ = tz != nullptr;
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
    setlocale(LC_TIME, "C");
  }
  void TearDown() override {
    if (hadTz_) setenv("TZ", savedTz_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }
  // Seconds of a local date and time in the pinned zone.
  static time_t At(int y, int mo, int d, int h, int mi, int s = 0) {
    struct tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    t.tm_isdst = -1;
    return mktime(&t);
  }
  std::string savedTz_;
  bool hadTz_ = false;
};

TEST(BlogClients, AuthorizeAddressesAreBuiltWithoutEncoding) {
  QqWeiboClient qq;
  qq.settings = {u"K1", u"http://h/cgi-bin/oauth2/authorize?", u"http://r/a b", u"token", u"http://api"};
  EXPECT_EQ(U8(qq.BuildAuthorizeUrl()),
            "http://h/cgi-bin/oauth2/authorize?client_id=K1&response_type=token&redirect_uri=http://r/a b");
  SinaWeiboClient sina;
  sina.settings = {u"K2", u"http://h/oauth2/authorize?", u"http://r/success/success.html", u"token", u"http://api"};
  EXPECT_EQ(U8(sina.BuildAuthorizeUrl()),
            "http://h/oauth2/authorize?client_id=K2&response_type=token&redirect_uri=http://r/success/"
            "success.html&display=popup");
}

TEST(BlogClients, TokenFragmentsAreReadByKey) {
  struct Case {
    const char16_t* address;
    bool qq;
    const char* token;
    const char* expires;
    const char* user;
    const char* fourth;
  };
  const Case cases[] = {
      {u"http://r/x.html#access_token=A&expires_in=B&openid=C&openkey=D", true, "A", "B", "C", "D"},
      {u"http://r/s.html#access_token=A&remind_in=B&expires_in=C&uid=D", false, "A", "C", "D", "B"},
      // a missing key leaves only its own value empty
      {u"http://r/x.html#access_token=A&openid=C&openkey=D", true, "A", "", "C", "D"},
      {u"http://r/s.html#access_token=A&remind_in=B&expires_in=C", false, "A", "C", "", "B"},
      // another order, read by name
      {u"http://r/x.html#openkey=D&openid=C&access_token=A&expires_in=B", true, "A", "B", "C", "D"},
      {u"http://r/s.html#uid=D&access_token=A&expires_in=C&remind_in=B", false, "A", "C", "D", "B"},
      // no fragment at all, and keys only in the query
      {u"http://r/x.html?access_token=A&openid=C", true, "", "", "", ""},
      {u"", false, "", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.address));
    QqWeiboClient qq;
    SinaWeiboClient sina;
    WeiboClientBase* client = c.qq ? static_cast<WeiboClientBase*>(&qq) : &sina;
    client->accessToken = u"old";
    if (c.qq) qq.ParseTokenFragment(c.address);
    else sina.ParseTokenFragment(c.address);
    EXPECT_EQ(U8(client->accessToken), c.token);
    EXPECT_EQ(U8(client->expiresIn), c.expires);
    EXPECT_EQ(U8(client->userId), c.user);
    EXPECT_EQ(U8(client->fourthValue), c.fourth);
  }
}

TEST(BlogClients, RequestAddressesAreExact) {
  QqWeiboClient qq;
  qq.settings.apiBase = u"http://127.0.0.1:9";
  qq.settings.appKey = u"KEY";
  qq.accessToken = u"TOK";
  qq.userId = u"OPEN";
  std::u16string url;
  qq.FormatUserInfoUrl(&url);
  EXPECT_EQ(U8(url),
            "http://127.0.0.1:9/api/user/info?oauth_consumer_key=KEY&access_token=TOK&openid=OPEN&oauth_version=2.a"
            "&scope=all&format=json");
  qq.FormatTimelineUrl(&url);
  EXPECT_EQ(U8(url),
            "http://127.0.0.1:9/api/statuses/home_timeline?oauth_consumer_key=KEY&access_token=TOK&openid=OPEN"
            "&oauth_version=2.a&scope=all&format=json&pageflag=0&reqnum=25&pagetime=0&type=0x3&contenttype=0");
  SinaWeiboClient sina;
  sina.settings.apiBase = u"http://127.0.0.1:9";
  sina.accessToken = u"TOK";
  sina.userId = u"UID";
  sina.FormatUserInfoUrl(&url);
  EXPECT_EQ(U8(url), "http://127.0.0.1:9/2/users/show.json?access_token=TOK&uid=UID");
  sina.FormatTimelineUrl(&url);
  EXPECT_EQ(U8(url), "http://127.0.0.1:9/2/statuses/home_timeline.json?access_token=TOK&count=25");
}

TEST(BlogClients, UsersAreReadAndRefusedTextsKeepTheOldUser) {
  QqWeiboClient qq;
  qq.ParseUser(R"({"data":{"nick":"小明","head":"http:\/\/h\/x"}})");
  EXPECT_EQ(U8(qq.GetUser()), "小明");
  EXPECT_EQ(U8(qq.GetUserHead()), "http://h/x/50");
  for (const char* bad : {static_cast<const char*>(nullptr), "", "not json", "{\"data\":", "[1,2]"}) {
    qq.ParseUser(bad);
    EXPECT_EQ(U8(qq.GetUser()), "小明");
  }
  // an empty head stays empty; a "data" of the wrong type gives an empty user
  qq.ParseUser(R"({"data":{"nick":"甲","head":""}})");
  EXPECT_EQ(U8(qq.GetUserHead()), "");
  qq.ParseUser(R"({"data":"text"})");
  EXPECT_EQ(U8(qq.GetUser()), "");

  SinaWeiboClient sina;
  sina.ParseUser(R"({"screen_name":"新浪用户","profile_image_url":"http:\/\/s\/1"})");
  EXPECT_EQ(U8(sina.GetUser()), "新浪用户");
  EXPECT_EQ(U8(sina.GetUserHead()), "http:\\/\\/s\\/1");  // as it is
  sina.ParseUser("{broken");
  EXPECT_EQ(U8(sina.GetUser()), "新浪用户");
  sina.ClearUser();
  EXPECT_TRUE(sina.GetUser().empty() && sina.GetUserHead().empty());
}

TEST_F(BlogTimeTest, QqTimeTexts) {
  const time_t r = At(2024, 3, 1, 10, 30);
  struct Case {
    time_t t;
    bool hasReference;
    const char* text;
  };
  const Case cases[] = {
      {r - 30, true, "刚刚"},
      {r + 30, true, "刚刚"},  // newer than the reply
      {r - 59, true, "刚刚"},
      {r - 60, true, "1分钟前"},
      {r - 125, true, "2分钟前"},
      {r - 3599, true, "59分钟前"},
      {At(2024, 3, 1, 0, 5), true, "今天00:05"},
      {At(2024, 2, 29, 23, 59), true, "昨天23:59"},  // across the month boundary
      {At(2024, 2, 28, 8, 0), true, "前天08:00"},
      {At(2024, 1, 15, 9, 7), true, "Monday January 15 09:07"},
      {At(2023, 12, 31, 23, 0), true, "Sunday December 31 23:00 2023"},
      {At(2024, 1, 15, 9, 7), false, "Monday January 15 09:07 2024"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(U8(QqTimeText(c.t, r, c.hasReference)), c.text);
  }
}

TEST_F(BlogTimeTest, QqTimelineStatuses) {
  const time_t r = At(2024, 3, 1, 10, 30);
  const std::string json =
      R"({"ret":0,"data":{"timestamp":)" + std::to_string(r) +
      R"(,"info":[)"
      R"({"timestamp":)" + std::to_string(r - 125) +
      R"(,"origtext":"第一条","image":["http:\/\/p\/1","http:\/\/p\/2","","http:\/\/p\/4"],"type":1,)"
      R"("nick":"甲","head":"http:\/\/h\/a"},)"
      R"({"origtext":"转发","type":"2","source":{"origtext":"原文","middle_pic":"http://p/m\/1"},"nick":"乙"},)"
      R"({"origtext":"无源","type":"2","nick":"丙","head":""},)"
      R"(42])"
      R"(}})";
  QqWeiboClient qq;
  qq.ParseTimeline(json.c_str());
  ASSERT_EQ(qq.StatusCount(), 3);
  const BlogStatusItem* a = qq.GetStatus(0);
  EXPECT_EQ(U8(a->time), "2分钟前");
  EXPECT_EQ(U8(a->text), "第一条");
  ASSERT_EQ(a->pictures.size(), 2u);  // the walk stops at the first empty one
  EXPECT_EQ(U8(a->pictures[0]), "http://p/1/160");
  EXPECT_EQ(U8(a->pictures[1]), "http://p/2/160");
  EXPECT_EQ(U8(a->nickname), "甲");
  EXPECT_EQ(U8(a->head), "http://h/a/50");
  const BlogStatusItem* b = qq.GetStatus(1);
  EXPECT_EQ(U8(b->text), "转发\n原文-[转载]");
  ASSERT_EQ(b->pictures.size(), 1u);
  EXPECT_EQ(U8(b->pictures[0]), "http://p/m\\/1");  // the source's picture unchanged
  EXPECT_EQ(U8(b->time), "");                        // no timestamp
  const BlogStatusItem* c = qq.GetStatus(2);
  EXPECT_EQ(U8(c->text), "无源\n");
  EXPECT_TRUE(c->pictures.empty());
  EXPECT_EQ(qq.GetStatus(-1), nullptr);
  EXPECT_EQ(qq.GetStatus(3), nullptr);

  // a refused text keeps the list; a parsed one replaces it
  qq.ParseTimeline("{\"data\":{\"info\":[");
  EXPECT_EQ(qq.StatusCount(), 3);
  qq.ParseTimeline(R"({"data":{"info":[{"origtext":"x","timestamp":"1700000000"}]}})");
  ASSERT_EQ(qq.StatusCount(), 1);
  EXPECT_EQ(U8(qq.GetStatus(0)->time), "Wednesday November 15 06:13 2023");  // no reference time
  qq.ClearStatuses();
  EXPECT_EQ(qq.StatusCount(), 0);
}

TEST(BlogClients, SinaAndRelayStatuses) {
  SinaWeiboClient sina;
  sina.ParseTimeline(
      R"({"statuses":[{"created_at":"Fri Mar 01 10:00:00 +0800 2024","text":"自己的","thumbnail_pic":"http://t/1",)"
      R"("retweeted_status":{"text":"转来的","middle_pic":"http://m/1"},)"
      R"("user":{"screen_name":"新浪甲","profile_image_url":"http://h/s"}},)"
      R"({"text":"","thumbnail_pic":""}],"total_number":2})");
  ASSERT_EQ(sina.StatusCount(), 2);
  const BlogStatusItem* a = sina.GetStatus(0);
  EXPECT_EQ(U8(a->time), "Fri Mar 01 10:00:00 +0800 2024");
  EXPECT_EQ(U8(a->text), "自己的\n转来的-[转载]");
  ASSERT_EQ(a->pictures.size(), 2u);
  EXPECT_EQ(U8(a->pictures[0]), "http://t/1");
  EXPECT_EQ(U8(a->pictures[1]), "http://m/1");
  EXPECT_EQ(U8(a->nickname), "新浪甲");
  EXPECT_EQ(U8(a->head), "http://h/s");
  EXPECT_TRUE(sina.GetStatus(1)->pictures.empty());
  EXPECT_EQ(sina.GetStatus(2), nullptr);

  SohuStatusList sohu;
  sohu.ParseStatuses(
      R"({"anyname":[{"created_at":"3分钟前","text":"搜狐","small_pic":"http://s/1","in_reply_to_status_text":"回复",)"
      R"("user":{"screen_name":"狐","profile_image_url":"http://h/h"}},{"text":"二"}],"cursor":1})");
  ASSERT_EQ(sohu.StatusCount(), 2);
  EXPECT_EQ(U8(sohu.GetStatus(0)->text), "搜狐\n回复-[转载]");
  EXPECT_EQ(U8(sohu.GetStatus(0)->pictures.at(0)), "http://s/1");
  EXPECT_EQ(U8(sohu.GetStatus(0)->nickname), "狐");
  EXPECT_EQ(U8(sohu.GetStatus(1)->text), "二");
  EXPECT_EQ(sohu.GetStatus(-1), nullptr);
  sohu.ParseStatuses(nullptr);
  EXPECT_EQ(sohu.StatusCount(), 2);
  // a first member that is no array empties the list
  sohu.ParseStatuses(R"({"a":5,"b":[{"text":"x"}]})");
  EXPECT_EQ(sohu.StatusCount(), 0);
}

TEST(BlogClients, HostileValuesAreSkippedOrTakenAsEmpty) {
  SinaWeiboClient sina;
  // numbers where texts belong, wrong container types, a huge array of scalars
  std::string json = R"({"statuses":[{"text":12,"user":"x","retweeted_status":[1]},)";
  for (int i = 0; i < 20000; ++i) json += "1,";
  json += R"({"text":"\u4e2d"}]})";
  sina.ParseTimeline(json.c_str());
  ASSERT_EQ(sina.StatusCount(), 2);
  EXPECT_EQ(U8(sina.GetStatus(0)->text), "12");
  EXPECT_TRUE(sina.GetStatus(0)->nickname.empty());
  // an invalid escape is refused by the reader: the list stays
  sina.ParseTimeline(R"({"statuses":[{"text":"\uZZZZ"}]})");
  EXPECT_EQ(sina.StatusCount(), 2);
  QqWeiboClient qq;
  qq.ParseTimeline(R"({"data":{"timestamp":"abc","info":{"x":1}}})");
  EXPECT_EQ(qq.StatusCount(), 0);
}

TEST(BlogClients, SignOutClearsTheTokenFields) {
  QqWeiboClient qq;
  qq.ParseTokenFragment(u"x#access_token=A&expires_in=B&openid=C&openkey=D");
  EXPECT_TRUE(qq.HasToken());
  qq.ClearToken();
  EXPECT_FALSE(qq.HasToken());
  EXPECT_TRUE(qq.expiresIn.empty() && qq.userId.empty() && qq.fourthValue.empty());
}

}  // namespace

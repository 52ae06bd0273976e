// Microblog holders (see blog_clients.h).
#include "home/blog_clients.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/json_reader.h"
#include "platform/kernel/kernel_utf.h"

namespace {

// The value node of a member, or null.
const JsonNode* Member(const JsonNode* object, const char* label) {
  if (object == nullptr) return nullptr;
  const JsonNode* node = FindJsonLabel(object, label);
  return node != nullptr ? node->firstChild : nullptr;
}

// A member's text converted; empty for a missing member or a container.
std::u16string Text(const JsonNode* object, const char* label) {
  const JsonNode* value = Member(object, label);
  if (value == nullptr || value->text == nullptr) return {};
  if (value->type != kJsonString && value->type != kJsonNumber) return {};
  return Utf8ToWide(value->text);
}

const JsonNode* Object(const JsonNode* object, const char* label) {
  const JsonNode* value = Member(object, label);
  return value != nullptr && value->type == kJsonObject ? value : nullptr;
}

const JsonNode* Array(const JsonNode* object, const char* label) {
  const JsonNode* value = Member(object, label);
  return value != nullptr && value->type == kJsonArray ? value : nullptr;
}

std::u16string WithoutBackslashes(std::u16string s) {
  std::u16string out;
  out.reserve(s.size());
  for (char16_t c : s)
    if (c != u'\\') out.push_back(c);
  return out;
}

// Parses the text; null (nothing to change) for a null or refused text.
JsonNode* Parse(const char* json) {
  if (json == nullptr) return nullptr;
  JsonNode* root = nullptr;
  if (ParseJsonText(&root, json) != kJsonDone) return nullptr;
  return root;
}

void DeleteAll(std::vector<BlogStatusItem*>* list) {
  for (BlogStatusItem* item : *list) delete item;
  list->clear();
}

// Whole decimal seconds of a number or text member; false when missing or
// not a number.
bool Seconds(const JsonNode* object, const char* label, time_t* out) {
  const JsonNode* value = Member(object, label);
  if (value == nullptr || value->text == nullptr) return false;
  char* end = nullptr;
  const long long v = strtoll(value->text, &end, 10);
  if (end == value->text) return false;
  *out = static_cast<time_t>(v);
  return true;
}

std::u16string Format(const char* pattern, const struct tm& when) {
  char buffer[128];
  const size_t n = strftime(buffer, sizeof buffer, pattern, &when);
  return Utf8ToWide(std::string(buffer, n));
}

// Day number of a local calendar date (for date differences).
long DayNumber(const struct tm& when) {
  struct tm copy{};
  copy.tm_year = when.tm_year;
  copy.tm_mon = when.tm_mon;
  copy.tm_mday = when.tm_mday;
  copy.tm_hour = 12;
  copy.tm_isdst = -1;
  return static_cast<long>(mktime(&copy) / 86400);
}

std::u16string UrlOf(const BlogServiceSettings& s, const char* pathFormat, std::initializer_list<std::u16string> values) {
  // The path formats hold only "%s" conversions; each is replaced in order.
  std::u16string out = s.apiBase;
  const char* p = pathFormat;
  auto it = values.begin();
  while (*p != 0) {
    if (p[0] == '%' && p[1] == 's') {
      if (it != values.end()) out += *it++;
      p += 2;
    } else {
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*p)));
      ++p;
    }
  }
  return out;
}

std::u16string AuthorizeUrl(const BlogServiceSettings& s) {
  return s.authorizeUrl + u"client_id=" + s.appKey + u"&response_type=" + s.responseType + u"&redirect_uri=" +
         s.redirectUrl;
}

BlogServiceSettings Defaults(int port, const char* authorizePath, const char* redirectPath) {
  const std::string base = "http://127.0.0.1:" + std::to_string(port == 0 ? 8889 : port);
  BlogServiceSettings s;
  s.appKey = u"801000000";
  s.authorizeUrl = Utf8ToWide(base + authorizePath);
  s.redirectUrl = Utf8ToWide(base + redirectPath);
  s.responseType = u"token";
  s.apiBase = Utf8ToWide(base);
  return s;
}

}  // namespace

BlogServiceSettings DefaultQqWeiboSettings(int port) {
  return Defaults(port, "/cgi-bin/oauth2/authorize?", "/weibo/qq/success.html");
}

BlogServiceSettings DefaultSinaWeiboSettings(int port) {
  return Defaults(port, "/oauth2/authorize?", "/success/success.html");
}

std::u16string FragmentValue(const std::u16string& address, const std::u16string& key) {
  const size_t hash = address.find(u'#');
  if (hash == std::u16string::npos) return {};
  size_t pos = hash + 1;
  while (pos <= address.size()) {
    size_t end = address.find(u'&', pos);
    if (end == std::u16string::npos) end = address.size();
    const size_t eq = address.find(u'=', pos);
    if (eq != std::u16string::npos && eq < end && address.compare(pos, eq - pos, key) == 0)
      return address.substr(eq + 1, end - eq - 1);
    pos = end + 1;
  }
  return {};
}

std::u16string QqTimeText(time_t t, time_t reference, bool hasReference) {
  struct tm when{};
  localtime_r(&t, &when);
  if (!hasReference) return Format("%A %B %d %H:%M %Y", when);
  const long long d = static_cast<long long>(reference) - static_cast<long long>(t);
  if (d < 60) return u"刚刚";
  if (d < 3600) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%d分钟前", static_cast<int>(d / 60));
    return Utf8ToWide(buffer);
  }
  struct tm ref{};
  localtime_r(&reference, &ref);
  if (when.tm_year != ref.tm_year) return Format("%A %B %d %H:%M %Y", when);
  const long days = DayNumber(ref) - DayNumber(when);
  if (days == 0) return u"今天" + Format("%H:%M", when);
  if (days == 1) return u"昨天" + Format("%H:%M", when);
  if (days == 2) return u"前天" + Format("%H:%M", when);
  return Format("%A %B %d %H:%M", when);
}

WeiboClientBase::~WeiboClientBase() { DeleteAll(&statuses_); }

const BlogStatusItem* WeiboClientBase::GetStatus(int index) const {
  if (index < 0 || index >= StatusCount()) return nullptr;
  return statuses_[static_cast<size_t>(index)];
}

void WeiboClientBase::ClearStatuses() { DeleteAll(&statuses_); }

void WeiboClientBase::ClearUser() {
  nickname_.clear();
  head_.clear();
}

void WeiboClientBase::ClearToken() {
  accessToken.clear();
  expiresIn.clear();
  userId.clear();
  fourthValue.clear();
}

// ---- QQ ----

std::u16string QqWeiboClient::BuildAuthorizeUrl() const { return AuthorizeUrl(settings); }

void QqWeiboClient::ParseTokenFragment(const std::u16string& address) {
  accessToken = FragmentValue(address, u"access_token");
  expiresIn = FragmentValue(address, u"expires_in");
  userId = FragmentValue(address, u"openid");
  fourthValue = FragmentValue(address, u"openkey");
}

void QqWeiboClient::FormatUserInfoUrl(std::u16string* out) const {
  *out = UrlOf(settings,
               "/api/user/info?oauth_consumer_key=%s&access_token=%s&openid=%s&oauth_version=2.a&scope=all"
               "&format=json",
               {settings.appKey, accessToken, userId});
}

void QqWeiboClient::FormatTimelineUrl(std::u16string* out) const {
  *out = UrlOf(settings,
               "/api/statuses/home_timeline?oauth_consumer_key=%s&access_token=%s&openid=%s&oauth_version=2.a"
               "&scope=all&format=json&pageflag=0&reqnum=25&pagetime=0&type=0x3&contenttype=0",
               {settings.appKey, accessToken, userId});
}

void QqWeiboClient::ParseUser(const char* json) {
  JsonNode* root = Parse(json);
  if (root == nullptr) return;
  ClearUser();
  const JsonNode* data = Object(root, "data");
  if (data != nullptr) {
    nickname_ = Text(data, "nick");
    std::u16string head = Text(data, "head");
    if (!head.empty()) head_ = WithoutBackslashes(head) + u"/50";
  }
  FreeJsonTree(&root);
}

void QqWeiboClient::ParseTimeline(const char* json) {
  JsonNode* root = Parse(json);
  if (root == nullptr) return;
  ClearStatuses();
  const JsonNode* data = Object(root, "data");
  time_t reference = 0;
  const bool hasReference = Seconds(data, "timestamp", &reference);
  const JsonNode* info = Array(data, "info");
  for (const JsonNode* e = info != nullptr ? info->firstChild : nullptr; e != nullptr; e = e->next) {
    if (e->type != kJsonObject) continue;
    auto* item = new BlogStatusItem;
    time_t t = 0;
    if (Seconds(e, "timestamp", &t)) item->time = QqTimeText(t, reference, hasReference);
    item->text = Text(e, "origtext");
    if (const JsonNode* images = Array(e, "image")) {
      for (const JsonNode* p = images->firstChild; p != nullptr; p = p->next) {
        if (p->text == nullptr || p->text[0] == 0) break;
        item->pictures.push_back(WithoutBackslashes(Utf8ToWide(p->text)) + u"/160");
      }
    }
    if (Text(e, "type") == u"2") {
      item->text += u"\n";
      if (const JsonNode* source = Object(e, "source")) {
        item->text += Text(source, "origtext") + u"-[转载]";
        std::u16string middle = Text(source, "middle_pic");
        if (!middle.empty()) item->pictures.push_back(middle);
      }
    }
    item->nickname = Text(e, "nick");
    std::u16string head = Text(e, "head");
    if (!head.empty()) item->head = WithoutBackslashes(head) + u"/50";
    statuses_.push_back(item);
  }
  FreeJsonTree(&root);
}

// ---- Sina ----

std::u16string SinaWeiboClient::BuildAuthorizeUrl() const { return AuthorizeUrl(settings) + u"&display=popup"; }

void SinaWeiboClient::ParseTokenFragment(const std::u16string& address) {
  accessToken = FragmentValue(address, u"access_token");
  fourthValue = FragmentValue(address, u"remind_in");
  expiresIn = FragmentValue(address, u"expires_in");
  userId = FragmentValue(address, u"uid");
}

void SinaWeiboClient::FormatUserInfoUrl(std::u16string* out) const {
  *out = UrlOf(settings, "/2/users/show.json?access_token=%s&uid=%s", {accessToken, userId});
}

void SinaWeiboClient::FormatTimelineUrl(std::u16string* out) const {
  *out = UrlOf(settings, "/2/statuses/home_timeline.json?access_token=%s&count=25", {accessToken});
}

void SinaWeiboClient::ParseUser(const char* json) {
  JsonNode* root = Parse(json);
  if (root == nullptr) return;
  ClearUser();
  nickname_ = Text(root, "screen_name");
  head_ = Text(root, "profile_image_url");
  FreeJsonTree(&root);
}

namespace {

// The Sina and relay status shape: time, text, own picture, forwarded text
// and its picture, user.
BlogStatusItem* StatusOf(const JsonNode* e, const char* pictureLabel, bool relay) {
  auto* item = new BlogStatusItem;
  item->time = Text(e, "created_at");
  item->text = Text(e, "text");
  std::u16string picture = Text(e, pictureLabel);
  if (!picture.empty()) item->pictures.push_back(picture);
  if (relay) {
    if (Member(e, "in_reply_to_status_text") != nullptr)
      item->text += u"\n" + Text(e, "in_reply_to_status_text") + u"-[转载]";
  } else if (const JsonNode* forwarded = Object(e, "retweeted_status")) {
    item->text += u"\n" + Text(forwarded, "text") + u"-[转载]";
    std::u16string middle = Text(forwarded, "middle_pic");
    if (!middle.empty()) item->pictures.push_back(middle);
  }
  if (const JsonNode* user = Object(e, "user")) {
    item->nickname = Text(user, "screen_name");
    item->head = Text(user, "profile_image_url");
  }
  return item;
}

}  // namespace

void SinaWeiboClient::ParseTimeline(const char* json) {
  JsonNode* root = Parse(json);
  if (root == nullptr) return;
  ClearStatuses();
  const JsonNode* list = Array(root, "statuses");
  for (const JsonNode* e = list != nullptr ? list->firstChild : nullptr; e != nullptr; e = e->next)
    if (e->type == kJsonObject) statuses_.push_back(StatusOf(e, "thumbnail_pic", false));
  FreeJsonTree(&root);
}

// ---- relay list ----

SohuStatusList::~SohuStatusList() { DeleteAll(&statuses_); }

void SohuStatusList::ParseStatuses(const char* json) {
  JsonNode* root = Parse(json);
  if (root == nullptr) return;
  ClearStatuses();
  const JsonNode* first = root->firstChild != nullptr ? root->firstChild->firstChild : nullptr;
  if (first != nullptr && first->type == kJsonArray)
    for (const JsonNode* e = first->firstChild; e != nullptr; e = e->next)
      if (e->type == kJsonObject) statuses_.push_back(StatusOf(e, "small_pic", true));
  FreeJsonTree(&root);
}

const BlogStatusItem* SohuStatusList::GetStatus(int index) const {
  if (index < 0 || index >= StatusCount()) return nullptr;
  return statuses_[static_cast<size_t>(index)];
}

void SohuStatusList::ClearStatuses() { DeleteAll(&statuses_); }

// The microblog holders of the native home panels: the QQ and Sina clients
// (OAuth fields, request addresses, redirect fragment, user information,
// home timeline) and the relay's third status list. They only build
// addresses and parse replies; their owners send the requests and hand the
// bodies back.
//
// Every text inside is UTF-16; JSON texts arrive as UTF-8 and each value is
// converted. A null text, or one the JSON reader refuses, changes nothing.
//
// Settings (app key, authorisation address, redirect address, response type
// and the API base address) are given by the owner; the defaults of
// BlogServiceSettings point at simbroker's loopback stand-in of the two
// services (plain HTTP), so the program contacts no outside service.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "platform/kernel/win_types.h"

// One status of a timeline.
struct BlogStatusItem {
  std::u16string nickname;
  std::u16string head;  // head-picture address
  std::u16string text;
  std::u16string time;  // time text as shown
  std::vector<std::u16string> pictures;
};

// What an owner gives a client. authorizeUrl ends with '?' so the query
// follows directly; apiBase is "scheme://host[:port]" without a final '/'.
struct BlogServiceSettings {
  std::u16string appKey;
  std::u16string authorizeUrl;
  std::u16string redirectUrl;
  std::u16string responseType = u"token";
  std::u16string apiBase;
};

// Defaults on simbroker's HTTP port `port` (its demo port 8889 when 0):
// "/cgi-bin/oauth2/authorize?" (QQ) and "/oauth2/authorize?" (Sina), the
// redirect pages "/weibo/qq/success.html" and "/success/success.html".
BlogServiceSettings DefaultQqWeiboSettings(int port = 0);
BlogServiceSettings DefaultSinaWeiboSettings(int port = 0);

// Fields and operations shared by the two clients.
class WeiboClientBase {
 public:
  WeiboClientBase() = default;
  virtual ~WeiboClientBase();
  WeiboClientBase(const WeiboClientBase&) = delete;
  WeiboClientBase& operator=(const WeiboClientBase&) = delete;

  BlogServiceSettings settings;
  // Token fields from the redirect fragment.
  std::u16string accessToken;
  std::u16string expiresIn;
  std::u16string userId;      // QQ "openid", Sina "uid"
  std::u16string fourthValue;  // QQ "openkey", Sina "remind_in"

  // The status at index, or null when index is negative or not below the count.
  const BlogStatusItem* GetStatus(int index) const;
  int StatusCount() const { return static_cast<int>(statuses_.size()); }
  void ClearStatuses();
  // The nickname and, right after it, the head-picture address.
  const std::u16string& GetUser() const { return nickname_; }
  const std::u16string& GetUserHead() const { return head_; }
  void ClearUser();
  // Empties the four token fields (sign out).
  void ClearToken();
  bool HasToken() const { return !accessToken.empty(); }

 protected:
  std::vector<BlogStatusItem*> statuses_;  // owned
  std::u16string nickname_;
  std::u16string head_;
};

class QqWeiboClient : public WeiboClientBase {
 public:
  // authorizeUrl + "client_id=" key "&response_type=" type "&redirect_uri=" redirect (nothing encoded).
  std::u16string BuildAuthorizeUrl() const;
  // "#access_token=A&expires_in=B&openid=C&openkey=D": each value by its key;
  // a missing key leaves its value empty.
  void ParseTokenFragment(const std::u16string& address);
  void FormatUserInfoUrl(std::u16string* out) const;
  void FormatTimelineUrl(std::u16string* out) const;
  void ParseUser(const char* json);
  // Time texts against the reply's "timestamp", in the local time zone.
  void ParseTimeline(const char* json);
};

class SinaWeiboClient : public WeiboClientBase {
 public:
  // As QQ's, followed by "&display=popup".
  std::u16string BuildAuthorizeUrl() const;
  // "#access_token=A&remind_in=B&expires_in=C&uid=D".
  void ParseTokenFragment(const std::u16string& address);
  void FormatUserInfoUrl(std::u16string* out) const;
  void FormatTimelineUrl(std::u16string* out) const;
  void ParseUser(const char* json);
  void ParseTimeline(const char* json);
};

// The relay's third list: the first member of the top-level object holds
// the statuses, whatever its name.
class SohuStatusList {
 public:
  SohuStatusList() = default;
  ~SohuStatusList();
  SohuStatusList(const SohuStatusList&) = delete;
  SohuStatusList& operator=(const SohuStatusList&) = delete;

  void ParseStatuses(const char* json);
  const BlogStatusItem* GetStatus(int index) const;
  int StatusCount() const { return static_cast<int>(statuses_.size()); }
  void ClearStatuses();

 private:
  std::vector<BlogStatusItem*> statuses_;  // owned
};

// The QQ time text of a status at t against the reply's reference time
// (hasReference false: none), local time zone, C run-time patterns:
// "刚刚", "%d分钟前", "今天%H:%M", "昨天%H:%M", "前天%H:%M",
// "%A %B %d %H:%M" (same year), "%A %B %d %H:%M %Y".
std::u16string QqTimeText(time_t t, time_t reference, bool hasReference);

// The value of key in a "#k=v&k=v" fragment of the address; empty when the
// key is missing.
std::u16string FragmentValue(const std::u16string& address, const std::u16string& key);

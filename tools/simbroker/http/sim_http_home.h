// The services of the native home panels: subscribed information and the
// latest news (JSON lists), the microblog relay with its three timeline
// shapes, a loopback stand-in of the two microblog open APIs (user
// information, home timeline, authorisation pages that redirect with a
// token fragment, the redirect pages) and the head and status pictures.
//
// Paths (every site):
//   /subscribeinfo?a=1   "PCSubscribeInfo" (listed with "::userid,sessionid")
//   /lastednews          "PCLastedNews"
//   /microblog/          "PCMicroBlog" base: qqWeibo.do, sinaWeibo.do, sohuWeibo.do
//   /api/user/info, /api/statuses/home_timeline          QQ API stand-in
//   /2/users/show.json, /2/statuses/home_timeline.json   Sina API stand-in
//   /cgi-bin/oauth2/authorize, /oauth2/authorize         302 to redirect_uri#token fragment
//   /weibo/qq/success.html, /success/success.html        the redirect pages
//   /blogpic/NAME[/SIZE] PNG heads (head1.png .. head4.png), JPEG pictures
//                        (pic1.jpg .. pic4.jpg), broken.jpg (not a picture),
//                        slow.jpg (answered after 1.5 s)
// The API stand-ins check the query keys and values of their requests and
// the token the authorisation pages give; a wrong query is answered 400.
// Every JSON reply is gzip-compressed when the scenario's homeGzip is set.
#pragma once

#include <map>
#include <string>

#include "tools/simbroker/http/sim_http_content.h"

namespace simhttp {

// The tokens and user ids the authorisation pages give.
extern const char kSimQqToken[];
extern const char kSimQqOpenId[];
extern const char kSimQqOpenKey[];
extern const char kSimSinaToken[];
extern const char kSimSinaUid[];
// The app key the stand-ins accept for QQ ("oauth_consumer_key").
extern const char kSimQqAppKey[];
// Nicknames of the signed-in users.
extern const char kSimQqNick[];
extern const char kSimSinaNick[];

// Service name of a path ("subscribeinfo", "lastednews", "microblog",
// "qqapi", "sinaapi", "authorize", "blogpage", "blogpic"), or empty when the
// path is none of these.
std::string HomeServiceOf(const std::string& path);

struct HomeReply {
  int status = 200;
  std::string body;
  std::string contentType;
  std::string location;  // redirect target for 302
  int delayMs = 0;       // answer after this long
};

// The reply of a home service. `base` is the answering site's "http://host:port".
HomeReply AnswerHomeService(const std::string& service, const std::string& base, const std::string& path,
                            const std::map<std::string, std::string>& query, const SimHttpScenario& s);

// Builders, for tests and the seeds.
std::string BuildInfoList(const std::string& base, bool subscribed);
std::string BuildRelayTimeline(const std::string& base, const std::string& which);  // "qq", "sina", "sohu"
std::string DrawBlogPicture(const std::string& name, int* found);
std::string EncodeJpegRgb(int width, int height, const std::string& rgb);

}  // namespace simhttp

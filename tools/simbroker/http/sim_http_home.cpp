// Services of the native home panels (see sim_http_home.h).
#include "tools/simbroker/http/sim_http_home.h"

#include <jpeglib.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace simhttp {

const char kSimQqToken[] = "qq0123456789abcdef";
const char kSimQqOpenId[] = "A1B2C3D4E5F60718293A4B5C6D7E8F90";
const char kSimQqOpenKey[] = "K9F8E7D6C5B4A3928170";
const char kSimSinaToken[] = "2.00sina0123456789";
const char kSimSinaUid[] = "1904178193";
const char kSimQqAppKey[] = "801000000";
const char kSimQqNick[] = "腾讯演示用户";
const char kSimSinaNick[] = "新浪演示用户";

namespace {

const char kJsonType[] = "application/json; charset=utf-8";

std::string Get(const std::map<std::string, std::string>& q, const char* key) {
  auto it = q.find(key);
  return it == q.end() ? std::string() : it->second;
}

bool Has(const std::map<std::string, std::string>& q, const char* key) { return q.count(key) != 0; }

// "http:\/\/host:port\/path": an address with its slashes escaped, as the
// QQ service writes them.
std::string Escaped(const std::string& address) {
  std::string out;
  for (char c : address) {
    if (c == '/') out += "\\/";
    else out += c;
  }
  return out;
}

struct SimStatus {
  const char* nick;
  const char* text;
  int head;          // head picture 1..4
  const char* pic;   // picture name or ""
  const char* forwarded;  // forwarded text or ""
  const char* forwardedPic;
  int minutesAgo;
};

// The statuses every timeline shape is built from (news of the simulated
// market, written by the brokerage's own analysts).
const SimStatus kStatuses[] = {
    {"演示证券研究所", "沪指早盘震荡走高，券商板块领涨，成交较昨日同期明显放大。", 1, "pic1.jpg", "", "", 0},
    {"盘口观察", "创业板指午后翻红，半导体个股活跃，多只个股封板。\n资金面：北向资金净流入。", 2, "", "", "", 3},
    {"财经快讯", "转发一条：", 3, "", "央行开展逆回购操作，维护银行体系流动性合理充裕。", "pic2.jpg", 25},
    {"价值投资者", "长期持有优质资产，比频繁交易更重要。", 4, "pic3.jpg", "", "", 70},
    {"演示证券研究所", "收评：三大指数集体收涨，两市成交额超九千亿。", 1, "slow.jpg", "", "", 200},
    {"图表派", "今日复盘图（图片损坏示例）", 2, "broken.jpg", "", "", 1500},
};

std::string Json(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

std::string Pic(const std::string& base, const std::string& name) { return base + "/blogpic/" + name; }

std::string HeadPng(const std::string& base, int head) { return Pic(base, "head" + std::to_string(head) + ".png"); }

std::string QqTimeline(const std::string& base) {
  const long long now = static_cast<long long>(time(nullptr));
  std::string j = "{\"ret\":0,\"msg\":\"ok\",\"data\":{\"timestamp\":" + std::to_string(now) + ",\"info\":[";
  bool first = true;
  for (const SimStatus& st : kStatuses) {
    if (!first) j += ",";
    first = false;
    const bool forwarded = st.forwarded[0] != 0;
    j += "{\"id\":\"" + std::to_string(1000 + (&st - kStatuses)) + "\"";
    j += ",\"timestamp\":" + std::to_string(now - 60LL * st.minutesAgo);
    j += ",\"origtext\":" + Json(st.text);
    j += ",\"image\":[";
    // QQ pictures carry no size: the client appends "/160".
    if (st.pic[0] != 0) j += "\"" + Escaped(Pic(base, st.pic)) + "\",";
    j += "\"\"]";
    j += std::string(",\"type\":\"") + (forwarded ? "2" : "1") + "\"";
    if (forwarded)
      j += ",\"source\":{\"origtext\":" + Json(st.forwarded) + ",\"middle_pic\":\"" +
           (st.forwardedPic[0] ? Pic(base, st.forwardedPic) : "") + "\"}";
    j += ",\"nick\":" + Json(st.nick);
    j += ",\"head\":\"" + Escaped(base + "/blogpic/head" + std::to_string(st.head) + ".png") + "\"}";
  }
  return j + "],\"hasnext\":0}}";
}

std::string CreatedAt(int minutesAgo) {
  const time_t t = time(nullptr) - 60 * minutesAgo;
  struct tm when{};
  localtime_r(&t, &when);
  char buffer[64];
  strftime(buffer, sizeof buffer, "%m-%d %H:%M", &when);
  return buffer;
}

std::string SinaTimeline(const std::string& base) {
  std::string j = "{\"statuses\":[";
  bool first = true;
  for (const SimStatus& st : kStatuses) {
    if (!first) j += ",";
    first = false;
    j += "{\"created_at\":" + Json(CreatedAt(st.minutesAgo)) + ",\"text\":" + Json(st.text);
    j += ",\"thumbnail_pic\":\"" + (st.pic[0] ? Pic(base, st.pic) : std::string()) + "\"";
    if (st.forwarded[0] != 0)
      j += ",\"retweeted_status\":{\"text\":" + Json(st.forwarded) + ",\"middle_pic\":\"" +
           (st.forwardedPic[0] ? Pic(base, st.forwardedPic) : "") + "\"}";
    j += ",\"user\":{\"screen_name\":" + Json(st.nick) + ",\"profile_image_url\":\"" + HeadPng(base, st.head) +
         "\"}}";
  }
  return j + "],\"total_number\":" + std::to_string(sizeof kStatuses / sizeof kStatuses[0]) + "}";
}

std::string SohuTimeline(const std::string& base) {
  std::string j = "{\"statuses\":[";
  bool first = true;
  for (const SimStatus& st : kStatuses) {
    if (!first) j += ",";
    first = false;
    j += "{\"created_at\":" + Json(CreatedAt(st.minutesAgo)) + ",\"text\":" + Json(st.text);
    j += ",\"small_pic\":\"" + (st.pic[0] ? Pic(base, st.pic) : std::string()) + "\"";
    if (st.forwarded[0] != 0) j += ",\"in_reply_to_status_text\":" + Json(st.forwarded);
    j += ",\"user\":{\"screen_name\":" + Json(st.nick) + ",\"profile_image_url\":\"" + HeadPng(base, st.head) +
         "\"}}";
  }
  return j + "],\"cursor_id\":0}";
}

void PutChunk(std::string* png, const char* type, const std::string& data) {
  const uint32_t n = static_cast<uint32_t>(data.size());
  for (int shift = 24; shift >= 0; shift -= 8) *png += char((n >> shift) & 0xFF);
  std::string body = std::string(type, 4) + data;
  *png += body;
  const uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                   static_cast<uInt>(body.size())));
  for (int shift = 24; shift >= 0; shift -= 8) *png += char((crc >> shift) & 0xFF);
}

std::string EncodePng(int width, int height, const std::string& rgb) {
  std::string raw;
  for (int y = 0; y < height; ++y) {
    raw += '\0';
    raw.append(rgb, static_cast<size_t>(y) * width * 3, static_cast<size_t>(width) * 3);
  }
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  for (uint32_t v : {uint32_t(width), uint32_t(height)})
    for (int shift = 24; shift >= 0; shift -= 8) header += char((v >> shift) & 0xFF);
  header += std::string("\x08\x02\x00\x00\x00", 5);
  PutChunk(&png, "IHDR", header);
  uLongf packedSize = compressBound(uLong(raw.size()));
  std::string packed(packedSize, '\0');
  compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
            uLong(raw.size()), 9);
  packed.resize(packedSize);
  PutChunk(&png, "IDAT", packed);
  PutChunk(&png, "IEND", "");
  return png;
}

// A 48 x 48 head: a coloured disc with a lighter face on a dark ground.
std::string DrawHead(int n) {
  static const uint8_t kColours[4][3] = {{0x2E, 0x6D, 0xC8}, {0xC8, 0x5A, 0x2E}, {0x3C, 0x9A, 0x5A}, {0x8A, 0x4C, 0xB8}};
  const uint8_t* c = kColours[(n - 1) & 3];
  const int w = 48, h = 48;
  std::string rgb(static_cast<size_t>(w * h * 3), '\0');
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double dx = x - 23.5, dy = y - 23.5;
      const double r = std::sqrt(dx * dx + dy * dy);
      uint8_t p[3] = {0xE6, 0xEE, 0xF8};
      if (r < 22) {
        for (int i = 0; i < 3; ++i) p[i] = c[i];
        const double fx = x - 23.5, fy = y - 18;
        if (std::sqrt(fx * fx + fy * fy) < 8 || (y > 30 && std::abs(x - 23.5) < 14 - (y - 30) * 0.2))
          for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>(std::min(255, c[i] + 90));
      }
      for (int i = 0; i < 3; ++i) rgb[static_cast<size_t>((y * w + x) * 3 + i)] = char(p[i]);
    }
  return EncodePng(w, h, rgb);
}

// A 160 x 100 status picture: a light chart of a price line over a grid.
std::string DrawStatusPicture(int n) {
  const int w = 160, h = 100;
  std::string rgb(static_cast<size_t>(w * h * 3), '\0');
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t p[3] = {uint8_t(0xF4 - y / 4), uint8_t(0xF6 - y / 5), 0xFC};
      if (x % 20 == 0 || y % 20 == 0) p[0] = p[1] = 0xD0, p[2] = 0xDC;
      const double line = 50 + 25 * std::sin((x + 17 * n) / 18.0) * (n % 2 ? 1 : -1) - x / 10.0 * (n - 2);
      if (std::abs(y - line) < 1.6) {
        p[0] = n % 2 ? 0xD9 : 0x01;
        p[1] = n % 2 ? 0x01 : 0x68;
        p[2] = n % 2 ? 0x01 : 0x20;
      }
      for (int i = 0; i < 3; ++i) rgb[static_cast<size_t>((y * w + x) * 3 + i)] = char(p[i]);
    }
  return EncodeJpegRgb(w, h, rgb);
}

std::string ErrorJson(int code, const char* message) {
  return "{\"ret\":" + std::to_string(code) + ",\"errcode\":" + std::to_string(code) + ",\"msg\":\"" + message +
         "\"}";
}

}  // namespace

std::string EncodeJpegRgb(int width, int height, const std::string& rgb) {
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 90, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = reinterpret_cast<JSAMPROW>(
        const_cast<char*>(rgb.data() + static_cast<size_t>(info.next_scanline) * width * 3));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::string result(reinterpret_cast<const char*>(out), size);
  free(out);
  return result;
}

std::string DrawBlogPicture(const std::string& name, int* found) {
  *found = 1;
  for (int n = 1; n <= 4; ++n) {
    if (name == "head" + std::to_string(n) + ".png") return DrawHead(n);
    if (name == "pic" + std::to_string(n) + ".jpg") return DrawStatusPicture(n);
  }
  if (name == "slow.jpg") return DrawStatusPicture(4);
  if (name == "broken.jpg") return "this is not a picture";
  *found = 0;
  return {};
}

std::string BuildInfoList(const std::string& base, bool subscribed) {
  // One title written with \u escapes, one element without "title".
  if (subscribed)
    return "{\"data\":["
           "{\"title\":\"券商板块午后拉升 成交放量\",\"pubdate\":\"10:42\",\"url\":\"" + base + "/news.html?id=s1\"},"
           "{\"title\":\"\\u7814\\u62a5\\uff1a\\u94f6\\u884c\\u80a1\\u4f30\\u503c\\u4fee\\u590d\",\"pubdate\":\"10:15\","
           "\"url\":\"" + base + "/news.html?id=s2\"},"
           "{\"title\":\"两市融资余额连续三日回升\",\"pubdate\":\"09:58\",\"url\":\"" + base + "/news.html?id=s3\"},"
           "{\"pubdate\":\"09:31\",\"url\":\"" + base + "/news.html?id=s4\"},"
           "{\"title\":\"新能源汽车产业链订单饱满\",\"pubdate\":\"09:05\",\"url\":\"\"}"
           "],\"total\":5}";
  return "{\"data\":["
         "{\"title\":\"沪指半日涨0.8% 券商股集体走强\",\"pubdate\":\"11:30\",\"url\":\"" + base + "/news.html?id=n1\"},"
         "{\"title\":\"半导体板块异动拉升 多股涨停\",\"pubdate\":\"11:02\",\"url\":\"" + base + "/news.html?id=n2\"},"
         "{\"title\":\"\\u5317\\u5411\\u8d44\\u91d1\\u65e9\\u76d8\\u51c0\\u6d41\\u5165\",\"pubdate\":\"10:47\","
         "\"url\":\"" + base + "/news.html?id=n3\"},"
         "{\"title\":\"央行今日开展逆回购操作\",\"pubdate\":\"09:20\",\"url\":\"" + base + "/news.html?id=n4\"},"
         "{\"title\":\"创业板指低开高走\",\"pubdate\":\"09:45\",\"url\":\"" + base + "/news.html?id=n5\"},"
         "{\"title\":\"有色金属板块震荡走低\",\"pubdate\":\"10:05\",\"url\":\"" + base + "/news.html?id=n6\"}"
         "]}";
}

std::string BuildRelayTimeline(const std::string& base, const std::string& which) {
  if (which == "qq") return QqTimeline(base);
  if (which == "sina") return SinaTimeline(base);
  return SohuTimeline(base);
}

std::string HomeServiceOf(const std::string& path) {
  if (path == "/subscribeinfo") return "subscribeinfo";
  if (path == "/lastednews") return "lastednews";
  if (path.rfind("/microblog/", 0) == 0) return "microblog";
  if (path == "/api/user/info" || path == "/api/statuses/home_timeline") return "qqapi";
  if (path == "/2/users/show.json" || path == "/2/statuses/home_timeline.json") return "sinaapi";
  if (path == "/cgi-bin/oauth2/authorize" || path == "/oauth2/authorize") return "authorize";
  if (path == "/weibo/qq/success.html" || path == "/success/success.html") return "blogpage";
  if (path.rfind("/blogpic/", 0) == 0) return "blogpic";
  return {};
}

HomeReply AnswerHomeService(const std::string& service, const std::string& base, const std::string& path,
                            const std::map<std::string, std::string>& query, const SimHttpScenario& s) {
  HomeReply r;
  r.contentType = kJsonType;
  auto json = [&](const std::string& text) {
    if (s.homeGzip) {
      r.body = GzipText(text);
      r.contentType = "application/octet-stream";
    } else {
      r.body = text;
    }
  };
  auto refuse = [&](const char* message) {
    r.status = 400;
    r.body = ErrorJson(3, message);
  };
  if (service == "subscribeinfo" || service == "lastednews") {
    json(BuildInfoList(base, service == "subscribeinfo"));
    return r;
  }
  if (service == "microblog") {
    const std::string name = path.substr(std::string("/microblog/").size());
    if (name == "qqWeibo.do") json(QqTimeline(base));
    else if (name == "sinaWeibo.do") json(SinaTimeline(base));
    else if (name == "sohuWeibo.do") json(SohuTimeline(base));
    else refuse("unknown relay");
    return r;
  }
  if (service == "qqapi") {
    const bool timeline = path == "/api/statuses/home_timeline";
    bool ok = Get(query, "oauth_consumer_key") == kSimQqAppKey && Get(query, "access_token") == kSimQqToken &&
              Get(query, "openid") == kSimQqOpenId && Get(query, "oauth_version") == "2.a" &&
              Get(query, "scope") == "all" && Get(query, "format") == "json";
    if (timeline)
      ok = ok && Get(query, "pageflag") == "0" && Get(query, "reqnum") == "25" && Get(query, "pagetime") == "0" &&
           Get(query, "type") == "0x3" && Get(query, "contenttype") == "0";
    if (!ok) {
      refuse("check sign error");
      return r;
    }
    if (timeline) json(QqTimeline(base));
    else
      json(std::string("{\"ret\":0,\"msg\":\"ok\",\"data\":{\"name\":\"simdemo\",\"nick\":\"") + kSimQqNick +
           "\",\"head\":\"" + Escaped(base + "/blogpic/head1.png") + "\",\"fansnum\":128}}");
    return r;
  }
  if (service == "sinaapi") {
    const bool timeline = path == "/2/statuses/home_timeline.json";
    bool ok = Get(query, "access_token") == kSimSinaToken;
    ok = ok && (timeline ? Get(query, "count") == "25" : Get(query, "uid") == kSimSinaUid);
    if (!ok) {
      refuse("invalid_access_token");
      return r;
    }
    if (timeline) json(SinaTimeline(base));
    else
      json(std::string("{\"id\":") + kSimSinaUid + ",\"screen_name\":\"" + kSimSinaNick +
           "\",\"profile_image_url\":\"" + base + "/blogpic/head3.png\",\"followers_count\":256}");
    return r;
  }
  if (service == "authorize") {
    if (!Has(query, "client_id") || Get(query, "response_type") != "token" || Get(query, "redirect_uri").empty()) {
      r.status = 400;
      r.contentType = "text/html; charset=utf-8";
      r.body = "<html><body>授权请求缺少参数</body></html>";
      return r;
    }
    const bool qq = path == "/cgi-bin/oauth2/authorize";
    r.status = 302;
    r.contentType = "text/html; charset=utf-8";
    r.body = "<html><body>正在跳转…</body></html>";
    r.location = Get(query, "redirect_uri") +
                 (qq ? std::string("#access_token=") + kSimQqToken + "&expires_in=604800&openid=" + kSimQqOpenId +
                           "&openkey=" + kSimQqOpenKey
                     : std::string("#access_token=") + kSimSinaToken + "&remind_in=157679999&expires_in=157679999" +
                           "&uid=" + kSimSinaUid);
    return r;
  }
  if (service == "blogpage") {
    r.contentType = "text/html; charset=utf-8";
    r.body = "<html><head><meta charset=\"utf-8\"><title>授权成功</title></head>"
             "<body style=\"background:#1b2433;color:#ecf4ff\"><p>授权成功，请关闭本页。</p></body></html>";
    return r;
  }
  if (service == "blogpic") {
    // "/blogpic/NAME" or "/blogpic/NAME/SIZE" (the clients append a size).
    std::string name = path.substr(std::string("/blogpic/").size());
    const size_t slash = name.find('/');
    if (slash != std::string::npos) name.resize(slash);
    int found = 0;
    r.body = DrawBlogPicture(name, &found);
    r.status = found ? 200 : 404;
    r.contentType = name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0 ? "image/png" : "image/jpeg";
    if (name == "slow.jpg") r.delayMs = 1500;
    return r;
  }
  r.status = 404;
  r.body.clear();
  return r;
}

}  // namespace simhttp

// Menus, captcha picture, company and news data and the web pages of the
// simulated brokerage (see sim_http_content.h). The data is fixed: every
// figure is derived from the stock code, so replies repeat exactly.
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#include "tools/simbroker/http/sim_http_content.h"

namespace simhttp {

using Json = nlohmann::ordered_json;

namespace {

// A stable number from a text (FNV-1a), for figures that must repeat.
uint32_t Seed(const std::string& text) {
  uint32_t h = 2166136261u;
  for (unsigned char c : text) h = (h ^ c) * 16777619u;
  return h;
}

std::string Fixed(double v, int decimals) {
  char buffer[64];
  snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  return buffer;
}

int DateValue(const std::string& text, int fallback) {
  if (text.size() != 8) return fallback;
  for (char c : text)
    if (c < '0' || c > '9') return fallback;
  return std::stoi(text);
}

std::string StockLabel(const std::string& code) {
  const SimStock* s = FindSimStock(code);
  return s != nullptr ? s->name : "股票" + code;
}

std::string QuoteLink(const SimStock& s, const char* view) {
  return std::string("<a href=\"goto::quote::") + view + "," + s.code + "," +
         std::to_string(s.market) + "\">" + s.name + "</a>";
}

}  // namespace

// ---------------------------------------------------------------- menus

std::string BuildMenusJson(const std::string& base) {
  auto entry = [](const char* code, const char* name, const std::string& url) {
    return Json{{"displayStyle", "1"}, {"resourceName", name}, {"resourceCode", code}, {"url", url}};
  };
  Json menus = Json::array({
      entry("100001", "首页", "goto::home::" + base + "/home.html"),
      entry("100002", "行情", "goto::quote::main"),
      entry("100002001", "行情", "goto::quote::main"),
      entry("100002002", "大盘分析", "goto::quote::analyze"),
      entry("100003", "策略", "goto::quote::tactic"),
      entry("100003001", "战术看盘", "goto::quote::tactic"),
      entry("100003002", "板块监测", "goto::quote::allmonitor"),
      entry("100003003", "短线阻击", "goto::quote::catchshort"),
      entry("100003004", "股票池", "goto::quote::pzpick"),
      entry("100004", "资讯", "goto::info::" + base + "/news.html"),
      entry("100004001", "财经要闻", "goto::info::" + base + "/news.html"),
      entry("100004002", "研究报告", "goto::info::" + base + "/reports.html::userid,sessionid"),
      entry("100005", "交易", "goto::trade"),
      entry("100006", "服务", "goto::info::" + base + "/service.html"),
      entry("100006001", "订购续费",
            "goto::info::" + base + "/order.html::userid,sessionid,iausername"),
      entry("100006002", "产品教程", "goto::info::" + base + "/help.html"),
      entry("100006003", "修改密码", "goto::info::" + base + "/pwd.html"),
      entry("101", "帮助", "goto::info::" + base + "/help.html"),
  });
  Json root;
  root["menus"] = menus;
  return root.dump();
}

// ---------------------------------------------------------------- captcha picture

namespace {

// 5 x 7 digit shapes, one row a byte, bit 4 the left column.
const uint8_t kDigitRows[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1E, 0x01, 0x01, 0x0E, 0x01, 0x01, 0x1E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
};

void PutChunk(std::string* png, const char* type, const std::string& data) {
  uint32_t length = uint32_t(data.size());
  for (int shift = 24; shift >= 0; shift -= 8) *png += char((length >> shift) & 0xFF);
  std::string body = std::string(type, 4) + data;
  *png += body;
  uint32_t crc = crc32(0L, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
  for (int shift = 24; shift >= 0; shift -= 8) *png += char((crc >> shift) & 0xFF);
}

}  // namespace

std::string DrawCaptchaPng(const std::string& digits) {
  const int scale = 3, cell = 6 * scale, width = 16 + cell * int(std::max<size_t>(digits.size(), 1)),
            height = 32;
  // RGB rows, each led by filter byte 0.
  std::string raw;
  uint32_t noise = Seed(digits) | 1;
  for (int y = 0; y < height; ++y) {
    raw += '\0';
    for (int x = 0; x < width; ++x) {
      noise = noise * 1103515245u + 12345u;
      uint8_t speckle = uint8_t((noise >> 16) & 0x1F);
      uint8_t r = uint8_t(225 + (speckle & 0x0F)), g = uint8_t(232 + (speckle >> 2)), b = 240;
      int index = (x - 8) / cell, col = ((x - 8) % cell) / scale;
      int top = 5 + (index % 2) * 2, row = (y - top) / scale;
      if (x >= 8 && index < int(digits.size()) && col < 5 && y >= top && row < 7) {
        char d = digits[size_t(index)];
        if (d >= '0' && d <= '9' && (kDigitRows[d - '0'][row] >> (4 - col)) & 1) {
          r = uint8_t(20 + 40 * (index % 3));
          g = 40;
          b = uint8_t(140 - 30 * (index % 2));
        }
      }
      raw += char(r);
      raw += char(g);
      raw += char(b);
    }
  }
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  for (uint32_t v : {uint32_t(width), uint32_t(height)})
    for (int shift = 24; shift >= 0; shift -= 8) header += char((v >> shift) & 0xFF);
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB, no interlace
  PutChunk(&png, "IHDR", header);
  uLongf packedSize = compressBound(uLong(raw.size()));
  std::string packed(packedSize, '\0');
  compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize,
            reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()), 9);
  packed.resize(packedSize);
  PutChunk(&png, "IDAT", packed);
  PutChunk(&png, "IEND", "");
  return png;
}

// ---------------------------------------------------------------- K-line related data

// Day of the week of a YYYYMMDD date, 0 Sunday.
static int WeekdayOf(int date) {
  int y = date / 10000, m = date / 100 % 100;
  const int d = date % 100;
  static const int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (m < 3) y -= 1;
  return (y + y / 4 - y / 100 + y / 400 + kOffsets[(m + 11) % 12] + d) % 7;
}

std::string BuildKLineRelated(const std::map<std::string, std::string>& query, const std::string& base) {
  auto get = [&](const char* name) {
    auto it = query.find(name);
    return it == query.end() ? std::string() : it->second;
  };
  const std::string type = get("datatype"), code = get("stockcode");
  int start = DateValue(get("startdate"), 20230101), end = DateValue(get("enddate"), 20241231);
  uint32_t seed = Seed(code);
  Json data = Json::array();
  if (type == "1" || type == "2") {
    // One row per reporting period that ends within the range.
    static const int kPeriodEnds[] = {331, 630, 930, 1231};
    for (int year = start / 10000; year <= end / 10000; ++year) {
      for (int q = 0; q < 4; ++q) {
        int periodEnd = year * 10000 + kPeriodEnds[q];
        if (periodEnd < start || periodEnd > end) continue;
        double growth = 1.0 + 0.04 * (year - 2020) + 0.25 * q;
        Json row;
        if (type == "1") {
          row["basicEPS"] = Fixed((0.12 + (seed % 90) / 100.0) * growth, 3);
          row["netCashFlowPS"] = Fixed((0.05 + (seed % 40) / 100.0) * growth, 3);
          row["operRevenue"] = Fixed((120.0 + seed % 900) * 1e6 * growth, 0);
        } else {
          row["totalSH"] = std::to_string(40000 + seed % 200000 - (year - 2020) * 1500 + q * 700);
          row["avgShare"] = Fixed(8000.0 + seed % 30000 + q * 120.0, 0);
          row["pctOfTotalSH"] = Fixed(1.5 + (seed % 300) / 100.0 - q * 0.1, 2);
        }
        row["startDate"] = std::to_string(year * 10000 + 101);
        row["endDate"] = std::to_string(periodEnd);
        data.push_back(row);
      }
    }
  } else if (type == "3") {
    // Ratings on trading days (weekdays): two institutes a day, a third one
    // with the other side every second day, each with a report page on the
    // answering site.
    static const char* const kRatings[] = {"买入", "增持", "中性", "推荐", "谨慎增持"};
    static const int kSides[] = {1, 1, 0, 1, 1};
    static const char* const kInstitutes[] = {"华辰证券研究所", "东岳证券", "信衡证券",
                                              "北辰国际", "中正证券"};
    for (int month = 1, n = 0; month <= 12; month += 2, ++n) {
      for (int year = start / 10000; year <= end / 10000; ++year) {
        int date = year * 10000 + month * 100 + 10 + int(seed % 15);
        while (WeekdayOf(date) == 0 || WeekdayOf(date) == 6) ++date;
        if (date < start || date > end) continue;
        const int pick = int((seed + uint32_t(n) + uint32_t(year)) % 5);
        const int rows = n % 2 == 0 ? 3 : 2;
        for (int r = 0; r < rows; ++r) {
          const int rating = r == 2 ? 2 : (pick + r) % 5;
          const int side = r == 2 ? 1 - kSides[pick] : kSides[rating];
          data.push_back({{"invRatingOriginal", kRatings[rating]},
                          {"ratingSide", std::to_string(side)},
                          {"comName", kInstitutes[(pick + n + r) % 5]},
                          {"pubDate", std::to_string(date)},
                          {"url", base + "/report/" + code + "-" + std::to_string(date) + "-" +
                                      std::to_string(r + 1) + ".html"}});
        }
      }
    }
  } else {
    return "{\"total\":\"0\",\"data\":[]}";
  }
  Json j;
  j["total"] = std::to_string(data.size());
  j["data"] = data;
  return j.dump();
}

// ---------------------------------------------------------------- news lists

std::string BuildNewsList(const SimHttpLayout& layout, int site, const std::string& code, bool reports) {
  const std::string name = StockLabel(code), base = SimSiteBase(layout, site);
  static const char* const kNews[] = {
      "%s：关于召开年度股东大会的通知", "%s：2023年年度报告摘要", "%s：董事会决议公告",
      "%s获北向资金连续增持", "%s：关于回购公司股份的进展公告", "机构调研：%s经营情况交流纪要",
      "%s：关于部分募集资金投资项目延期的公告", "%s盘中异动，成交额放大"};
  static const char* const kReports[] = {
      "%s深度报告：经营稳健，估值具备吸引力", "%s季报点评：营收稳步增长，维持增持评级",
      "%s跟踪报告：行业景气回升，盈利有望改善", "%s首次覆盖：龙头地位稳固，给予买入评级",
      "%s年报点评：分红率提升，关注长期价值"};
  Json data = Json::array();
  const size_t count = reports ? 5 : 8;
  for (size_t i = 0; i < count; ++i) {
    char title[256];
    snprintf(title, sizeof title, reports ? kReports[i] : kNews[i], name.c_str());
    char date[32];
    snprintf(date, sizeof date, "2024-%02d-%02d %02d:%02d", int(3 - i / 4), int(28 - 3 * (i % 8)),
             int(9 + i % 7), int((i * 17) % 60));
    data.push_back({{"title", title},
                    {"pubdate", date},
                    {"url", base + (reports ? "/report/" : "/news/") + code + "-" +
                                std::to_string(i + 1) + ".html"}});
  }
  Json j;
  j["result"] = "true";
  j["data"] = data;
  return j.dump();
}

// ---------------------------------------------------------------- pages

namespace {

std::string StockTable(const char* view) {
  std::string rows = "<table><tr><th>代码</th><th>名称</th><th>操作</th></tr>";
  for (const SimStock& s : SimStocks()) {
    if (s.kind == 0) continue;
    rows += std::string("<tr><td>") + s.code + "</td><td>" + QuoteLink(s, view) +
            "</td><td><a href=\"goto::quote::kline," + s.code + "," + std::to_string(s.market) +
            "\">K线</a> <a href=\"goto::quote::relation," + s.code + "," +
            std::to_string(s.market) + "\">报价</a> <a href=\"goto::trade::buy," + s.code + "," +
            std::to_string(s.market) + "\">买入</a> <a href=\"goto::trade::sell," + s.code + "," +
            std::to_string(s.market) + "\">卖出</a></td></tr>";
  }
  return rows + "</table>";
}

std::string F10Page(const std::string& code, const std::string& market) {
  const SimStock* s = FindSimStock(code);
  std::string name = s != nullptr ? s->name : "股票" + code;
  uint32_t seed = Seed(code);
  std::string body = "<h1>" + name + "（" + code + "）公司概况</h1>";
  body += "<p><a href=\"goto::quote::min," + code + "," + market + "\">分时走势</a> | <a href=\"goto::quote::kline," +
          code + "," + market + "\">K线图</a></p>";
  body += "<table><tr><th>项目</th><th>内容</th></tr>";
  body += "<tr><td>上市市场</td><td>" + std::string(market == "1" ? "上海证券交易所" : "深圳证券交易所") + "</td></tr>";
  body += "<tr><td>总股本（亿股）</td><td>" + Fixed(10.0 + seed % 2000 / 10.0, 2) + "</td></tr>";
  body += "<tr><td>流通股本（亿股）</td><td>" + Fixed(8.0 + seed % 1500 / 10.0, 2) + "</td></tr>";
  body += "<tr><td>每股收益（元）</td><td>" + Fixed(0.2 + seed % 300 / 100.0, 3) + "</td></tr>";
  body += "<tr><td>每股净资产（元）</td><td>" + Fixed(3.0 + seed % 2000 / 100.0, 2) + "</td></tr>";
  body += "<tr><td>主营业务</td><td>以公开披露信息为准，本页为模拟数据。</td></tr></table>";
  return SimHtmlPage(name + " F10", body);
}

}  // namespace

std::string BuildPage(const SimHttpLayout& layout, int site, const std::string& path,
                      const std::map<std::string, std::string>& query, int* found) {
  *found = 1;
  const std::string base = SimSiteBase(layout, site);
  auto get = [&](const char* name) {
    auto it = query.find(name);
    return it == query.end() ? std::string() : it->second;
  };
  if (path == "/home.html" || path == "/") {
    return SimHtmlPage("首页", "<h1>Orvenna证券 首页</h1><p>今日市场概览与自选股一览。</p>" + StockTable("min") +
                            "<p><a href=\"goto::popwindow::notice::公告::" + base +
                            "/msgbox.html\">查看公告</a></p>");
  }
  if (path == "/news.html" || path == "/reports.html") {
    bool reports = path == "/reports.html";
    std::string list = "<ul>";
    for (const SimStock& s : SimStocks()) {
      if (s.kind != 1) continue;
      list += std::string("<li><a href=\"") + base + (reports ? "/report/" : "/news/") + s.code +
              "-1.html\">" + s.name + (reports ? " 研究报告" : " 最新公告") + "</a> " +
              QuoteLink(s, "min") + "</li>";
    }
    return SimHtmlPage(reports ? "研究报告" : "财经要闻",
                std::string("<h1>") + (reports ? "研究报告" : "财经要闻") + "</h1>" + list + "</ul>" +
                    (reports ? "<p>用户：" + get("userid") + "</p>" : ""));
  }
  if (path == "/service.html")
    return SimHtmlPage("服务", "<h1>客户服务</h1><p><a href=\"" + base + "/order.html\">订购续费</a> | <a href=\"" +
                            base + "/help.html\">产品教程</a> | <a href=\"" + base + "/pwd.html\">修改密码</a></p>");
  if (path == "/order.html")
    return SimHtmlPage("订购续费", "<h1>订购续费</h1><p>账号：" + get("iausername") +
                                "</p><table><tr><th>产品</th><th>周期</th><th>价格</th></tr>"
                                "<tr><td>Level-2 行情</td><td>一年</td><td>1200元</td></tr>"
                                "<tr><td>VIP 资讯</td><td>一年</td><td>600元</td></tr></table>");
  if (path == "/help.html")
    return SimHtmlPage("产品教程", "<h1>产品教程</h1><ol><li>按 F6 查看自选股</li><li>输入代码或拼音首字母快速查找股票</li>"
                            "<li>F10 查看公司资料</li></ol>" + StockTable("kline"));
  if (path == "/about.html")
    return SimHtmlPage("关于", "<h1>Orvenna证券VIP终端</h1><p>版本 1.0.0.1</p><p>用户：" + get("userid") +
                            "</p><p>会话：" + get("sessionid") + "</p>");
  if (path == "/pwd.html")
    return SimHtmlPage("修改密码", "<h1>修改密码</h1><form action=\"" + base +
                               "/pwd.html\" method=\"get\">原密码 <input type=\"password\" name=\"old\"><br>"
                               "新密码 <input type=\"password\" name=\"new\"><br><input type=\"submit\" value=\"确定\"></form>");
  if (path == "/msgbox.html")
    return SimHtmlPage("消息箱", "<h1>消息箱</h1><ul><li>您订阅的研究报告已更新</li><li>系统将于周六凌晨升级</li></ul>");
  if (path == "/evaluate.html" || path == "/forecast.html") {
    std::string code = get("tradingcode");
    bool evaluate = path == "/evaluate.html";
    uint32_t seed = Seed(code);
    return SimHtmlPage(evaluate ? "个股评测" : "业绩预测",
                "<h1>" + StockLabel(code) + (evaluate ? " 个股评测" : " 业绩预测") + "</h1>" +
                    (evaluate ? "<p>综合评分：" + std::to_string(55 + seed % 40) + " 分</p>"
                              : "<p>预测每股收益：" + Fixed(0.3 + seed % 250 / 100.0, 2) + " 元</p>") +
                    "<p>用户：" + get("username") + "</p>");
  }
  // /f10/sh/<code>/, /f10/sz/<code>/
  if (path.rfind("/f10/sh/", 0) == 0 || path.rfind("/f10/sz/", 0) == 0) {
    std::string code = path.substr(8, 6);
    if (code.size() == 6) return F10Page(code, path[6] == 'h' ? "1" : "2");
  }
  // /f9/stock/<code>/stockmain.htm, /f9/fund/<code>/fundmain.htm
  if (path.rfind("/f9/stock/", 0) == 0 || path.rfind("/f9/fund/", 0) == 0) {
    bool fund = path.rfind("/f9/fund/", 0) == 0;
    std::string code = path.substr(fund ? 9 : 10, 6);
    uint32_t seed = Seed(code);
    return SimHtmlPage(StockLabel(code) + " 深度F9",
                "<h1>" + StockLabel(code) + (fund ? " 基金深度资料" : " 深度分析") + "</h1>"
                "<table><tr><th>指标</th><th>数值</th></tr><tr><td>" + (fund ? "单位净值" : "市盈率") +
                    "</td><td>" + Fixed(fund ? 1.0 + seed % 300 / 100.0 : 8.0 + seed % 400 / 10.0, 2) +
                    "</td></tr><tr><td>" + (fund ? "规模（亿元）" : "市净率") + "</td><td>" +
                    Fixed(fund ? 20.0 + seed % 500 : 0.6 + seed % 80 / 10.0, 2) + "</td></tr></table>");
  }
  // /news/<code>-<n>.html, /report/<code>-<n>.html
  if (path.rfind("/news/", 0) == 0 || path.rfind("/report/", 0) == 0) {
    bool report = path.rfind("/report/", 0) == 0;
    std::string code = path.substr(report ? 8 : 6, 6);
    return SimHtmlPage(StockLabel(code),
                "<h1>" + StockLabel(code) + (report ? " 研究报告" : " 公司公告") + "</h1>"
                "<p>本文为模拟经纪商提供的示例内容，不构成投资建议。</p><p><a href=\"goto::quote::min," +
                    code + "," + std::to_string(FindSimStock(code) ? FindSimStock(code)->market : 1) +
                    "\">查看行情</a></p>");
  }
  *found = 0;
  return SimHtmlPage("页面不存在", "<h1>404</h1><p>页面不存在。</p>");
}

}  // namespace simhttp

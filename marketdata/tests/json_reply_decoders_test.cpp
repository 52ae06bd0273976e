// News marks (kind 0x33) and the stock-pool table (type 69).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "marketdata/json_reply_decoders.h"
#include "marketdata/tests/quote_test_support.h"

namespace {

using quote_test::Wire;

Wire NewsBody(const std::string& json, const std::string& code = "600000", int market = 1) {
  Wire w;
  w.Text(code, 6).U8(market).U32(json.size()).Raw(json);
  return w;
}

std::string NewsJson(int total, int elements, int firstIndex = 1) {
  std::string json = "{\"total\":" + std::to_string(total) + ",\"data\":[";
  for (int i = 0; i < elements; ++i) {
    if (i) json += ",";
    json += "{\"pubTime\":\"2024-03-15 09:3" + std::to_string(i) + ":00\",\"title\":\"t" +
            std::to_string(firstIndex + i) + "\",\"url\":\"http://n/" + std::to_string(i) +
            "\",\"index\":" + std::to_string(firstIndex + i) + ",\"longTime\":\"20240315093" +
            std::to_string(i) + "\"}";
  }
  return json + "]}";
}

struct NewsArea {
  NewsArea() { std::memset(&area, 0, sizeof area); }
  ~NewsArea() { ReleaseNewsListArea(&area); }
  void Decode(const Wire& w, int mode) {
    ReplyReader r = w.Reader();
    DecodeNewsList(&area, &r, mode);
  }
  NewsListArea area;
};

TEST(NewsListDecoder, TotalSizesTheListAndMissingElementsStayZero) {
  NewsArea a;
  a.Decode(NewsBody(NewsJson(3, 2)), 1);
  EXPECT_STREQ(a.area.code, "600000");
  EXPECT_EQ(a.area.market, 1);
  ASSERT_EQ(a.area.recordCount, 3);
  EXPECT_STREQ(a.area.records[0].pubTime, "2024-03-15 09:30:00");
  EXPECT_STREQ(a.area.records[1].title, "t2");
  EXPECT_STREQ(a.area.records[1].url, "http://n/1");
  EXPECT_EQ(a.area.records[1].index, 2);
  EXPECT_STREQ(a.area.records[1].longTime, "202403150931");
  NewsRecord zero{};
  EXPECT_EQ(std::memcmp(&a.area.records[2], &zero, sizeof zero), 0);
}

TEST(NewsListDecoder, TotalZeroStoresNothingAndUpdatesAppendInOrder) {
  NewsArea a;
  a.Decode(NewsBody(NewsJson(4, 4, 1)), 1);
  a.Decode(NewsBody(NewsJson(2, 2, 5)), 2);
  a.Decode(NewsBody(NewsJson(0, 1, 50)), 2);
  a.Decode(NewsBody(NewsJson(3, 3, 7)), 2);
  ASSERT_EQ(a.area.recordCount, 9);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(a.area.records[i].index, i + 1) << i;

  a.Decode(NewsBody(NewsJson(0, 0)), 1);
  EXPECT_EQ(a.area.recordCount, 0);
  EXPECT_EQ(a.area.records, nullptr);
}

TEST(NewsListDecoder, TitleEscapesAreDecodedButUrlEscapesKept) {
  NewsArea a;
  const std::string json =
      "{\"total\":1,\"data\":[{\"title\":\"\\u4e2d\\u6587 A\\\"B\",\"url\":\"http://x/\\u4e2d\",\"index\":\"7x\"}]}";
  a.Decode(NewsBody(json), 1);
  ASSERT_EQ(a.area.recordCount, 1);
  EXPECT_STREQ(a.area.records[0].title, "\xe4\xb8\xad\xe6\x96\x87 A\"B");
  EXPECT_STREQ(a.area.records[0].url, "http://x/\\u4e2d");
  EXPECT_EQ(a.area.records[0].index, 7);
}

TEST(NewsListDecoder, BadLengthsAndDocumentsLeaveTheAreaConsistent) {
  struct Case {
    const char* name;
    Wire body;
  } cases[] = {
      {"length past body", [] { Wire w; w.Text("600000", 6).U8(1).U32(0xFFFFFFFE).Raw("{}"); return w; }()},
      {"length one too long", [] { Wire w; w.Text("600000", 6).U8(1).U32(3).Raw("{}"); return w; }()},
      {"not JSON", NewsBody("{\"total\":2,\"data\":[")},
      {"data not there", NewsBody("{\"total\":2}")},
      {"cut head", [] { Wire w; w.Text("600", 3); return w; }()},
  };
  for (Case& c : cases) {
    NewsArea a;
    a.Decode(NewsBody(NewsJson(2, 2)), 1);
    a.Decode(c.body, 2);  // an update that fails keeps what was held
    EXPECT_EQ(a.area.recordCount, 2) << c.name;
    a.Decode(c.body, 1);  // a complete one leaves the area empty
    EXPECT_EQ(a.area.recordCount, 0) << c.name;
    EXPECT_EQ(a.area.records, nullptr) << c.name;
  }
}

TEST(NewsListDecoder, LongTextsAreCutInsideTheirFieldsAndHugeTotalsCapped) {
  NewsArea a;
  std::string title;
  for (int i = 0; i < 200; ++i) title += "\xe4\xb8\xad";  // 600 bytes of 3-byte characters
  const std::string json = "{\"total\":99999999,\"data\":[{\"title\":\"" + title + "\",\"url\":\"" +
                           std::string(2000, 'u') + "\"}]}";
  a.Decode(NewsBody(json), 1);
  ASSERT_EQ(a.area.recordCount, kNewsMaxPerReply);
  EXPECT_EQ(std::strlen(a.area.records[0].title), 255u);  // 85 whole characters
  EXPECT_EQ(std::strlen(a.area.records[0].url), 511u);
}

struct PoolArea {
  PoolArea() { std::memset(&area, 0, sizeof area); }
  ~PoolArea() { ReleaseStockPoolTableArea(&area); }
  void Decode(const std::string& json) {
    Wire w;
    w.U32(json.size()).Raw(json);
    ReplyReader r = w.Reader();
    DecodeStockPoolTable(&area, &r);
  }
  StockPoolTableArea area;
};

TEST(StockPoolDecoder, ResultCodeOneFillsTitleColumnsAndCells) {
  PoolArea a;
  a.Decode(
      "{\"result\":{\"code\":1,\"msg\":\"\"},\"title\":\"强势股\",\"totalrow\":2,"
      "\"head\":[{\"id\":-5,\"sort\":1,\"tag\":\"code\",\"display\":1,\"label\":\"代码\",\"type\":\"string\"},"
      "{\"id\":\"8\",\"sort\":0,\"tag\":\"price\",\"display\":1,\"label\":\"现价\",\"type\":\"float\"},"
      "{\"id\":34,\"tag\":\"chg\"}],"
      "\"body\":[[\"600000\",\"10.50\",\"1.2\"],[\"000001\",12.25,[1],\"x\"]]}");
  EXPECT_EQ(a.area.resultCode, 1);
  EXPECT_STREQ(a.area.title, "强势股");
  ASSERT_EQ(a.area.rowCount, 2);
  ASSERT_EQ(a.area.columnCount, 3);
  EXPECT_EQ(a.area.columns[0].id, -5);
  EXPECT_EQ(a.area.columns[0].sort, 1);
  EXPECT_STREQ(a.area.columns[0].label, "代码");
  EXPECT_STREQ(a.area.columns[0].type, "string");
  EXPECT_EQ(a.area.columns[1].id, 8);
  EXPECT_EQ(a.area.columns[2].display, 0);
  EXPECT_STREQ(a.area.rows[0].cells[0], "600000");
  EXPECT_STREQ(a.area.rows[0].cells[2], "1.2");
  EXPECT_STREQ(a.area.rows[1].cells[1], "12.25");
  EXPECT_STREQ(a.area.rows[1].cells[2], "");   // an array has no text: empty cell
  EXPECT_STREQ(a.area.rows[1].cells[3], "x");  // and the next value keeps its column
}

TEST(StockPoolDecoder, FailuresKeepTheMessageAndNoRows) {
  struct Case {
    const char* name;
    const char* json;
    int code;
    const char* message;
  } cases[] = {
      {"code 0 with message", "{\"result\":{\"code\":0,\"msg\":\"无数据\"},\"totalrow\":5,\"body\":[[\"a\"]]}", 0, "无数据"},
      {"no result", "{\"title\":\"t\",\"totalrow\":3,\"body\":[[\"a\"]]}", 0, ""},
      {"result not an object", "{\"result\":7,\"totalrow\":3}", 0, ""},
      {"code 2 no message", "{\"result\":{\"code\":\"2\"},\"totalrow\":3}", 2, ""},
      {"not JSON", "[1,2]", 0, ""},
  };
  for (const Case& c : cases) {
    PoolArea a;
    a.Decode("{\"result\":{\"code\":1},\"totalrow\":1,\"body\":[[\"keep?\"]]}");
    ASSERT_EQ(a.area.rowCount, 1) << c.name;
    a.Decode(c.json);
    EXPECT_EQ(a.area.resultCode, c.code) << c.name;
    EXPECT_STREQ(a.area.message, c.message) << c.name;
    EXPECT_EQ(a.area.rowCount, 0) << c.name;
    EXPECT_EQ(a.area.columnCount, 0) << c.name;
    EXPECT_EQ(a.area.rows, nullptr) << c.name;
  }
}

TEST(StockPoolDecoder, OversizedTextsRowsAndValuesAreTruncated) {
  PoolArea a;
  std::string row = "[";
  for (int i = 0; i < 130; ++i) row += (i ? ",\"" : "\"") + std::to_string(i) + "\"";
  row += "]";
  const std::string json = "{\"result\":{\"code\":1},\"title\":\"" + std::string(300, 'T') +
                           "\",\"totalrow\":2,\"body\":[[\"" + std::string(400, 'c') + "\"]," + row +
                           ",[\"dropped\"]]}";
  a.Decode(json);
  ASSERT_EQ(a.area.rowCount, 2);
  EXPECT_EQ(std::strlen(a.area.title), 127u);
  EXPECT_EQ(std::strlen(a.area.rows[0].cells[0]), 127u);
  EXPECT_STREQ(a.area.rows[1].cells[127], "127");

  PoolArea huge;
  huge.Decode("{\"result\":{\"code\":1},\"totalrow\":2000000000}");
  EXPECT_EQ(huge.area.rowCount, kStockPoolMaxRows);

  PoolArea lying;
  Wire w;
  w.U32(0xFFFFFFFE).Raw("{}");
  ReplyReader r = w.Reader();
  DecodeStockPoolTable(&lying.area, &r);
  EXPECT_EQ(lying.area.jsonLength, 0);
  EXPECT_EQ(lying.area.rows, nullptr);
}

TEST(StockPoolDecoder, DecimalConversionOfTexts) {
  struct Case {
    const char* text;
    int64_t value;
  } cases[] = {{"42", 42}, {"  -5", -5}, {"+7abc", 7}, {"x1", 0}, {"", 0}, {"-", 0},
               {"99999999999999999999", INT64_MAX}, {"-9223372036854775808", INT64_MIN}};
  for (const Case& c : cases) EXPECT_EQ(ParseLeadingDecimal(c.text), c.value) << c.text;
  EXPECT_EQ(ParseLeadingDecimal(nullptr), 0);
}

}  // namespace

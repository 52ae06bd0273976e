#include "foundation/board_config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "foundation/tests/readers_test_support.h"

namespace {

using readers_test::WriteText;

// The 7-byte records of ListBoardMembers as "code/market" texts.
std::string Members(const char* code) {
  int length = -1;
  char* buffer = ListBoardMembers(code, 1, &length);
  std::string out;
  for (int i = 0; i + 7 <= length; i += 7) {
    if (!out.empty()) out += ' ';
    out += std::string(buffer + i, strnlen(buffer + i, 6)) + "/" + std::to_string(buffer[i + 6]);
  }
  free(buffer);
  return out;
}

class BoardConfigTest : public readers_test::ReaderFolders {
 protected:
  void SetUp() override {
    ReaderFolders::SetUp();
    InitAppFolders();  // seeds the fixture's boardconfig.json
    LoadBoardConfig();
  }
  void LoadText(const std::string& text) {
    WriteText(UserFile("res/boardconfig.json"), text);
    LoadBoardConfig();
  }
};

TEST_F(BoardConfigTest, ReadsTheDocument) {
  EXPECT_EQ(GetBoardConfigTimestamp(), 1700000000);
  const BoardRecord* board = FindBoard(100);
  ASSERT_NE(board, nullptr);
  EXPECT_STREQ(board->desc, "12");  // a number is taken as its text
  EXPECT_STREQ(board->name, "");    // true leaves the field empty
  ASSERT_EQ(board->ruleCount, 1);
  EXPECT_EQ(board->rules[0].market, 1);
  EXPECT_STREQ(board->rules[0].type, "list");
  EXPECT_STREQ(board->rules[0].value, "600000,600034");
  const BoardRecord* range = FindBoard(200);
  ASSERT_NE(range, nullptr);
  EXPECT_STREQ(range->name, "\\u6caa");  // escapes stay as written
  EXPECT_STREQ(range->rules[0].start, "000001");
  EXPECT_STREQ(range->rules[0].end, "000999");
  EXPECT_EQ(range->rules[0].value, nullptr);
  EXPECT_STREQ(FindBoard(300)->name, "");  // null leaves the field empty
  EXPECT_EQ(FindBoard(999), nullptr);
}

TEST_F(BoardConfigTest, RuleMatching) {
  struct Case {
    const char* name;
    int64_t board;
    const char* code;
    int expected;
  } const cases[] = {
      {"list value holds the code", 100, "600034", 1},
      {"list match is a substring search", 100, "6000", 1},
      {"list without the code", 100, "601000", 0},
      {"only the first board of an id is checked", 100, "000500", 0},
      {"range inside", 200, "000500", 1},
      {"range start", 200, "000001", 1},
      {"range end", 200, "000999", 1},
      {"range above", 200, "001000", 0},
      {"range ignores the rule's market", 200, "000002", 1},
      {"type containing list", 300, "600034", 1},
      {"unknown board", 999, "600034", 0},
      {"null code", 100, nullptr, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsCodeInBoard(c.board, c.code), c.expected);
  }
}

TEST_F(BoardConfigTest, BoardIdByCode) {
  struct Case {
    const char* name;
    const char* code;
    uint8_t market;
    int64_t expected;
  } const cases[] = {
      {"a later group of the market replaces the id", "000001", 1, 300},
      {"substring of an entry's code", "0000", 1, 300},
      {"only the first group matches", "000002", 1, 200},
      {"other market", "399001", 2, 100},
      {"market without groups", "000001", 3, 0},
      {"no entry", "123456", 1, 0},
      {"market 0", "000001", 0, 0},
      {"empty code", "", 1, 0},
      {"null code", nullptr, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FindBoardIdByCode(c.code, c.market), c.expected);
  }
}

TEST_F(BoardConfigTest, MembersOfEveryMatchingBoard) {
  // Boards 100 (list), the second 100 (range over everything) and 300 match.
  EXPECT_EQ(Members("600034"), "000001/1 399001/2 000001/1 399001/2 000001/1");
  // Boards 200 and the second 100 match.
  EXPECT_EQ(Members("000500"), "000002/1 000001/1 399001/2");
  EXPECT_EQ(Members(nullptr), "");
  int length = -1;
  free(ListBoardMembers("600034", 1, &length));
  EXPECT_EQ(length, 35);
}

TEST_F(BoardConfigTest, MissingOrMalformedFilesGiveEmptyTables) {
  for (const char* text : {"", "{\"boardset\":", "[1,2]", "{\"boardIndex\":5,\"boardset\":[]}"}) {
    SCOPED_TRACE(text);
    LoadText(text);
    EXPECT_EQ(GetBoardConfigTimestamp(), 0);
    EXPECT_EQ(FindBoard(100), nullptr);
    EXPECT_EQ(FindBoardIdByCode("000001", 1), 0);
    EXPECT_EQ(Members("600034"), "");
  }
  DeleteFileAt(UserFile("res/boardconfig.json"));
  LoadBoardConfig();
  EXPECT_EQ(GetBoardConfigTimestamp(), 0);
  EXPECT_EQ(IsCodeInBoard(100, "600034"), 0);
}

TEST_F(BoardConfigTest, LongTextsAreCutAndMembersBounded) {
  std::string index;
  for (int i = 0; i < 400; ++i) {
    if (i > 0) index += ",";
    index += "{\"name\":\"" + std::string(300, 'n') + "\",\"boardid\":7,\"code\":\"1234567890\"}";
  }
  LoadText("{\"boardIndex\":[{\"id\":1,\"marketid\":1,\"index\":[" + index +
           "]}],\"boardset\":{\"timestamp\":99999999999,\"board\":[{\"id\":7,\"desc\":\"" +
           std::string(500, 'd') + "\",\"name\":\"" + std::string(100, 'm') +
           "\",\"codeRules\":[{\"market\":257,\"type\":\"" + std::string(40, 't') +
           "\",\"start\":\"0000000000\",\"end\":\"9999999999\"}]}]}}");
  const BoardRecord* board = FindBoard(7);
  ASSERT_NE(board, nullptr);
  EXPECT_EQ(strlen(board->desc), 127u);
  EXPECT_EQ(strlen(board->name), 63u);
  EXPECT_EQ(strlen(board->rules[0].type), 31u);
  EXPECT_STREQ(board->rules[0].start, "0000000");
  EXPECT_EQ(board->rules[0].market, 1);  // low 8 bits of 257
  EXPECT_EQ(GetBoardConfigTimestamp(), 2147483647);
  int length = 0;
  char* members = ListBoardMembers("5", 1, &length);
  EXPECT_EQ(length, kMaxBoardMembers * 7);
  EXPECT_EQ(std::string(members, 7), std::string("123456\x01", 7));
  free(members);
}

// The login chain reloads the tables on its worker while window code looks
// things up; run under the thread sanitizer as well.
TEST_F(BoardConfigTest, LookupsWhileAnotherThreadReloads) {
  std::thread loader([] {
    for (int i = 0; i < 30; ++i) LoadBoardConfig();
  });
  for (int i = 0; i < 300; ++i) {
    const BoardRecord* board = FindBoard(200);
    ASSERT_NE(board, nullptr);
    EXPECT_STREQ(board->desc, "range");
    EXPECT_EQ(FindBoardIdByCode("000001", 1), 300);
    EXPECT_EQ(Members("000500"), "000002/1 000001/1 399001/2");
  }
  loader.join();
}

TEST_F(BoardConfigTest, BoardPointersSurviveAReload) {
  const BoardRecord* board = FindBoard(200);
  ASSERT_NE(board, nullptr);
  LoadText("{}");
  EXPECT_EQ(FindBoard(200), nullptr);
  EXPECT_STREQ(board->desc, "range");  // the replaced tables are kept until freed
  FreeBoardConfig();
  EXPECT_EQ(GetBoardConfigTimestamp(), 0);
  FreeBoardConfig();  // nothing to free
}

}  // namespace

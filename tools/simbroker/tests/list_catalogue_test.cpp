// The list catalogue of type 40: which stocks each known list id holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/simbroker/quote_list_replies.h"

namespace simbroker {
namespace {

SimStock Stock(const char* code, int market, int kind) {
  SimStock s{};
  s.code = code;
  s.market = market;
  s.kind = kind;
  return s;
}

std::string Codes(const std::vector<SimStock>& stocks) {
  std::string out;
  for (const SimStock& s : stocks) out += (out.empty() ? "" : " ") + s.code;
  return out;
}

TEST(MarketServerListCatalogue, ListsByTheirIds) {
  const std::vector<SimStock> all = {
      Stock("1A0001", 1, 1), Stock("600000", 1, 2), Stock("601318", 1, 2), Stock("900901", 1, 2),
      Stock("000001", 2, 2), Stock("002415", 2, 2), Stock("300750", 2, 2), Stock("200002", 2, 2),
      Stock("399001", 2, 1), Stock("510050", 1, 3), Stock("159915", 2, 3), Stock("161725", 2, 3),
  };
  struct Case {
    const char* name;
    int64_t id;
    bool known;
    std::string codes;
  } const cases[] = {
      {"all A shares", 1101, true, "600000 601318 000001 002415 300750"},
      {"all A shares for the short-term board", 1110, true, "600000 601318 000001 002415 300750"},
      {"Shanghai A", 1102, true, "600000 601318"},
      {"Shenzhen A", 1103, true, "000001 002415 300750"},
      {"002 board", 1105, true, "002415"},
      {"300 board", 1106, true, "300750"},
      {"all B", 1107, true, "900901 200002"},
      {"Shanghai B", 1108, true, "900901"},
      {"Shenzhen B", 1109, true, "200002"},
      {"上证50 from the leading codes", 1112, true, "600000 601318"},
      {"ETFs", 3108, true, "510050 159915"},
      {"LOFs", 3107, true, "161725"},
      {"closed-end funds empty", 3103, true, ""},
      {"Hong Kong empty", 1813, true, ""},
      {"commodity exchange empty", 440101, true, ""},
      {"unknown id", 4242, false, "untouched"},
  };
  for (const Case& c : cases) {
    std::vector<SimStock> out = {Stock("untouched", 0, 0)};
    EXPECT_EQ(CatalogueList(all, c.id, &out), c.known) << c.name;
    EXPECT_EQ(Codes(out), c.codes) << c.name;
  }
}

}  // namespace
}  // namespace simbroker

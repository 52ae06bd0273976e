// The fund-flow or order-flow figures of one bar, as the K-line view hands
// them to the stock page's fund-flow pie.
#pragma once

#include <cstdint>

// Fund flow: supplement-A values 10..17 / 100 as the amounts and values
// 18..25 as the counts; order flow: supplement-B values 3..10 / 100 (counts
// zero). Amounts in yuan.
struct FundFlowRecord {
  char code[7];
  uint8_t market;
  int64_t amounts[8];  // inflows 小单, 中单, 大单, 特大, then the outflows in that order
  int32_t counts[8];
};

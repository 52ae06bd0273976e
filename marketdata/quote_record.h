// Stock identity and quote records.
//
// A quote-carrying reply describes a stock as a run of values laid out by a
// list of quote-field ids: no tag and no length stands in front of a value,
// so its width and form follow from the id alone. StockKey is the identity
// of a stock; QuoteRecord holds every value an id can fill. DecodeStockKey
// and DecodeQuoteField are the two operations every quote decoder calls.
//
// Wire forms (big-endian):
//   s32 4 bytes; price 4 bytes (value / 10,000, stored as float);
//   price/1000 4 bytes ((value / 10,000) * 10, thousandths, float);
//   s64 8 bytes; s16 2 bytes; u16 2 bytes (zero-extended into 32 bits);
//   byte 1; text24 24 bytes (then a zero byte in the record);
//   stock key 33 bytes (id 0); list code 7 bytes (id 1: code, market).
// An id outside the table reads nothing.
//
// Every read is bounded by the body length: a value that does not fit is not
// read (DecodeQuoteField returns kQuoteFieldShort) and the caller stops.
#pragma once

#include <cstdint>

constexpr int kStockKeyWireSize = 33;
constexpr int kListCodeWireSize = 7;

// The identity of a stock, copied whole between views.
struct StockKey {
  char code[7];        // 6 code characters and a zero byte
  char name[25];       // 24 bytes of UTF-8 and a zero byte
  uint8_t decimals;    // price decimals: 2 prints two decimals, else three
  uint8_t market;      // market id
  uint8_t kind;        // kind of security within its market
};

// True for the futures markets (ids 3, 4, 5 and 19), whose prices are
// compared with the previous settlement price instead of the previous close.
constexpr bool IsFuturesMarket(int market) {
  return market == 3 || market == 4 || market == 5 || market == 19;
}

// One stock's quote. Fields are named after their meaning, or "fieldN" after
// the id N that fills them when the server alone gives them a meaning. A
// field that no received id filled keeps what the record held before. The
// order book holds, per level, ask price, bid price, ask volume, bid volume,
// except levels 4 and 8, which hold the bid price before the ask price.
struct QuoteRecord {
  StockKey key;                  // id 0
  char listCode[7];              // id 1: code characters and a zero byte
  uint8_t listMarket;            // id 1: the market byte
  int32_t field2;                // id 2
  int32_t field3;                // id 3
  float previousClose;           // id 4
  float open;                    // id 5
  float high;                    // id 6
  float low;                     // id 7
  float lastPrice;               // id 8
  int64_t totalVolume;           // id 9
  int64_t currentVolume;         // id 10: volume of the latest trade
  int64_t amount;                // id 11: turnover in money
  float askPrice1, bidPrice1;    // ids 12, 13
  int64_t askVolume1, bidVolume1;  // ids 14, 15
  float askPrice2, bidPrice2;    // ids 16, 17
  int64_t askVolume2, bidVolume2;  // ids 18, 19
  float askPrice3, bidPrice3;    // ids 20, 21
  int64_t askVolume3, bidVolume3;  // ids 22, 23
  float bidPrice4, askPrice4;    // ids 25, 24 (bid first)
  int64_t askVolume4, bidVolume4;  // ids 26, 27
  float askPrice5, bidPrice5;    // ids 28, 29
  int64_t askVolume5, bidVolume5;  // ids 30, 31
  int64_t outerVolume;           // id 32: volume traded at the ask
  int32_t volumeRatio;           // id 33: ten-thousandths (10,000 = 1.00)
  int32_t changePercent;         // id 34: hundredths of a percent
  float change;                  // id 35: last price minus previous close
  int32_t fiveMinuteChange;      // id 36: hundredths of a percent
  int32_t turnoverRate;          // id 37: hundredths of a percent
  int32_t orderRatio;            // id 38: hundredths of a percent
  int64_t field39;               // id 39
  int32_t peRatio;               // id 40: ten-thousandths
  int32_t amplitude;             // id 41: hundredths of a percent
  float averagePrice;            // id 42
  int64_t field43;               // id 43
  float limitUp;                 // id 44
  float limitDown;               // id 45
  int32_t field350;              // id 350
  int64_t field351;              // id 351
  int64_t field306;              // id 306
  int64_t innerVolume;           // derived: total volume minus outer volume
  float askPrice6, bidPrice6;    // ids 400, 401
  int64_t askVolume6, bidVolume6;  // ids 402, 403
  float askPrice7, bidPrice7;    // ids 404, 405
  int64_t askVolume7, bidVolume7;  // ids 406, 407
  float bidPrice8, askPrice8;    // ids 409, 408 (bid first)
  int64_t askVolume8, bidVolume8;  // ids 410, 411
  float askPrice9, bidPrice9;    // ids 412, 413
  int64_t askVolume9, bidVolume9;  // ids 414, 415
  float askPrice10, bidPrice10;  // ids 416, 417
  int64_t askVolume10, bidVolume10;  // ids 418, 419
  int32_t field1000;             // id 1000
  int16_t risingCount;           // id 1001: rising stocks of an index
  int16_t field1002;             // id 1002
  int16_t fallingCount;          // id 1003: falling stocks of an index
  int16_t field1004[8];          // ids 1004-1011
  int32_t field1012;             // id 1012
  int16_t field1013;             // id 1013
  int32_t field1014;             // id 1014
  int64_t field1015;             // id 1015: a block's member-list id
  int32_t field1016;             // id 1016 (u16 on the wire)
  int32_t field2000[3];          // ids 2000-2002
  int32_t field2003;             // id 2003 (s32); also 2010 and 2011 (u16)
  int64_t field2020;             // id 2020
  int32_t field2021;             // id 2021
  int32_t field2031;             // id 2031
  int32_t field2041[3];          // ids 2041-2043
  int64_t field356;              // id 356
  char field357[25];             // id 357: 24 bytes of text and a zero byte
  int64_t field700;              // id 700
  int64_t openInterest;          // id 701
  float settlementPrice;         // id 702
  float previousSettlement;      // id 703
  float basis;                   // id 704: futures price minus spot
  float field705;                // id 705
  int32_t openInterestChange;    // id 706
  int64_t dailyOpenInterestChange;  // id 707
  float threeDayDdx;             // id 800 (thousandths)
  float field801[2];             // ids 801, 802
  uint8_t field807;              // id 807
  uint8_t field808;              // id 808
  int64_t field850[2];           // ids 850, 851
  int64_t superLargeNetInflow;   // id 852
  int64_t field853[2];           // ids 853, 854
  int64_t superLargeNetAmount;   // id 855
  int64_t field856[2];           // ids 856, 857
  int64_t largeNetInflow;        // id 858
  int64_t field859[2];           // ids 859, 860
  int64_t largeNetAmount;        // id 861
  int64_t field862[2];           // ids 862, 863
  int64_t mediumNetInflow;       // id 864
  int64_t field865[2];           // ids 865, 866
  int64_t mediumNetAmount;       // id 867
  int64_t field868[2];           // ids 868, 869
  int64_t smallNetInflow;        // id 870
  int64_t field871[2];           // ids 871, 872
  int64_t smallNetAmount;        // id 873
  int64_t field874[5];           // ids 874-878
  int64_t mainNetInflow;         // id 879
  int64_t field880[6];           // ids 880-885
  int32_t field5000[3];          // ids 5000-5002
  int64_t field5003[2];          // ids 5003, 5004
  int32_t fiveDayChange;         // id 5005: hundredths of a percent
  int32_t fiveDayTurnover;       // id 5006: hundredths of a percent
  int32_t field5007;             // id 5007
  int64_t field5008;             // id 5008
  int64_t fiveDayVolume;         // id 5009
  int32_t tenDayChange;          // id 5010
  int32_t tenDayTurnover;        // id 5011
  int32_t field5012;             // id 5012
  int64_t field5013;             // id 5013
  int64_t tenDayVolume;          // id 5014
  int32_t field5015[3];          // ids 5015-5017
  int64_t field5018[2];          // ids 5018, 5019
  int32_t field5020[3];          // ids 5020-5022
  int64_t field5023[2];          // ids 5023, 5024
  int32_t sixtyDayChange;        // id 5025
  int32_t sixtyDayTurnover;      // id 5026
  int32_t field5027;             // id 5027
  int64_t field5028;             // id 5028
  int64_t sixtyDayVolume;        // id 5029
  int32_t field5030[3];          // ids 5030-5032
  int64_t field5033[2];          // ids 5033, 5034
  int32_t field5035[3];          // ids 5035-5037
  int64_t field5038[2];          // ids 5038, 5039
  int64_t field5040[2];          // ids 5040, 5041
  float field5042;               // id 5042 (thousandths, as ids 5043-5053)
  float fiveDayDdx;              // id 5043
  float field5044[3];            // ids 5044-5046
  float sixtyDayDdx;             // id 5047
  float field5048[6];            // ids 5048-5053
  int64_t field5054[19];         // ids 5054-5072
  int64_t fiveDayMainNetInflow;  // id 5073
  int64_t tenDayMainNetInflow;   // id 5074
  int64_t field5075[3];          // ids 5075-5077
  int64_t field5500;             // id 5500
  int32_t positionShare1Day;     // id 809: thousandths
  int32_t field5078;             // id 5078
  int32_t positionShare5Day;     // id 5079: ten-thousandths
  int32_t positionShare10Day;    // id 5080: ten-thousandths
  int32_t positionPlace1Day;     // id 810
  int32_t field5081;             // id 5081
  int32_t positionPlace5Day;     // id 5082
  int32_t positionPlace10Day;    // id 5083
  int32_t placeChange1Day;       // id 811
  int32_t field5084;             // id 5084
  int32_t placeChange5Day;       // id 5085
  int32_t placeChange10Day;      // id 5086
};

// Results of DecodeQuoteField.
enum QuoteFieldResult : int {
  kQuoteFieldShort = -1,    // the value runs past the body: nothing read
  kQuoteFieldUnknown = 0,   // id outside the table: nothing read
  kQuoteFieldDecoded = 1,   // value stored, position advanced
};

// Fills key from the 33 wire bytes at source: clears it, copies the 6 code
// and 24 name bytes (both stay zero-terminated) and the decimals, market and
// kind bytes. The caller has checked that 33 bytes are there.
void DecodeStockKey(StockKey* key, const unsigned char* source);

// Reads the value of quote-field id at body[*position] into its field of
// record and advances *position by the id's wire width; then recomputes the
// inner volume as total minus outer volume, 0 when not positive (also for
// an unknown id or a short value). Returns kQuoteFieldDecoded; or
// kQuoteFieldUnknown for an id outside the table (nothing read, position
// unchanged); or kQuoteFieldShort when the value would end past length
// (nothing read or stored, position unchanged). No pointer may be null.
int DecodeQuoteField(const unsigned char* body, int length, int id, int* position,
                     QuoteRecord* record);

// The wire width of quote-field id: 33, 7, 24, 8, 4, 2 or 1; 0 for an id
// outside the table.
int QuoteFieldWireSize(int id);

// Inner volume without the floor at zero (what the stock-fields reply
// leaves after all its fields).
inline void SetUnflooredInnerVolume(QuoteRecord* record) {
  record->innerVolume = static_cast<int64_t>(static_cast<uint64_t>(record->totalVolume) -
                                             static_cast<uint64_t>(record->outerVolume));
}

// A zero-filled array of count records (null when count < 1 or out of
// memory); released with FreeQuoteRecords, which accepts null.
QuoteRecord* NewQuoteRecords(int count);
void FreeQuoteRecords(QuoteRecord* records);

// The column catalogue of the stock tables: which columns a table shows,
// with their headers, widths, DrawText formats, sortable flags, cell texts,
// colours, sort codes and local sort values, and the grid calls that lay a
// set out and write its rows.
//
// A set is data (ColumnSet); a table that needs a variant (another header
// for column 6, other formats, another sortable set, another row-number
// origin, key or flash column off, another name width) takes a set from the
// factory functions below and changes those fields, then fills with the
// shared frame (ApplyColumnSet, FillSetRow). Nothing here holds state.
//
// The 22 stock column types (StockColumnType) are indexed as the 22-column
// stock layout places them:
//   0 序号  1 blank  2 代码  3 名称  4 现价  5 涨跌  6 涨幅  7 总量  8 换手率
//   9 现量  10 昨收  11 今开  12 最高  13 最低  14 量比  15 委比  16 振幅
//   17 内盘  18 外盘  19 买一  20 卖一  21 市盈率
// The 20-column sets put 市盈率 in grid column 19, the 19-column set has no
// 市盈率. The futures sets (27 and 28 columns) have their own columns.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "marketdata/quote_record.h"
#include "platform/kernel/win_types.h"

class CGridCtrl;

// DrawText formats of the cells.
constexpr UINT kCellRight = 0x26;          // numbers and 序号
constexpr UINT kCellCentre = 0x25;         // the blank column
constexpr UINT kCellRightEllipsis = 0x8026;  // 代码 and 名称 of some sets

// Pseudo field ids of values that no single quote field holds.
constexpr int kFieldCodeText = 1;          // the code, compared byte-wise
constexpr int kFieldInnerVolume = -1;      // total volume minus outer volume
constexpr int kFieldNone = 0;

// What a cell shows.
enum class CellText : uint8_t {
  RowNumber,   // "%d" of the row number
  None,        // no text (the blank column)
  Market,      // 所属市场: 上证, 深证, 香港, 期货 by the market byte, else empty
  Code,        // " " + the code
  Name,        // the name
  Price,       // "-" for 0.0, two or three decimals by the decimals byte
  Percent,     // hundredths as "%.2f%%"
  Ratio,       // ten-thousandths as "%.2f", "-" for 0
  Volume,      // the large-number rule, "-" for 0
};

// How a cell is coloured.
enum class CellColor : uint8_t {
  Flat,        // flat grey
  Stock,       // code yellow, or own-stock cyan for an own stock
  Reference,   // colorField against the set's reference price
  BySign,      // colorField by its sign
  AgainstOne,  // colorField (ten-thousandths) against 1.00
  Fixed,       // the column's fixed colour
};

struct ColumnDef {
  std::u16string header;   // header text (row 0)
  int width = 80;          // pixels
  UINT format = kCellRight;  // DrawText format of every cell of the column
  BYTE sortable = 0;       // the grid's sortable flag
  CellText text = CellText::None;
  int field = kFieldNone;  // the field the text shows
  CellColor color = CellColor::Flat;
  int colorField = kFieldNone;  // the field compared for Reference, BySign, AgainstOne
  COLORREF fixedColor = 0;      // for Fixed
  int sortCode = 0;        // field id a server-sorted list is asked with; 0 none
  int localField = kFieldNone;  // the value a local sort orders by; 0 none
};

// Where the row numbers of a set start.
enum class RowOrigin : uint8_t {
  FromOne,     // 1 on every page
  FromStart,   // the page's start row + 1
  FromPage,    // page × page size + 1 (own stocks)
};

struct ColumnSet {
  std::vector<ColumnDef> columns;
  int referenceField = 4;      // previous close; 703 (previous settlement) for futures
  int keyColumn = 2;           // the grid's key column; -1 none
  int flashColumn = 4;         // the column whose changes flash; -1 none
  RowOrigin rowOrigin = RowOrigin::FromOne;
  bool ownColorAlways = false; // every row's code and name in own-stock cyan
  bool wholeList = false;      // boards: every record, not one page

  // Variant helpers for the boards.
  void SetHeader(int column, const char16_t* text);
  void SetWidth(int column, int width);
  // Format of 代码 and 名称 (columns 2 and 3).
  void SetCodeNameFormat(UINT format);
  // Format of every column from 4 on.
  void SetNumberFormat(UINT format);
  // Exactly these columns sortable, the others not.
  void SetSortable(std::initializer_list<int> columns);
};

// Column type 0-21 of the catalogue (an empty column for other types).
ColumnDef StockColumnType(int type);

// The sets of the main quote table.
ColumnSet StockListSet(int nameWidth, bool marketColumn);  // 22; 所属市场 for table type 14
ColumnSet OwnStockSet();                                     // 22
ColumnSet BlockListSet();                                    // 20
ColumnSet IndexTableSet(int nameWidth);                      // 20
ColumnSet IndexCategorySet(int nameWidth);                   // 19
ColumnSet FuturesSet(bool indexFutures);                     // 28 with 期现差, else 27

// The value of a quote field (or pseudo field) of record as a double; 0 for
// ids no column reads.
double QuoteFieldValue(const QuoteRecord& record, int field);

// The sort field id of a grid column of the set; 0 none or out of range.
int ColumnSortCode(const ColumnSet& set, int column);
// The local sort value of a grid column (kFieldCodeText and columns without
// a value give 0).
double ColumnLocalValue(const ColumnSet& set, const QuoteRecord& record, int column);

// One cell's text (into out, zero-ended, at most outSize - 1 units) and
// colour. number is the row number, own whether the stock is an own stock.
void FormatSetCell(const ColumnSet& set, int column, const QuoteRecord& record, int number, bool own,
                   char16_t* out, int outSize, COLORREF* color);

// Lays the set out: SetColumnCount, one header per column (width, sortable
// flag, white header text), key column and flash column. The caller has set
// the row count.
void ApplyColumnSet(CGridCtrl* grid, const ColumnSet& set);
// Writes grid data row dataRow (0 = first data row) from record.
void FillSetRow(CGridCtrl* grid, const ColumnSet& set, int dataRow, const QuoteRecord& record, int number,
                bool own);

#include "quotes/column_sets.h"

#include <algorithm>
#include <cstring>

#include "controls/grid_ctrl.h"
#include "foundation/text_codec.h"
#include "quotes/quote_formats.h"

namespace {

ColumnDef Column(const char16_t* header, int width, CellText text, int field, CellColor color, int colorField,
                 int sortCode, int localField, COLORREF fixed = 0) {
  ColumnDef c;
  c.header = header;
  c.width = width;
  c.text = text;
  c.field = field;
  c.color = color;
  c.colorField = colorField;
  c.sortCode = sortCode;
  c.localField = localField;
  c.fixedColor = fixed;
  return c;
}

// The catalogue, by column type.
ColumnDef CatalogueColumn(int type) {
  switch (type) {
    case 0: return Column(u"序号", 40, CellText::RowNumber, kFieldNone, CellColor::Flat, 0, 0, kFieldNone);
    case 1: {
      ColumnDef c = Column(u"", 20, CellText::None, kFieldNone, CellColor::Flat, 0, 0, kFieldNone);
      c.format = kCellCentre;
      return c;
    }
    case 2: return Column(u"代码", 80, CellText::Code, kFieldNone, CellColor::Stock, 0, 1, kFieldCodeText);
    case 3: return Column(u"名称", 90, CellText::Name, kFieldNone, CellColor::Stock, 0, 0, kFieldNone);
    case 4: return Column(u"现价", 70, CellText::Price, 8, CellColor::Reference, 8, 8, 8);
    case 5: return Column(u"涨跌", 80, CellText::Price, 35, CellColor::Reference, 8, 35, 35);
    case 6: return Column(u"涨幅", 80, CellText::Percent, 34, CellColor::Reference, 8, 34, 34);
    case 7: return Column(u"总量", 80, CellText::Volume, 9, CellColor::Fixed, 0, 9, 9, kQuoteCode);
    case 8: return Column(u"换手率", 80, CellText::Percent, 37, CellColor::Fixed, 0, 37, 37, kQuoteVolume);
    case 9: return Column(u"现量", 80, CellText::Volume, 10, CellColor::Fixed, 0, 10, 10, kQuoteVolume);
    case 10: return Column(u"昨收", 80, CellText::Price, 4, CellColor::Reference, 4, 4, 4);
    case 11: return Column(u"今开", 80, CellText::Price, 5, CellColor::Reference, 5, 5, 5);
    case 12: return Column(u"最高", 80, CellText::Price, 6, CellColor::Reference, 6, 6, 6);
    case 13: return Column(u"最低", 80, CellText::Price, 7, CellColor::Reference, 7, 7, 7);
    case 14: return Column(u"量比", 70, CellText::Ratio, 33, CellColor::AgainstOne, 33, 33, 33);
    case 15: return Column(u"委比", 70, CellText::Percent, 38, CellColor::BySign, 38, 38, 38);
    case 16: return Column(u"振幅", 70, CellText::Percent, 41, CellColor::Fixed, 0, 41, 41, kQuoteVolume);
    case 17:
      return Column(u"内盘", 80, CellText::Volume, kFieldInnerVolume, CellColor::Fixed, 0, 0, kFieldInnerVolume,
                    kQuoteFall);
    case 18: return Column(u"外盘", 80, CellText::Volume, 32, CellColor::Fixed, 0, 0, 32, kQuoteRise);
    case 19: return Column(u"买一", 70, CellText::Price, 13, CellColor::Reference, 13, 0, 13);
    case 20: return Column(u"卖一", 70, CellText::Price, 12, CellColor::Reference, 12, 0, 12);
    case 21: return Column(u"市盈率", 70, CellText::Ratio, 40, CellColor::Fixed, 0, 40, 40, kQuoteVolume);
    default: return ColumnDef{};
  }
}

ColumnSet SetOfTypes(std::initializer_list<int> types) {
  ColumnSet set;
  for (int t : types) set.columns.push_back(CatalogueColumn(t));
  return set;
}

std::initializer_list<int> kTypes22 = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21};
std::initializer_list<int> kTypes20 = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 21};
std::initializer_list<int> kTypes19 = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};

// No column keeps a sort code (tables whose columns are not re-requested).
void ClearSortCodes(ColumnSet* set) {
  for (auto& c : set->columns) c.sortCode = 0;
}

int64_t IntegerField(const QuoteRecord& r, int field) {
  switch (field) {
    case 9: return r.totalVolume;
    case 10: return r.currentVolume;
    case 11: return r.amount;
    case 14: return r.askVolume1;
    case 15: return r.bidVolume1;
    case 32: return r.outerVolume;
    case 33: return r.volumeRatio;
    case 34: return r.changePercent;
    case 37: return r.turnoverRate;
    case 38: return r.orderRatio;
    case 40: return r.peRatio;
    case 41: return r.amplitude;
    case 701: return r.openInterest;
    case 706: return r.openInterestChange;
    case 707: return r.dailyOpenInterestChange;
    case kFieldInnerVolume: return r.innerVolume;
    default: return 0;
  }
}

bool IsPriceField(int field) {
  switch (field) {
    case 4: case 5: case 6: case 7: case 8: case 12: case 13: case 35: case 702: case 703: case 704: return true;
    default: return false;
  }
}

double PriceField(const QuoteRecord& r, int field) {
  switch (field) {
    case 4: return r.previousClose;
    case 5: return r.open;
    case 6: return r.high;
    case 7: return r.low;
    case 8: return r.lastPrice;
    case 12: return r.askPrice1;
    case 13: return r.bidPrice1;
    case 35: return r.change;
    case 702: return r.settlementPrice;
    case 703: return r.previousSettlement;
    case 704: return r.basis;
    default: return 0.0;
  }
}

int CopyText(const char16_t* text, char16_t* out, int outSize) {
  int n = 0;
  while (text[n] && n < outSize - 1) {
    out[n] = text[n];
    ++n;
  }
  out[n] = 0;
  return n;
}

const char16_t* MarketText(int market) {
  switch (market) {
    case 1: return u"上证";
    case 2: return u"深证";
    case 3: return u"香港";
    case 4: return u"期货";
    default: return u"";
  }
}

// Decodes a zero-ended UTF-8 field of at most size bytes after prefix into
// the cleared buffer (the conversion writes whole units, no terminator).
void DecodeText(const char* prefix, const char* text, int size, char16_t* out, int outSize) {
  std::fill(out, out + outSize, u'\0');
  int n = 0;
  if (prefix) n = CopyText(u" ", out, outSize);
  const int bytes = static_cast<int>(strnlen(text, static_cast<size_t>(size)));
  const int room = outSize - 1 - n;
  if (room > 0) Utf8ToUtf16(text, bytes, reinterpret_cast<WCHAR*>(out + n), room * 2);
}

}  // namespace

void ColumnSet::SetHeader(int column, const char16_t* text) {
  if (column >= 0 && column < static_cast<int>(columns.size())) columns[column].header = text ? text : u"";
}

void ColumnSet::SetWidth(int column, int width) {
  if (column >= 0 && column < static_cast<int>(columns.size())) columns[column].width = width;
}

void ColumnSet::SetCodeNameFormat(UINT format) {
  for (int c = 2; c <= 3 && c < static_cast<int>(columns.size()); ++c) columns[c].format = format;
}

void ColumnSet::SetNumberFormat(UINT format) {
  for (size_t c = 4; c < columns.size(); ++c) columns[c].format = format;
}

void ColumnSet::SetSortable(std::initializer_list<int> sortable) {
  for (auto& c : columns) c.sortable = 0;
  for (int c : sortable)
    if (c >= 0 && c < static_cast<int>(columns.size())) columns[c].sortable = 1;
}

ColumnDef StockColumnType(int type) { return CatalogueColumn(type); }

ColumnSet StockListSet(int nameWidth, bool marketColumn) {
  ColumnSet set = SetOfTypes(kTypes22);
  set.SetWidth(3, nameWidth);
  set.SetSortable({2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 21});
  set.rowOrigin = RowOrigin::FromStart;
  if (marketColumn) {
    ColumnDef& m = set.columns[1];
    m.header = u"所属市场";
    m.width = 90;
    m.format = kCellRight;
    m.text = CellText::Market;
    m.color = CellColor::Stock;
  }
  return set;
}

ColumnSet OwnStockSet() {
  ColumnSet set = SetOfTypes(kTypes22);
  set.SetSortable({0, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21});
  set.SetCodeNameFormat(kCellRightEllipsis);
  set.rowOrigin = RowOrigin::FromPage;
  set.ownColorAlways = true;
  ClearSortCodes(&set);
  return set;
}

ColumnSet BlockListSet() {
  ColumnSet set = SetOfTypes(kTypes20);
  set.SetSortable({2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 19});
  set.SetCodeNameFormat(kCellRightEllipsis);
  return set;
}

ColumnSet IndexTableSet(int nameWidth) {
  ColumnSet set = SetOfTypes(kTypes20);
  set.SetWidth(3, nameWidth);
  set.SetWidth(4, 80);
  set.SetSortable({});
  ClearSortCodes(&set);
  return set;
}

ColumnSet IndexCategorySet(int nameWidth) {
  ColumnSet set = SetOfTypes(kTypes19);
  set.SetWidth(3, nameWidth);
  set.SetWidth(4, 80);
  set.SetSortable({});
  ClearSortCodes(&set);
  return set;
}

ColumnSet FuturesSet(bool indexFutures) {
  ColumnSet set;
  set.referenceField = 703;
  set.rowOrigin = indexFutures ? RowOrigin::FromOne : RowOrigin::FromStart;
  auto add = [&](ColumnDef c) { set.columns.push_back(std::move(c)); };
  add(CatalogueColumn(0));
  add(CatalogueColumn(1));
  add(CatalogueColumn(2));
  add(CatalogueColumn(3));
  add(Column(u"现价", 80, CellText::Price, 8, CellColor::Reference, 8, 0, 8));
  add(Column(u"涨幅", 80, CellText::Percent, 34, CellColor::Reference, 8, 0, 34));
  add(Column(u"涨跌", 80, CellText::Price, 35, CellColor::Reference, 8, 0, 35));
  if (indexFutures) add(Column(u"期现差", 80, CellText::Price, 704, CellColor::BySign, 704, 0, 704));
  add(Column(u"叫买", 80, CellText::Price, 13, CellColor::Reference, 13, 0, 13));
  add(Column(u"叫卖", 80, CellText::Price, 12, CellColor::Reference, 12, 0, 12));
  add(Column(u"买量", 80, CellText::Volume, 15, CellColor::Fixed, 0, 0, 15, kQuoteCode));
  add(Column(u"卖量", 80, CellText::Volume, 14, CellColor::Fixed, 0, 0, 14, kQuoteCode));
  add(Column(u"现手", 80, CellText::Volume, 10, CellColor::Fixed, 0, 0, 10, kQuoteVolume));
  add(Column(u"总手", 80, CellText::Volume, 9, CellColor::Fixed, 0, 0, 9, kQuoteCode));
  add(Column(u"持仓量", 80, CellText::Volume, 701, CellColor::Fixed, 0, 0, 701, kQuoteCode));
  add(Column(u"增仓", 80, CellText::Volume, 706, CellColor::Fixed, 0, 0, 706, kQuoteCode));
  add(Column(u"日增仓", 80, CellText::Volume, 707, CellColor::Fixed, 0, 0, 707, kQuoteCode));
  add(Column(u"金额", 80, CellText::Volume, 11, CellColor::Fixed, 0, 0, 11, kQuoteAmount));
  add(Column(u"昨结", 80, CellText::Price, 703, CellColor::Reference, 703, 0, 703));
  add(Column(u"今结", 80, CellText::Price, 702, CellColor::Reference, 702, 0, 702));
  add(Column(u"振幅", 70, CellText::Percent, 41, CellColor::Fixed, 0, 0, 41, kQuoteVolume));
  add(Column(u"量比", 70, CellText::Ratio, 33, CellColor::AgainstOne, 33, 0, 33));
  add(Column(u"昨收", 80, CellText::Price, 4, CellColor::Reference, 4, 0, 4));
  add(Column(u"今开", 80, CellText::Price, 5, CellColor::Reference, 5, 0, 5));
  add(Column(u"最高", 80, CellText::Price, 6, CellColor::Reference, 6, 0, 6));
  add(Column(u"最低", 80, CellText::Price, 7, CellColor::Reference, 7, 0, 7));
  // Swapped against the stock sets: 内盘 carries field 32 in red.
  add(Column(u"内盘", 80, CellText::Volume, 32, CellColor::Fixed, 0, 0, 32, kQuoteRise));
  add(Column(u"外盘", 80, CellText::Volume, kFieldInnerVolume, CellColor::Fixed, 0, 0, kFieldInnerVolume, kQuoteFall));
  set.SetSortable({});
  return set;
}

double QuoteFieldValue(const QuoteRecord& record, int field) {
  if (IsPriceField(field)) return PriceField(record, field);
  return static_cast<double>(IntegerField(record, field));
}

int ColumnSortCode(const ColumnSet& set, int column) {
  if (column < 0 || column >= static_cast<int>(set.columns.size())) return 0;
  return set.columns[column].sortCode;
}

double ColumnLocalValue(const ColumnSet& set, const QuoteRecord& record, int column) {
  if (column < 0 || column >= static_cast<int>(set.columns.size())) return 0.0;
  const int field = set.columns[column].localField;
  if (field == kFieldNone || field == kFieldCodeText) return 0.0;
  return QuoteFieldValue(record, field);
}

void FormatSetCell(const ColumnSet& set, int column, const QuoteRecord& record, int number, bool own,
                   char16_t* out, int outSize, COLORREF* color) {
  if (!out || outSize <= 0) return;
  out[0] = 0;
  COLORREF c = kQuoteFlat;
  if (column < 0 || column >= static_cast<int>(set.columns.size())) {
    if (color) *color = c;
    return;
  }
  const ColumnDef& def = set.columns[column];
  switch (def.text) {
    case CellText::RowNumber: {
      std::string digits = std::to_string(number);
      int n = 0;
      for (char ch : digits) {
        if (n >= outSize - 1) break;
        out[n++] = static_cast<char16_t>(ch);
      }
      out[n] = 0;
      break;
    }
    case CellText::None: break;
    case CellText::Market: CopyText(MarketText(record.key.market), out, outSize); break;
    case CellText::Code: DecodeText(" ", record.key.code, sizeof record.key.code, out, outSize); break;
    case CellText::Name: DecodeText(nullptr, record.key.name, sizeof record.key.name, out, outSize); break;
    case CellText::Price: FormatPriceCell(PriceField(record, def.field), record.key.decimals, out, outSize); break;
    case CellText::Percent: FormatPercentCell(IntegerField(record, def.field), out, outSize); break;
    case CellText::Ratio: FormatRatioCell(IntegerField(record, def.field), out, outSize); break;
    case CellText::Volume: FormatVolumeCell(IntegerField(record, def.field), out, outSize); break;
  }
  switch (def.color) {
    case CellColor::Flat: c = kQuoteFlat; break;
    case CellColor::Stock: c = (own || set.ownColorAlways) ? kQuoteOwnStock : kQuoteCode; break;
    case CellColor::Reference:
      c = QuoteColorAgainst(QuoteFieldValue(record, def.colorField), QuoteFieldValue(record, set.referenceField));
      break;
    case CellColor::BySign: c = QuoteColorBySign(QuoteFieldValue(record, def.colorField)); break;
    case CellColor::AgainstOne: c = QuoteColorAgainstOne(QuoteFieldValue(record, def.colorField) / 10000.0); break;
    case CellColor::Fixed: c = def.fixedColor; break;
  }
  if (color) *color = c;
}

void ApplyColumnSet(CGridCtrl* grid, const ColumnSet& set) {
  const int count = static_cast<int>(set.columns.size());
  grid->SetColumnCount(count);
  for (int c = 0; c < count; ++c) {
    const ColumnDef& def = set.columns[c];
    grid->SetColumnWidth(c, def.width);
    grid->SetColumnSortable(c, def.sortable);
    grid->SetCell(0, c, reinterpret_cast<LPCWSTR>(def.header.c_str()), kQuoteHeader, def.format, 0);
  }
  if (set.keyColumn >= 0) grid->SetKeyColumn(set.keyColumn);
  if (set.flashColumn >= 0) grid->SetColumnFlash(set.flashColumn, 1);
}

void FillSetRow(CGridCtrl* grid, const ColumnSet& set, int dataRow, const QuoteRecord& record, int number,
                bool own) {
  char16_t text[64];
  const int count = static_cast<int>(set.columns.size());
  for (int c = 0; c < count; ++c) {
    if (set.columns[c].text == CellText::None) continue;
    COLORREF color = kQuoteFlat;
    FormatSetCell(set, c, record, number, own, text, 64, &color);
    grid->SetCell(dataRow + 1, c, reinterpret_cast<LPCWSTR>(text), color, set.columns[c].format, 0);
  }
}

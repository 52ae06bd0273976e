#include "marketdata/f10_alert_decoders.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/xml_reader.h"
#include "marketdata/quote_values.h"

namespace {

// Code (6 characters, stored zero-terminated) and market.
bool ReadCode(ReplyReader* body, char* code, uint8_t* market) {
  char raw[6];
  if (!body->ReadBytes(raw, 6) || !body->ReadU8(market)) return false;
  std::memcpy(code, raw, 6);
  code[6] = 0;
  return true;
}

// length text bytes into a new zero-filled text of length + 2 bytes. A
// length beyond the body is refused before allocating: *text becomes an
// empty text and the reader is marked short.
bool ReadOwnedText(ReplyReader* body, int64_t length, OwnedText* text) {
  const bool fits = length >= 0 && length <= body->Remaining();
  const size_t size = fits ? static_cast<size_t>(length) : 0;
  text->reset(static_cast<char*>(std::calloc(size + 2, 1)));
  if (!fits) {
    body->MarkShort("text length beyond the body");
    return false;
  }
  if (!text->get()) {
    body->MarkShort("no memory for a text");
    return false;
  }
  return body->ReadBytes(text->get(), static_cast<int>(length));
}

int16_t ShortLength(uint16_t length) { return static_cast<int16_t>(std::min<int>(length, SHRT_MAX)); }

// An i8 text length and its bytes into text (room > 127); negative is 0.
bool ReadAlertText(ReplyReader* body, int8_t* textLength, char* text, int room) {
  int8_t wire = 0;
  if (!body->ReadS8(&wire)) return false;
  const int length = std::max<int>(wire, 0);
  std::memset(text, 0, static_cast<size_t>(room));
  if (!body->ReadBytes(text, length)) return false;
  *textLength = static_cast<int8_t>(length);
  return true;
}

// Kind, time and the four values (as they stand) into record.
bool ReadAlertTail(ReplyReader* body, AlertRecord* record) {
  uint8_t kind = 0;
  int32_t time = 0;
  if (!body->ReadU8(&kind) || !body->ReadS32(&time) || !body->ReadBytes(record->values, 16)) return false;
  record->kind = kind;
  record->time = time;
  return true;
}

void ReleaseStockInfo(StockInfoArea* area) {
  for (StockInfoEntry& e : area->entries) {
    e.title.reset();
    e.url.reset();
    e.date.reset();
  }
}

}  // namespace

void DecodeF10Catalog(F10CatalogArea* area, ReplyReader* body) {
  if (!area || !body || body->Length() == 0) return;
  for (F10CatalogEntry& e : area->entries) e.title.reset();
  int8_t wire = 0;
  area->entryCount = 0;
  if (!ReadCode(body, area->code, &area->market) || !body->ReadS8(&wire)) return;
  const int count = std::max<int>(wire, 0);
  int decoded = 0;
  for (; decoded < count; ++decoded) {
    F10CatalogEntry& e = area->entries[decoded];
    int32_t first = 0, second = 0;
    uint16_t length = 0;
    if (!body->ReadS32(&first) || !body->ReadS32(&second) || !body->ReadU16(&length)) break;
    e.first = first;
    e.second = second;
    e.titleLength = ShortLength(length);
    if (!ReadOwnedText(body, length, &e.title)) {
      e.titleLength = 0;
      break;
    }
  }
  area->entryCount = static_cast<int8_t>(decoded);
}

namespace {

void DecodeF10ItemFields(F10ItemArea* area, ReplyReader* body) {
  uint16_t titleLength = 0;
  if (!ReadCode(body, area->code, &area->market) || !body->ReadU8(&area->item) || !body->ReadU16(&titleLength)) {
    return;
  }
  if (!ReadOwnedText(body, titleLength, &area->title)) return;
  area->titleLength = ShortLength(titleLength);
  int32_t first = 0, second = 0;
  uint32_t contentLength = 0;
  if (!body->ReadS32(&first) || !body->ReadS32(&second)) return;
  area->first = first;
  area->second = second;
  if (!body->ReadU32(&contentLength)) return;
  if (!ReadOwnedText(body, contentLength, &area->content)) return;
  area->contentLength = static_cast<int32_t>(contentLength);
}

}  // namespace

void DecodeF10Item(F10ItemArea* area, ReplyReader* body) {
  if (!area || !body || body->Length() == 0) return;
  area->title.reset();
  area->content.reset();
  area->titleLength = 0;
  area->contentLength = 0;
  DecodeF10ItemFields(area, body);
  // A reply cut short still leaves texts the panel can print.
  if (!area->title) area->title.reset(static_cast<char*>(std::calloc(2, 1)));
  if (!area->content) area->content.reset(static_cast<char*>(std::calloc(2, 1)));
}

void DecodeAlertRecords(AlertRecordArea* area, ReplyReader* body, int mode) {
  if (!area || !body || body->Length() == 0) return;
  if (mode == 1) std::memset(area, 0, sizeof *area);
  int16_t wire = 0;
  if (!ReadAlertText(body, &area->textLength, area->text, kAlertListTextRoom) || !body->ReadS16(&wire)) return;
  const int count = body->ClampCount(wire, kAlertRecordRoom, kAlertRecordSize);
  int held = std::clamp(area->recordsHeld, 0, kAlertRecordRoom);
  if (held + count > kAlertRecordRoom) {
    const int keep = kAlertRecordRoom - count;
    std::memmove(area->records, area->records + (held - keep), sizeof(AlertRecord) * static_cast<size_t>(keep));
    held = keep;
  }
  for (int i = 0; i < count; ++i) {
    AlertRecord& record = area->records[held + i];
    std::memset(&record, 0, sizeof record);
    if (!ReadStockKey(body, &record.stock) || !ReadAlertTail(body, &record)) break;
  }
  area->recordsHeld = held + count;
}

void DecodeAlertQuery(AlertQueryArea* area, ReplyReader* body, int mode, int capacity) {
  if (!area || !body || body->Length() == 0) return;
  if (mode == 1) {
    std::memset(area, 0, sizeof *area);
    if (!ReadStockKey(body, &area->stock)) return;
  }
  int16_t wire = 0;
  if (!ReadAlertText(body, &area->textLength, area->text, kAlertQueryTextRoom) || !body->ReadS16(&wire)) return;
  const int count = body->ClampCount(wire, 32767, kAlertQuerySize);
  const int cap = std::clamp(capacity, 0, kAlertQueryRoom);
  const int held = std::clamp(area->recordsHeld, 0, kAlertQueryRoom);
  area->recordsHeld = SlideRecordWindow(area->records, held, count, cap, kAlertQuerySize, body, [&](AlertRecord* r) {
    std::memset(r, 0, sizeof *r);
    return ReadAlertTail(body, r);
  });
}

void DecodeStockInfo(StockInfoArea* area, ReplyReader* body, int mode) {
  if (!area || !body || body->Length() == 0) return;
  if (mode == 1) {
    ReleaseStockInfo(area);
    area->entryCount = 0;
  }
  int64_t value64 = 0;
  uint16_t value16 = 0;
  if (!ReadCode(body, area->code, &area->market) || !body->ReadU8(&area->byte) || !body->ReadS64(&value64) ||
      !body->ReadU16(&value16)) {
    return;
  }
  area->value64 = value64;
  area->value16 = value16;
  // The rest of the body as one zero-terminated text for the tag search.
  const std::string text(reinterpret_cast<const char*>(body->Current()), static_cast<size_t>(body->Remaining()));
  body->Skip(body->Remaining());
  static const char kElement[] = "<stockinfo>";
  const size_t elementLength = sizeof kElement - 1;
  int count = std::clamp(area->entryCount, 0, kStockInfoRoom);
  for (size_t at = text.find(kElement); at != std::string::npos && count < kStockInfoRoom;
       at = text.find(kElement, at + elementLength)) {
    const char* from = text.c_str() + at;
    StockInfoEntry& e = area->entries[count++];
    e.title.reset(ExtractXmlTagText(from, "title"));
    e.url.reset(ExtractXmlTagText(from, "url"));
    e.date.reset(ExtractXmlTagText(from, "date"));
  }
  area->entryCount = count;
}

void DecodeType90Values(Type90Area* area, ReplyReader* body, int mode) {
  if (!area || !body || body->Length() == 0) return;
  if (mode == 1) {
    if (!ReadStockKey(body, &area->key)) return;
  } else if (!ReadCode(body, area->key.code, &area->key.market)) {
    return;
  }
  for (int64_t& v : area->values) {
    if (!body->ReadS64(&v)) return;
  }
}

void DecodeType95Values(Type95Area* area, ReplyReader* body, int mode) {
  if (!area || !body || body->Length() == 0) return;
  if (mode == 1) {
    if (!ReadStockKey(body, &area->key)) return;
  } else if (!ReadCode(body, area->key.code, &area->key.market)) {
    return;
  }
  for (int64_t& v : area->values) {
    if (!body->ReadS64(&v)) return;
  }
  for (int32_t& v : area->values32) {
    if (!body->ReadS32(&v)) return;
  }
}

void DecodeType112Table(Type112TableArea* area, ReplyReader* body) {
  if (!area || !body || body->Length() == 0) return;
  std::memset(static_cast<void*>(area), 0, sizeof *area);
  std::vector<uint16_t> ids;
  uint16_t wire = 0;
  if (!ReadFieldIdList(body, &area->fieldCount, area->fieldIds, kType112IdRoom, &ids) || !body->ReadU16(&wire)) {
    return;
  }
  const int count = body->ClampCount(wire, kType112Room, QuoteRecordWireSize(ids));
  int decoded = 0;
  while (decoded < count && ReadQuoteValues(body, ids, &area->records[decoded])) ++decoded;
  area->recordCount = static_cast<uint16_t>(decoded);
  area->recordsHeld = decoded;
}

void DecodeType113Entries(Type113Area* area, ReplyReader* body) {
  if (!area || !body || body->Length() == 0) return;
  std::memset(area, 0, sizeof *area);
  uint16_t value = 0, wire = 0;
  if (!body->ReadU16(&value) || !body->ReadU16(&wire)) return;
  area->value = value;
  const int count = body->ClampCount(wire, kType113Room, kType113EntrySize);
  for (int i = 0; i < count; ++i) {
    Type113Entry& e = area->entries[i];
    body->ReadU16(&e.first);
    body->ReadBytes(e.bytes, 28);
    body->ReadBytes(e.raw, 2);
    body->ReadU8(&e.last);
  }
  area->entryCount = static_cast<uint16_t>(count);
}

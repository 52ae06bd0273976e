#include "shell/own_stock_sync.h"

#include <cstring>

#include "foundation/user_folders.h"
#include "foundation/xml_reader.h"
#include "marketdata/own_stocks.h"
#include "marketdata/quote_engine.h"

namespace {

constexpr char kHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><reqmsg><signature>";

std::string StockElement(const char* code, size_t codeLength, const std::string& market) {
  return "<stock code=\"" + std::string(code, codeLength) + "\" marketid=\"" + market + "\"/>";
}

}  // namespace

std::string BuildSaveOwnStockBody(int operation, long long signature, const char* code, int market) {
  const size_t length = code == nullptr ? 0 : strnlen(code, 6);
  return kHead + std::to_string(signature) + "</signature><action>savemystocks</action><operation>" +
         std::to_string(operation) + "</operation><sector>1</sector><mystocks>" +
         StockElement(code, length, std::to_string(market)) + "</mystocks></reqmsg>";
}

std::string BuildSaveWholeListBody(long long signature, const OwnStockList* list) {
  std::string inner;
  const int count = list == nullptr ? 0 : list->EntryCount();
  for (int i = 0; i < count; ++i) {
    const char* entry = list->bytes.data() + i * kOwnStockEntrySize;
    // The market is written as one character, as the server reads it.
    const char digit = static_cast<char>(static_cast<unsigned char>(entry[6]) + '0');
    inner += StockElement(entry, strnlen(entry, 6), std::string(1, digit));
  }
  return kHead + std::to_string(signature) +
         "</signature><action>savemystocks</action><operation>3</operation><sector>1</sector><mystocks>" + inner +
         "</mystocks></reqmsg>";
}

std::string BuildGetOwnStocksBody(long long signature) {
  return kHead + std::to_string(signature) + "</signature><action>getmystocks</action></reqmsg>";
}

bool ApplyOwnStocksReply(QuoteEngine* engine, const char* body, int length) {
  if (engine == nullptr || body == nullptr || length <= 0) return false;
  // The reader wants a terminated text; the reply is bounded by its length.
  const std::string text(body, static_cast<size_t>(length));
  const char* cursor = text.c_str();
  XmlNode* top = ParseXmlNode(&cursor);
  XmlNode* retmsg = FindXmlSibling(top, "retmsg");
  XmlNode* retcode = FindXmlChild(retmsg, "retcode");
  const char* code = XmlFirstChildText(retcode);
  if (retcode == nullptr || code == nullptr || std::strcmp(code, "0") != 0) {
    FreeXmlTree(top);
    return false;
  }
  DeleteDataFile("res\\own.data");
  XmlNode* mystocks = FindXmlSibling(retcode, "mystocks");
  for (XmlNode* stock = FindXmlChild(mystocks, "stock"); stock != nullptr;
       stock = FindXmlNextSibling(stock, "stock")) {
    const char* stockCode = FindXmlAttribute(stock->attributes, "code");
    const char* market = FindXmlAttribute(stock->attributes, "marketid");
    if (stockCode == nullptr || stockCode[0] == 0 || market == nullptr || market[0] < '0' || market[0] > '9') continue;
    char six[7] = {};
    std::memcpy(six, stockCode, strnlen(stockCode, 6));
    AddOwnStock(engine, six, market[0] - '0');
  }
  FreeXmlTree(top);
  return true;
}

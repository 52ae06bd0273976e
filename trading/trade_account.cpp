#include "trading/trade_account.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/user_folders.h"
#include "foundation/xml_reader.h"

namespace {

constexpr int kMaxLineLength = 1023;

// '&' and '<' as entities; everything else unchanged.
std::string Escape(const char* text) {
  std::string out;
  for (const char* p = text; *p != 0; ++p) {
    if (*p == '&') {
      out += "&amp;";
    } else if (*p == '<') {
      out += "&lt;";
    } else {
      out += *p;
    }
  }
  return out;
}

// The inverse of Escape.
std::string Unescape(const char* text) {
  std::string out;
  for (const char* p = text; *p != 0;) {
    if (strncmp(p, "&amp;", 5) == 0) {
      out += '&';
      p += 5;
    } else if (strncmp(p, "&lt;", 4) == 0) {
      out += '<';
      p += 4;
    } else {
      out += *p++;
    }
  }
  return out;
}

void CopyValue(XmlNode* root, const char* name, char* field, int size) {
  const char* value = GetXmlValue(root, name);
  if (value == nullptr) return;
  CopyTradeText(field, size, Unescape(value).c_str());
}

}  // namespace

void SetTradeAccount(TradeSession* session, const char* url, const char* account, int type, const char* company,
                     const char* sale, const char* code, const char* sign, const char* protection) {
  if (session == nullptr) return;
  TradeSavedAccount& saved = session->saved;
  CopyTradeText(saved.tradeUrl, sizeof(saved.tradeUrl), url);
  CopyTradeText(saved.account, sizeof(saved.account), account);
  saved.tradeType = type;
  CopyTradeText(saved.tradeCompany, sizeof(saved.tradeCompany), company);
  CopyTradeText(saved.tradeSale, sizeof(saved.tradeSale), sale);
  CopyTradeText(saved.tradeCode, sizeof(saved.tradeCode), code);
  CopyTradeText(saved.tradeSign, sizeof(saved.tradeSign), sign);
  CopyTradeText(saved.tradeProtection, sizeof(saved.tradeProtection), protection);
}

int SaveTradeAccount(TradeSession* session) {
  if (session == nullptr) return 0;
  const TradeSavedAccount& saved = session->saved;
  if (strcmp(saved.tradeSign, "1") != 0) return WriteDataFile(session->fileName, "", 0) ? 1 : 0;
  char line[kMaxLineLength + 1];
  int length = snprintf(line, sizeof(line),
                        "<TradeUrl>%s</TradeUrl><Account>%s</Account><TradeType>%d</TradeType>"
                        "<TradeCompany>%s</TradeCompany><TradeSale>%s</TradeSale><TradeCode>%s</TradeCode>"
                        "<TradeSign>%s</TradeSign><TradeProtection>%s</TradeProtection>",
                        Escape(saved.tradeUrl).c_str(), Escape(saved.account).c_str(), saved.tradeType,
                        Escape(saved.tradeCompany).c_str(), Escape(saved.tradeSale).c_str(),
                        Escape(saved.tradeCode).c_str(), Escape(saved.tradeSign).c_str(),
                        Escape(saved.tradeProtection).c_str());
  if (length < 0 || length > kMaxLineLength) return 0;
  return WriteDataFile(session->fileName, line, length) ? 1 : 0;
}

void LoadTradeAccount(TradeSession* session) {
  if (session == nullptr) return;
  TradeSavedAccount& saved = session->saved;
  memset(&saved, 0, sizeof(saved));
  FileBlob* blob = ReadDataFile(session->fileName);
  if (blob == nullptr) return;
  if (blob->size > 0) {
    const char* cursor = blob->data;
    XmlNode* root = ParseXmlNode(&cursor);
    CopyValue(root, "TradeUrl", saved.tradeUrl, sizeof(saved.tradeUrl));
    CopyValue(root, "Account", saved.account, sizeof(saved.account));
    const char* type = GetXmlValue(root, "TradeType");
    if (type != nullptr) saved.tradeType = atoi(type);
    CopyValue(root, "TradeCompany", saved.tradeCompany, sizeof(saved.tradeCompany));
    CopyValue(root, "TradeSale", saved.tradeSale, sizeof(saved.tradeSale));
    CopyValue(root, "TradeCode", saved.tradeCode, sizeof(saved.tradeCode));
    CopyValue(root, "TradeSign", saved.tradeSign, sizeof(saved.tradeSign));
    CopyValue(root, "TradeProtection", saved.tradeProtection, sizeof(saved.tradeProtection));
    FreeXmlTree(root);
  }
  FreeFileBlob(blob);
}

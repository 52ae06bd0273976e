// Configuration store, proxy text, session parameters and indicator help.
#include "foundation/config_store.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "foundation/string_helpers.h"
#include "foundation/user_folders.h"
#include "foundation/xml_reader.h"

namespace {

// One lock per store. The retired lists and texts are reachable from these
// never-destroyed holders, so pointers handed out stay valid to the end.
std::recursive_mutex gConfigLock;
XmlNode* gConfigList = nullptr;                                  // guarded by gConfigLock
auto* gRetiredLists = new std::vector<XmlNode*>();               // guarded by gConfigLock
auto* gRetiredTexts = new std::vector<char*>();                  // guarded by gConfigLock

std::mutex gVersionLock;
std::string gClientVersion;  // guarded by gVersionLock; empty: the build text

std::recursive_mutex gHelpLock;
XmlNode* gHelpList = nullptr;  // guarded by gHelpLock

char* CopyWithSpare(const char* text) {
  size_t length = strlen(text);
  auto* copy = static_cast<char*>(calloc(length + 2, 1));
  if (copy != nullptr) memcpy(copy, text, length);
  return copy;
}

// Replaces "&lt;" by '<' and "&amp;" by '&' in place (the two entities that
// SaveConfig writes).
void DecodeValue(char* text) {
  char* out = text;
  for (const char* p = text; *p != 0;) {
    if (strncmp(p, "&lt;", 4) == 0) {
      *out++ = '<';
      p += 4;
    } else if (strncmp(p, "&amp;", 5) == 0) {
      *out++ = '&';
      p += 5;
    } else {
      *out++ = *p++;
    }
  }
  *out = 0;
}

void AppendEncoded(std::string* out, const char* value) {
  for (const char* p = value; *p != 0; ++p) {
    if (*p == '<') *out += "&lt;";
    else if (*p == '&') *out += "&amp;";
    else *out += *p;
  }
}

XmlNode* ParseFile(FileBlob* blob) {
  if (blob == nullptr) return nullptr;
  const char* cursor = blob->data;
  XmlNode* list = ParseXmlNode(&cursor);
  FreeFileBlob(blob);
  return list;
}

XmlNode* NewNode(uint8_t kind, const char* text) {
  auto* node = static_cast<XmlNode*>(calloc(1, sizeof(XmlNode)));
  if (node == nullptr) return nullptr;
  node->kind = kind;
  node->text = CopyWithSpare(text);
  if (node->text == nullptr) {
    free(node);
    return nullptr;
  }
  node->hash = HashName(node->text);
  return node;
}

// Appends text when the whole of it fits behind the url's current text.
bool FitsBehind(const char* url, size_t urlSize, size_t extra) {
  size_t length = strnlen(url, urlSize);
  return length < urlSize && extra < urlSize - length;
}

}  // namespace

void LoadConfig() {
  XmlNode* list = ParseFile(ReadDataFile("res\\config.data"));
  for (XmlNode* entry = list; entry != nullptr; entry = entry->next) {
    if (entry->firstChild == nullptr) continue;
    DecodeValue(entry->firstChild->text);
    entry->firstChild->hash = HashName(entry->firstChild->text);
  }
  std::lock_guard<std::recursive_mutex> guard(gConfigLock);
  if (gConfigList != nullptr) gRetiredLists->push_back(gConfigList);
  gConfigList = list;
}

const char* GetConfig(const char* key) {
  if (key == nullptr) return nullptr;
  std::lock_guard<std::recursive_mutex> guard(gConfigLock);
  return GetXmlValue(gConfigList, key);
}

void SetConfig(const char* key, const char* value) {
  if (key == nullptr || value == nullptr || *key == 0) return;
  std::lock_guard<std::recursive_mutex> guard(gConfigLock);
  XmlNode* last = gConfigList;
  while (last != nullptr && last->next != nullptr) last = last->next;
  XmlNode* entry = FindXmlSibling(gConfigList, key);
  if (entry != nullptr && entry->firstChild != nullptr) {
    char* copy = CopyWithSpare(value);
    if (copy == nullptr) return;
    gRetiredTexts->push_back(entry->firstChild->text);
    entry->firstChild->text = copy;
    entry->firstChild->hash = HashName(copy);
    return;
  }
  XmlNode* valueNode = NewNode(kXmlText, value);
  if (valueNode == nullptr) return;
  if (entry == nullptr) {
    entry = NewNode(kXmlElement, key);
    if (entry == nullptr) {
      FreeXmlTree(valueNode);
      return;
    }
    entry->previous = last;
    if (last != nullptr) last->next = entry;
    else gConfigList = entry;
  }
  valueNode->parent = entry;
  entry->firstChild = valueNode;
}

bool SaveConfig() {
  std::lock_guard<std::recursive_mutex> guard(gConfigLock);
  // The text grows as needed: no setting is ever cut off.
  std::string text;
  for (XmlNode* entry = gConfigList; entry != nullptr; entry = entry->next) {
    text += '<';
    text += entry->text;
    text += '>';
    if (entry->firstChild != nullptr) AppendEncoded(&text, entry->firstChild->text);
    text += "</";
    text += entry->text;
    text += '>';
  }
  if (text.size() > 0x7FFFFFFF) return false;
  return WriteDataFile("res\\config.data", text.data(), static_cast<int>(text.size()));
}

const char* MakeProxyString() {
  thread_local char buffer[512];
  memset(buffer, 0, sizeof buffer);
  std::lock_guard<std::recursive_mutex> guard(gConfigLock);
  const char* address = GetConfig("proxyaddress");
  if (address == nullptr) return buffer;
  auto text = [](const char* key) {
    const char* value = GetConfig(key);
    return value != nullptr ? value : "";
  };
  if (GetConfig("proxyuser") != nullptr) {
    snprintf(buffer, sizeof buffer, "%s|%s|%s|%s|%s|", text("proxytype"), address,
             text("proxyport"), text("proxyuser"), text("proxypwd"));
  } else {
    snprintf(buffer, sizeof buffer, "%s|%s|%s|||", text("proxytype"), address, text("proxyport"));
  }
  return buffer;
}

int AppendUrlParams(char* url, size_t urlSize, char* names) {
  if (url == nullptr || names == nullptr || urlSize == 0) return 0;
  std::string extra;
  StringList* list = SplitByChar(names, ',');
  {
    std::lock_guard<std::recursive_mutex> guard(gConfigLock);
    for (StringList* item = list; item != nullptr; item = item->next) {
      const char* name = item->text;
      const char* value = nullptr;
      if (strcmp(name, "userid") == 0) {
        extra += "&userid=";
        value = GetConfig("userid");
      } else if (strcmp(name, "sessionid") == 0) {
        extra += "&sessionid=";
        value = GetConfig("sessionid");
      } else if (strcmp(name, "clientversion") == 0) {
        extra += "&clientversion=";
        value = kBuildText;
      } else if (strcmp(name, "iausername") == 0) {
        extra += "&iausername=";
        value = GetConfig("account");
      }
      if (value != nullptr) extra += value;
    }
  }
  FreeStringList(&list);
  if (!FitsBehind(url, urlSize, extra.size())) return 0;
  memcpy(url + strlen(url), extra.c_str(), extra.size() + 1);
  return 1;
}

int AppendSessionParams(char* url, size_t urlSize) {
  if (url == nullptr || urlSize == 0 || strnlen(url, urlSize) == urlSize) return 0;
  std::string userId;
  std::string sessionId;
  {
    std::lock_guard<std::recursive_mutex> guard(gConfigLock);
    if (const char* value = GetConfig("userid")) userId = value;
    if (const char* value = GetConfig("sessionid")) sessionId = value;
  }
  size_t length = strlen(url);
  std::string extra = length > 0 && url[length - 1] == '?' ? "" : "&";
  extra += "clientversion=" + GetClientVersion() + "&userid=" + userId + "&sessionid=" + sessionId;
  if (!FitsBehind(url, urlSize, extra.size())) return 0;
  memcpy(url + length, extra.c_str(), extra.size() + 1);
  return 1;
}

void SetClientVersion(const char* version) {
  std::lock_guard<std::mutex> guard(gVersionLock);
  gClientVersion = version != nullptr ? version : "";
}

std::string GetClientVersion() {
  std::lock_guard<std::mutex> guard(gVersionLock);
  return gClientVersion.empty() ? std::string(kBuildText) : gClientVersion;
}

void LoadIndexHelp() {
  std::string path = InstallRoot() + "res/indexhelp.data";
  XmlNode* list = path.size() < kMaxAppPath ? ParseFile(ReadFileUtf8Path(path.c_str())) : nullptr;
  std::lock_guard<std::recursive_mutex> guard(gHelpLock);
  FreeXmlTree(gHelpList);
  gHelpList = list;
}

char* GetIndexHelpText(const char* name) {
  auto* buffer = static_cast<char*>(calloc(1024, 1));
  if (buffer == nullptr || name == nullptr) return buffer;
  std::lock_guard<std::recursive_mutex> guard(gHelpLock);
  if (const char* text = GetXmlValue(gHelpList, name)) {
    size_t n = strnlen(text, 1023);
    // A text cut at 1,023 bytes ends before the character that did not fit.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    memcpy(buffer, text, n);
  }
  return buffer;
}

void FreeIndexHelp() {
  std::lock_guard<std::recursive_mutex> guard(gHelpLock);
  FreeXmlTree(gHelpList);
  gHelpList = nullptr;
}

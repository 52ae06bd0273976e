#include "browser/brisel_catalogue.h"

#include <climits>

std::vector<std::string> BuildBriselArgs(const std::string& address, const BriselRect& rect) {
  return {"NULL", address, std::to_string(rect.right), std::to_string(rect.bottom), std::to_string(rect.left),
          std::to_string(rect.top)};
}

int ReadLeadingInt(const std::string& text) {
  size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  long long value = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
    value = value * 10 + (text[at++] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<int>(value);
}

BriselArgs ParseBriselArgs(const std::vector<std::string>& args) {
  BriselArgs out;
  if (args.size() < 6) return out;
  out.ok = true;
  out.address = args[1];
  out.rect.right = ReadLeadingInt(args[2]);
  out.rect.bottom = ReadLeadingInt(args[3]);
  out.rect.left = ReadLeadingInt(args[4]);
  out.rect.top = ReadLeadingInt(args[5]);
  return out;
}

BriselProxy ParseBriselProxy(const std::string& text) {
  BriselProxy out;
  std::vector<std::string> pieces;
  size_t at = 0;
  for (;;) {
    size_t bar = text.find('|', at);
    if (bar == std::string::npos) break;
    pieces.push_back(text.substr(at, bar - at));
    at = bar + 1;
  }
  if (pieces.size() < 5) return out;
  out.type = ReadLeadingInt(pieces[0]);
  out.host = pieces[1];
  out.port = ReadLeadingInt(pieces[2]);
  out.user = pieces[3];
  out.password = pieces[4];
  out.valid = out.type >= 0 && out.type <= 2 && !out.host.empty() && out.port >= 1 && out.port <= 65535;
  return out;
}

int BriselKeyCode(int virtualKey) { return virtualKey >= 112 && virtualKey <= 123 ? 40000 + virtualKey : virtualKey; }

int ParseBriselKeyRecord(const std::u16string& text) {
  std::string narrow;
  for (char16_t c : text) narrow.push_back(c < 128 ? static_cast<char>(c) : '?');
  return ReadLeadingInt(narrow);
}

std::u16string RecordText(const void* data, DWORD bytes) {
  std::u16string out;
  if (!data) return out;
  const auto* p = static_cast<const unsigned char*>(data);
  out.resize(bytes / 2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
  return out;
}

std::vector<std::u16string> SplitCookieList(const std::u16string& list) {
  std::vector<std::u16string> out;
  size_t at = 0;
  for (;;) {
    size_t bar = list.find(u'|', at);
    if (bar == std::u16string::npos) break;
    if (bar > at) out.push_back(list.substr(at, bar - at));
    at = bar + 1;
  }
  return out;
}

BriselNavigation ClassifyNavigation(const std::string& address, const std::string& tokenHost) {
  if (address.rfind("goto::", 0) == 0) return BriselNavigation::kWebCommand;
  if (address.find("http://" + tokenHost + "/#access_token=") != std::string::npos)
    return BriselNavigation::kAccessToken;
  if (address.find("javascript:void(0)") != std::string::npos) return BriselNavigation::kIgnore;
  return BriselNavigation::kLoad;
}

bool IsPdfAddress(const std::string& address) {
  size_t at = address.find(".pdf");
  return at != std::string::npos && at + 4 == address.size();
}

int ClassifySuccessPage(const std::string& address, const std::string& tokenHost) {
  if (address.find("http://" + tokenHost + "/success/success.html#") == std::string::npos) return 0;
  if (address.find("access_token=") != std::string::npos) return 1;
  if (address.find("&error_code=21330") != std::string::npos) return 2;
  return 0;
}

namespace {
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::string DecodeNonAsciiEscapes(const std::string& address) {
  std::string out;
  out.reserve(address.size());
  for (size_t i = 0; i < address.size(); ++i) {
    if (address[i] == '%' && i + 2 < address.size()) {
      int hi = HexValue(address[i + 1]), lo = HexValue(address[i + 2]);
      if (hi >= 8 && lo >= 0) {
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        continue;
      }
    }
    out.push_back(address[i]);
  }
  return out;
}

#include "foundation/proxy_setting.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void CopyField(std::string_view field, char* out, size_t size) {
  size_t n = field.size() < size - 1 ? field.size() : size - 1;
  if (n > 0) std::memcpy(out, field.data(), n);
  out[n] = '\0';
}

int ReadNumber(std::string_view field) {
  std::string copy(field);
  return std::atoi(copy.c_str());
}

}  // namespace

void ParseProxySetting(const char* text, ProxyFields* out) {
  *out = ProxyFields{};
  if (text == nullptr || text[0] == '\0') return;
  std::string_view rest(text);
  std::string_view fields[5];
  for (int i = 0; i < 5; ++i) {
    size_t bar = rest.find('|');
    fields[i] = rest.substr(0, bar);
    if (bar == std::string_view::npos) {
      rest = {};
      break;
    }
    rest.remove_prefix(bar + 1);
  }
  out->type = ReadNumber(fields[0]);
  CopyField(fields[1], out->address, sizeof out->address);
  out->port = ReadNumber(fields[2]);
  CopyField(fields[3], out->user, sizeof out->user);
  CopyField(fields[4], out->password, sizeof out->password);
}

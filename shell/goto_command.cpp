#include "shell/goto_command.h"

#include <cstdlib>

std::vector<std::string> SplitGotoText(std::string_view text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t at = text.find("::", start);
    if (at == std::string_view::npos) {
      parts.emplace_back(text.substr(start));
      break;
    }
    parts.emplace_back(text.substr(start, at - start));
    start = at + 2;
  }
  if (parts.empty() || parts[0] != "goto") parts.clear();
  return parts;
}

bool ParseGotoStock(std::string_view item, GotoStock* out) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t at = item.find(',', start);
    if (at == std::string_view::npos) {
      fields.push_back(item.substr(start));
      break;
    }
    fields.push_back(item.substr(start, at - start));
    start = at + 1;
  }
  if (fields.size() < 3) return false;
  out->verb = std::string(fields[0]);
  out->code = std::string(fields[1].substr(0, 6));
  const std::string market(fields[2]);
  const long value = std::strtol(market.c_str(), nullptr, 10);
  out->market = value > 0x7FFFFFFF ? 0x7FFFFFFF : value < -0x7FFFFFFF ? -0x7FFFFFFF : static_cast<int>(value);
  return true;
}

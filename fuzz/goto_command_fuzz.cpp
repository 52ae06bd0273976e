// Any bytes as a "goto::" text: split, and every third part read as a stock.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "shell/goto_command.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> parts = SplitGotoText(text);
  GotoStock stock;
  if (parts.size() > 2) ParseGotoStock(parts[2], &stock);
  ParseGotoStock(text, &stock);
  return 0;
}

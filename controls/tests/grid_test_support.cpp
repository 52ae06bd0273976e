#include "controls/tests/grid_test_support.h"

#include <mutex>

namespace grid_test {

void UseGridFonts() {
  static std::once_flag once;
  std::call_once(once, [] {
    EnsureGuiApplication();
    ASSERT_TRUE(LoadFontAliases(std::string(ORV_SOURCE_DIR) + "/res/fonts.conf"));
    HDC dc = CreateCompatibleDC(nullptr);
    ChooseUiFontFace(dc);
    DeleteDC(dc);
  });
}

}  // namespace grid_test

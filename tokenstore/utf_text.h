// The token store's text conversions between the interface's UTF-16 and the
// table's UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-16 units to UTF-8, up to length units or the first zero unit. A
// surrogate pair becomes one four-byte sequence; a lone surrogate is kept as
// its own three-byte sequence, so every text converts back as it was. Null
// text gives the empty text.
std::string Utf16ToUtf8(const char16_t* text, size_t length);

// UTF-8 to UTF-16; a byte that does not start a well-formed sequence becomes
// U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

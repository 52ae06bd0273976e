// Standard UTF-8 <-> UTF-16 conversions for the platform's own boundaries:
// file names, the registry file, component strings and profile texts.
//
// These are not the system's text codec (which keeps its own lossy forms for
// the wire and its files); they join surrogate pairs into one four-byte form
// and keep a lone surrogate as its own three-byte form, so that every UTF-16
// text converts to bytes and back unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-16 units to UTF-8, up to length units or the first zero unit. Null
// text gives the empty text.
std::string WideToUtf8(const char16_t* text, size_t length);
std::string WideToUtf8(std::u16string_view text);

// UTF-8 to UTF-16. A byte that does not start a well-formed sequence (cut,
// bad continuation, overlong, beyond U+10FFFF) becomes one U+FFFD and the
// conversion goes on with the next byte. Three-byte surrogate forms are
// taken back as the units they stand for.
std::u16string Utf8ToWide(std::string_view text);

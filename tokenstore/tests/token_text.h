// Text helpers shared by the token store's tests and their helper process:
// ASCII texts to and from BSTRs, and the self-checking tokens of the stress
// run (the user type is a checksum of the token, and the token names its own
// code, so a record mixed from two stores is seen at once).
#pragma once

#include <cstdint>
#include <string>

#include "platform/kernel/kernel_com.h"

// ASCII text as a new BSTR (the caller frees it).
inline BSTR BstrFromTokenText(const std::string& text) {
  std::u16string wide(text.begin(), text.end());
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

// A BSTR's units as ASCII ('?' for anything else); null reads as empty.
inline std::string TokenTextFromBstr(BSTR text) {
  std::string out;
  for (UINT i = 0; i < SysStringLen(text); ++i) {
    out.push_back(text[i] < 0x80 ? static_cast<char>(text[i]) : '?');
  }
  return out;
}

inline LONG StressTokenType(const std::string& token) {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (unsigned char c : token) hash = (hash ^ c) * 16777619u;
  return static_cast<LONG>(hash & 0x7FFFFFFF);
}

// "<code>:<writer>:<iteration>:" followed by 1 to 200 copies of one letter,
// both picked from the writer and iteration.
inline std::string MakeStressToken(LONGLONG code, int writer, int iteration) {
  std::string token = std::to_string(code) + ":" + std::to_string(writer) + ":" + std::to_string(iteration) + ":";
  unsigned mix = static_cast<unsigned>(writer) * 2654435761u + static_cast<unsigned>(iteration) * 40503u;
  token.append(1 + mix % 200, static_cast<char>('a' + mix % 26));
  return token;
}

inline bool StressTokenIsWhole(LONGLONG code, LONG type, const std::string& token) {
  std::string prefix = std::to_string(code) + ":";
  return token.compare(0, prefix.size(), prefix) == 0 && type == StressTokenType(token);
}

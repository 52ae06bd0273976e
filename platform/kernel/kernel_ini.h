// INI profile files, read and written with the platform's semantics.
//
// A file is lines of "[section]" and "key=value"; names are compared without
// regard to ASCII case, and surrounding blanks of names and values are not
// part of them. A value written between matching quotes is read without
// them. Lines starting with ';' are comments; lines before the first section
// belong to none and are never found. Texts are UTF-8 bytes (a leading UTF-8
// byte-order mark is skipped); paths accept '\' (see kernel_files.h).
//
// Writes rewrite the whole file through a temporary file and a rename,
// keeping every other line (comments included) and the file's line ends.
// Reads and writes of all profile files in the process are serialised.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel/win_types.h"

// Copies the value of key in section into out (size bytes including the
// terminating zero), or deflt (null: empty; trailing blanks dropped) when the
// file, the section or the key is missing. A value that does not fit is cut
// at size - 1 bytes. Returns the number of bytes copied, without the zero.
// With section null: the names of all sections; with key null: the key names
// of section; each name followed by a zero, the list ending with one more
// zero. A list that does not fit is cut and ends with two zeros, and the
// result is then size - 2. out null or size 0 copies nothing and returns 0.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* deflt, char* out, DWORD size,
                               const char* path);

// The value's leading decimal integer (an optional sign, then digits; 0 when
// there are none), or deflt when the key is missing. A negative number comes
// back as its two's-complement UINT, as the platform gives it.
UINT GetPrivateProfileIntA(const char* section, const char* key, INT deflt, const char* path);

// Sets key in section to value, adding the section at the end of the file and
// the key at the end of its section when missing, and creating the file when
// it does not exist. value null deletes the key; key null deletes the whole
// section. A value is written up to its first line break. Returns TRUE on
// success, FALSE when section is null or the file cannot be written.
BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* path);

// The same three with UTF-16 texts (converted to and from the UTF-8 of the
// file); sizes and the returned counts are in UTF-16 units, with the same
// cutting rules.
DWORD GetPrivateProfileStringW(const WCHAR* section, const WCHAR* key, const WCHAR* deflt, WCHAR* out, DWORD size,
                               const WCHAR* path);
UINT GetPrivateProfileIntW(const WCHAR* section, const WCHAR* key, INT deflt, const WCHAR* path);
BOOL WritePrivateProfileStringW(const WCHAR* section, const WCHAR* key, const WCHAR* value, const WCHAR* path);

// The same lookups without a size limit, for the layer's own callers.
std::string GetProfileText(std::string_view path, std::string_view section, std::string_view key,
                           std::string_view deflt = {});
std::vector<std::string> GetProfileSectionNames(std::string_view path);

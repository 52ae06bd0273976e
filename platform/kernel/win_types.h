// The Win32 vocabulary of plain types that the system's code is written in.
// Widths are those of the platform the system was written for: DWORD and
// LONG are 32 bits, handles and WPARAM/LPARAM pointer-sized, WCHAR a UTF-16
// unit (never wchar_t, which is 32 bits here).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = std::uint32_t;
using INT = std::int32_t;
using BOOL = std::int32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using WCHAR = char16_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using COLORREF = DWORD;

using WString = std::u16string;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

constexpr DWORD INFINITE = 0xFFFFFFFFu;

// Result codes the system compares against (registry and kernel calls).
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_INSUFFICIENT_BUFFER = 122;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr LONG ERROR_INVALID_THREAD_ID = 1444;
constexpr LONG ERROR_TIMEOUT = 1460;
constexpr LONG WAIT_OBJECT_0 = 0;
constexpr LONG WAIT_TIMEOUT = 258;

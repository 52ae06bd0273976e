// Thin wrappers of the platform's registry functions, used to walk the
// installed-programs keys: each passes its arguments through and returns
// the platform's result code (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND,
// ERROR_MORE_DATA, ERROR_NO_MORE_ITEMS, ERROR_INVALID_HANDLE, ...). Sizes
// and lengths follow the platform's rules: data sizes in bytes, name and
// class lengths in WCHARs (buffer size on entry, length without the zero on
// return). On a fresh machine the registry is empty and lookups below the
// root keys answer ERROR_FILE_NOT_FOUND.
#pragma once

#include "platform/kernel/kernel_registry.h"
#include "platform/kernel/win_types.h"

// RegQueryValueExW without the type: the value's bytes into data (at most
// *dataSize bytes; data null asks for the size only).
LONG QueryRegValue(HKEY key, const WCHAR* valueName, BYTE* data, DWORD* dataSize);

// RegEnumValueW: name, type and data of value number index.
LONG EnumRegValue(HKEY key, DWORD index, WCHAR* name, DWORD* nameLength, DWORD* type, BYTE* data,
                  DWORD* dataSize);

// RegEnumKeyExW without class and time: the name of sub-key number index.
LONG EnumRegSubKey(HKEY key, DWORD index, WCHAR* name, DWORD* nameLength);

// RegQueryInfoKeyW with only the class, the sub-key count and the value count.
LONG QueryRegKeyInfo(HKEY key, WCHAR* className, DWORD* classLength, DWORD* subKeyCount, DWORD* valueCount);

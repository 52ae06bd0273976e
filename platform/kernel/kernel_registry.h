// The registry: keys, sub-keys and typed values, kept in one file.
//
// Three root keys always exist; everything below them lives in the registry
// file, by default "Orvenna/registry.txt" in AppDataFolder(). On a fresh
// machine the file does not exist and the registry is empty, so every key
// below a root answers ERROR_FILE_NOT_FOUND. Tests fill it with
// RegCreateKeyExW and RegSetValueExW (or point it at their own file).
//
// Key and value names are UTF-16 and compared without regard to ASCII case;
// sub-key paths use '\'. Values keep their type and bytes as given (a REG_SZ
// value is UTF-16 bytes, normally with its terminating zero, as the platform
// stores it). Sub-keys enumerate in name order, values in creation order.
// Every change is written to the file at once (temporary file + rename).
// All functions are safe from any thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/kernel/win_types.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u));
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u));
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u));

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

// Access rights are accepted and not enforced.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Results: ERROR_SUCCESS; ERROR_FILE_NOT_FOUND for a missing key or value;
// ERROR_INVALID_HANDLE for a handle that is not open; ERROR_INVALID_PARAMETER
// for a missing out-parameter; ERROR_MORE_DATA when a buffer is too small;
// ERROR_NO_MORE_ITEMS past the last enumerated item; ERROR_ACCESS_DENIED when
// a key to delete still has sub-keys or is a root, and when the file cannot
// be written (the change is then undone).

// Opens subKey below hKey (null or empty: hKey itself) into *result. Every
// opened handle is closed with RegCloseKey.
LONG RegOpenKeyExW(HKEY hKey, const WCHAR* subKey, DWORD options, REGSAM access, PHKEY result);

// Opens subKey, creating it and any missing keys on the way. *disposition
// (optional) tells REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY. keyClass
// and security are ignored.
LONG RegCreateKeyExW(HKEY hKey, const WCHAR* subKey, DWORD reserved, WCHAR* keyClass, DWORD options, REGSAM access,
                     void* security, PHKEY result, DWORD* disposition);

// Closes a handle; closing a root key does nothing and succeeds.
LONG RegCloseKey(HKEY hKey);

// Reads a value (name null or empty: the key's default value). type
// (optional) receives its type. With data null, *dataSize receives the size
// only. With data, *dataSize is the buffer's size in bytes on entry and the
// value's size on return; ERROR_MORE_DATA, with nothing copied, when it does
// not fit.
LONG RegQueryValueExW(HKEY hKey, const WCHAR* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* dataSize);

// Creates or replaces a value with dataSize bytes of data.
LONG RegSetValueExW(HKEY hKey, const WCHAR* valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);

// Deletes one value.
LONG RegDeleteValueW(HKEY hKey, const WCHAR* valueName);

// The name of sub-key number index. *nameSize is the buffer's size in
// WCHARs on entry and the name's length without its zero on return;
// ERROR_MORE_DATA when the name and its zero do not fit. keyClass (optional)
// receives an empty text; lastWriteTime is left untouched.
LONG RegEnumKeyExW(HKEY hKey, DWORD index, WCHAR* name, DWORD* nameSize, DWORD* reserved, WCHAR* keyClass,
                   DWORD* classSize, void* lastWriteTime);

// Name, type and data of value number index; sizes as for RegEnumKeyExW
// (name) and RegQueryValueExW (data).
LONG RegEnumValueW(HKEY hKey, DWORD index, WCHAR* name, DWORD* nameSize, DWORD* reserved, DWORD* type, BYTE* data,
                   DWORD* dataSize);

// Counts and maximum lengths (names in WCHARs without zero, data in bytes);
// every out-parameter is optional. The class is empty.
LONG RegQueryInfoKeyW(HKEY hKey, WCHAR* keyClass, DWORD* classSize, DWORD* reserved, DWORD* subKeys,
                      DWORD* maxSubKeyLen, DWORD* maxClassLen, DWORD* values, DWORD* maxValueNameLen,
                      DWORD* maxValueLen, DWORD* securityDescriptor, void* lastWriteTime);

// Deletes subKey below hKey (null or empty: hKey itself), with its values; a
// key that still has sub-keys is not deleted (ERROR_ACCESS_DENIED).
LONG RegDeleteKeyW(HKEY hKey, const WCHAR* subKey);

// Uses path as the registry file (the content is read from it at the next
// call); an empty path returns to the default file. Open handles keep naming
// the same key paths. Tests only.
void SetRegistryFileForTesting(std::string path);

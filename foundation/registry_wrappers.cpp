#include "foundation/registry_wrappers.h"

LONG QueryRegValue(HKEY key, const WCHAR* valueName, BYTE* data, DWORD* dataSize) {
  return RegQueryValueExW(key, valueName, nullptr, nullptr, data, dataSize);
}

LONG EnumRegValue(HKEY key, DWORD index, WCHAR* name, DWORD* nameLength, DWORD* type, BYTE* data,
                  DWORD* dataSize) {
  return RegEnumValueW(key, index, name, nameLength, nullptr, type, data, dataSize);
}

LONG EnumRegSubKey(HKEY key, DWORD index, WCHAR* name, DWORD* nameLength) {
  return RegEnumKeyExW(key, index, name, nameLength, nullptr, nullptr, nullptr, nullptr);
}

LONG QueryRegKeyInfo(HKEY key, WCHAR* className, DWORD* classLength, DWORD* subKeyCount, DWORD* valueCount) {
  return RegQueryInfoKeyW(key, className, classLength, nullptr, subKeyCount, nullptr, nullptr, valueCount, nullptr,
                          nullptr, nullptr, nullptr);
}

// Self-registration: the class's keys under HKEY_CLASSES_ROOT in the
// registry file.
//
//   TMRQCommon.DataSaver.1 = "DataSaver Class"
//       CLSID = {9E0DCE0D-A9ED-4446-A04C-07DD51EDA834}
//   TMRQCommon.DataSaver = "DataSaver Class"
//       CLSID = {9E0DCE0D-A9ED-4446-A04C-07DD51EDA834}
//       CurVer = TMRQCommon.DataSaver.1
//   CLSID\{9E0DCE0D-A9ED-4446-A04C-07DD51EDA834} = "DataSaver Class"
//       ProgID = TMRQCommon.DataSaver.1
//       VersionIndependentProgID = TMRQCommon.DataSaver
//       Programmable                       (empty key)
//       InprocServer32 = <the library's path>, ThreadingModel = Apartment
//       TypeLib = {B4E1041A-98FC-459F-A95F-3AE57477E475}
//
// The class key is removed with all its sub-keys before it is written.
// Unregistration removes all of the above but the "CLSID" key itself.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/kernel/kernel_registry.h"
#include "tokenstore/data_saver.h"
#include "platform/kernel/kernel_utf.h"

extern "C" HRESULT DllRegisterServer();
extern "C" HRESULT DllUnregisterServer();

namespace {

std::u16string ClassKey() { return u"CLSID\\" + StringFromGuid(CLSID_DataSaver); }

// Creates root\path and sets its value name (null: default) to text.
bool SetText(const std::u16string& path, const char16_t* name, const std::u16string& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LONG rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

bool CreateEmptyKey(const std::u16string& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

// Deletes root\path with every key below it; a missing key counts as done.
bool DeleteTree(const std::u16string& path) {
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key);
  if (rc == ERROR_FILE_NOT_FOUND) return true;
  if (rc != ERROR_SUCCESS) return false;
  std::vector<std::u16string> children;
  for (DWORD index = 0;; ++index) {
    char16_t name[256];
    DWORD size = 256;
    rc = RegEnumKeyExW(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) break;
    children.emplace_back(name, size);
  }
  RegCloseKey(key);
  if (rc != ERROR_NO_MORE_ITEMS) return false;
  for (const std::u16string& child : children) {
    if (!DeleteTree(path + u"\\" + child)) return false;
  }
  rc = RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

// The full path of this library, as the loader found it.
std::u16string LibraryPath() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) || !info.dli_fname) return u"";
  char resolved[PATH_MAX];
  const char* path = realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
  return Utf8ToWide(path);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() {
  const std::u16string clsid = StringFromGuid(CLSID_DataSaver);
  const std::u16string classKey = ClassKey();
  const std::u16string library = LibraryPath();
  if (library.empty()) return SELFREG_E_CLASS;
  bool ok = SetText(kDataSaverProgId, nullptr, kDataSaverClassName) &&
            SetText(std::u16string(kDataSaverProgId) + u"\\CLSID", nullptr, clsid) &&
            SetText(kDataSaverVersionIndependentProgId, nullptr, kDataSaverClassName) &&
            SetText(std::u16string(kDataSaverVersionIndependentProgId) + u"\\CLSID", nullptr, clsid) &&
            SetText(std::u16string(kDataSaverVersionIndependentProgId) + u"\\CurVer", nullptr, kDataSaverProgId) &&
            DeleteTree(classKey) && SetText(classKey, nullptr, kDataSaverClassName) &&
            SetText(classKey + u"\\ProgID", nullptr, kDataSaverProgId) &&
            SetText(classKey + u"\\VersionIndependentProgID", nullptr, kDataSaverVersionIndependentProgId) &&
            CreateEmptyKey(classKey + u"\\Programmable") &&
            SetText(classKey + u"\\InprocServer32", nullptr, library) &&
            SetText(classKey + u"\\InprocServer32", u"ThreadingModel", u"Apartment") &&
            SetText(classKey + u"\\TypeLib", nullptr, StringFromGuid(LIBID_TMRQCOMMONLib));
  return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
  bool ok = DeleteTree(kDataSaverProgId) && DeleteTree(kDataSaverVersionIndependentProgId) && DeleteTree(ClassKey());
  return ok ? S_OK : SELFREG_E_CLASS;
}

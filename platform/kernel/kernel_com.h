// A minimal in-process component model.
//
// Enough of COM for one in-process server and its callers: reference-counted
// interfaces with 128-bit interface ids, HRESULT results, a class factory
// reached through a shared library's C entry points, length-prefixed UTF-16
// strings in place of BSTR, and a create-by-ProgID path that looks the class
// up in the registry file (ProgID -> CLSID -> InprocServer32 library path),
// loads the library with dlopen and asks its class object for an instance.
//
// Libraries loaded by the create helpers stay loaded until
// CoFreeUnusedLibraries finds that their DllCanUnloadNow answers S_OK.
// No apartments, no marshalling, no aggregation.
#pragma once

#include <cstdint>
#include <string>

#include "platform/kernel/win_types.h"

// ---------------------------------------------------------------- results

using HRESULT = std::int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);
constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8u);
constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9u);
constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// ---------------------------------------------------------------- ids

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

constexpr bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return true;
}
constexpr bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }

constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// The registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex.
std::u16string StringFromGuid(const GUID& guid);

// Parses the registry form (braces required, hex digits of either case).
// S_OK and *out set, or CO_E_CLASSSTRING with *out untouched.
HRESULT GuidFromString(const char16_t* text, GUID* out);

// ---------------------------------------------------------------- strings

using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

// A BSTR points at the first of its UTF-16 units. The 32-bit byte length
// sits in the four bytes before it and a zero unit follows the text, so a
// BSTR can be read as a zero-terminated string (up to its first embedded
// zero). A null BSTR means the empty text wherever a BSTR is read.
using BSTR = OLECHAR*;

// A new BSTR holding text up to its terminating zero; null text gives an
// empty BSTR. Null when memory runs out. The caller frees it with
// SysFreeString.
BSTR SysAllocString(const OLECHAR* text);

// A new BSTR of length units copied from text (embedded zeros kept); a null
// text leaves the units zero. Null when memory runs out or the length does
// not fit the 32-bit byte prefix.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);

// Frees a BSTR made by the two functions above; null is ignored.
void SysFreeString(BSTR text);

// The length in UTF-16 units; 0 for null.
UINT SysStringLen(BSTR text);

// Tests: the next `count` allocations of SysAllocString/SysAllocStringLen
// succeed, the one after fails (once); a negative count turns failures off.
void SetSysAllocFailureForTesting(int count);

// ---------------------------------------------------------------- interfaces

class IUnknown {
 public:
  // S_OK with an added reference in *object, or E_NOINTERFACE with *object
  // set to null; E_POINTER for a null object.
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;  // objects end through Release
};

class IClassFactory : public IUnknown {
 public:
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};

using DISPID = LONG;
using LCID = DWORD;

// The part of automation that callers here use: names to dispatch ids.
// There is no type information and no late-bound call.
class IDispatch : public IUnknown {
 public:
  // Always 0: no type information is provided.
  virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
  // Dispatch ids of `count` names (names compared without regard to case).
  // S_OK, or DISP_E_UNKNOWNNAME with -1 in the slots of unknown names.
  virtual HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                DISPID* ids) = 0;

 protected:
  ~IDispatch() = default;
};

// The C entry points an in-process server library exports.
using DllGetClassObjectFn = HRESULT (*)(REFCLSID clsid, REFIID iid, void** object);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();

// ---------------------------------------------------------------- activation

// The class id registered for a ProgID: HKEY_CLASSES_ROOT\<progId>\CLSID.
// S_OK, CO_E_CLASSSTRING when the ProgID is not registered or its CLSID
// text is malformed.
HRESULT CLSIDFromProgID(const char16_t* progId, CLSID* clsid);

// Loads (once per path, kept loaded) the library at libraryPath and asks its
// DllGetClassObject. CO_E_DLLNOTFOUND when it cannot be loaded,
// CO_E_ERRORINDLL when it lacks the entry point, else the entry's result.
HRESULT CoGetClassObjectFromLibrary(const char* libraryPath, REFCLSID clsid, REFIID iid,
                                    void** object);

// Finds HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32 in the registry file
// and gets the class object from that library. REGDB_E_CLASSNOTREG when the
// class is not registered; otherwise as CoGetClassObjectFromLibrary.
HRESULT CoGetClassObject(REFCLSID clsid, REFIID iid, void** object);

// ProgID -> CLSID -> library -> class object -> a new instance asked for
// iid. *object is null on every failure.
HRESULT CoCreateInstanceByProgID(const char16_t* progId, REFIID iid, void** object);

// Unloads every library loaded above whose DllCanUnloadNow answers S_OK.
void CoFreeUnusedLibraries();

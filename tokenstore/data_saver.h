// TMRQCommon: the token store's COM identity and the IDataSaver interface.
//
// The library libTMRQCommon.so is an in-process server with one class,
// DataSaver, whose IDataSaver keeps the login tokens of up to 64 customers
// and one "active" customer in a table that every process loading the
// library shares (tokenstore/token_table.h). Callers create it through the
// registry (CoCreateInstanceByProgID with kDataSaverProgId) or by loading the
// library and calling DllGetClassObject.
//
// Texts are BSTRs at the interface and UTF-8 bytes inside; a token is at
// most 255 bytes of UTF-8. Every out text is a new BSTR that the caller frees
// with SysFreeString (an empty text is an empty BSTR, never null); a null
// in-text counts as empty. An out-parameter pointer that is null gives
// E_POINTER and nothing is changed.
#pragma once

#include "platform/kernel/kernel_com.h"

// {9E0DCE0D-A9ED-4446-A04C-07DD51EDA834}
constexpr CLSID CLSID_DataSaver = {
    0x9E0DCE0D, 0xA9ED, 0x4446, {0xA0, 0x4C, 0x07, 0xDD, 0x51, 0xED, 0xA8, 0x34}};
// {7A7DBA05-99EA-4E77-8FF6-9D11968EB247}
constexpr IID IID_IDataSaver = {
    0x7A7DBA05, 0x99EA, 0x4E77, {0x8F, 0xF6, 0x9D, 0x11, 0x96, 0x8E, 0xB2, 0x47}};
// Type library "TMRQCOMMONLib", {B4E1041A-98FC-459F-A95F-3AE57477E475}
constexpr GUID LIBID_TMRQCOMMONLib = {
    0xB4E1041A, 0x98FC, 0x459F, {0xA9, 0x5F, 0x3A, 0xE5, 0x74, 0x77, 0xE4, 0x75}};

constexpr const char16_t* kDataSaverProgId = u"TMRQCommon.DataSaver.1";
constexpr const char16_t* kDataSaverVersionIndependentProgId = u"TMRQCommon.DataSaver";
constexpr const char16_t* kDataSaverClassName = u"DataSaver Class";

// Dispatch ids of the five methods.
constexpr DISPID DISPID_SetToken = 1;
constexpr DISPID DISPID_GetToken = 2;
constexpr DISPID DISPID_SetActiveUser = 3;
constexpr DISPID DISPID_GetActiveUser = 4;
constexpr DISPID DISPID_GetNextUser = 5;

// Every method holds the shared table's lock while it touches the table.
// E_FAIL means the shared table is unavailable (it could not be mapped or
// its lock was left unrecoverable).
class IDataSaver : public IDispatch {
 public:
  // Stores szToken for llCustCode: S_OK; the code becomes the active one.
  // An existing record is overwritten (reference count 1). An empty token
  // for an existing code releases it instead (reference count - 1, the
  // record freed at 0, trace "release token", the active code unchanged).
  // S_FALSE, nothing changed: all 64 records are used, or the token is
  // longer than 255 bytes of UTF-8.
  virtual HRESULT SetToken(LONGLONG llCustCode, LONG lUserType, BSTR szToken) = 0;

  // The record's user type and token, or 0 and an empty text when no record
  // has the code. S_OK; E_OUTOFMEMORY when the text cannot be made (*szToken
  // is then null).
  virtual HRESULT GetToken(LONGLONG llCustCode, LONG* plUserType, BSTR* szToken) = 0;

  // Makes llCustCode the active code when a record has it; S_OK either way.
  virtual HRESULT SetActiveUser(LONGLONG llCustCode) = 0;

  // The active code, with its record's type and token (0 and an empty text
  // when no record has it). S_OK or E_OUTOFMEMORY as GetToken.
  virtual HRESULT GetActiveUser(LONGLONG* pllCustCode, LONG* plUserType, BSTR* szToken) = 0;

  // Walks the used records: from the start index in *plPos (a negative
  // start counts as 0) finds the first used record i, sets *plPos = i + 1
  // and gives its code, type and token; none found: *plPos = 64 and 0, 0,
  // "". A start of 64 or more leaves *plPos and gives 0, 0, "". S_OK or
  // E_OUTOFMEMORY as GetToken.
  virtual HRESULT GetNextUser(LONG* plPos, LONGLONG* pllCustCode, LONG* plUserType,
                              BSTR* szToken) = 0;

 protected:
  ~IDataSaver() = default;
};

// The library's entry points (extern "C", looked up by name with dlsym).
//   DllGetClassObject(clsid, iid, out): the class factory of DataSaver for
//     CLSID_DataSaver; CLASS_E_CLASSNOTAVAILABLE for any other class or
//     when the shared table is unavailable.
//   DllCanUnloadNow(): S_OK when no object and no server lock is alive.
//   DllRegisterServer() / DllUnregisterServer(): write / remove the class's
//     keys under HKEY_CLASSES_ROOT in the registry file.
//   TokenStoreHoldLockForTesting(): takes the table's lock and never
//     releases it (tests kill the caller while it holds the lock).

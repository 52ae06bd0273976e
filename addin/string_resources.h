// String resources: the stand-in for the platform's string tables, with
// LoadStringA semantics.
//
// A module's string table is a list of (id, UTF-16 text) pairs. Tables are
// either compiled into the program (RegisterStringResources gives the module
// handle) or come from a loadable resource module: a shared object that
// exports the C function GetStringResourceTable (below), opened with
// LoadResourceModule and closed with FreeResourceModule, which stand in for
// LoadLibraryA and FreeLibrary. Narrow texts are UTF-8. Thread-safe.
#pragma once

#include "platform/kernel/win_types.h"

// The window layer declares the module handle the same way.
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;

struct StringResource {
  UINT id;               // 16-bit string id
  const WCHAR* text;     // zero-terminated UTF-16
};

// The export of a resource module: its table and, in *count, its length.
// The table stays valid while the module is loaded.
extern "C" {
using GetStringResourceTableFunction = const StringResource* (*)(int* count);
}
constexpr const char kStringResourceTableExport[] = "GetStringResourceTable";

// Makes a module handle for a compiled-in table (count entries, kept by
// reference: it must outlive the handle). Null for a null table.
HINSTANCE RegisterStringResources(const StringResource* table, int count);
// Forgets a handle made by RegisterStringResources.
void UnregisterStringResources(HINSTANCE module);

// Loads the resource module at fileName (a path; `\` is accepted). Returns
// its handle, or null when the file cannot be loaded. A shared object
// without the export loads as a module without strings.
HMODULE LoadResourceModule(const char* fileName);
// Unloads a module from LoadResourceModule. TRUE on success, FALSE for a
// handle that is not a loaded resource module.
BOOL FreeResourceModule(HMODULE module);

// Copies the string id of module (only the low 16 bits count) into buffer
// as UTF-8, cut to whole characters within bufferMax - 1 bytes, and
// terminates it. Returns the bytes copied without the terminator; 0 for a
// missing string, an unknown handle or a buffer of no room (then, with
// bufferMax > 0, buffer holds an empty text).
int LoadStringA(HINSTANCE module, UINT id, char* buffer, int bufferMax);

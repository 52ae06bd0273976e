#include "addin/string_resources.h"

#include <dlfcn.h>

#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "foundation/text_codec.h"
#include "platform/kernel/kernel_files.h"

namespace {

struct ResourceModule {
  const StringResource* table = nullptr;  // the module's strings
  int count = 0;                          // entries of table
  void* library = nullptr;                // dlopen handle of a loaded module, else null
};

std::mutex& ModuleLock() {
  static std::mutex lock;
  return lock;
}

// Live modules by handle, guarded by ModuleLock(). Handles come from a
// counter and are never reused. A static object, not a heap one: the
// library lives in the plug-in too, which is unloaded with its table.
std::unordered_map<std::uintptr_t, ResourceModule>& Modules() {
  static std::unordered_map<std::uintptr_t, ResourceModule> modules;
  return modules;
}

std::uintptr_t g_lastHandle = 0;  // guarded by ModuleLock()

HINSTANCE AddModule(const ResourceModule& module) {
  std::lock_guard<std::mutex> guard(ModuleLock());
  g_lastHandle += 0x10;
  Modules().emplace(g_lastHandle, module);
  return reinterpret_cast<HINSTANCE>(g_lastHandle);
}

}  // namespace

HINSTANCE RegisterStringResources(const StringResource* table, int count) {
  if (!table) return nullptr;
  return AddModule({table, count > 0 ? count : 0, nullptr});
}

void UnregisterStringResources(HINSTANCE module) {
  std::lock_guard<std::mutex> guard(ModuleLock());
  auto it = Modules().find(reinterpret_cast<std::uintptr_t>(module));
  if (it != Modules().end() && !it->second.library) Modules().erase(it);
}

HMODULE LoadResourceModule(const char* fileName) {
  if (!fileName || !*fileName) return nullptr;
  void* library = dlopen(NativePath(fileName).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) return nullptr;
  ResourceModule module;
  module.library = library;
  if (auto get = reinterpret_cast<GetStringResourceTableFunction>(dlsym(library, kStringResourceTableExport))) {
    int count = 0;
    module.table = get(&count);
    module.count = module.table && count > 0 ? count : 0;
  }
  return AddModule(module);
}

BOOL FreeResourceModule(HMODULE handle) {
  void* library = nullptr;
  {
    std::lock_guard<std::mutex> guard(ModuleLock());
    auto it = Modules().find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == Modules().end() || !it->second.library) return FALSE;
    library = it->second.library;
    Modules().erase(it);
  }
  dlclose(library);
  return TRUE;
}

int LoadStringA(HINSTANCE handle, UINT id, char* buffer, int bufferMax) {
  if (!buffer || bufferMax <= 0) return 0;
  buffer[0] = 0;
  std::lock_guard<std::mutex> guard(ModuleLock());  // held while the table is read
  auto it = Modules().find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == Modules().end()) return 0;
  const WCHAR* text = nullptr;
  for (int i = 0; i < it->second.count && !text; ++i) {
    if ((it->second.table[i].id & 0xFFFF) == (id & 0xFFFF)) text = it->second.table[i].text;
  }
  if (!text) return 0;
  // The converter stops before the first character that does not fit.
  const int consumed = Utf16ToUtf8(text, 2 * Utf16Length(text), buffer, bufferMax - 1);
  const int written = Utf8SizeOfUtf16(text, consumed);
  buffer[written] = 0;
  return written;
}

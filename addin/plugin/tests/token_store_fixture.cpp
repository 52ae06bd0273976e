#include "addin/plugin/tests/token_store_fixture.h"

#include <dlfcn.h>

#include "platform/kernel/kernel_com.h"
#include "platform/kernel/kernel_registry.h"

void* LoadAndRegisterTokenStore(const std::string& registryFile) {
  SetRegistryFileForTesting(registryFile);
  void* library = dlopen(TOKENSTORE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  auto registerServer = reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllRegisterServer"));
  if (registerServer == nullptr || registerServer() != S_OK) {
    dlclose(library);
    return nullptr;
  }
  return library;
}

void UnloadTokenStore(void* library) {
  if (library != nullptr) dlclose(library);
  CoFreeUnusedLibraries();
  SetRegistryFileForTesting("");
}

// libQuorath.so's only export and its application object. Loading the
// library constructs the application object (and in it the add-in) and
// runs its InitInstance; unloading runs ExitInstance and destroys it.
#include "addin/plugin/quorath_addin.h"

namespace {

class LoadedPlugin {
 public:
  LoadedPlugin() { app.InitInstance(); }
  ~LoadedPlugin() { app.ExitInstance(); }
  CQuorathApp app;
};

LoadedPlugin g_plugin;

}  // namespace

extern "C" __attribute__((visibility("default"))) IAddin* Addin_GetObject() { return &g_plugin.app.Addin(); }
